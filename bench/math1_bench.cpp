// Array sorting and selection against their standard-library anchors, and the scalar functions
// (primes, table interpolation, number texts) against plain or C-runtime anchors, side by side in
// one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
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

namespace {

// ---- scalar functions -----------------------------------------------------------------------

constexpr int32_t kTop = 2147483647;
constexpr int32_t kCount = 100000;  // the integers kTop - kCount + 1 .. kTop

// Anchor: the literal algorithm, trial division by every integer up to the root.
bool PlainIsPrime(int32_t n) {
  const int64_t a = n < 0 ? -int64_t{n} : n;
  for (int64_t d = 2; d * d <= a; ++d)
    if (a % d == 0) return false;
  return true;
}

void BM_IsPrime_Top1e5(benchmark::State& st) {
  for (auto _ : st)
    for (int32_t n = kTop - kCount + 1; n > 0 && n <= kTop; ++n) {
      benchmark::DoNotOptimize(qmx::IsPrime(n));
      if (n == kTop) break;
    }
  st.SetItemsProcessed(st.iterations() * kCount);
}

void BM_PlainTrialDivision_Top1e5(benchmark::State& st) {
  for (auto _ : st)
    for (int32_t n = kTop - kCount + 1; n > 0; ++n) {
      benchmark::DoNotOptimize(PlainIsPrime(n));
      if (n == kTop) break;
    }
  st.SetItemsProcessed(st.iterations() * kCount);
}

// Anchor: the literal walk over the prime table up to trunc(sqrt(n)) of the given n.
void PlainFactors(int32_t n, std::vector<int32_t>& f) {
  f.clear();
  if (n <= 1) return;
  const auto limit = static_cast<int32_t>(std::sqrt(static_cast<double>(n)));
  for (int32_t i = 1; i <= 4792; ++i) {
    const int32_t p = qmx::ListOfPrimes(i);
    if (p > limit) break;
    while (n % p == 0) {
      f.push_back(p);
      n /= p;
    }
  }
  if (n > 1) f.push_back(n);
}

void BM_FindPrimeFactors_Top1e5(benchmark::State& st) {
  qmx::TIntArray f;
  for (auto _ : st)
    for (int32_t n = kTop - kCount + 1; n > 0; ++n) {
      qmx::FindPrimeFactors(n, f);
      benchmark::DoNotOptimize(f.data());
      if (n == kTop) break;
    }
  st.SetItemsProcessed(st.iterations() * kCount);
}

void BM_PlainPrimeTableWalk_Top1e5(benchmark::State& st) {
  std::vector<int32_t> f;
  for (auto _ : st)
    for (int32_t n = kTop - kCount + 1; n > 0; ++n) {
      PlainFactors(n, f);
      benchmark::DoNotOptimize(f.data());
      if (n == kTop) break;
    }
  st.SetItemsProcessed(st.iterations() * kCount);
}

void BM_InterpolTable_1e4(benchmark::State& st) {
  qmx::TDoubleArray table(10000);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = std::sin(0.001 * static_cast<double>(i));
  const auto& xs = RandomDoubles();  // positions -1000 .. 1000 over a table from -900 to 900
  std::size_t k = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(qmx::InterpolTable(xs[k], -900.0, 900.0, table));
    if (++k == 4096) k = 0;
  }
  st.SetItemsProcessed(st.iterations());
}

void BM_strf_Scientific(benchmark::State& st) {
  const auto& xs = RandomDoubles();
  std::size_t k = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(qmx::strf(xs[k], 16, -1));
    if (++k == 4096) k = 0;
  }
  st.SetItemsProcessed(st.iterations());
}

void BM_MakeEFormat(benchmark::State& st) {
  const auto& xs = RandomDoubles();
  std::size_t k = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(qmx::MakeEFormat(xs[k], 16, 8));
    if (++k == 4096) k = 0;
  }
  st.SetItemsProcessed(st.iterations());
}

// Anchor: the C runtime's scientific layout of the same width and digits, as a std::string.
void BM_snprintf_Scientific(benchmark::State& st) {
  const auto& xs = RandomDoubles();
  std::size_t k = 0;
  for (auto _ : st) {
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%16.7E", xs[k]);
    std::string s(buf, static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(s.data());
    if (++k == 4096) k = 0;
  }
  st.SetItemsProcessed(st.iterations());
}

}  // namespace

BENCHMARK(BM_IsPrime_Top1e5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTrialDivision_Top1e5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindPrimeFactors_Top1e5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPrimeTableWalk_Top1e5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpolTable_1e4);
BENCHMARK(BM_strf_Scientific);
BENCHMARK(BM_MakeEFormat);
BENCHMARK(BM_snprintf_Scientific);

BENCHMARK_MAIN();
