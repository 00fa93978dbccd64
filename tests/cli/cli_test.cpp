#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "formats/dbf/dbf_storage.h"
#include "formats/xls/xls_storage.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace vantor;
using namespace vantor::formats;
using vantor::testing::TempDir;

struct Result {
  int status = -1;
  std::string out;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Result Cli(const std::vector<std::string>& args) {
  std::string command = VANTOR_CLI_PATH;
  for (const auto& a : args) command += " " + Quote(a);
  command += " 2>&1";
  Result r;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class CliOverDbf : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = dbf::OpenDirectory(dir.str());
    ColumnInfo id{"ID", adInteger}, name{"NAME", adVarWChar, 10}, price{"PRICE", adCurrency};
    s->CreateTable("items", {id, name, price});
    s->InsertRow("items", {Value(int32_t{1}), Value("a,\"b\""), Value(Currency::FromScaled(12345))});
    s->InsertRow("items", {Value(int32_t{2}), Value(), Value(Currency::FromScaled(-1))});
  }
  TempDir dir;
};

TEST_F(CliOverDbf, QueryExecAndDumpKeepTheCsvContract) {
  EXPECT_EQ(Cli({"tables", dir.str()}).out, "items\n");
  Result q = Cli({"query", dir / "items.dbf", "select ID, NAME, PRICE from [items] order by ID desc"});
  EXPECT_EQ(q.status, 0);
  EXPECT_EQ(q.out, "\"ID\",\"NAME\",\"PRICE\"\r\n2,,-0.0001\r\n1,\"a,\"\"b\"\"\",1.2345\r\n");
  Result e = Cli({"exec", dir.str(), "update items set PRICE = PRICE * 2 where ID = 1"});
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.out, "1\n");
  EXPECT_EQ(Cli({"dump", dir.str(), "items"}).out, "\"ID\",\"NAME\",\"PRICE\"\r\n1,\"a,\"\"b\"\"\",2.469\r\n2,,-0.0001\r\n");
  const std::string fox = "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=Visual FoxPro "
                          "Database;UID=;SourceDB=" + dir.str() + "/;SourceType=DBF;\"";
  EXPECT_EQ(Cli({"query", fox, "select count(*) as N from items"}).out, "\"N\"\r\n2\r\n");
}

TEST_F(CliOverDbf, ErrorsGoToStandardErrorWithStatusOne) {
  Result missing = Cli({"query", dir.str(), "select * from [nothing]"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("vantor-cli: "), std::string::npos);
  EXPECT_EQ(Cli({"query", dir.str(), "update items set ID = 3 where 1 = 0"}).status, 1);
  EXPECT_EQ(Cli({"tables", dir / "none.mdb"}).status, 1);
  EXPECT_EQ(Cli({"export", dir.str(), "items", dir / "x.txt", "7"}).status, 1);
  EXPECT_EQ(Cli({"new", dir / "x.txt"}).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));
}

TEST_F(CliOverDbf, ExportAndNewWorkbook) {
  TempDir out;
  EXPECT_EQ(Cli({"export", dir.str(), "items", out / "items.txt", "1"}).status, 0);
  EXPECT_EQ(Cli({"dump", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + out.str() + ";Extended Properties=Text",
                 "items.txt"}).out,
            "\"ID\",\"NAME\",\"PRICE\"\r\n1,\"a,\"\"b\"\"\",1.2345\r\n2,,-0.0001\r\n");
  EXPECT_EQ(Cli({"export", dir.str(), "items", out / "book.xls", "2"}).status, 0);
  EXPECT_EQ(Cli({"tables", out / "book.xls"}).out, "items\n");
  EXPECT_EQ(Cli({"export", dir.str(), "items", out / "copy.dbf", "3"}).status, 0);
  EXPECT_EQ(Cli({"query", out / "copy.dbf", "select sum(PRICE) from copy"}).out, "\"sum(PRICE)\"\r\n1.2344\r\n");

  EXPECT_EQ(Cli({"new", out / "new.xls"}).status, 0);
  EXPECT_EQ(Cli({"schema", out / "new.xls", "tempsheet"}).out.substr(0, 3), "ID\t");
  EXPECT_EQ(Cli({"new", out / "new.xls"}).out, "vantor-cli: create excel error!\n");
}

}  // namespace
