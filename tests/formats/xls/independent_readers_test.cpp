// What the engine writes reads back the same through independent readers (xlrd, and the xlsx reader of
// SheetJS), and editing one sheet of a workbook that another program wrote keeps its other sheets.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>

#include "formats/xls/sheet_table.h"
#include "formats/xls/xls_storage.h"
#include "tests/support/testdata.h"
#include "xls_test_support.h"
#include "tests/support/storage_helpers.h"

namespace vantor::formats::xls {
namespace {

using vantor::testing::Col;

using namespace testing;

// Lines of a reader's dump that belong to one sheet (by index), in order.
std::vector<std::string> SheetLines(const std::string& dump, int sheet) {
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(dump)) {
    const auto f = SplitTabs(line);
    if (f.size() > 1 && f[0] != "M" && std::stoi(f[1]) == sheet) out.push_back(line);
  }
  return out;
}

std::string XlrdDump(const std::string& python, const std::filesystem::path& file, bool formats) {
  const auto r = RunCommand(python + " " + ShellQuote(ScriptPath("xlrd_dump.py")) + (formats ? " --formats " : " ") +
                            ShellQuote(file.string()));
  EXPECT_EQ(r.status, 0) << "xlrd could not read " << file;
  return r.output;
}

std::string XlsxDump(const std::filesystem::path& file) {
  const auto r = RunCommand("node " + ShellQuote(ScriptPath("xlsx_dump.js")) + " " +
                            ShellQuote(vantor::testing::ReadersDir().string()) + " " + ShellQuote(file.string()));
  EXPECT_EQ(r.status, 0) << "the xlsx reader could not read " << file;
  return r.output;
}

bool HaveXlsxReader() {
  return std::filesystem::exists(vantor::testing::ReadersDir() / "node_modules" / "xlsx") && RunCommand("node --version").status == 0;
}

// The table written in the round trip: every column type, Chinese text, nulls.
const std::vector<ColumnInfo> kAllTypes = {Col("文本", adVarWChar), Col("Amount", adDouble), Col("Count", adInteger),
                                           Col("Flag", adBoolean), Col("Day", adDate), Col("Stamp", adDate),
                                           Col("Price", adCurrency)};

Row AllTypesRow(int i) {
  const DateTime day = DateTime::FromDate(2000, 1, 1);
  Row row;
  row.push_back(Value("行" + std::to_string(i) + " 中文，测试"));
  row.push_back(Value(i * 0.25 - 1000));
  row.push_back(i % 7 == 0 ? Value() : Value(int32_t{i}));
  row.push_back(Value(i % 3 == 0));
  row.push_back(Value(DateTime{day.ms + (i % 10000) * DateTime::kMsPerDay}));
  row.push_back(Value(DateTime{day.ms + int64_t{i} * 61000 + 500}));
  row.push_back(Value(Currency::FromScaled(int64_t{i} * 12345)));
  return row;
}

// What a reader should see in sheet `sheet` for the table: header in row 0, then the rows.
// Each expected cell is (row, col) -> (kind, number or text); kind: 's' text, 'n' number, 'd' date, 'b' boolean.
struct Expected {
  char kind;
  double number;
  std::string text;
};
std::map<std::pair<int, int>, Expected> ExpectedCells(int rows, bool date1904) {
  std::map<std::pair<int, int>, Expected> out;
  for (size_t c = 0; c < kAllTypes.size(); ++c) out[{0, static_cast<int>(c)}] = {'s', 0, kAllTypes[c].name};
  for (int i = 0; i < rows; ++i) {
    const Row row = AllTypesRow(i);
    for (int c = 0; c < static_cast<int>(row.size()); ++c) {
      const Value& v = row[c];
      if (v.IsNull()) continue;
      Expected e{'n', 0, ""};
      switch (v.kind()) {
        case Value::Kind::String: e = {'s', 0, v.AsString()}; break;
        case Value::Kind::Boolean: e = {'b', v.get<bool>() ? 1.0 : 0.0, ""}; break;
        case Value::Kind::DateTime: e = {'d', DateToSerial(v.get<DateTime>(), date1904), ""}; break;
        default: e = {'n', v.AsDouble(), ""}; break;
      }
      out[{i + 1, c}] = e;
    }
  }
  return out;
}

// Checks a reader's cells of one sheet against the expected ones. `kinds` maps the reader's kind field to
// 's', 'n', 'd', 'b'; numbers are compared exactly.
void ExpectCells(const std::vector<std::string>& lines, const std::map<std::pair<int, int>, Expected>& expected,
                 const std::map<std::string, char>& kinds, const char* reader) {
  size_t seen = 0;
  int failures = 0;
  for (const std::string& line : lines) {
    const auto f = SplitTabs(line);
    if (f[0] != "C") continue;
    ++seen;
    const std::pair<int, int> at{std::stoi(f[2]), std::stoi(f[3])};
    auto it = expected.find(at);
    const auto kind = kinds.find(f[4]);
    bool ok = it != expected.end() && kind != kinds.end() && kind->second == it->second.kind;
    if (ok && it->second.kind == 's') ok = Unescape(f[5]) == it->second.text;
    if (ok && it->second.kind != 's') ok = std::strtod(f[5].c_str(), nullptr) == it->second.number;
    if (!ok && ++failures <= 10) ADD_FAILURE() << reader << ": unexpected cell " << line;
  }
  EXPECT_EQ(seen, expected.size()) << reader << " read a different number of cells";
}

class IndependentReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    python = PythonWithXlrd();
    if (python.empty()) GTEST_SKIP() << "python3 with xlrd and xlwt is not installed";
    const auto r = RunCommand(python + " " + ShellQuote(ScriptPath("xlwt_book.py")) + " " + ShellQuote(path.string()));
    ASSERT_EQ(r.status, 0) << "xlwt could not write the workbook";
  }
  std::string python;
  TempDir dir;
  std::filesystem::path path = dir / "xlwt.xls";
};

TEST_F(IndependentReaders, SixtyThousandRowsOfEveryTypeBesideAnUntouchedFormattedSheet) {
  const std::string before = XlrdDump(python, path, true);
  constexpr int kRows = 60000;
  {
    auto storage = OpenWorkbook(path.string());
    storage->CreateTable("全部类型", kAllTypes);
    storage->Begin();
    for (int i = 0; i < kRows; ++i) storage->InsertRow("全部类型", AllTypesRow(i));
    storage->Commit();
  }
  // The engine reads its own rows back.
  {
    auto storage = OpenWorkbook(path.string());
    const auto columns = storage->Columns("全部类型");
    ASSERT_EQ(columns.size(), kAllTypes.size());
    EXPECT_EQ(columns[3].ado_type, adBoolean);
    EXPECT_EQ(columns[4].ado_type, adDate);
    auto cursor = storage->Scan("全部类型");
    Row row;
    int i = 0;
    for (; cursor->Next(row); ++i) {
      Row want = AllTypesRow(i);
      want[1] = Value(want[1].AsDouble());
      if (!want[2].IsNull()) want[2] = Value(want[2].AsDouble());
      want[6] = Value(want[6].AsDouble());
      if (row != want) {
        ADD_FAILURE() << "row " << i << " differs";
        break;
      }
    }
    EXPECT_EQ(i, kRows);
  }
  // xlrd: the three sheets xlwt wrote are unchanged, formatting included; the new one holds the rows.
  const std::string after = XlrdDump(python, path, true);
  for (int sheet = 0; sheet < 3; ++sheet) EXPECT_EQ(SheetLines(after, sheet), SheetLines(before, sheet)) << sheet;
  const auto expected = ExpectedCells(kRows, false);
  ExpectCells(SheetLines(XlrdDump(python, path, false), 3), expected, {{"1", 's'}, {"2", 'n'}, {"3", 'd'}, {"4", 'b'}},
              "xlrd");
  if (!HaveXlsxReader()) GTEST_SKIP() << "the xlsx reader is not installed (run npm ci in tests/readers)";
  const std::string xlsx = XlsxDump(path);
  ExpectCells(SheetLines(xlsx, 3), expected, {{"s", 's'}, {"n", 'n'}, {"d", 'd'}, {"b", 'b'}}, "xlsx");
  EXPECT_EQ(SheetLines(xlsx, 2), (std::vector<std::string>{"S\t2\t笔记", "C\t2\t0\t0\ts\t标题", "C\t2\t1\t0\ts\t中文内容"}));
}

TEST_F(IndependentReaders, EditingOneSheetOfAnXlwtWorkbookKeepsTheOthers) {
  const std::string before = XlrdDump(python, path, true);
  {
    auto storage = OpenWorkbook(path.string());
    std::vector<int64_t> ids;
    auto cursor = storage->Scan("Data");
    Row row;
    while (cursor->Next(row)) ids.push_back(cursor->RowId());
    ASSERT_EQ(ids.size(), 5u);
    storage->UpdateRow("Data", ids[0], {Value("first"), Value(100.0), Value(DateTime::FromDate(2021, 6, 1))});
    storage->DeleteRow("Data", ids[2]);
    storage->InsertRow("Data", {Value("新的"), Value(9.75), Value(DateTime::FromDate(2022, 12, 31))});
    storage->AddColumn("Data", Col("Extra", adVarWChar));
  }
  const std::string after = XlrdDump(python, path, true);
  EXPECT_EQ(SheetLines(after, 1), SheetLines(before, 1));  // Styled: fonts, fills, formats, merge, formula
  EXPECT_EQ(SheetLines(after, 2), SheetLines(before, 2));
  const auto data = SheetLines(XlrdDump(python, path, false), 0);
  const std::vector<std::string> want = {
      "S\t0\tData",
      "C\t0\t0\t0\t1\tName", "C\t0\t0\t1\t1\tAmount", "C\t0\t0\t2\t1\tWhen", "C\t0\t0\t3\t1\tExtra",
      "C\t0\t1\t0\t1\tfirst", "C\t0\t1\t1\t2\t0x1.9000000000000p+6", "C\t0\t1\t2\t3\t0x1.5a78000000000p+15",
      "C\t0\t2\t0\t1\titem 2", "C\t0\t2\t1\t2\t0x1.8000000000000p+1", "C\t0\t2\t2\t3\t0x1.5670000000000p+15",
      "C\t0\t3\t0\t1\titem 4", "C\t0\t3\t1\t2\t0x1.8000000000000p+2", "C\t0\t3\t2\t3\t0x1.5674000000000p+15",
      "C\t0\t4\t0\t1\titem 5", "C\t0\t4\t1\t2\t0x1.e000000000000p+2", "C\t0\t4\t2\t3\t0x1.5676000000000p+15",
      "C\t0\t5\t0\t1\t新的", "C\t0\t5\t1\t2\t0x1.3800000000000p+3", "C\t0\t5\t2\t3\t0x1.5efc000000000p+15"};
  EXPECT_EQ(data, want);
}

TEST_F(IndependentReaders, EditingASampleWorkbookKeepsItsOtherSheets) {
  VANTOR_REQUIRE_TESTDATA("excel/Formate.xls", sample);
  const auto copy = dir / "Formate.xls";
  std::filesystem::copy_file(sample, copy);
  const std::string before = XlrdDump(python, copy, true);
  {
    auto storage = OpenWorkbook(copy.string());
    storage->InsertRow("Formate", {Value("neu"), Value("1.5")});
    storage->RenameTable("Blätt3", "Blatt Drei");
  }
  const std::string after = XlrdDump(python, copy, true);
  for (int sheet : {0, 1}) EXPECT_EQ(SheetLines(after, sheet), SheetLines(before, sheet));
  auto renamed = SheetLines(after, 2), original = SheetLines(before, 2);
  ASSERT_FALSE(renamed.empty());
  EXPECT_EQ(renamed[0], "S\t2\tBlatt Drei");
  EXPECT_EQ(std::vector<std::string>(renamed.begin() + 1, renamed.end()),
            std::vector<std::string>(original.begin() + 1, original.end()));
  const auto formate = SheetLines(after, 3);
  ASSERT_GE(formate.size(), 2u);
  EXPECT_NE(formate[formate.size() - 2].find("\tneu\t"), std::string::npos) << formate[formate.size() - 2];
}

// Defined names point at sheets by position: dropping a sheet moves the later ones down and leaves the
// names that pointed at it as #REF!; a sheet that has names of its own is not dropped.
TEST_F(IndependentReaders, DroppingASheetKeepsTheNamesOfTheOthers) {
  VANTOR_REQUIRE_TESTDATA("excel/namesdemo.xls", sample);
  const auto copy = dir / "names.xls";
  std::filesystem::copy_file(sample, copy);
  const std::string names_script =
      "import sys, xlrd\n"
      "b = xlrd.open_workbook(sys.argv[1])\n"
      "print('|'.join(s.name for s in b.sheets()))\n"
      "for n in b.name_obj_list:\n"
      "    print(n.name, n.scope, n.result.text if n.result is not None else None)\n";
  auto names = [&] {
    const auto r = RunCommand(python + " -c " + ShellQuote(names_script) + " " + ShellQuote(copy.string()));
    EXPECT_EQ(r.status, 0);
    return SplitLines(r.output);
  };
  const auto before = names();
  {
    auto storage = OpenWorkbook(copy.string());
    const auto bytes = [&] {
      std::ifstream in(copy, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string original = bytes();
    EXPECT_THROW(storage->DropTable("Sheet2"), StorageError);  // its own name localRange
    EXPECT_EQ(bytes(), original);
    storage->DropTable("Seamus O'Reilly");
  }
  const auto after = names();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after[0], "Sheet1|Sheet2|Sheet3");
  for (size_t i = 1; i < before.size(); ++i) {
    if (before[i].rfind("Apostrophe ", 0) == 0) {
      EXPECT_NE(after[i], before[i]) << "a name pointing at the dropped sheet still names it";
    } else {
      EXPECT_EQ(after[i], before[i]);
    }
  }
}

// Dates follow the workbook's date mode both ways: a 1904-mode workbook written by xlwt reads as the dates
// it holds, and dates written into it read back through xlrd as the same dates.
TEST_F(IndependentReaders, DatesFollowThe1904DateMode) {
  const auto file = dir / "1904.xls";
  const std::string make =
      "import sys, datetime, xlwt\n"
      "b = xlwt.Workbook(); b.dates_1904 = True; s = b.add_sheet('d')\n"
      "st = xlwt.easyxf(num_format_str='yyyy-mm-dd hh:mm:ss')\n"
      "s.write(0, 0, 'when')\n"
      "s.write(1, 0, datetime.datetime(1904, 1, 2), st)\n"
      "s.write(2, 0, datetime.datetime(2024, 2, 29, 23, 59, 58), st)\n"
      "b.save(sys.argv[1])\n";
  ASSERT_EQ(RunCommand(python + " -c " + ShellQuote(make) + " " + ShellQuote(file.string())).status, 0);
  {
    auto storage = OpenWorkbook(file.string());
    auto cursor = storage->Scan("d");
    Row row;
    ASSERT_TRUE(cursor->Next(row));
    EXPECT_EQ(row[0], Value(DateTime::FromDate(1904, 1, 2)));
    ASSERT_TRUE(cursor->Next(row));
    EXPECT_EQ(row[0], Value(DateTime::Parse("2024-02-29 23:59:58")));
    storage->InsertRow("d", {Value(DateTime::Parse("1999-12-31 12:00:00"))});
    EXPECT_THROW(storage->InsertRow("d", {Value(DateTime::FromDate(1903, 12, 31))}), StorageError);
  }
  const std::string read =
      "import sys, xlrd\n"
      "b = xlrd.open_workbook(sys.argv[1]); s = b.sheet_by_index(0)\n"
      "print(b.datemode, [xlrd.xldate_as_tuple(s.cell_value(r, 0), b.datemode) for r in range(1, s.nrows)])\n";
  const auto r = RunCommand(python + " -c " + ShellQuote(read) + " " + ShellQuote(file.string()));
  EXPECT_EQ(r.output, "1 [(1904, 1, 2, 0, 0, 0), (2024, 2, 29, 23, 59, 58), (1999, 12, 31, 12, 0, 0)]\n");
}

TEST(DateSerials, TheFormatsDayNumbersMapToCalendarDates) {
  // 1900 mode counts a 29 February 1900 that never was: serial 60. Days before it are one off from the
  // OLE date count.
  EXPECT_EQ(SerialToDate(1, false), DateTime::FromDate(1900, 1, 1));
  EXPECT_EQ(SerialToDate(59, false), DateTime::FromDate(1900, 2, 28));
  EXPECT_EQ(SerialToDate(61, false), DateTime::FromDate(1900, 3, 1));
  EXPECT_EQ(SerialToDate(0.5, false), DateTime::Parse("12:00"));
  EXPECT_EQ(SerialToDate(0, true), DateTime::FromDate(1904, 1, 1));
  for (const char* text : {"1900-01-01", "1900-02-28", "1900-03-01", "1999-12-31 23:59:59.5", "9999-12-31"}) {
    const DateTime d = DateTime::Parse(text);
    EXPECT_EQ(SerialToDate(DateToSerial(d, false), false), d) << text;
  }
  for (const char* text : {"1904-01-01", "1904-01-01 06:00", "2000-02-29", "9999-12-31 23:59:59"}) {
    const DateTime d = DateTime::Parse(text);
    EXPECT_EQ(SerialToDate(DateToSerial(d, true), true), d) << text;
  }
  EXPECT_THROW(DateToSerial(DateTime::FromDate(1903, 12, 31), true), StorageError);
  EXPECT_EQ(DateToSerial(DateTime::FromDate(1900, 3, 1), false), 61);
  EXPECT_THROW(DateToSerial(DateTime::FromDate(1899, 12, 31), false), StorageError);
}

TEST_F(IndependentReaders, LongTextsCrossingRecordBoundariesReadBack) {
  std::string chinese;
  for (int i = 0; i < 20000; ++i) chinese += (i % 2) ? "中" : "文";
  std::string mixed = std::string(8300, 'a') + "é€" + std::string(100, 'z');
  const std::vector<std::string> texts = {std::string(32767, 'b'), chinese, mixed, ""};
  {
    auto storage = OpenWorkbook(path.string());
    storage->CreateTable("long", {Col("text", adLongVarWChar)});
    storage->Begin();
    for (const std::string& t : texts) storage->InsertRow("long", {Value(t)});
    storage->Commit();
  }
  const auto lines = SheetLines(XlrdDump(python, path, false), 3);
  std::vector<std::string> got;
  for (const std::string& line : lines) {
    const auto f = SplitTabs(line);
    if (f[0] == "C" && f[2] != "0") got.push_back(Unescape(f[5]));
  }
  EXPECT_EQ(got, texts);  // the empty text too is a text cell
}

}  // namespace
}  // namespace vantor::formats::xls
