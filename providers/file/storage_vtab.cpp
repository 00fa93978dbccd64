#include "providers/file/storage_vtab.h"

#include <cstdlib>
#include <algorithm>
#include <memory>
#include <set>

#include "dataset/text.h"

#include "providers/file/jet_sql.h"
#include "providers/file/sqlite_values.h"

namespace vantor::providers::file {

using formats::ColumnInfo;
using formats::Row;

namespace {

struct StorageTable {
  sqlite3_vtab base{};
  SharedStorage* shared = nullptr;
  std::string table;
  std::vector<ColumnInfo> columns;
};

struct StorageCursor {
  sqlite3_vtab_cursor base{};
  std::unique_ptr<formats::RowCursor> rows;
  Row row;
  bool eof = true;
};

StorageTable* TableOf(sqlite3_vtab* v) { return reinterpret_cast<StorageTable*>(v); }
StorageCursor* CursorOf(sqlite3_vtab_cursor* c) { return reinterpret_cast<StorageCursor*>(c); }

int Fail(sqlite3_vtab* vtab, const std::exception& e) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", e.what());
  return SQLITE_ERROR;
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
  auto* context = static_cast<StorageModuleContext*>(aux);
  try {
    if (argc < 4) throw std::runtime_error("storage table without its index");
    const size_t index = static_cast<size_t>(std::strtoul(argv[3], nullptr, 10));
    if (index >= context->tables.size()) throw std::runtime_error("storage table index out of range");
    auto table = std::make_unique<StorageTable>();
    table->shared = context->shared;
    table->table = context->tables[index];
    table->columns = context->shared->storage->Columns(table->table);
    std::string ddl = "CREATE TABLE x(";
    std::set<std::string> used;
    for (size_t i = 0; i < table->columns.size(); ++i) {
      if (i) ddl += ", ";
      // SQLite needs distinct names; a repeated one (dBase files have them) gets a number.
      std::string name = table->columns[i].name;
      for (int n = 2; !used.insert(AsciiUpper(name)).second; ++n) name = table->columns[i].name + "_" + std::to_string(n);
      ddl += SqliteQuote(name) + " " + SqliteTypeOf(table->columns[i].ado_type);
    }
    ddl += ")";
    if (table->columns.empty()) ddl = "CREATE TABLE x(\"\" TEXT HIDDEN)";
    const int rc = sqlite3_declare_vtab(db, ddl.c_str());
    if (rc != SQLITE_OK) throw std::runtime_error(std::string("cannot declare table: ") + sqlite3_errmsg(db));
    *out = &table.release()->base;
    return SQLITE_OK;
  } catch (const std::exception& e) {
    *err = sqlite3_mprintf("%s", e.what());
    return SQLITE_ERROR;
  }
}

int Disconnect(sqlite3_vtab* vtab) {
  delete TableOf(vtab);
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
  info->estimatedCost = 1e6;
  info->estimatedRows = 1000000;
  // Tell the scan which columns the statement reads (bit 63 stands for every column from 63 on).
  info->idxStr = sqlite3_mprintf("%llx", static_cast<unsigned long long>(info->colUsed));
  info->needToFreeIdxStr = 1;
  return SQLITE_OK;
}

std::vector<bool> WantedColumns(const char* idx_str, size_t count) {
  std::vector<bool> wanted(count, true);
  if (!idx_str) return wanted;
  const unsigned long long used = std::strtoull(idx_str, nullptr, 16);
  for (size_t i = 0; i < count; ++i) wanted[i] = (used >> std::min<size_t>(i, 63)) & 1u;
  return wanted;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = &(new StorageCursor)->base;
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete CursorOf(cursor);
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cursor) {
  StorageCursor* c = CursorOf(cursor);
  try {
    c->eof = !c->rows->Next(c->row);
    return SQLITE_OK;
  } catch (const std::exception& e) {
    c->eof = true;
    return Fail(cursor->pVtab, e);
  }
}

int Filter(sqlite3_vtab_cursor* cursor, int, const char* idx_str, int, sqlite3_value**) {
  StorageCursor* c = CursorOf(cursor);
  StorageTable* t = TableOf(cursor->pVtab);
  try {
    c->rows = t->shared->storage->ScanColumns(t->table, WantedColumns(idx_str, t->columns.size()));
  } catch (const std::exception& e) {
    c->eof = true;
    return Fail(cursor->pVtab, e);
  }
  return Next(cursor);
}

int Eof(sqlite3_vtab_cursor* cursor) { return CursorOf(cursor)->eof ? 1 : 0; }

int Column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int i) {
  StorageCursor* c = CursorOf(cursor);
  if (i >= 0 && static_cast<size_t>(i) < c->row.size()) ResultValue(context, c->row[static_cast<size_t>(i)]);
  else sqlite3_result_null(context);
  return SQLITE_OK;
}

int RowId(sqlite3_vtab_cursor* cursor, sqlite3_int64* out) {
  *out = CursorOf(cursor)->rows->RowId();
  return SQLITE_OK;
}

Row RowFrom(StorageTable* t, int argc, sqlite3_value** argv) {
  Row row;
  row.reserve(t->columns.size());
  for (size_t i = 0; i < t->columns.size() && static_cast<int>(i) + 2 < argc; ++i) {
    try {
      row.push_back(ValueForColumn(argv[i + 2], t->columns[i].ado_type));
    } catch (const std::exception& e) {
      throw formats::StorageError("field '" + t->columns[i].name + "': " + e.what());
    }
  }
  return row;
}

int Update(sqlite3_vtab* vtab, int argc, sqlite3_value** argv, sqlite3_int64* new_rowid) {
  StorageTable* t = TableOf(vtab);
  try {
    formats::Storage& storage = *t->shared->storage;
    if (argc == 1) {
      storage.DeleteRow(t->table, sqlite3_value_int64(argv[0]));
    } else if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
      if (sqlite3_value_type(argv[1]) != SQLITE_NULL) throw formats::StorageError("row ids are given by the table");
      *new_rowid = storage.InsertRow(t->table, RowFrom(t, argc, argv));
    } else {
      const int64_t id = sqlite3_value_int64(argv[0]);
      if (sqlite3_value_type(argv[1]) != SQLITE_INTEGER || sqlite3_value_int64(argv[1]) != id)
        throw formats::StorageError("row ids cannot be changed");
      storage.UpdateRow(t->table, id, RowFrom(t, argc, argv));
    }
    return SQLITE_OK;
  } catch (const std::exception& e) {
    return Fail(vtab, e);
  }
}

int Begin(sqlite3_vtab* vtab) {
  SharedStorage* s = TableOf(vtab)->shared;
  try {
    if (s->transaction_depth == 0) s->storage->Begin();
    ++s->transaction_depth;
    return SQLITE_OK;
  } catch (const std::exception& e) {
    return Fail(vtab, e);
  }
}

int Commit(sqlite3_vtab* vtab) {
  SharedStorage* s = TableOf(vtab)->shared;
  try {
    if (s->transaction_depth > 0 && --s->transaction_depth == 0) s->storage->Commit();
    return SQLITE_OK;
  } catch (const std::exception& e) {
    return Fail(vtab, e);
  }
}

int Rollback(sqlite3_vtab* vtab) {
  SharedStorage* s = TableOf(vtab)->shared;
  try {
    if (s->transaction_depth > 0 && --s->transaction_depth == 0) s->storage->Rollback();
    return SQLITE_OK;
  } catch (const std::exception& e) {
    return Fail(vtab, e);
  }
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;  // dropping the virtual table leaves the engine's table alone
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = RowId;
  m.xUpdate = Update;
  m.xBegin = Begin;
  m.xCommit = Commit;
  m.xRollback = Rollback;
  return m;
}

}  // namespace

void RegisterStorageModule(sqlite3* db, StorageModuleContext* context) {
  static const sqlite3_module kModule = MakeModule();
  sqlite3_create_module_v2(db, kStorageModuleName, &kModule, context, nullptr);
}

}  // namespace vantor::providers::file
