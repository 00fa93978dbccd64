#include "data/connection_routing.h"

#include "providers/connection_string.h"
#include "providers/file/file_provider.h"

namespace vantor::data {

std::unique_ptr<providers::Connection> ConnectProvider(const std::string& connection_string) {
  // Server connection strings fail in ResolveConnectionString until a server provider exists.
  return providers::file::OpenFileConnection(providers::ResolveConnectionString(connection_string));
}

void CreateProviderDatabase(const std::string& connection_string) {
  providers::file::CreateDatabaseFile(providers::ResolveConnectionString(connection_string));
}

}  // namespace vantor::data
