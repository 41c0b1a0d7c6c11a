// TMatrix block statistics and normalising transforms.
#include <gtest/gtest.h>

#include <cmath>

#include "matrix/tmatrix_test_util.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
using qmxtest::ChangeCounter;
using qmxtest::SetRows;

namespace {

TEST(TMatrixStats, MinMaxMeanVarSumTrace) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  double mn, mx, mean, var;
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, 1);
  EXPECT_EQ(mx, 6);
  m.MinMax(2, 1, 3, 1, mn, mx);
  EXPECT_EQ(mn, 2);
  EXPECT_EQ(mx, 3);
  m.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_DOUBLE_EQ(mean, 3.5);
  EXPECT_DOUBLE_EQ(var, 3.5);  // sum of squared deviations 17.5 over 5
  m.MeanVar(1, 1, 2, 1, mean, var);  // 1 x 2 block
  EXPECT_DOUBLE_EQ(mean, 1.5);
  EXPECT_EQ(var, 1.0);
  m.MeanVar(1, 1, 3, 1, mean, var);  // (1, 2, 3) by the formula
  EXPECT_DOUBLE_EQ(var, 1.0);
  EXPECT_DOUBLE_EQ(m.Sum(0, 0, 0, 0), 21);
  EXPECT_DOUBLE_EQ(m.Sum(3, 2, 2, 1), 16);  // reversed bounds are swapped
  EXPECT_EQ(m.Trace(), 0.0);                 // not square
  SetRows(m, {{1, 9, 9}, {9, 2, 9}, {9, 9, 3}});
  EXPECT_EQ(m.Trace(), 6);

  TMatrix e;
  e.Resize(0, 3);
  e.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, uc_MaxReal);
  e.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_EQ(var, 0.0);
  double q1, q2, q3;
  EXPECT_FALSE(e.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_EQ(e.Percentile(50, 0, 0, 0, 0), 0.0);
}

TEST(TMatrixStats, GeometricAndHarmonicMeans) {
  TMatrix m;
  m.SetName("G");
  SetRows(m, {{1, 2, 4}});
  EXPECT_NEAR(m.GeometricMean(0, 0, 0, 0), 2.0, 1e-15);
  EXPECT_NEAR(m.HarmonicMean(0, 0, 0, 0), 3.0 / 1.75, 1e-15);
  SetRows(m, {{1, 0, 4}});
  EXPECT_EQ(m.GeometricMean(0, 0, 0, 0), 0.0);
  try {
    m.HarmonicMean(0, 0, 0, 0);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"G\": negative or zero argument passed to HarmonicMean");
  }
  SetRows(m, {{1, 0, -4}});  // a zero does not stop the scan for negatives
  try {
    m.GeometricMean(0, 0, 0, 0);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"G\": negative argument passed to GeometricMean");
  }
}

TEST(TMatrixStats, SkewnessAndKurtosis) {
  TMatrix m;
  SetRows(m, {{1, 2, 4}});
  double s, k;
  // Three cells already give values: mean 7/3, deviations -4/3, -1/3, 5/3,
  // sd = sqrt(7/3), sum d^3 = 20/9, sum d^4 = 882/81.
  m.SkewKurt(0, 0, 0, 0, s, k);
  const double sd = std::sqrt(7.0 / 3.0);
  EXPECT_NEAR(s, (20.0 / 9.0 / 3.0) / (sd * sd * sd), 1e-14);
  EXPECT_NEAR(k, (882.0 / 81.0 / 3.0) / (49.0 / 9.0) - 3.0, 1e-14);
  m.SkewKurtSample(0, 0, 0, 0, s, k);  // needs four cells
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);

  // Symmetric data: no skew; (1, 2, 3, 4): sd^2 = 5/3, sum d^4 = 2*(81+1)/16 = 10.25.
  SetRows(m, {{1, 2}, {3, 4}});
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_NEAR(s, 0.0, 1e-15);
  EXPECT_NEAR(k, (10.25 / 4) / (25.0 / 9.0) - 3, 1e-14);
  const double K = k;
  m.SkewKurtSample(0, 0, 0, 0, s, k);
  EXPECT_NEAR(k, (K + 3) * 16 * 5 / (3.0 * 2 * 1) - 3.0 * 9 / (2 * 1), 1e-13);
  SetRows(m, {{5, 5, 5}});
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);
}

TEST(TMatrixStats, PercentileSelectsWithoutInterpolation) {
  TMatrix m;
  SetRows(m, {{4, 2}, {1, 3}});
  EXPECT_EQ(m.Percentile(100, 0, 0, 0, 0), 4);
  EXPECT_EQ(m.Percentile(0, 0, 0, 0, 0), 1);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0), 3);
  EXPECT_EQ(m.Percentile(-20, 0, 0, 0, 0), 1);
  EXPECT_EQ(m.Percentile(12.5, 0, 0, 0, 0), 1);  // rank 0.5 rounds to even: 0
  EXPECT_EQ(m.Elem(1, 1), 4);                     // the matrix is not reordered
  double q1, q2, q3;
  EXPECT_TRUE(m.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_DOUBLE_EQ(q1, 1.25);
  EXPECT_DOUBLE_EQ(q2, 2.5);
  EXPECT_DOUBLE_EQ(q3, 3.75);
  EXPECT_TRUE(m.Quartiles(1, 1, 1, 1, q1, q2, q3));
  EXPECT_EQ(q1, 4);
  EXPECT_EQ(q3, 4);
}

TEST(TMatrixStats, SampledPercentileInsideTheZeros) {
  TMatrix m;
  m.Resize(10, 10);
  for (int c = 1; c <= 10; ++c) m.SetVal(c, 10, c);  // 90 % zeros, ten positive values
  // The sample comes from a generator of its own: the process-wide one is left as it was.
  RandSeed(3);
  const double next = RandomUniform();
  RandSeed(3);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 40), 0.0);
  EXPECT_EQ(RandomUniform(), next);
  // 99 % lies above the zeros' share of any sample when the zeros are few.
  TMatrix few;
  few.Resize(10, 10);
  for (int c = 1; c <= 10; ++c)
    for (int r = 1; r <= 9; ++r) few.SetVal(c, r, 10 * (r - 1) + c);  // 1..90, and ten zeros
  const double p99 = few.Percentile(99, 0, 0, 0, 0, 60);
  EXPECT_GT(p99, 0.0);
  EXPECT_LE(p99, 90.0);
  // A sample as large as the block falls back to the full selection.
  EXPECT_EQ(m.Percentile(100, 0, 0, 0, 0, 100), 10.0);
}

TEST(TMatrixStats, Histogram) {
  TMatrix m;
  SetRows(m, {{2.5, -0.1, 11}, {0, 9.99, 10.5}});
  TIntVector h;
  int32_t under, over, maxc;
  ASSERT_TRUE(m.Histogram(0, 0, 0, 0, 0, 10, 1, &h, under, over, maxc));
  EXPECT_EQ(h.NrOfElem(), 10);
  EXPECT_EQ(h.Elem(3), 1);   // 2.5
  EXPECT_EQ(h.Elem(1), 1);   // 0
  EXPECT_EQ(h.Elem(10), 1);  // 9.99
  EXPECT_EQ(under, 1);
  // 11 is above LastBin + BinWidth; 10.5 would fall in bin 11, which does not exist.
  EXPECT_EQ(over, 2);
  EXPECT_EQ(maxc, 1);
  EXPECT_FALSE(m.Histogram(0, 0, 0, 0, 0, 1000, 1, &h, under, over, maxc));
  EXPECT_FALSE(m.Histogram(0, 0, 0, 0, 0, 10, 0, &h, under, over, maxc));
  EXPECT_FALSE(m.Histogram(0, 0, 0, 0, 0, 10, 1, nullptr, under, over, maxc));
}

TEST(TMatrixStats, MeanVectors) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {5, 6, 10}});
  TVector v;
  m.MeanVec(dimRows, &v);  // one mean per column
  ASSERT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.Elem(1), 3);
  EXPECT_EQ(v.Elem(3), 6.5);
  m.MeanVec(dimColumns, &v);  // one mean per row
  ASSERT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.Elem(1), 2);
  EXPECT_EQ(v.Elem(2), 7);
}

TEST(TMatrixStats, StandardizeAndCentre) {
  TMatrix m;
  SetRows(m, {{1, 10}, {2, 20}, {3, 60}});
  ChangeCounter cc;
  cc.Attach(m);
  m.StandardizeColumns(nullptr, nullptr);
  EXPECT_EQ(cc.n, 1);
  EXPECT_NEAR(m.Elem(1, 1), -1, 1e-15);  // mean 2, sd 1
  EXPECT_NEAR(m.Elem(1, 3), 1, 1e-15);
  const double sd2 = std::sqrt(700.0);  // column 2: mean 30, variance (400+100+900)/2
  EXPECT_NEAR(m.Elem(2, 3), 30 / sd2, 1e-15);

  SetRows(m, {{1, 5}, {3, 5}});  // two rows: only centred, sd reported as 1
  TVector means, sds;
  means.Resize(2);
  sds.Resize(1);  // short: the second value is dropped
  m.StandardizeColumns(&means, &sds);
  EXPECT_EQ(m.Elem(1, 1), -1);
  EXPECT_EQ(m.Elem(2, 2), 0);
  EXPECT_EQ(means.Elem(1), 2);
  EXPECT_EQ(means.Elem(2), 5);
  EXPECT_EQ(sds.Elem(1), 1);
  EXPECT_EQ(sds.NrOfElem(), 1);

  SetRows(m, {{1, 2, 6}, {4, 4, 4}});
  m.StandardizeRows(&means, nullptr);
  EXPECT_EQ(means.Elem(1), 3);
  EXPECT_NEAR(m.Elem(3, 1), 3 / std::sqrt(7.0), 1e-15);
  EXPECT_EQ(m.Elem(1, 2), 4);  // zero variance: row left alone

  SetRows(m, {{1, 2, 6}, {3, 4, 8}});
  TVector cm;
  m.MeanCenterColumns(&cm);  // resized from 1 to 3
  ASSERT_EQ(cm.NrOfElem(), 3);
  EXPECT_EQ(cm.Elem(3), 7);
  EXPECT_EQ(m.Elem(3, 1), -1);
  m.MeanCenterRows(&cm);
  EXPECT_EQ(cm.NrOfElem(), 2);
  EXPECT_EQ(m.Elem(1, 1) + m.Elem(2, 1) + m.Elem(3, 1), 0);
}

TEST(TMatrixStats, QuantileNormalisation) {
  TMatrix m;
  SetRows(m, {{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}});
  TVector med, qd;
  med.Resize(2);
  qd.Resize(2);
  m.QNormalizeColumns(25, &med, &qd);
  // Column 1: median = rank round(2.5) = 2 -> 3; 25 % = rank round(1.25) = 1 -> 2.
  EXPECT_EQ(med.Elem(1), 3);
  EXPECT_EQ(qd.Elem(1), 1);
  EXPECT_EQ(m.Elem(1, 1), -2);
  EXPECT_EQ(m.Elem(1, 5), 2);
  EXPECT_EQ(qd.Elem(2), 0);  // constant column stays
  EXPECT_EQ(m.Elem(2, 1), 7);

  SetRows(m, {{10, 20, 30, 40, 50}});
  m.QNormalizeRows(75, nullptr, nullptr);  // median 30, 75 % = rank round(3.75) = 4 -> 50
  EXPECT_EQ(m.Elem(1, 1), -1);
  EXPECT_EQ(m.Elem(5, 1), 1);
}

}  // namespace
