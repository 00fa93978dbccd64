#include <gtest/gtest.h>

#include <filesystem>

#include "data/ado_catalog.h"
#include "data/base_kind.h"
#include "formats/dbf/dbf_storage.h"
#include "tests/support/temp_dir.h"

namespace vantor::data {
namespace {

using vantor::testing::TempDir;

TEST(Catalog, ColumnsOfATableAreListedAppendedAndDeleted) {
  TempDir dir;
  auto s = formats::dbf::OpenDirectory(dir.str());
  formats::ColumnInfo id{"ID", formats::adInteger};
  s->CreateTable("items", {id});
  s->InsertRow("items", {Value(int32_t{5})});
  s.reset();

  TAdoCatalog catalog;
  catalog.SetActiveConnection(ConnectionStringFor(btDbf, dir / "items.dbf"));
  EXPECT_FALSE(catalog.CreatedFile());
  EXPECT_EQ(catalog.Tables(), std::vector<std::string>{"items"});
  catalog.AppendColumn("items", {"NAME", formats::adVarWChar, 12});
  catalog.AppendColumn("items", {"PRICE", formats::adNumeric, 0, 2, 10});
  auto columns = catalog.Columns("items");
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[1].Name, "NAME");
  EXPECT_EQ(columns[1].DefinedSize, 12);
  EXPECT_EQ(columns[2].NumericScale, 2);
  catalog.DeleteColumn("items", "NAME");
  EXPECT_EQ(catalog.Columns("items").size(), 2u);
  // The row stays through the changes, and the statement connection sees the new structure.
  EXPECT_EQ(catalog.ActiveConnection().Execute("update items set PRICE = 1.25 where ID = 5"), 1);
  EXPECT_THROW(catalog.Columns("missing"), Exception);
  EXPECT_THROW(catalog.DeleteColumn("items", "missing"), Exception);
}

TEST(Catalog, NewFiles) {
  TempDir dir;
  TAdoCatalog catalog;
  catalog.Create("Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0;Data Source=" + dir / "a.xls");
  EXPECT_TRUE(std::filesystem::exists(dir / "a.xls"));
  EXPECT_THROW(catalog.Create("Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0;Data Source=" +
                              dir / "a.xls"),
               Exception);
  // Access files cannot be made yet: the error says so and no file appears.
  EXPECT_THROW(catalog.Create(ConnectionStringFor(btAccess, dir / "n.mdb")), Exception);
  EXPECT_FALSE(std::filesystem::exists(dir / "n.mdb"));
  EXPECT_THROW(catalog.Create(""), Exception);
  // Connecting to a workbook that is not there makes it, as the Excel driver does.
  TAdoCatalog other;
  other.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0;Data Source=" +
                            dir / "b.xls");
  EXPECT_TRUE(other.CreatedFile());
  EXPECT_TRUE(other.Tables().empty());
}

}  // namespace
}  // namespace vantor::data
