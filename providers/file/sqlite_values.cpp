#include "providers/file/sqlite_values.h"

#include <cmath>
#include <limits>

#include "dataset/text.h"

namespace vantor::providers::file {

using formats::StorageError;

namespace {

constexpr int64_t kExactDoubleLimit = int64_t{1} << 53;

void SetText(sqlite3_context* c, const std::string& s) {
  sqlite3_result_text64(c, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// The form a value takes in SQLite: an integer, a double, text or bytes.
struct SqlForm {
  enum { Null, Integer, Real, Text, Blob } kind = Null;
  int64_t i = 0;
  double d = 0;
  std::string text;
  const Bytes* bytes = nullptr;
};

// Decimals of at most 15 significant digits read back exactly from the nearest double, and that double is
// the quotient of two exact doubles (digits below 2^53, a power of ten up to 10^22): cheap and exact.
bool SmallBcdToDouble(const TBcd& b, double& out) {
  static const double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const int precision = b.Precision;
  const int scale = b.Scale();
  if (precision > 64 || scale > 22 || scale > precision) return false;
  int64_t digits = 0;
  int significant = 0;
  for (int i = 0; i < precision; ++i) {
    const int d = b.Digit(i);
    if (d > 9) return false;
    if (significant || d) ++significant;
    if (significant > 15) return false;
    digits = digits * 10 + d;
  }
  out = static_cast<double>(digits) / kPowers[scale];
  if (b.IsNegative()) out = -out;
  return true;
}

SqlForm FormOf(const Value& v) {
  SqlForm f;
  switch (v.kind()) {
    case Value::Kind::Null: break;
    case Value::Kind::Boolean: f.kind = SqlForm::Integer; f.i = v.get<bool>() ? 1 : 0; break;
    case Value::Kind::Int16: case Value::Kind::Int32: case Value::Kind::Int64:
      f.kind = SqlForm::Integer; f.i = v.AsInt64(); break;
    case Value::Kind::Double: f.kind = SqlForm::Real; f.d = v.get<double>(); break;
    case Value::Kind::Currency: {
      const Currency c = v.get<Currency>();
      if (c.scaled > -kExactDoubleLimit && c.scaled < kExactDoubleLimit) {
        f.kind = SqlForm::Real;
        f.d = c.ToDouble();
      } else {
        f.kind = SqlForm::Text;
        f.text = c.ToString();
      }
      break;
    }
    case Value::Kind::Bcd: {
      const TBcd& b = v.get<TBcd>();
      double exact = 0;
      if (SmallBcdToDouble(b, exact)) {
        f.kind = SqlForm::Real;
        f.d = exact;
        break;
      }
      const double d = b.ToDouble();
      if (std::isfinite(d) && TBcd::FromDouble(d) == b) {
        f.kind = SqlForm::Real;
        f.d = d;
      } else {
        f.kind = SqlForm::Text;
        f.text = b.ToString();
      }
      break;
    }
    case Value::Kind::DateTime: f.kind = SqlForm::Text; f.text = v.get<DateTime>().ToString(); break;
    case Value::Kind::String: f.kind = SqlForm::Text; f.text = v.get<std::string>(); break;
    case Value::Kind::WideString: f.kind = SqlForm::Text; f.text = Utf16ToUtf8(v.get<std::u16string>()); break;
    case Value::Kind::Bytes: f.kind = SqlForm::Blob; f.bytes = &v.get<Bytes>(); break;
    case Value::Kind::Guid: f.kind = SqlForm::Text; f.text = v.get<Guid>().ToString(); break;
  }
  return f;
}

std::string TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

Bytes BytesOf(sqlite3_value* v) {
  const auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
  const int n = sqlite3_value_bytes(v);
  return p ? Bytes(p, p + n) : Bytes();
}

int64_t IntegerOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return sqlite3_value_int64(v);
    case SQLITE_FLOAT: {
      const double d = sqlite3_value_double(v);
      if (d != std::floor(d) || !(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18))
        throw StorageError("the number " + DoubleToString(d) + " is not a whole number in range");
      return static_cast<int64_t>(d);
    }
    default: {
      const std::string text(TrimBlanks(TextOf(v)));
      int64_t out = 0;
      if (TryParseInt64(text, out)) return out;
      double d = 0;
      if (TryParseDouble(text, d) && d == std::floor(d) && std::fabs(d) < 9.2e18) return static_cast<int64_t>(d);
      throw StorageError("'" + text + "' is not a whole number");
    }
  }
}

Value CheckedInt(int64_t i, int64_t lo, int64_t hi, Value v) {
  if (i < lo || i > hi) throw StorageError("the number " + std::to_string(i) + " is out of the column's range");
  return v;
}

}  // namespace

void BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
  const SqlForm f = FormOf(value);
  switch (f.kind) {
    case SqlForm::Null: sqlite3_bind_null(stmt, index); break;
    case SqlForm::Integer: sqlite3_bind_int64(stmt, index, f.i); break;
    case SqlForm::Real: sqlite3_bind_double(stmt, index, f.d); break;
    case SqlForm::Text: sqlite3_bind_text64(stmt, index, f.text.data(), f.text.size(), SQLITE_TRANSIENT, SQLITE_UTF8); break;
    case SqlForm::Blob:
      sqlite3_bind_blob64(stmt, index, f.bytes->empty() ? "" : static_cast<const void*>(f.bytes->data()),
                          f.bytes->size(), SQLITE_TRANSIENT);
      break;
  }
}

void ResultValue(sqlite3_context* c, const Value& value) {
  // The common kinds directly, without building the general form.
  switch (value.kind()) {
    case Value::Kind::Null: return sqlite3_result_null(c);
    case Value::Kind::Int16: return sqlite3_result_int(c, value.get<int16_t>());
    case Value::Kind::Int32: return sqlite3_result_int(c, value.get<int32_t>());
    case Value::Kind::Int64: return sqlite3_result_int64(c, value.get<int64_t>());
    case Value::Kind::Double: return sqlite3_result_double(c, value.get<double>());
    case Value::Kind::String: {
      const std::string& s = value.get<std::string>();
      return sqlite3_result_text64(c, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    case Value::Kind::Bcd: {
      double exact = 0;
      if (SmallBcdToDouble(value.get<TBcd>(), exact)) return sqlite3_result_double(c, exact);
      break;
    }
    default: break;
  }
  const SqlForm f = FormOf(value);
  switch (f.kind) {
    case SqlForm::Null: sqlite3_result_null(c); break;
    case SqlForm::Integer: sqlite3_result_int64(c, f.i); break;
    case SqlForm::Real: sqlite3_result_double(c, f.d); break;
    case SqlForm::Text: SetText(c, f.text); break;
    case SqlForm::Blob:
      sqlite3_result_blob64(c, f.bytes->empty() ? "" : static_cast<const void*>(f.bytes->data()), f.bytes->size(),
                            SQLITE_TRANSIENT);
      break;
  }
}

Value NaturalValue(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Value(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return Value(sqlite3_value_double(v));
    case SQLITE_TEXT: return Value(TextOf(v));
    case SQLITE_BLOB: return Value(BytesOf(v));
    default: return Value();
  }
}

Value ValueForColumn(sqlite3_value* v, int ado_type) {
  using namespace formats;
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return Value();
  switch (ado_type) {
    case adBoolean:
      if (type == SQLITE_TEXT) return Value(Value(TextOf(v)).AsBoolean());
      return Value(type == SQLITE_FLOAT ? sqlite3_value_double(v) != 0 : sqlite3_value_int64(v) != 0);
    case adTinyInt: case adUnsignedTinyInt: case adSmallInt: {
      const int64_t i = IntegerOf(v);
      return CheckedInt(i, INT16_MIN, INT16_MAX, Value(static_cast<int16_t>(i)));
    }
    case adInteger: {
      const int64_t i = IntegerOf(v);
      return CheckedInt(i, INT32_MIN, INT32_MAX, Value(static_cast<int32_t>(i)));
    }
    case adBigInt: return Value(static_cast<int64_t>(IntegerOf(v)));
    case adSingle: case adDouble:
      if (type == SQLITE_TEXT) {
        double d = 0;
        const std::string text(TrimBlanks(TextOf(v)));
        if (!TryParseDouble(text, d)) throw StorageError("'" + text + "' is not a number");
        return Value(d);
      }
      if (type == SQLITE_BLOB) throw StorageError("binary data is not a number");
      return Value(sqlite3_value_double(v));
    case adCurrency:
      if (type == SQLITE_INTEGER) return Value(Currency::FromInt64(sqlite3_value_int64(v)));
      if (type == SQLITE_FLOAT) return Value(Currency::FromDouble(sqlite3_value_double(v)));
      return Value(Currency::Parse(TrimBlanks(TextOf(v))));
    case adNumeric:
      if (type == SQLITE_INTEGER) return Value(TBcd::FromInt64(sqlite3_value_int64(v)));
      if (type == SQLITE_FLOAT) return Value(TBcd::FromDouble(sqlite3_value_double(v)));
      return Value(TBcd::Parse(TrimBlanks(TextOf(v))));
    case adDate: case adDBTimeStamp:
      if (type == SQLITE_TEXT) return Value(DateTime::Parse(TrimBlanks(TextOf(v))));
      return Value(DateTime::FromOleDate(sqlite3_value_double(v)));
    case adGUID: return Value(Guid::Parse(TrimBlanks(TextOf(v))));
    case adBinary: case adVarBinary: case adLongVarBinary:
      return Value(type == SQLITE_BLOB ? BytesOf(v) : Value(TextOf(v)).AsBytes());
    default:
      if (type == SQLITE_BLOB) return Value(BytesOf(v));
      if (type == SQLITE_FLOAT) return Value(DoubleToString(sqlite3_value_double(v)));
      return Value(TextOf(v));
  }
}

const char* SqliteTypeOf(int ado_type) {
  using namespace formats;
  switch (ado_type) {
    case adBoolean: case adTinyInt: case adUnsignedTinyInt: case adSmallInt: case adInteger: case adBigInt:
      return "INTEGER";
    case adSingle: case adDouble: case adCurrency: case adNumeric: return "REAL";
    case adBinary: case adVarBinary: case adLongVarBinary: return "BLOB";
    default: return "TEXT";
  }
}

}  // namespace vantor::providers::file
