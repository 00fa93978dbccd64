// Opening real Access files: tables in the file's order, columns with their ADO types, and the errors for
// what this engine does not do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "formats/mdb/mdb_storage.h"
#include "tests/support/testdata.h"

namespace vantor::formats::mdb {
namespace {

std::vector<std::string> Names(Storage& storage) {
  std::vector<std::string> names;
  for (const TableInfo& t : storage.ListTables()) names.push_back(t.name + (t.is_view ? " (view)" : ""));
  return names;
}

TEST(AccessFile, ListsUserTablesInFileOrderWithoutSystemTables) {
  VANTOR_REQUIRE_TESTDATA("access/indexTestV2000.mdb", index);
  EXPECT_EQ(Names(*OpenAccessFile(index.string())), (std::vector<std::string>{"Table1", "Table2", "Table3"}));
  // This file also holds MSysCompactError without the system flag; Access hides every MSys table.
  VANTOR_REQUIRE_TESTDATA("access/overflowTestV2007.accdb", accdb);
  EXPECT_EQ(Names(*OpenAccessFile(accdb.string())), (std::vector<std::string>{"Table1"}));
  VANTOR_REQUIRE_TESTDATA("access/emptyJet4.mdb", empty);
  EXPECT_TRUE(Names(*OpenAccessFile(empty.string())).empty());
}

TEST(AccessFile, ColumnsCarryAdoTypesSizesAndFlags) {
  for (const char* file : {"access/testV1997.mdb", "access/testV2000.mdb", "access/testV2007.accdb"}) {
    VANTOR_REQUIRE_TESTDATA(file, path);
    auto storage = OpenAccessFile(path.string());
    const std::vector<ColumnInfo> columns = storage->Columns("Table1");
    std::vector<int> types;
    for (const ColumnInfo& c : columns) types.push_back(c.ado_type);
    EXPECT_EQ(types, (std::vector<int>{adVarWChar, adVarWChar, adUnsignedTinyInt, adSmallInt, adInteger, adDouble,
                                       adDate, adCurrency, adBoolean}))
        << file;
    EXPECT_EQ(columns[0].defined_size, 50) << file;
    EXPECT_EQ(columns[1].defined_size, 100) << file;
    EXPECT_EQ(columns[7].numeric_scale, 4) << file;
    // Table names are found without regard to ASCII case.
    EXPECT_EQ(storage->Columns("tABLE3")[0].name, "a");
  }
  VANTOR_REQUIRE_TESTDATA("access/testV2007.accdb", accdb);
  auto storage = OpenAccessFile(accdb.string());
  EXPECT_TRUE(storage->Columns("Table3")[0].auto_increment);
  EXPECT_EQ(storage->Columns("Table4")[1].ado_type, adGUID);

  VANTOR_REQUIRE_TESTDATA("access/fixedNumericTestV2000.mdb", numeric);
  const ColumnInfo decimal = OpenAccessFile(numeric.string())->Columns("test")[1];
  EXPECT_EQ(decimal.ado_type, adNumeric);
  EXPECT_EQ(decimal.precision, 18);
  EXPECT_EQ(decimal.numeric_scale, 0);

  // Fixed-length text, and Required columns that cannot be null.
  VANTOR_REQUIRE_TESTDATA("access/fixedTextTestV2000.mdb", fixed);
  const std::vector<ColumnInfo> users = OpenAccessFile(fixed.string())->Columns("users");
  EXPECT_EQ(users[8].name, "c_flag_");
  EXPECT_EQ(users[8].ado_type, adWChar);
  EXPECT_EQ(users[8].defined_size, 1);
  EXPECT_FALSE(users[0].nullable);
}

TEST(AccessFile, EveryChangeSaysWritingIsNotSupported) {
  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", path);
  const auto before = std::filesystem::last_write_time(path);
  auto storage = OpenAccessFile(path.string());
  EXPECT_TRUE(storage->IsReadOnly());
  const ColumnInfo column{"x"};
  auto expect_refused = [](auto&& change) {
    try {
      change();
      ADD_FAILURE() << "a change was accepted";
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find("not supported"), std::string::npos) << e.what();
    }
  };
  expect_refused([&] { storage->InsertRow("Table1", Row(9)); });
  expect_refused([&] { storage->UpdateRow("Table1", 1, Row(9)); });
  expect_refused([&] { storage->DeleteRow("Table1", 1); });
  expect_refused([&] { storage->CreateTable("New", {column}); });
  expect_refused([&] { storage->DropTable("Table1"); });
  expect_refused([&] { storage->RenameTable("Table1", "T"); });
  expect_refused([&] { storage->AddColumn("Table1", column); });
  expect_refused([&] { storage->AlterColumn("Table1", "A", column); });
  expect_refused([&] { storage->DropColumn("Table1", "A"); });
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST(AccessFile, MissingFilesOtherFilesAndUnknownTablesAreClearErrors) {
  EXPECT_THROW(OpenAccessFile("/nonexistent/x.mdb"), StorageError);
  const auto dir = std::filesystem::temp_directory_path() / ("vantor_mdb_open_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "text.mdb") << std::string(8192, 'x');
  EXPECT_THROW(OpenAccessFile((dir / "text.mdb").string()), StorageError);
  std::ofstream(dir / "empty.mdb");
  EXPECT_THROW(OpenAccessFile((dir / "empty.mdb").string()), StorageError);
  EXPECT_THROW(OpenAccessFile(dir.string()), StorageError);
  std::filesystem::remove_all(dir);

  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", path);
  auto storage = OpenAccessFile(path.string());
  for (const char* name : {"a]b", "", "Table1; DROP", "MSysObjects", "../Table1"}) {
    EXPECT_THROW(storage->Columns(name), StorageError) << name;
    EXPECT_THROW(storage->Scan(name), StorageError) << name;
  }
}

}  // namespace
}  // namespace vantor::formats::mdb

namespace vantor::formats::mdb {
namespace {

std::string RunCli(const std::string& arguments) {
  std::string out;
  FILE* pipe = popen((std::string(VANTOR_CLI_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pipe) pclose(pipe);
  return out;
}

TEST(AccessFile, CommandLineToolReadsAccessFiles) {
  VANTOR_REQUIRE_TESTDATA("access/testV2007.accdb", path);
  const std::string file = "'" + path.string() + "'";
  EXPECT_EQ(RunCli("tables " + file), "Table1\nTable2\nTable3\nTable4\n");
  EXPECT_EQ(RunCli("schema " + file + " Table3"), "a\t3\t0\t0\nb\t202\t50\t0\n");
  EXPECT_EQ(RunCli("dump " + file + " table1"),
            "\"A\",\"B\",\"C\",\"D\",\"E\",\"F\",\"G\",\"H\",\"I\"\r\n"
            "\"a\",\"b\",0,0,0,0,1981-12-12 00:00:00,0,0\r\n"
            "\"abcdefg\",\"hijklmnop\",2,222,333333333,444.555,1974-09-21 00:00:00,3.5,1\r\n");
}

}  // namespace
}  // namespace vantor::formats::mdb
