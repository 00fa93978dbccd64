// The dataset state machine: open and close, navigation, insert, append, edit, post, cancel, delete,
// required fields and bookmarks, run through the rows dataset.

#include <gtest/gtest.h>

#include "dataset/errors.h"
#include "rows_fixture.h"

namespace vantor {
namespace {

using testing::Ids;
using testing::MakePeople;

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(DataSetStateTest, OpenAndCloseRules) {
  TRowsDataSet bare;
  EXPECT_EQ(ErrorOf([&] { bare.RecordCount(); }), "Cannot perform this operation on a closed dataset");
  EXPECT_THROW(bare.Open(), EDatabaseError);  // no field definitions
  EXPECT_FALSE(bare.Active());

  auto ds = MakePeople(3);
  ds->Open();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldCount(), 3);
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(ds->FieldByName("id").FieldNo(), 1);  // names match without regard to ASCII case
  EXPECT_EQ(ErrorOf([&] { ds->FieldByName("Missing"); }), "Field 'Missing' not found");
  ds->Close();
  EXPECT_EQ(ds->State(), dsInactive);
  EXPECT_EQ(ds->FieldCount(), 0);  // fields made from the definitions go with the close
}

TEST(DataSetStateTest, NavigationSetsBofAndEof) {
  auto empty = MakePeople(0);
  empty->Open();
  EXPECT_TRUE(empty->Bof());
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->IsEmpty());
  EXPECT_EQ(empty->RecNo(), -1);
  EXPECT_EQ(empty->MoveBy(1), 0);
  EXPECT_EQ(ErrorOf([&] { empty->Delete(); }), "Cannot perform this operation on an empty dataset");

  auto ds = MakePeople(3);
  ds->Open();
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  ds->Next();
  ds->Next();
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_FALSE(ds->Eof());
  ds->Next();  // past the last: EOF, still on the last record
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 3);
  ds->Prior();
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 2);
  EXPECT_EQ(ds->MoveBy(-5), -1);
  EXPECT_TRUE(ds->Bof());
  ds->Last();
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->RecNo(), 3);
  ds->SetRecNo(2);
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "name2");
}

TEST(DataSetStateTest, WritesNeedAnEditingState) {
  auto ds = MakePeople(2);
  ds->Open();
  EXPECT_EQ(ErrorOf([&] { ds->FieldByName("Name").SetAsString("x"); }), "Dataset is not in edit mode.");
  ds->Edit();
  EXPECT_EQ(ds->State(), dsEdit);
  ds->FieldByName("Name").SetAsString("changed");
  EXPECT_TRUE(ds->Modified());
  ds->Post();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->Rows()[0][1], Value("changed"));

  ds->FieldByName("Name").SetReadOnly(true);
  ds->Edit();
  EXPECT_EQ(ErrorOf([&] { ds->FieldByName("Name").SetAsString("y"); }), "Field Name is read only");
  ds->Cancel();
  ds->SetReadOnly(true);
  EXPECT_THROW(ds->Edit(), EDatabaseError);
}

TEST(DataSetStateTest, AppendInsertAndRequiredFields) {
  auto ds = MakePeople(2);
  ds->Open();
  ds->Append();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_TRUE(ds->FieldByName("ID").IsNull());
  ds->FieldByName("Name").SetAsString("no id");
  EXPECT_EQ(ErrorOf([&] { ds->Post(); }), "Field 'ID' must have a value");
  // A failed post keeps the record being edited with its values.
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "no id");
  ds->FieldByName("ID").SetAsInteger(3);
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_EQ(Ids(*ds), (std::vector<int>{1, 2, 3}));

  ds->First();
  ds->Next();  // on ID 2
  ds->Insert();
  ds->FieldByName("ID").SetAsInteger(10);
  ds->Post();
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 10);
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(Ids(*ds), (std::vector<int>{1, 10, 2, 3}));

  ds->AppendRecord({Value(int32_t{11}), Value("eleven")});
  EXPECT_EQ(Ids(*ds), (std::vector<int>{1, 10, 2, 3, 11}));
  EXPECT_THROW(ds->AppendRecord({Value(), Value("no id")}), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);  // the failed append was cancelled
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST(DataSetStateTest, CancelRestoresAndDeleteMovesOn) {
  auto ds = MakePeople(3);
  ds->Open();
  ds->Next();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("edited");
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("Name").AsString(), "name2");
  EXPECT_EQ(ds->Rows()[1][1], Value("name2"));

  ds->Append();
  ds->Cancel();  // a cancelled append lands on the last record
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 3);
  EXPECT_EQ(ds->RecordCount(), 3);

  ds->SetRecNo(2);
  ds->Delete();
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 3);  // the next record becomes current
  EXPECT_EQ(ds->RecNo(), 2);
  ds->Delete();  // deleting the last one moves back
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 1);
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Eof() && ds->Bof());

  ds->Edit();  // editing an empty dataset appends
  EXPECT_EQ(ds->State(), dsInsert);
  ds->Cancel();
}

TEST(DataSetStateTest, CheckBrowseModePostsOnlyModifiedRecords) {
  auto ds = MakePeople(2);
  ds->Open();
  ds->Edit();
  ds->FieldByName("Name").SetAsString("kept");
  ds->Next();  // moving posts the pending change
  EXPECT_EQ(ds->Rows()[0][1], Value("kept"));
  ds->Append();
  ds->First();  // nothing typed: the new record is dropped, not posted
  EXPECT_EQ(ds->RecordCount(), 2);
}

TEST(DataSetStateTest, EventsRunInTheirOrder) {
  auto ds = MakePeople(1);
  std::vector<std::string> log;
  auto note = [&](const char* name) { return [&log, name](TDataSet&) { log.push_back(name); }; };
  ds->BeforeOpen = note("BeforeOpen");
  ds->AfterOpen = note("AfterOpen");
  ds->BeforeInsert = note("BeforeInsert");
  ds->OnNewRecord = [&](TDataSet& d) {
    log.push_back("OnNewRecord");
    d.FieldByName("ID").SetAsInteger(99);  // defaults can be written here
  };
  ds->AfterInsert = note("AfterInsert");
  ds->BeforePost = note("BeforePost");
  ds->AfterPost = note("AfterPost");
  ds->BeforeDelete = note("BeforeDelete");
  ds->AfterDelete = note("AfterDelete");
  ds->BeforeClose = note("BeforeClose");
  ds->AfterClose = note("AfterClose");
  ds->Open();
  ds->Append();
  EXPECT_FALSE(ds->Modified());  // defaults do not count as the user's change
  ds->Post();
  ds->Delete();
  ds->Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert",
                                           "BeforePost", "AfterPost", "BeforeDelete", "AfterDelete", "BeforeClose",
                                           "AfterClose"}));
  EXPECT_EQ(ds->Rows().size(), 1u);
  EXPECT_EQ(ds->Rows()[0][0], Value(int32_t{1}));
}

TEST(DataSetStateTest, BookmarksFindTheirRecordAgain) {
  auto ds = MakePeople(5);
  ds->Open();
  ds->SetRecNo(4);
  const TBookmark mark = ds->GetBookmark();
  ASSERT_FALSE(mark.Empty());
  ds->First();
  const TBookmark first = ds->GetBookmark();
  EXPECT_LT(ds->CompareBookmarks(first, mark), 0);
  ds->Delete();  // record 1 goes: the bookmark of record 4 still finds it
  ds->GotoBookmark(mark);
  EXPECT_EQ(ds->FieldByName("ID").AsInteger(), 4);
  EXPECT_FALSE(ds->BookmarkValid(first));
  EXPECT_THROW(ds->GotoBookmark(first), EDatabaseError);
}

}  // namespace
}  // namespace vantor
