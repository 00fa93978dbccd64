#pragma once
// The SQLite module that shows a storage engine's tables as virtual tables: the cursor streams rows from
// the engine and inserts, updates and deletes go straight through to it, inside the engine's transaction.

#include <sqlite3.h>

#include <string>
#include <vector>

#include "providers/file/storage_registry.h"

namespace vantor::providers::file {

// What the module needs of its connection: the storage and the table that each virtual table stands for
// (its module argument is an index into `tables`).
struct StorageModuleContext {
  SharedStorage* shared = nullptr;
  std::vector<std::string> tables;
};

inline constexpr const char* kStorageModuleName = "vantor_storage";

// Registers the module on a connection; `context` must outlive it.
void RegisterStorageModule(sqlite3* db, StorageModuleContext* context);

}  // namespace vantor::providers::file
