#pragma once
// Memo and OLE values: a 12-byte field header (length with flags, a page/row pointer) and the data, stored
// inline after the header, in one row of another page, or in a chain of rows across pages.

#include <cstdint>
#include <span>
#include <vector>

#include "formats/mdb/libmdb_handle.h"

namespace vantor::formats::mdb {

inline constexpr size_t kLongValueHeaderSize = 12;

// The whole value. StorageError when the header or the chain is damaged: a pointer outside the file, a
// chain that loops, or data that ends short of (or runs past) the stored length.
std::vector<uint8_t> ReadLongValue(PageSource& pages, std::span<const uint8_t> field);

}  // namespace vantor::formats::mdb
