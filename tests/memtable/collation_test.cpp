// Text order by locale: the user's locale from the environment, mapped locale ids, and refused ids.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "memtable/collation.h"
#include "memtable/locale_id.h"
#include "memtable/mem_errors.h"

namespace vantor {
namespace {

// Sets the collation environment for one test and restores what was there.
class LocaleEnvironment {
 public:
  explicit LocaleEnvironment(const char* lc_all) {
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
      const char* v = std::getenv(var);
      saved_.push_back({var, v ? std::optional<std::string>(v) : std::nullopt});
      unsetenv(var);
    }
    if (lc_all) setenv("LC_ALL", lc_all, 1);
    ResetCollatorCache();
  }
  ~LocaleEnvironment() {
    for (const auto& [var, value] : saved_) {
      if (value) setenv(var.c_str(), value->c_str(), 1);
      else unsetenv(var.c_str());
    }
    ResetCollatorCache();
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::vector<std::string> SortedUtf8(std::vector<std::string> words, int32_t locale_id) {
  std::stable_sort(words.begin(), words.end(), [&](const std::string& a, const std::string& b) {
    return CompareTextUtf8(locale_id, false, a, b) < 0;
  });
  return words;
}

TEST(CollationTest, UserLocaleNameComesFromTheEnvironment) {
  {
    LocaleEnvironment env("zh_CN.UTF-8");
    EXPECT_EQ(UserCollationLocaleName(), "zh_CN");
  }
  {
    LocaleEnvironment env(nullptr);
    setenv("LC_COLLATE", "de_DE@euro", 1);
    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(UserCollationLocaleName(), "de_DE");
  }
  {
    LocaleEnvironment env(nullptr);
    setenv("LANG", "C.UTF-8", 1);
    EXPECT_EQ(UserCollationLocaleName(), "");
  }
}

TEST(CollationTest, ChineseSortsByPinyinUnderZhCn) {
  LocaleEnvironment env("zh_CN.UTF-8");
  // 阿 ā, 北 běi, 中 zhōng; in code points 中 (U+4E2D) comes before 北 (U+5317) and 阿 (U+963F).
  const std::vector<std::string> expected{"阿", "北", "中"};
  EXPECT_EQ(SortedUtf8({"中", "阿", "北"}, kUserDefaultLocaleId), expected);
  EXPECT_EQ(SortedUtf8({"北京", "中国", "安徽", "上海"}, kUserDefaultLocaleId),
            (std::vector<std::string>{"安徽", "北京", "上海", "中国"}));
  EXPECT_LT(CompareTextUtf16(kUserDefaultLocaleId, false, u"阿", u"中"), 0);
}

TEST(CollationTest, EnglishUnderEnUsIgnoresCaseOnlyWhenAsked) {
  LocaleEnvironment env("en_US.UTF-8");
  EXPECT_EQ(SortedUtf8({"banana", "Cherry", "apple", "Apple"}, kUserDefaultLocaleId),
            (std::vector<std::string>{"apple", "Apple", "banana", "Cherry"}));
  EXPECT_LT(CompareTextUtf8(kUserDefaultLocaleId, false, "a", "A"), 0) << "lower case first at full strength";
  EXPECT_EQ(CompareTextUtf8(kUserDefaultLocaleId, true, "HELLO", "hello"), 0);
  EXPECT_LT(CompareTextUtf8(kUserDefaultLocaleId, true, "cote", "côte"), 0) << "accents are kept";
  EXPECT_LT(CompareTextUtf8(kUserDefaultLocaleId, false, "côte", "coter"), 0) << "accents weigh less than letters";
}

TEST(CollationTest, ExplicitLocaleIdsMapThroughIcu) {
  LocaleEnvironment env("en_US.UTF-8");  // the user's locale must not matter here
  const int32_t chinese_prc = 0x0804;
  EXPECT_LT(CompareTextUtf8(chinese_prc, false, "阿", "中"), 0);
  EXPECT_LT(CompareTextUtf8(1033, false, "apple", "Banana"), 0);
  // Swedish sorts å, ä, ö after z.
  const int32_t swedish = 0x041D;
  EXPECT_GT(CompareTextUtf8(swedish, false, "ö", "z"), 0);
  EXPECT_LT(CompareTextUtf8(1033, false, "ö", "z"), 0);
}

TEST(CollationTest, UnknownLocaleIdIsRefused) {
  for (int32_t id : {0x0FFF, 0x7FFF, -1}) {
    try {
      CompareTextUtf8(id, false, "a", "b");
      FAIL() << "no error for locale id " << id;
    } catch (const EMemTableInvalidLocale& e) {
      EXPECT_STREQ(e.what(), "Invalid locale.");
    }
  }
  EXPECT_THROW(CompareTextUtf16(0x7FFF, true, u"a", u"b"), EMemTableLocaleError);
}

TEST(CollationTest, CacheFollowsAResetToANewEnvironment) {
  {
    LocaleEnvironment env("en_US.UTF-8");
    EXPECT_LT(CompareTextUtf8(kUserDefaultLocaleId, false, "ö", "z"), 0);
  }
  LocaleEnvironment env("sv_SE.UTF-8");
  EXPECT_GT(CompareTextUtf8(kUserDefaultLocaleId, false, "ö", "z"), 0);
}

}  // namespace
}  // namespace vantor
