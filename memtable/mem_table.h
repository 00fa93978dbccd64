#pragma once
// TCustomMemTable: a dataset whose rows live wholly in memory, in the record store TMemCommon.
// TMemTable publishes it unchanged.
//
// Stored records never move: the table shows them through its current index, the row-order index (the
// order in which they were stored, an inserted row going in front of the row that was current) unless a
// sort is selected. Filters and key buffers are not part of it.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dataset/dataset.h"
#include "memtable/mem_common.h"
#include "memtable/mem_index.h"

namespace vantor {

enum TMemProgressCode {
  mtpcLoad, mtpcSave, mtpcEmpty, mtpcPack, mtpcCheckPoint, mtpcSearch, mtpcCopy, mtpcUpdate, mtpcSort
};
using TMemProgressFlags = uint16_t;
inline constexpr TMemProgressFlags ProgressFlag(TMemProgressCode code) {
  return static_cast<TMemProgressFlags>(1u << code);
}

// Options of LoadFromSource and SaveToTarget.
enum TMemLoadOption : uint16_t {
  mtloStructure = 0x0001,
  mtloSourceFieldsOnly = 0x0002,
  mtloProperties = 0x0004,
  mtloLookupFields = 0x0008,
  mtloCalcFields = 0x0010,
  mtloAppend = 0x0020,
  mtloKeepFieldIndex = 0x0040,
  mtloKeepIndexes = 0x0080,
  mtloIgnoreErrors = 0x0100,
  mtloLookupAsData = 0x0200,
  mtloCalcAsData = 0x0400,
  mtloStringAsWide = 0x0800,
  mtloWideAsUTF8 = 0x1000,
};
using TMemLoadOptions = uint16_t;

enum TMemStorageKind { mtstDataSet, mtstStream, mtstBinaryStream, mtstFile, mtstBinaryFile };

class TCustomMemTable;
using TMemStorageEvent = std::function<void(TCustomMemTable& table, TMemStorageKind kind)>;
using TMemAcceptEvent = std::function<void(TCustomMemTable& table, bool& accept)>;
using TMemFieldEvent = std::function<void(TCustomMemTable& table, int field_no, TField& field)>;
using TMemFieldPropertiesEvent = std::function<void(TCustomMemTable& table, TField& field)>;
using TMemProgressEvent = std::function<void(TCustomMemTable& table, int percentage, TMemProgressCode code)>;

class TCustomMemTable : public TDataSet {
 public:
  TCustomMemTable();
  ~TCustomMemTable() override;

  TMemCommon& Store() { return *store_; }
  const TMemCommon& Store() const { return *store_; }

  // Empties the table: pending edits are cancelled and every stored record freed (a new store stamp).
  void ClearRecords();
  void ReportProgress(int percentage, TMemProgressCode code);

  // --- Properties ---
  static constexpr const char* kVersion = "6.30";
  const char* Version() const { return kVersion; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  TMemPerformance Performance() const { return store_->Performance(); }
  void SetPerformance(TMemPerformance value) { store_->SetPerformance(value); }
  bool Standalone() const { return store_->Standalone(); }
  void SetStandalone(bool value) { store_->SetStandalone(value); }
  int AttachMaxCount() const { return store_->AttachMaxCount(); }
  void SetAttachMaxCount(int value) { store_->SetAttachMaxCount(value); }
  int32_t LocaleID() const { return store_->LocaleID(); }
  void SetLocaleID(int32_t value) { store_->SetLocaleID(value); }
  int32_t LanguageID() const { return store_->LanguageID(); }
  void SetLanguageID(int32_t value) { store_->SetLanguageID(value); }
  int32_t SubLanguageID() const { return store_->SubLanguageID(); }
  void SetSubLanguageID(int32_t value) { store_->SetSubLanguageID(value); }
  int32_t SortID() const { return store_->SortID(); }
  void SetSortID(int32_t value) { store_->SetSortID(value); }
  int64_t AutoIncMinValue() const { return store_->AutoIncMinValue(); }
  void SetAutoIncMinValue(int64_t value) { store_->SetAutoIncMinValue(value); }
  bool EnableIndexes() const { return enable_indexes_; }
  void SetEnableIndexes(bool value) { enable_indexes_ = value; }
  bool RecalcOnFetch() const { return recalc_on_fetch_; }
  void SetRecalcOnFetch(bool value) { recalc_on_fetch_ = value; }
  // Set when a key field list names a calculated field: searches then recalculate before comparing.
  bool RecalcOnIndex() const { return recalc_on_index_; }
  void SetRecalcOnIndex(bool value) { recalc_on_index_ = value; }
  TMemProgressFlags ProgressFlags() const { return progress_flags_; }
  void SetProgressFlags(TMemProgressFlags value) { progress_flags_ = value; }

  bool AutoReposition() const { return auto_reposition_; }
  void SetAutoReposition(bool value) { auto_reposition_ = value; }
  int LoadLimit() const { return load_limit_; }
  void SetLoadLimit(int value) { load_limit_ = value; }
  int SaveLimit() const { return save_limit_; }
  void SetSaveLimit(int value) { save_limit_ = value; }
  bool LoadedCompletely() const { return loaded_completely_; }
  bool SavedCompletely() const { return saved_completely_; }
  // Rows the last load added and the last save wrote (-1 before the first).
  int LoadCount() const { return load_count_; }
  int SaveCount() const { return save_count_; }

  // The stored record behind a row of the row order (0-based); nullptr outside it.
  const TMemRecord* RowRecord(int row) const {
    const TMemIndex& index = indexes_->RowOrder();
    return row >= 0 && row < index.Count() ? index.At(row) : nullptr;
  }
  // The stored record behind a row of the current order (0-based); nullptr outside it. Constant time, so a
  // grid can read any row without moving the cursor.
  const TMemRecord* ViewRecord(int row) const {
    return row >= 0 && row < current_index_->Count() ? current_index_->At(row) : nullptr;
  }

  // --- Indexes and sorting ---
  TMemIndexes& Indexes() { return *indexes_; }
  TMemIndex* CurrentIndex() const { return current_index_; }
  TMemIndex* SortIndex() const { return sort_index_; }
  // The fields of the current index's key, and whether a field is one of them.
  const TMemFieldList& IndexFieldList() const { return index_field_list_; }
  bool IsIndexField(const TField* field) const { return index_field_list_.Contains(field); }
  const std::string& IndexFieldNames() const { return index_field_names_; }
  const std::string& IndexName() const { return index_name_; }
  // Sorts the view on a field-name list ("Name;Price:D"); an empty list returns to row order.
  void SortByFields(const std::string& field_names, TMemCompareOptions options);
  // Makes an index current (nullptr: the row-order index), keeping the current record current.
  void SelectIndex(TMemIndex* index);
  // Marks every index unordered and rebuilds it; the current view is refreshed.
  void RebuildIndexes();
  int CursorPosition() const { return position_; }
  void SetCursorPosition(int position) { position_ = position; }
  // Called by the index collection before it frees an index.
  void IndexRemoved(TMemIndex* index);

  // --- Copying and loading ---
  // Copies rows by field name from the source's current row to its end (at most `count` when positive),
  // appending and posting each in the destination. Answers the number of rows copied.
  virtual int TransferRecords(TDataSet* source, TDataSet* destination, int count, bool ignore_errors,
                              bool wide_as_utf8);
  void SaveToTarget(TDataSet* destination, TMemLoadOptions options);
  // Fills the table from another dataset (options 5: its structure, its field properties and its rows).
  virtual void LoadFromSource(TDataSet* source, TMemLoadOptions options);
  void CopyStructureFrom(TDataSet* source, TMemLoadOptions options);
  void AdoptFieldProperties(TDataSet* source, TDataSet* destination);

  // --- Events ---
  TMemSetupFieldEvent OnSetupField;
  TMemProgressEvent OnProgress;
  TMemStorageEvent OnLoad, OnSave;
  TMemAcceptEvent OnSaveRecord, OnLoadRecord;
  TMemFieldEvent OnSaveField, OnLoadField;
  TMemFieldPropertiesEvent OnSetupFieldProperties;

  // --- Dataset protocol ---
  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return cursor_open_; }
  void InternalInitFieldDefs() override {}
  void InternalFirst() override { position_ = -1; }
  void InternalLast() override { position_ = current_index_->Count(); }
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalCancel() override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) override;
  void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordCount() override;
  int GetRecNo() override;
  void InternalSetRecNo(int value) override;
  bool GetCanModify() override { return ignore_read_only_ || !read_only_; }
  void CloseBlob(TField& field) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void DoBeforeInsert() override;
  void DoBeforePost() override;
  void DoOnNewRecord() override;
  void DoAfterOpen() override;

 private:
  friend class TMemBlobStream;
  struct BookmarkData;

  static TMemRecord* AsRecord(TRecordBuffer buffer) { return reinterpret_cast<TMemRecord*>(buffer); }
  // The record a field access works on in the current state; nullptr when none applies.
  TMemRecord* CurrentRecord() const;
  TMemRecord* BookmarkRecord(const TMemRecord* buffer) const;
  bool DecodeBookmark(const TBookmark& bookmark, BookmarkData& out) const;
  void PostNewRecord(TMemRecord* buffer, bool append);
  void CheckUniqueKeys(const TMemRecord* buffer, const TMemRecord* stored);
  void ClearStoredRows();
  int64_t AutoIncValue(const TMemRecord* record) const;
  void SetLoadedCompletely(bool value) { loaded_completely_ = value; }
  // Destroys every field object (persistent ones included), for a structure copied from elsewhere.
  void DestroyAllFields();
  void ResetAutoIncrement();
  void ResetIndexes();

  std::unique_ptr<TMemCommon> store_;
  std::unique_ptr<TMemIndexes> indexes_;
  TMemIndex* current_index_ = nullptr;
  TMemIndex* sort_index_ = nullptr;
  TMemFieldList index_field_list_;
  std::string index_field_names_;
  std::string index_name_;
  bool auto_reposition_ = false;
  int reposition_ = -1;
  int load_limit_ = -1;
  int save_limit_ = -1;
  bool loaded_completely_ = false;
  bool saved_completely_ = false;
  int load_count_ = -1;
  int save_count_ = -1;
  int position_ = -1;
  int insert_position_ = -1;
  bool cursor_open_ = false;
  bool ignore_read_only_ = false;
  bool read_only_ = false;
  bool enable_indexes_ = true;
  bool recalc_on_fetch_ = true;
  bool recalc_on_index_ = false;
  TMemProgressFlags progress_flags_ = ProgressFlag(mtpcLoad) | ProgressFlag(mtpcSave) | ProgressFlag(mtpcCopy);
  TField* auto_inc_field_ = nullptr;
};

class TMemTable : public TCustomMemTable {
 public:
  using TCustomMemTable::TCustomMemTable;
};

}  // namespace vantor
