#pragma once
// Compound files (the OLE2 structured storage container that holds a workbook stream): reading the
// header, FAT, DIFAT, mini FAT and directory, and the streams they describe. Every sector chain is
// bounded and checked, so a damaged file raises StorageError instead of looping or reading out of range.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantor::formats::xls {

inline constexpr uint32_t kNoStream = 0xFFFFFFFF;  // an empty sibling or child link

struct DirectoryEntry {
  enum Type : uint8_t { kEmpty = 0, kStorage = 1, kStream = 2, kRoot = 5 };
  std::u16string name;
  uint8_t type = kEmpty;
  uint8_t color = 1;  // 0 red, 1 black
  uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::array<uint8_t, 16> clsid{};
  uint32_t state_bits = 0;
  uint64_t created = 0, modified = 0;
  uint32_t start_sector = 0;
  uint64_t size = 0;
};

class CompoundFile {
 public:
  // Parses the container held in `file` (the bytes must outlive the object).
  static CompoundFile Parse(std::span<const uint8_t> file);
  static bool HasSignature(std::span<const uint8_t> file);

  const std::vector<DirectoryEntry>& Entries() const { return entries_; }
  // The index of the stream or storage called `name` directly under the root (case-insensitive), or -1.
  int FindInRoot(std::u16string_view name) const;
  std::vector<uint8_t> ReadStream(size_t entry_index) const;

 private:
  std::vector<uint32_t> Chain(uint32_t start, const std::vector<uint32_t>& table, size_t limit,
                              const char* what) const;
  std::span<const uint8_t> Sector(uint32_t id) const;

  std::span<const uint8_t> file_;
  uint32_t sector_size_ = 512;
  uint32_t mini_sector_size_ = 64;
  uint32_t mini_cutoff_ = 4096;
  size_t sector_count_ = 0;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<DirectoryEntry> entries_;
  std::vector<uint8_t> mini_stream_;
};

}  // namespace vantor::formats::xls
