// The record store: slots, unique ids, stamps, record copies and hand-overs, settings.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "store_helpers.h"

namespace vantor {
namespace {

using testing::NewRecord;
using testing::PutValue;
using testing::StoreRecord;

std::string TextOf(const TMemCommon& store, const TMemRecord* record, int field_no) {
  VarBlock block = store.FieldBlock(record, field_no);
  return block ? std::string(reinterpret_cast<const char*>(VarBlockData(block)), VarBlockSize(block)) : "<none>";
}

class StoreTest : public ::testing::Test {
 protected:
  StoreTest() : store(nullptr) {
    defs.Add("Id", ftInteger);
    defs.Add("Notes", ftMemo);
    store.ComputeLayout(defs, 0);
  }
  TFieldDefs defs;
  TMemCommon store;
};

TEST_F(StoreTest, NewRecordIsCleared) {
  TMemRecord* record = store.AllocateRecord();
  EXPECT_EQ(record->Position, -1);
  EXPECT_EQ(record->SlotId, -1);
  EXPECT_EQ(record->UniqueId, -1);
  EXPECT_EQ(record->VersionLevel, -1);
  EXPECT_EQ(record->UserTag, 0);
  EXPECT_EQ(record->Flags, 0);
  EXPECT_EQ(record->ChangeState, 0);
  EXPECT_EQ(record->PriorVersion, nullptr);
  EXPECT_EQ(record->Data, reinterpret_cast<std::byte*>(record) + sizeof(TMemRecord));
  for (int i = 0; i < store.DataAreaSize(); ++i) ASSERT_EQ(record->Data[i], std::byte{0}) << "byte " << i;
  store.FreeRecord(record, true, true);
}

TEST_F(StoreTest, DeletedSlotsAreReusedLastInFirstOut) {
  std::vector<TMemRecord*> records;
  for (int i = 0; i < 10; ++i) records.push_back(StoreRecord(store, {Value(int32_t{i}), Value()}));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(records[static_cast<size_t>(i)]->SlotId, i);
    EXPECT_EQ(records[static_cast<size_t>(i)]->UniqueId, i);
    EXPECT_TRUE(records[static_cast<size_t>(i)]->Flags & kRecordStored);
  }

  store.DeleteRecord(records[3]);
  store.DeleteRecord(records[7]);
  EXPECT_EQ(store.StoredRecord(3), nullptr);
  EXPECT_EQ(store.StoredRecord(7), nullptr);
  EXPECT_EQ(store.RecordCount(), 10);  // deleted slots still count

  TMemRecord* first = StoreRecord(store, {Value(int32_t{100}), Value()});
  TMemRecord* second = StoreRecord(store, {Value(int32_t{101}), Value()});
  TMemRecord* third = StoreRecord(store, {Value(int32_t{102}), Value()});
  EXPECT_EQ(first->SlotId, 7);
  EXPECT_EQ(second->SlotId, 3);
  EXPECT_EQ(third->SlotId, 10);
  // Unique ids are never reused while the store holds records.
  EXPECT_EQ(first->UniqueId, 10);
  EXPECT_EQ(second->UniqueId, 11);
  EXPECT_EQ(third->UniqueId, 12);
  EXPECT_EQ(store.StoredRecord(7), first);
}

TEST_F(StoreTest, DeletingARecordTheStoreDoesNotHoldIsRefused) {
  TMemRecord* loose = NewRecord(store, {Value(int32_t{1}), Value()});
  EXPECT_THROW(store.DeleteRecord(loose), EMemTableInvalidRecord);
  TMemRecord* stored = StoreRecord(store, {Value(int32_t{2}), Value()});
  loose->SlotId = stored->SlotId;  // a copy that claims the slot is not the stored record
  EXPECT_THROW(store.DeleteRecord(loose), EMemTableInvalidRecord);
  EXPECT_EQ(store.StoredRecord(0), stored);
  store.FreeRecord(loose, true, false);
}

TEST_F(StoreTest, ClearAllEmptiesTheStoreAndDrawsANewStamp) {
  for (int i = 0; i < 5; ++i) StoreRecord(store, {Value(int32_t{i}), Value("memo")});
  store.DeleteRecord(store.StoredRecord(2));
  const int32_t before = store.StoreStamp();
  store.ClearAllRecords();
  const int32_t after_first = store.StoreStamp();
  store.ClearAllRecords();
  const int32_t after_second = store.StoreStamp();
  EXPECT_NE(before, after_first);
  EXPECT_NE(after_first, after_second);
  EXPECT_GE(after_second, 0);
  EXPECT_LE(after_second, kMaxStoreStamp);
  EXPECT_EQ(store.RecordCount(), 0);
  EXPECT_EQ(store.FreeSlotCount(), 0);
  EXPECT_EQ(store.NextUniqueId(), 0);
  TMemRecord* fresh = StoreRecord(store, {Value(int32_t{9}), Value()});
  EXPECT_EQ(fresh->SlotId, 0);
  EXPECT_EQ(fresh->UniqueId, 0);
}

// Replays raw numbers, then keeps returning the last one.
struct ReplayGenerator {
  using result_type = uint32_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return UINT32_MAX; }
  result_type operator()() {
    ++calls;
    return values[std::min(next++, values.size() - 1)];
  }
  std::vector<uint32_t> values;
  size_t next = 0;
  int calls = 0;
};

TEST(StoreStampTest, DrawsAgainUntilTheStampDiffers) {
  ReplayGenerator once{{12345}};
  const int32_t previous = DrawStoreStamp(-1, once);
  ReplayGenerator repeating{{12345, 12345, 12345, 99999999}};
  const int32_t stamp = DrawStoreStamp(previous, repeating);
  EXPECT_NE(stamp, previous);
  EXPECT_GE(repeating.calls, 4);
  EXPECT_GE(stamp, 0);
  EXPECT_LE(stamp, kMaxStoreStamp);
}

TEST_F(StoreTest, UniqueIdCounterRunsOut) {
  store.SetNextUniqueId(TMemCommon::kUniqueIdLimit - 2);
  StoreRecord(store, {Value(int32_t{1}), Value()});
  TMemRecord* last = NewRecord(store, {Value(int32_t{2}), Value()});
  try {
    store.AppendRecord(last);
    FAIL() << "counter exhaustion not reported";
  } catch (const EMemTableFatalError& e) {
    EXPECT_STREQ(e.what(), "Bookmark counter is out of range. Please close and reopen table.");
  }
  // The record is in the store all the same, so nothing leaks and it can be deleted.
  EXPECT_EQ(store.StoredRecord(1), last);
  EXPECT_EQ(last->UniqueId, TMemCommon::kUniqueIdLimit - 1);
  store.DeleteRecord(last);

  // Reusing a slot does not wrap the counter into negative ids.
  store.SetNextUniqueId(INT32_MAX);
  TMemRecord* refused = NewRecord(store, {Value(int32_t{3}), Value()});
  EXPECT_THROW(store.AppendRecord(refused), EMemTableFatalError);
  EXPECT_EQ(refused->SlotId, -1);  // not stored: the caller still owns it
  store.FreeRecord(refused, true, false);
}

TEST_F(StoreTest, CopyWithBlocksOwnsItsOwnBlocks) {
  TMemRecord* source = StoreRecord(store, {Value(int32_t{42}), Value("original")});
  source->UserTag = 7;
  TMemRecord* with = store.CopyRecord(source, true);
  TMemRecord* without = store.CopyRecord(source, false);

  EXPECT_EQ(with->SlotId, source->SlotId);
  EXPECT_EQ(with->UserTag, 7);
  EXPECT_EQ(with->Flags, 0);  // the copy is not the stored record
  EXPECT_NE(store.FieldBlock(with, 2), store.FieldBlock(source, 2));
  EXPECT_EQ(TextOf(store, with, 2), "original");
  EXPECT_EQ(store.FieldBlock(without, 2), nullptr);
  EXPECT_EQ(*store.FieldPointer(without, 2), std::byte{kValuePresent});  // presence travels, the block does not
  // A buffer without its own block reads the stored record's.
  EXPECT_EQ(store.ValueBlock(without, 2), store.FieldBlock(source, 2));

  store.FreeRecord(with, true, false);
  EXPECT_EQ(TextOf(store, source, 2), "original");
  store.FreeRecord(without, true, false);
}

TEST_F(StoreTest, ValueOfANeverStoredBufferWithoutBlockIsAnInvalidRecord) {
  TMemRecord* buffer = NewRecord(store, {Value(int32_t{1}), Value()});
  *store.FieldPointer(buffer, 2) = std::byte{kValuePresent};
  try {
    store.ValueBlock(buffer, 2);
    FAIL();
  } catch (const EMemTableInvalidRecord& e) {
    EXPECT_STREQ(e.what(), "Invalid record ");
  }
  store.FreeRecord(buffer, true, false);
}

TEST_F(StoreTest, CopyOneVariableField) {
  TMemRecord* source = NewRecord(store, {Value(int32_t{1}), Value("new text")});
  TMemRecord* target = NewRecord(store, {Value(int32_t{2}), Value("old text")});
  store.CopyVarField(source, target, 2);
  EXPECT_EQ(TextOf(store, target, 2), "new text");
  EXPECT_NE(store.FieldBlock(target, 2), store.FieldBlock(source, 2));

  TMemRecord* empty = NewRecord(store, {Value(int32_t{3}), Value()});
  store.CopyVarField(empty, target, 2);
  EXPECT_EQ(store.FieldBlock(target, 2), nullptr);
  EXPECT_EQ(*store.FieldPointer(target, 2), std::byte{kValueNull});
  for (TMemRecord* r : {source, target, empty}) store.FreeRecord(r, true, false);
}

TEST_F(StoreTest, TransferHandsBlocksToTheStoredRecord) {
  TMemRecord* stored = StoreRecord(store, {Value(int32_t{1}), Value("stored")});

  // An edit buffer with a new value: its block moves over, the old one is freed.
  TMemRecord* edit = store.CopyRecord(stored, false);
  PutValue(store, edit, 2, Value("edited"));
  VarBlock moving = store.FieldBlock(edit, 2);
  store.TransferRecord(edit, stored);
  EXPECT_EQ(store.FieldBlock(stored, 2), moving);
  EXPECT_EQ(store.FieldBlock(edit, 2), nullptr);
  EXPECT_EQ(stored->Flags & kRecordStored, kRecordStored);

  // A buffer that never touched the memo (present, no block) leaves the stored block alone.
  TMemRecord* untouched = store.CopyRecord(stored, false);
  PutValue(store, untouched, 1, Value(int32_t{5}));
  store.TransferRecord(untouched, stored);
  EXPECT_EQ(TextOf(store, stored, 2), "edited");

  // A buffer that cleared the memo clears it in the stored record.
  TMemRecord* cleared = store.CopyRecord(stored, false);
  PutValue(store, cleared, 2, Value());
  store.TransferRecord(cleared, stored);
  EXPECT_EQ(store.FieldBlock(stored, 2), nullptr);
  EXPECT_EQ(*store.FieldPointer(stored, 2), std::byte{kValueNull});
  for (TMemRecord* r : {edit, untouched, cleared}) store.FreeRecord(r, true, false);
}

TEST_F(StoreTest, MoveCopiesHeaderButNotFlagsOrBlocks) {
  TMemRecord* source = StoreRecord(store, {Value(int32_t{77}), Value("memo")});
  source->Position = 4;
  source->ChangeState = csModified;
  source->VersionLevel = 2;
  TMemRecord* target = store.AllocateRecord();
  store.MoveRecord(source, target);
  EXPECT_EQ(target->Position, 4);
  EXPECT_EQ(target->SlotId, source->SlotId);
  EXPECT_EQ(target->UniqueId, source->UniqueId);
  EXPECT_EQ(target->ChangeState, csModified);
  EXPECT_EQ(target->VersionLevel, 2);
  EXPECT_EQ(target->Flags, 0);
  EXPECT_EQ(target->Data, reinterpret_cast<std::byte*>(target) + sizeof(TMemRecord));
  EXPECT_EQ(std::memcmp(target->Data, source->Data, static_cast<size_t>(store.VarAreaStart())), 0);
  EXPECT_EQ(store.FieldBlock(target, 2), nullptr);
  store.FreeRecord(target, true, false);
}

TEST_F(StoreTest, MemoryUsageCountsRecordsAndBlocks) {
  const size_t empty = store.MemoryUsage();
  StoreRecord(store, {Value(int32_t{1}), Value(std::string(5000, 'm'))});
  const size_t one = store.MemoryUsage();
  EXPECT_GE(one, empty + 5004 + static_cast<size_t>(store.RecordSize()));
  store.ClearAllRecords();
  EXPECT_LT(store.MemoryUsage(), one - 5000);
}

TEST_F(StoreTest, LockIsReentrant) {
  auto outer = store.Lock();
  auto inner = store.Lock();
  StoreRecord(store, {Value(int32_t{1}), Value("x")});  // takes the lock a third time
  store.ClearAllRecords();
  EXPECT_EQ(store.RecordCount(), 0);
}

TEST_F(StoreTest, ModifiedFlagsAreClearedTogether) {
  store.SetFieldModified(1);
  store.SetFieldModified(2);
  EXPECT_TRUE(store.FieldModified(2));
  store.ClearModifiedFlags();
  EXPECT_FALSE(store.FieldModified(1));
  EXPECT_FALSE(store.FieldModified(2));
  EXPECT_TRUE(store.IsVarLength(2));  // other flag bits survive
}

TEST_F(StoreTest, ManyRecordsComeAndGo) {
  std::set<TMemRecord*> seen;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 50000; ++i) seen.insert(StoreRecord(store, {Value(int32_t{i}), Value()}));
    EXPECT_EQ(store.RecordCount(), 50000);
    for (int i = 0; i < 50000; i += 2) store.DeleteRecord(store.StoredRecord(i));
    store.ClearAllRecords();
  }
  EXPECT_EQ(store.RecordCount(), 0);
}

TEST(StoreSettingsTest, LocaleIdParts) {
  TMemCommon store(nullptr);
  EXPECT_EQ(store.LocaleID(), 1024);
  EXPECT_EQ(store.LanguageID(), 0);
  EXPECT_EQ(store.SubLanguageID(), 1);
  EXPECT_EQ(store.SortID(), 0);

  store.SetLocaleID(0x20804);  // Chinese (PRC), stroke sort
  EXPECT_EQ(store.LanguageID(), 4);
  EXPECT_EQ(store.SubLanguageID(), 2);
  EXPECT_EQ(store.SortID(), 2);

  store.SetSortID(0);
  EXPECT_EQ(store.LocaleID(), 0x0804);
  store.SetLanguageID(9);
  store.SetSubLanguageID(1);
  EXPECT_EQ(store.LocaleID(), 1033);
  EXPECT_THROW(store.SetSubLanguageID(64), ERangeError);
  EXPECT_THROW(store.SetLanguageID(-1), ERangeError);
  EXPECT_EQ(store.LocaleID(), 1033);
}

TEST(StoreSettingsTest, AttachMaxCountAndAutoIncMinimum) {
  TMemCommon store(nullptr);
  EXPECT_EQ(store.AttachMaxCount(), 1);
  try {
    store.SetAttachMaxCount(0);
    FAIL();
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), "Invalid argument.");
  }
  store.SetAttachMaxCount(3);
  EXPECT_EQ(store.AttachMaxCount(), 3);

  EXPECT_EQ(store.AutoIncMinValue(), 0);
  EXPECT_EQ(store.HighestAutoInc(), -1);
  store.SetAutoIncMinValue(100);
  EXPECT_EQ(store.HighestAutoInc(), 99);
  store.SetHighestAutoInc(500);
  store.SetAutoIncMinValue(200);  // below the highest seen: the highest stays
  EXPECT_EQ(store.HighestAutoInc(), 500);
}

TEST(StoreSettingsTest, LayoutCannotChangeUnderStoredRecords) {
  TFieldDefs defs;
  defs.Add("Id", ftInteger);
  TMemCommon store(nullptr);
  store.ComputeLayout(defs, 0);
  StoreRecord(store, {Value(int32_t{1})});
  EXPECT_THROW(store.ComputeLayout(defs, 0), EMemTableError);
  EXPECT_EQ(store.RecordCount(), 1);
}

TEST(StoreSettingsTest, RecordsOfAnEarlierLayoutAreFreedSafely) {
  TFieldDefs small_defs;
  small_defs.Add("Id", ftInteger);
  TFieldDefs big_defs;
  big_defs.Add("Text", ftString, 4000);
  TMemCommon store(nullptr);
  store.ComputeLayout(small_defs, 0);
  TMemRecord* buffer = store.AllocateRecord();
  store.ComputeLayout(big_defs, 0);
  TMemRecord* big = store.AllocateRecord();
  std::memset(big->Data, 0x5A, static_cast<size_t>(store.DataAreaSize()));
  store.FreeRecord(buffer, false, false);  // goes back to the pool it came from
  store.FreeRecord(big, false, false);
}

}  // namespace
}  // namespace vantor
