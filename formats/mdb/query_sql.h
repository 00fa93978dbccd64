#pragma once
// The SQL of a saved select query, rebuilt from its rows in MSysQueries (Access keeps the parts of a query,
// not its text).

#include <string>
#include <vector>

namespace vantor::formats::mdb {

// One row of MSysQueries for one query. `flag` is -1 when the row has none.
struct QueryPart {
  int attribute = 0;
  int flag = -1;
  std::string name1;
  std::string name2;
  std::string expression;
};

// The meaning of MSysQueries.Attribute.
enum QueryAttribute {
  kQueryType = 1,      // flag: 1 select, 2 make-table, 3 append, 4 update, 5 delete, 6 crosstab, ...
  kQueryParameter = 2,
  kQueryOptions = 3,   // flag bits: 0x02 DISTINCT, 0x08 DISTINCTROW, 0x10 TOP name1, 0x20 PERCENT
  kQueryTable = 5,     // name1 the table, name2 its alias, expression a subquery
  kQueryColumn = 6,    // expression, name1 its alias
  kQueryJoin = 7,      // name1 and name2 the tables, expression the condition; flag 1 inner, 2 left, 3 right
  kQueryWhere = 8,
  kQueryGroupBy = 9,
  kQueryHaving = 10,
  kQueryOrderBy = 11,  // expression, name1 "D" for descending
};

inline constexpr int kSelectQuery = 1;

// The SELECT statement the parts describe, in the Jet dialect.
std::string BuildSelectSql(const std::vector<QueryPart>& parts);

}  // namespace vantor::formats::mdb
