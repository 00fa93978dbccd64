#pragma once
// Access files (.mdb: Jet 3 and Jet 4; .accdb: ACE) as a Storage. Reading only for now: every change
// raises StorageError.

#include <memory>
#include <string>

#include "formats/storage.h"

namespace vantor::formats::mdb {

// Opens the Access file at `path`; StorageError when it is missing, not an Access file or damaged.
std::unique_ptr<Storage> OpenAccessFile(const std::string& path);

}  // namespace vantor::formats::mdb
