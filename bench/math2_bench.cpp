// Multivariate analysis against Eigen (both single-threaded, same compiler flags).
// Pairs: qmx_<op> and eigen_<op> on the same data; the ratio qmx / eigen is recorded in
// docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <Eigen/SVD>
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"

namespace {

std::vector<double> RandomData(int32_t rows, int32_t cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> d(static_cast<size_t>(rows) * cols);
  for (double& x : d) x = u(gen);
  return d;
}

std::vector<double> SymmetricData(int32_t n) {
  auto d = RandomData(n, n, 5);
  for (int32_t c = 0; c < n; ++c)
    for (int32_t r = 0; r < c; ++r) d[static_cast<size_t>(r) * n + c] = d[static_cast<size_t>(c) * n + r];
  return d;
}

void Load(qmx::TMatrix& M, const std::vector<double>& d, int32_t rows, int32_t cols) {
  M.Resize(cols, rows);
  std::copy(d.begin(), d.end(), M.Data());
}

// ---- symmetric eigen analysis 200 x 200, eigenvectors included ----
void qmx_EigVec200(benchmark::State& st) {
  const int32_t n = 200;
  const auto d = SymmetricData(n);
  qmx::TMatrix M;
  for (auto _ : st) {
    Load(M, d, n, n);
    if (!qmx::CalcEigVec(&M)) st.SkipWithError("no convergence");
    benchmark::DoNotOptimize(qmx::GetEigenResult(1, 1));
  }
}
void eigen_EigVec200(benchmark::State& st) {
  const int32_t n = 200;
  const auto d = SymmetricData(n);
  Eigen::MatrixXd a(n, n);
  for (auto _ : st) {
    a = Eigen::Map<const Eigen::MatrixXd>(d.data(), n, n);
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(a, Eigen::ComputeEigenvectors);
    benchmark::DoNotOptimize(es.eigenvectors().data());
  }
}

// ---- covariance of 10000 objects x 50 variables ----
void qmx_Covar10000x50(benchmark::State& st) {
  const int32_t m = 10000, n = 50;
  qmx::TMatrix X, C;
  Load(X, RandomData(m, n, 9), m, n);
  C.Resize(n, n);
  for (auto _ : st) {
    qmx::CalcCovar(&X, &C, 0, 0, 0, 0, 1);
    benchmark::DoNotOptimize(C.Data());
  }
}
void eigen_Covar10000x50(benchmark::State& st) {
  const int32_t m = 10000, n = 50;
  const Eigen::MatrixXd x = Eigen::Map<const Eigen::MatrixXd>(RandomData(m, n, 9).data(), m, n);
  Eigen::MatrixXd c(n, n);
  for (auto _ : st) {
    const Eigen::MatrixXd centred = x.rowwise() - x.colwise().mean();
    c.noalias() = centred.adjoint() * centred / double(m - 1);
    benchmark::DoNotOptimize(c.data());
  }
}

// ---- pseudo-inverse of 500 x 100 ----
void qmx_PseudoInverse500x100(benchmark::State& st) {
  const int32_t m = 500, n = 100;
  qmx::TMatrix A, P;
  Load(A, RandomData(m, n, 13), m, n);
  for (auto _ : st) {
    qmx::PseudoInverse(&A, &P, 0.0);
    benchmark::DoNotOptimize(P.Data());
  }
}
void eigen_PseudoInverse500x100(benchmark::State& st) {
  const int32_t m = 500, n = 100;
  const Eigen::MatrixXd a = Eigen::Map<const Eigen::MatrixXd>(RandomData(m, n, 13).data(), m, n);
  Eigen::MatrixXd p(n, m);
  for (auto _ : st) {
    Eigen::BDCSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
    const Eigen::VectorXd& w = svd.singularValues();
    const double thresh = std::max(m, n) * w.maxCoeff() * 1.2e-16;
    Eigen::VectorXd inv(n);
    for (int32_t j = 0; j < n; ++j) inv(j) = w(j) > thresh ? 1.0 / w(j) : 0.0;
    p.noalias() = svd.matrixV() * inv.asDiagonal() * svd.matrixU().adjoint();
    benchmark::DoNotOptimize(p.data());
  }
}

}  // namespace

BENCHMARK(qmx_EigVec200)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_EigVec200)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Covar10000x50)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Covar10000x50)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_PseudoInverse500x100)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_PseudoInverse500x100)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
