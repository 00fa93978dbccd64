#include "cli/database_argument.h"

#include <filesystem>

#include "data/base_kind.h"
#include "dataset/text.h"
#include "providers/provider.h"

namespace vantor::cli {

std::string ConnectionStringForArgument(const std::string& argument) {
  if (AsciiUpper(argument).find("PROVIDER=") != std::string::npos) return argument;
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_directory(argument, ec)) {
    std::string dir = argument;
    if (dir.back() != '/') dir += '/';
    return data::ConnectionStringFor(data::btDbf, dir + "x.dbf");
  }
  if (!fs::exists(argument, ec)) throw providers::ProviderError("file not found: " + argument);
  const std::string ext = AsciiUpper(fs::path(argument).extension().string());
  if (ext == ".ACCDB") return data::ConnectionStringFor(data::btAccess, argument);
  const int32_t kind = data::getbasetype(argument);
  if (kind == data::btOther) throw providers::ProviderError("no database kind for " + argument);
  return data::ConnectionStringFor(kind, argument);
}

}  // namespace vantor::cli
