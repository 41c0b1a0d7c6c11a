// TMatrix products, decompositions, inverse, determinant, balancing and norms (class side).
#include <gtest/gtest.h>

#include <cmath>

#include "matrix/linalg.h"
#include "matrix/tmatrix_test_util.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
using qmxtest::ChangeCounter;
using qmxtest::SetRows;

namespace {

TEST(TMatrixProducts, MatrixProductsAndTheirShapes) {
  TMatrix a, b, r;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}});      // 2 x 3 (rows x columns)
  SetRows(b, {{7, 8}, {9, 10}, {11, 12}});  // 3 x 2
  ChangeCounter ca, cr;
  ca.Attach(a);
  cr.Attach(r);
  ASSERT_TRUE(a.Multiply(&b, &r));
  EXPECT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.NrOfRows(), 2);
  EXPECT_EQ(r.Elem(1, 1), 58);
  EXPECT_EQ(r.Elem(2, 1), 64);
  EXPECT_EQ(r.Elem(1, 2), 139);
  EXPECT_EQ(r.Elem(2, 2), 154);
  EXPECT_EQ(ca.n, 1);      // the operand reports although it did not change
  EXPECT_EQ(cr.n, 1 + 4);  // resize, then one per cell

  EXPECT_FALSE(a.Multiply(&a, &r));  // 3 columns against 2 rows
  EXPECT_FALSE(a.Multiply(&b, static_cast<TMatrix*>(nullptr)));

  ASSERT_TRUE(a.MultiplyTransposed(&a, &r));  // A A^T
  EXPECT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.Elem(1, 1), 14);
  EXPECT_EQ(r.Elem(2, 1), 32);
  EXPECT_EQ(r.Elem(2, 2), 77);
  ASSERT_TRUE(a.TransposeAndMultiply(&a, &r));  // A^T A, 3 x 3
  EXPECT_EQ(r.NrOfColumns(), 3);
  EXPECT_EQ(r.Elem(1, 1), 17);
  EXPECT_EQ(r.Elem(3, 2), 2 * 3 + 5 * 6);
  EXPECT_FALSE(a.TransposeAndMultiply(&b, &r));

  // A result object that is also an operand still receives the right product.
  TMatrix s;
  SetRows(s, {{1, 2}, {3, 4}});
  ASSERT_TRUE(s.Multiply(&s, &s));
  EXPECT_EQ(s.Elem(1, 1), 7);
  EXPECT_EQ(s.Elem(2, 1), 10);
  EXPECT_EQ(s.Elem(1, 2), 15);
  EXPECT_EQ(s.Elem(2, 2), 22);
}

TEST(TMatrixProducts, MatrixVectorProducts) {
  TMatrix a;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}});
  TVector x, y;
  x.Resize(3);
  x.SetVal(1, 1);
  x.SetVal(2, 0);
  x.SetVal(3, -1);
  ASSERT_TRUE(a.Multiply(&x, &y));
  ASSERT_EQ(y.NrOfElem(), 2);
  EXPECT_EQ(y.Elem(1), -2);
  EXPECT_EQ(y.Elem(2), -2);
  EXPECT_FALSE(a.TransposeAndMultiply(&x, &y));
  TVector z;
  z.Resize(2);
  z.SetVal(1, 1);
  z.SetVal(2, 2);
  ASSERT_TRUE(a.TransposeAndMultiply(&z, &y));
  ASSERT_EQ(y.NrOfElem(), 3);
  EXPECT_EQ(y.Elem(1), 9);
  EXPECT_EQ(y.Elem(3), 15);
}

TEST(TMatrixProducts, SquareIsScaledCrossProductAndStopsOnAbort) {
  TMatrix a, r;
  SetRows(a, {{1, 2}, {3, 4}, {5, 6}});
  ASSERT_TRUE(a.Square(&r, 2.0));
  EXPECT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.Elem(1, 1), 35.0 / 2);
  EXPECT_EQ(r.Elem(2, 1), 44.0 / 2);
  EXPECT_EQ(r.Elem(1, 2), 44.0 / 2);
  EXPECT_EQ(r.Elem(2, 2), 56.0 / 2);
  EXPECT_FALSE(a.Square(nullptr, 1));
  AbortMathProc = true;
  EXPECT_FALSE(a.Square(&r, 1));
  AbortMathProc = false;
}

TEST(TMatrixDecomp, DeterminantFollowsRowInterchanges) {
  TMatrix m;
  SetRows(m, {{0, 1}, {1, 0}});
  EXPECT_DOUBLE_EQ(m.Determinant(), -1);
  EXPECT_EQ(LUParity, -1);
  SetRows(m, {{2, 0}, {0, 3}});
  EXPECT_DOUBLE_EQ(m.Determinant(), 6);
  SetRows(m, {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}});
  EXPECT_NEAR(m.Determinant(), 4, 1e-14);
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  EXPECT_EQ(m.Determinant(), 0.0);
  SetRows(m, {{1, 2}, {2, 4}});
  EXPECT_EQ(m.Determinant(), 0.0);
}

TEST(TMatrixDecomp, LUFactorsReproduceThePermutedMatrix) {
  TMatrix a, L, U, P;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
  ASSERT_TRUE(a.LUdecomposition(&L, &U));
  EXPECT_EQ(a.Elem(1, 1), 1);  // the matrix itself is not changed
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(L.Elem(i, i), 1.0);
    for (int j = i + 1; j <= 3; ++j) {
      EXPECT_EQ(L.Elem(j, i), 0.0);  // L lower, U upper
      EXPECT_EQ(U.Elem(i, j), 0.0);
    }
  }
  ASSERT_TRUE(L.Multiply(&U, &P));
  // Every row of L*U is one of the rows of A, each used once.
  int used = 0;
  for (int r = 1; r <= 3; ++r)
    for (int s = 1; s <= 3; ++s) {
      bool same = true;
      for (int c = 1; c <= 3; ++c) same &= std::fabs(P.Elem(c, r) - a.Elem(c, s)) < 1e-12;
      if (same) used |= 1 << s;
    }
  EXPECT_EQ(used, 0b1110);
  SetRows(a, {{1, 2}, {0, 0}});
  EXPECT_FALSE(a.LUdecomposition(&L, &U));
  EXPECT_EQ(U.Elem(2, 1), 2);  // stopped at the zero row: U holds the copy
  EXPECT_FALSE(a.LUdecomposition(&L, nullptr));
}

TEST(TMatrixDecomp, InvertInPlace) {
  TMatrix m;
  SetRows(m, {{4, 7}, {2, 6}});
  ChangeCounter cc;
  cc.Attach(m);
  ASSERT_TRUE(m.Invert());
  EXPECT_NEAR(m.Elem(1, 1), 0.6, 1e-15);
  EXPECT_NEAR(m.Elem(2, 1), -0.7, 1e-15);
  EXPECT_NEAR(m.Elem(1, 2), -0.2, 1e-15);
  EXPECT_NEAR(m.Elem(2, 2), 0.4, 1e-15);
  EXPECT_EQ(cc.n, 1);
  SetRows(m, {{1, 2}, {2, 4}});
  cc.n = 0;
  EXPECT_FALSE(m.Invert());
  EXPECT_EQ(cc.n, 1);  // fires also on failure
  SetRows(m, {{1, 2, 3}});
  cc.n = 0;
  EXPECT_FALSE(m.Invert());
  EXPECT_EQ(cc.n, 0);
  EXPECT_EQ(m.Elem(3, 1), 3);

  // A x A^-1 = I on a less trivial matrix.
  TMatrix a, b, p;
  SetRows(a, {{2, -1, 0, 1}, {-1, 3, 1, 0}, {0, 1, 4, -2}, {1, 0, -2, 5}});
  b.Assign(&a);
  ASSERT_TRUE(b.Invert());
  a.Multiply(&b, &p);
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 4; ++r) EXPECT_NEAR(p.Elem(c, r), c == r ? 1.0 : 0.0, 1e-13);
}

TEST(TMatrixDecomp, Cholesky) {
  TMatrix a, L;
  SetRows(a, {{4, 2}, {2, 3}});
  ASSERT_TRUE(a.CholeskyDecomp(&L));
  EXPECT_DOUBLE_EQ(L.Elem(1, 1), 2);
  EXPECT_DOUBLE_EQ(L.Elem(1, 2), 1);
  EXPECT_DOUBLE_EQ(L.Elem(2, 2), std::sqrt(2.0));
  EXPECT_EQ(L.Elem(2, 1), 0.0);  // above the diagonal: not written
  EXPECT_DOUBLE_EQ(a.Elem(2, 1), 1);  // off-diagonal factor in the strict upper triangle
  SetRows(a, {{1, 2}, {2, 1}});
  EXPECT_FALSE(a.CholeskyDecomp(&L));
  SetRows(a, {{1, 2, 3}});
  EXPECT_FALSE(a.CholeskyDecomp(&L));
}

TEST(TMatrixDecomp, BalanceKeepsDiagonalAndEigenvalues) {
  TMatrix a;
  SetRows(a, {{1, 100, 0}, {0.01, 2, 100}, {0, 0.01, 3}});
  const double det = a.Determinant();
  ASSERT_TRUE(a.Balance());
  EXPECT_EQ(a.Elem(1, 1), 1);
  EXPECT_EQ(a.Elem(2, 2), 2);
  EXPECT_EQ(a.Elem(3, 3), 3);
  EXPECT_NEAR(a.Determinant(), det, 1e-12 * std::fabs(det));
  EXPECT_LT(a.Elem(2, 1), 100);  // the large entry was scaled down
  // The off-diagonal products that carry the characteristic polynomial stay.
  EXPECT_NEAR(a.Elem(2, 1) * a.Elem(1, 2), 1.0, 1e-12);
  TMatrix r;
  SetRows(r, {{1, 2, 3}});
  EXPECT_FALSE(r.Balance());
}

TEST(TMatrixNorms, AllKinds) {
  TMatrix m;
  SetRows(m, {{1, -2}, {3, 4}});
  EXPECT_EQ(m.Norm(ntColwise), 6);
  EXPECT_EQ(m.Norm(ntRowwise), 7);
  EXPECT_DOUBLE_EQ(m.Norm(ntFrobenius), std::sqrt(30.0));
  EXPECT_EQ(m.Norm(static_cast<TNormType>(9)), 0.0);
  SetRows(m, {{3, 0}, {0, -4}});
  EXPECT_NEAR(m.Norm(ntSpectral), 4, 1e-14);
  SetRows(m, {{3, 4}});  // fewer rows than columns: largest singular value all the same
  EXPECT_NEAR(m.Norm(ntSpectral), 5, 1e-14);
  SetRows(m, {{3}, {4}});
  EXPECT_NEAR(m.Norm(ntSpectral), 5, 1e-14);
  SetRows(m, {{1, 1}, {1, 1}});
  EXPECT_NEAR(m.Norm(ntSpectral), 2, 1e-14);
  AbortMathProc = true;
  try {
    m.Norm(ntSpectral);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "near singular covariance matrix");
  }
  AbortMathProc = false;
}

}  // namespace
