// The table operations of the session: create, drop, rename and export.

#include <filesystem>
#include <random>

#include "data/vt_base.h"
#include "dataset/errors.h"
#include "dataset/text.h"
#include "formats/text/schema_ini.h"

namespace vantor::data {

namespace fs = std::filesystem;

void Tvtbase::RunStatement(const std::string& sql) {
  TAdoQuery query;
  query.SetConnectionString(connstr_);
  query.SQL().push_back(sql);
  query.ExecSQL();
}

bool Tvtbase::createtable(const std::string& table) {
  try {
    RunStatement("create table " + BracketName(table) + " (id int)");
  } catch (const std::exception&) {
    throw Exception(msg::kCreateTableError);
  }
  return true;
}

void Tvtbase::droptable(const std::string& table) { RunStatement("Drop table " + BracketName(table)); }

void Tvtbase::renametable(const std::string& old_name, const std::string& new_name) {
  // The engine renames the table itself, so keys, indexes and counters stay; a failure changes nothing.
  try {
    TAdoConnection connection;
    connection.SetConnectionString(connstr_);
    connection.Provider().RenameTable(old_name, new_name);
  } catch (const std::exception&) {
    throw Exception(msg::kRenameTableError);
  }
}

std::string ExportStatement(const std::string& table, const std::string& target, int32_t export_type) {
  const std::string from = " from " + BracketName(table);
  switch (export_type) {
    case 1:
      return "select * into " + BracketName("Text;Database=" + DirectoryPart(target)) + "." +
             BracketName(FileNamePart(target)) + from;
    case 2: return "select * into " + BracketName("excel 8.0;Database=" + target) + "." + BracketName(table) + from;
    case 3:
      return "select * into " + BracketName("Dbase 5.0;Database=" + DirectoryPart(target)) + "." +
             BracketName(FileNamePart(target)) + from;
    default: return {};
  }
}

namespace {

// A directory beside the target that the export is written into first.
class ExportStaging {
 public:
  explicit ExportStaging(const fs::path& directory) {
    std::random_device rd;
    path_ = directory / (".vantor-export-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directory(path_);
  }
  ~ExportStaging() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string DirectoryText() const { return path_.string() + "/"; }

 private:
  fs::path path_;
};

void MoveInto(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) throw Exception("cannot put " + to.string() + " in place: " + ec.message());
}

}  // namespace

void Tvtbase::exporttable(const std::string& table, const std::string& target, int32_t export_type) {
  if (export_type < 1 || export_type > 3) return;
  // The export goes to a fresh directory first and replaces the target only once it is complete, so a
  // failed export leaves an existing target as it was.
  const std::string directory_text = DirectoryPart(target);
  const fs::path directory = directory_text.empty() ? fs::path(".") : fs::path(directory_text);
  const std::string name = FileNamePart(target);
  ExportStaging staging(directory);
  const std::string staged_target = (staging.path() / name).string();
  std::error_code ec;
  // A workbook that exists gets the table as a new sheet: the copy is changed, then put in its place.
  if (export_type == 2 && fs::exists(directory / name, ec))
    fs::copy_file(directory / name, staged_target);
  conn_->Execute(ExportStatement(table, staged_target, export_type));
  if (export_type == 2) {
    MoveInto(staged_target, directory / name);
    return;
  }
  if (export_type == 3) {
    // The table file with its memo and code page files.
    for (const auto& entry : fs::directory_iterator(staging.path()))
      MoveInto(entry.path(), directory / entry.path().filename());
    return;
  }
  // Text: the file, and its section in the schema.ini beside it.
  using formats::text::ReadSchemaIni;
  auto staged_sections = ReadSchemaIni((staging.path() / "schema.ini").string());
  auto sections = ReadSchemaIni((directory / "schema.ini").string());
  std::erase_if(sections, [&](const auto& s) { return SameTextAscii(s.file, name); });
  for (auto& s : staged_sections) sections.push_back(s);
  MoveInto(staged_target, directory / name);
  formats::text::WriteSchemaIni((directory / "schema.ini").string(), sections);
}

}  // namespace vantor::data
