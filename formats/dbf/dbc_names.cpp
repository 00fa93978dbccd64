#include "formats/dbf/dbc_names.h"

#include <filesystem>

#include "dataset/text.h"
#include "formats/dbf/dbf_table.h"
#include "formats/dbf/table_files.h"

namespace vantor::formats::dbf {
namespace {

// The table's file name as the container's property memo records it (a path ending in ".dbf").
std::string FileNameInProperties(const std::string& properties) {
  const std::string upper = AsciiUpper(properties);
  const size_t end = upper.find(".DBF");
  if (end == std::string::npos) return {};
  size_t begin = end;
  while (begin > 0) {
    const unsigned char c = static_cast<unsigned char>(properties[begin - 1]);
    if (c < 0x20 || c == '\\' || c == '/' || c == ':') break;
    --begin;
  }
  return upper.substr(begin, end + 4 - begin);
}

}  // namespace

std::map<std::string, LongNames> ReadContainerNames(const std::string& dbc_path) {
  std::map<std::string, LongNames> names;
  try {
    const std::string dct = FindCompanionFile(dbc_path, ".dct");
    std::shared_ptr<DbfTable> dbc = DbfTable::Open(dbc_path, std::filesystem::path(dbc_path).filename().string(), dct);
    std::vector<ColumnInfo> columns = dbc->Columns();
    auto column = [&](const char* name) {
      for (size_t i = 0; i < columns.size(); ++i)
        if (SameTextAscii(columns[i].name, name)) return static_cast<int>(i);
      return -1;
    };
    const int id_col = column("OBJECTID"), parent_col = column("PARENTID"), type_col = column("OBJECTTYPE"),
              name_col = column("OBJECTNAME"), property_col = column("PROPERTY");
    if (id_col < 0 || parent_col < 0 || type_col < 0 || name_col < 0) return names;
    std::map<int64_t, std::string> file_of_table;  // object id -> key
    auto cursor = dbc->Scan();
    Row row;
    while (cursor->Next(row)) {
      if (row[id_col].IsNull() || row[type_col].IsNull() || row[name_col].IsNull()) continue;
      const std::string type = std::string(TrimBlanks(row[type_col].AsString()));
      const std::string name = std::string(TrimBlanks(row[name_col].AsString()));
      if (SameTextAscii(type, "Table")) {
        std::string key;
        if (property_col >= 0 && !row[property_col].IsNull()) key = FileNameInProperties(row[property_col].AsString());
        if (key.empty()) key = AsciiUpper(name) + ".DBF";
        file_of_table[row[id_col].AsInt64()] = key;
        names[key].table = name;
      } else if (SameTextAscii(type, "Field") && !row[parent_col].IsNull()) {
        auto it = file_of_table.find(row[parent_col].AsInt64());
        if (it != file_of_table.end()) names[it->second].fields.push_back(name);
      }
    }
  } catch (const std::exception&) {
    names.clear();  // a damaged container only costs the long names
  }
  return names;
}

}  // namespace vantor::formats::dbf
