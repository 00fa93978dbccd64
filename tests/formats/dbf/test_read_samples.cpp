// Reads every shared sample table and checks it against the sample's summary (columns, row count) and,
// value by value, against dbfread.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "dbf_test_support.h"
#include "formats/dbf/dbf_storage.h"
#include "tests/support/testdata.h"

namespace vantor::formats::dbf {
namespace {

using testing::ReadWithDbfread;
using testing::ReadWithEngine;

struct Summary {
  int64_t records = -1;
  std::vector<std::string> columns;
};

Summary ReadSummary(const std::filesystem::path& path) {
  Summary s;
  std::ifstream in(path);
  std::string line;
  bool in_fields = false;
  while (std::getline(in, line)) {
    if (line.rfind("Records:", 0) == 0) s.records = std::stoll(line.substr(8));
    if (line.rfind("-----", 0) == 0) {
      in_fields = true;
      continue;
    }
    if (in_fields) {
      std::istringstream fields(line);
      std::string name;
      if (fields >> name) s.columns.push_back(name);
    }
  }
  return s;
}

std::string PythonCodec(int code_page) { return code_page == 65001 ? "utf-8" : "cp" + std::to_string(code_page); }

class SampleTable : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleTable, MatchesSummaryAndDbfread) {
  const std::string table = GetParam();
  VANTOR_REQUIRE_TESTDATA("dbase/" + table + ".dbf", dbf);
  auto storage = OpenDirectory(dbf.parent_path().string());
  auto& dbf_storage = dynamic_cast<DbfStorage&>(*storage);

  const std::filesystem::path summary_path = dbf.parent_path() / (table + "_summary.txt");
  if (std::filesystem::exists(summary_path)) {
    const Summary summary = ReadSummary(summary_path);
    std::vector<std::string> names;
    for (const ColumnInfo& c : storage->Columns(table)) names.push_back(c.name);
    std::vector<std::string> listed = summary.columns;
    // The summaries list Visual FoxPro's hidden null-flags field; it is no column of the table.
    listed.erase(std::remove(listed.begin(), listed.end(), "_NullFlags"), listed.end());
    EXPECT_EQ(names, listed);
    int64_t rows = 0;
    auto cursor = storage->Scan(table);
    Row row;
    while (cursor->Next(row)) ++rows;
    EXPECT_EQ(rows, summary.records);
  }
  if (table == "dbase_02") return;  // dbfread reads no dBase II tables (see DBaseTwo below)
  const std::string codec = PythonCodec(dbf_storage.TableCodePage(table));
  testing::Table expected = ReadWithDbfread(dbf, codec);
  const testing::Table actual = ReadWithEngine(*storage, table);
  if (table == "dbase_8b") {
    // dbfread counts the 8-byte block header of dBase IV memos as text and reads that far past the memo
    // (up to the next 0x1F); where it does, the memo we read must be what it read, cut at the true length.
    for (size_t r = 0; r < expected.size() && r < actual.size(); ++r) {
      testing::Cell& memo = expected[r].back();
      const testing::Cell& ours = actual[r].back();
      if (memo && ours && memo->size() > ours->size() && memo->size() <= ours->size() + 8 &&
          memo->compare(0, ours->size(), *ours) == 0)
        memo = ours;
    }
  }
  testing::ExpectSameTable(expected, actual, table);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTable,
                         ::testing::Values("cp1251", "dbase_02", "dbase_03", "dbase_30", "dbase_31", "dbase_83", "dbase_8b",
                                           "dbase_f5", "dbase_currency", "memotest", "vfp9_30", "vfp9_30_memo"));

TEST(SampleTables, DBaseTwoTableReadsAndRefusesWrites) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_02.dbf", dbf);
  testing::ScratchDir dir;
  testing::CopySample(dbf, dir.path());
  auto storage = OpenDirectory(dir.str());
  const testing::Table rows = ReadWithEngine(*storage, "dbase_02");
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[0][0], "2");
  EXPECT_EQ(rows[0][1], "Stegman");
  EXPECT_EQ(rows[0][2], "Joe");
  EXPECT_EQ(rows[0][3], "4421 W 166th ST");
  EXPECT_EQ(rows[0].back(), "6");
  try {
    storage->InsertRow("dbase_02", Row(rows[0].size()));
    FAIL() << "dBase II tables are read only";
  } catch (const StorageError& e) {
    EXPECT_NE(std::string(e.what()).find("dBase II"), std::string::npos);
  }
  EXPECT_THROW(storage->DropColumn("dbase_02", "LAST"), StorageError);
  EXPECT_EQ(ReadWithEngine(*storage, "dbase_02"), rows);
}

TEST(SampleTables, ColumnTypesFollowTheFieldTypes) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_8b.dbf", dbf);
  auto storage = OpenDirectory(dbf.parent_path().string());
  const std::vector<ColumnInfo> columns = storage->Columns("dbase_8b");
  ASSERT_EQ(columns.size(), 6u);
  EXPECT_EQ(columns[0].ado_type, adChar);
  EXPECT_EQ(columns[0].defined_size, 100);
  EXPECT_EQ(columns[1].ado_type, adNumeric);
  EXPECT_EQ(columns[1].defined_size, 20);
  EXPECT_EQ(columns[1].precision, 18);  // N(20,2): 20 characters less sign and point
  EXPECT_EQ(columns[1].numeric_scale, 2);
  EXPECT_EQ(columns[2].ado_type, adDate);
  EXPECT_EQ(columns[3].ado_type, adBoolean);
  EXPECT_EQ(columns[5].ado_type, adLongVarChar);
}

TEST(SampleTables, ListsEveryDbfFileOfTheDirectory) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_03.dbf", dbf);
  auto storage = OpenDirectory(dbf.parent_path().string());
  std::vector<std::string> names;
  for (const TableInfo& t : storage->ListTables()) names.push_back(t.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "memotest"), names.end());  // extension in another case
  EXPECT_NE(std::find(names.begin(), names.end(), "dbase_83"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "dbase_83_summary"), names.end());
  EXPECT_EQ(FindTableName(*storage, "DBASE_30"), "dbase_30");
}

TEST(SampleTables, VisualFoxProNullsAndTypes) {
  VANTOR_REQUIRE_TESTDATA("dbase/vfp9_30.dbf", dbf);
  auto storage = OpenDirectory(dbf.parent_path().string());
  const std::vector<ColumnInfo> columns = storage->Columns("vfp9_30");
  std::vector<int> types;
  for (const ColumnInfo& c : columns) types.push_back(c.ado_type);
  EXPECT_EQ(types, (std::vector<int>{adChar, adDate, adDBTimeStamp, adNumeric, adDouble, adBoolean}));
  auto cursor = storage->Scan("vfp9_30");
  Row row;
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row[2].AsDateTime().ToIsoSeconds(), "2013-12-12 08:29:59");
}

TEST(DatabaseContainer, GivesLongTableAndFieldNames) {
  VANTOR_REQUIRE_TESTDATA("dbase/foxprodb/contacts.dbf", dbf);
  auto storage = OpenDirectory(dbf.parent_path().string());
  std::vector<std::string> names;
  for (const TableInfo& t : storage->ListTables()) names.push_back(t.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"calls", "contacts", "setup", "types"}));
  const std::vector<ColumnInfo> columns = storage->Columns("contacts");
  ASSERT_EQ(columns.size(), 29u);
  EXPECT_EQ(columns[10].name, "company_name");
  EXPECT_EQ(columns[28].name, "contacts_interests");
  for (const char* table : {"calls", "contacts", "setup", "types"}) {
    testing::ExpectSameTable(ReadWithDbfread(dbf.parent_path() / (std::string(table) + ".dbf"), "cp1252"),
                             ReadWithEngine(*storage, table), table);
  }
}

TEST(DatabaseContainer, WritesAreRefusedNamingTheIndexFile) {
  VANTOR_REQUIRE_TESTDATA("dbase/foxprodb/calls.dbf", dbf);
  testing::ScratchDir dir;
  for (const auto& entry : std::filesystem::directory_iterator(dbf.parent_path()))
    std::filesystem::copy_file(entry.path(), dir.path() / entry.path().filename());
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  auto storage = OpenDirectory(dir.str());
  const auto before = ReadWithEngine(*storage, "calls");
  Row row(storage->Columns("calls").size());
  try {
    storage->InsertRow("calls", row);
    FAIL() << "the insert should be refused";
  } catch (const StorageError& e) {
    EXPECT_NE(std::string(e.what()).find("calls.CDX"), std::string::npos) << e.what();
  }
  EXPECT_THROW(storage->DeleteRow("calls", 0), StorageError);
  EXPECT_THROW(storage->AddColumn("calls", ColumnInfo{"extra", adInteger}), StorageError);
  EXPECT_THROW(storage->DropTable("calls"), StorageError);
  EXPECT_EQ(ReadWithEngine(*storage, "calls"), before);
}

}  // namespace
}  // namespace vantor::formats::dbf

namespace vantor::formats::dbf {
namespace {

// A reader that asks for some columns gets exactly those, the rest left null and undecoded.
TEST(ReadSamples, ScanningChosenColumnsLeavesTheOthersNull) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_83.dbf", path);
  auto storage = OpenDirectory(path.parent_path().string());
  const auto columns = storage->Columns("dbase_83");
  ASSERT_GE(columns.size(), 3u);
  std::vector<bool> wanted(columns.size(), false);
  wanted[1] = true;
  auto all = storage->Scan("dbase_83");
  auto some = storage->ScanColumns("dbase_83", wanted);
  Row full, partial;
  int rows = 0;
  while (all->Next(full)) {
    ASSERT_TRUE(some->Next(partial));
    ASSERT_EQ(partial.size(), full.size());
    EXPECT_EQ(partial[1], full[1]);
    for (size_t c = 0; c < partial.size(); ++c)
      if (c != 1) {
        EXPECT_TRUE(partial[c].IsNull());
      }
    EXPECT_EQ(some->RowId(), all->RowId());
    ++rows;
  }
  EXPECT_FALSE(some->Next(partial));
  EXPECT_GT(rows, 0);
}

}  // namespace
}  // namespace vantor::formats::dbf
