#pragma once
// The Jet functions that SQL over files understands (IIf, Nz, Now, Date, Len, Left, Right, Mid, UCase,
// LCase, Trim, InStr, Format), as SQLite functions.

#include <sqlite3.h>

namespace vantor::providers::file {

void RegisterJetFunctions(sqlite3* db);

}  // namespace vantor::providers::file
