#include "dataset/field.h"

#include <cstring>

#include "dataset/dataset.h"
#include "dataset/errors.h"
#include "dataset/native.h"
#include "dataset/text.h"

namespace vantor {
namespace {

// A native buffer on the stack for the common small sizes, on the heap for long text.
class NativeBuffer {
 public:
  explicit NativeBuffer(int size) {
    if (size > static_cast<int>(sizeof small_)) heap_.resize(static_cast<size_t>(size));
  }
  void* data() { return heap_.empty() ? static_cast<void*>(small_) : heap_.data(); }

 private:
  alignas(8) unsigned char small_[256];
  std::vector<unsigned char> heap_;
};

}  // namespace

// --- TFields ---------------------------------------------------------------------------------------------

TField* TFields::FindField(std::string_view name) const {
  for (const auto& f : items_)
    if (SameTextAscii(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField& TFields::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseError(Format(msg::kFieldNotFound, std::string(name).c_str()));
  return *f;
}

int TFields::IndexOf(const TField* field) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == field) return static_cast<int>(i);
  return -1;
}

TField& TFields::Add(std::unique_ptr<TField> field) {
  items_.push_back(std::move(field));
  return *items_.back();
}

std::unique_ptr<TField> TFields::Remove(TField* field) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == field) {
      std::unique_ptr<TField> out = std::move(*it);
      items_.erase(it);
      return out;
    }
  }
  return nullptr;
}

// --- TField ----------------------------------------------------------------------------------------------

TField::TField(TFieldType type, int size) : type_(type), size_(size) {}

TField::~TField() = default;

std::string TField::FullName() const {
  // Array elements are named "Array[i]" already.
  if (!parent_ || parent_->DataType() == ftArray) return name_;
  return parent_->FullName() + "." + name_;
}

void TField::SetSize(int size) {
  if (dataset_) dataset_->CheckInactive();
  size_ = size;
}

int TField::Index() const { return dataset_ ? dataset_->Fields().IndexOf(this) : -1; }

int TField::DataSize() const { return NativeSize(type_, size_); }

void TField::SetDisplayLabel(std::string label) {
  display_label_ = label == name_ ? std::string() : std::move(label);
  if (dataset_) dataset_->DataEvent(deLayoutChange);
}

void TField::SetVisible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  if (dataset_) dataset_->DataEvent(deLayoutChange);
}

int TField::DisplayWidth() const {
  if (display_width_ > 0) return display_width_;
  switch (type_) {
    case ftString: case ftFixedChar: case ftWideString: case ftFixedWideChar: return size_ > 0 ? size_ : 1;
    case ftSmallint: return 6;
    case ftWord: return 5;
    case ftInteger: case ftAutoInc: return 11;
    case ftLargeint: return 15;
    case ftBoolean: return 5;
    case ftDate: case ftTime: return 10;
    case ftDateTime: case ftTimeStamp: case ftOraTimeStamp: return 19;
    case ftGuid: return 38;
    case ftBytes: case ftVarBytes: return size_ * 2;
    default: return 10;
  }
}

bool TField::CanModify() const {
  if (read_only_ || !dataset_) return false;
  if (kind_ == fkCalculated || kind_ == fkLookup || kind_ == fkAggregate) return false;
  return dataset_->CanModify();
}

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::Clear() { SetData(nullptr); }

bool TField::GetData(void* buffer) const {
  if (!dataset_) DatabaseError(Format("Field '%s' has no dataset", name_.c_str()));
  return dataset_->GetFieldData(*this, buffer);
}

void TField::SetData(const void* buffer) {
  if (!dataset_) DatabaseError(Format("Field '%s' has no dataset", name_.c_str()));
  dataset_->SetFieldData(*this, buffer);
}

Value TField::GetValue() const {
  const int n = DataSize();
  if (n == 0) return Value();
  NativeBuffer buf(n);
  if (!GetData(buf.data())) return Value();
  return ReadNative(type_, size_, buf.data());
}

void TField::SetValue(const Value& value) {
  if (value.IsNull()) {
    SetData(nullptr);
    return;
  }
  const int n = DataSize();
  NativeBuffer buf(n);
  WriteNative(type_, size_, value, buf.data());
  SetData(buf.data());
}

Value TField::Coerce(const Value& value) const { return ConvertForFieldType(type_, value); }

void TField::SetAsVariant(const Value& value) {
  Value coerced;
  try {
    coerced = Coerce(value);
  } catch (const EConvertError& e) {
    ConversionError(e);
  }
  SetValue(coerced);
}

void TField::AccessError(const char* type_name) const {
  DatabaseError(Format(msg::kFieldAccessError, DisplayName().c_str(), type_name));
}

void TField::ConversionError(const std::exception& error) const {
  throw EConvertError(Format(msg::kInvalidFieldValue, error.what(), DisplayName().c_str()));
}

// Typed getters share one pattern: read the Value, convert, and name the field when that fails.
#define VANTOR_FIELD_GETTER(Type, Name, Conv, TypeName) \
  Type TField::Name() const {                            \
    const Value v = GetValue();                          \
    try {                                                \
      return v.Conv();                                   \
    } catch (const EConvertError& e) {                   \
      if (v.IsText()) ConversionError(e);                \
      AccessError(TypeName);                             \
    }                                                    \
  }

VANTOR_FIELD_GETTER(std::string, AsString, AsString, "String")
VANTOR_FIELD_GETTER(std::u16string, AsWideString, AsWideString, "WideString")
VANTOR_FIELD_GETTER(int32_t, AsInteger, AsInt32, "Integer")
VANTOR_FIELD_GETTER(int64_t, AsLargeInt, AsInt64, "LargeInt")
VANTOR_FIELD_GETTER(double, AsFloat, AsDouble, "Float")
VANTOR_FIELD_GETTER(Currency, AsCurrency, AsCurrency, "Currency")
VANTOR_FIELD_GETTER(TBcd, AsBCD, AsBcd, "BCD")
VANTOR_FIELD_GETTER(bool, AsBoolean, AsBoolean, "Boolean")
VANTOR_FIELD_GETTER(DateTime, AsDateTime, AsDateTime, "DateTime")
VANTOR_FIELD_GETTER(Bytes, AsBytes, AsBytes, "Bytes")
#undef VANTOR_FIELD_GETTER

void TField::SetAsString(const std::string& value) { SetAsVariant(Value(value)); }
void TField::SetAsWideString(const std::u16string& value) { SetAsVariant(Value(value)); }
void TField::SetAsInteger(int32_t value) { SetAsVariant(Value(value)); }
void TField::SetAsLargeInt(int64_t value) { SetAsVariant(Value(value)); }
void TField::SetAsFloat(double value) { SetAsVariant(Value(value)); }
void TField::SetAsCurrency(Currency value) { SetAsVariant(Value(value)); }
void TField::SetAsBCD(const TBcd& value) { SetAsVariant(Value(value)); }
void TField::SetAsBoolean(bool value) { SetAsVariant(Value(value)); }
void TField::SetAsDateTime(DateTime value) { SetAsVariant(Value(value)); }
void TField::SetAsBytes(const Bytes& value) { SetAsVariant(Value(value)); }

std::string TField::DisplayText() const {
  std::string text = AsString();
  if (OnGetText) OnGetText(const_cast<TField&>(*this), text, true);
  return text;
}

std::string TField::Text() const {
  std::string text = AsString();
  if (OnGetText) OnGetText(const_cast<TField&>(*this), text, false);
  return text;
}

void TField::Validate(const void* /*buffer*/) {
  if (OnValidate) OnValidate(*this);
}

void TField::Change() {
  if (OnChange) OnChange(*this);
}

}  // namespace vantor
