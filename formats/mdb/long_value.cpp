#include "formats/mdb/long_value.h"

#include <unordered_set>

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr uint32_t kInline = 0x80000000;
constexpr uint32_t kSinglePage = 0x40000000;
constexpr uint32_t kLengthMask = 0x3FFFFFFF;

uint32_t U32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

[[noreturn]] void Damaged(const std::string& what) {
  throw StorageError("damaged Access file: a memo or OLE value " + what);
}

std::span<const uint8_t> PointedRow(PageSource& pages, uint32_t pointer) {
  const uint32_t page = pointer >> 8;
  if (page == 0 || page >= pages.header().page_count) Damaged("points outside the file");
  std::span<const uint8_t> bytes = pages.Read(page);
  RowSpan row;
  if (!LocateRow(bytes, pages.row_count_offset(), pointer & 0xFF, row)) Damaged("points to a missing row");
  return bytes.subspan(row.start, row.length);
}

}  // namespace

std::vector<uint8_t> ReadLongValue(PageSource& pages, std::span<const uint8_t> field) {
  if (field.size() < kLongValueHeaderSize) Damaged("has a truncated header");
  const uint32_t word = U32(field, 0);
  const uint32_t length = word & kLengthMask;
  uint32_t pointer = U32(field, 4);

  if (word & kInline) {
    std::span<const uint8_t> data = field.subspan(kLongValueHeaderSize);
    if (data.size() < length) Damaged("is shorter than its stored length");
    return {data.begin(), data.begin() + length};
  }
  if (word & kSinglePage) {
    std::span<const uint8_t> data = PointedRow(pages, pointer);
    if (data.size() < length) Damaged("is shorter than its stored length");
    return {data.begin(), data.begin() + length};
  }
  std::vector<uint8_t> out;
  // Each row may appear once in a chain; meeting one again means the chain loops.
  std::unordered_set<uint32_t> visited;
  while (out.size() < length) {
    if (pointer == 0) Damaged("ends short of its stored length");
    if (!visited.insert(pointer).second) Damaged("has a chain that loops");
    std::span<const uint8_t> row = PointedRow(pages, pointer);
    if (row.size() < 4) Damaged("has a truncated link");
    pointer = U32(row, 0);
    std::span<const uint8_t> data = row.subspan(4);
    if (out.size() + data.size() > length) Damaged("runs past its stored length");
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

}  // namespace vantor::formats::mdb
