// Two-sample t and Mann-Whitney tests, and the Shapiro-Wilk normality test.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "math1/order.h"
#include "qmx/statis.h"
#include "qmx/vector.h"
#include "statis/accurate.h"

namespace qmx {

namespace {

using acc::LD;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool AllFinite(std::span<const double> x) {
  return std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
}

// Mean and (n - 1) variance by two passes in extended precision; the variance of one value is 0.
void MeanVariance(std::span<const double> x, LD& mean, LD& var) {
  const std::size_t n = x.size();
  LD s = 0;
  for (double v : x) s += v;
  mean = s / LD(n);
  LD q = 0, c = 0;
  for (double v : x) {
    const LD d = v - mean;
    q += d * d;
    c += d;
  }
  var = n > 1 ? (q - c * c / LD(n)) / LD(n - 1) : 0;
  if (var < 0) var = 0;
}

// Two-sided P(|T| >= |t|) and one-sided P(T >= t) for Student's t with nu (possibly
// fractional) degrees of freedom: I_{nu/(nu+t^2)}(nu/2, 1/2).
void TPValues(LD t, LD nu, LD& two, LD& upper) {
  const LD t2 = t * t, den = nu + t2;
  LD I, Ic;
  acc::BetaI(nu / 2, 0.5L, nu / den, t2 / den, I, Ic);
  two = std::min(I, 1.0L);
  upper = t > 0 ? two / 2 : 1 - two / 2;
}

}  // namespace

double Perform2SampleTTest(const TVector* data1, const TVector* data2, TtTestVersion version,
                           bool OneSided, double& t, double& df, double& Mean1, double& Mean2,
                           double& StdDev1, double& StdDev2, double& StdErrDiff,
                           int32_t& Status) {
  t = df = Mean1 = Mean2 = StdDev1 = StdDev2 = StdErrDiff = kNaN;
  auto fail = [&](int32_t s) {
    Status = s;
    return double(s);
  };
  if (!data1 || !data2) return fail(-1);
  const auto x1 = data1->Data(), x2 = data2->Data();
  const int64_t n1 = data1->NrOfElem(), n2 = data2->NrOfElem();
  if (version == ttPaired && n1 != n2) return fail(-2);
  if (version == ttPaired ? n1 < 2
                          : (version == ttHeteroScedastic ? (n1 < 2 || n2 < 2) : n1 + n2 < 3))
    return fail(-1);
  if (!AllFinite(x1) || !AllFinite(x2)) return fail(-4);
  LD m1, v1, m2, v2, tt, nu, se;
  MeanVariance(x1, m1, v1);
  MeanVariance(x2, m2, v2);
  if (version == ttPaired) {
    std::vector<double> d(static_cast<std::size_t>(n1));
    for (int64_t i = 0; i < n1; ++i) d[i] = x1[i] - x2[i];
    LD md, vd;
    MeanVariance(d, md, vd);
    se = std::sqrt(vd / LD(n1));
    nu = LD(n1 - 1);
    // The mean difference straight from the differences (exact for the differences as stored).
    tt = md / se;
  } else if (version == ttHomoScedastic) {
    nu = LD(n1 + n2 - 2);
    const LD sp2 = (LD(n1 - 1) * v1 + LD(n2 - 1) * v2) / nu;
    se = std::sqrt(sp2 * (1 / LD(n1) + 1 / LD(n2)));
    tt = (m1 - m2) / se;
  } else {
    const LD a = v1 / LD(n1), b = v2 / LD(n2);
    se = std::sqrt(a + b);
    nu = (a + b) * (a + b) / (a * a / LD(n1 - 1) + b * b / LD(n2 - 1));
    tt = (m1 - m2) / se;
  }
  Mean1 = double(m1);
  Mean2 = double(m2);
  StdDev1 = double(std::sqrt(v1));
  StdDev2 = double(std::sqrt(v2));
  if (!(se > 0)) return fail(-3);
  StdErrDiff = double(se);
  t = double(tt);
  df = double(nu);
  LD two, upper;
  TPValues(tt, nu, two, upper);
  Status = 0;
  return double(OneSided ? upper : two);
}

double Perform2SampleTTest(const TVector* data1, const TVector* data2, TtTestVersion version,
                           bool OneSided) {
  double t, df, m1, m2, s1, s2, se;
  int32_t st;
  return Perform2SampleTTest(data1, data2, version, OneSided, t, df, m1, m2, s1, s2, se, st);
}

double PerformMannWhitneyUTest(const TVector* data1, const TVector* data2, bool OneSided,
                               double& U) {
  U = kNaN;
  if (!data1 || !data2) return -1;
  const auto x1 = data1->Data(), x2 = data2->Data();
  if (x1.empty() || x2.empty()) return -1;
  if (!AllFinite(x1) || !AllFinite(x2)) return -4;
  const int64_t n1 = int64_t(x1.size()), n2 = int64_t(x2.size()), N = n1 + n2;
  // Mid-ranks of the pooled sample; sample 1's rank sum gives U, the tie groups the variance
  // correction.
  std::vector<std::pair<double, bool>> all;
  all.reserve(static_cast<std::size_t>(N));
  for (double v : x1) all.emplace_back(v, true);
  for (double v : x2) all.emplace_back(v, false);
  std::sort(all.begin(), all.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  LD R1 = 0, ties = 0;
  for (int64_t i = 0; i < N;) {
    int64_t j = i;
    while (j + 1 < N && all[j + 1].first == all[i].first) ++j;
    const LD rank = LD(i + j + 2) / 2, tcount = LD(j - i + 1);
    for (int64_t k = i; k <= j; ++k)
      if (all[k].second) R1 += rank;
    ties += tcount * tcount * tcount - tcount;
    i = j + 1;
  }
  const LD u = R1 - LD(n1) * LD(n1 + 1) / 2;
  U = double(u);
  const LD mu = LD(n1) * LD(n2) / 2;
  if (ties == 0 && n1 < 50 && n2 < 50) {
    // Exact null distribution; it is symmetric, so P(U >= u) = P(U <= n1 n2 - u).
    const int32_t ui = static_cast<int32_t>(u), M = static_cast<int32_t>(n1 * n2);
    const LD lower = UDistriIntegral(int32_t(n1), int32_t(n2), ui);
    const LD upper = UDistriIntegral(int32_t(n1), int32_t(n2), M - ui);
    if (OneSided) return double(std::min(upper, 1.0L));
    return double(std::min(1.0L, 2 * std::min(lower, upper)));
  }
  const LD sigma =
      std::sqrt(LD(n1) * LD(n2) / 12 * (LD(N + 1) - ties / (LD(N) * LD(N - 1))));
  const LD d = u - mu;
  if (!(sigma > 0)) return 1;  // every value tied: no evidence either way
  if (OneSided) return double(acc::NormalCdf(-(d - 0.5L) / sigma));
  const LD z = (d - (d > 0 ? 0.5L : (d < 0 ? -0.5L : 0))) / sigma;
  return double(std::min(1.0L, 2 * std::min(acc::NormalCdf(z), acc::NormalCdf(-z))));
}

int32_t ShapiroWilkTest(const TVector* data, int32_t Sorted, double& W, double& PValue) {
  W = PValue = kNaN;
  if (!data) return 1;
  const int32_t n = data->NrOfElem();
  if (n < 3) return 1;
  if (n > 5000) return 2;
  const auto src = data->Data();
  if (!AllFinite(src)) return 3;
  std::vector<double> sorted;
  std::span<const double> x = src;
  if (Sorted) {
    for (int32_t i = 1; i < n; ++i)
      if (x[i] < x[i - 1]) return 7;
  } else {
    sorted.assign(src.begin(), src.end());
    std::sort(sorted.begin(), sorted.end());
    x = sorted;
  }
  const LD range = LD(x[n - 1]) - LD(x[0]);
  if (!(range > 0)) return 6;

  // Coefficients of the smaller half (a[i] for the i-th value from either end, i = 1..n/2):
  // expected normal order statistics m_i = Phi^-1((i - 3/8)/(n + 1/4)); the two outermost by
  // the polynomial approximations in 1/sqrt(n), the rest scaled so the squares sum to 1.
  const int32_t nn2 = n / 2;
  std::vector<LD> a(static_cast<std::size_t>(nn2) + 1);
  const LD an = n;
  if (n == 3) {
    a[1] = std::sqrt(0.5L);
  } else {
    static const LD c1[6] = {0.0L, 0.221157L, -0.147981L, -2.07119L, 4.434685L, -2.706056L};
    static const LD c2[6] = {0.0L, 0.042981L, -0.293762L, -1.752461L, 5.682633L, -3.582633L};
    auto poly = [](const LD* c, int nc, LD x) {
      LD r = c[nc - 1];
      for (int i = nc - 2; i >= 0; --i) r = r * x + c[i];
      return r;
    };
    LD summ2 = 0;
    for (int32_t i = 1; i <= nn2; ++i) {
      a[i] = acc::NormalQuantile((LD(i) - 0.375L) / (an + 0.25L));
      summ2 += a[i] * a[i];
    }
    summ2 *= 2;
    const LD ssumm2 = std::sqrt(summ2), rsn = 1 / std::sqrt(an);
    const LD a1 = poly(c1, 6, rsn) - a[1] / ssumm2;
    int32_t i1;
    LD fac;
    if (n > 5) {
      i1 = 3;
      const LD a2 = -a[2] / ssumm2 + poly(c2, 6, rsn);
      fac = std::sqrt((summ2 - 2 * a[1] * a[1] - 2 * a[2] * a[2]) /
                      (1 - 2 * a1 * a1 - 2 * a2 * a2));
      a[2] = a2;
    } else {
      i1 = 2;
      fac = std::sqrt((summ2 - 2 * a[1] * a[1]) / (1 - 2 * a1 * a1));
    }
    a[1] = a1;
    for (int32_t i = i1; i <= nn2; ++i) a[i] /= -fac;
  }
  // Coefficient of the i-th smallest value (0-based): all a are positive; -a at the low end,
  // +a at the high end, 0 for the middle value of an odd sample.
  auto coef = [&](int32_t i) -> LD {
    const int32_t j = n - 1 - i;
    if (i == j) return 0;
    return i < j ? -a[i + 1] : a[j + 1];
  };
  // W as the squared correlation of data and coefficients, 1 - W formed without cancellation.
  LD sa = 0, sx = 0;
  for (int32_t i = 0; i < n; ++i) {
    sa += coef(i);
    sx += x[i] / range;
  }
  sa /= n;
  sx /= n;
  LD ssa = 0, ssx = 0, sax = 0;
  for (int32_t i = 0; i < n; ++i) {
    const LD asa = coef(i) - sa, xsx = x[i] / range - sx;
    ssa += asa * asa;
    ssx += xsx * xsx;
    sax += asa * xsx;
  }
  const LD ssassx = std::sqrt(ssa * ssx);
  const LD w1 = (ssassx - sax) * (ssassx + sax) / (ssa * ssx);
  W = double(1 - w1);
  PValue = ShapiroWilkIntegral(W, n, 0);
  return 0;
}

}  // namespace qmx
