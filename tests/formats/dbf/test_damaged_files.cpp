// Damaged, truncated and hostile files give a StorageError, never a crash, a hang or a wrong table.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "dbf_test_support.h"
#include "formats/dbf/dbf_storage.h"
#include "tests/support/testdata.h"

namespace vantor::formats::dbf {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A dBase III table with one C(5) field and the given rows, header fields overridable by the test.
std::string SmallTable(const std::vector<std::string>& rows, uint8_t version = 0x03) {
  std::string h(32, '\0');
  h[0] = static_cast<char>(version);
  const uint32_t count = static_cast<uint32_t>(rows.size());
  std::memcpy(&h[4], &count, 4);
  const uint16_t header_length = 32 + 32 + 1, record_length = 6;
  std::memcpy(&h[8], &header_length, 2);
  std::memcpy(&h[10], &record_length, 2);
  std::string d(32, '\0');
  std::memcpy(&d[0], "NAME", 4);
  d[11] = 'C';
  d[16] = 5;
  std::string out = h + d + "\r";
  for (const std::string& r : rows) out += " " + r;
  return out + "\x1A";
}

// Opens the directory and reads every row of every table; answers the error text ("" when all read).
std::string ReadEverything(const std::string& dir) {
  try {
    auto storage = OpenDirectory(dir);
    for (const TableInfo& t : storage->ListTables()) {
      try {
        storage->Columns(t.name);
        auto cursor = storage->Scan(t.name);
        Row row;
        while (cursor->Next(row)) {
        }
      } catch (const StorageError& e) {
        return e.what();
      }
    }
  } catch (const StorageError& e) {
    return e.what();
  }
  return {};
}

TEST(DamagedFiles, HeaderProblemsAreNamed) {
  ScratchDir dir;
  auto error_for = [&](const std::string& bytes) {
    WriteFile(dir.path() / "t.dbf", bytes);
    return ReadEverything(dir.str());
  };
  EXPECT_EQ(error_for(SmallTable({"alpha", "beta "})), "");
  EXPECT_NE(error_for("").find("shorter than a table header"), std::string::npos);
  EXPECT_NE(error_for(SmallTable({"alpha"}, 0x77)).find("version byte 0x77"), std::string::npos);

  std::string huge_count = SmallTable({"alpha"});
  huge_count[4] = huge_count[5] = huge_count[6] = huge_count[7] = '\xFF';
  EXPECT_NE(error_for(huge_count).find("header counts 4294967295 rows but the file holds 1"), std::string::npos);

  std::string huge_header = SmallTable({"alpha"});
  huge_header[8] = huge_header[9] = '\xFF';
  EXPECT_NE(error_for(huge_header).find("ends inside the header"), std::string::npos);

  std::string no_terminator = SmallTable({"alpha"});
  no_terminator[64] = 'X';
  EXPECT_NE(error_for(no_terminator).find("no terminator"), std::string::npos);

  std::string field_too_long = SmallTable({"alpha"});
  field_too_long[32 + 16] = 50;  // longer than the record
  EXPECT_NE(error_for(field_too_long).find("record length"), std::string::npos);

  std::string odd_type = SmallTable({"alpha"});
  odd_type[32 + 11] = 'Z';
  EXPECT_NE(error_for(odd_type).find("type 'Z'"), std::string::npos);
}

TEST(DamagedFiles, MemoPointersOutsideTheMemoFile) {
  VANTOR_REQUIRE_TESTDATA("dbase/vfp9_30_memo.dbf", sample);
  ScratchDir dir;
  testing::CopySample(sample, dir.path());
  // Point the first row's memo far past the end of the .fpt.
  std::string table = ReadFile(dir.path() / "vfp9_30_memo.dbf");
  const uint16_t header_length = static_cast<uint8_t>(table[8]) | (static_cast<uint8_t>(table[9]) << 8);
  // MEMO is the second field; ID is N(?) — find its offset from the descriptor.
  uint32_t memo_offset = 0;
  std::memcpy(&memo_offset, &table[64 + 12], 4);
  std::memcpy(&table[header_length + memo_offset], "\xFF\xFF\xFF\x00", 4);
  WriteFile(dir.path() / "vfp9_30_memo.dbf", table);
  EXPECT_NE(ReadEverything(dir.str()).find("outside the file"), std::string::npos);

  // A memo block that claims 2 GB.
  testing::CopySample(sample, dir.path());
  std::string memo = ReadFile(dir.path() / "vfp9_30_memo.fpt");
  const uint16_t block_size = (static_cast<uint8_t>(memo[6]) << 8) | static_cast<uint8_t>(memo[7]);
  table = ReadFile(dir.path() / "vfp9_30_memo.dbf");
  uint32_t block = 0;
  std::memcpy(&block, &table[header_length + memo_offset], 4);
  ASSERT_GT(block, 0u);
  std::memcpy(&memo[size_t{block} * block_size + 4], "\x7F\xFF\xFF\xF0", 4);
  WriteFile(dir.path() / "vfp9_30_memo.fpt", memo);
  EXPECT_NE(ReadEverything(dir.str()).find("beyond the end of the file"), std::string::npos);
}

TEST(DamagedFiles, TruncatedAndBitFlippedSamplesNeverCrash) {
  VANTOR_REQUIRE_TESTDATA("dbase/dbase_30.dbf", any);
  ScratchDir dir;
  for (const char* name : {"dbase_30", "dbase_83", "dbase_8b", "vfp9_30_memo", "memotest", "cp1251"}) {
    const fs::path sample = any.parent_path() / (std::string(name) + ".dbf");
    const std::string bytes = ReadFile(sample);
    for (size_t cut : {size_t{0}, size_t{31}, size_t{33}, bytes.size() / 3, bytes.size() - 2}) {
      fs::remove_all(dir.path());
      fs::create_directories(dir.path());
      testing::CopySample(sample, dir.path());
      WriteFile(dir.path() / sample.filename(), bytes.substr(0, cut));
      EXPECT_NE(ReadEverything(dir.str()), "") << name << " cut at " << cut;
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 40; ++round) {
      std::string flipped = bytes;
      for (int k = 0; k < 8; ++k) {
        seed = seed * 1103515245 + 12345;
        flipped[(seed >> 8) % std::min<size_t>(flipped.size(), 1200)] = static_cast<char>(seed >> 24);
      }
      WriteFile(dir.path() / sample.filename(), flipped);
      ReadEverything(dir.str());  // an error or a table; either way it returns
    }
  }
}

TEST(DamagedFiles, MissingThingsAreNamed) {
  EXPECT_THROW(OpenDirectory("/nonexistent/dbf/dir"), StorageError);
  ScratchDir dir;
  WriteFile(dir.path() / "t.dbf", SmallTable({"alpha"}));
  auto storage = OpenDirectory(dir.str());
  try {
    storage->Columns("missing");
    FAIL();
  } catch (const StorageError& e) {
    EXPECT_NE(std::string(e.what()).find("'missing' not found"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantor::formats::dbf
