#pragma once
// The properties blob of a table (MSysObjects.LvProp): which of its columns are Required.

#include <cstdint>
#include <set>
#include <span>
#include <string>

#include "formats/mdb/field_values.h"

namespace vantor::formats::mdb {

// Names of the columns whose Required property is Yes. A malformed blob yields what could be read before
// the damage; it never reads outside `blob`.
std::set<std::string> RequiredColumns(std::span<const uint8_t> blob, const FieldContext& context);

}  // namespace vantor::formats::mdb
