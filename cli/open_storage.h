#pragma once
// Opens the storage engine that fits a path: a .dbf file or a directory of them, an .xls workbook,
// an .mdb or .accdb Access file.

#include <memory>
#include <string>

#include "formats/storage.h"

namespace vantor::cli {

std::unique_ptr<formats::Storage> OpenStorageForPath(const std::string& path);

}  // namespace vantor::cli
