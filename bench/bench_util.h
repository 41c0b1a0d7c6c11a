// Shared pieces of the benchmarks: reproducible data and the naming rule bench/report.py
// pairs by (qmx_<Op>/<args> against <anchor>_<Op>/<args>).
#pragma once

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace qmx_bench {

// Uniform random values in [-1, 1], rows x cols in one block.
inline std::vector<double> RandomData(int32_t rows, int32_t cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> d(static_cast<size_t>(rows) * static_cast<size_t>(cols));
  for (double& x : d) x = u(gen);
  return d;
}

// Random symmetric n x n (the lower triangle mirrored).
inline std::vector<double> SymmetricData(int32_t n, unsigned seed) {
  auto d = RandomData(n, n, seed);
  for (int32_t c = 0; c < n; ++c)
    for (int32_t r = 0; r < c; ++r)
      d[static_cast<size_t>(r) * n + c] = d[static_cast<size_t>(c) * n + r];
  return d;
}

// Symmetric positive definite: B^T B + n I (plain loops; only set-up).
inline std::vector<double> SpdData(int32_t n, unsigned seed) {
  const auto b = RandomData(n, n, seed);
  std::vector<double> a(static_cast<size_t>(n) * n, 0.0);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t k = 0; k < n; ++k) {
      const double bki = b[static_cast<size_t>(k) * n + i];
      const double* bk = b.data() + static_cast<size_t>(k) * n;
      double* ai = a.data() + static_cast<size_t>(i) * n;
      for (int32_t j = 0; j < n; ++j) ai[j] += bki * bk[j];
    }
  for (int32_t i = 0; i < n; ++i) a[static_cast<size_t>(i) * n + i] += n;
  return a;
}

// The sizes of the scaling rows.
inline void MatrixSizes(benchmark::internal::Benchmark* b) {
  for (int n : {150, 300, 600, 1200}) b->Arg(n);
}

}  // namespace qmx_bench

namespace qmx_bench {

// Large blocks stay in the heap and are reused instead of being mapped afresh (and faulted in)
// on every call: a kernel's own workspaces then cost the same in every iteration, whatever
// the allocator did before.
inline const bool kStableHeap = [] {
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  return true;
}();

}  // namespace qmx_bench
