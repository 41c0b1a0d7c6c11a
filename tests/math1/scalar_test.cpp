#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "math1/message_util.h"
#include "qmx/math1.h"

using namespace qmx;

namespace {
constexpr double kPi = std::numbers::pi;
}

TEST(Polynomial, SumsFromConstantTermAndChecksOrder) {
  const std::vector<double> c{1.0, -3.0, 2.0};  // 2x^2 - 3x + 1 = (2x - 1)(x - 1)
  EXPECT_DOUBLE_EQ(Polynomial(c, 2, 0.5), 0.0);
  EXPECT_DOUBLE_EQ(Polynomial(c, 2, 3.0), 10.0);
  EXPECT_DOUBLE_EQ(Polynomial(c, 1, 3.0), -8.0);  // lower order ignores c[2]
  EXPECT_DOUBLE_EQ(Polynomial(c, 0, 1e300), 1.0);
  EXPECT_DOUBLE_EQ(CenteredPolynomial(c, 2, 4.0, 1.0), 10.0);
  for (int order : {-1, 3}) {
    EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { Polynomial(c, order, 1.0); }),
              "Polynomial: invalid order of polynomial");
    EXPECT_THROW(CenteredPolynomial(c, order, 1.0, 0.0), EQMXMath1Error);
  }
  EXPECT_THROW(Polynomial(std::span<const double>(), 0, 1.0), EQMXMath1Error);
}

TEST(InterpolTable, InsideOutsideAndReversedRange) {
  const TDoubleArray v{0.0, 10.0, 20.0};
  EXPECT_DOUBLE_EQ(InterpolTable(1.5, 0.0, 2.0, v), 15.0);
  EXPECT_DOUBLE_EQ(InterpolTable(3.0, 0.0, 2.0, v), 30.0);
  EXPECT_DOUBLE_EQ(InterpolTable(-1.0, 0.0, 2.0, v), -10.0);
  EXPECT_DOUBLE_EQ(InterpolTable(2.0, 0.0, 2.0, v), 20.0);
  EXPECT_DOUBLE_EQ(InterpolTable(1.5, 2.0, 0.0, v), 5.0);
  const TIntArray iv{0, 10, 20};
  EXPECT_DOUBLE_EQ(InterpolTable(0.25, 0.0, 2.0, iv), 2.5);
  // Two values: both ends extend the only interval without reading a third value.
  EXPECT_DOUBLE_EQ(InterpolTable(5.0, 0.0, 1.0, TDoubleArray{1.0, 3.0}), 11.0);
  EXPECT_TRUE(std::isnan(InterpolTable(std::nan(""), 0.0, 2.0, v)));
  EXPECT_THROW(InterpolTable(1.0, 0.0, 2.0, TDoubleArray{1.0}), EQMXMath1Error);
  EXPECT_THROW(InterpolTable(1.0, 1.0, 1.0, v), EQMXMath1Error);
}

TEST(InterpolXYTable, PivotsExtrapolationAndRaggedTables) {
  const TDouble2DArray t{{0.0, 1.0, 3.0}, {0.0, 2.0, 0.0}};
  EXPECT_DOUBLE_EQ(InterpolXYTable(0.5, t), 1.0);
  EXPECT_DOUBLE_EQ(InterpolXYTable(2.0, t), 1.0);
  EXPECT_DOUBLE_EQ(InterpolXYTable(0.0, t), 0.0);
  EXPECT_DOUBLE_EQ(InterpolXYTable(-1.0, t), -2.0);
  EXPECT_DOUBLE_EQ(InterpolXYTable(5.0, t), -2.0);
  // y shorter than x: only complete rows are used.
  const TDouble2DArray ragged{{0.0, 1.0, 2.0, 3.0}, {0.0, 1.0}};
  EXPECT_DOUBLE_EQ(InterpolXYTable(3.0, ragged), 3.0);
  EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { InterpolXYTable(1.0, TDouble2DArray{{0.0, 1.0}}); }),
            "InterpolXYTable: pivot array must contain 2 columns");
  EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { InterpolXYTable(1.0, TDouble2DArray{{0.0, 1.0}, {1.0}}); }),
            "InterpolXYTable: pivot array must contain at least 2 rows");
  EXPECT_THROW(InterpolXYTable(1.0, TDouble2DArray{}), EQMXMath1Error);
  EXPECT_DOUBLE_EQ(InterpolZofXYRect(0.0, 1.0, 2.0, 3.0, 0.5, 0.5), 1.5);
}

TEST(Round125, NearestUpAndDownIncludingDecadeBoundaries) {
  struct Case {
    double x, nearest;
  } cases[] = {{0.0123, 0.01}, {0.017, 0.02}, {2.9, 2}, {3.1, 5}, {7.9, 5}, {8.0, 10},
               {-3.1, -5},     {15.0, 20},    {30.0, 50}, {1000.0, 1000}, {1e-3, 1e-3},
               {0.0, 0.0},     {1.4999, 1},   {8e-7, 1e-6}, {2e300, 2e300}, {-7e-310, -5e-310}};
  for (const auto& c : cases) EXPECT_EQ(Round125(c.x), c.nearest) << c.x;
  EXPECT_EQ(RoundPos125(1.01), 2.0);
  EXPECT_EQ(RoundPos125(-1.9), -1.0);
  EXPECT_EQ(RoundNeg125(1.9), 1.0);
  EXPECT_EQ(RoundNeg125(-1.01), -2.0);
  EXPECT_EQ(RoundNeg125(5.0), 5.0);
  EXPECT_EQ(RoundPos125(5.0), 5.0);
  EXPECT_EQ(RoundPos125(20.0), 20.0);
  EXPECT_EQ(RoundNeg125(0.05), 0.05);
  for (double p : {1e-5, 0.01, 0.1, 1.0, 10.0, 1000.0, 1e15, 1e22, 1e200}) {
    EXPECT_EQ(Round125(p), p);
    EXPECT_EQ(RoundPos125(p), p);
    EXPECT_EQ(RoundNeg125(p), p);
    EXPECT_EQ(RoundNeg125(-p), -p);
  }
  EXPECT_EQ(RoundPos125(1000.0000001), 2000.0);
  EXPECT_EQ(RoundNeg125(999.9999), 500.0);
  EXPECT_TRUE(std::isnan(Round125(std::nan(""))));
  EXPECT_EQ(Round125(std::numeric_limits<double>::denorm_min()), 5e-324);
}

TEST(CalcScalePars, WorkedAxes) {
  long double first, dist;
  uint16_t sub;
  CalcScalePars(4, 0, 100, first, dist, sub);
  EXPECT_EQ(dist, 20.0L);
  EXPECT_EQ(first, 0.0L);
  EXPECT_EQ(sub, 4);
  CalcScalePars(5, 0, 100, first, dist, sub);
  EXPECT_EQ(dist, 10.0L);
  EXPECT_EQ(sub, 5);
  CalcScalePars(0, 0.5L, 5, first, dist, sub);
  EXPECT_EQ(dist, 1.0L);
  EXPECT_EQ(first, 1.0L);
  EXPECT_EQ(sub, 5);
  CalcScalePars(0, 0.5L, 50, first, dist, sub);
  EXPECT_EQ(sub, 1);
  // 3 ticks over 13..-47 (range 60, 20 per tick): falling axis, first tick at or below 13.
  CalcScalePars(3, 13, -47, first, dist, sub);
  EXPECT_EQ(dist, -10.0L);  // 20 sits on the 1/2 boundary; the tolerance picks 1
  EXPECT_EQ(first, 10.0L);
  CalcScalePars(2, 0.013L, 0.1L, first, dist, sub);  // 0.0435 per tick -> 0.02
  EXPECT_NEAR(static_cast<double>(dist), 0.02, 1e-17);
  EXPECT_NEAR(static_cast<double>(first), 0.02, 1e-17);
  EXPECT_EQ(sub, 4);
  CalcScalePars(1, 7, 7, first, dist, sub);
  EXPECT_EQ(first, 7.0L);
  EXPECT_EQ(dist, 0.0L);
  EXPECT_EQ(sub, 1);
  // Far from zero: ticks every 2 on an axis whose ends are 2048 apart near 1e22.
  CalcScalePars(1000, 1e22L, 1e22L + 2048.0L, first, dist, sub);
  EXPECT_EQ(dist, 2.0L);
  EXPECT_EQ(first, 1e22L);
  // Extended arguments beyond the double range: 1e3000 over 4 ticks gives 2e2999.
  CalcScalePars(4, 0, 1e3000L, first, dist, sub);
  EXPECT_NEAR(static_cast<double>(dist / 1e2999L), 2.0, 1e-15);
  EXPECT_EQ(sub, 4);
  // Negative counts take unit ticks instead of the logarithm of a negative number.
  CalcScalePars(-3, 0.5L, 5, first, dist, sub);
  EXPECT_EQ(dist, 1.0L);
  EXPECT_EQ(first, 1.0L);
}

TEST(IntPosNeg, CeilingFloorAndSaturation) {
  EXPECT_EQ(IntPos(2.1), 3);
  EXPECT_EQ(IntPos(-2.1), -2);
  EXPECT_EQ(IntPos(2.0), 2);
  EXPECT_EQ(IntNeg(2.9), 2);
  EXPECT_EQ(IntNeg(-2.1), -3);
  EXPECT_EQ(IntNeg(-2.0), -2);
  EXPECT_EQ(IntNeg(2.5), 2);
  EXPECT_EQ(IntPos(2.5), 3);
  EXPECT_EQ(IntPos(1e300), 2147483647);
  EXPECT_EQ(IntNeg(-1e300), -2147483647 - 1);
  EXPECT_EQ(IntNeg(std::nan("")), 0);
}

TEST(Angles, CanonicalFormsAndDirections) {
  EXPECT_NEAR(CanonicalAngleDegrees(370.0), 10.0, 1e-12);
  EXPECT_NEAR(CanonicalAngleDegrees(-370.0), -10.0, 1e-12);
  EXPECT_NEAR(CanonicalAngleDegrees(270.0), -90.0, 1e-12);
  EXPECT_NEAR(CanonicalAngleDegrees(-190.0), 170.0, 1e-12);
  EXPECT_NEAR(CanonicalAngleRadians(3 * kPi), kPi, 1e-12);
  EXPECT_NEAR(CanonicalAngleRadians(7.5 * kPi), -0.5 * kPi, 1e-12);
  EXPECT_DOUBLE_EQ(AngleToXAxis(0, 0), 1.5 * kPi);
  EXPECT_DOUBLE_EQ(AngleToXAxis(-1, 0), kPi);
  EXPECT_DOUBLE_EQ(AngleToXAxis(0, 2), 0.5 * kPi);
  EXPECT_DOUBLE_EQ(AngleToXAxis(1, -1), 1.75 * kPi);
  EXPECT_DOUBLE_EQ(AngleToXAxis(-1, -1), 1.25 * kPi);
  EXPECT_DOUBLE_EQ(AngleToXAxis(1, 1), 0.25 * kPi);
}

TEST(RoundDegrees, StepsInDegreesMinutesAndSeconds) {
  struct Case {
    int d, m, s;
    bool up;
    int rd, rm, rs;
  } cases[] = {
      {0, 50, 0, true, 1, 0, 0},    {7, 30, 0, false, 5, 0, 0},   {7, 30, 0, true, 10, 0, 0},
      {400, 0, 0, true, 360, 0, 0}, {0, 7, 30, true, 0, 10, 0},   {0, 7, 30, false, 0, 5, 0},
      {0, 0, 40, true, 0, 1, 0},    {0, 0, 25, false, 0, 0, 20},  {0, 0, 0, true, 0, 0, 0},
      {-1, 5, 5, true, 0, 0, 0},    {1, 99, 0, true, 2, 0, 0},   {0, 0, 99, true, 0, 1, 0},
  };
  for (const auto& c : cases) {
    int32_t d = c.d, m = c.m, s = c.s;
    RoundDegrees(d, m, s, c.up);
    EXPECT_EQ(d, c.rd) << c.d << " " << c.m << " " << c.s;
    EXPECT_EQ(m, c.rm) << c.d << " " << c.m << " " << c.s;
    EXPECT_EQ(s, c.rs) << c.d << " " << c.m << " " << c.s;
  }
}

TEST(ConvertDegrees, AllDirectionsAndRanges) {
  double d = 10.5, m = 0, s = 0;
  ConvertDegrees(d, m, s, dfDegMinSec, dfDecDeg);
  EXPECT_DOUBLE_EQ(d, 10);
  EXPECT_DOUBLE_EQ(m, 30);
  EXPECT_DOUBLE_EQ(s, 0);
  d = 10.75, m = 0, s = 0;
  ConvertDegrees(d, m, s, dfDegMin, dfDecDeg);
  EXPECT_DOUBLE_EQ(d, 10);
  EXPECT_DOUBLE_EQ(m, 45);
  d = 3, m = 20, s = 24;
  ConvertDegrees(d, m, s, dfDecDeg, dfDegMinSec);
  EXPECT_DOUBLE_EQ(d, 3 + 20 / 60.0 + 24 / 3600.0);
  EXPECT_EQ(m, 0);
  d = 3, m = 20, s = 30;
  ConvertDegrees(d, m, s, dfDegMin, dfDegMinSec);
  EXPECT_DOUBLE_EQ(m, 20.5);
  EXPECT_EQ(s, 0);
  d = 3, m = 20.25, s = 0;
  ConvertDegrees(d, m, s, dfDegMinSec, dfDegMin);
  EXPECT_DOUBLE_EQ(m, 20);
  EXPECT_DOUBLE_EQ(s, 15);
  d = 3, m = 61, s = 0;
  EXPECT_EQ(MessageOf<EQMXMath1Error>([&] { ConvertDegrees(d, m, s, dfDecDeg, dfDegMin); }),
            "ConvertDegrees: invalid range of minutes");
  m = 1, s = -1;
  EXPECT_THROW(ConvertDegrees(d, m, s, dfDecDeg, dfDegMin), EQMXMath1Error);
  m = 1, s = 1;
  ConvertDegrees(d, m, s, dfPlain, dfDegMin);
  EXPECT_EQ(d, 3);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(s, 1);
}

TEST(RadixText, DigitsLimitsAndPatterns) {
  EXPECT_EQ(Hex(255, 4), "00FF");
  EXPECT_EQ(Hex(-1, 0), "F");
  EXPECT_EQ(Hex(-1, 200), "FFFFFFFF");
  EXPECT_EQ(Hex(0x12AB34CD, 6), "AB34CD");
  EXPECT_EQ(Octal(8, 3), "010");
  EXPECT_EQ(Octal(-1, 11), "37777777777");
  EXPECT_EQ(Bin(5, 0), "1");
  EXPECT_EQ(Bin(5, 40), std::string(29, '0') + "101");
  EXPECT_EQ(Bin(-2147483647 - 1, 32), "1" + std::string(31, '0'));
  EXPECT_EQ(Decimal(0, 0), "0");
  EXPECT_EQ(Decimal(-7, 1), "-7");
  EXPECT_EQ(Decimal(-42, 5), "-00042");
  EXPECT_EQ(Decimal(123456, 3), "456");
  EXPECT_EQ(Decimal(-2147483647 - 1, 10), "-2147483648");
  EXPECT_EQ(Decimal(7, 12), "000000000007");
  EXPECT_EQ(Roman(1994), "MCMXCIV");
  EXPECT_EQ(Roman(4000), "MMMM");
  EXPECT_EQ(Roman(0), "");
  EXPECT_EQ(Roman(30000), "");
  EXPECT_EQ(Roman(29999), std::string(29, 'M') + "CMXCIX");
}
