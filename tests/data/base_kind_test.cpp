#include <gtest/gtest.h>

#include "data/base_kind.h"
#include "data/vt_base.h"

namespace vantor::data {
namespace {

TEST(BaseKind, KindComesFromTheLastExtensionOnly) {
  EXPECT_EQ(getbasetype(R"(C:\x\SHOP.MDB)"), btAccess);
  EXPECT_EQ(getbasetype("/data/Book.Xls"), btExcel);
  EXPECT_EQ(getbasetype(R"(C:\data\fox\items.dbf)"), btDbf);
  EXPECT_EQ(getbasetype("book.xlsx"), btOther);
  EXPECT_EQ(getbasetype("notes.txt"), btOther);
  EXPECT_EQ(getbasetype("noextension"), btOther);
  EXPECT_EQ(getbasetype("a.mdb.bak"), btOther);
  EXPECT_EQ(getbasetype(R"(C:\dir.mdb\file)"), btOther);
  EXPECT_EQ(getbasetype("/dir.xls/file"), btOther);
}

TEST(BaseKind, TheThreeConnectionStringsCharacterForCharacter) {
  EXPECT_EQ(ConnectionStringFor(btAccess, R"(C:\data\shop.mdb)"),
            R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\data\shop.mdb")");
  EXPECT_EQ(ConnectionStringFor(btExcel, R"(C:\data\book.xls)"),
            R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\data\book.xls";Extended Properties=Excel 8.0;Persist Security Info=False)");
  EXPECT_EQ(ConnectionStringFor(btDbf, R"(C:\data\fox\items.dbf)"),
            R"(Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="DSN=Visual FoxPro Database;UID=;SourceDB=C:\data\fox\;SourceType=DBF;Exclusive=No;BackgroundFetch=Yes;Collate=Machine;Null=Yes;Deleted=Yes;")");
  EXPECT_EQ(ConnectionStringFor(btAccess, R"(C:\x\SHOP.MDB)"),
            R"(Provider=Microsoft.Jet.OLEDB.4.0;Data Source="C:\x\SHOP.MDB")");
  EXPECT_EQ(ConnectionStringFor(btOther, "x.txt"), "");
}

TEST(BaseKind, ExportStatementsBracketEveryName) {
  EXPECT_EQ(ExportStatement("orders", R"(C:\out\orders.txt)", 1),
            R"(select * into [Text;Database=C:\out\].[orders.txt] from [orders])");
  EXPECT_EQ(ExportStatement("orders", R"(C:\out\book.xls)", 2),
            R"(select * into [excel 8.0;Database=C:\out\book.xls].[orders] from [orders])");
  EXPECT_EQ(ExportStatement("orders", R"(C:\out\orders.dbf)", 3),
            R"(select * into [Dbase 5.0;Database=C:\out\].[orders.dbf] from [orders])");
  EXPECT_EQ(ExportStatement("a]b", "orders.txt", 1), "select * into [Text;Database=].[orders.txt] from [a]]b]");
  EXPECT_EQ(ExportStatement("orders", "x.txt", 4), "");
  EXPECT_EQ(BracketName("order details"), "[order details]");
  EXPECT_EQ(BracketName("]]"), "[]]]]]");
}

}  // namespace
}  // namespace vantor::data
