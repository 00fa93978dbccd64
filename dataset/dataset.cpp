#include "dataset/dataset.h"

#include <cstring>

#include "dataset/data_source.h"
#include "dataset/errors.h"
#include "dataset/native.h"
#include "dataset/text.h"

namespace vantor {

// --- TBookmark -------------------------------------------------------------------------------------------

TBookmark::TBookmark(const void* data, size_t size) {
  Resize(size);
  std::memcpy(data_.data(), data, size_);
}

void TBookmark::Resize(size_t size) {
  if (size > kCapacity) throw ERangeError("bookmark larger than its capacity");
  size_ = size;
}

bool operator==(const TBookmark& a, const TBookmark& b) {
  return a.size_ == b.size_ && std::memcmp(a.data_.data(), b.data_.data(), a.size_) == 0;
}

// --- Life cycle ------------------------------------------------------------------------------------------

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // Descendants close in their own destructors (the protocol is virtual); here only observers are let go.
  for (TDataSource* source : data_sources_) source->dataset_ = nullptr;
}

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    DoBeforeOpen();
    try {
      OpenCursor();
    } catch (...) {
      if (active_buffer_) FreeRecordBuffer(active_buffer_);
      active_buffer_ = nullptr;
      has_active_record_ = false;
      if (IsCursorOpen()) {
        try {
          InternalClose();
        } catch (...) {
        }
      }
      DestroyFields();
      state_ = dsInactive;
      throw;
    }
    DoAfterOpen();
    if (has_active_record_) DoAfterScroll();
  } else {
    DoBeforeClose();
    if (state_ == dsEdit || state_ == dsInsert) Cancel();
    CloseCursor();
    SetState(dsInactive);
    DoAfterClose();
  }
}

void TDataSet::OpenCursor() {
  default_fields_ = fields_.Count() == 0;
  state_ = dsOpening;
  InternalOpen();
  RebuildFieldList();
  active_buffer_ = AllocRecordBuffer();
  has_active_record_ = false;
  bof_ = eof_ = true;
  SetState(dsBrowse);
  InternalFirst();
  has_active_record_ = GetRecord(active_buffer_, gmNext, true) == grOK;
  eof_ = !has_active_record_;
  DataEvent(deDataSetChange);
}

void TDataSet::CloseCursor() {
  if (active_buffer_) FreeRecordBuffer(active_buffer_);
  active_buffer_ = nullptr;
  has_active_record_ = false;
  bof_ = eof_ = true;
  InternalClose();
}

void TDataSet::UpdateFieldDefs() {
  if (Active()) return;
  InitFieldDefs();
}

// --- Fields ----------------------------------------------------------------------------------------------

void TDataSet::RebuildFieldList() {
  field_list_.clear();
  by_number_.clear();
  std::function<void(TField&)> walk = [&](TField& f) {
    field_list_.push_back(&f);
    if (f.FieldNo() > 0) {
      if (by_number_.size() <= static_cast<size_t>(f.FieldNo())) by_number_.resize(static_cast<size_t>(f.FieldNo()) + 1);
      by_number_[static_cast<size_t>(f.FieldNo())] = &f;
    }
    if (auto* obj = dynamic_cast<TObjectField*>(&f))
      for (const auto& child : obj->Fields()) walk(*child);
  };
  for (const auto& f : fields_) walk(*f);
}

TField* TDataSet::FindField(std::string_view name) const {
  if (TField* f = fields_.FindField(name)) return f;
  for (TField* f : field_list_)
    if (f->ParentField() && SameTextAscii(f->FullName(), name)) return f;
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  TField* f = FindField(name);
  if (!f) DatabaseError(Format(msg::kFieldNotFound, std::string(name).c_str()));
  return *f;
}

TField* TDataSet::FieldByNumber(int field_no) const {
  if (field_no <= 0 || static_cast<size_t>(field_no) >= by_number_.size()) return nullptr;
  return by_number_[static_cast<size_t>(field_no)];
}

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  CheckInactive();
  if (!field->FieldName().empty() && fields_.FindField(field->FieldName()))
    DatabaseError(Format(msg::kDuplicateFieldName, field->FieldName().c_str()));
  field->Bind(this);
  TField& added = fields_.Add(std::move(field));
  RebuildFieldList();
  DataEvent(deFieldListChange);
  return added;
}

namespace {

// Creates the field for a definition with its children; array elements are named "Name[i]".
std::unique_ptr<TField> FieldFromDef(const TFieldDef& def, const std::string& name, TDataSet* dataset) {
  std::unique_ptr<TField> field = CreateFieldOfType(def.DataType(), def.Size());
  if (!field)
    DatabaseError(Format(msg::kFieldTypeNotSupported, def.DisplayName().c_str()));
  field->SetFieldName(name);
  field->Bind(dataset);
  field->SetRequired(def.Required());
  field->SetReadOnly(def.Attributes() & faReadonly);
  field->SetVisible(!(def.Attributes() & faHiddenCol));
  if (def.InternalCalcField()) field->SetFieldKind(fkInternalCalc);
  if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->SetPrecision(def.Precision());
  if (auto* flt = dynamic_cast<TFloatField*>(field.get()); flt && def.Precision() > 0) flt->SetPrecision(def.Precision());
  field->SetCreatedFromDefs(true);
  if (auto* obj = dynamic_cast<TObjectField*>(field.get()); obj && def.ChildDefsIfAny()) {
    const TFieldDefs& children = *def.ChildDefsIfAny();
    const int copies = def.DataType() == ftArray ? def.Size() : 1;
    for (int k = 0; k < copies; ++k) {
      for (const auto& child_def : children) {
        std::string child_name =
            def.DataType() == ftArray ? name + "[" + std::to_string(k) + "]" : child_def->Name();
        std::unique_ptr<TField> child = FieldFromDef(*child_def, child_name, dataset);
        child->SetParentField(obj);
        obj->Fields().Add(std::move(child));
      }
    }
  }
  return field;
}

}  // namespace

void TDataSet::CreateFields() {
  for (const auto& def : field_defs_) {
    if (def->DataType() == ftUnknown) continue;
    fields_.Add(FieldFromDef(*def, def->Name(), this));
  }
  RebuildFieldList();
}

void TDataSet::CreatePersistentFields() {
  CheckInactive();
  InitFieldDefs();
  CreateFields();
  for (TField* f : field_list_) f->SetCreatedFromDefs(false);
}

void TDataSet::DestroyFields() {
  for (int i = fields_.Count() - 1; i >= 0; --i)
    if (fields_[i].CreatedFromDefs()) fields_.Remove(&fields_[i]);
  RebuildFieldList();
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  if (!binding) {
    for (TField* f : field_list_) f->SetFieldNo(0);
    RebuildFieldList();
    return;
  }
  field_defs_.Renumber(1);
  // Children of object fields take the numbers after their parent, depth-first, as the definitions do.
  std::function<int(TField&, int)> number_tree = [&](TField& f, int no) {
    f.SetFieldNo(no++);
    if (auto* obj = dynamic_cast<TObjectField*>(&f))
      for (const auto& child : obj->Fields()) no = number_tree(*child, no);
    return no;
  };
  for (const auto& f : fields_) {
    if (f->FieldKind() == fkData || f->FieldKind() == fkInternalCalc) {
      const TFieldDef* def = field_defs_.Find(f->FieldName());
      if (!def) DatabaseError(Format(msg::kFieldNotFound, f->FieldName().c_str()));
      number_tree(*f, def->FieldNo());
    } else {
      f->SetFieldNo(0);
      if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
        f->SetOffset(calc_fields_size_);
        calc_fields_size_ += f->DataSize() + 1;
      }
    }
  }
  RebuildFieldList();
}

void TDataSet::InitFieldDefsFromFields() {
  field_defs_.Clear();
  std::function<void(TFieldDefs&, const TFields&)> add = [&](TFieldDefs& defs, const TFields& fields) {
    for (const auto& f : fields) {
      if (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc) continue;
      if (f->ParentField() && f->ParentField()->DataType() == ftArray && f->Index() > 0) continue;
      TFieldDef& d = defs.Add(f->FieldName(), f->DataType(), f->Size(), f->Required());
      if (f->FieldKind() == fkInternalCalc) d.SetInternalCalcField(true);
      if (f->ReadOnly()) d.SetAttributes(d.Attributes() | faReadonly);
      if (auto* bcd = dynamic_cast<const TBCDField*>(f.get())) d.SetPrecision(bcd->Precision());
      if (auto* obj = dynamic_cast<const TObjectField*>(f.get())) {
        if (obj->DataType() == ftArray) {
          if (obj->Fields().Count() > 0) {
            TFieldDefs& children = d.ChildDefs();
            const TField& first = obj->Fields()[0];
            children.Add(first.FieldName(), first.DataType(), first.Size(), first.Required());
          }
        } else {
          add(d.ChildDefs(), obj->Fields());
        }
      }
    }
  };
  add(field_defs_, fields_);
}

// --- State -----------------------------------------------------------------------------------------------

void TDataSet::SetState(TDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  DataEvent(deUpdateState);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  const TDataSetState old = state_;
  state_ = state;
  return old;
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(msg::kDataSetClosed);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(msg::kDataSetOpen);
}

void TDataSet::CheckCanModify() {
  if (!GetCanModify()) DatabaseError(msg::kDataSetReadOnly);
}

void TDataSet::CheckFieldWrite(const TField& field, bool ignore_read_only) {
  switch (state_) {
    case dsEdit: case dsInsert: case dsSetKey: case dsCalcFields: case dsFilter: case dsNewValue: case dsInternalCalc:
      break;
    default:
      DatabaseError(msg::kNotEditing);
  }
  if (!ignore_read_only && state_ != dsSetKey && state_ != dsCalcFields &&
      (field.ReadOnly() || !GetCanModify()))
    DatabaseError(Format(msg::kFieldReadOnly, field.DisplayName().c_str()));
}

void TDataSet::NotifyFieldWritten(TField& field) {
  if (state_ != dsCalcFields && state_ != dsFilter && state_ != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(&field));
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (calc_fields_size_ == 0 && !OnCalcFields) return;
  const TDataSetState saved = SetTempState(dsCalcFields);
  calc_buffer_ = buffer;
  try {
    ClearCalcFields(buffer);
    DoOnCalcFields();
  } catch (...) {
    RestoreState(saved);
    calc_buffer_ = nullptr;
    throw;
  }
  RestoreState(saved);
  calc_buffer_ = nullptr;
}

void TDataSet::InternalHandleException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleApplicationException(e);
  }
}

// --- Navigation ------------------------------------------------------------------------------------------

void TDataSet::UpdateCursorPos() {
  if (!has_active_record_ || state_ == dsInsert) return;
  switch (GetBookmarkFlag(active_buffer_)) {
    case bfCurrent:
    case bfInserted: InternalSetToRecord(active_buffer_); break;
    case bfBOF: InternalFirst(); break;
    case bfEOF: InternalLast(); break;
  }
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalFirst();
  has_active_record_ = GetRecord(active_buffer_, gmNext, true) == grOK;
  bof_ = true;
  eof_ = !has_active_record_;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalLast();
  has_active_record_ = GetRecord(active_buffer_, gmPrior, true) == grOK;
  eof_ = true;
  bof_ = !has_active_record_;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
  bof_ = eof_ = false;
  DoBeforeScroll();
  UpdateCursorPos();
  int moved = 0;
  while (distance > 0) {
    if (GetRecord(active_buffer_, gmNext, true) != grOK) {
      eof_ = true;
      break;
    }
    ++moved, --distance;
  }
  while (distance < 0) {
    if (GetRecord(active_buffer_, gmPrior, true) != grOK) {
      bof_ = true;
      break;
    }
    --moved, ++distance;
  }
  DataEvent(deDataSetScroll, moved);
  DoAfterScroll();
  return moved;
}

int TDataSet::GetRecordCount() {
  CheckActive();
  return -1;
}

int TDataSet::RecordCount() { return GetRecordCount(); }

int TDataSet::RecNo() { return GetRecNo(); }

void TDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  InternalSetRecNo(value);
}

void TDataSet::Resync() {
  TGetResult r = GetRecord(active_buffer_, gmCurrent, false);
  if (r != grOK) r = GetRecord(active_buffer_, gmNext, false);
  if (r != grOK) r = GetRecord(active_buffer_, gmPrior, false);
  has_active_record_ = r == grOK;
  bof_ = eof_ = !has_active_record_;
  DataEvent(deDataSetChange);
}

void TDataSet::ClearBuffers() {
  has_active_record_ = false;
  bof_ = eof_ = true;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  Fire(BeforeRefresh);
  UpdateCursorPos();
  InternalRefresh();
  Resync();
  Fire(AfterRefresh);
}

// --- Editing ---------------------------------------------------------------------------------------------

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    SetState(dsBrowse);
    Resync();
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  UpdateCursorPos();
  InternalInitRecord(active_buffer_);
  ClearCalcFields(active_buffer_);
  SetBookmarkFlag(active_buffer_, bfInserted);
  bof_ = eof_ = false;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  InternalInitRecord(active_buffer_);
  ClearCalcFields(active_buffer_);
  SetBookmarkFlag(active_buffer_, bfEOF);
  InternalLast();
  bof_ = eof_ = false;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckActive();
  if (!has_active_record_) {
    Append();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  UpdateCursorPos();
  InternalEdit();
  GetCalcFields(active_buffer_);
  SetState(dsEdit);
  DataEvent(deRecordChange);
  DoAfterEdit();
}

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) DatabaseError(msg::kNotEditingOrInserting);
  DataEvent(deUpdateRecord);
}

void TDataSet::CheckRequiredFields() {
  for (TField* f : field_list_)
    if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull())
      DatabaseError(Format(msg::kFieldRequired, f->DisplayName().c_str()));
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode);
  DoBeforePost();
  CheckRequiredFields();
  UpdateCursorPos();
  InternalPost();
  SetState(dsBrowse);
  Resync();
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode);
  DoBeforeCancel();
  const bool inserting = state_ == dsInsert;
  if (inserting) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  SetState(dsBrowse);
  Resync();
  DoAfterCancel();
  if (inserting) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (!has_active_record_) DatabaseError(msg::kDataSetEmpty);
  CheckCanModify();
  DataEvent(deCheckBrowseMode);
  DoBeforeDelete();
  DoBeforeScroll();
  UpdateCursorPos();
  InternalDelete();
  SetState(dsBrowse);
  Resync();
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::SetFields(const std::vector<Value>& values) {
  const int n = std::min<int>(static_cast<int>(values.size()), fields_.Count());
  for (int i = 0; i < n; ++i) fields_[i].SetAsVariant(values[static_cast<size_t>(i)]);
}

void TDataSet::AppendRecord(const std::vector<Value>& values) {
  Append();
  try {
    SetFields(values);
    Post();
  } catch (...) {
    Cancel();
    throw;
  }
}

void TDataSet::InsertRecord(const std::vector<Value>& values) {
  Insert();
  try {
    SetFields(values);
    Post();
  } catch (...) {
    Cancel();
    throw;
  }
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  if (state_ == dsEdit || state_ == dsInsert) {
    UpdateRecord();
    if (modified_)
      Post();
    else
      Cancel();
  }
}

// --- Bookmarks -------------------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
  TBookmark bookmark;
  if (Active() && has_active_record_ && state_ != dsInsert && GetBookmarkFlag(active_buffer_) == bfCurrent)
    GetBookmarkData(active_buffer_, bookmark);
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.Empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  if (GetRecord(active_buffer_, gmCurrent, true) != grOK) {
    Resync();
    DatabaseError(msg::kRecordNotFound);
  }
  has_active_record_ = true;
  bof_ = eof_ = false;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& /*bookmark*/) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& /*a*/, const TBookmark& /*b*/) { return 0; }

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode /*mode*/) {
  DatabaseError(Format(msg::kBlobNotSupported, field.DisplayName().c_str()));
}

// --- Observers -------------------------------------------------------------------------------------------

void TDataSet::DisableControls() {
  if (disable_count_++ == 0) {
    disabled_state_ = state_;
    pending_change_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ > 0) return;
  if (state_ != disabled_state_) DataEvent(deUpdateState);
  if (pending_change_ && state_ != dsInactive) DataEvent(deDataSetChange);
  pending_change_ = false;
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deFieldChange) {
    TField* field = reinterpret_cast<TField*>(info);
    if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
      modified_ = true;
      if (field->FieldKind() == fkData && calc_fields_size_ > 0 && state_ != dsSetKey) GetCalcFields(active_buffer_);
    }
    field->Change();
  }
  if (disable_count_ > 0) {
    if (event != deUpdateState) pending_change_ = true;
    return;
  }
  // A copy: an observer may detach itself while it is being told.
  const std::vector<TDataSource*> sources = data_sources_;
  for (TDataSource* source : sources) source->DataEvent(event, info);
}

void TDataSet::AddDataSource(TDataSource* source) { data_sources_.push_back(source); }

void TDataSet::RemoveDataSource(TDataSource* source) {
  std::erase(data_sources_, source);
}

}  // namespace vantor
