#pragma once
// Legacy 8-bit code pages of stored text (dBase language drivers, Jet 3, BIFF5), converted with ICU.

#include <string>
#include <string_view>

namespace vantor::formats {

// Decodes bytes in a Windows code page (936, 950, 1252, 437, ...) into UTF-8. Unmappable bytes become U+FFFD.
std::string DecodeCodePage(int code_page, std::string_view bytes);
// Encodes UTF-8 text into a code page; false (and `out` unspecified) when a character has no mapping.
bool EncodeCodePage(int code_page, std::string_view utf8, std::string& out);
// The ICU converter name of a Windows or DOS code page number ("windows-936", "ibm-437").
std::string IcuConverterName(int code_page);
// Whether ICU can convert this code page.
bool IsCodePageSupported(int code_page);
// The legacy code page of the user's locale (LC_ALL, LC_CTYPE, LANG): 936 for zh_CN, 950 for zh_TW and zh_HK,
// 932 ja, 949 ko, 1251 ru/uk/bg, 1250 for central European languages, 1253 el, 1254 tr, else 1252.
int UserLegacyCodePage();

}  // namespace vantor::formats
