#include "formats/mdb/table_reader.h"

#include <cstdio>

#include "dataset/text.h"
#include "formats/mdb/primary_key.h"
#include "formats/mdb/table_check.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr unsigned kMaxRowsPerPage = 1000;

[[noreturn]] void Damaged(const std::string& table, const std::string& what) {
  throw StorageError("damaged Access file: table '" + table + "' " + what);
}

}  // namespace

TableReader::TableReader(MdbHandle* mdb, const AccessHeader& header, int jet3_code_page, uint32_t definition_page,
                         const std::string& name)
    : mdb_(mdb), header_(header), pages_(mdb, header), name_(name) {
  context_.version = header.version;
  context_.jet3_code_page = jet3_code_page;
  context_.pages = &pages_;
  CheckTableDefinition(pages_, *mdb->fmt, definition_page, name);

  entry_.mdb = mdb;
  std::snprintf(entry_.object_name, sizeof entry_.object_name, "%s", name.c_str());
  entry_.object_type = MDB_TABLE;
  entry_.table_pg = definition_page;
  table_ = mdb_read_table(&entry_);
  if (table_ == nullptr) Damaged(name, "has a definition that cannot be read");
  if (mdb_read_columns(table_) == nullptr || table_->columns->len != table_->num_cols) {
    mdb_free_tabledef(table_);
    Damaged(name, "has column definitions that cannot be read");
  }
  for (unsigned i = 0; i < table_->num_cols; ++i)
    columns_.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i)));
  fields_.resize(columns_.size());
  mdb_rewind_table(table_);
}

TableReader::~TableReader() { mdb_free_tabledef(table_); }

std::set<int> TableReader::PrimaryKeyColumnNumbers() {
  return mdb::PrimaryKeyColumnNumbers(pages_, *mdb_->fmt, static_cast<uint32_t>(entry_.table_pg));
}

int TableReader::FindColumn(const std::string& name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (SameTextAscii(columns_[i]->name, name)) return static_cast<int>(i);
  return -1;
}

bool TableReader::Next() {
  if (finished_) return false;
  const uint16_t row_count_offset = mdb_->fmt->row_count_offset;
  for (;;) {
    if (!started_ || next_row_ >= rows_on_page_) {
      started_ = true;
      if (!mdb_read_next_dpg(table_)) {
        finished_ = true;
        return false;
      }
      page_ = table_->cur_phys_pg;
      rows_on_page_ = static_cast<unsigned>(mdb_get_int16(mdb_->pg_buf, row_count_offset));
      if (rows_on_page_ > kMaxRowsPerPage || row_count_offset + 2 + rows_on_page_ * 2 > header_.page_size)
        Damaged(name_, "has a data page with an impossible row count");
      next_row_ = 0;
    }
    const unsigned row = next_row_++;
    RowSpan span;
    std::span<const uint8_t> page(mdb_->pg_buf, header_.page_size);
    if (!LocateRow(page, row_count_offset, row, span) || span.deleted) continue;
    if (mdb_crack_row(table_, static_cast<int>(span.start), span.length, fields_.data()) < 0)
      Damaged(name_, "has a row that cannot be decoded");
    for (const MdbField& field : fields_) {
      if (field.is_null && field.siz == 0) continue;
      if (field.siz < 0 || field.start < static_cast<int>(span.start) ||
          static_cast<uint32_t>(field.start + field.siz) > span.start + span.length)
        Damaged(name_, "has a field outside its row");
    }
    current_row_ = row;
    return true;
  }
}

std::span<const uint8_t> TableReader::RawField(size_t column) const {
  const MdbField& field = fields_[column];
  if (field.is_null || field.siz <= 0) return {};
  return std::span<const uint8_t>(mdb_->pg_buf + field.start, field.siz);
}

Value TableReader::Get(size_t column) {
  const MdbField& field = fields_[column];
  return DecodeField(*columns_[field.colnum], field.is_null, RawField(column), context_);
}

}  // namespace vantor::formats::mdb
