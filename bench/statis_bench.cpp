// Distribution quantiles against Boost.Math's, the kernel density estimate and the Grubbs and
// variance-analysis sums against plain loops of the same sums, and the cost of the exact
// Kolmogorov-Smirnov p-value and of Shapiro-Wilk. Ratios go to docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <random>
#include <vector>

#include "bench_util.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace {

// Probabilities from the far lower tail to the far upper tail.
const std::vector<double> kP = {1e-100, 1e-10, 1e-3, 0.025, 0.2, 0.5, 0.8, 0.975, 0.999,
                                1 - 1e-9};
// Boost's F quantile raises an underflow error at 1e-100 for some degrees of freedom.
const std::vector<double> kPF = {1e-12, 1e-10, 1e-3, 0.025, 0.2, 0.5, 0.8, 0.975, 0.999,
                                 1 - 1e-9};

// ---- quantiles: one benchmark per degrees of freedom, each iteration runs the whole p grid ----

void qmx_tQuantile(benchmark::State& st) {
  const int df = int(st.range(0));
  for (auto _ : st)
    for (double p : kP) benchmark::DoNotOptimize(qmx::tDistriQuantile(p, df));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kP.size()));
}
void boost_tQuantile(benchmark::State& st) {
  const boost::math::students_t d(double(st.range(0)));
  for (auto _ : st)
    for (double p : kP) benchmark::DoNotOptimize(boost::math::quantile(d, p));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kP.size()));
}

void qmx_chi2Quantile(benchmark::State& st) {
  const int df = int(st.range(0));
  for (auto _ : st)
    for (double p : kP) benchmark::DoNotOptimize(qmx::chi2DistriQuantile(p, df));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kP.size()));
}
void boost_chi2Quantile(benchmark::State& st) {
  const boost::math::chi_squared d(double(st.range(0)));
  for (auto _ : st)
    for (double p : kP) benchmark::DoNotOptimize(boost::math::quantile(d, p));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kP.size()));
}

void qmx_FQuantile(benchmark::State& st) {
  const int d1 = int(st.range(0)), d2 = int(st.range(1));
  for (auto _ : st)
    for (double p : kPF) benchmark::DoNotOptimize(qmx::FDistriQuantile(p, d1, d2));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kP.size()));
}
void boost_FQuantile(benchmark::State& st) {
  const boost::math::fisher_f d(double(st.range(0)), double(st.range(1)));
  for (auto _ : st)
    for (double p : kPF) benchmark::DoNotOptimize(boost::math::quantile(d, p));
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(kPF.size()));
}

#define DF_GRID Arg(1)->Arg(3)->Arg(10)->Arg(30)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)
BENCHMARK(qmx_tQuantile)->DF_GRID->Unit(benchmark::kMicrosecond);
BENCHMARK(boost_tQuantile)->DF_GRID->Unit(benchmark::kMicrosecond);
BENCHMARK(qmx_chi2Quantile)->DF_GRID->Unit(benchmark::kMicrosecond);
BENCHMARK(boost_chi2Quantile)->DF_GRID->Unit(benchmark::kMicrosecond);
#define F_GRID Args({1, 1})->Args({2, 10})->Args({5, 30})->Args({30, 5})->Args({10, 100})->Args({100, 1000})->Args({1000, 10000})
BENCHMARK(qmx_FQuantile)->F_GRID->Unit(benchmark::kMicrosecond);
BENCHMARK(boost_FQuantile)->F_GRID->Unit(benchmark::kMicrosecond);

// ---- kernel density: 1e4 points on 1e3 steps ----

constexpr int kN = 10000, kSteps = 1000;

std::vector<double> Sample() {
  std::mt19937_64 gen(5);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<double> v(kN);
  for (auto& x : v) x = g(gen);
  return v;
}

void qmx_EstimateProbDensity(benchmark::State& st) {
  const auto s = Sample();
  qmx::TVector data, dens;
  data.SetVecSize(kN);
  int32_t mn = 0, mx = 0;
  for (auto _ : st) {
    std::copy(s.begin(), s.end(), data.Data().begin());
    qmx::EstimateProbDensity(&data, &dens, -4, 4, 1.0, 0.05, kSteps, mn, mx);
    benchmark::DoNotOptimize(dens.Data().data());
  }
}
BENCHMARK(qmx_EstimateProbDensity)->Unit(benchmark::kMillisecond);

// The same Gaussian sums with the same per-point widths (the mean gap to the neighbours within
// the window, computed here before the timed loop), so that the same exponentials are evaluated.
void plain_EstimateProbDensity(benchmark::State& st) {
  auto s = Sample();
  std::sort(s.begin(), s.end());
  const double window = 0.05;
  std::vector<double> inv(kN), out(kSteps + 1);
  for (int i = 0; i < kN; ++i) {
    double S = 0;
    int c = 0;
    for (int j = std::min(i + 1, kN - 1); j >= 1 && std::fabs(s[j] - s[i]) < window; --j, ++c)
      S += std::fabs(s[j] - s[j - 1]);
    for (int j = std::max(i - 1, 0); j <= kN - 2 && std::fabs(s[j] - s[i]) < window; ++j, ++c)
      S += std::fabs(s[j] - s[j + 1]);
    const double h = c > 0 ? (S != 0 ? S / c : window / c) : window;
    inv[i] = 1.0 / (h > 0 ? h : 1.0);
  }
  for (auto _ : st) {
    for (int k = 0; k <= kSteps; ++k) {
      const double xk = -4 + 8.0 * k / kSteps;
      double sum = 0;
      for (int i = 0; i < kN; ++i) {
        const double t = (xk - s[i]) * inv[i];
        sum += inv[i] * std::exp(-0.5 * t * t);
      }
      out[k] = sum * 0.3989422804014327 / kN;
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(plain_EstimateProbDensity)->Unit(benchmark::kMillisecond);

// ---- hypothesis tests ----

// KSPValue near the 0.05 level (the exact matrix method at both sizes).
void qmx_KSPValue(benchmark::State& st) {
  const int n = int(st.range(0));
  const double d = 1.358 / std::sqrt(double(n));
  for (auto _ : st) benchmark::DoNotOptimize(qmx::KSPValue(n, d));
}
BENCHMARK(qmx_KSPValue)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

std::vector<double> Normal(int n, uint64_t seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> g(10.0, 2.0);
  std::vector<double> v(static_cast<std::size_t>(n));
  for (auto& x : v) x = g(gen);
  return v;
}

void qmx_ShapiroWilk5000(benchmark::State& st) {
  const auto s = Normal(5000, 11);
  qmx::TVector v;
  v.SetVecSize(5000);
  std::copy(s.begin(), s.end(), v.Data().begin());
  double W, p;
  for (auto _ : st) {
    benchmark::DoNotOptimize(qmx::ShapiroWilkTest(&v, 0, W, p));
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(qmx_ShapiroWilk5000)->Unit(benchmark::kMicrosecond);

constexpr int kBig = 1000000;

void qmx_GrubbsTest(benchmark::State& st) {
  const auto s = Normal(kBig, 12);
  qmx::TVector v;
  v.SetVecSize(kBig);
  std::copy(s.begin(), s.end(), v.Data().begin());
  double g;
  for (auto _ : st) {
    benchmark::DoNotOptimize(qmx::GrubbsTest(&v, 0.05, g));
    benchmark::DoNotOptimize(g);
  }
}
BENCHMARK(qmx_GrubbsTest)->Unit(benchmark::kMillisecond);

// The same sums: mean and variance in one pass, the largest deviation in a second.
void plain_GrubbsSums(benchmark::State& st) {
  const auto s = Normal(kBig, 12);
  for (auto _ : st) {
    double sum = 0, sq = 0;
    const double k = s[0];
    for (double x : s) {
      sum += x;
      sq += (x - k) * (x - k);
    }
    const double m = sum / kBig;
    double best = 0;
    int ix = 0;
    for (int i = 0; i < kBig; ++i) {
      const double d = std::fabs(s[i] - m);
      if (d > best) {
        best = d;
        ix = i;
      }
    }
    benchmark::DoNotOptimize(sq);
    benchmark::DoNotOptimize(ix);
  }
}
BENCHMARK(plain_GrubbsSums)->Unit(benchmark::kMillisecond);

void qmx_Anova1F(benchmark::State& st) {
  const auto s = Normal(kBig, 13);
  qmx::TVector v;
  v.SetVecSize(kBig);
  std::copy(s.begin(), s.end(), v.Data().begin());
  qmx::TIntVector g;
  g.SetIntVecSize(kBig);
  for (int i = 0; i < kBig; ++i) g.Data()[std::size_t(i)] = (i * 7) % 10;
  double a, b, c, f;
  int32_t d1, d2, d3;
  for (auto _ : st) benchmark::DoNotOptimize(qmx::Anova1F(&v, &g, a, b, c, d1, d2, d3, f));
}
BENCHMARK(qmx_Anova1F)->Unit(benchmark::kMillisecond);

// The same sums with the group codes used as indices.
void plain_AnovaSums(benchmark::State& st) {
  const auto s = Normal(kBig, 13);
  std::vector<int32_t> g(kBig);
  for (int i = 0; i < kBig; ++i) g[std::size_t(i)] = (i * 7) % 10;
  for (auto _ : st) {
    double gs[10] = {}, q = 0;
    int64_t gc[10] = {};
    for (int i = 0; i < kBig; ++i) {
      gs[g[i]] += s[i];
      gc[g[i]] += 1;
      q += s[i] * s[i];
    }
    benchmark::DoNotOptimize(gs);
    benchmark::DoNotOptimize(gc);
    benchmark::DoNotOptimize(q);
  }
}
BENCHMARK(plain_AnovaSums)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
