#pragma once
// Shared helpers of the workbook tests: temporary folders, running the independent readers.

#include <filesystem>
#include <string>
#include <vector>

namespace vantor::formats::xls::testing {

// A fresh folder, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct CommandResult {
  int status = -1;
  std::string output;  // standard output
};
CommandResult RunCommand(const std::string& command);
std::string ShellQuote(const std::string& text);

// The Python interpreter that has xlrd and xlwt, or "" when none does.
std::string PythonWithXlrd();
// The folder of the helper scripts beside the tests.
std::string ScriptPath(const std::string& name);

std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> SplitTabs(const std::string& line);
std::string Unescape(const std::string& field);

}  // namespace vantor::formats::xls::testing
