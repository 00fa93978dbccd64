#pragma once
// Reads a BIFF8 (or BIFF5) workbook stream into a Workbook: globals, shared strings, formats, XFs, and the
// cells of every worksheet. Damaged streams raise StorageError.

#include <cstdint>
#include <memory>
#include <vector>

#include "formats/xls/workbook.h"

namespace vantor::formats::xls {

Workbook ReadWorkbookStream(std::shared_ptr<const std::vector<uint8_t>> stream);

}  // namespace vantor::formats::xls
