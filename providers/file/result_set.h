#pragma once
// The rows of an SQLite statement as a ResultSet: columns typed from their source columns where they come
// straight from a table, from their first value where they are computed.

#include <sqlite3.h>

#include <memory>
#include <vector>

#include "providers/file/connection_core.h"
#include "providers/provider.h"

namespace vantor::providers::file {

class SqliteResultSet : public ResultSet {
 public:
  // Takes the prepared statement; runs it to its first row.
  SqliteResultSet(std::shared_ptr<ConnectionCore> core, sqlite3_stmt* stmt);
  ~SqliteResultSet() override;

  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Next(Row& row) override;

 private:
  void Describe(bool have_row);
  void Step();

  std::shared_ptr<ConnectionCore> core_;
  sqlite3_stmt* stmt_;
  std::vector<ColumnInfo> columns_;
  bool row_ready_ = false;
  bool done_ = false;
};

}  // namespace vantor::providers::file
