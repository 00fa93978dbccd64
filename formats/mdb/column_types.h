#pragma once
// Access column types as ADO data type codes, sizes and scales.

#include "formats/mdb/libmdb_api.h"

#include "formats/mdb/access_header.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {

// Type codes libmdb does not name.
inline constexpr int kMdbBigInt = 0x13;  // "Large Number" of newer ACE files

// The column as the layers above see it. `required` comes from the column's properties.
ColumnInfo DescribeColumn(const MdbColumn& column, JetVersion version, bool required);

}  // namespace vantor::formats::mdb
