#include "dataset/rows_dataset.h"

#include <cstring>

#include "dataset/errors.h"
#include "dataset/native.h"

namespace vantor {

struct TRowsDataSet::Buffer {
  int index = -1;
  int64_t id = 0;
  TBookmarkFlag flag = bfCurrent;
  Row values;
  Row calc;
};

namespace {
TRowsDataSet::Row EmptyRow(int n) { return TRowsDataSet::Row(static_cast<size_t>(n)); }
}  // namespace

// A blob stream over one Value of a buffer; a write stream stores its bytes back when destroyed.
class RowsBlobStream : public TMemoryStream {
 public:
  RowsBlobStream(TRowsDataSet& owner, TField& field, Value& target, bool writing)
      : owner_(owner), field_(field), target_(target), writing_(writing) {
    if (!writing) {
      const Bytes bytes = BytesOf(target);
      Data().assign(bytes.begin(), bytes.end());
    }
  }
  ~RowsBlobStream() override {
    if (!writing_) return;
    try {
      const auto& d = Data();
      if (field_.DataType() == ftWideMemo) {
        std::u16string s(d.size() / 2, u'\0');
        std::memcpy(s.data(), d.data(), s.size() * 2);
        target_ = Value(std::move(s));
      } else if (IsMemoType(field_.DataType())) {
        target_ = Value(std::string(d.begin(), d.end()));
      } else {
        target_ = Value(Bytes(d.begin(), d.end()));
      }
      owner_.NotifyFieldWritten(field_);
    } catch (const std::exception& e) {
      HandleApplicationException(e);
    }
  }

 private:
  static Bytes BytesOf(const Value& v) {
    if (v.kind() == Value::Kind::WideString) {
      const std::u16string& s = v.get<std::u16string>();
      Bytes b(s.size() * 2);
      std::memcpy(b.data(), s.data(), b.size());
      return b;
    }
    return v.AsBytes();
  }
  TRowsDataSet& owner_;
  TField& field_;
  Value& target_;
  bool writing_;
};

TRowsDataSet::TRowsDataSet() = default;

TRowsDataSet::~TRowsDataSet() {
  try {
    Close();
  } catch (...) {
  }
}

void TRowsDataSet::SetRows(std::vector<Row> rows) {
  CheckInactive();
  rows_ = std::move(rows);
  ids_.clear();
  for (size_t i = 0; i < rows_.size(); ++i) ids_.push_back(next_id_++);
}

void TRowsDataSet::InternalOpen() {
  if (FieldDefs().Empty() && Fields().Count() == 0) DatabaseError(msg::kNoFieldDefs);
  if (DefaultFields()) CreateFields();
  else if (FieldDefs().Empty()) InitFieldDefsFromFields();
  BindFields(true);
  value_count_ = FieldDefs().Renumber(1) - 1;
  for (Row& r : rows_) r.resize(static_cast<size_t>(value_count_));
  if (ids_.size() != rows_.size()) SetRows(std::move(rows_));
  cursor_ = -1;
  open_ = true;
}

void TRowsDataSet::InternalClose() {
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  open_ = false;
}

TRecordBuffer TRowsDataSet::AllocRecordBuffer() {
  auto* b = new Buffer;
  b->values = EmptyRow(value_count_);
  b->calc = EmptyRow(Fields().Count());
  return reinterpret_cast<TRecordBuffer>(b);
}

void TRowsDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete reinterpret_cast<Buffer*>(buffer);
  buffer = nullptr;
}

TGetResult TRowsDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool /*do_check*/) {
  const int n = static_cast<int>(rows_.size());
  switch (mode) {
    case gmCurrent:
      if (cursor_ < 0) return grBOF;
      if (cursor_ >= n) return grEOF;
      break;
    case gmNext:
      if (cursor_ >= n - 1) {
        cursor_ = n;
        return grEOF;
      }
      ++cursor_;
      break;
    case gmPrior:
      if (cursor_ <= 0) {
        cursor_ = -1;
        return grBOF;
      }
      cursor_ = std::min(cursor_, n) - 1;
      break;
  }
  Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  b.index = cursor_;
  b.id = ids_[static_cast<size_t>(cursor_)];
  b.flag = bfCurrent;
  b.values = rows_[static_cast<size_t>(cursor_)];
  GetCalcFields(buffer);
  return grOK;
}

TRowsDataSet::Buffer* TRowsDataSet::CurrentBuffer() const {
  switch (State()) {
    case dsCalcFields: return reinterpret_cast<Buffer*>(CalcBuffer());
    case dsBrowse: case dsEdit: case dsInsert: case dsNewValue: case dsCurValue: case dsBlockRead:
      return reinterpret_cast<Buffer*>(ActiveBuffer());
    default: return nullptr;
  }
}

bool TRowsDataSet::GetFieldData(const TField& field, void* buffer) {
  Buffer* b = CurrentBuffer();
  if (!b) return false;
  const Value* v = nullptr;
  if (field.FieldNo() > 0 && field.FieldNo() <= value_count_)
    v = &b->values[static_cast<size_t>(field.FieldNo() - 1)];
  else if (field.IsCalculated())
    v = &b->calc[static_cast<size_t>(field.Index())];
  if (!v || v->IsNull()) return false;
  if (buffer && field.DataSize() > 0) WriteNative(field.DataType(), field.Size(), *v, buffer);
  return true;
}

void TRowsDataSet::SetFieldData(TField& field, const void* buffer) {
  CheckFieldWrite(field);
  Buffer* b = CurrentBuffer();
  if (!b) DatabaseError(msg::kNotEditing);
  field.Validate(buffer);
  Value v = buffer ? ReadNative(field.DataType(), field.Size(), buffer) : Value();
  if (field.FieldNo() > 0)
    b->values[static_cast<size_t>(field.FieldNo() - 1)] = std::move(v);
  else
    b->calc[static_cast<size_t>(field.Index())] = std::move(v);
  NotifyFieldWritten(field);
}

std::unique_ptr<TStream> TRowsDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  Buffer* b = CurrentBuffer();
  if (!b || field.FieldNo() <= 0) DatabaseError(Format(msg::kBlobNotSupported, field.DisplayName().c_str()));
  if (mode != bmRead) CheckFieldWrite(field);
  Value& target = b->values[static_cast<size_t>(field.FieldNo() - 1)];
  return std::make_unique<RowsBlobStream>(*this, field, target, mode != bmRead);
}

void TRowsDataSet::ClearCalcFields(TRecordBuffer buffer) {
  for (Value& v : reinterpret_cast<Buffer*>(buffer)->calc) v = Value();
}

void TRowsDataSet::InternalInitRecord(TRecordBuffer buffer) {
  Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  b.index = -1;
  b.id = 0;
  b.values = EmptyRow(value_count_);
}

void TRowsDataSet::StoreBuffer(Buffer& b, int at) {
  at = std::clamp(at, 0, static_cast<int>(rows_.size()));
  rows_.insert(rows_.begin() + at, b.values);
  ids_.insert(ids_.begin() + at, next_id_++);
  cursor_ = at;
}

void TRowsDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  StoreBuffer(*reinterpret_cast<Buffer*>(buffer), append ? static_cast<int>(rows_.size()) : std::max(cursor_, 0));
}

void TRowsDataSet::InternalPost() {
  Buffer& b = *reinterpret_cast<Buffer*>(ActiveBuffer());
  if (State() == dsEdit) {
    rows_[static_cast<size_t>(cursor_)] = b.values;
  } else {
    StoreBuffer(b, b.flag == bfEOF ? static_cast<int>(rows_.size()) : std::max(cursor_, 0));
  }
}

void TRowsDataSet::InternalDelete() {
  rows_.erase(rows_.begin() + cursor_);
  ids_.erase(ids_.begin() + cursor_);
}

int TRowsDataSet::IndexOfId(int64_t id) const {
  for (size_t i = 0; i < ids_.size(); ++i)
    if (ids_[i] == id) return static_cast<int>(i);
  return -1;
}

void TRowsDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  int64_t id = 0;
  std::memcpy(&id, bookmark.Data(), sizeof id);
  const int index = IndexOfId(id);
  if (index < 0) DatabaseError(msg::kBookmarkNotFound);
  cursor_ = index;
}

void TRowsDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  const Buffer& b = *reinterpret_cast<Buffer*>(buffer);
  // The row is usually still where it was fetched; look further only when rows moved since.
  if (b.index >= 0 && b.index < static_cast<int>(ids_.size()) && ids_[static_cast<size_t>(b.index)] == b.id) {
    cursor_ = b.index;
    return;
  }
  const int index = IndexOfId(b.id);
  if (index >= 0) cursor_ = index;
}

void TRowsDataSet::GetBookmarkData(TRecordBuffer buffer, TBookmark& bookmark) {
  const int64_t id = reinterpret_cast<Buffer*>(buffer)->id;
  bookmark = TBookmark(&id, sizeof id);
}

void TRowsDataSet::SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) {
  std::memcpy(&reinterpret_cast<Buffer*>(buffer)->id, bookmark.Data(), sizeof(int64_t));
}

TBookmarkFlag TRowsDataSet::GetBookmarkFlag(TRecordBuffer buffer) { return reinterpret_cast<Buffer*>(buffer)->flag; }

void TRowsDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  reinterpret_cast<Buffer*>(buffer)->flag = flag;
}

bool TRowsDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.Size() != sizeof(int64_t)) return false;
  int64_t id;
  std::memcpy(&id, bookmark.Data(), sizeof id);
  return IndexOfId(id) >= 0;
}

int TRowsDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (!BookmarkValid(a) || !BookmarkValid(b)) return 0;
  int64_t x, y;
  std::memcpy(&x, a.Data(), sizeof x);
  std::memcpy(&y, b.Data(), sizeof y);
  const int i = IndexOfId(x), j = IndexOfId(y);
  return i < j ? -1 : (i > j ? 1 : 0);
}

int TRowsDataSet::GetRecordCount() {
  CheckActive();
  return static_cast<int>(rows_.size());
}

int TRowsDataSet::GetRecNo() {
  if (!Active() || State() == dsInsert || !ActiveBuffer()) return -1;
  const int index = reinterpret_cast<Buffer*>(ActiveBuffer())->index;
  return index < 0 ? -1 : index + 1;
}

void TRowsDataSet::InternalSetRecNo(int value) {
  if (value < 1 || value > static_cast<int>(rows_.size()) || value == RecNo()) return;
  DoBeforeScroll();
  cursor_ = value - 1;
  Resync();
  DoAfterScroll();
}

}  // namespace vantor
