#pragma once
// Connection strings as the user sees them ("Provider=...;Data Source=...;Extended Properties=...") and
// the database they name.

#include <map>
#include <string>

namespace vantor::providers {

// Keys upper-cased (ASCII); values unquoted. Repeated keys keep the last value.
std::map<std::string, std::string> ParseConnectionString(const std::string& text);

enum class DatabaseKind { AccessFile, ExcelWorkbook, DbfDirectory, TextDirectory, Server };

struct DatabaseTarget {
  DatabaseKind kind = DatabaseKind::AccessFile;
  std::string path;      // file or directory, "\" turned into "/"
  std::string provider;  // the Provider value as written
};

// What a connection string names; ProviderError for empty strings, unknown providers and data sources.
DatabaseTarget ResolveConnectionString(const std::string& text);

// A Windows or POSIX path with "\" turned into "/".
std::string NormalisePath(const std::string& path);

}  // namespace vantor::providers
