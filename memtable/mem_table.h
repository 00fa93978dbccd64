#pragma once
// TCustomMemTable: a dataset whose rows live wholly in memory, in the record store TMemCommon.
// TMemTable publishes it unchanged.
//
// This version keeps its rows in one row-order list (the order in which they were stored, an inserted row
// going in front of the row that was current). Sorting, index selection, filters and key buffers are not
// part of it yet.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dataset/dataset.h"
#include "memtable/mem_common.h"

namespace vantor {

enum TMemProgressCode {
  mtpcLoad, mtpcSave, mtpcEmpty, mtpcPack, mtpcCheckPoint, mtpcSearch, mtpcCopy, mtpcUpdate, mtpcSort
};
using TMemProgressFlags = uint16_t;
inline constexpr TMemProgressFlags ProgressFlag(TMemProgressCode code) {
  return static_cast<TMemProgressFlags>(1u << code);
}

class TCustomMemTable;
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

  // The stored record behind a row of the row order (0-based); nullptr outside it.
  const TMemRecord* RowRecord(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)] : nullptr;
  }
  int CursorPosition() const { return position_; }

  // --- Events ---
  TMemSetupFieldEvent OnSetupField;
  TMemProgressEvent OnProgress;

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
  void InternalLast() override { position_ = static_cast<int>(rows_.size()); }
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

 private:
  friend class TMemBlobStream;
  struct BookmarkData;

  static TMemRecord* AsRecord(TRecordBuffer buffer) { return reinterpret_cast<TMemRecord*>(buffer); }
  // The record a field access works on in the current state; nullptr when none applies.
  TMemRecord* CurrentRecord() const;
  TMemRecord* BookmarkRecord(const TMemRecord* buffer) const;
  bool DecodeBookmark(const TBookmark& bookmark, BookmarkData& out) const;
  int FindRow(const TMemRecord* stored) const;
  void PostNewRecord(TMemRecord* buffer, bool append);
  void ClearStoredRows();
  int64_t AutoIncValue(const TMemRecord* record) const;

  std::unique_ptr<TMemCommon> store_;
  std::vector<TMemRecord*> rows_;  // the row order
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
