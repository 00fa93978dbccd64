// The in-memory table on a million generated rows: loading, sorting, random reads, edits and copies,
// beside std::sort baselines measured in the same run.

#include <benchmark/benchmark.h>
#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dataset/rows_dataset.h"
#include "dataset/text.h"
#include "memtable/mem_table.h"

namespace vantor {
namespace {

constexpr char16_t kHanzi[] = u"数据库系统中文表格字段记录查询排序索引编辑导出打开关闭新建删除修改名称价格日期";
constexpr char kLatin[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Deterministic rows: Integer, Float, Currency, DateTime, WideString(40), String(20), Boolean.
struct GeneratedRows {
  std::vector<TRowsDataSet::Row> rows;
  std::vector<int32_t> integers;
  std::vector<std::u16string> wide;
};

const GeneratedRows& Rows(int count) {
  static std::unique_ptr<GeneratedRows> cache;
  if (cache && static_cast<int>(cache->rows.size()) == count) return *cache;
  cache = std::make_unique<GeneratedRows>();
  std::mt19937 random(20261208);
  cache->rows.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int32_t n = static_cast<int32_t>(random() % 1000000000);
    std::u16string w;
    const int length = 2 + static_cast<int>(random() % 29);
    for (int k = 0; k < length; ++k)
      w += (random() % 2) ? kHanzi[random() % (std::size(kHanzi) - 1)]
                          : static_cast<char16_t>(kLatin[random() % (std::size(kLatin) - 1)]);
    std::string s;
    for (int k = 0; k < 12; ++k) s += kLatin[random() % (std::size(kLatin) - 1)];
    cache->integers.push_back(n);
    cache->wide.push_back(w);
    cache->rows.push_back({Value(n), Value(static_cast<double>(random()) / 7.0),
                           Value(Currency::FromScaled(static_cast<int64_t>(random() % 100000000))),
                           Value(DateTime{63000000000000 + static_cast<int64_t>(random() % 1000000000) * 1000}),
                           Value(w), Value(s), Value(random() % 2 == 0)});
  }
  return *cache;
}

void DefineColumns(TFieldDefs& defs) {
  defs.Add("ID", ftInteger);
  defs.Add("AMOUNT", ftFloat);
  defs.Add("PRICE", ftCurrency);
  defs.Add("WHEN", ftDateTime);
  defs.Add("TITLE", ftWideString, 40);
  defs.Add("CODE", ftString, 20);
  defs.Add("DONE", ftBoolean);
}

std::unique_ptr<TRowsDataSet> Source(int count) {
  auto source = std::make_unique<TRowsDataSet>();
  DefineColumns(source->FieldDefs());
  source->SetRows(Rows(count).rows);
  return source;
}

std::unique_ptr<TMemTable> Loaded(int count) {
  auto source = Source(count);
  auto table = std::make_unique<TMemTable>();
  table->LoadFromSource(source.get(), mtloStructure | mtloProperties);
  return table;
}

void UseChineseCollation() { setenv("LC_ALL", "zh_CN.UTF-8", 1); }

void BM_LoadFromSource(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto source = Source(n);
  int64_t record_bytes = 0;
  for (auto _ : state) {
    TMemTable table;
    table.LoadFromSource(source.get(), mtloStructure | mtloProperties);
    benchmark::DoNotOptimize(table.RecordCount());
    record_bytes = table.Store().RecordSize();
    state.counters["record_bytes"] = static_cast<double>(record_bytes);
    state.counters["table_bytes"] = static_cast<double>(table.Store().MemoryUsage());
  }
  state.counters["limit_bytes"] = 1.5 * static_cast<double>(record_bytes) * n + 64.0 * 1024 * 1024;
}

void SortBy(benchmark::State& state, const char* field) {
  UseChineseCollation();
  auto table = Loaded(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    table->SortByFields("", 0);  // back to row order, so that every run sorts from the load order
    state.ResumeTiming();
    table->SortByFields(field, 0);
  }
}

void BM_SortByInteger(benchmark::State& state) { SortBy(state, "ID"); }
void BM_SortByFloat(benchmark::State& state) { SortBy(state, "AMOUNT"); }
void BM_SortByWideString(benchmark::State& state) { SortBy(state, "TITLE"); }

void BM_StdSortIntegerBaseline(benchmark::State& state) {
  const auto& keys = Rows(static_cast<int>(state.range(0))).integers;
  for (auto _ : state) {
    std::vector<int32_t> copy = keys;
    std::sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
}

void BM_StdSortWideStringBaseline(benchmark::State& state) {
  const auto& keys = Rows(static_cast<int>(state.range(0))).wide;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("zh_CN"), status));
  for (auto _ : state) {
    std::vector<const std::u16string*> copy;
    copy.reserve(keys.size());
    for (const auto& k : keys) copy.push_back(&k);
    std::sort(copy.begin(), copy.end(), [&](const std::u16string* a, const std::u16string* b) {
      UErrorCode s = U_ZERO_ERROR;
      return collator->compare(a->data(), static_cast<int32_t>(a->size()), b->data(),
                               static_cast<int32_t>(b->size()), s) == UCOL_LESS;
    });
    benchmark::DoNotOptimize(copy.data());
  }
}

void BM_RandomRowRead(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto table = Loaded(n);
  std::mt19937 random(7);
  TField* fields[7];
  for (int i = 0; i < 7; ++i) fields[i] = &table->Fields()[i];
  for (auto _ : state) {
    table->SetRecNo(1 + static_cast<int>(random() % static_cast<unsigned>(n)));
    for (TField* f : fields) benchmark::DoNotOptimize(f->AsVariant());
  }
}

void BM_EditPostSorted(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto table = Loaded(n);
  table->SortByFields("ID", 0);
  std::mt19937 random(11);
  TField& id = table->FieldByName("ID");
  for (auto _ : state) {
    table->SetRecNo(1 + static_cast<int>(random() % static_cast<unsigned>(n)));
    table->Edit();
    id.SetAsInteger(static_cast<int32_t>(random() % 1000000000));
    table->Post();
  }
}

void BM_TransferRecords(benchmark::State& state) {
  auto table = Loaded(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TMemTable copy;
    DefineColumns(copy.FieldDefs());
    copy.Open();
    table->First();
    benchmark::DoNotOptimize(table->TransferRecords(table.get(), &copy, -1, false, false));
  }
}

constexpr int kRows = 1000000;
BENCHMARK(BM_LoadFromSource)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByInteger)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByFloat)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByWideString)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdSortIntegerBaseline)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdSortWideStringBaseline)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RandomRowRead)->Arg(kRows)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_EditPostSorted)->Arg(10000)->Arg(kRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransferRecords)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vantor

BENCHMARK_MAIN();
