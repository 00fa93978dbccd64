#pragma once
// A RowCursor over one Access table. It has its own libmdb handle, so several cursors of one file can be
// open at once, and it decodes one row per Next.

#include <memory>
#include <string>

#include "formats/mdb/libmdb_handle.h"
#include "formats/mdb/table_reader.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {

class AccessCursor : public RowCursor {
 public:
  AccessCursor(const std::string& path, const AccessHeader& header, int jet3_code_page, uint32_t definition_page,
               const std::string& table);
  ~AccessCursor() override;
  bool Next(Row& row) override;
  int64_t RowId() const override { return row_id_; }

 private:
  Handle mdb_;
  std::unique_ptr<TableReader> reader_;
  int64_t row_id_ = -1;
};

}  // namespace vantor::formats::mdb
