#pragma once
// TRowsDataSet: a dataset over rows of Values held in a vector. It is the simplest complete descendant of
// TDataSet: a source of rows for loading and copying, and a target that keeps what is posted to it.

#include <cstdint>
#include <vector>

#include "dataset/dataset.h"

namespace vantor {

class TRowsDataSet : public TDataSet {
 public:
  using Row = std::vector<Value>;  // one Value per data field, in field-number order

  TRowsDataSet();
  ~TRowsDataSet() override;

  // The rows; change them only while the dataset is closed.
  const std::vector<Row>& Rows() const { return rows_; }
  void SetRows(std::vector<Row> rows);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool v) { read_only_ = v; }

  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return open_; }
  void InternalInitFieldDefs() override {}
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
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
  bool GetCanModify() override { return !read_only_; }
  void ClearCalcFields(TRecordBuffer buffer) override;

 private:
  struct Buffer;
  Buffer* CurrentBuffer() const;
  int IndexOfId(int64_t id) const;
  void StoreBuffer(Buffer& b, int at);
  friend class RowsBlobStream;

  std::vector<Row> rows_;
  std::vector<int64_t> ids_;  // a stable id per row: what bookmarks hold
  int64_t next_id_ = 1;
  int cursor_ = -1;
  int value_count_ = 0;
  bool open_ = false;
  bool read_only_ = false;
};

}  // namespace vantor
