// TCurveFit fits and splines, checked against exact models, hand values and the least-squares
// optimality conditions (residuals orthogonal to every regressor).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "qmx/math2.h"

using namespace qmx;

namespace {

double Noise(int i) { return std::sin(1.7 * i + 0.3); }

using Fn2 = std::function<double(double, double)>;

// Least-squares optimality: the residuals r(x, y) of the pairs are orthogonal to every regressor
// b(x, y), |Σ r·b| small against |r|·|b|.
void ExpectNormalEquations(const TCurveFit& cf, const Fn2& r, std::initializer_list<Fn2> basis,
                           const char* what, double tol = 1e-9) {
  for (const auto& b : basis) {
    long double rb = 0, rr = 0, bb = 0;
    for (int i = 1; i <= cf.NumData(); ++i) {
      const double ri = r(cf.DataX(i), cf.DataY(i)), bi = b(cf.DataX(i), cf.DataY(i));
      rb += (long double)ri * bi;
      rr += (long double)ri * ri;
      bb += (long double)bi * bi;
    }
    EXPECT_LE(std::fabs(double(rb)), tol * std::sqrt(double(rr * bb)) + 1e-300) << what;
  }
}

const Fn2 kOne = [](double, double) { return 1.0; };
const Fn2 kX = [](double x, double) { return x; };
const Fn2 kX2 = [](double x, double) { return x * x; };

template <class F>
double R2(const TCurveFit& cf, F f) {
  const int n = cf.NumData();
  double my = 0;
  for (int i = 1; i <= n; ++i) my += cf.DataY(i) / n;
  double res = 0, tot = 0;
  for (int i = 1; i <= n; ++i) {
    res += std::pow(cf.DataY(i) - f(cf.DataX(i)), 2);
    tot += std::pow(cf.DataY(i) - my, 2);
  }
  return 1 - res / tot;
}

void ExpectMessage(const std::function<void()>& f, const std::string& msg) {
  try {
    f();
    ADD_FAILURE() << "no error, expected " << msg;
  } catch (const EQMXMath2Error& e) {
    EXPECT_EQ(std::string(e.what()), msg);
  }
}

// Independent straight line by the centred two-pass formulas.
void RefLine(const TCurveFit& cf, double& k, double& d, double& r2) {
  const int n = cf.NumData();
  long double mx = 0, my = 0;
  for (int i = 1; i <= n; ++i) {
    mx += cf.DataX(i);
    my += cf.DataY(i);
  }
  mx /= n;
  my /= n;
  long double sxy = 0, sxx = 0, syy = 0;
  for (int i = 1; i <= n; ++i) {
    sxy += (cf.DataX(i) - mx) * (cf.DataY(i) - my);
    sxx += (cf.DataX(i) - mx) * (cf.DataX(i) - mx);
    syy += (cf.DataY(i) - my) * (cf.DataY(i) - my);
  }
  k = double(sxy / sxx);
  d = double(my - sxy / sxx * mx);
  r2 = double(sxy * sxy / (sxx * syy));
}

}  // namespace

// ---- straight line, parabola, circle ----------------------------------------------------------

TEST(CurveFitLin, ExactLineDegenerateColumnsAndTooFewPoints) {
  TCurveFit cf;
  double k, d, q;
  ExpectMessage([&] { cf.CalcLinFit(k, d, q); }, "CalcLinFit: not enough data points");
  cf.EnterStatValue(0, 0);
  cf.EnterStatValue(1, 1);
  cf.EnterStatValue(2, 2);
  cf.CalcLinFit(k, d, q);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(q, 1);
  double r, cx, cy;
  ExpectMessage([&] { cf.CalcCircleFit(r, cx, cy); }, "CalcCircleFit: radius is infinite");

  TCurveFit vert, flat;
  for (int i = 0; i < 7; ++i) {
    vert.EnterStatValue(0.1, i);  // 0.1 is not exact in binary
    flat.EnterStatValue(i, 0.3);
  }
  vert.CalcLinFit(k, d, q);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(q, 0);
  flat.CalcLinFit(k, d, q);
  EXPECT_NEAR(k, 0, 1e-16);
  EXPECT_NEAR(d, 0.3, 1e-15);
  EXPECT_EQ(q, 1.0);
}

TEST(CurveFitLin, NoisyDataFarFromTheOriginMatchesTwoPassFormulas) {
  TCurveFit cf;
  for (int i = 0; i < 60; ++i) {
    const double x = 1e7 + 0.5 * i;
    cf.EnterStatValue(x, 2.5e9 - 3 * x + 4 * Noise(i));
  }
  double k, d, q, rk, rd, rq;
  cf.CalcLinFit(k, d, q);
  RefLine(cf, rk, rd, rq);
  EXPECT_NEAR(k, rk, 1e-10 * std::fabs(rk));
  EXPECT_NEAR(d, rd, 1e-9 * std::fabs(rd));
  EXPECT_NEAR(q, rq, 1e-9);
  EXPECT_LT(q, 1.0);
}

TEST(CurveFitParabola, ExactAndNoisyData) {
  TCurveFit cf;
  double k0, k1, k2, q;
  cf.EnterStatValue(1, 1);
  cf.EnterStatValue(2, 1);
  ExpectMessage([&] { cf.CalcParabolFit(k0, k1, k2, q); },
                "CalcParabolFit: not enough data points");
  cf.Init();
  for (int i = 0; i < 10; ++i) cf.EnterStatValue(i, 1 - 2 * i + 0.5 * i * i);
  cf.CalcParabolFit(k0, k1, k2, q);
  EXPECT_NEAR(k0, 1, 1e-12);
  EXPECT_NEAR(k1, -2, 1e-12);
  EXPECT_NEAR(k2, 0.5, 1e-13);
  EXPECT_NEAR(q, 1, 1e-14);

  TCurveFit noisy;
  for (int i = 0; i < 40; ++i) {
    const double xi = 100 + 0.25 * i;
    noisy.EnterStatValue(xi, 3 - 0.2 * xi + 0.01 * xi * xi + 0.3 * Noise(i));
  }
  noisy.CalcParabolFit(k0, k1, k2, q);
  ExpectNormalEquations(
      noisy, [&](double x, double y) { return y - (k0 + k1 * x + k2 * x * x); },
      {kOne, kX, kX2}, "parabola", 1e-7);
  EXPECT_NEAR(q, R2(noisy, [&](double t) { return k0 + k1 * t + k2 * t * t; }), 1e-9);

  TCurveFit flat;
  for (int i = 0; i < 5; ++i) flat.EnterStatValue(i, -4);
  flat.CalcParabolFit(k0, k1, k2, q);
  EXPECT_EQ(q, 1.0);
  EXPECT_NEAR(k0, -4, 1e-14);
}

TEST(CurveFitCircle, ExactAndNoisyPoints) {
  TCurveFit cf;
  double r, cx, cy;
  cf.EnterStatValue(1, 0);
  cf.EnterStatValue(0, 1);
  ExpectMessage([&] { cf.CalcCircleFit(r, cx, cy); }, "CalcCircleFit: not enough data points");
  cf.Init();
  for (int k = 0; k < 9; ++k) cf.EnterStatValue(3 + 5 * std::cos(0.3 * k), -2 + 5 * std::sin(0.3 * k));
  cf.CalcCircleFit(r, cx, cy);
  EXPECT_NEAR(cx, 3, 1e-10);
  EXPECT_NEAR(cy, -2, 1e-10);
  EXPECT_NEAR(r, 5, 1e-10);

  // Noisy: the algebraic fit makes (x−cx)² + (y−cy)² − r² orthogonal to x, y and 1.
  TCurveFit noisy;
  for (int k = 0; k < 30; ++k) {
    const double rr = 2 + 0.1 * Noise(k);
    noisy.EnterStatValue(-1 + rr * std::cos(0.2 * k), 4 + rr * std::sin(0.2 * k));
  }
  noisy.CalcCircleFit(r, cx, cy);
  ExpectNormalEquations(
      noisy, [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) - r * r; },
      {kOne, kX, [](double, double y) { return y; }}, "circle");
}

// ---- polynomials ------------------------------------------------------------------------------

TEST(CurveFitPoly, OrderOneReproducesTheLineAndCubicsAreRecovered) {
  TCurveFit cf;
  for (int i = 0; i < 25; ++i) cf.EnterStatValue(0.3 * i, 1.5 - 0.8 * 0.3 * i + 0.2 * Noise(i));
  double k, d, q, pq;
  bool ns = true;
  cf.CalcLinFit(k, d, q);
  std::vector<double> c(2);
  ASSERT_TRUE(cf.CalcPolyFit(1, c, pq, ns));
  EXPECT_FALSE(ns);
  EXPECT_NEAR(c[0], d, 1e-12);
  EXPECT_NEAR(c[1], k, 1e-12);
  EXPECT_NEAR(pq, q, 1e-12);

  TCurveFit cub;
  for (int i = -6; i <= 6; ++i) {
    const double x = 0.5 * i;
    cub.EnterStatValue(x, 2 - x + 0.5 * x * x - 0.1 * x * x * x);
  }
  std::vector<double> k3(5, 99.0);
  AbortMathProc = true;  // the fit clears a stale abort request
  ASSERT_TRUE(cub.CalcPolyFit(3, k3, pq, ns));
  EXPECT_NEAR(k3[0], 2, 1e-12);
  EXPECT_NEAR(k3[1], -1, 1e-12);
  EXPECT_NEAR(k3[2], 0.5, 1e-12);
  EXPECT_NEAR(k3[3], -0.1, 1e-12);
  EXPECT_EQ(k3[4], 99.0);  // beyond nOrder + 1: untouched
  EXPECT_NEAR(pq, 1, 1e-14);
  EXPECT_FALSE(ns);
}

TEST(CurveFitPoly, NoisyResidualsAreOrthogonalToEveryPower) {
  TCurveFit cf;
  for (int i = 0; i < 80; ++i) {
    const double x = -2 + 0.05 * i;
    cf.EnterStatValue(x, std::exp(x) + 0.05 * Noise(i));
  }
  std::vector<double> c(5);
  double q;
  bool ns;
  ASSERT_TRUE(cf.CalcPolyFit(4, c, q, ns));
  auto poly = [&](double x) { return c[0] + x * (c[1] + x * (c[2] + x * (c[3] + x * c[4]))); };
  ExpectNormalEquations(cf, [&](double x, double y) { return y - poly(x); },
                        {kOne, kX, kX2, [](double x, double) { return x * x * x; },
                         [](double x, double) { return x * x * x * x; }},
                        "powers");
  // FitQual is the squared correlation of fitted and observed values.
  EXPECT_NEAR(q, R2(cf, poly), 1e-12);
}

TEST(CurveFitPoly, TooFewPairsGiveTheMinimumNormInterpolantAndBadArraysRaise) {
  TCurveFit cf;
  std::vector<double> c(5);
  double q;
  bool ns;
  EXPECT_FALSE(cf.CalcPolyFit(2, c, q, ns));
  cf.EnterStatValue(-1, 2);
  cf.EnterStatValue(0, 1);
  cf.EnterStatValue(2, 5);
  ASSERT_TRUE(cf.CalcPolyFit(4, c, q, ns));
  EXPECT_TRUE(ns);
  for (int i = 1; i <= 3; ++i) {
    const double x = cf.DataX(i);
    EXPECT_NEAR(c[0] + x * (c[1] + x * (c[2] + x * (c[3] + x * c[4]))), cf.DataY(i), 1e-12);
  }
  std::vector<double> small(2);
  EXPECT_THROW(cf.CalcPolyFit(2, small, q, ns), EQMXMath2Error);
  // Constant y: the correlation is undefined and FitQual is 0, also with a rounding residue.
  TCurveFit flat;
  for (int i = 0; i < 9; ++i) flat.EnterStatValue(1e3 + 0.1 * i, 0.3);
  ASSERT_TRUE(flat.CalcPolyFit(2, c, q, ns));
  EXPECT_EQ(q, 0.0);
  EXPECT_NEAR(c[0] + 1e3 * (c[1] + 1e3 * c[2]), 0.3, 1e-12);
  double shift = 0;
  EXPECT_THROW(cf.CalcCenteredPolyFit(3, small, shift, q, ns), EQMXMath2Error);
}

TEST(CurveFitPoly, CenteredFitShiftsScalesAndHandlesFarData) {
  TCurveFit cf;
  for (int i = 0; i <= 20; ++i) {
    const double t = 0.5 * i - 5;  // x − 5
    cf.EnterStatValue(5 + t, 1 + t * t);
  }
  std::vector<double> c(3);
  double shift = 5, q;
  bool ns;
  ASSERT_TRUE(cf.CalcCenteredPolyFit(2, c, shift, q, ns));
  EXPECT_EQ(shift, 5);
  EXPECT_NEAR(c[0], 1, 1e-12);
  EXPECT_NEAR(c[1], 0, 1e-12);
  EXPECT_NEAR(c[2], 1, 1e-12);
  EXPECT_NEAR(q, 1, 1e-14);

  // Far from the origin the powers of x are nearly collinear; the centred powers are not.
  TCurveFit far;
  for (int i = 0; i <= 30; ++i) {
    const double t = 0.1 * i - 1.5;
    far.EnterStatValue(1e6 + 3 + t, 4 - 2 * t + 0.5 * t * t * t);
  }
  std::vector<double> f(4);
  shift = 0;
  ASSERT_TRUE(far.CalcCenteredPolyFit(3, f, shift, q, ns));
  EXPECT_NEAR(shift, 1e6 + 3, 1e-9);  // the mean of x
  EXPECT_NEAR(f[0], 4, 1e-8);
  EXPECT_NEAR(f[1], -2, 1e-8);
  EXPECT_NEAR(f[2], 0, 1e-8);
  EXPECT_NEAR(f[3], 0.5, 1e-8);
  EXPECT_FALSE(ns);

  // A constant column is not scaled: the slope term drops out and the mean remains.
  TCurveFit flat;
  for (int i = 0; i < 4; ++i) flat.EnterStatValue(2, i);
  std::vector<double> g(2);
  shift = 0;
  ASSERT_TRUE(flat.CalcCenteredPolyFit(1, g, shift, q, ns));
  EXPECT_EQ(shift, 2);
  EXPECT_TRUE(ns);
  EXPECT_NEAR(g[0], 1.5, 1e-14);
  EXPECT_EQ(g[1], 0);
}

// ---- linearised models ------------------------------------------------------------------------

namespace {

struct Model2 {
  const char* name;
  void (TCurveFit::*fit)(double&, double&, double&) const;
  double k0, k1, lo, hi;
  std::function<double(double, double, double)> f;  // y(k0, k1, x)
  std::function<double(double)> u, v;                // linearising transforms
  std::function<double(double)> a;                   // intercept of v = a + b·u from k0
};

std::vector<Model2> Models() {
  auto id = [](double t) { return t; };
  auto rec = [](double t) { return 1 / t; };
  auto ln = [](double t) { return std::log(t); };
  return {
      {"ReciLin", &TCurveFit::CalcReciLinFit, 0.5, 0.2, 0, 10,
       [](double a, double b, double x) { return 1 / (a + b * x); }, id, rec, id},
      {"Hyperbol", &TCurveFit::CalcHyperbolFit, 2, 3, 0.5, 10,
       [](double a, double b, double x) { return a + b / x; }, rec, id, id},
      {"ReciHyperbol", &TCurveFit::CalcReciHyperbolFit, 0.5, 2, 0.5, 10,
       [](double a, double b, double x) { return x / (a * x + b); }, rec, rec, id},
      {"Log", &TCurveFit::CalcLogFit, 1, 2, 0.5, 10,
       [](double a, double b, double x) { return a + b * std::log(x); }, ln, id, id},
      {"ReciLog", &TCurveFit::CalcReciLogFit, 1, 0.5, 0.5, 10,
       [](double a, double b, double x) { return 1 / (a + b * std::log(x)); }, ln, rec, id},
      {"Power", &TCurveFit::CalcPowerFit, 2, 1.5, 0.5, 10,
       [](double a, double b, double x) { return a * std::pow(x, b); }, ln, ln, ln},
      {"Exponential", &TCurveFit::CalcExponentialFit, 3, -0.4, 0, 10,
       [](double a, double b, double x) { return a * std::exp(b * x); }, id, ln, ln},
  };
}

}  // namespace

TEST(CurveFitModels, ExactDataRecoverTheParameters) {
  for (const auto& m : Models()) {
    TCurveFit cf;
    for (int i = 0; i <= 40; ++i) {
      const double x = m.lo + (m.hi - m.lo) * i / 40.0;
      cf.EnterStatValue(x, m.f(m.k0, m.k1, x));
    }
    double k0, k1, q;
    (cf.*m.fit)(k0, k1, q);
    EXPECT_NEAR(k0, m.k0, 1e-11 * std::fabs(m.k0)) << m.name;
    EXPECT_NEAR(k1, m.k1, 1e-11 * std::fabs(m.k1)) << m.name;
    EXPECT_NEAR(q, 1.0, 1e-13) << m.name;
  }
}

TEST(CurveFitModels, NoisyDataSatisfyTheLinearisedNormalEquations) {
  for (const auto& m : Models()) {
    TCurveFit cf;
    for (int i = 0; i <= 60; ++i) {
      const double x = m.lo + (m.hi - m.lo) * i / 60.0;
      cf.EnterStatValue(x, m.f(m.k0, m.k1, x) * (1 + 0.03 * Noise(i)));
    }
    double k0, k1, q;
    (cf.*m.fit)(k0, k1, q);
    ExpectNormalEquations(
        cf, [&](double x, double y) { return m.v(y) - (m.a(k0) + k1 * m.u(x)); },
        {kOne, [&](double x, double) { return m.u(x); }}, m.name);
    EXPECT_NEAR(q, R2(cf, [&](double x) { return m.f(k0, k1, x); }), 1e-10) << m.name;
    EXPECT_LT(q, 1.0) << m.name;
    EXPECT_GT(q, 0.9) << m.name;
  }
}

TEST(CurveFitModels, DataOutsideAModelsDomainRaise) {
  double a, b, c, q;
  auto with = [](double x, double y) {
    auto* cf = new TCurveFit;
    cf->EnterStatValue(1, 1);
    cf->EnterStatValue(2, 3);
    cf->EnterStatValue(x, y);
    return std::unique_ptr<TCurveFit>(cf);
  };
  ExpectMessage([&] { with(0, 1)->CalcPowerFit(a, b, q); },
                "CalcPowerFit: all x and y must be positive");
  ExpectMessage([&] { with(3, -1)->CalcExponentialFit(a, b, q); },
                "CalcExponentialFit: all y must be positive");
  ExpectMessage([&] { with(-1, 1)->CalcLogFit(a, b, q); }, "CalcLogFit: all x must be positive");
  ExpectMessage([&] { with(3, 0)->CalcReciLogFit(a, b, q); },
                "CalcReciLogFit: all x must be positive and no y may be zero");
  ExpectMessage([&] { with(3, 0)->CalcReciLinFit(a, b, q); }, "CalcReciLinFit: no y may be zero");
  ExpectMessage([&] { with(0, 2)->CalcHyperbolFit(a, b, q); }, "CalcHyperbolFit: no x may be zero");
  ExpectMessage([&] { with(4, 0)->CalcReciHyperbolFit(a, b, q); },
                "CalcReciHyperbolFit: no x or y may be zero");
  ExpectMessage([&] { with(3, 0)->CalcGaussFit(a, b, c, q); },
                "CalcGaussFit: all y must be positive");
  ExpectMessage([&] { with(-2, 1)->CalcHoerlFit(a, b, c, q); },
                "CalcHoerlFit: all x and y must be positive");
  // Negative x is fine where no logarithm or reciprocal of x is taken.
  with(-3, 2)->CalcExponentialFit(a, b, q);
  EXPECT_GT(a, 0);
  TCurveFit one;
  one.EnterStatValue(1, 1);
  ExpectMessage([&] { one.CalcPowerFit(a, b, q); }, "CalcPowerFit: not enough data points");
  // x that does not vary leaves the slope undefined: all outputs 0.
  TCurveFit same;
  for (int i = 1; i <= 4; ++i) same.EnterStatValue(2, i);
  same.CalcPowerFit(a, b, q);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(q, 0);
}

TEST(CurveFitModels, GaussAndHoerlThreeParameterFits) {
  TCurveFit g, h;
  for (int i = 0; i <= 28; ++i) {
    const double x = -2 + 0.25 * i;
    g.EnterStatValue(x, 2 * std::exp(-(x - 1.5) * (x - 1.5) / 3));
    const double xh = 0.5 + 0.25 * i;
    h.EnterStatValue(xh, 2 * std::pow(1.5, xh) * std::pow(xh, 0.7));
  }
  double k0, k1, k2, q;
  g.CalcGaussFit(k0, k1, k2, q);
  EXPECT_NEAR(k0, 2, 1e-10);
  EXPECT_NEAR(k1, 1.5, 1e-10);
  EXPECT_NEAR(k2, 3, 1e-10);
  EXPECT_NEAR(q, 1, 1e-13);
  h.CalcHoerlFit(k0, k1, k2, q);
  EXPECT_NEAR(k0, 2, 1e-10);
  EXPECT_NEAR(k1, 1.5, 1e-10);
  EXPECT_NEAR(k2, 0.7, 1e-10);
  EXPECT_NEAR(q, 1, 1e-13);

  TCurveFit gn, hn;
  for (int i = 0; i <= 50; ++i) {
    const double x = -2 + 0.15 * i;
    gn.EnterStatValue(x, 2 * std::exp(-(x - 1.5) * (x - 1.5) / 3) * std::exp(0.05 * Noise(i)));
    const double xh = 0.5 + 0.15 * i;
    hn.EnterStatValue(xh, 2 * std::pow(1.5, xh) * std::pow(xh, 0.7) * std::exp(0.05 * Noise(i)));
  }
  gn.CalcGaussFit(k0, k1, k2, q);
  ExpectNormalEquations(
      gn, [&](double x, double y) { return std::log(y) - std::log(k0) + (x - k1) * (x - k1) / k2; },
      {kOne, kX, kX2}, "gauss");
  EXPECT_NEAR(q, R2(gn, [&](double t) { return k0 * std::exp(-(t - k1) * (t - k1) / k2); }), 1e-10);
  hn.CalcHoerlFit(k0, k1, k2, q);
  ExpectNormalEquations(
      hn,
      [&](double x, double y) {
        return std::log(y) - (std::log(k0) + x * std::log(k1) + k2 * std::log(x));
      },
      {kOne, kX, [](double x, double) { return std::log(x); }}, "hoerl");
  EXPECT_NEAR(q, R2(hn, [&](double t) { return k0 * std::pow(k1, t) * std::pow(t, k2); }), 1e-10);
}

// ---- splines ----------------------------------------------------------------------------------

TEST(CurveFitSpline, NaturalHandValueAndClampedCubicReproduction) {
  TCurveFit cf;
  EXPECT_EQ(cf.CubicSpline(1), 0);
  cf.EnterStatValue(1, 1);
  EXPECT_EQ(cf.CubicSpline(5), 1);
  cf.EnterStatValue(0, 0);
  cf.EnterStatValue(2, 0);
  // M1 = −3 from (1/6·0 + 2/3·M1 + 1/6·0) = −2; at 0.5: 0.5 + 0.375·3/6
  EXPECT_NEAR(cf.CubicSpline(0.5), 0.6875, 1e-15);
  EXPECT_NEAR(cf.CubicSpline(1.5), 0.6875, 1e-15);
  EXPECT_NEAR(cf.CubicSpline(1), 1, 1e-15);
  EXPECT_NEAR(cf.CubicSpline(2), 0, 1e-15);
  // Mixed ends: slope 5 at the first knot, zero curvature at the last.
  cf.SetNatural1(false);
  cf.SetY1Dash(5);
  const double h = 1e-5;
  EXPECT_NEAR((cf.CubicSpline(h) - cf.CubicSpline(0)) / h, 5, 1e-3);
  EXPECT_NEAR((cf.CubicSpline(2) - 2 * cf.CubicSpline(2 - h) + cf.CubicSpline(2 - 2 * h)) / (h * h), 0,
              1e-3);
  EXPECT_NEAR(cf.CubicSpline(1), 1, 1e-15);

  TCurveFit cub;
  auto p = [](double x) { return x * x * x - 2 * x + 1; };
  for (int i = 5; i >= 0; --i) cub.EnterStatValue(i, p(i));  // unsorted input
  cub.SetNatural1(false);
  cub.SetNaturalN(false);
  cub.SetY1Dash(-2);
  cub.SetYNDash(73);
  EXPECT_FALSE(cub.SplineNatural1());
  EXPECT_EQ(cub.SplineDerivYN(), 73);
  for (double x : {0.1, 1.7, 2.3, 4.99, 6.0, -0.5}) EXPECT_NEAR(cub.CubicSpline(x), p(x), 1e-11) << x;
  // The end settings take effect at once (the cached spline is redone).
  const double before = cub.CubicSpline(0.3);
  cub.SetY1Dash(10);
  EXPECT_GT(std::fabs(cub.CubicSpline(0.3) - before), 0.1);
}

TEST(CurveFitSpline, EqualXAreMergedAndFlipRebuilds) {
  TCurveFit cf;
  cf.EnterStatValue(0, 0);
  cf.EnterStatValue(1, 0);
  cf.EnterStatValue(1, 2);
  cf.EnterStatValue(2, 2);
  EXPECT_NEAR(cf.CubicSpline(1), 1, 1e-15);
  TCurveFit line;
  for (int i = 0; i <= 4; ++i) line.EnterStatValue(i, 2 * i);
  EXPECT_NEAR(line.CubicSpline(2.5), 5, 1e-14);
  double fq;
  bool ok;
  EXPECT_NEAR(line.SmoothedSpline(2.5, fq, ok), 5, 1e-14);
  line.FlipXY();
  EXPECT_NEAR(line.CubicSpline(5), 2.5, 1e-14);
  EXPECT_NEAR(line.SmoothedSpline(5, fq, ok), 2.5, 1e-14);
}

TEST(CurveFitSmoothing, EndsOfTheScaleAreInterpolationAndTheLeastSquaresLine) {
  TCurveFit cf;
  double fq;
  bool ok = true;
  EXPECT_EQ(cf.SmoothedSpline(1, fq, ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(cf.SplineSmoothingFactor(), 0.5);
  cf.EnterStatValue(0, 0);
  cf.EnterStatValue(1, 1);
  cf.EnterStatValue(2, 0);
  cf.SetSplineSmoothing(1.0);
  EXPECT_NEAR(cf.SmoothedSpline(0.5, fq, ok), 0.6875, 1e-15);
  EXPECT_TRUE(ok);
  EXPECT_NEAR(fq, 1, 1e-15);

  TCurveFit noisy;
  for (int i = 0; i < 30; ++i) noisy.EnterStatValue(0.3 * i + 0.05 * Noise(3 * i), std::sin(0.3 * i) + 0.2 * Noise(i));
  noisy.SetSplineSmoothing(0.0);
  double k, d, r2;
  RefLine(noisy, k, d, r2);
  for (double x : {-1.0, 0.0, 3.3, 8.7, 12.0})
    EXPECT_NEAR(noisy.SmoothedSpline(x, fq, ok), k * x + d, 1e-10) << x;
  EXPECT_NEAR(fq, r2, 1e-10);
  noisy.SetSplineSmoothing(1.0);
  noisy.SmoothedSpline(1, fq, ok);
  EXPECT_NEAR(fq, 1, 1e-12);
  for (int i = 1; i <= 30; ++i)
    EXPECT_NEAR(noisy.SmoothedSpline(noisy.DataX(i), fq, ok), noisy.DataY(i), 1e-11);

  TCurveFit single;
  single.EnterStatValue(2, 1);
  single.EnterStatValue(2, 3);
  EXPECT_EQ(single.SmoothedSpline(7, fq, ok), 2);
  EXPECT_FALSE(ok);
}

TEST(CurveFitSmoothing, IntermediateFactorSatisfiesTheOptimalityConditions) {
  // Minimising p·Σ(y − g)² + (1 − p)·∫g''² forces, at every knot x_i, the jump of g''' to be
  // p/(1 − p)·(y_i − g(x_i)), and residuals orthogonal to 1 and x.
  TCurveFit cf;
  std::vector<double> xs;
  for (int i = 0; i < 25; ++i) {
    const double x = 0.4 * i + 0.1 * std::fabs(Noise(7 * i));
    xs.push_back(x);
    cf.EnterStatValue(x, std::cos(x) + 0.3 * Noise(i));
  }
  const double p = 0.3;
  cf.SetSplineSmoothing(p);
  double fq;
  bool ok;
  auto g = [&](double x) { return cf.SmoothedSpline(x, fq, ok); };
  // Third derivative of the cubic piece around t from four samples inside it.
  auto third = [&](double a, double b) {
    const double h = (b - a) / 5, t[4] = {a + h, a + 2 * h, a + 3 * h, a + 4 * h};
    double f[4];
    for (int j = 0; j < 4; ++j) f[j] = g(t[j]);
    for (int lvl = 1; lvl < 4; ++lvl)
      for (int j = 3; j >= lvl; --j) f[j] = (f[j] - f[j - 1]) / (t[j] - t[j - lvl]);
    return 6 * f[3];
  };
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double left = i == 0 ? 0.0 : third(xs[i - 1], xs[i]);
    const double right = i + 1 == xs.size() ? 0.0 : third(xs[i], xs[i + 1]);
    EXPECT_NEAR(right - left, p / (1 - p) * (cf.DataY(int(i) + 1) - g(xs[i])), 1e-6) << i;
  }
  EXPECT_TRUE(ok);
  ExpectNormalEquations(cf, [&](double x, double y) { return y - g(x); }, {kOne, kX}, "smooth",
                        1e-10);
  EXPECT_NEAR(fq, R2(cf, g), 1e-12);
  EXPECT_GT(fq, 0.3);
  EXPECT_LT(fq, 1.0);
}

TEST(CurveFitLinearised, FitQualOfSmallSpreadAroundLargeLevelIsNotPerfect) {
  // Twelve values 1e6 +- 1e-4 (a pattern with little trend) against x = 0.4..4.8.
  const double dev[12] = {1, -1, 1, 1, -1, -1, 1, -1, -1, 1, 1, -1};
  TCurveFit cf;
  std::vector<double> xs, ys;
  for (int i = 0; i < 12; ++i) {
    xs.push_back(0.4 * (i + 1));
    ys.push_back(1e6 + 1e-4 * dev[i]);
    cf.EnterStatValue(xs.back(), ys.back());
  }
  auto r2 = [&](auto f) {
    long double my = 0, res = 0, tot = 0;
    for (double y : ys) my += y;
    my /= 12;
    for (int i = 0; i < 12; ++i) {
      res += (ys[i] - f(xs[i])) * (ys[i] - f(xs[i]));
      tot += (ys[i] - my) * (ys[i] - my);
    }
    return static_cast<double>(1 - res / tot);
  };
  double k0, k1, q;
  cf.CalcLogFit(k0, k1, q);
  EXPECT_LT(q, 0.2);
  EXPECT_NEAR(q, r2([&](double x) { return k0 + k1 * std::log(x); }), 1e-3);
  cf.CalcExponentialFit(k0, k1, q);
  EXPECT_LT(q, 0.2);
  EXPECT_NEAR(q, r2([&](double x) { return k0 * std::exp(k1 * x); }), 1e-3);
  // Exactly constant y are still a perfect fit.
  TCurveFit c2;
  for (int i = 1; i <= 5; ++i) c2.EnterStatValue(i, 1e6);
  c2.CalcExponentialFit(k0, k1, q);
  EXPECT_EQ(q, 1.0);
}
