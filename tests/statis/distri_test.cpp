// Chi-square, t, F, U and Shapiro-Wilk against closed forms, identities and hand-checked table
// values. Accuracy grid: degrees of freedom 1, 2, 3, 4, 10, 30, 100, 1e3, 1e4, 1e5, 1e6 (F: all
// pairs of 1, 2, 5, 30, 1e3, 1e6), arguments spread over the whole range of the distribution,
// probabilities 1e-300 .. 1 - 1e-16. Required: relative error <= 1e-12.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "qmx/statis.h"

using namespace qmx;
using LD = long double;

namespace {

constexpr double kTol = 1e-12;
const std::vector<int> kDfs = {1, 2, 3, 4, 10, 30, 100, 1000, 10000, 100000, 1000000};
const std::vector<double> kProbs = {1e-300, 1e-200, 1e-100, 1e-30, 1e-10, 1e-4, 0.01, 0.2,
                                    0.5,    0.7,    0.99,   1 - 1e-6, 1 - 1e-10, 1 - 1e-16};

void ExpectRel(double got, LD want, double tol, const char* what) {
  if (want < 1e-300L) return;  // below the range where the bound is claimed
  EXPECT_LE(std::fabs((LD(got) - want) / want), tol) << what << ": got " << got << " want "
                                                      << static_cast<double>(want);
}

// P(chi2_(2a) <= x) = P(Poisson(x/2) >= a): a sum of positive terms, no cancellation.
LD Chi2EvenLower(LD x, int a) {
  const LD lam = x / 2;
  LD sum = 0;
  for (int k = a;; ++k) {
    const LD t = std::exp(k * std::log(lam) - lam - std::lgamma(LD(k) + 1));
    sum += t;
    if (k > lam && t < sum * 1e-21L) break;
  }
  return sum;
}

}  // namespace

TEST(Chi2, DistributionAgainstClosedForms) {
  for (double x : {1e-300, 1e-20, 1e-3, 0.5, 1.0, 3.0, 10.0, 50.0}) {
    // df = 2 is the exponential distribution, df = 1 the square of a normal deviate.
    ExpectRel(chi2DistriIntegral(x, 2), -std::expm1(-LD(x) / 2), kTol, "df2");
    ExpectRel(Chi2DistriDensity(x, 2), std::exp(-LD(x) / 2) / 2, kTol, "df2 density");
    ExpectRel(chi2DistriIntegral(x, 1), std::erf(std::sqrt(LD(x) / 2)), kTol, "df1");
  }
  // Even df up to 1e6: Poisson sums, on a grid around the mean reaching values near 1e-300.
  for (int df : {4, 10, 100, 1000, 10000, 100000, 1000000}) {
    const double sd = std::sqrt(2.0 * df);
    for (double z : {-30.0, -10.0, -3.0, -1.0, 0.0, 0.5}) {
      const double x = df + z * sd;
      if (x <= 0) continue;
      const LD want = Chi2EvenLower(x, df / 2);
      if (want < 1e-300L) continue;
      ExpectRel(chi2DistriIntegral(x, df), want, kTol, "even df");
      const LD a = df / 2.0L;
      const LD dens = std::exp((a - 1) * std::log(LD(x)) - LD(x) / 2 - a * std::log(2.0L) -
                               std::lgamma(a));
      ExpectRel(Chi2DistriDensity(x, df), dens, 2 * kTol, "density");
    }
  }
  EXPECT_EQ(chi2DistriIntegral(0, 5), 0);
  EXPECT_EQ(chi2DistriIntegral(-1, 5), 0);
  EXPECT_EQ(chi2DistriIntegral(1, 0), 0);
  EXPECT_TRUE(std::isinf(Chi2DistriDensity(0, 1)));
  EXPECT_EQ(Chi2DistriDensity(0, 2), 0.5);
}

TEST(Chi2, QuantileInvertsTheDistribution) {
  for (double p : kProbs) {
    ExpectRel(chi2DistriQuantile(p, 2), -2 * std::log1p(-LD(p)), kTol, "df2 quantile");
  }
  EXPECT_NEAR(chi2DistriQuantile(0.95, 10), 18.307038053275, 1e-9);  // table value
  EXPECT_NEAR(chi2DistriQuantile(0.05, 1), 0.00393214000002, 1e-12);
  for (int df : kDfs)
    for (double p : kProbs) {
      const double x = chi2DistriQuantile(p, df);
      if (x < 1e-290) continue;  // true quantile below the normal double range (df = 1, 2)
      // Inversion to 1e-12 relative in x: |F(x) - p| bounded by the slope x f(x) of F.
      const bool lower = p <= 0.5;
      const double F = chi2DistriIntegral(x, df);
      const double cond = std::fmax(1.0, x * Chi2DistriDensity(x, df) / (lower ? p : 1 - p));
      if (lower) EXPECT_LE(std::fabs(F - p) / p, kTol * cond) << df << " " << p;
      else EXPECT_LE(std::fabs(F - p), kTol * cond * (1 - p) + 1e-16) << df << " " << p;
    }
  EXPECT_EQ(chi2DistriQuantile(0, 3), 0);
  EXPECT_TRUE(std::isinf(chi2DistriQuantile(1, 3)));
}

TEST(StudentT, CauchyAndTwoDegreesOfFreedom) {
  const LD pi = 3.141592653589793238462643383279502884L;
  for (double t : {-1e200, -1e30, -1e5, -37.0, -3.0, -0.5, -1e-20, 0.7, 10.0}) {
    const LD T = t;
    // df = 1: 1/2 + atan(t)/pi, written without cancellation for t < 0.
    const LD c1 = t < 0 ? std::atan(-1 / T) / pi : 0.5L + std::atan(T) / pi;
    ExpectRel(tDistriIntegral(t, 1), c1, kTol, "Cauchy");
    ExpectRel(tDistriDensity(t, 1), 1 / (pi * (1 + T * T)), kTol, "Cauchy density");
    // df = 2: 1/2 + t / (2 sqrt(2 + t^2)).
    const LD r = std::sqrt(2 + T * T);
    const LD c2 = t < 0 ? 1 / (r * (r - T)) : 0.5L + T / (2 * r);
    ExpectRel(tDistriIntegral(t, 2), c2, kTol, "df2");
    ExpectRel(tDistriDensity(t, 2), 1 / (r * r * r), kTol, "df2 density");
  }
  for (int df : kDfs) {
    EXPECT_EQ(tDistriIntegral(0, df), 0.5);
    EXPECT_NEAR(tDistriIntegral(1.3, df) + tDistriIntegral(-1.3, df), 1.0, 1e-15);
    // Density at 0 in closed form: Gamma((n+1)/2) / (sqrt(n pi) Gamma(n/2)).
    const LD n = df;
    const LD f0 =
        std::exp(std::lgamma((n + 1) / 2) - std::lgamma(n / 2)) / std::sqrt(n * pi);
    ExpectRel(tDistriDensity(0, df), f0, df >= 100000 ? 5e-12 : kTol, "density at 0");
  }
}

TEST(StudentT, LargeDegreesOfFreedomAgainstReferences) {
  // References: 40-digit regularised incomplete beta, I_{n/(n+t^2)}(n/2, 1/2) / 2.
  ExpectRel(tDistriIntegral(-20, 1000000), 2.866543523695186e-89L, kTol, "-20");
  ExpectRel(tDistriIntegral(-5, 1000000), 2.866998935445371e-07L, kTol, "-5");
  ExpectRel(tDistriIntegral(-1.5, 1000000), 0.06680735911839639L, kTol, "-1.5");
  ExpectRel(tDistriIntegral(-0.3, 100000), 0.38208888959516885L, kTol, "-0.3");
  ExpectRel(tDistriIntegral(-5, 100000), 2.8713508393208365e-07L, kTol, "-5, 1e5");
}

TEST(StudentT, QuantileClosedFormsAndTable) {
  const LD pi = 3.141592653589793238462643383279502884L;
  for (double p : kProbs) {
    const LD P = p;
    if (p < 0.5) ExpectRel(tDistriQuantile(p, 1), -1 / std::tan(pi * P), kTol, "Cauchy q");
    if (p != 0.5)
      ExpectRel(tDistriQuantile(p, 2), (2 * P - 1) / std::sqrt(2 * P * (1 - P)), kTol, "df2 q");
  }
  // Next to the median t ~ (p - 1/2) / f(0): the digits of t lie in p - 1/2, not in the tail.
  for (int df : {3, 10, 1000}) {
    const LD n = df;
    const LD f0 =
        std::exp(std::lgamma((n + 1) / 2) - std::lgamma(n / 2)) / std::sqrt(n * pi);
    const double p = 0.5 - std::ldexp(1.0, -54);
    ExpectRel(tDistriQuantile(p, df), -std::ldexp(1.0L, -54) / f0, kTol, "near median");
    ExpectRel(tDistriQuantile(0.5001, df), 1e-4L / f0, 1e-7, "near median, linear term");
  }
  EXPECT_NEAR(tDistriQuantile(0.975, 10), 2.228138851986, 1e-11);
  EXPECT_NEAR(tDistriQuantile(0.995, 30), 2.749995653567, 1e-11);
  EXPECT_NEAR(tDistriQuantile(0.975, 1000000), 1.959966, 1e-6);
  for (int df : kDfs)
    for (double p : kProbs) {
      if (p >= 0.5) continue;
      const double t = tDistriQuantile(p, df);
      const double pc = 1 - p, pp = 1 - pc;  // pp is exactly 1 - pc
      EXPECT_EQ(tDistriQuantile(pc, df), -tDistriQuantile(pp, df));
      const double F = tDistriIntegral(t, df);
      const double cond = std::fmax(1.0, std::fabs(t) * tDistriDensity(t, df) / p);
      EXPECT_LE(std::fabs(F - p) / p, kTol * cond) << df << " " << p;
    }
}

TEST(FDistri, IdentitiesWithTAndClosedForms) {
  // F(1, n) is t squared: P(F > s^2) = 2 P(T <= -s), and P(F_(1,n) > x) = P(F_(n,1) < 1/x).
  for (int n : kDfs)
    for (double s : {0.5, 1.0, 2.0, 3.0, 10.0, 37.0}) {
      const double x = s * s;
      const LD twoTail = 2 * LD(tDistriIntegral(-s, n));
      if (twoTail < 1e-300L) continue;
      ExpectRel(FDistriIntegral(1 / x, n, 1), twoTail, 4 * kTol, "F(1,n) vs t");
      // density: f_F(s^2) = f_t(s) / s
      ExpectRel(FDistriDensity(x, 1, n), LD(tDistriDensity(s, n)) / s, 4 * kTol, "F density");
    }
  // F(2, n): P(F <= x) = 1 - (1 + 2x/n)^(-n/2), density (1 + 2x/n)^(-n/2 - 1).
  for (int n : kDfs)
    for (double x : {1e-300, 1e-10, 0.01, 0.5, 1.0, 3.0, 30.0, 1e5}) {
      const LD l = std::log1p(2 * LD(x) / n);
      const LD up = std::exp(-LD(n) / 2 * l);
      if (up < 1e-300L) continue;
      ExpectRel(FDistriIntegral(x, 2, n), -std::expm1(-LD(n) / 2 * l), kTol, "F(2,n)");
      ExpectRel(FDistriDensity(x, 2, n), std::exp(-(LD(n) / 2 + 1) * l), kTol, "F(2,n) dens");
      ExpectRel(FDistriIntegral(1 / x, n, 2), up, 4 * kTol, "F(n,2) swap");
    }
  EXPECT_EQ(FDistriIntegral(0, 3, 4), 0);
  EXPECT_EQ(FDistriDensity(-1, 3, 4), 0);
  EXPECT_EQ(FDistriDensity(0, 2, 4), 1);
  EXPECT_EQ(FDistriIntegral(2, 0, 4), 0);
}

TEST(FDistri, EvenDegreesOfFreedomAgainstBinomialSums) {
  // d1 = 2a, d2 = 2b even: I_x(a, b) = sum_(j=a..a+b-1) C(a+b-1, j) x^j (1-x)^(a+b-1-j), a sum
  // of positive terms evaluated here in extended precision.
  auto binomSum = [](LD x, int a, int b) {
    const int n = a + b - 1;
    const LD lx = std::log(x), ly = std::log1p(-x);
    LD sum = 0;
    for (int j = a; j <= n; ++j)
      sum += std::exp(std::lgamma(LD(n) + 1) - std::lgamma(LD(j) + 1) -
                      std::lgamma(LD(n - j) + 1) + j * lx + (n - j) * ly);
    return sum;
  };
  const int pairs[][2] = {{4, 6}, {10, 1000}, {1000, 10}, {1000, 1000}, {20, 40000}, {40000, 20}};
  for (const auto& pr : pairs)
    for (double z : {-30.0, -8.0, -2.0, 0.0, 1.0}) {
      const int d1 = pr[0], d2 = pr[1];
      // points around the mean on the scale of the spread of F
      const double sd = std::sqrt(2.0 / d1 + 2.0 / d2);
      const double f = std::exp(z * sd);
      const LD x = LD(d1) * f / (LD(d1) * f + d2);
      const LD want = binomSum(x, d1 / 2, d2 / 2);
      ExpectRel(FDistriIntegral(f, d1, d2), want, kTol, "F even df");
    }
}

TEST(FDistri, HugeDegreesOfFreedomAgainstQuadrature) {
  // References: 35-digit numerical integration of the beta density (independent of the
  // continued fraction used here).
  ExpectRel(FDistriIntegral(0.99, 1000000, 1000000), 2.5151161085307875271e-7L, kTol, "0.99");
  ExpectRel(FDistriIntegral(0.995, 1000000, 1000000), 0.0061006381868154913632L, kTol, "0.995");
  ExpectRel(FDistriIntegral(0.998, 1000000, 1000000), 0.15841316210047910131L, kTol, "0.998");
  ExpectRel(FDistriIntegral(0.9, 1000000, 999), 0.0079693716561296784184L, kTol, "0.9");
  EXPECT_NEAR(FDistriIntegral(1, 1000000, 1000000), 0.5, 1e-15);  // symmetric at 1
}

TEST(FDistri, QuantileClosedFormAndInversionGrid) {
  for (int n : {1, 2, 5, 30, 1000, 1000000})
    for (double p : kProbs) {
      // F(2, n) quantile: n/2 ((1 - p)^(-2/n) - 1)
      const LD want = LD(n) / 2 * std::expm1(-2 * std::log1p(-LD(p)) / n);
      ExpectRel(FDistriQuantile(p, 2, n), want, 2 * kTol, "F(2,n) quantile");
    }
  EXPECT_NEAR(FDistriQuantile(0.95, 5, 10), 3.325834530413, 1e-10);  // table value
  EXPECT_NEAR(FDistriQuantile(0.99, 3, 20), 4.938193382310, 1e-10);
  const std::vector<int> dfs = {1, 2, 5, 30, 1000, 1000000};
  for (int d1 : dfs)
    for (int d2 : dfs)
      for (double p : kProbs) {
        const double x = FDistriQuantile(p, d1, d2);
        if (x < 1e-290 || x > 1e290) continue;  // outside the double range for d1 or d2 = 1
        const bool lower = p <= 0.5;
        const double F = FDistriIntegral(x, d1, d2);
        const double tail = lower ? p : 1 - p;
        const double cond = std::fmax(1.0, x * FDistriDensity(x, d1, d2) / tail);
        EXPECT_LE(std::fabs(F - p), 2 * kTol * cond * tail + (lower ? 0 : 1e-16))
            << d1 << " " << d2 << " " << p;
      }
}

TEST(UDistri, ExactCountsAndTables) {
  // n1 = 3, n2 = 2: arrangements per U = 0..6 are 1, 1, 2, 2, 2, 1, 1 of 10.
  const double counts[] = {1, 1, 2, 2, 2, 1, 1};
  double cum = 0;
  for (int u = 0; u <= 6; ++u) {
    cum += counts[u];
    EXPECT_NEAR(UDistriDensity(3, 2, u), counts[u] / 10, 1e-16);
    EXPECT_NEAR(UDistriIntegral(2, 3, u), cum / 10, 1e-16);
  }
  EXPECT_EQ(UDistriDensity(3, 2, 7), 0);
  EXPECT_EQ(UDistriDensity(3, 2, -1), 0);
  EXPECT_EQ(UDistriIntegral(3, 2, 6), 1);
  // Largest exact case: P(U = 0) = 1/C(200, 100) without overflow; symmetric about n1 n2 / 2.
  const LD c200 = std::exp(std::lgamma(201.0L) - 2 * std::lgamma(101.0L));
  ExpectRel(UDistriDensity(100, 100, 0), 1 / c200, 1e-13, "1/C(200,100)");
  EXPECT_NEAR(UDistriDensity(60, 140, 1234) / UDistriDensity(60, 140, 60 * 140 - 1234), 1,
              1e-14);
  // Two-sided 5% critical values of the tables: 23 (n = 10, 10) and 127 (n = 20, 20), i.e.
  // P(U <= c) <= 0.025 < P(U <= c + 1).
  EXPECT_LE(UDistriIntegral(10, 10, 23), 0.025);
  EXPECT_GT(UDistriIntegral(10, 10, 24), 0.025);
  EXPECT_EQ(UDistriQuantile(10, 10, 0.025), 24);
  EXPECT_LE(UDistriIntegral(20, 20, 127), 0.025);
  EXPECT_EQ(UDistriQuantile(20, 20, 0.025), 128);
  EXPECT_EQ(UDistriQuantile(3, 2, 0.05), 0);   // P(U <= 0) = 0.1
  EXPECT_EQ(UDistriQuantile(3, 2, 0.1), 0);
  EXPECT_EQ(UDistriQuantile(3, 2, 0.11), 1);
  EXPECT_EQ(UDistriQuantile(3, 2, 1), 6);
  EXPECT_EQ(UDistriDensity(0, 5, 0), 0);
}

TEST(UDistri, NormalApproximationBeyond200) {
  // n1 + n2 = 201: continuity-corrected normal, mean n1 n2 / 2, variance n1 n2 (n1+n2+1) / 12.
  const double mu = 100.0 * 101 / 2, sd = std::sqrt(100.0 * 101 * 202 / 12);
  EXPECT_NEAR(UDistriIntegral(100, 101, 5000), 0.5 * std::erfc(-(5000.5 - mu) / sd / std::sqrt(2.0)),
              1e-15);
  // The switch is smooth: exact at 200 and approximate at 201 agree near the centre.
  EXPECT_NEAR(UDistriIntegral(100, 100, 4800), UDistriIntegral(100, 101, 4850), 2e-3);
  const double q = UDistriQuantile(150, 150, 0.3);
  EXPECT_GE(UDistriIntegral(150, 150, int(q)), 0.3);
  EXPECT_LT(UDistriIntegral(150, 150, int(q) - 1), 0.3);
  double total = 0;
  for (int u = 0; u <= 150 * 150; ++u) total += UDistriDensity(150, 150, u);
  EXPECT_NEAR(total, 1.0, 1e-12);
}

TEST(UDistri, SampleSizesNearTheIntegerLimit) {
  // n1 + n2 exceeds the 32-bit range: still the normal approximation, no exact counts.
  const double N = 2147483647.0;
  const double mu = N / 2, sd = std::sqrt(N * (N + 2) / 12);
  EXPECT_NEAR(UDistriIntegral(2147483647, 1, 0), 0.5 * std::erfc(-(0.5 - mu) / sd / std::sqrt(2.0)),
              1e-12);
  EXPECT_NEAR(UDistriIntegral(1, 2147483647, 0), 0.5 * std::erfc(-(0.5 - mu) / sd / std::sqrt(2.0)),
              1e-12);
  EXPECT_GE(UDistriDensity(2147483647, 2147483647, 0), 0.0);
  EXPECT_LT(UDistriDensity(2147483647, 2147483647, 0), 1e-300);
  const double q = UDistriQuantile(2147483647, 2, 0.5);
  EXPECT_NEAR(q, N, 2.0);  // the median of U is n1 n2 / 2
}

TEST(ShapiroWilk, ExactSmallSampleAndTableLevels) {
  const double pi = 3.14159265358979323846;
  // n = 3: P(W <= w) = 6/pi (asin(sqrt w) - pi/3) on [3/4, 1].
  EXPECT_NEAR(ShapiroWilkIntegral(0.9, 3), 6 / pi * (std::asin(std::sqrt(0.9)) - pi / 3), 1e-15);
  EXPECT_EQ(ShapiroWilkIntegral(0.7, 3), 0);
  EXPECT_EQ(ShapiroWilkIntegral(1.0, 3), 1);
  // Published 5% and 1% critical values (n = 5, 10, 20) give p-values near those levels.
  EXPECT_NEAR(ShapiroWilkIntegral(0.762, 5), 0.05, 0.015);
  EXPECT_NEAR(ShapiroWilkIntegral(0.842, 10), 0.05, 0.01);
  EXPECT_NEAR(ShapiroWilkIntegral(0.781, 10), 0.01, 0.003);
  EXPECT_NEAR(ShapiroWilkIntegral(0.905, 20), 0.05, 0.01);
  EXPECT_NEAR(ShapiroWilkIntegral(0.868, 20), 0.01, 0.003);
  for (int n : {4, 11, 12, 100, 5000}) {
    double prev = 0;
    for (double w = 0.5; w < 1; w += 0.01) {
      const double p = ShapiroWilkIntegral(w, n);
      EXPECT_GE(p, prev);
      EXPECT_NEAR(p + ShapiroWilkIntegral(w, n, 1), 1.0, 1e-15);
      prev = p;
    }
  }
  EXPECT_EQ(ShapiroWilkIntegral(0.9, 2), -1);
  EXPECT_EQ(ShapiroWilkIntegral(0.9, 5001), -1);
}
