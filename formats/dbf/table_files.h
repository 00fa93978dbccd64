#pragma once
// The files that make up one table: the .dbf and the files beside it with the same stem (memo, structural
// index, code page), found without regard to the case of their extensions.

#include <string>
#include <vector>

namespace vantor::formats::dbf {

// The path of the file beside `dbf_path` with the same stem and extension `ext` (".fpt"; any case), or "".
std::string FindCompanionFile(const std::string& dbf_path, const std::string& ext);
// Every file of the table: the .dbf itself and its .fpt, .dbt, .cdx, .mdx and .cpg where present.
std::vector<std::string> TableFiles(const std::string& dbf_path);
// The structural index of the table (.cdx or .mdx), or "".
std::string FindStructuralIndex(const std::string& dbf_path);
// The memo file of the table, or "".
std::string FindMemoFile(const std::string& dbf_path);

}  // namespace vantor::formats::dbf
