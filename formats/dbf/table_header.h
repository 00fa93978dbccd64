#pragma once
// The header of a .dbf file: the 32-byte table prefix and the 32-byte field descriptors, parsed with every
// size checked against the file, and written back byte for byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::formats::dbf {

// Version bytes this engine reads (and, all but dBase II, writes).
enum class TableVersion : uint8_t {
  kDBase2 = 0x02,  // read only
  kDBase3 = 0x03, kDBase3Memo = 0x83, kDBase4 = 0x04, kDBase4Memo = 0x8B, kFoxPro2Memo = 0xF5,
  kVisualFoxPro = 0x30, kVisualFoxProAutoInc = 0x31, kVisualFoxProVar = 0x32,
};

enum class MemoFormat { kNone, kDBase3, kDBase4, kFoxPro };

// Field flag bits (Visual FoxPro).
inline constexpr uint8_t kFieldSystem = 0x01;
inline constexpr uint8_t kFieldNullable = 0x02;
inline constexpr uint8_t kFieldBinary = 0x04;
inline constexpr uint8_t kFieldAutoIncrement = 0x08;

// Table flag bits (byte 28).
inline constexpr uint8_t kTableHasStructuralIndex = 0x01;
inline constexpr uint8_t kTableHasMemo = 0x02;
inline constexpr uint8_t kTableIsDatabase = 0x04;

inline constexpr size_t kTablePrefixSize = 32;
inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kBacklinkSize = 263;  // Visual FoxPro: path of the owning database container

struct FieldDescriptor {
  std::string name;  // as stored (ASCII in practice), without the padding
  char type = 'C';
  uint8_t length = 0;
  uint8_t decimals = 0;
  uint8_t flags = 0;
  uint32_t autoinc_next = 0;
  uint8_t autoinc_step = 0;
  // Derived when parsing or laying out:
  uint32_t offset = 0;    // within the record; the deleted flag is byte 0
  int null_bit = -1;      // bit in _NullFlags telling the value is null
  int varlength_bit = -1; // bit in _NullFlags telling a V/Q value is shorter than the field

  bool IsSystem() const { return (flags & kFieldSystem) != 0; }
  bool IsNullable() const { return (flags & kFieldNullable) != 0; }
  bool IsBinary() const { return (flags & kFieldBinary) != 0; }
  bool IsAutoIncrement() const { return (flags & kFieldAutoIncrement) != 0; }
};

struct TableHeader {
  uint8_t version = 0x03;
  int update_year = 1900, update_month = 1, update_day = 1;
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t table_flags = 0;
  uint8_t language_driver = 0;
  std::vector<FieldDescriptor> fields;  // every descriptor, _NullFlags included
  int null_flags_field = -1;            // index in `fields` of _NullFlags, -1 when absent
  std::string backlink;                 // Visual FoxPro database container path, empty for free tables

  bool IsVisualFoxPro() const { return version == 0x30 || version == 0x31 || version == 0x32; }
  MemoFormat memo_format() const;
  // Where record `index` (0-based) starts in the file.
  uint64_t RecordOffset(uint64_t index) const { return header_length + index * uint64_t{record_length}; }
};

// Parses and validates the header at the start of `data` (the first bytes of a file of `file_size` bytes).
// `table` names the table in error messages. StorageError for anything damaged or unsupported.
TableHeader ParseHeader(std::string_view data, uint64_t file_size, const std::string& table);
// How many bytes ParseHeader needs at least to see the whole header (from the first 12 bytes).
size_t HeaderLengthOf(std::string_view prefix);

// Assigns offsets and _NullFlags bits and computes record_length and header_length.
// StorageError when the layout does not fit the format's limits.
void LayoutFields(TableHeader& header, const std::string& table);

// The header bytes (prefix, descriptors, terminator, backlink), exactly header_length long.
std::string SerializeHeader(const TableHeader& header);

// Today's date in the header's year/month/day fields.
void StampUpdateDate(TableHeader& header);

}  // namespace vantor::formats::dbf
