#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "math1/message_util.h"
#include "qmx/complex.h"
#include "qmx/sline.h"

using namespace qmx;

namespace {
constexpr double kPi = std::numbers::pi;
}  // namespace

TEST(Complex, ArithmeticInExtendedPrecision) {
  const TComplex q = CpxDiv(Cpx(1, 2), Cpx(3, 4));
  EXPECT_NEAR(static_cast<double>(q.re), 0.44, 1e-18);
  EXPECT_NEAR(static_cast<double>(q.im), 0.08, 1e-18);
  const TComplex p = CpxMult(Cpx(1, 2), Cpx(3, 4));  // (3 - 8, 4 + 6)
  EXPECT_TRUE(CpxIsEqual(p, Cpx(-5, 10)));
  EXPECT_TRUE(CpxIsEqual(CpxAdd(Cpx(1, 2), Cpx(3, 4)), Cpx(4, 6)));
  EXPECT_TRUE(CpxIsEqual(CpxSub(Cpx(1, 2), Cpx(3, 4)), Cpx(-2, -2)));
  EXPECT_TRUE(CpxIsEqual(CpxConj(Cpx(1, 2)), Cpx(1, -2)));
  EXPECT_TRUE(CpxIsEqual(CpxNeg(Cpx(1, 2)), Cpx(-1, -2)));
  EXPECT_EQ(CpxAbs(Cpx(3, 4)), 5.0L);
  EXPECT_EQ(CpxAbsSqr(Cpx(3, 4)), 25.0L);
  EXPECT_EQ(CpxAbs(Cpx(3e3000L, 4e3000L)), 5e3000L);  // no overflow of the squares
  // 1/3 kept to 64 bits: (1/3) * 3 is 1 in extended precision.
  EXPECT_EQ(CpxMult(CpxDiv(COMPLEX_1, Cpx(3, 0)), Cpx(3, 0)).re, 1.0L);
  EXPECT_EQ(MessageOf<EMathError>([&] { CpxDiv(COMPLEX_1, COMPLEX_0); }), "CpxDiv: division by zero");
}

TEST(Complex, ToleranceComparisonsFollowCpxNearZero) {
  EXPECT_EQ(CpxNearZero, 1e-15L);
  EXPECT_TRUE(CpxIsNearEqual(Cpx(1, 0), Cpx(1 + 5e-16L, 0)));
  EXPECT_FALSE(CpxIsNearEqual(Cpx(1, 0), Cpx(1 + 2e-15L, 0)));
  EXPECT_FALSE(CpxIsNearEqual(Cpx(1, 0), Cpx(1, 2e-15L)));
  EXPECT_FALSE(CpxIsNearEqual(Cpx(0, 0), Cpx(1e-15L, 0)));  // strict
  EXPECT_TRUE(CpxIsZero(Cpx(1e-16L, -1e-16L)));
  EXPECT_FALSE(CpxIsZero(Cpx(0, 2e-15L)));
  const TComplex z = Cpx(1e-16L, 0);
  CpxIsZero(z);
  EXPECT_EQ(z.re, 1e-16L);
  CpxNearZero = 1e-3L;
  EXPECT_TRUE(CpxIsZero(Cpx(5e-4L, 0)));
  EXPECT_TRUE(CpxIsNearEqual(Cpx(1, 1), Cpx(1.0005L, 1)));
  CpxNearZero = 1e-15L;
  EXPECT_FALSE(CpxIsZero(Cpx(5e-4L, 0)));
}

TEST(Complex, PolarForms) {
  TComplexPolar p = ConvertRectToPolar(Cpx(-1, 0));
  EXPECT_EQ(p.r, 1.0L);
  EXPECT_NEAR(static_cast<double>(p.phi), kPi, 1e-18);
  p = ConvertRectToPolar(COMPLEX_0);
  EXPECT_EQ(p.r, 0.0L);
  EXPECT_EQ(p.phi, 0.0L);
  const TComplex z = ConvertPolarToRect(TComplexPolar{2.0L, std::numbers::pi_v<long double> / 6});
  EXPECT_NEAR(static_cast<double>(z.re), std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(static_cast<double>(z.im), 1.0, 1e-15);
}

TEST(SLine, ConstructionAndProperties) {
  TSLine l;
  EXPECT_EQ(l.ParA(), 0.0);
  EXPECT_EQ(l.ParB(), 1.0);
  EXPECT_EQ(l.ParC(), 0.0);
  ASSERT_TRUE(l.LineFrom2Points(0, 0, 1, 1));
  EXPECT_EQ(l.ParA(), -1.0);
  EXPECT_EQ(l.ParB(), 1.0);
  EXPECT_EQ(l.ParC(), 0.0);
  EXPECT_EQ(l.Slope(), 1.0);
  EXPECT_EQ(l.Intercept(), 0.0);
  EXPECT_DOUBLE_EQ(l.Direction(), kPi / 4);
  EXPECT_FALSE(l.LineFrom2Points(2, 3, 2, 3));
  EXPECT_EQ(l.ParA(), -1.0);
  l.LineFromSlopeIcpt(2, 3);  // y = 2x + 3
  EXPECT_EQ(l.CalcY(1), 5.0);
  EXPECT_EQ(l.CalcX(5), 1.0);
  double k, d;
  l.CalcKDForm(k, d);
  EXPECT_EQ(k, 2.0);
  EXPECT_EQ(d, 3.0);
  l.LineThroughPoint(1, 1, kPi / 2);  // the vertical x = 1
  EXPECT_NEAR(l.CalcX(7), 1.0, 1e-15);
  EXPECT_NEAR(l.Distance(4, 0), 3.0, 1e-15);
  EXPECT_DOUBLE_EQ(l.Direction(), kPi / 2);
  // Directions of all four quadrants: the direction vector is (B, -A).
  l.LineFrom2Points(0, 0, -1, 1);
  EXPECT_DOUBLE_EQ(l.Direction(), 0.75 * kPi);
  l.LineFrom2Points(0, 0, 1, -1);
  EXPECT_DOUBLE_EQ(l.Direction(), 1.75 * kPi);
}

TEST(SLine, VerticalLinesAndSetterGuard) {
  TSLine l;
  l.SetName("axis");
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { l.SetParB(0); }),
            "Component \"axis\": parameter A and B must not both be zero");
  EXPECT_EQ(l.ParB(), 1.0);
  l.SetParA(1);
  l.SetParB(0);
  l.SetParC(-2);  // x = 2
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { l.SetParA(0); }),
            "Component \"axis\": parameter A and B must not both be zero");
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { (void)l.Slope(); }), "Component \"axis\": slope is infinite");
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { (void)l.Intercept(); }),
            "Component \"axis\": cannot calculate intercept (line is parallel to y axis)");
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { (void)l.CalcY(1); }), "Component \"axis\": cannot calculate y");
  double k = 0, d = 0;
  EXPECT_EQ(MessageOf<EQMXSLineError>([&] { l.CalcKDForm(k, d); }),
            "Component \"axis\": cannot convert to k-d-form if ParB is zero");
  l.SetSubstituteInf(true);
  EXPECT_NEAR(l.CalcY(1), 1e100, 1e85);  // (-1 + 2) / 1e-100
  TSLine h;  // y = 0: CalcX has no answer
  EXPECT_THROW(h.CalcX(1), EQMXSLineError);
}

TEST(SLine, IntersectionsAnglesAndNormals) {
  TSLine a, b;
  a.LineFromSlopeIcpt(1, 0);
  b.LineFromSlopeIcpt(-1, 2);
  double x = 9, y = 9;
  ASSERT_TRUE(a.InterSection(&b, x, y));
  EXPECT_DOUBLE_EQ(x, 1.0);
  EXPECT_DOUBLE_EQ(y, 1.0);
  EXPECT_DOUBLE_EQ(a.AngleBetweenLines(&b), kPi / 2);
  b.LineFromSlopeIcpt(1, 5);
  x = y = 9;
  EXPECT_FALSE(a.InterSection(&b, x, y));
  EXPECT_EQ(x, 9.0);
  EXPECT_EQ(a.AngleBetweenLines(&b), 0.0);
  TSLine n;
  n.NormalLine(2, 0, &a);  // through (2, 0) perpendicular to y = x: y = 2 - x
  EXPECT_DOUBLE_EQ(n.CalcY(0), 2.0);
  n.ParallelLine(0, 3, &a);
  EXPECT_DOUBLE_EQ(n.CalcY(1), 4.0);
  b.LineFromSlopeIcpt(std::sqrt(3.0), 0);  // 60 degrees against 45
  EXPECT_NEAR(a.AngleBetweenLines(&b), kPi / 12, 1e-15);
}

TEST(SLine, ClipBox) {
  TSLine l;
  l.LineFromSlopeIcpt(1, 0);
  double x1, y1, x2, y2;
  ASSERT_TRUE(l.ClipBox(0, 0, 1, 1, x1, y1, x2, y2));
  EXPECT_EQ(x1, 0.0);
  EXPECT_EQ(y1, 0.0);
  EXPECT_EQ(x2, 1.0);
  EXPECT_EQ(y2, 1.0);
  EXPECT_FALSE(l.SubstituteInf());  // restored
  l.LineFromSlopeIcpt(0, 5);
  EXPECT_FALSE(l.ClipBox(0, 0, 1, 1, x1, y1, x2, y2));
  EXPECT_TRUE(std::isnan(x1) && std::isnan(y2));
  l.LineFromSlopeIcpt(0, 0.5);  // horizontal: both side edges, no huge values accepted
  ASSERT_TRUE(l.ClipBox(0, 0, 1, 1, x1, y1, x2, y2));
  EXPECT_EQ(x1, 0.0);
  EXPECT_EQ(y1, 0.5);
  EXPECT_EQ(x2, 1.0);
  l.LineFromSlopeIcpt(-1, 1);  // touches the box at two corners found twice
  ASSERT_TRUE(l.ClipBox(0, 0, 1, 1, x1, y1, x2, y2));
  EXPECT_EQ(x1, 0.0);
  EXPECT_EQ(y1, 1.0);
  EXPECT_EQ(x2, 1.0);
  EXPECT_EQ(y2, 0.0);
  l.LineFromSlopeIcpt(1, 1);  // through the top-left corner only
  ASSERT_TRUE(l.ClipBox(0, 0, 1, 1, x1, y1, x2, y2));
  EXPECT_EQ(x1, 0.0);
  EXPECT_EQ(y1, 1.0);
  EXPECT_EQ(x2, 0.0);  // found again on the top edge
  EXPECT_EQ(y2, 1.0);
}
