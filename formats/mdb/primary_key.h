#pragma once
// Which columns form a table's primary key, read from the index section of its definition.

#include <cstdint>
#include <set>

#include "formats/mdb/libmdb_handle.h"

namespace vantor::formats::mdb {

// Column numbers (MdbColumn::col_num, which counts deleted columns too) of the primary key; empty when the
// table has none or its index section cannot be read.
std::set<int> PrimaryKeyColumnNumbers(PageSource& pages, const MdbFormatConstants& format, uint32_t definition_page);

}  // namespace vantor::formats::mdb
