// The workbook storage engine through its Storage interface: new workbooks, sheet tables, row and column
// changes, transactions, the format's limits, and that a failed change leaves the file as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "formats/xls/byte_io.h"
#include "formats/xls/compound_file_writer.h"
#include "formats/xls/sheet_table.h"
#include "formats/xls/workbook_file.h"
#include "formats/xls/xls_storage.h"
#include "tests/support/testdata.h"
#include "xls_test_support.h"
#include "tests/support/storage_helpers.h"

namespace vantor::formats::xls {
namespace {

using vantor::testing::Col;
using vantor::testing::ReadAll;

using testing::TempDir;

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class XlsStorageTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "book.xls").string();

  std::unique_ptr<Storage> NewBookWithTable() {
    CreateWorkbook(path);
    auto storage = OpenWorkbook(path);
    storage->CreateTable("people", {Col("Name", adVarWChar), Col("Age", adDouble), Col("Born", adDate),
                                    Col("Member", adBoolean)});
    return storage;
  }
};

TEST_F(XlsStorageTest, NewWorkbookThenTempsheetReopensWithItsColumnsAndNoRows) {
  CreateWorkbook(path);
  EXPECT_TRUE(OpenWorkbook(path)->ListTables().empty());
  {
    auto storage = OpenWorkbook(path);
    storage->CreateTable("tempsheet", {Col("ID", adInteger), Col("Code", adVarWChar)});
  }
  auto storage = OpenWorkbook(path);
  const auto tables = storage->ListTables();
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].name, "tempsheet");
  const auto columns = storage->Columns("tempsheet");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].name, "ID");
  EXPECT_EQ(columns[1].name, "Code");
  EXPECT_TRUE(ReadAll(*storage, "tempsheet").empty());
  // A second sheet of the same name (any case) is refused, as is a second new workbook over the file.
  EXPECT_THROW(storage->CreateTable("TEMPSHEET", {Col("x", adVarWChar)}), StorageError);
  const auto before = FileBytes(path);
  EXPECT_THROW(CreateWorkbook(path), StorageError);
  EXPECT_EQ(FileBytes(path), before);
}

TEST_F(XlsStorageTest, RowsOfEveryTypeReadBackTyped) {
  {
    auto storage = NewBookWithTable();
    storage->InsertRow("people", {Value("王小明"), Value(42.5), Value(DateTime::FromDate(1980, 5, 17)), Value(true)});
    storage->InsertRow("people", {Value("Zoë"), Value(int32_t{7}), Value(DateTime::Parse("2024-02-29 13:45:10")),
                                  Value(false)});
    storage->InsertRow("people", {Value(), Value(), Value(), Value()});
    storage->InsertRow("people", {Value("last"), Value(-0.125), Value(DateTime::FromDate(1900, 1, 1)), Value()});
  }
  auto storage = OpenWorkbook(path);
  const auto columns = storage->Columns("people");
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].ado_type, adVarWChar);
  EXPECT_EQ(columns[1].ado_type, adDouble);
  EXPECT_EQ(columns[2].ado_type, adDate);
  EXPECT_EQ(columns[3].ado_type, adBoolean);
  const auto rows = ReadAll(*storage, "people");
  ASSERT_EQ(rows.size(), 4u);  // the empty row in the middle is a row; trailing empty rows are not
  EXPECT_EQ(rows[0], (Row{Value("王小明"), Value(42.5), Value(DateTime::FromDate(1980, 5, 17)), Value(true)}));
  EXPECT_EQ(rows[1], (Row{Value("Zoë"), Value(7.0), Value(DateTime::Parse("2024-02-29 13:45:10")), Value(false)}));
  EXPECT_EQ(rows[2], (Row{Value(), Value(), Value(), Value()}));
  EXPECT_EQ(rows[3], (Row{Value("last"), Value(-0.125), Value(DateTime::FromDate(1900, 1, 1)), Value()}));
}

TEST_F(XlsStorageTest, MixedColumnIsTextAndLosesNoValue) {
  auto storage = NewBookWithTable();
  storage->InsertRow("people", {Value("a"), Value(1.0), Value(), Value()});
  storage->InsertRow("people", {Value(5.0), Value("n/a"), Value(), Value()});
  const auto columns = storage->Columns("people");
  EXPECT_EQ(columns[1].ado_type, adVarWChar);  // numbers and text
  const auto rows = ReadAll(*storage, "people");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], Value("1"));
  EXPECT_EQ(rows[1][1], Value("n/a"));
  EXPECT_EQ(rows[1][0], Value("5"));  // a number into a text column is stored as its text
}

TEST_F(XlsStorageTest, UpdateAndDeleteFollowStableRowIds) {
  auto storage = NewBookWithTable();
  std::vector<int64_t> ids;
  for (int i = 0; i < 5; ++i)
    ids.push_back(storage->InsertRow("people", {Value("p" + std::to_string(i)), Value(double(i)), Value(), Value()}));
  storage->DeleteRow("people", ids[1]);
  // Ids handed out before the delete still name the same rows.
  storage->UpdateRow("people", ids[3], {Value("three"), Value(33.0), Value(), Value(true)});
  storage->DeleteRow("people", ids[4]);
  EXPECT_THROW(storage->DeleteRow("people", ids[1]), StorageError);
  EXPECT_THROW(storage->UpdateRow("people", 9999, {Value(), Value(), Value(), Value()}), StorageError);
  auto reopened = OpenWorkbook(path);
  std::vector<int64_t> seen_ids;
  const auto rows = ReadAll(*reopened, "people", &seen_ids);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], Value("p0"));
  EXPECT_EQ(rows[1][0], Value("p2"));
  EXPECT_EQ(rows[2], (Row{Value("three"), Value(33.0), Value(), Value(true)}));
  // Row ids of the reopened file address its rows.
  reopened->DeleteRow("people", seen_ids[0]);
  EXPECT_EQ(ReadAll(*OpenWorkbook(path), "people").size(), 2u);
}

TEST_F(XlsStorageTest, DeletingRowsWhileScanningVisitsEveryRowOnce) {
  auto storage = NewBookWithTable();
  storage->Begin();
  for (int i = 0; i < 10; ++i) storage->InsertRow("people", {Value("r" + std::to_string(i)), Value(double(i)), Value(), Value()});
  auto cursor = storage->Scan("people");
  Row row;
  int visited = 0;
  while (cursor->Next(row)) {
    ++visited;
    if (static_cast<int>(row[1].AsDouble()) % 2 == 0) storage->DeleteRow("people", cursor->RowId());
  }
  storage->Commit();
  EXPECT_EQ(visited, 10);
  const auto rows = ReadAll(*OpenWorkbook(path), "people");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0][0], Value("r1"));
}

TEST_F(XlsStorageTest, TransactionWritesOnceAtCommitAndRollbackDropsChanges) {
  auto storage = NewBookWithTable();
  const auto before = FileBytes(path);
  storage->Begin();
  for (int i = 0; i < 100; ++i) storage->InsertRow("people", {Value("x"), Value(double(i)), Value(), Value()});
  EXPECT_EQ(FileBytes(path), before);  // nothing written yet
  storage->Rollback();
  EXPECT_TRUE(ReadAll(*storage, "people").empty());
  storage->Begin();
  storage->InsertRow("people", {Value("kept"), Value(1.0), Value(), Value()});
  storage->Commit();
  EXPECT_NE(FileBytes(path), before);
  EXPECT_EQ(ReadAll(*OpenWorkbook(path), "people").size(), 1u);
}

TEST_F(XlsStorageTest, LimitsGiveClearErrorsAndLeaveTheFileAsItWas) {
  auto storage = NewBookWithTable();
  const auto before = FileBytes(path);
  auto expect_error = [&](auto&& change, const char* fragment) {
    try {
      change();
      ADD_FAILURE() << "no error; expected one mentioning " << fragment;
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
    EXPECT_EQ(FileBytes(path), before) << fragment;
  };
  expect_error([&] { storage->CreateTable(std::string(32, 'x'), {Col("a", adVarWChar)}); }, "31 characters");
  expect_error([&] { storage->CreateTable("a]b", {Col("a", adVarWChar)}); }, "contains");
  expect_error([&] { storage->CreateTable("", {Col("a", adVarWChar)}); }, "empty");
  expect_error([&] { storage->RenameTable("people", "x/y"); }, "contains");
  std::vector<ColumnInfo> wide;
  for (int i = 0; i < 257; ++i) wide.push_back(Col("c" + std::to_string(i), adDouble));
  expect_error([&] { storage->CreateTable("wide", wide); }, "256 columns");
  expect_error([&] { storage->CreateTable("twice", {Col("a", adDouble), Col("A", adDouble)}); }, "twice");
  // Inside a transaction a refused sheet leaves nothing behind either.
  storage->Begin();
  EXPECT_THROW(storage->CreateTable("wide", wide), StorageError);
  EXPECT_EQ(storage->ListTables().size(), 1u);
  storage->Rollback();
  expect_error([&] { storage->InsertRow("people", {Value(std::string(32768, 'a')), Value(), Value(), Value()}); },
               "32,767");
  expect_error([&] { storage->InsertRow("people", {Value("a"), Value(1.0 / 0.0), Value(), Value()}); }, "infinite");
  expect_error([&] { storage->InsertRow("people", {Value("a"), Value()}); }, "values");
  expect_error([&] { storage->InsertRow("people", {Value("a"), Value(int64_t{9007199254740993}), Value(), Value()}); },
               "doubles");
  expect_error([&] { storage->InsertRow("people", {Value(Bytes{1, 2}), Value(), Value(), Value()}); }, "binary");
  expect_error([&] { storage->InsertRow("people", {Value("a"), Value(), Value(DateTime::FromDate(1850, 1, 1)), Value()}); },
               "1900");
  expect_error([&] { storage->InsertRow("nosuch", {Value("a")}); }, "no sheet");
  // The longest allowed cell and sheet name are fine.
  storage->InsertRow("people", {Value(std::string(32767, 'b')), Value(), Value(), Value()});
  storage->RenameTable("people", std::string(31, 'n'));
  auto reopened = OpenWorkbook(path);
  EXPECT_EQ(ReadAll(*reopened, std::string(31, 'n'))[0][0].AsString().size(), 32767u);
  EXPECT_EQ(reopened->Columns(std::string(31, 'n'))[0].ado_type, adLongVarWChar);
}

TEST_F(XlsStorageTest, SheetHoldsAtMost65536Rows) {
  auto storage = NewBookWithTable();
  storage->Begin();
  for (size_t i = 1; i < kMaxRows; ++i) storage->InsertRow("people", {Value(), Value(double(i)), Value(), Value()});
  EXPECT_THROW(storage->InsertRow("people", {Value(), Value(1.0), Value(), Value()}), StorageError);
  storage->Commit();
  EXPECT_EQ(ReadAll(*OpenWorkbook(path), "people").size(), kMaxRows - 1);
}

TEST_F(XlsStorageTest, ColumnsAreAddedRenamedAndDropped) {
  auto storage = NewBookWithTable();
  storage->InsertRow("people", {Value("a"), Value(1.0), Value(DateTime::FromDate(2001, 1, 1)), Value(true)});
  storage->AddColumn("people", Col("Note", adVarWChar));
  EXPECT_THROW(storage->AddColumn("people", Col("note", adVarWChar)), StorageError);
  storage->InsertRow("people", {Value("b"), Value(2.0), Value(), Value(false), Value("hi")});
  storage->DropColumn("people", "Age");
  EXPECT_THROW(storage->DropColumn("people", "Age"), StorageError);
  ColumnInfo renamed = Col("Joined", adDate);
  storage->AlterColumn("people", "Born", renamed);
  auto reopened = OpenWorkbook(path);
  const auto columns = reopened->Columns("people");
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].name, "Name");
  EXPECT_EQ(columns[1].name, "Joined");
  EXPECT_EQ(columns[1].ado_type, adDate);
  EXPECT_EQ(columns[2].name, "Member");
  EXPECT_EQ(columns[3].name, "Note");
  const auto rows = ReadAll(*reopened, "people");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{Value("a"), Value(DateTime::FromDate(2001, 1, 1)), Value(true), Value()}));
  EXPECT_EQ(rows[1], (Row{Value("b"), Value(), Value(false), Value("hi")}));
}

TEST_F(XlsStorageTest, SheetsAreRenamedAndDropped) {
  auto storage = NewBookWithTable();
  storage->CreateTable("second", {Col("x", adDouble)});
  storage->InsertRow("second", {Value(3.0)});
  storage->RenameTable("people", "人员");
  EXPECT_THROW(storage->RenameTable("second", "人员"), StorageError);
  storage->DropTable("人员");
  EXPECT_THROW(storage->DropTable("people"), StorageError);
  auto reopened = OpenWorkbook(path);
  const auto tables = reopened->ListTables();
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].name, "second");
  EXPECT_EQ(ReadAll(*reopened, "second")[0][0], Value(3.0));
}

TEST_F(XlsStorageTest, WrongPathsAndDamagedFilesGiveErrors) {
  EXPECT_THROW(OpenWorkbook((dir / "missing.xls").string()), StorageError);
  EXPECT_THROW(OpenWorkbook(dir.path().string()), StorageError);
  {
    std::ofstream out(dir / "text.xls");
    out << "just,some,text\n";
  }
  EXPECT_THROW(OpenWorkbook((dir / "text.xls").string()), StorageError);
  // Every truncation of a real workbook is an error or a readable workbook, never a crash.
  NewBookWithTable()->InsertRow("people", {Value("a"), Value(1.0), Value(), Value(true)});
  const auto bytes = FileBytes(path);
  for (size_t cut = 0; cut < bytes.size(); cut += 97) {
    const auto damaged = dir / "cut.xls";
    {
      std::ofstream out(damaged, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(cut));
    }
    try {
      auto s = OpenWorkbook(damaged.string());
      for (const auto& t : s->ListTables()) ReadAll(*s, t.name);
    } catch (const StorageError&) {
    }
  }
}

// Excel lists one tab id per sheet (TABID); the list follows sheets that are added and dropped.
TEST_F(XlsStorageTest, SheetListOfTheGlobalsFollowsNewAndDroppedSheets) {
  VANTOR_REQUIRE_TESTDATA("excel/Formate.xls", sample);
  std::filesystem::copy_file(sample, path);
  auto tab_ids = [&] {
    const WorkbookFile file = ReadWorkbookFile(path);
    std::vector<uint16_t> ids;
    for (const RawRecord& r : file.book.globals)
      if (r.id == 0x013D)
        for (size_t i = 0; i + 1 < r.data.size(); i += 2) ids.push_back(Get16(&r.data[i]));
    return ids;
  };
  ASSERT_EQ(tab_ids(), (std::vector<uint16_t>{1, 2, 3, 4}));
  auto storage = OpenWorkbook(path);
  storage->CreateTable("neu", {Col("x", adDouble)});
  EXPECT_EQ(tab_ids(), (std::vector<uint16_t>{1, 2, 3, 4, 5}));
  storage->DropTable("ÖÄÜ");
  EXPECT_EQ(tab_ids(), (std::vector<uint16_t>{1, 3, 4, 5}));
  std::vector<std::string> names;
  for (const TableInfo& t : OpenWorkbook(path)->ListTables()) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Blätt1", "Blätt3", "Formate", "neu"}));
}

TEST_F(XlsStorageTest, CellsWrittenIntoAnEmptySheetComeBeforeItsWindowSettings) {
  VANTOR_REQUIRE_TESTDATA("excel/namesdemo.xls", sample);
  std::filesystem::copy_file(sample, path);
  {
    auto storage = OpenWorkbook(path);
    EXPECT_TRUE(storage->Columns("Sheet2").empty());
    EXPECT_THROW(storage->InsertRow("Sheet2", {}), StorageError);
    storage->AddColumn("Sheet2", Col("first", adVarWChar));
    storage->InsertRow("Sheet2", {Value("value")});
  }
  const WorkbookFile file = ReadWorkbookFile(path);
  const Sheet& sheet = file.book.sheets[1];
  auto has = [](const std::vector<RawRecord>& records, uint16_t id) {
    return std::any_of(records.begin(), records.end(), [id](const RawRecord& r) { return r.id == id; });
  };
  EXPECT_FALSE(has(sheet.head, 0x023E));
  EXPECT_TRUE(has(sheet.tail, 0x023E));
  EXPECT_EQ(ReadAll(*OpenWorkbook(path), "Sheet2"), (std::vector<Row>{{Value("value")}}));
}

// A BIFF5 (Excel 5.0/95) workbook, built record by record: code page 1252 text, a number, read only.
std::vector<uint8_t> Biff5Workbook() {
  std::vector<uint8_t> stream;
  auto record = [&](uint16_t id, std::vector<uint8_t> data) {
    ByteWriter w(stream);
    w.U16(id);
    w.U16(static_cast<uint16_t>(data.size()));
    w.Bytes(data);
  };
  record(0x0809, {0x00, 0x05, 0x05, 0x00, 0, 0, 0, 0});
  record(0x0042, {0xE4, 0x04});  // code page 1252
  record(0x00E0, std::vector<uint8_t>(16, 0));
  const size_t sheet_offset_field = stream.size() + 4;
  record(0x0085, {0, 0, 0, 0, 0, 0, 4, 'D', 'a', 't', 'a'});
  record(0x000A, {});
  Put32(&stream[sheet_offset_field], static_cast<uint32_t>(stream.size()));
  record(0x0809, {0x00, 0x05, 0x10, 0x00, 0, 0, 0, 0});
  record(0x0204, {0, 0, 0, 0, 0, 0, 5, 0, 'G', 'r', 0xF6, 0xDF, 'e'});  // "Größe"
  record(0x0204, {1, 0, 0, 0, 0, 0, 3, 0, 'a', 'b', 'c'});
  std::vector<uint8_t> number = {2, 0, 0, 0, 0, 0};
  ByteWriter(number).F64(2.5);
  record(0x0203, number);
  record(0x000A, {});
  auto entries = SingleStreamDirectory(u"Book");
  return WriteCompoundFile(entries, {{}, stream});
}

TEST_F(XlsStorageTest, Biff5WorkbookReadsWithItsCodePageAndIsReadOnly) {
  const auto bytes = Biff5Workbook();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  auto storage = OpenWorkbook(path);
  EXPECT_TRUE(storage->IsReadOnly());
  ASSERT_EQ(storage->ListTables().size(), 1u);
  const auto columns = storage->Columns("Data");
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].name, "Größe");
  EXPECT_EQ(ReadAll(*storage, "Data"), (std::vector<Row>{{Value("abc")}, {Value("2.5")}}));
  EXPECT_THROW(storage->InsertRow("Data", {Value("x")}), StorageError);
  EXPECT_THROW(storage->DropTable("Data"), StorageError);
  EXPECT_EQ(FileBytes(path), bytes);
}

// Excel opens no workbook without sheets: a new one holds an empty sheet, which is no table and which the
// first table replaces; dropping the last table brings it back.
TEST_F(XlsStorageTest, NewWorkbookOpensElsewhereAndShowsNoTable) {
  const std::string python = testing::PythonWithXlrd();
  auto xlrd_sheets = [&] {
    const auto r = testing::RunCommand(python + " " + testing::ShellQuote(testing::ScriptPath("xlrd_dump.py")) + " " +
                                       testing::ShellQuote(path));
    EXPECT_EQ(r.status, 0) << "xlrd cannot open the workbook";
    std::vector<std::string> sheets;
    for (const std::string& line : testing::SplitLines(r.output))
      if (line.rfind("S\t", 0) == 0) sheets.push_back(testing::SplitTabs(line).at(2));
    return sheets;
  };
  CreateWorkbook(path);
  EXPECT_TRUE(OpenWorkbook(path)->ListTables().empty());
  if (!python.empty()) {
    EXPECT_EQ(xlrd_sheets(), std::vector<std::string>{"Sheet1"});
  }
  {
    auto storage = OpenWorkbook(path);
    storage->CreateTable("Sheet1", {Col("a", adDouble)});  // the name is free: the empty sheet is no table
    storage->InsertRow("Sheet1", {Value(1.0)});
  }
  auto storage = OpenWorkbook(path);
  ASSERT_EQ(storage->ListTables().size(), 1u);
  EXPECT_EQ(ReadAll(*storage, "Sheet1"), (std::vector<Row>{{Value(1.0)}}));
  storage->DropTable("Sheet1");
  EXPECT_TRUE(storage->ListTables().empty());
  EXPECT_TRUE(OpenWorkbook(path)->ListTables().empty());
  if (!python.empty()) {
    EXPECT_EQ(xlrd_sheets(), std::vector<std::string>{"Sheet1"});
  }
  storage->CreateTable("people", {Col("Name", adVarWChar)});
  EXPECT_EQ(OpenWorkbook(path)->ListTables().size(), 1u);
  if (!python.empty()) {
    EXPECT_EQ(xlrd_sheets(), std::vector<std::string>{"people"});
  }
}

// An empty sheet that another program wrote stays a table.
TEST_F(XlsStorageTest, AnEmptySheetWithMoreThanThePlaceholderRecordsIsATable) {
  CreateWorkbook(path);
  WorkbookFile file = ReadWorkbookFile(path);
  ASSERT_EQ(file.book.sheets.size(), 1u);
  file.book.sheets[0].tail.insert(file.book.sheets[0].tail.begin(), RawRecord{0x001D, {3, 0, 0, 0, 0, 0, 0, 0, 0}});
  file.book.sheets[0].modified = true;
  ReplaceFile(path, BuildWorkbookFile(file));
  auto storage = OpenWorkbook(path);
  ASSERT_EQ(storage->ListTables().size(), 1u);
  EXPECT_THROW(storage->CreateTable("sheet1", {Col("a", adDouble)}), StorageError);
}

}  // namespace
}  // namespace vantor::formats::xls
