#pragma once
// TMemCommon: the record store of an in-memory table. It owns the stored records (a slot list with last-in
// first-out reuse of deleted slots), decides how each field is laid out inside a record, and allocates,
// copies, moves and frees records and their variable-length blocks.
//
// Operations that change the slot lists, counters, flags or settings hold the store's re-entrant lock,
// except when the store is Standalone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "dataset/field_def.h"
#include "memtable/field_storage.h"
#include "memtable/locale_id.h"
#include "memtable/mem_record.h"
#include "memtable/store_stamp.h"
#include "memtable/var_block.h"

namespace vantor {

class RecordPool;
class TCustomMemTable;
class TField;
struct TMemFieldList;

// Called for each non-blob variable-length field while the layout is computed; may change its flag byte.
using TMemSetupFieldEvent = std::function<void(const TFieldDef& def, uint8_t& flags)>;

// Raises the layout's EMemTableError for the first definition (children included) of a type a table
// cannot hold, so that it is reported before field objects are made for it.
void CheckFieldDefsSupported(const TFieldDefs& defs);

class TMemCommon {
 public:
  static constexpr int kMaxFields = 256;
  static constexpr int32_t kUniqueIdLimit = 2147483600;

  explicit TMemCommon(TCustomMemTable* owner);
  ~TMemCommon();
  TMemCommon(const TMemCommon&) = delete;
  TMemCommon& operator=(const TMemCommon&) = delete;

  TCustomMemTable* Owner() const { return owner_; }

  // --- Lock ---
  class [[nodiscard]] Guard {
   public:
    explicit Guard(const TMemCommon& store) : mutex_(store.standalone_ ? nullptr : &store.lock_) {
      if (mutex_) mutex_->lock();
    }
    ~Guard() {
      if (mutex_) mutex_->unlock();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    std::recursive_mutex* mutex_;
  };
  Guard Lock() const { return Guard(*this); }

  // --- Layout ---
  // Lays out a record for these definitions (numbering data fields 1.. depth-first) and the platform's
  // calculated-field buffer size. Raises EMemTableError for no definitions, an unsupported type, more than
  // kMaxFields data fields or sizes that cannot be held.
  void ComputeLayout(const TFieldDefs& defs, int calc_fields_size, const TMemSetupFieldEvent& on_setup = {});
  int FieldCount() const { return field_count_; }
  int32_t FieldOffset(int field_no) const { return offsets_[static_cast<size_t>(field_no - 1)]; }
  uint8_t FieldFlags(int field_no) const { return flags_[static_cast<size_t>(field_no - 1)]; }
  bool IsVarLength(int field_no) const { return FieldFlags(field_no) & kFieldVarLength; }
  TFieldType FieldType(int field_no) const { return types_[static_cast<size_t>(field_no - 1)]; }
  int FieldSize(int field_no) const { return sizes_[static_cast<size_t>(field_no - 1)]; }
  // Bytes of the field's native value (StorageSize of its type and size).
  int FieldStorageSize(int field_no) const { return storage_sizes_[static_cast<size_t>(field_no - 1)]; }
  // Field numbers of the variable-length fields, in order.
  const std::vector<int>& VarFields() const { return var_fields_; }
  int FixedAreaSize() const { return fixed_size_; }
  int CalcAreaStart() const { return calc_start_; }
  int BookmarkAreaStart() const { return bookmark_start_; }
  int VarAreaStart() const { return var_start_; }
  int VarFieldCount() const { return static_cast<int>(var_fields_.size()); }
  int DataAreaSize() const { return data_size_; }
  int RecordSize() const { return data_size_ + static_cast<int>(sizeof(TMemRecord)); }

  // --- Records ---
  TMemRecord* AllocateRecord();
  void ClearRecord(TMemRecord* record) const;
  // Header fields (not Flags, not Data), the fixed, calculated and bookmark areas, and for variable-length
  // fields only their presence bytes: block pointers stay where they are.
  void MoveRecord(const TMemRecord* source, TMemRecord* target) const;
  TMemRecord* CopyRecord(const TMemRecord* source, bool with_blocks);
  void CopyVarField(const TMemRecord* source, TMemRecord* target, int field_no) const;
  // Hands the source buffer's blocks over to the stored target, then moves the rest.
  void TransferRecord(TMemRecord* source, TMemRecord* target) const;
  void FreeRecord(TMemRecord* record, bool free_blocks, bool free_versions);
  // Frees every variable-length block the record holds and clears their entries.
  void FreeVarBlocks(TMemRecord* record) const;
  void AppendRecord(TMemRecord* record);
  void DeleteRecord(TMemRecord* record);
  void ClearAllRecords();
  // Slot-list length, deleted slots included.
  int RecordCount() const { return static_cast<int>(slots_.size()); }
  // The stored record in a slot; nullptr for a deleted slot or a slot out of range.
  TMemRecord* StoredRecord(int slot_id) const {
    return slot_id >= 0 && slot_id < RecordCount() ? slots_[static_cast<size_t>(slot_id)] : nullptr;
  }
  int FreeSlotCount() const { return static_cast<int>(free_slots_.size()); }
  int DeletedCount() const { return deleted_count_; }
  int32_t NextUniqueId() const { return unique_id_counter_; }
  // Heap bytes the store holds: record chunks, slot lists and the stored records' variable-length blocks.
  // Walks every stored record; meant for measurements, not for hot paths.
  size_t MemoryUsage() const;
  // Moves the unique-id counter on (restores a counter, and lets the exhaustion rule be exercised).
  void SetNextUniqueId(int32_t value);

  // --- Field access ---
  // The field's presence byte in a record: nullptr without a record.
  std::byte* FieldPointer(const TMemRecord* record, int field_no) const {
    return record ? record->Data + FieldOffset(field_no) : nullptr;
  }
  std::byte* FieldPointer(const TMemRecord* record, const TField& field) const;
  // The block of a variable-length field; nullptr when the record holds none.
  VarBlock FieldBlock(const TMemRecord* record, int field_no) const {
    return reinterpret_cast<VarBlock>(LoadPointer(FieldPointer(record, field_no) + 1));
  }
  void SetFieldBlock(TMemRecord* record, int field_no, VarBlock block) const {
    StorePointer(FieldPointer(record, field_no) + 1, block);
  }
  // The block a variable-length value is read from: the record's own, else the stored record's at its
  // SlotId. Raises EMemTableInvalidRecord when the record has none and was never stored.
  VarBlock ValueBlock(const TMemRecord* record, int field_no) const;
  void SetFieldModified(int field_no) { flags_[static_cast<size_t>(field_no - 1)] |= kFieldModified; }
  bool FieldModified(int field_no) const { return FieldFlags(field_no) & kFieldModified; }
  void ClearModifiedFlags();
  bool DataModified() const { return data_modified_; }
  void SetDataModified(bool value) { data_modified_ = value; }

  // The bookmark slot of viewer `viewer` in a record: a record pointer then a flag byte.
  std::byte* BookmarkSlot(const TMemRecord* record, int viewer) const {
    return record->Data + bookmark_start_ + viewer * kBookmarkSlotSize;
  }

  // --- Comparison (compare_records.cpp); callers hold the lock ---
  int CompareRecordFields(const TMemFieldList& list, const TMemRecord* key, const TMemRecord* record, bool partial,
                          bool ignore_null_keys) const;
  int CompareKeys(const TMemFieldList& list, const TMemRecord* key, const TMemRecord* record, bool partial,
                  bool tie_break) const;

  // --- Settings ---
  int32_t StoreStamp() const { return store_stamp_; }
  TMemPerformance Performance() const { return performance_; }
  void SetPerformance(TMemPerformance value) { performance_ = value; }
  bool Standalone() const { return standalone_; }
  void SetStandalone(bool value);
  int AttachMaxCount() const { return attach_max_count_; }
  void SetAttachMaxCount(int value);
  const std::vector<TCustomMemTable*>& Viewers() const { return viewers_; }
  int ViewerIndex(const TCustomMemTable* table) const;

  int32_t LocaleID() const { return locale_id_; }
  void SetLocaleID(int32_t value);
  int32_t LanguageID() const { return locale_parts_.language; }
  int32_t SubLanguageID() const { return locale_parts_.sub_language; }
  int32_t SortID() const { return locale_parts_.sort; }
  void SetLanguageID(int32_t value);
  void SetSubLanguageID(int32_t value);
  void SetSortID(int32_t value);

  int64_t AutoIncMinValue() const { return auto_inc_min_; }
  void SetAutoIncMinValue(int64_t value);
  int64_t HighestAutoInc() const { return highest_auto_inc_; }
  void SetHighestAutoInc(int64_t value) { highest_auto_inc_ = value; }

 private:
  bool AnyViewerOpen() const;
  void SetLocaleParts(const LocaleIdParts& parts);
  void ResetPool();

  TCustomMemTable* owner_;
  std::vector<TCustomMemTable*> viewers_;
  mutable std::recursive_mutex lock_;

  // Layout.
  std::array<int32_t, kMaxFields> offsets_{};
  std::array<uint8_t, kMaxFields> flags_{};
  std::array<TFieldType, kMaxFields> types_{};
  std::array<int32_t, kMaxFields> sizes_{};
  std::array<int32_t, kMaxFields> storage_sizes_{};
  std::vector<int> var_fields_;
  int field_count_ = 0;
  int fixed_size_ = 0;
  int calc_start_ = 0;
  int bookmark_start_ = 0;
  int var_start_ = 0;
  int data_size_ = 0;
  RecordPool* pool_ = nullptr;

  // Records.
  std::vector<TMemRecord*> slots_;
  std::vector<int32_t> free_slots_;
  int32_t unique_id_counter_ = 0;
  int deleted_count_ = 0;
  int32_t store_stamp_ = -1;
  std::mt19937 random_;
  bool data_modified_ = false;

  // Settings.
  TMemPerformance performance_ = mtpfFast;
  bool standalone_ = false;
  int attach_max_count_ = 1;
  int32_t locale_id_ = kUserDefaultLocaleId;
  LocaleIdParts locale_parts_ = SplitLocaleId(kUserDefaultLocaleId);
  int64_t auto_inc_min_ = 0;
  int64_t highest_auto_inc_ = -1;
};

}  // namespace vantor
