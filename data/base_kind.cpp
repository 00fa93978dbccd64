#include "data/base_kind.h"

#include "dataset/text.h"

namespace vantor::data {

int32_t getbasetype(const std::string& filename) {
  const size_t slash = filename.find_last_of("\\/");
  const size_t dot = filename.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return btOther;
  std::string ext = filename.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ext == ".dbf") return btDbf;
  if (ext == ".mdb") return btAccess;
  if (ext == ".xls") return btExcel;
  return btOther;
}

std::string DirectoryPart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ConnectionStringFor(int32_t kind, const std::string& filename) {
  switch (kind) {
    case btAccess: return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + filename + "\"";
    case btExcel:
      return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + filename +
             "\";Extended Properties=Excel 8.0;Persist Security Info=False";
    case btDbf:
      return "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=Visual FoxPro Database;UID=;"
             "SourceDB=" + DirectoryPart(filename) +
             ";SourceType=DBF;Exclusive=No;BackgroundFetch=Yes;Collate=Machine;Null=Yes;Deleted=Yes;\"";
    default: return {};
  }
}

std::string BracketName(const std::string& name) {
  std::string out = "[";
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

}  // namespace vantor::data
