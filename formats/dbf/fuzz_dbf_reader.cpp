// libFuzzer target: the input becomes a table file (and, split at a marker, its memo file); every table of
// the directory is listed, described and scanned. Damaged input must end in a StorageError, nothing worse.
//   bench/fuzz fuzz_dbf_reader SECONDS

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "formats/dbf/dbf_storage.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Dir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("fuzz-dbf-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void Write(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // "MEMO" splits the input: before it the table, after it the memo file (.fpt and .dbt alike).
  const size_t split = input.find("MEMO");
  const std::string_view table = input.substr(0, split);
  const std::string_view memo = split == std::string_view::npos ? std::string_view() : input.substr(split + 4);
  Write(Dir() / "t.dbf", table);
  Write(Dir() / "t.fpt", memo);
  Write(Dir() / "t.dbt", memo);
  try {
    auto storage = vantor::formats::dbf::OpenDirectory(Dir().string());
    for (const auto& info : storage->ListTables()) {
      try {
        storage->Columns(info.name);
        auto cursor = storage->Scan(info.name);
        vantor::formats::Row row;
        while (cursor->Next(row)) {
          for (const vantor::Value& v : row) (void)v.kind();
        }
      } catch (const vantor::Exception&) {
      }
    }
  } catch (const vantor::Exception&) {
  }
  return 0;
}
