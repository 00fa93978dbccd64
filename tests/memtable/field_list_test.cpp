// Parsing field-name lists into key field lists, and applying an option to some of their fields.

#include <gtest/gtest.h>

#include <string>

#include "dataset/field.h"
#include "memtable/field_list.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"

namespace vantor {
namespace {

class FieldListTest : public ::testing::Test {
 protected:
  FieldListTest() {
    table.FieldDefs().Add("Name", ftString, 20);
    table.FieldDefs().Add("Qty", ftInteger);
    table.FieldDefs().Add("Notes", ftMemo);
    table.FieldDefs().Add("Photo", ftBlob);
    table.FieldDefs().Add("Code", ftBytes, 8);
    table.FieldDefs().Add("Wide", ftWideMemo);
    table.FieldDefs().Add("a:b", ftInteger);
    table.FieldDefs().Add("x;y", ftInteger);
    table.Open();
  }

  std::string ErrorOf(const std::string& names) {
    try {
      ParseFieldList(table, list, names);
    } catch (const EDatabaseError& e) {
      return e.what();
    }
    return "no error";
  }

  TMemTable table;
  TMemFieldList list;
};

TEST_F(FieldListTest, NamesAreTrimmedAndTakeTheirPlaceInTheRecord) {
  ParseFieldList(table, list, "  Name ;\tQty  ");
  ASSERT_EQ(list.Count, 2);
  EXPECT_EQ(list.Fields[0], &table.FieldByName("Name"));
  EXPECT_EQ(list.Fields[1], &table.FieldByName("Qty"));
  EXPECT_EQ(list.FieldNo[0], 1);
  EXPECT_EQ(list.FieldNo[1], 2);
  EXPECT_EQ(list.DataOffset[0], 0);
  EXPECT_EQ(list.DataOffset[1], 22);
  EXPECT_EQ(list.Options[0], 0);

  ParseFieldList(table, list, "qty;");  // names match without regard to case; a trailing ";" adds nothing
  ASSERT_EQ(list.Count, 1);
  EXPECT_EQ(list.Fields[0], &table.FieldByName("Qty"));

  ParseFieldList(table, list, "");
  EXPECT_EQ(list.Count, 0);
}

TEST_F(FieldListTest, OptionLettersAfterTheColonInEitherCase) {
  ParseFieldList(table, list, "Name:dc;Qty:xNpL; Wide : Dz");
  ASSERT_EQ(list.Count, 3);
  EXPECT_EQ(list.Options[0], mtifoDescending | mtifoCaseInsensitive);
  EXPECT_EQ(list.Options[1], mtifoIgnoreNull | mtifoPartial | mtifoIgnoreLocale);
  EXPECT_EQ(list.Options[2], mtifoDescending);
  EXPECT_EQ(ParseOptionLetters("cCdD"), mtifoCaseInsensitive | mtifoDescending);
  EXPECT_EQ(ParseOptionLetters("xyz123"), 0);
}

TEST_F(FieldListTest, UnknownNamesAndNamesWithSeparators) {
  EXPECT_EQ(ErrorOf("Name;Nope"), "Field 'Nope' not found");
  // A colon or semicolon inside a field name splits it, so such a field cannot be named here.
  EXPECT_EQ(ErrorOf("a:b"), "Field 'a' not found");
  EXPECT_EQ(ErrorOf("x;y"), "Field 'x' not found");
  EXPECT_EQ(ErrorOf("Name;;Qty"), "Field '' not found");
}

TEST_F(FieldListTest, BinaryAndBlobFieldsCannotBeKeys) {
  EXPECT_EQ(ErrorOf("Notes"), "Can't index on field Notes");
  EXPECT_EQ(ErrorOf("Qty;Photo"), "Can't index on field Photo");
  EXPECT_EQ(ErrorOf("Code"), "Can't index on field Code");
  table.FieldByName("Notes").SetDisplayLabel("Remarks");
  EXPECT_EQ(ErrorOf("Notes"), "Can't index on field Remarks");
  // A wide memo is accepted (its values all compare equal).
  ParseFieldList(table, list, "Wide");
  EXPECT_EQ(list.Count, 1);
}

TEST_F(FieldListTest, AtMost256Fields) {
  std::string names = "Qty";
  for (int i = 1; i < 256; ++i) names += ";Qty";
  ParseFieldList(table, list, names);
  EXPECT_EQ(list.Count, 256);
  names += ";Name";
  try {
    ParseFieldList(table, list, names);
    FAIL() << "257 fields accepted";
  } catch (const EMemTableError& e) {
    EXPECT_STREQ(e.what(), "A field list names more than 256 fields");
  }
}

TEST_F(FieldListTest, ApplyFieldOptionSetsNamedFieldsAndClearsTheOthers) {
  ParseFieldList(table, list, "Name;Qty:D");
  ApplyFieldOption(table, list, mtifoCaseInsensitive, "qty");
  EXPECT_EQ(list.Options[0], 0);
  EXPECT_EQ(list.Options[1], mtifoDescending | mtifoCaseInsensitive);
  ApplyFieldOption(table, list, mtifoDescending, "Name");
  EXPECT_EQ(list.Options[0], mtifoDescending);
  EXPECT_EQ(list.Options[1], mtifoCaseInsensitive);
  ApplyFieldOption(table, list, mtifoCaseInsensitive, "");
  EXPECT_EQ(list.Options[1], 0);
  EXPECT_THROW(ApplyFieldOption(table, list, mtifoPartial, "Missing"), EDatabaseError);
}

TEST(FieldListCalcTest, CalculatedFieldSitsInTheCalculatedAreaAndTurnsOnRecalcOnIndex) {
  TMemTable table;
  auto id = std::make_unique<TIntegerField>();
  id->SetFieldName("Id");
  table.AddField(std::move(id));
  auto label = std::make_unique<TStringField>(10);
  label->SetFieldName("Label");
  label->SetFieldKind(fkCalculated);
  TField& calc = table.AddField(std::move(label));
  table.Open();

  TMemFieldList list;
  EXPECT_FALSE(table.RecalcOnIndex());
  ParseFieldList(table, list, "Id;Label");
  EXPECT_TRUE(table.RecalcOnIndex());
  EXPECT_EQ(list.FieldNo[1], 0);
  EXPECT_EQ(list.DataOffset[1], table.Store().CalcAreaStart() + calc.Offset());
}

}  // namespace
}  // namespace vantor
