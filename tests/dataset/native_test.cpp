// The native buffer format: sizes, and values that survive a write and a read in every field type.

#include <gtest/gtest.h>

#include <vector>

#include "dataset/errors.h"
#include "dataset/native.h"

namespace vantor {
namespace {

Value RoundTrip(TFieldType type, int size, const Value& v) {
  std::vector<unsigned char> buf(static_cast<size_t>(NativeSize(type, size)) + 1, 0xCC);
  WriteNative(type, size, v, buf.data());
  EXPECT_EQ(buf.back(), 0xCC) << "wrote past the native size of type " << type;
  return ReadNative(type, size, buf.data());
}

TEST(NativeTest, SizesFollowTheFieldTypes) {
  EXPECT_EQ(NativeSize(ftString, 20), 21);
  EXPECT_EQ(NativeSize(ftWideString, 20), 44);
  EXPECT_EQ(NativeSize(ftBoolean, 0), 2);
  EXPECT_EQ(NativeSize(ftDate, 0), 4);
  EXPECT_EQ(NativeSize(ftCurrency, 0), 8);
  EXPECT_EQ(NativeSize(ftBCD, 4), 34);
  EXPECT_EQ(NativeSize(ftVarBytes, 10), 12);
  EXPECT_EQ(NativeSize(ftGuid, 38), 39);
  EXPECT_EQ(NativeSize(ftTimeStamp, 0), 16);
  EXPECT_EQ(NativeSize(ftOraInterval, 20), 21);
  EXPECT_EQ(NativeSize(ftMemo, 0), 0);
  EXPECT_EQ(NativeSize(ftADT, 0), 0);
}

TEST(NativeTest, ValuesRoundTripInEveryScalarType) {
  EXPECT_EQ(RoundTrip(ftString, 10, Value("héllo")).AsString(), "héllo");
  EXPECT_EQ(RoundTrip(ftWideString, 5, Value(u"中文字")).AsWideString(), u"中文字");
  EXPECT_EQ(RoundTrip(ftSmallint, 0, Value(int32_t{-32768})).AsInt32(), -32768);
  EXPECT_EQ(RoundTrip(ftWord, 0, Value(int32_t{65535})).AsInt32(), 65535);
  EXPECT_EQ(RoundTrip(ftInteger, 0, Value(int32_t{-7})).AsInt32(), -7);
  EXPECT_EQ(RoundTrip(ftLargeint, 0, Value(int64_t{-9007199254740993})).AsInt64(), -9007199254740993);
  EXPECT_EQ(RoundTrip(ftBoolean, 0, Value(true)), Value(true));
  EXPECT_EQ(RoundTrip(ftFloat, 0, Value(0.1)), Value(0.1));
  EXPECT_EQ(RoundTrip(ftCurrency, 0, Value("-1234.5678")).AsCurrency().scaled, -12345678);
  EXPECT_EQ(RoundTrip(ftBCD, 4, Value("-98765432109876543210.0123")).AsString(), "-98765432109876543210.0123");
  const DateTime dt = DateTime::Parse("1812-06-24 10:11:12.345");
  EXPECT_EQ(RoundTrip(ftDateTime, 0, Value(dt)), Value(dt));
  EXPECT_EQ(RoundTrip(ftDate, 0, Value(dt)).AsDateTime(), DateTime::FromDate(1812, 6, 24));
  EXPECT_EQ(RoundTrip(ftTime, 0, Value(dt)).AsDateTime().ToIsoSeconds(), "1899-12-30 10:11:12");
  EXPECT_EQ(RoundTrip(ftTimeStamp, 0, Value(dt)), Value(dt));
  const Guid g = Guid::Parse("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  EXPECT_EQ(RoundTrip(ftGuid, 38, Value(g)), Value(g));
  EXPECT_EQ(RoundTrip(ftBytes, 3, Value(Bytes{1, 2, 3})), Value(Bytes{1, 2, 3}));
  EXPECT_EQ(RoundTrip(ftVarBytes, 8, Value(Bytes{9, 0, 9})), Value(Bytes{9, 0, 9}));
  EXPECT_EQ(RoundTrip(ftVarBytes, 8, Value(Bytes{})), Value(Bytes{}));
}

TEST(NativeTest, TextIsCutAtACharacterBoundary) {
  // Size 4 holds "中" (3 bytes) but not half of "文".
  EXPECT_EQ(RoundTrip(ftString, 4, Value("中文")).AsString(), "中");
  EXPECT_EQ(RoundTrip(ftWideString, 1, Value(u"😀")).AsWideString(), u"");
  EXPECT_EQ(RoundTrip(ftWideString, 2, Value(u"😀x")).AsWideString(), u"😀");
}

TEST(NativeTest, RefusesWhatDoesNotFit) {
  std::vector<unsigned char> buf(64);
  EXPECT_THROW(WriteNative(ftSmallint, 0, Value(int32_t{40000}), buf.data()), EConvertError);
  EXPECT_THROW(WriteNative(ftWord, 0, Value(int32_t{-1}), buf.data()), EConvertError);
  EXPECT_THROW(WriteNative(ftInteger, 0, Value(2.5), buf.data()), EConvertError);
  EXPECT_THROW(WriteNative(ftBytes, 2, Value(Bytes{1, 2, 3}), buf.data()), EConvertError);
  EXPECT_THROW(WriteNative(ftGuid, 38, Value("not a guid"), buf.data()), EConvertError);
}

}  // namespace
}  // namespace vantor
