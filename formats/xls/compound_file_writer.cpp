#include "formats/xls/compound_file_writer.h"

#include <algorithm>

#include "formats/storage.h"
#include "formats/xls/byte_io.h"

namespace vantor::formats::xls {
namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniCutoff = 4096;
constexpr uint32_t kIdsPerSector = kSectorSize / 4;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;

uint32_t SectorsFor(uint64_t bytes, uint32_t size) { return static_cast<uint32_t>((bytes + size - 1) / size); }

// Appends a chain of `count` consecutive ids starting at `first` to an allocation table.
void Link(std::vector<uint32_t>& table, uint32_t first, uint32_t count) {
  if (table.size() < first + count) table.resize(first + count, kFree);
  for (uint32_t i = 0; i < count; ++i) table[first + i] = (i + 1 == count) ? kEndOfChain : first + i + 1;
}

void PadTo(std::vector<uint8_t>& out, size_t multiple) {
  if (out.size() % multiple) out.resize(out.size() + multiple - out.size() % multiple, 0);
}

}  // namespace

std::vector<DirectoryEntry> SingleStreamDirectory(const std::u16string& stream_name) {
  DirectoryEntry root;
  root.name = u"Root Entry";
  root.type = DirectoryEntry::kRoot;
  root.color = 1;
  root.child = 1;
  DirectoryEntry stream;
  stream.name = stream_name;
  stream.type = DirectoryEntry::kStream;
  stream.color = 1;
  return {root, stream};
}

std::vector<uint8_t> WriteCompoundFile(std::vector<DirectoryEntry> entries,
                                       const std::vector<std::vector<uint8_t>>& streams) {
  if (entries.empty() || entries[0].type != DirectoryEntry::kRoot) throw StorageError("compound file without a root");
  auto data_of = [&](size_t i) -> const std::vector<uint8_t>& {
    static const std::vector<uint8_t> none;
    return i < streams.size() ? streams[i] : none;
  };

  // Small streams go to the mini stream, the rest to regular sectors.
  std::vector<uint8_t> mini_stream;
  std::vector<uint32_t> mini_fat;
  for (size_t i = 1; i < entries.size(); ++i) {
    DirectoryEntry& e = entries[i];
    if (e.type != DirectoryEntry::kStream) {
      e.start_sector = (e.type == DirectoryEntry::kStorage) ? 0 : kEndOfChain;
      e.size = 0;
      if (e.type == DirectoryEntry::kEmpty) e.start_sector = 0;
      continue;
    }
    const auto& data = data_of(i);
    e.size = data.size();
    if (data.empty()) {
      e.start_sector = kEndOfChain;
    } else if (data.size() < kMiniCutoff) {
      const uint32_t first = static_cast<uint32_t>(mini_stream.size() / kMiniSectorSize);
      mini_stream.insert(mini_stream.end(), data.begin(), data.end());
      PadTo(mini_stream, kMiniSectorSize);
      Link(mini_fat, first, SectorsFor(data.size(), kMiniSectorSize));
      e.start_sector = first;
    }
  }

  // Regular sector layout: big streams, mini stream, mini FAT, directory, then FAT and DIFAT.
  std::vector<uint32_t> fat;
  uint32_t next = 0;
  auto place = [&](uint64_t bytes) -> uint32_t {
    const uint32_t count = SectorsFor(bytes, kSectorSize);
    if (count == 0) return kEndOfChain;
    const uint32_t first = next;
    Link(fat, first, count);
    next += count;
    return first;
  };
  for (size_t i = 1; i < entries.size(); ++i)
    if (entries[i].type == DirectoryEntry::kStream && entries[i].size >= kMiniCutoff)
      entries[i].start_sector = place(entries[i].size);
  entries[0].size = mini_stream.size();
  entries[0].start_sector = place(mini_stream.size());
  const uint32_t mini_fat_sectors = SectorsFor(mini_fat.size() * 4, kSectorSize);
  const uint32_t first_mini_fat = place(mini_fat.size() * 4);
  const uint32_t first_dir = place(entries.size() * 128);

  // The FAT covers every sector, its own and the DIFAT's included.
  uint32_t fat_sectors = 0, difat_sectors = 0;
  for (;;) {
    const uint32_t total = next + fat_sectors + difat_sectors;
    const uint32_t need_fat = SectorsFor(static_cast<uint64_t>(total) * 4, kSectorSize);
    const uint32_t need_difat = need_fat > 109 ? SectorsFor(need_fat - 109, kIdsPerSector - 1) : 0;
    if (need_fat == fat_sectors && need_difat == difat_sectors) break;
    fat_sectors = need_fat;
    difat_sectors = need_difat;
  }
  const uint32_t first_fat = next;
  const uint32_t first_difat = next + fat_sectors;
  fat.resize(static_cast<size_t>(fat_sectors) * kIdsPerSector, kFree);
  for (uint32_t i = 0; i < fat_sectors; ++i) fat[first_fat + i] = kFatSector;
  for (uint32_t i = 0; i < difat_sectors; ++i) fat[first_difat + i] = kDifatSector;

  std::vector<uint8_t> out(kSectorSize, 0);
  uint8_t* h = out.data();
  const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(signature, signature + 8, h);
  Put16(h + 24, 0x003E);
  Put16(h + 26, 3);
  Put16(h + 28, 0xFFFE);
  Put16(h + 30, 9);
  Put16(h + 32, 6);
  Put32(h + 44, fat_sectors);
  Put32(h + 48, first_dir);
  Put32(h + 56, kMiniCutoff);
  Put32(h + 60, mini_fat.empty() ? kEndOfChain : first_mini_fat);
  Put32(h + 64, mini_fat_sectors);
  Put32(h + 68, difat_sectors ? first_difat : kEndOfChain);
  Put32(h + 72, difat_sectors);
  for (uint32_t i = 0; i < 109; ++i) Put32(h + 76 + 4 * i, i < fat_sectors ? first_fat + i : kFree);

  out.reserve(kSectorSize * (1 + static_cast<size_t>(first_difat) + difat_sectors));
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].type == DirectoryEntry::kStream && entries[i].size >= kMiniCutoff) {
      const auto& data = data_of(i);
      out.insert(out.end(), data.begin(), data.end());
      PadTo(out, kSectorSize);
    }
  }
  out.insert(out.end(), mini_stream.begin(), mini_stream.end());
  PadTo(out, kSectorSize);
  {
    ByteWriter w(out);
    for (uint32_t v : mini_fat) w.U32(v);
    while (out.size() % kSectorSize) w.U32(kFree);  // unused mini FAT slots are free
  }
  for (const DirectoryEntry& e : entries) {
    const size_t at = out.size();
    out.resize(at + 128, 0);
    uint8_t* p = &out[at];
    const size_t chars = std::min<size_t>(e.name.size(), 31);
    for (size_t c = 0; c < chars; ++c) Put16(p + 2 * c, e.name[c]);
    Put16(p + 64, e.type == DirectoryEntry::kEmpty ? 0 : static_cast<uint16_t>((chars + 1) * 2));
    p[66] = e.type;
    p[67] = e.color;
    Put32(p + 68, e.left);
    Put32(p + 72, e.right);
    Put32(p + 76, e.child);
    std::copy(e.clsid.begin(), e.clsid.end(), p + 80);
    Put32(p + 96, e.state_bits);
    Put32(p + 100, static_cast<uint32_t>(e.created));
    Put32(p + 104, static_cast<uint32_t>(e.created >> 32));
    Put32(p + 108, static_cast<uint32_t>(e.modified));
    Put32(p + 112, static_cast<uint32_t>(e.modified >> 32));
    Put32(p + 116, e.start_sector);
    Put32(p + 120, static_cast<uint32_t>(e.size));
  }
  // Unused directory slots are empty entries with no links.
  while (out.size() % kSectorSize) {
    const size_t at = out.size();
    out.resize(at + 128, 0);
    Put32(&out[at + 68], kNoStream);
    Put32(&out[at + 72], kNoStream);
    Put32(&out[at + 76], kNoStream);
  }
  {
    ByteWriter w(out);
    for (uint32_t v : fat) w.U32(v);
    for (uint32_t d = 0; d < difat_sectors; ++d) {
      for (uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
        const uint32_t index = 109 + d * (kIdsPerSector - 1) + i;
        w.U32(index < fat_sectors ? first_fat + index : kFree);
      }
      w.U32(d + 1 < difat_sectors ? first_difat + d + 1 : kEndOfChain);
    }
  }
  return out;
}

}  // namespace vantor::formats::xls
