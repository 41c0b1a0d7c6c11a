#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "qmx/math1.h"

using namespace qmx;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

TEST(MinMaxOfArray, FirstOccurrenceSubRangeAndNaN) {
  TDoubleArray d{3, 1, 1, 3};
  double mn, mx;
  int32_t imn, imx;
  EXPECT_EQ(MinMaxOfArray(d, 0, 3, mn, mx, imn, imx), 0);
  EXPECT_EQ(mn, 1.0);
  EXPECT_EQ(mx, 3.0);
  EXPECT_EQ(imn, 1);
  EXPECT_EQ(imx, 0);
  TDoubleArray e{9, kNaN, 4, 7, -5, 8};  // sub-range 1..3; NaN is skipped
  EXPECT_EQ(MinMaxOfArray(e, 1, 3, mn, mx, imn, imx), 0);
  EXPECT_EQ(mn, 4.0);
  EXPECT_EQ(imn, 2);
  EXPECT_EQ(mx, 7.0);
  EXPECT_EQ(imx, 3);
}

TEST(MinMaxOfArray, EmptyAndBadRangesKeepPresets) {
  TDoubleArray d{3, 1, 2};
  double mn = 0, mx = 0;
  int32_t imn = 5, imx = 5;
  EXPECT_EQ(MinMaxOfArray(d, 2, 1, mn, mx, imn, imx), 0);
  EXPECT_EQ(mn, uc_MaxDouble);
  EXPECT_EQ(mx, -uc_MaxDouble);
  EXPECT_EQ(imn, 0);
  EXPECT_EQ(imx, 0);
  for (auto [lo, hi] : {std::pair{-1, 2}, {0, 3}, {3, 3}, {0, -1}}) {
    mn = mx = 0;
    EXPECT_EQ(MinMaxOfArray(d, lo, hi, mn, mx, imn, imx), -1);
    EXPECT_EQ(mn, uc_MaxDouble);
    EXPECT_EQ(mx, -uc_MaxDouble);
  }
  TDoubleArray none;
  EXPECT_EQ(MinMaxOfArray(none, 0, 0, mn, mx, imn, imx), -1);
}

TEST(MinMaxOfArray, TwoDimensional) {
  TDouble2DArray d{{5, 6, 7}, {0, 9, 0}, {9, -3, 1}};
  double mn, mx;
  int32_t r1, c1, r2, c2;
  EXPECT_EQ(MinMaxOfArray(d, 0, 0, 2, 2, mn, mx, r1, c1, r2, c2), 0);
  EXPECT_EQ(mn, -3.0);
  EXPECT_EQ(r1, 2);
  EXPECT_EQ(c1, 1);
  EXPECT_EQ(mx, 9.0);  // first 9 in row-major order is (1, 1)
  EXPECT_EQ(r2, 1);
  EXPECT_EQ(c2, 1);
  // rows 1..2, column 0..0 only
  EXPECT_EQ(MinMaxOfArray(d, 1, 0, 2, 0, mn, mx, r1, c1, r2, c2), 0);
  EXPECT_EQ(mn, 0.0);
  EXPECT_EQ(mx, 9.0);
  EXPECT_EQ(r2, 2);
  EXPECT_EQ(c2, 0);
  EXPECT_EQ(MinMaxOfArray(d, 0, 0, 2, 3, mn, mx, r1, c1, r2, c2), -1);
  // a row shorter than row 0 must not be read past its end
  TDouble2DArray ragged{{1, 2, 3}, {4}};
  EXPECT_EQ(MinMaxOfArray(ragged, 0, 0, 1, 2, mn, mx, r1, c1, r2, c2), -1);
  EXPECT_EQ(mn, uc_MaxDouble);
  EXPECT_EQ(MinMaxOfArray(ragged, 0, 0, 1, 0, mn, mx, r1, c1, r2, c2), 0);
  EXPECT_EQ(mx, 4.0);
  EXPECT_EQ(MinMaxOfArray(TDouble2DArray{}, 0, 0, 0, 0, mn, mx, r1, c1, r2, c2), -1);
}

TEST(MeanVarOfArray, SampleVarianceAndSmallCounts) {
  TDoubleArray d{2, 4, 4, 4, 5, 5, 7, 9};
  double m, v;
  EXPECT_EQ(MeanVarOfArray(d, 0, 7, m, v), 0);
  EXPECT_DOUBLE_EQ(m, 5.0);
  EXPECT_DOUBLE_EQ(v, 32.0 / 7.0);
  EXPECT_EQ(MeanVarOfArray(d, 5, 7, m, v), 0);  // 5, 7, 9
  EXPECT_DOUBLE_EQ(m, 7.0);
  EXPECT_DOUBLE_EQ(v, 4.0);
  EXPECT_EQ(MeanVarOfArray(d, 6, 6, m, v), 0);
  EXPECT_EQ(m, 7.0);
  EXPECT_EQ(v, 1.0);
  EXPECT_EQ(MeanVarOfArray(d, 6, 7, m, v), 0);
  EXPECT_EQ(m, 8.0);
  EXPECT_EQ(v, 1.0);
  // equal values give exactly 0, also where plain sums of x and x*x round apart (0.7)
  TDoubleArray eq(5, 0.7);
  EXPECT_EQ(MeanVarOfArray(eq, 0, 4, m, v), 0);
  EXPECT_EQ(m, 0.7);
  EXPECT_EQ(v, 0.0);
  // far from zero the variance keeps its digits
  TDoubleArray far{1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4};
  EXPECT_EQ(MeanVarOfArray(far, 0, 3, m, v), 0);
  EXPECT_EQ(m, 1e9 + 2.5);
  EXPECT_DOUBLE_EQ(v, 5.0 / 3.0);
  TDoubleArray inf{std::numeric_limits<double>::infinity(), 1, 2};
  EXPECT_EQ(MeanVarOfArray(inf, 0, 2, m, v), 0);
  EXPECT_EQ(m, std::numeric_limits<double>::infinity());
}

TEST(MeanVarOfArray, SpreadBeyondTheDoubleRangeIsInfinite) {
  // Deviations of 2e308 from the first value: the variance (about 1.3e616) cannot be
  // represented, but the data are finite, so it is infinite rather than undefined.
  const double kInfinity = std::numeric_limits<double>::infinity();
  TDoubleArray d{1e308, -1e308, 3};
  double m = 0, v = 0;
  EXPECT_EQ(MeanVarOfArray(d, 0, 2, m, v), 0);
  EXPECT_DOUBLE_EQ(m, 1.0);
  EXPECT_EQ(v, kInfinity);
  TDouble2DArray d2{{1e308, 0}, {-1e308, 3}};
  EXPECT_EQ(MeanVarOfArray(d2, 0, 0, 1, 0, m, v), 0);  // column 0: 1e308, -1e308
  EXPECT_EQ(v, 1.0);                                   // two values: the fixed 1.0
  EXPECT_EQ(MeanVarOfArray(d2, 0, 0, 1, 1, m, v), 0);  // all four values
  EXPECT_DOUBLE_EQ(m, 0.75);
  EXPECT_EQ(v, kInfinity);
  TDoubleArray same{1e308, 1e308, 1e308};  // a plain sum would overflow
  EXPECT_EQ(MeanVarOfArray(same, 0, 2, m, v), 0);
  EXPECT_EQ(m, 1e308);
  EXPECT_EQ(v, 0.0);
  // An infinite element has no variance at all.
  TDoubleArray inf{1e308, -kInfinity, 3};
  EXPECT_EQ(MeanVarOfArray(inf, 0, 2, m, v), 0);
  EXPECT_TRUE(std::isnan(v));
}

TEST(MeanVarOfArray, EmptyBadAndNaN) {
  TDoubleArray d{1, 2, 3};
  double m = 7, v = 7;
  EXPECT_EQ(MeanVarOfArray(d, 2, 1, m, v), 0);
  EXPECT_EQ(m, 0.0);
  EXPECT_EQ(v, 0.0);
  m = v = 7;
  EXPECT_EQ(MeanVarOfArray(d, 0, 3, m, v), -1);
  EXPECT_EQ(m, 0.0);
  EXPECT_EQ(v, 0.0);
  TDoubleArray n{1, kNaN, 3};
  EXPECT_EQ(MeanVarOfArray(n, 0, 2, m, v), 0);
  EXPECT_TRUE(std::isnan(m));
  EXPECT_TRUE(std::isnan(v));
}

TEST(MeanVarOfArray, TwoDimensional) {
  TDouble2DArray d{{2, 4, 100}, {4, 4, 100}, {5, 5, 100}, {7, 9, 100}};
  double m, v;
  EXPECT_EQ(MeanVarOfArray(d, 0, 0, 3, 1, m, v), 0);
  EXPECT_DOUBLE_EQ(m, 5.0);
  EXPECT_DOUBLE_EQ(v, 32.0 / 7.0);
  // both ranges reversed: the extents' product is positive, but the range is empty
  m = v = 7;
  EXPECT_EQ(MeanVarOfArray(d, 2, 2, 1, 1, m, v), 0);
  EXPECT_EQ(m, 0.0);
  EXPECT_EQ(v, 0.0);
  TDouble2DArray ragged{{1, 2}, {3}};
  EXPECT_EQ(MeanVarOfArray(ragged, 0, 0, 1, 1, m, v), -1);
  EXPECT_EQ(MeanVarOfArray(ragged, 0, 0, 1, 0, m, v), 0);
  EXPECT_EQ(m, 2.0);
}

TEST(Scalars, MinMaxSignum) {
  EXPECT_EQ(Min(2, -3), -3.0);
  EXPECT_EQ(Max(2, -3), 2.0);
  EXPECT_TRUE(std::isnan(Min(kNaN, 1)));
  EXPECT_TRUE(std::isnan(Min(1, kNaN)));
  EXPECT_TRUE(std::isnan(Max(kNaN, 1)));
  EXPECT_TRUE(std::isnan(Max(1, kNaN)));
  EXPECT_TRUE(std::signbit(Min(-0.0, 0.0)));  // ties give the first argument
  EXPECT_FALSE(std::signbit(Max(0.0, -0.0)));
  EXPECT_EQ(Signum(0.0), 1);
  EXPECT_EQ(Signum(-0.0), 1);
  EXPECT_EQ(Signum(2.5), 1);
  EXPECT_EQ(Signum(-1e-300), -1);
  EXPECT_EQ(Signum(kNaN), -1);
}

TEST(Scalars, BoundsAndClamping) {
  EXPECT_TRUE(WithinBounds(10, 10, 0));
  EXPECT_TRUE(WithinBounds(0, 10, 0));
  EXPECT_FALSE(WithinBounds(10.5, 0, 10));
  EXPECT_FALSE(WithinBounds(kNaN, 0, 10));
  EXPECT_EQ(ConfineValue(5.0, 10.0, 0.0), 5.0);
  EXPECT_EQ(ConfineValue(11.0, 10.0, 0.0), 10.0);
  EXPECT_EQ(ConfineValue(-1.0, 10.0, 0.0), 0.0);
  EXPECT_EQ(ConfineValue(11.0f, 10.0f, 0.0f), 10.0f);
  EXPECT_EQ(ConfineValue(-7, 3, -2), -2);
  EXPECT_EQ(ConfineValue(2, 3, -2), 2);
  TRectDouble r{4, 1, -2, 3};  // corners in any order
  EXPECT_TRUE(WithinRect({0, 2}, r));
  EXPECT_TRUE(WithinRect({4, 3}, r));
  EXPECT_FALSE(WithinRect({5, 2}, r));
  EXPECT_FALSE(WithinRect({0, 0.5}, r));
  TPointDouble p{0, 2};
  EXPECT_FALSE(ConfinePointToRect(p, r));
  p = {9, 0};
  EXPECT_TRUE(ConfinePointToRect(p, r));
  EXPECT_EQ(p.x, 4.0);
  EXPECT_EQ(p.y, 1.0);
  p = {-2, 3};  // on the border: not moved
  EXPECT_FALSE(ConfinePointToRect(p, r));
}

TEST(Scalars, ExChange) {
  unsigned char a[4] = {1, 2, 3, 4}, b[4] = {9, 8, 7, 6};
  ExChange(a, b, 3);  // three bytes only
  EXPECT_EQ(a[2], 7);
  EXPECT_EQ(a[3], 4);
  EXPECT_EQ(b[0], 1);
  long double x = 1.5L, y = -2.25L;
  ExChange(x, y);
  EXPECT_EQ(x, -2.25L);
}

TEST(KahanSum, CompensatesWherePlainSummationStalls) {
  TComponent owner;
  auto* k = new TKahanSum(&owner);  // owned: deleted with owner
  EXPECT_EQ(k->ClassName(), "TKahanSum");
  EXPECT_EQ(k->Sum, 0.0);
  EXPECT_EQ(k->cps, 0.0);
  double plain = 1.0;
  k->Add(1.0);
  for (int i = 0; i < 10000000; ++i) {
    k->Add(1e-16);
    plain += 1e-16;
  }
  EXPECT_EQ(plain, 1.0);
  EXPECT_NEAR(k->Sum, 1.000000001, 1e-15);
  k->Reset();
  EXPECT_EQ(k->Sum, 0.0);
  EXPECT_EQ(k->cps, 0.0);
  // 0.1 ten times: the compensated total is the double nearest to 1
  for (int i = 0; i < 10; ++i) k->Add(0.1);
  EXPECT_EQ(k->Sum, 1.0);
}
