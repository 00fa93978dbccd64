#pragma once
// How Values travel through SQLite without losing anything: integers and doubles as themselves, currency
// and decimals as doubles when that reads back exactly (else as their exact text), dates as ISO text
// (sortable and exact to the millisecond), GUIDs as braced text, binary whole as blobs.

#include <sqlite3.h>

#include <string>

#include "dataset/value.h"
#include "formats/storage.h"

namespace vantor::providers::file {

void BindValue(sqlite3_stmt* stmt, int index, const Value& value);
void ResultValue(sqlite3_context* context, const Value& value);

// A SQLite value as the Value the ADO type asks for; StorageError when it does not fit exactly.
Value ValueForColumn(sqlite3_value* value, int ado_type);
// A SQLite value as it is, for computed columns.
Value NaturalValue(sqlite3_value* value);
// The declared SQLite type of a storage column (INTEGER, REAL, TEXT, BLOB, NUMERIC).
const char* SqliteTypeOf(int ado_type);

}  // namespace vantor::providers::file
