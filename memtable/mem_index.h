#pragma once
// TMemIndex: one ordered view of a table's stored records (a list of references; records never move), and
// TMemIndexes: the table's collection of them, whose first member is the row-order index that lists the
// records in the order they were stored. The collection keeps every maintained index in order as records
// are inserted, changed and deleted.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "memtable/field_list.h"
#include "memtable/mem_common.h"
#include "memtable/mem_record.h"

namespace vantor {

class TCustomMemTable;

enum TMemCompareOption : uint8_t {
  mtcoDescending = 1,
  mtcoCaseInsensitive = 2,
  mtcoPartialKey = 4,
  mtcoIgnoreNullKey = 8,
  mtcoIgnoreLocale = 16,
  mtcoUnique = 32,
  mtcoNonMaintained = 64,
};
using TMemCompareOptions = uint8_t;

inline constexpr const char* kRowOrderIndexName = "__MT__ROWORDER";
inline constexpr const char* kSortIndexName = "__MT__DEFSORT";

enum class TMemIndexKind : uint8_t { Unsorted = 0, Sorted = 1 };
enum class TMemRecordChange { Insert, Edit, Delete };

class TMemIndex {
 public:
  // Parses the field names into the key field list and applies the index options to every key field.
  TMemIndex(std::string name, TCustomMemTable& table, std::string field_names, TMemCompareOptions options,
            TMemIndexKind kind, bool internal, bool row_order = false);
  TMemIndex(const TMemIndex&) = delete;
  TMemIndex& operator=(const TMemIndex&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& FieldNames() const { return field_names_; }
  TMemCompareOptions Options() const { return options_; }
  const TMemFieldList& KeyFields() const { return key_fields_; }
  bool Ordered() const { return ordered_; }
  void SetOrdered(bool value) { ordered_ = value; }
  TMemIndexKind Kind() const { return kind_; }
  bool RowOrder() const { return row_order_; }
  bool Internal() const { return internal_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  bool ListsState(uint8_t change_state) const { return (status_set_ >> change_state) & 1u; }

  // The references are the records' slot ids: half the bytes of pointers to move when a record changes
  // its place in a large index.
  std::vector<int32_t>& References() { return references_; }
  const std::vector<int32_t>& References() const { return references_; }
  int Count() const { return static_cast<int>(references_.size()); }
  TMemRecord* At(int position) const { return store_.StoredRecord(references_[static_cast<size_t>(position)]); }

  // Fills the references from the store's slots, in slot order, and marks the index unordered.
  void CollectRecords();
  // Sorts references [first, last] by key (tie-break on): median-of-three quicksort leaving runs of up to
  // five, then one insertion sort over the whole range. Marks the index ordered.
  void SortReferences(int first, int last);
  // Collects and sorts (a sorted index), keeping the table's current position inside the list.
  void ReloadIndex();

  struct KeyPosition {
    int last_compare = 0;
    bool found = false;
    int position = -1;
  };
  // Where a key is, or would go. `list` null means the index's own key fields. `skip` names a position
  // whose reference is left out of the search (the record being moved), as if it had been removed.
  KeyPosition FindKeyPosition(const TMemFieldList* list, const TMemRecord* key, bool nearest, int skip = -1);
  int FindBySlot(int32_t slot_id);
  int FindRecordPosition(const TMemRecord* record);

 private:
  void SortStep();
  TMemCommon& Store() const { return store_; }

  std::string name_;
  TCustomMemTable& table_;
  TMemCommon& store_;
  std::string field_names_;
  TMemFieldList key_fields_;
  TMemCompareOptions options_;
  std::vector<int32_t> references_;
  bool ordered_ = false;
  TMemIndexKind kind_;
  bool row_order_;
  bool internal_;
  bool enabled_ = true;
  uint8_t status_set_ = 0b0111;  // unchanged, modified, inserted; never deleted
};

class TMemIndexes {
 public:
  explicit TMemIndexes(TCustomMemTable& table);
  ~TMemIndexes();

  TMemIndex& RowOrder() const { return *row_order_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TMemIndex& operator[](int i) const { return *items_[static_cast<size_t>(i)]; }

  TMemIndex& Add(std::unique_ptr<TMemIndex> index);
  // Frees an index (never the row-order index, which is kept).
  void Remove(TMemIndex* index);
  TMemIndex* FindByName(std::string_view name) const;
  TMemIndex* FindByFieldNames(std::string_view field_names) const;
  // Empties every index and frees all but the row-order index.
  void ResetIndexes();
  void ReloadAll();
  // Keeps every maintained index in order after an insert (new record stored), before an edit is written
  // back (old = stored record, fresh = edit buffer) and before a delete (old = stored record). `position` is
  // the table's current position (0-based) for an edit or delete, the 1-based number of the record that was
  // current when an insert began, or -1 for an append. Returns the reposition number (-1 when none).
  int ApplyRecordChange(TMemRecordChange change, TMemRecord* old_record, TMemRecord* new_record, int position);

 private:
  TCustomMemTable& table_;
  std::vector<std::unique_ptr<TMemIndex>> items_;
  TMemIndex* row_order_;
};

}  // namespace vantor
