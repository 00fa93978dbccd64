#pragma once
// Field definitions: what a dataset's fields are (name, type, size, precision, attributes), before any field
// object exists. ftADT definitions have child definitions; ftArray definitions have one child definition
// repeated Size times.

#include <memory>
#include <string>
#include <vector>

#include "dataset/field_types.h"

namespace vantor {

class TFieldDefs;

class TFieldDef {
 public:
  TFieldDef(TFieldDefs* owner, std::string name, TFieldType type, int size, bool required);
  ~TFieldDef();

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // The name shown in messages: "Parent.Child" for child definitions.
  std::string DisplayName() const;
  TFieldType DataType() const { return type_; }
  void SetDataType(TFieldType type) { type_ = type; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  TFieldAttributes Attributes() const { return attributes_; }
  void SetAttributes(TFieldAttributes attributes) { attributes_ = attributes; }
  bool Required() const { return attributes_ & faRequired; }
  void SetRequired(bool required);
  bool InternalCalcField() const { return internal_calc_; }
  void SetInternalCalcField(bool value) { internal_calc_ = value; }
  // 1-based position among the data fields of the record layout (children of ADT and array counted).
  int FieldNo() const { return field_no_; }
  void SetFieldNo(int no) { field_no_ = no; }

  bool HasChildDefs() const;
  TFieldDefs& ChildDefs();
  const TFieldDefs* ChildDefsIfAny() const { return children_.get(); }
  TFieldDef* ParentDef() const;
  int Index() const;

 private:
  TFieldDefs* owner_;
  std::string name_;
  TFieldType type_;
  int size_;
  int precision_ = 0;
  TFieldAttributes attributes_ = 0;
  bool internal_calc_ = false;
  int field_no_ = 0;
  std::unique_ptr<TFieldDefs> children_;
};

class TFieldDefs {
 public:
  explicit TFieldDefs(TFieldDef* parent = nullptr) : parent_(parent) {}
  TFieldDefs(const TFieldDefs&) = delete;
  TFieldDefs& operator=(const TFieldDefs&) = delete;

  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  TFieldDef& AddFieldDef();  // unnamed ftUnknown definition, to be filled in
  void Clear() { items_.clear(); }
  void Delete(int index);
  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TFieldDef& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }
  TFieldDef* Find(std::string_view name) const;  // ASCII case-insensitive
  int IndexOf(std::string_view name) const;
  TFieldDef* ParentDef() const { return parent_; }
  // Copies definitions (with their children) from another list.
  void Assign(const TFieldDefs& source);
  // Numbers the data fields 1.. depth-first (ADT children once, array children Size times) and returns the count.
  int Renumber(int first = 1);

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  TFieldDef* parent_;
  std::vector<std::unique_ptr<TFieldDef>> items_;
};

}  // namespace vantor
