// Creating, dropping and renaming tables and adding, changing and dropping columns: the rows keep their
// values, and a change that cannot keep them is an error that leaves every file as it was.

#include <gtest/gtest.h>

#include <fstream>

#include "dbf_test_support.h"
#include "formats/dbf/dbf_storage.h"

namespace vantor::formats::dbf {
namespace {

namespace fs = std::filesystem;
using testing::ReadWithDbfread;
using testing::ReadWithEngine;
using testing::ScratchDir;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ColumnInfo Col(const std::string& name, int type, int64_t size = 0) {
  ColumnInfo c;
  c.name = name;
  c.ado_type = type;
  c.defined_size = size;
  c.nullable = false;
  return c;
}

class StructureChanges : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    storage_ = OpenDirectory(dir_.str());
    storage_->CreateTable("people", {Col("name", adVarWChar, 10), Col("age", adSmallInt), Col("bio", adLongVarWChar)});
    storage_->InsertRow("people", {Value("Ann"), Value(int16_t{31}), Value("likes tea")});
    storage_->InsertRow("people", {Value("Bob"), Value(int16_t{7}), Value("plays")});
    storage_->InsertRow("people", {Value("Cy"), Value(int16_t{70}), Value("gone")});
    storage_->DeleteRow("people", 2);
  }
  void TearDown() override { ::unsetenv("LC_ALL"); }

  std::vector<std::string> Names(const std::string& table) {
    std::vector<std::string> names;
    for (const ColumnInfo& c : storage_->Columns(table)) names.push_back(c.name);
    return names;
  }

  ScratchDir dir_;
  std::unique_ptr<Storage> storage_;
};

TEST_F(StructureChanges, CreateChoosesDBaseThreeUnlessAColumnNeedsVisualFoxPro) {
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(dir_.path() / "people.dbf")[0]), 0x83);
  std::vector<int> types;
  for (const ColumnInfo& c : storage_->Columns("people")) types.push_back(c.ado_type);
  EXPECT_EQ(types, (std::vector<int>{adChar, adNumeric, adLongVarChar}));
  storage_->CreateTable("money", {Col("amount", adCurrency)});
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(dir_.path() / "money.dbf")[0]), 0x30);
  EXPECT_EQ(storage_->Columns("money")[0].ado_type, adCurrency);

  EXPECT_THROW(storage_->CreateTable("people", {Col("x", adInteger)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("PEOPLE", {Col("x", adInteger)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("../escape", {Col("x", adInteger)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("t", {Col("a_very_long_name", adInteger)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("t", {Col("x", adInteger), Col("X", adInteger)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("t", {Col("x", adEmpty)}), StorageError);
  EXPECT_THROW(storage_->CreateTable("t", {}), StorageError);
  // Hostile but legal file names are just names.
  storage_->CreateTable("a]b", {Col("x", adInteger)});
  storage_->InsertRow("a]b", {Value(int32_t{5})});
  EXPECT_EQ(ReadWithEngine(*storage_, "a]b"), (testing::Table{{"5"}}));
}

TEST_F(StructureChanges, DropAndRenameTakeEveryFileOfTheTable) {
  std::ofstream(dir_.path() / "people.cpg") << "1252";
  const testing::Table rows = ReadWithEngine(*storage_, "people");
  storage_->RenameTable("people", "persons");
  EXPECT_EQ(FilesIn(dir_.path()), (std::vector<std::string>{"persons.cpg", "persons.dbf", "persons.dbt"}));
  EXPECT_EQ(ReadWithEngine(*storage_, "persons"), rows);
  EXPECT_THROW(storage_->Columns("people"), StorageError);

  storage_->CreateTable("other", {Col("x", adInteger)});
  EXPECT_THROW(storage_->RenameTable("persons", "other"), StorageError);
  EXPECT_THROW(storage_->RenameTable("persons", "a/b"), StorageError);
  EXPECT_EQ(ReadWithEngine(*storage_, "persons"), rows);

  storage_->DropTable("persons");
  EXPECT_EQ(FilesIn(dir_.path()), (std::vector<std::string>{"other.dbf"}));
  EXPECT_THROW(storage_->DropTable("persons"), StorageError);
}

TEST_F(StructureChanges, AddColumnKeepsRowsDeletedFlagsAndMemos) {
  storage_->AddColumn("people", Col("score", adInteger));
  EXPECT_EQ(Names("people"), (std::vector<std::string>{"name", "age", "bio", "score"}));
  EXPECT_EQ(ReadWithEngine(*storage_, "people"),
            (testing::Table{{"Ann", "31", "likes tea", std::nullopt}, {"Bob", "7", "plays", std::nullopt}}));
  EXPECT_EQ(ReadWithDbfread(dir_.path() / "people.dbf", "cp1252").size(), 2u);
  // A Visual FoxPro type turns the table into a Visual FoxPro table; the memos move into an .fpt.
  ColumnInfo id = Col("id", adInteger);
  id.auto_increment = true;
  storage_->AddColumn("people", id);
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(dir_.path() / "people.dbf")[0]), 0x31);
  EXPECT_EQ(FilesIn(dir_.path()), (std::vector<std::string>{"people.dbf", "people.fpt"}));
  const testing::Table expected{{"Ann", "31", "likes tea", std::nullopt, "1"}, {"Bob", "7", "plays", std::nullopt, "2"}};
  EXPECT_EQ(ReadWithEngine(*storage_, "people"), expected);
  storage_->InsertRow("people", {Value("Dee"), Value(int16_t{1}), Value(), Value(), Value()});
  EXPECT_EQ(ReadWithEngine(*storage_, "people").back()[4], "4");  // after the three rows, the deleted one too
  testing::ExpectSameTable(ReadWithDbfread(dir_.path() / "people.dbf", "cp1252"), ReadWithEngine(*storage_, "people"),
                           "dbfread");
}

TEST_F(StructureChanges, AlterColumnConvertsValuesOrRefusesAndChangesNothing) {
  const std::string dbf = ReadFile(dir_.path() / "people.dbf");
  const std::string memo = ReadFile(dir_.path() / "people.dbt");
  const auto files = FilesIn(dir_.path());
  auto expect_unchanged = [&](const std::string& what) {
    EXPECT_TRUE(ReadFile(dir_.path() / "people.dbf") == dbf) << what;
    EXPECT_TRUE(ReadFile(dir_.path() / "people.dbt") == memo) << what;
    EXPECT_EQ(FilesIn(dir_.path()), files) << what;  // no temporary file left behind
  };
  // "Ann" and "Bob" are not numbers.
  EXPECT_THROW(storage_->AlterColumn("people", "name", Col("name", adInteger)), StorageError);
  expect_unchanged("text to number");
  // 31 does not fit a one-character field.
  ColumnInfo narrow = storage_->Columns("people")[1];
  EXPECT_EQ(narrow.precision, 5);  // adSmallInt became N(6,0): five digits and a sign
  narrow.precision = 1;
  narrow.numeric_scale = 1;
  EXPECT_THROW(storage_->AlterColumn("people", "age", narrow), StorageError);
  expect_unchanged("narrower number");
  EXPECT_THROW(storage_->AlterColumn("people", "name", Col("name", adVarWChar, 2)), StorageError);
  expect_unchanged("shorter text");
  // The second row fails after the first one's memo went into the memo file: that memo is taken back.
  storage_->UpdateRow("people", 0, {Value("Al"), Value(int16_t{31}), Value("likes tea")});
  const std::string dbf_with_al = ReadFile(dir_.path() / "people.dbf");
  const std::string memo_with_al = ReadFile(dir_.path() / "people.dbt");
  EXPECT_THROW(storage_->AlterColumn("people", "name", Col("name", adVarWChar, 2)), StorageError);
  EXPECT_TRUE(ReadFile(dir_.path() / "people.dbf") == dbf_with_al);
  EXPECT_TRUE(ReadFile(dir_.path() / "people.dbt") == memo_with_al);
  storage_->UpdateRow("people", 0, {Value("Ann"), Value(int16_t{31}), Value("likes tea")});
  EXPECT_THROW(storage_->AlterColumn("people", "nothere", Col("x", adInteger)), StorageError);

  // Conversions that hold every value.
  storage_->AlterColumn("people", "age", Col("years", adVarWChar, 5));
  storage_->AlterColumn("people", "name", Col("name", adVarWChar, 20));
  EXPECT_EQ(Names("people"), (std::vector<std::string>{"name", "years", "bio"}));
  // A column description read back creates the same field again.
  storage_->CreateTable("copy", storage_->Columns("people"));
  std::vector<std::pair<int64_t, int>> sizes, copied;
  for (const ColumnInfo& c : storage_->Columns("people")) sizes.emplace_back(c.defined_size, c.ado_type);
  for (const ColumnInfo& c : storage_->Columns("copy")) copied.emplace_back(c.defined_size, c.ado_type);
  EXPECT_EQ(sizes, copied);
  EXPECT_EQ(storage_->Columns("people")[0].defined_size, 20);
  EXPECT_EQ(ReadWithEngine(*storage_, "people"), (testing::Table{{"Ann", "31", "likes tea"}, {"Bob", "7", "plays"}}));
  storage_->AlterColumn("people", "years", Col("years", adDouble));
  EXPECT_EQ(ReadWithEngine(*storage_, "people"), (testing::Table{{"Ann", "31", "likes tea"}, {"Bob", "7", "plays"}}));
  EXPECT_EQ(storage_->Columns("people")[1].ado_type, adDouble);
}

TEST_F(StructureChanges, DropColumn) {
  storage_->DropColumn("people", "AGE");
  EXPECT_EQ(Names("people"), (std::vector<std::string>{"name", "bio"}));
  EXPECT_EQ(ReadWithEngine(*storage_, "people"), (testing::Table{{"Ann", "likes tea"}, {"Bob", "plays"}}));
  storage_->DropColumn("people", "bio");
  EXPECT_THROW(storage_->DropColumn("people", "name"), StorageError);
  EXPECT_EQ(ReadWithDbfread(dir_.path() / "people.dbf", "cp1252"), (testing::Table{{"Ann"}, {"Bob"}}));
}

}  // namespace
}  // namespace vantor::formats::dbf
