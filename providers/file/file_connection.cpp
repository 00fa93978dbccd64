#include <filesystem>

#include "dataset/text.h"
#include "formats/xls/xls_storage.h"
#include "providers/file/connection_core.h"
#include "providers/file/file_provider.h"
#include "providers/file/jet_sql.h"
#include "providers/file/result_set.h"
#include "providers/file/storage_opening.h"
#include "providers/file/table_copy.h"

namespace vantor::providers::file {

using namespace formats;
namespace fs = std::filesystem;

namespace {

std::string ExistingTable(Storage& storage, const std::string& name) {
  std::string found = FindTableName(storage, name);
  if (found.empty()) throw ProviderError("the table '" + name + "' does not exist");
  return found;
}

class FileTableAccess : public TableAccess {
 public:
  FileTableAccess(std::shared_ptr<SharedStorage> shared, std::string table)
      : shared_(std::move(shared)), table_(std::move(table)) {}
  const std::string& Name() const override { return table_; }
  std::vector<ColumnInfo> Columns() override { return shared_->storage->Columns(table_); }
  std::unique_ptr<RowCursor> Scan() override { return shared_->storage->Scan(table_); }
  int64_t Insert(const Row& row) override { return shared_->storage->InsertRow(table_, row); }
  void Update(int64_t row_id, const Row& row) override { shared_->storage->UpdateRow(table_, row_id, row); }
  void Delete(int64_t row_id) override { shared_->storage->DeleteRow(table_, row_id); }

 private:
  std::shared_ptr<SharedStorage> shared_;
  std::string table_;
};

// "select * from [t]" over a table: rows straight from the engine, with its own values and columns.
class StorageResultSet : public ResultSet {
 public:
  StorageResultSet(std::shared_ptr<SharedStorage> shared, const std::string& table)
      : shared_(std::move(shared)), columns_(shared_->storage->Columns(table)), rows_(shared_->storage->Scan(table)) {}
  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Next(Row& row) override { return rows_->Next(row); }

 private:
  std::shared_ptr<SharedStorage> shared_;
  std::vector<ColumnInfo> columns_;
  std::unique_ptr<RowCursor> rows_;
};

// The table a statement reads whole ("select * from t"), or empty.
std::string WholeTableOf(const std::string& sql) {
  std::vector<SqlToken> words;
  for (SqlToken& t : TokenizeJet(sql))
    if (t.kind != SqlToken::Space) words.push_back(std::move(t));
  if (!words.empty() && words.back().kind == SqlToken::Symbol && words.back().text == ";") words.pop_back();
  if (words.size() != 4) return {};
  auto word = [&](size_t i, const char* w) { return words[i].kind == SqlToken::Word && SameTextAscii(words[i].text, w); };
  if (!word(0, "SELECT") || words[1].kind != SqlToken::Symbol || words[1].text != "*" || !word(2, "FROM")) return {};
  if (words[3].kind != SqlToken::Word && words[3].kind != SqlToken::Name) return {};
  return words[3].text;
}

class FileConnection : public Connection {
 public:
  explicit FileConnection(std::shared_ptr<SharedStorage> shared)
      : core_(std::make_shared<ConnectionCore>(std::move(shared))) {
    core_->SyncSchema();
  }

  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    for (const TableInfo& t : core_->Storage().ListTables()) names.push_back(t.name);
    return names;
  }

  int64_t Execute(const std::string& sql) override {
    ParsedStatement st = ParseJetStatement(sql);
    if (st.kind != ParsedStatement::Other) return RunOwnStatement(st);
    core_->SyncSchema();
    sqlite3_stmt* stmt = core_->Prepare(st.sqlite_sql);
    const bool read_only = sqlite3_stmt_readonly(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw ProviderError(core_->LastError());
    return read_only ? 0 : sqlite3_changes64(core_->Db());
  }

  std::unique_ptr<ResultSet> Query(const std::string& sql) override {
    ParsedStatement st = ParseJetStatement(sql);
    if (st.kind != ParsedStatement::Other) {
      RunOwnStatement(st);
      return nullptr;
    }
    const std::string whole = WholeTableOf(sql);
    if (!whole.empty()) {
      for (const TableInfo& t : core_->Storage().ListTables())
        if (!t.is_view && SameTextAscii(t.name, whole)) return std::make_unique<StorageResultSet>(SharedPtr(), t.name);
    }
    core_->SyncSchema();
    sqlite3_stmt* stmt = core_->Prepare(st.sqlite_sql);
    if (sqlite3_column_count(stmt) == 0) {
      const int rc = sqlite3_step(stmt);
      sqlite3_finalize(stmt);
      if (rc != SQLITE_DONE && rc != SQLITE_ROW) throw ProviderError(core_->LastError());
      return nullptr;
    }
    return std::make_unique<SqliteResultSet>(core_, stmt);
  }

  std::unique_ptr<TableAccess> OpenTable(const std::string& table) override {
    Storage& storage = core_->Storage();
    for (const TableInfo& t : storage.ListTables())
      if (SameTextAscii(t.name, table)) {
        if (t.is_view) throw ProviderError("'" + t.name + "' is a query, not a table");
        return std::make_unique<FileTableAccess>(SharedPtr(), t.name);
      }
    throw ProviderError("the table '" + table + "' does not exist");
  }

  void RenameTable(const std::string& table, const std::string& new_name) override {
    Changing([&](Storage& s) {
      const std::string old_name = ExistingTable(s, table);
      const std::string clash = FindTableName(s, new_name);
      if (!clash.empty() && !SameTextAscii(clash, old_name)) throw ProviderError("table '" + new_name + "' already exists");
      s.RenameTable(old_name, new_name);
    });
  }

  std::vector<ColumnInfo> Columns(const std::string& table) override {
    return core_->Storage().Columns(ExistingTable(core_->Storage(), table));
  }
  void AddColumn(const std::string& table, const ColumnInfo& column) override {
    Changing([&](Storage& s) { s.AddColumn(ExistingTable(s, table), column); });
  }
  void AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) override {
    Changing([&](Storage& s) { s.AlterColumn(ExistingTable(s, table), column, changed); });
  }
  void DropColumn(const std::string& table, const std::string& column) override {
    Changing([&](Storage& s) { s.DropColumn(ExistingTable(s, table), column); });
  }

 private:
  std::shared_ptr<SharedStorage> SharedPtr() { return core_->SharedHandle(); }

  template <typename F>
  void Changing(F change) {
    SharedStorage& shared = core_->Shared();
    if (shared.transaction_depth > 0) throw ProviderError("tables cannot be changed inside a transaction");
    try {
      change(*shared.storage);
    } catch (...) {
      ++shared.schema_version;
      throw;
    }
    ++shared.schema_version;
  }

  int64_t RunOwnStatement(const ParsedStatement& st) {
    switch (st.kind) {
      case ParsedStatement::CreateTable:
        Changing([&](Storage& s) {
          if (!FindTableName(s, st.table).empty()) throw ProviderError("table '" + st.table + "' already exists");
          s.CreateTable(st.table, st.columns);
        });
        return 0;
      case ParsedStatement::DropTable:
        Changing([&](Storage& s) { s.DropTable(ExistingTable(s, st.table)); });
        return 0;
      case ParsedStatement::AddColumn:
        AddColumn(st.table, st.columns.front());
        return 0;
      case ParsedStatement::AlterColumn:
        AlterColumn(st.table, st.column, st.columns.front());
        return 0;
      case ParsedStatement::DropColumn:
        DropColumn(st.table, st.column);
        return 0;
      case ParsedStatement::SelectInto:
        return SelectInto(st);
      case ParsedStatement::Other: break;
    }
    return 0;
  }

  int64_t SelectInto(const ParsedStatement& st) {
    core_->SyncSchema();
    auto rows = std::make_unique<SqliteResultSet>(core_, core_->Prepare(st.sqlite_sql));
    if (st.into.kind == IntoTarget::SameDatabase) {
      int64_t count = 0;
      Changing([&](Storage& s) { count = CopyRowsIntoNewTable(*rows, s, st.into.table); });
      return count;
    }
    const std::string database = NormalisePath(st.into.database);
    std::string table = st.into.table;
    std::shared_ptr<SharedStorage> target;
    bool created_file = false;
    switch (st.into.kind) {
      case IntoTarget::Text:
        if (AsciiUpper(fs::path(table).extension().string()).empty()) table += ".txt";
        target = OpenSharedStorage(DatabaseKind::TextDirectory, database.empty() ? "." : database);
        break;
      case IntoTarget::Dbase:
        if (AsciiUpper(fs::path(table).extension().string()) == ".DBF") table = fs::path(table).stem().string();
        target = OpenSharedStorage(DatabaseKind::DbfDirectory, database.empty() ? "." : database);
        break;
      case IntoTarget::Excel: {
        std::error_code ec;
        if (!fs::exists(database, ec)) {
          xls::CreateWorkbook(database);
          created_file = true;
        }
        try {
          target = OpenSharedStorage(DatabaseKind::ExcelWorkbook, database);
        } catch (...) {
          if (created_file) fs::remove(database, ec);
          throw;
        }
        break;
      }
      case IntoTarget::SameDatabase: break;
    }
    int64_t count = 0;
    try {
      if (target->transaction_depth > 0) throw ProviderError("the target is inside a transaction");
      count = CopyRowsIntoNewTable(*rows, *target->storage, table);
      ++target->schema_version;
    } catch (...) {
      ++target->schema_version;
      if (created_file) {
        target.reset();
        std::error_code ec;
        fs::remove(database, ec);
      }
      throw;
    }
    return count;
  }

  std::shared_ptr<ConnectionCore> core_;
};

}  // namespace

std::unique_ptr<Connection> OpenFileConnection(const DatabaseTarget& target) {
  std::error_code ec;
  const bool directory = target.kind == DatabaseKind::DbfDirectory || target.kind == DatabaseKind::TextDirectory;
  if (directory ? !fs::is_directory(target.path, ec) : !fs::is_regular_file(target.path, ec))
    throw ProviderError("could not find file '" + target.path + "'");
  return std::make_unique<FileConnection>(OpenSharedStorage(target.kind, target.path));
}

void CreateDatabaseFile(const DatabaseTarget& target) {
  std::error_code ec;
  switch (target.kind) {
    case DatabaseKind::ExcelWorkbook:
      xls::CreateWorkbook(target.path);
      return;
    case DatabaseKind::DbfDirectory:
    case DatabaseKind::TextDirectory:
      if (fs::exists(target.path, ec)) throw ProviderError("'" + target.path + "' already exists");
      fs::create_directories(target.path, ec);
      if (ec) throw ProviderError("cannot create '" + target.path + "': " + ec.message());
      return;
    case DatabaseKind::AccessFile:
      throw ProviderError("new Access files cannot be created yet: '" + target.path + "' was not made");
    case DatabaseKind::Server: break;
  }
  throw ProviderError("no file database can be created for a server");
}

}  // namespace vantor::providers::file
