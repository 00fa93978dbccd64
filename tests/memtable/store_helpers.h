#pragma once
// Helpers for tests that work on a record store directly: put native values into records.

#include <cstring>
#include <string>

#include "dataset/native.h"
#include "memtable/mem_common.h"

namespace vantor::testing {

// Writes a value into a record the way the table does: fixed fields in place, variable-length fields as a
// block of their native bytes. A null Value clears the field.
inline void PutValue(TMemCommon& store, TMemRecord* record, int field_no, const Value& value) {
  std::byte* entry = store.FieldPointer(record, field_no);
  const TFieldType type = store.FieldType(field_no);
  const int size = store.FieldSize(field_no);
  if (store.IsVarLength(field_no)) {
    FreeVarBlock(store.FieldBlock(record, field_no));
    store.SetFieldBlock(record, field_no, nullptr);
    *entry = std::byte{kValueNull};
    if (value.IsNull()) return;
    std::string native(static_cast<size_t>(StorageSize(type, size)), '\0');
    if (IsBlobType(type)) native = value.AsString();
    else WriteNative(type, size, value, native.data());
    store.SetFieldBlock(record, field_no, NewVarBlock(native.data(), native.size()));
    *entry = std::byte{kValuePresent};
    return;
  }
  if (value.IsNull()) {
    *entry = std::byte{kValueNull};
    return;
  }
  WriteNative(type, size, value, entry + 1);
  *entry = std::byte{kValuePresent};
}

// A record made and filled outside the store, not yet stored.
inline TMemRecord* NewRecord(TMemCommon& store, std::initializer_list<Value> values) {
  TMemRecord* record = store.AllocateRecord();
  int field_no = 1;
  for (const Value& v : values) PutValue(store, record, field_no++, v);
  return record;
}

// A record filled and appended to the store.
inline TMemRecord* StoreRecord(TMemCommon& store, std::initializer_list<Value> values) {
  TMemRecord* record = NewRecord(store, values);
  store.AppendRecord(record);
  return record;
}

}  // namespace vantor::testing
