#include "formats/mdb/catalog.h"

#include "dataset/text.h"
#include "formats/mdb/table_reader.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr uint32_t kSystemObjectFlags = 0x80000002;
constexpr uint32_t kQueryKindFlags = 0xF0;  // 0 select; crosstab, delete, update, append, make-table, ... above
constexpr int kObjectTypeMask = 0x7F;
constexpr uint32_t kObjectIdMask = 0x00FFFFFF;
// Property blobs take a few kilobytes; a damaged header must not make the catalog read megabytes per table.
constexpr uint32_t kMaxPropertiesSize = 1 << 20;

uint32_t StoredLength(std::span<const uint8_t> long_value_field) {
  if (long_value_field.size() < 4) return 0;
  const auto* b = long_value_field.data();
  return (b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24)) & 0x3FFFFFFF;
}

int Column(const TableReader& reader, const char* name) {
  const int index = reader.FindColumn(name);
  if (index < 0) throw StorageError(std::string("damaged Access file: the catalog has no column ") + name);
  return index;
}

}  // namespace

std::vector<CatalogObject> ReadCatalog(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page) {
  TableReader reader(mdb, header, jet3_code_page, kCatalogPage, "MSysObjects");
  const int id = Column(reader, "Id");
  const int name = Column(reader, "Name");
  const int type = Column(reader, "Type");
  const int flags = Column(reader, "Flags");
  const int properties = reader.FindColumn("LvProp");
  std::vector<CatalogObject> objects;
  // A damaged definition can give these columns other types; their values then do not convert.
  try {
    while (reader.Next()) {
      if (reader.IsNull(id) || reader.IsNull(name) || reader.IsNull(type)) continue;
      CatalogObject object;
      object.full_id = static_cast<int32_t>(reader.Get(id).AsInt64());
      object.id = static_cast<uint32_t>(object.full_id) & kObjectIdMask;
      object.name = reader.Get(name).AsString();
      object.type = static_cast<int>(reader.Get(type).AsInt64()) & kObjectTypeMask;
      object.flags = static_cast<uint32_t>(reader.Get(flags).AsInt64());
      if (object.type == MDB_TABLE && properties >= 0 && !reader.IsNull(properties) &&
          StoredLength(reader.RawField(properties)) <= kMaxPropertiesSize) {
        // Properties only add the Required flags; a damaged blob must not hide the table.
        try {
          object.properties = reader.Get(properties).AsBytes();
        } catch (const StorageError&) {
          object.properties.clear();
        }
      }
      objects.push_back(std::move(object));
    }
  } catch (const EConvertError&) {
    throw StorageError("damaged Access file: the catalog's columns have the wrong types");
  }
  return objects;
}

bool IsUserTable(const CatalogObject& object) {
  return object.type == MDB_TABLE && (object.flags & kSystemObjectFlags) == 0 &&
         !SameTextAscii(std::string_view(object.name).substr(0, 4), "MSys");
}

bool IsSelectQuery(const CatalogObject& object) {
  return object.type == MDB_QUERY && (object.flags & kQueryKindFlags) == 0 && !object.name.starts_with("~");
}

}  // namespace vantor::formats::mdb
