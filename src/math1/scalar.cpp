// Polynomials, interpolation, 1-2-5 rounding, axis scales, floor/ceiling and angles.
#include <cmath>
#include <limits>
#include <numbers>

#include "math1/decade.h"
#include "qmx/math1.h"

namespace qmx {

using math1_detail::Decade;
using math1_detail::ScalePow10;

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr long double k2Pi = 2.0L * kPi;

double PolyAt(std::span<const double> c, int32_t Order, double x) {
  if (Order < 0 || static_cast<std::size_t>(Order) >= c.size())
    throw EQMXMath1Error("Polynomial: invalid order of polynomial");
  double sum = c[0];
  double p = 1.0;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(Order); ++i) {
    p *= x;
    sum += c[i] * p;
  }
  return sum;
}

template <class T>
double InterpolTableOf(double x, double FirstX, double LastX, const std::vector<T>& v) {
  const std::size_t n = v.size();
  if (n < 2) throw EQMXMath1Error("InterpolTable: pivot array must contain at least 2 values");
  if (FirstX == LastX) throw EQMXMath1Error("InterpolTable: specified range of pivot array is zero");
  const double last = static_cast<double>(n - 1);
  const double g = (x - FirstX) / (LastX - FirstX) * last;
  if (g < 0.0) {
    const double v0 = static_cast<double>(v[0]);
    return v0 + (static_cast<double>(v[1]) - v0) * g;
  }
  if (g >= last) {  // at LastX exactly this is the last value
    const double vl = static_cast<double>(v[n - 1]);
    return vl + (vl - static_cast<double>(v[n - 2])) * (g - last);
  }
  if (!(g >= 0.0)) return std::numeric_limits<double>::quiet_NaN();
  const auto i = static_cast<std::size_t>(g);
  const double vi = static_cast<double>(v[i]);
  return vi + (static_cast<double>(v[i + 1]) - vi) * (g - static_cast<double>(i));
}

// Steps of the 1-2-5 sequence with a mantissa m in [1, 10) of |x|.
enum TRound125Dir { rdNearest, rdUp, rdDown };

double RoundMagnitude125(double x, TRound125Dir Dir) {
  if (x == 0.0 || std::isnan(x)) return x;
  const double ax = std::fabs(x);
  if (std::isinf(ax)) return x;
  int32_t e;
  double m;
  Decade(ax, e, m);
  // Mantissas within 1e-14 decades of a power of ten count as that power.
  constexpr double kSnap = 2.302585092994046e-14;
  if (m < 1.0 + kSnap) m = 1.0;
  else if (m > 10.0 - 10.0 * kSnap) {
    m = 1.0;
    ++e;
  }
  double step;
  switch (Dir) {
    case rdNearest:
      step = m < 1.5 ? 1.0 : m < 3.0 ? 2.0 : m < 8.0 ? 5.0 : 10.0;
      break;
    case rdUp:
      step = m > 5.0 ? 10.0 : m > 2.0 ? 5.0 : m > 1.0 ? 2.0 : 1.0;
      break;
    default:
      step = m >= 10.0 ? 10.0 : m >= 5.0 ? 5.0 : m >= 2.0 ? 2.0 : 1.0;
      break;
  }
  const double r = ScalePow10(step, e);
  return x < 0.0 ? -r : r;
}

// Advances the first tick to the first one at or beyond StartVal; stops when the distance no
// longer changes the tick (a tick distance below the resolution of the start value).
void AdvanceFirstTick(long double StartVal, long double Dir, long double TickDist,
                      long double& FirstTick) {
  while (0.001L * std::fabs(TickDist) < Dir * (StartVal - FirstTick)) {
    const long double next = FirstTick + TickDist;
    if (next == FirstTick) break;
    FirstTick = next;
  }
}

int32_t SaturateToInt(double r) {
  if (std::isnan(r)) return 0;
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

long double FracL(long double v) { return v - std::trunc(v); }

double CanonicalAngle(double Angle, long double Full) {
  long double a = Angle;
  if (a > Full) a = FracL(a / Full) * Full;
  if (a < -Full) a = FracL(-a / Full) * (-Full);
  const long double half = Full / 2.0L;
  if (a > half) a -= Full;
  if (a < -half) a += Full;
  return static_cast<double>(a);
}

}  // namespace

double Polynomial(std::span<const double> Coefficients, int32_t Order, double x) {
  return PolyAt(Coefficients, Order, x);
}

double CenteredPolynomial(std::span<const double> Coefficients, int32_t Order, double x,
                          double Center) {
  return PolyAt(Coefficients, Order, x - Center);
}

double InterpolTable(double x, double FirstX, double LastX, const TDoubleArray& Table) {
  return InterpolTableOf(x, FirstX, LastX, Table);
}

double InterpolTable(double x, double FirstX, double LastX, const TIntArray& Table) {
  return InterpolTableOf(x, FirstX, LastX, Table);
}

double InterpolXYTable(double x, const TDouble2DArray& Table) {
  std::size_t n = Table.empty() ? 0 : Table[0].size();
  if (Table.size() >= 2 && Table[1].size() < n) n = Table[1].size();
  if (n < 2) throw EQMXMath1Error("InterpolXYTable: pivot array must contain at least 2 rows");
  if (Table.size() != 2) throw EQMXMath1Error("InterpolXYTable: pivot array must contain 2 columns");
  const double* px = Table[0].data();
  const double* py = Table[1].data();
  if (x < px[0]) return py[0] + (x - px[0]) / (px[1] - px[0]) * (py[1] - py[0]);
  if (x > px[n - 1])
    return py[n - 1] + (x - px[n - 1]) / (px[n - 1] - px[n - 2]) * (py[n - 1] - py[n - 2]);
  if (x == px[0]) return py[0];
  for (std::size_t i = 1; i < n; ++i)
    if (x <= px[i]) return py[i] + (x - px[i]) / (px[i] - px[i - 1]) * (py[i] - py[i - 1]);
  return std::numeric_limits<double>::quiet_NaN();  // NaN position or NaN pivots
}

double InterpolZofXYRect(double z1, double z2, double z3, double z4, double s, double t) {
  const double g = z1 + (z3 - z1) * s;
  const double h = z2 + (z4 - z2) * s;
  return g + (h - g) * t;
}

double Round125(double x) { return RoundMagnitude125(x, rdNearest); }

double RoundPos125(double x) { return RoundMagnitude125(x, x >= 0.0 ? rdUp : rdDown); }

double RoundNeg125(double x) { return RoundMagnitude125(x, x >= 0.0 ? rdDown : rdUp); }

void CalcScalePars(int32_t NumTicks, long double StartVal, long double EndVal,
                   long double& FirstTick, long double& TickDist, uint16_t& SubTicks) {
  if (StartVal == EndVal) {
    FirstTick = StartVal;
    TickDist = 0.0L;
    SubTicks = 1;
    return;
  }
  const long double dir = EndVal > StartVal ? 1.0L : -1.0L;
  const long double range = std::fabs(EndVal - StartVal);
  if (NumTicks <= 0 || !std::isfinite(range)) {
    TickDist = 1.0L;
    FirstTick = std::trunc(StartVal) - 1.0L;
    AdvanceFirstTick(StartVal, dir, TickDist, FirstTick);
    SubTicks = range > 10.0L ? 1 : 5;
    return;
  }
  const long double q = range / static_cast<long double>(NumTicks);
  long double g = std::log10(q);
  long double h = FracL(g);
  if (std::fabs(h) < 1e-10L || std::fabs(h) > 0.9999999999L) {
    g = std::nearbyint(g);
    h = 0.0L;
  }
  const long double fl = std::floor(g);
  h = g - fl;
  constexpr long double kLog2 = 0.3010299956639812L;
  constexpr long double kLog5 = 0.6989700043360189L;
  double mantissa;
  if (h < kLog2 + 1e-10L) {
    mantissa = 1.0;
    SubTicks = 5;
  } else if (h < kLog5 + 1e-10L) {
    mantissa = 2.0;
    SubTicks = 4;
  } else {
    mantissa = 5.0;
    SubTicks = 5;
  }
  // The double nearest mantissa * 10^e where a double holds it (2 * 10^-2 is the double 0.02);
  // extended arguments beyond the double range take the extended power.
  const long double step = std::fabs(fl) <= 300.0L
                               ? static_cast<long double>(ScalePow10(mantissa, static_cast<int32_t>(fl)))
                               : mantissa * std::pow(10.0L, fl);
  TickDist = dir * step;
  FirstTick = (std::trunc(StartVal / TickDist) - 1.0L) * TickDist;
  AdvanceFirstTick(StartVal, dir, TickDist, FirstTick);
}

int32_t IntPos(double x) {
  double r = std::nearbyint(x);
  if (x > r) r += 1.0;
  return SaturateToInt(r);
}

int32_t IntNeg(double x) {
  double r = std::nearbyint(x);
  if (x < r) r -= 1.0;
  return SaturateToInt(r);
}

double CanonicalAngleRadians(double Angle) { return CanonicalAngle(Angle, k2Pi); }

double CanonicalAngleDegrees(double Angle) { return CanonicalAngle(Angle, 360.0L); }

double AngleToXAxis(double dx, double dy) {
  long double a;
  if (dx != 0.0) {
    a = std::atan(static_cast<long double>(dy) / dx);
    if (dx < 0.0) a += kPi;
  } else {
    a = dy > 0.0 ? kPi / 2.0L : 3.0L * kPi / 2.0L;
  }
  if (a < 0.0L) a += k2Pi;
  if (a > k2Pi) a -= k2Pi;
  return static_cast<double>(a);
}

void RoundDegrees(int32_t& Deg, int32_t& Min, int32_t& Sec, bool RoundUp) {
  static constexpr int32_t kSteps[12] = {1, 2, 3, 5, 10, 15, 20, 30, 60, 90, 180, 360};
  if (Deg < 0 || Min < 0 || Sec < 0) Deg = Min = Sec = 0;
  if (Min > 59) Min = 59;
  if (Sec > 59) Sec = 59;
  const double x = Deg + Min / 60.0 + Sec / 3600.0;
  if (Deg >= 1) {
    Min = Sec = 0;
    if (RoundUp) {
      Deg = 360;
      for (int32_t s : kSteps)
        if (s >= x) {
          Deg = s;
          break;
        }
    } else {
      Deg = 1;
      for (int32_t s : kSteps)
        if (s <= x) Deg = s;
    }
    return;
  }
  // Below one degree (minutes) or one minute (seconds) the first nine steps (1..60) apply; a step
  // of 60 carries into the unit above.
  auto roundSub = [&](int32_t& Unit, int32_t& Above, double PerStep) {
    if (RoundUp) {
      int32_t found = 8;  // none found counts as the 60 entry
      for (int32_t k = 0; k < 9; ++k)
        if (kSteps[k] / PerStep >= x) {
          found = k;
          break;
        }
      if (found == 8) {
        Above = 1;
        Unit = 0;
      } else {
        Unit = kSteps[found];
      }
    } else {
      Unit = 1;
      for (int32_t k = 0; k < 9; ++k)
        if (kSteps[k] / PerStep <= x) Unit = kSteps[k];
    }
  };
  if (Min >= 1) {
    Sec = 0;
    roundSub(Min, Deg, 60.0);
  } else if (Sec >= 1) {
    roundSub(Sec, Min, 3600.0);
  }
}

void ConvertDegrees(double& Deg, double& Min, double& Sec, TDegreeFormat Target,
                    TDegreeFormat Source) {
  if (!(Min >= 0.0 && Min <= 60.0)) throw EQMXMath1Error("ConvertDegrees: invalid range of minutes");
  if (!(Sec >= 0.0 && Sec <= 60.0)) throw EQMXMath1Error("ConvertDegrees: invalid range of seconds");
  if (Target > dfDegMinSec || Source > dfDegMinSec) return;
  auto frac = [](double v) {
    v = std::fabs(v);
    return v - std::trunc(v);
  };
  switch (Target) {
    case dfDecDeg:
      if (Source == dfDegMin) Deg = std::trunc(Deg) + Min / 60.0;
      else if (Source == dfDegMinSec) Deg = std::trunc(Deg) + std::trunc(Min) / 60.0 + Sec / 3600.0;
      Min = Sec = 0.0;
      break;
    case dfDegMin:
      if (Source == dfDecDeg) {
        Min = frac(Deg) * 60.0;
        Deg = std::trunc(Deg);
      } else if (Source == dfDegMinSec) {
        Min = Min + Sec / 60.0;
      }
      Sec = 0.0;
      break;
    default:
      if (Source == dfDecDeg) {
        const double m = frac(Deg) * 60.0;
        Deg = std::trunc(Deg);
        Min = std::trunc(m);
        Sec = frac(m) * 60.0;
      } else if (Source == dfDegMin) {
        Sec = frac(Min) * 60.0;
        Min = std::trunc(Min);
      }
      break;
  }
}

}  // namespace qmx
