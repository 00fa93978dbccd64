#pragma once
// The first page of an Access file: what it must hold before any other page is trusted.

#include <cstdint>
#include <string>

namespace vantor::formats::mdb {

enum class JetVersion { Jet3, Jet4, Ace };

struct AccessHeader {
  JetVersion version = JetVersion::Jet4;
  int version_byte = 1;        // 0 Jet 3, 1 Jet 4, 2 and up the ACE releases
  uint32_t page_size = 4096;   // 2048 for Jet 3
  uint64_t page_count = 0;
};

// Reads and checks the header of the file at `path`: the signature, a known version, and a size that is a
// whole number of pages. StorageError says what is wrong.
AccessHeader ReadAccessHeader(const std::string& path);

}  // namespace vantor::formats::mdb
