// Matrix kernels: hand-computed cases, identities (A inv(A) = I, L U = P A, L L^T = A,
// U diag(w) V^T = A) and bit-for-bit agreement with plain textbook loops of the same arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "matrix/linalg.h"
#include "qmx/basepack.h"

namespace {

using namespace qmx::linalg;
using Mat = std::vector<double>;

// Column-major element (r, c) of a matrix with ld rows.
double& At(Mat& a, int r, int c, int ld) { return a[static_cast<size_t>(c) * ld + r]; }
double At(const Mat& a, int r, int c, int ld) { return a[static_cast<size_t>(c) * ld + r]; }

Mat Random(int rows, int cols, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Mat a(static_cast<size_t>(rows) * cols);
  for (double& x : a) x = u(g);
  return a;
}

Mat Spd(int n, unsigned seed) {
  Mat b = Random(n, n, seed), a(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += At(b, k, i, n) * At(b, k, j, n);
      At(a, i, j, n) = s + (i == j ? 1.0 : 0.0);
    }
  return a;
}

// Plain product with op(A), op(B) as in MatMul.
Mat RefMatMul(const Mat& A, bool ta, const Mat& B, bool tb, int m, int n, int k) {
  Mat c(static_cast<size_t>(m) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < m; ++i) {
      double s = 0.0;
      for (int p = 0; p < k; ++p)
        s += (ta ? At(A, p, i, k) : At(A, i, p, m)) * (tb ? At(B, j, p, n) : At(B, p, j, k));
      At(c, i, j, m) = s;
    }
  return c;
}

// Crout's loops column by column, as the textbook writes them.
int RefCrout(Mat& a, int n, std::vector<int>& perm, int& parity) {
  std::vector<double> vv(n);
  parity = 1;
  for (int i = 0; i < n; ++i) {
    double big = 0.0;
    for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(At(a, i, j, n)));
    if (big == 0.0) return luZeroRow;
    vv[i] = big;
  }
  int status = luOK;
  perm.assign(n, 0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      double s = At(a, i, j, n);
      for (int k = 0; k < i; ++k) s -= At(a, i, k, n) * At(a, k, j, n);
      At(a, i, j, n) = s;
    }
    double big = 0.0;
    int imax = j;
    for (int i = j; i < n; ++i) {
      double s = At(a, i, j, n);
      for (int k = 0; k < j; ++k) s -= At(a, i, k, n) * At(a, k, j, n);
      At(a, i, j, n) = s;
      if (std::fabs(s) / vv[i] >= big) {
        big = std::fabs(s) / vv[i];
        imax = i;
      }
    }
    if (imax != j) {
      for (int k = 0; k < n; ++k) std::swap(At(a, imax, k, n), At(a, j, k, n));
      std::swap(vv[imax], vv[j]);
      parity = -parity;
    }
    perm[j] = imax;
    if (std::fabs(At(a, j, j, n)) < 1e-100) {
      At(a, j, j, n) = 1e-100;
      status = luTinyPivot;
    }
    for (int i = j + 1; i < n; ++i) At(a, i, j, n) /= At(a, j, j, n);
  }
  return status;
}

// Row-by-row substitution of one right-hand side, skipping its leading zeros.
void RefSolve(const Mat& lu, int n, const std::vector<int>& perm, std::vector<double>& b) {
  int ii = -1;
  for (int i = 0; i < n; ++i) {
    double s = b[perm[i]];
    b[perm[i]] = b[i];
    if (ii >= 0)
      for (int j = ii; j < i; ++j) s -= At(lu, i, j, n) * b[j];
    else if (s != 0.0)
      ii = i;
    b[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < n; ++j) s -= At(lu, i, j, n) * b[j];
    b[i] = s / At(lu, i, i, n);
  }
}

void ResetHooks() {
  qmx::ProcStat = 0.0;
  qmx::MathFeedBackProc = nullptr;
  qmx::AbortMathProc = false;
}

int gAbortAfter = 0;
void AbortAtStep(double v) {
  if (v >= gAbortAfter) qmx::AbortMathProc = true;
}

// ---- products ----------------------------------------------------------------------------------

TEST(LinalgProduct, HandComputedAndTransposedForms) {
  // A = [1 2 3; 4 5 6] (2 x 3), B = [7 8; 9 10; 11 12] (3 x 2): A B = [58 64; 139 154].
  const Mat A = {1, 4, 2, 5, 3, 6}, B = {7, 9, 11, 8, 10, 12};
  Mat C(4);
  MatMul(A.data(), false, B.data(), false, 2, 2, 3, C.data());
  EXPECT_EQ(C, (Mat{58, 139, 64, 154}));
  // A^T A (3 x 3) through the transposed form: [17 22 27; 22 29 36; 27 36 45].
  Mat S(9);
  MatMul(A.data(), true, A.data(), false, 3, 3, 2, S.data());
  EXPECT_EQ(S, (Mat{17, 22, 27, 22, 29, 36, 27, 36, 45}));
  // A A^T = [14 32; 32 77].
  MatMul(A.data(), false, A.data(), true, 2, 2, 3, C.data());
  EXPECT_EQ(C, (Mat{14, 32, 32, 77}));
  // Depth 0 gives zeros.
  Mat Z(4, 5.0);
  MatMul(nullptr, false, nullptr, false, 2, 2, 0, Z.data());
  EXPECT_EQ(Z, Mat(4, 0.0));
}

TEST(LinalgProduct, BlockedAndSmallProductsEqualPlainLoopsBitForBit) {
  // Large sizes cross the register tile, the packed row block and the depth block; the small
  // ones take the unpacked path.
  const int shapes[][3] = {{103, 37, 300}, {3, 2, 5}, {1, 7, 1}, {17, 19, 23}};
  for (const auto& sh : shapes) {
    const int m = sh[0], n = sh[1], k = sh[2];
    for (int t = 0; t < 4; ++t) {
      const bool ta = t & 1, tb = t & 2;
      const Mat A = Random(ta ? k : m, ta ? m : k, 11 + t), B = Random(tb ? n : k, tb ? k : n, 21 + t);
      Mat C(static_cast<size_t>(m) * n);
      MatMul(A.data(), ta, B.data(), tb, m, n, k, C.data());
      EXPECT_EQ(C, RefMatMul(A, ta, B, tb, m, n, k)) << m << "x" << n << "x" << k << " " << t;
    }
  }
}

TEST(LinalgProduct, MatrixVectorAndSquare) {
  const Mat A = {1, 4, 2, 5, 3, 6};  // [1 2 3; 4 5 6]
  std::vector<double> y(3);
  const std::vector<double> x = {1, -1, 2};
  MatVec(A.data(), 2, 3, false, x.data(), y.data());
  EXPECT_EQ(y[0], 5.0);
  EXPECT_EQ(y[1], 11.0);
  const std::vector<double> x2 = {2, -1};
  MatVec(A.data(), 2, 3, true, x2.data(), y.data());
  EXPECT_EQ(y, (std::vector<double>{-2, -1, 0}));

  ResetHooks();
  Mat R(9, -1.0);
  ASSERT_TRUE(SquareAtA(A.data(), 2, 3, 2.0, R.data()));
  EXPECT_EQ(R, (Mat{8.5, 11, 13.5, 11, 14.5, 18, 13.5, 18, 22.5}));
  EXPECT_EQ(qmx::ProcStat, 3.0);
  // The abort test comes before the step: a set flag stops before anything is written.
  Mat R2(9, -1.0);
  qmx::AbortMathProc = true;
  EXPECT_FALSE(SquareAtA(A.data(), 2, 3, 1.0, R2.data()));
  EXPECT_EQ(qmx::ProcStat, 3.0);
  EXPECT_EQ(R2, Mat(9, -1.0));
  ResetHooks();
}

// ---- LU, determinant, inverse -------------------------------------------------------------------

TEST(LinalgLU, FactorsReproduceThePermutedMatrix) {
  const int n = 70;  // more than two panels
  const Mat A = Random(n, n, 5);
  Mat lu = A;
  std::vector<int32_t> perm(n);
  int32_t parity = 0;
  ASSERT_EQ(LUDecompose(lu.data(), n, perm.data(), parity, false), luOK);
  Mat PA = A;
  for (int j = 0; j < n; ++j)
    for (int c = 0; c < n; ++c) std::swap(At(PA, j, c, n), At(PA, perm[j], c, n));
  Mat L(static_cast<size_t>(n) * n);
  LUSplit(lu.data(), L.data(), n);
  const Mat prod = RefMatMul(L, false, lu, false, n, n, n);
  for (size_t i = 0; i < prod.size(); ++i) EXPECT_NEAR(prod[i], PA[i], 1e-12);
  int swaps = 0;
  for (int j = 0; j < n; ++j) swaps += perm[j] != j;
  EXPECT_EQ(parity, swaps % 2 ? -1 : 1);
  for (int c = 0; c < n; ++c) {
    EXPECT_EQ(At(L, c, c, n), 1.0);
    for (int r = c + 1; r < n; ++r) EXPECT_EQ(At(lu, r, c, n), 0.0);
  }
}

TEST(LinalgLU, SameValuesAsCroutColumnByColumn) {
  for (int n : {1, 5, 33, 77}) {
    Mat a = Random(n, n, 100 + n), ref = a;
    std::vector<int32_t> perm(n);
    std::vector<int> rperm;
    int32_t parity = 0;
    int rparity = 0;
    EXPECT_EQ(LUDecompose(a.data(), n, perm.data(), parity, false), RefCrout(ref, n, rperm, rparity));
    EXPECT_EQ(a, ref) << "n = " << n;
    EXPECT_EQ(parity, rparity);
    EXPECT_EQ(std::vector<int>(perm.begin(), perm.end()), rperm);
  }
}

TEST(LinalgLU, PivotTiesZeroRowsAndTinyPivots) {
  // Rows (1, 2) and (2, 4) have equal scaled magnitudes 1/2 in column 1: the later row wins,
  // and the second pivot vanishes.
  Mat a = {1, 2, 2, 4};
  std::vector<int32_t> perm(2);
  int32_t parity = 0;
  EXPECT_EQ(LUDecompose(a.data(), 2, perm.data(), parity, false), luTinyPivot);
  EXPECT_EQ(perm[0], 1);
  EXPECT_EQ(parity, -1);
  EXPECT_EQ(At(a, 1, 1, 2), 1e-100);
  // A zero row stops before anything is changed.
  Mat z = {1, 0, 2, 0}, z0 = z;
  EXPECT_EQ(LUDecompose(z.data(), 2, perm.data(), parity, false), luZeroRow);
  EXPECT_EQ(z, z0);
  EXPECT_EQ(parity, 1);
}

TEST(LinalgLU, Determinants) {
  int32_t parity = 0;
  EXPECT_EQ(Determinant(Mat{0, 1, 1, 0}.data(), 2, parity), -1.0);
  EXPECT_EQ(parity, -1);
  EXPECT_EQ(Determinant(Mat{2, 0, 0, 3}.data(), 2, parity), 6.0);
  EXPECT_EQ(parity, 1);
  EXPECT_EQ(Determinant(Mat{1, 2, 2, 4}.data(), 2, parity), 0.0);
  EXPECT_EQ(Determinant(nullptr, 0, parity), 0.0);
  // [2 -3 1; 2 0 -1; 1 4 5] has determinant 49.
  EXPECT_NEAR(Determinant(Mat{2, 2, 1, -3, 0, 4, 1, -1, 5}.data(), 3, parity), 49.0, 1e-12);
  // The rows of the upper triangular [2 1 1 1; 0 3 1 1; 0 0 4 1; 0 0 0 5] in reverse order:
  // reversing four rows is an even permutation, so det = 2 * 3 * 4 * 5.
  const Mat rev = {0, 0, 0, 2, 0, 0, 3, 1, 0, 4, 1, 1, 5, 1, 1, 1};
  EXPECT_NEAR(Determinant(rev.data(), 4, parity), 120.0, 1e-12);
}

TEST(LinalgInverse, HandCaseIdentityAndSingular) {
  Mat a = {4, 2, 7, 6};  // [4 7; 2 6]
  ResetHooks();
  ASSERT_EQ(Invert(a.data(), 2), luOK);
  const Mat expect = {0.6, -0.2, -0.7, 0.4};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i], expect[i], 1e-15);
  EXPECT_EQ(qmx::ProcStat, 4.0);  // one step per column of the decomposition and of the solve

  Mat s = {1, 2, 2, 4};
  EXPECT_EQ(Invert(s.data(), 2), luTinyPivot);
  Mat z = {0, 0, 1, 0}, z0 = z;
  EXPECT_EQ(Invert(z.data(), 2), luZeroRow);
  EXPECT_EQ(z, z0);

  const int n = 90;  // several right-hand-side blocks and panels
  const Mat A = Random(n, n, 9);
  Mat inv = A;
  ResetHooks();
  ASSERT_EQ(Invert(inv.data(), n), luOK);
  EXPECT_EQ(qmx::ProcStat, 2.0 * n);
  const Mat I1 = RefMatMul(A, false, inv, false, n, n, n), I2 = RefMatMul(inv, false, A, false, n, n, n);
  for (int c = 0; c < n; ++c)
    for (int r = 0; r < n; ++r) {
      EXPECT_NEAR(At(I1, r, c, n), r == c ? 1.0 : 0.0, 1e-11);
      EXPECT_NEAR(At(I2, r, c, n), r == c ? 1.0 : 0.0, 1e-11);
    }
}

TEST(LinalgInverse, SameValuesAsRowByRowSubstitution) {
  const int n = 45;
  const Mat A = Random(n, n, 31);
  Mat inv = A, lu = A;
  ResetHooks();
  ASSERT_EQ(Invert(inv.data(), n), luOK);
  std::vector<int> perm;
  int parity = 0;
  ASSERT_EQ(RefCrout(lu, n, perm, parity), luOK);
  for (int c = 0; c < n; ++c) {
    std::vector<double> b(n, 0.0);
    b[c] = 1.0;
    RefSolve(lu, n, perm, b);
    for (int r = 0; r < n; ++r) EXPECT_EQ(At(inv, r, c, n), b[r]) << r << "," << c;
  }
}

TEST(LinalgInverse, AbortStopsDecompositionAndSolve) {
  const int n = 40;
  for (int stopAt : {1, 10, n + 5}) {
    Mat a = Random(n, n, 3);
    ResetHooks();
    gAbortAfter = stopAt;
    qmx::MathFeedBackProc = AbortAtStep;
    EXPECT_EQ(Invert(a.data(), n), luAborted);
    EXPECT_EQ(qmx::ProcStat, static_cast<double>(stopAt));
  }
  ResetHooks();
  Mat a = Random(3, 3, 4), a0 = a;
  qmx::AbortMathProc = true;
  EXPECT_EQ(Invert(a.data(), 3), luAborted);
  EXPECT_EQ(a, a0);
  ResetHooks();
}

// ---- Cholesky ------------------------------------------------------------------------------------

TEST(LinalgCholesky, HandCaseAndIndefinite) {
  Mat a = {4, 2, 99, 3};  // lower triangle of [4 2; 2 3]; the upper cell is not read
  Mat L(4, -7.0);
  ASSERT_TRUE(Cholesky(a.data(), 2, L.data()));
  EXPECT_EQ(At(L, 0, 0, 2), 2.0);
  EXPECT_EQ(At(L, 1, 0, 2), 1.0);
  EXPECT_EQ(At(L, 1, 1, 2), std::sqrt(2.0));
  EXPECT_EQ(At(L, 0, 1, 2), -7.0);  // above the diagonal: not written
  EXPECT_EQ(a, (Mat{4, 2, 1, 3}));   // factor copied to the upper triangle, rest unchanged

  Mat b = {1, 2, 2, 1};
  EXPECT_FALSE(Cholesky(b.data(), 2, L.data()));
  for (double x : L) EXPECT_TRUE(std::isfinite(x));
}

TEST(LinalgCholesky, FactorReproducesMatrixAndMatchesPlainLoops) {
  // Sizes across the column blocks, the four-column groups and the depth of one pass.
  for (int n : {1, 6, 37, 67, 290}) {
    const Mat A = Spd(n, 40 + n);
    Mat a = A, L(static_cast<size_t>(n) * n, 0.0);
    ASSERT_TRUE(Cholesky(a.data(), n, L.data()));
    const Mat LLt = RefMatMul(L, false, L, true, n, n, n);
    for (size_t i = 0; i < LLt.size(); ++i) EXPECT_NEAR(LLt[i], A[i], 1e-11 * n);
    // Plain loops: s = A(j, i) - sum_k L(i, k) L(j, k), k increasing.
    Mat R(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
      for (int j = i; j < n; ++j) {
        double s = At(A, j, i, n);
        for (int k = 0; k < i; ++k) s -= At(R, i, k, n) * At(R, j, k, n);
        At(R, j, i, n) = j == i ? std::sqrt(s) : s / At(R, i, i, n);
      }
    EXPECT_EQ(L, R);
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) EXPECT_EQ(At(a, i, j, n), At(R, j, i, n));
  }
}

// An indefinite matrix: every column from the first failing pivot on follows the zero rule,
// exactly as the plain loops do (the blocked sums see the zero columns too).
TEST(LinalgCholesky, IndefiniteMatchesPlainLoopsBitForBit) {
  for (int n : {5, 45, 100}) {
    Mat A = Spd(n, 90 + n);
    for (int j = n / 2; j < n; ++j) At(A, j, j, n) = -At(A, j, j, n);  // pivots turn negative
    Mat a = A, L(static_cast<size_t>(n) * n, 0.0);
    EXPECT_FALSE(Cholesky(a.data(), n, L.data()));
    Mat R(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) {
      double d = At(A, i, i, n);
      for (int k = 0; k < i; ++k) d -= At(R, i, k, n) * At(R, i, k, n);
      const double p = d > 0 ? std::sqrt(d) : 0.0;
      At(R, i, i, n) = p;
      for (int j = i + 1; j < n; ++j) {
        double s = At(A, j, i, n);
        for (int k = 0; k < i; ++k) s -= At(R, i, k, n) * At(R, j, k, n);
        At(R, j, i, n) = d > 0 ? s / p : 0.0;
      }
    }
    EXPECT_EQ(L, R) << n;
  }
}

// ---- balancing and norms -----------------------------------------------------------------------

TEST(LinalgBalance, EvensOutRowsAndColumnsAndKeepsDiagonal) {
  const int n = 4;
  Mat a = {1, 1e-3, 2e-4, 5e-3, 300, 2, 1e-2, 3e-3, 4000, 50, 3, 1e-1, 800, 60, 7, 4};
  const Mat a0 = a;
  int32_t p = 0;
  const double det0 = Determinant(a0.data(), n, p);
  Balance(a.data(), n);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(At(a, i, i, n), At(a0, i, i, n));
    double r = 0.0, c = 0.0;
    for (int j = 0; j < n; ++j)
      if (j != i) {
        r += std::fabs(At(a, i, j, n));
        c += std::fabs(At(a, j, i, n));
      }
    EXPECT_LT(r / c, 1.2);
    EXPECT_GT(r / c, 1.0 / 1.2);
  }
  EXPECT_NEAR(Determinant(a.data(), n, p), det0, 1e-9 * std::fabs(det0));
  // A row without off-diagonal entries is skipped; infinite entries do not loop for ever.
  Mat b = {1, 5, 0, 2}, b0 = b;
  Balance(b.data(), 2);
  EXPECT_EQ(b, b0);
  Mat c = {1, std::numeric_limits<double>::infinity(), 3, 2};
  Balance(c.data(), 2);
  EXPECT_EQ(At(c, 0, 0, 2), 1.0);
  EXPECT_EQ(At(c, 1, 1, 2), 2.0);
}

TEST(LinalgNorm, HandValues) {
  const Mat a = {1, 3, -2, 4};  // rows (1, -2), (3, 4)
  EXPECT_EQ(NormColwise(a.data(), 2, 2), 6.0);
  EXPECT_EQ(NormRowwise(a.data(), 2, 2), 7.0);
  EXPECT_EQ(NormFrobenius(a.data(), 2, 2), std::sqrt(30.0));
  bool ok = false;
  EXPECT_NEAR(NormSpectral(Mat{3, 0, 0, -4}.data(), 2, 2, ok), 4.0, 1e-15);
  EXPECT_TRUE(ok);
  EXPECT_EQ(NormColwise(nullptr, 0, 0), 0.0);
  EXPECT_EQ(NormRowwise(nullptr, 0, 0), 0.0);
  EXPECT_EQ(NormSpectral(nullptr, 0, 3, ok), 0.0);
}

// ---- singular value decomposition ----------------------------------------------------------

void ExpectOrthonormalColumns(const Mat& q, int rows, int cols, double tol) {
  const Mat g = RefMatMul(q, true, q, false, cols, cols, rows);
  for (int c = 0; c < cols; ++c)
    for (int r = 0; r < cols; ++r) EXPECT_NEAR(At(g, r, c, cols), r == c ? 1.0 : 0.0, tol);
}

TEST(LinalgSVD, ReconstructsMatrixWithOrthonormalFactors) {
  const int m = 40, n = 25;
  const Mat A = Random(m, n, 77);
  Mat U = A, V(static_cast<size_t>(n) * n), w(n);
  ResetHooks();
  ASSERT_EQ(SVDecompose(U.data(), m, n, w.data(), V.data()), svdOK);
  EXPECT_EQ(qmx::ProcStat, 4.0 * n);
  for (double x : w) EXPECT_GE(x, 0.0);
  ExpectOrthonormalColumns(U, m, n, 1e-12);
  ExpectOrthonormalColumns(V, n, n, 1e-12);
  for (int c = 0; c < n; ++c)
    for (int r = 0; r < m; ++r) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += At(U, r, k, m) * w[k] * At(V, c, k, n);
      EXPECT_NEAR(s, At(A, r, c, m), 1e-12);
    }
  // Without U and V: the same singular values, bit for bit, and the same 4 n steps.
  Mat a2 = A, w2(n);
  ResetHooks();
  ASSERT_EQ(SVDecompose(a2.data(), m, n, w2.data(), nullptr), svdOK);
  EXPECT_EQ(w2, w);
  EXPECT_EQ(qmx::ProcStat, 4.0 * n);
}

TEST(LinalgSVD, KnownSingularValues) {
  // [3 0; 4 5]: A^T A = [25 20; 20 25], eigenvalues 45 and 5.
  Mat a = {3, 4, 0, 5}, w(2), v(4);
  ASSERT_EQ(SVDecompose(a.data(), 2, 2, w.data(), v.data()), svdOK);
  std::sort(w.begin(), w.end());
  EXPECT_NEAR(w[0], std::sqrt(5.0), 1e-14);
  EXPECT_NEAR(w[1], std::sqrt(45.0), 1e-14);
  // Outer product x y^T has the single singular value |x| |y|.
  const std::vector<double> x = {1, 2, 2, 4}, y = {3, 4, 0};  // |x| = 5, |y| = 5
  Mat o(12), wo(3);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 4; ++r) At(o, r, c, 4) = x[r] * y[c];
  bool ok = false;
  EXPECT_NEAR(NormSpectral(o.data(), 4, 3, ok), 25.0, 1e-13);
  EXPECT_TRUE(ok);
  ASSERT_EQ(SVDecompose(o.data(), 4, 3, wo.data(), nullptr), svdOK);
  std::sort(wo.begin(), wo.end());
  EXPECT_NEAR(wo[0], 0.0, 1e-13);
  EXPECT_NEAR(wo[1], 0.0, 1e-13);
  EXPECT_NEAR(wo[2], 25.0, 1e-13);
}

TEST(LinalgSVD, FewerRowsThanColumnsActsAsZeroExtended) {
  // 2 x 3 matrix: its singular values are those of its transpose, plus one zero.
  const Mat A = {1, 4, 2, 5, 3, 6};
  Mat At3 = {1, 2, 3, 4, 5, 6}, wt(2);
  ASSERT_EQ(SVDecompose(At3.data(), 3, 2, wt.data(), nullptr), svdOK);
  Mat U = A, w(3), V(9);
  ResetHooks();
  ASSERT_EQ(SVDecompose(U.data(), 2, 3, w.data(), V.data()), svdOK);
  EXPECT_EQ(qmx::ProcStat, 12.0);
  std::sort(w.begin(), w.end());
  std::sort(wt.begin(), wt.end());
  EXPECT_NEAR(w[0], 0.0, 1e-13);
  EXPECT_NEAR(w[1], wt[0], 1e-13);
  EXPECT_NEAR(w[2], wt[1], 1e-13);
  // U (2 x 3) diag(w) V^T still gives A.
  Mat w3(3);
  Mat U2 = A;
  ASSERT_EQ(SVDecompose(U2.data(), 2, 3, w3.data(), V.data()), svdOK);
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 2; ++r) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += At(U2, r, k, 2) * w3[k] * At(V, c, k, 3);
      EXPECT_NEAR(s, At(A, r, c, 2), 1e-13);
    }
}

TEST(LinalgSVD, AbortAndNonFiniteInput) {
  const int m = 12, n = 8;
  for (int stopAt : {1, n + 1, 2 * n + 1, 3 * n + 1, 4 * n}) {
    Mat a = Random(m, n, 5), w(n), v(n * n);
    ResetHooks();
    gAbortAfter = stopAt;
    qmx::MathFeedBackProc = AbortAtStep;
    EXPECT_EQ(SVDecompose(a.data(), m, n, w.data(), v.data()), svdAborted) << stopAt;
    EXPECT_EQ(qmx::ProcStat, static_cast<double>(stopAt));
  }
  ResetHooks();
  Mat a = Random(m, n, 6), w(n);
  At(a, 3, 2, m) = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NE(SVDecompose(a.data(), m, n, w.data(), nullptr), svdOK);
  bool ok = true;
  NormSpectral(a.data(), m, n, ok);
  EXPECT_FALSE(ok);
}

}  // namespace
