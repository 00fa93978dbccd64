#include "memtable/var_block.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "memtable/mem_errors.h"

namespace vantor {

VarBlock NewVarBlock(const void* data, size_t size) {
  if (size > std::numeric_limits<uint32_t>::max() - 4)
    throw EMemTableError(Format("A field value of %zu bytes is too large to store", size));
  auto* block = static_cast<std::byte*>(std::malloc(size + 4));
  if (block == nullptr) throw std::bad_alloc();
  const uint32_t n = static_cast<uint32_t>(size);
  const uint8_t count[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                            static_cast<uint8_t>(n >> 24)};
  std::memcpy(block, count, 4);
  if (size > 0) std::memcpy(block + 4, data, size);
  return block;
}

VarBlock NewVarBlock(std::span<const std::byte> bytes) { return NewVarBlock(bytes.data(), bytes.size()); }

uint32_t VarBlockSize(VarBlock block) {
  if (block == nullptr) return 0;
  const auto* c = reinterpret_cast<const uint8_t*>(block);
  return uint32_t{c[0]} | uint32_t{c[1]} << 8 | uint32_t{c[2]} << 16 | uint32_t{c[3]} << 24;
}

VarBlock DuplicateVarBlock(VarBlock block) {
  if (block == nullptr) return nullptr;
  return NewVarBlock(VarBlockData(block), VarBlockSize(block));
}

void FreeVarBlock(VarBlock block) { std::free(block); }

}  // namespace vantor
