#pragma once
// schema.ini: the file beside text tables that describes them, one [file name] section each.

#include <string>
#include <vector>

#include "formats/storage.h"

namespace vantor::formats::text {

struct SchemaSection {
  std::string file;                  // the section name: the table's file name
  std::vector<std::string> lines;    // its key=value lines as written
};

std::vector<SchemaSection> ReadSchemaIni(const std::string& path);
// Writes beside and renames over the old file, so a failed write leaves the old one.
void WriteSchemaIni(const std::string& path, const std::vector<SchemaSection>& sections);

// The section that describes a table of these columns.
SchemaSection SectionForColumns(const std::string& file, const std::vector<ColumnInfo>& columns);
// The columns a section describes; empty when it names none.
std::vector<ColumnInfo> ColumnsOfSection(const SchemaSection& section);

}  // namespace vantor::formats::text
