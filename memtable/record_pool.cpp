#include "memtable/record_pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vantor {

namespace {
constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr size_t kAlign = 8;
constexpr std::align_val_t kChunkAlign{alignof(std::max_align_t)};
size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }
}  // namespace

RecordPool::RecordPool(size_t record_size)
    : record_size_(record_size),
      stride_(kPrefix + RoundUp(std::max(record_size, sizeof(FreeNode)), kAlign)),
      records_per_chunk_(std::max<size_t>(1, kChunkBytes / stride_)) {}

RecordPool::~RecordPool() {
  for (std::byte* chunk : chunks_) ::operator delete(chunk, kChunkAlign);
}

void RecordPool::AddChunk() {
  auto* chunk = static_cast<std::byte*>(::operator new(stride_ * records_per_chunk_, kChunkAlign));
  chunks_.push_back(chunk);
  // Thread the new slots onto the free list back to front so they are handed out in address order.
  for (size_t i = records_per_chunk_; i-- > 0;) {
    std::byte* slot = chunk + i * stride_;
    RecordPool* self = this;
    std::memcpy(slot, &self, sizeof self);
    Give(slot);
  }
}

void RecordPool::Give(std::byte* slot) {
  auto* node = reinterpret_cast<FreeNode*>(slot + kPrefix);
  node->next = free_;
  free_ = node;
}

void* RecordPool::Allocate() {
  if (free_ == nullptr) AddChunk();
  FreeNode* node = free_;
  free_ = node->next;
  ++live_;
  return node;
}

void RecordPool::Release(void* record) {
  if (record == nullptr) return;
  std::byte* slot = static_cast<std::byte*>(record) - kPrefix;
  RecordPool* pool;
  std::memcpy(&pool, slot, sizeof pool);
  pool->Give(slot);
  if (--pool->live_ == 0 && pool->retired_) delete pool;
}

void RecordPool::Retire() {
  retired_ = true;
  if (live_ == 0) delete this;
}

}  // namespace vantor
