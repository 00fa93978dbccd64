// Field objects: typed access, conversion errors that name the field, blobs, calculated fields,
// persistent fields and object fields.

#include <gtest/gtest.h>

#include "dataset/errors.h"
#include "rows_fixture.h"

namespace vantor {
namespace {

using testing::MakePeople;

std::unique_ptr<TRowsDataSet> MakeTyped() {
  auto ds = std::make_unique<TRowsDataSet>();
  ds->FieldDefs().Add("Small", ftSmallint);
  ds->FieldDefs().Add("Price", ftCurrency);
  ds->FieldDefs().Add("Amount", ftBCD, 2).SetPrecision(6);
  ds->FieldDefs().Add("When", ftDateTime);
  ds->FieldDefs().Add("Flag", ftBoolean);
  ds->FieldDefs().Add("Wide", ftWideString, 4);
  ds->FieldDefs().Add("Id", ftGuid, 38);
  ds->SetRows({TRowsDataSet::Row(7)});
  return ds;
}

TEST(FieldTest, TypedAccessConvertsExactly) {
  auto ds = MakeTyped();
  ds->Open();
  ds->Edit();
  TField& small = ds->FieldByName("Small");
  small.SetAsString("-12");
  EXPECT_EQ(small.AsInteger(), -12);
  EXPECT_EQ(small.AsFloat(), -12.0);
  EXPECT_STREQ(small.ClassName(), "TSmallintField");

  TField& price = ds->FieldByName("Price");
  price.SetAsString("19.99");
  EXPECT_EQ(price.AsCurrency().scaled, 199900);
  EXPECT_EQ(price.AsString(), "19.99");
  EXPECT_NEAR(price.AsFloat(), 19.99, 1e-12);

  TField& amount = ds->FieldByName("Amount");
  amount.SetAsString("1234.56");
  EXPECT_EQ(amount.AsBCD().ToString(), "1234.56");

  TField& when = ds->FieldByName("When");
  when.SetAsString("1850-07-04 08:09:10");
  EXPECT_EQ(when.AsDateTime().ToIsoSeconds(), "1850-07-04 08:09:10");

  TField& flag = ds->FieldByName("Flag");
  flag.SetAsBoolean(true);
  EXPECT_EQ(flag.DisplayText(), "True");
  static_cast<TBooleanField&>(flag).SetDisplayValues("是;否");
  flag.SetAsString("否");
  EXPECT_FALSE(flag.AsBoolean());
  EXPECT_EQ(flag.DisplayText(), "否");

  TField& wide = ds->FieldByName("Wide");
  wide.SetAsString("数据库系统");  // five characters into four
  EXPECT_EQ(wide.AsString(), "数据库系");

  TField& id = ds->FieldByName("Id");
  id.SetAsString("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  EXPECT_EQ(id.AsString(), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  ds->Post();
  EXPECT_EQ(ds->Rows()[0][1].AsCurrency().scaled, 199900);
}

TEST(FieldTest, BadValuesAreRefusedNamingTheField) {
  auto ds = MakeTyped();
  ds->Open();
  ds->Edit();
  const auto error = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(error([&] { ds->FieldByName("Small").SetAsInteger(70000); }),
            "70000 is not a valid value for field 'Small'. The allowed range is -32768 to 32767");
  EXPECT_EQ(error([&] { ds->FieldByName("Small").SetAsString("abc"); }),
            "'abc' is not a valid integer value for field 'Small'");
  EXPECT_NE(error([&] { ds->FieldByName("Amount").SetAsString("123456.7"); }).find("Amount"), std::string::npos);
  EXPECT_NE(error([&] { ds->FieldByName("Id").SetAsString("nonsense"); }).find("'Id'"), std::string::npos);
  ds->FieldByName("Flag").SetAsBoolean(true);
  EXPECT_EQ(error([&] { (void)ds->FieldByName("Flag").AsDateTime(); }), "Cannot access field 'Flag' as type DateTime");
  // A refused value leaves the old one in place.
  ds->FieldByName("Small").SetAsInteger(5);
  EXPECT_THROW(ds->FieldByName("Small").SetAsString("5.5"), EConvertError);
  EXPECT_EQ(ds->FieldByName("Small").AsInteger(), 5);
}

TEST(FieldTest, MemoTravelsThroughBlobStreams) {
  auto ds = MakePeople(1);
  ds->Open();
  TField& note = ds->FieldByName("Note");
  EXPECT_TRUE(note.IsNull());
  ds->Edit();
  {
    auto stream = static_cast<TBlobField&>(note).CreateStream(bmWrite);
    const std::string text = "第一行\n第二行";
    stream->WriteAll(text.data(), static_cast<int64_t>(text.size()));
  }
  EXPECT_EQ(note.AsString(), "第一行\n第二行");
  EXPECT_EQ(static_cast<TBlobField&>(note).BlobSize(), 19);
  ds->Post();
  EXPECT_EQ(ds->Rows()[0][2], Value("第一行\n第二行"));
  EXPECT_THROW(static_cast<TBlobField&>(note).CreateStream(bmWrite), EDatabaseError);  // browsing
}

TEST(FieldTest, CalculatedFieldsFollowTheRecord) {
  auto ds = MakePeople(2);
  ds->FieldDefs().Add("Price", ftInteger);
  ds->SetRows({{Value(int32_t{1}), Value("a"), Value(), Value(int32_t{10})},
               {Value(int32_t{2}), Value("b"), Value(), Value(int32_t{20})}});
  ds->CreatePersistentFields();
  auto doubled = std::make_unique<TIntegerField>();
  doubled->SetFieldName("Doubled");
  doubled->SetFieldKind(fkCalculated);
  TField& calc = ds->AddField(std::move(doubled));
  ds->OnCalcFields = [](TDataSet& d) {
    d.FieldByName("Doubled").SetAsInteger(d.FieldByName("Price").AsInteger() * 2);
  };
  ds->Open();
  EXPECT_EQ(calc.FieldNo(), 0);
  EXPECT_EQ(calc.AsInteger(), 20);
  ds->Next();
  EXPECT_EQ(calc.AsInteger(), 40);
  ds->Edit();
  ds->FieldByName("Price").SetAsInteger(7);  // a data change recomputes while editing
  EXPECT_EQ(calc.AsInteger(), 14);
  ds->Cancel();
  ds->Close();
  EXPECT_EQ(ds->FieldCount(), 5);  // persistent fields stay after a close
}

TEST(FieldTest, ObjectFieldsNumberTheirChildren) {
  TRowsDataSet ds;
  ds.FieldDefs().Add("Code", ftInteger);
  TFieldDef& address = ds.FieldDefs().Add("Address", ftADT);
  address.ChildDefs().Add("City", ftString, 10);
  address.ChildDefs().Add("Zip", ftString, 6);
  TFieldDef& scores = ds.FieldDefs().Add("Scores", ftArray, 2);
  scores.ChildDefs().Add("Score", ftInteger);
  ds.FieldDefs().Add("Last", ftInteger);
  ds.SetRows({{Value(int32_t{1}), Value(), Value("Beijing"), Value("100000"), Value(), Value(int32_t{90}),
               Value(int32_t{80}), Value(int32_t{7})}});
  ds.Open();
  EXPECT_EQ(ds.FieldByName("Address").FieldNo(), 2);
  EXPECT_EQ(ds.FieldByName("Address.City").FieldNo(), 3);
  EXPECT_EQ(ds.FieldByName("Address.City").AsString(), "Beijing");
  EXPECT_EQ(ds.FieldByName("Scores[1]").AsInteger(), 80);
  EXPECT_EQ(ds.FieldByName("Last").FieldNo(), 8);
  EXPECT_EQ(ds.FieldByNumber(6)->FullName(), "Scores[0]");
  EXPECT_EQ(ds.FieldByName("Address").DisplayText(), "(Beijing, 100000)");
}

}  // namespace
}  // namespace vantor
