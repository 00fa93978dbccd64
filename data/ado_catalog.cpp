#include "data/ado_catalog.h"

#include <filesystem>

#include "data/connection_routing.h"
#include "providers/connection_string.h"

namespace vantor::data {

namespace {

formats::ColumnInfo ToColumnInfo(const TAdoColumn& c) {
  formats::ColumnInfo info;
  info.name = c.Name;
  info.ado_type = c.Type;
  info.defined_size = c.DefinedSize;
  info.numeric_scale = c.NumericScale;
  info.precision = c.Precision;
  info.nullable = c.Nullable;
  info.auto_increment = c.AutoIncrement;
  return info;
}

}  // namespace

void TAdoCatalog::Create(const std::string& connection_string) { CreateProviderDatabase(connection_string); }

void TAdoCatalog::SetActiveConnection(const std::string& connection_string) {
  created_file_ = false;
  const providers::DatabaseTarget target = providers::ResolveConnectionString(connection_string);
  std::error_code ec;
  if (target.kind == providers::DatabaseKind::ExcelWorkbook && !std::filesystem::exists(target.path, ec)) {
    CreateProviderDatabase(connection_string);
    created_file_ = true;
  }
  connection_.SetConnectionString(connection_string);
  try {
    connection_.Open();
  } catch (...) {
    if (created_file_) std::filesystem::remove(target.path, ec);
    created_file_ = false;
    throw;
  }
}

TAdoConnection& TAdoCatalog::ActiveConnection() { return connection_; }

std::vector<std::string> TAdoCatalog::Tables() { return connection_.Provider().TableNames(); }

std::vector<TAdoColumn> TAdoCatalog::Columns(const std::string& table) {
  std::vector<TAdoColumn> out;
  for (const formats::ColumnInfo& c : connection_.Provider().Columns(table))
    out.push_back({c.name, c.ado_type, c.defined_size, c.numeric_scale, c.precision, c.nullable, c.auto_increment});
  return out;
}

void TAdoCatalog::AppendColumn(const std::string& table, const TAdoColumn& column) {
  connection_.Provider().AddColumn(table, ToColumnInfo(column));
}

void TAdoCatalog::AlterColumn(const std::string& table, const std::string& name, const TAdoColumn& column) {
  connection_.Provider().AlterColumn(table, name, ToColumnInfo(column));
}

void TAdoCatalog::DeleteColumn(const std::string& table, const std::string& name) {
  connection_.Provider().DropColumn(table, name);
}

}  // namespace vantor::data
