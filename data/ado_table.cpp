#include "data/ado_table.h"

namespace vantor::data {

TAdoTable::~TAdoTable() {
  try {
    Close();
  } catch (...) {
  }
}

TAdoDataSet::RowSource TAdoTable::OpenSource() {
  table_ = connection_.Provider().OpenTable(table_name_);
  SetDefsFromColumns(FieldDefs(), table_->Columns());
  cursor_ = table_->Scan();
  return [this](Row& row, int64_t& id) {
    if (!cursor_->Next(row)) {
      cursor_.reset();
      return false;
    }
    id = cursor_->RowId();
    return true;
  };
}

void TAdoTable::CloseSource() {
  cursor_.reset();
  table_.reset();
}

namespace {
// Engines take text as UTF-8.
formats::Row ForStorage(const formats::Row& row) {
  formats::Row out = row;
  for (Value& v : out)
    if (v.kind() == Value::Kind::WideString) v = Value(v.AsString());
  return out;
}
}  // namespace

int64_t TAdoTable::WriteInsert(const Row& row) { return table_->Insert(ForStorage(row)); }
void TAdoTable::WriteUpdate(int64_t row_id, const Row& row) { table_->Update(row_id, ForStorage(row)); }
void TAdoTable::WriteDelete(int64_t row_id) { table_->Delete(row_id); }

}  // namespace vantor::data
