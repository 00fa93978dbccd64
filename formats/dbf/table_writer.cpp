#include "formats/dbf/table_writer.h"

#include <algorithm>
#include <filesystem>

#include "formats/dbf/table_files.h"

namespace vantor::formats::dbf {

namespace fs = std::filesystem;

std::string TemporaryPathFor(const std::string& path) {
  const fs::path p(path);
  return (p.parent_path() / (".~" + p.filename().string() + ".tmp")).string();
}

TableWriter::TableWriter(const std::string& dbf_path, TableHeader header, int code_page, const std::string& table,
                         const std::string& reuse_memo_path)
    : dbf_path_(dbf_path), temp_dbf_(TemporaryPathFor(dbf_path)), header_(std::move(header)), table_(table) {
  header_.record_count = 0;
  StampUpdateDate(header_);
  codec_ = std::make_unique<RecordCodec>(header_, TextCodec::ForCodePage(code_page), table);
  RemoveFileIfExists(temp_dbf_);
  out_ = File(temp_dbf_, File::Mode::kCreate);
  const MemoFormat format = header_.memo_format();
  if (format != MemoFormat::kNone) {
    if (!reuse_memo_path.empty()) {
      memo_final_ = reuse_memo_path;
      File original(reuse_memo_path, File::Mode::kRead);
      reused_memo_size_ = original.Size();
      reused_memo_header_.resize(std::min<uint64_t>(reused_memo_size_, 512));
      original.ReadExactly(0, reused_memo_header_.data(), reused_memo_header_.size(), "the memo file header");
      memo_ = std::make_unique<MemoFile>(reuse_memo_path, format, true);
    } else {
      const fs::path p(dbf_path);
      memo_final_ = (p.parent_path() / (p.stem().string() + (format == MemoFormat::kFoxPro ? ".fpt" : ".dbt"))).string();
      temp_memo_ = TemporaryPathFor(memo_final_);
      RemoveFileIfExists(temp_memo_);
      MemoFile::Create(temp_memo_, format);
      memo_ = std::make_unique<MemoFile>(temp_memo_, format, true);
    }
  }
}

TableWriter::~TableWriter() {
  if (finished_) return;
  out_.Close();
  try {
    RemoveFileIfExists(temp_dbf_);
    if (!temp_memo_.empty()) RemoveFileIfExists(temp_memo_);
    if (!reused_memo_header_.empty()) {
      // Take back the memos this rewrite appended, so a failed change leaves the memo file as it was.
      memo_.reset();
      File memo(memo_final_, File::Mode::kReadWrite);
      memo.WriteAt(0, reused_memo_header_);
      memo.Truncate(reused_memo_size_);
    }
  } catch (...) {
  }
}

void TableWriter::Append(const Row& row, bool deleted) {
  if (header_.record_count == 0xFFFFFFFFu) throw StorageError("table '" + table_ + "' is full");
  std::string record;
  std::vector<RecordCodec::PendingMemo> memos;
  codec_->Encode(row, record, memos);
  for (const RecordCodec::PendingMemo& m : memos) codec_->SetMemoBlock(record, m.field, memo_->Append(m.data, m.type));
  if (deleted) record[0] = '*';
  buffer_ += record;
  ++header_.record_count;
  if (buffer_.size() >= (4u << 20)) Flush();
}

void TableWriter::Flush() {
  out_.WriteAt(header_.header_length + written_, buffer_);
  written_ += buffer_.size();
  buffer_.clear();
}

std::string TableWriter::Finish() {
  buffer_.push_back('\x1A');
  Flush();
  out_.WriteAt(0, SerializeHeader(header_));
  out_.Sync();
  out_.Close();
  if (memo_) memo_->Sync();
  if (!temp_memo_.empty()) {
    // The new memo file takes its place first: the old table never refers to a memo file of this name and
    // format, so it still reads while the table file is not yet swapped.
    memo_.reset();
    ReplaceFile(temp_memo_, memo_final_);
  } else {
    memo_.reset();
  }
  ReplaceFile(temp_dbf_, dbf_path_);
  finished_ = true;
  return memo_final_;
}

}  // namespace vantor::formats::dbf
