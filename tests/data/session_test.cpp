#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/base_view.h"
#include "formats/dbf/dbf_storage.h"
#include "formats/xls/xls_storage.h"
#include "tests/support/temp_dir.h"
#include "tests/support/storage_helpers.h"

namespace vantor::data {
namespace {

using vantor::testing::Col;

using namespace formats;
using vantor::testing::TempDir;

void ExpectMessage(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no error; expected \"" << message << "\"";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A dBase directory with "order details" (ID, NAME) of three rows and "a]b" (ID) of one.
class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = dbf::OpenDirectory(dir.str());
    s->CreateTable("order details", {Col("ID", adInteger), Col("NAME", adVarWChar, 20)});
    for (int i = 1; i <= 3; ++i)
      s->InsertRow("order details", {Value(int32_t{i}), Value("n" + std::to_string(i))});
    s->CreateTable("a]b", {Col("ID", adInteger)});
    s->InsertRow("a]b", {Value(int32_t{42})});
  }
  std::string Table(const std::string& name) const { return dir / (name + ".dbf"); }
  TempDir dir;
  tbaseview view;
};

TEST_F(Session, OpeningADbfFileConnectsToItsDirectory) {
  EXPECT_TRUE(view.openbase(Table("a]b")));
  EXPECT_EQ(view.base().basetype(), btDbf);
  EXPECT_NE(view.getconnstr().find("SourceDB=" + dir.str() + "/;"), std::string::npos);
  EXPECT_EQ(view.tablelist(), (std::vector<std::string>{"a]b", "order details"}));
  EXPECT_EQ(*view.tablenames(), view.tablelist());
  EXPECT_EQ(view.filename(), Table("a]b"));
}

TEST_F(Session, FailedOpensAndLinks) {
  ASSERT_TRUE(view.openbase(Table("a]b")));
  // A missing Access file: the session holds the new values, the facade keeps the old ones.
  ExpectMessage([&] { view.openbase(dir / "missing.mdb"); }, "can not link the database");
  EXPECT_EQ(view.base().filename(), dir / "missing.mdb");
  EXPECT_EQ(view.base().basetype(), btAccess);
  EXPECT_FALSE(view.base().conn().Connected());
  EXPECT_EQ(view.filename(), Table("a]b"));
  EXPECT_EQ(view.tablelist().size(), 2u);

  ExpectMessage([&] { view.linkbase(btSqlServer, ""); }, "can not link the database");
  EXPECT_EQ(view.base().filename(), kNetworkBaseName);
  ExpectMessage([&] { view.linkbase(btSqlServer, "Provider=SQLOLEDB.1;Data Source=srv"); }, "can not link the database");

  Tvtbase fresh;
  ExpectMessage([&] { fresh.openbase(dir / "notes.txt"); }, "can not link the database");
  EXPECT_EQ(fresh.basetype(), btOther);
  EXPECT_EQ(fresh.connstr(), "");
}

TEST_F(Session, MySqlKindListsNoTablesWithoutTheConnection) {
  Tvtbase base;
  EXPECT_THROW(base.linkbase(btMySql, ""), Exception);
  EXPECT_TRUE(base.tablenames()->empty());
}

TEST_F(Session, OpentableBracketsNamesAndQueriesOutliveClosebase) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  auto hostile = view.opentable("a]b");
  EXPECT_EQ(hostile->FieldByName("ID").AsInteger(), 42);
  auto query = view.opentable("order details");
  view.closebase();
  EXPECT_FALSE(view.base().conn().Connected());
  EXPECT_EQ(query->FieldCount(), 2);
  EXPECT_EQ(query->Fields()[1].DataType(), ftString);  // dBase character columns are 8-bit text
  std::vector<std::string> names;
  for (query->First(); !query->Eof(); query->Next()) names.push_back(query->FieldByName("NAME").AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"n1", "n2", "n3"}));
  query->Prior();
  EXPECT_EQ(query->FieldByName("NAME").AsString(), "n2");
  ExpectMessage([&] { view.opentable("no such table"); }, "can not do sql");
  ExpectMessage([&] { view.opentable("a]b] union select 1 --"); }, "can not do sql");
}

TEST_F(Session, QueryRowsArePulledOnDemand) {
  auto s = dbf::OpenDirectory(dir.str());
  s->Begin();
  for (int i = 4; i <= 500; ++i) s->InsertRow("order details", {Value(int32_t{i}), Value("m")});
  s->Commit();
  ASSERT_TRUE(view.openbase(Table("order details")));
  auto query = view.opensql("select * from [order details] order by ID");
  EXPECT_LT(query->RowsFetched(), 5u);
  const TBookmark mark = query->GetBookmark();
  EXPECT_EQ(query->RecordCount(), 500);
  query->Last();
  EXPECT_EQ(query->FieldByName("ID").AsInteger(), 500);
  query->GotoBookmark(mark);
  EXPECT_EQ(query->FieldByName("ID").AsInteger(), 1);
}

TEST_F(Session, OpensqlCarriesOutAnUpdateAndThenFails) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  ExpectMessage([&] { view.opensql("update [order details] set NAME = 'x' where ID = 2"); }, "can not do sql");
  auto check = view.opensql("select NAME from [order details] where ID = 2");
  EXPECT_EQ(check->FieldByName("NAME").AsString(), "x");
  ExpectMessage([&] { view.opensql("select from"); }, "can not do sql");
}

TEST_F(Session, GettableWritesAppendedEditedAndDeletedRowsThrough) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  auto table = view.gettable("order details");
  table->Append();
  table->FieldByName("ID").SetAsInteger(9);
  table->FieldByName("NAME").SetAsString("nine");
  table->Post();
  table->First();
  table->Edit();
  table->FieldByName("NAME").SetAsString("first");
  table->Post();
  table->Next();
  table->Delete();
  auto check = view.opensql("select ID, NAME from [order details] order by ID");
  std::vector<std::string> rows;
  for (; !check->Eof(); check->Next())
    rows.push_back(check->FieldByName("ID").AsString() + check->FieldByName("NAME").AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"1first", "3n3", "9nine"}));
  EXPECT_THROW(view.gettable("missing"), Exception);
}

TEST_F(Session, CreateDropAndRenameTables) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  EXPECT_TRUE(view.createtable("my table"));
  auto created = view.opentable("my table");
  ASSERT_EQ(created->FieldCount(), 1);
  EXPECT_EQ(created->Fields()[0].FieldName(), "id");
  ExpectMessage([&] { view.createtable("my table"); }, "error to create talbe");

  // Rename keeps the table whole, names with spaces included.
  view.renametable("order details", "old orders");
  auto names = *view.tablenames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "old orders"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "order details"), 0);
  EXPECT_EQ(view.opentable("old orders")->RecordCount(), 3);
  // A clash fails and leaves both tables.
  ExpectMessage([&] { view.renametable("old orders", "my table"); }, "error to rename talbe");
  EXPECT_EQ(view.opentable("old orders")->RecordCount(), 3);
  ExpectMessage([&] { view.renametable("missing", "x"); }, "error to rename talbe");

  view.droptable("my table");
  EXPECT_THROW(view.droptable("my table"), Exception);
  names = *view.tablenames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "my table"), 0);
}

TEST_F(Session, ExportToTextExcelAndDbase) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  TempDir out;
  view.exporttable("order details", out / "orders.txt", 1);
  EXPECT_EQ(ReadFile(out / "orders.txt"), "\"ID\",\"NAME\"\r\n1,\"n1\"\r\n2,\"n2\"\r\n3,\"n3\"\r\n");
  EXPECT_NE(ReadFile(out / "schema.ini").find("[orders.txt]"), std::string::npos);

  view.exporttable("order details", out / "book.xls", 2);
  auto book = xls::OpenWorkbook(out / "book.xls");
  ASSERT_EQ(book->ListTables().size(), 1u);
  EXPECT_EQ(book->ListTables()[0].name, "order details");

  // A second table goes into the same workbook as a new sheet; a clash leaves the workbook as it was.
  ASSERT_TRUE(view.createtable("extra"));
  view.exporttable("extra", out / "book.xls", 2);
  book = xls::OpenWorkbook(out / "book.xls");
  ASSERT_EQ(book->ListTables().size(), 2u);
  EXPECT_EQ(book->ListTables()[1].name, "extra");
  book.reset();
  const std::string workbook_bytes = ReadFile(out / "book.xls");
  EXPECT_THROW(view.exporttable("extra", out / "book.xls", 2), Exception);
  EXPECT_THROW(view.exporttable("a]b", out / "book.xls", 2), Exception);  // no "]" in sheet names
  EXPECT_EQ(ReadFile(out / "book.xls"), workbook_bytes);

  view.exporttable("a]b", out / "ab.dbf", 3);
  auto copy = dbf::OpenDirectory(out.str());
  Row row;
  auto cursor = copy->Scan("ab");
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row[0].AsInt64(), 42);

  view.exporttable("order details", out / "nothing.txt", 4);
  EXPECT_FALSE(std::filesystem::exists(out / "nothing.txt"));
  // No staging directories are left behind.
  for (const auto& e : std::filesystem::directory_iterator(out.path()))
    EXPECT_EQ(e.path().filename().string().find(".vantor-export"), std::string::npos);
}

TEST_F(Session, AFailedExportLeavesTheOldTargetFile) {
  ASSERT_TRUE(view.openbase(Table("order details")));
  TempDir out;
  view.exporttable("a]b", out / "orders.txt", 1);
  const std::string before = ReadFile(out / "orders.txt");
  EXPECT_THROW(view.exporttable("missing table", out / "orders.txt", 1), Exception);
  EXPECT_EQ(ReadFile(out / "orders.txt"), before);
  // A successful export replaces it.
  view.exporttable("order details", out / "orders.txt", 1);
  EXPECT_NE(ReadFile(out / "orders.txt"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 2);
}

TEST(NewBase, WorkbookGetsTempsheetAndOtherKindsNothing) {
  TempDir dir;
  tbaseview view;
  view.newbase(dir / "new.xls");
  ASSERT_TRUE(view.openbase(dir / "new.xls"));
  EXPECT_EQ(view.tablelist(), (std::vector<std::string>{"tempsheet"}));
  auto sheet = view.opentable("tempsheet");
  ASSERT_EQ(sheet->FieldCount(), 2);
  EXPECT_EQ(sheet->Fields()[0].FieldName(), "ID");
  EXPECT_EQ(sheet->Fields()[1].FieldName(), "Code");
  EXPECT_EQ(sheet->RecordCount(), 0);
  view.closebase();
  sheet.reset();
  // The sheet exists already: the workbook stays as it was.
  ExpectMessage([&] { view.newbase(dir / "new.xls"); }, "create excel error!");
  EXPECT_TRUE(std::filesystem::exists(dir / "new.xls"));

  view.newbase(dir / "notes.txt");
  EXPECT_FALSE(std::filesystem::exists(dir / "notes.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace vantor::data
