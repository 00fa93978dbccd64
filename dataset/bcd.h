#pragma once
// TBcd: the runtime's 34-byte decimal record, and exact conversions to and from it.
// Layout: Precision (number of digits, 1..64), SignSpecialPlaces (bit 7 negative, bit 6 special,
// bits 0..5 the number of decimal places), Fraction (64 nibbles, most significant first, Precision used).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/currency.h"

namespace vantor {

struct TBcd {
  uint8_t Precision = 1;
  uint8_t SignSpecialPlaces = 0;
  std::array<uint8_t, 32> Fraction{};

  bool IsNegative() const { return SignSpecialPlaces & 0x80; }
  int Scale() const { return SignSpecialPlaces & 0x3F; }
  int Digit(int i) const { return (i & 1) ? (Fraction[i / 2] & 0x0F) : (Fraction[i / 2] >> 4); }
  void SetDigit(int i, int d);

  static TBcd Parse(std::string_view text);                   // EConvertError when not a decimal
  static bool TryParse(std::string_view text, TBcd& out);
  static TBcd FromInt64(int64_t value);
  static TBcd FromCurrency(Currency value);
  static TBcd FromDouble(double value);                      // the shortest decimal that reads back as value

  // Exact decimal text without superfluous zeros ("-12.05", "0", "1000").
  std::string ToString() const;
  double ToDouble() const;
  // Rounds to four decimals (half away from zero); false when the value does not fit the currency range.
  bool TryToCurrency(Currency& out) const;
  Currency ToCurrency() const;                                // EConvertError on overflow
  bool TryToInt64(int64_t& out) const;                        // false when not integral or out of range
  bool IsZero() const;

  friend bool operator==(const TBcd& a, const TBcd& b);       // same number (whatever the precision)
};
static_assert(sizeof(TBcd) == 34);

int CompareBcd(const TBcd& a, const TBcd& b);  // -1, 0, +1

}  // namespace vantor
