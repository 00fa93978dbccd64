#pragma once
// A directory of delimited text tables as a Storage, written as Jet writes them: a header line of quoted
// column names, comma-separated values, text in double quotes, and a schema.ini section per file that
// gives the column types. Tables are named by their file name ("orders.txt"). Rows can be appended;
// text tables cannot change or delete rows, nor change their columns (StorageError).

#include <memory>
#include <string>

#include "formats/storage.h"

namespace vantor::formats::text {

// StorageError when the directory does not exist.
std::unique_ptr<Storage> OpenDirectory(const std::string& directory);

}  // namespace vantor::formats::text
