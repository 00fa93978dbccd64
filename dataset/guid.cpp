#include "dataset/guid.h"

#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Text order of the 16 bytes: Data1 (4 bytes, little-endian), Data2 (2), Data3 (2), then Data4 as stored.
constexpr int kTextOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

bool Guid::TryParse(std::string_view text, Guid& out) {
  text = TrimBlanks(text);
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return false;
  std::string hex;
  for (char c : text)
    if (c != '-') hex += c;
  if (hex.size() != 32) return false;
  for (int i = 0; i < 16; ++i) {
    const int hi = HexValue(hex[static_cast<size_t>(2 * i)]), lo = HexValue(hex[static_cast<size_t>(2 * i + 1)]);
    if (hi < 0 || lo < 0) return false;
    out.bytes[static_cast<size_t>(kTextOrder[i])] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

Guid Guid::Parse(std::string_view text) {
  Guid g;
  if (!TryParse(text, g)) throw EConvertError("'" + std::string(text) + "' is not a valid GUID value");
  return g;
}

std::string Guid::ToString() const {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    const uint8_t b = bytes[static_cast<size_t>(kTextOrder[i])];
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  out += '}';
  return out;
}

}  // namespace vantor
