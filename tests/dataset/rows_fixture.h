#pragma once
// A small dataset over rows for the framework's tests: ID integer, Name string(20), Note memo.

#include <memory>
#include <string>
#include <vector>

#include "dataset/rows_dataset.h"

namespace vantor::testing {

inline std::unique_ptr<TRowsDataSet> MakePeople(int rows) {
  auto ds = std::make_unique<TRowsDataSet>();
  ds->FieldDefs().Add("ID", ftInteger, 0, true);
  ds->FieldDefs().Add("Name", ftString, 20);
  ds->FieldDefs().Add("Note", ftMemo);
  std::vector<TRowsDataSet::Row> data;
  for (int i = 1; i <= rows; ++i)
    data.push_back({Value(int32_t{i}), Value("name" + std::to_string(i)), Value()});
  ds->SetRows(std::move(data));
  return ds;
}

inline std::vector<int> Ids(TDataSet& ds) {
  std::vector<int> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("ID").AsInteger());
  return out;
}

}  // namespace vantor::testing
