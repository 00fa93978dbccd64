#include "formats/dbf/language_driver.h"

#include <fstream>
#include <iterator>

#include "dataset/text.h"
#include "formats/code_page.h"
#include "formats/dbf/table_files.h"
#include "formats/dbf/text_codec.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {
namespace {

struct DriverCodePage {
  uint8_t driver;
  int code_page;
};

// The preferred driver of a code page comes first.
constexpr DriverCodePage kDrivers[] = {
    {0x01, 437}, {0x02, 850}, {0x03, 1252}, {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x4D, 936}, {0x7A, 936},
    {0x4E, 949}, {0x79, 949}, {0x4F, 950}, {0x78, 950}, {0x7B, 932}, {0x13, 932}, {0x64, 852}, {0x65, 866},
    {0x26, 866}, {0x66, 865}, {0x67, 861}, {0x6A, 737}, {0x6B, 857}, {0x6C, 863}, {0x7C, 874}, {0x7D, 1255},
    {0x7E, 1256}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

}  // namespace

int CodePageOfLanguageDriver(uint8_t driver) {
  for (const DriverCodePage& d : kDrivers)
    if (d.driver == driver) return d.code_page;
  return 0;
}

uint8_t LanguageDriverOfCodePage(int code_page) {
  // Visual FoxPro's own drivers first, so tables we write read back in FoxPro with the same text.
  switch (code_page) {
    case 936: return 0x7A;
    case 950: return 0x78;
    case 949: return 0x79;
    case 932: return 0x7B;
    default: break;
  }
  for (const DriverCodePage& d : kDrivers)
    if (d.code_page == code_page) return d.driver;
  return 0;
}

int CodePageOfCpgText(const std::string& raw) {
  const std::string text = AsciiUpper(TrimBlanks(raw));
  if (text.empty()) return 0;
  if (text == "UTF-8" || text == "UTF8" || text == "65001") return 65001;
  if (text == "GBK" || text == "GB2312" || text == "CP936") return 936;
  if (text == "BIG5") return 950;
  if (text == "SHIFT_JIS" || text == "SJIS") return 932;
  // "1252", "ANSI 1252", "CP1251", "OEM 866", "88591" (ISO 8859-1, close enough to 1252 for text).
  size_t i = text.find_first_of("0123456789");
  if (i == std::string::npos) return 0;
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000; ++i) value = value * 10 + (text[i] - '0');
  if (value == 88591) return 1252;
  return value;
}

int ChooseCodePage(uint8_t driver, const std::string& dbf_path) {
  if (int cp = CodePageOfLanguageDriver(driver); cp != 0) return cp;
  const std::string cpg = FindCompanionFile(dbf_path, ".cpg");
  if (!cpg.empty()) {
    std::ifstream in(cpg, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.size() > 64) text.resize(64);
    if (int cp = CodePageOfCpgText(text); cp != 0) {
      try {
        TextCodec::ForCodePage(cp);
        return cp;
      } catch (const StorageError&) {
        // a code page we cannot convert: fall back to the locale's
      }
    }
  }
  return UserLegacyCodePage();
}

}  // namespace vantor::formats::dbf
