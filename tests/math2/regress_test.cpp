#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

// Solves the normal equations (X1'X1) b = X1'y (X1 with a leading column of ones) by Gaussian
// elimination with partial pivoting: the textbook route, independent of the library's.
std::vector<double> NormalEquations(const TMatrix& X, const std::vector<double>& y) {
  const int n = X.NrOfRows(), p = X.NrOfColumns() + 1;
  auto x = [&](int i, int j) { return j == 0 ? 1.0 : X.Elem(j, i + 1); };
  std::vector<std::vector<double>> A(p, std::vector<double>(p + 1, 0.0));
  for (int a = 0; a < p; ++a) {
    for (int b = 0; b < p; ++b)
      for (int i = 0; i < n; ++i) A[a][b] += x(i, a) * x(i, b);
    for (int i = 0; i < n; ++i) A[a][p] += x(i, a) * y[i];
  }
  for (int c = 0; c < p; ++c) {
    int piv = c;
    for (int r = c + 1; r < p; ++r)
      if (std::fabs(A[r][c]) > std::fabs(A[piv][c])) piv = r;
    std::swap(A[c], A[piv]);
    for (int r = 0; r < p; ++r) {
      if (r == c) continue;
      const double f = A[r][c] / A[c][c];
      for (int k = c; k <= p; ++k) A[r][k] -= f * A[c][k];
    }
  }
  std::vector<double> b(p);
  for (int c = 0; c < p; ++c) b[c] = A[c][p] / A[c][c];
  return b;
}

void RandomDesign(TMatrix& X, std::vector<double>& y, TVector& yv, int n, int p, unsigned seed,
                  const std::vector<double>& beta, double noise) {
  RandSeed(seed);
  X.Resize(p, n);
  X.FillRandomGauss(0.0, 1.0);
  for (int r = 1; r <= n; ++r) X.Cell(1, r) = 3.0 + 2.0 * X.Cell(1, r);  // off-centre column
  y.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    double s = beta[0];
    for (int j = 1; j <= p; ++j) s += beta[j] * X.Elem(j, i + 1);
    y[i] = s + noise * (RandomUniform() - 0.5);
  }
  yv.Resize(n);
  std::copy(y.begin(), y.end(), yv.Data().begin());
}

}  // namespace

TEST(Regression, MultiLinRegMatchesNormalEquationsAndTextbookStatistics) {
  TMatrix X;
  std::vector<double> y;
  TVector yv, b, se;
  RandomDesign(X, y, yv, 60, 3, 7, {1.5, -2.0, 0.5, 4.0}, 0.8);
  bool near = true;
  TRegressionStats st;
  MultiLinReg(&X, &yv, &b, &se, near, &st);
  EXPECT_FALSE(near);
  const std::vector<double> ref = NormalEquations(X, y);
  ASSERT_EQ(b.NrOfElem(), 4);
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(b.Elem(j + 1), ref[j], 1e-10);
  // Residuals, R^2 and the F statistic from their definitions.
  double ssres = 0, my = std::accumulate(y.begin(), y.end(), 0.0) / 60, sstot = 0;
  for (int i = 0; i < 60; ++i) {
    double f = ref[0];
    for (int j = 1; j <= 3; ++j) f += ref[j] * X.Elem(j, i + 1);
    ssres += (y[i] - f) * (y[i] - f);
    sstot += (y[i] - my) * (y[i] - my);
  }
  EXPECT_NEAR(st.SSRes, ssres, 1e-9);
  EXPECT_NEAR(st.RSquared, 1 - ssres / sstot, 1e-12);
  EXPECT_NEAR(st.AdjRSquared, 1 - (ssres / 56) / (sstot / 59), 1e-12);
  EXPECT_NEAR(st.ResStdErr, std::sqrt(ssres / 56), 1e-12);
  EXPECT_NEAR(st.FValue, ((sstot - ssres) / 3) / (ssres / 56), 1e-6);
  EXPECT_EQ(st.Rank, 3);
  EXPECT_LT(st.FpValue, 1e-10);
  // Standard error of a slope: sigma * sqrt of the diagonal of (X1'X1)^-1, checked through a
  // single-predictor regression, where it is sigma / sqrt(Sxx).
  TMatrix X1;
  X1.Resize(1, 60);
  for (int r = 1; r <= 60; ++r) X1.Cell(1, r) = X.Elem(1, r);
  MultiLinReg(&X1, &yv, &b, &se, near, &st);
  double mx = 0, sxx = 0;
  for (int r = 1; r <= 60; ++r) mx += X1.Elem(1, r) / 60;
  for (int r = 1; r <= 60; ++r) sxx += (X1.Elem(1, r) - mx) * (X1.Elem(1, r) - mx);
  EXPECT_NEAR(se.Elem(2), st.ResStdErr / std::sqrt(sxx), 1e-12);
  EXPECT_NEAR(se.Elem(1), st.ResStdErr * std::sqrt(1.0 / 60 + mx * mx / sxx), 1e-12);
}

TEST(Regression, DegenerateDesigns) {
  TMatrix X;
  std::vector<double> y;
  TVector yv, b, se;
  bool near = false;
  // Exact data with a duplicated (collinear) predictor: the minimum-norm split of the slope.
  RandomDesign(X, y, yv, 20, 2, 3, {1.0, 2.0, 0.0}, 0.0);
  for (int r = 1; r <= 20; ++r) X.Cell(2, r) = X.Cell(1, r);
  TRegressionStats st;
  MultiLinReg(&X, &yv, &b, &se, near, &st);
  EXPECT_TRUE(near);
  EXPECT_EQ(st.Rank, 1);
  EXPECT_NEAR(b.Elem(2), 1.0, 1e-9);
  EXPECT_NEAR(b.Elem(3), 1.0, 1e-9);
  EXPECT_NEAR(b.Elem(1), 1.0, 1e-9);
  // More predictors than objects.
  RandomDesign(X, y, yv, 4, 6, 5, {0, 1, 1, 1, 1, 1, 1}, 0.0);
  MultiLinReg(&X, &yv, &b, &se, near, &st);
  EXPECT_TRUE(near);
  EXPECT_LE(st.DfRes, 0.0);
  for (int j = 1; j <= 7; ++j) EXPECT_TRUE(std::isfinite(b.Elem(j)));
  EXPECT_EQ(se.Elem(2), 0.0);
  TVector shortY;
  shortY.Resize(3);
  EXPECT_THROW(MultiLinReg(&X, &shortY, &b, &se, near), EQMXMath2Error);
  EXPECT_THROW(RidgeReg(&X, &yv, -1.0, &b, &se, near), EQMXMath2Error);
}

TEST(Regression, RidgeClosedFormsAndLimits) {
  TMatrix X;
  std::vector<double> y;
  TVector yv, b, se, b0, se0;
  RandomDesign(X, y, yv, 40, 3, 11, {2.0, 1.0, -1.0, 0.5}, 1.0);
  bool near;
  // Lambda = 0 is least squares.
  RidgeReg(&X, &yv, 0.0, &b, &se, near);
  MultiLinReg(&X, &yv, &b0, &se0, near);
  for (int j = 1; j <= 4; ++j) EXPECT_NEAR(b.Elem(j), b0.Elem(j), 1e-12);
  // One centred predictor: b = Sxy / (Sxx + lambda).
  TMatrix X1;
  X1.Resize(1, 40);
  double mx = 0, my = 0, sxx = 0, sxy = 0;
  for (int r = 1; r <= 40; ++r) X1.Cell(1, r) = X.Elem(1, r);
  for (int r = 1; r <= 40; ++r) {
    mx += X1.Elem(1, r) / 40;
    my += y[r - 1] / 40;
  }
  for (int r = 1; r <= 40; ++r) {
    sxx += (X1.Elem(1, r) - mx) * (X1.Elem(1, r) - mx);
    sxy += (X1.Elem(1, r) - mx) * (y[r - 1] - my);
  }
  TRegressionStats st;
  RidgeReg(&X1, &yv, 25.0, &b, &se, near, &st);
  EXPECT_NEAR(b.Elem(2), sxy / (sxx + 25.0), 1e-12);
  EXPECT_NEAR(b.Elem(1), my - mx * sxy / (sxx + 25.0), 1e-12);
  EXPECT_NEAR(st.DfReg, sxx / (sxx + 25.0), 1e-12);
  // Huge lambda shrinks every slope to 0 and the intercept to the mean.
  RidgeReg(&X, &yv, 1e15, &b, &se, near);
  for (int j = 2; j <= 4; ++j) EXPECT_NEAR(b.Elem(j), 0.0, 1e-9);
  EXPECT_NEAR(b.Elem(1), my, 1e-9);
  // Standardised: the slopes are those of the raw ridge times the scales when lambda = 0, and
  // means and scales are the column means and standard deviations.
  TVector bs, ses, means, scales;
  RidgeRegStd(&X, &yv, 0.0, &bs, &ses, &means, &scales, near);
  for (int j = 1; j <= 3; ++j) {
    double m = 0, v = 0;
    for (int r = 1; r <= 40; ++r) m += X.Elem(j, r) / 40;
    for (int r = 1; r <= 40; ++r) v += (X.Elem(j, r) - m) * (X.Elem(j, r) - m) / 39;
    EXPECT_NEAR(means.Elem(j), m, 1e-12);
    EXPECT_NEAR(scales.Elem(j), std::sqrt(v), 1e-12);
    EXPECT_NEAR(bs.Elem(j + 1), b0.Elem(j + 1) * std::sqrt(v), 1e-10);
  }
  EXPECT_NEAR(bs.Elem(1), my, 1e-12);
}

TEST(Regression, SingularValueDecompositionAndSolve) {
  TMatrix A, V;
  TVector W;
  RandSeed(5);
  A.Resize(4, 7);
  A.FillRandomGauss(0, 1);
  TMatrix A0;
  A0.Assign(&A);
  SingValDecomp(&A, &V, &W);
  ASSERT_EQ(W.NrOfElem(), 4);
  for (int k = 1; k < 4; ++k) EXPECT_GE(W.Elem(k), W.Elem(k + 1));
  // U diag(W) V' reproduces the matrix; U'U = V'V = I.
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 7; ++r) {
      double s = 0;
      for (int k = 1; k <= 4; ++k) s += A.Elem(k, r) * W.Elem(k) * V.Elem(k, c);
      EXPECT_NEAR(s, A0.Elem(c, r), 1e-12);
    }
  for (int a = 1; a <= 4; ++a)
    for (int b = 1; b <= 4; ++b) {
      double su = 0, sv = 0;
      for (int r = 1; r <= 7; ++r) su += A.Elem(a, r) * A.Elem(b, r);
      for (int r = 1; r <= 4; ++r) sv += V.Elem(a, r) * V.Elem(b, r);
      EXPECT_NEAR(su, a == b, 1e-12);
      EXPECT_NEAR(sv, a == b, 1e-12);
    }
  // Solve: a consistent system gives its exact solution.
  TVector B, X, SE;
  B.Resize(7);
  const double xs[4] = {1, -2, 0.5, 3};
  for (int r = 1; r <= 7; ++r) {
    double s = 0;
    for (int c = 1; c <= 4; ++c) s += A0.Elem(c, r) * xs[c - 1];
    B.Data()[r - 1] = s;
  }
  SingValEquSolve(&A, &V, &W, &B, &X, &SE);
  for (int c = 1; c <= 4; ++c) EXPECT_NEAR(X.Elem(c), xs[c - 1], 1e-12);
  // Zeroing a singular value drops its direction: the solution loses its V_4 component.
  TVector W2;
  W2.Assign(&W);
  W2.Data()[3] = 0;
  TVector X2;
  SingValEquSolve(&A, &V, &W2, &B, &X2, nullptr);
  double c4 = 0;
  for (int r = 1; r <= 4; ++r) c4 += V.Elem(4, r) * X2.Elem(r);
  EXPECT_NEAR(c4, 0.0, 1e-12);
  TVector B3;
  B3.Resize(3);
  EXPECT_THROW(SingValEquSolve(&A, &V, &W, &B3, &X, nullptr), EQMXMath2Error);
}

TEST(Regression, SimPLSScoresOrthogonalAndFullModelIsLeastSquares) {
  TMatrix X, Y;
  RandSeed(17);
  X.Resize(4, 30);
  X.FillRandomGauss(0, 1);
  Y.Resize(2, 30);
  std::vector<double> y1(30), y2(30);
  for (int r = 1; r <= 30; ++r) {
    y1[r - 1] = 1 + X.Elem(1, r) - 2 * X.Elem(3, r) + 0.3 * RandomUniform();
    y2[r - 1] = -2 + 0.5 * X.Elem(2, r) + X.Elem(4, r) + 0.3 * RandomUniform();
    Y.Cell(1, r) = y1[r - 1];
    Y.Cell(2, r) = y2[r - 1];
  }
  TMatrix R, P, Q, T, U, B, Sc;
  TVector ex, ey;
  for (bool stdz : {false, true}) {
    SimPLS(&X, &Y, 4, stdz, &R, &P, &Q, &T, &U, &B, &ex, &ey, &Sc);
    ASSERT_EQ(T.NrOfColumns(), 4);
    for (int a = 1; a <= 4; ++a)
      for (int b = 1; b <= 4; ++b) {
        double s = 0;
        for (int r = 1; r <= 30; ++r) s += T.Elem(a, r) * T.Elem(b, r);
        EXPECT_NEAR(s, a == b ? 1.0 : 0.0, 1e-10);
      }
    // With as many components as predictors the model is the least-squares regression.
    const auto b1 = NormalEquations(X, y1), b2 = NormalEquations(X, y2);
    for (int j = 0; j <= 4; ++j) {
      EXPECT_NEAR(B.Elem(1, j + 1), b1[j], 1e-9);
      EXPECT_NEAR(B.Elem(2, j + 1), b2[j], 1e-9);
    }
    double sx = 0;
    for (int a = 1; a <= 4; ++a) sx += ex.Elem(a);
    EXPECT_NEAR(sx, 1.0, 1e-10);  // all variance of X explained by p components
  }
  // One component and one response: the weight vector is proportional to X'y (centred).
  TMatrix Y1;
  Y1.Resize(1, 30);
  for (int r = 1; r <= 30; ++r) Y1.Cell(1, r) = y1[r - 1];
  SimPLS(&X, &Y1, 1, false, &R, &P, &Q, &T, &U, &B, &ex, &ey, &Sc);
  std::vector<double> xty(4, 0);
  double my = 0;
  for (double v : y1) my += v / 30;
  for (int j = 1; j <= 4; ++j) {
    double mx = 0;
    for (int r = 1; r <= 30; ++r) mx += X.Elem(j, r) / 30;
    for (int r = 1; r <= 30; ++r) xty[j - 1] += (X.Elem(j, r) - mx) * (y1[r - 1] - my);
  }
  for (int j = 2; j <= 4; ++j) EXPECT_NEAR(R.Elem(1, j) / R.Elem(1, 1), xty[j - 1] / xty[0], 1e-10);
  EXPECT_THROW(SimPLS(&X, &Y1, 0, false, &R, &P, &Q, &T, &U, &B, &ex, &ey, &Sc), EQMXMath2Error);
}

TEST(Regression, VertexComponentAnalysisFindsThePureVertices) {
  // Three endmember spectra over 8 bands, 300 mixtures with Dirichlet abundances, the pure
  // pixels at rows 17, 123 and 250.
  const double E[3][8] = {{0.9, 0.8, 0.7, 0.5, 0.3, 0.2, 0.1, 0.1},
                          {0.1, 0.2, 0.5, 0.9, 0.9, 0.5, 0.2, 0.1},
                          {0.2, 0.1, 0.1, 0.2, 0.4, 0.6, 0.8, 0.9}};
  for (bool snr : {true, false}) {
    TMatrix X;
    X.Resize(8, 300);
    RandSeed(snr ? 3 : 4);
    for (int r = 1; r <= 300; ++r) {
      double a[3], s = 0;
      for (double& v : a) s += (v = -std::log(1e-12 + RandomUniform()));
      if (r == 17 || r == 123 || r == 250) {
        a[0] = r == 17;
        a[1] = r == 123;
        a[2] = r == 250;
        s = 1;
      }
      for (int c = 0; c < 8; ++c)
        X.Cell(c + 1, r) = (a[0] * E[0][c] + a[1] * E[1][c] + a[2] * E[2][c]) / s;
    }
    TMatrix End, Proj;
    TIntVector idx;
    VertexCompAnalysis(&X, 3, snr, &End, &idx, &Proj);
    std::set<int> got = {idx.Elem(1), idx.Elem(2), idx.Elem(3)};
    EXPECT_EQ(got, (std::set<int>{17, 123, 250})) << snr;
    ASSERT_EQ(End.NrOfColumns(), 3);
    for (int k = 1; k <= 3; ++k)
      for (int c = 1; c <= 8; ++c) EXPECT_EQ(End.Elem(k, c), X.Elem(c, idx.Elem(k)));
  }
}

TEST(Regression, PenalizedSplineLimitsAndNaturalSpline) {
  const std::vector<double> x = {0, 0.5, 1.5, 2, 3, 4.5, 5};
  std::vector<double> y = {1, 2, 0.5, 3, 2.5, 1, 2}, w = {1, 2, 1, 1, 3, 1, 1};
  std::vector<double> s(7), s1(7), s2(7);
  PenalizedCubicSpline(0, 6, 0.0, x, y, w, s, s1, s2);
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(s[i], y[i], 1e-12);
  EXPECT_EQ(s2[0], 0.0);
  EXPECT_EQ(s2[6], 0.0);
  // The interpolant's pieces join with continuous first derivative: the derivative from the
  // left of knot i, from piece i-1, equals S1[i].
  for (int i = 1; i < 6; ++i) {
    const double h = x[i] - x[i - 1];
    const double left = (s[i] - s[i - 1]) / h + h * (s2[i - 1] + 2 * s2[i]) / 6;
    EXPECT_NEAR(left, s1[i], 1e-10);
  }
  // Infinite penalty: the weighted least-squares line.
  PenalizedCubicSpline(0, 6, 1e12, x, y, w, s, s1, s2);
  double sw = 0, swx = 0, swy = 0, swxx = 0, swxy = 0;
  for (int i = 0; i < 7; ++i) {
    sw += w[i];
    swx += w[i] * x[i];
    swy += w[i] * y[i];
    swxx += w[i] * x[i] * x[i];
    swxy += w[i] * x[i] * y[i];
  }
  const double k = (sw * swxy - swx * swy) / (sw * swxx - swx * swx), d = (swy - k * swx) / sw;
  for (int i = 0; i < 7; ++i) {
    EXPECT_NEAR(s[i], d + k * x[i], 1e-6);
    EXPECT_NEAR(s1[i], k, 1e-6);
  }
  // Intermediate penalty: the smoothed values keep the weighted mean (constants are not
  // penalised).
  PenalizedCubicSpline(0, 6, 0.5, x, y, w, s, s1, s2);
  double m0 = 0, m1 = 0;
  for (int i = 0; i < 7; ++i) {
    m0 += w[i] * y[i];
    m1 += w[i] * s[i];
  }
  EXPECT_NEAR(m0, m1, 1e-10);
  // A sub-range leaves the other elements alone.
  std::fill(s.begin(), s.end(), -9.0);
  PenalizedCubicSpline(2, 4, 0.0, x, y, w, s, s1, s2);
  EXPECT_EQ(s[0], -9.0);
  EXPECT_NEAR(s[3], y[3], 1e-12);
  EXPECT_NEAR(s1[2], (y[3] - y[2]) / 0.5 - 0.5 * (2 * s2[2] + s2[3]) / 6, 1e-12);
  std::vector<double> bad = x;
  bad[3] = bad[2];
  EXPECT_THROW(PenalizedCubicSpline(0, 6, 1.0, bad, y, w, s, s1, s2), EQMXMath2Error);
  EXPECT_THROW(PenalizedCubicSpline(0, 7, 1.0, x, y, w, s, s1, s2), EQMXMath2Error);
}

TEST(ImageCorrelation, ChannelsSizesAndParentheses) {
  TPixelImage img(12, 12);
  for (int x = 0; x < 12; ++x)
    for (int y = 0; y < 12; ++y)
      img.SetPixel(x, y, TPixelImage::RGB(static_cast<uint8_t>(20 * x), static_cast<uint8_t>(7 * y + 3),
                                          static_cast<uint8_t>((x * y) % 256)));
  const TImgRect a{0, 0, 9, 9}, b{2, 1, 11, 10}, c{0, 0, 9, 10};
  for (int m = icmRed; m <= icmGrayValues; ++m)
    EXPECT_NEAR(CalcImgCorrelation(&img, &img, a, a, static_cast<TImgCompareMode>(m)), 1.0, 1e-12) << m;
  try {
    CalcImgCorrelation(&img, &img, a, c, icmRed);
    FAIL();
  } catch (const EQMXMath2Error& e) {
    EXPECT_STREQ(e.what(), "image ranges to compare are not of equal size");
  }
  EXPECT_THROW(CalcImgCorrelation(&img, &img, b, TImgRect{5, 5, 14, 14}, icmRed), EQMXMath2Error);
  // Red depends on x only: shifted by two columns the red channel is still perfectly correlated,
  // green (y only) is uncorrelated with red.
  EXPECT_NEAR(CalcImgCorrelation(&img, &img, a, b, icmRed), 1.0, 1e-12);
  TPixelImage flat(4, 4);
  EXPECT_EQ(CalcImgCorrelation(&flat, &flat, {0, 0, 3, 3}, {0, 0, 3, 3}, icmRed), 0.0);
  // Colour conversions.
  double h, s, i;
  RGBtoHSI(255, 0, 0, h, s, i);
  EXPECT_NEAR(h, 0.0, 1e-12);
  EXPECT_NEAR(s, 1.0, 1e-12);
  EXPECT_NEAR(i, 85.0, 1e-12);
  RGBtoHSI(0, 255, 0, h, s, i);
  EXPECT_NEAR(h, 120.0, 1e-9);
  RGBtoHSI(0, 0, 255, h, s, i);
  EXPECT_NEAR(h, 240.0, 1e-9);
  RGBtoHSI(90, 90, 90, h, s, i);
  EXPECT_EQ(h, 0.0);
  EXPECT_EQ(s, 0.0);
  EXPECT_NEAR(RGBtoGray(255, 255, 255), 255.0, 1e-12);
  EXPECT_EQ(CheckParanthInExp("(a+b)*(c"), 1);
  EXPECT_EQ(CheckParanthInExp("a)+(b"), -2);
  EXPECT_EQ(CheckParanthInExp(""), 0);
  EXPECT_EQ(CheckParanthInExp("((x))"), 0);
}

TEST(ImageCorrelation, PNMFilesLoadAndBadFilesAreRefused) {
  const std::string dir = testing::TempDir();
  TPixelImage img(3, 2);
  img.SetPixel(0, 0, TPixelImage::RGB(1, 2, 3));
  img.SetPixel(2, 1, TPixelImage::RGB(250, 128, 7));
  ASSERT_TRUE(img.SaveToPPMFile(dir + "qmx_img.ppm"));
  TPixelImage back;
  ASSERT_TRUE(back.LoadFromPNMFile(dir + "qmx_img.ppm"));
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(back.Pixel(0, 0), TPixelImage::RGB(1, 2, 3));
  EXPECT_EQ(back.Pixel(2, 1), TPixelImage::RGB(250, 128, 7));
  {
    std::FILE* f = std::fopen((dir + "qmx_img.pgm").c_str(), "wb");
    std::fputs("P5\n# gray\n2 1\n65535\n", f);
    const unsigned char px[4] = {0xFF, 0xFF, 0x80, 0x00};
    std::fwrite(px, 1, 4, f);
    std::fclose(f);
  }
  ASSERT_TRUE(back.LoadFromPNMFile(dir + "qmx_img.pgm"));
  EXPECT_EQ(back.Pixel(0, 0), TPixelImage::RGB(255, 255, 255));
  EXPECT_EQ(back.Pixel(1, 0), TPixelImage::RGB(128, 128, 128));
  {
    std::FILE* f = std::fopen((dir + "qmx_short.ppm").c_str(), "wb");
    std::fputs("P6\n100000 100000\n255\nxyz", f);
    std::fclose(f);
  }
  EXPECT_FALSE(back.LoadFromPNMFile(dir + "qmx_short.ppm"));
  EXPECT_EQ(back.Width(), 2);  // unchanged
  EXPECT_FALSE(back.LoadFromPNMFile(dir + "does_not_exist.ppm"));
}
