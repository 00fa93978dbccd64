#include "dataset/bcd.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "dataset/decimal_text.h"
#include "dataset/errors.h"

namespace vantor {
namespace {

constexpr int kMaxDigits = 64;
constexpr int kMaxScale = 63;

detail::DecimalDigits ToDigits(const TBcd& b) {
  detail::DecimalDigits d;
  d.negative = b.IsNegative();
  const int precision = std::min<int>(b.Precision, kMaxDigits);
  for (int i = 0; i < precision; ++i) d.digits += static_cast<char>('0' + std::min(b.Digit(i), 9));
  d.scale = std::min(b.Scale(), precision);
  if (d.digits.empty()) d.digits = "0", d.scale = 0;
  d.Normalize();
  return d;
}

bool FromDigits(detail::DecimalDigits d, TBcd& out) {
  d.Normalize();
  if (d.scale > kMaxScale) {  // drop digits beyond what the record can hold, rounding half away from zero
    const size_t cut = static_cast<size_t>(d.scale - kMaxScale);
    const bool up = d.digits[d.digits.size() - cut] >= '5';
    d.digits.resize(d.digits.size() - cut);
    d.scale = kMaxScale;
    if (up) {
      int i = static_cast<int>(d.digits.size()) - 1;
      while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
      if (i < 0) d.digits.insert(0, "1"); else ++d.digits[static_cast<size_t>(i)];
    }
    d.Normalize();
  }
  if (d.digits.size() > kMaxDigits) return false;
  out = TBcd{};
  out.Precision = static_cast<uint8_t>(d.digits.size());
  out.SignSpecialPlaces = static_cast<uint8_t>((d.negative ? 0x80 : 0) | d.scale);
  for (size_t i = 0; i < d.digits.size(); ++i) out.SetDigit(static_cast<int>(i), d.digits[i] - '0');
  return true;
}

}  // namespace

void TBcd::SetDigit(int i, int d) {
  uint8_t& b = Fraction[static_cast<size_t>(i / 2)];
  if (i & 1)
    b = static_cast<uint8_t>((b & 0xF0) | (d & 0x0F));
  else
    b = static_cast<uint8_t>((b & 0x0F) | ((d & 0x0F) << 4));
}

bool TBcd::TryParse(std::string_view text, TBcd& out) {
  detail::DecimalDigits d;
  return detail::DecimalDigits::Parse(text, d) && FromDigits(std::move(d), out);
}

TBcd TBcd::Parse(std::string_view text) {
  TBcd b;
  if (!TryParse(text, b)) throw EConvertError("'" + std::string(text) + "' is not a valid BCD value");
  return b;
}

TBcd TBcd::FromInt64(int64_t value) { return Parse(std::to_string(value)); }

TBcd TBcd::FromCurrency(Currency value) { return Parse(value.ToString()); }

TBcd TBcd::FromDouble(double value) {
  if (!std::isfinite(value)) throw EConvertError("not a finite number cannot be a BCD value");
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return Parse(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

std::string TBcd::ToString() const {
  // Written straight from the nibbles: no leading zeros, no trailing fraction zeros, no negative zero.
  const int precision = std::min<int>(Precision, kMaxDigits);
  const int scale = std::min(Scale(), precision);
  char buffer[kMaxDigits + 4];
  char* out = buffer;
  *out++ = '-';
  const int integer_digits = precision - scale;
  bool any = false;
  for (int i = 0; i < integer_digits; ++i) {
    const int d = std::min(Digit(i), 9);
    if (d == 0 && !any) continue;
    any = true;
    *out++ = static_cast<char>('0' + d);
  }
  if (!any) *out++ = '0';
  int last = precision - 1;
  while (last >= integer_digits && std::min(Digit(last), 9) == 0) --last;
  if (last >= integer_digits) {
    *out++ = '.';
    for (int i = integer_digits; i <= last; ++i) *out++ = static_cast<char>('0' + std::min(Digit(i), 9));
  }
  const bool zero = !any && last < integer_digits;
  const char* start = IsNegative() && !zero ? buffer : buffer + 1;
  return std::string(start, static_cast<size_t>(out - start));
}

double TBcd::ToDouble() const { return std::strtod(ToString().c_str(), nullptr); }

bool TBcd::IsZero() const { return ToDigits(*this).IsZero(); }

bool TBcd::TryToCurrency(Currency& out) const { return Currency::TryParse(ToString(), out); }

Currency TBcd::ToCurrency() const {
  Currency c;
  if (!TryToCurrency(c)) throw EConvertError(ToString() + " is out of the currency range");
  return c;
}

bool TBcd::TryToInt64(int64_t& out) const {
  detail::DecimalDigits d = ToDigits(*this);
  if (d.scale != 0) return false;
  std::string text = d.ToString();
  auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

int CompareBcd(const TBcd& a, const TBcd& b) {
  detail::DecimalDigits x = ToDigits(a), y = ToDigits(b);
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  // Align the fractions, then compare integer lengths and digits.
  const int scale = std::max(x.scale, y.scale);
  x.digits.append(static_cast<size_t>(scale - x.scale), '0');
  y.digits.append(static_cast<size_t>(scale - y.scale), '0');
  int r;
  if (x.digits.size() != y.digits.size())
    r = x.digits.size() < y.digits.size() ? -1 : 1;
  else
    r = x.digits < y.digits ? -1 : (x.digits == y.digits ? 0 : 1);
  return x.negative ? -r : r;
}

bool operator==(const TBcd& a, const TBcd& b) { return CompareBcd(a, b) == 0; }

}  // namespace vantor
