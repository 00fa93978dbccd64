// Loading a table from another dataset and copying rows between datasets.

#include <gtest/gtest.h>

#include "dataset/rows_dataset.h"
#include "memtable/mem_errors.h"
#include "table_helpers.h"

namespace vantor {
namespace {

using testing::PeopleSource;
using testing::VisibleIds;

std::unique_ptr<TRowsDataSet> Numbers(int count) {
  auto source = std::make_unique<TRowsDataSet>();
  source->FieldDefs().Add("N", ftInteger);
  std::vector<TRowsDataSet::Row> rows;
  for (int i = 1; i <= count; ++i) rows.push_back({Value(int32_t{i})});
  source->SetRows(std::move(rows));
  return source;
}

TEST(LoadTest, TakesStructurePropertiesAndRows) {
  auto source = PeopleSource({{1, u"一"}, {2, u""}, {3, u"三"}});
  source->Open();
  source->FieldByName("Name").SetDisplayLabel("姓名");
  source->FieldByName("ID").SetReadOnly(true);
  source->FieldByName("ID").SetRequired(true);
  source->SetRecNo(2);

  TMemTable table;
  table.LoadFromSource(source.get(), mtloStructure | mtloProperties);
  ASSERT_TRUE(table.Active());
  EXPECT_EQ(table.FieldCount(), 3);
  EXPECT_EQ(table.FieldByName("Name").DataType(), ftWideString);
  EXPECT_EQ(table.FieldByName("Name").Size(), 20);
  EXPECT_EQ(table.FieldByName("Name").DisplayLabel(), "姓名");
  EXPECT_TRUE(table.FieldByName("ID").ReadOnly());
  EXPECT_EQ(table.RecordCount(), 3);
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_TRUE(table.LoadedCompletely());
  EXPECT_EQ(table.LoadCount(), 3);
  EXPECT_TRUE(table.FieldByName("Name").IsNull() == false);
  table.Next();
  EXPECT_TRUE(table.FieldByName("Name").IsNull());
  EXPECT_EQ(table.FieldByName("Note").AsString(), "note 2");
  // The source is where it was and still open; the table's controls work again.
  EXPECT_EQ(source->RecNo(), 2);
  EXPECT_FALSE(table.ControlsDisabled());
  EXPECT_FALSE(source->ControlsDisabled());
  // Read-only came with the properties: the grid cannot edit that column.
  table.Edit();
  EXPECT_THROW(table.FieldByName("ID").SetAsInteger(9), EDatabaseError);
  table.Cancel();

  // A second load replaces columns and rows.
  auto other = Numbers(2);
  table.LoadFromSource(other.get(), mtloStructure | mtloProperties);
  EXPECT_EQ(table.FieldCount(), 1);
  EXPECT_EQ(VisibleIds(table, "N"), (std::vector<int>{1, 2}));
}

TEST(LoadTest, LoadLimitStopsBeforeTheEnd) {
  for (const int rows : {25, 10}) {
    auto source = Numbers(rows);
    source->Open();
    source->SetRecNo(3);
    TMemTable table;
    table.SetLoadLimit(10);
    table.LoadFromSource(source.get(), mtloStructure | mtloProperties);
    EXPECT_EQ(table.RecordCount(), 10);
    EXPECT_FALSE(table.LoadedCompletely()) << rows << " rows";
    EXPECT_EQ(source->RecNo(), 3) << "the source goes back to its row";
  }
}

TEST(LoadTest, RefusesAppendWithStructureAndDropsUnsupportedColumns) {
  auto source = Numbers(3);
  TMemTable table;
  table.LoadFromSource(source.get(), 5);
  for (TMemLoadOptions bad : {0x21, 0x24}) {
    try {
      table.LoadFromSource(source.get(), bad);
      FAIL() << "options " << bad << " accepted";
    } catch (const EMemTableError& e) {
      EXPECT_STREQ(e.what(), "Cannot both append and copy structure.");
    }
    EXPECT_EQ(table.RecordCount(), 3);
  }
  table.LoadFromSource(source.get(), mtloAppend);
  EXPECT_EQ(table.RecordCount(), 6);
  table.LoadFromSource(&table, 5);  // from itself: nothing
  EXPECT_EQ(table.RecordCount(), 6);

  TRowsDataSet with_variant;
  with_variant.FieldDefs().Add("A", ftInteger);
  with_variant.FieldDefs().Add("V", ftVariant);
  with_variant.FieldDefs().Add("B", ftString, 5);
  with_variant.SetRows({{Value(int32_t{1}), Value(), Value("x")}});
  table.LoadFromSource(&with_variant, 5);
  EXPECT_EQ(table.FieldCount(), 2);
  EXPECT_EQ(table.FindField("V"), nullptr);
  EXPECT_EQ(table.FieldByName("B").AsString(), "x");

  auto empty = Numbers(0);
  table.LoadFromSource(empty.get(), 5);
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.FieldCount(), 1);
}

TEST(TransferTest, MapsFieldsByNameAndHonoursTheCount) {
  TRowsDataSet source;
  source.FieldDefs().Add("b", ftInteger);
  source.FieldDefs().Add("c", ftString, 10);
  source.FieldDefs().Add("D", ftInteger);
  std::vector<TRowsDataSet::Row> rows;
  for (int i = 1; i <= 10; ++i) rows.push_back({Value(int32_t{i}), Value("c" + std::to_string(i)), Value(int32_t{-i})});
  source.SetRows(std::move(rows));
  source.Open();

  TMemTable destination;
  destination.FieldDefs().Add("A", ftInteger);
  destination.FieldDefs().Add("B", ftFloat);  // another field class: takes the text
  destination.FieldDefs().Add("C", ftString, 10);
  destination.Open();

  TMemTable performer;
  EXPECT_EQ(performer.TransferRecords(&source, &source, -1, false, false), 0);
  EXPECT_EQ(performer.TransferRecords(&source, &destination, 3, false, false), 3);
  EXPECT_EQ(source.RecNo(), 3);
  EXPECT_FALSE(performer.LoadedCompletely());
  destination.First();
  EXPECT_TRUE(destination.FieldByName("A").IsNull());
  EXPECT_EQ(destination.FieldByName("B").AsFloat(), 1.0);
  EXPECT_EQ(destination.FieldByName("C").AsString(), "c1");

  source.SetRecNo(4);
  EXPECT_EQ(performer.TransferRecords(&source, &destination, 0, false, false), 7);
  EXPECT_TRUE(performer.LoadedCompletely());
  EXPECT_EQ(destination.RecordCount(), 10);
}

TEST(TransferTest, AutoIncrementIsFedOnlyIntoAnEmptyTable) {
  auto source = Numbers(2);
  source->Open();
  TMemTable destination;
  destination.FieldDefs().Add("N", ftAutoInc);
  destination.Open();
  destination.TransferRecords(source.get(), &destination, -1, false, false);
  EXPECT_EQ(VisibleIds(destination, "N"), (std::vector<int>{1, 2}));
  source->First();
  destination.TransferRecords(source.get(), &destination, -1, false, false);
  EXPECT_EQ(VisibleIds(destination, "N"), (std::vector<int>{1, 2, 3, 4}));  // numbered by the table itself
}

TEST(TransferTest, IgnoredErrorsKeepTheRowAndCountIt) {
  TRowsDataSet source;
  source.FieldDefs().Add("V", ftString, 10);
  source.SetRows({{Value("12")}, {Value("not a number")}, {Value("7")}});
  source.Open();
  TMemTable destination;
  destination.FieldDefs().Add("V", ftInteger);
  destination.Open();
  EXPECT_EQ(destination.TransferRecords(&source, &destination, -1, true, false), 3);
  destination.First();
  EXPECT_EQ(destination.FieldByName("V").AsInteger(), 12);
  destination.Next();
  EXPECT_TRUE(destination.FieldByName("V").IsNull());
  source.First();
  EXPECT_THROW(destination.TransferRecords(&source, &destination, -1, false, false), EConvertError);
}

TEST(TransferTest, ReportsProgressEveryHundredRows) {
  auto source = Numbers(250);
  source->Open();
  TMemTable destination;
  destination.FieldDefs().Add("N", ftInteger);
  destination.Open();
  std::vector<int> reported;
  destination.OnProgress = [&](TCustomMemTable&, int percent, TMemProgressCode code) {
    if (code == mtpcCopy) reported.push_back(percent);
  };
  EXPECT_EQ(destination.TransferRecords(source.get(), &destination, -1, false, false), 250);
  EXPECT_EQ(reported, (std::vector<int>{0, 40, 80, 100}));
}

TEST(TransferTest, SaveToTargetWritesEveryRowAndConvertsWideTextOnRequest) {
  auto source = PeopleSource({{1, u"甲"}, {2, u"乙"}});
  TMemTable table;
  table.LoadFromSource(source.get(), 5);
  table.Last();  // a save starts from the first row whatever the cursor

  TRowsDataSet target;
  target.FieldDefs().Add("ID", ftInteger);
  target.FieldDefs().Add("Name", ftString, 10);  // 8-bit text: takes the wide text as UTF-8
  table.SaveToTarget(&target, mtloWideAsUTF8);
  EXPECT_FALSE(target.Active()) << "the save closes what it opened";
  ASSERT_EQ(target.Rows().size(), 2u);
  EXPECT_EQ(target.Rows()[1][0], Value(int32_t{2}));
  EXPECT_EQ(target.Rows()[1][1], Value("乙"));
  EXPECT_EQ(table.SaveCount(), 2);
  table.SaveToTarget(&table, 0);  // onto itself: nothing
  EXPECT_EQ(table.RecordCount(), 2);
}

}  // namespace
}  // namespace vantor
