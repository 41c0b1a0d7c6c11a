// Array sorting and selection against their standard-library anchors, side by side in one run,
// at sizes in and out of the caches: qmx_<Op>/<n> against std_<Op>/<n> (bench/report.py).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <vector>

#include "bench_util.h"
#include "qmx/math1.h"

namespace {

const std::vector<double>& RandomDoubles(std::size_t n) {
  static std::map<std::size_t, std::vector<double>> cache;
  auto& v = cache[n];
  if (v.size() != n) {
    std::mt19937_64 g(12345);
    std::uniform_real_distribution<double> d(-1.0e3, 1.0e3);
    v.resize(n);
    for (double& x : v) x = d(g);
  }
  return v;
}

const std::vector<float>& RandomFloats(std::size_t n) {
  static std::map<std::size_t, std::vector<float>> cache;
  auto& v = cache[n];
  if (v.size() != n) {
    const auto& d = RandomDoubles(n);
    v.assign(d.begin(), d.end());
  }
  return v;
}

const std::vector<int32_t>& RandomInts(std::size_t n) {
  static std::map<std::size_t, std::vector<int32_t>> cache;
  auto& v = cache[n];
  if (v.size() != n) {
    std::mt19937 g(777);
    v.resize(n);
    for (int32_t& x : v) x = static_cast<int32_t>(g());
  }
  return v;
}

// The copy of the unsorted input is made with the timer paused, for qmx and anchor alike.
template <class T, class Sorter>
void RunSort(benchmark::State& state, const std::vector<T>& src, Sorter sort) {
  std::vector<T> v(src.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(src.begin(), src.end(), v.begin());
    state.ResumeTiming();
    sort(v);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}

std::size_t N(const benchmark::State& st) { return static_cast<std::size_t>(st.range(0)); }

void qmx_SortDouble(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)), [](std::vector<double>& v) { qmx::SortArray(v, true); });
}
void std_SortDouble(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)), [](std::vector<double>& v) { std::sort(v.begin(), v.end()); });
}
void qmx_SortDoubleDescending(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)), [](std::vector<double>& v) { qmx::SortArray(v, false); });
}
void std_SortDoubleDescending(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)),
          [](std::vector<double>& v) { std::sort(v.begin(), v.end(), std::greater<double>()); });
}
void qmx_SortSingle(benchmark::State& st) {
  RunSort(st, RandomFloats(N(st)), [](std::vector<float>& v) { qmx::SortArray(v, true); });
}
void std_SortSingle(benchmark::State& st) {
  RunSort(st, RandomFloats(N(st)), [](std::vector<float>& v) { std::sort(v.begin(), v.end()); });
}
void qmx_SortInt(benchmark::State& st) {
  RunSort(st, RandomInts(N(st)), [](std::vector<int32_t>& v) { qmx::SortArray(v, true); });
}
void std_SortInt(benchmark::State& st) {
  RunSort(st, RandomInts(N(st)), [](std::vector<int32_t>& v) { std::sort(v.begin(), v.end()); });
}

void qmx_SelectMedian(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)), [](std::vector<double>& v) {
    const auto n = static_cast<int32_t>(v.size());
    benchmark::DoNotOptimize(qmx::QuickSelect(v, n / 2, 0, n - 1));
  });
}
void std_SelectMedian(benchmark::State& st) {
  RunSort(st, RandomDoubles(N(st)), [](std::vector<double>& v) {
    auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    benchmark::DoNotOptimize(*mid);
  });
}

void SortSizes(benchmark::internal::Benchmark* b) {
  for (int n : {100000, 1000000, 8000000}) b->Arg(n);
}
void SelectSizes(benchmark::internal::Benchmark* b) {
  for (int n : {100000, 1000000, 10000000}) b->Arg(n);
}

}  // namespace

BENCHMARK(qmx_SortDouble)->Apply(SortSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(std_SortDouble)->Apply(SortSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SortDoubleDescending)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(std_SortDoubleDescending)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SortSingle)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(std_SortSingle)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SortInt)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(std_SortInt)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SelectMedian)->Apply(SelectSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(std_SelectMedian)->Apply(SelectSizes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
