// Every sample Access file read by this engine and by two independent readers: mdbtools' programs
// (mdb-tables, mdb-schema, mdb-export) and the mdb-reader package. Where a reader disagrees, the test
// says which one is right and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "formats/mdb/mdb_storage.h"
#include "reader_tools.h"
#include "tests/support/testdata.h"

namespace vantor::formats::mdb {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::vector<fs::path> AccessSamples() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(::vantor::testing::TestDataDir() / "access", ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".mdb" || ext == ".accdb") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

#define REQUIRE_SAMPLES_AND(program)                                                   \
  const std::vector<fs::path> samples = AccessSamples();                               \
  if (samples.empty()) GTEST_SKIP() << "no Access sample files";                       \
  if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed";        \
  if (!HaveMdbReader()) GTEST_SKIP() << "node or the mdb-reader package is not installed"

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::vector<std::string> TableNames(Storage& storage) {
  std::vector<std::string> names;
  for (const TableInfo& t : storage.ListTables())
    if (!t.is_view) names.push_back(t.name);
  return names;
}

std::vector<std::vector<std::string>> OurRows(Storage& storage, const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  auto cursor = storage.Scan(table);
  Row row;
  while (cursor->Next(row)) {
    std::vector<std::string> texts;
    for (const Value& v : row) texts.push_back(Canonical(v));
    rows.push_back(std::move(texts));
  }
  return rows;
}

// mdbtools lists every table whose system flag is clear. overflowTestV2007.accdb holds MSysCompactError
// without that flag; Access hides every MSys table whatever its flags, and so does this engine.
std::vector<std::string> WithoutMsys(std::vector<std::string> names) {
  std::erase_if(names, [](const std::string& n) { return n.rfind("MSys", 0) == 0; });
  return names;
}

// Text columns: mdbtools and mdb-reader do not tell fixed-length text from variable text; this engine gives
// fixed-length columns adWChar, as ADO does. Binary columns likewise.
int TypeClass(int ado_type) {
  if (ado_type == adWChar) return adVarWChar;
  if (ado_type == adBinary) return adVarBinary;
  return ado_type;
}

TEST(AccessReaders, TablesAsMdbToolsAndMdbReaderListThem) {
  REQUIRE_SAMPLES_AND("mdb-tables");
  for (const fs::path& file : samples) {
    SCOPED_TRACE(file.filename().string());
    auto storage = OpenAccessFile(file.string());
    std::vector<std::string> listed;
    std::istringstream lines(RunCommand("mdb-tables -1 " + ShellQuote(file.string())));
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) listed.push_back(line);
    EXPECT_EQ(TableNames(*storage), WithoutMsys(listed));

    std::vector<std::string> read;
    for (const ReaderTable& t : ReadWithMdbReader(file.string())) read.push_back(t.name);
    EXPECT_EQ(TableNames(*storage), WithoutMsys(read));
  }
}

struct SchemaColumn {
  std::string name;
  std::string type;
  bool not_null = false;
};

// Columns of `table` from `mdb-schema FILE access`: lines "\t[name]\t\t\tType (n)[ NOT NULL],".
std::vector<SchemaColumn> SchemaColumns(const std::string& schema, const std::string& table) {
  std::vector<SchemaColumn> columns;
  const size_t start = schema.find("CREATE TABLE [" + table + "]");
  if (start == std::string::npos) return columns;
  std::istringstream lines(schema.substr(start, schema.find(");", start) - start));
  static const std::regex column_line(R"(^\t\[(.*)\]\t+(.*?)( NOT NULL)?,?\s*$)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, column_line)) columns.push_back({m[1], m[2], m[3].matched});
  }
  return columns;
}

TEST(AccessReaders, ColumnsAsMdbSchemaAndMdbReaderDescribeThem) {
  REQUIRE_SAMPLES_AND("mdb-schema");
  for (const fs::path& file : samples) {
    SCOPED_TRACE(file.filename().string());
    auto storage = OpenAccessFile(file.string());
    const std::string schema = RunCommand("mdb-schema " + ShellQuote(file.string()) + " access");
    const std::vector<ReaderTable> read = ReadWithMdbReader(file.string());
    for (const std::string& table : TableNames(*storage)) {
      SCOPED_TRACE(table);
      const std::vector<ColumnInfo> ours = storage->Columns(table);
      const std::vector<SchemaColumn> theirs = SchemaColumns(schema, table);
      ASSERT_EQ(ours.size(), theirs.size());
      for (size_t i = 0; i < ours.size(); ++i) {
        const ColumnInfo& c = ours[i];
        EXPECT_EQ(c.name, theirs[i].name);
        std::string expected;
        switch (TypeClass(c.ado_type)) {
          case adVarWChar: expected = "Text (" + std::to_string(c.defined_size) + ")"; break;
          case adLongVarWChar: expected = "Memo/Hyperlink (255)"; break;
          case adUnsignedTinyInt: expected = "Byte"; break;
          case adSmallInt: expected = "Integer"; break;
          case adInteger: expected = "Long Integer"; break;
          case adSingle: expected = "Single"; break;
          case adDouble: expected = "Double"; break;
          case adCurrency: expected = "Currency"; break;
          case adDate: expected = "DateTime"; break;
          case adBoolean: expected = "Boolean"; break;
          case adGUID: expected = "Replication ID"; break;
          case adNumeric:
            expected = "Numeric (" + std::to_string(c.precision) + ", " + std::to_string(c.numeric_scale) + ")";
            break;
          case adLongVarBinary: expected = "OLE (255)"; break;
          case adVarBinary: expected = "Binary"; break;
          default: expected = "ADO type " + std::to_string(c.ado_type);
        }
        EXPECT_EQ(expected, theirs[i].type) << c.name;
        EXPECT_EQ(!c.nullable, theirs[i].not_null) << c.name;
      }

      // mdb-reader's "nullable" is a column flag that Access does not enforce (the Required property is
      // what it enforces, and mdb-schema's NOT NULL above follows that), so it is not compared.
      auto found = std::find_if(read.begin(), read.end(), [&](const ReaderTable& t) { return t.name == table; });
      ASSERT_NE(found, read.end());
      ASSERT_EQ(ours.size(), found->columns.size());
      for (size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(ours[i].name, found->columns[i].name);
        EXPECT_EQ(TypeClass(ours[i].ado_type), found->columns[i].ado_type) << ours[i].name;
        if (TypeClass(ours[i].ado_type) == adVarWChar) {
          const int bytes_per_character = IsJet3File(file.string()) ? 1 : 2;
          EXPECT_EQ(ours[i].defined_size * bytes_per_character, found->columns[i].defined_size) << ours[i].name;
        }
        if (ours[i].ado_type == adNumeric) {
          EXPECT_EQ(ours[i].precision, found->columns[i].precision);
          EXPECT_EQ(ours[i].numeric_scale, found->columns[i].numeric_scale);
        }
      }
    }
  }
}

// Primary keys as `mdb-schema --indexes FILE postgres` declares them (that back end lower-cases names):
//   ALTER TABLE "t" ADD CONSTRAINT "t_pkey" PRIMARY KEY ("a", "b");
TEST(AccessReaders, PrimaryKeysAsMdbSchemaDeclaresThem) {
  REQUIRE_SAMPLES_AND("mdb-schema");
  static const std::regex key_line(R"re(ALTER TABLE "([^"]*)" ADD CONSTRAINT "[^"]*" PRIMARY KEY \((.*)\);)re");
  static const std::regex quoted(R"re("([^"]*)")re");
  for (const fs::path& file : samples) {
    SCOPED_TRACE(file.filename().string());
    std::map<std::string, std::set<std::string>> theirs;
    const std::string schema = RunCommand("mdb-schema --indexes " + ShellQuote(file.string()) + " postgres");
    for (std::sregex_iterator m(schema.begin(), schema.end(), key_line), end; m != end; ++m) {
      const std::string columns = (*m)[2];
      for (std::sregex_iterator c(columns.begin(), columns.end(), quoted); c != end; ++c)
        theirs[(*m)[1]].insert((*c)[1]);
    }
    auto storage = OpenAccessFile(file.string());
    for (const std::string& table : TableNames(*storage)) {
      std::set<std::string> ours;
      for (const ColumnInfo& c : storage->Columns(table))
        if (c.primary_key) ours.insert(AsciiLower(c.name));
      EXPECT_EQ(ours, theirs[AsciiLower(table)]) << table;
    }
  }
}

// Compares rows as canonical texts, column by column, so a mismatch names its row and column.
void ExpectSameRows(const std::vector<ColumnInfo>& columns, const std::vector<std::vector<std::string>>& ours,
                    const std::vector<std::vector<std::string>>& theirs, const char* reader) {
  ASSERT_EQ(ours.size(), theirs.size()) << reader;
  for (size_t r = 0; r < ours.size(); ++r) {
    ASSERT_EQ(theirs[r].size(), columns.size()) << reader << " row " << r;
    for (size_t c = 0; c < columns.size(); ++c)
      EXPECT_EQ(ours[r][c], CanonicalText(columns[c].ado_type, theirs[r][c]))
          << reader << " row " << r << " column " << columns[c].name;
  }
}

TEST(AccessReaders, RowsAsMdbExportAndMdbReaderReadThem) {
  REQUIRE_SAMPLES_AND("mdb-export");
  for (const fs::path& file : samples) {
    SCOPED_TRACE(file.filename().string());
    auto storage = OpenAccessFile(file.string());
    const std::vector<ReaderTable> read = ReadWithMdbReader(file.string());
    for (const std::string& table : TableNames(*storage)) {
      SCOPED_TRACE(table);
      const std::vector<ColumnInfo> columns = storage->Columns(table);
      const std::vector<std::vector<std::string>> ours = OurRows(*storage, table);

      // NUL marks nulls, so that a null and an empty text differ; dates in ISO form; binary data in hex.
      std::vector<std::vector<std::string>> exported =
          ParseCsv(RunCommand("mdb-export -0 NUL -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " +
                              ShellQuote(file.string()) + " " + ShellQuote(table)));
      ASSERT_FALSE(exported.empty());
      std::vector<std::string> header;
      for (const ColumnInfo& c : columns) header.push_back(c.name);
      EXPECT_EQ(exported.front(), header);
      exported.erase(exported.begin());
      ExpectSameRows(columns, ours, exported, "mdb-export");

      auto found = std::find_if(read.begin(), read.end(), [&](const ReaderTable& t) { return t.name == table; });
      ASSERT_NE(found, read.end());
      ExpectSameRows(columns, ours, found->rows, "mdb-reader");
    }
  }
}

}  // namespace
}  // namespace vantor::formats::mdb

namespace vantor::formats::mdb {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// A sample file copied with some stored values replaced, to hold what the samples lack.
class PatchedAccessSample : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!path_.empty()) fs::remove(path_);
    unsetenv("VANTOR_JET3_CODEPAGE");
  }

  bool Load(const char* sample) {
    const fs::path source = ::vantor::testing::TestDataDir() / "access" / sample;
    if (!fs::exists(source)) return false;
    std::ifstream in(source, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
    return true;
  }

  template <typename T>
  void Patch(T from, T to) {
    std::string old_bytes(sizeof from, '\0'), new_bytes(sizeof to, '\0');
    std::memcpy(old_bytes.data(), &from, sizeof from);
    std::memcpy(new_bytes.data(), &to, sizeof to);
    PatchBytes(old_bytes, new_bytes);
  }

  void PatchBytes(const std::string& from, const std::string& to) {
    ASSERT_EQ(from.size(), to.size());
    const std::string_view all(bytes_.data(), bytes_.size());
    const size_t at = all.find(from);
    ASSERT_NE(at, std::string_view::npos);
    ASSERT_EQ(all.find(from, at + 1), std::string_view::npos) << "the value to patch must be unique";
    std::memcpy(bytes_.data() + at, to.data(), to.size());
  }

  std::string Save() {
    path_ = fs::temp_directory_path() / ("vantor_patched_" + std::to_string(getpid()) + ".mdb");
    std::ofstream(path_, std::ios::binary).write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    return path_.string();
  }

  std::vector<char> bytes_;
  fs::path path_;
};

// testV2000.mdb with dates before 1900, a double that needs 17 digits, the extreme currency and the
// smallest Long Integer.
TEST_F(PatchedAccessSample, ValuesAreExactWhereTheReadersDisagree) {
  if (!Load("testV2000.mdb")) GTEST_SKIP() << "sample file not present";
  Patch<double>(27293.0, -36522.5);  // 1974-09-21 -> 1800-01-01 12:00
  Patch<double>(29932.0, -1.25);     // 1981-12-12 -> 1899-12-29 06:00
  Patch<double>(444.555, 0.1 + 0.2);
  Patch<int64_t>(35000, -9223372036854775807LL);  // currency 3.5 -> -922337203685477.5807
  Patch<int32_t>(333333333, INT32_MIN);
  Save();
  auto storage = OpenAccessFile(path_.string());
  auto rows = OurRows(*storage, "Table1");
  ASSERT_EQ(rows.size(), 2u);
  // Columns: A B C D E(Long) F(Double) G(Date) H(Currency) I.
  EXPECT_EQ(rows[0][4], "-2147483648");
  EXPECT_EQ(rows[0][5], "0.30000000000000004");
  EXPECT_EQ(rows[0][7], "-922337203685477.5807");
  // An OLE date counts whole days from 1899-12-30, backwards for negative values, while its fraction is
  // always the time after midnight of that day: -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00.
  EXPECT_EQ(rows[0][6], "1800-01-01 12:00:00");
  EXPECT_EQ(rows[1][6], "1899-12-29 06:00:00");

  if (HaveProgram("mdb-export")) {
    // mdb-export agrees on integers and currency. It prints doubles with too few digits ("0.3"), and
    // libmdb gives up on negative dates (it prints "1900-01-00"): this engine is right on both.
    auto exported = ParseCsv(RunCommand("mdb-export -0 NUL -T '%Y-%m-%d %H:%M:%S' " + ShellQuote(path_.string()) +
                                        " Table1"));
    ASSERT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported[1][4], rows[0][4]);
    EXPECT_EQ(CanonicalText(adCurrency, exported[1][7]), rows[0][7]);
    EXPECT_NE(CanonicalText(adDouble, exported[1][5]), rows[0][5]);
  }
  // mdb-reader agrees on integers, doubles and currency. It turns negative dates into a time before
  // midnight of the previous day (1899-12-28 18:00 for -1.25), against the definition above.
  if (!HaveMdbReader()) return;
  const std::vector<ReaderTable> read = ReadWithMdbReader(path_.string());
  ASSERT_FALSE(read.empty());
  ASSERT_EQ(read[0].rows.size(), 2u);
  EXPECT_EQ(read[0].rows[0][4], rows[0][4]);
  EXPECT_EQ(CanonicalText(adDouble, read[0].rows[0][5]), rows[0][5]);
  EXPECT_EQ(CanonicalText(adCurrency, read[0].rows[0][7]), rows[0][7]);
  EXPECT_EQ(CanonicalText(adDate, read[0].rows[1][6]), "1899-12-28 18:00:00");
}

}  // namespace
}  // namespace vantor::formats::mdb

namespace vantor::formats::mdb {
namespace {

using namespace testing;

// Jet 3 keeps 8-bit text in the code page of the machine that wrote it; the file does not say which one
// reliably, so the user's choice (VANTOR_JET3_CODEPAGE, else the locale's) decides.
TEST_F(PatchedAccessSample, Jet3TextIsReadInTheChosenCodePage) {
  if (!Load("testV1997.mdb")) GTEST_SKIP() << "sample file not present";
  PatchBytes("abcdefg", "\xD6\xD0\xCE\xC4" "abc");  // "中文abc" in code page 936
  const std::string path = Save();

  setenv("VANTOR_JET3_CODEPAGE", "936", 1);
  auto rows = OurRows(*OpenAccessFile(path), "Table1");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], "中文abc");
  if (HaveProgram("mdb-export")) {
    auto exported = ParseCsv(RunCommand("MDB_JET3_CHARSET=CP936 mdb-export " + ShellQuote(path) + " Table1"));
    ASSERT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported[2][0], rows[1][0]);
  }

  setenv("VANTOR_JET3_CODEPAGE", "1252", 1);
  EXPECT_EQ(OurRows(*OpenAccessFile(path), "Table1")[1][0], "ÖÐÎÄabc");
  setenv("VANTOR_JET3_CODEPAGE", "not a code page", 1);
  EXPECT_THROW(OpenAccessFile(path), StorageError);
}

}  // namespace
}  // namespace vantor::formats::mdb
