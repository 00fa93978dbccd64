#pragma once
// The file provider: SQL over the storage engines' files (Access, Excel, dBase directories, text
// directories) through an SQLite connection of its own per connection object.

#include <memory>

#include "providers/connection_string.h"
#include "providers/provider.h"

namespace vantor::providers::file {

// Opens the database a connection string named; ProviderError / StorageError when it cannot be read.
std::unique_ptr<Connection> OpenFileConnection(const DatabaseTarget& target);

// Creates a new, empty database: an Excel workbook with no sheets, or a directory for dBase and text
// tables. Access files cannot be created yet (ProviderError). Fails when the file exists.
void CreateDatabaseFile(const DatabaseTarget& target);

}  // namespace vantor::providers::file
