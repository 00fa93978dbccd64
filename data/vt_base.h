#pragma once
// Tvtbase: the one database the program has open. Its kind comes from the file's extension; row sets,
// table objects and table statements each get a connection of their own from the connection string, so
// they outlive the session's own connection, which serves table listing and export.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/ado_connection.h"
#include "data/ado_query.h"
#include "data/ado_table.h"
#include "data/base_kind.h"

namespace vantor::data {

// "网络数据库": the file name of a linked network database.
inline constexpr const char* kNetworkBaseName = "\xE7\xBD\x91\xE7\xBB\x9C\xE6\x95\xB0\xE6\x8D\xAE\xE5\xBA\x93";

namespace msg {
inline constexpr const char* kCanNotLink = "can not link the database";
inline constexpr const char* kCanNotDoSql = "can not do sql";
inline constexpr const char* kCreateTableError = "error to create talbe";
inline constexpr const char* kRenameTableError = "error to rename talbe";
inline constexpr const char* kCreateExcelError = "create excel error!";
}  // namespace msg

class Tvtbase {
 public:
  Tvtbase();
  ~Tvtbase();

  const std::string& filename() const { return filename_; }
  const std::string& connstr() const { return connstr_; }
  int32_t basetype() const { return basetype_; }
  TAdoConnection& conn() { return *conn_; }

  bool openbase(const std::string& filename);
  void linkbase(int32_t kind, const std::string& connection_string);
  void closebase();
  std::unique_ptr<std::vector<std::string>> tablenames();
  std::unique_ptr<TAdoQuery> opentable(const std::string& table);
  std::unique_ptr<TAdoQuery> opensql(const std::string& sql);
  std::unique_ptr<TAdoTable> gettable(const std::string& table);

  // Table operations.
  bool createtable(const std::string& table);
  void droptable(const std::string& table);
  void renametable(const std::string& old_name, const std::string& new_name);
  void exporttable(const std::string& table, const std::string& target, int32_t export_type);

 private:
  void Connect();
  void RunStatement(const std::string& sql);

  std::string filename_;
  std::string connstr_;
  int32_t basetype_ = 0;
  std::unique_ptr<TAdoConnection> conn_;
};

// The statement that exports `table` to `target` (1 text, 2 Excel, 3 dBase); empty for other types.
std::string ExportStatement(const std::string& table, const std::string& target, int32_t export_type);

}  // namespace vantor::data
