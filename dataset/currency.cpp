#include "dataset/currency.h"

#include <cmath>
#include <limits>

#include "dataset/decimal_text.h"
#include "dataset/errors.h"

namespace vantor {

Currency Currency::FromInt64(int64_t units) {
  int64_t scaled;
  if (__builtin_mul_overflow(units, kScale, &scaled))
    throw EConvertError(std::to_string(units) + " is out of the currency range");
  return Currency{scaled};
}

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value)) throw EConvertError("not a finite number cannot be a currency value");
  const double scaled = std::round(value * kScale);  // round() is half away from zero
  if (scaled >= 9.2233720368547758e18 || scaled < -9.2233720368547758e18)
    throw EConvertError("value is out of the currency range");
  return Currency{static_cast<int64_t>(scaled)};
}

bool Currency::TryParse(std::string_view text, Currency& out) {
  detail::DecimalDigits d;
  if (!detail::DecimalDigits::Parse(text, d)) return false;
  // Bring to four decimals, rounding half away from zero.
  bool round_up = false;
  if (d.scale > 4) {
    const size_t keep = d.digits.size() - static_cast<size_t>(d.scale - 4);
    round_up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    d.scale = 4;
  }
  d.digits.append(static_cast<size_t>(4 - d.scale), '0');
  __int128 v = 0;
  for (char c : d.digits) {
    v = v * 10 + (c - '0');
    if (v > static_cast<__int128>(std::numeric_limits<int64_t>::max()) + 1) return false;
  }
  if (round_up) ++v;
  if (d.negative) v = -v;
  if (v > std::numeric_limits<int64_t>::max() || v < std::numeric_limits<int64_t>::min()) return false;
  out = Currency{static_cast<int64_t>(v)};
  return true;
}

Currency Currency::Parse(std::string_view text) {
  Currency c;
  if (!TryParse(text, c)) throw EConvertError("'" + std::string(text) + "' is not a valid currency value");
  return c;
}

std::string Currency::ToString() const {
  const bool neg = scaled < 0;
  // Work in unsigned so that the most negative value prints correctly.
  uint64_t mag = neg ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = std::to_string(mag / kScale);
  uint64_t frac = mag % kScale;
  if (frac) {
    std::string f = std::to_string(frac);
    f.insert(0, 4 - f.size(), '0');
    while (f.back() == '0') f.pop_back();
    out += '.';
    out += f;
  }
  return neg ? "-" + out : out;
}

}  // namespace vantor
