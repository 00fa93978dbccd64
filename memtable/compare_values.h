#pragma once
// CompareFieldValues: the order of two non-null values of one field type, in the native buffer format.

#include <cstddef>
#include <cstdint>
#include <span>

#include "dataset/field_types.h"
#include "memtable/field_list.h"

namespace vantor {

// `key` and `value` are the native bytes of the two values (text may end before its terminator when
// the bytes run out). Returns a negative number when the key orders first, 0 when equal, positive after.
// `full_match` is cleared only by a partial text comparison whose lengths differ. Text uses the locale id
// (see collation.h) unless mtifoIgnoreLocale is given.
int CompareFieldValues(std::span<const std::byte> key, std::span<const std::byte> value, TFieldType type,
                       TMemIndexFieldOptions options, int32_t locale_id, bool& full_match);

}  // namespace vantor
