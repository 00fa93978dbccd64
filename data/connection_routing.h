#pragma once
// Which provider serves a connection string.

#include <memory>
#include <string>

#include "providers/provider.h"

namespace vantor::data {

// Opens a provider connection for a connection string; ProviderError with the provider's message.
std::unique_ptr<providers::Connection> ConnectProvider(const std::string& connection_string);
// Creates the new, empty database a connection string names.
void CreateProviderDatabase(const std::string& connection_string);

}  // namespace vantor::data
