#include "formats/mdb/access_cursor.h"

namespace vantor::formats::mdb {

AccessCursor::AccessCursor(const std::string& path, const AccessHeader& header, int jet3_code_page,
                           uint32_t definition_page, const std::string& table) {
  std::lock_guard lock(LibmdbMutex());
  mdb_ = OpenHandle(path, header, jet3_code_page);
  reader_ = std::make_unique<TableReader>(mdb_.get(), header, jet3_code_page, definition_page, table);
}

AccessCursor::~AccessCursor() {
  std::lock_guard lock(LibmdbMutex());
  reader_.reset();
  mdb_.reset();
}

bool AccessCursor::Next(Row& row) {
  std::lock_guard lock(LibmdbMutex());
  if (!reader_->Next()) return false;
  row.resize(reader_->ColumnCount());
  for (size_t i = 0; i < row.size(); ++i) row[i] = reader_->Get(i);
  row_id_ = reader_->RowId();
  return true;
}

}  // namespace vantor::formats::mdb
