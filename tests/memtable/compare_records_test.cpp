// CompareRecordFields and CompareKeys: records compared over a field list, nulls, partial keys and the
// tie-break on the record header.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "dataset/field.h"
#include "memtable/field_list.h"
#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "store_helpers.h"

namespace vantor {
namespace {

using testing::NewRecord;
using testing::PutValue;
using testing::StoreRecord;

// A store over (Name ftString 20, Qty ftInteger, Notes ftString 40 held in a block) and field objects
// numbered like the store's fields.
class CompareRecordsTest : public ::testing::Test {
 protected:
  CompareRecordsTest() : store(nullptr) {
    defs.Add("Name", ftString, 20);
    defs.Add("Qty", ftInteger);
    defs.Add("Notes", ftString, 40);
    store.SetPerformance(mtpfBalanced);  // Notes (Size 40) goes to a variable-length block
    store.SetLocaleID(1033);
    store.ComputeLayout(defs, 0);
    for (int i = 0; i < defs.Count(); ++i) {
      fields.push_back(CreateFieldOfType(defs[i].DataType(), defs[i].Size()));
      fields.back()->SetFieldNo(i + 1);
    }
  }
  ~CompareRecordsTest() override {
    for (TMemRecord* r : loose) store.FreeRecord(r, true, false);
  }

  // Field numbers with their options.
  TMemFieldList List(std::initializer_list<std::pair<int, TMemIndexFieldOptions>> entries) {
    TMemFieldList list;
    for (auto [field_no, options] : entries) {
      list.Add(fields[static_cast<size_t>(field_no - 1)].get(), options);
      list.FieldNo[static_cast<size_t>(list.Count - 1)] = field_no;
      list.DataOffset[static_cast<size_t>(list.Count - 1)] = store.FieldOffset(field_no);
    }
    return list;
  }
  TMemRecord* Loose(std::initializer_list<Value> values) {
    loose.push_back(NewRecord(store, values));
    return loose.back();
  }

  TFieldDefs defs;
  TMemCommon store;
  std::vector<std::unique_ptr<TField>> fields;
  std::vector<TMemRecord*> loose;
};

TEST_F(CompareRecordsTest, NullsOrderFirstAscendingAndLastDescending) {
  TMemRecord* null_name = Loose({Value(), Value(int32_t{1}), Value()});
  TMemRecord* named = Loose({Value("a"), Value(int32_t{1}), Value()});
  TMemRecord* also_null = Loose({Value(), Value(int32_t{2}), Value()});

  const TMemFieldList asc = List({{1, 0}});
  EXPECT_LT(store.CompareRecordFields(asc, null_name, named, false, false), 0);
  EXPECT_GT(store.CompareRecordFields(asc, named, null_name, false, false), 0);
  EXPECT_EQ(store.CompareRecordFields(asc, null_name, also_null, false, false), 0);

  const TMemFieldList desc = List({{1, mtifoDescending}});
  EXPECT_GT(store.CompareRecordFields(desc, null_name, named, false, false), 0);
  EXPECT_LT(store.CompareRecordFields(desc, named, null_name, false, false), 0);
  EXPECT_EQ(store.CompareRecordFields(desc, null_name, also_null, false, false), 0);

  // Nulls in a variable-length field behave the same.
  const TMemFieldList notes = List({{3, 0}});
  TMemRecord* with_notes = Loose({Value("a"), Value(int32_t{1}), Value("text")});
  EXPECT_LT(store.CompareRecordFields(notes, named, with_notes, false, false), 0);
}

TEST_F(CompareRecordsTest, NullKeysAreSkippedWhenAsked) {
  TMemRecord* key = Loose({Value(), Value(int32_t{5}), Value()});
  TMemRecord* record = Loose({Value("zzz"), Value(int32_t{9}), Value()});
  const TMemFieldList plain = List({{1, 0}, {2, 0}});
  EXPECT_LT(store.CompareRecordFields(plain, key, record, false, false), 0);  // null name decides
  // Skipping the null name leaves Qty to decide: 5 < 9.
  EXPECT_LT(store.CompareRecordFields(plain, key, record, false, true), 0);
  TMemRecord* key_nine = Loose({Value(), Value(int32_t{9}), Value()});
  EXPECT_EQ(store.CompareRecordFields(plain, key_nine, record, false, true), 0);
  const TMemFieldList ignore_null = List({{1, mtifoIgnoreNull}, {2, 0}});
  EXPECT_EQ(store.CompareRecordFields(ignore_null, key_nine, record, false, false), 0);
  // A null record value under a non-null key is not skipped.
  EXPECT_GT(store.CompareRecordFields(ignore_null, record, key_nine, false, false), 0);
}

TEST_F(CompareRecordsTest, LaterFieldsDecideOnlyOnEquality) {
  TMemRecord* a = Loose({Value("same"), Value(int32_t{1}), Value()});
  TMemRecord* b = Loose({Value("same"), Value(int32_t{2}), Value()});
  TMemRecord* c = Loose({Value("other"), Value(int32_t{0}), Value()});
  const TMemFieldList list = List({{1, 0}, {2, 0}});
  EXPECT_LT(store.CompareRecordFields(list, a, b, false, false), 0);
  EXPECT_GT(store.CompareRecordFields(list, a, c, false, false), 0);
  const TMemFieldList mixed = List({{1, 0}, {2, mtifoDescending}});
  EXPECT_GT(store.CompareRecordFields(mixed, a, b, false, false), 0);
  EXPECT_EQ(store.CompareRecordFields(TMemFieldList(), a, c, false, false), 0);
}

TEST_F(CompareRecordsTest, PartialMatchEndsTheComparison) {
  TMemRecord* key = Loose({Value("Sm"), Value(int32_t{1}), Value()});
  TMemRecord* smith = Loose({Value("Smith"), Value(int32_t{99}), Value()});
  TMemRecord* jones = Loose({Value("Jones"), Value(int32_t{1}), Value()});
  const TMemFieldList list = List({{1, 0}, {2, 0}});
  // Partial: "Sm" matches "Smith" and Qty is not looked at.
  EXPECT_EQ(store.CompareRecordFields(list, key, smith, true, false), 0);
  EXPECT_GT(store.CompareRecordFields(list, key, jones, true, false), 0);
  EXPECT_LT(store.CompareRecordFields(list, key, smith, false, false), 0);
  const TMemFieldList partial_field = List({{1, mtifoPartial}, {2, 0}});
  EXPECT_EQ(store.CompareRecordFields(partial_field, key, smith, false, false), 0);
  // A full-length equal value goes on to the next field.
  TMemRecord* sm_two = Loose({Value("Sm"), Value(int32_t{2}), Value()});
  EXPECT_LT(store.CompareRecordFields(list, key, sm_two, true, false), 0);
}

TEST_F(CompareRecordsTest, VariableLengthValuesComeFromTheStoredRecordWhenTheBufferHasNoBlock) {
  TMemRecord* stored = StoreRecord(store, {Value("x"), Value(int32_t{1}), Value("banana")});
  TMemRecord* fetched = store.CopyRecord(stored, false);  // a cursor buffer: presence without a block
  loose.push_back(fetched);
  TMemRecord* apple = Loose({Value("x"), Value(int32_t{1}), Value("apple")});
  const TMemFieldList notes = List({{3, 0}});
  EXPECT_GT(store.CompareRecordFields(notes, fetched, apple, false, false), 0);
  EXPECT_LT(store.CompareRecordFields(notes, apple, fetched, false, false), 0);

  TMemRecord* orphan = Loose({Value("x"), Value(int32_t{1}), Value()});
  *store.FieldPointer(orphan, 3) = std::byte{kValuePresent};  // says present, has no block, was never stored
  EXPECT_THROW(store.CompareRecordFields(notes, orphan, apple, false, false), EMemTableInvalidRecord);
}

TEST_F(CompareRecordsTest, MissingRecordComparesEqual) {
  TMemRecord* a = Loose({Value("a"), Value(int32_t{1}), Value()});
  const TMemFieldList list = List({{1, 0}});
  EXPECT_EQ(store.CompareRecordFields(list, nullptr, a, false, false), 0);
  EXPECT_EQ(store.CompareKeys(list, a, nullptr, false, true), 0);
}

TEST_F(CompareRecordsTest, TieBreakTable) {
  const TMemFieldList list = List({{1, 0}});
  TMemRecord* key = Loose({Value("k"), Value(int32_t{1}), Value()});
  TMemRecord* record = Loose({Value("k"), Value(int32_t{2}), Value()});
  key->SlotId = 4;
  record->SlotId = 9;

  key->Position = -1, record->Position = -1;
  EXPECT_LT(store.CompareKeys(list, key, record, false, true), 0) << "both unplaced: SlotId order";
  EXPECT_GT(store.CompareKeys(list, record, key, false, true), 0);
  key->Position = -1, record->Position = 3;
  EXPECT_EQ(store.CompareKeys(list, key, record, false, true), -1);
  key->Position = 2, record->Position = -1;
  EXPECT_EQ(store.CompareKeys(list, key, record, false, true), 1);
  key->Position = 2, record->Position = 3;
  EXPECT_EQ(store.CompareKeys(list, key, record, false, true), 0);

  // Without the tie-break equal keys stay equal.
  key->Position = -1, record->Position = -1;
  EXPECT_EQ(store.CompareKeys(list, key, record, false, false), 0);

  // Descending reverses the tie-break too, so equal keys of a load come in reverse load order.
  const TMemFieldList desc = List({{1, mtifoDescending}, {2, 0}});
  TMemRecord* same_qty = Loose({Value("k"), Value(int32_t{1}), Value()});
  same_qty->SlotId = 9;
  EXPECT_GT(store.CompareKeys(desc, key, same_qty, false, true), 0);
  key->Position = -1, same_qty->Position = 0;
  EXPECT_EQ(store.CompareKeys(desc, key, same_qty, false, true), 1);

  // A real difference is never overridden by the tie-break.
  TMemRecord* later = Loose({Value("z"), Value(int32_t{1}), Value()});
  later->SlotId = 0;
  EXPECT_LT(store.CompareKeys(list, key, later, false, true), 0);
}

TEST_F(CompareRecordsTest, EqualKeysOfLoadedRecordsKeepStoreOrder) {
  std::vector<TMemRecord*> stored;
  for (const char* name : {"b", "a", "b", "a", "b"})
    stored.push_back(StoreRecord(store, {Value(name), Value(int32_t{0}), Value()}));
  const TMemFieldList asc = List({{1, 0}});
  std::vector<TMemRecord*> order = stored;
  std::stable_sort(order.begin(), order.end(), [&](TMemRecord* x, TMemRecord* y) {
    return store.CompareKeys(asc, x, y, false, true) < 0;
  });
  std::vector<int> slots;
  for (TMemRecord* r : order) slots.push_back(r->SlotId);
  EXPECT_EQ(slots, (std::vector<int>{1, 3, 0, 2, 4}));

  const TMemFieldList desc = List({{1, mtifoDescending}});
  std::sort(order.begin(), order.end(), [&](TMemRecord* x, TMemRecord* y) {
    return store.CompareKeys(desc, x, y, false, true) < 0;
  });
  slots.clear();
  for (TMemRecord* r : order) slots.push_back(r->SlotId);
  EXPECT_EQ(slots, (std::vector<int>{4, 2, 0, 3, 1}));
}

}  // namespace
}  // namespace vantor
