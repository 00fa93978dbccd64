// Exactness of the value types: currency, decimals, dates, GUIDs, text, and the conversions between them.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dataset/errors.h"
#include "dataset/text.h"
#include "dataset/value.h"

namespace vantor {
namespace {

TEST(CurrencyTest, ParsesAndPrintsExactly) {
  EXPECT_EQ(Currency::Parse("12.5").scaled, 125000);
  EXPECT_EQ(Currency::Parse("-0.0001").scaled, -1);
  EXPECT_EQ(Currency::Parse("  7 ").ToString(), "7");
  EXPECT_EQ(Currency::FromScaled(-1).ToString(), "-0.0001");
  EXPECT_EQ(Currency::FromScaled(1234567).ToString(), "123.4567");
  // The extremes of the range print without overflow.
  EXPECT_EQ(Currency::FromScaled(std::numeric_limits<int64_t>::min()).ToString(), "-922337203685477.5808");
  EXPECT_EQ(Currency::Parse("922337203685477.5807").scaled, std::numeric_limits<int64_t>::max());
  EXPECT_THROW(Currency::Parse("922337203685477.5808"), EConvertError);
  EXPECT_THROW(Currency::Parse("12a"), EConvertError);
  EXPECT_THROW(Currency::Parse(""), EConvertError);
}

TEST(CurrencyTest, RoundsBeyondFourDecimalsHalfAwayFromZero) {
  EXPECT_EQ(Currency::Parse("1.00005").scaled, 10001);
  EXPECT_EQ(Currency::Parse("-1.00005").scaled, -10001);
  EXPECT_EQ(Currency::Parse("1.00004999").scaled, 10000);
  EXPECT_EQ(Currency::FromDouble(0.1).scaled, 1000);
  EXPECT_THROW(Currency::FromDouble(1e300), EConvertError);
  EXPECT_THROW(Currency::FromDouble(std::nan("")), EConvertError);
}

TEST(BcdTest, KeepsEveryDigit) {
  const TBcd b = TBcd::Parse("-12345678901234567890.123456789");
  EXPECT_EQ(b.ToString(), "-12345678901234567890.123456789");
  EXPECT_TRUE(b.IsNegative());
  EXPECT_EQ(b.Scale(), 9);
  EXPECT_EQ(TBcd::Parse("001.2300").ToString(), "1.23");
  EXPECT_EQ(TBcd::Parse("-0.000").ToString(), "0");
  EXPECT_EQ(TBcd::Parse("1.5e3").ToString(), "1500");
  EXPECT_EQ(TBcd::Parse("15e-3").ToString(), "0.015");
  EXPECT_EQ(TBcd::FromDouble(0.1).ToString(), "0.1");
  EXPECT_EQ(TBcd::Parse("-0.5").ToString(), "-0.5");
  // A record as a file engine fills it: padding zeros on both sides of the point are not printed.
  TBcd padded;
  padded.Precision = 6;
  padded.SignSpecialPlaces = 0x80 | 3;
  for (int i = 0; i < 6; ++i) padded.SetDigit(i, "001250"[i] - '0');
  EXPECT_EQ(padded.ToString(), "-1.25");
  EXPECT_THROW(TBcd::Parse("1.2.3"), EConvertError);
  EXPECT_THROW(TBcd::Parse(std::string(65, '9')), EConvertError);
}

TEST(BcdTest, ComparesByValueNotByDigits) {
  EXPECT_EQ(CompareBcd(TBcd::Parse("1.50"), TBcd::Parse("1.5")), 0);
  EXPECT_LT(CompareBcd(TBcd::Parse("-2"), TBcd::Parse("-1.99")), 0);
  EXPECT_GT(CompareBcd(TBcd::Parse("10"), TBcd::Parse("9.999")), 0);
  EXPECT_LT(CompareBcd(TBcd::Parse("-0.5"), TBcd::Parse("0")), 0);
  EXPECT_TRUE(TBcd::Parse("2.000") == TBcd::Parse("2"));
}

TEST(BcdTest, ConvertsToCurrencyOnlyWithinRange) {
  Currency c;
  ASSERT_TRUE(TBcd::Parse("123.45678").TryToCurrency(c));
  EXPECT_EQ(c.scaled, 1234568);
  EXPECT_FALSE(TBcd::Parse("1e20").TryToCurrency(c));
  int64_t i;
  EXPECT_TRUE(TBcd::Parse("-42").TryToInt64(i));
  EXPECT_EQ(i, -42);
  EXPECT_FALSE(TBcd::Parse("4.2").TryToInt64(i));
}

TEST(DateTimeTest, PartsRoundTripAcrossTheCalendar) {
  for (const DateTimeParts& p : {DateTimeParts{1, 1, 1}, DateTimeParts{1600, 2, 29, 23, 59, 59, 999},
                                 DateTimeParts{1899, 12, 30}, DateTimeParts{1900, 3, 1, 12, 0, 1},
                                 DateTimeParts{2000, 2, 29, 6, 7, 8, 9}, DateTimeParts{9999, 12, 31, 23, 59, 59}}) {
    const DateTimeParts back = DateTime::FromParts(p).Parts();
    EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second, back.millisecond),
              std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond));
  }
  EXPECT_THROW(DateTime::FromDate(1900, 2, 29), EConvertError);
  EXPECT_THROW(DateTime::FromDate(2023, 13, 1), EConvertError);
}

TEST(DateTimeTest, OleDatesIncludingNegativeOnes) {
  EXPECT_EQ(DateTime::FromOleDate(0).ToString(), "1899-12-30");
  EXPECT_EQ(DateTime::FromOleDate(2.5).ToString(), "1900-01-01 12:00:00");
  // Before the epoch the fraction still counts forward from midnight: -1.25 is 1899-12-29 06:00.
  EXPECT_EQ(DateTime::FromOleDate(-1.25).ToString(), "1899-12-29 06:00:00");
  EXPECT_DOUBLE_EQ(DateTime::Parse("1899-12-29 06:00").ToOleDate(), -1.25);
  EXPECT_EQ(DateTime::FromOleDate(-36522.0).ToString(), "1800-01-01");
  // Seconds survive the trip through a double.
  const DateTime t = DateTime::Parse("1753-06-15 13:14:15");
  EXPECT_EQ(DateTime::FromOleDate(t.ToOleDate()), t);
  EXPECT_THROW(DateTime::FromOleDate(1e10), EConvertError);
}

TEST(DateTimeTest, ParsesCommonForms) {
  EXPECT_EQ(DateTime::Parse("2024-02-29").ToString(), "2024-02-29");
  EXPECT_EQ(DateTime::Parse("2024/2/9 7:05").ToString(), "2024-02-09 07:05:00");
  EXPECT_EQ(DateTime::Parse("2024-02-09T07:05:06.5").ToString(), "2024-02-09 07:05:06.500");
  EXPECT_EQ(DateTime::Parse("13:30").ToOleDate(), 13.5 / 24);
  DateTime d;
  EXPECT_FALSE(DateTime::TryParse("2024-02-30", d));
  EXPECT_FALSE(DateTime::TryParse("24:00", d));
  EXPECT_FALSE(DateTime::TryParse("yesterday", d));
  EXPECT_EQ(NativeToDate(DateToNative(DateTime::FromDate(1, 1, 1))), DateTime::FromDate(1, 1, 1));
  EXPECT_EQ(DateToNative(DateTime::FromDate(1, 1, 1)), 1);
}

TEST(GuidTest, TextFormUsesTheWindowsByteOrder) {
  const Guid g = Guid::Parse("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(g.bytes[0], 0x33);  // Data1 is little-endian
  EXPECT_EQ(g.bytes[4], 0x55);
  EXPECT_EQ(g.bytes[8], 0x88);  // Data4 as written
  EXPECT_EQ(g.ToString(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(Guid::Parse("00112233-4455-6677-8899-aabbccddeeff"), g);
  EXPECT_THROW(Guid::Parse("{00112233-4455-6677-8899-AABBCCDDEEF}"), EConvertError);
  EXPECT_THROW(Guid::Parse("{00112233-4455-6677-8899-AABBCCDDEEFG}"), EConvertError);
}

TEST(TextTest, ConvertsBetweenUtf8AndUtf16) {
  const std::string s = "中文 abc 😀";
  const std::u16string w = Utf8ToUtf16(s);
  EXPECT_EQ(w.size(), 9u);  // the emoji is a surrogate pair
  EXPECT_EQ(Utf16ToUtf8(w), s);
  // Broken input is replaced, not dropped.
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(TextTest, PrefixesNeverCutACharacter) {
  EXPECT_EQ(Utf8Prefix("中文", 4), "中");
  EXPECT_EQ(Utf8Prefix("中文", 6), "中文");
  EXPECT_EQ(Utf8Prefix("ab", 0), "");
  const std::u16string w = u"a😀";
  EXPECT_EQ(Utf16Prefix(w, 2), u"a");
  EXPECT_EQ(TrimBlanks("\t a b \r\n"), "a b");
  EXPECT_TRUE(SameTextAscii("Name", "nAME"));
  EXPECT_FALSE(SameTextAscii("Name", "Names"));
}

TEST(ValueTest, ConversionsAreExactOrRefused) {
  EXPECT_EQ(Value(3.0).AsInt64(), 3);
  EXPECT_THROW(Value(3.5).AsInt64(), EConvertError);
  EXPECT_THROW(Value((int64_t{1} << 53) + 1).AsDouble(), EConvertError);
  EXPECT_EQ(Value(int64_t{1} << 60).AsDouble(), 1152921504606846976.0);  // a power of two is exact
  EXPECT_EQ(Value("  42 ").AsInt32(), 42);
  EXPECT_EQ(Value("1e3").AsInt64(), 1000);
  EXPECT_THROW(Value("4000000000").AsInt32(), EConvertError);
  EXPECT_THROW(Value("x").AsDouble(), EConvertError);
  EXPECT_EQ(Value(Currency::Parse("2.5")).AsString(), "2.5");
  EXPECT_THROW(Value(Currency::Parse("2.5")).AsInt64(), EConvertError);
  EXPECT_EQ(Value(Currency::Parse("2")).AsInt64(), 2);
  EXPECT_EQ(Value(0.1).AsString(), "0.1");
  EXPECT_EQ(Value(0.1).AsBcd().ToString(), "0.1");
  EXPECT_EQ(Value(TBcd::Parse("7.25")).AsCurrency().scaled, 72500);
  EXPECT_TRUE(Value("yes").AsBoolean());
  EXPECT_FALSE(Value("False").AsBoolean());
  EXPECT_THROW(Value("maybe").AsBoolean(), EConvertError);
  EXPECT_EQ(Value(true).AsString(), "True");
  EXPECT_EQ(Value(u"宽").AsString(), "宽");
  EXPECT_EQ(Value("2001-02-03").AsDateTime(), DateTime::FromDate(2001, 2, 3));
  EXPECT_THROW(Value(Bytes{1, 2}).AsInt64(), EConvertError);
  EXPECT_THROW(Value(Bytes{1, 2}).AsGuid(), EConvertError);
}

TEST(ValueTest, EqualityNeedsTheSameKind) {
  EXPECT_EQ(Value(int32_t{1}), Value(int32_t{1}));
  EXPECT_FALSE(Value(int32_t{1}) == Value(int64_t{1}));
  EXPECT_EQ(Value(std::nan("")), Value(std::nan("")));
  EXPECT_EQ(Value(), Value::Null());
  EXPECT_FALSE(Value() == Value(""));
}

}  // namespace
}  // namespace vantor
