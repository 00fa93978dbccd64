// CompareFieldValues: one test per row of the comparison table, on native buffers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dataset/native.h"
#include "memtable/collation.h"
#include "memtable/compare_values.h"

namespace vantor {
namespace {

constexpr int32_t kEnglish = 1033;  // en-US

std::vector<std::byte> Native(TFieldType type, int size, const Value& value) {
  std::vector<std::byte> bytes(static_cast<size_t>(NativeSize(type, size)));
  WriteNative(type, size, value, bytes.data());
  return bytes;
}

template <typename T>
std::vector<std::byte> Raw(T value) {
  std::vector<std::byte> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

int Compare(TFieldType type, const std::vector<std::byte>& key, const std::vector<std::byte>& value,
            TMemIndexFieldOptions options = 0, bool* full_match = nullptr) {
  bool full = false;
  const int result = CompareFieldValues(key, value, type, options, kEnglish, full);
  if (full_match) *full_match = full;
  return result;
}

int Compare(TFieldType type, int size, const Value& key, const Value& value, TMemIndexFieldOptions options = 0,
            bool* full_match = nullptr) {
  return Compare(type, Native(type, size, key), Native(type, size, value), options, full_match);
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareValuesTest, EightBitTextUsesTheLocaleWithCaseDistinguished) {
  for (TFieldType type : {ftString, ftFixedChar}) {
    EXPECT_LT(Compare(type, 20, Value("apple"), Value("Banana")), 0) << "locale order, not byte order";
    EXPECT_NE(Compare(type, 20, Value("abc"), Value("ABC")), 0);
    EXPECT_EQ(Compare(type, 20, Value("abc"), Value("ABC"), mtifoCaseInsensitive), 0);
    EXPECT_NE(Compare(type, 20, Value("resume"), Value("résumé"), mtifoCaseInsensitive), 0) << "accents count";
    EXPECT_EQ(Compare(type, 20, Value("same"), Value("same")), 0);
  }
  EXPECT_EQ(Compare(ftGuid, 38, Value("{00000000-0000-0000-0000-000000000001}"),
                    Value("{00000000-0000-0000-0000-000000000001}")),
            0);
  EXPECT_LT(Compare(ftGuid, 38, Value("{00000000-0000-0000-0000-000000000001}"),
                    Value("{00000000-0000-0000-0000-000000000002}")),
            0);
  EXPECT_GT(Compare(ftOraInterval, 20, Value("10 days"), Value("09 days")), 0);
}

TEST(CompareValuesTest, IgnoreLocaleComparesBytesFoldingOnlyAsciiLetters) {
  EXPECT_GT(Compare(ftString, 20, Value("apple"), Value("Banana"), mtifoIgnoreLocale), 0) << "'a' > 'B' as bytes";
  EXPECT_LT(Compare(ftString, 20, Value("apple"), Value("Banana"), mtifoIgnoreLocale | mtifoCaseInsensitive), 0);
  EXPECT_EQ(Compare(ftString, 20, Value("MiXeD"), Value("mixed"), mtifoIgnoreLocale | mtifoCaseInsensitive), 0);
  // é (C3 A9) and É (C3 89) are not A-Z, so they stay different.
  EXPECT_NE(Compare(ftString, 20, Value("é"), Value("É"), mtifoIgnoreLocale | mtifoCaseInsensitive), 0);
  EXPECT_LT(Compare(ftString, 20, Value("ab"), Value("abc"), mtifoIgnoreLocale), 0) << "shorter first";
  EXPECT_GT(Compare(ftString, 20, Value("\xC3\xA9"), Value("z"), mtifoIgnoreLocale), 0) << "bytes are unsigned";
}

TEST(CompareValuesTest, PartialTextCutsTheRecordValueToTheKey) {
  bool full = true;
  EXPECT_EQ(Compare(ftString, 20, Value("Ab"), Value("Abcdef"), mtifoPartial, &full), 0);
  EXPECT_FALSE(full);
  EXPECT_EQ(Compare(ftString, 20, Value("ab"), Value("ABCDEF"), mtifoPartial | mtifoCaseInsensitive, &full), 0);
  EXPECT_LT(Compare(ftString, 20, Value("Ab"), Value("Bcdef"), mtifoPartial, &full), 0);
  EXPECT_FALSE(full);
  // A key longer than the value is not cut: the value is a prefix of the key, so it orders first.
  EXPECT_GT(Compare(ftString, 20, Value("Abcdef"), Value("Ab"), mtifoPartial | mtifoIgnoreLocale, &full), 0);
  EXPECT_FALSE(full);
  EXPECT_EQ(Compare(ftString, 20, Value("Abc"), Value("Abc"), mtifoPartial, &full), 0);
  EXPECT_TRUE(full);
  EXPECT_EQ(Compare(ftWideString, 20, Value(u"中国"), Value(u"中国人"), mtifoPartial, &full), 0);
  EXPECT_FALSE(full);
  // Without the option a prefix is simply smaller.
  EXPECT_LT(Compare(ftString, 20, Value("Ab"), Value("Abcdef"), 0, &full), 0);
  EXPECT_TRUE(full);
}

TEST(CompareValuesTest, WideTextUsesTheLocaleAndIgnoreLocaleTakesTheUsersLocale) {
  ASSERT_EQ(setenv("LC_ALL", "en_US.UTF-8", 1), 0);
  ResetCollatorCache();
  for (TFieldType type : {ftWideString, ftFixedWideChar}) {
    EXPECT_LT(Compare(type, 20, Value(u"apple"), Value(u"Banana")), 0);
    EXPECT_EQ(Compare(type, 20, Value(u"ABC"), Value(u"abc"), mtifoCaseInsensitive), 0);
    EXPECT_NE(Compare(type, 20, Value(u"ABC"), Value(u"abc")), 0);
    // Still the locale's order, never code units ('a' 0x61 > 'B' 0x42).
    EXPECT_LT(Compare(type, 20, Value(u"apple"), Value(u"Banana"), mtifoIgnoreLocale), 0);
  }
}

TEST(CompareValuesTest, WideTextAtAnOddAddressReadsTheSame) {
  std::vector<std::byte> key(1 + static_cast<size_t>(NativeSize(ftWideString, 10)));
  std::vector<std::byte> value = key;
  WriteNative(ftWideString, 10, Value(u"alpha"), key.data() + 1);
  WriteNative(ftWideString, 10, Value(u"beta"), value.data() + 1);
  bool full = false;
  std::span<const std::byte> k(key.data() + 1, key.size() - 1), v(value.data() + 1, value.size() - 1);
  EXPECT_LT(CompareFieldValues(k, v, ftWideString, 0, kEnglish, full), 0);
  EXPECT_GT(CompareFieldValues(v, k, ftWideString, 0, kEnglish, full), 0);
}

TEST(CompareValuesTest, TextWithoutTerminatorStopsAtTheBytesItHas) {
  std::vector<std::byte> key{std::byte{'a'}, std::byte{'b'}};
  std::vector<std::byte> value{std::byte{'a'}, std::byte{'b'}, std::byte{'c'}, std::byte{0}};
  EXPECT_LT(Compare(ftString, key, value, mtifoIgnoreLocale), 0);
}

TEST(CompareValuesTest, Integers) {
  EXPECT_LT(Compare(ftSmallint, Raw<int16_t>(-1), Raw<int16_t>(1)), 0);
  EXPECT_GT(Compare(ftWord, Raw<uint16_t>(65535), Raw<uint16_t>(1)), 0) << "unsigned";
  for (TFieldType type : {ftInteger, ftAutoInc, ftDate, ftTime}) {
    EXPECT_LT(Compare(type, Raw<int32_t>(-100000), Raw<int32_t>(5)), 0);
    EXPECT_EQ(Compare(type, Raw<int32_t>(7), Raw<int32_t>(7)), 0);
  }
  EXPECT_LT(Compare(ftLargeint, Raw<int64_t>(-1), Raw<int64_t>(0)), 0) << "signed high half";
  EXPECT_LT(Compare(ftLargeint, Raw<int64_t>(0x100000000LL), Raw<int64_t>(0x1FFFFFFFFLL)), 0) << "unsigned low half";
  EXPECT_GT(Compare(ftLargeint, Raw<int64_t>(INT64_MAX), Raw<int64_t>(INT64_MIN)), 0);
}

TEST(CompareValuesTest, BooleansAreFalseBeforeTrueAndAnyNonZeroIsTrue) {
  EXPECT_LT(Compare(ftBoolean, Raw<uint16_t>(0), Raw<uint16_t>(1)), 0);
  EXPECT_EQ(Compare(ftBoolean, Raw<uint16_t>(0xFFFF), Raw<uint16_t>(1)), 0);
  EXPECT_GT(Compare(ftBoolean, Raw<uint16_t>(2), Raw<uint16_t>(0)), 0);
}

TEST(CompareValuesTest, FloatsAndDateTimes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (TFieldType type : {ftFloat, ftDateTime}) {
    EXPECT_LT(Compare(type, Raw(-2.5), Raw(1.0)), 0);
    EXPECT_EQ(Compare(type, Raw(0.1), Raw(0.1)), 0);
    EXPECT_EQ(Compare(type, Raw(nan), Raw(1.0)), 0) << "unordered counts as equal";
    EXPECT_EQ(Compare(type, Raw(1.0), Raw(nan)), 0);
  }
}

TEST(CompareValuesTest, CurrencyComparesTheScaledAmount) {
  EXPECT_LT(Compare(ftCurrency, 0, Value(Currency::FromScaled(-1)), Value(Currency::FromScaled(0))), 0);
  EXPECT_GT(Compare(ftCurrency, 0, Value(Currency::Parse("922337203685477.5807")),
                    Value(Currency::Parse("922337203685477.5806"))),
            0) << "exact where a double would round both to one value";
  EXPECT_EQ(Compare(ftCurrency, 0, Value(Currency::Parse("12.5")), Value(Currency::Parse("12.5000"))), 0);
}

TEST(CompareValuesTest, BcdComparesAsCurrencyAndUnconvertibleValuesAreEqual) {
  for (TFieldType type : {ftBCD, ftFMTBcd}) {
    EXPECT_LT(Compare(type, 8, Value(TBcd::Parse("1.5")), Value(TBcd::Parse("2.25"))), 0);
    EXPECT_GT(Compare(type, 8, Value(TBcd::Parse("-1")), Value(TBcd::Parse("-1.0001"))), 0);
    EXPECT_EQ(Compare(type, 8, Value(TBcd::Parse("3.10")), Value(TBcd::Parse("3.1"))), 0);
    const Value huge(TBcd::Parse("1000000000000000000000000"));  // beyond the currency range
    EXPECT_EQ(Compare(type, 8, huge, Value(TBcd::Parse("1"))), 0);
    EXPECT_EQ(Compare(type, 8, Value(TBcd::Parse("-5")), huge), 0);
  }
}

TEST(CompareValuesTest, TimeStampsCompareFieldByField) {
  auto stamp = [](int16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s, uint32_t f) {
    TSQLTimeStamp ts;
    ts.Year = y, ts.Month = mo, ts.Day = d, ts.Hour = h, ts.Minute = mi, ts.Second = s, ts.Fractions = f;
    return Raw(ts);
  };
  for (TFieldType type : {ftTimeStamp, ftOraTimeStamp}) {
    EXPECT_GT(Compare(type, stamp(2020, 1, 1, 0, 0, 0, 0), stamp(2019, 12, 31, 23, 59, 59, 999)), 0);
    EXPECT_LT(Compare(type, stamp(-5, 1, 1, 0, 0, 0, 0), stamp(1, 1, 1, 0, 0, 0, 0)), 0) << "signed year";
    EXPECT_LT(Compare(type, stamp(2020, 3, 1, 0, 0, 0, 0), stamp(2020, 3, 2, 0, 0, 0, 0)), 0);
    EXPECT_LT(Compare(type, stamp(2020, 3, 1, 8, 30, 0, 0), stamp(2020, 3, 1, 8, 31, 0, 0)), 0);
    EXPECT_GT(Compare(type, stamp(2020, 3, 1, 8, 30, 0, 4000000000u), stamp(2020, 3, 1, 8, 30, 0, 1)), 0);
    EXPECT_EQ(Compare(type, stamp(2020, 3, 1, 8, 30, 5, 7), stamp(2020, 3, 1, 8, 30, 5, 7)), 0);
  }
}

TEST(CompareValuesTest, OtherTypesAreAlwaysEqual) {
  std::vector<std::byte> a{std::byte{1}, std::byte{2}}, b{std::byte{9}, std::byte{9}};
  for (TFieldType type : {ftWideMemo, ftADT, ftArray, ftBlob, ftMemo, ftBytes, ftVarBytes})
    EXPECT_EQ(Compare(type, a, b), 0) << FieldTypeName(type);
}

TEST(CompareValuesTest, DescendingNegatesEveryResult) {
  EXPECT_GT(Compare(ftInteger, Raw<int32_t>(1), Raw<int32_t>(2), mtifoDescending), 0);
  EXPECT_LT(Compare(ftString, 20, Value("b"), Value("a"), mtifoDescending), 0);
  EXPECT_EQ(Compare(ftFloat, Raw(3.0), Raw(3.0), mtifoDescending), 0);
  EXPECT_EQ(Sign(Compare(ftCurrency, 0, Value(Currency::FromScaled(5)), Value(Currency::FromScaled(6)),
                         mtifoDescending)),
            1);
}

}  // namespace
}  // namespace vantor
