#include "memtable/mem_table.h"

#include <algorithm>
#include <cstring>

#include "dataset/errors.h"
#include "memtable/mem_blob_stream.h"
#include "memtable/mem_errors.h"

namespace vantor {

namespace {
// This table's bookmark slot in each record (a store has only its owner as viewer).
constexpr int kOwnViewer = 0;
constexpr int kMissingBookmark = -200;
}  // namespace

// A bookmark names the stored record and the store generation; slot and unique id let a bookmark to a
// deleted record be recognised without touching freed memory.
struct TCustomMemTable::BookmarkData {
  TMemRecord* record;
  int32_t stamp;
  int32_t slot_id;
  int32_t unique_id;
};

TCustomMemTable::TCustomMemTable()
    : store_(std::make_unique<TMemCommon>(this)), indexes_(std::make_unique<TMemIndexes>(*this)) {
  current_index_ = &indexes_->RowOrder();
}

TCustomMemTable::~TCustomMemTable() {
  try {
    Close();
  } catch (...) {
  }
}

// --- Open and close --------------------------------------------------------------------------------------

void TCustomMemTable::InternalOpen() {
  if (DefaultFields()) {
    if (FieldDefs().Empty()) throw EMemTableError(memmsg::kNoFields);
    CheckFieldDefsSupported(FieldDefs());
    CreateFields();
  } else {
    InitFieldDefsFromFields();
  }
  BindFields(true);
  auto_inc_field_ = nullptr;
  for (TField* field : FieldList())
    if (field->DataType() == ftAutoInc && field->FieldNo() > 0) {
      auto_inc_field_ = field;
      break;
    }
  store_->SetHighestAutoInc(store_->AutoIncMinValue() - 1);
  store_->ComputeLayout(FieldDefs(), CalcFieldsSize(), OnSetupField);
  position_ = -1;
  reposition_ = -1;
  ResetIndexes();
  cursor_open_ = true;
}

void TCustomMemTable::DoAfterOpen() {
  for (int i = 0; i < indexes_->Count(); ++i) (*indexes_)[i].SetOrdered(false);
  indexes_->ReloadAll();
  TDataSet::DoAfterOpen();
}

void TCustomMemTable::ResetIndexes() {
  indexes_->ResetIndexes();
  current_index_ = &indexes_->RowOrder();
  sort_index_ = nullptr;
  index_field_list_.Clear();
  index_field_names_.clear();
  index_name_.clear();
}

void TCustomMemTable::IndexRemoved(TMemIndex* index) {
  if (index == sort_index_) sort_index_ = nullptr;
  if (index == current_index_) {
    current_index_ = &indexes_->RowOrder();
    index_field_list_.Clear();
  }
}

void TCustomMemTable::ResetAutoIncrement() {
  auto_inc_field_ = nullptr;
  store_->SetHighestAutoInc(store_->AutoIncMinValue() - 1);
}

void TCustomMemTable::DestroyAllFields() {
  while (Fields().Count() > 0) Fields().Remove(&Fields()[Fields().Count() - 1]);
  DestroyFields();  // rebuilds the flat field list
}

void TCustomMemTable::InternalClose() {
  ClearStoredRows();
  ResetIndexes();
  position_ = -1;
  cursor_open_ = false;
  BindFields(false);
  if (DefaultFields()) DestroyFields();
}

void TCustomMemTable::ClearStoredRows() {
  for (int i = 0; i < indexes_->Count(); ++i) {
    TMemIndex& index = (*indexes_)[i];
    index.References().clear();
    index.References().shrink_to_fit();
    index.SetOrdered(true);
  }
  position_ = -1;
  store_->ClearAllRecords();
}

void TCustomMemTable::ClearRecords() {
  ReportProgress(0, mtpcEmpty);
  DisableControls();
  try {
    if (Active()) {
      Cancel();
      ClearBuffers();
      DataEvent(deDataSetChange);
    }
    ClearStoredRows();
  } catch (...) {
    EnableControls();
    ReportProgress(100, mtpcEmpty);
    throw;
  }
  EnableControls();
  ReportProgress(100, mtpcEmpty);
}

void TCustomMemTable::ReportProgress(int percentage, TMemProgressCode code) {
  if (OnProgress && (progress_flags_ & ProgressFlag(code))) OnProgress(*this, percentage, code);
}

// --- Record buffers --------------------------------------------------------------------------------------

TRecordBuffer TCustomMemTable::AllocRecordBuffer() {
  return reinterpret_cast<TRecordBuffer>(store_->AllocateRecord());
}

void TCustomMemTable::FreeRecordBuffer(TRecordBuffer& buffer) {
  if (buffer) store_->FreeRecord(AsRecord(buffer), true, false);
  buffer = nullptr;
}

void TCustomMemTable::InternalInitRecord(TRecordBuffer buffer) {
  TMemRecord* record = AsRecord(buffer);
  store_->FreeVarBlocks(record);
  store_->ClearRecord(record);
}

void TCustomMemTable::ClearCalcFields(TRecordBuffer buffer) {
  if (CalcFieldsSize() > 0)
    std::memset(AsRecord(buffer)->Data + store_->CalcAreaStart(), 0, static_cast<size_t>(CalcFieldsSize()));
}

TGetResult TCustomMemTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool /*do_check*/) {
  const int n = current_index_->Count();
  switch (mode) {
    case gmCurrent:
      if (position_ >= n) return grEOF;
      if (position_ < 0) return grBOF;
      break;
    case gmNext:
      if (position_ >= n - 1) {
        position_ = n;
        return grEOF;
      }
      ++position_;
      break;
    case gmPrior:
      if (position_ <= 0) {
        position_ = -1;
        return grBOF;
      }
      position_ = std::min(position_, n) - 1;
      break;
  }
  TMemRecord* record = AsRecord(buffer);
  TMemRecord* stored = current_index_->At(position_);
  store_->FreeVarBlocks(record);
  store_->ClearRecord(record);
  store_->MoveRecord(stored, record);
  record->Position = position_;
  std::byte* slot = store_->BookmarkSlot(record, kOwnViewer);
  StorePointer(slot, stored);
  slot[sizeof(void*)] = std::byte{static_cast<uint8_t>(bfCurrent)};
  record->Flags &= static_cast<uint8_t>(~kRecordStored);
  if (recalc_on_fetch_) GetCalcFields(buffer);
  return grOK;
}

// --- Field data ------------------------------------------------------------------------------------------

TMemRecord* TCustomMemTable::CurrentRecord() const {
  switch (State()) {
    case dsBrowse: case dsEdit: case dsInsert: case dsNewValue: case dsCurValue: case dsBlockRead:
      return AsRecord(ActiveBuffer());
    case dsCalcFields:
      return AsRecord(CalcBuffer());
    case dsOldValue: {
      const TMemRecord* buffer = AsRecord(ActiveBuffer());
      TMemRecord* stored = buffer ? store_->StoredRecord(buffer->SlotId) : nullptr;
      while (stored && stored->PriorVersion) stored = stored->PriorVersion;
      return stored;
    }
    default:
      return nullptr;
  }
}

bool TCustomMemTable::GetFieldData(const TField& field, void* buffer) {
  if (!cursor_open_) return false;
  const TMemRecord* record = CurrentRecord();
  if (record == nullptr) return false;
  const std::byte* entry = store_->FieldPointer(record, field);
  if (*entry == std::byte{kValueNull}) return false;
  if (buffer == nullptr) return true;

  const int field_no = field.FieldNo();
  if (!field.IsCalculated() && field_no > 0 && store_->IsVarLength(field_no)) {
    if (field.IsBlob()) return true;  // blob bytes travel through blob streams
    VarBlock block = store_->ValueBlock(record, field_no);
    const size_t size = static_cast<size_t>(store_->FieldStorageSize(field_no));
    const size_t have = std::min<size_t>(VarBlockSize(block), size);
    if (have > 0) std::memcpy(buffer, VarBlockData(block), have);
    std::memset(static_cast<std::byte*>(buffer) + have, 0, size - have);
    return true;
  }
  const int size = field.IsCalculated() || field_no <= 0 ? field.DataSize() : store_->FieldStorageSize(field_no);
  std::memcpy(buffer, entry + 1, static_cast<size_t>(size));
  return true;
}

namespace {
// Bytes of a value up to and including its terminator, for text held in a compressed (shortened) block.
size_t NativeTextLength(TFieldType type, const void* buffer, size_t size) {
  if (type == ftWideString || type == ftFixedWideChar) {
    const auto* bytes = static_cast<const std::byte*>(buffer);
    for (size_t i = 0; i + 1 < size; i += 2)
      if (bytes[i] == std::byte{0} && bytes[i + 1] == std::byte{0}) return i + 2;
    return size;
  }
  if (type == ftString || type == ftFixedChar) {
    const size_t n = strnlen(static_cast<const char*>(buffer), size);
    return std::min(n + 1, size);
  }
  return size;
}
}  // namespace

void TCustomMemTable::SetFieldData(TField& field, const void* buffer) {
  if (!cursor_open_) DatabaseError(msg::kDataSetClosed);
  CheckFieldWrite(field, ignore_read_only_);
  TMemRecord* record = CurrentRecord();
  if (record == nullptr)
    throw EMemTableError(Format(memmsg::kNotBuiltYet, "Writing fields in this dataset state"));
  field.Validate(buffer);

  std::byte* entry = store_->FieldPointer(record, field);
  const int field_no = field.FieldNo();
  if (!field.IsCalculated() && field_no > 0 && store_->IsVarLength(field_no)) {
    const size_t size = static_cast<size_t>(store_->FieldStorageSize(field_no));
    VarBlock block = nullptr;
    if (buffer) {
      const size_t length = (store_->FieldFlags(field_no) & kFieldCompressed)
                                ? NativeTextLength(field.DataType(), buffer, size)
                                : size;
      block = NewVarBlock(buffer, length);
    }
    FreeVarBlock(store_->FieldBlock(record, field_no));
    store_->SetFieldBlock(record, field_no, block);
  } else if (buffer) {
    const int size = field.IsCalculated() || field_no <= 0 ? field.DataSize() : store_->FieldStorageSize(field_no);
    std::memcpy(entry + 1, buffer, static_cast<size_t>(size));
  }
  *entry = std::byte{buffer ? kValuePresent : kValueNull};
  if (field_no > 0 && !field.IsCalculated()) store_->SetFieldModified(field_no);
  NotifyFieldWritten(field);
}

std::unique_ptr<TStream> TCustomMemTable::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  if (!field.IsBlob() || field.IsCalculated() || field.FieldNo() <= 0 || !cursor_open_)
    DatabaseError(Format(msg::kBlobNotSupported, field.DisplayName().c_str()));
  if (mode != bmRead && !ignore_read_only_) {
    if (field.ReadOnly() || read_only_) DatabaseError(Format(msg::kFieldReadOnly, field.DisplayName().c_str()));
    if (State() != dsEdit && State() != dsInsert) DatabaseError(msg::kNotEditing);
  }
  TMemRecord* record = CurrentRecord();
  if (record == nullptr) return std::make_unique<TMemoryStream>();
  return std::make_unique<TMemBlobStream>(*this, field, record, mode != bmRead, mode == bmWrite);
}

void TCustomMemTable::CloseBlob(TField& field) {
  TMemRecord* record = AsRecord(ActiveBuffer());
  if (record == nullptr || !Active() || State() == dsEdit) return;
  if (!field.IsBlob() || field.FieldNo() <= 0) return;
  FreeVarBlock(store_->FieldBlock(record, field.FieldNo()));
  store_->SetFieldBlock(record, field.FieldNo(), nullptr);
  *store_->FieldPointer(record, field.FieldNo()) = std::byte{kValueNull};
}

// --- Editing ---------------------------------------------------------------------------------------------

void TCustomMemTable::DoBeforeInsert() {
  insert_position_ = RecNo();
  TDataSet::DoBeforeInsert();
}

int64_t TCustomMemTable::AutoIncValue(const TMemRecord* record) const {
  const std::byte* entry = store_->FieldPointer(record, auto_inc_field_->FieldNo());
  if (*entry == std::byte{kValueNull}) return INT64_MIN;
  int32_t value;
  std::memcpy(&value, entry + 1, sizeof value);
  return value;
}

void TCustomMemTable::DoOnNewRecord() {
  for (TField* field : FieldList())
    if (!field->DefaultExpression().empty() && field->DataType() != ftLargeint)
      field->SetAsString(field->DefaultExpression());
  TDataSet::DoOnNewRecord();
  if (auto_inc_field_) {
    const int64_t next = store_->HighestAutoInc() + 1;
    if (next > INT32_MAX) throw EMemTableError("The auto-increment field has no values left");
    TMemRecord* record = AsRecord(ActiveBuffer());
    std::byte* entry = store_->FieldPointer(record, auto_inc_field_->FieldNo());
    const auto value = static_cast<int32_t>(next);
    std::memcpy(entry + 1, &value, sizeof value);
    *entry = std::byte{kValuePresent};
  }
}

void TCustomMemTable::DoBeforePost() {
  TDataSet::DoBeforePost();
  if (auto_inc_field_) {
    const int64_t value = AutoIncValue(AsRecord(ActiveBuffer()));
    if (value > store_->HighestAutoInc()) store_->SetHighestAutoInc(value);
  }
}

void TCustomMemTable::InternalPost() {
  TMemRecord* buffer = AsRecord(ActiveBuffer());
  auto guard = store_->Lock();
  if (State() == dsEdit) {
    TMemRecord* stored = store_->StoredRecord(buffer->SlotId);
    if (stored == nullptr) throw EMemTableInvalidRecord(memmsg::kInvalidRecord);
    CheckUniqueKeys(buffer, stored);
    if (Modified()) {
      buffer->ChangeState = csModified;
      store_->SetDataModified(true);
    }
    reposition_ = indexes_->ApplyRecordChange(TMemRecordChange::Edit, stored, buffer, position_);
    store_->TransferRecord(buffer, stored);
    stored->Flags |= kRecordStored;
  } else {
    CheckUniqueKeys(buffer, nullptr);
    PostNewRecord(buffer, GetBookmarkFlag(ActiveBuffer()) == bfEOF);
  }
  store_->ClearModifiedFlags();
  if (auto_reposition_ && reposition_ >= 0) position_ = reposition_;
}

void TCustomMemTable::CheckUniqueKeys(const TMemRecord* buffer, const TMemRecord* stored) {
  if (!enable_indexes_) return;
  for (int i = 0; i < indexes_->Count(); ++i) {
    TMemIndex& index = (*indexes_)[i];
    if (!(index.Options() & mtcoUnique) || (index.Options() & mtcoNonMaintained) || !index.Enabled()) continue;
    const TMemIndex::KeyPosition found = index.FindKeyPosition(nullptr, buffer, false);
    if (!found.found) continue;
    for (int p = found.position; p < index.Count(); ++p) {
      const TMemRecord* other = index.At(p);
      if (store_->CompareKeys(index.KeyFields(), buffer, other, false, false) != 0) break;
      if (other != stored) throw EMemTableDupKey(memmsg::kDuplicateKey);
    }
  }
}

void TCustomMemTable::InternalAddRecord(TRecordBuffer buffer, bool append) {
  auto guard = store_->Lock();
  insert_position_ = append ? -1 : position_ + 1;
  CheckUniqueKeys(AsRecord(buffer), nullptr);
  PostNewRecord(AsRecord(buffer), append);
  store_->ClearModifiedFlags();
}

void TCustomMemTable::PostNewRecord(TMemRecord* buffer, bool append) {
  TMemRecord* record = store_->CopyRecord(buffer, true);
  store_->FreeVarBlocks(buffer);
  // The row order files an inserted row in front of the row that was current when the insert began.
  const int position = append ? -1 : insert_position_;
  try {
    store_->AppendRecord(record);
  } catch (const EMemTableFatalError&) {
    // A record the store took despite the error stays reachable, so nothing is lost.
    if (record->Flags & kRecordStored)
      indexes_->ApplyRecordChange(TMemRecordChange::Insert, nullptr, record, position);
    else
      store_->FreeRecord(record, true, false);
    throw;
  }
  reposition_ = indexes_->ApplyRecordChange(TMemRecordChange::Insert, nullptr, record, position);
  store_->SetDataModified(true);
}

void TCustomMemTable::InternalCancel() {
  if (TMemRecord* buffer = AsRecord(ActiveBuffer())) store_->FreeVarBlocks(buffer);
  store_->ClearModifiedFlags();
}

void TCustomMemTable::InternalDelete() {
  auto guard = store_->Lock();
  if (position_ < 0 || position_ >= current_index_->Count()) throw EMemTableInvalidRecord(memmsg::kInvalidRecord);
  TMemRecord* record = current_index_->At(position_);
  reposition_ = indexes_->ApplyRecordChange(TMemRecordChange::Delete, record, nullptr, position_);
  store_->DeleteRecord(record);
  store_->SetDataModified(true);
}

// --- Positions and bookmarks -----------------------------------------------------------------------------

int TCustomMemTable::GetRecordCount() {
  CheckActive();
  return current_index_->Count();
}

int TCustomMemTable::GetRecNo() {
  if (!Active()) return -1;
  const TMemRecord* buffer = AsRecord(ActiveBuffer());
  if (buffer == nullptr || current_index_->Count() == 0 || buffer->Position < 0) return -1;
  return buffer->Position + 1;
}

void TCustomMemTable::InternalSetRecNo(int value) {
  if (value == RecNo() || value < 1 || value > current_index_->Count()) return;
  DoBeforeScroll();
  position_ = value - 1;
  Resync();
  DoAfterScroll();
}

TMemRecord* TCustomMemTable::BookmarkRecord(const TMemRecord* buffer) const {
  return reinterpret_cast<TMemRecord*>(LoadPointer(store_->BookmarkSlot(buffer, kOwnViewer)));
}

void TCustomMemTable::InternalSetToRecord(TRecordBuffer buffer) {
  const TMemRecord* record = AsRecord(buffer);
  if (record->Position >= 0) {
    position_ = record->Position;
    return;
  }
  const TMemRecord* stored = BookmarkRecord(record);
  if (stored == nullptr || store_->StoredRecord(stored->SlotId) != stored) return;
  const int row = current_index_->FindRecordPosition(stored);
  if (row >= 0) position_ = row;
}

void TCustomMemTable::GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) {
  TMemRecord* stored = BookmarkRecord(AsRecord(buffer));
  const BookmarkData data{stored, store_->StoreStamp(), stored ? stored->SlotId : -1, stored ? stored->UniqueId : -1};
  bookmark = TBookmark(&data, sizeof data);
}

void TCustomMemTable::SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) {
  BookmarkData data{};
  if (bookmark.Size() == sizeof data) std::memcpy(&data, bookmark.Data(), sizeof data);
  StorePointer(store_->BookmarkSlot(AsRecord(buffer), kOwnViewer), data.record);
}

TBookmarkFlag TCustomMemTable::GetBookmarkFlag(TRecordBuffer buffer) {
  const auto flag = static_cast<uint8_t>(store_->BookmarkSlot(AsRecord(buffer), kOwnViewer)[sizeof(void*)]);
  return static_cast<TBookmarkFlag>(flag);
}

void TCustomMemTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  store_->BookmarkSlot(AsRecord(buffer), kOwnViewer)[sizeof(void*)] = std::byte{static_cast<uint8_t>(flag)};
}

bool TCustomMemTable::DecodeBookmark(const TBookmark& bookmark, BookmarkData& out) const {
  if (bookmark.Size() != sizeof out) return false;
  std::memcpy(&out, bookmark.Data(), sizeof out);
  // The record pointer is only trusted once its slot still holds it under the same unique id.
  return out.stamp == store_->StoreStamp() && out.record != nullptr &&
         store_->StoredRecord(out.slot_id) == out.record && out.record->UniqueId == out.unique_id;
}

bool TCustomMemTable::BookmarkValid(const TBookmark& bookmark) {
  BookmarkData data;
  return cursor_open_ && DecodeBookmark(bookmark, data);
}

int TCustomMemTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  BookmarkData x, y;
  if (!cursor_open_ || !DecodeBookmark(a, x) || !DecodeBookmark(b, y)) return 0;
  auto sign = [](int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
  if (current_index_->RowOrder()) return sign(static_cast<int64_t>(x.slot_id) - y.slot_id);
  auto guard = store_->Lock();
  if (int r = store_->CompareRecordFields(current_index_->KeyFields(), x.record, y.record, false, false)) return sign(r);
  if (int r = sign(static_cast<int64_t>(x.record->Position) - y.record->Position)) return r;
  return sign(static_cast<int64_t>(x.slot_id) - y.slot_id);
}

void TCustomMemTable::InternalGotoBookmark(const TBookmark& bookmark) {
  BookmarkData data;
  const int row = DecodeBookmark(bookmark, data) ? current_index_->FindRecordPosition(data.record) : -1;
  if (row < 0) throw EMemTableError(Format(memmsg::kBookmarkNotFound, kMissingBookmark));
  position_ = row;
}

}  // namespace vantor
