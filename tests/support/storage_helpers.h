#pragma once
// Small helpers for tests that work through the storage interface: column descriptions and whole tables.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/storage.h"

namespace vantor::testing {

inline formats::ColumnInfo Col(const std::string& name, int type, int64_t size = 0, int precision = 0,
                               int scale = 0) {
  formats::ColumnInfo c;
  c.name = name;
  c.ado_type = type;
  c.defined_size = size;
  c.precision = precision;
  c.numeric_scale = scale;
  return c;
}

// Every row of a table in scan order, and their row ids when asked.
inline std::vector<formats::Row> ReadAll(formats::Storage& storage, const std::string& table,
                                         std::vector<int64_t>* ids = nullptr) {
  std::vector<formats::Row> rows;
  auto cursor = storage.Scan(table);
  formats::Row row;
  while (cursor->Next(row)) {
    rows.push_back(row);
    if (ids) ids->push_back(cursor->RowId());
  }
  return rows;
}

}  // namespace vantor::testing
