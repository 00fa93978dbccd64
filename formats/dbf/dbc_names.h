#pragma once
// Long table and field names from a Visual FoxPro database container (.dbc, with its memos in .dct).

#include <map>
#include <string>
#include <vector>

namespace vantor::formats::dbf {

struct LongNames {
  std::string table;                // the long table name
  std::vector<std::string> fields;  // long field names in field order (may be shorter than the table)
};

// Long names keyed by the upper-cased file name of each table's .dbf ("CALLS.DBF"). Containers that cannot be
// read give no names (the tables still open under their file names).
std::map<std::string, LongNames> ReadContainerNames(const std::string& dbc_path);

}  // namespace vantor::formats::dbf
