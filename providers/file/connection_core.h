#pragma once
// The SQLite connection behind one provider connection: the storage it shows, its virtual tables and
// views, kept in step with the storage's tables.

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/storage.h"
#include "providers/file/storage_registry.h"
#include "providers/file/storage_vtab.h"

namespace vantor::providers::file {

class ConnectionCore {
 public:
  explicit ConnectionCore(std::shared_ptr<SharedStorage> shared);
  ~ConnectionCore();
  ConnectionCore(const ConnectionCore&) = delete;
  ConnectionCore& operator=(const ConnectionCore&) = delete;

  sqlite3* Db() const { return db_; }
  SharedStorage& Shared() const { return *shared_; }
  std::shared_ptr<SharedStorage> SharedHandle() const { return shared_; }
  formats::Storage& Storage() const { return *shared_->storage; }

  // Rebuilds the virtual tables and views when the storage's tables changed since the last time.
  void SyncSchema();
  // The source columns of a table as the storage gives them; nullptr for unknown tables.
  const std::vector<formats::ColumnInfo>* TableColumns(const std::string& sqlite_table) const;
  // Prepares one statement; ProviderError for errors and for text after it.
  sqlite3_stmt* Prepare(const std::string& sql);
  // The connection's last error as text.
  std::string LastError() const;

 private:
  void DropSchema();
  sqlite3* db_ = nullptr;
  std::shared_ptr<SharedStorage> shared_;
  StorageModuleContext context_;
  uint64_t synced_version_ = 0;
  bool synced_ = false;
  std::map<std::string, std::vector<formats::ColumnInfo>> columns_;  // keyed by upper-cased table name
};

}  // namespace vantor::providers::file
