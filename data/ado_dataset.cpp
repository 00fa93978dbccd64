#include "data/ado_dataset.h"

#include <algorithm>
#include <cstring>

#include "data/ado_field_types.h"
#include "dataset/errors.h"
#include "dataset/native.h"

namespace vantor::data {

struct TAdoDataSet::Buffer {
  int index = -1;
  int64_t key = 0;
  TBookmarkFlag flag = bfCurrent;
  Row values;
  Row calc;
};

TAdoDataSet::TAdoDataSet() = default;

TAdoDataSet::~TAdoDataSet() {
  try {
    Close();
  } catch (...) {
  }
}

void TAdoDataSet::SetDefsFromColumns(TFieldDefs& defs, const std::vector<formats::ColumnInfo>& columns) {
  defs.Clear();
  for (const auto& c : columns) AddFieldDefForColumn(defs, c);
}

int64_t TAdoDataSet::WriteInsert(const Row&) { DatabaseError(msg::kDataSetReadOnly); }
void TAdoDataSet::WriteUpdate(int64_t, const Row&) { DatabaseError(msg::kDataSetReadOnly); }
void TAdoDataSet::WriteDelete(int64_t) { DatabaseError(msg::kDataSetReadOnly); }

void TAdoDataSet::InternalOpen() {
  row_ids_.clear();
  keys_.clear();
  source_ = OpenSource();
  exhausted_ = !source_;
  if (DefaultFields()) CreateFields();
  BindFields(true);
  value_count_ = FieldDefs().Renumber(1) - 1;
  rows_.Reset(static_cast<size_t>(value_count_));
  cursor_ = -1;
  open_ = true;
}

void TAdoDataSet::InternalClose() {
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  source_ = nullptr;
  exhausted_ = true;
  rows_.Reset(0);
  row_ids_.clear();
  keys_.clear();
  open_ = false;
  CloseSource();
}

bool TAdoDataSet::FetchOne() {
  if (exhausted_) return false;
  int64_t id = 0;
  if (!source_(scratch_, id)) {
    exhausted_ = true;
    source_ = nullptr;
    return false;
  }
  rows_.Append(scratch_);
  row_ids_.push_back(id);
  keys_.push_back(next_key_++);
  return true;
}

void TAdoDataSet::FetchAll() {
  while (FetchOne()) {
  }
}

void TAdoDataSet::InternalLast() {
  FetchAll();
  cursor_ = static_cast<int>(rows_.Size());
}

TRecordBuffer TAdoDataSet::AllocRecordBuffer() {
  auto* b = new Buffer;
  b->values.resize(static_cast<size_t>(value_count_));
  b->calc.resize(static_cast<size_t>(Fields().Count()));
  return reinterpret_cast<TRecordBuffer>(b);
}

void TAdoDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete reinterpret_cast<Buffer*>(buffer);
  buffer = nullptr;
}

TGetResult TAdoDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  switch (mode) {
    case gmCurrent:
      if (cursor_ < 0) return grBOF;
      if (cursor_ >= static_cast<int>(rows_.Size())) return grEOF;
      break;
    case gmNext:
      if (cursor_ + 1 >= static_cast<int>(rows_.Size()) && !FetchOne()) {
        cursor_ = static_cast<int>(rows_.Size());
        return grEOF;
      }
      ++cursor_;
      break;
    case gmPrior:
      if (cursor_ <= 0) {
        cursor_ = -1;
        return grBOF;
      }
      cursor_ = std::min(cursor_, static_cast<int>(rows_.Size())) - 1;
      break;
  }
  Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  const size_t at = static_cast<size_t>(cursor_);
  b.index = cursor_;
  b.key = keys_[at];
  b.flag = bfCurrent;
  rows_.CopyTo(at, b.values);
  GetCalcFields(buffer);
  return grOK;
}

TAdoDataSet::Buffer* TAdoDataSet::CurrentBuffer() const {
  switch (State()) {
    case dsCalcFields: return reinterpret_cast<Buffer*>(CalcBuffer());
    case dsBrowse: case dsEdit: case dsInsert: case dsNewValue: case dsCurValue: case dsBlockRead:
      return reinterpret_cast<Buffer*>(ActiveBuffer());
    default: return nullptr;
  }
}

bool TAdoDataSet::GetFieldData(const TField& field, void* buffer) {
  Buffer* b = CurrentBuffer();
  if (!b) return false;
  const Value* v = nullptr;
  if (field.FieldNo() > 0 && field.FieldNo() <= value_count_) v = &b->values[static_cast<size_t>(field.FieldNo() - 1)];
  else if (field.IsCalculated()) v = &b->calc[static_cast<size_t>(field.Index())];
  if (!v || v->IsNull()) return false;
  if (buffer && field.DataSize() > 0) WriteNative(field.DataType(), field.Size(), *v, buffer);
  return true;
}

void TAdoDataSet::SetFieldData(TField& field, const void* buffer) {
  CheckFieldWrite(field);
  Buffer* b = CurrentBuffer();
  if (!b) DatabaseError(msg::kNotEditing);
  field.Validate(buffer);
  Value v = buffer ? ReadNative(field.DataType(), field.Size(), buffer) : Value();
  if (field.FieldNo() > 0) b->values[static_cast<size_t>(field.FieldNo() - 1)] = std::move(v);
  else b->calc[static_cast<size_t>(field.Index())] = std::move(v);
  NotifyFieldWritten(field);
}

namespace {
// A blob stream over one Value of a record buffer; a write stream stores its bytes back when destroyed.
class ValueBlobStream : public TMemoryStream {
 public:
  ValueBlobStream(std::function<void()> written, TField& field, Value& target, bool writing)
      : written_(std::move(written)), field_(field), target_(target), writing_(writing) {
    if (writing) return;
    if (target.kind() == Value::Kind::WideString) {
      const std::u16string& s = target.get<std::u16string>();
      Data().resize(s.size() * 2);
      if (!s.empty()) std::memcpy(Data().data(), s.data(), s.size() * 2);
    } else if (field.DataType() == ftWideMemo && target.IsText()) {
      const std::u16string s = target.AsWideString();
      Data().resize(s.size() * 2);
      if (!s.empty()) std::memcpy(Data().data(), s.data(), s.size() * 2);
    } else {
      const Bytes bytes = target.AsBytes();
      Data().assign(bytes.begin(), bytes.end());
    }
  }
  ~ValueBlobStream() override {
    if (!writing_) return;
    try {
      const auto& d = Data();
      if (field_.DataType() == ftWideMemo) {
        std::u16string s(d.size() / 2, u'\0');
        if (!s.empty()) std::memcpy(s.data(), d.data(), s.size() * 2);
        target_ = Value(std::move(s));
      } else if (IsMemoType(field_.DataType())) {
        target_ = Value(std::string(d.begin(), d.end()));
      } else {
        target_ = Value(Bytes(d.begin(), d.end()));
      }
      written_();
    } catch (const std::exception& e) {
      HandleApplicationException(e);
    }
  }

 private:
  std::function<void()> written_;
  TField& field_;
  Value& target_;
  bool writing_;
};
}  // namespace

std::unique_ptr<TStream> TAdoDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  Buffer* b = CurrentBuffer();
  if (!b || field.FieldNo() <= 0) DatabaseError(Format(msg::kBlobNotSupported, field.DisplayName().c_str()));
  if (mode != bmRead) CheckFieldWrite(field);
  Value& target = b->values[static_cast<size_t>(field.FieldNo() - 1)];
  return std::make_unique<ValueBlobStream>([this, &field] { NotifyFieldWritten(field); }, field, target,
                                           mode != bmRead);
}

void TAdoDataSet::ClearCalcFields(TRecordBuffer buffer) {
  for (Value& v : reinterpret_cast<Buffer*>(buffer)->calc) v = Value();
}

void TAdoDataSet::InternalInitRecord(TRecordBuffer buffer) {
  Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  b.index = -1;
  b.key = 0;
  b.values.assign(static_cast<size_t>(value_count_), Value());
}

void TAdoDataSet::InternalAddRecord(TRecordBuffer buffer, bool) {
  // New rows go to the end of the table: that is where the storage puts them.
  FetchAll();
  Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  const int64_t id = WriteInsert(b.values);
  Row copy = b.values;
  rows_.Append(copy);
  row_ids_.push_back(id);
  keys_.push_back(next_key_++);
  cursor_ = static_cast<int>(rows_.Size()) - 1;
}

void TAdoDataSet::InternalPost() {
  FetchAll();  // the source's cursor is done before the table changes under it
  Buffer& b = *reinterpret_cast<Buffer*>(ActiveBuffer());
  if (State() == dsEdit) {
    const size_t at = static_cast<size_t>(cursor_);
    WriteUpdate(row_ids_[at], b.values);
    rows_.Assign(at, b.values);
  } else {
    InternalAddRecord(ActiveBuffer(), true);
  }
}

void TAdoDataSet::InternalDelete() {
  FetchAll();
  const size_t at = static_cast<size_t>(cursor_);
  WriteDelete(row_ids_[at]);
  rows_.Erase(at);
  row_ids_.erase(row_ids_.begin() + cursor_);
  keys_.erase(keys_.begin() + cursor_);
}

int TAdoDataSet::IndexOfKey(int64_t key) {
  // Keys grow with the row position, so a binary search finds them; fetch until the key is reached.
  while (!exhausted_ && (keys_.empty() || keys_.back() < key)) FetchOne();
  auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
  return it != keys_.end() && *it == key ? static_cast<int>(it - keys_.begin()) : -1;
}

void TAdoDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  int64_t key = 0;
  std::memcpy(&key, bookmark.Data(), sizeof key);
  const int index = IndexOfKey(key);
  if (index < 0) DatabaseError(msg::kBookmarkNotFound);
  cursor_ = index;
}

void TAdoDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  const int index = IndexOfKey(reinterpret_cast<Buffer*>(buffer)->key);
  if (index >= 0) cursor_ = index;
}

void TAdoDataSet::GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) {
  const int64_t key = reinterpret_cast<Buffer*>(buffer)->key;
  bookmark = TBookmark(&key, sizeof key);
}

void TAdoDataSet::SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) {
  std::memcpy(&reinterpret_cast<Buffer*>(buffer)->key, bookmark.Data(), sizeof(int64_t));
}

TBookmarkFlag TAdoDataSet::GetBookmarkFlag(TRecordBuffer buffer) { return reinterpret_cast<Buffer*>(buffer)->flag; }

void TAdoDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  reinterpret_cast<Buffer*>(buffer)->flag = flag;
}

bool TAdoDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.Size() != sizeof(int64_t)) return false;
  int64_t key;
  std::memcpy(&key, bookmark.Data(), sizeof key);
  return IndexOfKey(key) >= 0;
}

int TAdoDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (!BookmarkValid(a) || !BookmarkValid(b)) return 0;
  int64_t x, y;
  std::memcpy(&x, a.Data(), sizeof x);
  std::memcpy(&y, b.Data(), sizeof y);
  return x < y ? -1 : (x > y ? 1 : 0);
}

int TAdoDataSet::GetRecordCount() {
  CheckActive();
  FetchAll();
  return static_cast<int>(rows_.Size());
}

int TAdoDataSet::GetRecNo() {
  if (!Active() || State() == dsInsert || !ActiveBuffer()) return -1;
  const int index = reinterpret_cast<Buffer*>(ActiveBuffer())->index;
  return index < 0 ? -1 : index + 1;
}

void TAdoDataSet::InternalSetRecNo(int value) {
  if (value < 1) return;
  while (static_cast<int>(rows_.Size()) < value && FetchOne()) {
  }
  if (value > static_cast<int>(rows_.Size()) || value == RecNo()) return;
  DoBeforeScroll();
  cursor_ = value - 1;
  Resync();
  DoAfterScroll();
}

}  // namespace vantor::data
