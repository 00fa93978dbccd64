#include <gtest/gtest.h>

#include "providers/file/jet_sql.h"
#include "providers/provider.h"

namespace vantor::providers::file {
namespace {

TEST(JetSql, NamesStringsDatesAndOperatorsBecomeSqlite) {
  EXPECT_EQ(TranslateJet("select * from [order details]"), "select * from \"order details\"");
  EXPECT_EQ(TranslateJet("select * from [a]]b\"c]"), "select * from \"a]b\"\"c\"");
  EXPECT_EQ(TranslateJet("select \"it's\" & [x] from t"), "select 'it''s' || \"x\" from t");
  EXPECT_EQ(TranslateJet("select * from t where d > #1/2/2003# and e = True"),
            "select * from t where d > '2003-01-02' and e = 1");
  EXPECT_EQ(TranslateJet("select * from t where n like 'a*b?'"), "select * from t where n like 'a%b_'");
}

TEST(JetSql, TopBecomesLimitOfItsOwnSelect) {
  EXPECT_EQ(TranslateJet("select top 5 * from t order by a"), "select * from t order by a LIMIT 5");
  EXPECT_EQ(TranslateJet("select distinct top 2 a from t where a in (select top 1 b from u)"),
            "select distinct a from t where a in (select b from u LIMIT 1) LIMIT 2");
  EXPECT_THROW(TranslateJet("select top 5 percent * from t"), ProviderError);
}

TEST(JetSql, UnterminatedPartsAndSecondStatementsAreRefused) {
  EXPECT_THROW(TranslateJet("select * from [t"), ProviderError);
  EXPECT_THROW(TranslateJet("select 'abc"), ProviderError);
  EXPECT_THROW(TranslateJet("select #1/2/2003"), ProviderError);
  EXPECT_THROW(TranslateJet("select #13/45/2003#"), ProviderError);
  EXPECT_THROW(TranslateJet("select 1; drop table t"), ProviderError);
}

TEST(JetSql, SelectIntoTargetsOfTheExportStatements) {
  auto text = ParseJetStatement(R"(select * into [Text;Database=C:\out\].orders.txt from [orders])");
  ASSERT_EQ(text.kind, ParsedStatement::SelectInto);
  EXPECT_EQ(text.into.kind, IntoTarget::Text);
  EXPECT_EQ(text.into.database, R"(C:\out\)");
  EXPECT_EQ(text.into.table, "orders.txt");
  EXPECT_EQ(text.sqlite_sql, R"(select *  from "orders")");

  auto excel = ParseJetStatement(R"(select * into [excel 8.0;Database=C:\out\book.xls].[a]]b] from [a]]b])");
  EXPECT_EQ(excel.into.kind, IntoTarget::Excel);
  EXPECT_EQ(excel.into.database, R"(C:\out\book.xls)");
  EXPECT_EQ(excel.into.table, "a]b");

  auto dbase = ParseJetStatement(R"(select * into [Dbase 5.0;Database=C:\out\].orders.dbf from [orders])");
  EXPECT_EQ(dbase.into.kind, IntoTarget::Dbase);
  EXPECT_EQ(dbase.into.table, "orders.dbf");

  auto same = ParseJetStatement("select a, b into [new t] from t where a > 1");
  EXPECT_EQ(same.into.kind, IntoTarget::SameDatabase);
  EXPECT_EQ(same.into.table, "new t");
  EXPECT_THROW(ParseJetStatement("select * into [Paradox;Database=x].t from t"), ProviderError);
}

TEST(JetSql, TableStatementsAreTakenApart) {
  auto create = ParseJetStatement("create table [my table] (id int, name text(50) not null, price money, "
                                  "amount decimal(10,2), made datetime, ok bit, n counter primary key)");
  ASSERT_EQ(create.kind, ParsedStatement::CreateTable);
  EXPECT_EQ(create.table, "my table");
  ASSERT_EQ(create.columns.size(), 7u);
  EXPECT_EQ(create.columns[0].ado_type, formats::adInteger);
  EXPECT_EQ(create.columns[1].ado_type, formats::adVarWChar);
  EXPECT_EQ(create.columns[1].defined_size, 50);
  EXPECT_FALSE(create.columns[1].nullable);
  EXPECT_EQ(create.columns[2].ado_type, formats::adCurrency);
  EXPECT_EQ(create.columns[3].precision, 10);
  EXPECT_EQ(create.columns[3].numeric_scale, 2);
  EXPECT_EQ(create.columns[4].ado_type, formats::adDate);
  EXPECT_EQ(create.columns[5].ado_type, formats::adBoolean);
  EXPECT_TRUE(create.columns[6].auto_increment);
  EXPECT_TRUE(create.columns[6].primary_key);

  EXPECT_EQ(ParseJetStatement("Drop table [x]]y]").table, "x]y");
  auto add = ParseJetStatement("alter table t add column c text(10)");
  EXPECT_EQ(add.kind, ParsedStatement::AddColumn);
  auto drop = ParseJetStatement("ALTER TABLE t DROP c");
  EXPECT_EQ(drop.kind, ParsedStatement::DropColumn);
  EXPECT_EQ(drop.column, "c");
  EXPECT_THROW(ParseJetStatement("create table t (a blob_of_things)"), ProviderError);
  EXPECT_THROW(ParseJetStatement("create table t (a text(0))"), ProviderError);
  EXPECT_THROW(ParseJetStatement("create table t (a int"), ProviderError);
}

}  // namespace
}  // namespace vantor::providers::file
