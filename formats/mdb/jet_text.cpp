#include "formats/mdb/jet_text.h"

#include <cstdlib>

#include "dataset/text.h"
#include "formats/code_page.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {

std::string DecodeJet4Text(std::span<const uint8_t> bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  // Compressed text starts in one-byte mode; in either mode a zero byte switches to the other one. Text
  // holding a character whose low byte is zero is never stored compressed, so the switch is unambiguous.
  const bool compressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  bool one_byte = compressed;
  size_t i = compressed ? 2 : 0;
  while (i < bytes.size()) {
    if (compressed && bytes[i] == 0) {
      one_byte = !one_byte;
      ++i;
    } else if (one_byte) {
      units += static_cast<char16_t>(bytes[i]);
      ++i;
    } else if (i + 1 < bytes.size()) {
      units += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
      i += 2;
    } else {
      units += u'\uFFFD';
      ++i;
    }
  }
  return Utf16ToUtf8(units);
}

int Jet3CodePage() {
  const char* text = std::getenv(kJet3CodePageVariable);
  if (text == nullptr || *text == '\0') return UserLegacyCodePage();
  char* end = nullptr;
  const long code_page = std::strtol(text, &end, 10);
  if (*end != '\0' || code_page <= 0 || code_page > 65535 || !IsCodePageSupported(static_cast<int>(code_page)))
    throw StorageError(std::string(kJet3CodePageVariable) + "='" + text + "' is not a code page that can be read");
  return static_cast<int>(code_page);
}

}  // namespace vantor::formats::mdb
