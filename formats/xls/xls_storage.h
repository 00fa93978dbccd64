#pragma once
// The Excel workbook storage engine: each worksheet of an .xls file is a table named by its sheet name,
// whose first row holds the column names.

#include <memory>
#include <string>

#include "formats/storage.h"

namespace vantor::formats::xls {

// Opens an existing workbook (BIFF8 read and write, BIFF5 read only). StorageError when it cannot be read.
std::unique_ptr<Storage> OpenWorkbook(const std::string& path);
// Writes a new workbook with no sheets at `path`; StorageError when the file exists already.
void CreateWorkbook(const std::string& path);

}  // namespace vantor::formats::xls
