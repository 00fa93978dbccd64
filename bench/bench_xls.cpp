// The workbook engine on a 65,000-row, seven-column sheet: writing it (new workbook, one transaction) and
// reading it back (open and scan every row), beside a baseline from the same run that only reads the
// file's bytes and walks its records.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/xls/xls_storage.h"

namespace vantor::formats::xls {
namespace {

constexpr int kRows = 65000;

std::vector<ColumnInfo> SevenColumns() {
  std::vector<ColumnInfo> columns;
  const std::pair<const char*, int> spec[] = {{"id", adInteger},   {"name", adVarWChar}, {"amount", adDouble},
                                              {"flag", adBoolean}, {"day", adDate},      {"city", adVarWChar},
                                              {"ratio", adDouble}};
  for (const auto& [name, type] : spec) {
    ColumnInfo c;
    c.name = name;
    c.ado_type = type;
    columns.push_back(c);
  }
  return columns;
}

Row MakeRow(int i) {
  static const char* cities[] = {"北京", "Shanghai", "Zürich", "Lagos", "Lima"};
  return {Value(int32_t{i}),
          Value("name " + std::to_string(i)),
          Value(i * 1.25),
          Value(i % 2 == 0),
          Value(DateTime::FromDate(2000 + i % 20, 1 + i % 12, 1 + i % 28)),
          Value(cities[i % 5]),
          Value(1.0 / (i + 1))};
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / ("vantor-bench-" + std::to_string(getpid()) + "-" + name)).string();
}

void WriteSheet(const std::string& path) {
  std::filesystem::remove(path);
  CreateWorkbook(path);
  auto storage = OpenWorkbook(path);
  storage->CreateTable("data", SevenColumns());
  storage->Begin();
  for (int i = 0; i < kRows; ++i) storage->InsertRow("data", MakeRow(i));
  storage->Commit();
}

const std::string& SampleFile() {
  static const std::string path = [] {
    std::string p = TempPath("read.xls");
    WriteSheet(p);
    return p;
  }();
  return path;
}

void BM_WriteSheet(benchmark::State& state) {
  const std::string path = TempPath("write.xls");
  for (auto _ : state) WriteSheet(path);
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ReadSheet(benchmark::State& state) {
  const std::string& path = SampleFile();
  for (auto _ : state) {
    auto storage = OpenWorkbook(path);
    auto cursor = storage->Scan("data");
    Row row;
    int64_t count = 0;
    while (cursor->Next(row)) ++count;
    if (count != kRows) state.SkipWithError("wrong row count");
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

// Baseline: read the same file's bytes and walk its BIFF record headers once, with no decoding.
void BM_BaselineReadBytes(benchmark::State& state) {
  const std::string& path = SampleFile();
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t records = 0;
    for (size_t pos = 512; pos + 4 <= bytes.size(); ++records) {
      const auto length = static_cast<uint8_t>(bytes[pos + 2]) | (static_cast<uint8_t>(bytes[pos + 3]) << 8);
      pos += 4 + static_cast<size_t>(length);
    }
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_BaselineReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSheet)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantor::formats::xls

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(vantor::formats::xls::SampleFile());
  return 0;
}
