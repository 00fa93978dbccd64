#pragma once
// Excel 2.x-4.x worksheet files: no compound file, one stream of BIFF2-BIFF4 records holding a single
// sheet. Read into a Workbook of one worksheet (named "Sheet 1", as other readers name it); such a
// workbook is read-only here.

#include <cstdint>
#include <span>

#include "formats/xls/workbook.h"

namespace vantor::formats::xls {

// True when `bytes` start with a BIFF2-BIFF4 BOF record.
bool IsLegacyWorksheet(std::span<const uint8_t> bytes);
Workbook ReadLegacyWorksheet(std::span<const uint8_t> bytes);

}  // namespace vantor::formats::xls
