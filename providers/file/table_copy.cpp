#include "providers/file/table_copy.h"

namespace vantor::providers::file {

using namespace formats;

int64_t CopyRowsIntoNewTable(ResultSet& rows, Storage& target, const std::string& table) {
  if (!FindTableName(target, table).empty()) throw ProviderError("table '" + table + "' already exists");
  std::vector<ColumnInfo> columns = rows.Columns();
  for (ColumnInfo& c : columns) {
    // The copy takes values and types, not keys or counters.
    c.primary_key = false;
    c.auto_increment = false;
    c.nullable = c.ado_type == adBoolean ? c.nullable : true;
    if ((c.ado_type == adVarWChar || c.ado_type == adVarChar || c.ado_type == adWChar || c.ado_type == adChar) &&
        c.defined_size <= 0)
      c.defined_size = 255;
  }
  target.CreateTable(table, columns);
  const std::string created = FindTableName(target, table).empty() ? table : FindTableName(target, table);
  int64_t count = 0;
  try {
    target.Begin();
    try {
      Row row;
      while (rows.Next(row)) {
        target.InsertRow(created, row);
        ++count;
      }
      target.Commit();
    } catch (...) {
      target.Rollback();
      throw;
    }
  } catch (...) {
    try {
      target.DropTable(created);
    } catch (...) {
    }
    throw;
  }
  return count;
}

}  // namespace vantor::providers::file
