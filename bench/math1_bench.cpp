// Array sorting and selection against their standard-library anchors, at sizes in and out of
// the caches (qmx_<Op>/<n> against std_<Op>/<n>, bench/report.py), and the scalar functions
// (primes, table interpolation, number texts) against plain or C-runtime anchors, side by side in
// one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <random>
#include <vector>

#include "bench_util.h"
#include "qmx/math1.h"

namespace {

const std::vector<double>& RandomDoubles(std::size_t n = 1000000) {
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
