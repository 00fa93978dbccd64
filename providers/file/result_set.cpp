#include "providers/file/result_set.h"

#include "dataset/text.h"
#include "providers/file/sqlite_values.h"

namespace vantor::providers::file {

using namespace formats;

SqliteResultSet::SqliteResultSet(std::shared_ptr<ConnectionCore> core, sqlite3_stmt* stmt)
    : core_(std::move(core)), stmt_(stmt) {
  try {
    Step();
    Describe(row_ready_);
  } catch (...) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw;
  }
}

SqliteResultSet::~SqliteResultSet() { sqlite3_finalize(stmt_); }

void SqliteResultSet::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) {
    row_ready_ = true;
  } else if (rc == SQLITE_DONE) {
    row_ready_ = false;
    done_ = true;
  } else {
    done_ = true;
    row_ready_ = false;
    throw ProviderError(core_->LastError());
  }
}

void SqliteResultSet::Describe(bool have_row) {
  const int n = sqlite3_column_count(stmt_);
  columns_.clear();
  for (int i = 0; i < n; ++i) {
    ColumnInfo info;
    const char* name = sqlite3_column_name(stmt_, i);
    const char* table = sqlite3_column_table_name(stmt_, i);
    const char* origin = sqlite3_column_origin_name(stmt_, i);
    bool found = false;
    if (table && origin) {
      if (const auto* source = core_->TableColumns(table)) {
        for (const ColumnInfo& c : *source) {
          if (SameTextAscii(c.name, origin)) {
            info = c;
            found = true;
            break;
          }
        }
      }
    }
    if (!found) {
      // A computed column: typed by its first value.
      const int type = have_row ? sqlite3_column_type(stmt_, i) : SQLITE_NULL;
      info = ColumnInfo{};
      switch (type) {
        case SQLITE_INTEGER: info.ado_type = adBigInt; break;
        case SQLITE_FLOAT: info.ado_type = adDouble; break;
        case SQLITE_BLOB: info.ado_type = adLongVarBinary; break;
        default: {
          info.ado_type = adVarWChar;
          info.defined_size = 255;
          if (type == SQLITE_TEXT && sqlite3_column_bytes(stmt_, i) > 255) {
            info.ado_type = adLongVarWChar;
            info.defined_size = 0;
          }
        }
      }
    }
    info.name = name ? name : "";
    info.primary_key = false;
    columns_.push_back(std::move(info));
  }
}

bool SqliteResultSet::Next(Row& row) {
  if (!row_ready_) {
    if (done_) return false;
    Step();
    if (!row_ready_) return false;
  }
  row.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    sqlite3_value* v = sqlite3_column_value(stmt_, static_cast<int>(i));
    try {
      row[i] = ValueForColumn(v, columns_[i].ado_type);
    } catch (const std::exception&) {
      // A computed column whose later values are of another kind keeps them as they are.
      row[i] = NaturalValue(v);
    }
  }
  row_ready_ = false;
  return true;
}

}  // namespace vantor::providers::file
