#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vector/vector_test_util.h"

using namespace qmx;
using namespace vectest;

namespace {

constexpr int32_t kMin = -2147483647 - 1;
constexpr int32_t kMax = 2147483647;

}  // namespace

TEST(IntVector, BasicsAndChecksum) {
  TIntVector v;
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.CRCofData(), "D202EF8DD202EF8DD202EF8DD202EF8D");
  Set(v, {3, 1, 2});
  EXPECT_FALSE(v.IsEmpty());
  EXPECT_EQ(v.Elem(4), 0);
  int changes = 0, swaps = 0;
  v.OnChange = [&](TObject*) { ++changes; };
  v.OnSortExchange = [&](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { ++swaps; };
  v.SortElems(true, 0, 0);
  EXPECT_EQ(Values(v), (I{1, 2, 3}));
  EXPECT_EQ(changes, 1);
  EXPECT_GT(swaps, 0);
  EXPECT_EQ(v.FindInSortedVector(true, 2), 2);
  EXPECT_EQ(v.Find(0, 0, kMax), 3);  // distance taken without overflow
  TIntVector w;
  w.Clone(&v);
  EXPECT_EQ(Values(w), Values(v));
  w.CopyFrom(&w, 1, 2, 2);
  EXPECT_EQ(Values(w), (I{1, 1, 2}));
}

TEST(IntVector, WrappingArithmetic) {
  TIntVector v, w;
  Set(v, {kMax, 1});
  EXPECT_EQ(v.Sum(0, 0), kMin);
  Set(v, {1 << 30, 3});
  v.SMult(4);
  EXPECT_EQ(Values(v), (I{0, 12}));
  Set(v, {65536, 2});
  Set(w, {65536, 5});
  EXPECT_EQ(v.DotProduct(&w), 10);  // 2^32 wraps to 0
  EXPECT_EQ(v.Correlate(&w, 1), 65536 * 5);
  Set(v, {kMax});
  Set(w, {1});
  v.Add(&w);
  EXPECT_EQ(v.Elem(1), kMin);
  v.Subtract(&w);
  EXPECT_EQ(v.Elem(1), kMax);
  Set(v, {kMin, -5, 7});
  v.AbsVal();
  EXPECT_EQ(Values(v), (I{kMin, 5, 7}));
  v.SetName("iv");
  Set(w, {1, 2});
  try {
    v.DotProduct(&w);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"iv\": vectors have different dimensions");
  }
}

TEST(IntVector, DistanceAndLengthDoNotWrap) {
  TIntVector a, b;
  Set(a, {0, kMin});
  Set(b, {100000, kMax});
  // 32-bit squares would wrap here; the true distance is sqrt(1e10 + (2^32 - 1)^2).
  EXPECT_DOUBLE_EQ(a.EuclideanDistance(&b), std::sqrt(1e10 + 4294967295.0 * 4294967295.0));
  Set(a, {3, 4});
  EXPECT_DOUBLE_EQ(a.Leng(), 5.0);
  Set(b, {1});
  EXPECT_THROW(a.EuclideanDistance(&b), EQMXVectorError);
}

TEST(IntVector, MinMaxReportsEveryValue) {
  TIntVector v;
  int32_t mn, mx, mi, ma;
  Set(v, {5});
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((I{mn, mx, mi, ma}), (I{5, 5, 1, 1}));
  // The smallest integer is the maximum of this one-element vector, not the start value.
  Set(v, {kMin});
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((I{mn, mx, mi, ma}), (I{kMin, kMin, 1, 1}));
  Set(v, {2, kMax, -1, kMax});
  v.MinMax(0, 0, mn, mx, mi, ma);
  EXPECT_EQ((I{mi, ma}), (I{3, 2}));
}

TEST(IntVector, MomentsAndOrderStatistics) {
  TIntVector v;
  double m, var;
  Set(v, {1, 3});
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ((D{m, var}), (D{2, 1}));
  Set(v, {1, 2, 3, 4, 10});
  v.MeanVar(0, 0, m, var);
  EXPECT_EQ((D{m, var}), (D{4, 12.5}));
  // Extreme values: exact sums give (Q - S^2/n) / (n - 1) with Q = 2^63 - 2^32 + 1, S = -1.
  Set(v, {kMax, kMin, 0});
  v.MeanVar(0, 0, m, var);
  EXPECT_DOUBLE_EQ(m, -1.0 / 3.0);
  EXPECT_DOUBLE_EQ(var, (9223372032559808513.0L - 1.0L / 3.0L) / 2.0L);
  Set(v, {0, 0, 0, 4});
  double s, k;
  v.SkewKurtSample(0, 0, s, k);
  EXPECT_DOUBLE_EQ(s, 2.0);
  EXPECT_DOUBLE_EQ(k, 4.0);
  Set(v, {4, 1, 3, 2});
  EXPECT_EQ(v.Percentile(50, 0, 0), 2.5);
  double q1, q2, q3;
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ((D{q1, q2, q3}), (D{1.25, 2.5, 3.75}));
  EXPECT_EQ(Values(v), (I{4, 1, 3, 2}));
  Set(v, {3, 3, 1});
  EXPECT_EQ(v.Mode(0, 0), 3);
  Set(v, {kMin, kMax});
  EXPECT_DOUBLE_EQ(v.Percentile(50, 0, 0), -0.5);  // difference taken in floating point
  Set(v, {1, 2, 4});
  EXPECT_NEAR(v.GeometricMean(0, 0), 2.0, 1e-15);
  EXPECT_DOUBLE_EQ(v.HarmonicMean(0, 0), 12.0 / 7.0);
  TIntVector w;
  Set(w, {2, 4, 8});
  EXPECT_NEAR(v.PearsonCorrCoeff(&w), 1.0, 1e-15);
}

TEST(IntVector, HistogramIntegerBins) {
  TIntVector v, h;
  v.SetName("iv");
  Set(v, {1, 6, 7, 0});
  int32_t under, over, maxCnt;
  ASSERT_TRUE(v.Histogram(1, 4, 1, 6, 1, &h, under, over, maxCnt));
  EXPECT_EQ(Values(h), (I{1, 0, 0, 0, 0, 1}));
  EXPECT_EQ((I{under, over, maxCnt}), (I{1, 1, 1}));
  try {
    v.Histogram(1, 4, 5, 4, 1, &h, under, over, maxCnt);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"iv.Histogram\": invalid number of bins");
  }
  EXPECT_THROW(v.Histogram(1, 4, 0, 600, 1, &h, under, over, maxCnt), EQMXVectorError);
  // Width 3 over 1..10 gives three bins {1,2,3} {4,5,6} {7,8,9}; 10 is a partial bin that
  // does not exist and counts as overflow. A width of 0 becomes 1.
  Set(v, {1, 3, 4, 9, 10, 12, 13});
  ASSERT_TRUE(v.Histogram(1, 7, 1, 10, 3, &h, under, over, maxCnt));
  EXPECT_EQ(Values(h), (I{2, 1, 1}));
  EXPECT_EQ((I{over, maxCnt}), (I{3, 2}));
  ASSERT_TRUE(v.Histogram(1, 7, 1, 3, 0, &h, under, over, maxCnt));
  EXPECT_EQ(Values(h), (I{1, 0, 1}));
  // Extreme bounds do not overflow.
  ASSERT_TRUE(v.Histogram(1, 7, kMax - 9, kMax, 5, &h, under, over, maxCnt));
  EXPECT_EQ(under, 7);
  // Counting into itself uses the values as they were.
  Set(v, {1, 2, 2, 3});
  ASSERT_TRUE(v.Histogram(1, 4, 1, 3, 1, &v, under, over, maxCnt));
  EXPECT_EQ(Values(v), (I{1, 2, 1}));
}
