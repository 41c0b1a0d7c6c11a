// Array sorting and selection against their standard-library anchors, side by side in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "qmx/math1.h"

namespace {

constexpr std::size_t kN = 1000000;

const std::vector<double>& RandomDoubles() {
  static const std::vector<double> data = [] {
    std::mt19937_64 g(12345);
    std::uniform_real_distribution<double> d(-1.0e3, 1.0e3);
    std::vector<double> v(kN);
    for (double& x : v) x = d(g);
    return v;
  }();
  return data;
}

const std::vector<float>& RandomFloats() {
  static const std::vector<float> data = [] {
    std::vector<float> v(kN);
    const auto& d = RandomDoubles();
    for (std::size_t i = 0; i < kN; ++i) v[i] = static_cast<float>(d[i]);
    return v;
  }();
  return data;
}

const std::vector<int32_t>& RandomInts() {
  static const std::vector<int32_t> data = [] {
    std::mt19937 g(777);
    std::vector<int32_t> v(kN);
    for (int32_t& x : v) x = static_cast<int32_t>(g());
    return v;
  }();
  return data;
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

void BM_SortArray_Double(benchmark::State& state) {
  RunSort(state, RandomDoubles(), [](std::vector<double>& v) { qmx::SortArray(v, true); });
}
void BM_StdSort_Double(benchmark::State& state) {
  RunSort(state, RandomDoubles(), [](std::vector<double>& v) { std::sort(v.begin(), v.end()); });
}
void BM_SortArray_DoubleDescending(benchmark::State& state) {
  RunSort(state, RandomDoubles(), [](std::vector<double>& v) { qmx::SortArray(v, false); });
}
void BM_SortArray_Single(benchmark::State& state) {
  RunSort(state, RandomFloats(), [](std::vector<float>& v) { qmx::SortArray(v, true); });
}
void BM_StdSort_Single(benchmark::State& state) {
  RunSort(state, RandomFloats(), [](std::vector<float>& v) { std::sort(v.begin(), v.end()); });
}
void BM_SortArray_Int(benchmark::State& state) {
  RunSort(state, RandomInts(), [](std::vector<int32_t>& v) { qmx::SortArray(v, true); });
}
void BM_StdSort_Int(benchmark::State& state) {
  RunSort(state, RandomInts(), [](std::vector<int32_t>& v) { std::sort(v.begin(), v.end()); });
}

void BM_QuickSelect_Median(benchmark::State& state) {
  RunSort(state, RandomDoubles(), [](std::vector<double>& v) {
    const auto n = static_cast<int32_t>(v.size());
    benchmark::DoNotOptimize(qmx::QuickSelect(v, n / 2, 0, n - 1));
  });
}
void BM_StdNthElement_Median(benchmark::State& state) {
  RunSort(state, RandomDoubles(), [](std::vector<double>& v) {
    auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    benchmark::DoNotOptimize(*mid);
  });
}

}  // namespace

BENCHMARK(BM_SortArray_Double)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort_Double)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortArray_DoubleDescending)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortArray_Single)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort_Single)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortArray_Int)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort_Int)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSelect_Median)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdNthElement_Median)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
