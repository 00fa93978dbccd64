#pragma once
// TAdoTable: one table of a database as a dataset, over a connection of its own. Appended, edited and
// deleted rows are written through to the table by row id as they are posted.

#include <memory>
#include <string>

#include "data/ado_connection.h"
#include "data/ado_dataset.h"

namespace vantor::data {

class TAdoTable : public TAdoDataSet {
 public:
  TAdoTable() = default;
  ~TAdoTable() override;

  void SetConnectionString(std::string text) { connection_.SetConnectionString(std::move(text)); }
  const std::string& ConnectionString() const { return connection_.ConnectionString(); }
  void SetTableName(std::string name) { table_name_ = std::move(name); }
  const std::string& TableName() const { return table_name_; }

 protected:
  RowSource OpenSource() override;
  void CloseSource() override;
  int64_t WriteInsert(const Row& row) override;
  void WriteUpdate(int64_t row_id, const Row& row) override;
  void WriteDelete(int64_t row_id) override;
  bool Writable() const override { return true; }

 private:
  TAdoConnection connection_;
  std::string table_name_;
  std::unique_ptr<providers::TableAccess> table_;
  std::unique_ptr<formats::RowCursor> cursor_;
};

}  // namespace vantor::data
