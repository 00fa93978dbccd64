// Scanning Access tables: this engine (exact values, one Row per Next) against libmdb's own bound-column
// scan (every value formatted as text) and against the mdb-export program, on the largest table of the
// sample files. Opening measures the catalog read of the largest sample file.
//   build/bench/bench_mdb --benchmark_format=json
// The sample folder is ../shared/testdata beside the source tree, or VANTOR_TESTDATA_DIR.

#include <benchmark/benchmark.h>

#include <glib.h>
#include <iconv.h>

#include <mdbtools.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/mdb/mdb_storage.h"

namespace {

namespace fs = std::filesystem;
using vantor::formats::Row;
using vantor::formats::mdb::OpenAccessFile;

fs::path SampleDir() {
  if (const char* dir = std::getenv("VANTOR_TESTDATA_DIR")) return fs::path(dir) / "access";
  return fs::path(__FILE__).parent_path() / "../../shared/testdata/access";
}

struct Target {
  std::string file;
  std::string table;
  int64_t rows = 0;
};

// The table with the most rows across the sample files, and the largest file.
const Target& Largest() {
  static const Target target = [] {
    Target best;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(SampleDir(), ec)) {
      try {
        auto storage = OpenAccessFile(entry.path().string());
        for (const auto& t : storage->ListTables()) {
          if (t.is_view) continue;
          auto cursor = storage->Scan(t.name);
          Row row;
          int64_t rows = 0;
          while (cursor->Next(row)) ++rows;
          if (rows > best.rows) best = {entry.path().string(), t.name, rows};
        }
      } catch (const std::exception&) {
      }
    }
    return best;
  }();
  return target;
}

std::string LargestFile() {
  std::string best;
  uintmax_t size = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(SampleDir(), ec))
    if (entry.file_size() > size) {
      size = entry.file_size();
      best = entry.path().string();
    }
  return best;
}

bool Ready(benchmark::State& state) {
  if (Largest().rows > 0) return true;
  state.SkipWithError("no Access sample files");
  return false;
}

void BM_ScanLargestTable(benchmark::State& state) {
  if (!Ready(state)) return;
  const Target& t = Largest();
  auto storage = OpenAccessFile(t.file);
  int64_t rows = 0;
  for (auto _ : state) {
    auto cursor = storage->Scan(t.table);
    Row row;
    while (cursor->Next(row)) ++rows;
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(rows);
  state.SetLabel(fs::path(t.file).filename().string() + " " + t.table);
}
BENCHMARK(BM_ScanLargestTable)->UseRealTime();

// The baseline: libmdb's documented way to read a table, every column bound as text.
void BM_LibmdbBoundScan(benchmark::State& state) {
  if (!Ready(state)) return;
  const Target& t = Largest();
  MdbHandle* mdb = mdb_open(t.file.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr || mdb_read_catalog(mdb, MDB_TABLE) == nullptr) {
    state.SkipWithError("libmdb cannot open the file");
    return;
  }
  MdbTableDef* table = mdb_read_table_by_name(mdb, const_cast<gchar*>(t.table.c_str()), MDB_TABLE);
  mdb_read_columns(table);
  std::vector<std::vector<char>> bound(table->num_cols, std::vector<char>(MDB_BIND_SIZE));
  std::vector<int> lengths(table->num_cols);
  for (unsigned i = 0; i < table->num_cols; ++i) mdb_bind_column(table, static_cast<int>(i + 1), bound[i].data(), &lengths[i]);
  int64_t rows = 0;
  for (auto _ : state) {
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) ++rows;
    benchmark::DoNotOptimize(bound[0][0]);
  }
  state.SetItemsProcessed(rows);
  mdb_free_tabledef(table);
  mdb_close(mdb);
}
BENCHMARK(BM_LibmdbBoundScan)->UseRealTime();

// mdb-export on the same table, process start included (as a user runs it).
void BM_MdbExportProgram(benchmark::State& state) {
  if (!Ready(state)) return;
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) {
    state.SkipWithError("mdb-export is not installed");
    return;
  }
  const Target& t = Largest();
  const std::string command = "mdb-export '" + t.file + "' '" + t.table + "'";
  int64_t rows = 0;
  for (auto _ : state) {
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[65536];
    while (std::fread(buffer, 1, sizeof buffer, pipe) > 0) {
    }
    pclose(pipe);
    rows += t.rows;
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_MdbExportProgram)->Unit(benchmark::kMillisecond)->UseRealTime();  // the child process is not CPU time here

void BM_OpenLargestFile(benchmark::State& state) {
  const std::string file = LargestFile();
  if (file.empty()) {
    state.SkipWithError("no Access sample files");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(OpenAccessFile(file)->ListTables());
  state.SetLabel(fs::path(file).filename().string());
}
BENCHMARK(BM_OpenLargestFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
