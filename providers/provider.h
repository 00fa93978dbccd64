#pragma once
// The provider interface that the data layer calls: a connection made from a connection string runs
// statements and queries and hands out table access and catalog operations. Implementations live in the
// folders below (file/: SQL over the storage engines).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataset/errors.h"
#include "formats/storage.h"

namespace vantor::providers {

using formats::ColumnInfo;
using formats::Row;

// Every failure of a provider; the text is the provider's message.
class ProviderError : public Exception {
 public:
  using Exception::Exception;
};

// The rows of a query, read forward once.
class ResultSet {
 public:
  virtual ~ResultSet() = default;
  // Name, ADO type, size, precision, scale, nullable and auto-increment of each column.
  virtual const std::vector<ColumnInfo>& Columns() const = 0;
  // Fills `row` with the next row; false at the end.
  virtual bool Next(Row& row) = 0;
};

// One table of a connection, addressed by row id.
class TableAccess {
 public:
  virtual ~TableAccess() = default;
  virtual const std::string& Name() const = 0;
  virtual std::vector<ColumnInfo> Columns() = 0;
  virtual std::unique_ptr<formats::RowCursor> Scan() = 0;
  virtual int64_t Insert(const Row& row) = 0;
  virtual void Update(int64_t row_id, const Row& row) = 0;
  virtual void Delete(int64_t row_id) = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // User tables and views, in the provider's order.
  virtual std::vector<std::string> TableNames() = 0;
  // Runs a statement; rows it returns are discarded. Answers the number of rows changed.
  virtual int64_t Execute(const std::string& sql) = 0;
  // Runs a statement; nullptr when it returns no rows (it has run all the same).
  virtual std::unique_ptr<ResultSet> Query(const std::string& sql) = 0;
  virtual std::unique_ptr<TableAccess> OpenTable(const std::string& table) = 0;
  // Renames a table whole (columns, rows, keys and indexes stay as they are).
  virtual void RenameTable(const std::string& table, const std::string& new_name) = 0;

  // Catalog operations.
  virtual std::vector<ColumnInfo> Columns(const std::string& table) = 0;
  virtual void AddColumn(const std::string& table, const ColumnInfo& column) = 0;
  virtual void AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) = 0;
  virtual void DropColumn(const std::string& table, const std::string& column) = 0;
};

}  // namespace vantor::providers
