#pragma once
// Running the independent readers of Access files (mdbtools' programs and the mdb-reader package) and
// bringing their output and this engine's values into one comparable text form.

#include <string>
#include <vector>

#include "dataset/value.h"
#include "formats/storage.h"

namespace vantor::formats::mdb::testing {

// Runs a shell command; its standard output. Fails the calling test when the command fails.
std::string RunCommand(const std::string& command);
std::string ShellQuote(const std::string& text);
bool HaveProgram(const std::string& name);
// Whether node and the pinned mdb-reader package (npm ci in tests/readers) are installed.
bool HaveMdbReader();

// Parses CSV as mdb-export writes it (quotes doubled, quoted fields may span lines). A field written as the
// bare word NUL (the null marker the tests ask for) becomes `kNull`.
inline const std::string kNull = "<null>";
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

// One text form per value: numbers in their shortest exact form, dates "YYYY-MM-DD HH:MM:SS", binary data
// in upper-case hex, GUIDs braced in upper case, null as kNull.
std::string Canonical(const Value& value);
// The same form for a reader's text of a value of a column of type `ado_type`.
std::string CanonicalText(int ado_type, const std::string& text);

struct ReaderTable {
  std::string name;
  std::vector<ColumnInfo> columns;  // ado_type, precision and numeric_scale; defined_size in bytes
  std::vector<std::vector<std::string>> rows;  // raw texts, kNull for null
};
// What mdb-reader reads from `file` (through node and the dump script beside these tests).
std::vector<ReaderTable> ReadWithMdbReader(const std::string& file);

// Whether the file is a Jet 3 (Access 97) file, whose text takes one byte a character.
bool IsJet3File(const std::string& file);

}  // namespace vantor::formats::mdb::testing
