// libFuzzer target: Jet SQL text through the parser and translator, then prepared (not run) by SQLite
// over an empty dBase directory. Every input must end in a result or a clear error.

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "providers/file/jet_sql.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string sql(reinterpret_cast<const char*>(data), size);
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    sqlite3_exec(d, "create table t(a, b, c)", nullptr, nullptr, nullptr);
    return d;
  }();
  try {
    const auto st = vantor::providers::file::ParseJetStatement(sql);
    if (!st.sqlite_sql.empty()) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(db, st.sqlite_sql.c_str(), static_cast<int>(st.sqlite_sql.size()), &stmt, nullptr);
      sqlite3_finalize(stmt);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
