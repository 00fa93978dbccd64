#pragma once
// Checks a table definition's pages before libmdb reads them: libmdb trusts page numbers, counts and usage
// maps, and reads out of bounds or crashes when a damaged file gives it bad ones.

#include <cstdint>
#include <string>

#include "formats/mdb/libmdb_handle.h"

namespace vantor::formats::mdb {

// StorageError naming the table when its definition, column counts or usage maps are inconsistent.
void CheckTableDefinition(PageSource& pages, const MdbFormatConstants& format, uint32_t definition_page,
                          const std::string& table);

}  // namespace vantor::formats::mdb
