#include "formats/mdb/primary_key.h"

#include <unordered_set>
#include <vector>

namespace vantor::formats::mdb {
namespace {

constexpr uint8_t kPrimaryKeyIndex = 0x01;
constexpr int kIndexColumns = 10;
constexpr uint32_t kMaxIndexes = 1000;
constexpr size_t kContinuationHeader = 8;

// The definition's bytes across its pages, each continuation page after its 8-byte header.
std::vector<uint8_t> DefinitionBytes(PageSource& pages, uint32_t definition_page) {
  std::vector<uint8_t> bytes;
  std::unordered_set<uint32_t> seen;
  for (uint32_t page = definition_page; page != 0 && seen.insert(page).second;) {
    std::span<const uint8_t> p = pages.Read(page);
    bytes.insert(bytes.end(), p.begin() + (bytes.empty() ? 0 : kContinuationHeader), p.end());
    page = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<uint32_t>(p[7]) << 24);
  }
  return bytes;
}

class Cursor {
 public:
  explicit Cursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Has(size_t at, size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  uint32_t U8(size_t at) const { return bytes_[at]; }
  uint32_t U16(size_t at) const { return bytes_[at] | (bytes_[at + 1] << 8); }
  uint32_t U32(size_t at) const { return U16(at) | (U16(at + 2) << 16); }

 private:
  const std::vector<uint8_t>& bytes_;
};

}  // namespace

std::set<int> PrimaryKeyColumnNumbers(PageSource& pages, const MdbFormatConstants& format, uint32_t definition_page) {
  const bool jet3 = pages.header().version == JetVersion::Jet3;
  const std::vector<uint8_t> bytes = DefinitionBytes(pages, definition_page);
  const Cursor in(bytes);
  if (!in.Has(format.tab_num_ridxs_offset, 4)) return {};
  const uint32_t columns = in.U16(format.tab_num_cols_offset);
  const uint32_t indexes = in.U32(format.tab_num_idxs_offset);
  const uint32_t real_indexes = in.U32(format.tab_num_ridxs_offset);
  if (indexes > kMaxIndexes || real_indexes > kMaxIndexes) return {};

  // Layout: per real index a count block, the column entries, the column names, the real indexes (their
  // columns), then the logical indexes (their kind and the real index they use).
  size_t at = format.tab_cols_start_offset + size_t{real_indexes} * format.tab_ridx_entry_size +
              size_t{columns} * format.tab_col_entry_size;
  for (uint32_t c = 0; c < columns; ++c) {
    const size_t length_size = jet3 ? 1 : 2;
    if (!in.Has(at, length_size)) return {};
    at += length_size + (jet3 ? in.U8(at) : in.U16(at));
  }
  const size_t real_start = at;
  const size_t real_size = jet3 ? 39 : 52;
  const size_t real_columns_at = jet3 ? 0 : 4;
  const size_t logical_start = real_start + real_indexes * real_size;
  const size_t logical_size = jet3 ? 20 : 28;
  const size_t real_number_at = jet3 ? 4 : 8;
  const size_t kind_at = jet3 ? 19 : 23;

  std::set<int> key;
  for (uint32_t i = 0; i < indexes; ++i) {
    const size_t logical = logical_start + i * logical_size;
    if (!in.Has(logical, logical_size)) return {};
    if (in.U8(logical + kind_at) != kPrimaryKeyIndex) continue;
    const uint32_t real = in.U32(logical + real_number_at);
    if (real >= real_indexes) return {};
    const size_t entry = real_start + real * real_size + real_columns_at;
    if (!in.Has(entry, kIndexColumns * 3)) return {};
    for (int c = 0; c < kIndexColumns; ++c) {
      const uint32_t column = in.U16(entry + c * 3);
      if (column != 0xFFFF) key.insert(static_cast<int>(column));
    }
  }
  return key;
}

}  // namespace vantor::formats::mdb
