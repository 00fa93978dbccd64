// Excel 2.x worksheets: cells carry attribute bytes instead of an XF index, integers have their own record,
// and a formula's text result follows in a STRING record.

#include <gtest/gtest.h>

#include "formats/storage.h"
#include "formats/xls/workbook_file.h"

namespace vantor::formats::xls {
namespace {

void Put(std::vector<uint8_t>& out, uint16_t id, std::vector<uint8_t> data) {
  out.insert(out.end(), {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(data.size()),
                         static_cast<uint8_t>(data.size() >> 8)});
  out.insert(out.end(), data.begin(), data.end());
}

TEST(LegacyWorksheet, Biff2CellsOfEveryKindRead) {
  std::vector<uint8_t> b;
  Put(b, 0x0009, {0x02, 0, 0x10, 0});                                          // BOF
  Put(b, 0x001E, {4, '0', '.', '0', '0'});                                      // FORMAT 0: a number
  Put(b, 0x001E, {10, 'y', 'y', 'y', 'y', '-', 'm', 'm', '-', 'd', 'd'});       // FORMAT 1: a date
  Put(b, 0x0043, {0, 0, 0, 0});                                                // XF 0: format 0
  Put(b, 0x0043, {0, 0, 1, 0});                                                // XF 1: format 1
  Put(b, 0x0004, {0, 0, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c'});                     // LABEL A1
  Put(b, 0x0002, {1, 0, 0, 0, 0, 0, 0, 0xE8, 0x03});                           // INTEGER A2 = 1000
  Put(b, 0x0003, {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xE5, 0x40});      // NUMBER B2, a date
  Put(b, 0x0006, {1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 1, 0x17});  // FORMULA C2, text
  Put(b, 0x0007, {2, 'h', 'i'});                                               // its STRING
  Put(b, 0x0005, {1, 0, 3, 0, 0, 0, 0, 1, 0});                                 // BOOLERR D2 = TRUE
  Put(b, 0x000A, {});
  const WorkbookFile file = ParseWorkbookFile(b);
  const Workbook& book = file.book;
  EXPECT_EQ(book.version, BiffVersion::kBiff2To4);
  ASSERT_EQ(book.sheets.size(), 1u);
  const auto& rows = book.sheets[0].rows;
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].cells.size(), 1u);
  EXPECT_EQ(book.strings[rows[0].cells[0].text].text, "abc");
  ASSERT_EQ(rows[1].cells.size(), 4u);
  EXPECT_EQ(rows[1].cells[0].number, 1000);
  EXPECT_FALSE(book.IsDateXf(rows[1].cells[0].xf));
  EXPECT_EQ(rows[1].cells[1].number, 43520);
  EXPECT_TRUE(book.IsDateXf(rows[1].cells[1].xf));
  EXPECT_EQ(rows[1].cells[2].kind, Cell::Kind::kText);
  EXPECT_EQ(book.strings[rows[1].cells[2].text].text, "hi");
  EXPECT_EQ(rows[1].cells[3].kind, Cell::Kind::kBoolean);
  EXPECT_EQ(rows[1].cells[3].code, 1);
  // A worksheet of another kind, or a workbook of several sheets, is refused by name.
  std::vector<uint8_t> chart;
  Put(chart, 0x0409, {0, 0, 0x20, 0});
  Put(chart, 0x000A, {});
  EXPECT_THROW(ParseWorkbookFile(chart), StorageError);
}

}  // namespace
}  // namespace vantor::formats::xls
