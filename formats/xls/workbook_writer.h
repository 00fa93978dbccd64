#pragma once
// Writes a Workbook back into a BIFF8 workbook stream. Sheets that did not change are copied byte for byte
// (their INDEX offsets moved with them); changed sheets keep their other records and get their cell block
// rewritten; the globals keep every record, with the sheet list, the shared strings and added XFs rewritten.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/xls/workbook.h"

namespace vantor::formats::xls {

std::vector<uint8_t> SerializeWorkbook(const Workbook& book);

// A workbook with no sheets and the records every BIFF8 workbook needs (fonts, XFs, styles).
Workbook NewWorkbook();
// An empty worksheet, to be added to `book`.
Sheet NewWorksheet(const Workbook& book, const std::string& name);

}  // namespace vantor::formats::xls
