#pragma once
// Value: a variant of the kinds a field can hold, with exact conversions between them. Conversions that
// cannot be exact (text that is not a number, a number out of range, a fraction into an integer) raise
// EConvertError instead of guessing.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dataset/bcd.h"
#include "dataset/currency.h"
#include "dataset/date_time.h"
#include "dataset/guid.h"

namespace vantor {

using Bytes = std::vector<uint8_t>;

class Value {
 public:
  enum class Kind : uint8_t {
    Null, Boolean, Int16, Int32, Int64, Double, Currency, Bcd, DateTime, String, WideString, Bytes, Guid
  };

  Value() = default;
  Value(bool v) : v_(v) {}
  Value(int16_t v) : v_(v) {}
  Value(int32_t v) : v_(v) {}
  Value(int64_t v) : v_(v) {}
  Value(double v) : v_(v) {}
  Value(vantor::Currency v) : v_(v) {}
  Value(const TBcd& v) : v_(v) {}
  Value(vantor::DateTime v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}
  Value(std::string_view v) : v_(std::string(v)) {}
  Value(std::u16string v) : v_(std::move(v)) {}
  Value(const char16_t* v) : v_(std::u16string(v)) {}
  Value(vantor::Bytes v) : v_(std::move(v)) {}
  Value(const vantor::Guid& v) : v_(v) {}

  static Value Null() { return Value(); }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool IsNull() const { return v_.index() == 0; }
  bool IsNumeric() const;  // Int16, Int32, Int64, Double, Currency, Bcd
  bool IsText() const { return kind() == Kind::String || kind() == Kind::WideString; }

  // Conversions. A null converts to false, 0, empty text or empty bytes; use IsNull first where that matters.
  bool AsBoolean() const;       // numbers: non-zero; text: "true"/"false", "1"/"0", "yes"/"no"
  int64_t AsInt64() const;      // fractions raise EConvertError
  int32_t AsInt32() const;
  double AsDouble() const;      // integers beyond 2^53 raise EConvertError
  vantor::Currency AsCurrency() const;
  TBcd AsBcd() const;
  vantor::DateTime AsDateTime() const;  // numbers are OLE dates, text is parsed
  std::string AsString() const;         // UTF-8; numbers in their shortest exact form
  std::u16string AsWideString() const;
  vantor::Bytes AsBytes() const;        // text gives its UTF-8 bytes
  vantor::Guid AsGuid() const;

  // Access without conversion; the kind must match.
  template <typename T>
  const T& get() const { return std::get<T>(v_); }

  // Makes the value hold a T and answers it, reusing the one already there (its old contents stay until
  // overwritten): lets a reader decode straight into a value it refills row after row.
  template <typename T>
  T& Emplace() {
    if (T* held = std::get_if<T>(&v_)) return *held;
    return v_.template emplace<T>();
  }

  // Same kind and same value (doubles compare bit-for-bit equal values, NaN equals NaN).
  friend bool operator==(const Value& a, const Value& b);

  static std::string_view KindName(Kind kind);

 private:
  std::variant<std::monostate, bool, int16_t, int32_t, int64_t, double, vantor::Currency, TBcd, vantor::DateTime,
               std::string, std::u16string, vantor::Bytes, vantor::Guid>
      v_;
};

// Shortest text that reads back as exactly the same double ("0.1", "1e+300", "3").
std::string DoubleToString(double value);
bool TryParseDouble(std::string_view text, double& out);
bool TryParseInt64(std::string_view text, int64_t& out);

}  // namespace vantor
