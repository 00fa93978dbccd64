// Sorting the table's view and keeping every index in order as rows are inserted, edited and deleted.

#include <gtest/gtest.h>

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <numeric>
#include <map>
#include <random>
#include <set>

#include "memtable/mem_errors.h"
#include "table_helpers.h"

namespace vantor {
namespace {

using testing::PeopleSource;
using testing::ScopedCollation;
using testing::VisibleIds;

class SortTest : public ::testing::Test {
 protected:
  void Load(const std::vector<std::pair<int, std::u16string>>& rows) {
    source = PeopleSource(rows);
    table.LoadFromSource(source.get(), mtloStructure | mtloProperties);
  }
  std::vector<std::u16string> Names() {
    std::vector<std::u16string> out;
    for (table.First(); !table.Eof(); table.Next()) out.push_back(table.FieldByName("Name").AsWideString());
    return out;
  }
  ScopedCollation collation{"en_US.UTF-8"};
  std::unique_ptr<TRowsDataSet> source;
  TMemTable table;
};

TEST_F(SortTest, EqualKeysKeepLoadOrderAndNullsComeFirst) {
  Load({{1, u"b"}, {2, u"a"}, {3, u"b"}, {4, u""}, {5, u"a"}, {6, u"b"}});
  table.SortByFields("Name", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{4, 2, 5, 1, 3, 6}));
  EXPECT_EQ(table.SortIndex(), table.CurrentIndex());
  EXPECT_EQ(table.IndexFieldNames(), "");  // the sort index is internal
  // The same request twice gives the same ascending order; there is no toggle.
  table.SortByFields("Name", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{4, 2, 5, 1, 3, 6}));
  // Descending reverses the load order of equal keys too, and puts nulls last.
  table.SortByFields("name:d", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{6, 3, 1, 5, 2, 4}));
  table.SortByFields("  ", 0);
  EXPECT_EQ(table.CurrentIndex(), &table.Indexes().RowOrder());
  EXPECT_EQ(table.SortIndex(), nullptr);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(SortTest, RefusedFieldsLeaveTheRowOrder) {
  Load({{2, u"x"}, {1, u"y"}});
  table.SortByFields("ID", 0);
  try {
    table.SortByFields("Note", 0);
    FAIL() << "a memo is not a sort key";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Can't index on field Note");
  }
  EXPECT_EQ(table.CurrentIndex(), &table.Indexes().RowOrder());
  EXPECT_EQ(table.Indexes().Count(), 1);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{2, 1}));
  EXPECT_THROW(table.SortByFields("Missing", 0), EDatabaseError);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{2, 1}));

  TMemTable closed;
  closed.SortByFields("ID", 0);  // nothing happens on a closed table
  EXPECT_FALSE(closed.Active());
}

TEST_F(SortTest, CurrentRecordStaysCurrentAcrossASort) {
  Load({{3, u"c"}, {1, u"a"}, {2, u"b"}, {5, u"e"}, {4, u"d"}});
  table.SetRecNo(4);  // ID 5
  table.SortByFields("ID", 0);
  EXPECT_EQ(table.FieldByName("ID").AsInteger(), 5);
  EXPECT_EQ(table.RecNo(), 5);
  table.SortByFields("", 0);
  EXPECT_EQ(table.FieldByName("ID").AsInteger(), 5);
  EXPECT_EQ(table.RecNo(), 4);
}

TEST_F(SortTest, InsertsAndEditsGoToTheirPlace) {
  Load({{10, u"j"}, {30, u"l"}, {20, u"k"}});
  // Row order: an insert goes in front of the current record, an append to the end.
  table.SetRecNo(2);
  table.Insert();
  table.FieldByName("ID").SetAsInteger(25);
  table.Post();
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 25, 30, 20}));
  table.AppendRecord({Value(int32_t{5})});
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 25, 30, 20, 5}));

  table.SortByFields("ID", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{5, 10, 20, 25, 30}));
  table.SetRecNo(2);
  table.Insert();
  table.FieldByName("ID").SetAsInteger(22);
  table.Post();
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{5, 10, 20, 22, 25, 30}));

  // An edited key moves the record in front of equal keys; the cursor keeps its row number.
  table.SetRecNo(1);
  table.Edit();
  table.FieldByName("ID").SetAsInteger(25);
  table.Post();
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.FieldByName("ID").AsInteger(), 10);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 20, 22, 25, 25, 30}));

  // The row order still lists new records at its end and keeps the edited one in place.
  table.SortByFields("", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 25, 30, 20, 25, 22}));

  table.SortByFields("ID", 0);
  table.SetRecNo(2);
  table.Delete();
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 22, 25, 25, 30}));
  table.SortByFields("", 0);
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{10, 25, 30, 25, 22}));
}

TEST_F(SortTest, BookmarksCompareInTheCurrentOrder) {
  Load({{3, u"c"}, {1, u"a"}, {2, u"b"}});
  table.SortByFields("ID", 0);
  table.First();
  const TBookmark lowest = table.GetBookmark();  // ID 1, stored second
  table.Last();
  const TBookmark highest = table.GetBookmark();  // ID 3, stored first
  EXPECT_LT(table.CompareBookmarks(lowest, highest), 0);
  table.GotoBookmark(lowest);
  EXPECT_EQ(table.RecNo(), 1);
  table.SortByFields("", 0);
  EXPECT_GT(table.CompareBookmarks(lowest, highest), 0);  // by store order now
  table.GotoBookmark(lowest);
  EXPECT_EQ(table.RecNo(), 2);
}

TEST_F(SortTest, ChineseTextSortsInPinyinOrder) {
  ScopedCollation chinese("zh_CN.UTF-8");
  Load({{1, u"中国"}, {2, u"北京"}, {3, u"阿里"}, {4, u"上海"}, {5, u"Zoo"}, {6, u"apple"}});
  table.SortByFields("Name", 0);
  std::vector<std::u16string> han, latin;
  for (const auto& name : Names()) (name[0] < 0x80 ? latin : han).push_back(name);
  EXPECT_EQ(han, (std::vector<std::u16string>{u"阿里", u"北京", u"上海", u"中国"}));  // a, b, s, z
  EXPECT_EQ(latin, (std::vector<std::u16string>{u"apple", u"Zoo"}));
}

// The cached-key sort must give exactly what comparing records gives, ties included.
TEST_F(SortTest, CachedKeysSortLikeTheCollatorWithLoadOrderTies) {
  ScopedCollation chinese("zh_CN.UTF-8");
  std::mt19937 random(5);
  const std::u16string letters = u"aAbB中文字北京ÄäzZ ";
  std::vector<std::pair<int, std::u16string>> rows;
  for (int i = 0; i < 3000; ++i) {
    std::u16string s;
    for (int k = 0, n = static_cast<int>(random() % 4); k < n; ++k) s += letters[random() % letters.size()];
    rows.push_back({i, s});
  }
  Load(rows);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("zh_CN"), status));
  std::vector<int> expected(rows.size());
  std::iota(expected.begin(), expected.end(), 0);
  std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
    const auto& x = rows[static_cast<size_t>(a)].second;
    const auto& y = rows[static_cast<size_t>(b)].second;
    if (x.empty() || y.empty()) return x.empty() && !y.empty();  // nulls first
    UErrorCode s = U_ZERO_ERROR;
    return collator->compare(x.data(), static_cast<int32_t>(x.size()), y.data(), static_cast<int32_t>(y.size()), s) ==
           UCOL_LESS;
  });
  table.SortByFields("Name", 0);
  EXPECT_EQ(VisibleIds(table), expected);
  // Case-insensitive sorting ignores case but keeps accents apart.
  table.SortByFields("Name", mtcoCaseInsensitive);
  std::vector<std::u16string> names = Names();
  for (size_t i = 1; i < names.size(); ++i) {
    if (names[i - 1].empty() || names[i].empty()) continue;
    collator->setStrength(icu::Collator::SECONDARY);
    UErrorCode s = U_ZERO_ERROR;
    EXPECT_NE(collator->compare(names[i - 1].data(), static_cast<int32_t>(names[i - 1].size()), names[i].data(),
                                static_cast<int32_t>(names[i].size()), s),
              UCOL_GREATER);
  }
}

TEST_F(SortTest, UniqueIndexRefusesDuplicatesAndKeepsTheEdit) {
  Load({{1, u"a"}, {2, u"b"}});
  table.SortByFields("ID", mtcoUnique);
  table.Last();
  table.Edit();
  table.FieldByName("ID").SetAsInteger(1);
  try {
    table.Post();
    FAIL() << "duplicate accepted";
  } catch (const EMemTableDupKey& e) {
    EXPECT_STREQ(e.what(), "Duplicate index value. Operation aborted.");
  }
  EXPECT_EQ(table.State(), dsEdit);
  EXPECT_EQ(table.FieldByName("ID").AsInteger(), 1);
  table.Cancel();
  EXPECT_EQ(VisibleIds(table), (std::vector<int>{1, 2}));
  EXPECT_THROW(table.AppendRecord({Value(int32_t{2})}), EMemTableDupKey);
  EXPECT_EQ(table.RecordCount(), 2);
}

// Thousands of random inserts, edits, deletes and sorts against a simple model of the visible order.
TEST_F(SortTest, RandomChangesKeepEveryOrder) {
  Load({});
  std::mt19937 random(42);
  std::vector<int> row_order;  // ids in store order as the table's row order lists them
  std::map<int, int> key_of;   // id -> key (keys unique, so the sorted order is fully determined)
  std::set<int> used_keys;
  bool sorted = false;
  int next_id = 1;
  auto fresh_key = [&] {
    int k;
    do k = static_cast<int>(random() % 100000);
    while (!used_keys.insert(k).second);
    return k;
  };
  auto visible_model = [&] {
    std::vector<int> v = row_order;
    if (sorted) std::sort(v.begin(), v.end(), [&](int a, int b) { return key_of[a] < key_of[b]; });
    return v;
  };
  table.Close();
  table.FieldDefs().Clear();
  table.FieldDefs().Add("ID", ftInteger);
  table.FieldDefs().Add("K", ftInteger);
  table.Open();
  for (int step = 0; step < 3000; ++step) {
    const int count = static_cast<int>(row_order.size());
    if (count > 0) table.SetRecNo(1 + static_cast<int>(random() % static_cast<unsigned>(count)));
    const int current = count > 0 ? table.FieldByName("ID").AsInteger() : -1;
    switch (random() % 8) {
      case 0: case 1: {  // append
        const int id = next_id++, key = fresh_key();
        table.AppendRecord({Value(int32_t{id}), Value(int32_t{key})});
        row_order.push_back(id);
        key_of[id] = key;
        break;
      }
      case 2: case 3: {  // insert before the current record
        const int id = next_id++, key = fresh_key();
        table.InsertRecord({Value(int32_t{id}), Value(int32_t{key})});
        if (sorted || current < 0)
          row_order.push_back(id);
        else
          row_order.insert(std::find(row_order.begin(), row_order.end(), current), id);
        key_of[id] = key;
        break;
      }
      case 4: {  // edit the key
        if (current < 0) break;
        const int key = fresh_key();
        table.Edit();
        table.FieldByName("K").SetAsInteger(key);
        table.Post();
        used_keys.erase(key_of[current]);
        key_of[current] = key;
        break;
      }
      case 5: {  // delete
        if (current < 0) break;
        table.Delete();
        row_order.erase(std::find(row_order.begin(), row_order.end(), current));
        used_keys.erase(key_of[current]);
        key_of.erase(current);
        break;
      }
      case 6: table.SortByFields("K", 0), sorted = true; break;
      case 7: table.SortByFields("", 0), sorted = false; break;
    }
    ASSERT_EQ(table.RecordCount(), static_cast<int>(row_order.size())) << "step " << step;
    ASSERT_EQ(VisibleIds(table), visible_model()) << "step " << step;
  }
}

}  // namespace
}  // namespace vantor
