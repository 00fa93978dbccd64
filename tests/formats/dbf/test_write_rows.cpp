// Row writes: every type round-trips through our reader, dbfread and dbffile; a write that fails leaves the
// files byte for byte as they were; header count and date, auto-increment, delete and pack, transactions.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <ctime>
#include <fstream>

#include "dbf_test_support.h"
#include "formats/dbf/dbf_storage.h"
#include "formats/dbf/table_writer.h"
#include "tests/support/testdata.h"

namespace vantor::formats::dbf {
namespace {

namespace fs = std::filesystem;
using testing::ReadWithDbffile;
using testing::ReadWithDbfread;
using testing::ReadWithEngine;
using testing::ScratchDir;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Sets the locale variables for the length of a test, so new tables get that locale's code page.
class LocaleScope {
 public:
  explicit LocaleScope(const char* locale) {
    const char* old = std::getenv("LC_ALL");
    if (old) old_ = old;
    had_ = old != nullptr;
    ::setenv("LC_ALL", locale, 1);
  }
  ~LocaleScope() {
    if (had_) ::setenv("LC_ALL", old_.c_str(), 1);
    else ::unsetenv("LC_ALL");
  }

 private:
  std::string old_;
  bool had_ = false;
};

ColumnInfo Col(const std::string& name, int type, int64_t size = 0, bool nullable = true) {
  ColumnInfo c;
  c.name = name;
  c.ado_type = type;
  c.defined_size = size;
  c.nullable = nullable;
  return c;
}

ColumnInfo Numeric(const std::string& name, int precision, int scale, bool nullable = true) {
  ColumnInfo c = Col(name, adNumeric, 0, nullable);
  c.precision = precision;
  c.numeric_scale = scale;
  return c;
}

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateTime::FromParts({y, mo, d, h, mi, s}); }

// dbfread knows no null flags: where we read null it reads the blank the field holds.
void ExpectSameIgnoringNullFlags(testing::Table dbfread, const testing::Table& ours) {
  ASSERT_EQ(dbfread.size(), ours.size());
  for (size_t r = 0; r < ours.size(); ++r) {
    ASSERT_EQ(dbfread[r].size(), ours[r].size());
    for (size_t c = 0; c < ours[r].size(); ++c) {
      if (ours[r][c]) continue;
      const testing::Cell& theirs = dbfread[r][c];
      EXPECT_TRUE(!theirs || *theirs == "" || *theirs == "0" || *theirs == "0.0" || *theirs == "0x")
          << "row " << r << ", column " << c << ": " << *theirs;
      dbfread[r][c] = std::nullopt;
    }
  }
  testing::ExpectSameTable(dbfread, ours, "dbfread");
}

TEST(WriteRows, VisualFoxProTableWithEveryTypeNullsGbkAndDeletedRows) {
  LocaleScope locale("zh_CN.UTF-8");
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  ColumnInfo id = Col("id", adInteger);
  id.auto_increment = true;
  storage->CreateTable("items", {id, Col("name", adVarWChar, 20), Col("note", adLongVarWChar), Col("qty", adInteger),
                                 Numeric("price", 10, 2), Col("amount", adCurrency), Col("ratio", adDouble),
                                 Col("born", adDate), Col("flag", adBoolean), Col("blob", adLongVarBinary)});
  storage->CreateTable("codes", {Col("code", adVarBinary, 6)});  // dbfread knows no varbinary: our reader only
  const std::string long_memo(300, 'x');
  const Row rows[] = {
      {Value(), Value("中文名称"), Value("备注：" + long_memo), Value(int32_t{42}), Value(TBcd::Parse("-1234.5")),
       Value(Currency::Parse("922337203685477.5807")), Value(0.1), Value(At(1899, 12, 30, 23, 59, 58)), Value(true),
       Value(Bytes{0, 1, 2, 0x1A, 0xFF})},
      {Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
      {Value(), Value("gone"), Value("deleted memo"), Value(int32_t{1}), Value(TBcd::Parse("1")),
       Value(Currency::Parse("1")), Value(1.0), Value(At(2000, 1, 1)), Value(false), Value(Bytes{1})},
      {Value(), Value(""), Value(""), Value(int32_t{-7}), Value(TBcd::Parse("0.01")), Value(Currency::Parse("-0.0001")),
       Value(-1e300), Value(At(9999, 12, 31, 12)), Value(false), Value(Bytes{})},
  };
  std::vector<int64_t> ids;
  for (const Row& row : rows) ids.push_back(storage->InsertRow("items", row));
  storage->DeleteRow("items", ids[2]);

  const testing::Table ours = ReadWithEngine(*storage, "items");
  ASSERT_EQ(ours.size(), 3u);
  // Auto-increment numbered the rows; what we wrote reads back.
  EXPECT_EQ(ours[0][0], "1");
  EXPECT_EQ(ours[2][0], "4");
  EXPECT_EQ(ours[0][1], "中文名称");
  EXPECT_EQ(ours[0][2], "备注：" + long_memo);
  EXPECT_EQ(ours[0][4], "-1234.5");
  EXPECT_EQ(ours[0][5], "922337203685477.5807");
  EXPECT_EQ(ours[0][7], "1899-12-30 23:59:58");
  EXPECT_EQ(ours[0][9], "0x0001021aff");
  for (size_t c = 1; c < ours[1].size(); ++c) EXPECT_FALSE(ours[1][c].has_value()) << c;
  EXPECT_EQ(ours[2][1], "");  // empty text is not null
  EXPECT_EQ(ours[2][2], "");
  EXPECT_EQ(dynamic_cast<DbfStorage&>(*storage).TableCodePage("items"), 936);

  ExpectSameIgnoringNullFlags(ReadWithDbfread(dir.path() / "items.dbf", "cp936"), ours);

  for (const Bytes& code : {Bytes{7, 0}, Bytes{1, 2, 3, 4, 5, 6}, Bytes{}}) storage->InsertRow("codes", {Value(code)});
  storage->InsertRow("codes", {Value()});
  EXPECT_EQ(ReadWithEngine(*storage, "codes"),
            (testing::Table{{"0x0700"}, {"0x010203040506"}, {"0x"}, {std::nullopt}}));
  EXPECT_THROW(storage->InsertRow("codes", {Value(Bytes(7, 1))}), StorageError);
}

TEST(WriteRows, DBaseThreeAndFoxProTablesReadTheSameThroughDbffileAndDbfread) {
  if (!testing::DbffileAvailable()) GTEST_SKIP() << "run npm ci in tests/readers for the dbffile reader";
  LocaleScope locale("zh_CN.UTF-8");
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  // Only dBase types and no nulls: a dBase III table with a .dbt memo.
  storage->CreateTable("plain", {Col("name", adVarWChar, 30, false), Numeric("price", 12, 2, false),
                                 Col("qty", adSmallInt, 0, false), Col("ok", adBoolean, 0, false),
                                 Col("memo", adLongVarWChar, 0, false)});
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(dir.path() / "plain.dbf")[0]), 0x83);
  storage->InsertRow("plain", {Value("北京市"), Value(TBcd::Parse("12.5")), Value(int16_t{-3}), Value(true),
                               Value("第一行\r\n第二行")});
  storage->InsertRow("plain", {Value("b"), Value(TBcd::Parse("-0.25")), Value(int16_t{32767}), Value(false), Value("x")});
  storage->InsertRow("plain", {Value("c"), Value(TBcd::Parse("1")), Value(int16_t{1}), Value(false), Value("y")});
  storage->DeleteRow("plain", 1);
  // A Visual FoxPro table without nullable columns (dbffile reads no null flags).
  storage->CreateTable("fox", {Col("amount", adCurrency, 0, false), Col("ratio", adDouble, 0, false),
                               Col("count", adInteger, 0, false), Col("stamp", adDBTimeStamp, 0, false),
                               Col("memo", adLongVarWChar, 0, false)});
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(dir.path() / "fox.dbf")[0]), 0x30);
  storage->InsertRow("fox", {Value(Currency::Parse("12.3456")), Value(2.5), Value(int32_t{-5}),
                             Value(At(2024, 2, 29, 13, 14, 15)), Value("长的备注")});

  for (const char* table : {"plain", "fox"}) {
    const testing::Table ours = ReadWithEngine(*storage, table);
    const fs::path file = dir.path() / (std::string(table) + ".dbf");
    testing::ExpectSameTable(ReadWithDbfread(file, "cp936"), ours, std::string(table) + " through dbfread");
    testing::ExpectSameTable(ReadWithDbffile(file, "gbk"), ours, std::string(table) + " through dbffile");
  }
}

TEST(WriteRows, FailedWritesLeaveTheFilesAsTheyWereAndNameTheField) {
  LocaleScope locale("en_US.UTF-8");
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  storage->CreateTable("t", {Col("memo", adLongVarWChar), Col("title", adVarWChar, 5), Numeric("n", 5, 1)});
  storage->InsertRow("t", {Value("kept memo"), Value("abc"), Value(TBcd::Parse("1.5"))});
  const std::string dbf_before = ReadFile(dir.path() / "t.dbf");
  const std::string memo_before = ReadFile(dir.path() / "t.dbt");

  auto expect_error_naming = [&](const std::function<void()>& write, const std::string& field, const std::string& what) {
    try {
      write();
      ADD_FAILURE() << "the write should fail: " << what;
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find("'" + field + "'"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(ReadFile(dir.path() / "t.dbf") == dbf_before) << what;
    EXPECT_TRUE(ReadFile(dir.path() / "t.dbt") == memo_before) << what;
  };
  // Text that code page 1252 cannot hold is an error, never replaced; the memo before it is not written.
  expect_error_naming([&] { storage->InsertRow("t", {Value("new memo"), Value("中"), Value()}); }, "title", "code page");
  expect_error_naming([&] { storage->UpdateRow("t", 0, {Value("new memo"), Value("中"), Value()}); }, "title", "update");
  expect_error_naming([&] { storage->InsertRow("t", {Value(), Value("toolong"), Value()}); }, "title", "too long");
  expect_error_naming([&] { storage->InsertRow("t", {Value(), Value(), Value(TBcd::Parse("1.25"))}); }, "n", "decimals");
  expect_error_naming([&] { storage->InsertRow("t", {Value(), Value(), Value(TBcd::Parse("123456"))}); }, "n", "width");
  expect_error_naming([&] { storage->InsertRow("t", {Value(), Value(), Value("abc")}); }, "n", "not a number");
  EXPECT_THROW(storage->UpdateRow("t", 5, {Value(), Value(), Value()}), StorageError);
  EXPECT_THROW(storage->DeleteRow("t", -1), StorageError);
  EXPECT_THROW(storage->InsertRow("t", {Value()}), StorageError);  // wrong number of values
  EXPECT_EQ(ReadFile(dir.path() / "t.dbf"), dbf_before);
}

TEST(WriteRows, VarcharBlobAndGeneralFieldsOfVisualFoxProNine) {
  ScratchDir dir;
  auto field = [](const char* name, char type, int length, uint8_t flags) {
    FieldDescriptor f;
    f.name = name;
    f.type = type;
    f.length = static_cast<uint8_t>(length);
    f.flags = flags;
    return f;
  };
  TableHeader header;
  header.version = 0x32;
  header.table_flags = kTableHasMemo;
  header.language_driver = 0x03;
  header.fields = {field("V", 'V', 6, kFieldNullable), field("Q", 'Q', 4, 0), field("W", 'W', 4, kFieldNullable),
                   field("G", 'G', 4, 0)};
  LayoutFields(header, "vfp9");
  {
    TableWriter writer((dir.path() / "vfp9.dbf").string(), header, 1252, "vfp9", "");
    writer.Append({Value("ab "), Value(Bytes{1}), Value(Bytes{9, 8}), Value(Bytes{7})}, false);
    writer.Append({Value("sixsix"), Value(Bytes{1, 2, 3, 4}), Value(), Value(Bytes{})}, false);
    writer.Append({Value(), Value(Bytes{}), Value(Bytes{}), Value(Bytes{0x1A})}, false);
    writer.Finish();
  }
  auto storage = OpenDirectory(dir.str());
  std::vector<int> types;
  for (const ColumnInfo& c : storage->Columns("vfp9")) types.push_back(c.ado_type);
  EXPECT_EQ(types, (std::vector<int>{adVarChar, adVarBinary, adLongVarBinary, adLongVarBinary}));
  // Trailing blanks of a varchar stay; the varlength and null bits keep "" and null apart.
  EXPECT_EQ(ReadWithEngine(*storage, "vfp9"), (testing::Table{{"ab ", "0x01", "0x0908", "0x07"},
                                                              {"sixsix", "0x01020304", std::nullopt, "0x"},
                                                              {std::nullopt, "0x", "0x", "0x1a"}}));
  // _NullFlags: V's varlength bit 0 and null bit 1, Q's varlength bit 2, W's null bit 3.
  const std::string bytes = ReadFile(dir.path() / "vfp9.dbf");
  const size_t first = header.header_length, flags = header.fields[header.null_flags_field].offset;
  EXPECT_EQ(static_cast<uint8_t>(bytes[first + flags]), 0x05);
  EXPECT_EQ(static_cast<uint8_t>(bytes[first + header.record_length + flags]), 0x08);
  EXPECT_EQ(static_cast<uint8_t>(bytes[first + 2 * header.record_length + flags]), 0x06);
}

TEST(WriteRows, NumbersKeepTheirExactDecimals) {
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  storage->CreateTable("t", {Numeric("n", 6, 3)});
  const char* values[] = {"0.001", "-0.5", "100", "-999.999", "0", "12.340"};
  for (const char* v : values) storage->InsertRow("t", {Value(TBcd::Parse(v))});
  storage->InsertRow("t", {Value(int32_t{-42})});
  storage->InsertRow("t", {Value(0.125)});
  storage->InsertRow("t", {Value(Currency::Parse("1.5"))});
  EXPECT_EQ(ReadWithEngine(*storage, "t"), (testing::Table{{"0.001"}, {"-0.5"}, {"100"}, {"-999.999"}, {"0"},
                                                           {"12.34"}, {"-42"}, {"0.125"}, {"1.5"}}));
  EXPECT_NE(ReadFile(dir.path() / "t.dbf").find("  -0.500  100.000"), std::string::npos);
  EXPECT_THROW(storage->InsertRow("t", {Value(TBcd::Parse("0.0001"))}), StorageError);
  EXPECT_THROW(storage->InsertRow("t", {Value(TBcd::Parse("-1000"))}), StorageError);
  EXPECT_THROW(storage->InsertRow("t", {Value(0.1 + 0.2)}), StorageError);  // 0.30000000000000004
}

TEST(WriteRows, HeaderCountDateAndAutoIncrementSurviveReopening) {
  ScratchDir dir;
  {
    auto storage = OpenDirectory(dir.str());
    ColumnInfo id = Col("id", adInteger);
    id.auto_increment = true;
    storage->CreateTable("t", {id, Col("v", adVarWChar, 10)});
    storage->InsertRow("t", {Value(), Value("a")});
    storage->InsertRow("t", {Value(int32_t{10}), Value("b")});  // a given value moves the counter past it
  }
  const std::string header = ReadFile(dir.path() / "t.dbf");
  uint32_t count = 0;
  std::memcpy(&count, &header[4], 4);
  EXPECT_EQ(count, 2u);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(static_cast<uint8_t>(header[1]), local.tm_year);
  EXPECT_EQ(static_cast<uint8_t>(header[2]), local.tm_mon + 1);
  EXPECT_EQ(static_cast<uint8_t>(header[3]), local.tm_mday);
  auto storage = OpenDirectory(dir.str());
  storage->InsertRow("t", {Value(), Value("c")});
  const testing::Table rows = ReadWithEngine(*storage, "t");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[1][0], "10");
  EXPECT_EQ(rows[2][0], "11");
}

TEST(WriteRows, UpdateInPlaceKeepsTheOtherRowsOfASampleTable) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_83.dbf", sample);
  ScratchDir dir;
  testing::CopySample(sample, dir.path());
  auto storage = OpenDirectory(dir.str());
  const int cp = dynamic_cast<DbfStorage&>(*storage).TableCodePage("dbase_83");
  testing::Table before = ReadWithEngine(*storage, "dbase_83");
  Row row;
  auto cursor = storage->Scan("dbase_83");
  ASSERT_TRUE(cursor->Next(row));
  ASSERT_TRUE(cursor->Next(row));
  const int64_t second = cursor->RowId();
  row[6] = Value("Renamed item");
  row[11] = Value("A new and longer description that needs more than one memo block " + std::string(600, '.'));
  storage->UpdateRow("dbase_83", second, row);
  before[1][6] = "Renamed item";
  before[1][11] = row[11].AsString();
  testing::ExpectSameTable(before, ReadWithEngine(*storage, "dbase_83"), "after update");
  testing::ExpectSameTable(before, ReadWithDbfread(dir.path() / "dbase_83.dbf", "cp" + std::to_string(cp)), "dbfread");
}

TEST(WriteRows, DBaseFourAndFoxProTwoMemosAreWrittenInTheirOwnLayouts) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_8b.dbf", dbase4);
  ScratchDir dir;
  testing::CopySample(dbase4, dir.path());
  testing::CopySample(dbase4.parent_path() / "dbase_f5.dbf", dir.path());
  for (const auto& [table, memo_column] : {std::pair<std::string, size_t>{"dbase_8b", 5}, {"dbase_f5", 57}}) {
    auto storage = OpenDirectory(dir.str());
    testing::Table expected = ReadWithEngine(*storage, table);
    Row row;
    auto cursor = storage->Scan(table);
    ASSERT_TRUE(cursor->Next(row));
    ASSERT_EQ(storage->Columns(table)[memo_column].ado_type, adLongVarChar);
    const std::string memo = "a memo of several blocks " + std::string(1500, 'm');
    row[memo_column] = Value(memo);
    storage->UpdateRow(table, cursor->RowId(), row);
    storage->InsertRow(table, row);
    expected[0][memo_column] = memo;
    expected.push_back(expected[0]);
    auto reopened = OpenDirectory(dir.str());
    testing::ExpectSameTable(expected, ReadWithEngine(*reopened, table), table);
  }
}

TEST(WriteRows, TransactionsCommitOrRollBackEveryChange) {
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  storage->CreateTable("t", {Col("v", adVarWChar, 10), Col("m", adLongVarWChar)});
  storage->InsertRow("t", {Value("one"), Value("memo one")});
  storage->InsertRow("t", {Value("two"), Value("memo two")});
  const std::string before = ReadFile(dir.path() / "t.dbf");
  const testing::Table rows_before = ReadWithEngine(*storage, "t");

  storage->Begin();
  for (int i = 0; i < 1000; ++i) storage->InsertRow("t", {Value("new"), Value("memo")});
  storage->UpdateRow("t", 0, {Value("changed"), Value("changed memo")});
  storage->DeleteRow("t", 1);
  EXPECT_EQ(ReadWithEngine(*storage, "t").size(), 1001u);  // changes are visible inside the transaction
  storage->Rollback();
  EXPECT_EQ(ReadFile(dir.path() / "t.dbf"), before);
  EXPECT_EQ(ReadWithEngine(*storage, "t"), rows_before);

  storage->Begin();
  storage->InsertRow("t", {Value("three"), Value()});
  storage->DeleteRow("t", 0);
  storage->Commit();
  auto reopened = OpenDirectory(dir.str());
  const testing::Table after = ReadWithEngine(*reopened, "t");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0][0], "two");
  EXPECT_EQ(after[1][0], "three");
}

TEST(WriteRows, ChangesByAnotherWriterAreSeenAndOpenCursorsFinish) {
  ScratchDir dir;
  auto first = OpenDirectory(dir.str());
  first->CreateTable("t", {Col("v", adVarWChar, 10)});
  first->InsertRow("t", {Value("a")});
  EXPECT_EQ(ReadWithEngine(*first, "t").size(), 1u);
  auto second = OpenDirectory(dir.str());
  second->InsertRow("t", {Value("b")});
  EXPECT_EQ(ReadWithEngine(*first, "t"), (testing::Table{{"a"}, {"b"}}));
  // A structure change under an open cursor: the cursor reads the table as it was.
  auto cursor = first->Scan("t");
  first->AddColumn("t", Col("w", adInteger));
  Row row;
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row, (Row{Value("a")}));
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_FALSE(cursor->Next(row));
  EXPECT_EQ(first->Columns("t").size(), 2u);
}

TEST(WriteRows, PackRemovesDeletedRowsForGood) {
  ScratchDir dir;
  auto storage = OpenDirectory(dir.str());
  storage->CreateTable("t", {Col("v", adVarWChar, 10)});
  for (const char* v : {"a", "b", "c", "d"}) storage->InsertRow("t", {Value(v)});
  storage->DeleteRow("t", 1);
  storage->DeleteRow("t", 3);
  const auto size_before = fs::file_size(dir.path() / "t.dbf");
  dynamic_cast<DbfStorage&>(*storage).Pack("t");
  EXPECT_LT(fs::file_size(dir.path() / "t.dbf"), size_before);
  EXPECT_EQ(ReadWithEngine(*storage, "t"), (testing::Table{{"a"}, {"c"}}));
  EXPECT_EQ(ReadWithDbfread(dir.path() / "t.dbf", "cp1252"), (testing::Table{{"a"}, {"c"}}));
}

}  // namespace
}  // namespace vantor::formats::dbf
