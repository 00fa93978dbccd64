// Compound files: what the writer puts in reads back, and damaged containers fail with a clear error
// instead of looping or reading out of range.

#include <gtest/gtest.h>

#include "formats/storage.h"
#include "formats/xls/byte_io.h"
#include "formats/xls/compound_file.h"
#include "formats/xls/compound_file_writer.h"

namespace vantor::formats::xls {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 9));
  return out;
}

// A root with three streams: one for the mini stream, one just at the cutoff, and one large.
std::vector<uint8_t> ThreeStreamFile(size_t large_size) {
  std::vector<DirectoryEntry> entries(4);
  entries[0].name = u"Root Entry";
  entries[0].type = DirectoryEntry::kRoot;
  entries[0].child = 2;
  const std::u16string names[3] = {u"Small", u"Cutoff", u"Large"};
  for (int i = 1; i <= 3; ++i) {
    entries[i].name = names[i - 1];
    entries[i].type = DirectoryEntry::kStream;
  }
  entries[2].left = 1;
  entries[2].right = 3;
  std::vector<std::vector<uint8_t>> streams = {{}, Pattern(100, 1), Pattern(4096, 2), Pattern(large_size, 3)};
  return WriteCompoundFile(entries, streams);
}

TEST(CompoundFile, StreamsReadBackAsWritten) {
  for (size_t large : {size_t{5000}, size_t{8u << 20}}) {  // 8 MiB needs DIFAT sectors beyond the header's 109
    const auto file = ThreeStreamFile(large);
    const CompoundFile cf = CompoundFile::Parse(file);
    const int small = cf.FindInRoot(u"SMALL");
    const int cutoff = cf.FindInRoot(u"Cutoff");
    const int big = cf.FindInRoot(u"Large");
    ASSERT_GE(small, 0);
    ASSERT_GE(cutoff, 0);
    ASSERT_GE(big, 0);
    EXPECT_EQ(cf.FindInRoot(u"Missing"), -1);
    EXPECT_EQ(cf.ReadStream(small), Pattern(100, 1));
    EXPECT_EQ(cf.ReadStream(cutoff), Pattern(4096, 2));
    EXPECT_EQ(cf.ReadStream(big), Pattern(large, 3)) << large;
  }
}

class DamagedCompoundFile : public ::testing::Test {
 protected:
  std::vector<uint8_t> file = ThreeStreamFile(20000);
  // Sector n starts after the 512-byte header.
  uint8_t* SectorPtr(uint32_t n) { return &file[512 * (n + 1)]; }
  uint32_t FirstFatSector() { return Get32(&file[76]); }
  void ExpectError(const char* fragment) {
    try {
      const CompoundFile cf = CompoundFile::Parse(file);
      for (size_t i = 1; i < cf.Entries().size(); ++i)
        if (cf.Entries()[i].type == DirectoryEntry::kStream) cf.ReadStream(i);
      FAIL() << "no error for a damaged file";
    } catch (const StorageError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  }
};

TEST_F(DamagedCompoundFile, LoopingChainIsReported) {
  // The large stream starts at sector 0: make its second sector point back to the first.
  uint8_t* fat = SectorPtr(FirstFatSector());
  Put32(fat + 4, 0);
  ExpectError("loops");
}

TEST_F(DamagedCompoundFile, ChainLeavingTheFileIsReported) {
  uint8_t* fat = SectorPtr(FirstFatSector());
  Put32(fat + 4, 0x00FFFFFF);
  ExpectError("chain");
}

TEST_F(DamagedCompoundFile, ShortChainIsReported) {
  uint8_t* fat = SectorPtr(FirstFatSector());
  Put32(fat + 4, 0xFFFFFFFE);  // ends after one sector of a 20,000-byte stream
  ExpectError("shorter");
}

TEST_F(DamagedCompoundFile, HugeStreamSizeIsReported) {
  // Directory entry 3 (Large): size field set to 4 GiB - 1.
  const uint32_t dir = Get32(&file[48]);
  Put32(SectorPtr(dir) + 3 * 128 + 120, 0xFFFFFFFF);
  ExpectError("larger than the file");
}

TEST_F(DamagedCompoundFile, TruncatedFileIsReported) {
  file.resize(1024);
  ExpectError("damaged compound file");
}

TEST_F(DamagedCompoundFile, BadHeaderFieldsAreReported) {
  Put16(&file[30], 15);  // sector shift
  ExpectError("sector size");
}

TEST_F(DamagedCompoundFile, DifatCountBeyondTheFileIsReported) {
  Put32(&file[44], 5000);  // FAT sectors
  ExpectError("FAT");
}

TEST_F(DamagedCompoundFile, DirectoryTreeLoopStillEnds) {
  const uint32_t dir = Get32(&file[48]);
  Put32(SectorPtr(dir) + 2 * 128 + 68, 2);  // Cutoff's left sibling is itself
  Put32(SectorPtr(dir) + 1 * 128 + 72, 2);  // Small's right sibling points back up
  const CompoundFile cf = CompoundFile::Parse(file);
  EXPECT_EQ(cf.FindInRoot(u"Nothing"), -1);
}

TEST(CompoundFile, NotACompoundFile) {
  std::vector<uint8_t> text(600, 'x');
  EXPECT_THROW(CompoundFile::Parse(text), StorageError);
  EXPECT_FALSE(CompoundFile::HasSignature(text));
}

}  // namespace
}  // namespace vantor::formats::xls
