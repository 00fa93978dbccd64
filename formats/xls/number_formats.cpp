#include "formats/xls/number_formats.h"

#include <string>

namespace vantor::formats::xls {

bool IsBuiltInDateFormat(uint16_t f) {
  return (f >= 14 && f <= 22) || (f >= 27 && f <= 36) || (f >= 45 && f <= 47) || (f >= 50 && f <= 58) ||
         (f >= 71 && f <= 81);
}

bool IsDateFormatText(std::string_view format) {
  // Drop quoted text, the character after \ _ * (escaped, padding, fill), and separators.
  std::string kept;
  enum { kPlain, kQuoted, kSkipNext } state = kPlain;
  for (char c : format) {
    switch (state) {
      case kPlain:
        if (c == '"') state = kQuoted;
        else if (c == '\\' || c == '_' || c == '*') state = kSkipNext;
        else if (std::string_view("$-+/(): ").find(c) == std::string_view::npos) kept += c;
        break;
      case kQuoted:
        if (c == '"') state = kPlain;
        break;
      case kSkipNext: state = kPlain; break;
    }
  }
  // [Red], [h], [$-409] and the like say nothing about the kind.
  std::string plain;
  bool in_bracket = false;
  for (char c : kept) {
    if (in_bracket) {
      if (c == ']') in_bracket = false;
    } else if (c == '[') {
      in_bracket = true;
    } else {
      plain += c;
    }
  }
  if (plain == "General" || plain == "GENERAL" || plain == "general" || plain == "@" || plain == "0.00E+00" ||
      plain == "##0.0E+0")
    return false;
  int date_chars = 0, digit_chars = 0;
  for (char c : plain) {
    if (std::string_view("ymdhsYMDHS").find(c) != std::string_view::npos) ++date_chars;
    else if (c == '0' || c == '#' || c == '?') ++digit_chars;
  }
  if (date_chars && !digit_chars) return true;
  if (digit_chars && !date_chars) return false;
  return date_chars > digit_chars;
}

}  // namespace vantor::formats::xls
