#pragma once
// The Storage of a directory of dBase / FoxPro / Visual FoxPro tables: each .dbf file is a table; a Visual
// FoxPro database container (.dbc) in the directory supplies long table and field names where it has them.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/dbf/table_header.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {

class DbfTable;

class DbfStorage : public Storage {
 public:
  explicit DbfStorage(std::string directory);
  ~DbfStorage() override;

  std::string Path() const override { return directory_; }
  std::vector<TableInfo> ListTables() override;
  std::vector<ColumnInfo> Columns(const std::string& table) override;
  std::unique_ptr<RowCursor> Scan(const std::string& table) override;
  std::unique_ptr<RowCursor> ScanColumns(const std::string& table, const std::vector<bool>& wanted) override;

  int64_t InsertRow(const std::string& table, const Row& row) override;
  void UpdateRow(const std::string& table, int64_t row_id, const Row& row) override;
  void DeleteRow(const std::string& table, int64_t row_id) override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;

  void CreateTable(const std::string& table, const std::vector<ColumnInfo>& columns) override;
  void DropTable(const std::string& table) override;
  void RenameTable(const std::string& table, const std::string& new_name) override;
  void AddColumn(const std::string& table, const ColumnInfo& column) override;
  void AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) override;
  void DropColumn(const std::string& table, const std::string& column) override;

  // Removes the deleted rows of a table for good (rewrites the table file).
  void Pack(const std::string& table);
  // The .dbf file of a table.
  std::string TableFile(const std::string& table);
  // The code page a table's text is stored in.
  int TableCodePage(const std::string& table);

 private:
  struct Entry {
    std::string name;  // as listed
    std::string dbf_path;
    std::vector<std::string> long_fields;
    std::shared_ptr<DbfTable> table;  // open on first use
  };
  void Refresh();
  Entry& Find(const std::string& table);
  std::shared_ptr<DbfTable> Open(Entry& entry);
  std::shared_ptr<DbfTable> OpenForWrite(Entry& entry);
  void CheckStructureChangeAllowed(Entry& entry, DbfTable& table);
  // Rewrites a table with a changed field list; `convert` maps each old row to the new one.
  void Restructure(Entry& entry, const std::function<void(TableHeader&)>& change_header,
                   const std::function<void(Row&)>& convert);
  void Forget(Entry& entry);

  std::string directory_;
  std::map<std::string, std::unique_ptr<Entry>> entries_;  // keyed by upper-cased table name
  std::vector<std::string> order_;                          // table names in listing order
  bool in_transaction_ = false;
};

// Opens a directory of .dbf tables. StorageError when the directory does not exist.
std::unique_ptr<Storage> OpenDirectory(const std::string& dir);

}  // namespace vantor::formats::dbf
