#include "formats/dbf/table_files.h"

#include <filesystem>

#include "dataset/text.h"

namespace vantor::formats::dbf {

namespace fs = std::filesystem;

std::string FindCompanionFile(const std::string& dbf_path, const std::string& ext) {
  const fs::path path(dbf_path);
  const std::string stem = path.stem().string();
  const fs::path exact = path.parent_path() / (stem + ext);
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact.string();
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& candidate = it->path();
    if (candidate.stem().string() == stem && SameTextAscii(candidate.extension().string(), ext) &&
        it->is_regular_file(ec))
      return candidate.string();
  }
  return {};
}

std::vector<std::string> TableFiles(const std::string& dbf_path) {
  std::vector<std::string> files{dbf_path};
  for (const char* ext : {".fpt", ".dbt", ".cdx", ".mdx", ".cpg"}) {
    std::string f = FindCompanionFile(dbf_path, ext);
    if (!f.empty()) files.push_back(f);
  }
  return files;
}

std::string FindStructuralIndex(const std::string& dbf_path) {
  std::string f = FindCompanionFile(dbf_path, ".cdx");
  return f.empty() ? FindCompanionFile(dbf_path, ".mdx") : f;
}

std::string FindMemoFile(const std::string& dbf_path) {
  std::string f = FindCompanionFile(dbf_path, ".fpt");
  return f.empty() ? FindCompanionFile(dbf_path, ".dbt") : f;
}

}  // namespace vantor::formats::dbf
