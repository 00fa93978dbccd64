// The table dataset over the store: open, append, read back, edit, delete, bookmarks and blobs.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dataset/field.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"

namespace vantor {
namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

class MemTableTest : public ::testing::Test {
 protected:
  void Define(TMemPerformance performance = mtpfFast) {
    table.SetPerformance(performance);
    table.FieldDefs().Add("Id", ftInteger);
    table.FieldDefs().Add("Name", ftString, 30);
    table.FieldDefs().Add("Wide", ftWideString, 20);
    table.FieldDefs().Add("Price", ftCurrency);
    table.FieldDefs().Add("Amount", ftBCD, 4).SetPrecision(18);
    table.FieldDefs().Add("When", ftDateTime);
    table.FieldDefs().Add("Notes", ftMemo);
    table.FieldDefs().Add("Flag", ftBoolean);
  }
  void AppendRow(int32_t id, const std::string& name) {
    table.Append();
    table.FieldByName("Id").SetAsInteger(id);
    table.FieldByName("Name").SetAsString(name);
    table.Post();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (table.First(); !table.Eof(); table.Next()) names.push_back(table.FieldByName("Name").AsString());
    return names;
  }

  TMemTable table;
};

TEST_F(MemTableTest, OpenNeedsSupportedFieldDefinitions) {
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "There must be at least one field");
  EXPECT_FALSE(table.Active());
  table.FieldDefs().Add("Id", ftInteger);
  table.FieldDefs().Add("Cur", ftCursor);
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Fielddef Cur (Cur) Datatype 22 not supported.");
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.FieldCount(), 0);
}

TEST_F(MemTableTest, EmptyTable) {
  Define();
  table.Open();
  EXPECT_TRUE(table.Bof());
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.RecNo(), -1);
  EXPECT_TRUE(table.FieldByName("Name").IsNull());
  table.Close();
  EXPECT_EQ(ErrorOf([&] { table.RecordCount(); }), "Cannot perform this operation on a closed dataset");
}

TEST_F(MemTableTest, ValuesOfEveryKindReadBack) {
  for (TMemPerformance performance : {mtpfFast, mtpfBalanced, mtpfSmall}) {
    SCOPED_TRACE(performance);
    TMemTable t;
    t.SetPerformance(performance);
    t.FieldDefs().Add("Id", ftInteger);
    t.FieldDefs().Add("Name", ftString, 30);
    t.FieldDefs().Add("Wide", ftWideString, 20);
    t.FieldDefs().Add("Price", ftCurrency);
    t.FieldDefs().Add("Amount", ftBCD, 4).SetPrecision(18);
    t.FieldDefs().Add("When", ftDateTime);
    t.FieldDefs().Add("Notes", ftMemo);
    t.FieldDefs().Add("Flag", ftBoolean);
    t.Open();
    t.Append();
    t.FieldByName("Id").SetAsInteger(7);
    t.FieldByName("Name").SetAsString("北京 Beijing");
    t.FieldByName("Wide").SetAsWideString(u"宽字符 wide");
    t.FieldByName("Price").SetAsCurrency(Currency::Parse("12.3456"));
    t.FieldByName("Amount").SetAsBCD(TBcd::Parse("-98765.4321"));
    t.FieldByName("When").SetAsDateTime(DateTime::Parse("1899-12-30 13:45:10"));
    t.FieldByName("Notes").SetAsString(std::string(100000, 'n') + "end");
    t.FieldByName("Flag").SetAsBoolean(true);
    t.Post();
    t.Append();
    t.FieldByName("Id").SetAsInteger(8);
    t.Post();

    t.First();
    EXPECT_EQ(t.FieldByName("Id").AsInteger(), 7);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "北京 Beijing");
    EXPECT_EQ(t.FieldByName("Wide").AsWideString(), u"宽字符 wide");
    EXPECT_EQ(t.FieldByName("Price").AsCurrency(), Currency::Parse("12.3456"));
    EXPECT_EQ(t.FieldByName("Amount").AsBCD().ToString(), "-98765.4321");
    EXPECT_EQ(t.FieldByName("When").AsDateTime(), DateTime::Parse("1899-12-30 13:45:10"));
    EXPECT_EQ(t.FieldByName("Notes").AsString(), std::string(100000, 'n') + "end");
    EXPECT_TRUE(t.FieldByName("Flag").AsBoolean());
    t.Next();
    EXPECT_EQ(t.FieldByName("Id").AsInteger(), 8);
    for (const char* name : {"Name", "Wide", "Price", "Amount", "When", "Notes", "Flag"})
      EXPECT_TRUE(t.FieldByName(name).IsNull()) << name;
  }
}

TEST_F(MemTableTest, RecordNumbersFollowRowOrder) {
  Define();
  table.Open();
  AppendRow(1, "one");
  AppendRow(2, "two");
  AppendRow(3, "three");
  EXPECT_EQ(table.RecordCount(), 3);
  table.First();
  EXPECT_EQ(table.RecNo(), 1);
  table.Next();
  EXPECT_EQ(table.RecNo(), 2);
  table.Delete();  // row 2
  EXPECT_EQ(table.FieldByName("Name").AsString(), "three");
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_EQ(table.RecordCount(), 2);
  table.SetRecNo(1);
  EXPECT_EQ(table.FieldByName("Name").AsString(), "one");
  table.Last();
  table.Delete();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "one");
  EXPECT_EQ(Names(), (std::vector<std::string>{"one"}));
}

TEST_F(MemTableTest, InsertGoesInFrontOfTheCurrentRow) {
  Define();
  table.Open();
  AppendRow(1, "a");
  AppendRow(2, "c");
  table.Last();
  table.Insert();
  table.FieldByName("Name").SetAsString("b");
  table.Post();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "b");
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c"}));
  table.First();
  table.InsertRecord({Value(int32_t{0}), Value("first")});
  EXPECT_EQ(Names(), (std::vector<std::string>{"first", "a", "b", "c"}));
  table.AppendRecord({Value(int32_t{9}), Value("last")});
  EXPECT_EQ(Names(), (std::vector<std::string>{"first", "a", "b", "c", "last"}));
}

TEST_F(MemTableTest, EditingSetsChangeStateOnlyWhenSomethingChanged) {
  Define();
  table.Open();
  AppendRow(1, "a");
  AppendRow(2, "b");
  table.First();
  table.Edit();
  table.Post();
  EXPECT_EQ(table.RowRecord(0)->ChangeState, csUnchanged);
  table.Edit();
  table.FieldByName("Name").SetAsString("changed");
  table.Post();
  EXPECT_EQ(table.RowRecord(0)->ChangeState, csModified);
  EXPECT_EQ(Names(), (std::vector<std::string>{"changed", "b"}));
  EXPECT_TRUE(table.Store().DataModified());
}

TEST_F(MemTableTest, CancelKeepsTheStoredValues) {
  Define(mtpfBalanced);
  table.Open();
  AppendRow(1, "a long name held in a block");
  table.Edit();
  table.FieldByName("Name").SetAsString("edited");
  table.FieldByName("Notes").SetAsString("new memo");
  table.Cancel();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "a long name held in a block");
  EXPECT_TRUE(table.FieldByName("Notes").IsNull());
}

TEST_F(MemTableTest, MemoThroughABlobStream) {
  Define();
  table.Open();
  table.Append();
  table.FieldByName("Notes").SetAsString("first text");
  table.Post();

  table.Edit();
  {
    auto* notes = dynamic_cast<TBlobField*>(&table.FieldByName("Notes"));
    ASSERT_NE(notes, nullptr);
    auto stream = notes->CreateStream(bmWrite);
    stream->WriteAll("second", 6);
  }
  EXPECT_EQ(table.FieldByName("Notes").AsString(), "second");
  table.Cancel();
  EXPECT_EQ(table.FieldByName("Notes").AsString(), "first text");

  table.Edit();
  table.FieldByName("Notes").SetAsString("third");
  table.Post();
  table.First();
  EXPECT_EQ(table.FieldByName("Notes").AsString(), "third");
  EXPECT_EQ(dynamic_cast<TBlobField&>(table.FieldByName("Notes")).BlobSize(), 5);

  table.Edit();
  table.FieldByName("Notes").Clear();
  table.Post();
  EXPECT_TRUE(table.FieldByName("Notes").IsNull());
  EXPECT_EQ(ErrorOf([&] { dynamic_cast<TBlobField&>(table.FieldByName("Notes")).CreateStream(bmWrite); }),
            "Dataset is not in edit mode.");
}

TEST_F(MemTableTest, WritesOutsideEditingAndToReadOnlyFieldsAreRefused) {
  Define();
  table.Open();
  AppendRow(1, "a");
  EXPECT_EQ(ErrorOf([&] { table.FieldByName("Name").SetAsString("x"); }), "Dataset is not in edit mode.");
  table.FieldByName("Name").SetReadOnly(true);
  table.Edit();
  EXPECT_EQ(ErrorOf([&] { table.FieldByName("Name").SetAsString("x"); }), "Field Name is read only");
  table.Cancel();
  table.SetReadOnly(true);
  EXPECT_THROW(table.Edit(), EDatabaseError);
  EXPECT_EQ(table.FieldByName("Name").AsString(), "a");
}

TEST_F(MemTableTest, RequiredFieldMustHaveAValue) {
  table.FieldDefs().Add("Id", ftInteger, 0, true);
  table.FieldDefs().Add("Name", ftString, 10);
  table.Open();
  table.Append();
  table.FieldByName("Name").SetAsString("x");
  EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Field 'Id' must have a value");
  EXPECT_EQ(table.State(), dsInsert);
  table.FieldByName("Id").SetAsInteger(1);
  table.Post();
  EXPECT_EQ(table.RecordCount(), 1);
}

TEST_F(MemTableTest, AutoIncrementContinuesFromTheHighestValue) {
  table.FieldDefs().Add("Id", ftAutoInc);
  table.FieldDefs().Add("Name", ftString, 10);
  table.Open();
  table.Append();
  EXPECT_EQ(table.FieldByName("Id").AsInteger(), 0) << "first value is AutoIncMinValue";
  table.Post();
  for (int32_t id : {5, 9}) {
    table.Append();
    table.FieldByName("Id").SetAsInteger(id);
    table.Post();
  }
  table.Append();
  EXPECT_EQ(table.FieldByName("Id").AsInteger(), 10);
  table.Cancel();

  table.Close();
  table.SetAutoIncMinValue(100);
  table.Open();
  table.Append();
  EXPECT_EQ(table.FieldByName("Id").AsInteger(), 100);
  table.Cancel();
}

TEST_F(MemTableTest, BookmarksSurviveEditsButNotDeletesOrReopening) {
  Define();
  table.Open();
  AppendRow(1, "a");
  AppendRow(2, "b");
  AppendRow(3, "c");
  table.First();
  const TBookmark first = table.GetBookmark();
  table.Next();
  const TBookmark second = table.GetBookmark();
  table.Last();
  EXPECT_TRUE(table.BookmarkValid(first));
  EXPECT_LT(table.CompareBookmarks(first, second), 0);
  EXPECT_GT(table.CompareBookmarks(second, first), 0);
  table.GotoBookmark(second);
  EXPECT_EQ(table.FieldByName("Name").AsString(), "b");

  table.Delete();
  EXPECT_FALSE(table.BookmarkValid(second));
  EXPECT_EQ(table.CompareBookmarks(first, second), 0);
  EXPECT_EQ(ErrorOf([&] { table.GotoBookmark(second); }), "Bookmark -200 not found.");
  // A new record in the freed slot is not mistaken for the deleted one.
  AppendRow(4, "d");
  EXPECT_FALSE(table.BookmarkValid(second));

  table.Close();
  table.Open();
  EXPECT_FALSE(table.BookmarkValid(first));
  EXPECT_FALSE(table.BookmarkValid(TBookmark("junk", 4)));
}

TEST_F(MemTableTest, CloseDiscardsRowsAndReopenStartsEmpty) {
  Define();
  table.Open();
  AppendRow(1, "a");
  const int32_t stamp = table.Store().StoreStamp();
  table.Close();
  EXPECT_NE(table.Store().StoreStamp(), stamp);
  table.Open();
  EXPECT_EQ(table.RecordCount(), 0);
  AppendRow(2, "b");
  table.ClearRecords();
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.Store().RecordCount(), 0);
}

TEST_F(MemTableTest, SettingsThatNeedAClosedTable) {
  Define();
  EXPECT_EQ(table.LocaleID(), 1024);
  EXPECT_STREQ(table.Version(), "6.30");
  table.Open();
  EXPECT_EQ(ErrorOf([&] { table.SetAttachMaxCount(2); }), "Table must be closed for this operation.");
  EXPECT_EQ(ErrorOf([&] { table.SetStandalone(true); }), "Table must be closed for this operation.");
  table.Close();
  table.SetStandalone(true);
  table.SetAttachMaxCount(2);
  table.Open();
  AppendRow(1, "still works without the lock");
  EXPECT_EQ(Names(), (std::vector<std::string>{"still works without the lock"}));
}

TEST_F(MemTableTest, ProgressIsReportedForTheCodesAsked) {
  Define();
  table.Open();
  std::vector<std::pair<int, TMemProgressCode>> seen;
  table.OnProgress = [&](TCustomMemTable&, int percentage, TMemProgressCode code) { seen.push_back({percentage, code}); };
  table.ClearRecords();
  EXPECT_TRUE(seen.empty()) << "mtpcEmpty is not among the default flags";
  table.SetProgressFlags(table.ProgressFlags() | ProgressFlag(mtpcEmpty));
  table.ClearRecords();
  EXPECT_EQ(seen, (std::vector<std::pair<int, TMemProgressCode>>{{0, mtpcEmpty}, {100, mtpcEmpty}}));
}

TEST_F(MemTableTest, CalculatedFieldsAreComputedOnFetch) {
  auto id = std::make_unique<TIntegerField>();
  id->SetFieldName("Id");
  table.AddField(std::move(id));
  auto label = std::make_unique<TStringField>(10);
  label->SetFieldName("Label");
  label->SetFieldKind(fkCalculated);
  table.AddField(std::move(label));
  table.OnCalcFields = [](TDataSet& d) {
    d.FieldByName("Label").SetAsString("#" + std::to_string(d.FieldByName("Id").AsInteger()));
  };
  table.Open();
  table.AppendRecord({Value(int32_t{4})});
  table.AppendRecord({Value(int32_t{12})});
  table.First();
  EXPECT_EQ(table.FieldByName("Label").AsString(), "#4");
  table.Next();
  EXPECT_EQ(table.FieldByName("Label").AsString(), "#12");
  EXPECT_EQ(table.Store().CalcAreaStart(), table.Store().FixedAreaSize());
}

TEST_F(MemTableTest, ManyRowsInAndOut) {
  table.FieldDefs().Add("Id", ftInteger);
  table.FieldDefs().Add("Text", ftString, 20);
  table.Open();
  table.DisableControls();
  for (int32_t i = 0; i < 20000; ++i) table.AppendRecord({Value(i), Value("row " + std::to_string(i))});
  table.EnableControls();
  EXPECT_EQ(table.RecordCount(), 20000);
  int32_t expected = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    ASSERT_EQ(table.FieldByName("Id").AsInteger(), expected);
    ASSERT_EQ(table.FieldByName("Text").AsString(), "row " + std::to_string(expected));
    ++expected;
  }
  EXPECT_EQ(expected, 20000);
}

}  // namespace
}  // namespace vantor
