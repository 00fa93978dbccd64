#pragma once
// TAdoQuery: rows from SQL text, over a connection of its own made from its connection string, so it stays
// readable when the connection it was made for closes.

#include <memory>
#include <string>
#include <vector>

#include "data/ado_connection.h"
#include "data/ado_dataset.h"

namespace vantor::data {

class TAdoQuery : public TAdoDataSet {
 public:
  TAdoQuery() = default;
  ~TAdoQuery() override;

  void SetConnectionString(std::string text) { connection_.SetConnectionString(std::move(text)); }
  const std::string& ConnectionString() const { return connection_.ConnectionString(); }
  // The SQL text, line by line; the statement is the lines joined by line breaks.
  std::vector<std::string>& SQL() { return sql_; }
  std::string SqlText() const;

  // Runs a statement that returns no rows; answers the rows changed.
  int64_t ExecSQL();

 protected:
  RowSource OpenSource() override;
  void CloseSource() override;

 private:
  TAdoConnection connection_;
  std::vector<std::string> sql_;
  std::unique_ptr<providers::ResultSet> rows_;
};

}  // namespace vantor::data
