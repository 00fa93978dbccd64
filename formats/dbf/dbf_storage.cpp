#include "formats/dbf/dbf_storage.h"

#include <algorithm>
#include <filesystem>

#include "dataset/text.h"
#include "formats/dbf/dbc_names.h"
#include "formats/dbf/dbf_table.h"

namespace vantor::formats::dbf {

namespace fs = std::filesystem;

DbfStorage::DbfStorage(std::string directory) : directory_(std::move(directory)) { Refresh(); }

DbfStorage::~DbfStorage() {
  try {
    Rollback();
  } catch (...) {
  }
}

void DbfStorage::Refresh() {
  std::error_code ec;
  std::vector<fs::path> dbfs, dbcs;
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (!it->is_regular_file(ec)) continue;
    const std::string ext = AsciiUpper(p.extension().string());
    if (ext == ".DBF") dbfs.push_back(p);
    else if (ext == ".DBC") dbcs.push_back(p);
  }
  if (ec) throw StorageError("cannot list the directory '" + directory_ + "': " + ec.message());
  std::sort(dbfs.begin(), dbfs.end());
  std::map<std::string, LongNames> long_names;
  for (const fs::path& dbc : dbcs) long_names.merge(ReadContainerNames(dbc.string()));

  std::map<std::string, std::unique_ptr<Entry>> entries;
  std::vector<std::string> order;
  for (const fs::path& p : dbfs) {
    auto entry = std::make_unique<Entry>();
    entry->dbf_path = p.string();
    entry->name = p.stem().string();
    auto names = long_names.find(AsciiUpper(p.filename().string()));
    if (names != long_names.end()) {
      if (!names->second.table.empty()) entry->name = names->second.table;
      entry->long_fields = names->second.fields;
    }
    std::string key = AsciiUpper(entry->name);
    if (entries.count(key)) {  // two files whose names differ only in case
      entry->name = p.filename().string();
      key = AsciiUpper(entry->name);
    }
    // Tables already open stay open (they may hold a transaction).
    for (auto& [old_key, old] : entries_)
      if (old->table && old->dbf_path == entry->dbf_path) entry->table = old->table;
    order.push_back(entry->name);
    entries.emplace(key, std::move(entry));
  }
  entries_ = std::move(entries);
  order_ = std::move(order);
}

DbfStorage::Entry& DbfStorage::Find(const std::string& table) {
  auto it = entries_.find(AsciiUpper(table));
  if (it == entries_.end()) {
    Refresh();
    it = entries_.find(AsciiUpper(table));
  }
  if (it == entries_.end()) throw StorageError("table '" + table + "' not found in " + directory_);
  return *it->second;
}

std::shared_ptr<DbfTable> DbfStorage::Open(Entry& entry) {
  // A table another program wrote to since we opened it is read afresh.
  if (entry.table && entry.table->IsStale()) entry.table.reset();
  if (!entry.table) entry.table = DbfTable::Open(entry.dbf_path, entry.name);
  return entry.table;
}

std::shared_ptr<DbfTable> DbfStorage::OpenForWrite(Entry& entry) {
  std::shared_ptr<DbfTable> table = Open(entry);
  if (in_transaction_ && !table->in_transaction()) table->Begin();
  return table;
}

void DbfStorage::Forget(Entry& entry) {
  // Cursors still open keep the old files (and read them to the end); the next use opens the table again.
  entry.table.reset();
}

std::vector<TableInfo> DbfStorage::ListTables() {
  Refresh();
  std::vector<TableInfo> tables;
  for (const std::string& name : order_) tables.push_back(TableInfo{name, false});
  return tables;
}

std::vector<ColumnInfo> DbfStorage::Columns(const std::string& table) {
  Entry& entry = Find(table);
  std::vector<ColumnInfo> columns = Open(entry)->Columns();
  if (entry.long_fields.size() == columns.size())
    for (size_t i = 0; i < columns.size(); ++i)
      if (!entry.long_fields[i].empty()) columns[i].name = entry.long_fields[i];
  return columns;
}

std::unique_ptr<RowCursor> DbfStorage::Scan(const std::string& table) { return Open(Find(table))->Scan(); }

std::unique_ptr<RowCursor> DbfStorage::ScanColumns(const std::string& table, const std::vector<bool>& wanted) {
  return Open(Find(table))->Scan(wanted);
}

int64_t DbfStorage::InsertRow(const std::string& table, const Row& row) {
  return OpenForWrite(Find(table))->Insert(row);
}

void DbfStorage::UpdateRow(const std::string& table, int64_t row_id, const Row& row) {
  OpenForWrite(Find(table))->Update(row_id, row);
}

void DbfStorage::DeleteRow(const std::string& table, int64_t row_id) { OpenForWrite(Find(table))->Delete(row_id); }

void DbfStorage::Begin() {
  if (in_transaction_) throw StorageError("a transaction is already open on " + directory_);
  in_transaction_ = true;
}

void DbfStorage::Commit() {
  in_transaction_ = false;
  for (auto& [key, entry] : entries_)
    if (entry->table && entry->table->in_transaction()) entry->table->Commit();
}

void DbfStorage::Rollback() {
  in_transaction_ = false;
  for (auto& [key, entry] : entries_)
    if (entry->table && entry->table->in_transaction()) entry->table->Rollback();
}

std::string DbfStorage::TableFile(const std::string& table) { return Find(table).dbf_path; }

int DbfStorage::TableCodePage(const std::string& table) { return Open(Find(table))->code_page(); }

std::unique_ptr<Storage> OpenDirectory(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw StorageError("'" + dir + "' is not a directory");
  return std::make_unique<DbfStorage>(dir);
}

}  // namespace vantor::formats::dbf
