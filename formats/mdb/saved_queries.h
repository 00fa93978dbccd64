#pragma once
// The rows of MSysQueries that describe one saved query.

#include <cstdint>
#include <vector>

#include "formats/mdb/access_header.h"
#include "formats/mdb/libmdb_api.h"
#include "formats/mdb/query_sql.h"

namespace vantor::formats::mdb {

// The parts of the query whose MSysObjects Id is `query_id`, in stored order. `queries_page` is the
// definition page of MSysQueries. The caller holds LibmdbMutex().
std::vector<QueryPart> ReadQueryParts(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page,
                                      uint32_t queries_page, int32_t query_id);

}  // namespace vantor::formats::mdb
