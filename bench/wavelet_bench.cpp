// TWavelet1D.Transform (order 2, full depth, wrap-around) on 2^20 samples against the anchor
// library's forward transform with its 4-coefficient Daubechies wavelet in double. Both copy
// their input in inside the timed loop (both transform in place).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "qmx/wavelet.h"

#ifdef QMX_HAVE_GSL
#include <gsl/gsl_wavelet.h>
#endif

namespace {

constexpr int kN = 1 << 20;

const std::vector<double>& Input() {
  static std::vector<double> v;
  if (v.empty()) {
    std::mt19937_64 g(9);
    std::uniform_real_distribution<double> u(-1, 1);
    v.resize(kN);
    for (double& x : v) x = u(g);
  }
  return v;
}

void BM_Wavelet1D_Transform_D4(benchmark::State& st) {
  const auto& in = Input();
  qmx::TWavelet1D W;
  W.SetNumData(kN);
  W.SetOrder(2);
  W.SetSigExtMode(qmx::wseWrap);
  auto s = W.Samples();
  for (auto _ : st) {
    std::copy(in.begin(), in.end(), s.begin());
    W.Transform(20);
    benchmark::DoNotOptimize(s[1]);
  }
}
BENCHMARK(BM_Wavelet1D_Transform_D4)->Unit(benchmark::kMillisecond);

#ifdef QMX_HAVE_GSL
void BM_Anchor_GSL_Daubechies4(benchmark::State& st) {
  const auto& in = Input();
  std::vector<double> d(kN);
  gsl_wavelet* w = gsl_wavelet_alloc(gsl_wavelet_daubechies, 4);
  gsl_wavelet_workspace* ws = gsl_wavelet_workspace_alloc(kN);
  for (auto _ : st) {
    std::copy(in.begin(), in.end(), d.begin());
    gsl_wavelet_transform_forward(w, d.data(), 1, kN, ws);
    benchmark::DoNotOptimize(d[1]);
  }
  gsl_wavelet_workspace_free(ws);
  gsl_wavelet_free(w);
}
BENCHMARK(BM_Anchor_GSL_Daubechies4)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
