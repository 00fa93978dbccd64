#include "cli/commands.h"

#include <functional>

#include "cli/csv.h"
#include "cli/database_argument.h"
#include "data/ado_connection.h"
#include "data/base_view.h"
#include "providers/provider.h"

namespace vantor::cli {
namespace {

void RequireArgs(const std::vector<std::string>& args, size_t count, const char* usage) {
  if (args.size() != count) throw providers::ProviderError(std::string("usage: vantor-cli ") + usage);
}

void Connect(data::TAdoConnection& connection, const std::string& database) {
  connection.SetConnectionString(ConnectionStringForArgument(database));
  connection.Open();
}

void WriteLine(std::ostream& out, const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += fields[i];
  }
  line += "\r\n";
  out << line;
}

void WriteRows(std::ostream& out, const std::vector<formats::ColumnInfo>& columns,
               const std::function<bool(formats::Row&)>& next) {
  std::vector<std::string> fields;
  for (const auto& c : columns) fields.push_back(CsvQuote(c.name));
  WriteLine(out, fields);
  formats::Row row;
  while (next(row)) {
    fields.clear();
    for (const Value& v : row) fields.push_back(CsvField(v));
    WriteLine(out, fields);
  }
  out.flush();
}

bool IsView(providers::Connection& connection, const std::string& table) {
  try {
    connection.OpenTable(table);
    return false;
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace

int Tables(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 1, "tables DATABASE");
  data::TAdoConnection connection;
  Connect(connection, args[0]);
  std::vector<std::string> names;
  connection.GetTableNames(names);
  for (const std::string& name : names) out << name << '\n';
  return 0;
}

int Schema(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "schema DATABASE TABLE");
  data::TAdoConnection connection;
  Connect(connection, args[0]);
  for (const formats::ColumnInfo& c : connection.Provider().Columns(args[1]))
    out << c.name << '\t' << c.ado_type << '\t' << c.defined_size << '\t' << c.numeric_scale << '\n';
  return 0;
}

int Dump(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "dump DATABASE TABLE");
  data::TAdoConnection connection;
  Connect(connection, args[0]);
  providers::Connection& provider = connection.Provider();
  if (IsView(provider, args[1])) {
    // A saved query: its rows come from running it.
    auto rows = provider.Query("select * from " + data::BracketName(args[1]));
    WriteRows(out, rows->Columns(), [&](formats::Row& row) { return rows->Next(row); });
    return 0;
  }
  auto table = provider.OpenTable(args[1]);
  auto cursor = table->Scan();
  WriteRows(out, table->Columns(), [&](formats::Row& row) { return cursor->Next(row); });
  return 0;
}

int Query(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "query DATABASE SQL");
  data::TAdoConnection connection;
  Connect(connection, args[0]);
  auto rows = connection.Provider().Query(args[1]);
  if (!rows) throw providers::ProviderError("the statement returned no rows (use exec)");
  WriteRows(out, rows->Columns(), [&](formats::Row& row) { return rows->Next(row); });
  return 0;
}

int Exec(const std::vector<std::string>& args, std::ostream& out) {
  RequireArgs(args, 2, "exec DATABASE SQL");
  data::TAdoConnection connection;
  Connect(connection, args[0]);
  out << connection.Execute(args[1]) << '\n';
  return 0;
}

int Export(const std::vector<std::string>& args, std::ostream&) {
  RequireArgs(args, 4, "export DATABASE TABLE TARGET TYPE");
  int64_t type = 0;
  if (!TryParseInt64(args[3], type) || type < 1 || type > 3)
    throw providers::ProviderError("TYPE is 1 (text), 2 (Excel) or 3 (dBase)");
  data::Tvtbase base;
  base.linkbase(data::btOther, ConnectionStringForArgument(args[0]));
  base.exporttable(args[1], args[2], static_cast<int32_t>(type));
  return 0;
}

int New(const std::vector<std::string>& args, std::ostream&) {
  RequireArgs(args, 1, "new FILE");
  const int32_t kind = data::getbasetype(args[0]);
  if (kind != data::btAccess && kind != data::btExcel)
    throw providers::ProviderError("new databases are .mdb or .xls files: " + args[0]);
  data::tbaseview view;
  view.newbase(args[0]);
  return 0;
}

}  // namespace vantor::cli
