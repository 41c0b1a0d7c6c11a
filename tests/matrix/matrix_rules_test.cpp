// Rules every matrix container shares: extremes beyond the start values, and sampled
// percentiles that leave the process-wide generator alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "qmx/matrix.h"

using namespace qmx;

namespace {
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(MatrixRules, ExtremesBeyondTheStartValuesAreReported) {
  TMatrix m;
  m.Resize(2, 2);
  m.Fill(kInf);
  m.SetVal(1, 2, kNaN);
  double mn, mx;
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, kInf);
  EXPECT_EQ(mx, kInf);
  m.Fill(-kInf);
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mx, -kInf);
  m.Fill(kNaN);
  m.MinMax(0, 0, 0, 0, mn, mx);  // nothing comparable: the start values
  EXPECT_EQ(mn, uc_MaxReal);
  EXPECT_EQ(mx, -uc_MaxReal);

  // Edge vectors in both orientations: a line of infinities keeps them, a NaN is passed over.
  m.Resize(3, 2);
  m.Fill(kInf);
  m.SetVal(1, 1, kNaN);
  m.SetVal(3, 2, 5.0);
  TVector v;
  m.EdgeVector(static_cast<TOrientation>(0), eopMin, &v);  // per row
  ASSERT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.GetVal(1), kInf);
  EXPECT_EQ(v.GetVal(2), 5.0);
  m.EdgeVector(static_cast<TOrientation>(1), eopMax, &v);  // per column
  ASSERT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.GetVal(1), kInf);
  EXPECT_EQ(v.GetVal(3), kInf);
  m.SetVal(1, 2, kNaN);
  m.EdgeVector(static_cast<TOrientation>(1), eopMin, &v);
  EXPECT_EQ(v.GetVal(1), uc_MaxDouble);  // a column of NaNs: the start value

  TIntMatrix im;
  im.Resize(2, 1);
  im.SetVal(1, 1, -2147483647 - 1);
  im.SetVal(2, 1, -2147483647 - 1);
  int32_t imn, imx;
  im.MinMax(0, 0, 0, 0, imn, imx);
  EXPECT_EQ(imx, -2147483647 - 1);
  im.EdgeVector(static_cast<TOrientation>(0), eopMax, &v);
  EXPECT_EQ(v.GetVal(1), -2147483648.0);

  TMat4D m4;
  m4.Resize(1, 2, 1, 1);
  m4.Fill(kInf);
  m4.MinMax(0, 0, 0, 0, 0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, kInf);
}

TEST(MatrixRules, SampledPercentilesLeaveTheProcessGeneratorAlone) {
  TMatrix m;
  m.Resize(30, 30);
  TIntMatrix im;
  im.Resize(30, 30);
  for (int32_t c = 1; c <= 30; ++c)
    for (int32_t r = 1; r <= 30; ++r) {
      m.SetVal(c, r, c);
      im.SetVal(c, r, c);
    }
  RandSeed(1234);
  const double a = RandomUniform(), b = RandomUniform();
  RandSeed(1234);
  const double pm = m.Percentile(50, 0, 0, 0, 0, 100);
  EXPECT_EQ(RandomUniform(), a);
  const double pi = im.Percentile(50, 0, 0, 0, 0, 100);
  EXPECT_EQ(RandomUniform(), b);  // no reseed from the clock either
  for (double p : {pm, pi}) {
    EXPECT_GE(p, 5.0);
    EXPECT_LE(p, 26.0);
  }
}
