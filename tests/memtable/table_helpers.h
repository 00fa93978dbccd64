#pragma once
// Helpers for tests of the table dataset: a source of rows, loaded tables, and the visible order.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dataset/rows_dataset.h"
#include "memtable/collation.h"
#include "memtable/mem_table.h"

namespace vantor::testing {

// A rows dataset with the columns ID integer, Name wide string(20), Note memo, and the given rows.
inline std::unique_ptr<TRowsDataSet> PeopleSource(const std::vector<std::pair<int, std::u16string>>& rows) {
  auto source = std::make_unique<TRowsDataSet>();
  source->FieldDefs().Add("ID", ftInteger);
  source->FieldDefs().Add("Name", ftWideString, 20);
  source->FieldDefs().Add("Note", ftMemo);
  std::vector<TRowsDataSet::Row> data;
  for (const auto& [id, name] : rows)
    data.push_back({Value(int32_t{id}), name.empty() ? Value() : Value(name), Value("note " + std::to_string(id))});
  source->SetRows(std::move(data));
  return source;
}

inline std::vector<int> VisibleIds(TDataSet& table, const char* field = "ID") {
  std::vector<int> ids;
  for (table.First(); !table.Eof(); table.Next()) ids.push_back(table.FieldByName(field).AsInteger());
  return ids;
}

// Sets the collation locale for the rest of the test and forgets collators made for another one.
class ScopedCollation {
 public:
  explicit ScopedCollation(const char* locale) {
    if (const char* old = std::getenv("LC_ALL")) saved_ = old, had_ = true;
    setenv("LC_ALL", locale, 1);
    ResetCollatorCache();
  }
  ~ScopedCollation() {
    if (had_) setenv("LC_ALL", saved_.c_str(), 1);
    else unsetenv("LC_ALL");
    ResetCollatorCache();
  }

 private:
  std::string saved_;
  bool had_ = false;
};

}  // namespace vantor::testing
