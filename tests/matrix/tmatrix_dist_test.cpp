// TMatrix correlation, differences, edge vectors and distances.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "matrix/tmatrix_test_util.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
using qmxtest::ChangeCounter;
using qmxtest::SetRows;

namespace {

TEST(TMatrixCorrelate, PearsonOfAllCells) {
  TMatrix a, b;
  a.SetName("A");
  SetRows(a, {{1, 2}, {3, 4}});
  SetRows(b, {{2, 4}, {6, 8}});
  EXPECT_NEAR(a.Correlate(&b), 1.0, 1e-15);
  SetRows(b, {{4, 3}, {2, 1}});
  EXPECT_NEAR(a.Correlate(&b), -1.0, 1e-15);
  SetRows(b, {{1, 0}, {0, 0}});
  // x = (1, 3, 2, 4), y = (1, 0, 0, 0): Sxy - SxSy/n = -1.5, Qx = 5, Qy = 0.75.
  EXPECT_NEAR(a.Correlate(&b), -3.0 / std::sqrt(15.0), 1e-15);
  TMatrix c, d;
  SetRows(c, {{1, 2}});
  SetRows(d, {{5, 9}});
  EXPECT_EQ(c.Correlate(&d), 0.0);  // fewer than three cells
  try {
    a.Correlate(&c);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"A\": matrices do not match");
  }
}

TEST(TMatrixDiff, SuccessiveDifferences) {
  TMatrix m;
  SetRows(m, {{1, 1}, {4, 8}, {9, 27}, {16, 64}});
  m.Diff(1);
  ASSERT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.Elem(1, 1), 3);
  EXPECT_EQ(m.Elem(1, 2), 5);
  EXPECT_EQ(m.Elem(1, 3), 7);
  EXPECT_EQ(m.Elem(2, 3), 37);
  SetRows(m, {{1, 1}, {4, 8}, {9, 27}, {16, 64}});
  m.Diff(2);
  ASSERT_EQ(m.NrOfRows(), 2);
  EXPECT_EQ(m.Elem(1, 1), 2);
  EXPECT_EQ(m.Elem(1, 2), 2);
  EXPECT_EQ(m.Elem(2, 1), 12);
  EXPECT_EQ(m.Elem(2, 2), 18);
  ChangeCounter cc;
  cc.Attach(m);
  m.Diff(2);  // order not below the row count
  m.Diff(0);
  EXPECT_EQ(cc.n, 0);
  EXPECT_EQ(m.NrOfRows(), 2);
}

TEST(TMatrixEdge, EdgeVectorsPerRowAndColumn) {
  TMatrix m;
  SetRows(m, {{1, -5}, {4, 2}, {7, 0}});  // 3 rows, 2 columns
  TVector v;
  m.EdgeVector(orCols, eopMean, &v);
  ASSERT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.Elem(1), 4);
  EXPECT_EQ(v.Elem(2), -1);
  m.EdgeVector(orRows, eopMin, &v);
  ASSERT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.Elem(1), -5);
  EXPECT_EQ(v.Elem(3), 0);
  m.EdgeVector(orRows, eopMax, &v);
  EXPECT_EQ(v.Elem(1), 1);
  EXPECT_EQ(v.Elem(2), 4);
  m.EdgeVector(orCols, eopSum, &v);
  EXPECT_EQ(v.Elem(1), 12);
  m.EdgeVector(orRows, eopMean, &v);
  EXPECT_EQ(v.Elem(1), -2);
}

TEST(TMatrixDistance, DistancesBetweenObjects) {
  TMatrix m;
  SetRows(m, {{0, 0}, {3, 4}, {1, 2}});
  EXPECT_EQ(m.DistanceOfObjects(dmEuclid, 1, 2), 5);
  EXPECT_EQ(m.DistanceOfObjects(dmEuclidSqr, 1, 2), 25);
  EXPECT_EQ(m.DistanceOfObjects(dmManhattan, 2, 3), 4);
  EXPECT_EQ(m.DistanceOfObjects(dmJaccard, 2, 2), 1);
  // a = (3, 4), b = (1, 2): ab = 11, aa = 25, bb = 5.
  EXPECT_DOUBLE_EQ(m.DistanceOfObjects(dmJaccard, 2, 3), 11.0 / 19.0);
  EXPECT_DOUBLE_EQ(m.DistanceOfObjects(dmDice, 2, 3), 22.0 / 30.0);
  EXPECT_EQ(m.DistanceOfObjects(dmEuclid, 2, 9), 5);  // outside rows compare zeros
  EXPECT_EQ(m.DistanceOfObjects(dmUserDef, 1, 2), 0.0);
  m.OnCalcDistance = [&](TObject* s, int32_t r1, int32_t r2, double& d) {
    EXPECT_EQ(s, &m);
    EXPECT_EQ(d, 0.0);
    d = 100 * r1 + r2;
  };
  EXPECT_EQ(m.DistanceOfObjects(dmUserDef, 3, 1), 301);
  EXPECT_EQ(m.DistanceOfObjects(static_cast<TDistMode>(42), 1, 2), 0.0);
  EXPECT_STREQ(DistModeId[dmEuclidSqr], "squared Euclidean");
}

TEST(TMatrixDistance, DistanceMatrixChecksTheTarget) {
  TMatrix m, d;
  SetRows(m, {{0, 0}, {3, 4}, {6, 8}});
  d.Resize(3, 4);
  d.Fill(7);
  EXPECT_EQ(m.CalcDistMat(dmEuclid, &d), -1);
  EXPECT_EQ(d.Sum(0, 0, 0, 0), 84);  // unchanged
  d.Resize(2, 2);
  EXPECT_EQ(m.CalcDistMat(dmEuclid, &d), -2);
  d.Resize(3, 3);
  ASSERT_EQ(m.CalcDistMat(dmEuclid, &d), 0);
  const double want[3][3] = {{0, 5, 10}, {5, 0, 5}, {10, 5, 0}};
  for (int c = 1; c <= 3; ++c)
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(d.Elem(c, r), want[r - 1][c - 1]);
}

// Plain pair loop with the documented summation (variables in increasing order).
double RefDistance(const std::vector<std::vector<double>>& x, TDistMode mode, int i, int j) {
  double s = 0, ab = 0, aa = 0, bb = 0;
  for (std::size_t k = 0; k < x[i].size(); ++k) {
    const double a = x[i][k], b = x[j][k];
    s += mode == dmManhattan ? std::fabs(a - b) : (a - b) * (a - b);
    ab += a * b;
    aa += a * a;
    bb += b * b;
  }
  switch (mode) {
    case dmEuclid: return std::sqrt(s);
    case dmJaccard: return ab / (aa + bb - ab);
    case dmDice: return 2 * ab / (aa + bb);
    default: return s;
  }
}

TEST(TMatrixDistance, DistanceMatrixMatchesPairwiseSumsExactly) {
  RandSeed(21);
  const int n = 37, p = 5;
  std::vector<std::vector<double>> x(n, std::vector<double>(p));
  TMatrix m;
  m.Resize(p, n);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < p; ++k) {
      x[i][k] = RandomUniform() * 10 - 5;
      m.SetVal(k + 1, i + 1, x[i][k]);
    }
  for (TDistMode mode : {dmJaccard, dmManhattan, dmEuclid, dmEuclidSqr, dmDice}) {
    TMatrix d, e;
    d.Resize(n, n);
    e.Resize(n, n);
    int events = 0;
    e.OnChange = [&](TObject*) { ++events; };  // a listener takes the cell-by-cell path
    ASSERT_EQ(m.CalcDistMat(mode, &d), 0);
    ASSERT_EQ(m.CalcDistMat(mode, &e), 0);
    EXPECT_EQ(events, n * n);  // two per pair and one per diagonal cell
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const double want = i == j ? 0.0 : RefDistance(x, mode, std::min(i, j), std::max(i, j));
        ASSERT_EQ(d.Elem(i + 1, j + 1), want) << mode << " " << i << " " << j;
        ASSERT_EQ(e.Elem(i + 1, j + 1), want);
      }
  }
  // User-defined distances come from the handler.
  TMatrix d;
  d.Resize(n, n);
  m.OnCalcDistance = [](TObject*, int32_t a, int32_t b, double& v) { v = a * 1000 + b; };
  ASSERT_EQ(m.CalcDistMat(dmUserDef, &d), 0);
  EXPECT_EQ(d.Elem(3, 5), 3005);
  EXPECT_EQ(d.Elem(5, 3), 3005);
  EXPECT_EQ(d.Elem(4, 4), 0);
}

}  // namespace
