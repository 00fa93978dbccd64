// The record store and record comparison on their own: storing a million records, and sorting record
// references with CompareKeys, each beside a plain std::vector / std::sort baseline from the same run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "dataset/native.h"
#include "memtable/collation.h"
#include "memtable/field_list.h"
#include "memtable/locale_id.h"
#include "memtable/mem_common.h"
#include "memtable/mem_table.h"

namespace vantor {
namespace {

constexpr int kRows = 1000000;
constexpr char kLatin[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

struct PlainRow {
  int32_t id;
  std::string name;
};

std::vector<PlainRow> MakeRows(int count) {
  std::mt19937 random(20261208);
  std::vector<PlainRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string name;
    for (int k = 0; k < 12; ++k) name += kLatin[random() % (sizeof kLatin - 1)];
    rows.push_back({static_cast<int32_t>(random() % 1000000000), std::move(name)});
  }
  return rows;
}

const std::vector<PlainRow>& Rows() {
  static const std::vector<PlainRow> rows = MakeRows(kRows);
  return rows;
}

// A store over (Id ftInteger, Name ftString 20) holding the generated rows, and a field list per key.
struct StoredRows {
  TFieldDefs defs;
  TMemCommon store{nullptr};
  std::unique_ptr<TField> id = CreateFieldOfType(ftInteger, 0);
  std::unique_ptr<TField> name = CreateFieldOfType(ftString, 20);
  std::vector<TMemRecord*> records;

  explicit StoredRows(int count) {
    defs.Add("Id", ftInteger);
    defs.Add("Name", ftString, 20);
    store.ComputeLayout(defs, 0);
    id->SetFieldNo(1);
    name->SetFieldNo(2);
    const auto& rows = Rows();
    records.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) records.push_back(Store(rows[static_cast<size_t>(i)]));
  }

  TMemRecord* Store(const PlainRow& row) {
    TMemRecord* record = store.AllocateRecord();
    std::byte* id_entry = store.FieldPointer(record, 1);
    std::memcpy(id_entry + 1, &row.id, sizeof row.id);
    *id_entry = std::byte{kValuePresent};
    std::byte* name_entry = store.FieldPointer(record, 2);
    std::memcpy(name_entry + 1, row.name.c_str(), row.name.size() + 1);
    *name_entry = std::byte{kValuePresent};
    store.AppendRecord(record);
    return record;
  }

  TMemFieldList KeyList(TField* field) const {
    TMemFieldList list;
    list.Add(field, 0);
    list.FieldNo[0] = field->FieldNo();
    list.DataOffset[0] = store.FieldOffset(field->FieldNo());
    return list;
  }
};

void BM_VectorOfRowsBaseline(benchmark::State& state) {
  const auto& rows = Rows();
  for (auto _ : state) {
    std::vector<PlainRow> copy;
    for (int i = 0; i < state.range(0); ++i) copy.push_back(rows[static_cast<size_t>(i)]);
    benchmark::DoNotOptimize(copy.data());
  }
}

void BM_StoreAppend(benchmark::State& state) {
  Rows();
  for (auto _ : state) {
    StoredRows stored(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(stored.store.RecordCount());
    state.counters["record_bytes"] = stored.store.RecordSize();
  }
}

void BM_TableAppendRecord(benchmark::State& state) {
  const auto& rows = Rows();
  for (auto _ : state) {
    TMemTable table;
    table.FieldDefs().Add("Id", ftInteger);
    table.FieldDefs().Add("Name", ftString, 20);
    table.Open();
    table.DisableControls();
    for (int i = 0; i < state.range(0); ++i) {
      const PlainRow& row = rows[static_cast<size_t>(i)];
      table.AppendRecord({Value(row.id), Value(row.name)});
    }
    table.EnableControls();
    benchmark::DoNotOptimize(table.RecordCount());
  }
}

void BM_StdSortIntegersBaseline(benchmark::State& state) {
  const auto& rows = Rows();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<const PlainRow*> refs;
    for (int i = 0; i < state.range(0); ++i) refs.push_back(&rows[static_cast<size_t>(i)]);
    state.ResumeTiming();
    std::sort(refs.begin(), refs.end(), [](const PlainRow* a, const PlainRow* b) { return a->id < b->id; });
    benchmark::DoNotOptimize(refs.data());
  }
}

void SortByCompareKeys(benchmark::State& state, bool by_name) {
  StoredRows stored(static_cast<int>(state.range(0)));
  const TMemFieldList list = stored.KeyList(by_name ? stored.name.get() : stored.id.get());
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<TMemRecord*> refs = stored.records;
    state.ResumeTiming();
    std::sort(refs.begin(), refs.end(), [&](const TMemRecord* a, const TMemRecord* b) {
      return stored.store.CompareKeys(list, a, b, false, true) < 0;
    });
    benchmark::DoNotOptimize(refs.data());
  }
}

void BM_SortByCompareKeysInteger(benchmark::State& state) { SortByCompareKeys(state, false); }
void BM_SortByCompareKeysText(benchmark::State& state) { SortByCompareKeys(state, true); }

void BM_StdSortTextCollatedBaseline(benchmark::State& state) {
  const auto& rows = Rows();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<const PlainRow*> refs;
    for (int i = 0; i < state.range(0); ++i) refs.push_back(&rows[static_cast<size_t>(i)]);
    state.ResumeTiming();
    std::sort(refs.begin(), refs.end(), [](const PlainRow* a, const PlainRow* b) {
      return CompareTextUtf8(kUserDefaultLocaleId, false, a->name, b->name) < 0;
    });
    benchmark::DoNotOptimize(refs.data());
  }
}

BENCHMARK(BM_VectorOfRowsBaseline)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreAppend)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TableAppendRecord)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdSortIntegersBaseline)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByCompareKeysInteger)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdSortTextCollatedBaseline)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByCompareKeysText)->Arg(kRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vantor

BENCHMARK_MAIN();
