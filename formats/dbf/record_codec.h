#pragma once
// Turns the bytes of one record into Values and back, field by field, in the table's code page.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/dbf/memo_file.h"
#include "formats/dbf/table_header.h"
#include "formats/dbf/text_codec.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {

// The column a field shows to the layers above (name as stored; long names are applied by the storage).
ColumnInfo ColumnForField(const TableHeader& header, const FieldDescriptor& field);

// Days between 0001-01-01 and a civil date (proleptic Gregorian), and back.
int64_t DaysFromCivil(int year, int month, int day);

class RecordCodec {
 public:
  RecordCodec(const TableHeader& header, std::shared_ptr<const TextCodec> codec, std::string table);

  // The visible fields in column order (indices into header.fields).
  const std::vector<int>& visible_fields() const { return visible_; }
  const TextCodec& text() const { return *codec_; }

  // Fills `row` (resized to the column count) from `record`. `memo` may be null when the table has no memo
  // file; a memo field that points somewhere then gives a StorageError. `row_id` only names the row in errors.
  // Columns whose `wanted` flag is false (when given) are left null without being decoded.
  void Decode(const char* record, const MemoFile* memo, int64_t row_id, Row& row,
              const std::vector<bool>* wanted = nullptr) const;

  // A memo waiting to be written: the encoded bytes and where its block number goes in the record.
  struct PendingMemo {
    int field = 0;
    std::string data;
    uint32_t type = kMemoText;
  };
  // Builds the record for `row` (deleted flag blank). Memos are returned in `memos` for the caller to append
  // and then patch with SetMemoBlock, so nothing is written unless the whole row encodes.
  void Encode(const Row& row, std::string& record, std::vector<PendingMemo>& memos) const;
  void SetMemoBlock(std::string& record, int field, uint64_t block) const;

 private:
  [[noreturn]] void FieldError(const FieldDescriptor& f, const std::string& what) const;
  void EncodeField(const FieldDescriptor& f, int index, const Value& v, char* dst, std::string& record,
                   std::vector<PendingMemo>& memos) const;

  const TableHeader& header_;
  std::shared_ptr<const TextCodec> codec_;
  std::string table_;
  std::vector<int> visible_;
};

}  // namespace vantor::formats::dbf
