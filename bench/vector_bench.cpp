// Vector benchmarks against plain anchors: the checksum against zlib's crc32 over the same
// bytes, moments against a plain loop, order statistics against std::nth_element.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "qmx/vector.h"

#if __has_include(<zlib.h>)
#include <zlib.h>
#define QMX_HAVE_ZLIB 1
#endif

namespace {

constexpr int32_t kCrcElems = 8 * 1024 * 1024;  // 64 MiB of doubles
constexpr int32_t kStatElems = 1000000;

qmx::TVector& RandomVector(int32_t n) {
  static qmx::TVector crcVec, statVec;
  qmx::TVector& v = n == kCrcElems ? crcVec : statVec;
  if (v.NrOfElem() != n) {
    qmx::RandSeed(42);
    v.Resize(n);
    v.FillRandomUniform(-1000, 1000);
  }
  return v;
}

void BM_CRCofData(benchmark::State& st) {
  auto& v = RandomVector(kCrcElems);
  for (auto _ : st) benchmark::DoNotOptimize(v.CRCofData());
  st.SetBytesProcessed(int64_t(st.iterations()) * kCrcElems * 8);
}
BENCHMARK(BM_CRCofData)->Unit(benchmark::kMillisecond);

#ifdef QMX_HAVE_ZLIB
void BM_Anchor_zlib_crc32(benchmark::State& st) {
  auto& v = RandomVector(kCrcElems);
  const auto* bytes = reinterpret_cast<const Bytef*>(v.Data().data());
  for (auto _ : st) benchmark::DoNotOptimize(crc32(0L, bytes, static_cast<uInt>(kCrcElems) * 8u));
  st.SetBytesProcessed(int64_t(st.iterations()) * kCrcElems * 8);
}
BENCHMARK(BM_Anchor_zlib_crc32)->Unit(benchmark::kMillisecond);
#endif

void BM_MeanVar(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  double m, var;
  for (auto _ : st) {
    v.MeanVar(0, 0, m, var);
    benchmark::DoNotOptimize(m);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(BM_MeanVar)->Unit(benchmark::kMicrosecond);

// The same work as a plain loop: sum and sum of squares, then the two formulas.
void BM_Anchor_MeanVarLoop(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  const double* x = v.Data().data();
  for (auto _ : st) {
    double s = 0, q = 0;
    for (int32_t i = 0; i < kStatElems; ++i) {
      s += x[i];
      q += x[i] * x[i];
    }
    double m = s / kStatElems, var = (q - s * s / kStatElems) / (kStatElems - 1);
    benchmark::DoNotOptimize(m);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(BM_Anchor_MeanVarLoop)->Unit(benchmark::kMicrosecond);

void BM_Percentile(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  for (auto _ : st) benchmark::DoNotOptimize(v.Percentile(37.5, 0, 0));
}
BENCHMARK(BM_Percentile)->Unit(benchmark::kMicrosecond);

// Copy, select x(k+1), take the least of the rest for x(k+2), interpolate.
void BM_Anchor_PercentileNthElement(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  std::vector<double> w;
  for (auto _ : st) {
    w.assign(v.Data().begin(), v.Data().end());
    const double p = 37.5 * (kStatElems - 1) / 100.0;
    const auto k = static_cast<std::size_t>(p);
    std::nth_element(w.begin(), w.begin() + k, w.end());
    const double a = w[k], b = *std::min_element(w.begin() + k + 1, w.end());
    benchmark::DoNotOptimize(a + (p - k) * (b - a));
  }
}
BENCHMARK(BM_Anchor_PercentileNthElement)->Unit(benchmark::kMicrosecond);

void BM_Quartiles(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  double q1, q2, q3;
  for (auto _ : st) {
    v.Quartiles(0, 0, q1, q2, q3);
    benchmark::DoNotOptimize(q1 + q2 + q3);
  }
}
BENCHMARK(BM_Quartiles)->Unit(benchmark::kMicrosecond);

void BM_Anchor_QuartilesNthElement(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  std::vector<double> w;
  for (auto _ : st) {
    w.assign(v.Data().begin(), v.Data().end());
    double q[3];
    for (int j = 0; j < 3; ++j) {
      const double p = (kStatElems + 1.0) * 0.25 * (j + 1);
      const auto k = static_cast<std::size_t>(p);  // 1-based x(k)
      std::nth_element(w.begin(), w.begin() + (k - 1), w.end());
      const double a = w[k - 1], b = *std::min_element(w.begin() + k, w.end());
      q[j] = a + (p - k) * (b - a);
    }
    benchmark::DoNotOptimize(q[0] + q[1] + q[2]);
  }
}
BENCHMARK(BM_Anchor_QuartilesNthElement)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
