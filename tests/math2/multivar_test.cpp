#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "math2/lsq.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/statis/fishq.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

// Matrix from rows written as in a text book: rows[r][c] goes to cell (c+1, r+1).
void SetRows(TMatrix& M, std::initializer_list<std::initializer_list<double>> rows) {
  const int32_t nr = static_cast<int32_t>(rows.size());
  const int32_t nc = static_cast<int32_t>(rows.begin()->size());
  M.Resize(nc, nr);
  int32_t r = 1;
  for (const auto& row : rows) {
    int32_t c = 1;
    for (double v : row) M.SetVal(c++, r, v);
    ++r;
  }
}

void FillRandomSymmetric(TMatrix& M, int32_t n, unsigned seed) {
  RandSeed(seed);
  M.Resize(n, n);
  for (int32_t c = 1; c <= n; ++c)
    for (int32_t r = 1; r <= c; ++r) {
      const double v = 2.0 * RandomUniform() - 1.0;
      M.Cell(c, r) = v;
      M.Cell(r, c) = v;
    }
}

// Product of two matrices in cell (column, row) form: C = A * B.
void Mul(const TMatrix& A, const TMatrix& B, TMatrix& C) {
  C.Resize(B.NrOfColumns(), A.NrOfRows());
  for (int32_t r = 1; r <= A.NrOfRows(); ++r)
    for (int32_t c = 1; c <= B.NrOfColumns(); ++c) {
      double s = 0.0;
      for (int32_t k = 1; k <= A.NrOfColumns(); ++k) s += A.Cell(k, r) * B.Cell(c, k);
      C.Cell(c, r) = s;
    }
}

double MaxDiff(const TMatrix& A, const TMatrix& B) {
  EXPECT_EQ(A.NrOfColumns(), B.NrOfColumns());
  EXPECT_EQ(A.NrOfRows(), B.NrOfRows());
  double d = 0.0;
  for (int32_t c = 1; c <= A.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= A.NrOfRows(); ++r) d = std::max(d, std::fabs(A.Cell(c, r) - B.Cell(c, r)));
  return d;
}

void Transposed(const TMatrix& A, TMatrix& T) {
  T.Resize(A.NrOfRows(), A.NrOfColumns());
  for (int32_t c = 1; c <= A.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= A.NrOfRows(); ++r) T.Cell(r, c) = A.Cell(c, r);
}

int gSteps = 0;
double gLast = -1.0;
bool gIncreasing = true;
int gAbortAt = -1;
void CountSteps(double v) {
  if (v <= gLast) gIncreasing = false;
  gLast = v;
  if (++gSteps == gAbortAt) AbortMathProc = true;
}
struct FeedbackGuard {
  explicit FeedbackGuard(int abortAt = -1) {
    gSteps = 0;
    gLast = -1.0;
    gIncreasing = true;
    gAbortAt = abortAt;
    ProcStat = 0.0;
    MathFeedBackProc = CountSteps;
  }
  ~FeedbackGuard() {
    MathFeedBackProc = nullptr;
    AbortMathProc = false;
  }
};

// Columns: x1 = 1..4, x2 = 2, 4, 6, 9, x3 constant 5. Centred sums by hand: css1 = 5,
// css2 = 26.75, cross12 = 11.5; raw sums: x1.x1 = 30, x1.x2 = 64, x1.x3 = 50.
void HandData(TMatrix& D) { SetRows(D, {{1, 2, 5}, {2, 4, 5}, {3, 6, 5}, {4, 9, 5}}); }

}  // namespace

// ---- CalcCovar -----------------------------------------------------------------------------

TEST(CalcCovar, ModesOnHandComputedData) {
  TMatrix D, R;
  HandData(D);
  R.Resize(3, 3);
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 0));
  EXPECT_DOUBLE_EQ(R.Cell(1, 1), 10.0);
  EXPECT_DOUBLE_EQ(R.Cell(2, 1), 64.0 / 3);
  EXPECT_DOUBLE_EQ(R.Cell(1, 2), 64.0 / 3);
  EXPECT_DOUBLE_EQ(R.Cell(3, 1), 50.0 / 3);

  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 1));
  EXPECT_DOUBLE_EQ(R.Cell(1, 1), 5.0 / 3);
  EXPECT_DOUBLE_EQ(R.Cell(2, 2), 26.75 / 3);
  EXPECT_DOUBLE_EQ(R.Cell(2, 1), 11.5 / 3);
  EXPECT_DOUBLE_EQ(R.Cell(1, 2), 11.5 / 3);
  EXPECT_EQ(R.Cell(3, 3), 0.0);
  EXPECT_EQ(R.Cell(3, 1), 0.0);

  const double r12 = 11.5 / std::sqrt(5.0 * 26.75);
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 2));
  EXPECT_NEAR(R.Cell(2, 1), r12, 1e-14);
  EXPECT_NEAR(R.Cell(1, 2), r12, 1e-14);
  // The constant column divides by 1e-38 instead of 0; its diagonal is still 1.
  EXPECT_EQ(R.Cell(3, 1), 0.0);
  EXPECT_EQ(R.Cell(1, 1), 1.0);
  EXPECT_EQ(R.Cell(3, 3), 1.0);

  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 3));
  EXPECT_NEAR(R.Cell(2, 1), r12 * r12, 1e-14);
  EXPECT_NEAR(R.Cell(1, 1), 1.0, 1e-15);
  EXPECT_EQ(R.Cell(3, 3), 0.0);  // not forced to 1 in the squared mode

  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 4));
  EXPECT_DOUBLE_EQ(R.Cell(2, 1), 13.0);  // (1+4+9+25)/3
  EXPECT_DOUBLE_EQ(R.Cell(1, 3), 10.0);  // (16+9+4+1)/3
  EXPECT_EQ(R.Cell(2, 2), 0.0);

  R.Fill(7.0);
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 9));
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 3; ++r) EXPECT_EQ(R.Cell(c, r), 0.0);
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, -1));
  EXPECT_EQ(R.Cell(2, 3), 0.0);
}

TEST(CalcCovar, RangesAndResultSize) {
  TMatrix D, R;
  HandData(D);
  // Columns 1..2 over rows 2..4: x1 = 2,3,4 (css 2), x2 = 4,6,9 (mean 19/3).
  R.Resize(4, 3);
  R.Fill(-1.0);
  ASSERT_TRUE(CalcCovar(&D, &R, 1, 2, 2, 4, 1));
  EXPECT_DOUBLE_EQ(R.Cell(1, 1), 1.0);
  EXPECT_NEAR(R.Cell(2, 1), (-1 * (4 - 19.0 / 3) + 1 * (9 - 19.0 / 3)) / 2, 1e-14);
  EXPECT_EQ(R.Cell(3, 1), -1.0);  // outside the p x p block: untouched
  EXPECT_EQ(R.Cell(4, 3), -1.0);
  EXPECT_EQ(R.NrOfColumns(), 4);  // never resized

  TMatrix Small;
  Small.Resize(2, 3);
  Small.Fill(-1.0);
  EXPECT_FALSE(CalcCovar(&D, &Small, 0, 0, 0, 0, 1));
  EXPECT_EQ(Small.Cell(1, 1), -1.0);
  // A single row cannot give a spread.
  EXPECT_FALSE(CalcCovar(&D, &R, 0, 0, 3, 3, 1));
  EXPECT_FALSE(CalcCovar(nullptr, &R, 0, 0, 0, 0, 1));
}

TEST(CalcCovar, AgreesWithTwoPassFormulaOnOddSizes) {
  // Sizes that exercise the partial panels and chunks of the blocked kernel.
  const int32_t nc = 7, nr = 1031;
  TMatrix D, R;
  D.Resize(nc, nr);
  RandSeed(11);
  for (int32_t c = 1; c <= nc; ++c)
    for (int32_t r = 1; r <= nr; ++r) D.Cell(c, r) = 100.0 * c + RandomUniform() * (c + 1);
  R.Resize(nc, nc);
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 1));
  std::vector<double> mean(nc + 1, 0.0);
  for (int32_t c = 1; c <= nc; ++c) {
    for (int32_t r = 1; r <= nr; ++r) mean[c] += D.Cell(c, r);
    mean[c] /= nr;
  }
  for (int32_t i = 1; i <= nc; ++i)
    for (int32_t j = 1; j <= nc; ++j) {
      double s = 0.0;
      for (int32_t r = 1; r <= nr; ++r) s += (D.Cell(i, r) - mean[i]) * (D.Cell(j, r) - mean[j]);
      EXPECT_NEAR(R.Cell(i, j), s / (nr - 1), 1e-12 * (1 + std::fabs(s)));
    }
  ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 4));
  double s = 0.0;
  for (int32_t r = 1; r <= nr; ++r) s += (D.Cell(5, r) - D.Cell(2, r)) * (D.Cell(5, r) - D.Cell(2, r));
  EXPECT_NEAR(R.Cell(5, 2), s / (nr - 1), 1e-12 * s);
}

TEST(CalcCovar, ProgressAbortAndAliasing) {
  TMatrix D, R;
  HandData(D);
  R.Resize(3, 3);
  {
    FeedbackGuard g;
    AbortMathProc = true;  // cleared at the start
    ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 1));
    // one step per row for the sums, then the number of rows per element of the triangle
    EXPECT_EQ(gSteps, 4 + 6);
    EXPECT_DOUBLE_EQ(ProcStat, 4.0 + 6 * 4.0);
    EXPECT_TRUE(gIncreasing);
  }
  {
    FeedbackGuard g;
    ASSERT_TRUE(CalcCovar(&D, &R, 0, 0, 0, 0, 0));
    EXPECT_EQ(gSteps, 6);  // mode 0 has no sums pass
  }
  {
    // Abort during result row 2: that row is finished, row 3 is not written.
    R.Fill(-1.0);
    FeedbackGuard g(4 + 2);
    EXPECT_FALSE(CalcCovar(&D, &R, 0, 0, 0, 0, 1));
    EXPECT_DOUBLE_EQ(R.Cell(2, 2), 26.75 / 3);
    EXPECT_EQ(R.Cell(3, 3), -1.0);
    EXPECT_EQ(R.Cell(1, 3), -1.0);
  }
  // The data matrix as its own result: the top-left block holds the covariance of the
  // original data.
  TMatrix Big;
  SetRows(Big, {{1, 2, 5}, {2, 4, 5}, {3, 6, 5}});
  ASSERT_TRUE(CalcCovar(&Big, &Big, 0, 0, 0, 0, 1));
  EXPECT_DOUBLE_EQ(Big.Cell(1, 1), 1.0);
  EXPECT_DOUBLE_EQ(Big.Cell(2, 1), 2.0);
  EXPECT_DOUBLE_EQ(Big.Cell(2, 2), 4.0);
  EXPECT_EQ(Big.Cell(3, 3), 0.0);
}

// ---- CalcEigVec and the store ----------------------------------------------------------------

TEST(CalcEigVec, DiagonalFinishesInFirstPass) {
  TMatrix A;
  SetRows(A, {{3, 0, 0}, {0, -1, 0}, {0, 0, 2}});
  FeedbackGuard g;
  ASSERT_TRUE(CalcEigVec(&A));
  EXPECT_EQ(gSteps, 1);
  EXPECT_EQ(GetEigenSize(), 3);
  EXPECT_EQ(GetEigenResult(1, 0), 3.0);
  EXPECT_EQ(GetEigenResult(2, 0), -1.0);
  EXPECT_EQ(GetEigenResult(3, 0), 2.0);
  for (int32_t k = 1; k <= 3; ++k)
    for (int32_t r = 1; r <= 3; ++r) EXPECT_EQ(GetEigenResult(k, r), k == r ? 1.0 : 0.0);
}

TEST(CalcEigVec, RandomSymmetricEigenpairsAndOrthonormality) {
  // 190 also takes the batch flush and the partial row blocks of the eigenvector updates.
  for (int32_t n : {5, 17, 40, 190}) {
    TMatrix A, Orig;
    FillRandomSymmetric(A, n, 100 + n);
    Orig.Assign(&A);
    ASSERT_TRUE(CalcEigVec(&A)) << n;
    // Only the upper triangle may change.
    for (int32_t c = 1; c <= n; ++c)
      for (int32_t r = c; r <= n; ++r) ASSERT_EQ(A.Cell(c, r), Orig.Cell(c, r));
    double trace = 0.0, sum = 0.0;
    for (int32_t k = 1; k <= n; ++k) {
      trace += Orig.Cell(k, k);
      const double lambda = GetEigenResult(k, 0);
      sum += lambda;
      for (int32_t r = 1; r <= n; ++r) {
        double av = 0.0;
        for (int32_t c = 1; c <= n; ++c) av += Orig.Cell(c, r) * GetEigenResult(k, c);
        EXPECT_NEAR(av, lambda * GetEigenResult(k, r), 1e-12) << n;
      }
      for (int32_t l = 1; l <= n; ++l) {
        double dot = 0.0;
        for (int32_t r = 1; r <= n; ++r) dot += GetEigenResult(k, r) * GetEigenResult(l, r);
        EXPECT_NEAR(dot, k == l ? 1.0 : 0.0, 1e-13);
      }
    }
    EXPECT_NEAR(sum, trace, 1e-12);
  }
}

TEST(CalcEigVec, KnownSpectrumThroughReflection) {
  // A = H diag(1..n) H with the Householder reflection H = I - 2 u u' / u'u.
  const int32_t n = 9;
  std::vector<double> u(n);
  double uu = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    u[i] = 1.0 + i % 3;
    uu += u[i] * u[i];
  }
  TMatrix A;
  A.Resize(n, n);
  for (int32_t r = 0; r < n; ++r)
    for (int32_t c = 0; c < n; ++c) {
      double s = 0.0;
      for (int32_t k = 0; k < n; ++k) {
        const double hrk = (r == k) - 2.0 * u[r] * u[k] / uu;
        const double hkc = (k == c) - 2.0 * u[k] * u[c] / uu;
        s += hrk * (k + 1) * hkc;
      }
      A.Cell(c + 1, r + 1) = s;
    }
  ASSERT_TRUE(CalcEigVec(&A));
  std::vector<double> ev;
  for (int32_t k = 1; k <= n; ++k) ev.push_back(GetEigenResult(k, 0));
  std::sort(ev.begin(), ev.end());
  for (int32_t k = 0; k < n; ++k) EXPECT_NEAR(ev[k], k + 1.0, 1e-13);
}

TEST(CalcEigVec, StoreLifecycleAndRefusals) {
  TMatrix A;
  SetRows(A, {{4, 1}, {1, 4}});
  ASSERT_TRUE(CalcEigVec(&A));
  EXPECT_EQ(GetEigenResult(0, 0), 0.0);
  EXPECT_EQ(GetEigenResult(3, 0), 0.0);
  EXPECT_EQ(GetEigenResult(1, 3), 0.0);
  EXPECT_EQ(GetEigenResult(1, -1), 0.0);
  const double ev = GetEigenResult(1, 0);
  // A non-square matrix is refused and leaves the store alone.
  TMatrix R;
  R.Resize(3, 2);
  EXPECT_FALSE(CalcEigVec(&R));
  EXPECT_FALSE(CalcEigVec(nullptr));
  EXPECT_EQ(GetEigenSize(), 2);
  EXPECT_EQ(GetEigenResult(1, 0), ev);
  RemoveEigenMatrix();
  EXPECT_EQ(GetEigenSize(), 2);
  EXPECT_EQ(GetEigenResult(1, 0), 0.0);
  EXPECT_EQ(GetEigenResult(1, 1), 0.0);
}

TEST(CalcEigVec, AbortInFeedbackStopsAndKeepsPartialStore) {
  TMatrix A;
  FillRandomSymmetric(A, 12, 5);
  {
    FeedbackGuard g(20);  // first pass step plus 19 pairs
    EXPECT_FALSE(CalcEigVec(&A));
    EXPECT_EQ(gSteps, 20);
    EXPECT_TRUE(gIncreasing);
  }
  EXPECT_EQ(GetEigenSize(), 12);
  FillRandomSymmetric(A, 12, 5);
  AbortMathProc = true;  // cleared at the start
  EXPECT_TRUE(CalcEigVec(&A));
}

// ---- CalcPrincComp -----------------------------------------------------------------------------

namespace {
// Points a*e1 + b*e2 + c*e3 over the full 2x2x2 design a = +-5, b = +-2, c = +-0.5, with the
// orthonormal axes e1 = (1,1,0)/sqrt2, e2 = (1,-1,0)/sqrt2, e3 = (0,0,1) in variables 2..4;
// variable 1 is constant. Covariance along the axes: 25*8/7, 4*8/7, 0.25*8/7, and 0.
void AxesData(TMatrix& D) {
  D.Resize(4, 8);
  const double h = std::sqrt(0.5);
  int32_t r = 1;
  for (double a : {-5.0, 5.0})
    for (double b : {-2.0, 2.0})
      for (double c : {-0.5, 0.5}) {
        D.Cell(1, r) = 3.0;
        D.Cell(2, r) = 10.0 + (a + b) * h;
        D.Cell(3, r) = -4.0 + (a - b) * h;
        D.Cell(4, r) = 1.0 + c;
        ++r;
      }
}
}  // namespace

TEST(CalcPrincComp, RecoversAxesKnownByConstruction) {
  TMatrix D;
  AxesData(D);
  ASSERT_TRUE(CalcPrincComp(&D, 1, 4, 0, 0, 1, false));
  ASSERT_EQ(GetEigenSize(), 4);
  EXPECT_NEAR(GetEigenResult(1, 0), 200.0 / 7, 1e-12);
  EXPECT_NEAR(GetEigenResult(2, 0), 32.0 / 7, 1e-12);
  EXPECT_NEAR(GetEigenResult(3, 0), 2.0 / 7, 1e-12);
  EXPECT_EQ(GetEigenResult(4, 0), 0.0);  // the constant variable comes last
  const double h = std::sqrt(0.5);
  const double axes[3][4] = {{0, h, h, 0}, {0, h, -h, 0}, {0, 0, 0, 1}};
  for (int k = 1; k <= 3; ++k) {
    const double sign = GetEigenResult(k, 2) + GetEigenResult(k, 4) < 0 ? -1.0 : 1.0;
    for (int r = 1; r <= 4; ++r)
      EXPECT_NEAR(sign * GetEigenResult(k, r), axes[k - 1][r - 1], 1e-12) << k << " " << r;
  }
  EXPECT_NEAR(std::fabs(GetEigenResult(4, 1)), 1.0, 1e-15);

  // Normalised (the default form): fractions of the total 29.25.
  ASSERT_TRUE(CalcPrincComp(&D, 1, 4, 0, 0, 1));
  EXPECT_NEAR(GetEigenResult(1, 0), 25.0 / 29.25, 1e-13);
  EXPECT_NEAR(GetEigenResult(2, 0), 4.0 / 29.25, 1e-13);
  EXPECT_NEAR(GetEigenResult(3, 0), 0.25 / 29.25, 1e-13);
}

TEST(CalcPrincComp, WholeRangeAndCorrelationMode) {
  TMatrix D;
  AxesData(D);
  // (0, 0) selects all columns.
  ASSERT_TRUE(CalcPrincComp(&D, 0, 0, 0, 0, 1, false));
  EXPECT_EQ(GetEigenSize(), 4);
  EXPECT_NEAR(GetEigenResult(1, 0), 200.0 / 7, 1e-12);
  // Correlation of variables 2..3: r = (25 - 4)/(25 + 4); eigenvalues 1 +- r.
  ASSERT_TRUE(CalcPrincComp(&D, 2, 3, 0, 0, 2, false));
  EXPECT_EQ(GetEigenSize(), 2);
  EXPECT_NEAR(GetEigenResult(1, 0), 1.0 + 21.0 / 29.0, 1e-14);
  EXPECT_NEAR(GetEigenResult(2, 0), 1.0 - 21.0 / 29.0, 1e-14);
  EXPECT_FALSE(CalcPrincComp(&D, 1, 4, 2, 2, 1));  // one row
}

TEST(CalcPrincComp, NonPositiveEigenvaluesAreNotMoved) {
  // Mode 4 gives a zero-diagonal distance matrix: its eigenvalues sum to 0, so some are
  // negative. The positive ones lead in descending order; the total stays.
  TMatrix D;
  SetRows(D, {{1, 2, 4}, {3, 1, 0}, {2, 2, 5}, {0, 1, 1}});
  ASSERT_TRUE(CalcPrincComp(&D, 1, 3, 0, 0, 4, true));
  double absSum = 0.0, sum = 0.0;
  int32_t positives = 0;
  for (int32_t k = 1; k <= 3; ++k) {
    absSum += std::fabs(GetEigenResult(k, 0));
    sum += GetEigenResult(k, 0);
    positives += GetEigenResult(k, 0) > 0;
  }
  EXPECT_NEAR(absSum, 1.0, 1e-14);
  EXPECT_NEAR(sum, 0.0, 1e-14);
  ASSERT_GE(positives, 1);
  for (int32_t k = 1; k < positives; ++k) EXPECT_GE(GetEigenResult(k, 0), GetEigenResult(k + 1, 0));
  for (int32_t k = positives + 1; k <= 3; ++k) EXPECT_LE(GetEigenResult(k, 0), 0.0);
}

TEST(CalcPrincComp, MoreThanTenThousandColumnsRefusedWithoutWork) {
  TMatrix S;
  SetRows(S, {{2, 0}, {0, 1}});  // mode 0 over two rows: diag(4, 1)
  ASSERT_TRUE(CalcPrincComp(&S, 1, 2, 0, 0, 0, false));
  // 10001 variables exceed the eigen analysis; the 10001 x 10001 covariance matrix is not built
  // (no progress step is taken) and the previous result stays.
  TMatrix D;
  ASSERT_TRUE(D.Resize(10001, 3));
  ProcStat = 0;
  EXPECT_FALSE(CalcPrincComp(&D, 1, 10001, 0, 0, 1, true));
  EXPECT_EQ(ProcStat, 0.0);
  EXPECT_EQ(GetEigenSize(), 2);
  EXPECT_EQ(GetEigenResult(1, 0), 4.0);
}

// ---- PseudoInverse -------------------------------------------------------------------------

namespace {
void ExpectPenrose(const TMatrix& A, const TMatrix& X, double tol) {
  TMatrix AX, XA, AXA, XAX, T;
  Mul(A, X, AX);
  Mul(X, A, XA);
  Mul(AX, A, AXA);
  Mul(XA, X, XAX);
  EXPECT_LT(MaxDiff(AXA, A), tol);
  EXPECT_LT(MaxDiff(XAX, X), tol);
  Transposed(AX, T);
  EXPECT_LT(MaxDiff(T, AX), tol);
  Transposed(XA, T);
  EXPECT_LT(MaxDiff(T, XA), tol);
}
}  // namespace

TEST(PseudoInverse, InvertibleSquareGivesInverse) {
  TMatrix A, X, E;
  SetRows(A, {{4, 7}, {2, 6}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));
  SetRows(E, {{0.6, -0.7}, {-0.2, 0.4}});
  EXPECT_LT(MaxDiff(X, E), 1e-14);
  // In place: the matrix is read before the result is written.
  ASSERT_TRUE(PseudoInverse(&A, &A, 0.0));
  EXPECT_LT(MaxDiff(A, E), 1e-14);
}

TEST(PseudoInverse, PenroseConditionsForAllShapes) {
  TMatrix A, X, XA, I;
  // Tall, full column rank: X A = I.
  SetRows(A, {{1, 2, 0}, {0, 1, 1}, {2, 0, 1}, {1, 1, 1}, {3, -1, 2}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));
  EXPECT_EQ(X.NrOfRows(), 3);
  EXPECT_EQ(X.NrOfColumns(), 5);
  ExpectPenrose(A, X, 1e-13);
  Mul(X, A, XA);
  I.Resize(3, 3);
  I.Fill(0.0);
  I.FillDiag(1.0);
  EXPECT_LT(MaxDiff(XA, I), 1e-13);
  // Rank deficient: third column = first + second.
  SetRows(A, {{1, 2, 3}, {0, 1, 1}, {2, 0, 2}, {1, 1, 2}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));
  ExpectPenrose(A, X, 1e-12);
  // Wide (fewer rows than columns): A X = I.
  SetRows(A, {{1, 0, 2, 1}, {0, 1, 1, -1}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));
  EXPECT_EQ(X.NrOfRows(), 4);
  EXPECT_EQ(X.NrOfColumns(), 2);
  ExpectPenrose(A, X, 1e-13);
  TMatrix AX;
  Mul(A, X, AX);
  I.Resize(2, 2);
  I.Fill(0.0);
  I.FillDiag(1.0);
  EXPECT_LT(MaxDiff(AX, I), 1e-13);
}

TEST(PseudoInverse, ThresholdDropsSmallSingularValues) {
  TMatrix A, X;
  SetRows(A, {{2, 0}, {0, 1e-20}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));  // automatic: 2 * 2 * 1.2e-16
  EXPECT_NEAR(X.Cell(1, 1), 0.5, 1e-16);
  EXPECT_EQ(X.Cell(2, 2), 0.0);
  ASSERT_TRUE(PseudoInverse(&A, &X, -1.0));  // negative: automatic too, never 1/1e-20
  EXPECT_EQ(X.Cell(2, 2), 0.0);
  SetRows(A, {{2, 0}, {0, 0.25}});
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.5));
  EXPECT_NEAR(X.Cell(1, 1), 0.5, 1e-16);
  EXPECT_EQ(X.Cell(2, 2), 0.0);
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.2));
  EXPECT_NEAR(X.Cell(2, 2), 4.0, 1e-15);
  // The zero matrix has the zero pseudo-inverse.
  A.Resize(3, 2);
  A.Fill(0.0);
  ASSERT_TRUE(PseudoInverse(&A, &X, 0.0));
  for (int32_t c = 1; c <= 2; ++c)
    for (int32_t r = 1; r <= 3; ++r) EXPECT_EQ(X.Cell(c, r), 0.0);
}

// ---- least squares -----------------------------------------------------------------------------

namespace {
// Solves the normal equations A'A x = A'y by Gauss-Jordan elimination (independent of the
// decomposition) and returns (A'A)^-1 in inv.
std::vector<double> NormalEquations(const TMatrix& A, const TVector& y,
                                    std::vector<std::vector<double>>& inv) {
  const int32_t m = A.NrOfRows(), n = A.NrOfColumns();
  std::vector<std::vector<double>> M(n, std::vector<double>(2 * n + 1, 0.0));
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j)
      for (int32_t r = 1; r <= m; ++r) M[i][j] += A.Cell(i + 1, r) * A.Cell(j + 1, r);
    M[i][n + i] = 1.0;
    for (int32_t r = 1; r <= m; ++r) M[i][2 * n] += A.Cell(i + 1, r) * y.GetVal(r);
  }
  for (int32_t k = 0; k < n; ++k) {
    int32_t piv = k;
    for (int32_t i = k + 1; i < n; ++i)
      if (std::fabs(M[i][k]) > std::fabs(M[piv][k])) piv = i;
    std::swap(M[k], M[piv]);
    const double f = M[k][k];
    for (double& v : M[k]) v /= f;
    for (int32_t i = 0; i < n; ++i)
      if (i != k) {
        const double g = M[i][k];
        for (int32_t j = 0; j <= 2 * n; ++j) M[i][j] -= g * M[k][j];
      }
  }
  inv.assign(n, std::vector<double>(n));
  std::vector<double> x(n);
  for (int32_t i = 0; i < n; ++i) {
    x[i] = M[i][2 * n];
    for (int32_t j = 0; j < n; ++j) inv[i][j] = M[i][n + j];
  }
  return x;
}
}  // namespace

TEST(LeastSquares, MatchesNormalEquationsWithStandardErrors) {
  const int32_t m = 40, n = 4;
  TMatrix A, Work;
  TVector y, x, se;
  A.Resize(n, m);
  y.Resize(m);
  RandSeed(3);
  for (int32_t r = 1; r <= m; ++r) {
    const double t = r / 10.0;
    A.Cell(1, r) = 1.0;
    A.Cell(2, r) = t;
    A.Cell(3, r) = std::sin(t);
    A.Cell(4, r) = RandomUniform();
    y.SetVal(r, 2.0 - t + 0.5 * std::sin(t) + RandomUniform() - 0.5);
  }
  std::vector<std::vector<double>> inv;
  const std::vector<double> ref = NormalEquations(A, y, inv);
  Work.Assign(&A);
  bool near = true;
  ASSERT_TRUE(LeastSquaresSolve(&Work, &y, &x, &se, near));
  EXPECT_FALSE(near);
  ASSERT_EQ(x.NrOfElem(), n);
  ASSERT_EQ(se.NrOfElem(), n);
  for (int32_t i = 0; i < n; ++i) {
    EXPECT_NEAR(x.GetVal(i + 1), ref[i], 1e-11 * (1 + std::fabs(ref[i])));
    EXPECT_NEAR(se.GetVal(i + 1), std::sqrt(inv[i][i]), 1e-11 * std::sqrt(inv[i][i]));
  }
}

TEST(LeastSquares, ExactPolynomialAndSingularCases) {
  // y = 1 + 2u + 3u^2 through six points is reproduced exactly.
  TMatrix A;
  TVector y, x;
  A.Resize(3, 6);
  y.Resize(6);
  for (int32_t r = 1; r <= 6; ++r) {
    const double u = r - 3.5;
    A.Cell(1, r) = 1.0;
    A.Cell(2, r) = u;
    A.Cell(3, r) = u * u;
    y.SetVal(r, 1.0 + 2.0 * u + 3.0 * u * u);
  }
  bool near = true;
  ASSERT_TRUE(LeastSquaresSolve(&A, &y, &x, nullptr, near));
  EXPECT_FALSE(near);
  EXPECT_NEAR(x.GetVal(1), 1.0, 1e-13);
  EXPECT_NEAR(x.GetVal(2), 2.0, 1e-13);
  EXPECT_NEAR(x.GetVal(3), 3.0, 1e-13);

  // Two equal columns: flagged, and the minimum-norm solution splits the weight.
  SetRows(A, {{1, 1}, {2, 2}, {3, 3}});
  y.Resize(3);
  for (int32_t r = 1; r <= 3; ++r) y.SetVal(r, 2.0 * r);
  ASSERT_TRUE(LeastSquaresSolve(&A, &y, &x, nullptr, near));
  EXPECT_TRUE(near);
  EXPECT_NEAR(x.GetVal(1), 1.0, 1e-13);
  EXPECT_NEAR(x.GetVal(2), 1.0, 1e-13);

  // Fewer equations than unknowns: x1 + x2 = 2 gives the minimum-norm (1, 1).
  SetRows(A, {{1, 1}});
  y.Resize(1);
  y.SetVal(1, 2.0);
  TVector se;
  ASSERT_TRUE(LeastSquaresSolve(&A, &y, &x, &se, near));
  EXPECT_TRUE(near);
  ASSERT_EQ(x.NrOfElem(), 2);
  EXPECT_NEAR(x.GetVal(1), 1.0, 1e-14);
  EXPECT_NEAR(x.GetVal(2), 1.0, 1e-14);
  // w = sqrt2 with v = (1, 1)/sqrt2; the zero singular value is left out: sqrt(0.5 / 2)
  EXPECT_NEAR(se.GetVal(1), 0.5, 1e-14);

  // All-zero design: singular, solution 0.
  A.Resize(2, 3);
  A.Fill(0.0);
  y.Resize(3);
  y.Fill(1.0);
  ASSERT_TRUE(LeastSquaresSolve(&A, &y, &x, nullptr, near));
  EXPECT_TRUE(near);
  EXPECT_EQ(x.GetVal(1), 0.0);
  EXPECT_EQ(x.GetVal(2), 0.0);

  // Wrong right-hand side length: refused, x unchanged.
  x.Resize(2);
  x.Fill(9.0);
  y.Resize(4);
  EXPECT_FALSE(LeastSquaresSolve(&A, &y, &x, nullptr, near));
  EXPECT_EQ(x.GetVal(1), 9.0);
}

// ---- Mahalanobis distance and Fisher's quotient --------------------------------------------

TEST(MahalanobisDistance, ValuesAndErrorsInOrder) {
  TVector x, y;
  TMatrix M;
  x.Resize(2);
  y.Resize(2);
  x.SetVal(1, 3.0);
  x.SetVal(2, 1.0);
  y.SetVal(1, 1.0);
  y.SetVal(2, 2.0);
  SetRows(M, {{0.25, 0}, {0, 1}});
  EXPECT_DOUBLE_EQ(MahalanobisDistance(&x, &y, &M), std::sqrt(2.0));  // d = (2, -1)
  SetRows(M, {{2, 1}, {1, 2}});
  EXPECT_DOUBLE_EQ(MahalanobisDistance(&x, &y, &M), std::sqrt(8.0 - 4.0 + 2.0));
  EXPECT_EQ(MahalanobisDistance(&x, &x, &M), 0.0);

  auto message = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const EQMXVectorError& e) {
      return e.what();
    }
    return "no error";
  };
  TVector z;
  z.Resize(3);
  TMatrix Rect;
  Rect.Resize(3, 2);
  EXPECT_EQ(message([&] { MahalanobisDistance(&x, &z, &Rect); }),
            "MahalanobisDistance: dimensions of vectors do not match");
  EXPECT_EQ(message([&] { MahalanobisDistance(&x, &y, &Rect); }),
            "MahalanobisDistance: inverse covariance matrix is not quadratric");
  TMatrix Three;
  Three.Resize(3, 3);
  EXPECT_EQ(message([&] { MahalanobisDistance(&x, &y, &Three); }),
            "MahalanobisDistance: dimension of vectors and inverse covariance matrix do not match");
  SetRows(M, {{-1, 0}, {0, -1}});
  EXPECT_EQ(message([&] { MahalanobisDistance(&x, &y, &M); }),
            "MahalanobisDistance: the inverse covariance matrix must be symmetric and positive "
            "definite");
}

TEST(CalcFishQ, QuotientAndFloor) {
  EXPECT_DOUBLE_EQ(CalcFishQ(3.0, 1.0, 1.0, 1.0), 2.0);
  EXPECT_DOUBLE_EQ(CalcFishQ(1.0, 4.0, 0.0, 3.0), 1.0);
  EXPECT_DOUBLE_EQ(CalcFishQ(2.0, 1.0, 0.0, 0.0), 1e6);
}
