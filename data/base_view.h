#pragma once
// tbaseview: the one object through which the windows reach the database. It owns the session, forwards
// to it, remembers the file it last opened, and creates new Access and Excel files.

#include <memory>
#include <string>
#include <vector>

#include "data/vt_base.h"

namespace vantor::data {

class tbaseview {
 public:
  tbaseview() = default;

  Tvtbase& base() { return base_; }
  const std::string& filename() const { return filename_; }
  const std::vector<std::string>& tablelist() const { return tablelist_; }

  bool openbase(const std::string& filename);
  void linkbase(int32_t kind, const std::string& connection_string) { base_.linkbase(kind, connection_string); }
  void closebase() { base_.closebase(); }
  std::unique_ptr<std::vector<std::string>> tablenames() { return base_.tablenames(); }
  std::unique_ptr<TAdoQuery> opentable(const std::string& table) { return base_.opentable(table); }
  std::unique_ptr<TAdoQuery> opensql(const std::string& sql) { return base_.opensql(sql); }
  std::unique_ptr<TAdoTable> gettable(const std::string& table) { return base_.gettable(table); }
  std::string getconnstr() const { return base_.connstr(); }
  bool createtable(const std::string& table) { return base_.createtable(table); }
  void droptable(const std::string& table) { base_.droptable(table); }
  void renametable(const std::string& old_name, const std::string& new_name) { base_.renametable(old_name, new_name); }
  void exporttable(const std::string& table, const std::string& target, int32_t export_type) {
    base_.exporttable(table, target, export_type);
  }
  // A new, empty Access database or Excel workbook (one sheet tempsheet with ID and Code); other kinds
  // create nothing.
  void newbase(const std::string& filename);

 private:
  Tvtbase base_;
  std::string filename_;
  std::vector<std::string> tablelist_;
};

}  // namespace vantor::data
