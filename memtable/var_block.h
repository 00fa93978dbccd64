#pragma once
// Variable-length blocks: one heap allocation holding a 32-bit little-endian byte count and then that many
// bytes of the field's native data. A block has exactly one owner (a stored record or a cursor buffer).

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantor {

using VarBlock = std::byte*;

// A new block holding a copy of `bytes`.
VarBlock NewVarBlock(std::span<const std::byte> bytes);
VarBlock NewVarBlock(const void* data, size_t size);
VarBlock DuplicateVarBlock(VarBlock block);  // nullptr stays nullptr
void FreeVarBlock(VarBlock block);

uint32_t VarBlockSize(VarBlock block);
inline const std::byte* VarBlockData(VarBlock block) { return block + 4; }
inline std::span<const std::byte> VarBlockBytes(VarBlock block) {
  return block ? std::span<const std::byte>(VarBlockData(block), VarBlockSize(block)) : std::span<const std::byte>();
}

}  // namespace vantor
