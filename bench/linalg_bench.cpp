// Matrix kernels against Eigen, single-threaded, at several sizes each so that growth shows.
// qmx_<Op>/<n> and eigen_<Op>/<n> run on the same data; bench/report.py prints the ratios for
// both builds of this file (anchors at the library's flags and at the ISA qmx dispatches to).
// Workspaces of both sides are allocated before the timed loop; each iteration copies the
// input on both sides where the kernel overwrites it.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <cstdint>
#include <vector>

#include "bench_util.h"
#include "matrix/linalg.h"
#include "qmx/basepack.h"

namespace {

using qmx_bench::RandomData;
using qmx_bench::SpdData;

Eigen::MatrixXd ToEigen(const std::vector<double>& d, int32_t rows, int32_t cols) {
  return Eigen::Map<const Eigen::MatrixXd>(d.data(), rows, cols);
}

// ---- product n x n ----
void qmx_MatMul(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  auto a = RandomData(n, n, 1), b = RandomData(n, n, 2);
  std::vector<double> c(static_cast<size_t>(n) * n);
  for (auto _ : st) {
    qmx::linalg::MatMul(a.data(), false, b.data(), false, n, n, n, c.data());
    benchmark::DoNotOptimize(c.data());
  }
}
void eigen_MatMul(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  Eigen::MatrixXd a = ToEigen(RandomData(n, n, 1), n, n), b = ToEigen(RandomData(n, n, 2), n, n);
  Eigen::MatrixXd c(n, n);
  for (auto _ : st) {
    c.noalias() = a * b;
    benchmark::DoNotOptimize(c.data());
  }
}

// ---- LU inverse n x n ----
void qmx_Invert(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const auto a = RandomData(n, n, 3);
  std::vector<double> w(a.size());
  for (auto _ : st) {
    w = a;
    benchmark::DoNotOptimize(qmx::linalg::Invert(w.data(), n));
  }
}
void eigen_Invert(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const Eigen::MatrixXd a = ToEigen(RandomData(n, n, 3), n, n);
  Eigen::MatrixXd r(n, n);
  Eigen::PartialPivLU<Eigen::MatrixXd> lu(n);
  for (auto _ : st) {
    lu.compute(a);
    r.noalias() = lu.inverse();
    benchmark::DoNotOptimize(r.data());
  }
}

// ---- determinant 300 x 300 ----
void qmx_Determinant(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const auto a = RandomData(n, n, 4);
  int32_t parity = 1;
  for (auto _ : st) benchmark::DoNotOptimize(qmx::linalg::Determinant(a.data(), n, parity));
}
void eigen_Determinant(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const Eigen::MatrixXd a = ToEigen(RandomData(n, n, 4), n, n);
  Eigen::PartialPivLU<Eigen::MatrixXd> lu(n);
  for (auto _ : st) {
    lu.compute(a);
    benchmark::DoNotOptimize(lu.determinant());
  }
}

// ---- Cholesky n x n ----
void qmx_Cholesky(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const auto a = SpdData(n, 7);
  std::vector<double> w(a.size()), l(a.size());
  for (auto _ : st) {
    w = a;
    benchmark::DoNotOptimize(qmx::linalg::Cholesky(w.data(), n, l.data()));
  }
}
void eigen_Cholesky(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const Eigen::MatrixXd a = ToEigen(SpdData(n, 7), n, n);
  Eigen::LLT<Eigen::MatrixXd> llt(n);
  for (auto _ : st) {
    llt.compute(a);
    benchmark::DoNotOptimize(llt.matrixLLT().data());
  }
}

// ---- singular values of m x m/5 (the spectral norm) ----
void qmx_NormSpectral(benchmark::State& st) {
  const auto m = static_cast<int32_t>(st.range(0)), n = m / 5;
  const auto a = RandomData(m, n, 5);
  qmx::MathFeedBackProc = nullptr;
  bool ok = true;
  for (auto _ : st) benchmark::DoNotOptimize(qmx::linalg::NormSpectral(a.data(), m, n, ok));
}
void eigen_NormSpectral(benchmark::State& st) {
  const auto m = static_cast<int32_t>(st.range(0)), n = m / 5;
  const Eigen::MatrixXd a = ToEigen(RandomData(m, n, 5), m, n);
  Eigen::BDCSVD<Eigen::MatrixXd> svd(m, n);
  for (auto _ : st) {
    svd.compute(a);
    benchmark::DoNotOptimize(svd.singularValues()(0));
  }
}

// ---- full decomposition of m x m/5: U (m x n, in place), w and V ----
void qmx_SVD(benchmark::State& st) {
  const auto m = static_cast<int32_t>(st.range(0)), n = m / 5;
  const auto a = RandomData(m, n, 5);
  qmx::MathFeedBackProc = nullptr;
  std::vector<double> u(a.size()), w(n), v(static_cast<size_t>(n) * n);
  for (auto _ : st) {
    u = a;
    benchmark::DoNotOptimize(qmx::linalg::SVDecompose(u.data(), m, n, w.data(), v.data()));
  }
}
void eigen_SVD(benchmark::State& st) {
  const auto m = static_cast<int32_t>(st.range(0)), n = m / 5;
  const Eigen::MatrixXd a = ToEigen(RandomData(m, n, 5), m, n);
  Eigen::BDCSVD<Eigen::MatrixXd> svd(m, n, Eigen::ComputeThinU | Eigen::ComputeThinV);
  for (auto _ : st) {
    svd.compute(a);
    benchmark::DoNotOptimize(svd.matrixU().data());
  }
}

void SvdSizes(benchmark::internal::Benchmark* b) {
  for (int m : {250, 500, 1000, 2000}) b->Arg(m);
}

BENCHMARK(qmx_MatMul)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_MatMul)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Invert)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Invert)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Determinant)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Determinant)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Cholesky)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_Cholesky)->Apply(qmx_bench::MatrixSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_NormSpectral)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_NormSpectral)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_SVD)->Apply(SvdSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_SVD)->Apply(SvdSizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
