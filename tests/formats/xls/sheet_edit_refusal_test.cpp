// Deleting rows or columns moves cells up or left; whatever else names cell positions (formulas, merged
// ranges, links, notes, conditional formats, validation, references from other sheets) would then point at
// other cells, so such deletes are refused and change nothing.

#include <gtest/gtest.h>

#include <fstream>

#include "formats/xls/byte_io.h"
#include "formats/xls/workbook_file.h"
#include "formats/xls/xls_storage.h"
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

RawRecord Range(uint16_t id, uint16_t first_row, uint16_t last_row, uint16_t first_col, uint16_t last_col) {
  RawRecord r{id, std::vector<uint8_t>(8)};
  Put16(&r.data[0], first_row);
  Put16(&r.data[2], last_row);
  Put16(&r.data[4], first_col);
  Put16(&r.data[6], last_col);
  return r;
}

RawRecord MergedCells(uint16_t first_row, uint16_t last_row, uint16_t first_col, uint16_t last_col) {
  RawRecord r = Range(0x00E5, first_row, last_row, first_col, last_col);
  r.data.insert(r.data.begin(), {1, 0});
  return r;
}

class SheetEditRefusalTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "book.xls").string();
  std::vector<int64_t> ids;

  // Sheet "t": header in row 0, data rows 1-4, columns A-C; sheet "other" beside it.
  void SetUp() override {
    std::filesystem::remove(path);
    ids.clear();
    CreateWorkbook(path);
    auto storage = OpenWorkbook(path);
    storage->CreateTable("t", {Col("A", adDouble), Col("B", adVarWChar), Col("C", adDouble)});
    storage->CreateTable("other", {Col("x", adDouble)});
    for (int i = 1; i <= 4; ++i)
      storage->InsertRow("t", {Value(double(i)), Value("r" + std::to_string(i)), Value(double(10 * i))});
    ReadAll(*storage, "t", &ids);
  }

  // Adds records to the sheet "t" (before its EOF) or to the globals, as another program would have.
  void AddRecords(std::vector<RawRecord> sheet_records, std::vector<RawRecord> globals = {}) {
    WorkbookFile file = ReadWorkbookFile(path);
    Sheet& sheet = file.book.sheets[0];
    sheet.tail.insert(sheet.tail.end() - 1, sheet_records.begin(), sheet_records.end());
    sheet.modified = true;
    auto& g = file.book.globals;
    g.insert(g.end() - 1, globals.begin(), globals.end());
    ReplaceFile(path, BuildWorkbookFile(file));
  }

  void ExpectRefusedAndUnchanged(const std::function<void(Storage&)>& edit, const std::string& reason) {
    const auto before = FileBytes(path);
    auto storage = OpenWorkbook(path);
    const auto rows = ReadAll(*storage, "t");
    try {
      edit(*storage);
      ADD_FAILURE() << "the edit was not refused";
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadAll(*storage, "t"), rows);
    EXPECT_EQ(storage->Columns("t").size(), 3u);
    EXPECT_EQ(FileBytes(path), before);
  }
};

TEST_F(SheetEditRefusalTest, RangesBeforeTheDeletedCellsAllowItAndRangesAtOrAfterRefuseIt) {
  // Merged B2:C2 (row 1), a link in A2 and a note in C2: deleting row 3 or later moves none of them.
  AddRecords({MergedCells(1, 1, 1, 2), Range(0x01B8, 1, 1, 0, 0), RawRecord{0x001C, {1, 0, 2, 0, 0, 0, 1, 0}}});
  {
    auto storage = OpenWorkbook(path);
    storage->DeleteRow("t", ids[2]);
  }
  auto storage = OpenWorkbook(path);
  EXPECT_EQ(ReadAll(*storage, "t").size(), 3u);
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DeleteRow("t", ids[0]); }, "merged cells");
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DropColumn("t", "A"); }, "merged cells");
}

TEST_F(SheetEditRefusalTest, LinksNotesConditionalFormatsAndValidationRefuseDeletesThatMoveThem) {
  AddRecords({Range(0x01B8, 3, 3, 1, 1)});  // a link in B4
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DeleteRow("t", ids[1]); }, "hyperlink");
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DropColumn("t", "A"); }, "hyperlink");
  {
    auto storage = OpenWorkbook(path);
    storage->DropColumn("t", "C");  // to the right of the link: nothing moves under it
    storage->DeleteRow("t", ids[3]);  // below it
  }
  SetUp();
  AddRecords({RawRecord{0x001C, {4, 0, 0, 0, 0, 0, 1, 0}}});  // a note in A5
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DeleteRow("t", ids[0]); }, "note");
  SetUp();
  AddRecords({Range(0x01B0, 0, 0, 0, 0), Range(0x01B1, 0, 0, 0, 0)});
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DeleteRow("t", ids[3]); }, "conditional formats");
  SetUp();
  AddRecords({Range(0x01B2, 0, 0, 0, 0), Range(0x01BE, 0, 0, 0, 0)});
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DropColumn("t", "C"); }, "validation");
}

TEST_F(SheetEditRefusalTest, ReferencesFromOtherSheetsOrNamesRefuseDeletes) {
  // This workbook's own SUPBOOK, and an EXTERNSHEET entry for sheet 0 ("t") that names or formulas use.
  AddRecords({}, {RawRecord{0x01AE, {2, 0, 1, 4}}, RawRecord{0x0017, {1, 0, 0, 0, 0, 0, 0, 0}}});
  ExpectRefusedAndUnchanged([&](Storage& s) { s.DeleteRow("t", ids[3]); }, "refer to this sheet");
  // The other sheet has no references into it.
  auto storage = OpenWorkbook(path);
  const int64_t id = storage->InsertRow("other", {Value(1.0)});
  storage->DeleteRow("other", id);
  EXPECT_TRUE(ReadAll(*storage, "other").empty());
}

TEST_F(SheetEditRefusalTest, FormulasRefuseDeletesInsideATransactionToo) {
  const std::string xlwt_book = (dir / "xlwt.xls").string();
  const std::string python = testing::PythonWithXlrd();
  if (python.empty()) GTEST_SKIP() << "python3 with xlwt is not installed";
  ASSERT_EQ(testing::RunCommand(python + " " + testing::ShellQuote(testing::ScriptPath("xlwt_book.py")) + " " +
                                testing::ShellQuote(xlwt_book)).status, 0);
  auto storage = OpenWorkbook(xlwt_book);
  std::vector<int64_t> styled_ids;
  const auto rows = ReadAll(*storage, "Styled", &styled_ids);
  storage->Begin();
  EXPECT_THROW(storage->DeleteRow("Styled", styled_ids.back()), StorageError);  // the SUM row itself
  EXPECT_THROW(storage->DropColumn("Styled", storage->Columns("Styled")[0].name), StorageError);
  EXPECT_EQ(ReadAll(*storage, "Styled"), rows);
  storage->Commit();
  EXPECT_EQ(ReadAll(*OpenWorkbook(xlwt_book), "Styled"), rows);
}

}  // namespace
}  // namespace vantor::formats::xls
