// What observers see: the notifications a grid follows a dataset by.

#include <gtest/gtest.h>

#include "dataset/data_source.h"
#include "rows_fixture.h"

namespace vantor {
namespace {

using testing::MakePeople;

class RecordingLink : public TDataLink {
 public:
  int active_changes = 0, dataset_changes = 0, scrolls = 0, record_changes = 0, editing_changes = 0,
      layout_changes = 0, updates = 0;
  int last_scroll = 0;
  TField* last_field = nullptr;

 protected:
  void ActiveChanged() override { ++active_changes; }
  void DataSetChanged() override { ++dataset_changes; }
  void DataSetScrolled(int distance) override { ++scrolls, last_scroll = distance; }
  void RecordChanged(TField* field) override { ++record_changes, last_field = field; }
  void EditingChanged() override { ++editing_changes; }
  void LayoutChanged() override { ++layout_changes; }
  void UpdateData() override { ++updates; }
};

TEST(DataSourceTest, LinksFollowTheDataset) {
  auto ds = MakePeople(3);
  TDataSource source(ds.get());
  RecordingLink link;
  link.SetDataSource(&source);
  EXPECT_FALSE(link.Active());

  ds->Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(link.active_changes, 1);

  link.scrolls = 0;
  ds->MoveBy(2);
  EXPECT_EQ(link.scrolls, 1);
  EXPECT_EQ(link.last_scroll, 2);

  ds->Edit();
  EXPECT_EQ(link.editing_changes, 1);
  EXPECT_TRUE(link.Editing());
  TField& name = ds->FieldByName("Name");
  name.SetAsString("x");
  EXPECT_EQ(link.last_field, &name);
  ds->Post();
  EXPECT_EQ(link.updates, 1);  // the post asked controls for pending text first
  EXPECT_EQ(link.editing_changes, 2);

  name.SetDisplayLabel("姓名");
  EXPECT_EQ(link.layout_changes, 1);
  EXPECT_EQ(name.DisplayName(), "姓名");

  ds->Close();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(link.active_changes, 2);
}

TEST(DataSourceTest, DisabledControlsHearOneChangeAtTheEnd) {
  auto ds = MakePeople(0);
  ds->Open();
  TDataSource source(ds.get());
  RecordingLink link;
  link.SetDataSource(&source);
  link.dataset_changes = 0;

  ds->DisableControls();
  ds->DisableControls();
  for (int i = 1; i <= 100; ++i) ds->AppendRecord({Value(int32_t{i}), Value("n")});
  ds->EnableControls();
  EXPECT_EQ(link.dataset_changes, 0);  // still disabled once
  EXPECT_EQ(link.scrolls + link.record_changes, 0);
  ds->EnableControls();
  EXPECT_EQ(link.dataset_changes, 1);
  EXPECT_EQ(ds->RecordCount(), 100);
}

TEST(DataSourceTest, SourcesAndLinksOutliveEachOther) {
  RecordingLink link;
  {
    auto ds = MakePeople(1);
    TDataSource source(ds.get());
    link.SetDataSource(&source);
    ds->Open();
    int changes = 0;
    source.OnDataChange = [&](TDataSource&, TField*) { ++changes; };
    ds->Next();
    ds->First();
    EXPECT_GT(changes, 0);
  }  // the source goes first, then the dataset; the link outlives both
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());
}

}  // namespace
}  // namespace vantor
