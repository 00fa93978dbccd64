#include "cli/commands.h"

#include "cli/csv.h"
#include "cli/open_storage.h"

namespace vantor::cli {
namespace {

void RequireArgs(const std::vector<std::string>& args, size_t count, const char* usage) {
  if (args.size() != count) throw formats::StorageError(std::string("usage: vantor-cli ") + usage);
}

std::string ResolveTable(formats::Storage& storage, const std::string& name) {
  std::string found = formats::FindTableName(storage, name);
  if (found.empty()) throw formats::StorageError("no table named '" + name + "' in " + storage.Path());
  return found;
}

}  // namespace

int Tables(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 1, "tables DATABASE");
  auto storage = OpenStorageForPath(args[0]);
  for (const formats::TableInfo& t : storage->ListTables()) out << t.name << '\n';
  return 0;
}

int Schema(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "schema DATABASE TABLE");
  auto storage = OpenStorageForPath(args[0]);
  const std::string table = ResolveTable(*storage, args[1]);
  for (const formats::ColumnInfo& c : storage->Columns(table))
    out << c.name << '\t' << c.ado_type << '\t' << c.defined_size << '\t' << c.numeric_scale << '\n';
  return 0;
}

int Dump(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "dump DATABASE TABLE");
  auto storage = OpenStorageForPath(args[0]);
  const std::string table = ResolveTable(*storage, args[1]);
  const auto columns = storage->Columns(table);
  std::string line;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) line += ',';
    line += CsvQuote(columns[i].name);
  }
  out << line << "\r\n";
  auto cursor = storage->Scan(table);
  formats::Row row;
  while (cursor->Next(row)) {
    line.clear();
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += ',';
      line += CsvField(row[i]);
    }
    line += "\r\n";
    out << line;
  }
  out.flush();
  return 0;
}

}  // namespace vantor::cli
