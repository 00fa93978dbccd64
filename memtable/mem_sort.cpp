// TCustomMemTable::SortByFields, SelectIndex and RebuildIndexes: choosing the order the table shows.

#include "dataset/text.h"
#include "memtable/mem_table.h"

namespace vantor {

void TCustomMemTable::SortByFields(const std::string& field_names, TMemCompareOptions options) {
  if (!Active()) return;
  CheckBrowseMode();
  current_index_ = nullptr;
  try {
    if (sort_index_) indexes_->Remove(sort_index_);  // forgets it through IndexRemoved
    if (!TrimBlanks(field_names).empty()) {
      TMemIndex& added = indexes_->Add(std::make_unique<TMemIndex>(kSortIndexName, *this, field_names, options,
                                                                   TMemIndexKind::Sorted, true));
      try {
        added.ReloadIndex();
      } catch (...) {
        indexes_->Remove(&added);
        throw;
      }
      sort_index_ = &added;
    }
    SelectIndex(sort_index_);
  } catch (...) {
    if (!current_index_) SelectIndex(nullptr);
    throw;
  }
  if (!current_index_) SelectIndex(nullptr);
}

void TCustomMemTable::SelectIndex(TMemIndex* index) {
  if (!index) index = &indexes_->RowOrder();
  if (index == current_index_) return;
  int32_t slot = -1;
  if (Active()) {
    CheckBrowseMode();
    if (!IsEmpty()) {
      TMemRecord* buffer = AsRecord(ActiveBuffer());
      slot = buffer->SlotId;
      if (current_index_) InternalSetToRecord(ActiveBuffer());
    }
  }
  if (!index->Ordered()) index->ReloadIndex();
  if (index->Internal()) {
    index_field_names_.clear();
    index_name_.clear();
  } else {
    index_field_names_ = index->FieldNames();
    index_name_ = index->Name();
  }
  current_index_ = index;
  index_field_list_.Assign(index->KeyFields());
  if (position_ >= index->Count()) position_ = index->Count() - 1;
  if (!Active()) return;
  try {
    if (position_ >= 0) {
      const int found = slot >= 0 ? index->FindBySlot(slot) : -1;
      // A record the new order does not list gives way to the first one.
      position_ = found >= 0 && found < index->Count() ? found : -1;
    }
    Resync();
  } catch (...) {
    try {
      Close();
    } catch (...) {
    }
    throw;
  }
}

void TCustomMemTable::RebuildIndexes() {
  for (int i = 0; i < indexes_->Count(); ++i) (*indexes_)[i].SetOrdered(false);
  indexes_->ReloadAll();
  if (Active() && State() == dsBrowse) Resync();
}

}  // namespace vantor
