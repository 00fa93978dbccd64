#pragma once
// Writes a whole table into new files beside the old ones and then swaps them in with renames, so a
// structure change either happens completely or leaves the old table as it was.

#include <memory>
#include <string>

#include "formats/dbf/file_io.h"
#include "formats/dbf/memo_file.h"
#include "formats/dbf/record_codec.h"
#include "formats/dbf/table_header.h"

namespace vantor::formats::dbf {

class TableWriter {
 public:
  // `dbf_path` is where the table ends up. `reuse_memo_path` names an existing memo file of the right format
  // to append memos to (new memos go after the old ones, so the old table still reads); empty to write a new
  // memo file when the header needs one.
  TableWriter(const std::string& dbf_path, TableHeader header, int code_page, const std::string& table,
              const std::string& reuse_memo_path);
  ~TableWriter();  // removes the temporary files unless Finish ran

  const TableHeader& header() const { return header_; }
  void Append(const Row& row, bool deleted);
  // Writes the header, flushes, renames the new memo file and then the table into place. Answers the memo
  // file the table now uses ("" for none).
  std::string Finish();

 private:
  void Flush();

  std::string dbf_path_;
  std::string temp_dbf_;
  std::string memo_final_;
  std::string temp_memo_;  // set when a new memo file is written
  // When appending to the old memo file: its size and header, put back if the rewrite fails.
  uint64_t reused_memo_size_ = 0;
  std::string reused_memo_header_;
  TableHeader header_;
  std::string table_;
  std::unique_ptr<RecordCodec> codec_;
  std::unique_ptr<MemoFile> memo_;
  File out_;
  std::string buffer_;
  uint64_t written_ = 0;
  bool finished_ = false;
};

// The temporary name a new version of `path` is written under before it replaces it.
std::string TemporaryPathFor(const std::string& path);

}  // namespace vantor::formats::dbf
