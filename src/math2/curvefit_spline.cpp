// TCurveFit: interpolating cubic spline and penalised smoothing spline.
#include <algorithm>
#include <cmath>

#include "qmx/math2/curvefit.h"

namespace qmx {

namespace {

// Sorted distinct abscissae with the mean ordinate and the number of pairs at each; pairs with a
// non-finite coordinate take no part.
void MergedKnots(const std::vector<double>& X, const std::vector<double>& Y, int32_t n,
                 std::vector<double>& kx, std::vector<double>& ky, std::vector<double>& kw) {
  std::vector<std::pair<double, double>> p;
  p.reserve(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double x = X[std::size_t(i)], y = Y[std::size_t(i)];
    if (std::isfinite(x) && std::isfinite(y)) p.emplace_back(x, y);
  }
  std::sort(p.begin(), p.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  kx.clear();
  ky.clear();
  kw.clear();
  for (std::size_t i = 0; i < p.size();) {
    std::size_t j = i;
    long double s = 0;
    while (j < p.size() && p[j].first == p[i].first) s += p[j++].second;
    kx.push_back(p[i].first);
    ky.push_back(static_cast<double>(s / static_cast<long double>(j - i)));
    kw.push_back(static_cast<double>(j - i));
    i = j;
  }
}

// Index k of the interval [x_k, x_k+1] used for x (the end intervals also serve outside).
std::size_t Interval(const std::vector<double>& kx, double x) {
  const auto it = std::upper_bound(kx.begin(), kx.end(), x);
  std::size_t k = it == kx.begin() ? 0 : std::size_t(it - kx.begin()) - 1;
  return std::min(k, kx.size() - 2);
}

// Cubic with values g and second derivatives c at the knots.
double EvalCubic(const std::vector<double>& kx, const std::vector<double>& g,
                 const std::vector<double>& c, std::size_t k, double x) {
  const double h = kx[k + 1] - kx[k];
  const double a = (kx[k + 1] - x) / h, b = (x - kx[k]) / h;
  return a * g[k] + b * g[k + 1] + ((a * a * a - a) * c[k] + (b * b * b - b) * c[k + 1]) * h * h / 6.0;
}

}  // namespace

void TCurveFit::EnsureSpline() const {
  if (FSplineValid) return;
  std::vector<double> w;
  MergedKnots(FX, FY, FNumData, SplSortedX, SplSortedY, w);
  const auto& x = SplSortedX;
  const auto& y = SplSortedY;
  const std::size_t m = x.size();
  Spl2Deriv.assign(m, 0.0);
  if (m >= 2) {
    // Tridiagonal system for the second derivatives, eliminated downward then back-substituted.
    auto& y2 = Spl2Deriv;
    std::vector<double> u(m, 0.0);
    if (!FNatural1) {
      y2[0] = -0.5;
      u[0] = (3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / (x[1] - x[0]) - FY1Dash);
    }
    for (std::size_t i = 1; i + 1 < m; ++i) {
      const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
      const double p = sig * y2[i - 1] + 2.0;
      y2[i] = (sig - 1.0) / p;
      const double dd = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
      u[i] = (6.0 * dd / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    double qn = 0.0, un = 0.0;
    if (!FNaturalN) {
      const double h = x[m - 1] - x[m - 2];
      qn = 0.5;
      un = (3.0 / h) * (FYNDash - (y[m - 1] - y[m - 2]) / h);
    }
    y2[m - 1] = (un - qn * u[m - 2]) / (qn * y2[m - 2] + 1.0);
    for (std::size_t k = m - 1; k-- > 0;) y2[k] = y2[k] * y2[k + 1] + u[k];
  }
  FSplineValid = true;
}

double TCurveFit::CubicSpline(double x) const {
  EnsureSpline();
  const std::size_t m = SplSortedX.size();
  if (m == 0) return 0.0;
  if (m == 1) return SplSortedY[0];
  return EvalCubic(SplSortedX, SplSortedY, Spl2Deriv, Interval(SplSortedX, x), x);
}

// Reinsch's smoothing spline. With knot weights w (pairs per distinct x), spacings h, the
// second-difference operator Q and the tridiagonal R, the spline minimising
//   p·Σ w_i (ȳ_i − g_i)² + (1 − p)·∫ g''²
// has interior second derivatives γ = p·u and knot values g = ȳ − (1 − p)·W⁻¹·Q·u, where
//   (p·R + (1 − p)·Qᵀ·W⁻¹·Q)·u = Qᵀ·ȳ,
// a symmetric positive definite five-band system (solved by a banded LDLᵀ). p = 1 interpolates,
// p = 0 leaves the weighted least-squares line.
void TCurveFit::EnsurePenSpline() const {
  if (FPenSplineValid) return;
  std::vector<double> w;
  MergedKnots(FX, FY, FNumData, PSplX, PSplG, w);
  const auto& x = PSplX;
  auto& g = PSplG;
  const std::size_t m = x.size();
  PSpl2Deriv.assign(m, 0.0);
  FPenSplineOK = m >= 2;
  if (m >= 3) {
    const double p = std::clamp(std::isnan(FPSplineSmooth) ? 0.5 : FPSplineSmooth, 0.0, 1.0);
    const std::size_t N = m - 2;
    std::vector<double> h(m - 1), q0(N), q1(N), q2(N);
    for (std::size_t k = 0; k + 1 < m; ++k) h[k] = x[k + 1] - x[k];
    for (std::size_t j = 0; j < N; ++j) {
      q0[j] = 1.0 / h[j];
      q2[j] = 1.0 / h[j + 1];
      q1[j] = -q0[j] - q2[j];
    }
    std::vector<double> a0(N), a1(N, 0.0), a2(N, 0.0), rhs(N);
    for (std::size_t j = 0; j < N; ++j) {
      a0[j] = p * (h[j] + h[j + 1]) / 3.0 +
              (1 - p) * (q0[j] * q0[j] / w[j] + q1[j] * q1[j] / w[j + 1] + q2[j] * q2[j] / w[j + 2]);
      if (j + 1 < N)
        a1[j] = p * h[j + 1] / 6.0 +
                (1 - p) * (q1[j] * q0[j + 1] / w[j + 1] + q2[j] * q1[j + 1] / w[j + 2]);
      if (j + 2 < N) a2[j] = (1 - p) * q2[j] * q0[j + 2] / w[j + 2];
      rhs[j] = q0[j] * g[j] + q1[j] * g[j + 1] + q2[j] * g[j + 2];
    }
    // LDLᵀ with unit lower factor bands l1 (j+1, j), l2 (j+2, j).
    std::vector<double> D(N), l1(N, 0.0), l2(N, 0.0), u(N);
    for (std::size_t j = 0; j < N; ++j) {
      double dj = a0[j];
      if (j >= 1) dj -= l1[j - 1] * l1[j - 1] * D[j - 1];
      if (j >= 2) dj -= l2[j - 2] * l2[j - 2] * D[j - 2];
      D[j] = dj;
      if (dj == 0) {  // p = 0 with coincident weights cannot happen; guard the division anyway
        FPenSplineOK = false;
        break;
      }
      double s1 = a1[j];
      if (j >= 1) s1 -= l2[j - 1] * D[j - 1] * l1[j - 1];
      l1[j] = s1 / dj;
      l2[j] = a2[j] / dj;
    }
    if (FPenSplineOK) {
      for (std::size_t j = 0; j < N; ++j) {
        double z = rhs[j];
        if (j >= 1) z -= l1[j - 1] * u[j - 1];
        if (j >= 2) z -= l2[j - 2] * u[j - 2];
        u[j] = z;
      }
      for (std::size_t j = 0; j < N; ++j) u[j] /= D[j];
      for (std::size_t j = N; j-- > 0;) {
        if (j + 1 < N) u[j] -= l1[j] * u[j + 1];
        if (j + 2 < N) u[j] -= l2[j] * u[j + 2];
      }
      std::vector<double> qu(m, 0.0);
      for (std::size_t j = 0; j < N; ++j) {
        qu[j] += q0[j] * u[j];
        qu[j + 1] += q1[j] * u[j];
        qu[j + 2] += q2[j] * u[j];
      }
      for (std::size_t k = 0; k < m; ++k) g[k] -= (1 - p) * qu[k] / w[k];
      for (std::size_t j = 0; j < N; ++j) PSpl2Deriv[j + 1] = p * u[j];
    }
  }
  // Fit quality over all pairs (duplicates included).
  FPSplineFQ = 0.0;
  if (FPenSplineOK) {
    long double sy = 0, cnt = 0;
    for (int32_t i = 0; i < FNumData; ++i)
      if (std::isfinite(FX[std::size_t(i)]) && std::isfinite(FY[std::size_t(i)])) {
        sy += FY[std::size_t(i)];
        cnt += 1;
      }
    const long double my = sy / cnt;
    long double res = 0, tot = 0;
    for (int32_t i = 0; i < FNumData; ++i) {
      const double xi = FX[std::size_t(i)], yi = FY[std::size_t(i)];
      if (!std::isfinite(xi) || !std::isfinite(yi)) continue;
      const std::size_t k = Interval(x, xi);
      const long double e = yi - EvalCubic(x, g, PSpl2Deriv, k, xi), v = yi - my;
      res += e * e;
      tot += v * v;
    }
    FPSplineFQ = tot > 0 ? static_cast<double>(1.0L - res / tot) : 1.0;
  }
  FPenSplineValid = true;
}

double TCurveFit::SmoothedSpline(double x, double& FitQual, bool& valid) const {
  EnsurePenSpline();
  valid = FPenSplineOK;
  FitQual = FPSplineFQ;
  const std::size_t m = PSplX.size();
  if (m == 0) return 0.0;
  if (m == 1) return PSplG[0];
  if (!FPenSplineOK) return 0.0;
  const auto& kx = PSplX;
  const auto& g = PSplG;
  const auto& c = PSpl2Deriv;
  // The minimiser is a straight line beyond the end knots.
  if (x < kx[0]) {
    const double h = kx[1] - kx[0];
    const double slope = (g[1] - g[0]) / h - h * (2 * c[0] + c[1]) / 6.0;
    return g[0] + slope * (x - kx[0]);
  }
  if (x > kx[m - 1]) {
    const double h = kx[m - 1] - kx[m - 2];
    const double slope = (g[m - 1] - g[m - 2]) / h + h * (c[m - 2] + 2 * c[m - 1]) / 6.0;
    return g[m - 1] + slope * (x - kx[m - 1]);
  }
  return EvalCubic(kx, g, c, Interval(kx, x), x);
}

}  // namespace qmx
