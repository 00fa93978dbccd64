#include "memtable/mem_common.h"

#include <algorithm>
#include <cstring>

#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"
#include "memtable/record_pool.h"

namespace vantor {

TMemCommon::TMemCommon(TCustomMemTable* owner) : owner_(owner), random_(std::random_device{}()) {
  if (owner_) viewers_.push_back(owner_);
  store_stamp_ = DrawStoreStamp(store_stamp_, random_);
}

TMemCommon::~TMemCommon() {
  ClearAllRecords();
  if (pool_) pool_->Retire();
}

// --- Records ---------------------------------------------------------------------------------------------

TMemRecord* TMemCommon::AllocateRecord() {
  auto guard = Lock();
  if (pool_ == nullptr) ResetPool();
  auto* record = static_cast<TMemRecord*>(pool_->Allocate());
  record->Data = reinterpret_cast<std::byte*>(record) + sizeof(TMemRecord);
  ClearRecord(record);
  return record;
}

void TMemCommon::ClearRecord(TMemRecord* record) const {
  record->Position = -1;
  record->SlotId = -1;
  record->UniqueId = -1;
  record->VersionLevel = -1;
  record->UserTag = 0;
  record->PriorVersion = nullptr;
  record->ChangeState = csUnchanged;
  record->Flags = 0;
  std::memset(record->Data, 0, static_cast<size_t>(data_size_));
}

void TMemCommon::MoveRecord(const TMemRecord* source, TMemRecord* target) const {
  target->Position = source->Position;
  target->SlotId = source->SlotId;
  target->UniqueId = source->UniqueId;
  target->ChangeState = source->ChangeState;
  target->PriorVersion = source->PriorVersion;
  target->VersionLevel = source->VersionLevel;
  target->UserTag = source->UserTag;
  std::memcpy(target->Data, source->Data, static_cast<size_t>(var_start_));
  for (int field_no : var_fields_) *FieldPointer(target, field_no) = *FieldPointer(source, field_no);
}

TMemRecord* TMemCommon::CopyRecord(const TMemRecord* source, bool with_blocks) {
  TMemRecord* copy = AllocateRecord();
  MoveRecord(source, copy);
  if (with_blocks) {
    try {
      for (int field_no : var_fields_) SetFieldBlock(copy, field_no, DuplicateVarBlock(FieldBlock(source, field_no)));
    } catch (...) {
      FreeRecord(copy, true, false);
      throw;
    }
  }
  return copy;
}

void TMemCommon::CopyVarField(const TMemRecord* source, TMemRecord* target, int field_no) const {
  std::byte* entry = FieldPointer(target, field_no);
  if (VarBlock old = FieldBlock(target, field_no)) {
    FreeVarBlock(old);
    SetFieldBlock(target, field_no, nullptr);
    *entry = std::byte{kValueNull};
  }
  if (VarBlock block = FieldBlock(source, field_no)) {
    SetFieldBlock(target, field_no, DuplicateVarBlock(block));
    *entry = std::byte{kValuePresent};
  }
}

void TMemCommon::TransferRecord(TMemRecord* source, TMemRecord* target) const {
  for (int field_no : var_fields_) {
    VarBlock from = FieldBlock(source, field_no);
    VarBlock to = FieldBlock(target, field_no);
    if (from) {
      FreeVarBlock(to);
      SetFieldBlock(target, field_no, from);
      SetFieldBlock(source, field_no, nullptr);
    } else if (*FieldPointer(source, field_no) == std::byte{kValueNull} && to) {
      FreeVarBlock(to);
      SetFieldBlock(target, field_no, nullptr);
      *FieldPointer(target, field_no) = std::byte{kValueNull};
    }
  }
  MoveRecord(source, target);
}

void TMemCommon::FreeVarBlocks(TMemRecord* record) const {
  for (int field_no : var_fields_) {
    if (VarBlock block = FieldBlock(record, field_no)) {
      FreeVarBlock(block);
      SetFieldBlock(record, field_no, nullptr);
      *FieldPointer(record, field_no) = std::byte{kValueNull};
    }
  }
}

void TMemCommon::FreeRecord(TMemRecord* record, bool free_blocks, bool free_versions) {
  auto guard = Lock();
  // Older versions are released one by one rather than by recursion, so a long chain cannot overflow the stack.
  while (record != nullptr) {
    if (free_blocks) FreeVarBlocks(record);
    TMemRecord* prior = (record->Flags & kRecordStored) && free_versions ? record->PriorVersion : nullptr;
    RecordPool::Release(record);
    record = prior;
  }
}

void TMemCommon::SetNextUniqueId(int32_t value) {
  if (value < 0) throw ERangeError(msg::kInvalidArgument);
  auto guard = Lock();
  unique_id_counter_ = value;
}

void TMemCommon::AppendRecord(TMemRecord* record) {
  auto guard = Lock();
  bool new_slot = free_slots_.empty();
  // A counter at its end would wrap to negative ids, which no longer identify a record.
  if (!new_slot && unique_id_counter_ == INT32_MAX) throw EMemTableFatalError(memmsg::kBookmarkCounterOutOfRange);
  int32_t slot;
  if (new_slot) {
    slot = static_cast<int32_t>(slots_.size());
    slots_.push_back(record);
  } else {
    slot = free_slots_.back();
    free_slots_.pop_back();
    slots_[static_cast<size_t>(slot)] = record;
  }
  record->SlotId = slot;
  record->UniqueId = unique_id_counter_++;
  record->Flags |= kRecordStored;
  if (new_slot && unique_id_counter_ >= kUniqueIdLimit) throw EMemTableFatalError(memmsg::kBookmarkCounterOutOfRange);
}

void TMemCommon::DeleteRecord(TMemRecord* record) {
  auto guard = Lock();
  if (record == nullptr || StoredRecord(record->SlotId) != record) throw EMemTableInvalidRecord(memmsg::kInvalidRecord);
  const int32_t slot = record->SlotId;
  free_slots_.push_back(slot);
  slots_[static_cast<size_t>(slot)] = nullptr;
  FreeRecord(record, true, true);
}

void TMemCommon::ClearAllRecords() {
  auto guard = Lock();
  for (TMemRecord* record : slots_)
    if (record) FreeRecord(record, true, true);
  slots_.clear();
  slots_.shrink_to_fit();
  free_slots_.clear();
  unique_id_counter_ = 0;
  deleted_count_ = 0;
  // A fresh pool gives the memory of the old records back once the cursor buffers are gone too.
  if (pool_) {
    pool_->Retire();
    pool_ = nullptr;
  }
  store_stamp_ = DrawStoreStamp(store_stamp_, random_);
}

size_t TMemCommon::MemoryUsage() const {
  auto guard = Lock();
  size_t bytes = (pool_ ? pool_->ReservedBytes() : 0) + slots_.capacity() * sizeof(TMemRecord*) +
                 free_slots_.capacity() * sizeof(int32_t);
  for (const TMemRecord* record : slots_) {
    if (record == nullptr) continue;
    for (int field_no : var_fields_)
      if (VarBlock block = FieldBlock(record, field_no)) bytes += 4 + VarBlockSize(block);
  }
  return bytes;
}

// --- Field access ----------------------------------------------------------------------------------------

std::byte* TMemCommon::FieldPointer(const TMemRecord* record, const TField& field) const {
  if (record == nullptr) return nullptr;
  if (field.IsCalculated()) return record->Data + calc_start_ + field.Offset();
  return FieldPointer(record, field.FieldNo());
}

VarBlock TMemCommon::ValueBlock(const TMemRecord* record, int field_no) const {
  if (VarBlock own = FieldBlock(record, field_no)) return own;
  if (record->Flags & kRecordStored) return nullptr;
  if (record->SlotId < 0) throw EMemTableInvalidRecord(memmsg::kInvalidRecord);
  const TMemRecord* stored = StoredRecord(record->SlotId);
  return stored ? FieldBlock(stored, field_no) : nullptr;
}

void TMemCommon::ClearModifiedFlags() {
  for (uint8_t& f : flags_) f &= static_cast<uint8_t>(~kFieldModified);
}

// --- Settings --------------------------------------------------------------------------------------------

bool TMemCommon::AnyViewerOpen() const {
  return std::any_of(viewers_.begin(), viewers_.end(), [](const TCustomMemTable* t) { return t->Active(); });
}

int TMemCommon::ViewerIndex(const TCustomMemTable* table) const {
  auto it = std::find(viewers_.begin(), viewers_.end(), table);
  return it == viewers_.end() ? -1 : static_cast<int>(it - viewers_.begin());
}

void TMemCommon::SetAttachMaxCount(int value) {
  if (value == attach_max_count_) return;
  if (AnyViewerOpen()) throw EMemTableError(memmsg::kTableMustBeClosed);
  if (value <= 0) throw ERangeError(msg::kInvalidArgument);
  auto guard = Lock();
  attach_max_count_ = value;
}

void TMemCommon::SetStandalone(bool value) {
  if (value == standalone_) return;
  if (owner_ && owner_->Active()) throw EMemTableError(memmsg::kTableMustBeClosed);
  if (viewers_.size() > 1) throw EMemTableError(memmsg::kChildrenAttached);
  standalone_ = value;
}

void TMemCommon::SetLocaleID(int32_t value) {
  auto guard = Lock();
  locale_id_ = value;
  locale_parts_ = SplitLocaleId(value);
}

void TMemCommon::SetLocaleParts(const LocaleIdParts& parts) {
  auto guard = Lock();
  locale_parts_ = parts;
  locale_id_ = MakeLocaleId(parts);
}

void TMemCommon::SetLanguageID(int32_t value) {
  if (value < 0 || value > 0x3FF) throw ERangeError(msg::kInvalidArgument);
  LocaleIdParts parts = locale_parts_;
  parts.language = value;
  SetLocaleParts(parts);
}

void TMemCommon::SetSubLanguageID(int32_t value) {
  if (value < 0 || value > 0x3F) throw ERangeError(msg::kInvalidArgument);
  LocaleIdParts parts = locale_parts_;
  parts.sub_language = value;
  SetLocaleParts(parts);
}

void TMemCommon::SetSortID(int32_t value) {
  if (value < 0 || value > 0xF) throw ERangeError(msg::kInvalidArgument);
  LocaleIdParts parts = locale_parts_;
  parts.sort = value;
  SetLocaleParts(parts);
}

void TMemCommon::SetAutoIncMinValue(int64_t value) {
  auto guard = Lock();
  auto_inc_min_ = value;
  if (value > highest_auto_inc_) highest_auto_inc_ = value - 1;
}

}  // namespace vantor
