// Damaged Access files: every way of breaking a real file gives either the data that is still sound or a
// StorageError, never a crash, a hang or an error of another kind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "formats/mdb/mdb_storage.h"
#include "tests/support/testdata.h"

namespace vantor::formats::mdb {
namespace {

namespace fs = std::filesystem;

class DamagedAccessFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vantor_mdb_damaged_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::vector<uint8_t> Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string Write(const std::vector<uint8_t>& bytes) {
    const fs::path path = dir_ / "damaged.mdb";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // Opens the file and reads everything in it. Returns the StorageError's text, or "" when all was read.
  static std::string ReadEverything(const std::string& path) {
    try {
      auto storage = OpenAccessFile(path);
      for (const TableInfo& t : storage->ListTables()) {
        if (t.is_view) {
          storage->ViewSql(t.name);
          continue;
        }
        storage->Columns(t.name);
        auto cursor = storage->Scan(t.name);
        Row row;
        while (cursor->Next(row)) {
        }
      }
      return {};
    } catch (const StorageError& e) {
      return e.what();
    }
  }

  fs::path dir_;
};

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

TEST_F(DamagedAccessFiles, BrokenHeadersAndSizesAreRejectedAtOpen) {
  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", sample);
  const std::vector<uint8_t> good = Load(sample);

  std::vector<uint8_t> truncated(good.begin(), good.end() - 100);
  EXPECT_NE(ReadEverything(Write(truncated)).find("whole number"), std::string::npos);
  std::vector<uint8_t> header_only(good.begin(), good.begin() + 4096);
  EXPECT_NE(ReadEverything(Write(header_only)).find("ends before its catalog"), std::string::npos);
  std::vector<uint8_t> version = good;
  version[0x14] = 0x42;
  EXPECT_NE(ReadEverything(Write(version)).find("version"), std::string::npos);
  std::vector<uint8_t> signature = good;
  signature[4] = 'X';
  EXPECT_NE(ReadEverything(Write(signature)).find("not an Access database"), std::string::npos);
  // A Jet 4 file that claims to be Jet 3 has the wrong page size for its content.
  std::vector<uint8_t> jet3 = good;
  jet3[0x14] = 0;
  EXPECT_FALSE(ReadEverything(Write(jet3)).empty());
}

TEST_F(DamagedAccessFiles, BrokenCatalogAndTableDefinitionsAreErrors) {
  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", sample);
  const std::vector<uint8_t> good = Load(sample);
  constexpr size_t page = 4096;
  const size_t catalog = 2 * page;  // MSysObjects' definition

  std::vector<uint8_t> b = good;
  b[catalog] = 0x01;  // not a definition page
  EXPECT_NE(ReadEverything(Write(b)).find("definition page"), std::string::npos);

  b = good;
  PutU32(b, catalog + 4, 2);  // a definition chain that loops back to itself
  EXPECT_NE(ReadEverything(Write(b)).find("chain"), std::string::npos);

  b = good;
  PutU16(b, catalog + 45, 0xFFFF);  // column count
  EXPECT_NE(ReadEverything(Write(b)).find("column count"), std::string::npos);

  b = good;
  PutU32(b, catalog + 51, 0x7FFFFFFF);  // index count
  EXPECT_NE(ReadEverything(Write(b)).find("index count"), std::string::npos);

  b = good;
  PutU32(b, catalog + 55, 0xFFFFFF00);  // usage map on a page far outside the file
  EXPECT_NE(ReadEverything(Write(b)).find("usage map"), std::string::npos);

  b = good;
  PutU32(b, catalog + 55, (1u << 8) | 200);  // usage map on a row that does not exist
  EXPECT_NE(ReadEverything(Write(b)).find("usage map"), std::string::npos);
}

// The catalog's Id column given the Binary type: its values no longer read as numbers.
TEST_F(DamagedAccessFiles, CatalogColumnsOfTheWrongTypeAreErrors) {
  VANTOR_REQUIRE_TESTDATA("access/testV2000.mdb", sample);
  std::vector<uint8_t> b = Load(sample);
  const size_t definition = 2 * 4096;
  const size_t columns = b[definition + 45] | (b[definition + 46] << 8);
  const size_t real_indexes = b[definition + 51];
  const size_t entries = definition + 63 + real_indexes * 12;  // Jet 4: 12 bytes a real index, 25 a column
  size_t name_at = entries + columns * 25;
  for (size_t i = 0; i < columns; ++i) {
    const size_t length = b[name_at] | (b[name_at + 1] << 8);
    if (length == 4 && b[name_at + 2] == 'I' && b[name_at + 4] == 'd') b[entries + i * 25] = 0x09;
    name_at += 2 + length;
  }
  EXPECT_NE(ReadEverything(Write(b)).find("wrong types"), std::string::npos);
}

TEST_F(DamagedAccessFiles, RandomDamageNeverCrashesOrHangs) {
  size_t errors = 0, readable = 0;
  for (const char* name : {"access/testV2000.mdb", "access/testV1997.mdb", "access/testV2007.accdb",
                           "access/fixedNumericTestV2000.mdb", "access/queryTestV2000.mdb",
                           "access/compIndexTestV2000.mdb", "access/overflowTestV2000.mdb"}) {
    VANTOR_REQUIRE_TESTDATA(name, sample);
    const std::vector<uint8_t> good = Load(sample);
    const size_t page = good[0x14] == 0 ? 2048 : 4096;
    std::mt19937 random(12345);
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> b = good;
      // Damage pages that matter most (catalog, first definitions, their data) more often than the rest.
      const size_t pages = b.size() / page;
      const size_t target = (round % 2 == 0) ? 1 + random() % std::min<size_t>(pages - 1, 12) : 1 + random() % (pages - 1);
      const int flips = 1 + static_cast<int>(random() % 16);
      for (int f = 0; f < flips; ++f) b[target * page + random() % page] = static_cast<uint8_t>(random());
      const std::string error = ReadEverything(Write(b));
      (error.empty() ? readable : errors)++;
    }
  }
  // Both outcomes occur: the damage is real, and sound parts still read.
  EXPECT_GT(errors, 0u);
  EXPECT_GT(readable, 0u);
}

}  // namespace
}  // namespace vantor::formats::mdb
