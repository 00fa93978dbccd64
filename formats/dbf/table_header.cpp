#include "formats/dbf/table_header.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "formats/storage.h"

namespace vantor::formats::dbf {
namespace {

uint16_t ReadU16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
uint32_t ReadU32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
}
void WriteU16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
void WriteU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool IsKnownVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x83: case 0x04: case 0x8B: case 0xF5: case 0x30: case 0x31: case 0x32: return true;
    default: return false;
  }
}

std::string Hex(unsigned v) {
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[(v >> 4) & 0xF] + digits[v & 0xF];
}

[[noreturn]] void Damaged(const std::string& table, const std::string& what) {
  throw StorageError("table '" + table + "' is damaged: " + what);
}

// Checks the sizes that decoding depends on; other types keep whatever length the file gives.
void CheckFieldLength(const TableHeader& h, const FieldDescriptor& f, const std::string& table) {
  auto require = [&](unsigned expected) {
    if (f.length != expected)
      Damaged(table, "field '" + f.name + "' of type " + f.type + " is " + std::to_string(f.length) +
                         " bytes long, expected " + std::to_string(expected));
  };
  switch (f.type) {
    case 'D': require(8); break;
    case 'L': require(1); break;
    case 'I': require(4); break;
    case 'Y': case 'T': require(8); break;
    case 'B': if (h.IsVisualFoxPro()) require(8); else if (f.length != 10 && f.length != 4) require(10); break;
    case 'M': case 'G': case 'W': case 'P':
      if (f.length != 4 && f.length != 10) require(h.IsVisualFoxPro() ? 4 : 10);
      break;
    case 'C': case 'N': case 'F': case 'V': case 'Q': case '0':
      if (f.length == 0) Damaged(table, "field '" + f.name + "' has length 0");
      break;
    default:
      throw StorageError("table '" + table + "': field '" + f.name + "' has type '" + std::string(1, f.type) +
                         "', which this engine does not read");
  }
}

void AssignNullBits(TableHeader& h) {
  int bit = 0;
  for (FieldDescriptor& f : h.fields) {
    f.null_bit = f.varlength_bit = -1;
    if (f.IsSystem()) continue;
    if (f.type == 'V' || f.type == 'Q') f.varlength_bit = bit++;
    if (f.IsNullable()) f.null_bit = bit++;
  }
}

// dBase II: an 8-byte prefix (count, date, record length), 16-byte descriptors, data at byte 521.
TableHeader ParseDBase2Header(std::string_view data, uint64_t file_size, const std::string& table) {
  constexpr size_t kDescriptors = 8, kDescriptorLength = 16, kMaxFields = 32;
  constexpr uint16_t kDataStart = kDescriptors + kDescriptorLength * kMaxFields + 1;
  if (data.size() < kDataStart || file_size < kDataStart) Damaged(table, "the file ends inside the header");
  const char* p = data.data();
  TableHeader h;
  h.version = 0x02;
  h.record_count = ReadU16(p + 1);
  h.update_month = static_cast<uint8_t>(p[3]);
  h.update_day = static_cast<uint8_t>(p[4]);
  h.update_year = 1900 + static_cast<uint8_t>(p[5]);
  h.record_length = ReadU16(p + 6);
  h.header_length = kDataStart;
  if (h.record_length < 2) Damaged(table, "record length " + std::to_string(h.record_length));
  uint32_t offset = 1;
  bool terminated = false;
  for (size_t i = 0; i < kMaxFields; ++i) {
    const char* d = p + kDescriptors + i * kDescriptorLength;
    if (*d == 0x0D) {
      terminated = true;
      break;
    }
    FieldDescriptor f;
    f.name.assign(d, strnlen(d, 11));
    f.type = d[11];
    f.length = static_cast<uint8_t>(d[12]);
    f.decimals = static_cast<uint8_t>(d[15]);
    CheckFieldLength(h, f, table);
    f.offset = offset;
    offset += f.length;
    if (offset > h.record_length)
      Damaged(table, "the fields need more than the record length of " + std::to_string(h.record_length) + " bytes");
    h.fields.push_back(std::move(f));
  }
  if (!terminated && h.fields.size() < kMaxFields) Damaged(table, "the field list has no terminator");
  if (h.fields.empty()) Damaged(table, "the table has no fields");
  if (file_size < h.RecordOffset(h.record_count))
    Damaged(table, "the header counts " + std::to_string(h.record_count) + " rows but the file holds " +
                       std::to_string((file_size - h.header_length) / h.record_length));
  return h;
}

}  // namespace

MemoFormat TableHeader::memo_format() const {
  switch (version) {
    case 0x83: return MemoFormat::kDBase3;
    case 0x8B: return MemoFormat::kDBase4;
    case 0xF5: return MemoFormat::kFoxPro;
    case 0x30: case 0x31: case 0x32: return (table_flags & kTableHasMemo) ? MemoFormat::kFoxPro : MemoFormat::kNone;
    default: return MemoFormat::kNone;
  }
}

size_t HeaderLengthOf(std::string_view prefix) {
  if (!prefix.empty() && prefix[0] == 0x02) return 521;
  if (prefix.size() < 12) return kTablePrefixSize;
  return ReadU16(prefix.data() + 8);
}

TableHeader ParseHeader(std::string_view data, uint64_t file_size, const std::string& table) {
  if (data.size() < kTablePrefixSize || file_size < kTablePrefixSize)
    throw StorageError("'" + table + "' is not a dBase table: the file is shorter than a table header");
  const char* p = data.data();
  TableHeader h;
  h.version = static_cast<uint8_t>(p[0]);
  if (h.version == 0x02) return ParseDBase2Header(data, file_size, table);
  if (!IsKnownVersion(h.version))
    throw StorageError("'" + table + "' is not a supported dBase table (version byte " + Hex(h.version) + ")");
  h.update_year = 1900 + static_cast<uint8_t>(p[1]);
  h.update_month = static_cast<uint8_t>(p[2]);
  h.update_day = static_cast<uint8_t>(p[3]);
  h.record_count = ReadU32(p + 4);
  h.header_length = ReadU16(p + 8);
  h.record_length = ReadU16(p + 10);
  h.table_flags = static_cast<uint8_t>(p[28]);
  h.language_driver = static_cast<uint8_t>(p[29]);

  if (h.header_length < kTablePrefixSize + 1) Damaged(table, "header length " + std::to_string(h.header_length));
  if (data.size() < h.header_length || file_size < h.header_length) Damaged(table, "the file ends inside the header");
  if (h.record_length < 2) Damaged(table, "record length " + std::to_string(h.record_length));

  uint32_t offset = 1;
  size_t pos = kTablePrefixSize;
  bool terminated = false;
  while (pos < h.header_length) {
    if (p[pos] == 0x0D) {
      terminated = true;
      break;
    }
    if (pos + kDescriptorSize > h.header_length) break;
    const char* d = p + pos;
    FieldDescriptor f;
    f.name.assign(d, strnlen(d, 11));
    f.type = d[11];
    f.length = static_cast<uint8_t>(d[16]);
    f.decimals = static_cast<uint8_t>(d[17]);
    if (h.IsVisualFoxPro()) {
      f.flags = static_cast<uint8_t>(d[18]);
      f.autoinc_next = ReadU32(d + 19);
      f.autoinc_step = static_cast<uint8_t>(d[23]);
    }
    if (f.type == '0') f.flags |= kFieldSystem;  // _NullFlags is hidden even when its flag byte says otherwise
    CheckFieldLength(h, f, table);
    f.offset = offset;
    offset += f.length;
    if (offset > h.record_length)
      Damaged(table, "the fields need more than the record length of " + std::to_string(h.record_length) + " bytes");
    if (f.type == '0' && h.null_flags_field < 0) h.null_flags_field = static_cast<int>(h.fields.size());
    h.fields.push_back(std::move(f));
    pos += kDescriptorSize;
  }
  if (!terminated) Damaged(table, "the field list has no terminator");
  if (h.fields.empty()) Damaged(table, "the table has no fields");
  if (h.IsVisualFoxPro() && pos + 1 + kBacklinkSize <= h.header_length) {
    const char* link = p + pos + 1;
    h.backlink.assign(link, strnlen(link, kBacklinkSize));
  }
  AssignNullBits(h);
  if (h.null_flags_field >= 0) {
    int bits = 0;
    for (const FieldDescriptor& f : h.fields) bits += (f.null_bit >= 0) + (f.varlength_bit >= 0);
    if (bits > 8 * h.fields[h.null_flags_field].length) Damaged(table, "the _NullFlags field is too short");
  } else {
    for (const FieldDescriptor& f : h.fields)
      if (f.null_bit >= 0 || f.varlength_bit >= 0) Damaged(table, "nullable fields without a _NullFlags field");
  }
  const uint64_t needed = h.RecordOffset(h.record_count);
  if (file_size < needed) {
    const uint64_t held = (file_size - h.header_length) / h.record_length;
    Damaged(table, "the header counts " + std::to_string(h.record_count) + " rows but the file holds " +
                       std::to_string(held));
  }
  return h;
}

void LayoutFields(TableHeader& h, const std::string& table) {
  // The _NullFlags field goes last and grows with the number of bits needed.
  h.fields.erase(std::remove_if(h.fields.begin(), h.fields.end(), [](const FieldDescriptor& f) { return f.type == '0'; }),
                 h.fields.end());
  h.null_flags_field = -1;
  AssignNullBits(h);
  int bits = 0;
  for (const FieldDescriptor& f : h.fields) bits += (f.null_bit >= 0) + (f.varlength_bit >= 0);
  if (bits > 0) {
    if (!h.IsVisualFoxPro()) throw StorageError("table '" + table + "': only Visual FoxPro tables hold nulls");
    FieldDescriptor flags;
    flags.name = "_NullFlags";
    flags.type = '0';
    flags.length = static_cast<uint8_t>((bits + 7) / 8);
    flags.flags = kFieldSystem | kFieldBinary;
    h.null_flags_field = static_cast<int>(h.fields.size());
    h.fields.push_back(flags);
  }
  if (h.fields.empty()) throw StorageError("table '" + table + "' needs at least one column");
  if (h.fields.size() > 255) throw StorageError("table '" + table + "' would have more than 255 fields");
  uint32_t offset = 1;
  for (FieldDescriptor& f : h.fields) {
    f.offset = offset;
    offset += f.length;
  }
  if (offset > 65500) throw StorageError("table '" + table + "': a row would be longer than 65,500 bytes");
  h.record_length = static_cast<uint16_t>(offset);
  size_t header = kTablePrefixSize + kDescriptorSize * h.fields.size() + 1;
  if (h.IsVisualFoxPro()) header += kBacklinkSize;
  h.header_length = static_cast<uint16_t>(header);
}

std::string SerializeHeader(const TableHeader& h) {
  std::string out(h.header_length, '\0');
  char* p = out.data();
  p[0] = static_cast<char>(h.version);
  p[1] = static_cast<char>(std::max(0, std::min(255, h.update_year - 1900)));
  p[2] = static_cast<char>(h.update_month);
  p[3] = static_cast<char>(h.update_day);
  WriteU32(p + 4, h.record_count);
  WriteU16(p + 8, h.header_length);
  WriteU16(p + 10, h.record_length);
  p[28] = static_cast<char>(h.table_flags);
  p[29] = static_cast<char>(h.language_driver);
  size_t pos = kTablePrefixSize;
  for (const FieldDescriptor& f : h.fields) {
    char* d = p + pos;
    std::memcpy(d, f.name.data(), std::min<size_t>(f.name.size(), 10));
    d[11] = f.type;
    if (h.IsVisualFoxPro()) WriteU32(d + 12, f.offset);
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    if (h.IsVisualFoxPro()) {
      d[18] = static_cast<char>(f.flags);
      WriteU32(d + 19, f.autoinc_next);
      d[23] = static_cast<char>(f.autoinc_step);
    }
    pos += kDescriptorSize;
  }
  p[pos] = 0x0D;
  if (h.IsVisualFoxPro() && pos + 1 + kBacklinkSize <= out.size())
    std::memcpy(p + pos + 1, h.backlink.data(), std::min(h.backlink.size(), kBacklinkSize));
  return out;
}

void StampUpdateDate(TableHeader& h) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  h.update_year = local.tm_year + 1900;
  h.update_month = local.tm_mon + 1;
  h.update_day = local.tm_mday;
}

}  // namespace vantor::formats::dbf
