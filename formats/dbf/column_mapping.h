#pragma once
// Chooses the dBase or Visual FoxPro field that holds a column given as an ADO type exactly.

#include "formats/dbf/table_header.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {

// The field for `column` (name left empty: the caller encodes it). `visual_foxpro` is set when the field
// needs a Visual FoxPro table. StorageError for types no dBase field can hold.
FieldDescriptor FieldForColumn(const ColumnInfo& column, bool& visual_foxpro);

// Whether a field type exists only in Visual FoxPro tables.
bool IsVisualFoxProType(const FieldDescriptor& field);

// Turns `header` into a Visual FoxPro table (version byte, memo pointers of 4 bytes).
void ConvertToVisualFoxPro(TableHeader& header);

// Sets the version byte and memo flag from the fields: dBase III (0x03/0x83) unless a field needs Visual
// FoxPro (0x30, 0x31 with auto-increment, 0x32 with V/Q fields). Keeps dBase IV and FoxPro 2 tables as they are
// when their fields allow.
void ChooseVersion(TableHeader& header);

}  // namespace vantor::formats::dbf
