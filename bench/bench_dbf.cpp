// dBase engine throughput: scanning a 1,000,000-row table of seven columns (N, C 20 with GBK text, N 12.2,
// N 8, D, L, C 40) decoded to values, and appending 1,000,000 rows. The baseline is reading the same file's
// bytes without decoding them.
//   bench_dbf --benchmark_format=json

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "formats/dbf/dbf_storage.h"
#include "formats/dbf/table_header.h"
#include "formats/dbf/table_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace vantor;
using namespace vantor::formats;
using namespace vantor::formats::dbf;

constexpr int64_t kRows = 1000000;

FieldDescriptor Field(const char* name, char type, int length, int decimals = 0) {
  FieldDescriptor f;
  f.name = name;
  f.type = type;
  f.length = static_cast<uint8_t>(length);
  f.decimals = static_cast<uint8_t>(decimals);
  return f;
}

TableHeader SevenColumnHeader() {
  TableHeader h;
  h.version = 0x03;
  h.language_driver = 0x7A;  // GBK
  h.fields = {Field("ID", 'N', 10), Field("NAME", 'C', 20), Field("PRICE", 'N', 12, 2), Field("QTY", 'N', 8),
              Field("DAY", 'D', 8), Field("OK", 'L', 1), Field("NOTE", 'C', 40)};
  LayoutFields(h, "bench");
  return h;
}

Row MakeRow(int64_t i) {
  static const char* names[] = {"北京市朝阳区", "上海市浦东新区", "广州市天河区", "深圳市南山区"};
  return Row{Value(TBcd::FromInt64(i)),
             Value(std::string(names[i % 4]) + std::to_string(i % 1000)),
             Value(TBcd::Parse(std::to_string(i % 100000) + "." + std::to_string(10 + i % 90))),
             Value(TBcd::FromInt64(i % 9999999)),
             Value(DateTime::FromDate(2000 + static_cast<int>(i % 25), 1 + static_cast<int>(i % 12),
                                      1 + static_cast<int>(i % 28))),
             Value(i % 3 == 0),
             Value("order note number " + std::to_string(i))};
}

class BenchDir {
 public:
  BenchDir() {
    path_ = fs::temp_directory_path() / ("bench-dbf-" + std::to_string(::getpid()));
    fs::create_directories(path_);
    TableWriter writer((path_ / "scan.dbf").string(), SevenColumnHeader(), 936, "scan", "");
    for (int64_t i = 0; i < kRows; ++i) writer.Append(MakeRow(i), false);
    writer.Finish();
  }
  ~BenchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

BenchDir& Dir() {
  static BenchDir dir;
  return dir;
}

void BM_ReadFileBytes(benchmark::State& state) {
  const fs::path file = Dir().path() / "scan.dbf";
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    std::ifstream in(file, std::ios::binary);
    uint64_t sum = 0;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) sum += buffer[0];
    benchmark::DoNotOptimize(sum);
  }
  state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanDecodedRows(benchmark::State& state) {
  auto storage = OpenDirectory(Dir().path().string());
  int64_t rows = 0;
  for (auto _ : state) {
    auto cursor = storage->Scan("scan");
    Row row;
    rows = 0;
    while (cursor->Next(row)) ++rows;
    benchmark::DoNotOptimize(row);
  }
  if (rows != kRows) state.SkipWithError("wrong row count");
  state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScanDecodedRows)->Unit(benchmark::kMillisecond)->UseRealTime();

// Appends through the Storage interface; a transaction writes the header once at Commit.
void BM_AppendRowsInOneTransaction(benchmark::State& state) {
  const int64_t count = state.range(0);
  std::vector<Row> rows;
  for (int64_t i = 0; i < 1000; ++i) rows.push_back(MakeRow(i));
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path file = Dir().path() / "append.dbf";
    fs::remove(file);
    { TableWriter((file).string(), SevenColumnHeader(), 936, "append", "").Finish(); }
    auto storage = OpenDirectory(Dir().path().string());
    state.ResumeTiming();
    storage->Begin();
    for (int64_t i = 0; i < count; ++i) storage->InsertRow("append", rows[i % rows.size()]);
    storage->Commit();
  }
  state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AppendRowsInOneTransaction)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Each insert written at once (record, then the header count): the cost of a lone row.
void BM_AppendRowsEachOnItsOwn(benchmark::State& state) {
  const int64_t count = state.range(0);
  const Row row = MakeRow(7);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path file = Dir().path() / "single.dbf";
    fs::remove(file);
    { TableWriter((file).string(), SevenColumnHeader(), 936, "single", "").Finish(); }
    auto storage = OpenDirectory(Dir().path().string());
    state.ResumeTiming();
    for (int64_t i = 0; i < count; ++i) storage->InsertRow("single", row);
  }
  state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AppendRowsEachOnItsOwn)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
