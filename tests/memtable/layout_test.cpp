// Where fields live inside a record: fixed and variable-length areas, and the layout errors.

#include <gtest/gtest.h>

#include "memtable/field_storage.h"
#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "store_helpers.h"

namespace vantor {
namespace {

using testing::NewRecord;

TEST(LayoutTest, ShortAndLongTextUnderEachPerformanceSetting) {
  TFieldDefs defs;
  defs.Add("Name", ftString, 20);

  TMemCommon fast(nullptr);
  fast.ComputeLayout(defs, 0);
  EXPECT_EQ(fast.FixedAreaSize(), 22);  // presence byte + 20 characters + terminator
  EXPECT_EQ(fast.VarFieldCount(), 0);
  EXPECT_EQ(fast.FieldOffset(1), 0);
  EXPECT_FALSE(fast.IsVarLength(1));

  TMemCommon balanced(nullptr);
  balanced.SetPerformance(mtpfBalanced);
  balanced.ComputeLayout(defs, 0);
  EXPECT_EQ(balanced.FixedAreaSize(), 0);
  EXPECT_EQ(balanced.VarFieldCount(), 1);
  EXPECT_EQ(balanced.FieldFlags(1), kFieldVarLength);
  EXPECT_EQ(balanced.FieldOffset(1), balanced.VarAreaStart());
  EXPECT_EQ(balanced.DataAreaSize(), balanced.VarAreaStart() + kVarEntrySize);

  TMemCommon small(nullptr);
  small.SetPerformance(mtpfSmall);
  small.ComputeLayout(defs, 0);
  EXPECT_EQ(small.FieldFlags(1), kFieldVarLength | kFieldCompressed);
}

TEST(LayoutTest, VariableLengthDecision) {
  EXPECT_FALSE(IsVarLengthField(ftString, 12, mtpfBalanced));
  EXPECT_TRUE(IsVarLengthField(ftString, 13, mtpfBalanced));
  EXPECT_TRUE(IsVarLengthField(ftWideString, 13, mtpfSmall));
  EXPECT_FALSE(IsVarLengthField(ftWideString, 4000, mtpfFast));
  EXPECT_FALSE(IsVarLengthField(ftInteger, 100, mtpfSmall));
  for (TFieldType blob : {ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftWideMemo, ftOraClob})
    for (TMemPerformance p : {mtpfFast, mtpfBalanced, mtpfSmall}) EXPECT_TRUE(IsVarLengthField(blob, 0, p));
}

TEST(LayoutTest, AreasFollowOneAnotherInOrder) {
  TFieldDefs defs;
  defs.Add("Id", ftInteger);
  defs.Add("Notes", ftMemo);
  defs.Add("Price", ftCurrency);
  defs.Add("Photo", ftBlob);
  TMemCommon store(nullptr);
  store.SetAttachMaxCount(2);
  store.ComputeLayout(defs, 10);

  EXPECT_EQ(store.FieldOffset(1), 0);
  EXPECT_EQ(store.FieldOffset(3), 5);  // after Id's presence byte and 4 bytes; the memo takes no fixed room
  EXPECT_EQ(store.FixedAreaSize(), 5 + 9);
  EXPECT_EQ(store.CalcAreaStart(), 14);
  EXPECT_EQ(store.BookmarkAreaStart(), 24);
  EXPECT_EQ(store.VarAreaStart(), 24 + 2 * kBookmarkSlotSize);
  EXPECT_EQ(store.FieldOffset(2), store.VarAreaStart());
  EXPECT_EQ(store.FieldOffset(4), store.VarAreaStart() + kVarEntrySize);
  EXPECT_EQ(store.DataAreaSize(), store.VarAreaStart() + 2 * kVarEntrySize);
  EXPECT_EQ(store.RecordSize(), store.DataAreaSize() + static_cast<int>(sizeof(TMemRecord)));
  EXPECT_EQ(store.FieldCount(), 4);
}

TEST(LayoutTest, ObjectFieldsNumberTheirChildrenDepthFirst) {
  TFieldDefs defs;
  TFieldDef& address = defs.Add("Address", ftADT);
  address.ChildDefs().Add("Street", ftString, 10);
  address.ChildDefs().Add("Zip", ftInteger);
  TFieldDef& scores = defs.Add("Scores", ftArray, 3);
  scores.ChildDefs().Add("Score", ftSmallint);
  defs.Add("Last", ftBoolean);
  TMemCommon store(nullptr);
  store.ComputeLayout(defs, 0);

  // Address(1) Street(2) Zip(3) Scores(4) Score x3 (5..7) Last(8)
  EXPECT_EQ(store.FieldCount(), 8);
  EXPECT_EQ(store.FieldOffset(1), 0);
  EXPECT_EQ(store.FieldOffset(2), 1);  // the ADT itself takes one byte
  EXPECT_EQ(store.FieldOffset(3), 1 + 12);
  EXPECT_EQ(store.FieldOffset(4), 13 + 5);
  EXPECT_EQ(store.FieldOffset(5), 19);
  EXPECT_EQ(store.FieldOffset(7), 19 + 2 * 3);
  EXPECT_EQ(store.FieldType(8), ftBoolean);
  EXPECT_EQ(store.FixedAreaSize(), 28 + 3);
}

TEST(LayoutTest, MemoValueIsABlockWithAFourByteCount) {
  TFieldDefs defs;
  defs.Add("Notes", ftMemo);
  TMemCommon store(nullptr);
  store.ComputeLayout(defs, 0);
  TMemRecord* record = NewRecord(store, {Value("hello, world")});

  VarBlock block = store.FieldBlock(record, 1);
  ASSERT_NE(block, nullptr);
  const auto* raw = reinterpret_cast<const uint8_t*>(block);
  EXPECT_EQ(raw[0], 12);
  EXPECT_EQ(raw[1] | raw[2] | raw[3], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 4), 12), "hello, world");
  EXPECT_EQ(*store.FieldPointer(record, 1), std::byte{kValuePresent});
  store.FreeRecord(record, true, true);
}

TEST(LayoutTest, RefusesDefinitionsItCannotHold) {
  TMemCommon store(nullptr);
  TFieldDefs none;
  try {
    store.ComputeLayout(none, 0);
    FAIL() << "no error for an empty definition list";
  } catch (const EMemTableError& e) {
    EXPECT_STREQ(e.what(), "There must be at least one field");
  }

  TFieldDefs unsupported;
  unsupported.Add("Id", ftInteger);
  unsupported.Add("Cur", ftCursor);
  try {
    store.ComputeLayout(unsupported, 0);
    FAIL() << "no error for ftCursor";
  } catch (const EMemTableError& e) {
    EXPECT_STREQ(e.what(), "Fielddef Cur (Cur) Datatype 22 not supported.");
  }

  TFieldDefs negative;
  negative.Add("Name", ftString, -5);
  EXPECT_THROW(store.ComputeLayout(negative, 0), EMemTableError);

  TFieldDefs huge;
  huge.Add("Name", ftWideString, 1 << 30);
  EXPECT_THROW(store.ComputeLayout(huge, 0), EMemTableError);

  TFieldDefs many;
  for (int i = 0; i < 257; ++i) many.Add("F" + std::to_string(i), ftInteger);
  EXPECT_THROW(store.ComputeLayout(many, 0), EMemTableError);

  // An array with an absurd repeat count is refused, not walked.
  TFieldDefs array;
  array.Add("Big", ftArray, 1 << 24).ChildDefs().Add("Item", ftInteger);
  EXPECT_THROW(store.ComputeLayout(array, 0), EMemTableError);

  TFieldDefs exactly;
  for (int i = 0; i < 256; ++i) exactly.Add("F" + std::to_string(i), ftSmallint);
  store.ComputeLayout(exactly, 0);
  EXPECT_EQ(store.FieldCount(), 256);
  EXPECT_EQ(store.FixedAreaSize(), 256 * 3);
}

TEST(LayoutTest, SetupEventCanKeepALongFieldFixed) {
  TFieldDefs defs;
  defs.Add("Code", ftString, 40);
  defs.Add("Notes", ftMemo);
  TMemCommon store(nullptr);
  store.SetPerformance(mtpfBalanced);
  int calls = 0;
  store.ComputeLayout(defs, 0, [&](const TFieldDef&, uint8_t& flags) {
    ++calls;
    flags = 0;
  });
  EXPECT_EQ(calls, 1);  // blobs are not offered
  EXPECT_FALSE(store.IsVarLength(1));
  EXPECT_EQ(store.FixedAreaSize(), 42);
  EXPECT_TRUE(store.IsVarLength(2));
}

}  // namespace
}  // namespace vantor
