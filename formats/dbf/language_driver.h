#pragma once
// Which code page a table's text is in: its language driver byte, else a .cpg file beside it, else the
// legacy code page of the user's locale.

#include <cstdint>
#include <string>

namespace vantor::formats::dbf {

// The code page of a language driver byte; 0 when the byte names none this engine knows.
int CodePageOfLanguageDriver(uint8_t driver);
// The language driver byte for a code page (0 when there is none).
uint8_t LanguageDriverOfCodePage(int code_page);
// The code page named by the text of a .cpg file ("936", "UTF-8", "ANSI 1252", "GBK", ...); 0 when unknown.
int CodePageOfCpgText(const std::string& text);
// The table's code page, as described above; `dbf_path` locates the .cpg.
int ChooseCodePage(uint8_t driver, const std::string& dbf_path);

}  // namespace vantor::formats::dbf
