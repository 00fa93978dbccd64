#pragma once
// Storage: what every storage engine (dBase directory, Excel workbook, Access file, ...) offers the layers
// above it. Tables are named; columns carry ADO data type codes; rows are vectors of Values in column
// order; a row is addressed by a row id that the engine gives when scanning or inserting.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataset/errors.h"
#include "dataset/value.h"

namespace vantor::formats {

// ADO data type codes (DataTypeEnum) used by the engines.
enum AdoType : int {
  adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6, adDate = 7,
  adBoolean = 11, adTinyInt = 16, adUnsignedTinyInt = 17, adBigInt = 20, adGUID = 72, adBinary = 128,
  adChar = 129, adWChar = 130, adNumeric = 131, adDBTimeStamp = 135, adVarChar = 200, adLongVarChar = 201,
  adVarWChar = 202, adLongVarWChar = 203, adVarBinary = 204, adLongVarBinary = 205,
};

struct ColumnInfo {
  std::string name;
  int ado_type = adVarWChar;
  int64_t defined_size = 0;   // characters for text, bytes for binary, 0 where the type fixes it
  int precision = 0;          // digits, for adNumeric
  int numeric_scale = 0;      // decimals, for adNumeric (and the engine's fixed-point numbers)
  bool nullable = true;
  bool auto_increment = false;
  bool primary_key = false;
};

struct TableInfo {
  std::string name;
  bool is_view = false;  // a saved query (read through ViewSql)
};

using Row = std::vector<Value>;

// Failures of an engine: damaged files, unsupported features, limits, names not found. The text says what.
class StorageError : public Exception {
 public:
  using Exception::Exception;
};

// Streams the rows of one table; never loads the whole table.
class RowCursor {
 public:
  virtual ~RowCursor() = default;
  // Fills `row` with the next row (one Value per column) and answers false at the end.
  virtual bool Next(Row& row) = 0;
  // The row id of the row the last Next filled.
  virtual int64_t RowId() const = 0;
};

class Storage {
 public:
  virtual ~Storage() = default;

  virtual std::string Path() const = 0;
  virtual bool IsReadOnly() const { return false; }

  // Tables and views in the file's own order (system tables left out).
  virtual std::vector<TableInfo> ListTables() = 0;
  virtual std::vector<ColumnInfo> Columns(const std::string& table) = 0;
  virtual std::unique_ptr<RowCursor> Scan(const std::string& table) = 0;
  // Like Scan, for readers that need only the columns marked in `wanted` (one flag per column): an engine
  // may leave the others null to save decoding them. The default reads every column.
  virtual std::unique_ptr<RowCursor> ScanColumns(const std::string& table, const std::vector<bool>& wanted) {
    (void)wanted;
    return Scan(table);
  }
  // The SQL text of a saved query; StorageError for engines without views.
  virtual std::string ViewSql(const std::string& view);

  // Row changes. Outside a transaction each one is written at once.
  virtual int64_t InsertRow(const std::string& table, const Row& row) = 0;
  virtual void UpdateRow(const std::string& table, int64_t row_id, const Row& row) = 0;
  virtual void DeleteRow(const std::string& table, int64_t row_id) = 0;

  // Groups row changes: engines that rewrite a file do it once at Commit. Rollback drops the changes.
  virtual void Begin() {}
  virtual void Commit() {}
  virtual void Rollback() {}

  // Structure changes.
  virtual void CreateTable(const std::string& table, const std::vector<ColumnInfo>& columns) = 0;
  virtual void DropTable(const std::string& table) = 0;
  virtual void RenameTable(const std::string& table, const std::string& new_name) = 0;
  virtual void AddColumn(const std::string& table, const ColumnInfo& column) = 0;
  virtual void AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) = 0;
  virtual void DropColumn(const std::string& table, const std::string& column) = 0;
};

// Finds a table's name as the engine spells it (ASCII case-insensitive); empty when there is none.
std::string FindTableName(Storage& storage, const std::string& name);

}  // namespace vantor::formats
