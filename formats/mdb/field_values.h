#pragma once
// Values of Access fields decoded from their stored bytes, exactly: currency from its scaled integer,
// decimals from their 128-bit integer, dates from the OLE day count, memo and OLE data whole.

#include "formats/mdb/libmdb_api.h"

#include <cstdint>
#include <span>

#include "dataset/value.h"
#include "formats/mdb/access_header.h"
#include "formats/mdb/libmdb_handle.h"

namespace vantor::formats::mdb {

struct FieldContext {
  JetVersion version = JetVersion::Jet4;
  int jet3_code_page = 1252;
  PageSource* pages = nullptr;  // for memo and OLE data stored outside the row
};

// `bytes` is the field as stored in its row (empty for a null). StorageError when it is damaged.
Value DecodeField(const MdbColumn& column, bool is_null, std::span<const uint8_t> bytes, FieldContext& context);

// The stored forms, exposed for the column types that need more than a cast.
TBcd DecodeDecimal(std::span<const uint8_t> bytes, int scale);  // 17 bytes: sign, four 32-bit words
double ShortestSingle(float value);  // the shortest decimal that reads back as `value`, as a double
std::string DecodeText(std::span<const uint8_t> bytes, const FieldContext& context);

}  // namespace vantor::formats::mdb
