#include "dataset/decimal_text.h"

#include <cstdlib>

#include "dataset/text.h"

namespace vantor::detail {

bool DecimalDigits::Parse(std::string_view text, DecimalDigits& out) {
  text = TrimBlanks(text);
  out = DecimalDigits{};
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
  bool any = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') out.digits += text[i++], any = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') out.digits += text[i++], ++out.scale, any = true;
  }
  if (!any) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) neg = text[i++] == '-';
    if (i >= text.size()) return false;
    long exp = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      exp = exp * 10 + (text[i++] - '0');
      if (exp > 100000) return false;
    }
    if (neg) {
      out.scale += static_cast<int>(exp);
    } else if (exp <= out.scale) {
      out.scale -= static_cast<int>(exp);
    } else {
      out.digits.append(static_cast<size_t>(exp - out.scale), '0');
      out.scale = 0;
    }
  }
  if (i != text.size()) return false;
  out.Normalize();
  return true;
}

void DecimalDigits::Normalize() {
  while (scale > 0 && !digits.empty() && digits.back() == '0') digits.pop_back(), --scale;
  // Keep at least scale + 1 digits so there is an integer part.
  if (static_cast<int>(digits.size()) < scale + 1) digits.insert(0, static_cast<size_t>(scale + 1) - digits.size(), '0');
  size_t lead = 0;
  while (lead + 1 + static_cast<size_t>(scale) < digits.size() && digits[lead] == '0') ++lead;
  digits.erase(0, lead);
  if (IsZero()) negative = false;
}

bool DecimalDigits::IsZero() const { return digits.find_first_not_of('0') == std::string::npos; }

std::string DecimalDigits::ToString() const {
  std::string out;
  if (negative) out += '-';
  const size_t int_len = digits.size() - static_cast<size_t>(scale);
  out.append(digits, 0, int_len);
  if (scale > 0) {
    out += '.';
    out.append(digits, int_len, std::string::npos);
  }
  return out;
}

}  // namespace vantor::detail
