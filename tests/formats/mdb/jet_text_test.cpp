#include "formats/mdb/jet_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

std::string Decode(std::vector<uint8_t> bytes) { return DecodeJet4Text(bytes); }

TEST(Jet4Text, PlainUcs2IncludingCharactersWithAZeroLowByte) {
  EXPECT_EQ(Decode({'a', 0, 'b', 0}), "ab");
  // U+4E00 has a zero low byte; it only ever appears uncompressed.
  EXPECT_EQ(Decode({0x00, 0x4E, 0x2D, 0x4E}), "一中");
  EXPECT_EQ(Decode({}), "");
}

TEST(Jet4Text, CompressedTextSwitchesModesOnZeroBytes) {
  EXPECT_EQ(Decode({0xFF, 0xFE, 'a', 'b', 'c'}), "abc");
  // "ab", switch to two-byte units for U+4E2D, switch back for "c".
  EXPECT_EQ(Decode({0xFF, 0xFE, 'a', 'b', 0x00, 0x2D, 0x4E, 0x00, 'c'}), "ab中c");
  // Text may end in two-byte mode.
  EXPECT_EQ(Decode({0xFF, 0xFE, 'x', 0x00, 0xE9, 0x00}), "xé");
  // Latin-1 bytes in one-byte mode are the characters U+0080..U+00FF.
  EXPECT_EQ(Decode({0xFF, 0xFE, 0xE9}), "é");
}

TEST(Jet4Text, SurrogatePairsAndBrokenInputKeepEveryCharacter) {
  EXPECT_EQ(Decode({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");  // U+1F600
  // A dangling byte is shown, not dropped.
  EXPECT_EQ(Decode({'a', 0, 'b'}), "a\xEF\xBF\xBD");
}

class Jet3CodePageVariable : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv(kJet3CodePageVariable); }
};

TEST_F(Jet3CodePageVariable, ChoosesTheCodePageAndRejectsNonsense) {
  setenv(kJet3CodePageVariable, "936", 1);
  EXPECT_EQ(Jet3CodePage(), 936);
  for (const char* bad : {"abc", "-5", "936x", "99999999", "7"}) {
    setenv(kJet3CodePageVariable, bad, 1);
    EXPECT_THROW(Jet3CodePage(), StorageError) << bad;
  }
  unsetenv(kJet3CodePageVariable);
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(Jet3CodePage(), 936);
  unsetenv("LC_ALL");
}

}  // namespace
}  // namespace vantor::formats::mdb
