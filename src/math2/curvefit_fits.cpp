// TCurveFit: straight line, parabola and circle, and the linearised fits computed from the
// running sums.
#include <cfloat>
#include <cmath>

#include "qmx/math2/curvefit.h"

namespace qmx {

namespace {

// A difference of sums that is below the rounding error of n terms counts as zero.
bool NegligibleVs(long double value, long double scale, int32_t n) {
  return !(value > 8.0L * n * LDBL_EPSILON * std::fabs(scale));
}

// Coefficient of determination 1 − SSres/SStot of a fitted curve over the first n pairs;
// 1.0 when all y are equal. Constancy is judged by the values themselves: the centred sum of
// squares is computed two-pass, so a small spread around a large level is a true spread and
// gets its own (possibly small) coefficient instead of a reported perfect fit.
template <class Curve>
double CurveR2(const std::vector<double>& X, const std::vector<double>& Y, int32_t n,
               const Curve& f) {
  long double sy = 0;
  bool constant = true;
  for (int32_t i = 0; i < n; ++i) {
    sy += Y[std::size_t(i)];
    constant = constant && Y[std::size_t(i)] == Y[0];
  }
  if (constant) return 1.0;
  const long double my = sy / n;
  long double res = 0, tot = 0;
  for (int32_t i = 0; i < n; ++i) {
    const long double y = Y[std::size_t(i)], e = y - f(X[std::size_t(i)]), v = y - my;
    res += e * e;
    tot += v * v;
  }
  if (!(tot > 0)) return 1.0;
  return static_cast<double>(1.0L - res / tot);
}

// v = a + b·u by least squares from the sums of u and v; false when u does not vary.
bool Line2(int32_t n, long double su, long double suu, long double sv, long double suv,
           long double& a, long double& b) {
  const long double den = n * suu - su * su;
  if (NegligibleVs(den, n * suu, n)) return false;
  b = (n * suv - su * sv) / den;
  a = (sv - b * su) / n;
  return true;
}

// v = a + b·u + c·w by least squares from the sums; false when u, w and 1 are collinear.
bool Plane3(int32_t n, long double su, long double suu, long double sw, long double sww,
            long double suw, long double sv, long double suv, long double swv, long double& a,
            long double& b, long double& c) {
  const long double cuu = suu - su * su / n, cww = sww - sw * sw / n, cuw = suw - su * sw / n;
  const long double cuv = suv - su * sv / n, cwv = swv - sw * sv / n;
  if (NegligibleVs(cuu, suu, n) || NegligibleVs(cww, sww, n)) return false;
  const long double det = cuu * cww - cuw * cuw;
  if (NegligibleVs(det, cuu * cww, n)) return false;
  b = (cuv * cww - cwv * cuw) / det;
  c = (cwv * cuu - cuv * cuw) / det;
  a = (sv - b * su - c * sw) / n;
  return true;
}

void NeedData(int32_t n, int32_t need, const char* op) {
  if (n < need) throw EQMXMath2Error(std::string(op) + ": not enough data points");
}

}  // namespace

void TCurveFit::CalcLinFit(double& k, double& d, double& FitQual) const {
  k = d = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcLinFit");
  long double sx = 0, sy = 0;
  for (int32_t i = 0; i < n; ++i) {
    sx += FX[std::size_t(i)];
    sy += FY[std::size_t(i)];
  }
  const double mx = static_cast<double>(sx / n), my = static_cast<double>(sy / n);
  long double su = 0, sv = 0, suu = 0, svv = 0, suv = 0;
  for (int32_t i = 0; i < n; ++i) {
    const long double u = FX[std::size_t(i)] - mx, v = FY[std::size_t(i)] - my;
    su += u;
    sv += v;
    suu += u * u;
    svv += v * v;
    suv += u * v;
  }
  const long double b = n * suu - su * su;
  if (NegligibleVs(b, n * suu, n)) return;
  const long double kk = (n * suv - su * sv) / b;
  const long double a = (suu * sv - su * suv) / b;  // intercept in the centred frame
  k = static_cast<double>(kk);
  d = static_cast<double>(a - kk * mx + my);
  const long double f = svv - sv * sv / n;
  // The explained sum of squares uses the centred intercept: the one in x would mix frames.
  FitQual = NegligibleVs(f, svv, n) ? 1.0 : static_cast<double>((sv * a + kk * suv - sv * sv / n) / f);
}

void TCurveFit::CalcParabolFit(double& k0, double& k1, double& k2, double& FitQual) const {
  k0 = k1 = k2 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 3, "CalcParabolFit");
  long double sx = 0, sy = 0;
  for (int32_t i = 0; i < n; ++i) {
    sx += FX[std::size_t(i)];
    sy += FY[std::size_t(i)];
  }
  const double mx = static_cast<double>(sx / n), my = static_cast<double>(sy / n);
  long double su = 0, sv = 0, suu = 0, svv = 0, suv = 0, suuv = 0, suuu = 0, suuuu = 0;
  for (int32_t i = 0; i < n; ++i) {
    const long double u = FX[std::size_t(i)] - mx, v = FY[std::size_t(i)] - my, uu = u * u;
    su += u;
    sv += v;
    suu += uu;
    svv += v * v;
    suv += u * v;
    suuv += uu * v;
    suuu += uu * u;
    suuuu += uu * uu;
  }
  const long double c = n * suu - su * su, dd = n * suuv - suu * sv, e = n * suuu - suu * su;
  const long double f = n * suv - su * sv, g = n * suuuu - suu * suu;
  const bool cZero = NegligibleVs(c, n * suu, n);
  long double a2 = 0, a1 = 0;
  if (!cZero && !NegligibleVs(c * g - e * e, c * g, n)) a2 = (c * dd - e * f) / (c * g - e * e);
  if (!cZero) a1 = (f - e * a2) / c;
  const long double a0 = (sv - a1 * su - a2 * suu) / n;
  k2 = static_cast<double>(a2);
  k1 = static_cast<double>(a1 - 2 * a2 * mx);
  k0 = static_cast<double>(a2 * mx * mx - a1 * mx + a0 + my);
  const long double A = svv - sv * sv / n;
  FitQual = NegligibleVs(A, svv, n)
                ? 1.0
                : static_cast<double>((sv * a0 + a1 * suv + a2 * suuv - sv * sv / n) / A);
}

void TCurveFit::CalcCircleFit(double& r, double& dx, double& dy) const {
  r = dx = dy = 0.0;
  const int32_t n = FNumData;
  if (n <= 2) throw EQMXMath2Error("CalcCircleFit: not enough data points");
  const long double m = S.sumy * S.sumy - n * S.sumyq;
  const long double o = S.sumx * S.sumx - n * S.sumxq;
  const long double s = n * S.sumxy - S.sumx * S.sumy;
  const long double t = m * o - s * s;
  // t = n²·(Sxx·Syy − Sxy²) vanishes for collinear points; rounding leaves a residue.
  if (NegligibleVs(t, m * o, n)) throw EQMXMath2Error("CalcCircleFit: radius is infinite");
  const long double B = (S.sumxq + S.sumyq) * S.sumy - (S.sumx2y + S.sumy3) * n;
  const long double C = (S.sumxq + S.sumyq) * S.sumx - (S.sumxy2 + S.sumx3) * n;
  const long double cx = (s * B + m * C) / 2 / t, cy = (s * C + o * B) / 2 / t;
  dx = static_cast<double>(cx);
  dy = static_cast<double>(cy);
  const long double r2 =
      ((cx * cx + cy * cy) * n + S.sumxq + S.sumyq - 2 * (S.sumx * cx + S.sumy * cy)) / n;
  r = static_cast<double>(std::sqrt(std::fabs(r2)));
}

// ---- linearised fits --------------------------------------------------------------------------

void TCurveFit::CalcGaussFit(double& k0, double& k1, double& k2, double& FitQual) const {
  k0 = k1 = k2 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 3, "CalcGaussFit");
  if (FErrIndic.Contains(cfeYLE0)) throw EQMXMath2Error("CalcGaussFit: all y must be positive");
  // ln y = a + b·x + c·x²  ⇔  y = k0·exp(−(x − k1)²/k2) with k2 = −1/c, k1 = −b/(2c).
  long double a, b, c;
  if (!Plane3(n, S.sumx, S.sumxq, S.sumxq, S.sumx4, S.sumx3, S.sumlny, S.sumxlny, S.sumxqlny, a,
              b, c) ||
      c == 0)
    return;
  const long double kk2 = -1.0L / c, kk1 = -b / (2 * c), kk0 = std::exp(a + kk1 * kk1 / kk2);
  k0 = static_cast<double>(kk0);
  k1 = static_cast<double>(kk1);
  k2 = static_cast<double>(kk2);
  FitQual = CurveR2(FX, FY, n, [&](long double x) {
    return kk0 * std::exp(-(x - kk1) * (x - kk1) / kk2);
  });
}

void TCurveFit::CalcHoerlFit(double& k0, double& k1, double& k2, double& FitQual) const {
  k0 = k1 = k2 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 3, "CalcHoerlFit");
  if (FErrIndic.Contains(cfeXLE0) || FErrIndic.Contains(cfeYLE0))
    throw EQMXMath2Error("CalcHoerlFit: all x and y must be positive");
  // ln y = ln k0 + x·ln k1 + k2·ln x
  long double a, b, c;
  if (!Plane3(n, S.sumx, S.sumxq, S.sumlnx, S.sumlnxq, S.sumxlnx, S.sumlny, S.sumxlny,
              S.sumlnxlny, a, b, c))
    return;
  k0 = static_cast<double>(std::exp(a));
  k1 = static_cast<double>(std::exp(b));
  k2 = static_cast<double>(c);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return std::exp(a + b * x + c * std::log(x)); });
}

void TCurveFit::CalcReciLinFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcReciLinFit");
  if (FErrIndic.Contains(cfeYEQ0)) throw EQMXMath2Error("CalcReciLinFit: no y may be zero");
  long double a, b;  // 1/y = a + b·x
  if (!Line2(n, S.sumx, S.sumxq, S.sum1byy, S.sumxbyy, a, b)) return;
  k0 = static_cast<double>(a);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return 1.0L / (a + b * x); });
}

void TCurveFit::CalcHyperbolFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcHyperbolFit");
  if (FErrIndic.Contains(cfeXEQ0)) throw EQMXMath2Error("CalcHyperbolFit: no x may be zero");
  long double a, b;  // y = a + b/x
  if (!Line2(n, S.sum1byx, S.sum1byxq, S.sumy, S.sumybyx, a, b)) return;
  k0 = static_cast<double>(a);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return a + b / x; });
}

void TCurveFit::CalcReciHyperbolFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcReciHyperbolFit");
  if (FErrIndic.Contains(cfeXEQ0) || FErrIndic.Contains(cfeYEQ0))
    throw EQMXMath2Error("CalcReciHyperbolFit: no x or y may be zero");
  long double a, b;  // 1/y = a + b/x
  if (!Line2(n, S.sum1byx, S.sum1byxq, S.sum1byy, S.sum1byxy, a, b)) return;
  k0 = static_cast<double>(a);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return x / (a * x + b); });
}

void TCurveFit::CalcLogFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcLogFit");
  if (FErrIndic.Contains(cfeXLE0)) throw EQMXMath2Error("CalcLogFit: all x must be positive");
  long double a, b;  // y = a + b·ln x
  if (!Line2(n, S.sumlnx, S.sumlnxq, S.sumy, S.sumylnx, a, b)) return;
  k0 = static_cast<double>(a);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return a + b * std::log(x); });
}

void TCurveFit::CalcReciLogFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcReciLogFit");
  if (FErrIndic.Contains(cfeXLE0) || FErrIndic.Contains(cfeYEQ0))
    throw EQMXMath2Error("CalcReciLogFit: all x must be positive and no y may be zero");
  long double a, b;  // 1/y = a + b·ln x
  if (!Line2(n, S.sumlnx, S.sumlnxq, S.sum1byy, S.sumlnxbyy, a, b)) return;
  k0 = static_cast<double>(a);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return 1.0L / (a + b * std::log(x)); });
}

void TCurveFit::CalcPowerFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcPowerFit");
  if (FErrIndic.Contains(cfeXLE0) || FErrIndic.Contains(cfeYLE0))
    throw EQMXMath2Error("CalcPowerFit: all x and y must be positive");
  long double a, b;  // ln y = ln k0 + k1·ln x
  if (!Line2(n, S.sumlnx, S.sumlnxq, S.sumlny, S.sumlnxlny, a, b)) return;
  const long double kk0 = std::exp(a);
  k0 = static_cast<double>(kk0);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return kk0 * std::pow(x, b); });
}

void TCurveFit::CalcExponentialFit(double& k0, double& k1, double& FitQual) const {
  k0 = k1 = FitQual = 0.0;
  const int32_t n = FNumData;
  NeedData(n, 2, "CalcExponentialFit");
  if (FErrIndic.Contains(cfeYLE0))
    throw EQMXMath2Error("CalcExponentialFit: all y must be positive");
  long double a, b;  // ln y = ln k0 + k1·x
  if (!Line2(n, S.sumx, S.sumxq, S.sumlny, S.sumxlny, a, b)) return;
  const long double kk0 = std::exp(a);
  k0 = static_cast<double>(kk0);
  k1 = static_cast<double>(b);
  FitQual = CurveR2(FX, FY, n, [&](long double x) { return kk0 * std::exp(b * x); });
}

}  // namespace qmx
