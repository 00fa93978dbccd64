#include "formats/mdb/column_properties.h"

#include <cstring>
#include <vector>

namespace vantor::formats::mdb {
namespace {

constexpr uint16_t kNamesChunk = 0x80;
constexpr uint8_t kBooleanProperty = 1;

uint16_t U16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t U32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

std::set<std::string> RequiredColumns(std::span<const uint8_t> blob, const FieldContext& context) {
  std::set<std::string> required;
  if (blob.size() < 4 || (std::memcmp(blob.data(), "KKD", 4) != 0 && std::memcmp(blob.data(), "MR2", 4) != 0))
    return required;
  std::vector<std::string> names;
  // Chunks: 32-bit length (itself included), 16-bit kind, then the chunk's data.
  for (size_t at = 4; at + 6 <= blob.size();) {
    const uint32_t length = U32(blob, at);
    if (length < 6 || length > blob.size() - at) break;
    const uint16_t kind = U16(blob, at + 4);
    std::span<const uint8_t> data = blob.subspan(at + 6, length - 6);
    at += length;
    if (kind == kNamesChunk) {
      // Property names: 16-bit length, then the name.
      names.clear();
      for (size_t p = 0; p + 2 <= data.size();) {
        const size_t n = U16(data, p);
        if (n > data.size() - p - 2) break;
        names.push_back(DecodeText(data.subspan(p + 2, n), context));
        p += 2 + n;
      }
      continue;
    }
    // A block of values: 32-bit length, the 16-bit length of the object's name, the name (a column's
    // name, or empty for the table itself), then entries.
    if (data.size() < 6) continue;
    const size_t name_length = U16(data, 4);
    if (name_length > data.size() - 6) continue;
    const std::string object = DecodeText(data.subspan(6, name_length), context);
    // Entries: 16-bit length, flags byte, type byte, 16-bit name index, 16-bit value length, the value.
    for (size_t p = 6 + name_length; p + 8 <= data.size();) {
      const size_t entry_length = U16(data, p);
      const uint8_t type = data[p + 3];
      const size_t name_index = U16(data, p + 4);
      const size_t value_length = U16(data, p + 6);
      if (entry_length < 8 || entry_length > data.size() - p || value_length > entry_length - 8) break;
      if (name_index < names.size() && names[name_index] == "Required" && type == kBooleanProperty &&
          value_length >= 1 && data[p + 8] != 0 && !object.empty())
        required.insert(object);
      p += entry_length;
    }
  }
  return required;
}

}  // namespace vantor::formats::mdb
