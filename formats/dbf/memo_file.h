#pragma once
// Memo files beside a table: .dbt in the dBase III layout (blocks of 512 bytes ended by 0x1A), .dbt in the
// dBase IV layout (a length prefix, block size in the header) and .fpt (typed, length-prefixed blocks).
// New memos are always appended after the last used block, so a failed write never touches a memo that a
// row already points at.

#include <cstdint>
#include <memory>
#include <string>

#include "formats/dbf/file_io.h"
#include "formats/dbf/table_header.h"

namespace vantor::formats::dbf {

// Block types of .fpt memos.
inline constexpr uint32_t kMemoPicture = 0;
inline constexpr uint32_t kMemoText = 1;

class MemoFile {
 public:
  MemoFile(const std::string& path, MemoFormat format, bool writable);

  // Creates an empty memo file (fails when it exists).
  static void Create(const std::string& path, MemoFormat format);
  static constexpr uint32_t kFoxProBlockSize = 64;

  const std::string& path() const { return file_.path(); }
  MemoFormat format() const { return format_; }

  // The memo at `block` (0 means none; the caller checks that first). StorageError when it lies outside
  // the file or its length is impossible.
  std::string Read(uint64_t block, uint32_t* type = nullptr) const;
  // Appends a memo and answers its block number.
  uint64_t Append(std::string_view data, uint32_t type);
  void Sync() { file_.Sync(); }

 private:
  void ReadHeader();

  File file_;
  MemoFormat format_;
  uint32_t block_size_ = 512;
  uint64_t next_free_ = 1;
};

}  // namespace vantor::formats::dbf
