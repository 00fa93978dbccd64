#pragma once
// UTF-8 <-> UTF-16 conversion. Text inside the program is UTF-8 in std::string; wide fields hold UTF-16.
// Invalid input sequences become U+FFFD rather than being dropped, so nothing silently shortens.

#include <string>
#include <string_view>

namespace vantor {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The longest prefix of `text` of at most `max_bytes` bytes that does not cut a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view text, size_t max_bytes);
// The longest prefix of at most `max_units` code units that does not cut a surrogate pair.
std::u16string_view Utf16Prefix(std::u16string_view text, size_t max_units);

// Trims leading and trailing blanks and control characters (bytes <= 0x20).
std::string_view TrimBlanks(std::string_view text);
// ASCII-only case folding, for names (field names compare without regard to ASCII case).
std::string AsciiUpper(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace vantor
