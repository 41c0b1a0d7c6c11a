// Multivariate analysis against Eigen, single-threaded; qmx_<Op>/<args> and eigen_<Op>/<args>
// on the same data (bench/report.py prints the ratios of both builds). The anchors' solver
// objects and temporaries are allocated before the timed loop.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <Eigen/SVD>
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_util.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"

namespace {

using qmx_bench::RandomData;

void Load(qmx::TMatrix& M, const std::vector<double>& d, int32_t rows, int32_t cols) {
  M.Resize(cols, rows);
  std::copy(d.begin(), d.end(), M.Data());
}

// ---- symmetric eigen analysis n x n, eigenvectors included ----
void qmx_EigVec(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const auto d = qmx_bench::SymmetricData(n, 5);
  qmx::TMatrix M;
  for (auto _ : st) {
    Load(M, d, n, n);
    if (!qmx::CalcEigVec(&M)) st.SkipWithError("no convergence");
    benchmark::DoNotOptimize(qmx::GetEigenResult(1, 1));
  }
}
void eigen_EigVec(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const auto d = qmx_bench::SymmetricData(n, 5);
  Eigen::MatrixXd a(n, n);
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(n);
  for (auto _ : st) {
    a = Eigen::Map<const Eigen::MatrixXd>(d.data(), n, n);
    es.compute(a, Eigen::ComputeEigenvectors);
    benchmark::DoNotOptimize(es.eigenvectors().data());
  }
}

// ---- covariance of 10000 objects x 50 variables ----
void qmx_Covar(benchmark::State& st) {
  const int32_t m = 10000, n = 50;
  qmx::TMatrix X, C;
  Load(X, RandomData(m, n, 9), m, n);
  C.Resize(n, n);
  for (auto _ : st) {
    qmx::CalcCovar(&X, &C, 0, 0, 0, 0, 1);
    benchmark::DoNotOptimize(C.Data());
  }
}
// Centring into kept storage, then a symmetric rank-k update of one triangle, mirrored.
void eigen_Covar(benchmark::State& st) {
  const int32_t m = 10000, n = 50;
  const Eigen::MatrixXd x = Eigen::Map<const Eigen::MatrixXd>(RandomData(m, n, 9).data(), m, n);
  Eigen::MatrixXd centred(m, n), c(n, n);
  Eigen::RowVectorXd mean(n);
  for (auto _ : st) {
    mean.noalias() = x.colwise().mean();
    centred.noalias() = x.rowwise() - mean;
    c.setZero();
    c.selfadjointView<Eigen::Lower>().rankUpdate(centred.adjoint(), 1.0 / double(m - 1));
    c.triangularView<Eigen::StrictlyUpper>() = c.adjoint();
    benchmark::DoNotOptimize(c.data());
  }
}

// ---- pseudo-inverse of 500 x 100 ----
void qmx_PseudoInverse(benchmark::State& st) {
  const int32_t m = 500, n = 100;
  qmx::TMatrix A, P;
  Load(A, RandomData(m, n, 13), m, n);
  for (auto _ : st) {
    qmx::PseudoInverse(&A, &P, 0.0);
    benchmark::DoNotOptimize(P.Data());
  }
}
void eigen_PseudoInverse(benchmark::State& st) {
  const int32_t m = 500, n = 100;
  const Eigen::MatrixXd a = Eigen::Map<const Eigen::MatrixXd>(RandomData(m, n, 13).data(), m, n);
  Eigen::MatrixXd p(n, m);
  Eigen::BDCSVD<Eigen::MatrixXd> svd(m, n, Eigen::ComputeThinU | Eigen::ComputeThinV);
  Eigen::VectorXd inv(n);
  for (auto _ : st) {
    svd.compute(a);
    const Eigen::VectorXd& w = svd.singularValues();
    const double thresh = std::max(m, n) * w.maxCoeff() * 1.2e-16;
    for (int32_t j = 0; j < n; ++j) inv(j) = w(j) > thresh ? 1.0 / w(j) : 0.0;
    p.noalias() = svd.matrixV() * inv.asDiagonal() * svd.matrixU().adjoint();
    benchmark::DoNotOptimize(p.data());
  }
}

}  // namespace

BENCHMARK(qmx_EigVec)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_EigVec)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Covar)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Covar)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_PseudoInverse)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_PseudoInverse)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
