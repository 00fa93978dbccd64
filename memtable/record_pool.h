#pragma once
// RecordPool: fixed-size record allocations carved from large chunks, with a free list, so that storing a
// million records costs a few hundred heap calls instead of a million.
//
// Every allocation is preceded by a pointer to the pool it came from, so a record freed after the store
// switched to a new record size still returns to the pool that made it. A retired pool frees itself
// when its last record comes back.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "memtable/mem_record.h"

namespace vantor {

class RecordPool {
 public:
  // `record_size` bytes are usable in each allocation.
  explicit RecordPool(size_t record_size);
  ~RecordPool();
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;

  size_t RecordSize() const { return record_size_; }
  size_t LiveCount() const { return live_; }
  // Bytes taken from the heap for records, used or free.
  size_t ReservedBytes() const { return chunks_.size() * stride_ * records_per_chunk_; }

  void* Allocate();
  // Returns an allocation to the pool it came from (which need not be the current one).
  static void Release(void* record);
  // The owner lets go of the pool: it is deleted now if nothing is allocated, else when its last
  // allocation comes back.
  void Retire();

 private:
  struct FreeNode {
    FreeNode* next;
  };
  // Records hold nothing wider than 8 bytes, so an 8-byte prefix keeps them aligned.
  static constexpr size_t kPrefix = 8;
  static_assert(alignof(TMemRecord) <= kPrefix);
  void AddChunk();
  void Give(std::byte* slot);

  size_t record_size_;
  size_t stride_;
  size_t records_per_chunk_;
  std::vector<std::byte*> chunks_;
  FreeNode* free_ = nullptr;
  size_t live_ = 0;
  bool retired_ = false;
};

}  // namespace vantor
