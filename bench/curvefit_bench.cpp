// TCurveFit: pair throughput, polynomial fit against Eigen's least-squares solvers, Spearman's
// rank correlation against a plain std::sort rank computation. Ratios go to docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "qmx/math2.h"

namespace {

void Pairs(std::size_t n, std::vector<double>& x, std::vector<double>& y, bool ties = false) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  x.resize(n);
  y.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = ties ? std::floor(u(gen) * 1000) : 0.5 + 2 * u(gen);
    y[i] = 1 + x[i] - 0.3 * x[i] * x[i] + 0.1 * x[i] * x[i] * x[i] + 0.05 * (u(gen) - 0.5);
  }
}

// ---- adding pairs -----------------------------------------------------------------------------

void qmx_EnterStatValue_1e6(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(1000000, x, y);
  qmx::TCurveFit cf;
  for (auto _ : st) {
    cf.Init();
    for (std::size_t i = 0; i < x.size(); ++i) cf.EnterStatValue(x[i], y[i]);
    benchmark::DoNotOptimize(cf.Sums().sumlnxlny);
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(x.size()));
}
BENCHMARK(qmx_EnterStatValue_1e6)->Unit(benchmark::kMillisecond);

// ---- polynomial of order 5 on 1e5 pairs -------------------------------------------------------

constexpr std::size_t kPolyN = 100000;
constexpr int kOrder = 5;

void qmx_PolyFit5_1e5(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(kPolyN, x, y);
  qmx::TCurveFit cf;
  for (std::size_t i = 0; i < x.size(); ++i) cf.EnterStatValue(x[i], y[i]);
  std::vector<double> k(kOrder + 1);
  double q;
  bool ns;
  for (auto _ : st) {
    cf.CalcPolyFit(kOrder, k, q, ns);
    benchmark::DoNotOptimize(k.data());
  }
}
BENCHMARK(qmx_PolyFit5_1e5)->Unit(benchmark::kMillisecond);

// The anchors build the same Vandermonde system (powers 1..5 and the constant) and solve it,
// in storage and solver objects kept across iterations (the allocator's state no longer moves
// their times; qmx's own workspaces are part of its call).
void Vandermonde(const std::vector<double>& x, Eigen::MatrixXd& A) {
  for (std::size_t i = 0; i < x.size(); ++i) {
    double p = x[i];
    for (int j = 0; j < kOrder; ++j) {
      A(Eigen::Index(i), j) = p;
      p *= x[i];
    }
    A(Eigen::Index(i), kOrder) = 1.0;
  }
}

void colpivqr_PolyFit5_1e5(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(kPolyN, x, y);
  const Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(y.data(), Eigen::Index(y.size()));
  Eigen::MatrixXd A(Eigen::Index(kPolyN), kOrder + 1);
  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(Eigen::Index(kPolyN), kOrder + 1);
  Eigen::VectorXd c(kOrder + 1);
  for (auto _ : st) {
    Vandermonde(x, A);
    qr.compute(A);
    c = qr.solve(b);
    benchmark::DoNotOptimize(c.data());
  }
}
BENCHMARK(colpivqr_PolyFit5_1e5)->Unit(benchmark::kMillisecond);

void bdcsvd_PolyFit5_1e5(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(kPolyN, x, y);
  const Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(y.data(), Eigen::Index(y.size()));
  Eigen::MatrixXd A(Eigen::Index(kPolyN), kOrder + 1);
  Eigen::BDCSVD<Eigen::MatrixXd> svd(Eigen::Index(kPolyN), kOrder + 1,
                                     Eigen::ComputeThinU | Eigen::ComputeThinV);
  Eigen::VectorXd c(kOrder + 1);
  for (auto _ : st) {
    Vandermonde(x, A);
    svd.compute(A);
    c = svd.solve(b);
    benchmark::DoNotOptimize(c.data());
  }
}
BENCHMARK(bdcsvd_PolyFit5_1e5)->Unit(benchmark::kMillisecond);

// ---- Spearman on 1e5 pairs --------------------------------------------------------------------

constexpr std::size_t kRankN = 100000;

void qmx_Spearman_1e5(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(kRankN, x, y, true);
  qmx::TCurveFit cf;
  for (std::size_t i = 0; i < x.size(); ++i) cf.EnterStatValue(x[i], y[i]);
  for (auto _ : st) benchmark::DoNotOptimize(cf.GetSpearman());
}
BENCHMARK(qmx_Spearman_1e5)->Unit(benchmark::kMillisecond);

// Plain mid-rank computation: sort (value, index) pairs per column, average tied ranks, then
// the Pearson correlation of the ranks.
std::vector<double> SortRanks(const std::vector<double>& v) {
  std::vector<std::pair<double, std::size_t>> s(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) s[i] = {v[i], i};
  std::sort(s.begin(), s.end());
  std::vector<double> r(v.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t j = i;
    while (j < s.size() && s[j].first == s[i].first) ++j;
    for (std::size_t k = i; k < j; ++k) r[s[k].second] = 0.5 * double(i + 1 + j);
    i = j;
  }
  return r;
}

void std_Spearman_1e5(benchmark::State& st) {
  std::vector<double> x, y;
  Pairs(kRankN, x, y, true);
  for (auto _ : st) {
    const auto rx = SortRanks(x), ry = SortRanks(y);
    const double m = 0.5 * double(rx.size() + 1);
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < rx.size(); ++i) {
      sxy += (rx[i] - m) * (ry[i] - m);
      sxx += (rx[i] - m) * (rx[i] - m);
      syy += (ry[i] - m) * (ry[i] - m);
    }
    benchmark::DoNotOptimize(sxy / std::sqrt(sxx * syy));
  }
}
BENCHMARK(std_Spearman_1e5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
