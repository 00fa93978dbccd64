// The field classes: per-type conversions, range checks and display texts.

#include <cmath>
#include <cstring>

#include "dataset/dataset.h"
#include "dataset/errors.h"
#include "dataset/field.h"
#include "dataset/native.h"
#include "dataset/text.h"

namespace vantor {
namespace {

[[noreturn]] void RangeError(const std::string& value, const TField& f, const std::string& lo, const std::string& hi) {
  throw ERangeError(
      Format(msg::kFieldRangeError, value.c_str(), f.DisplayName().c_str(), lo.c_str(), hi.c_str()));
}

// Formats a number after a pattern such as "0.00" or "#,##0.###": the decimals and the grouping are taken
// from the pattern; other pattern characters are not interpreted.
std::string FormatNumber(const std::string& pattern, const Value& value) {
  const size_t dot = pattern.find('.');
  int min_dec = 0, max_dec = 0;
  if (dot != std::string::npos) {
    for (size_t i = dot + 1; i < pattern.size() && (pattern[i] == '0' || pattern[i] == '#'); ++i) {
      ++max_dec;
      if (pattern[i] == '0') min_dec = max_dec;
    }
  }
  const bool group = pattern.find(',') != std::string::npos && pattern.find(',') < dot;
  // Round through the decimal text so that currency and BCD values are not disturbed by binary floats.
  std::string digits;
  bool negative = false;
  {
    TBcd b = value.AsBcd();
    std::string s = b.ToString();
    if (!s.empty() && s[0] == '-') negative = true, s.erase(0, 1);
    const size_t p = s.find('.');
    std::string ip = p == std::string::npos ? s : s.substr(0, p);
    std::string fp = p == std::string::npos ? "" : s.substr(p + 1);
    if (static_cast<int>(fp.size()) > max_dec) {
      const bool up = fp[static_cast<size_t>(max_dec)] >= '5';
      fp.resize(static_cast<size_t>(max_dec));
      std::string all = ip + fp;
      if (up) {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[static_cast<size_t>(i)] == '9') all[static_cast<size_t>(i--)] = '0';
        if (i < 0) all.insert(0, "1"); else ++all[static_cast<size_t>(i)];
      }
      ip = all.substr(0, all.size() - fp.size());
      fp = all.substr(all.size() - fp.size());
    }
    while (static_cast<int>(fp.size()) > min_dec && !fp.empty() && fp.back() == '0') fp.pop_back();
    while (static_cast<int>(fp.size()) < min_dec) fp += '0';
    if (group) {
      std::string g;
      for (size_t i = 0; i < ip.size(); ++i) {
        if (i && (ip.size() - i) % 3 == 0) g += ',';
        g += ip[i];
      }
      ip = g;
    }
    digits = fp.empty() ? ip : ip + "." + fp;
    if (digits.find_first_not_of("0.,") == std::string::npos) negative = false;
  }
  return negative ? "-" + digits : digits;
}

std::string FormatDateTime(const std::string& pattern, DateTime value) {
  const DateTimeParts p = value.Parts();
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    auto run = [&](char c) {
      size_t n = 0;
      while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c) ++n;
      return n;
    };
    const char c = static_cast<char>(pattern[i] | 0x20);
    size_t n;
    if (c == 'y' && (n = run('y'))) {
      out += n <= 2 ? Format("%02d", p.year % 100) : Format("%04d", p.year);
    } else if (c == 'm' && (n = run('m'))) {
      out += n == 1 ? std::to_string(p.month) : Format("%02d", p.month);
    } else if (c == 'd' && (n = run('d'))) {
      out += n == 1 ? std::to_string(p.day) : Format("%02d", p.day);
    } else if (c == 'h' && (n = run('h'))) {
      out += n == 1 ? std::to_string(p.hour) : Format("%02d", p.hour);
    } else if (c == 'n' && (n = run('n'))) {
      out += n == 1 ? std::to_string(p.minute) : Format("%02d", p.minute);
    } else if (c == 's' && (n = run('s'))) {
      out += n == 1 ? std::to_string(p.second) : Format("%02d", p.second);
    } else if (c == 'z' && (n = run('z'))) {
      out += Format("%03d", p.millisecond);
    } else {
      out += pattern[i];
      n = 1;
    }
    i += n;
  }
  return out;
}

}  // namespace

// --- Text ------------------------------------------------------------------------------------------------

TStringField::TStringField(int size, TFieldType type) : TField(type, size) {}

Value TStringField::Coerce(const Value& value) const {
  Value v = TField::Coerce(value);
  if (FixedChar() && !v.IsNull()) {  // fixed-width text is kept without its padding blanks
    std::string s = v.get<std::string>();
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return Value(std::move(s));
  }
  return v;
}

TWideStringField::TWideStringField(int size, TFieldType type) : TField(type, size) {}

Value TWideStringField::Coerce(const Value& value) const { return TField::Coerce(value); }

TGuidField::TGuidField() : TStringField(38, ftGuid) {}

Value TGuidField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  if (value.IsText() && TrimBlanks(value.AsString()).empty()) return Value();
  return Value(value.AsGuid());
}

// --- Numbers ---------------------------------------------------------------------------------------------

std::string TNumericField::DisplayText() const {
  const Value v = AsVariant();
  if (v.IsNull()) return {};
  std::string text = display_format_.empty() ? v.AsString() : FormatNumber(display_format_, v);
  if (OnGetText) OnGetText(const_cast<TNumericField&>(*this), text, true);
  return text;
}

TIntegerField::TIntegerField(TFieldType type) : TNumericField(type, 0) { SetAlignment(TAlignment::taRightJustify); }

Value TIntegerField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  const int64_t v = value.AsInt64();
  const bool own = min_value_ != 0 || max_value_ != 0;
  const int64_t lo = own ? min_value_ : TypeMin(), hi = own ? max_value_ : TypeMax();
  if (v < lo || v > hi) RangeError(std::to_string(v), *this, std::to_string(lo), std::to_string(hi));
  return Value(static_cast<int32_t>(v));
}

Value TLargeintField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  return Value(value.AsInt64());
}

TFloatField::TFloatField(TFieldType type) : TNumericField(type, 0) { SetAlignment(TAlignment::taRightJustify); }

Value TFloatField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  Value v = TField::Coerce(value);
  if (min_value_ != 0 || max_value_ != 0) {
    const double d = v.AsDouble();
    if (d < min_value_ || d > max_value_)
      RangeError(v.AsString(), *this, DoubleToString(min_value_), DoubleToString(max_value_));
  }
  return v;
}

TBCDField::TBCDField(int size, TFieldType type) : TNumericField(type, size) {
  SetAlignment(TAlignment::taRightJustify);
}

Value TBCDField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  const TBcd b = value.AsBcd();
  if (precision_ > 0) {
    // Integer digits beyond Precision - Size cannot be held by the column this field stands for.
    std::string s = b.ToString();
    if (!s.empty() && s[0] == '-') s.erase(0, 1);
    const size_t int_digits = s.find('.') == std::string::npos ? s.size() : s.find('.');
    const int allowed = std::max(precision_ - Size(), 1);
    if (static_cast<int>(int_digits) > allowed && s.substr(0, int_digits) != "0")
      RangeError(b.ToString(), *this, "-" + std::string(static_cast<size_t>(allowed), '9'),
                 std::string(static_cast<size_t>(allowed), '9'));
  }
  return Value(b);
}

// --- Booleans, dates -------------------------------------------------------------------------------------

std::string TBooleanField::DisplayText() const {
  if (IsNull()) return {};
  const bool b = AsBoolean();
  if (display_values_.empty()) return b ? "True" : "False";
  const size_t sep = display_values_.find(';');
  if (sep == std::string::npos) return b ? display_values_ : std::string();
  return b ? display_values_.substr(0, sep) : display_values_.substr(sep + 1);
}

Value TBooleanField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  if (value.IsText() && !display_values_.empty()) {
    const std::string s = value.AsString();
    const size_t sep = display_values_.find(';');
    const std::string yes = display_values_.substr(0, sep);
    const std::string no = sep == std::string::npos ? std::string() : display_values_.substr(sep + 1);
    if (SameTextAscii(s, yes)) return Value(true);
    if (SameTextAscii(s, no)) return Value(false);
  }
  if (value.IsText() && TrimBlanks(value.AsString()).empty()) return Value();
  return Value(value.AsBoolean());
}

std::string TDateTimeField::DisplayText() const {
  if (IsNull()) return {};
  const DateTime d = AsDateTime();
  std::string text;
  if (!display_format_.empty())
    text = FormatDateTime(display_format_, d);
  else if (DataType() == ftDate)
    text = d.ToString().substr(0, 10);
  else if (DataType() == ftTime)
    text = d.ToIsoSeconds().substr(11);
  else
    text = d.ToString();
  if (OnGetText) OnGetText(const_cast<TDateTimeField&>(*this), text, true);
  return text;
}

Value TDateTimeField::Coerce(const Value& value) const {
  if (value.IsNull()) return value;
  if (value.IsText() && TrimBlanks(value.AsString()).empty()) return Value();
  return TField::Coerce(value);
}

// --- Binary ----------------------------------------------------------------------------------------------

std::string TBytesField::DisplayText() const { return IsNull() ? std::string() : "(BYTES)"; }

Value TBytesField::Coerce(const Value& value) const {
  Value v = TField::Coerce(value);
  if (!v.IsNull()) {
    const size_t n = v.get<Bytes>().size();
    if (static_cast<int>(n) > Size())
      throw EConvertError(Format("%zu bytes do not fit field '%s' of %d bytes", n, DisplayName().c_str(), Size()));
  }
  return v;
}

std::unique_ptr<TStream> TBlobField::CreateStream(TBlobStreamMode mode) {
  if (!DataSet()) DatabaseError(Format("Field '%s' has no dataset", FieldName().c_str()));
  return DataSet()->CreateBlobStream(*this, mode);
}

int64_t TBlobField::BlobSize() const {
  if (IsNull()) return 0;
  return const_cast<TBlobField*>(this)->CreateStream(bmRead)->Size();
}

Value TBlobField::GetValue() const {
  if (IsNull()) return Value();
  std::vector<uint8_t> bytes = const_cast<TBlobField*>(this)->CreateStream(bmRead)->ReadAll();
  if (DataType() == ftWideMemo) {
    std::u16string s(bytes.size() / 2, u'\0');
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return Value(std::move(s));
  }
  if (IsMemoType(DataType())) return Value(std::string(bytes.begin(), bytes.end()));
  return Value(Bytes(std::move(bytes)));
}

Value TBlobField::Coerce(const Value& value) const { return TField::Coerce(value); }

void TBlobField::SetValue(const Value& value) {
  if (value.IsNull()) {
    SetData(nullptr);
    return;
  }
  std::unique_ptr<TStream> stream = CreateStream(bmWrite);
  switch (value.kind()) {
    case Value::Kind::WideString: {
      const std::u16string& s = value.get<std::u16string>();
      stream->WriteAll(s.data(), static_cast<int64_t>(s.size() * 2));
      break;
    }
    case Value::Kind::String: {
      const std::string& s = value.get<std::string>();
      stream->WriteAll(s.data(), static_cast<int64_t>(s.size()));
      break;
    }
    default: {
      const Bytes& b = value.get<Bytes>();
      stream->WriteAll(b.data(), static_cast<int64_t>(b.size()));
      break;
    }
  }
}

std::string TBlobField::DisplayText() const {
  if (IsNull()) return DataType() == ftGraphic ? "(GRAPHIC)" : "(BLOB)";
  return DataType() == ftGraphic ? "(GRAPHIC)" : "(BLOB)";
}

std::string TMemoField::DisplayText() const { return AsString(); }

std::string TWideMemoField::DisplayText() const { return AsString(); }

// --- Object fields ---------------------------------------------------------------------------------------

std::string TObjectField::DisplayText() const {
  std::string out = "(";
  for (int i = 0; i < fields_.Count(); ++i) {
    if (i) out += ", ";
    out += fields_[i].DisplayText();
  }
  return out + ")";
}

Value TObjectField::GetValue() const { return Value(); }

void TObjectField::SetValue(const Value& value) {
  if (!value.IsNull()) AccessError("Variant");
  for (const auto& f : fields_) f->Clear();
}

const char* TOpaqueField::ClassName() const {
  switch (DataType()) {
    case ftVariant: return "TVariantField";
    case ftInterface: return "TInterfaceField";
    case ftIDispatch: return "TIDispatchField";
    case ftReference: return "TReferenceField";
    case ftDataSet: return "TDataSetField";
    default: return "TField";
  }
}

void TOpaqueField::SetValue(const Value& value) {
  if (!value.IsNull()) AccessError("Variant");
  SetData(nullptr);
}

// --- Factory ---------------------------------------------------------------------------------------------

std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar: return std::make_unique<TStringField>(size, type);
    case ftWideString:
    case ftFixedWideChar: return std::make_unique<TWideStringField>(size, type);
    case ftGuid: return std::make_unique<TGuidField>();
    case ftOraInterval: return std::make_unique<TIntervalField>();
    case ftSmallint: return std::make_unique<TSmallintField>();
    case ftInteger: return std::make_unique<TIntegerField>();
    case ftWord: return std::make_unique<TWordField>();
    case ftAutoInc: return std::make_unique<TAutoIncField>();
    case ftLargeint: return std::make_unique<TLargeintField>();
    case ftFloat: return std::make_unique<TFloatField>();
    case ftCurrency: return std::make_unique<TCurrencyField>();
    case ftBCD: return std::make_unique<TBCDField>(size);
    case ftFMTBcd: return std::make_unique<TFMTBCDField>(size);
    case ftBoolean: return std::make_unique<TBooleanField>();
    case ftDate: return std::make_unique<TDateField>();
    case ftTime: return std::make_unique<TTimeField>();
    case ftDateTime: return std::make_unique<TDateTimeField>();
    case ftTimeStamp:
    case ftOraTimeStamp: return std::make_unique<TSQLTimeStampField>(type);
    case ftBytes: return std::make_unique<TBytesField>(size);
    case ftVarBytes: return std::make_unique<TVarBytesField>(size);
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: return std::make_unique<TMemoField>(type);
    case ftWideMemo: return std::make_unique<TWideMemoField>();
    case ftGraphic: return std::make_unique<TGraphicField>();
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob: return std::make_unique<TBlobField>(type);
    case ftADT: return std::make_unique<TADTField>();
    case ftArray: return std::make_unique<TArrayField>(size);
    case ftVariant:
    case ftInterface:
    case ftIDispatch:
    case ftReference:
    case ftDataSet: return std::make_unique<TOpaqueField>(type);
    default: return nullptr;
  }
}

}  // namespace vantor
