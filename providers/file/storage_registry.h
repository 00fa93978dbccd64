#pragma once
// One storage object per database file in the process: every connection that opens the same file shares
// it, so a write through one connection is seen by the others.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/storage.h"

namespace vantor::providers::file {

struct SharedStorage {
  std::unique_ptr<formats::Storage> storage;
  std::string key;
  // Raised by every change of tables or columns, so connections know to rebuild their virtual tables.
  uint64_t schema_version = 0;
  // Nesting of Begin calls made through SQL transactions; the storage sees the outermost only.
  int transaction_depth = 0;
};

// The shared storage for `key` (kind and canonical path); `open` makes it when no connection holds it.
std::shared_ptr<SharedStorage> AcquireStorage(const std::string& key,
                                              const std::function<std::unique_ptr<formats::Storage>()>& open);

// The registry key of a path: its kind tag and canonical form (the file need not exist).
std::string StorageKey(const std::string& kind_tag, const std::string& path);

}  // namespace vantor::providers::file
