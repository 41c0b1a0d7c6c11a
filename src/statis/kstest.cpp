// Kolmogorov-Smirnov and Lilliefors statistics against the normal distribution, the exact
// distribution of the one-sample statistic, its table and quantiles.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "math1/order.h"
#include "qmx/math1.h"
#include "qmx/statis.h"
#include "qmx/vector.h"
#include "statis/accurate.h"

namespace qmx {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Critical D for n = 1..20, columns TSignifLevel.
const double kKSTable[20][5] = {
    {0.900, 0.925, 0.950, 0.975, 0.995},
    {0.684, 0.726, 0.776, 0.842, 0.929},
    {0.565, 0.597, 0.642, 0.708, 0.828},
    {0.494, 0.525, 0.564, 0.624, 0.733},
    {0.446, 0.474, 0.510, 0.565, 0.669},
    {0.410, 0.436, 0.470, 0.521, 0.618},
    {0.381, 0.405, 0.438, 0.486, 0.577},
    {0.358, 0.381, 0.411, 0.457, 0.543},
    {0.339, 0.360, 0.388, 0.432, 0.514},
    {0.322, 0.342, 0.368, 0.410, 0.490},
    {0.307, 0.326, 0.352, 0.391, 0.468},
    {0.295, 0.313, 0.338, 0.375, 0.450},
    {0.284, 0.302, 0.325, 0.361, 0.433},
    {0.274, 0.292, 0.314, 0.349, 0.418},
    {0.266, 0.283, 0.304, 0.338, 0.404},
    {0.258, 0.274, 0.295, 0.328, 0.392},
    {0.250, 0.266, 0.286, 0.318, 0.381},
    {0.244, 0.259, 0.278, 0.309, 0.371},
    {0.237, 0.252, 0.272, 0.301, 0.363},
    {0.231, 0.246, 0.264, 0.294, 0.356},
};
const double kKSAsym[5] = {1.073, 1.138, 1.224, 1.358, 1.628};
const double kKSLevel[5] = {0.20, 0.15, 0.10, 0.05, 0.01};

// Lilliefors quantile polynomials, coefficients of x^0 .. x^6.
const double kLillP1[7] = {6.32207539843126,  -17.1398870006148, 38.42812675101057,
                           -45.93241384693391, 7.88697700041829,  29.79317711037858,
                           -18.48090137098585};
const double kLillP2[7] = {12.940399038404,   -53.458334259532, 186.923866119699,
                           -410.582178349305, 517.377862566267, -343.581476222384,
                           92.123451358715};

// Largest matrix of the exact method: its cost grows as m^3 log n, and m = 2 n d + 1 reaches
// thousands for a million values. Beyond it the limiting distribution is used.
constexpr int32_t kMaxExactOrder = 200;

// m x m row-major product C = A B.
void MatMul(const std::vector<double>& A, const std::vector<double>& B, std::vector<double>& C,
            int32_t m) {
  std::fill(C.begin(), C.end(), 0.0);
  for (int32_t i = 0; i < m; ++i) {
    double* c = &C[static_cast<std::size_t>(i) * m];
    const double* a = &A[static_cast<std::size_t>(i) * m];
    for (int32_t k = 0; k < m; ++k) {
      const double aik = a[k];
      if (aik == 0) continue;
      const double* b = &B[static_cast<std::size_t>(k) * m];
      for (int32_t j = 0; j < m; ++j) c[j] += aik * b[j];
    }
  }
}

// V = H^n with the decimal exponent eV beside it (V * 10^eV is the power).
void MatPower(const std::vector<double>& H, int32_t m, int32_t n, std::vector<double>& V,
              int32_t& eV) {
  if (n == 1) {
    V = H;
    eV = 0;
    return;
  }
  MatPower(H, m, n / 2, V, eV);
  std::vector<double> B(V.size());
  MatMul(V, V, B, m);
  int32_t eB = 2 * eV;
  if (n % 2 == 0) {
    V.swap(B);
    eV = eB;
  } else {
    MatMul(H, B, V, m);
    eV = eB;
  }
  const std::size_t c = static_cast<std::size_t>(m / 2) * m + m / 2;
  if (V[c] > 1e140) {
    for (double& v : V) v *= 1e-140;
    eV += 140;
  }
}

// P(D_n >= d) from the limiting Kolmogorov law at the shifted argument
// t = sqrt(n) d + 1/(6 sqrt n) + (sqrt(n) d - 1)/(4n), which absorbs the leading finite-sample
// terms: against the exact method its error is about 1e-5 absolute at n = 1000 and falls as 1/n.
double KolmogorovLimitUpper(int32_t n, double d) {
  const double rn = std::sqrt(double(n));
  const double x = rn * d + 1 / (6 * rn) + (rn * d - 1) / (4.0 * n);
  if (x < 1) {
    // 1 - sqrt(2 pi)/x sum exp(-(2k-1)^2 pi^2 / (8 x^2)): converges fast for small x.
    constexpr double pi = 3.14159265358979323846;
    const double f = -pi * pi / (8 * x * x);
    double s = 0;
    for (int k = 1; k <= 20; ++k) s += std::exp(f * (2 * k - 1) * (2 * k - 1));
    return std::clamp(1 - std::sqrt(2 * pi) / x * s, 0.0, 1.0);
  }
  double s = 0, sign = 1;
  for (int k = 1; k <= 100; ++k) {
    const double t = std::exp(-2.0 * k * k * x * x);
    s += sign * t;
    sign = -sign;
    if (t < 1e-17 * s) break;
  }
  return std::clamp(2 * s, 0.0, 1.0);
}

double DofNormal(std::span<const double> x) {
  const int32_t n = static_cast<int32_t>(x.size());
  if (x[n - 1] != x[n - 1]) return kNaN;  // NaNs sort last
  double D = 0;
  for (int32_t i = 1; i <= n; ++i) {
    const double F = static_cast<double>(acc::NormalCdf(x[i - 1]));
    D = std::max(D, std::max(std::fabs(double(i) / n - F), std::fabs(double(i - 1) / n - F)));
  }
  return D;
}

void SortInPlace(TVector* data) {
  auto x = data->Data();
  std::sort(x.begin(), x.end(), [](double a, double b) { return math1_detail::Before<true>(a, b); });
  data->Changed();
}

}  // namespace

double PerformKSNormalityTest(TVector* data, bool Sorted) {
  if (!data) return kNaN;
  if (!Sorted) SortInPlace(data);
  return DofNormal(data->Data());
}

double PerformLillieforsTest(TVector* data, bool Sorted) {
  if (!data) return kNaN;
  if (!Sorted) SortInPlace(data);
  double mean, sd;
  data->Standardize(mean, sd);
  // Without spread (or with a non-finite value) there is nothing to compare with a normal.
  if (!(sd > 0) || !std::isfinite(sd)) return kNaN;
  return DofNormal(data->Data());
}

double KSPValue(int32_t n, double d) {
  if (n < 1 || d != d) return kNaN;
  if (d <= 0) return 1;
  if (d >= 1) return 0;
  const double s = d * d * n;
  if (s > 7.24 || (s > 3.76 && n >= 100))
    return std::min(1.0, 2 * std::exp(-(2.000071 + 0.331 / std::sqrt(double(n)) + 1.409 / n) * s));
  const double nd = double(n) * d;
  const int64_t k64 = static_cast<int64_t>(nd) + 1;
  if (2 * k64 - 1 > kMaxExactOrder) return KolmogorovLimitUpper(n, d);
  const int32_t k = static_cast<int32_t>(k64), m = 2 * k - 1;
  const double h = k - nd;
  std::vector<double> H(static_cast<std::size_t>(m) * m);
  auto at = [&](int32_t i, int32_t j) -> double& {  // 1-based row i, column j
    return H[static_cast<std::size_t>(i - 1) * m + (j - 1)];
  };
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j) at(i, j) = (i - j + 1 >= 0) ? 1 : 0;
  for (int32_t i = 1; i <= m; ++i) {
    at(i, 1) -= std::pow(h, i);
    at(m, i) -= std::pow(h, m - i + 1);
  }
  if (2 * h - 1 > 0) at(m, 1) += std::pow(2 * h - 1, m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j)
      if (i - j + 1 > 0)
        for (int32_t g = 1; g <= i - j + 1; ++g) at(i, j) /= g;
  std::vector<double> Q;
  int32_t e = 0;
  MatPower(H, m, n, Q, e);
  double q = Q[static_cast<std::size_t>(k - 1) * m + (k - 1)];
  for (int32_t i = 1; i <= n; ++i) {
    q = q * i / n;
    if (q < 1e-140) {
      q *= 1e140;
      e -= 140;
    }
  }
  const double cdf = q * std::pow(10.0, e);
  return std::clamp(1 - cdf, 0.0, 1.0);
}

double KolmogSmir1SampleTestStat(int32_t n, TSignifLevel level) {
  if (level < Dot20 || level > Dot01 || n < 1) return -1;
  if (n <= 20) return kKSTable[n - 1][level];
  return kKSAsym[level] / std::sqrt(double(n));
}

double KSQuantile(int32_t n, TSignifLevel level) {
  double D = KolmogSmir1SampleTestStat(n, level);
  if (D < 0) return -1;
  const double alpha = kKSLevel[level];
  // The correction D (1 + v) converges in a few rounds; 100 rounds bound it where the p-value
  // is too flat or stepped to meet 1e-4, and the best D seen is returned then.
  double best = D, bestv = std::numeric_limits<double>::infinity();
  for (int round = 0; round < 100; ++round) {
    const double v = KSPValue(n, D) - alpha;
    if (std::fabs(v) < bestv) {
      bestv = std::fabs(v);
      best = D;
    }
    if (std::fabs(v) <= 1e-4) return D;
    D = std::clamp((1 + v) * D, 1e-300, 1.0);
  }
  return best;
}

double LillieforsPValue(int32_t n, double d) {
  if (n < 6) return -1;
  if (d != d) return kNaN;
  double dn = n;
  if (n > 100) {
    d = d * std::pow(dn / 100, 0.49);
    dn = 100;
  }
  const double e = -7.01256 * d * d * (dn + 2.78019) + 2.99587 * d * std::sqrt(dn + 2.78019) -
                   0.122119 + 0.97498 / std::sqrt(dn) + 1.67997 / dn;
  return std::exp(std::min(e, 0.0));
}

double LillieforsQuantile(int32_t n, double alpha) {
  const double x = 1 - alpha;
  return 1 / std::sqrt(n * Polynomial(kLillP1, 6, x) + Polynomial(kLillP2, 6, x));
}

}  // namespace qmx
