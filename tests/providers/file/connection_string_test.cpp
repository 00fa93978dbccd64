#include <gtest/gtest.h>

#include "providers/connection_string.h"
#include "providers/provider.h"

namespace vantor::providers {
namespace {

TEST(ConnectionString, TheThreeSessionTemplatesNameTheirDatabases) {
  auto access = ResolveConnectionString(R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\data\shop.mdb")");
  EXPECT_EQ(access.kind, DatabaseKind::AccessFile);
  EXPECT_EQ(access.path, "C:/data/shop.mdb");

  auto excel = ResolveConnectionString(
      R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\data\book.xls";Extended Properties=Excel 8.0;Persist Security Info=False)");
  EXPECT_EQ(excel.kind, DatabaseKind::ExcelWorkbook);
  EXPECT_EQ(excel.path, "C:/data/book.xls");

  auto fox = ResolveConnectionString(
      R"(Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="DSN=Visual FoxPro Database;UID=;SourceDB=C:\data\fox\;SourceType=DBF;Exclusive=No;BackgroundFetch=Yes;Collate=Machine;Null=Yes;Deleted=Yes;")");
  EXPECT_EQ(fox.kind, DatabaseKind::DbfDirectory);
  EXPECT_EQ(fox.path, "C:/data/fox/");

  // A .dbf opened by its bare name has an empty directory part: the current directory.
  auto bare = ResolveConnectionString(
      R"(Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="DSN=Visual FoxPro Database;UID=;SourceDB=;SourceType=DBF;")");
  EXPECT_EQ(bare.path, ".");
  EXPECT_THROW(ResolveConnectionString(R"(Provider=MSDASQL.1;Extended Properties="DSN=Other;SourceDB=C:\x\")"),
               ProviderError);
}

TEST(ConnectionString, NewWorkbookStringWithoutQuotesAndSemicolonsInsideQuotes) {
  auto excel = ResolveConnectionString(
      "Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0;Data Source=/data/x/new.xls");
  EXPECT_EQ(excel.kind, DatabaseKind::ExcelWorkbook);
  EXPECT_EQ(excel.path, "/data/x/new.xls");
  auto keys = ParseConnectionString(R"(A="x;y=z";b = 'it''s' ; C=)");
  EXPECT_EQ(keys["A"], "x;y=z");
  EXPECT_EQ(keys["B"], "it's");
  EXPECT_EQ(keys["C"], "");
}

TEST(ConnectionString, BadStringsFailWithAMessage) {
  EXPECT_THROW(ResolveConnectionString(""), ProviderError);
  EXPECT_THROW(ResolveConnectionString("   "), ProviderError);
  EXPECT_THROW(ResolveConnectionString("Provider=Microsoft.Jet.OLEDB.4.0"), ProviderError);
  EXPECT_THROW(ResolveConnectionString(R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\x)"), ProviderError);
  EXPECT_THROW(ResolveConnectionString("garbage"), ProviderError);
  try {
    ResolveConnectionString("Provider=SQLOLEDB.1;Data Source=server;Initial Catalog=shop");
    FAIL() << "a server string was accepted";
  } catch (const ProviderError& e) {
    EXPECT_STREQ(e.what(), "no provider for SQLOLEDB.1");
  }
}

}  // namespace
}  // namespace vantor::providers
