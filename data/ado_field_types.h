#pragma once
// The field definition a provider column becomes, as ADO hands columns to a dataset.

#include "dataset/field_def.h"
#include "formats/storage.h"

namespace vantor::data {

// Adds the definition of `column` to `defs`.
void AddFieldDefForColumn(TFieldDefs& defs, const formats::ColumnInfo& column);

}  // namespace vantor::data
