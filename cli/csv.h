#pragma once
// CSV output of rows (RFC 4180, UTF-8): null is an empty unquoted field, text is quoted, numbers in the
// shortest form that reads back exactly, currency and decimals exact, dates as YYYY-MM-DD HH:MM:SS,
// booleans as 1 and 0, binary as 0x and hex.

#include <ostream>
#include <string>
#include <string_view>

#include "dataset/value.h"

namespace vantor::cli {

std::string CsvQuote(std::string_view text);
std::string CsvField(const Value& value);

}  // namespace vantor::cli
