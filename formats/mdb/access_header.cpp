#include "formats/mdb/access_header.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr uint32_t kMsysObjectsPage = 2;  // the catalog's table definition
constexpr size_t kVersionOffset = 0x14;
constexpr int kNewestVersionByte = 6;

}  // namespace

AccessHeader ReadAccessHeader(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) throw StorageError("file not found: " + path);
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) throw StorageError("cannot read " + path + ": " + ec.message());

  uint8_t head[32] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in || !in.read(reinterpret_cast<char*>(head), sizeof head))
    throw StorageError(path + " is not an Access database (too short for a header)");

  const bool jet = std::memcmp(head + 4, "Standard Jet DB", 16) == 0;
  const bool ace = std::memcmp(head + 4, "Standard ACE DB", 16) == 0;
  if (head[0] != 0 || head[1] != 1 || head[2] != 0 || head[3] != 0 || (!jet && !ace))
    throw StorageError(path + " is not an Access database (no Jet or ACE signature)");

  AccessHeader header;
  header.version_byte = head[kVersionOffset];
  if (jet && header.version_byte == 0) {
    header.version = JetVersion::Jet3;
    header.page_size = 2048;
  } else if (jet && header.version_byte == 1) {
    header.version = JetVersion::Jet4;
  } else if (ace && header.version_byte >= 2 && header.version_byte <= kNewestVersionByte) {
    header.version = JetVersion::Ace;
  } else {
    throw StorageError(path + " has an Access file version this program does not know (" +
                       std::to_string(header.version_byte) + ")");
  }
  if (size % header.page_size != 0)
    throw StorageError(path + " is damaged: its size " + std::to_string(size) + " is not a whole number of " +
                       std::to_string(header.page_size) + "-byte pages");
  header.page_count = size / header.page_size;
  if (header.page_count <= kMsysObjectsPage)
    throw StorageError(path + " is damaged: it ends before its catalog");
  return header;
}

}  // namespace vantor::formats::mdb
