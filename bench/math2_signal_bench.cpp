// Filters and smoothing of 1e6 samples against plain loops computing the same sums: the
// 101-tap kernel filter, the 6-pole zero-phase Chebyshev filter, the 25-point polynomial
// smoothing. The plain loops get their input padded the same way the library pads it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace {

constexpr int32_t kN = 1000000;

qmx::TVector& Signal() {
  static qmx::TVector v;
  if (v.NrOfElem() != kN) {
    qmx::RandSeed(3);
    v.Resize(kN);
    v.FillRandomUniform(-1, 1);
  }
  return v;
}

void BM_MovingKernelFilter_101(benchmark::State& st) {
  auto& s = Signal();
  qmx::TVector k, d;
  qmx::CalcSincLPKernel(101, 0.1, qmx::kSincWindowBlackman, &k);
  for (auto _ : st) {
    qmx::MovingKernelFilter(&s, 1, kN, &d, &k);
    benchmark::DoNotOptimize(d.Data()[5]);
  }
}
BENCHMARK(BM_MovingKernelFilter_101)->Unit(benchmark::kMillisecond);

void BM_Anchor_PlainKernelLoop_101(benchmark::State& st) {
  auto x = Signal().Data();
  qmx::TDoubleArray k;
  qmx::CalcSincLPKernel(101, 0.1, qmx::kSincWindowBlackman, k);
  const int L = 101, c = L / 2;
  std::vector<double> out(kN), xp(kN + L - 1);
  for (auto _ : st) {
    for (int i = 0; i < kN + L - 1; ++i) xp[i] = x[std::clamp(i - c, 0, kN - 1)];
    for (int b = 0; b < kN; ++b) {
      double a = 0.0;
      for (int e = 0; e < L; ++e) a += k[e] * xp[b + e];
      out[b] = a;
    }
    benchmark::DoNotOptimize(out[5]);
  }
}
BENCHMARK(BM_Anchor_PlainKernelLoop_101)->Unit(benchmark::kMillisecond);

void BM_ChebychevFilter_6(benchmark::State& st) {
  auto& s = Signal();
  qmx::TVector d;
  d.Resize(kN);
  qmx::TMatrix C;
  double a0;
  qmx::CalcChebFilterCoeffs(6, false, 0.1, 0.5, a0, &C);
  for (auto _ : st) {
    qmx::ChebychevFilter(&s, 1, kN, &d, a0, &C);
    benchmark::DoNotOptimize(d.Data()[5]);
  }
}
BENCHMARK(BM_ChebychevFilter_6)->Unit(benchmark::kMillisecond);

void BM_Anchor_PlainRecursion_6(benchmark::State& st) {
  auto x = Signal().Data();
  qmx::TMatrix C;
  double a0;
  qmx::CalcChebFilterCoeffs(6, false, 0.1, 0.5, a0, &C);
  const int np = 6, P = np + 1, T = kN + 2 * P;
  double a[7], b[7];
  for (int r = 1; r <= np; ++r) {
    a[r] = C.Elem(1, r);
    b[r] = C.Elem(2, r);
  }
  std::vector<double> xp(T + 2 * np + 2), y(T + 2 * np + 2), z(T + 2 * np + 2), out(kN);
  for (auto _ : st) {
    // xp[i + np] = x at position i - P (1-based), zero outside.
    std::fill(xp.begin(), xp.end(), 0.0);
    std::copy(x.begin(), x.end(), xp.begin() + np + P + 1);
    std::fill(y.begin(), y.end(), 0.0);
    std::fill(z.begin(), z.end(), 0.0);
    for (int i = 1; i <= T; ++i) {
      double s = a0 * xp[np + i];
      for (int r = 1; r <= np; ++r) s += a[r] * xp[np + i - r] + b[r] * y[np + i - r];
      y[np + i] = s;
    }
    for (int i = T; i >= 1; --i) {
      double s = a0 * y[np + i];
      for (int r = 1; r <= np; ++r) s += a[r] * y[np + i + r] + b[r] * z[i + r];
      z[i] = s;
    }
    for (int j = 1; j <= kN; ++j) out[j - 1] = z[j + P];
    benchmark::DoNotOptimize(out[5]);
  }
}
BENCHMARK(BM_Anchor_PlainRecursion_6)->Unit(benchmark::kMillisecond);

void BM_PolynomialSmooth_25(benchmark::State& st) {
  auto& s = Signal();
  qmx::TVector d;
  d.Resize(kN);
  for (auto _ : st) {
    qmx::PolynomialSmooth(&s, 1, kN, &d, 25);
    benchmark::DoNotOptimize(d.Data()[5]);
  }
}
BENCHMARK(BM_PolynomialSmooth_25)->Unit(benchmark::kMillisecond);

void BM_Anchor_PlainWindowLoop_25(benchmark::State& st) {
  auto x = Signal().Data();
  const auto& row = qmx::GolayPoly[10];
  const int m = 12;
  double w[13];
  for (int i = 0; i <= m; ++i) w[i] = row[1 + i];
  const double N = row[0];
  std::vector<double> out(kN);
  for (auto _ : st) {
    for (int j = m; j < kN - m; ++j) {
      double a = w[0] * x[j];
      for (int i = 1; i <= m; ++i) a += w[i] * (x[j + i] + x[j - i]);
      out[j] = a / N;
    }
    std::fill(out.begin(), out.begin() + m, out[m]);
    std::fill(out.end() - m, out.end(), out[kN - m - 1]);
    benchmark::DoNotOptimize(out[5]);
  }
}
BENCHMARK(BM_Anchor_PlainWindowLoop_25)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
