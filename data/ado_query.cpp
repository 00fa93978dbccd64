#include "data/ado_query.h"

#include "providers/provider.h"

namespace vantor::data {

TAdoQuery::~TAdoQuery() {
  try {
    Close();
  } catch (...) {
  }
}

std::string TAdoQuery::SqlText() const {
  std::string text;
  for (size_t i = 0; i < sql_.size(); ++i) text += (i ? "\n" : "") + sql_[i];
  return text;
}

int64_t TAdoQuery::ExecSQL() { return connection_.Provider().Execute(SqlText()); }

TAdoDataSet::RowSource TAdoQuery::OpenSource() {
  rows_ = connection_.Provider().Query(SqlText());
  if (!rows_) throw providers::ProviderError("the statement returned no rows");
  SetDefsFromColumns(FieldDefs(), rows_->Columns());
  return [this, n = int64_t{0}](Row& row, int64_t& id) mutable {
    if (!rows_->Next(row)) {
      rows_.reset();
      return false;
    }
    id = ++n;
    return true;
  };
}

void TAdoQuery::CloseSource() { rows_.reset(); }

}  // namespace vantor::data
