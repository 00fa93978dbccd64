#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "formats/dbf/dbf_storage.h"
#include "formats/text/text_storage.h"
#include "formats/xls/xls_storage.h"
#include "providers/file/file_provider.h"
#include "tests/support/temp_dir.h"
#include "tests/support/testdata.h"
#include "tests/support/storage_helpers.h"

namespace vantor::providers::file {
namespace {

using vantor::testing::Col;

using namespace formats;
using vantor::testing::TempDir;

std::string FoxString(const std::string& dir) {
  return "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=Visual FoxPro Database;UID=;"
         "SourceDB=" + dir + "/;SourceType=DBF;Exclusive=No;BackgroundFetch=Yes;Collate=Machine;Null=Yes;Deleted=Yes;\"";
}

std::unique_ptr<Connection> Open(const std::string& connection_string) {
  return OpenFileConnection(ResolveConnectionString(connection_string));
}

std::vector<Row> All(ResultSet& rs) {
  std::vector<Row> rows;
  Row row;
  while (rs.Next(row)) rows.push_back(row);
  return rows;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// A directory with customers (ID, NAME) and orders (ID, CUST, PRICE currency, MADE date).
class ShopDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = dbf::OpenDirectory(dir.str());
    s->CreateTable("customers", {Col("ID", adInteger), Col("NAME", adVarWChar, 20)});
    s->CreateTable("orders", {Col("ID", adInteger), Col("CUST", adInteger), Col("PRICE", adCurrency),
                              Col("MADE", adDate)});
    s->InsertRow("customers", {Value(int32_t{1}), Value("Ann")});
    s->InsertRow("customers", {Value(int32_t{2}), Value("Bo \"B\", Jr")});
    s->InsertRow("orders", {Value(int32_t{10}), Value(int32_t{1}), Value(Currency::FromScaled(123456)),
                            Value(DateTime::FromDate(1899, 12, 31))});
    s->InsertRow("orders", {Value(int32_t{11}), Value(int32_t{1}), Value(Currency::FromScaled(1)),
                            Value(DateTime::FromParts({2003, 1, 2, 10, 30, 5, 0}))});
    s->InsertRow("orders", {Value(int32_t{12}), Value(int32_t{2}), Value(Currency::FromScaled(-50000)), Value()});
  }
  TempDir dir;
};

TEST_F(ShopDirectory, JoinAcrossTwoTablesKeepsTypesAndExactValues) {
  auto conn = Open(FoxString(dir.str()));
  EXPECT_EQ(conn->TableNames(), (std::vector<std::string>{"customers", "orders"}));
  auto rs = conn->Query("select c.NAME, o.PRICE, o.MADE from [customers] c inner join orders o on o.CUST = c.ID "
                        "order by o.ID");
  ASSERT_TRUE(rs);
  ASSERT_EQ(rs->Columns().size(), 3u);
  EXPECT_EQ(rs->Columns()[0].ado_type, conn->Columns("customers")[1].ado_type);
  EXPECT_EQ(rs->Columns()[1].ado_type, adCurrency);
  EXPECT_EQ(rs->Columns()[2].ado_type, conn->Columns("orders")[3].ado_type);
  auto rows = All(*rs);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0].AsString(), "Ann");
  EXPECT_EQ(rows[0][1], Value(Currency::FromScaled(123456)));
  EXPECT_EQ(rows[0][2].AsDateTime(), DateTime::FromDate(1899, 12, 31));
  EXPECT_EQ(rows[1][1], Value(Currency::FromScaled(1)));
  EXPECT_EQ(rows[1][2].AsDateTime(), DateTime::FromParts({2003, 1, 2, 10, 30, 5, 0}));
  EXPECT_EQ(rows[2][0].AsString(), "Bo \"B\", Jr");
  EXPECT_TRUE(rows[2][2].IsNull());
}

TEST_F(ShopDirectory, JetDialectInQueries) {
  auto conn = Open(FoxString(dir.str()));
  auto rows = All(*conn->Query("select top 1 NAME & '!' as X, Len(NAME) as L, UCase(Left(NAME, 2)) as U "
                               "from customers where NAME like 'A*' order by ID"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsString(), "Ann!");
  EXPECT_EQ(rows[0][1].AsInt64(), 3);
  EXPECT_EQ(rows[0][2].AsString(), "AN");
  auto dated = All(*conn->Query("select ID from orders where MADE >= #1/2/2003# "));
  ASSERT_EQ(dated.size(), 1u);
  EXPECT_EQ(dated[0][0].AsInt64(), 11);
  auto sums = All(*conn->Query("select count(*), sum(PRICE), IIf(count(*) > 2, 'many', 'few') from orders"));
  EXPECT_EQ(sums[0][0].AsInt64(), 3);
  EXPECT_DOUBLE_EQ(sums[0][1].AsDouble(), 12.3456 + 0.0001 - 5);
  EXPECT_EQ(sums[0][2].AsString(), "many");
}

TEST_F(ShopDirectory, WritesGoThroughAndAreSeenByAnotherConnection) {
  auto a = Open(FoxString(dir.str()));
  auto b = Open(FoxString(dir.str()));
  EXPECT_EQ(a->Execute("insert into customers (ID, NAME) values (3, 'Cy')"), 1);
  EXPECT_EQ(a->Execute("update customers set NAME = 'Ann B' where ID = 1"), 1);
  EXPECT_EQ(a->Execute("delete from orders where PRICE < 0"), 1);
  auto names = All(*b->Query("select NAME from customers order by ID"));
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0][0].AsString(), "Ann B");
  EXPECT_EQ(names[2][0].AsString(), "Cy");
  EXPECT_EQ(All(*b->Query("select * from orders")).size(), 2u);
  // A value that does not fit the column fails and changes nothing.
  EXPECT_THROW(a->Execute("insert into customers (ID, NAME) values ('not a number', 'x')"), Exception);
  EXPECT_EQ(All(*b->Query("select * from customers")).size(), 3u);
  // The file itself holds the change.
  EXPECT_EQ(All(*Open(FoxString(dir.str()))->Query("select * from customers where NAME = 'Cy'")).size(), 1u);
}

TEST_F(ShopDirectory, UpdateReturnsNoRowsButIsCarriedOut) {
  auto conn = Open(FoxString(dir.str()));
  EXPECT_EQ(conn->Query("update orders set CUST = 2"), nullptr);
  EXPECT_EQ(All(*conn->Query("select * from orders where CUST = 2")).size(), 3u);
}

TEST_F(ShopDirectory, StructureStatementsGoToTheEngineAndRefreshTheTables) {
  auto conn = Open(FoxString(dir.str()));
  auto other = Open(FoxString(dir.str()));
  conn->Execute("create table [new t] (id int, name text(30))");
  conn->Execute("insert into [new t] values (1, 'x')");
  EXPECT_EQ(All(*other->Query("select * from [new t]")).size(), 1u);
  conn->Execute("alter table [new t] add column extra int");
  EXPECT_EQ(other->Query("select * from [new t]")->Columns().size(), 3u);
  conn->Execute("alter table [new t] drop column extra");
  EXPECT_THROW(conn->Execute("create table [new t] (id int)"), Exception);
  conn->Execute("drop table [new t]");
  EXPECT_THROW(other->Query("select * from [new t]"), Exception);
  EXPECT_THROW(conn->Execute("drop table [new t]"), Exception);
}

TEST_F(ShopDirectory, SelectIntoTheSameDatabase) {
  auto conn = Open(FoxString(dir.str()));
  EXPECT_EQ(conn->Execute("select ID, PRICE into cheap from orders where PRICE < 1"), 2);
  auto rows = All(*conn->Query("select * from cheap order by ID"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], Value(Currency::FromScaled(1)));
  EXPECT_EQ(rows[1][1], Value(Currency::FromScaled(-50000)));
  EXPECT_THROW(conn->Execute("select * into cheap from orders"), Exception);
}

TEST_F(ShopDirectory, SelectIntoTextTargetWritesJetTextAndSchemaIni) {
  TempDir out;
  auto conn = Open(FoxString(dir.str()));
  EXPECT_EQ(conn->Execute("select * into [Text;Database=" + out.str() + "/].orders.txt from [orders]"), 3);
  std::ifstream in(out / "orders.txt");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().substr(0, text.str().find('\n')), "\"ID\",\"CUST\",\"PRICE\",\"MADE\"\r");
  EXPECT_NE(text.str().find("10,1,12.3456,1899-12-31"), std::string::npos);
  std::ifstream ini(out / "schema.ini");
  std::stringstream schema;
  schema << ini.rdbuf();
  EXPECT_NE(schema.str().find("[orders.txt]"), std::string::npos);
  EXPECT_NE(schema.str().find("Col3=PRICE Currency"), std::string::npos);
  // Read back through the text engine with the types the schema gives.
  auto back = text::OpenDirectory(out.str());
  auto cursor = back->Scan("orders.txt");
  Row row;
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row[2], Value(Currency::FromScaled(123456)));
  EXPECT_EQ(row[3].AsDateTime(), DateTime::FromDate(1899, 12, 31));
  // A second export of the same name fails and leaves the first.
  EXPECT_THROW(conn->Execute("select * into [Text;Database=" + out.str() + "/].orders.txt from [orders]"), Exception);
  EXPECT_EQ(All(*Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + out.str() +
                      ";Extended Properties=Text")->Query("select * from [orders.txt]")).size(), 3u);
}

TEST_F(ShopDirectory, SelectIntoDbaseTargetReadsBackWithDbfread) {
  TempDir out;
  auto conn = Open(FoxString(dir.str()));
  conn->Execute("select * into [Dbase 5.0;Database=" + out.str() + "/].[copy.dbf] from [customers]");
  const std::string listing = RunCommand("/usr/bin/python3 -c \"import dbfread,sys; "
                                  "[print(r['ID'], r['NAME']) for r in dbfread.DBF(sys.argv[1])]\" '" +
                                  out / "copy.dbf" + "' 2>&1");
  EXPECT_EQ(listing, "1 Ann\n2 Bo \"B\", Jr\n");
}

TEST_F(ShopDirectory, SelectIntoExcelTargetReadsBackWithXlrdAndFailureLeavesNoFile) {
  TempDir out;
  auto conn = Open(FoxString(dir.str()));
  const std::string book = out / "book.xls";
  conn->Execute("select NAME, ID into [excel 8.0;Database=" + book + "].customers from [customers]");
  const std::string listing = RunCommand("/usr/bin/python3 -c \"import xlrd,sys; s=xlrd.open_workbook(sys.argv[1]).sheet_by_name("
                                  "'customers'); [print(s.row_values(i)) for i in range(s.nrows)]\" '" + book + "' 2>&1");
  EXPECT_EQ(listing, "['NAME', 'ID']\n['Ann', 1.0]\n['Bo \"B\", Jr', 2.0]\n");
  // A failing query creates no workbook.
  const std::string other = out / "other.xls";
  EXPECT_THROW(conn->Execute("select nothing into [excel 8.0;Database=" + other + "].x from [customers]"), Exception);
  EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(ShopDirectory, HostileNamesStayNames) {
  auto s = dbf::OpenDirectory(dir.str());
  s->CreateTable("a]b", {Col("ID", adInteger)});
  s->InsertRow("a]b", {Value(int32_t{7})});
  auto conn = Open(FoxString(dir.str()));
  auto rows = All(*conn->Query("select * from [a]]b]"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsInt64(), 7);
  EXPECT_THROW(conn->Query("select * from [a]b]"), Exception);
}

TEST(FileConnection, GroupByOverAWorkbookSheet) {
  TempDir dir;
  const std::string book = dir / "sales.xls";
  xls::CreateWorkbook(book);
  {
    auto s = xls::OpenWorkbook(book);
    s->CreateTable("sales", {Col("REGION", adVarWChar, 20), Col("AMOUNT", adDouble)});
    s->Begin();
    for (auto [region, amount] : std::vector<std::pair<const char*, double>>{{"N", 1.5}, {"S", 2}, {"N", 3}})
      s->InsertRow("sales", {Value(region), Value(amount)});
    s->Commit();
  }
  auto conn = Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + book +
                   "\";Extended Properties=Excel 8.0;Persist Security Info=False");
  auto rows = All(*conn->Query("select REGION, sum(AMOUNT) as TOTAL, count(*) from [sales] group by REGION"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsString(), "N");
  EXPECT_DOUBLE_EQ(rows[0][1].AsDouble(), 4.5);
  EXPECT_EQ(rows[0][2].AsInt64(), 2);
  EXPECT_EQ(rows[1][0].AsString(), "S");
}

TEST(FileConnection, QueryOverAnAccessSampleMatchesAScanOfTheTable) {
  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", path);
  auto conn = Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path.string() + "\"");
  const auto names = conn->TableNames();
  ASSERT_FALSE(names.empty());
  auto table = conn->OpenTable(names[0]);
  size_t scanned = 0;
  Row row;
  for (auto cursor = table->Scan(); cursor->Next(row);) ++scanned;
  auto rows = All(*conn->Query("select * from [" + names[0] + "]"));
  EXPECT_EQ(rows.size(), scanned);
  auto count = All(*conn->Query("select count(*) from [" + names[0] + "]"));
  EXPECT_EQ(count[0][0].AsInt64(), static_cast<int64_t>(scanned));
  // Access files are read-only for now: a change fails with the engine's message.
  EXPECT_THROW(conn->Execute("delete from [" + names[0] + "]"), Exception);
}

TEST(FileConnection, ValuesRoundTripExactlyThroughSql) {
  TempDir dir;
  auto s = dbf::OpenDirectory(dir.str());
  s->CreateTable("v", {Col("C", adCurrency), Col("N", adNumeric, 0, 18, 4), Col("D", adDate), Col("M", adLongVarWChar),
                       Col("F", adDouble), Col("B", adBoolean)});
  const Row big{Value(Currency::FromScaled(INT64_MAX - 1)), Value(TBcd::Parse("12345678901234.7891")),
                Value(DateTime::FromDate(1, 1, 1)), Value(std::string("memo ä¸­ text")),
                Value(0.30000000000000004), Value(false)};
  const Row small{Value(Currency::FromScaled(-99999)), Value(TBcd::Parse("-0.0001")),
                  Value(DateTime::FromDate(9999, 12, 31)), Value(std::string(70000, 'x')),
                  Value(-1e300), Value(true)};
  s->InsertRow("v", big);
  s->InsertRow("v", small);
  auto conn = Open(FoxString(dir.str()));
  // Through SQLite (a WHERE clause keeps the query from reading the table straight).
  auto rows = All(*conn->Query("select * from v where 1 = 1"));
  ASSERT_EQ(rows.size(), 2u);
  for (size_t i = 0; i < big.size(); ++i) {
    EXPECT_EQ(rows[0][i], big[i]) << "column " << i;
    EXPECT_EQ(rows[1][i], small[i]) << "column " << i;
  }
  // Written back through an UPDATE that copies every column onto itself, nothing changes.
  EXPECT_EQ(conn->Execute("update v set C = C, N = N, D = D, M = M, F = F, B = B"), 2);
  rows = All(*conn->Query("select * from v"));
  for (size_t i = 0; i < big.size(); ++i) EXPECT_EQ(rows[0][i], big[i]) << "column " << i;
  // Comparisons see numbers and dates as such.
  EXPECT_EQ(All(*conn->Query("select * from v where C > 0 and D < #1/1/2000#")).size(), 1u);
}

TEST(FileConnection, SavedQueriesOfAnAccessFileAreViews) {
  VANTOR_REQUIRE_TESTDATA("access/queryTestV2000.mdb", path);
  auto conn = Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path.string() + "\"");
  const auto names = conn->TableNames();
  ASSERT_NE(std::find(names.begin(), names.end(), "SelectQuery"), names.end());
  auto rs = conn->Query("select * from [SelectQuery]");
  ASSERT_TRUE(rs);
  EXPECT_FALSE(rs->Columns().empty());
  EXPECT_THROW(conn->OpenTable("SelectQuery"), Exception);
}

TEST(FileConnection, MissingAndDamagedDatabasesFailClearly) {
  TempDir dir;
  EXPECT_THROW(Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + dir / "none.mdb" + "\""), Exception);
  EXPECT_THROW(Open(FoxString(dir / "nowhere")), Exception);
  std::ofstream(dir / "bad.xls") << "this is not a workbook";
  EXPECT_THROW(Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir / "bad.xls" +
                    ";Extended Properties=Excel 8.0"),
               Exception);
  auto conn = Open(FoxString(dir.str()));
  EXPECT_THROW(conn->Query("select * from missing"), Exception);
  EXPECT_THROW(conn->Query("select from where"), Exception);
}

}  // namespace
}  // namespace vantor::providers::file
