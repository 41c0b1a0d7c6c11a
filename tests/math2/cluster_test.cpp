#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <numeric>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

void SetRows(TMatrix& M, std::initializer_list<std::initializer_list<double>> rows) {
  const int32_t nr = static_cast<int32_t>(rows.size());
  const int32_t nc = static_cast<int32_t>(rows.begin()->size());
  M.Resize(nc, nr);
  int32_t r = 1;
  for (const auto& row : rows) {
    int32_t c = 1;
    for (double v : row) M.Cell(c++, r) = v;
    ++r;
  }
}

// Points on a coarse integer grid: many equal distances.
void GridPoints(TMatrix& M, int32_t n, int32_t p, int32_t range, unsigned seed) {
  RandSeed(seed);
  M.Resize(p, n);
  for (int32_t r = 1; r <= n; ++r)
    for (int32_t c = 1; c <= p; ++c) M.Cell(c, r) = RandomInt(range);
}

// ---- the agglomeration as a literal scan over the whole distance matrix ----------------------

struct TAgglomResult {
  std::vector<int32_t> dend;  // 3 per merge
  std::vector<double> dist, pos;
};

TAgglomResult LiteralAgglom(const TMatrix& X, TDistMode mode, TClusterMethod m, double alpha) {
  const int32_t n = X.NrOfRows();
  alpha = std::clamp(alpha, 0.5, 1.0);
  TMatrix DM;
  DM.Resize(n, n);
  X.CalcDistMat(mode, &DM);
  std::vector<std::vector<double>> D(n, std::vector<double>(n));
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < n; ++j) D[i][j] = DM.Elem(i + 1, j + 1);
  std::vector<int32_t> node(n);
  std::vector<double> size(n, 1.0);
  std::iota(node.begin(), node.end(), 1);
  TAgglomResult R;
  for (int32_t r = 1; r < n; ++r) {
    int32_t g = -1, h = -1;
    double best = DBL_MAX;
    for (int32_t a = 0; a < n; ++a) {
      if (node[a] == 0) continue;
      for (int32_t b = a + 1; b < n; ++b)
        if (node[b] != 0 && D[a][b] < best) {
          best = D[a][b];
          g = a;
          h = b;
        }
    }
    if (g < 0) {  // no distance below DBL_MAX: first two active slots
      for (g = 0; node[g] == 0; ++g) {}
      for (h = g + 1; node[h] == 0; ++h) {}
    }
    const double dgh = D[g][h], ng = size[g], nh = size[h];
    for (int32_t i = 0; i < n; ++i) {
      if (node[i] == 0 || i == g || i == h) continue;
      const double dgi = D[g][i], dhi = D[h][i], ni = size[i];
      double v = 0;
      switch (m) {
        case cmSingleLink: v = std::min(dgi, dhi); break;
        case cmCompleteLink: v = std::max(dgi, dhi); break;
        case cmWard: v = (dgi * (ng + ni) + dhi * (nh + ni) - dgh * ni) / (ng + nh + ni); break;
        case cmAvgLink: v = (dgi + dhi) / 2.0; break;
        case cmFlexLink: v = (dgi + dhi) * alpha + dgh * (1.0 - 2.0 * alpha); break;
        case cmUpgma: v = dgi * ng / (ng + nh) + dhi * nh / (ng + nh); break;
      }
      D[i][h] = D[h][i] = v;
    }
    R.dend.insert(R.dend.end(), {node[g], node[h], n + r});
    R.dist.push_back(dgh);
    node[h] = n + r;
    size[h] += size[g];
    node[g] = 0;
    size[g] = 0;
  }
  std::vector<int32_t> list = {R.dend[3 * (n - 2)], R.dend[3 * (n - 2) + 1]};
  for (bool again = true; again;) {
    again = false;
    for (std::size_t p = 0; p < list.size(); ++p)
      if (list[p] > n) {
        const int32_t row = list[p] - n - 1;
        list[p] = R.dend[3 * row + 1];
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(p) + 1, R.dend[3 * row]);
        again = true;
      }
  }
  R.pos.assign(2 * n - 1, 0.0);
  for (std::size_t p = 0; p < list.size(); ++p) R.pos[list[p] - 1] = static_cast<double>(p + 1);
  for (int32_t r = 1; r < n; ++r)
    R.pos[n + r - 1] = (R.pos[R.dend[3 * (r - 1)] - 1] + R.pos[R.dend[3 * (r - 1) + 1] - 1]) / 2;
  return R;
}

void ExpectSameAsLiteral(TMatrix& X, TDistMode mode, TClusterMethod m, double alpha) {
  const TAgglomResult L = LiteralAgglom(X, mode, m, alpha);
  TIntMatrix dend;
  TVector dist, pos;
  ASSERT_EQ(AgglomClustering(nullptr, &X, mode, m, alpha, &dend, &dist, &pos), 0);
  const int32_t n = X.NrOfRows();
  ASSERT_EQ(dend.NrOfColumns(), 3);
  ASSERT_EQ(dend.NrOfRows(), n - 1);
  for (int32_t r = 1; r < n; ++r) {
    ASSERT_EQ(dend.Elem(1, r), L.dend[3 * (r - 1)]) << "merge " << r << " rule " << m;
    ASSERT_EQ(dend.Elem(2, r), L.dend[3 * (r - 1) + 1]) << "merge " << r << " rule " << m;
    ASSERT_EQ(dend.Elem(3, r), n + r);
    // Bit for bit (NaN-free data): the same pairs with the same formulas in the same order.
    ASSERT_EQ(dist.Elem(r), L.dist[r - 1]) << "merge " << r << " rule " << m;
  }
  for (int32_t i = 1; i <= 2 * n - 1; ++i) ASSERT_EQ(pos.Elem(i), L.pos[i - 1]);
}

}  // namespace

TEST(AgglomClustering, MatchesLiteralScanForAllRulesWithManyTies) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    TMatrix X;
    GridPoints(X, 40 + 17 * static_cast<int32_t>(seed), 2, 5, seed);
    for (int m = cmSingleLink; m <= cmUpgma; ++m) {
      ExpectSameAsLiteral(X, dmManhattan, static_cast<TClusterMethod>(m), 0.6);
      ExpectSameAsLiteral(X, dmEuclidSqr, static_cast<TClusterMethod>(m), 0.75);
    }
  }
}

TEST(AgglomClustering, MatchesLiteralScanOnContinuousData) {
  TMatrix X;
  RandSeed(99);
  X.Resize(3, 150);
  X.FillRandomGauss(0.0, 1.0);
  for (int m = cmSingleLink; m <= cmUpgma; ++m)
    ExpectSameAsLiteral(X, dmEuclid, static_cast<TClusterMethod>(m), 0.3);  // alpha clamped
}

TEST(AgglomClustering, TwoObjectsAndHandComputedTree) {
  TMatrix X;
  SetRows(X, {{0.0}, {2.0}});
  TIntMatrix dend;
  TVector dist, pos;
  ASSERT_EQ(AgglomClustering(nullptr, &X, dmEuclid, cmWard, 0.5, &dend, &dist, &pos), 0);
  EXPECT_EQ(dend.Elem(1, 1), 1);
  EXPECT_EQ(dend.Elem(2, 1), 2);
  EXPECT_EQ(dend.Elem(3, 1), 3);
  EXPECT_EQ(dist.Elem(1), 2.0);
  EXPECT_EQ(pos.Elem(1), 1.0);
  EXPECT_EQ(pos.Elem(2), 2.0);
  EXPECT_EQ(pos.Elem(3), 1.5);

  // 0, 1, 5, 7 on a line, single linkage: (1,2) at 1, then (3,4) at 2, then the two at 4.
  SetRows(X, {{0.0}, {1.0}, {5.0}, {7.0}});
  ASSERT_EQ(AgglomClustering(nullptr, &X, dmEuclid, cmSingleLink, 0.5, &dend, &dist, &pos), 0);
  EXPECT_EQ(dend.Elem(1, 1), 1);
  EXPECT_EQ(dend.Elem(2, 1), 2);
  EXPECT_EQ(dend.Elem(1, 2), 3);
  EXPECT_EQ(dend.Elem(2, 2), 4);
  EXPECT_EQ(dend.Elem(1, 3), 5);
  EXPECT_EQ(dend.Elem(2, 3), 6);
  EXPECT_EQ(dist.Elem(1), 1.0);
  EXPECT_EQ(dist.Elem(2), 2.0);
  EXPECT_EQ(dist.Elem(3), 4.0);
  // Drawn order: expand 5 -> (2, 1), then 6 -> (4, 3).
  EXPECT_EQ(pos.Elem(2), 1.0);
  EXPECT_EQ(pos.Elem(1), 2.0);
  EXPECT_EQ(pos.Elem(4), 3.0);
  EXPECT_EQ(pos.Elem(3), 4.0);
  EXPECT_EQ(pos.Elem(7), 2.5);
}

TEST(AgglomClustering, AbortNaNUserDistanceAndBadInput) {
  TMatrix X;
  GridPoints(X, 30, 2, 10, 3);
  TIntMatrix dend;
  TVector dist, pos;
  int calls = 0;
  auto fb = [&](TObject*, double, double pct) {
    if (++calls == 5) AbortMathProc = true;
    EXPECT_LE(pct, 100.0);
  };
  EXPECT_EQ(AgglomClustering(nullptr, &X, dmEuclid, cmAvgLink, 0.5, &dend, &dist, &pos, fb), -1);
  AbortMathProc = false;
  EXPECT_EQ(dist.NrOfElem(), 29);
  for (int32_t i = 1; i <= 29; ++i) EXPECT_EQ(dist.Elem(i), 0.0);
  for (int32_t r = 1; r <= 29; ++r) EXPECT_EQ(dend.Elem(3, r), 0);

  // NaN coordinates: the run ends, every node is merged once.
  X.Cell(1, 4) = std::nan("");
  X.Cell(2, 9) = std::nan("");
  ASSERT_EQ(AgglomClustering(nullptr, &X, dmEuclid, cmWard, 0.5, &dend, &dist, &pos), 0);
  std::vector<int> seen(2 * 30, 0);
  for (int32_t r = 1; r <= 29; ++r) {
    ++seen[dend.Elem(1, r)];
    ++seen[dend.Elem(2, r)];
  }
  for (int i = 1; i < 2 * 30 - 1; ++i) EXPECT_EQ(seen[i], 1) << i;

  // The user-defined distance goes through the given event; the matrix's own event is restored.
  TMatrix Y;
  SetRows(Y, {{0.0}, {0.0}, {0.0}});
  bool own = false;
  Y.OnCalcDistance = [&](TObject*, int32_t, int32_t, double& d) { own = true; d = 0; };
  auto ev = [](TObject*, int32_t a, int32_t b, double& d) { d = (a == 1 && b == 3) ? 0.5 : 9.0; };
  ASSERT_EQ(AgglomClustering(nullptr, &Y, dmUserDef, cmCompleteLink, 0.5, &dend, &dist, &pos,
                             nullptr, ev),
            0);
  EXPECT_FALSE(own);
  EXPECT_EQ(dend.Elem(1, 1), 1);
  EXPECT_EQ(dend.Elem(2, 1), 3);
  EXPECT_EQ(dist.Elem(1), 0.5);
  ASSERT_TRUE(static_cast<bool>(Y.OnCalcDistance));

  TMatrix one;
  SetRows(one, {{1.0, 2.0}});
  EXPECT_THROW(AgglomClustering(nullptr, &one, dmEuclid, cmWard, 0.5, &dend, &dist, &pos),
               EQMXMath2Error);
}

TEST(KMeans, SeparatedGroupsAreFoundAndNumberedBySize) {
  // Groups of 2 (rows 1, 4), 4 (rows 2, 5, 6, 7) and 3 (rows 3, 8, 9) objects.
  TMatrix X;
  SetRows(X, {{0, 0}, {10, 1}, {20, 5}, {1, 0}, {11, 1}, {10, -1}, {11, -1}, {21, 5}, {22, 5}});
  TMatrix C;
  TIntVector A, S;
  // Seed 0 starts at rows 1..3, one in each group.
  const double ss = kMeansClustering(&X, 0, 0, 3, 0, &C, &A, &S);
  ASSERT_EQ(S.NrOfElem(), 3);
  EXPECT_EQ(S.Elem(1), 4);
  EXPECT_EQ(S.Elem(2), 3);
  EXPECT_EQ(S.Elem(3), 2);
  for (int32_t r : {2, 5, 6, 7}) EXPECT_EQ(A.Elem(r), 1);
  for (int32_t r : {3, 8, 9}) EXPECT_EQ(A.Elem(r), 2);
  for (int32_t r : {1, 4}) EXPECT_EQ(A.Elem(r), 3);
  EXPECT_EQ(C.Elem(1, 1), 10.5);
  EXPECT_EQ(C.Elem(2, 1), 0.0);
  EXPECT_EQ(C.Elem(1, 2), 21.0);
  EXPECT_EQ(C.Elem(2, 2), 5.0);
  EXPECT_EQ(C.Elem(1, 3), 0.5);
  // 4 * (0.25 + 1) + (1 + 0 + 1) + 2 * 0.25
  EXPECT_DOUBLE_EQ(ss, 7.5);
  // A second call with the filled assignment vector gives the same centres (not data rows).
  TMatrix C2;
  EXPECT_DOUBLE_EQ(kMeansClustering(&X, 0, 0, 3, 0, &C2, &A, &S), 7.5);
  EXPECT_EQ(C2.Elem(1, 1), 10.5);
  EXPECT_EQ(C2.Elem(1, 3), 0.5);
}

TEST(KMeans, EdgeCases) {
  TMatrix X;
  SetRows(X, {{3, 1}, {7, 2}, {-1, 5}, {0, 0}});
  TMatrix C;
  TIntVector A, S;
  EXPECT_EQ(kMeansClustering(&X, 0, 0, 4, 0, &C, &A, &S), 0.0);
  for (int32_t k = 1; k <= 4; ++k) EXPECT_EQ(S.Elem(k), 1);
  try {
    kMeansClustering(&X, 0, 0, 5, &C, &A);
    FAIL();
  } catch (const EQMXMath2Error& e) {
    EXPECT_STREQ(e.what(), "kMeansClustering: number of clusters is greater than number of objects");
  }
  EXPECT_THROW(kMeansClustering(&X, 0, 0, 0, &C, &A), EQMXMath2Error);
  // A NaN object is counted in cluster 1 instead of being lost.
  X.Cell(1, 2) = std::nan("");
  kMeansClustering(&X, 0, 0, 2, 0, &C, &A, &S);
  EXPECT_EQ(S.Elem(1) + S.Elem(2), 4);
  // By hand: 0.18232*100 - 108 - 9.2427 - 17.557 + 0.38775*316.2278 = 1811.02
  EXPECT_EQ(kMeansEstimatedSteps(10000, 10000, 10), 1811);
  EXPECT_EQ(kMeansEstimatedSteps(10, 10, 10), 20);
  EXPECT_EQ(kMeansEstimatedSteps(-5, 3, 1), 20);
}

TEST(NearestNeighbors, MatchesBruteForceOrderWithTies) {
  TMatrix X;
  GridPoints(X, 300, 3, 4, 11);
  TVector q;
  q.Resize(3);
  q.Data()[0] = 1.0;
  q.Data()[1] = 2.0;
  q.Data()[2] = 1.0;
  TMatrix L;
  L.Resize(2, 100);
  FindNearestNeighbors(150, &X, 0, 0, &q, &L);  // clipped to 100
  std::vector<std::pair<double, int32_t>> all;
  for (int32_t r = 1; r <= 300; ++r) {
    double s = 0;
    for (int32_t c = 1; c <= 3; ++c) s += (X.Elem(c, r) - q.Elem(c)) * (X.Elem(c, r) - q.Elem(c));
    all.push_back({std::sqrt(s), -r});  // among equal distances the later row first
  }
  std::sort(all.begin(), all.end());
  for (int32_t i = 1; i <= 100; ++i) {
    ASSERT_EQ(L.Elem(2, i), all[i - 1].first) << i;
    ASSERT_EQ(L.Elem(1, i), -all[i - 1].second) << i;
  }
  TMatrix E;
  E.Resize(2, 3);
  E.Fill(-7.0);
  FindNearestNeighbors(0, &X, 0, 0, &q, &E);
  EXPECT_EQ(E.Elem(1, 1), -7.0);
  // The callback replaces the distance; rows outside the range are not considered.
  FindNearestNeighbors(2, &X, 10, 20, &q, &E, [](int32_t r) { return std::fabs(r - 14.2); });
  EXPECT_EQ(E.Elem(1, 1), 14.0);
  EXPECT_EQ(E.Elem(1, 2), 15.0);
  EXPECT_NEAR(E.Elem(2, 2), 0.8, 1e-12);
  EXPECT_EQ(E.Elem(1, 3), -7.0);
}

TEST(NearestNeighbors, EstimatesAndMeanDistances) {
  // Objects on a 5 x 5 grid, value a quadratic of the coordinates.
  TMatrix X;
  TVector y;
  X.Resize(2, 25);
  y.Resize(25);
  auto f = [](double a, double b) { return 1 + 2 * a - 3 * b + 0.5 * a * a - b * b + 0.25 * a * b; };
  for (int32_t i = 0; i < 25; ++i) {
    X.Cell(1, i + 1) = i % 5;
    X.Cell(2, i + 1) = i / 5;
    y.Data()[i] = f(i % 5, i / 5);
  }
  TVector q;
  q.Resize(2);
  q.Data()[0] = 2.3;
  q.Data()[1] = 1.6;
  double e, d;
  EstimateByKNN(&X, &y, 12, kwmBiQuad, 1.0, &q, e, d);
  EXPECT_NEAR(e, f(2.3, 1.6), 1e-9);
  // Query on a grid point, K = 5: the point itself and its four neighbours at distance 1.
  q.Data()[0] = 2.0;
  q.Data()[1] = 2.0;
  EstimateByKNN(&X, &y, 5, kwmAverage, 1.0, &q, e, d);
  const double vals[5] = {f(2, 2), f(1, 2), f(3, 2), f(2, 1), f(2, 3)};
  EXPECT_NEAR(e, (vals[0] + vals[1] + vals[2] + vals[3] + vals[4]) / 5, 1e-12);
  EXPECT_DOUBLE_EQ(d, 0.8);
  // Gauss weights exp(-(d/D)^2): 1 for the centre, exp(-1/0.64) for the four others.
  EstimateByKNN(&X, &y, 5, kwmGauss, 1.0, &q, e, d);
  const double w = std::exp(-1.0 / 0.64);
  EXPECT_NEAR(e, (vals[0] + w * (vals[1] + vals[2] + vals[3] + vals[4])) / (1 + 4 * w), 1e-12);
  // Linear weights 1 - d/D/f with f = 2: 1 and 0.375.
  EstimateByKNN(&X, &y, 5, kwmLinear, 2.0, &q, e, d);
  EXPECT_NEAR(e, (vals[0] + 0.375 * (vals[1] + vals[2] + vals[3] + vals[4])) / 2.5, 1e-12);
  std::vector<double> sorted(vals, vals + 5);
  std::sort(sorted.begin(), sorted.end());
  EstimateByKNN(&X, &y, 5, kwmMedian, 1.0, &q, e, d);
  EXPECT_DOUBLE_EQ(e, sorted[2]);

  // All neighbours at distance 0: mean distance 0, the Gauss weights are all 1.
  TMatrix Z;
  SetRows(Z, {{1, 1}, {1, 1}, {1, 1}});
  TVector zy, zq;
  zy.Resize(3);
  zy.Data()[0] = 1;
  zy.Data()[1] = 2;
  zy.Data()[2] = 6;
  zq.Resize(2);
  zq.Fill(1.0);
  EstimateByKNN(&Z, &zy, 3, kwmGauss, 1.0, &zq, e, d);
  EXPECT_EQ(d, 0.0);
  EXPECT_DOUBLE_EQ(e, 3.0);

  TMatrix P;
  SetRows(P, {{0}, {1}, {3}, {7}});
  TVector m;
  m.Resize(4);
  MeanDistanceKNN(&P, 1, 0, 0, &m);
  for (int32_t i = 1; i <= 4; ++i) EXPECT_EQ(m.Elem(i), 0.0);
  MeanDistanceKNN(&P, 2, 0, 0, &m);
  EXPECT_EQ(m.Elem(1), 0.5);
  EXPECT_EQ(m.Elem(2), 0.5);
  EXPECT_EQ(m.Elem(3), 1.0);
  EXPECT_EQ(m.Elem(4), 2.0);
  // Range 3..4 with K = 5 is clipped to the two rows of the range.
  m.Fill(-1);
  MeanDistanceKNN(&P, 5, 4, 3, &m);
  EXPECT_EQ(m.Elem(1), -1.0);
  EXPECT_EQ(m.Elem(3), 2.0);
  EXPECT_EQ(m.Elem(4), 2.0);
}

TEST(FindCenters, MergesClosestObjectsAndKeepsTheData) {
  TMatrix X;
  SetRows(X, {{0, 0}, {10, 10}, {1, 0}, {11, 10}, {0.5, 3}});
  const std::string before = X.CRCofData();
  TMatrix C;
  C.Resize(2, 2);
  double md;
  FindCenters(&X, 0, 0, 2, &C, md);
  EXPECT_EQ(X.CRCofData(), before);
  // Merges (1,3) -> (0.5, 0) w 2, (2,4) -> (10.5, 10), then (0.5,0)+(0.5,3) -> (0.5, 1).
  std::vector<std::pair<double, double>> got = {{C.Elem(1, 1), C.Elem(2, 1)}, {C.Elem(1, 2), C.Elem(2, 2)}};
  std::sort(got.begin(), got.end());
  EXPECT_DOUBLE_EQ(got[0].first, 0.5);
  EXPECT_DOUBLE_EQ(got[0].second, 1.0);
  EXPECT_DOUBLE_EQ(got[1].first, 10.5);
  EXPECT_DOUBLE_EQ(got[1].second, 10.0);
  EXPECT_DOUBLE_EQ(md, std::sqrt(100.0 + 81.0));
  // Far-apart data (squared distances above 1e10) are merged too.
  SetRows(X, {{0}, {1e6}, {3e6}});
  C.Resize(1, 2);
  FindCenters(&X, 0, 0, 2, &C, md);
  EXPECT_DOUBLE_EQ(C.Elem(1, 1), 5e5);
  EXPECT_DOUBLE_EQ(md, 2.5e6);
}
