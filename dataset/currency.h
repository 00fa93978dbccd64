#pragma once
// Currency: a 64-bit integer holding the amount times 10,000 (four decimals, exact).

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

struct Currency {
  static constexpr int64_t kScale = 10000;
  int64_t scaled = 0;

  static constexpr Currency FromScaled(int64_t v) { return Currency{v}; }
  static Currency FromInt64(int64_t units);             // EConvertError on overflow
  static Currency FromDouble(double value);             // rounded to four decimals, half away from zero
  static Currency Parse(std::string_view text);         // "-123.4567"; EConvertError when not exact or bad
  static bool TryParse(std::string_view text, Currency& out);

  double ToDouble() const { return static_cast<double>(scaled) / kScale; }
  // Shortest exact text: "12.5", "-0.0001", "7".
  std::string ToString() const;

  friend constexpr auto operator<=>(Currency, Currency) = default;
};

}  // namespace vantor
