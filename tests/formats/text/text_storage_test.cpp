#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "formats/text/csv_lines.h"
#include "formats/text/schema_ini.h"
#include "formats/text/text_storage.h"
#include "tests/support/temp_dir.h"
#include "tests/support/storage_helpers.h"

namespace vantor::formats::text {
namespace {

using vantor::testing::Col;
using vantor::testing::ReadAll;

using vantor::testing::TempDir;

TEST(TextStorage, TypedColumnsRoundTripExactly) {
  TempDir dir;
  auto s = OpenDirectory(dir.str());
  s->CreateTable("t.txt", {Col("ID", adInteger), Col("my name", adVarWChar, 30), Col("PRICE", adCurrency),
                           Col("AMOUNT", adNumeric, 0, 20, 6), Col("DAY", adDate), Col("OK", adBoolean),
                           Col("BIG", adBigInt), Col("X", adDouble)});
  const Row first{Value(int32_t{-7}),
                  Value("line one\r\nline \"two\", with comma"),
                  Value(Currency::FromScaled(INT64_MAX)),
                  Value(TBcd::Parse("12345678901234.123456")),
                  Value(DateTime::FromParts({1850, 2, 3, 4, 5, 6, 7})),
                  Value(true),
                  Value(int64_t{INT64_MIN}),
                  Value(0.1)};
  const Row second{Value(int32_t{0}), Value(""), Value(), Value(), Value(), Value(false), Value(), Value()};
  s->Begin();
  s->InsertRow("t.txt", first);
  s->InsertRow("t.txt", second);
  s->Commit();
  auto again = OpenDirectory(dir.str());
  EXPECT_EQ(again->ListTables().size(), 1u);
  const auto columns = again->Columns("T.TXT");
  ASSERT_EQ(columns.size(), 8u);
  EXPECT_EQ(columns[1].name, "my name");
  EXPECT_EQ(columns[1].defined_size, 30);
  EXPECT_EQ(columns[3].precision, 20);
  EXPECT_EQ(columns[3].numeric_scale, 6);
  EXPECT_EQ(columns[6].ado_type, adBigInt);
  const auto rows = ReadAll(*again, "t.txt");
  ASSERT_EQ(rows.size(), 2u);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(rows[0][i], first[i]) << "column " << i;
  EXPECT_EQ(rows[1][1], Value(""));  // an empty quoted text stays text, not null
  EXPECT_TRUE(rows[1][2].IsNull());
}

TEST(TextStorage, RollbackWritesNothingAndRowChangesAreRefused) {
  TempDir dir;
  auto s = OpenDirectory(dir.str());
  s->CreateTable("t.csv", {Col("A", adInteger)});
  s->Begin();
  s->InsertRow("t.csv", {Value(int32_t{1})});
  s->Rollback();
  EXPECT_TRUE(ReadAll(*s, "t.csv").empty());
  EXPECT_THROW(s->UpdateRow("t.csv", 1, {Value(int32_t{2})}), StorageError);
  EXPECT_THROW(s->DeleteRow("t.csv", 1), StorageError);
  EXPECT_THROW(s->AddColumn("t.csv", Col("B", adInteger)), StorageError);
  EXPECT_THROW(s->CreateTable("t.csv", {Col("A", adInteger)}), StorageError);
  EXPECT_THROW(s->CreateTable("../evil.txt", {Col("A", adInteger)}), StorageError);
  EXPECT_THROW(s->CreateTable("t.exe", {Col("A", adInteger)}), StorageError);
  s->RenameTable("t.csv", "u.csv");
  EXPECT_EQ(s->ListTables()[0].name, "u.csv");
  EXPECT_EQ(s->Columns("u.csv")[0].ado_type, adInteger);
  s->DropTable("u.csv");
  EXPECT_TRUE(s->ListTables().empty());
  EXPECT_THROW(OpenDirectory(dir / "missing"), StorageError);
}

TEST(TextStorage, FilesWithoutSchemaAndDamagedFiles) {
  TempDir dir;
  std::ofstream(dir / "plain.txt") << "a,b\n1,\"x\"\n2\n";
  std::ofstream(dir / "broken.txt") << "a\n\"never closed\n";
  std::ofstream(dir / "schema.ini") << "[broken.txt]\nCol1=a Long\n";
  auto s = OpenDirectory(dir.str());
  const auto rows = ReadAll(*s, "plain.txt");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], Value("x"));
  EXPECT_TRUE(rows[1][1].IsNull());
  EXPECT_THROW(ReadAll(*s, "broken.txt"), StorageError);
  std::ofstream(dir / "schema.ini") << "[broken.txt]\nCol1=a Long\n";
  std::ofstream(dir / "broken.txt") << "a\nnot a number\n";
  EXPECT_THROW(ReadAll(*s, "broken.txt"), StorageError);
}

TEST(CsvLines, QuotesAndSplitsRecords) {
  std::istringstream in("\"a\"\"b\",,c\r\n\"multi\nline\",\"\"\n");
  std::vector<CsvField> f;
  ASSERT_TRUE(ReadCsvRecord(in, f));
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].text, "a\"b");
  EXPECT_FALSE(f[1].quoted);
  ASSERT_TRUE(ReadCsvRecord(in, f));
  EXPECT_EQ(f[0].text, "multi\nline");
  EXPECT_TRUE(f[1].quoted);
  EXPECT_FALSE(ReadCsvRecord(in, f));
  EXPECT_EQ(QuoteCsv("say \"hi\""), "\"say \"\"hi\"\"\"");
}

}  // namespace
}  // namespace vantor::formats::text
