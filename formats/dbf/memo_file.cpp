#include "formats/dbf/memo_file.h"

#include <algorithm>
#include <cstring>

#include "formats/storage.h"

namespace vantor::formats::dbf {
namespace {

constexpr size_t kMemoHeaderSize = 512;
// Limit on one memo; larger lengths in a block header mean the file is damaged.
constexpr uint64_t kMaxMemoLength = uint64_t{1} << 31;

uint32_t BigEndian32(const char* p) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(p[3]));
}
uint32_t LittleEndian32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
}
void PutBigEndian32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}
void PutLittleEndian32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

MemoFile::MemoFile(const std::string& path, MemoFormat format, bool writable)
    : file_(path, writable ? File::Mode::kReadWrite : File::Mode::kRead), format_(format) {
  ReadHeader();
}

void MemoFile::ReadHeader() {
  char h[24] = {};
  file_.ReadExactly(0, h, sizeof h, "the memo file header");
  switch (format_) {
    case MemoFormat::kFoxPro:
      next_free_ = BigEndian32(h);
      block_size_ = (static_cast<uint8_t>(h[6]) << 8) | static_cast<uint8_t>(h[7]);
      break;
    case MemoFormat::kDBase4:
      next_free_ = LittleEndian32(h);
      block_size_ = static_cast<uint8_t>(h[20]) | (static_cast<uint8_t>(h[21]) << 8);
      if (block_size_ == 0) block_size_ = 512;
      break;
    default:
      next_free_ = LittleEndian32(h);
      block_size_ = 512;
      break;
  }
  if (block_size_ == 0) throw StorageError("memo file '" + file_.path() + "' is damaged: its block size is 0");
  // The next free block must lie past the header and not before the end of the data already there.
  const uint64_t header_blocks = (kMemoHeaderSize + block_size_ - 1) / block_size_;
  const uint64_t end_blocks = (file_.Size() + block_size_ - 1) / block_size_;
  if (next_free_ < header_blocks || next_free_ < end_blocks) next_free_ = std::max(header_blocks, end_blocks);
}

void MemoFile::Create(const std::string& path, MemoFormat format) {
  File f(path, File::Mode::kCreate);
  std::string header(kMemoHeaderSize, '\0');
  if (format == MemoFormat::kFoxPro) {
    PutBigEndian32(header.data(), kMemoHeaderSize / kFoxProBlockSize);
    header[6] = static_cast<char>(kFoxProBlockSize >> 8);
    header[7] = static_cast<char>(kFoxProBlockSize & 0xFF);
  } else {
    PutLittleEndian32(header.data(), 1);
    if (format == MemoFormat::kDBase4) header[21] = 0x02;  // 512-byte blocks
    else header[16] = 0x03;                               // dBase III version byte
  }
  f.WriteAt(0, header);
  f.Sync();
}

std::string MemoFile::Read(uint64_t block, uint32_t* type) const {
  const uint64_t size = file_.Size();
  const uint64_t start = block * block_size_;
  if (block == 0 || start >= size || start < kMemoHeaderSize)
    throw StorageError("memo file '" + file_.path() + "' is damaged: block " + std::to_string(block) +
                       " lies outside the file");
  if (type) *type = kMemoText;
  if (format_ == MemoFormat::kFoxPro || format_ == MemoFormat::kDBase4) {
    char h[8];
    file_.ReadExactly(start, h, 8, "a memo block header");
    uint64_t length = 0;
    bool prefixed = true;
    if (format_ == MemoFormat::kFoxPro) {
      if (type) *type = BigEndian32(h);
      length = BigEndian32(h + 4);
    } else if (static_cast<uint8_t>(h[0]) == 0xFF && static_cast<uint8_t>(h[1]) == 0xFF && h[2] == 0x08 && h[3] == 0) {
      length = LittleEndian32(h + 4);
      length = length >= 8 ? length - 8 : 0;  // dBase IV counts the block header in the length
    } else {
      prefixed = false;
    }
    if (prefixed) {
      if (length > kMaxMemoLength || start + 8 + length > size)
        throw StorageError("memo file '" + file_.path() + "' is damaged: the memo at block " + std::to_string(block) +
                           " claims " + std::to_string(length) + " bytes beyond the end of the file");
      std::string data(length, '\0');
      file_.ReadExactly(start + 8, data.data(), length, "a memo");
      return data;
    }
  }
  // dBase III: the memo runs to the first 0x1A (or the end of the file).
  std::string data;
  char buffer[4096];
  uint64_t pos = start;
  while (pos < size) {
    size_t n = file_.ReadAt(pos, buffer, sizeof buffer);
    if (n == 0) break;
    const void* end = std::memchr(buffer, 0x1A, n);
    if (end) {
      data.append(buffer, static_cast<const char*>(end) - buffer);
      return data;
    }
    data.append(buffer, n);
    pos += n;
  }
  return data;
}

uint64_t MemoFile::Append(std::string_view data, uint32_t type) {
  if (data.size() > kMaxMemoLength) throw StorageError("a memo of " + std::to_string(data.size()) + " bytes is too long");
  std::string block;
  if (format_ == MemoFormat::kFoxPro) {
    block.resize(8);
    PutBigEndian32(block.data(), type);
    PutBigEndian32(block.data() + 4, static_cast<uint32_t>(data.size()));
    block.append(data);
  } else if (format_ == MemoFormat::kDBase4) {
    block = std::string("\xFF\xFF\x08\x00", 4);
    block.resize(8);
    PutLittleEndian32(block.data() + 4, static_cast<uint32_t>(data.size() + 8));
    block.append(data);
    block.append("\x1A\x1A");
  } else {
    if (data.find('\x1A') != std::string_view::npos)
      throw StorageError("a dBase III memo cannot hold the byte 0x1A");
    block.assign(data);
    block.append("\x1A\x1A");
  }
  const uint64_t blocks = (block.size() + block_size_ - 1) / block_size_;
  block.resize(blocks * block_size_, '\0');
  const uint64_t at = next_free_;
  if (at + blocks > 0xFFFFFFFFull) throw StorageError("memo file '" + file_.path() + "' is full");
  file_.WriteAt(at * block_size_, block);
  // The header moves on only after the memo is in place.
  char next[4];
  if (format_ == MemoFormat::kFoxPro) PutBigEndian32(next, static_cast<uint32_t>(at + blocks));
  else PutLittleEndian32(next, static_cast<uint32_t>(at + blocks));
  file_.WriteAt(0, std::string_view(next, 4));
  next_free_ = at + blocks;
  return at;
}

}  // namespace vantor::formats::dbf
