// Every sample workbook reads with the sheets and cell values that xlrd reads from it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "formats/storage.h"
#include "formats/xls/sheet_table.h"
#include "formats/xls/workbook_file.h"
#include "formats/xls/xls_storage.h"
#include "tests/support/testdata.h"
#include "xls_test_support.h"

namespace vantor::formats::xls {
namespace {

using namespace testing;

struct CellSeen {
  int type = 0;
  std::string value;
};
using CellMap = std::map<std::tuple<int, int, int>, CellSeen>;

struct WorkbookSeen {
  int date_mode = 0;
  std::vector<std::string> sheets;
  CellMap cells;
};

WorkbookSeen ReadWithXlrd(const std::string& python, const std::filesystem::path& file) {
  const auto r = RunCommand(python + " " + ShellQuote(ScriptPath("xlrd_dump.py")) + " " + ShellQuote(file.string()));
  EXPECT_EQ(r.status, 0) << "xlrd failed on " << file;
  WorkbookSeen seen;
  for (const std::string& line : SplitLines(r.output)) {
    const auto f = SplitTabs(line);
    if (f[0] == "M") seen.date_mode = std::stoi(f[1]);
    else if (f[0] == "S") seen.sheets.push_back(Unescape(f[2]));
    else if (f[0] == "C")
      seen.cells[{std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3])}] = CellSeen{std::stoi(f[4]), Unescape(f[5])};
  }
  return seen;
}

WorkbookSeen ReadWithEngine(const std::filesystem::path& file) {
  WorkbookFile wf = ReadWorkbookFile(file.string());
  Workbook& book = wf.book;
  WorkbookSeen seen;
  seen.date_mode = book.date1904 ? 1 : 0;
  int index = 0;
  for (const Sheet& s : book.sheets) {
    if (!s.IsWorksheet()) continue;
    seen.sheets.push_back(s.name);
    for (size_t r = 0; r < s.rows.size(); ++r) {
      for (const Cell& c : s.rows[r].cells) {
        CellSeen cs;
        switch (c.kind) {
          case Cell::Kind::kBlank: continue;
          case Cell::Kind::kText: cs = {1, book.strings[c.text].text}; break;
          case Cell::Kind::kNumber: {
            std::ostringstream text;
            text << std::hexfloat << c.number;
            cs = {book.IsDateXf(c.xf) ? 3 : 2, text.str()};
            break;
          }
          case Cell::Kind::kBoolean: cs = {4, std::to_string(c.code)}; break;
          case Cell::Kind::kError: cs = {5, std::to_string(c.code)}; break;
        }
        seen.cells[{index, static_cast<int>(r), c.col}] = cs;
      }
    }
    ++index;
  }
  return seen;
}

void ExpectSameAsXlrd(const std::string& name) {
  const std::string python = PythonWithXlrd();
  if (python.empty()) GTEST_SKIP() << "python3 with xlrd is not installed";
  VANTOR_REQUIRE_TESTDATA("excel/" + name, path);
  const WorkbookSeen expected = ReadWithXlrd(python, path);
  const WorkbookSeen actual = ReadWithEngine(path);
  EXPECT_EQ(actual.date_mode, expected.date_mode);
  EXPECT_EQ(actual.sheets, expected.sheets);
  EXPECT_FALSE(expected.cells.empty() && name != "picture_in_cell.xls") << "xlrd read no cells from " << name;
  int reported = 0;
  for (const auto& [key, want] : expected.cells) {
    auto it = actual.cells.find(key);
    const auto [sheet, row, col] = key;
    if (it == actual.cells.end()) {
      ADD_FAILURE() << name << " sheet " << sheet << " R" << row << "C" << col << ": missing, xlrd has " << want.value;
    } else if (it->second.type != want.type) {
      ADD_FAILURE() << name << " sheet " << sheet << " R" << row << "C" << col << ": type " << it->second.type
                    << ", xlrd " << want.type << " (" << want.value << ")";
    } else if (want.type == 2 || want.type == 3) {
      EXPECT_EQ(std::strtod(it->second.value.c_str(), nullptr), std::strtod(want.value.c_str(), nullptr))
          << name << " sheet " << sheet << " R" << row << "C" << col;
    } else {
      EXPECT_EQ(it->second.value, want.value) << name << " sheet " << sheet << " R" << row << "C" << col;
    }
    if (::testing::Test::HasFailure() && ++reported > 20) return;
  }
  for (const auto& [key, got] : actual.cells)
    EXPECT_TRUE(expected.cells.count(key)) << name << ": a cell xlrd does not have: " << got.value;
}

class SampleWorkbook : public ::testing::TestWithParam<std::string> {};

TEST_P(SampleWorkbook, CellsMatchXlrd) { ExpectSameAsXlrd(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Excel, SampleWorkbook,
                         ::testing::Values("biff4_no_format_no_window2.xls", "Formate.xls", "formula_test_sjmachin.xls", "issue20.xls", "namesdemo.xls",
                                           "picture_in_cell.xls", "profiles.xls", "ragged.xls", "xf_class.xls"),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           std::string n = param_info.param.substr(0, param_info.param.find('.'));
                           for (char& c : n)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

TEST(SampleWorkbooks, Biff4WorksheetReadsAsOneReadOnlyTable) {
  VANTOR_REQUIRE_TESTDATA("excel/biff4_no_format_no_window2.xls", path);
  const auto before = ReadWorkbookFile(path.string()).book.strings.size();
  auto storage = OpenWorkbook(path.string());
  EXPECT_TRUE(storage->IsReadOnly());
  ASSERT_EQ(storage->ListTables().size(), 1u);
  const std::string table = storage->ListTables()[0].name;
  EXPECT_EQ(table, "Sheet 1");
  const auto columns = storage->Columns(table);
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].name, "ID");
  EXPECT_EQ(columns[3].name, "SUB");
  auto cursor = storage->Scan(table);
  Row row;
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row[1], Value("DOG & CAT PRODUCTS"));
  try {
    storage->InsertRow(table, {Value("Z"), Value(), Value(), Value()});
    FAIL() << "a BIFF4 worksheet was written";
  } catch (const StorageError& e) {
    EXPECT_NE(std::string(e.what()).find("BIFF4"), std::string::npos) << e.what();
  }
  EXPECT_THROW(storage->CreateTable("t", {ColumnInfo{}}), StorageError);
  EXPECT_EQ(ReadWorkbookFile(path.string()).book.strings.size(), before);
}

TEST(SampleWorkbooks, DamagedBiff4WorksheetsGiveErrors) {
  VANTOR_REQUIRE_TESTDATA("excel/biff4_no_format_no_window2.xls", path);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // Cut anywhere, the file is refused with a message, never read past its end.
  for (size_t cut : {size_t{6}, size_t{20}, bytes.size() / 2, bytes.size() - 1}) {
    const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_THROW(ParseWorkbookFile(part), StorageError) << "cut at " << cut;
  }
  // A label that claims more characters than its record holds, and a cell beyond the 256th column.
  std::vector<uint8_t> label{0x09, 0x04, 0x06, 0, 0, 0, 0x10, 0, 0, 0,
                             0x04, 0x02, 0x08, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x7F};
  EXPECT_THROW(ParseWorkbookFile(label), StorageError);
  std::vector<uint8_t> far{0x09, 0x04, 0x06, 0, 0, 0, 0x10, 0, 0, 0,
                           0x03, 0x02, 0x0E, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_THROW(ParseWorkbookFile(far), StorageError);
}

TEST(SampleWorkbooks, SheetsReadAsTablesWithTypedColumns) {
  VANTOR_REQUIRE_TESTDATA("excel/Formate.xls", path);
  auto storage = OpenWorkbook(path.string());
  // Blätt1: names in column A; column B mixes dates, times and numbers, so it is text. The first row holds
  // the column names.
  const auto columns = storage->Columns("Blätt1");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].name, "Huber");
  EXPECT_EQ(columns[0].ado_type, adVarWChar);
  EXPECT_EQ(columns[1].name, "1907-07-03");
  EXPECT_EQ(columns[1].ado_type, adVarWChar);
  auto cursor = storage->Scan("Blätt1");
  Row row;
  ASSERT_TRUE(cursor->Next(row));
  EXPECT_EQ(row[0], Value("Äcker"));
  EXPECT_EQ(row[1], Value("2005-02-23"));
  int count = 1;
  while (cursor->Next(row)) ++count;
  EXPECT_EQ(count, 9);
}

TEST(SampleWorkbooks, EmptyAndRepeatedHeadersGetDistinctNames) {
  VANTOR_REQUIRE_TESTDATA("excel/xf_class.xls", path);
  auto storage = OpenWorkbook(path.string());
  std::vector<std::string> names;
  for (const ColumnInfo& c : storage->Columns("table1")) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"RED", "RED_2", "F3"}));
}

// The command-line tool over a workbook: tables, schema and dump, with names matched regardless of case.
TEST(SampleWorkbooks, CommandLineToolListsDescribesAndDumpsSheets) {
  VANTOR_REQUIRE_TESTDATA("excel/ragged.xls", path);
  const std::string cli = ShellQuote(VANTOR_CLI_PATH) + " ";
  const std::string file = ShellQuote(path.string());
  auto tables = RunCommand(cli + "tables " + file);
  EXPECT_EQ(tables.status, 0);
  EXPECT_EQ(tables.output, "Sheet1\nSheet2\nSheet3\n");
  auto schema = RunCommand(cli + "schema " + file + " sheet1");
  EXPECT_EQ(schema.output, "a\t202\t255\t0\nb\t202\t255\t0\nc\t202\t255\t0\nF4\t202\t255\t0\n");
  // Ragged rows: missing cells are empty fields; the header's empty fourth cell is named F4.
  auto dump = RunCommand(cli + "dump " + file + " Sheet1");
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(dump.output,
            "\"a\",\"b\",\"c\",\"F4\"\r\n\"d\",\"e\",,\r\n\"f\",,,\r\n\"g\",\"h\",\"I\",\"j\"\r\n\"k\",,,\"l\"\r\n");
  auto missing = RunCommand(cli + "dump " + file + " 'a]b' 2>/dev/null");
  EXPECT_NE(missing.status, 0);
  EXPECT_TRUE(missing.output.empty());
}

TEST(SampleWorkbooks, TablesOfEveryReadableSampleScanWithoutError) {
  VANTOR_REQUIRE_TESTDATA("excel/profiles.xls", probe);
  for (const auto& entry : std::filesystem::directory_iterator(probe.parent_path())) {
    auto storage = OpenWorkbook(entry.path().string());
    for (const TableInfo& t : storage->ListTables()) {
      const auto columns = storage->Columns(t.name);
      auto cursor = storage->Scan(t.name);
      Row row;
      while (cursor->Next(row)) ASSERT_EQ(row.size(), columns.size()) << entry.path() << " " << t.name;
    }
  }
}

}  // namespace
}  // namespace vantor::formats::xls
