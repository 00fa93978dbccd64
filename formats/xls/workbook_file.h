#pragma once
// A workbook file: the compound file's directory and other streams (kept as they are) and the workbook
// stream, read into a Workbook. Saving writes a temporary file beside the old one and renames it over.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/xls/compound_file.h"
#include "formats/xls/workbook.h"

namespace vantor::formats::xls {

struct WorkbookFile {
  std::vector<DirectoryEntry> entries;
  std::vector<std::vector<uint8_t>> streams;  // the other streams' bytes, by directory index
  size_t workbook_entry = 1;
  Workbook book;
};

WorkbookFile ParseWorkbookFile(std::span<const uint8_t> bytes);
WorkbookFile ReadWorkbookFile(const std::string& path);
WorkbookFile NewWorkbookFile();
std::vector<uint8_t> BuildWorkbookFile(const WorkbookFile& file);
// The same container with `book` as its workbook stream.
std::vector<uint8_t> BuildWorkbookFile(const WorkbookFile& container, const Workbook& book);
// Writes `bytes` to a temporary file in the same folder, flushes it and renames it over `path`.
void ReplaceFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace vantor::formats::xls
