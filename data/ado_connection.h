#pragma once
// TAdoConnection: a connection of the access interface over a provider connection. The login prompt is
// always off: nothing here ever asks the user for a name or password.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "providers/provider.h"

namespace vantor::data {

class TAdoConnection {
 public:
  TAdoConnection() = default;
  ~TAdoConnection() = default;

  bool LoginPrompt() const { return false; }
  const std::string& ConnectionString() const { return connection_string_; }
  void SetConnectionString(std::string text);
  // Fails with the provider's message for empty or wrong strings.
  void Open();
  // Closing a closed connection does nothing.
  void Close() { connection_.reset(); }
  bool Connected() const { return connection_ != nullptr; }

  // Names of user tables and views, in the provider's order; opens first when closed.
  void GetTableNames(std::vector<std::string>& names);
  // Runs statement text; opens first when closed. Answers the rows changed.
  int64_t Execute(const std::string& sql);

  providers::Connection& Provider();

 private:
  std::string connection_string_;
  std::unique_ptr<providers::Connection> connection_;
};

}  // namespace vantor::data
