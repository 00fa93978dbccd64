#pragma once
// Writes a compound file (version 3, 512-byte sectors) from a directory and the contents of its streams.
// The directory's tree links are written as given, so a file that was read keeps its structure.

#include <cstdint>
#include <vector>

#include "formats/xls/compound_file.h"

namespace vantor::formats::xls {

// `entries[0]` is the root; `streams[i]` holds the bytes of entry i when it is a stream. Start sectors and
// sizes in `entries` are ignored and computed.
std::vector<uint8_t> WriteCompoundFile(std::vector<DirectoryEntry> entries,
                                       const std::vector<std::vector<uint8_t>>& streams);

// A directory holding one stream under the root (a new workbook).
std::vector<DirectoryEntry> SingleStreamDirectory(const std::u16string& stream_name);

}  // namespace vantor::formats::xls
