// TDataTable operations against their anchors (single-threaded, same compiler flags). Pairs run on
// the same data; the ratio qmx / anchor is recorded in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "qmx/datatable.h"

namespace {

constexpr int32_t kCols = 10, kRows = 1000000;

std::string CsvPath() { return "/tmp/qmx_datatable_bench.csv"; }

// The 1e6 x 10 numeric file (about 100 MB), written once per run by the table itself.
const std::string& CsvFile() {
  static const std::string path = [] {
    qmx::TDataTable t;
    t.Resize(kCols, kRows);
    std::mt19937_64 g(1);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    double* d = t.NumericData->Data();
    for (std::size_t i = 0; i < std::size_t(kCols) * kRows; ++i) d[i] = u(g);
    t.ExportAsCSV(CsvPath(), -1, qmx::csvComma, false, false);
    return CsvPath();
  }();
  return path;
}

// Peak resident memory above the level at the start, in MB (Linux: the high-water mark is reset
// through clear_refs).
struct PeakMemory {
  long base = 0;
  static long Read(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return 0;
  }
  PeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    base = Read("VmRSS:");
  }
  double MB() const { return double(Read("VmHWM:") - base) / 1024.0; }
};

void qmx_ImportFromCSV(benchmark::State& st) {
  const std::string& p = CsvFile();
  double peak = 0;
  for (auto _ : st) {
    st.PauseTiming();
    auto t = std::make_unique<qmx::TDataTable>();
    PeakMemory pm;
    st.ResumeTiming();
    benchmark::DoNotOptimize(t->ImportFromCSV(p, qmx::csvComma, false, false));
    st.PauseTiming();
    peak = pm.MB();
    t.reset();
    st.ResumeTiming();
  }
  st.counters["peak_MB"] = peak;
  st.counters["table_MB"] = double(kCols) * kRows * 9 / 1048576.0 + kRows * 32 / 1048576.0;
}
BENCHMARK(qmx_ImportFromCSV)->Unit(benchmark::kMillisecond)->Iterations(3);

// The anchor: the whole file into memory, split on commas and line ends, std::from_chars per field.
void plain_CSVLoop(benchmark::State& st) {
  const std::string& p = CsvFile();
  for (auto _ : st) {
    std::string text;
    {
      std::FILE* f = std::fopen(p.c_str(), "rb");
      std::fseek(f, 0, SEEK_END);
      text.resize(static_cast<std::size_t>(std::ftell(f)));
      std::rewind(f);
      benchmark::DoNotOptimize(std::fread(text.data(), 1, text.size(), f));
      std::fclose(f);
    }
    std::vector<double> v;
    v.reserve(std::size_t(kCols) * kRows);
    const char* s = text.data();
    const char* e = s + text.size();
    while (s < e) {
      const char* q = s;
      while (q < e && *q != ',' && *q != '\n') ++q;
      double x = 0;
      std::from_chars(s, q, x);
      v.push_back(x);
      s = q + 1;
    }
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(plain_CSVLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

qmx::TDataTable& BigTable() {
  static qmx::TDataTable* t = [] {
    auto* tab = new qmx::TDataTable();
    tab->ImportFromCSV(CsvFile(), qmx::csvComma, false, false);
    return tab;
  }();
  return *t;
}

void qmx_ExportAsCSV(benchmark::State& st) {
  qmx::TDataTable& t = BigTable();
  for (auto _ : st) benchmark::DoNotOptimize(t.ExportAsCSV("/tmp/qmx_datatable_bench_out.csv", -1, qmx::csvComma, false, false));
}
BENCHMARK(qmx_ExportAsCSV)->Unit(benchmark::kMillisecond)->Iterations(3);

// The anchor: std::to_chars of every value row by row into a buffer, written in 1 MB slices.
void plain_ToCharsLoop(benchmark::State& st) {
  qmx::TDataTable& t = BigTable();
  const qmx::TMatrix& m = *t.NumericData;
  for (auto _ : st) {
    std::FILE* f = std::fopen("/tmp/qmx_datatable_bench_out.csv", "wb");
    std::string out;
    char buf[64];
    for (int32_t r = 1; r <= kRows; ++r) {
      for (int32_t c = 1; c <= kCols; ++c) {
        if (c > 1) out += ',';
        auto res = std::to_chars(buf, buf + sizeof buf, m.Cell(c, r));
        out.append(buf, res.ptr);
      }
      out += '\n';
      if (out.size() >= (1u << 20)) {
        std::fwrite(out.data(), 1, out.size(), f);
        out.clear();
      }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
  }
}
BENCHMARK(plain_ToCharsLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- statistics over 1000 x 1000 cells -----------------------------------------------------------

qmx::TDataTable& StatTable() {
  static qmx::TDataTable* t = [] {
    auto* tab = new qmx::TDataTable();
    tab->Resize(1000, 1000);
    std::mt19937_64 g(2);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double* d = tab->NumericData->Data();
    for (std::size_t i = 0; i < 1000000; ++i) d[i] = u(g);
    return tab;
  }();
  return *t;
}

void qmx_MeanVarOfNumCells(benchmark::State& st) {
  auto& t = StatTable();
  double m, v;
  for (auto _ : st) {
    benchmark::DoNotOptimize(t.MeanVarOfNumCells(0, 0, 0, 0, m, v));
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(qmx_MeanVarOfNumCells)->Unit(benchmark::kMicrosecond);

void anchor_TMatrixMeanVar(benchmark::State& st) {
  auto& t = StatTable();
  double m, v;
  for (auto _ : st) {
    t.NumericData->MeanVar(0, 0, 0, 0, m, v);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(anchor_TMatrixMeanVar)->Unit(benchmark::kMicrosecond);

void qmx_PercentileOfNumCells(benchmark::State& st) {
  auto& t = StatTable();
  int32_t n;
  for (auto _ : st) benchmark::DoNotOptimize(t.PercentileOfNumCells(37.5, 0, 0, 0, 0, n));
}
BENCHMARK(qmx_PercentileOfNumCells)->Unit(benchmark::kMillisecond);

void anchor_TMatrixPercentile(benchmark::State& st) {
  auto& t = StatTable();
  for (auto _ : st) benchmark::DoNotOptimize(t.NumericData->Percentile(37.5, 0, 0, 0, 0));
}
BENCHMARK(anchor_TMatrixPercentile)->Unit(benchmark::kMillisecond);

// ---- SortRows by one column, 1e5 x 10 cells, headers included ---------------------------------

void FillSortData(qmx::TMatrix& m) {
  m.Resize(10, 100000);
  std::mt19937_64 g(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double* d = m.Data();
  for (std::size_t i = 0; i < 1000000; ++i) d[i] = u(g);
}

void qmx_SortRowsIncludeHeaders(benchmark::State& st) {
  qmx::TDataTable t;
  qmx::TMatrix src;
  FillSortData(src);
  for (auto _ : st) {
    st.PauseTiming();
    t.Resize(10, 100000);
    std::copy(src.Data(), src.Data() + 1000000, t.NumericData->Data());
    st.ResumeTiming();
    t.SortRows(1, true, 0, 0, 0, 0, true);
  }
}
BENCHMARK(qmx_SortRowsIncludeHeaders)->Unit(benchmark::kMillisecond);

void anchor_TMatrixSortRows(benchmark::State& st) {
  qmx::TMatrix m, src;
  FillSortData(src);
  for (auto _ : st) {
    st.PauseTiming();
    m.Resize(10, 100000);
    std::copy(src.Data(), src.Data() + 1000000, m.Data());
    st.ResumeTiming();
    m.SortRows(1, true, 0, 0, 0, 0);
  }
}
BENCHMARK(anchor_TMatrixSortRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
