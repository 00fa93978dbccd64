// Changing a column's type converts its stored values where the new type holds them exactly, and refuses
// (changing nothing) where one value cannot be held.

#include <gtest/gtest.h>

#include <fstream>

#include "formats/xls/xls_storage.h"
#include "xls_test_support.h"
#include "tests/support/storage_helpers.h"

namespace vantor::formats::xls {
namespace {

using vantor::testing::Col;
using vantor::testing::ReadAll;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AlterColumnTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string path = (dir / "book.xls").string();

  void SetUp() override {
    CreateWorkbook(path);
    auto storage = OpenWorkbook(path);
    storage->CreateTable("t", {Col("Num", adDouble), Col("Txt", adVarWChar), Col("When", adVarWChar),
                               Col("Flag", adBoolean)});
    storage->InsertRow("t", {Value(42.5), Value("12"), Value("2024-02-29"), Value(true)});
    storage->InsertRow("t", {Value(), Value(), Value(), Value()});
    storage->InsertRow("t", {Value(7.0), Value("-3.25"), Value("1999-12-31 23:59:59"), Value(false)});
  }
};

TEST_F(AlterColumnTest, ValuesConvertBetweenNumbersTextDatesAndBooleans) {
  {
    auto storage = OpenWorkbook(path);
    storage->AlterColumn("t", "Num", Col("NumText", adVarWChar));
  }
  {
    auto storage = OpenWorkbook(path);
    EXPECT_THROW(storage->AlterColumn("t", "Txt", Col("Txt", adInteger)), StorageError);  // -3.25 is no integer
    storage->AlterColumn("t", "Txt", Col("Txt", adDouble));
    storage->AlterColumn("t", "When", Col("When", adDate));
    storage->AlterColumn("t", "Flag", Col("Flag", adVarWChar));
  }
  auto storage = OpenWorkbook(path);
  const auto columns = storage->Columns("t");
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].name, "NumText");
  EXPECT_EQ(columns[0].ado_type, adVarWChar);
  EXPECT_EQ(columns[1].ado_type, adDouble);
  EXPECT_EQ(columns[2].ado_type, adDate);
  EXPECT_EQ(columns[3].ado_type, adVarWChar);
  const auto rows = ReadAll(*storage, "t");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (Row{Value("42.5"), Value(12.0), Value(DateTime::FromDate(2024, 2, 29)), Value("TRUE")}));
  EXPECT_EQ(rows[1], (Row{Value(), Value(), Value(), Value()}));
  EXPECT_EQ(rows[2], (Row{Value("7"), Value(-3.25), Value(DateTime::Parse("1999-12-31 23:59:59")), Value("FALSE")}));
  // And back: text that reads as numbers and booleans becomes them again.
  storage->AlterColumn("t", "NumText", Col("Num", adDouble));
  storage->AlterColumn("t", "Flag", Col("Flag", adBoolean));
  const auto back = ReadAll(*OpenWorkbook(path), "t");
  EXPECT_EQ(back[0][0], Value(42.5));
  EXPECT_EQ(back[2][3], Value(false));
  EXPECT_EQ(OpenWorkbook(path)->Columns("t")[3].ado_type, adBoolean);
}

TEST_F(AlterColumnTest, AValueTheTypeCannotHoldRefusesAndChangesNothing) {
  auto storage = OpenWorkbook(path);
  const auto rows = ReadAll(*storage, "t");
  const auto columns = storage->Columns("t");
  const auto before = FileBytes(path);
  EXPECT_THROW(storage->AlterColumn("t", "When", Col("Renamed", adDouble)), StorageError);  // dates as text
  EXPECT_THROW(storage->AlterColumn("t", "Num", Col("Num", adBoolean)), StorageError);
  EXPECT_THROW(storage->AlterColumn("t", "Flag", Col("Flag", adVarBinary)), StorageError);
  EXPECT_EQ(FileBytes(path), before);
  // Inside a transaction the refusal leaves the rows and the column as they were, too.
  storage->Begin();
  storage->InsertRow("t", {Value(1.0), Value("not a number"), Value(), Value()});
  EXPECT_THROW(storage->AlterColumn("t", "Txt", Col("Txt2", adDouble)), StorageError);
  EXPECT_EQ(storage->Columns("t")[1].name, "Txt");
  EXPECT_EQ(ReadAll(*storage, "t").at(2)[1], Value("-3.25"));
  storage->Rollback();
  EXPECT_EQ(ReadAll(*storage, "t"), rows);
  EXPECT_EQ(storage->Columns("t").size(), columns.size());
}

}  // namespace
}  // namespace vantor::formats::xls
