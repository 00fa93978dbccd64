#pragma once
// TDataSet: the base of every dataset. It runs the state machine (inactive, browse, edit, insert, ...),
// navigation, editing, bookmarks, field objects and the data events that observers follow; a descendant
// supplies the record-level operations (record buffers, fetching, field data, posting, deleting, bookmarks).
//
// The base keeps one active record buffer: the record under the cursor, or the record being edited or
// inserted. Before the descendant's cursor is moved relative to the current record the base puts it back
// on the active buffer (InternalSetToRecord), so descendants may move their cursor freely meanwhile.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/errors.h"
#include "dataset/field.h"
#include "dataset/field_def.h"
#include "dataset/field_types.h"
#include "dataset/stream.h"
#include "dataset/value.h"

namespace vantor {

class TDataSource;
class TDataSet;

using TRecordBuffer = std::byte*;
using TDataSetNotifyEvent = std::function<void(TDataSet&)>;

// An opaque bookmark of up to 32 bytes; an empty one (Size() == 0) is no bookmark.
class TBookmark {
 public:
  static constexpr size_t kCapacity = 32;
  TBookmark() = default;
  TBookmark(const void* data, size_t size);
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  const std::byte* Data() const { return data_.data(); }
  std::byte* Data() { return data_.data(); }
  void Resize(size_t size);
  friend bool operator==(const TBookmark& a, const TBookmark& b);

 private:
  std::array<std::byte, kCapacity> data_{};
  size_t size_ = 0;
};

class TDataSet {
 public:
  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // --- State ---
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return !has_active_record_ && state_ != dsInsert; }
  bool Modified() const { return modified_; }
  void CheckActive() const;    // "Cannot perform this operation on a closed dataset"
  void CheckInactive() const;  // "Cannot perform this operation on an open dataset"
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // --- Definitions and fields ---
  TFieldDefs& FieldDefs() { return field_defs_; }
  const TFieldDefs& FieldDefs() const { return field_defs_; }
  // Top-level fields, in order.
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  // Every field, object fields' children included (depth-first), in field-number order for data fields.
  const std::vector<TField*>& FieldList() const { return field_list_; }
  TField* FindField(std::string_view name) const;    // also "Parent.Child"
  TField& FieldByName(std::string_view name) const;  // "Field '%s' not found"
  TField* FieldByNumber(int field_no) const;         // data fields by FieldNo
  // Adds a persistent field (created before open); the dataset owns it.
  TField& AddField(std::unique_ptr<TField> field);
  // Creates a persistent field for each definition (what the designer's "add all fields" does).
  void CreatePersistentFields();
  bool DefaultFields() const { return default_fields_; }
  // Size of the buffer that holds the calculated and lookup fields (presence byte + value each).
  int CalcFieldsSize() const { return calc_fields_size_; }
  bool HasCalcFields() const { return calc_fields_size_ > 0; }
  // Fills the field definitions from the descendant's source (InitFieldDefs) without opening.
  void UpdateFieldDefs();

  // --- Navigation ---
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  int MoveBy(int distance);
  int RecordCount();
  int RecNo();
  void SetRecNo(int value);

  // --- Editing ---
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void AppendRecord(const std::vector<Value>& values);
  void InsertRecord(const std::vector<Value>& values);
  // Posts a pending edit when modified, else cancels it.
  void CheckBrowseMode();
  // Asks observers to write pending edits into the fields.
  void UpdateRecord();
  bool CanModify() { return GetCanModify(); }
  void Refresh();

  // --- Bookmarks ---
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  virtual bool BookmarkValid(const TBookmark& bookmark);
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // --- Blobs ---
  virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

  // --- Observers ---
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  void DataEvent(TDataEvent event, intptr_t info = 0);

  // --- Field data (used by field objects) ---
  // Reads the field's native value from the buffer the current state selects; false when null.
  // `buffer` may be nullptr to ask only whether there is a value.
  virtual bool GetFieldData(const TField& field, void* buffer) = 0;
  // Writes the field's native value (nullptr clears it). Descendants check the state, validate,
  // store, and raise the field-change event (see CheckFieldWrite / NotifyFieldWritten).
  virtual void SetFieldData(TField& field, const void* buffer) = 0;

  // --- Events ---
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;

 protected:
  // --- The record-level protocol a descendant supplies ---
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
  virtual void InternalPost() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalCancel() {}
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalRefresh() {}
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void InternalHandleException();
  virtual void GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual int GetRecordCount();
  virtual int GetRecNo() { return -1; }
  virtual void InternalSetRecNo(int /*value*/) {}
  virtual bool IsSequenced() { return true; }
  virtual bool GetCanModify() { return true; }
  virtual void CloseBlob(TField& /*field*/) {}
  // Calculated fields: clear the calculated part of a buffer (default: nothing).
  virtual void ClearCalcFields(TRecordBuffer /*buffer*/) {}

  // --- Hooks around the state machine (the defaults run the matching event) ---
  virtual void DoBeforeOpen() { Fire(BeforeOpen); }
  virtual void DoAfterOpen() { Fire(AfterOpen); }
  virtual void DoBeforeClose() { Fire(BeforeClose); }
  virtual void DoAfterClose() { Fire(AfterClose); }
  virtual void DoBeforeInsert() { Fire(BeforeInsert); }
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  virtual void DoBeforeEdit() { Fire(BeforeEdit); }
  virtual void DoAfterEdit() { Fire(AfterEdit); }
  virtual void DoBeforePost() { Fire(BeforePost); }
  virtual void DoAfterPost() { Fire(AfterPost); }
  virtual void DoBeforeCancel() { Fire(BeforeCancel); }
  virtual void DoAfterCancel() { Fire(AfterCancel); }
  virtual void DoBeforeDelete() { Fire(BeforeDelete); }
  virtual void DoAfterDelete() { Fire(AfterDelete); }
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }
  virtual void DoOnNewRecord() { Fire(OnNewRecord); }
  virtual void DoOnCalcFields() { Fire(OnCalcFields); }

  // --- Services for descendants ---
  TRecordBuffer ActiveBuffer() const { return has_active_record_ || state_ == dsInsert ? active_buffer_ : nullptr; }
  // The buffer that calculated fields are being computed into (dsCalcFields state).
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  void SetState(TDataSetState state);
  // Points field access at another buffer for a moment (calc-fields, filter, old-value, ...) without events.
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState state) { state_ = state; }
  // The state and read-only checks every field write makes.
  void CheckFieldWrite(const TField& field, bool ignore_read_only = false);
  // After a field value is stored: marks the record modified and raises the field-change event.
  void NotifyFieldWritten(TField& field);
  void InitFieldDefs() { InternalInitFieldDefs(); }
  // Creates field objects from the definitions (fields created so are destroyed at close).
  void CreateFields();
  void DestroyFields();
  // Assigns field numbers and calculated-field offsets; with false unbinds.
  void BindFields(bool binding);
  // Rebuilds the definitions from persistent data and internal-calc fields.
  void InitFieldDefsFromFields();
  // Computes calculated fields into a buffer (ClearCalcFields, OnCalcFields in dsCalcFields state).
  void GetCalcFields(TRecordBuffer buffer);
  // Re-reads the active record after the cursor changed (post, delete, cancel).
  void Resync();
  void ClearBuffers();
  void SetModified(bool modified) { modified_ = modified; }
  void Fire(const TDataSetNotifyEvent& event) { if (event) event(*this); }

 private:
  friend class TDataSource;
  void OpenCursor();
  void CloseCursor();
  void DoInternalOpen();
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckRequiredFields();
  void CheckCanModify();
  void UpdateCursorPos();
  void SetFields(const std::vector<Value>& values);
  void RebuildFieldList();
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);

  std::string name_;
  TDataSetState state_ = dsInactive;
  TFieldDefs field_defs_;
  TFields fields_;
  std::vector<TField*> field_list_;
  std::vector<TField*> by_number_;
  bool default_fields_ = false;
  int calc_fields_size_ = 0;

  TRecordBuffer active_buffer_ = nullptr;
  TRecordBuffer calc_buffer_ = nullptr;
  bool has_active_record_ = false;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;

  std::vector<TDataSource*> data_sources_;
  int disable_count_ = 0;
  bool pending_change_ = false;
  bool pending_state_ = false;
  TDataSetState disabled_state_ = dsInactive;
};

}  // namespace vantor
