#include "formats/storage.h"

#include "dataset/text.h"

namespace vantor::formats {

std::string Storage::ViewSql(const std::string& view) {
  throw StorageError("'" + view + "' is not a saved query of " + Path());
}

std::string FindTableName(Storage& storage, const std::string& name) {
  for (const TableInfo& t : storage.ListTables())
    if (SameTextAscii(t.name, name)) return t.name;
  return {};
}

}  // namespace vantor::formats
