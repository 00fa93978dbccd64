#include <gtest/gtest.h>

#include "providers/file/file_provider.h"
#include "tests/support/temp_dir.h"

namespace vantor::providers::file {
namespace {

// Evaluates one expression through a connection over an empty directory.
class JetFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    conn = OpenFileConnection({DatabaseKind::DbfDirectory, dir.str(), "MSDASQL.1"});
  }
  Value Eval(const std::string& expression) {
    auto rs = conn->Query("select " + expression);
    Row row;
    EXPECT_TRUE(rs->Next(row));
    return row.at(0);
  }
  vantor::testing::TempDir dir;
  std::unique_ptr<Connection> conn;
};

TEST_F(JetFunctions, TextFunctionsCountCharactersNotBytes) {
  EXPECT_EQ(Eval("Len('\xE4\xB8\xAD\xE6\x96\x87x')").AsInt64(), 3);
  EXPECT_EQ(Eval("Left('\xE4\xB8\xAD\xE6\x96\x87x', 1)").AsString(), "\xE4\xB8\xAD");
  EXPECT_EQ(Eval("Right('abcdef', 2)").AsString(), "ef");
  EXPECT_EQ(Eval("Right('ab', 10)").AsString(), "ab");
  EXPECT_EQ(Eval("Mid('abcdef', 2, 3)").AsString(), "bcd");
  EXPECT_EQ(Eval("Mid('abcdef', 5)").AsString(), "ef");
  EXPECT_EQ(Eval("Mid('abc', 9)").AsString(), "");
  EXPECT_EQ(Eval("UCase('abc\xC3\xA9') & LCase('XY')").AsString(), "ABC\xC3\xA9xy");
  EXPECT_EQ(Eval("Trim('  a b  ')").AsString(), "a b");
  EXPECT_EQ(Eval("InStr('abcabc', 'c')").AsInt64(), 3);
  EXPECT_EQ(Eval("InStr(4, 'abcabc', 'c')").AsInt64(), 6);
  EXPECT_EQ(Eval("InStr('abc', 'z')").AsInt64(), 0);
  EXPECT_TRUE(Eval("Len(null)").IsNull());
  EXPECT_THROW(Eval("Mid('abc', 0)"), Exception);
  EXPECT_THROW(Eval("Left('abc', -1)"), Exception);
}

TEST_F(JetFunctions, ConditionsNullsDatesAndFormats) {
  EXPECT_EQ(Eval("IIf(1 > 2, 'yes', 'no')").AsString(), "no");
  EXPECT_EQ(Eval("IIf(null, 'yes', 'no')").AsString(), "no");
  EXPECT_EQ(Eval("Nz(null, 5)").AsInt64(), 5);
  EXPECT_EQ(Eval("Nz(null)").AsInt64(), 0);
  EXPECT_EQ(Eval("Nz('x', 5)").AsString(), "x");
  EXPECT_EQ(Eval("Format(#3/4/2021 5:06:07#, 'yyyy-mm-dd hh:nn:ss')").AsString(), "2021-03-04 05:06:07");
  EXPECT_EQ(Eval("Format(#12/31/1999#, 'dd/mm/yy')").AsString(), "31/12/99");
  EXPECT_EQ(Eval("Format(1234567.891, '#,##0.00')").AsString(), "1,234,567.89");
  EXPECT_EQ(Eval("Format(-1234.5, 'Standard')").AsString(), "-1,234.50");
  EXPECT_EQ(Eval("Format(0.125, 'Percent')").AsString(), "12.50%");
  EXPECT_EQ(Eval("Format(2.5, '0')").AsString(), "3");  // halves away from zero
  EXPECT_EQ(Eval("Format(-0.125, '0.00')").AsString(), "-0.13");
  DateTime today;
  ASSERT_TRUE(DateTime::TryParse(Eval("Date()").AsString(), today));
  EXPECT_EQ(today.TimeOfDayMs(), 0);
  DateTime now;
  EXPECT_TRUE(DateTime::TryParse(Eval("Now()").AsString(), now));
  EXPECT_GE(now, today);
}

}  // namespace
}  // namespace vantor::providers::file
