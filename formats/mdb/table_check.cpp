#include "formats/mdb/table_check.h"

#include <unordered_set>
#include <vector>

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr uint8_t kTableDefinitionPage = 0x02;
constexpr unsigned kMaxColumns = 256;    // a column number is one byte
constexpr uint32_t kMaxIndexes = 1000;   // far above what Access allows

uint16_t U16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t U32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

[[noreturn]] void Damaged(const std::string& table, const std::string& what) {
  throw StorageError("damaged Access file: table '" + table + "' " + what);
}

// The bytes of the row a page/row pointer names, copied out of its page.
std::vector<uint8_t> PointedRow(PageSource& pages, uint32_t pointer, const std::string& table, const char* what) {
  const uint32_t page = pointer >> 8;
  if (page == 0 || page >= pages.header().page_count) Damaged(table, std::string("has its ") + what + " outside the file");
  std::span<const uint8_t> bytes = pages.Read(page);
  RowSpan row;
  if (!LocateRow(bytes, pages.row_count_offset(), pointer & 0xFF, row))
    Damaged(table, std::string("has a broken pointer to its ") + what);
  return {bytes.begin() + row.start, bytes.begin() + row.start + row.length};
}

void CheckUsageMap(PageSource& pages, const std::vector<uint8_t>& map, const std::string& table) {
  const uint64_t page_count = pages.header().page_count;
  if (map.empty()) Damaged(table, "has an empty usage map");
  if (map[0] == 0) {
    // An inline bitmap of pages counted from a start page.
    if (map.size() < 5) Damaged(table, "has a truncated usage map");
    const uint32_t first = U32(map, 1);
    for (size_t bit = 0; bit < (map.size() - 5) * 8; ++bit)
      if ((map[5 + bit / 8] >> (bit % 8)) & 1)
        if (first + bit >= page_count) Damaged(table, "has data pages outside the file");
  } else if (map[0] == 1) {
    // A list of bitmap pages, each covering (page size - 4) * 8 pages.
    const uint64_t per_map_page = (pages.header().page_size - 4) * 8ull;
    for (size_t at = 1; at + 4 <= map.size(); at += 4) {
      const uint32_t map_page = U32(map, at);
      if (map_page == 0) continue;
      if (map_page >= page_count) Damaged(table, "has a usage map page outside the file");
      std::span<const uint8_t> bitmap = pages.Read(map_page);
      const uint64_t base = (at - 1) / 4 * per_map_page;
      for (size_t bit = 0; bit < per_map_page; ++bit)
        if ((bitmap[4 + bit / 8] >> (bit % 8)) & 1)
          if (base + bit >= page_count) Damaged(table, "has data pages outside the file");
    }
  } else {
    Damaged(table, "has a usage map of unknown kind " + std::to_string(map[0]));
  }
}

}  // namespace

void CheckTableDefinition(PageSource& pages, const MdbFormatConstants& format, uint32_t definition_page,
                          const std::string& table) {
  const uint64_t page_count = pages.header().page_count;
  if (definition_page == 0 || definition_page >= page_count) Damaged(table, "has its definition outside the file");

  // The definition may continue on further pages; the chain must stay inside the file and end.
  std::unordered_set<uint32_t> seen;
  for (uint32_t page = definition_page; page != 0;) {
    if (page >= page_count || !seen.insert(page).second) Damaged(table, "has a broken definition chain");
    std::span<const uint8_t> bytes = pages.Read(page);
    if (bytes[0] != kTableDefinitionPage) Damaged(table, "has a definition page of the wrong kind");
    page = U32(bytes, 4);
  }

  std::span<const uint8_t> first = pages.Read(definition_page);
  const unsigned columns = U16(first, format.tab_num_cols_offset);
  const uint32_t indexes = U32(first, format.tab_num_idxs_offset);
  const uint32_t real_indexes = U32(first, format.tab_num_ridxs_offset);
  const uint32_t usage_map = U32(first, format.tab_usage_map_offset);
  const uint32_t free_map = U32(first, format.tab_free_map_offset);
  if (columns == 0 || columns > kMaxColumns)
    Damaged(table, "has an impossible column count");
  if (indexes > kMaxIndexes || real_indexes > kMaxIndexes) Damaged(table, "has an impossible index count");

  CheckUsageMap(pages, PointedRow(pages, usage_map, table, "usage map"), table);
  PointedRow(pages, free_map, table, "free space map");
}

}  // namespace vantor::formats::mdb
