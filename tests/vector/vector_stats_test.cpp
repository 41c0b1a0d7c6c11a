#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "vector/vector_test_util.h"

using namespace qmx;
using namespace vectest;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(VectorStats, MinMaxFirstIndexWinsAndExtremes) {
  TVector v;
  Set(v, {3, 1, 1, 3});
  double mn, mx;
  int32_t mi, ma;
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((D{mn, mx, double(mi), double(ma)}), (D{1, 3, 2, 1}));
  v.MinMax(3, 4, mn, mx, mi, ma);
  EXPECT_EQ((D{double(mi), double(ma)}), (D{3, 4}));
  // Values beyond the +-1.7E+308 start values are still found; NaNs are passed over.
  Set(v, {kNaN, kInf, 1.75e308, -kInf});
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((D{mn, mx, double(mi), double(ma)}), (D{-kInf, kInf, 4, 2}));
  Set(v, {kNaN});
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((D{mn, mx, double(mi), double(ma)}), (D{1.7e308, -1.7e308, 0, 0}));
}

TEST(VectorStats, MeanVarConventionAndLargeOffset) {
  TVector v;
  double m, var;
  Set(v, {5});
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ((D{m, var}), (D{5, 1}));
  Set(v, {1, 3});
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ((D{m, var}), (D{2, 1}));
  Set(v, {2, 2, 2});
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ(var, 0.0);
  Set(v, {1, 2, 3, 4, 10});  // mean 4, squared deviations 9+4+1+0+36 = 50
  v.MeanVar(0, 0, m, var);
  EXPECT_DOUBLE_EQ(m, 4);
  EXPECT_DOUBLE_EQ(var, 12.5);
  v.MeanVar(2, 4, m, var);
  EXPECT_DOUBLE_EQ(m, 3);
  EXPECT_DOUBLE_EQ(var, 1);
  EXPECT_DOUBLE_EQ(v.Sum(0, 0), 20);
  EXPECT_DOUBLE_EQ(v.Sum(4, 2), 9);
  // Far from zero: raw sums of squares would lose every digit of the spread.
  Set(v, {1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4});
  v.MeanVar(0, 0, m, var);
  EXPECT_DOUBLE_EQ(m, 1e9 + 2.5);
  EXPECT_DOUBLE_EQ(var, 5.0 / 3.0);
}

TEST(VectorStats, MeanVarOfHugeFiniteSpreadIsInfinite) {
  TVector v;
  double m, var;
  Set(v, {1e308, -1e308, 3});  // mean 1; squared deviations about 2e616
  v.MeanVar(0, 0, m, var);
  EXPECT_DOUBLE_EQ(m, 1.0);
  EXPECT_EQ(var, kInf);
  Set(v, {1e308, 1e308, 1e308});  // the plain sum overflows; the mean is still 1e308
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ(m, 1e308);
  EXPECT_EQ(var, 0.0);
  Set(v, {1e308, -kInf, 3});  // an infinite element leaves the variance undefined
  v.MeanVar(0, 0, m, var);
  EXPECT_TRUE(std::isnan(var));
  Set(v, {1e308, kNaN, 3});
  v.MeanVar(0, 0, m, var);
  EXPECT_TRUE(std::isnan(var));
}

TEST(VectorStats, SkewKurtHandComputed) {
  TVector v;
  double s, k;
  Set(v, {0, 0, 4});
  v.SkewKurt(0, 0, s, k);
  EXPECT_EQ((D{s, k}), (D{0, 0}));
  // (0, 0, 0, 4): m = 1, d = (-1, -1, -1, 3), sd = 2, sum d^3 = 24, sum d^4 = 84.
  Set(v, {0, 0, 0, 4});
  v.SkewKurt(0, 0, s, k);
  EXPECT_DOUBLE_EQ(s, 0.75);
  EXPECT_DOUBLE_EQ(k, 84.0 / 4 / 16 - 3);
  v.SkewKurtSample(0, 0, s, k);
  EXPECT_DOUBLE_EQ(s, 2.0);
  EXPECT_DOUBLE_EQ(k, 4.0);
  Set(v, {7, 7, 7, 7, 7});  // no spread: no moments, and no correction of the zeros
  v.SkewKurtSample(0, 0, s, k);
  EXPECT_EQ((D{s, k}), (D{0, 0}));
}

TEST(VectorStats, GeometricAndHarmonicMeans) {
  TVector v;
  v.SetName("g");
  Set(v, {1, 2, 4});
  EXPECT_NEAR(v.GeometricMean(0, 0), 2.0, 1e-15);
  EXPECT_DOUBLE_EQ(v.HarmonicMean(0, 0), 12.0 / 7.0);
  Set(v, {1, 0, 4});
  EXPECT_EQ(v.GeometricMean(0, 0), 0.0);
  Set(v, {1, 0, -4});
  try {
    v.GeometricMean(0, 0);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"g\": negative argument passed to GeometricMean");
  }
  EXPECT_EQ(v.GeometricMean(1, 2), 0.0);  // the negative element is outside the range
  try {
    v.HarmonicMean(0, 0);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"g\": negative or zero argument passed to HarmonicMean");
  }
}

TEST(VectorStats, ModePercentileQuartiles) {
  TVector v;
  Set(v, {4, 2, 2, 4, 3});
  EXPECT_EQ(v.Mode(0, 0), 2);
  Set(v, {5, 1, 3});
  EXPECT_EQ(v.Mode(0, 0), 1);
  Set(v, {4, 1, 3, 2});  // unsorted on purpose; the vector must stay as it is
  EXPECT_DOUBLE_EQ(v.Percentile(50, 0, 0), 2.5);
  EXPECT_DOUBLE_EQ(v.Percentile(100, 0, 0), 4);
  EXPECT_DOUBLE_EQ(v.Percentile(-5, 0, 0), 1);
  EXPECT_DOUBLE_EQ(v.Percentile(25, 0, 0), 1.75);  // rank 0.75 from 0
  double q1, q2, q3;
  EXPECT_TRUE(v.Quartiles(0, 0, q1, q2, q3));
  EXPECT_EQ((D{q1, q2, q3}), (D{1.25, 2.5, 3.75}));
  EXPECT_EQ(Values(v), (D{4, 1, 3, 2}));
  Set(v, {2, 1});
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ((D{q1, q2, q3}), (D{1, 1.5, 2}));
  Set(v, {7});
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ((D{q1, q2, q3}), (D{7, 7, 7}));
  EXPECT_EQ(v.Percentile(30, 0, 0), 7);
  // An infinite neighbour with zero weight does not poison the result.
  Set(v, {1, 2, kInf});
  EXPECT_EQ(v.Percentile(50, 0, 0), 2);
  // NaN data have no order statistics.
  Set(v, {1, kNaN, 3});
  EXPECT_TRUE(std::isnan(v.Percentile(50, 0, 0)));
  EXPECT_TRUE(std::isnan(v.Mode(0, 0)));
}

TEST(VectorStats, OrderStatisticsOnLongRuns) {
  // One distinct value among 200000 equal ones: must neither stall nor miss.
  TVector v;
  v.Resize(200000);
  v.Fill(5);
  v.SetVal(1, 0);
  v.SetVal(200000, 9);
  EXPECT_EQ(v.Percentile(50, 0, 0), 5);
  EXPECT_EQ(v.Percentile(0, 0, 0), 0);
  double q1, q2, q3;
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ((D{q1, q2, q3, v.Mode(0, 0)}), (D{5, 5, 5, 5}));
}

TEST(VectorStats, HistogramBinsTailsAndRemainder) {
  TVector v;
  Set(v, {2.5, -0.1, 11, 0, 9.99, 10.5, kNaN});
  TIntVector h;
  int32_t under, over, maxCnt;
  ASSERT_TRUE(v.Histogram(1, 7, 0, 10, 1, &h, under, over, maxCnt));
  EXPECT_EQ(h.NrOfElem(), 10);
  EXPECT_EQ(h.Elem(3), 1);   // 2.5
  EXPECT_EQ(h.Elem(1), 1);   // 0
  EXPECT_EQ(h.Elem(10), 1);  // 9.99
  EXPECT_EQ(under, 1);       // -0.1
  // 11 is above LastBin + BinWidth; 10.5 would fall in an eleventh bin that does not exist.
  EXPECT_EQ(over, 2);
  EXPECT_EQ(maxCnt, 1);
  int32_t total = under + over;
  for (int32_t b = 1; b <= h.NrOfElem(); ++b) total += h.Elem(b);
  EXPECT_EQ(total, 6);  // every value but the NaN counted exactly once

  // Element indices are not clamped: outside the vector they read 0.0.
  ASSERT_TRUE(v.Histogram(0, 2, 0, 10, 1, &h, under, over, maxCnt));
  EXPECT_EQ(h.Elem(1), 1);
  EXPECT_EQ(h.Elem(3), 1);
  EXPECT_EQ(under, 1);  // element 2 is -0.1

  // Unusable bins: nothing changes.
  h.Fill(3);
  under = over = maxCnt = -1;
  EXPECT_FALSE(v.Histogram(1, 7, 0, 10, 0, &h, under, over, maxCnt));
  EXPECT_FALSE(v.Histogram(1, 7, 0, 10, -1, &h, under, over, maxCnt));
  EXPECT_FALSE(v.Histogram(1, 7, 0, 501, 1, &h, under, over, maxCnt));
  EXPECT_FALSE(v.Histogram(1, 7, 0, kInf, 1, &h, under, over, maxCnt));
  EXPECT_FALSE(v.Histogram(1, 7, 0, 10, 1, nullptr, under, over, maxCnt));
  EXPECT_EQ(under, -1);
  EXPECT_EQ(h.Elem(1), 3);
  // A huge stretch of indices outside the vector saturates instead of overflowing.
  ASSERT_TRUE(v.Histogram(-2147483647 - 1, 2147483647, -5, 5, 1, &h, under, over, maxCnt));
  EXPECT_EQ(h.Elem(6), 2147483647);
}

TEST(VectorStats, PearsonCorrelation) {
  TVector x, y;
  Set(x, {1, 2, 3, 4});
  Set(y, {3, 5, 7, 9});
  EXPECT_NEAR(x.PearsonCorrCoeff(&y), 1.0, 1e-15);
  Set(y, {8, 6, 4, 2});
  EXPECT_NEAR(x.PearsonCorrCoeff(&y), -1.0, 1e-15);
  Set(y, {1, -1, -1, 1});  // orthogonal to the trend
  EXPECT_NEAR(x.PearsonCorrCoeff(&y), 0.0, 1e-15);
  Set(y, {2, 2, 2, 2});
  EXPECT_EQ(x.PearsonCorrCoeff(&y), 0.0);
  Set(y, {1, 2, 3});
  EXPECT_EQ(x.PearsonCorrCoeff(&y), 0.0);  // size mismatch is not an error
  // Offset data: correlation is translation invariant.
  Set(x, {1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4});
  Set(y, {1e9 + 1, 1e9 + 3, 1e9 + 2, 1e9 + 4});
  EXPECT_NEAR(x.PearsonCorrCoeff(&y), 0.8, 1e-12);
}

TEST(VectorStats, IntegrateRules) {
  TVector v;
  Set(v, {1, 1, 1, 1});
  EXPECT_DOUBLE_EQ(v.Integrate(1, 4, imTrapezoidal), 3);
  EXPECT_DOUBLE_EQ(v.Integrate(1, 4, imSimple), 3);
  EXPECT_EQ(v.Integrate(1.5, 1.5, imSimpson), 0);
  EXPECT_EQ(v.Integrate(1, 4, static_cast<TIntegMethod>(7)), 0);
  // f(t) = t: the trapezoid rule is exact with fractional bounds.
  Set(v, {1, 2, 3, 4});
  EXPECT_DOUBLE_EQ(v.Integrate(1.5, 3.25, imTrapezoidal), (3.25 * 3.25 - 1.5 * 1.5) / 2);
  EXPECT_DOUBLE_EQ(v.Integrate(3.25, 1.5, imTrapezoidal), (3.25 * 3.25 - 1.5 * 1.5) / 2);
  EXPECT_DOUBLE_EQ(v.Integrate(2.25, 2.75, imTrapezoidal), (2.75 * 2.75 - 2.25 * 2.25) / 2);
  EXPECT_DOUBLE_EQ(v.Integrate(1.5, 3.25, imSimple), 2.5 * 1.75);  // mean of x[2..3] * width
  EXPECT_DOUBLE_EQ(v.Integrate(-10, 99, imTrapezoidal), 7.5);      // bounds clamped to 1..4
  // f(t) = t^3: every Simpson variant (m = 2, 3, 4 and >= 5) is exact for cubics.
  for (int32_t N : {3, 4, 5, 6, 8, 11}) {
    v.Resize(N);
    for (int32_t i = 1; i <= N; ++i) v.SetVal(i, double(i) * i * i);
    const double exact = (double(N) * N * N * N - 1) / 4;
    EXPECT_NEAR(v.Integrate(1, N, imSimpson), exact, 1e-9 * exact) << N;
  }
  // Fractional ends add the linear pieces: f(t) = t on 1..8, bounds 1.5 and 7.5.
  v.Resize(8);
  for (int32_t i = 1; i <= 8; ++i) v.SetVal(i, i);
  EXPECT_NEAR(v.Integrate(1.5, 7.5, imSimpson), (7.5 * 7.5 - 1.5 * 1.5) / 2, 1e-12);
}

TEST(VectorStats, TransformsRewriteWithoutEvents) {
  TVector v;
  int changes = 0;
  v.OnChange = [&](TObject*) { ++changes; };
  Set(v, {2, 4, 6});
  changes = 0;
  double mean, sd;
  v.Standardize(mean, sd);
  EXPECT_EQ((D{mean, sd}), (D{4, 2}));
  EXPECT_EQ(Values(v), (D{-1, 0, 1}));
  Set(v, {5, 5, 5});
  changes = 0;
  v.Standardize(mean, sd);
  EXPECT_EQ(sd, 0);
  EXPECT_EQ(Values(v), (D{5, 5, 5}));
  Set(v, {1, 3});  // variance 1 by convention: only the mean goes
  v.Standardize(mean, sd);
  EXPECT_EQ(Values(v), (D{-1, 1}));
  Set(v, {1, 2, 6});
  changes = 0;
  EXPECT_EQ(v.MeanCenter(), 3);
  EXPECT_EQ(v.Elem(3), 3);
  Set(v, {5, 1, 4, 2, 3});
  changes = 0;
  double med, qd;
  v.QNormalize(75, med, qd);
  EXPECT_EQ((D{med, qd}), (D{3, 1}));
  EXPECT_EQ(Values(v), (D{2, -2, 1, -1, 0}));
  EXPECT_EQ(changes, 0);
}

TEST(VectorStats, OrderStatisticsMatchSortedReference) {
  // Ranks straight from a fully sorted copy: Q at (n + 1) q from 1, percentile at (n - 1) p
  // from 0, both interpolated linearly.
  RandSeed(3);
  for (int32_t n : {2, 5, 10, 101, 1000}) {
    TVector v;
    v.Resize(n);
    v.FillRandomUniform(-50, 50);
    D s = Values(v);
    std::sort(s.begin(), s.end());
    auto x = [&](double p1) {  // 1-based fractional position inside 1..n
      const auto k = static_cast<std::size_t>(p1);
      return k >= static_cast<std::size_t>(n) ? s.back() : s[k - 1] + (p1 - k) * (s[k] - s[k - 1]);
    };
    double q[3];
    v.Quartiles(0, 0, q[0], q[1], q[2]);
    for (int j = 0; j < 3; ++j) {
      const double p = (n + 1) * 0.25 * (j + 1);
      EXPECT_DOUBLE_EQ(q[j], p < 1 ? s.front() : x(p)) << n << " Q" << j + 1;
    }
    for (double prob : {1.0, 33.3, 50.0, 90.0, 99.9})
      EXPECT_DOUBLE_EQ(v.Percentile(prob, 0, 0), x(1 + prob * (n - 1) / 100)) << n << " P" << prob;
  }
}
