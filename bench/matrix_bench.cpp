// TMatrix operations against their anchors (single-threaded, same compiler flags).
// Pairs on the same data; the ratio qmx / anchor is recorded in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "bench_util.h"
#include "qmx/matrix.h"

namespace {

std::vector<double> RandomData(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> d(n);
  for (double& x : d) x = u(gen);
  return d;
}

// ---- distance matrix, 2000 objects x 10 variables ----------------------------------------------

constexpr int32_t kObjects = 2000, kVars = 10;

void qmx_CalcDistMatEuclid(benchmark::State& st) {
  const auto x = RandomData(static_cast<std::size_t>(kObjects) * kVars, 1);
  qmx::TMatrix m, d;
  m.Resize(kVars, kObjects);
  std::copy(x.begin(), x.end(), m.Data());  // column-major: variable k is one column
  d.Resize(kObjects, kObjects);
  for (auto _ : st) {
    benchmark::DoNotOptimize(m.CalcDistMat(qmx::dmEuclid, &d));
    benchmark::DoNotOptimize(d.Data());
  }
}
BENCHMARK(qmx_CalcDistMatEuclid)->Unit(benchmark::kMillisecond);

// The anchor: the plain pair loop over objects stored row by row (each object contiguous),
// filling both halves of a raw n x n array.
void plain_CalcDistMatEuclid(benchmark::State& st) {
  const auto xc = RandomData(static_cast<std::size_t>(kObjects) * kVars, 1);
  std::vector<double> x(xc.size());
  for (int32_t k = 0; k < kVars; ++k)
    for (int32_t i = 0; i < kObjects; ++i) x[static_cast<std::size_t>(i) * kVars + k] = xc[static_cast<std::size_t>(k) * kObjects + i];
  std::vector<double> D(static_cast<std::size_t>(kObjects) * kObjects);
  const int32_t n = kObjects;
  for (auto _ : st) {
    for (int32_t i = 0; i < n; ++i) {
      D[static_cast<std::size_t>(i) * n + i] = 0.0;
      const double* a = &x[static_cast<std::size_t>(i) * kVars];
      for (int32_t j = i + 1; j < n; ++j) {
        const double* b = &x[static_cast<std::size_t>(j) * kVars];
        double s = 0.0;
        for (int32_t k = 0; k < kVars; ++k) {
          const double t = a[k] - b[k];
          s += t * t;
        }
        s = std::sqrt(s);
        D[static_cast<std::size_t>(i) * n + j] = s;
        D[static_cast<std::size_t>(j) * n + i] = s;
      }
    }
    benchmark::DoNotOptimize(D.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(plain_CalcDistMatEuclid)->Unit(benchmark::kMillisecond);

// Eigen: one column of distances per object (both halves computed).
void eigen_CalcDistMatEuclid(benchmark::State& st) {
  const auto xc = RandomData(static_cast<std::size_t>(kObjects) * kVars, 1);
  const Eigen::MatrixXd X = Eigen::Map<const Eigen::MatrixXd>(xc.data(), kObjects, kVars);
  Eigen::MatrixXd D(kObjects, kObjects);
  for (auto _ : st) {
    for (int32_t i = 0; i < kObjects; ++i)
      D.col(i) = (X.rowwise() - X.row(i)).rowwise().squaredNorm().array().sqrt();
    benchmark::DoNotOptimize(D.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(eigen_CalcDistMatEuclid)->Unit(benchmark::kMillisecond);

// ---- SortRows, 1e5 rows x 5 columns -----------------------------------------------------------

constexpr int32_t kSortRows = 100000, kSortCols = 5;

void qmx_SortRows(benchmark::State& st) {
  const auto x = RandomData(static_cast<std::size_t>(kSortRows) * kSortCols, 2);
  qmx::TMatrix m;
  m.Resize(kSortCols, kSortRows);
  for (auto _ : st) {
    st.PauseTiming();
    std::copy(x.begin(), x.end(), m.Data());
    st.ResumeTiming();
    m.SortRows(1, true, 0, 0, 0, 0);
    benchmark::DoNotOptimize(m.Data());
  }
}
BENCHMARK(qmx_SortRows)->Unit(benchmark::kMillisecond);

// The same sort with a swap listener: every swap moves the cells at once.
void qmx_SortRowsObserved(benchmark::State& st) {
  const auto x = RandomData(static_cast<std::size_t>(kSortRows) * kSortCols, 2);
  qmx::TMatrix m;
  m.Resize(kSortCols, kSortRows);
  int64_t swaps = 0;
  m.OnSortExchange = [&](qmx::TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { ++swaps; };
  for (auto _ : st) {
    st.PauseTiming();
    std::copy(x.begin(), x.end(), m.Data());
    st.ResumeTiming();
    m.SortRows(1, true, 0, 0, 0, 0);
    benchmark::DoNotOptimize(m.Data());
  }
  benchmark::DoNotOptimize(swaps);
}
BENCHMARK(qmx_SortRowsObserved)->Unit(benchmark::kMillisecond);

// The anchor: std::sort of a row index by the key column, then every column permuted.
void std_SortRows(benchmark::State& st) {
  const auto x = RandomData(static_cast<std::size_t>(kSortRows) * kSortCols, 2);
  std::vector<double> m(x.size()), tmp(kSortRows);
  std::vector<int32_t> ix(kSortRows);
  for (auto _ : st) {
    st.PauseTiming();
    std::copy(x.begin(), x.end(), m.begin());
    st.ResumeTiming();
    std::iota(ix.begin(), ix.end(), 0);
    const double* key = m.data();
    std::sort(ix.begin(), ix.end(), [key](int32_t a, int32_t b) { return key[a] < key[b]; });
    for (int32_t c = 0; c < kSortCols; ++c) {
      double* col = m.data() + static_cast<std::size_t>(c) * kSortRows;
      for (int32_t i = 0; i < kSortRows; ++i) tmp[i] = col[ix[i]];
      std::copy(tmp.begin(), tmp.end(), col);
    }
    benchmark::DoNotOptimize(m.data());
  }
}
BENCHMARK(std_SortRows)->Unit(benchmark::kMillisecond);

// ---- block statistics and transpose, 1000 x 1000 ------------------------------------------------

void qmx_MeanVar1000(benchmark::State& st) {
  const auto x = RandomData(1000000, 3);
  qmx::TMatrix m;
  m.Resize(1000, 1000);
  std::copy(x.begin(), x.end(), m.Data());
  for (auto _ : st) {
    double mean, var;
    m.MeanVar(0, 0, 0, 0, mean, var);
    benchmark::DoNotOptimize(mean);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(qmx_MeanVar1000)->Unit(benchmark::kMicrosecond);

void eigen_MeanVar1000(benchmark::State& st) {
  const auto x = RandomData(1000000, 3);
  const Eigen::MatrixXd m = Eigen::Map<const Eigen::MatrixXd>(x.data(), 1000, 1000);
  for (auto _ : st) {
    const double s = m.sum(), q = m.squaredNorm(), n = 1e6;
    double mean = s / n, var = (q - s * s / n) / (n - 1);
    benchmark::DoNotOptimize(mean);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(eigen_MeanVar1000)->Unit(benchmark::kMicrosecond);

void qmx_Transpose1000(benchmark::State& st) {
  const auto x = RandomData(1000000, 4);
  qmx::TMatrix m;
  m.Resize(1000, 1000);
  std::copy(x.begin(), x.end(), m.Data());
  for (auto _ : st) {
    m.Transpose();
    benchmark::DoNotOptimize(m.Data());
  }
}
BENCHMARK(qmx_Transpose1000)->Unit(benchmark::kMicrosecond);

void eigen_Transpose1000(benchmark::State& st) {
  const auto x = RandomData(1000000, 4);
  Eigen::MatrixXd m = Eigen::Map<const Eigen::MatrixXd>(x.data(), 1000, 1000);
  for (auto _ : st) {
    m.transposeInPlace();  // a square Transpose works in place too
    benchmark::DoNotOptimize(m.data());
  }
}
BENCHMARK(eigen_Transpose1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
