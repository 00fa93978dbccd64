#include "dataset/field_def.h"

#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor {

TFieldDef::TFieldDef(TFieldDefs* owner, std::string name, TFieldType type, int size, bool required)
    : owner_(owner), name_(std::move(name)), type_(type), size_(size) {
  SetRequired(required);
}

TFieldDef::~TFieldDef() = default;

std::string TFieldDef::DisplayName() const {
  const TFieldDef* parent = ParentDef();
  return parent ? parent->DisplayName() + "." + name_ : name_;
}

void TFieldDef::SetRequired(bool required) {
  attributes_ = required ? (attributes_ | faRequired) : (attributes_ & ~faRequired);
}

bool TFieldDef::HasChildDefs() const { return children_ && !children_->Empty(); }

TFieldDefs& TFieldDef::ChildDefs() {
  if (!children_) children_ = std::make_unique<TFieldDefs>(this);
  return *children_;
}

TFieldDef* TFieldDef::ParentDef() const { return owner_ ? owner_->ParentDef() : nullptr; }

int TFieldDef::Index() const {
  if (!owner_) return -1;
  for (int i = 0; i < owner_->Count(); ++i)
    if (&(*owner_)[i] == this) return i;
  return -1;
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (!name.empty() && Find(name)) throw EDatabaseError(Format(msg::kDuplicateFieldName, name.c_str()));
  items_.push_back(std::make_unique<TFieldDef>(this, name, type, size, required));
  return *items_.back();
}

TFieldDef& TFieldDefs::AddFieldDef() {
  items_.push_back(std::make_unique<TFieldDef>(this, std::string(), ftUnknown, 0, false));
  return *items_.back();
}

void TFieldDefs::Delete(int index) {
  if (index < 0 || index >= Count()) throw ERangeError(msg::kInvalidArgument);
  items_.erase(items_.begin() + index);
}

TFieldDef* TFieldDefs::Find(std::string_view name) const {
  for (const auto& d : items_)
    if (SameTextAscii(d->Name(), name)) return d.get();
  return nullptr;
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameTextAscii(items_[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

void TFieldDefs::Assign(const TFieldDefs& source) {
  if (&source == this) return;
  items_.clear();
  for (const auto& s : source.items_) {
    TFieldDef& d = AddFieldDef();
    d.SetName(s->Name());
    d.SetDataType(s->DataType());
    d.SetSize(s->Size());
    d.SetPrecision(s->Precision());
    d.SetAttributes(s->Attributes());
    d.SetInternalCalcField(s->InternalCalcField());
    d.SetFieldNo(s->FieldNo());
    if (s->ChildDefsIfAny()) d.ChildDefs().Assign(*s->ChildDefsIfAny());
  }
}

int TFieldDefs::Renumber(int first) {
  int next = first;
  for (const auto& d : items_) {
    d->SetFieldNo(next++);
    if (d->DataType() == ftADT && d->ChildDefsIfAny()) {
      next = d->ChildDefs().Renumber(next);
    } else if (d->DataType() == ftArray && d->ChildDefsIfAny()) {
      for (int i = 0; i < d->Size(); ++i) next = d->ChildDefs().Renumber(next);
    }
  }
  return next;
}

}  // namespace vantor
