#include "cli/open_storage.h"

#include <algorithm>
#include <filesystem>

#include "dataset/text.h"

#ifdef VANTOR_HAVE_DBF
#include "formats/dbf/dbf_storage.h"
#endif
#ifdef VANTOR_HAVE_XLS
#include "formats/xls/xls_storage.h"
#endif
#ifdef VANTOR_HAVE_MDB
#include "formats/mdb/mdb_storage.h"
#endif

namespace vantor::cli {

std::unique_ptr<formats::Storage> OpenStorageForPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const bool is_dir = fs::is_directory(path, ec);
  if (!is_dir && !fs::exists(path, ec)) throw formats::StorageError("file not found: " + path);
  const std::string ext = AsciiUpper(fs::path(path).extension().string());
#ifdef VANTOR_HAVE_DBF
  if (is_dir) return formats::dbf::OpenDirectory(path);
  if (ext == ".DBF") return formats::dbf::OpenDirectory(fs::path(path).parent_path().string());
#endif
#ifdef VANTOR_HAVE_XLS
  if (ext == ".XLS") return formats::xls::OpenWorkbook(path);
#endif
#ifdef VANTOR_HAVE_MDB
  if (ext == ".MDB" || ext == ".ACCDB") return formats::mdb::OpenAccessFile(path);
#endif
  (void)is_dir;
  throw formats::StorageError("no storage engine for " + path);
}

}  // namespace vantor::cli
