// TFastFourier.Transform (rectangle window) against an out-of-place complex transform of the
// anchor library planned with FFTW_MEASURE, single-threaded. The qmx side copies the input
// into the samples inside the timed loop (the transform works in place); the anchor reads its
// input array and writes a separate output array.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "qmx/fourier.h"

#ifdef QMX_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

const std::vector<double>& Input(int n) {
  static std::vector<double> v;
  if (v.size() < 2 * static_cast<std::size_t>(n)) {
    std::mt19937_64 g(5);
    std::uniform_real_distribution<double> u(-1, 1);
    v.resize(2 * static_cast<std::size_t>(n));
    for (double& x : v) x = u(g);
  }
  return v;
}

void BM_FastFourier_Transform(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  const auto& in = Input(n);
  qmx::TFastFourier F;
  F.SetNumData(n);
  F.SetWgtWin(qmx::fwRectangle);
  for (auto _ : st) {
    std::memcpy(F.Samples(), in.data(), 16 * static_cast<std::size_t>(n));
    F.Transform();
    benchmark::DoNotOptimize(F.Samples()[2]);
  }
}
BENCHMARK(BM_FastFourier_Transform)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

#ifdef QMX_HAVE_FFTW
void BM_Anchor_FFTW_Measure(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  const auto& in = Input(n);
  auto* a = fftw_alloc_complex(static_cast<std::size_t>(n));
  auto* b = fftw_alloc_complex(static_cast<std::size_t>(n));
  // FFTW_BACKWARD uses the e^{+i} exponent, the same sign as Transform.
  fftw_plan p = fftw_plan_dft_1d(n, a, b, FFTW_BACKWARD, FFTW_MEASURE);
  std::memcpy(a, in.data(), 16 * static_cast<std::size_t>(n));
  for (auto _ : st) {
    fftw_execute(p);
    benchmark::DoNotOptimize(b[1][0]);
  }
  fftw_destroy_plan(p);
  fftw_free(a);
  fftw_free(b);
}
BENCHMARK(BM_Anchor_FFTW_Measure)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();
