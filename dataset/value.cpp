#include "dataset/value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "dataset/decimal_text.h"
#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor {
namespace {

[[noreturn]] void CannotConvert(Value::Kind from, const char* to) {
  throw EConvertError(Format("Could not convert variant of type (%s) into type (%s)",
                             std::string(Value::KindName(from)).c_str(), to));
}

int64_t DoubleToInt64(double d) {
  if (!std::isfinite(d) || d != std::trunc(d) || d < -9.2233720368547758e18 || d >= 9.2233720368547758e18)
    throw EConvertError("'" + DoubleToString(d) + "' is not a valid integer value");
  return static_cast<int64_t>(d);
}

double Int64ToDouble(int64_t v) {
  const double d = static_cast<double>(v);
  // 2^53 + 1 rounds to 2^53: only a value that converts back unchanged is exact.
  if (std::fabs(d) >= 9.2233720368547758e18 || static_cast<int64_t>(d) != v)
    throw EConvertError(std::to_string(v) + " cannot be held exactly as a floating point value");
  return d;
}

bool ParseBooleanText(std::string_view text, bool& out) {
  const std::string t = AsciiUpper(TrimBlanks(text));
  if (t == "TRUE" || t == "T" || t == "YES" || t == "Y" || t == "1" || t == "-1") return out = true, true;
  if (t == "FALSE" || t == "F" || t == "NO" || t == "N" || t == "0") return out = false, true;
  return false;
}

}  // namespace

std::string DoubleToString(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, static_cast<size_t>(r.ptr - buf));
}

bool TryParseDouble(std::string_view text, double& out) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool TryParseInt64(std::string_view text, int64_t& out) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  if (r.ec == std::errc() && r.ptr == text.data() + text.size()) return true;
  // "12.0" and "1e3" are integers too.
  detail::DecimalDigits d;
  if (!detail::DecimalDigits::Parse(text, d) || d.scale != 0) return false;
  const std::string s = d.ToString();
  r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string_view Value::KindName(Kind kind) {
  switch (kind) {
    case Kind::Null: return "Null";
    case Kind::Boolean: return "Boolean";
    case Kind::Int16: return "Smallint";
    case Kind::Int32: return "Integer";
    case Kind::Int64: return "Int64";
    case Kind::Double: return "Double";
    case Kind::Currency: return "Currency";
    case Kind::Bcd: return "FMTBcd";
    case Kind::DateTime: return "Date";
    case Kind::String: return "String";
    case Kind::WideString: return "WideString";
    case Kind::Bytes: return "Array of Byte";
    case Kind::Guid: return "Guid";
  }
  return "Unknown";
}

bool Value::IsNumeric() const {
  switch (kind()) {
    case Kind::Int16: case Kind::Int32: case Kind::Int64: case Kind::Double: case Kind::Currency: case Kind::Bcd:
      return true;
    default:
      return false;
  }
}

bool Value::AsBoolean() const {
  switch (kind()) {
    case Kind::Null: return false;
    case Kind::Boolean: return get<bool>();
    case Kind::Int16: return get<int16_t>() != 0;
    case Kind::Int32: return get<int32_t>() != 0;
    case Kind::Int64: return get<int64_t>() != 0;
    case Kind::Double: return get<double>() != 0;
    case Kind::Currency: return get<vantor::Currency>().scaled != 0;
    case Kind::Bcd: return !get<TBcd>().IsZero();
    case Kind::String:
    case Kind::WideString: {
      bool b;
      const std::string s = AsString();
      if (!ParseBooleanText(s, b)) throw EConvertError("'" + s + "' is not a valid boolean value");
      return b;
    }
    default: CannotConvert(kind(), "Boolean");
  }
}

int64_t Value::AsInt64() const {
  switch (kind()) {
    case Kind::Null: return 0;
    case Kind::Boolean: return get<bool>() ? 1 : 0;
    case Kind::Int16: return get<int16_t>();
    case Kind::Int32: return get<int32_t>();
    case Kind::Int64: return get<int64_t>();
    case Kind::Double: return DoubleToInt64(get<double>());
    case Kind::Currency: {
      const int64_t s = get<vantor::Currency>().scaled;
      if (s % vantor::Currency::kScale != 0)
        throw EConvertError("'" + get<vantor::Currency>().ToString() + "' is not a valid integer value");
      return s / vantor::Currency::kScale;
    }
    case Kind::Bcd: {
      int64_t v;
      if (!get<TBcd>().TryToInt64(v)) throw EConvertError("'" + get<TBcd>().ToString() + "' is not a valid integer value");
      return v;
    }
    case Kind::String:
    case Kind::WideString: {
      int64_t v;
      const std::string s = AsString();
      if (!TryParseInt64(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
      return v;
    }
    default: CannotConvert(kind(), "Int64");
  }
}

int32_t Value::AsInt32() const {
  const int64_t v = AsInt64();
  if (v < INT32_MIN || v > INT32_MAX) throw EConvertError(std::to_string(v) + " is not a valid integer value");
  return static_cast<int32_t>(v);
}

double Value::AsDouble() const {
  switch (kind()) {
    case Kind::Null: return 0;
    case Kind::Boolean: return get<bool>() ? 1 : 0;
    case Kind::Int16: return get<int16_t>();
    case Kind::Int32: return get<int32_t>();
    case Kind::Int64: return Int64ToDouble(get<int64_t>());
    case Kind::Double: return get<double>();
    case Kind::Currency: return get<vantor::Currency>().ToDouble();
    case Kind::Bcd: return get<TBcd>().ToDouble();
    case Kind::DateTime: return get<vantor::DateTime>().ToOleDate();
    case Kind::String:
    case Kind::WideString: {
      double d;
      const std::string s = AsString();
      if (!TryParseDouble(s, d)) throw EConvertError("'" + s + "' is not a valid floating point value");
      return d;
    }
    default: CannotConvert(kind(), "Double");
  }
}

vantor::Currency Value::AsCurrency() const {
  switch (kind()) {
    case Kind::Null: return {};
    case Kind::Boolean: return vantor::Currency::FromInt64(get<bool>() ? 1 : 0);
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64: return vantor::Currency::FromInt64(AsInt64());
    case Kind::Double: return vantor::Currency::FromDouble(get<double>());
    case Kind::Currency: return get<vantor::Currency>();
    case Kind::Bcd: return get<TBcd>().ToCurrency();
    case Kind::String:
    case Kind::WideString: return vantor::Currency::Parse(AsString());
    default: CannotConvert(kind(), "Currency");
  }
}

TBcd Value::AsBcd() const {
  switch (kind()) {
    case Kind::Null: return TBcd::FromInt64(0);
    case Kind::Boolean: return TBcd::FromInt64(get<bool>() ? 1 : 0);
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64: return TBcd::FromInt64(AsInt64());
    case Kind::Double: return TBcd::FromDouble(get<double>());
    case Kind::Currency: return TBcd::FromCurrency(get<vantor::Currency>());
    case Kind::Bcd: return get<TBcd>();
    case Kind::String:
    case Kind::WideString: return TBcd::Parse(AsString());
    default: CannotConvert(kind(), "FMTBcd");
  }
}

vantor::DateTime Value::AsDateTime() const {
  switch (kind()) {
    case Kind::Null: return vantor::DateTime::FromOleDate(0);
    case Kind::DateTime: return get<vantor::DateTime>();
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Double:
    case Kind::Currency:
    case Kind::Bcd: return vantor::DateTime::FromOleDate(AsDouble());
    case Kind::String:
    case Kind::WideString: return vantor::DateTime::Parse(AsString());
    default: CannotConvert(kind(), "Date");
  }
}

std::string Value::AsString() const {
  switch (kind()) {
    case Kind::Null: return {};
    case Kind::Boolean: return get<bool>() ? "True" : "False";
    case Kind::Int16: return std::to_string(get<int16_t>());
    case Kind::Int32: return std::to_string(get<int32_t>());
    case Kind::Int64: return std::to_string(get<int64_t>());
    case Kind::Double: return DoubleToString(get<double>());
    case Kind::Currency: return get<vantor::Currency>().ToString();
    case Kind::Bcd: return get<TBcd>().ToString();
    case Kind::DateTime: return get<vantor::DateTime>().ToString();
    case Kind::String: return get<std::string>();
    case Kind::WideString: return Utf16ToUtf8(get<std::u16string>());
    case Kind::Bytes: {
      const auto& b = get<vantor::Bytes>();
      return std::string(b.begin(), b.end());
    }
    case Kind::Guid: return get<vantor::Guid>().ToString();
  }
  return {};
}

std::u16string Value::AsWideString() const {
  if (kind() == Kind::WideString) return get<std::u16string>();
  return Utf8ToUtf16(AsString());
}

vantor::Bytes Value::AsBytes() const {
  switch (kind()) {
    case Kind::Null: return {};
    case Kind::Bytes: return get<vantor::Bytes>();
    case Kind::String:
    case Kind::WideString: {
      const std::string s = AsString();
      return vantor::Bytes(s.begin(), s.end());
    }
    case Kind::Guid: {
      const auto& g = get<vantor::Guid>().bytes;
      return vantor::Bytes(g.begin(), g.end());
    }
    default: CannotConvert(kind(), "Array of Byte");
  }
}

vantor::Guid Value::AsGuid() const {
  switch (kind()) {
    case Kind::Guid: return get<vantor::Guid>();
    case Kind::String:
    case Kind::WideString: return vantor::Guid::Parse(AsString());
    case Kind::Bytes: {
      const auto& b = get<vantor::Bytes>();
      if (b.size() != 16) CannotConvert(kind(), "Guid");
      vantor::Guid g;
      std::copy(b.begin(), b.end(), g.bytes.begin());
      return g;
    }
    default: CannotConvert(kind(), "Guid");
  }
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == Value::Kind::Double) {
    const double x = a.get<double>(), y = b.get<double>();
    return x == y || (std::isnan(x) && std::isnan(y));
  }
  return a.v_ == b.v_;
}

}  // namespace vantor
