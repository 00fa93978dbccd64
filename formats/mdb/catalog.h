#pragma once
// The objects of an Access file (tables, queries, ...) as its catalog table MSysObjects lists them, in the
// order they are stored. Read with this library's own row reader, so a damaged catalog gives an error.

#include "formats/mdb/libmdb_api.h"

#include <cstdint>
#include <string>
#include <vector>

#include "formats/mdb/access_header.h"

namespace vantor::formats::mdb {

struct CatalogObject {
  std::string name;
  int type = 0;                      // MDB_TABLE, MDB_QUERY, ...
  uint32_t flags = 0;
  uint32_t id = 0;                   // for a table, the page of its definition
  int32_t full_id = 0;               // the Id as stored, which MSysQueries.ObjectId refers to
  std::vector<uint8_t> properties;   // the LvProp blob of a table; empty for other objects
};

inline constexpr uint32_t kCatalogPage = 2;

// The caller holds LibmdbMutex().
std::vector<CatalogObject> ReadCatalog(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page);

// A table the user made: not flagged as a system object and not named MSys....
bool IsUserTable(const CatalogObject& object);
// A saved select query (not an action query, and not one Access keeps for a form or report).
bool IsSelectQuery(const CatalogObject& object);

}  // namespace vantor::formats::mdb
