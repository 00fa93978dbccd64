#include "formats/mdb/query_sql.h"

#include <gtest/gtest.h>

#include "formats/mdb/mdb_storage.h"
#include "reader_tools.h"
#include "tests/support/testdata.h"

namespace vantor::formats::mdb {
namespace {

QueryPart Part(int attribute, int flag, std::string name1, std::string name2, std::string expression) {
  return {attribute, flag, std::move(name1), std::move(name2), std::move(expression)};
}

TEST(AccessQuerySql, ColumnsTablesFiltersAndOrder) {
  const std::vector<QueryPart> parts{
      Part(kQueryType, 1, "", "", ""),
      Part(kQueryOptions, 0x10 | 0x20, "25", "", ""),
      Part(kQueryTable, -1, "Sales]2020", "", ""),
      Part(kQueryColumn, 0, "", "", "Region"),
      Part(kQueryColumn, 0, "Total", "", "Sum(Amount)"),
      Part(kQueryWhere, -1, "", "", "Amount > 0"),
      Part(kQueryGroupBy, 0, "", "", "Region"),
      Part(kQueryHaving, -1, "", "", "Sum(Amount) > 10"),
      Part(kQueryOrderBy, -1, "D", "", "Sum(Amount)"),
      Part(kQueryOrderBy, -1, "", "", "Region"),
  };
  EXPECT_EQ(BuildSelectSql(parts),
            "SELECT TOP 25 PERCENT Region, Sum(Amount) AS [Total] FROM [Sales]]2020] WHERE Amount > 0 "
            "GROUP BY Region HAVING Sum(Amount) > 10 ORDER BY Sum(Amount) DESC, Region");
}

TEST(AccessQuerySql, JoinsNestInTheirOrderAndKeepTheirSide) {
  const std::vector<QueryPart> parts{
      Part(kQueryTable, -1, "A", "", ""),
      Part(kQueryTable, -1, "B", "", ""),
      Part(kQueryTable, -1, "C", "C1", ""),
      Part(kQueryTable, -1, "D", "", ""),
      Part(kQueryColumn, 0, "", "", "*"),
      // B LEFT JOIN A, written with A already placed: seen from A it is a right join.
      Part(kQueryJoin, 1, "A", "C1", "A.x = C1.x"),
      Part(kQueryJoin, 2, "B", "A", "B.y = A.y"),
      Part(kQueryJoin, 1, "A", "C1", "A.z = C1.z"),
  };
  EXPECT_EQ(BuildSelectSql(parts),
            "SELECT * FROM ([A] INNER JOIN [C] AS [C1] ON (A.x = C1.x) AND (A.z = C1.z)) RIGHT JOIN [B] ON B.y = A.y, [D]");
}

TEST(AccessQuerySql, DistinctAndDistinctRow) {
  EXPECT_EQ(BuildSelectSql({Part(kQueryOptions, 0x02, "", "", ""), Part(kQueryTable, -1, "T", "", "")}),
            "SELECT DISTINCT * FROM [T]");
  EXPECT_EQ(BuildSelectSql({Part(kQueryOptions, 0x08, "", "", ""), Part(kQueryTable, -1, "T", "", "")}),
            "SELECT DISTINCTROW * FROM [T]");
}

TEST(AccessQuerySql, SavedSelectQueriesAreViewsWithTheirSql) {
  VANTOR_REQUIRE_TESTDATA("access/queryTestV2000.mdb", path);
  auto storage = OpenAccessFile(path.string());
  std::vector<std::string> views;
  for (const TableInfo& t : storage->ListTables())
    if (t.is_view) views.push_back(t.name);
  // The file also holds update, append, delete, make-table, crosstab, union, pass-through and DDL queries.
  EXPECT_EQ(views, std::vector<std::string>{"SelectQuery"});
  const std::string sql = storage->ViewSql("selectquery");
  EXPECT_EQ(sql,
            "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3 FROM ([Table1] LEFT JOIN [Table3] ON "
            "Table1.col1 = Table3.col1) INNER JOIN [Table2] ON (Table3.col1 = Table2.col1) AND (Table3.col1 = "
            "Table2.col2) WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\"))) ORDER BY Table2.col1");
  EXPECT_THROW(storage->ViewSql("UpdateQuery"), StorageError);
  EXPECT_THROW(storage->ViewSql("Table1"), StorageError);
  EXPECT_THROW(storage->Scan("SelectQuery"), StorageError);

  // mdb-queries builds the same columns, filter and order, but drops the joins and lists the tables with
  // commas, a cross join that returns other rows; the SQL above keeps them.
  if (testing::HaveProgram("mdb-queries")) {
    const std::string theirs = testing::RunCommand("mdb-queries " + testing::ShellQuote(path.string()) + " SelectQuery");
    EXPECT_NE(theirs.find("FROM [Table1],[Table2],[Table3]"), std::string::npos) << theirs;
    EXPECT_NE(theirs.find("WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))"), std::string::npos);
    EXPECT_NE(theirs.find("ORDER BY Table2.col1"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantor::formats::mdb
