#pragma once
// TAdoCatalog: new database files and the columns of a database's tables.

#include <cstdint>
#include <string>
#include <vector>

#include "data/ado_connection.h"

namespace vantor::data {

struct TAdoColumn {
  std::string Name;
  int Type = 202;          // ADO data type code
  int64_t DefinedSize = 0;
  int NumericScale = 0;
  int Precision = 0;
  bool Nullable = true;
  bool AutoIncrement = false;
};

class TAdoCatalog {
 public:
  // Creates a new, empty database file named by a connection string.
  void Create(const std::string& connection_string);
  // Connects the catalog. An Excel workbook that does not exist yet is made empty, as the Excel driver
  // does, so that its first table can be created.
  void SetActiveConnection(const std::string& connection_string);
  TAdoConnection& ActiveConnection();
  // True when SetActiveConnection made the workbook.
  bool CreatedFile() const { return created_file_; }

  std::vector<std::string> Tables();
  std::vector<TAdoColumn> Columns(const std::string& table);
  void AppendColumn(const std::string& table, const TAdoColumn& column);
  void AlterColumn(const std::string& table, const std::string& name, const TAdoColumn& column);
  void DeleteColumn(const std::string& table, const std::string& name);

 private:
  TAdoConnection connection_;
  bool created_file_ = false;
};

}  // namespace vantor::data
