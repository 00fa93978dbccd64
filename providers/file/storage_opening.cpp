#include "providers/file/storage_opening.h"

#include "formats/dbf/dbf_storage.h"
#include "formats/mdb/mdb_storage.h"
#include "formats/text/text_storage.h"
#include "formats/xls/xls_storage.h"
#include "providers/provider.h"

namespace vantor::providers::file {

std::shared_ptr<SharedStorage> OpenSharedStorage(DatabaseKind kind, const std::string& path) {
  switch (kind) {
    case DatabaseKind::AccessFile:
      return AcquireStorage(StorageKey("mdb", path), [&] { return formats::mdb::OpenAccessFile(path); });
    case DatabaseKind::ExcelWorkbook:
      return AcquireStorage(StorageKey("xls", path), [&] { return formats::xls::OpenWorkbook(path); });
    case DatabaseKind::DbfDirectory:
      return AcquireStorage(StorageKey("dbf", path), [&] { return formats::dbf::OpenDirectory(path); });
    case DatabaseKind::TextDirectory:
      return AcquireStorage(StorageKey("txt", path), [&] { return formats::text::OpenDirectory(path); });
    case DatabaseKind::Server: break;
  }
  throw ProviderError("no file provider for a server database");
}

}  // namespace vantor::providers::file
