// Clustering, nearest neighbours, hull and regression against their anchors: the literal
// agglomeration scan, plain loops of the same arithmetic, and Eigen's least-squares solve.
// Ratios are recorded in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace {

void RandomMatrix(qmx::TMatrix& M, int32_t rows, int32_t cols, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  M.Resize(cols, rows);
  for (std::size_t i = 0; i < static_cast<std::size_t>(rows) * cols; ++i) M.Data()[i] = u(gen);
}

// ---- agglomerative clustering (Ward, Euclidean) ----

// The literal scan: every step searches all active pairs and updates row and column h.
void LiteralWard(const qmx::TMatrix& X, std::vector<int32_t>& dend, std::vector<double>& md) {
  const int32_t n = X.NrOfRows();
  qmx::TMatrix DM;
  DM.Resize(n, n);
  X.CalcDistMat(qmx::dmEuclid, &DM);
  double* D = DM.Data();
  std::vector<int32_t> node(n);
  std::vector<double> size(n, 1.0);
  for (int32_t i = 0; i < n; ++i) node[i] = i + 1;
  dend.clear();
  md.clear();
  for (int32_t r = 1; r < n; ++r) {
    double best = DBL_MAX;
    int32_t g = 0, h = 1;
    for (int32_t a = 0; a < n; ++a) {
      if (node[a] == 0) continue;
      const double* col = D + static_cast<std::size_t>(a) * n;
      for (int32_t b = a + 1; b < n; ++b)
        if (node[b] != 0 && col[b] < best) {
          best = col[b];
          g = a;
          h = b;
        }
    }
    const double dgh = D[static_cast<std::size_t>(g) * n + h], ng = size[g], nh = size[h];
    for (int32_t i = 0; i < n; ++i) {
      if (node[i] == 0 || i == g || i == h) continue;
      const double dgi = D[static_cast<std::size_t>(g) * n + i], dhi = D[static_cast<std::size_t>(h) * n + i];
      const double ni = size[i];
      const double v = (dgi * (ng + ni) + dhi * (nh + ni) - dgh * ni) / (ng + nh + ni);
      D[static_cast<std::size_t>(i) * n + h] = D[static_cast<std::size_t>(h) * n + i] = v;
    }
    dend.push_back(node[g]);
    dend.push_back(node[h]);
    md.push_back(dgh);
    node[h] = n + r;
    size[h] += size[g];
    node[g] = 0;
    size[g] = 0;
  }
}

void qmx_AgglomWard(benchmark::State& st) {
  const int32_t n = static_cast<int32_t>(st.range(0));
  qmx::TMatrix X;
  RandomMatrix(X, n, 2, 42);
  qmx::TIntMatrix dend;
  qmx::TVector dist, pos;
  for (auto _ : st) qmx::AgglomClustering(nullptr, &X, qmx::dmEuclid, qmx::cmWard, 0.5, &dend, &dist, &pos);
  if (n <= 2000) {
    std::vector<int32_t> d;
    std::vector<double> m;
    LiteralWard(X, d, m);
    for (int32_t r = 1; r < n; ++r)
      if (dend.Elem(1, r) != d[2 * (r - 1)] || dend.Elem(2, r) != d[2 * (r - 1) + 1] ||
          dist.Elem(r) != m[r - 1]) {
        st.SkipWithError("output differs from the literal scan");
        break;
      }
  }
  st.counters["dist_matrix_MB"] = 8.0 * n * n / 1e6;
}
void literal_AgglomWard(benchmark::State& st) {
  const int32_t n = static_cast<int32_t>(st.range(0));
  qmx::TMatrix X;
  RandomMatrix(X, n, 2, 42);
  std::vector<int32_t> d;
  std::vector<double> m;
  for (auto _ : st) LiteralWard(X, d, m);
}

// ---- k-means 1e5 x 10, k = 10 ----

// Plain Lloyd iteration with the same rules (strict improvement, centres from sums).
double PlainKMeans(const qmx::TMatrix& X, int32_t k, std::vector<int32_t>& as) {
  const int32_t n = X.NrOfRows(), p = X.NrOfColumns();
  const double* x = X.Data();
  std::vector<double> cen(static_cast<std::size_t>(k) * p), sum(cen.size());
  std::vector<int32_t> cnt(k);
  for (int32_t c = 0; c < k; ++c)
    for (int32_t j = 0; j < p; ++j) cen[c * p + j] = x[static_cast<std::size_t>(j) * n + c];
  as.assign(n, 0);
  for (int32_t it = 1; it <= 1001; ++it) {
    bool changed = it == 1;
    for (int32_t i = 0; i < n; ++i) {
      double best = 1.7976931348623157e308;
      int32_t bk = 1;
      for (int32_t c = 0; c < k; ++c) {
        double d = 0;
        for (int32_t j = 0; j < p; ++j) {
          const double e = x[static_cast<std::size_t>(j) * n + i] - cen[c * p + j];
          d += e * e;
        }
        if (d < best) {
          best = d;
          bk = c + 1;
        }
      }
      changed = changed || as[i] != bk;
      as[i] = bk;
    }
    if (!changed) break;
    std::fill(sum.begin(), sum.end(), 0.0);
    std::fill(cnt.begin(), cnt.end(), 0);
    for (int32_t i = 0; i < n; ++i) {
      ++cnt[as[i] - 1];
      for (int32_t j = 0; j < p; ++j) sum[(as[i] - 1) * p + j] += x[static_cast<std::size_t>(j) * n + i];
    }
    for (int32_t c = 0; c < k; ++c)
      for (int32_t j = 0; j < p; ++j) cen[c * p + j] = cnt[c] ? sum[c * p + j] / cnt[c] : 0.0;
  }
  return cen[0];
}

void qmx_KMeans(benchmark::State& st) {
  qmx::TMatrix X, C;
  RandomMatrix(X, 100000, 10, 7);
  qmx::TIntVector A, S;
  for (auto _ : st) {
    A.Fill(0);
    try {
      benchmark::DoNotOptimize(qmx::kMeansClustering(&X, 0, 0, 10, 0, &C, &A, &S));
    } catch (const qmx::EQMXMath2Error&) {
    }
  }
}
void plain_KMeans(benchmark::State& st) {
  qmx::TMatrix X;
  RandomMatrix(X, 100000, 10, 7);
  std::vector<int32_t> as;
  for (auto _ : st) benchmark::DoNotOptimize(PlainKMeans(X, 10, as));
}

// ---- nearest neighbours, K = 10 over 1e6 x 10 ----

void qmx_FindNN(benchmark::State& st) {
  qmx::TMatrix X, L;
  RandomMatrix(X, 1000000, 10, 9);
  qmx::TVector q;
  q.Resize(10);
  q.Fill(0.1);
  L.Resize(2, 10);
  for (auto _ : st) {
    qmx::FindNearestNeighbors(10, &X, 0, 0, &q, &L);
    benchmark::DoNotOptimize(L.Elem(2, 10));
  }
}
void plain_FindNN(benchmark::State& st) {
  qmx::TMatrix X;
  RandomMatrix(X, 1000000, 10, 9);
  const int32_t n = X.NrOfRows(), p = 10;
  const double* x = X.Data();
  std::vector<double> q(10, 0.1), best(10);
  std::vector<int32_t> row(10);
  for (auto _ : st) {
    std::fill(best.begin(), best.end(), DBL_MAX);
    for (int32_t i = 0; i < n; ++i) {
      double s = 0;
      for (int32_t j = 0; j < p; ++j) {
        const double e = x[static_cast<std::size_t>(j) * n + i] - q[j];
        s += e * e;
      }
      const double d = std::sqrt(s);
      if (!(d <= best[9])) continue;
      int32_t k = 9;
      while (k > 0 && best[k - 1] >= d) {
        best[k] = best[k - 1];
        row[k] = row[k - 1];
        --k;
      }
      best[k] = d;
      row[k] = i + 1;
    }
    benchmark::DoNotOptimize(best[9]);
  }
}

// ---- convex hull ----

void qmx_Hull(benchmark::State& st) {
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  qmx::TPDblArray pts(static_cast<std::size_t>(st.range(0)));
  for (auto& p : pts) p = {u(gen), u(gen)};
  for (auto _ : st) benchmark::DoNotOptimize(qmx::Convex2DHull(pts).size());
}

// ---- multiple linear regression 1e5 x 20 ----

void qmx_MultiLinReg(benchmark::State& st) {
  qmx::TMatrix X;
  RandomMatrix(X, 100000, 20, 13);
  qmx::TVector y, b, se;
  y.Resize(100000);
  for (int32_t i = 0; i < 100000; ++i) y.Data()[i] = X.Data()[i] + 0.5 * X.Data()[100000 + i];
  bool near;
  for (auto _ : st) {
    qmx::MultiLinReg(&X, &y, &b, &se, near);
    benchmark::DoNotOptimize(b.Elem(1));
  }
}
void eigen_MultiLinReg(benchmark::State& st) {
  qmx::TMatrix X;
  RandomMatrix(X, 100000, 20, 13);
  Eigen::MatrixXd A(100000, 21);
  Eigen::VectorXd y(100000);
  for (int32_t i = 0; i < 100000; ++i) {
    A(i, 0) = 1.0;
    for (int32_t j = 0; j < 20; ++j) A(i, j + 1) = X.Data()[static_cast<std::size_t>(j) * 100000 + i];
    y(i) = X.Data()[i] + 0.5 * X.Data()[100000 + i];
  }
  for (auto _ : st) {
    Eigen::VectorXd b = A.colPivHouseholderQr().solve(y);
    benchmark::DoNotOptimize(b(0));
  }
}

}  // namespace

BENCHMARK(qmx_AgglomWard)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(literal_AgglomWard)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(qmx_AgglomWard)->Name("qmx_AgglomWard_10000")->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(qmx_KMeans)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_KMeans)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_FindNN)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_FindNN)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_Hull)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(qmx_MultiLinReg)->Unit(benchmark::kMillisecond);
BENCHMARK(eigen_MultiLinReg)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
