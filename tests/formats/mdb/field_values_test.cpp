#include "formats/mdb/field_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "formats/mdb/column_types.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

MdbColumn ColumnOf(int type, int size = 0) {
  MdbColumn column{};
  std::strcpy(column.name, "c");
  column.col_type = type;
  column.col_size = size;
  return column;
}

template <typename T>
std::vector<uint8_t> BytesOf(T value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

Value Decode(int type, const std::vector<uint8_t>& bytes, JetVersion version = JetVersion::Jet4) {
  FieldContext context;
  context.version = version;
  const MdbColumn column = ColumnOf(type);
  return DecodeField(column, false, bytes, context);
}

// 17 bytes: sign, then four little-endian words, the most significant first.
std::vector<uint8_t> DecimalBytes(bool negative, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(negative ? 0x80 : 0)};
  for (uint32_t w : {w0, w1, w2, w3})
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return bytes;
}

TEST(JetFieldValues, DecimalsAreExactWithTheirScale) {
  EXPECT_EQ(DecodeDecimal(DecimalBytes(false, 0, 0, 0, 12345), 2).ToString(), "123.45");
  EXPECT_EQ(DecodeDecimal(DecimalBytes(true, 0, 0, 0, 5), 3).ToString(), "-0.005");
  // 2^32 + 1: the words are ordered most significant first.
  EXPECT_EQ(DecodeDecimal(DecimalBytes(false, 0, 0, 1, 1), 0).ToString(), "4294967297");
  // 28 nines, the largest Access decimal, with 10 decimals.
  EXPECT_EQ(DecodeDecimal(DecimalBytes(false, 0, 0x204FCE5E, 0x3E250261, 0x0FFFFFFF), 10).ToString(),
            "999999999999999999.9999999999");
  EXPECT_THROW(DecodeDecimal(DecimalBytes(false, 0, 0, 0, 1), 200), StorageError);
}

TEST(JetFieldValues, CurrencyAndNumbersComeFromTheirStoredBits) {
  EXPECT_EQ(Decode(MDB_MONEY, BytesOf<int64_t>(-9223372036854775807LL)),
            Value(Currency::FromScaled(-9223372036854775807LL)));
  EXPECT_EQ(Decode(MDB_MONEY, BytesOf<int64_t>(35000)).AsString(), "3.5");
  EXPECT_EQ(Decode(MDB_DOUBLE, BytesOf<double>(0.1 + 0.2)), Value(0.1 + 0.2));
  // A Single shows the decimal it was typed as, not its binary expansion.
  EXPECT_EQ(Decode(MDB_FLOAT, BytesOf<float>(0.1f)), Value(0.1));
  EXPECT_EQ(Decode(MDB_BYTE, {200}), Value(int16_t{200}));
  EXPECT_EQ(Decode(MDB_INT, BytesOf<int16_t>(-2)), Value(int16_t{-2}));
  EXPECT_EQ(Decode(MDB_LONGINT, BytesOf<int32_t>(-333333333)), Value(int32_t{-333333333}));
  EXPECT_EQ(Decode(kMdbBigInt, BytesOf<int64_t>(1LL << 60)), Value(int64_t{1LL << 60}));
}

TEST(JetFieldValues, DatesBeforeAndAfter1900AreExactToTheSecond) {
  EXPECT_EQ(Decode(MDB_DATETIME, BytesOf<double>(27293.0)).AsString(), "1974-09-21");
  // Negative OLE dates count the day backwards but the time forwards: -1.25 is 1899-12-29 06:00.
  EXPECT_EQ(Decode(MDB_DATETIME, BytesOf<double>(-1.25)).get<DateTime>().ToIsoSeconds(), "1899-12-29 06:00:00");
  EXPECT_EQ(Decode(MDB_DATETIME, BytesOf<double>(-36522.5)).get<DateTime>().ToIsoSeconds(), "1800-01-01 12:00:00");
  // 23:41:28 does not have an exact binary fraction; it must not come out a second early.
  const double stamp = 40122.0 + (23 * 3600 + 41 * 60 + 28) / 86400.0;
  EXPECT_EQ(Decode(MDB_DATETIME, BytesOf<double>(stamp)).get<DateTime>().ToIsoSeconds(), "2009-11-05 23:41:28");
  EXPECT_THROW(Decode(MDB_DATETIME, BytesOf<double>(1e300)), StorageError);
}

TEST(JetFieldValues, GuidsTextAndBinary) {
  std::vector<uint8_t> guid{0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(Decode(MDB_REPID, guid).get<Guid>().ToString(), "{12345678-9ABC-DEF0-0102-030405060708}");
  EXPECT_EQ(Decode(MDB_TEXT, {0xFF, 0xFE, 'h', 'i'}), Value("hi"));
  EXPECT_EQ(Decode(MDB_TEXT, {0xB0, 0xA1}, JetVersion::Jet3).AsString(), "°¡");  // code page 1252
  EXPECT_EQ(Decode(MDB_BINARY, {0, 1, 2}), Value(Bytes{0, 1, 2}));
}

TEST(JetFieldValues, NullsYesNoAndTruncatedValues) {
  FieldContext context;
  const MdbColumn yes_no = ColumnOf(MDB_BOOL);
  // A Yes/No column keeps its value in the null mask: "null" there means No.
  EXPECT_EQ(DecodeField(yes_no, true, {}, context), Value(false));
  EXPECT_EQ(DecodeField(yes_no, false, {}, context), Value(true));
  const MdbColumn text = ColumnOf(MDB_TEXT);
  EXPECT_TRUE(DecodeField(text, true, {}, context).IsNull());
  EXPECT_EQ(DecodeField(text, false, {}, context), Value(""));
  EXPECT_THROW(Decode(MDB_DOUBLE, {1, 2, 3}), StorageError);
  EXPECT_THROW(Decode(MDB_REPID, {1, 2, 3}), StorageError);
  EXPECT_THROW(Decode(MDB_NUMERIC, {0, 1}), StorageError);
}

TEST(JetColumnTypes, AdoCodesSizesAndScales) {
  MdbColumn text = ColumnOf(MDB_TEXT, 100);
  EXPECT_EQ(DescribeColumn(text, JetVersion::Jet4, false).defined_size, 50);  // two bytes a character
  EXPECT_EQ(DescribeColumn(text, JetVersion::Jet3, false).defined_size, 100);
  EXPECT_EQ(DescribeColumn(text, JetVersion::Jet4, false).ado_type, adVarWChar);
  text.is_fixed = 1;
  EXPECT_EQ(DescribeColumn(text, JetVersion::Jet4, false).ado_type, adWChar);

  MdbColumn decimal = ColumnOf(MDB_NUMERIC, 17);
  decimal.col_scale = 18;  // libmdb's name for the precision byte
  decimal.col_prec = 4;
  const ColumnInfo info = DescribeColumn(decimal, JetVersion::Jet4, true);
  EXPECT_EQ(info.ado_type, adNumeric);
  EXPECT_EQ(info.precision, 18);
  EXPECT_EQ(info.numeric_scale, 4);
  EXPECT_FALSE(info.nullable);

  MdbColumn counter = ColumnOf(MDB_LONGINT, 4);
  counter.is_long_auto = 1;
  EXPECT_TRUE(DescribeColumn(counter, JetVersion::Jet4, false).auto_increment);
  MdbColumn binary = ColumnOf(MDB_BINARY, 255);
  EXPECT_EQ(DescribeColumn(binary, JetVersion::Jet4, false).ado_type, adVarBinary);
  binary.is_fixed = 1;
  EXPECT_EQ(DescribeColumn(binary, JetVersion::Jet4, false).ado_type, adBinary);
  EXPECT_EQ(DescribeColumn(ColumnOf(MDB_MEMO), JetVersion::Jet4, false).ado_type, adLongVarWChar);
  EXPECT_EQ(DescribeColumn(ColumnOf(MDB_OLE), JetVersion::Jet4, false).ado_type, adLongVarBinary);
  EXPECT_EQ(DescribeColumn(ColumnOf(MDB_REPID), JetVersion::Jet4, false).ado_type, adGUID);
  EXPECT_EQ(DescribeColumn(ColumnOf(kMdbBigInt), JetVersion::Ace, false).ado_type, adBigInt);
  EXPECT_EQ(DescribeColumn(ColumnOf(MDB_BYTE), JetVersion::Jet4, false).ado_type, adUnsignedTinyInt);
  EXPECT_FALSE(DescribeColumn(ColumnOf(MDB_BOOL), JetVersion::Jet4, false).nullable);
}

}  // namespace
}  // namespace vantor::formats::mdb
