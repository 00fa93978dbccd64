#include "memtable/mem_blob_stream.h"

#include "dataset/errors.h"
#include "memtable/mem_table.h"

namespace vantor {

TMemBlobStream::TMemBlobStream(TCustomMemTable& table, TField& field, TMemRecord* record, bool writable,
                               bool truncate)
    : table_(table), field_(field), record_(record), writable_(writable) {
  TMemCommon& store = table_.Store();
  const int field_no = field_.FieldNo();
  if (truncate) {
    FreeVarBlock(store.FieldBlock(record_, field_no));
    store.SetFieldBlock(record_, field_no, nullptr);
    *store.FieldPointer(record_, field_no) = std::byte{kValueNull};
    modified_ = true;
    return;
  }
  VarBlock block = store.FieldBlock(record_, field_no);
  // A fetched buffer leaves the bytes with the stored record.
  if (!block && *store.FieldPointer(record_, field_no) != std::byte{kValueNull} && record_->SlotId >= 0)
    block = store.FieldBlock(store.StoredRecord(record_->SlotId), field_no);
  if (block) {
    const auto bytes = VarBlockBytes(block);
    const auto* first = reinterpret_cast<const uint8_t*>(bytes.data());
    Data().assign(first, first + bytes.size());
  }
}

TMemBlobStream::~TMemBlobStream() {
  if (!modified_) return;
  try {
    StoreBack();
  } catch (const std::exception& e) {
    HandleApplicationException(e);
  }
}

void TMemBlobStream::StoreBack() {
  TMemCommon& store = table_.Store();
  const int field_no = field_.FieldNo();
  VarBlock block = Data().empty() ? nullptr : NewVarBlock(Data().data(), Data().size());
  FreeVarBlock(store.FieldBlock(record_, field_no));
  store.SetFieldBlock(record_, field_no, block);
  *store.FieldPointer(record_, field_no) = std::byte{block ? kValuePresent : kValueNull};
  store.SetFieldModified(field_no);
  table_.NotifyFieldWritten(field_);
}

int64_t TMemBlobStream::Write(const void* buffer, int64_t count) {
  if (!writable_) throw Exception("The blob stream was opened for reading");
  modified_ = true;
  return TMemoryStream::Write(buffer, count);
}

void TMemBlobStream::SetSize(int64_t size) {
  if (!writable_) throw Exception("The blob stream was opened for reading");
  modified_ = true;
  TMemoryStream::SetSize(size);
}

}  // namespace vantor
