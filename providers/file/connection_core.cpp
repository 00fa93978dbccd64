#include "providers/file/connection_core.h"

#include "dataset/text.h"
#include "providers/file/jet_functions.h"
#include "providers/file/jet_sql.h"
#include "providers/provider.h"

namespace vantor::providers::file {

ConnectionCore::ConnectionCore(std::shared_ptr<SharedStorage> shared) : shared_(std::move(shared)) {
  if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw ProviderError("cannot start the SQL engine: " + message);
  }
  context_.shared = shared_.get();
  RegisterStorageModule(db_, &context_);
  RegisterJetFunctions(db_);
  sqlite3_extended_result_codes(db_, 1);
}

ConnectionCore::~ConnectionCore() {
  DropSchema();
  sqlite3_close_v2(db_);
}

std::string ConnectionCore::LastError() const { return sqlite3_errmsg(db_); }

sqlite3_stmt* ConnectionCore::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK)
    throw ProviderError(LastError());
  if (!stmt) throw ProviderError("the SQL statement is empty");
  if (tail && !TrimBlanks(tail).empty()) {
    sqlite3_finalize(stmt);
    throw ProviderError("characters found after end of SQL statement");
  }
  return stmt;
}

void ConnectionCore::DropSchema() {
  // Views first: they may name the tables.
  for (const char* type : {"view", "table"}) {
    std::vector<std::string> names;
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = std::string("SELECT name FROM sqlite_schema WHERE type='") + type + "'";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) continue;
    while (sqlite3_step(stmt) == SQLITE_ROW)
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    for (const std::string& name : names)
      sqlite3_exec(db_, (std::string("DROP ") + type + " " + SqliteQuote(name)).c_str(), nullptr, nullptr, nullptr);
  }
  columns_.clear();
}

void ConnectionCore::SyncSchema() {
  if (synced_ && synced_version_ == shared_->schema_version) return;
  DropSchema();
  context_.tables.clear();
  std::vector<formats::TableInfo> views;
  for (const formats::TableInfo& t : Storage().ListTables()) {
    if (t.is_view) {
      views.push_back(t);
      continue;
    }
    context_.tables.push_back(t.name);
    const std::string sql = "CREATE VIRTUAL TABLE " + SqliteQuote(t.name) + " USING " + kStorageModuleName + "(" +
                            std::to_string(context_.tables.size() - 1) + ")";
    // A table that cannot be shown stays listed; statements that name it fail with "no such table".
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) continue;
    columns_[AsciiUpper(t.name)] = Storage().Columns(t.name);
  }
  // Saved queries may build on each other: create them in as many rounds as it takes. A saved query
  // that SQLite cannot read stays listed but fails when it is used.
  bool progress = true;
  while (!views.empty() && progress) {
    progress = false;
    for (auto it = views.begin(); it != views.end();) {
      std::string sql;
      try {
        sql = "CREATE VIEW " + SqliteQuote(it->name) + " AS " + TranslateJet(Storage().ViewSql(it->name));
      } catch (const std::exception&) {
        it = views.erase(it);
        continue;
      }
      if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
        it = views.erase(it);
        progress = true;
      } else {
        ++it;
      }
    }
  }
  synced_version_ = shared_->schema_version;
  synced_ = true;
}

const std::vector<formats::ColumnInfo>* ConnectionCore::TableColumns(const std::string& sqlite_table) const {
  auto it = columns_.find(AsciiUpper(sqlite_table));
  return it == columns_.end() ? nullptr : &it->second;
}

}  // namespace vantor::providers::file
