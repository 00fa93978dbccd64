#pragma once
// Text as Access stores it: Jet 4 and ACE keep UCS-2 (little-endian), optionally in the compressed form
// that starts with FF FE; Jet 3 keeps 8-bit text in the code page of the machine that wrote it.

#include <cstdint>
#include <span>
#include <string>

namespace vantor::formats::mdb {

// The environment variable that names the code page of Jet 3 text (e.g. 936); unset means the code page
// of the user's locale.
inline constexpr const char* kJet3CodePageVariable = "VANTOR_JET3_CODEPAGE";

// UCS-2 text, plain or compressed, as UTF-8. A dangling odd byte becomes U+FFFD rather than vanishing.
std::string DecodeJet4Text(std::span<const uint8_t> bytes);

// The code page for Jet 3 text; StorageError when the variable holds something that is not a usable code page.
int Jet3CodePage();

}  // namespace vantor::formats::mdb
