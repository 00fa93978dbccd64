// libFuzzer target: the input becomes an Access file; every table is listed, described and scanned and
// every view's SQL rebuilt. Damaged input must end in a StorageError, nothing worse.
//   bench/fuzz fuzz_mdb_reader SECONDS

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "formats/mdb/mdb_storage.h"

namespace {

const std::string& Path() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("fuzz-mdb-" + std::to_string(::getpid()) + ".mdb")).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    auto storage = vantor::formats::mdb::OpenAccessFile(Path());
    for (const vantor::formats::TableInfo& table : storage->ListTables()) {
      if (table.is_view) {
        storage->ViewSql(table.name);
        continue;
      }
      storage->Columns(table.name);
      auto cursor = storage->Scan(table.name);
      vantor::formats::Row row;
      while (cursor->Next(row)) {
      }
    }
  } catch (const vantor::formats::StorageError&) {
  }
  return 0;
}
