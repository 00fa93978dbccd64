#pragma once
// Helpers for the dBase engine tests: scratch directories, running the independent readers, and one text
// form of a value that both our engine and the readers can be compared in.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/storage.h"

namespace vantor::formats::dbf::testing {

// A fresh directory under the system temp folder, removed when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Runs a shell command; answers its standard output and sets `status` to its exit status.
std::string RunCommand(const std::string& command, int& status);

// A cell as text: nullopt for null.
using Cell = std::optional<std::string>;
using Table = std::vector<std::vector<Cell>>;

// The rows of a .dbf as dbfread reads them (deleted rows left out), in the Python codec `encoding`.
// Fails the calling test (and answers empty) when the reader cannot run.
Table ReadWithDbfread(const std::filesystem::path& dbf, const std::string& encoding);
// The rows as the dbffile npm reader reads them; `loose` turns off its strict checks.
Table ReadWithDbffile(const std::filesystem::path& dbf, const std::string& encoding);
bool DbffileAvailable();

// Every row our engine scans.
Table ReadWithEngine(Storage& storage, const std::string& table);

// The canonical text of a value: numbers in their shortest form, dates "YYYY-MM-DD[ HH:MM:SS[.mmm]]",
// booleans "1"/"0", bytes as 0x and hex.
Cell Canonical(const Value& value);

// Whether two cells hold the same value (numbers compare as numbers, to 1e-12 relative).
bool SameCell(const Cell& a, const Cell& b);

// Expects two tables to be equal cell by cell, naming the first differences.
void ExpectSameTable(const Table& expected, const Table& actual, const std::string& what);

// Copies a shared sample (and its companion files) into `dir`.
void CopySample(const std::filesystem::path& sample, const std::filesystem::path& dir);

}  // namespace vantor::formats::dbf::testing
