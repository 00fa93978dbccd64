#pragma once
// Reads one table's rows through libmdb: its definition and columns, then the live rows of its data pages
// one at a time, each field decoded exactly. The caller holds LibmdbMutex() around every call.

#include "formats/mdb/libmdb_api.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "dataset/value.h"
#include "formats/mdb/field_values.h"
#include "formats/mdb/libmdb_handle.h"

namespace vantor::formats::mdb {

class TableReader {
 public:
  // Checks the definition's pages, then has libmdb read it. StorageError for a damaged definition.
  TableReader(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page, uint32_t definition_page,
              const std::string& name);
  ~TableReader();
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  size_t ColumnCount() const { return columns_.size(); }
  const MdbColumn& Column(size_t i) const { return *columns_[i]; }
  // Column numbers (MdbColumn::col_num) of the primary key.
  std::set<int> PrimaryKeyColumnNumbers();
  // The index of the column named `name` (ASCII case-insensitive), or -1.
  int FindColumn(const std::string& name) const;

  // Moves to the next live row; false at the end.
  bool Next();
  // Page and row of the current row.
  int64_t RowId() const { return (static_cast<int64_t>(page_) << 8) | current_row_; }
  Value Get(size_t column);
  // The field's bytes as stored in the row (for a memo or OLE field, its 12-byte header and inline data).
  std::span<const uint8_t> RawField(size_t column) const;
  bool IsNull(size_t column) const { return fields_[column].is_null; }

 private:
  MdbHandle* mdb_;
  AccessHeader header_;
  PageReader pages_;
  FieldContext context_;
  std::string name_;
  MdbCatalogEntry entry_{};
  MdbTableDef* table_ = nullptr;
  std::vector<MdbColumn*> columns_;
  std::vector<MdbField> fields_;
  bool started_ = false;
  bool finished_ = false;
  uint32_t page_ = 0;
  unsigned rows_on_page_ = 0;
  unsigned next_row_ = 0;
  unsigned current_row_ = 0;
};

}  // namespace vantor::formats::mdb
