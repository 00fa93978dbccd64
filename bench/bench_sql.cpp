// SQL over files: "select count(*), sum(PRICE) from [t]" over a 1,000,000-row .dbf table through the file
// provider's virtual tables, against the same query over the same rows in a native SQLite table (the
// baseline, measured in the same run); and opentable plus loading the whole table into an in-memory table.
//   bench_sql --benchmark_format=json

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "data/base_view.h"
#include "data/connection_routing.h"
#include "formats/dbf/dbf_storage.h"
#include "memtable/mem_table.h"

namespace {

namespace fs = std::filesystem;
using namespace vantor;
using namespace vantor::formats;

constexpr int64_t kRows = 1000000;
const char* kQuery = "select count(*), sum(PRICE) from [t]";

ColumnInfo Col(const char* name, int type, int size = 0, int precision = 0, int scale = 0) {
  ColumnInfo c;
  c.name = name;
  c.ado_type = type;
  c.defined_size = size;
  c.precision = precision;
  c.numeric_scale = scale;
  return c;
}

// The table: ID integer, NAME text(20), PRICE numeric(12,2), DAY date.
struct BenchData {
  BenchData() {
    dir = fs::temp_directory_path() / ("bench-sql-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto storage = dbf::OpenDirectory(dir.string());
    storage->CreateTable("t", {Col("ID", adInteger), Col("NAME", adVarWChar, 20), Col("PRICE", adNumeric, 0, 12, 2),
                               Col("DAY", adDate)});
    sqlite3_open(":memory:", &native);
    sqlite3_exec(native, "create table t(ID INTEGER, NAME TEXT, PRICE REAL, DAY TEXT); begin", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(native, "insert into t values (?, ?, ?, ?)", -1, &insert, nullptr);
    storage->Begin();
    for (int64_t i = 0; i < kRows; ++i) {
      const std::string name = "name " + std::to_string(i % 1000);
      const std::string price = std::to_string(i % 100000) + "." + std::to_string(10 + i % 90);
      const DateTime day = DateTime::FromDate(2000 + static_cast<int>(i % 25), 1 + static_cast<int>(i % 12),
                                              1 + static_cast<int>(i % 28));
      storage->InsertRow("t", {Value(static_cast<int32_t>(i)), Value(name), Value(TBcd::Parse(price)), Value(day)});
      sqlite3_bind_int64(insert, 1, i);
      sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(insert, 3, std::stod(price));
      sqlite3_bind_text(insert, 4, day.ToString().c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    storage->Commit();
    sqlite3_finalize(insert);
    sqlite3_exec(native, "commit", nullptr, nullptr, nullptr);
  }
  ~BenchData() {
    sqlite3_close(native);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string TablePath() const { return (dir / "t.dbf").string(); }
  fs::path dir;
  sqlite3* native = nullptr;
};

BenchData& Data() {
  static BenchData data;
  return data;
}

void BM_NativeSqliteCountSum(benchmark::State& state) {
  sqlite3* db = Data().native;
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select count(*), sum(PRICE) from t", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    benchmark::DoNotOptimize(sqlite3_column_int64(stmt, 0));
    benchmark::DoNotOptimize(sqlite3_column_double(stmt, 1));
    sqlite3_finalize(stmt);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_SqlOverDbfCountSum(benchmark::State& state) {
  auto connection = data::ConnectProvider(data::ConnectionStringFor(data::btDbf, Data().TablePath()));
  for (auto _ : state) {
    auto rows = connection->Query(kQuery);
    Row row;
    rows->Next(row);
    if (row[0].AsInt64() != kRows) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_OpentableLoadIntoMemTable(benchmark::State& state) {
  const std::string path = Data().TablePath();
  for (auto _ : state) {
    data::tbaseview view;
    view.openbase(path);
    auto query = view.opentable("t");
    TMemTable table;
    table.LoadFromSource(query.get(), mtloStructure);
    if (table.RecordCount() != kRows) state.SkipWithError("wrong row count");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_NativeSqliteCountSum)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SqlOverDbfCountSum)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_OpentableLoadIntoMemTable)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
