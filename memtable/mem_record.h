#pragma once
// TMemRecord: one record of the in-memory table, a header followed by its data area in the same
// allocation. The data area has four consecutive parts: the fixed area (presence byte + native value per
// fixed field), the calculated area, the bookmark area (one slot per viewing table) and the variable-length
// area (presence byte + block pointer per variable-length field).

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vantor {

struct TMemRecord {
  int32_t Position;      // place in the current index; -1 when cleared
  int32_t SlotId;        // index in the store's slot list; -1 while not stored
  int32_t UniqueId;      // from the store's counter when the record was stored
  uint8_t Flags;         // kRecordStored
  uint8_t ChangeState;   // TMemChangeState
  int32_t VersionLevel;  // -1 initially
  int32_t UserTag;
  TMemRecord* PriorVersion;
  std::byte* Data;       // the data area, just past this header
};

// The data area found by pointer addition: the same address as Data, without waiting for the header's
// cache line in hot loops.
inline const std::byte* DataArea(const TMemRecord* record) {
  return reinterpret_cast<const std::byte*>(record) + sizeof(TMemRecord);
}

inline constexpr uint8_t kRecordStored = 0x01;  // Flags bit: the store's own copy, not a cursor buffer

enum TMemChangeState : uint8_t { csUnchanged = 0, csModified = 1, csInserted = 2, csDeleted = 3 };

// Per-field flag bits of the store's flag table.
inline constexpr uint8_t kFieldVarLength = 0x01;
inline constexpr uint8_t kFieldCompressed = 0x02;
inline constexpr uint8_t kFieldModified = 0x04;

// Presence byte values.
inline constexpr uint8_t kValueNull = 0;
inline constexpr uint8_t kValuePresent = 2;

// A variable-length area entry: a presence byte, then an unaligned block pointer.
inline constexpr int kVarEntrySize = 1 + static_cast<int>(sizeof(void*));
// A bookmark slot: the pointer to the stored record the buffer came from, then a bookmark-flag byte.
inline constexpr int kBookmarkSlotSize = static_cast<int>(sizeof(void*)) + 1;

// Entries of the data area are packed, so pointers in it are read and written bytewise.
inline std::byte* LoadPointer(const std::byte* at) {
  std::byte* p;
  std::memcpy(&p, at, sizeof p);
  return p;
}
inline void StorePointer(std::byte* at, const void* p) { std::memcpy(at, &p, sizeof p); }

}  // namespace vantor
