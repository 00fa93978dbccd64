#include "data/ado_connection.h"

#include "data/connection_routing.h"

namespace vantor::data {

void TAdoConnection::SetConnectionString(std::string text) {
  Close();
  connection_string_ = std::move(text);
}

void TAdoConnection::Open() {
  if (!connection_) connection_ = ConnectProvider(connection_string_);
}

providers::Connection& TAdoConnection::Provider() {
  Open();
  return *connection_;
}

void TAdoConnection::GetTableNames(std::vector<std::string>& names) { names = Provider().TableNames(); }

int64_t TAdoConnection::Execute(const std::string& sql) { return Provider().Execute(sql); }

}  // namespace vantor::data
