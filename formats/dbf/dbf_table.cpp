#include "formats/dbf/dbf_table.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "formats/dbf/language_driver.h"
#include "formats/dbf/table_files.h"

namespace vantor::formats::dbf {
namespace {

constexpr size_t kScanBlockBytes = 1 << 20;
constexpr size_t kPendingFlushBytes = 4 << 20;

std::string MemoPathFor(const std::string& dbf_path, MemoFormat format) {
  if (format == MemoFormat::kNone) return {};
  return FindCompanionFile(dbf_path, format == MemoFormat::kFoxPro ? ".fpt" : ".dbt");
}

}  // namespace

// Streams records in large blocks; deleted records are skipped.
class DbfCursor : public RowCursor {
 public:
  DbfCursor(std::shared_ptr<DbfTable> table, std::vector<bool> wanted)
      : table_(std::move(table)),
        count_(table_->header_.record_count),
        record_length_(table_->header_.record_length),
        wanted_(std::move(wanted)) {
    const size_t per_block = std::max<size_t>(1, kScanBlockBytes / record_length_);
    buffer_.resize(per_block * record_length_);
  }

  bool Next(Row& row) override {
    for (;;) {
      if (next_ >= count_) return false;
      if (next_ >= block_first_ + block_rows_) Fill();
      const char* record = buffer_.data() + (next_ - block_first_) * record_length_;
      const uint64_t index = next_++;
      if (*record == '*') continue;
      table_->record_codec_->Decode(record, table_->memo_.get(), static_cast<int64_t>(index), row,
                                    wanted_.empty() ? nullptr : &wanted_);
      row_id_ = static_cast<int64_t>(index);
      return true;
    }
  }

  int64_t RowId() const override { return row_id_; }

 private:
  void Fill() {
    const uint64_t rows = std::min<uint64_t>(buffer_.size() / record_length_, count_ - next_);
    const size_t bytes = static_cast<size_t>(rows * record_length_);
    table_->file_.ReadExactly(table_->header_.RecordOffset(next_), buffer_.data(), bytes, "a row");
    block_first_ = next_;
    block_rows_ = rows;
  }

  std::shared_ptr<DbfTable> table_;
  uint64_t count_;
  size_t record_length_;
  std::vector<bool> wanted_;  // empty: every column
  std::vector<char> buffer_;
  uint64_t next_ = 0;
  uint64_t block_first_ = 0;
  uint64_t block_rows_ = 0;
  int64_t row_id_ = -1;
};

std::shared_ptr<DbfTable> DbfTable::Open(const std::string& dbf_path, const std::string& name,
                                         const std::string& memo_path) {
  std::shared_ptr<DbfTable> table(new DbfTable());
  table->Load(dbf_path, name, memo_path);
  return table;
}

void DbfTable::Load(const std::string& dbf_path, const std::string& name, const std::string& memo_path) {
  path_ = dbf_path;
  name_ = name;
  file_ = File(dbf_path, File::Mode::kRead);
  const uint64_t size = file_.Size();
  std::string prefix(kTablePrefixSize, '\0');
  prefix.resize(file_.ReadAt(0, prefix.data(), prefix.size()));
  std::string head(std::max<size_t>(prefix.size(), HeaderLengthOf(prefix)), '\0');
  head.resize(file_.ReadAt(0, head.data(), head.size()));
  header_ = ParseHeader(head, size, name);
  written_count_ = header_.record_count;
  codec_ = TextCodec::ForCodePage(ChooseCodePage(header_.language_driver, dbf_path));
  record_codec_ = std::make_unique<RecordCodec>(header_, codec_, name);
  memo_path_ = memo_path.empty() ? MemoPathFor(dbf_path, header_.memo_format()) : memo_path;
  if (!memo_path_.empty()) {
    MemoFormat format = header_.memo_format();
    if (format == MemoFormat::kNone) format = MemoFormat::kFoxPro;
    memo_ = std::make_unique<MemoFile>(memo_path_, format, false);
  }
}

std::vector<ColumnInfo> DbfTable::Columns() const {
  std::vector<ColumnInfo> columns;
  for (int index : record_codec_->visible_fields()) {
    columns.push_back(ColumnForField(header_, header_.fields[index]));
    columns.back().name = codec_->Decode(columns.back().name);
  }
  return columns;
}

std::unique_ptr<RowCursor> DbfTable::Scan(std::vector<bool> wanted) {
  FlushPending();
  return std::make_unique<DbfCursor>(shared_from_this(), std::move(wanted));
}

bool DbfTable::ReadRow(int64_t row_id, Row& row, bool* deleted) {
  FlushPending();
  if (row_id < 0 || static_cast<uint64_t>(row_id) >= header_.record_count) return false;
  std::string record(header_.record_length, '\0');
  file_.ReadExactly(header_.RecordOffset(row_id), record.data(), record.size(), "a row");
  if (deleted) *deleted = record[0] == '*';
  record_codec_->Decode(record.data(), memo_.get(), row_id, row);
  return true;
}

void DbfTable::EnsureWritable() {
  if (writable_) return;
  if (header_.version == 0x02) throw StorageError("table '" + name_ + "' is a dBase II table, which is only read");
  const std::string index = FindStructuralIndex(path_);
  if (!index.empty())
    throw StorageError("table '" + name_ + "' has the structural index '" +
                       std::filesystem::path(index).filename().string() +
                       "', which this engine does not maintain; the change is refused so that the index cannot go stale");
  File writer(path_, File::Mode::kReadWrite);
  std::unique_ptr<MemoFile> memo;
  if (!memo_path_.empty()) memo = std::make_unique<MemoFile>(memo_path_, memo_->format(), true);
  file_ = std::move(writer);
  if (memo) memo_ = std::move(memo);
  writable_ = true;
}

void DbfTable::CheckRowId(int64_t row_id, const char* action) {
  if (row_id < 0 || static_cast<uint64_t>(row_id) >= header_.record_count)
    throw StorageError(std::string("cannot ") + action + " row " + std::to_string(row_id) + " of table '" + name_ +
                       "': there is no such row");
}

void DbfTable::WriteCountAndDate() {
  StampUpdateDate(header_);
  char bytes[7];
  bytes[0] = static_cast<char>(std::clamp(header_.update_year - 1900, 0, 255));
  bytes[1] = static_cast<char>(header_.update_month);
  bytes[2] = static_cast<char>(header_.update_day);
  const uint32_t count = written_count_;
  for (int i = 0; i < 4; ++i) bytes[3 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  file_.WriteAt(1, std::string_view(bytes, sizeof bytes));
}

void DbfTable::WriteAutoIncrement() {
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    const FieldDescriptor& f = header_.fields[i];
    if (!f.IsAutoIncrement() || !header_.IsVisualFoxPro()) continue;
    char bytes[4];
    for (int k = 0; k < 4; ++k) bytes[k] = static_cast<char>((f.autoinc_next >> (8 * k)) & 0xFF);
    file_.WriteAt(kTablePrefixSize + i * kDescriptorSize + 19, std::string_view(bytes, 4));
  }
}

void DbfTable::FillAutoIncrement(const Row& row, Row& filled, bool advance) {
  const std::vector<int>& visible = record_codec_->visible_fields();
  for (size_t col = 0; col < visible.size() && col < row.size(); ++col) {
    FieldDescriptor& f = header_.fields[visible[col]];
    if (!f.IsAutoIncrement() || f.type != 'I') continue;
    const int64_t step = f.autoinc_step == 0 ? 1 : f.autoinc_step;
    if (row[col].IsNull()) {
      if (filled.empty()) filled = row;
      filled[col] = Value(static_cast<int32_t>(f.autoinc_next));
      if (advance) f.autoinc_next = static_cast<uint32_t>(f.autoinc_next + step);
    } else if (advance) {
      // A given value moves the counter past it, so later rows never repeat it.
      const int64_t given = row[col].AsInt64();
      if (given >= static_cast<int64_t>(static_cast<int32_t>(f.autoinc_next)))
        f.autoinc_next = static_cast<uint32_t>(given + step);
    }
  }
}

std::string DbfTable::EncodeWithMemos(const Row& row) {
  std::string record;
  std::vector<RecordCodec::PendingMemo> memos;
  record_codec_->Encode(row, record, memos);
  if (!memos.empty() && !memo_)
    throw StorageError("table '" + name_ + "' has memo fields but its memo file is missing");
  for (const RecordCodec::PendingMemo& m : memos)
    record_codec_->SetMemoBlock(record, m.field, memo_->Append(m.data, m.type));
  return record;
}

int64_t DbfTable::Insert(const Row& row) {
  EnsureWritable();
  if (header_.record_count == 0xFFFFFFFFu) throw StorageError("table '" + name_ + "' is full");
  Row filled;
  // The counters move only for rows that are written.
  std::vector<uint32_t> counters;
  for (const FieldDescriptor& f : header_.fields)
    if (f.IsAutoIncrement()) counters.push_back(f.autoinc_next);
  auto restore_counters = [&] {
    size_t k = 0;
    for (FieldDescriptor& f : header_.fields)
      if (f.IsAutoIncrement()) f.autoinc_next = counters[k++];
  };
  FillAutoIncrement(row, filled, true);
  std::string record;
  try {
    record = EncodeWithMemos(filled.empty() ? row : filled);
  } catch (...) {
    restore_counters();
    throw;
  }
  const int64_t index = header_.record_count;
  if (transaction_) {
    if (pending_.empty()) pending_first_ = header_.record_count;
    pending_ += record;
    ++header_.record_count;
    if (pending_.size() >= kPendingFlushBytes) FlushPending();
    return index;
  }
  try {
    record.push_back('\x1A');
    file_.WriteAt(header_.RecordOffset(index), record);
    // The row becomes part of the table only when the header counts it.
    written_count_ = header_.record_count + 1;
    WriteCountAndDate();
    WriteAutoIncrement();
  } catch (...) {
    restore_counters();
    written_count_ = header_.record_count;
    throw;
  }
  ++header_.record_count;
  return index;
}

void DbfTable::FlushPending() {
  if (pending_.empty()) return;
  // The rows are written but not counted; Commit writes the count.
  pending_.push_back('\x1A');
  file_.WriteAt(header_.RecordOffset(pending_first_), pending_);
  pending_.clear();
}

void DbfTable::SaveUndo(int64_t row_id) {
  if (!transaction_ || static_cast<uint64_t>(row_id) >= transaction_->saved_header.record_count) return;
  if (transaction_->undo.count(row_id)) return;
  std::string original(header_.record_length, '\0');
  file_.ReadExactly(header_.RecordOffset(row_id), original.data(), original.size(), "a row");
  transaction_->undo.emplace(row_id, std::move(original));
}

void DbfTable::Update(int64_t row_id, const Row& row) {
  EnsureWritable();
  FlushPending();
  CheckRowId(row_id, "update");
  char flag = 0;
  file_.ReadExactly(header_.RecordOffset(row_id), &flag, 1, "a row");
  if (flag == '*') throw StorageError("cannot update row " + std::to_string(row_id) + " of table '" + name_ + "': it is deleted");
  // An auto-increment value left null keeps the row's current value.
  Row filled = row;
  const std::vector<int>& visible = record_codec_->visible_fields();
  bool need_old = false;
  for (size_t col = 0; col < visible.size() && col < row.size(); ++col)
    need_old = need_old || (header_.fields[visible[col]].IsAutoIncrement() && row[col].IsNull());
  if (need_old) {
    Row old;
    ReadRow(row_id, old);
    for (size_t col = 0; col < visible.size() && col < row.size(); ++col)
      if (header_.fields[visible[col]].IsAutoIncrement() && row[col].IsNull()) filled[col] = old[col];
  }
  const std::string record = EncodeWithMemos(filled);
  SaveUndo(row_id);
  // One write of the whole record: memos it points at are already in place, the old ones stay untouched.
  file_.WriteAt(header_.RecordOffset(row_id), record);
  if (!transaction_) WriteCountAndDate();
}

void DbfTable::Delete(int64_t row_id) {
  EnsureWritable();
  FlushPending();
  CheckRowId(row_id, "delete");
  char flag = 0;
  file_.ReadExactly(header_.RecordOffset(row_id), &flag, 1, "a row");
  if (flag == '*') throw StorageError("cannot delete row " + std::to_string(row_id) + " of table '" + name_ + "': it is already deleted");
  SaveUndo(row_id);
  file_.WriteAt(header_.RecordOffset(row_id), "*");
  if (!transaction_) WriteCountAndDate();
}

void DbfTable::Begin() {
  if (transaction_) throw StorageError("table '" + name_ + "' already has a transaction open");
  EnsureWritable();
  Transaction t;
  t.saved_header = header_;
  t.saved_file_size = file_.Size();
  transaction_ = std::move(t);
}

void DbfTable::Commit() {
  if (!transaction_) return;
  FlushPending();
  written_count_ = header_.record_count;
  WriteCountAndDate();
  WriteAutoIncrement();
  transaction_.reset();
}

void DbfTable::Rollback() {
  if (!transaction_) return;
  pending_.clear();
  for (const auto& [row_id, bytes] : transaction_->undo) file_.WriteAt(header_.RecordOffset(row_id), bytes);
  header_ = transaction_->saved_header;
  written_count_ = header_.record_count;
  WriteAutoIncrement();
  const uint64_t end = header_.RecordOffset(header_.record_count);
  file_.WriteAt(end, "\x1A");
  file_.Truncate(end + 1);  // rows appended since Begin go; nothing of the table lies beyond its end marker
  transaction_.reset();
}

bool DbfTable::IsStale() const {
  if (transaction_ || !file_.is_open()) return false;
  char prefix[12];
  if (file_.ReadAt(0, prefix, sizeof prefix) != sizeof prefix) return true;
  uint32_t count = 0;
  uint16_t header_length = 0, record_length = 0;
  std::memcpy(&count, prefix + 4, 4);
  std::memcpy(&header_length, prefix + 8, 2);
  std::memcpy(&record_length, prefix + 10, 2);
  if (header_.version == 0x02) return false;  // read only, and laid out differently
  return static_cast<uint8_t>(prefix[0]) != header_.version || count != written_count_ ||
         header_length != header_.header_length || record_length != header_.record_length;
}

void DbfTable::Close() {
  if (transaction_) Rollback();
  file_.Close();
  memo_.reset();
}

}  // namespace vantor::formats::dbf
