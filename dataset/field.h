#pragma once
// Field objects: a dataset's columns at run time, with typed access to the current record's values.
// A field reads and writes its value through its dataset in the native buffer format (native.h); the typed
// accessors convert between that and strings, integers, floats, booleans, date-times and Values.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataset/field_types.h"
#include "dataset/stream.h"
#include "dataset/value.h"

namespace vantor {

class TDataSet;
class TField;
class TObjectField;

using TFieldNotifyEvent = std::function<void(TField&)>;

// An ordered list of fields. The dataset's (and an object field's) list owns its fields.
class TFields {
 public:
  TFields() = default;
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TField& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }
  TField* FindField(std::string_view name) const;  // ASCII case-insensitive
  TField& FieldByName(std::string_view name) const; // "Field '%s' not found"
  int IndexOf(const TField* field) const;

  TField& Add(std::unique_ptr<TField> field);
  std::unique_ptr<TField> Remove(TField* field);
  void Clear() { items_.clear(); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<TField>> items_;
};

class TField {
 public:
  TField(TFieldType type, int size = 0);
  virtual ~TField();
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  // The runtime class name ("TStringField", "TIntegerField", ...): fields of different classes copy by value.
  virtual const char* ClassName() const = 0;

  // Identity.
  TDataSet* DataSet() const { return dataset_; }
  const std::string& FieldName() const { return name_; }
  void SetFieldName(std::string name) { name_ = std::move(name); }
  // "Parent.Child" for fields inside an object field, else the field name.
  std::string FullName() const;
  TFieldType DataType() const { return type_; }
  TFieldKind FieldKind() const { return kind_; }
  void SetFieldKind(TFieldKind kind) { kind_ = kind; }
  bool IsCalculated() const { return kind_ == fkCalculated || kind_ == fkLookup; }
  int Size() const { return size_; }
  void SetSize(int size);  // only while the dataset is closed
  // 1-based number among the data fields of the record (0 for calculated and lookup fields).
  int FieldNo() const { return field_no_; }
  void SetFieldNo(int no) { field_no_ = no; }
  // Offset in the dataset's calculated-field buffer (calculated and lookup fields).
  int Offset() const { return offset_; }
  void SetOffset(int offset) { offset_ = offset; }
  int Index() const;  // position in the dataset's field list
  // Bytes of the native buffer (0 for blobs, ADT and array fields).
  int DataSize() const;
  TObjectField* ParentField() const { return parent_; }
  bool IsBlob() const { return IsBlobType(type_); }
  bool IsIndexField() const { return index_field_; }
  void SetIsIndexField(bool v) { index_field_ = v; }

  // Properties.
  std::string DisplayLabel() const { return display_label_.empty() ? name_ : display_label_; }
  void SetDisplayLabel(std::string label);
  std::string DisplayName() const { return DisplayLabel(); }
  int DisplayWidth() const;
  void SetDisplayWidth(int width) { display_width_ = width; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool v) { read_only_ = v; }
  bool Required() const { return required_; }
  void SetRequired(bool v) { required_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; }
  const std::string& EditMask() const { return edit_mask_; }
  void SetEditMask(std::string m) { edit_mask_ = std::move(m); }
  const std::string& DefaultExpression() const { return default_expression_; }
  void SetDefaultExpression(std::string e) { default_expression_ = std::move(e); }
  TProviderFlags ProviderFlags() const { return provider_flags_; }
  void SetProviderFlags(TProviderFlags f) { provider_flags_ = f; }
  const std::string& Origin() const { return origin_; }
  void SetOrigin(std::string o) { origin_ = std::move(o); }
  const std::string& KeyFields() const { return key_fields_; }
  void SetKeyFields(std::string k) { key_fields_ = std::move(k); }
  const std::string& ConstraintErrorMessage() const { return constraint_error_message_; }
  void SetConstraintErrorMessage(std::string m) { constraint_error_message_ = std::move(m); }
  bool CanModify() const;

  // Value access for the dataset's current record.
  bool IsNull() const;
  void Clear();
  // Native buffer access; `buffer` holds DataSize() bytes. GetData answers whether there is a value.
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);  // nullptr clears the value

  Value AsVariant() const { return GetValue(); }
  void SetAsVariant(const Value& value);
  std::string AsString() const;
  void SetAsString(const std::string& value);
  std::u16string AsWideString() const;
  void SetAsWideString(const std::u16string& value);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t value);
  int64_t AsLargeInt() const;
  void SetAsLargeInt(int64_t value);
  double AsFloat() const;
  void SetAsFloat(double value);
  Currency AsCurrency() const;
  void SetAsCurrency(Currency value);
  TBcd AsBCD() const;
  void SetAsBCD(const TBcd& value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  DateTime AsDateTime() const;
  void SetAsDateTime(DateTime value);
  Bytes AsBytes() const;
  void SetAsBytes(const Bytes& value);
  // The text a grid shows (DisplayText) and the text an editor starts from (Text).
  virtual std::string DisplayText() const;
  virtual std::string Text() const;
  void SetText(const std::string& text) { SetAsString(text); }

  // Runs the OnValidate event for a value about to be stored (buffer in native format, or nullptr).
  void Validate(const void* buffer);
  void Change();  // runs OnChange

  // Events.
  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  std::function<void(TField&, std::string& text, bool display_text)> OnGetText;

  // Internal: called by the dataset and by object fields.
  void Bind(TDataSet* dataset) { dataset_ = dataset; }
  void SetParentField(TObjectField* parent) { parent_ = parent; }
  bool CreatedFromDefs() const { return from_defs_; }
  void SetCreatedFromDefs(bool v) { from_defs_ = v; }

 protected:
  // The current value in this field's own kind, and storing a value already checked for this field.
  virtual Value GetValue() const;
  virtual void SetValue(const Value& value);
  // Converts a Value to what this field stores: range checks and errors that name the field.
  virtual Value Coerce(const Value& value) const;
  [[noreturn]] void AccessError(const char* type_name) const;
  [[noreturn]] void ConversionError(const std::exception& error) const;

 private:
  TDataSet* dataset_ = nullptr;
  TObjectField* parent_ = nullptr;
  std::string name_;
  TFieldType type_;
  TFieldKind kind_ = fkData;
  int size_;
  int field_no_ = 0;
  int offset_ = 0;
  bool index_field_ = false;
  bool from_defs_ = false;

  std::string display_label_;
  int display_width_ = 0;
  bool visible_ = true;
  bool read_only_ = false;
  bool required_ = false;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  std::string edit_mask_;
  std::string default_expression_;
  TProviderFlags provider_flags_ = pfInUpdate | pfInWhere;
  std::string origin_;
  std::string key_fields_;
  std::string constraint_error_message_;
};

// --- Text ------------------------------------------------------------------------------------------------
class TStringField : public TField {
 public:
  explicit TStringField(int size = 20, TFieldType type = ftString);
  const char* ClassName() const override { return "TStringField"; }
  bool FixedChar() const { return DataType() == ftFixedChar; }
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool v) { transliterate_ = v; }

 protected:
  Value Coerce(const Value& value) const override;

 private:
  bool transliterate_ = true;
};

class TWideStringField : public TField {
 public:
  explicit TWideStringField(int size = 20, TFieldType type = ftWideString);
  const char* ClassName() const override { return "TWideStringField"; }

 protected:
  Value Coerce(const Value& value) const override;
};

class TGuidField : public TStringField {
 public:
  TGuidField();
  const char* ClassName() const override { return "TGuidField"; }

 protected:
  Value Coerce(const Value& value) const override;
};

class TIntervalField : public TStringField {
 public:
  TIntervalField() : TStringField(20, ftOraInterval) {}
  const char* ClassName() const override { return "TIntervalField"; }
};

// --- Numbers ---------------------------------------------------------------------------------------------
class TNumericField : public TField {
 public:
  using TField::TField;
  const std::string& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(std::string f) { display_format_ = std::move(f); }
  const std::string& EditFormat() const { return edit_format_; }
  void SetEditFormat(std::string f) { edit_format_ = std::move(f); }
  std::string DisplayText() const override;

 private:
  std::string display_format_;
  std::string edit_format_;
};

class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TFieldType type = ftInteger);
  const char* ClassName() const override { return "TIntegerField"; }
  int64_t MinValue() const { return min_value_; }
  int64_t MaxValue() const { return max_value_; }
  // 0, 0 means the type's own range.
  void SetMinValue(int64_t v) { min_value_ = v; }
  void SetMaxValue(int64_t v) { max_value_ = v; }

 protected:
  Value Coerce(const Value& value) const override;
  virtual int64_t TypeMin() const { return INT32_MIN; }
  virtual int64_t TypeMax() const { return INT32_MAX; }

 private:
  int64_t min_value_ = 0;
  int64_t max_value_ = 0;
};

class TSmallintField : public TIntegerField {
 public:
  TSmallintField() : TIntegerField(ftSmallint) {}
  const char* ClassName() const override { return "TSmallintField"; }

 protected:
  int64_t TypeMin() const override { return INT16_MIN; }
  int64_t TypeMax() const override { return INT16_MAX; }
};

class TWordField : public TIntegerField {
 public:
  TWordField() : TIntegerField(ftWord) {}
  const char* ClassName() const override { return "TWordField"; }

 protected:
  int64_t TypeMin() const override { return 0; }
  int64_t TypeMax() const override { return UINT16_MAX; }
};

class TAutoIncField : public TIntegerField {
 public:
  TAutoIncField() : TIntegerField(ftAutoInc) {}
  const char* ClassName() const override { return "TAutoIncField"; }
};

class TLargeintField : public TNumericField {
 public:
  TLargeintField() : TNumericField(ftLargeint, 0) {}
  const char* ClassName() const override { return "TLargeintField"; }

 protected:
  Value Coerce(const Value& value) const override;
};

class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TFieldType type = ftFloat);
  const char* ClassName() const override { return "TFloatField"; }
  int Precision() const { return precision_; }
  void SetPrecision(int p) { precision_ = p; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool v) { currency_ = v; }
  double MinValue() const { return min_value_; }
  double MaxValue() const { return max_value_; }
  void SetMinValue(double v) { min_value_ = v; }
  void SetMaxValue(double v) { max_value_ = v; }

 protected:
  Value Coerce(const Value& value) const override;

 private:
  int precision_ = 15;
  bool currency_ = false;
  double min_value_ = 0;
  double max_value_ = 0;
};

// ftCurrency, held exactly as a scaled 64-bit integer.
class TCurrencyField : public TFloatField {
 public:
  TCurrencyField() : TFloatField(ftCurrency) { SetCurrency(true); }
  const char* ClassName() const override { return "TCurrencyField"; }
};

class TBCDField : public TNumericField {
 public:
  explicit TBCDField(int size = 4, TFieldType type = ftBCD);
  const char* ClassName() const override { return "TBCDField"; }
  int Precision() const { return precision_; }
  void SetPrecision(int p) { precision_ = p; }

 protected:
  Value Coerce(const Value& value) const override;

 private:
  int precision_ = 0;
};

class TFMTBCDField : public TBCDField {
 public:
  explicit TFMTBCDField(int size = 8) : TBCDField(size, ftFMTBcd) {}
  const char* ClassName() const override { return "TFMTBCDField"; }
};

// --- Booleans, dates -------------------------------------------------------------------------------------
class TBooleanField : public TField {
 public:
  TBooleanField() : TField(ftBoolean, 0) {}
  const char* ClassName() const override { return "TBooleanField"; }
  // "True;False" style display texts; empty means "True" and "False".
  const std::string& DisplayValues() const { return display_values_; }
  void SetDisplayValues(std::string v) { display_values_ = std::move(v); }
  std::string DisplayText() const override;

 protected:
  Value Coerce(const Value& value) const override;

 private:
  std::string display_values_;
};

class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TFieldType type = ftDateTime) : TField(type, 0) {}
  const char* ClassName() const override { return "TDateTimeField"; }
  const std::string& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(std::string f) { display_format_ = std::move(f); }
  std::string DisplayText() const override;

 protected:
  Value Coerce(const Value& value) const override;

 private:
  std::string display_format_;
};

class TDateField : public TDateTimeField {
 public:
  TDateField() : TDateTimeField(ftDate) {}
  const char* ClassName() const override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
 public:
  TTimeField() : TDateTimeField(ftTime) {}
  const char* ClassName() const override { return "TTimeField"; }
};

class TSQLTimeStampField : public TDateTimeField {
 public:
  explicit TSQLTimeStampField(TFieldType type = ftTimeStamp) : TDateTimeField(type) {}
  const char* ClassName() const override { return "TSQLTimeStampField"; }
};

// --- Binary ----------------------------------------------------------------------------------------------
class TBytesField : public TField {
 public:
  explicit TBytesField(int size = 16, TFieldType type = ftBytes) : TField(type, size) {}
  const char* ClassName() const override { return "TBytesField"; }
  std::string DisplayText() const override;

 protected:
  Value Coerce(const Value& value) const override;
};

class TVarBytesField : public TBytesField {
 public:
  explicit TVarBytesField(int size = 16) : TBytesField(size, ftVarBytes) {}
  const char* ClassName() const override { return "TVarBytesField"; }
};

// Blobs: the value travels through the dataset's blob stream.
class TBlobField : public TField {
 public:
  explicit TBlobField(TFieldType type = ftBlob) : TField(type, 0) {}
  const char* ClassName() const override { return "TBlobField"; }
  std::unique_ptr<TStream> CreateStream(TBlobStreamMode mode);
  // Size of the blob in bytes (0 when null).
  int64_t BlobSize() const;
  TFieldType BlobType() const { return DataType(); }
  std::string DisplayText() const override;

 protected:
  Value GetValue() const override;
  void SetValue(const Value& value) override;
  Value Coerce(const Value& value) const override;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TFieldType type = ftMemo) : TBlobField(type) {}
  const char* ClassName() const override { return "TMemoField"; }
  std::string DisplayText() const override;
};

class TWideMemoField : public TBlobField {
 public:
  TWideMemoField() : TBlobField(ftWideMemo) {}
  const char* ClassName() const override { return "TWideMemoField"; }
  std::string DisplayText() const override;
};

class TGraphicField : public TBlobField {
 public:
  TGraphicField() : TBlobField(ftGraphic) {}
  const char* ClassName() const override { return "TGraphicField"; }
};

// --- Object fields ---------------------------------------------------------------------------------------
// An object field (ADT or array) owns child fields; its own value is not readable as a scalar.
class TObjectField : public TField {
 public:
  TObjectField(TFieldType type, int size) : TField(type, size) {}
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  std::string DisplayText() const override;

 protected:
  Value GetValue() const override;
  void SetValue(const Value& value) override;

 private:
  TFields fields_;
};

class TADTField : public TObjectField {
 public:
  TADTField() : TObjectField(ftADT, 0) {}
  const char* ClassName() const override { return "TADTField"; }
};

class TArrayField : public TObjectField {
 public:
  explicit TArrayField(int size = 10) : TObjectField(ftArray, size) {}
  const char* ClassName() const override { return "TArrayField"; }
};

// Fields of types that hold no value the program reads (variants, interfaces, references, nested datasets):
// they exist so that such columns can be listed and refused by name where they cannot be stored.
class TOpaqueField : public TField {
 public:
  explicit TOpaqueField(TFieldType type) : TField(type, 0) {}
  const char* ClassName() const override;
  std::string DisplayText() const override { return {}; }

 protected:
  Value GetValue() const override { return Value(); }
  void SetValue(const Value& value) override;
};

// The field class for a field type; nullptr for types no field class exists for (ftUnknown, ftCursor, ...).
std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size);

}  // namespace vantor
