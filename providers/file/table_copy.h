#pragma once
// SELECT ... INTO: a new table made from a result's columns and filled with its rows.

#include <cstdint>
#include <string>

#include "formats/storage.h"
#include "providers/provider.h"

namespace vantor::providers::file {

// Creates `table` in `target` with the result's columns and inserts every row in one transaction. When a
// row fails the new table is dropped again, so the target keeps what it had. Answers the rows copied.
int64_t CopyRowsIntoNewTable(ResultSet& rows, formats::Storage& target, const std::string& table);

}  // namespace vantor::providers::file
