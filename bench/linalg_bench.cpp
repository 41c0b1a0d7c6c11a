// Matrix kernels against Eigen (both single-threaded, same compiler flags).
// Pairs: qmx_<op> and eigen_<op> on the same data; the ratio qmx / eigen is recorded in
// docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <cstdint>
#include <random>
#include <vector>

#include "matrix/linalg.h"
#include "qmx/basepack.h"

namespace {

using qmx::linalg::MatMul;

std::vector<double> RandomData(int32_t rows, int32_t cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> d(static_cast<size_t>(rows) * cols);
  for (double& x : d) x = u(gen);
  return d;
}

// Symmetric positive definite: B^T B + n I.
std::vector<double> SpdData(int32_t n) {
  auto b = RandomData(n, n, 7);
  std::vector<double> a(static_cast<size_t>(n) * n);
  MatMul(b.data(), true, b.data(), false, n, n, n, a.data());
  for (int32_t i = 0; i < n; ++i) a[static_cast<size_t>(i) * n + i] += n;
  return a;
}

Eigen::MatrixXd ToEigen(const std::vector<double>& d, int32_t rows, int32_t cols) {
  return Eigen::Map<const Eigen::MatrixXd>(d.data(), rows, cols);
}

// ---- product 512 x 512 ----
void qmx_Multiply512(benchmark::State& st) {
  const int32_t n = 512;
  auto a = RandomData(n, n, 1), b = RandomData(n, n, 2);
  std::vector<double> c(static_cast<size_t>(n) * n);
  for (auto _ : st) {
    MatMul(a.data(), false, b.data(), false, n, n, n, c.data());
    benchmark::DoNotOptimize(c.data());
  }
}
void eigen_Multiply512(benchmark::State& st) {
  const int32_t n = 512;
  Eigen::MatrixXd a = ToEigen(RandomData(n, n, 1), n, n), b = ToEigen(RandomData(n, n, 2), n, n);
  Eigen::MatrixXd c(n, n);
  for (auto _ : st) {
    c.noalias() = a * b;
    benchmark::DoNotOptimize(c.data());
  }
}

// ---- inverse 300 x 300 ----
void qmx_Invert300(benchmark::State& st) {
  const int32_t n = 300;
  const auto a = RandomData(n, n, 3);
  std::vector<double> w(a.size());
  for (auto _ : st) {
    w = a;
    benchmark::DoNotOptimize(qmx::linalg::Invert(w.data(), n));
  }
}
void eigen_Invert300(benchmark::State& st) {
  const int32_t n = 300;
  Eigen::MatrixXd a = ToEigen(RandomData(n, n, 3), n, n), r(n, n);
  for (auto _ : st) {
    r = Eigen::PartialPivLU<Eigen::MatrixXd>(a).inverse();
    benchmark::DoNotOptimize(r.data());
  }
}

// ---- determinant 300 x 300 ----
void qmx_Determinant300(benchmark::State& st) {
  const int32_t n = 300;
  const auto a = RandomData(n, n, 4);
  int32_t parity = 1;
  for (auto _ : st) benchmark::DoNotOptimize(qmx::linalg::Determinant(a.data(), n, parity));
}
void eigen_Determinant300(benchmark::State& st) {
  const int32_t n = 300;
  Eigen::MatrixXd a = ToEigen(RandomData(n, n, 4), n, n);
  for (auto _ : st) benchmark::DoNotOptimize(Eigen::PartialPivLU<Eigen::MatrixXd>(a).determinant());
}

// ---- Cholesky 300 x 300 ----
void qmx_Cholesky300(benchmark::State& st) {
  const int32_t n = 300;
  const auto a = SpdData(n);
  std::vector<double> w(a.size()), l(a.size());
  for (auto _ : st) {
    w = a;
    benchmark::DoNotOptimize(qmx::linalg::Cholesky(w.data(), n, l.data()));
  }
}
void eigen_Cholesky300(benchmark::State& st) {
  const int32_t n = 300;
  Eigen::MatrixXd a = ToEigen(SpdData(n), n, n);
  for (auto _ : st) {
    Eigen::LLT<Eigen::MatrixXd> llt(a);
    benchmark::DoNotOptimize(llt.matrixLLT().data());
  }
}

// ---- spectral norm of 500 x 100 (singular values only) ----
void qmx_NormSpectral500x100(benchmark::State& st) {
  const auto a = RandomData(500, 100, 5);
  qmx::MathFeedBackProc = nullptr;
  bool ok = true;
  for (auto _ : st) benchmark::DoNotOptimize(qmx::linalg::NormSpectral(a.data(), 500, 100, ok));
}
void eigen_NormSpectral500x100(benchmark::State& st) {
  Eigen::MatrixXd a = ToEigen(RandomData(500, 100, 5), 500, 100);
  for (auto _ : st) {
    Eigen::BDCSVD<Eigen::MatrixXd> svd(a);
    benchmark::DoNotOptimize(svd.singularValues()(0));
  }
}

// Full decomposition with U and V, for reference (no anchor requirement).
void qmx_SVD500x100(benchmark::State& st) {
  const auto a = RandomData(500, 100, 5);
  std::vector<double> u(a.size()), w(100), v(100 * 100);
  for (auto _ : st) {
    u = a;
    benchmark::DoNotOptimize(qmx::linalg::SVDecompose(u.data(), 500, 100, w.data(), v.data()));
  }
}

BENCHMARK(qmx_Multiply512)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Multiply512)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Invert300)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Invert300)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Determinant300)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Determinant300)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Cholesky300)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Cholesky300)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_NormSpectral500x100)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_NormSpectral500x100)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SVD500x100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
