#pragma once
// TAdoDataSet: the dataset part of the query and table objects. Rows are pulled from the provider on
// demand and kept once read, so moving back and bookmarks work without reading the source twice.
// Descendants supply the columns and rows (OpenSource) and, where they allow it, write changes through.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "dataset/dataset.h"
#include "formats/storage.h"

namespace vantor::data {

class TAdoDataSet : public TDataSet {
 public:
  using Row = formats::Row;
  // Fills the row and its row id; false when there are no more.
  using RowSource = std::function<bool(Row& row, int64_t& row_id)>;

  TAdoDataSet();
  ~TAdoDataSet() override;

  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;

  // Rows read from the source so far.
  size_t RowsFetched() const { return rows_.Size(); }

 protected:
  // Fills FieldDefs from the source's columns and answers its rows.
  virtual RowSource OpenSource() = 0;
  virtual void CloseSource() {}
  // Write-through of posted rows; the defaults refuse (read-only dataset).
  virtual int64_t WriteInsert(const Row& row);
  virtual void WriteUpdate(int64_t row_id, const Row& row);
  virtual void WriteDelete(int64_t row_id);
  virtual bool Writable() const { return false; }
  // Field definitions for provider columns.
  static void SetDefsFromColumns(TFieldDefs& defs, const std::vector<formats::ColumnInfo>& columns);

  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override {}
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) override;
  void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  int GetRecordCount() override;
  int GetRecNo() override;
  void InternalSetRecNo(int value) override;
  bool GetCanModify() override { return Writable(); }
  void ClearCalcFields(TRecordBuffer buffer) override;

 private:
  struct Buffer;
  Buffer* CurrentBuffer() const;
  bool FetchOne();
  void FetchAll();
  int IndexOfKey(int64_t key);

  // The rows read so far, one flat array of values (one allocation for many rows).
  class RowCache {
   public:
    void Reset(size_t width) { width_ = width, chunks_.clear(), count_ = 0; }
    size_t Size() const { return count_; }
    void Append(Row& row) {
      row.resize(width_);
      // Rows go into fixed-size chunks, so a million rows are never moved by a growing array.
      if (count_ % kChunkRows == 0) {
        chunks_.emplace_back();
        chunks_.back().reserve(kChunkRows * width_);
      }
      for (Value& v : row) chunks_.back().push_back(std::move(v));
      ++count_;
    }
    void CopyTo(size_t i, Row& row) const { row.assign(At(i), At(i) + width_); }
    void Assign(size_t i, const Row& row) {
      Value* values = At(i);
      for (size_t k = 0; k < width_; ++k) values[k] = k < row.size() ? row[k] : Value();
    }
    void Erase(size_t i) {
      for (size_t r = i; r + 1 < count_; ++r) std::move(At(r + 1), At(r + 1) + width_, At(r));
      --count_;
      std::vector<Value>& last = chunks_.back();
      last.resize(last.size() - width_);
      if (last.empty()) chunks_.pop_back();
    }

   private:
    static constexpr size_t kChunkRows = 4096;
    Value* At(size_t i) { return chunks_[i / kChunkRows].data() + (i % kChunkRows) * width_; }
    const Value* At(size_t i) const { return chunks_[i / kChunkRows].data() + (i % kChunkRows) * width_; }

    size_t width_ = 0;
    size_t count_ = 0;
    std::vector<std::vector<Value>> chunks_;
  };

  RowSource source_;
  bool exhausted_ = true;
  RowCache rows_;
  Row scratch_;
  std::vector<int64_t> row_ids_;  // the source's row ids
  std::vector<int64_t> keys_;     // a stable key per row: what bookmarks hold
  int64_t next_key_ = 1;
  int cursor_ = -1;
  int value_count_ = 0;
  bool open_ = false;
};

}  // namespace vantor::data
