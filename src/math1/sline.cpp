// Straight lines in general form.
#include "qmx/sline.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace qmx {

namespace {
constexpr double kTiny = 1e-100;
}

void TSLine::Fail(const char* Tail) const {
  RaiseComponentError<EQMXSLineError>(this, std::string(": ") + Tail);
}

void TSLine::SetParA(double v) {
  if (v == 0.0 && FParB == 0.0) Fail("parameter A and B must not both be zero");
  FParA = v;
}

void TSLine::SetParB(double v) {
  if (v == 0.0 && FParA == 0.0) Fail("parameter A and B must not both be zero");
  FParB = v;
}

bool TSLine::LineFrom2Points(double P1X, double P1Y, double P2X, double P2Y) {
  if (P1X == P2X && P1Y == P2Y) return false;
  FParA = P1Y - P2Y;
  FParB = P2X - P1X;
  FParC = P1X * P2Y - P2X * P1Y;
  return true;
}

void TSLine::LineFromSlopeIcpt(double k, double d) {
  FParA = k;
  FParB = -1.0;
  FParC = d;
}

void TSLine::LineThroughPoint(double px, double py, double angle) {
  FParA = -std::sin(angle);
  FParB = std::cos(angle);
  FParC = -FParA * px - FParB * py;
}

void TSLine::NormalLine(double px, double py, const TSLine* OtherLine) {
  if (!OtherLine) return;
  const double a = -OtherLine->FParB, b = OtherLine->FParA;
  FParA = a;
  FParB = b;
  FParC = -a * px - b * py;
}

void TSLine::ParallelLine(double px, double py, const TSLine* OtherLine) {
  if (!OtherLine) return;
  const double a = OtherLine->FParA, b = OtherLine->FParB;
  FParA = a;
  FParB = b;
  FParC = -a * px - b * py;
}

void TSLine::CalcKDForm(double& k, double& d) const {
  if (FParB == 0.0) Fail("cannot convert to k-d-form if ParB is zero");
  k = -FParA / FParB;
  d = -FParC / FParB;
}

double TSLine::CalcX(double y) const {
  double a = FParA;
  if (a == 0.0) {
    if (!FSubstInf) Fail("cannot calculate x");
    a = kTiny;
  }
  return (-y * FParB - FParC) / a;
}

double TSLine::CalcY(double x) const {
  double b = FParB;
  if (b == 0.0) {
    if (!FSubstInf) Fail("cannot calculate y");
    b = kTiny;
  }
  return (-x * FParA - FParC) / b;
}

double TSLine::Distance(double px, double py) const {
  return std::fabs(FParA * px + FParB * py + FParC) / std::sqrt(FParA * FParA + FParB * FParB);
}

bool TSLine::InterSection(const TSLine* OtherLine, double& x, double& y) const {
  if (!OtherLine) return false;
  const double det = FParA * OtherLine->FParB - OtherLine->FParA * FParB;
  if (det == 0.0) return false;
  x = (FParB * OtherLine->FParC - OtherLine->FParB * FParC) / det;
  y = (FParC * OtherLine->FParA - OtherLine->FParC * FParA) / det;
  return true;
}

double TSLine::AngleBetweenLines(const TSLine* OtherLine) const {
  if (!OtherLine) return std::numeric_limits<double>::quiet_NaN();
  const double s = FParA * OtherLine->FParA + FParB * OtherLine->FParB;
  if (s == 0.0) return std::numbers::pi / 2;
  return std::fabs(std::atan((FParA * OtherLine->FParB - OtherLine->FParA * FParB) / s));
}

double TSLine::GetDirect() const {
  constexpr double pi = std::numbers::pi;
  double a;
  if (FParB != 0.0) a = std::atan(-FParA / FParB);
  else a = FParA > 0.0 ? pi / 2 : -pi / 2;
  if (FParB <= 0.0) return a + pi;
  if (FParA > 0.0) return a + 2 * pi;
  return a;
}

double TSLine::GetSlope() const {
  if (FParB == 0.0) Fail("slope is infinite");
  return -FParA / FParB;
}

double TSLine::GetIntercept() const {
  if (FParB == 0.0) Fail("cannot calculate intercept (line is parallel to y axis)");
  return -FParC / FParB;
}

bool TSLine::ClipBox(double bllx, double blly, double burx, double bury, double& x1, double& y1,
                     double& x2, double& y2) {
  const bool saved = FSubstInf;
  FSubstInf = true;
  const double cand[4][2] = {{bllx, CalcY(bllx)}, {burx, CalcY(burx)}, {CalcX(blly), blly}, {CalcX(bury), bury}};
  FSubstInf = saved;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  x1 = y1 = x2 = y2 = nan;
  int found = 0;
  for (int k = 0; k < 4 && found < 2; ++k) {
    const double x = cand[k][0], y = cand[k][1];
    const bool inside = k < 2 ? (y >= blly && y <= bury) : (x >= bllx && x <= burx);
    if (!inside) continue;
    if (found == 0) x1 = x, y1 = y;
    else x2 = x, y2 = y;
    ++found;
  }
  return found > 0;
}

}  // namespace qmx
