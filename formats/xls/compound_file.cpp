#include "formats/xls/compound_file.h"

#include <algorithm>

#include "formats/storage.h"
#include "formats/xls/byte_io.h"

namespace vantor::formats::xls {
namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr size_t kHeaderDifatCount = 109;

[[noreturn]] void Damaged(const std::string& what) { throw StorageError("damaged compound file: " + what); }

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

}  // namespace

bool CompoundFile::HasSignature(std::span<const uint8_t> file) {
  return file.size() >= 8 && std::equal(kSignature, kSignature + 8, file.begin());
}

std::span<const uint8_t> CompoundFile::Sector(uint32_t id) const {
  if (id >= sector_count_) Damaged("sector " + std::to_string(id) + " lies beyond the end of the file");
  const size_t offset = static_cast<size_t>(id + 1) * sector_size_;
  // The last sector may be cut short by a writer that did not pad the file; the missing bytes read as zero
  // only through the callers' size checks, so hand out what is there.
  const size_t available = std::min<size_t>(sector_size_, file_.size() - offset);
  return file_.subspan(offset, available);
}

std::vector<uint32_t> CompoundFile::Chain(uint32_t start, const std::vector<uint32_t>& table, size_t limit,
                                          const char* what) const {
  std::vector<uint32_t> chain;
  std::vector<bool> seen(table.size(), false);
  uint32_t id = start;
  while (id != kEndOfChain) {
    if (id >= table.size()) Damaged(std::string(what) + " chain points outside its allocation table");
    if (seen[id]) Damaged(std::string(what) + " chain loops");
    if (chain.size() >= limit) break;  // sectors past the stream's size are never read
    seen[id] = true;
    chain.push_back(id);
    id = table[id];
  }
  return chain;
}

CompoundFile CompoundFile::Parse(std::span<const uint8_t> file) {
  CompoundFile cf;
  cf.file_ = file;
  if (file.size() < 512 || !HasSignature(file)) throw StorageError("not a compound file (no OLE2 signature)");
  const uint8_t* h = file.data();
  const uint16_t major = Get16(h + 26);
  const uint16_t sector_shift = Get16(h + 30);
  const uint16_t mini_shift = Get16(h + 32);
  if (Get16(h + 28) != 0xFFFE) Damaged("byte order mark is wrong");
  if (!((major == 3 && sector_shift == 9) || (major == 4 && sector_shift == 12)))
    Damaged("unsupported version or sector size");
  if (mini_shift != 6) Damaged("unsupported mini sector size");
  cf.sector_size_ = 1u << sector_shift;
  cf.mini_sector_size_ = 1u << mini_shift;
  cf.mini_cutoff_ = Get32(h + 56);
  if (cf.mini_cutoff_ != 4096) Damaged("unexpected mini stream cutoff");
  if (file.size() < cf.sector_size_) Damaged("file is shorter than its header sector");
  cf.sector_count_ = (file.size() - cf.sector_size_ + cf.sector_size_ - 1) / cf.sector_size_;

  const uint32_t fat_sector_count = Get32(h + 44);
  const uint32_t first_dir = Get32(h + 48);
  const uint32_t first_mini_fat = Get32(h + 60);
  const uint32_t mini_fat_count = Get32(h + 64);
  uint32_t difat_sector = Get32(h + 68);
  const uint32_t difat_count = Get32(h + 72);
  const size_t ids_per_sector = cf.sector_size_ / 4;
  if (fat_sector_count > cf.sector_count_) Damaged("FAT sector count exceeds the file");

  // FAT sector ids: 109 in the header, the rest in the DIFAT chain (the last id of each DIFAT sector links on).
  std::vector<uint32_t> fat_sectors;
  for (size_t i = 0; i < kHeaderDifatCount && fat_sectors.size() < fat_sector_count; ++i)
    fat_sectors.push_back(Get32(h + 76 + 4 * i));
  std::vector<bool> seen_difat(cf.sector_count_, false);
  for (uint32_t n = 0; fat_sectors.size() < fat_sector_count; ++n) {
    if (n >= difat_count || difat_sector > kMaxRegularSector) Damaged("DIFAT chain ends early");
    if (difat_sector >= cf.sector_count_ || seen_difat[difat_sector]) Damaged("DIFAT chain is broken");
    seen_difat[difat_sector] = true;
    auto s = cf.Sector(difat_sector);
    if (s.size() < cf.sector_size_) Damaged("DIFAT sector is truncated");
    for (size_t i = 0; i + 1 < ids_per_sector && fat_sectors.size() < fat_sector_count; ++i)
      fat_sectors.push_back(Get32(&s[4 * i]));
    difat_sector = Get32(&s[4 * (ids_per_sector - 1)]);
  }

  cf.fat_.reserve(fat_sectors.size() * ids_per_sector);
  for (uint32_t id : fat_sectors) {
    auto s = cf.Sector(id);
    for (size_t i = 0; i < ids_per_sector; ++i) cf.fat_.push_back(4 * i + 4 <= s.size() ? Get32(&s[4 * i]) : kEndOfChain);
  }
  // Entries beyond the file's sectors cannot be followed.
  if (cf.fat_.size() > cf.sector_count_) cf.fat_.resize(cf.sector_count_);

  // Directory.
  auto dir_chain = cf.Chain(first_dir, cf.fat_, cf.sector_count_, "directory");
  if (dir_chain.empty()) Damaged("no directory");
  const size_t entries_per_sector = cf.sector_size_ / 128;
  for (uint32_t sid : dir_chain) {
    auto s = cf.Sector(sid);
    for (size_t i = 0; i < entries_per_sector && (i + 1) * 128 <= s.size(); ++i) {
      const uint8_t* e = &s[i * 128];
      DirectoryEntry d;
      const uint16_t name_bytes = Get16(e + 64);
      const size_t chars = std::min<size_t>(name_bytes / 2, 32);
      for (size_t c = 0; c < chars; ++c) {
        char16_t ch = static_cast<char16_t>(Get16(e + 2 * c));
        if (ch == 0) break;
        d.name.push_back(ch);
      }
      d.type = e[66];
      d.color = e[67];
      d.left = Get32(e + 68);
      d.right = Get32(e + 72);
      d.child = Get32(e + 76);
      std::copy(e + 80, e + 96, d.clsid.begin());
      d.state_bits = Get32(e + 96);
      d.created = Get64(e + 100);
      d.modified = Get64(e + 108);
      d.start_sector = Get32(e + 116);
      d.size = major == 3 ? Get32(e + 120) : Get64(e + 120);
      if (d.type != DirectoryEntry::kStorage && d.type != DirectoryEntry::kStream && d.type != DirectoryEntry::kRoot)
        d = DirectoryEntry{};
      cf.entries_.push_back(std::move(d));
    }
  }
  if (cf.entries_.empty() || cf.entries_[0].type != DirectoryEntry::kRoot) Damaged("the first directory entry is not the root");

  // Mini FAT and the mini stream (held in the root entry's chain).
  if (mini_fat_count > 0 && first_mini_fat != kEndOfChain) {
    auto chain = cf.Chain(first_mini_fat, cf.fat_, cf.sector_count_, "mini FAT");
    for (uint32_t sid : chain) {
      auto s = cf.Sector(sid);
      for (size_t i = 0; i + 4 <= s.size(); i += 4) cf.mini_fat_.push_back(Get32(&s[i]));
    }
  }
  const DirectoryEntry& root = cf.entries_[0];
  if (root.size > 0) {
    if (root.size > static_cast<uint64_t>(cf.sector_count_) * cf.sector_size_) Damaged("mini stream size exceeds the file");
    const size_t needed = (root.size + cf.sector_size_ - 1) / cf.sector_size_;
    auto chain = cf.Chain(root.start_sector, cf.fat_, needed, "mini stream");
    if (chain.size() < needed) Damaged("mini stream is shorter than its size");
    cf.mini_stream_.reserve(root.size);
    for (uint32_t sid : chain) {
      auto s = cf.Sector(sid);
      cf.mini_stream_.insert(cf.mini_stream_.end(), s.begin(), s.end());
      cf.mini_stream_.resize(std::min<size_t>(cf.mini_stream_.size(), root.size));
    }
    cf.mini_stream_.resize(root.size, 0);
  }
  return cf;
}

int CompoundFile::FindInRoot(std::u16string_view name) const {
  // Walk the root's child tree; a visited set bounds the walk however the links are damaged.
  std::vector<bool> seen(entries_.size(), false);
  std::vector<uint32_t> pending{entries_[0].child};
  while (!pending.empty()) {
    uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoStream || id >= entries_.size() || seen[id]) continue;
    seen[id] = true;
    const DirectoryEntry& e = entries_[id];
    if (e.type == DirectoryEntry::kEmpty) continue;
    if (SameName(e.name, name)) return static_cast<int>(id);
    pending.push_back(e.left);
    pending.push_back(e.right);
  }
  return -1;
}

std::vector<uint8_t> CompoundFile::ReadStream(size_t entry_index) const {
  if (entry_index >= entries_.size()) Damaged("no such directory entry");
  const DirectoryEntry& e = entries_[entry_index];
  if (e.type != DirectoryEntry::kStream) Damaged("directory entry is not a stream");
  if (e.size == 0) return {};
  std::vector<uint8_t> out;
  if (e.size < mini_cutoff_) {
    const size_t needed = (e.size + mini_sector_size_ - 1) / mini_sector_size_;
    auto chain = Chain(e.start_sector, mini_fat_, needed, "mini stream");
    if (chain.size() < needed) Damaged("a stream is shorter than its size");
    out.reserve(e.size);
    for (uint32_t id : chain) {
      const size_t offset = static_cast<size_t>(id) * mini_sector_size_;
      if (offset + mini_sector_size_ > mini_stream_.size()) Damaged("mini sector lies beyond the mini stream");
      out.insert(out.end(), mini_stream_.begin() + offset, mini_stream_.begin() + offset + mini_sector_size_);
    }
  } else {
    if (e.size > static_cast<uint64_t>(sector_count_) * sector_size_) Damaged("a stream is larger than the file");
    const size_t needed = (e.size + sector_size_ - 1) / sector_size_;
    auto chain = Chain(e.start_sector, fat_, needed, "stream");
    if (chain.size() < needed) Damaged("a stream is shorter than its size");
    out.reserve(needed * sector_size_);
    for (uint32_t id : chain) {
      auto s = Sector(id);
      out.insert(out.end(), s.begin(), s.end());
      out.resize(out.size() + (sector_size_ - s.size()), 0);
    }
  }
  out.resize(e.size);
  return out;
}

}  // namespace vantor::formats::xls
