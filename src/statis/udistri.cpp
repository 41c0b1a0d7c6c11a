// Null distribution of the Mann-Whitney statistic U and the Shapiro-Wilk p-value.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "qmx/statis.h"
#include "statis/accurate.h"

namespace qmx {

using acc::LD;

namespace {

constexpr int32_t kExactLimit = 200;  // n1 + n2 up to this: exact counts

// Unsigned 256-bit counter: the number of arrangements reaches C(200, 100) ~ 2^196, and exact
// integer sums keep the small tail probabilities free of cancellation.
struct U256 {
  uint64_t w[4] = {0, 0, 0, 0};
  void Add(const U256& o) {
    unsigned __int128 c = 0;
    for (int i = 0; i < 4; ++i) {
      c += static_cast<unsigned __int128>(w[i]) + o.w[i];
      w[i] = static_cast<uint64_t>(c);
      c >>= 64;
    }
  }
  void Sub(const U256& o) {  // requires *this >= o
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
      const uint64_t a = w[i], b = o.w[i];
      const uint64_t d = a - b - borrow;
      borrow = (a < b || (a == b && borrow)) ? 1 : 0;
      w[i] = d;
    }
  }
  LD Value() const {
    return std::ldexp(LD(w[3]), 192) + std::ldexp(LD(w[2]), 128) + std::ldexp(LD(w[1]), 64) +
           LD(w[0]);
  }
};

// Frequencies of U = 0..n1*n2 over all C(n1+n2, n1) arrangements: the coefficients of the
// Gaussian binomial [n1+n2 over m]_q, m = min(n1, n2), built factor by factor as
// G_i = G_(i-1) / (1 - q^i) * (1 - q^(n+i)). Every intermediate coefficient is non-negative,
// so unsigned arithmetic is exact.
std::vector<U256> UFrequencies(int32_t n1, int32_t n2) {
  const int32_t m = std::min(n1, n2), n = std::max(n1, n2);
  const int32_t M = m * n;
  std::vector<U256> g(static_cast<size_t>(M) + 1);
  g[0].w[0] = 1;
  for (int32_t i = 1; i <= m; ++i) {
    const int32_t deg = i * n, k = n + i;
    for (int32_t j = i; j <= deg; ++j) g[j].Add(g[j - i]);
    for (int32_t j = deg; j >= k; --j) g[j].Sub(g[j - k]);
  }
  return g;
}

// 64-bit sum: near the 32-bit limit n1 + n2 would wrap to a negative value and select the exact
// counts with an absurd allocation.
bool Exact(int32_t n1, int32_t n2) { return int64_t(n1) + n2 <= kExactLimit; }

// Normal approximation with continuity correction for larger samples.
struct UNormal {
  LD mu, sigma;
  UNormal(int32_t n1, int32_t n2) {
    const LD a = n1, b = n2;
    mu = a * b / 2;
    sigma = std::sqrt(a * b * (a + b + 1) / 12);
  }
  LD Cdf(LD u) const { return acc::NormalCdf((u + 0.5L - mu) / sigma); }
};

}  // namespace

double UDistriDensity(int32_t n1, int32_t n2, int32_t u) {
  if (n1 < 1 || n2 < 1) return 0;
  const int64_t M = int64_t(n1) * n2;
  if (u < 0 || u > M) return 0;
  if (Exact(n1, n2)) {
    const auto g = UFrequencies(n1, n2);
    U256 total;
    for (const auto& c : g) total.Add(c);
    return static_cast<double>(g[u].Value() / total.Value());
  }
  // The distribution is symmetric about M/2; take the difference in the lower half, where
  // both tail values are small and accurate.
  const UNormal nd(n1, n2);
  const LD v = (u <= M - u) ? LD(u) : LD(M - u);
  return static_cast<double>(nd.Cdf(v) - nd.Cdf(v - 1));
}

double UDistriIntegral(int32_t n1, int32_t n2, int32_t u) {
  if (n1 < 1 || n2 < 1) return 0;
  const int64_t M = int64_t(n1) * n2;
  if (u < 0) return 0;
  if (u >= M) return 1;
  if (Exact(n1, n2)) {
    const auto g = UFrequencies(n1, n2);
    U256 total, cum;
    for (int32_t j = 0; j <= M; ++j) {
      total.Add(g[j]);
      if (j == u) cum = total;
    }
    return static_cast<double>(cum.Value() / total.Value());
  }
  return static_cast<double>(UNormal(n1, n2).Cdf(u));
}

double UDistriQuantile(int32_t n1, int32_t n2, double p) {
  if (n1 < 1 || n2 < 1) return 0;
  if (std::isnan(p)) return p;
  const int64_t M = int64_t(n1) * n2;
  if (p <= 0) return 0;
  if (p >= 1) return static_cast<double>(M);
  if (Exact(n1, n2)) {
    const auto g = UFrequencies(n1, n2);
    U256 total;
    for (const auto& c : g) total.Add(c);
    // A probability that equals p up to the rounding of p itself (0.1 is not exactly 1/10)
    // counts as reaching it.
    const LD t = total.Value() * (1 - 1e-15L);
    U256 cum;
    for (int32_t j = 0; j <= M; ++j) {
      cum.Add(g[j]);
      if (cum.Value() / t >= p) return j;
    }
    return static_cast<double>(M);
  }
  const UNormal nd(n1, n2);
  LD u = std::ceil(nd.mu + nd.sigma * acc::NormalQuantile(p) - 0.5L);
  if (u < 0) u = 0;
  if (u > M) u = M;
  while (u > 0 && nd.Cdf(u - 1) >= p) u -= 1;
  while (u < M && nd.Cdf(u) < p) u += 1;
  return static_cast<double>(u);
}

// ---- Shapiro-Wilk -----------------------------------------------------------------------------

double ShapiroWilkIntegral(double w, int32_t n, int32_t Tail) {
  if (n < 3 || n > 5000) return -1;
  if (std::isnan(w)) return w;
  LD lower, upper;  // P(W <= w), P(W > w)
  if (w >= 1) {
    lower = 1;
    upper = 0;
  } else if (w <= 0) {
    lower = 0;
    upper = 1;
  } else if (n == 3) {
    // Exact for three observations: W is at least 3/4 and asin(sqrt W) is uniform.
    constexpr LD pi = 3.141592653589793238462643383279502884L;
    lower = w <= 0.75 ? 0 : 6 / pi * (std::asin(std::sqrt(LD(w))) - pi / 3);
    if (lower > 1) lower = 1;
    upper = 1 - lower;
  } else {
    // Normalising transformations of W by polynomial fits in n (small samples) or ln n.
    const LD an = n;
    LD y = std::log1p(-LD(w)), m, s;
    if (n <= 11) {
      const LD gamma = -2.273L + 0.459L * an;
      if (y >= gamma) {  // beyond the range of the fit: far in the lower tail
        lower = 0;
        upper = 1;
        return static_cast<double>(Tail == 0 ? lower : upper);
      }
      y = -std::log(gamma - y);
      m = 0.5440L + an * (-0.39978L + an * (0.025054L - an * 0.0006714L));
      s = std::exp(1.3822L + an * (-0.77857L + an * (0.062767L - an * 0.0020322L)));
    } else {
      const LD xx = std::log(an);
      m = -1.5861L + xx * (-0.31082L + xx * (-0.083751L + xx * 0.0038915L));
      s = std::exp(-0.4803L + xx * (-0.082676L + xx * 0.0030302L));
    }
    const LD zz = (y - m) / s;  // standard normal under normality; large z = small W
    lower = acc::NormalCdf(-zz);
    upper = acc::NormalCdf(zz);
  }
  return static_cast<double>(Tail == 0 ? lower : upper);
}

}  // namespace qmx
