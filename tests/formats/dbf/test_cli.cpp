// vantor-cli over a directory of .dbf tables: tables, schema and dump as the output contract says, and
// errors on stderr with exit status 1.

#include <gtest/gtest.h>

#include <cstdlib>

#include "dbf_test_support.h"
#include "formats/dbf/dbf_storage.h"

namespace vantor::formats::dbf {
namespace {

using testing::RunCommand;

std::string Cli(const std::string& args, int& status) {
  return RunCommand(std::string(VANTOR_CLI_PATH) + " " + args + " 2>/dev/null", status);
}

TEST(DbfCli, TablesSchemaAndDumpOfAFilePathMeanItsDirectory) {
  testing::ScratchDir dir;
  ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
  {
    auto storage = OpenDirectory(dir.str());
    ColumnInfo name{"名称", adVarWChar, 10};
    ColumnInfo price{"price", adNumeric};
    price.precision = 8;
    price.numeric_scale = 2;
    ColumnInfo when{"when", adDate};
    ColumnInfo ok{"ok", adBoolean};
    storage->CreateTable("goods", {name, price, when, ok});
    storage->CreateTable("empty", {ColumnInfo{"x", adInteger}});
    storage->InsertRow("goods", {Value("苹果, \"红\""), Value(TBcd::Parse("3.50")),
                                 Value(DateTime::FromParts({2024, 5, 6, 7, 8, 9})), Value(true)});
    storage->InsertRow("goods", {Value(), Value(), Value(), Value()});
  }
  ::unsetenv("LC_ALL");
  int status = 0;
  EXPECT_EQ(Cli(dir.str(), status), "");  // no command: usage on stderr
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Cli("tables " + dir.str(), status), "empty\ngoods\n");
  EXPECT_EQ(status, 0);
  const std::string file = (dir.path() / "goods.dbf").string();
  EXPECT_EQ(Cli("schema " + file + " GOODS", status), "名称\t129\t10\t0\nprice\t131\t10\t2\nwhen\t135\t0\t0\nok\t11\t0\t0\n");
  EXPECT_EQ(Cli("dump " + file + " goods", status),
            "\"名称\",\"price\",\"when\",\"ok\"\r\n"
            "\"苹果, \"\"红\"\"\",3.5,2024-05-06 07:08:09,1\r\n"
            ",,,\r\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Cli("dump " + file + " missing", status), "");
  EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace vantor::formats::dbf
