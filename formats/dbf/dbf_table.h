#pragma once
// One open .dbf table: its header, code page and memo file; streaming scans; row writes in place, ordered so
// that an error part-way leaves the table reading as before; and grouped writes with rollback.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/dbf/file_io.h"
#include "formats/dbf/memo_file.h"
#include "formats/dbf/record_codec.h"
#include "formats/dbf/table_header.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {

class DbfTable : public std::enable_shared_from_this<DbfTable> {
 public:
  // Opens `dbf_path` for reading; `name` is how errors name the table. `memo_path` overrides where the memo
  // file is looked for (a database container keeps its memos in .dct).
  static std::shared_ptr<DbfTable> Open(const std::string& dbf_path, const std::string& name,
                                        const std::string& memo_path = "");

  const std::string& path() const { return path_; }
  const std::string& name() const { return name_; }
  const TableHeader& header() const { return header_; }
  int code_page() const { return codec_->code_page(); }
  const std::string& memo_path() const { return memo_path_; }
  // Columns with the names stored in the file.
  std::vector<ColumnInfo> Columns() const;

  // Streams the rows; with `wanted` (one flag per column) the unwanted columns are left null.
  std::unique_ptr<RowCursor> Scan(std::vector<bool> wanted = {});
  // Reads one row (deleted or not); false when the id is outside the table.
  bool ReadRow(int64_t row_id, Row& row, bool* deleted = nullptr);

  int64_t Insert(const Row& row);
  void Update(int64_t row_id, const Row& row);
  void Delete(int64_t row_id);

  // Grouped writes: appended rows are buffered and the header is written once at Commit; Rollback puts back
  // every row changed since Begin.
  void Begin();
  void Commit();
  void Rollback();
  bool in_transaction() const { return transaction_.has_value(); }

  // Releases the files (before the table's files are renamed or deleted).
  void Close();
  // Whether another writer changed the table since it was opened (its header no longer matches ours).
  bool IsStale() const;

 private:
  DbfTable() = default;
  void Load(const std::string& dbf_path, const std::string& name, const std::string& memo_path);
  void EnsureWritable();
  void CheckRowId(int64_t row_id, const char* action);
  void FlushPending();
  void WriteCountAndDate();
  void WriteAutoIncrement();
  void SaveUndo(int64_t row_id);
  void FillAutoIncrement(const Row& row, Row& filled, bool advance);
  std::string EncodeWithMemos(const Row& row);

  friend class DbfCursor;

  std::string path_;
  std::string name_;
  std::string memo_path_;
  File file_;
  bool writable_ = false;
  TableHeader header_;
  std::shared_ptr<const TextCodec> codec_;
  std::unique_ptr<RecordCodec> record_codec_;
  std::unique_ptr<MemoFile> memo_;

  struct Transaction {
    TableHeader saved_header;
    uint64_t saved_file_size = 0;
    std::map<int64_t, std::string> undo;  // original bytes of rows changed in place
  };
  std::optional<Transaction> transaction_;
  std::string pending_;           // appended records not yet written
  uint32_t pending_first_ = 0;    // row index of the first pending record
  uint32_t written_count_ = 0;    // rows whose bytes are in the file
};

}  // namespace vantor::formats::dbf
