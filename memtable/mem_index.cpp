#include "memtable/mem_index.h"

#include <algorithm>

#include "dataset/text.h"
#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"
#include "memtable/reference_sort.h"
#include "memtable/sort_keys.h"

namespace vantor {
namespace {

// Reports progress 0 now and 100 when it goes out of scope, whatever happens in between.
class ProgressSpan {
 public:
  ProgressSpan(TCustomMemTable& table, TMemProgressCode code) : table_(table), code_(code) {
    table_.ReportProgress(0, code_);
  }
  ~ProgressSpan() {
    try {
      table_.ReportProgress(100, code_);
    } catch (...) {
    }
  }

 private:
  TCustomMemTable& table_;
  TMemProgressCode code_;
};

}  // namespace

// --- TMemIndex -------------------------------------------------------------------------------------------

TMemIndex::TMemIndex(std::string name, TCustomMemTable& table, std::string field_names, TMemCompareOptions options,
                     TMemIndexKind kind, bool internal, bool row_order)
    : name_(std::move(name)),
      table_(table),
      store_(table.Store()),
      field_names_(std::move(field_names)),
      options_(options),
      kind_(kind),
      row_order_(row_order),
      internal_(internal) {
  if (!TrimBlanks(field_names_).empty()) {
    ParseFieldList(table_, key_fields_, field_names_);
    static constexpr std::pair<TMemCompareOption, TMemIndexFieldOption> kHandedOn[] = {
        {mtcoDescending, mtifoDescending},       {mtcoCaseInsensitive, mtifoCaseInsensitive},
        {mtcoPartialKey, mtifoPartial},          {mtcoIgnoreNullKey, mtifoIgnoreNull},
        {mtcoIgnoreLocale, mtifoIgnoreLocale}};
    for (const auto& [index_option, field_option] : kHandedOn) {
      if (!(options_ & index_option)) continue;
      for (int i = 0; i < key_fields_.Count; ++i) key_fields_.Options[static_cast<size_t>(i)] |= field_option;
    }
  }
  ordered_ = Store().RecordCount() == 0;
}

void TMemIndex::CollectRecords() {
  references_.clear();
  ordered_ = false;
  const TMemCommon& store = Store();
  auto guard = store.Lock();
  references_.reserve(static_cast<size_t>(store.RecordCount()));
  for (int slot = 0; slot < store.RecordCount(); ++slot) {
    TMemRecord* record = store.StoredRecord(slot);
    if (record && record->ChangeState != csDeleted && ListsState(record->ChangeState)) references_.push_back(slot);
  }
}

void TMemIndex::SortReferences(int first, int last) {
  if (last > first) {
    const TMemCommon& store = Store();
    if (!SortByCachedKey(store, key_fields_, references_, first, last)) {
      SortRange(references_.data(), first, last, [&](int32_t a, int32_t b) {
        return store.CompareKeys(key_fields_, store.StoredRecord(a), store.StoredRecord(b), false, true);
      });
    }
  }
  ordered_ = true;
}

void TMemIndex::SortStep() {
  if (kind_ != TMemIndexKind::Sorted) {
    if (row_order_) ordered_ = true;
    return;
  }
  ProgressSpan progress(table_, mtpcSort);
  const TMemCommon& store = Store();
  auto guard = store.Lock();
  SortReferences(0, Count() - 1);
  if (options_ & mtcoUnique) {
    for (int i = 1; i < Count(); ++i)
      if (store.CompareKeys(key_fields_, At(i - 1), At(i), false, false) == 0)
        throw EMemTableDupKey(memmsg::kDuplicateKey);
  }
}

void TMemIndex::ReloadIndex() {
  if (table_.Active()) {
    CollectRecords();
    if (references_.empty())
      ordered_ = true;
    else
      SortStep();
  } else {
    ordered_ = true;
  }
  if (table_.CurrentIndex() == this && table_.CursorPosition() >= Count()) table_.SetCursorPosition(Count() - 1);
}

TMemIndex::KeyPosition TMemIndex::FindKeyPosition(const TMemFieldList* list, const TMemRecord* key, bool nearest,
                                                  int skip) {
  KeyPosition result;
  // With `skip` the reference there is searched as if it were not in the list.
  const int count = Count() - (skip >= 0 ? 1 : 0);
  if (count <= 0) return result;
  auto ref = [&](int i) { return At(skip >= 0 && i >= skip ? i + 1 : i); };
  if (!list) list = &key_fields_;
  const TMemCommon& store = Store();
  auto guard = store.Lock();
  ProgressSpan progress(table_, mtpcSearch);
  if (ordered_ && !row_order_ && count > 20) {
    int low = 0, high = count - 1;
    while (low <= high) {
      const int middle = (low + high) / 2;
      const int c = store.CompareKeys(*list, key, ref(middle), false, false);
      result.last_compare = c;
      if (c < 0) {
        high = middle - 1;
      } else if (c > 0) {
        low = middle + 1;
      } else {
        int first = middle;
        while (first > 0 && store.CompareKeys(*list, key, ref(first - 1), nearest, false) == 0) --first;
        result.found = true;
        result.position = first;
        return result;
      }
    }
    result.position = low;
    return result;
  }
  for (int i = 0; i < count; ++i) {
    const int c = store.CompareKeys(*list, key, ref(i), nearest, false);
    result.last_compare = c;
    if (c == 0 || (nearest && c < 0)) {
      result.found = true;
      result.position = i;
      return result;
    }
    if (i % 100 == 99) table_.ReportProgress(static_cast<int>((static_cast<int64_t>(i) * 100 + count / 2) / count), mtpcSearch);
  }
  result.position = count;
  return result;
}

int TMemIndex::FindBySlot(int32_t slot_id) {
  const TMemCommon& store = Store();
  auto guard = store.Lock();
  const int count = Count();
  if (ordered_ && row_order_) {
    // Store order is slot order until deleted slots are reused, so a binary search usually hits.
    for (const bool ascending : {true, false}) {
      int low = 0, high = count - 1;
      while (low <= high) {
        const int middle = (low + high + 1) / 2;
        const int32_t s = references_[static_cast<size_t>(middle)];
        if (s == slot_id) return middle;
        if (ascending ? s < slot_id : s > slot_id)
          low = middle + 1;
        else
          high = middle - 1;
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    if (references_[static_cast<size_t>(i)] == slot_id) return i;
    if (i % 100 == 99) table_.ReportProgress(static_cast<int>((static_cast<int64_t>(i) * 100 + count / 2) / count), mtpcSearch);
  }
  return -1;
}

int TMemIndex::FindRecordPosition(const TMemRecord* record) {
  const TMemCommon& store = Store();
  auto guard = store.Lock();
  ProgressSpan progress(table_, mtpcSearch);
  const int count = Count();
  int start = 0;
  if (ordered_ && count > 5) {
    if (row_order_) {
      const int hit = FindBySlot(record->SlotId);
      if (hit >= 0) return hit;
    } else {
      int low = 0, high = count - 1;
      while (low <= high) {
        const int middle = (low + high) / 2;
        const int c = store.CompareKeys(key_fields_, record, At(middle), false, false);
        if (c < 0) {
          high = middle - 1;
        } else if (c > 0) {
          low = middle + 1;
        } else {
          start = middle;
          while (start > 0 && store.CompareKeys(key_fields_, record, At(start - 1), false, false) == 0) --start;
          break;
        }
      }
    }
  }
  for (int i = start; i < count; ++i)
    if (references_[static_cast<size_t>(i)] == record->SlotId) return i;
  // A record whose key compares unlike its neighbours' (an unordered view) is found by a full scan.
  for (int i = 0; i < start; ++i)
    if (references_[static_cast<size_t>(i)] == record->SlotId) return i;
  return -1;
}

// --- TMemIndexes -----------------------------------------------------------------------------------------

TMemIndexes::TMemIndexes(TCustomMemTable& table) : table_(table) {
  auto row_order = std::make_unique<TMemIndex>(kRowOrderIndexName, table, std::string(), 0, TMemIndexKind::Unsorted,
                                               true, true);
  row_order_ = row_order.get();
  items_.push_back(std::move(row_order));
}

TMemIndexes::~TMemIndexes() = default;

TMemIndex& TMemIndexes::Add(std::unique_ptr<TMemIndex> index) {
  items_.push_back(std::move(index));
  return *items_.back();
}

void TMemIndexes::Remove(TMemIndex* index) {
  if (!index || index == row_order_) return;
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == index) {
      table_.IndexRemoved(index);
      items_.erase(it);
      return;
    }
  }
}

TMemIndex* TMemIndexes::FindByName(std::string_view name) const {
  const std::string upper = AsciiUpper(name);
  for (const auto& index : items_)
    if (AsciiUpper(index->Name()) == upper) return index.get();
  return nullptr;
}

TMemIndex* TMemIndexes::FindByFieldNames(std::string_view field_names) const {
  const std::string upper = AsciiUpper(field_names);
  for (const auto& index : items_)
    if (!index->RowOrder() && AsciiUpper(index->FieldNames()) == upper) return index.get();
  return nullptr;
}

void TMemIndexes::ResetIndexes() {
  for (auto it = items_.begin(); it != items_.end();) {
    if (it->get() == row_order_) {
      (*it)->References().clear();
      (*it)->SetOrdered(true);
      ++it;
    } else {
      table_.IndexRemoved(it->get());
      it = items_.erase(it);
    }
  }
}

void TMemIndexes::ReloadAll() {
  for (const auto& index : items_) index->ReloadIndex();
}

int TMemIndexes::ApplyRecordChange(TMemRecordChange change, TMemRecord* old_record, TMemRecord* new_record,
                                   int position) {
  int reposition = -1;
  const TMemCommon& store = table_.Store();
  for (const auto& holder : items_) {
    TMemIndex& index = *holder;
    const bool current = table_.CurrentIndex() == &index;
    const bool maintained =
        !(index.Options() & mtcoNonMaintained) &&
        ((table_.EnableIndexes() && index.Enabled()) || (change == TMemRecordChange::Delete && current));
    if (!maintained) {
      if (!(index.RowOrder() && change == TMemRecordChange::Edit)) index.SetOrdered(false);
      continue;
    }
    index.SetOrdered(true);
    auto& refs = index.References();
    // Puts the stored record at a place (appending at or past the end) and answers where it went.
    auto file_at = [&](TMemRecord* stored, int place) {
      if (place < 0 || place >= index.Count()) {
        refs.push_back(stored->SlotId);
        return index.Count() - 1;
      }
      refs.insert(refs.begin() + place, stored->SlotId);
      return place;
    };
    switch (change) {
      case TMemRecordChange::Insert: {
        if (!index.ListsState(csInserted)) break;
        int place;
        if (index.RowOrder()) {
          place = current && position >= 0 ? file_at(new_record, std::max(position - 1, 0))
                                           : file_at(new_record, index.Count());
        } else if (index.Count() == 0) {
          place = file_at(new_record, 0);
        } else {
          const TMemIndex::KeyPosition found = index.FindKeyPosition(nullptr, new_record, true);
          place = file_at(new_record, std::max(found.position, 0));
        }
        if (current) {
          reposition = place;
          new_record->Position = place;
        }
        break;
      }
      case TMemRecordChange::Edit: {
        if (index.RowOrder()) break;
        const bool key_changed = !index.ListsState(csModified) ||
                                 store.CompareKeys(index.KeyFields(), old_record, new_record, false, false) != 0;
        if (!key_changed) {
          if (current) reposition = new_record->Position;
          break;
        }
        int at = current && position >= 0 ? position : index.FindRecordPosition(old_record);
        if (at >= index.Count()) at = -1;
        if (!index.ListsState(csModified)) {
          if (at >= 0) refs.erase(refs.begin() + at);
          break;
        }
        // The new place is searched as if the old reference were gone; the reference then moves there in
        // one rotation, shifting only the references between its old and new places.
        const TMemIndex::KeyPosition found = index.FindKeyPosition(nullptr, new_record, true, at);
        int place;
        if (at < 0) {
          place = file_at(old_record, found.position);
        } else {
          const int last = index.Count() - 1;
          place = found.position < 0 || found.position > last ? last : found.position;
          if (place > at)
            std::rotate(refs.begin() + at, refs.begin() + at + 1, refs.begin() + place + 1);
          else if (place < at)
            std::rotate(refs.begin() + place, refs.begin() + at, refs.begin() + at + 1);
        }
        if (current) {
          reposition = place;
          old_record->Position = place;
        }
        break;
      }
      case TMemRecordChange::Delete: {
        if (index.Count() == 0) break;
        const int at =
            index.RowOrder() ? index.FindBySlot(old_record->SlotId) : index.FindRecordPosition(old_record);
        if (at >= 0) refs.erase(refs.begin() + at);
        if (current) reposition = at;
        break;
      }
    }
  }
  return reposition;
}

}  // namespace vantor
