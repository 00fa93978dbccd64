#pragma once
// Decimal numbers as text digits, the common ground of exact currency and BCD conversions.

#include <string>
#include <string_view>

namespace vantor::detail {

struct DecimalDigits {
  bool negative = false;
  std::string digits;  // at least one digit; no leading zeros unless the integer part is 0 with no fraction
  int scale = 0;       // digits after the decimal point

  // "[+-]digits[.digits][(e|E)[+-]n]"; blanks around are allowed. False when the text is not a number.
  static bool Parse(std::string_view text, DecimalDigits& out);
  // Drops trailing fraction zeros and leading integer zeros; a zero is never negative.
  void Normalize();
  std::string ToString() const;
  bool IsZero() const;
};

}  // namespace vantor::detail
