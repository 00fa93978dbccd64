#pragma once
// Which number formats show a cell as a date: the built-in format codes that are dates, and for formats
// that a workbook defines, the characters their text uses outside quotes, escapes and [brackets].

#include <cstdint>
#include <string_view>

namespace vantor::formats::xls {

bool IsBuiltInDateFormat(uint16_t format_index);
bool IsDateFormatText(std::string_view format);

}  // namespace vantor::formats::xls
