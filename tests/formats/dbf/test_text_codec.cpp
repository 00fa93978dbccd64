// Code pages: the table-driven codec against ICU's own tables, and how a table's code page is chosen.

#include <gtest/gtest.h>

#include <fstream>

#include "dbf_test_support.h"
#include "formats/code_page.h"
#include "formats/dbf/language_driver.h"
#include "formats/dbf/text_codec.h"

namespace vantor::formats::dbf {
namespace {

TEST(TextCodec, DecodesLikeIcuForSingleAndDoubleByteCodePages) {
  std::string all_singles;
  for (int b = 0x20; b < 0x80; ++b) all_singles.push_back(static_cast<char>(b));
  for (int cp : {1252, 1251, 437, 866}) {
    std::string bytes;
    for (int b = 0x20; b < 0x100; ++b)
      if (b != 0x7F) bytes.push_back(static_cast<char>(b));
    if (cp == 1252) bytes = all_singles + "\x80\xe9\xfc";  // 1252 leaves a few bytes unassigned
    EXPECT_EQ(TextCodec::ForCodePage(cp)->Decode(bytes), DecodeCodePage(cp, bytes)) << cp;
  }
  const std::string gbk = "\xd6\xd0\xce\xc4 abc \xb1\xed";  // 中文 abc 表
  EXPECT_EQ(TextCodec::ForCodePage(936)->Decode(gbk), "中文 abc 表");
  EXPECT_EQ(TextCodec::ForCodePage(950)->Decode("\xa4\xa4\xa4\xe5"), "中文");
}

TEST(TextCodec, EncodesAndRefusesCharactersOutsideTheCodePage) {
  auto gbk = TextCodec::ForCodePage(936);
  std::string out;
  ASSERT_TRUE(gbk->Encode("中文 abc 表", out));
  EXPECT_EQ(out, "\xd6\xd0\xce\xc4 abc \xb1\xed");
  out.clear();
  EXPECT_FALSE(gbk->Encode("ไทย", out));
  out.clear();
  EXPECT_FALSE(TextCodec::ForCodePage(1252)->Encode("中", out));
  out.clear();
  EXPECT_FALSE(TextCodec::ForCodePage(1252)->Encode("\xF0\x9F\x98\x80", out));  // outside the BMP
  out.clear();
  ASSERT_TRUE(TextCodec::ForCodePage(1251)->Encode("Привет", out));
  EXPECT_EQ(TextCodec::ForCodePage(1251)->Decode(out), "Привет");
}

TEST(TextCodec, BrokenDoubleByteSequencesBecomeReplacementCharacters) {
  auto gbk = TextCodec::ForCodePage(936);
  EXPECT_EQ(gbk->Decode("a\xd6"), "a\xEF\xBF\xBD");       // lead byte at the end
  EXPECT_EQ(gbk->Decode("\xd6\x0a" "b"), "\xEF\xBF\xBD\nb");  // invalid trail byte keeps the next character
  EXPECT_EQ(TextCodec::ForCodePage(65001)->Decode("ok\xff"), "ok\xEF\xBF\xBD");
}

TEST(TextCodec, UnknownCodePageIsAnError) { EXPECT_THROW(TextCodec::ForCodePage(12345), StorageError); }

TEST(LanguageDriver, MapsTheDriverBytes) {
  const std::pair<int, int> expected[] = {{0x01, 437}, {0x02, 850}, {0x03, 1252}, {0x4D, 936}, {0x4E, 949},
                                          {0x4F, 950}, {0x57, 1252}, {0x64, 852}, {0x65, 866}, {0x78, 950},
                                          {0x79, 949}, {0x7A, 936}, {0x7B, 932}, {0xC8, 1250}, {0xC9, 1251},
                                          {0xCA, 1254}, {0xCB, 1253}};
  for (auto [driver, cp] : expected) {
    EXPECT_EQ(CodePageOfLanguageDriver(static_cast<uint8_t>(driver)), cp) << driver;
    EXPECT_NO_THROW(TextCodec::ForCodePage(cp)) << cp;
  }
  // Every other driver byte we know names a code page we can convert (DOS ones included).
  for (int driver = 1; driver < 256; ++driver) {
    if (int cp = CodePageOfLanguageDriver(static_cast<uint8_t>(driver)); cp != 0) {
      EXPECT_NO_THROW(TextCodec::ForCodePage(cp)) << driver;
    }
  }
  EXPECT_EQ(TextCodec::ForCodePage(866)->Decode("\x8f\xe0\xa8"), "При");
  EXPECT_EQ(CodePageOfLanguageDriver(0), 0);
  EXPECT_EQ(LanguageDriverOfCodePage(936), 0x7A);
  EXPECT_EQ(CodePageOfLanguageDriver(LanguageDriverOfCodePage(1251)), 1251);
}

TEST(LanguageDriver, CpgFileAndLocaleDecideWhenTheByteIsZero) {
  EXPECT_EQ(CodePageOfCpgText("UTF-8\r\n"), 65001);
  EXPECT_EQ(CodePageOfCpgText("ANSI 1251"), 1251);
  EXPECT_EQ(CodePageOfCpgText(" 936"), 936);
  EXPECT_EQ(CodePageOfCpgText("GBK"), 936);
  EXPECT_EQ(CodePageOfCpgText("nonsense"), 0);

  testing::ScratchDir dir;
  const std::string dbf = (dir.path() / "t.dbf").string();
  std::ofstream(dir.path() / "t.cpg") << "1251";
  EXPECT_EQ(ChooseCodePage(0, dbf), 1251);
  EXPECT_EQ(ChooseCodePage(0x4D, dbf), 936);  // the byte in the file wins
  std::filesystem::remove(dir.path() / "t.cpg");
  EXPECT_EQ(ChooseCodePage(0, dbf), UserLegacyCodePage());
}

}  // namespace
}  // namespace vantor::formats::dbf
