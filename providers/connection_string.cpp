#include "providers/connection_string.h"

#include <algorithm>

#include "dataset/text.h"
#include "providers/provider.h"

namespace vantor::providers {

namespace {

std::string Trimmed(std::string_view s) { return std::string(TrimBlanks(s)); }

bool ContainsNoCase(const std::string& haystack, const std::string& needle) {
  return AsciiUpper(haystack).find(AsciiUpper(needle)) != std::string::npos;
}

std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return AsciiUpper(path.substr(dot));
}

}  // namespace

std::map<std::string, std::string> ParseConnectionString(const std::string& text) {
  std::map<std::string, std::string> out;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const size_t eq = text.find('=', i);
    if (eq == std::string::npos) {
      if (!Trimmed(std::string_view(text).substr(i)).empty())
        throw ProviderError("connection string entry without '=': " + Trimmed(std::string_view(text).substr(i)));
      break;
    }
    const std::string key = AsciiUpper(Trimmed(std::string_view(text).substr(i, eq - i)));
    size_t j = eq + 1;
    while (j < n && (text[j] == ' ' || text[j] == '\t')) ++j;
    std::string value;
    if (j < n && (text[j] == '"' || text[j] == '\'')) {
      // A quoted value runs to the matching quote; a doubled quote stands for one.
      const char quote = text[j++];
      bool closed = false;
      while (j < n) {
        if (text[j] == quote) {
          if (j + 1 < n && text[j + 1] == quote) {
            value += quote;
            j += 2;
            continue;
          }
          ++j;
          closed = true;
          break;
        }
        value += text[j++];
      }
      if (!closed) throw ProviderError("unterminated quote in connection string");
      while (j < n && text[j] != ';') {
        if (text[j] != ' ' && text[j] != '\t') throw ProviderError("text after a quoted value in connection string");
        ++j;
      }
    } else {
      const size_t semi = text.find(';', j);
      value = Trimmed(std::string_view(text).substr(j, semi == std::string::npos ? std::string::npos : semi - j));
      j = semi == std::string::npos ? n : semi;
    }
    if (!key.empty()) out[key] = value;
    i = j < n ? j + 1 : n;
  }
  return out;
}

std::string NormalisePath(const std::string& path) {
  std::string out = path;
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

DatabaseTarget ResolveConnectionString(const std::string& text) {
  if (TrimBlanks(text).empty()) throw ProviderError("the connection string is empty");
  const auto keys = ParseConnectionString(text);
  auto get = [&](const char* key) {
    auto it = keys.find(key);
    return it == keys.end() ? std::string() : it->second;
  };
  DatabaseTarget target;
  target.provider = get("PROVIDER");
  const std::string provider = AsciiUpper(target.provider);
  const std::string extended = get("EXTENDED PROPERTIES");
  if (provider == "MICROSOFT.JET.OLEDB.4.0" || provider == "MICROSOFT.ACE.OLEDB.12.0") {
    target.path = NormalisePath(get("DATA SOURCE"));
    if (target.path.empty()) throw ProviderError("the connection string names no Data Source");
    if (ContainsNoCase(extended, "EXCEL")) {
      target.kind = DatabaseKind::ExcelWorkbook;
    } else if (ContainsNoCase(extended, "TEXT")) {
      target.kind = DatabaseKind::TextDirectory;
    } else if (ContainsNoCase(extended, "DBASE")) {
      target.kind = DatabaseKind::DbfDirectory;
    } else {
      const std::string ext = Extension(target.path);
      if (ext == ".XLS") target.kind = DatabaseKind::ExcelWorkbook;
      else target.kind = DatabaseKind::AccessFile;
    }
    return target;
  }
  if (provider == "MSDASQL.1" || provider == "MSDASQL") {
    const auto odbc = ParseConnectionString(extended);
    auto it = odbc.find("SOURCEDB");
    const auto dsn = odbc.find("DSN");
    const bool foxpro = dsn != odbc.end() && ContainsNoCase(dsn->second, "FOXPRO");
    if (!foxpro || it == odbc.end())
      throw ProviderError("no provider for " + target.provider + " with " +
                          (dsn == odbc.end() ? std::string("no data source") : "data source " + dsn->second));
    target.kind = DatabaseKind::DbfDirectory;
    // An empty SourceDB is the current directory (a .dbf opened by a bare file name).
    target.path = it->second.empty() ? std::string(".") : NormalisePath(it->second);
    return target;
  }
  if (provider.empty()) throw ProviderError("the connection string names no Provider");
  target.kind = DatabaseKind::Server;
  throw ProviderError("no provider for " + target.provider);
}

}  // namespace vantor::providers
