#include "formats/mdb/saved_queries.h"

#include <algorithm>

#include "formats/mdb/table_reader.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {

std::vector<QueryPart> ReadQueryParts(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page,
                                      uint32_t queries_page, int32_t query_id) {
  TableReader reader(mdb, header, jet3_code_page, queries_page, "MSysQueries");
  const int object_id = reader.FindColumn("ObjectId"), attribute = reader.FindColumn("Attribute");
  const int flag = reader.FindColumn("Flag"), name1 = reader.FindColumn("Name1");
  const int name2 = reader.FindColumn("Name2"), expression = reader.FindColumn("Expression");
  if (std::min({object_id, attribute, flag, name1, name2, expression}) < 0)
    throw StorageError("damaged Access file: MSysQueries lacks a column");
  auto text = [&](int column) { return reader.IsNull(column) ? std::string() : reader.Get(column).AsString(); };
  std::vector<QueryPart> parts;
  // A damaged definition can give these columns other types; their values then do not convert.
  try {
    while (reader.Next()) {
      if (reader.IsNull(object_id) || reader.IsNull(attribute) || reader.Get(object_id).AsInt64() != query_id) continue;
      QueryPart part;
      part.attribute = static_cast<int>(reader.Get(attribute).AsInt64());
      part.flag = reader.IsNull(flag) ? -1 : static_cast<int>(reader.Get(flag).AsInt64());
      part.name1 = text(name1);
      part.name2 = text(name2);
      part.expression = text(expression);
      parts.push_back(std::move(part));
    }
  } catch (const EConvertError&) {
    throw StorageError("damaged Access file: the columns of MSysQueries have the wrong types");
  }
  return parts;
}

}  // namespace vantor::formats::mdb
