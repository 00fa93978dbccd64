#pragma once
// Opening the shared storage object of a database of a given kind.

#include <memory>
#include <string>

#include "providers/connection_string.h"
#include "providers/file/storage_registry.h"

namespace vantor::providers::file {

// The shared storage of a database (opened once per process, see storage_registry.h).
std::shared_ptr<SharedStorage> OpenSharedStorage(DatabaseKind kind, const std::string& path);

}  // namespace vantor::providers::file
