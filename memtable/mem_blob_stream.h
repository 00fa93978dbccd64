#pragma once
// TMemBlobStream: a memory stream over one blob field of a table's current record buffer. Reading copies
// the blob's bytes in; a stream that was written puts its bytes back into the buffer when destroyed.

#include "dataset/stream.h"
#include "memtable/mem_record.h"

namespace vantor {

class TCustomMemTable;
class TField;

class TMemBlobStream : public TMemoryStream {
 public:
  // `record` is the buffer the current state selects; `truncate` starts an empty, modified stream.
  TMemBlobStream(TCustomMemTable& table, TField& field, TMemRecord* record, bool writable, bool truncate);
  ~TMemBlobStream() override;

  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t size) override;

 private:
  void StoreBack();

  TCustomMemTable& table_;
  TField& field_;
  TMemRecord* record_;
  bool writable_;
  bool modified_ = false;
};

}  // namespace vantor
