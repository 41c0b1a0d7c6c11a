// Runs tests for randomness and the one-way analysis of variance.
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

#include "qmx/statis.h"
#include "qmx/vector.h"
#include "statis/accurate.h"

namespace qmx {

namespace {

using u128 = unsigned __int128;
using acc::LD;

// Exact binomial coefficient, or 0 when it does not fit 128 bits (the caller then switches to
// logarithms). C(n, k) with k < 0 or k > n is 0.
bool Binom128(int64_t n, int64_t k, u128& c) {
  c = 0;
  if (n < 0 || k < 0 || k > n) return true;
  if (k > n - k) k = n - k;
  u128 r = 1;
  for (int64_t i = 1; i <= k; ++i) {
    // r C(n-k+i-1, i-1) -> C(n-k+i, i): r (n-k+i) is divisible by i; divide first where the
    // product would overflow.
    const u128 f = static_cast<u128>(n - k + i);
    if (r > (~u128(0)) / f) return false;
    r = r * f / static_cast<u128>(i);
  }
  c = r;
  return true;
}

LD LnBinom(int64_t n, int64_t k) {
  if (n < 0 || k < 0 || k > n) return -std::numeric_limits<LD>::infinity();
  return std::lgamma(LD(n) + 1) - std::lgamma(LD(k) + 1) - std::lgamma(LD(n - k) + 1);
}

LD LogAddExp(LD x, LD y) {
  const LD mx = std::max(x, y);
  if (mx == -std::numeric_limits<LD>::infinity()) return mx;
  return mx + std::log(std::exp(x - mx) + std::exp(y - mx));
}

// ln of the number of arrangements of a and b elements with exactly r >= 2 runs; -inf when
// impossible.
LD LnRunsCount(int64_t a, int64_t b, int32_t r) {
  if (r % 2 == 0) {
    const int64_t j = r / 2;
    return std::log(2.0L) + LnBinom(a - 1, j - 1) + LnBinom(b - 1, j - 1);
  }
  const int64_t j = (r - 1) / 2;
  return LogAddExp(LnBinom(a - 1, j) + LnBinom(b - 1, j - 1),
                   LnBinom(a - 1, j - 1) + LnBinom(b - 1, j));
}

}  // namespace

namespace {

// P(rlo <= R <= rhi) for a and b elements of the two kinds (1 <= a <= b) in random order.
double RunsProbability(int64_t a, int64_t b, int32_t rlo, int32_t rhi) {
  const int64_t rmax = std::min<int64_t>(2 * a + (a < b ? 1 : 0), INT32_MAX);
  rlo = std::max(rlo, 2);
  rhi = static_cast<int32_t>(std::min<int64_t>(rhi, rmax));
  if (rlo > rhi) return 0;
  if (rlo == 2 && rhi == rmax) return 1;
  // Exact integer counts while they fit 128 bits (a + b up to about 125), so small samples give
  // the rational probability rounded once; logarithms beyond.
  u128 total;
  bool exact = Binom128(a + b, a, total);
  if (exact) {
    u128 sum = 0;
    for (int32_t r = rlo; r <= rhi && exact; ++r) {
      u128 c1, c2, c3, c4;
      if (r % 2 == 0) {
        const int32_t j = r / 2;
        exact = Binom128(a - 1, j - 1, c1) && Binom128(b - 1, j - 1, c2);
        if (exact && c1 && c2) {
          if (c1 > (~u128(0)) / 2 / c2)
            exact = false;
          else
            sum += 2 * c1 * c2;
        }
      } else {
        const int32_t j = (r - 1) / 2;
        exact = Binom128(a - 1, j, c1) && Binom128(b - 1, j - 1, c2) &&
                Binom128(a - 1, j - 1, c3) && Binom128(b - 1, j, c4);
        if (exact) {
          if ((c1 && c2 > (~u128(0)) / c1) || (c3 && c4 > (~u128(0)) / c3))
            exact = false;
          else
            sum += c1 * c2 + c3 * c4;
        }
      }
    }
    if (exact) return static_cast<double>(static_cast<LD>(sum) / static_cast<LD>(total));
  }
  // Terms beyond 40 standard deviations from the mean are far below the double range, so the
  // sum is restricted to that window: O(sqrt(n)) terms even for counts near 2^31.
  const LD n = LD(a) + LD(b), ab2 = 2 * LD(a) * LD(b);
  const LD mean = ab2 / n + 1, sd = std::sqrt(ab2 * (ab2 - n) / (n * n * (n - 1)));
  const LD wlo = std::floor(mean - 40 * sd) - 2, whi = std::ceil(mean + 40 * sd) + 2;
  if (wlo > rlo) rlo = static_cast<int32_t>(std::min<LD>(wlo, INT32_MAX));
  if (whi < rhi) rhi = static_cast<int32_t>(std::max<LD>(whi, 0));
  const LD lt = LnBinom(a + b, a);
  LD p = 0;
  for (int32_t r = rlo; r <= rhi; ++r) p += std::exp(LnRunsCount(a, b, r) - lt);
  return static_cast<double>(std::min(p, 1.0L));
}

// Group sums over x[i..] while the codes are known to the direct table (dp[code] >= 0);
// returns where it stopped. A function of its own keeps the sums in registers.
__attribute__((noinline)) int32_t SumKnownGroups(const double* xp, const int32_t* gp, const int32_t* dp, uint32_t ndirect,
                       int32_t i, int32_t N, double shift, double* gs, int64_t* gc, double& Q) {
  double q = Q;
  for (; i < N; ++i) {
    const uint32_t u = static_cast<uint32_t>(gp[i]);
    const int32_t j = u < ndirect ? dp[u] : -1;
    if (j < 0) break;
    const double d = xp[i] - shift;
    gs[j] += d;
    gc[j] += 1;
    q += d * d;
  }
  Q = q;
  return i;
}

}  // namespace

double ExactRunsTest(int32_t n1, int32_t n2, int32_t runs) {
  if (n1 < 0 || n2 < 0) return 0;
  const int64_t a = std::min(n1, n2), b = std::max(n1, n2);
  // One kind only (or none): the sequence is a single run with certainty.
  if (a == 0) return runs >= (b > 0 ? 1 : 0) ? 1 : 0;
  return RunsProbability(a, b, 2, runs);
}

bool RunsTest(const TBitFld* bits, double& p) {
  p = 1;
  if (!bits || bits->Size() < 0) return false;
  const int32_t size = bits->Size();
  int32_t n1 = 0, runs = 1;
  bool prev = bits->GetBit(0);
  for (int32_t i = 0; i <= size; ++i) {
    const bool b = bits->GetBit(i);
    n1 += b ? 1 : 0;
    if (i > 0 && b != prev) ++runs;
    prev = b;
  }
  const int32_t n2 = size + 1 - n1;
  if (n1 > 25 || n2 > 25) {
    const double f = 2.0 * n1 * n2, g = double(n1) + n2;
    const double sigma = std::sqrt(f * (f - n1 - n2) / (g * g * (g - 1)));
    // Only one kind of bit: a single run is certain, no evidence against randomness.
    if (sigma == 0) {
      p = 1;
      return false;
    }
    const double z = (runs - f / g - 1) / sigma;
    p = static_cast<double>(z > 0 ? acc::NormalCdf(-z) : acc::NormalCdf(z));
  } else if (std::min(n1, n2) == 0) {
    p = 1;  // a single run is certain
  } else {
    // One-sided in the direction of the deviation, as above: too few runs give the lower tail,
    // too many (beyond the mean 2 n1 n2 / (n1 + n2) + 1) the upper tail, summed directly.
    const double mean = 2.0 * n1 * n2 / (double(n1) + n2) + 1;
    const int64_t a = std::min(n1, n2), b = std::max(n1, n2);
    p = runs > mean ? RunsProbability(a, b, runs, INT32_MAX) : ExactRunsTest(n1, n2, runs);
  }
  return p < 0.05;
}

bool RunsTestSerial(const TVector* data, double& p) {
  p = -1;
  if (!data) return false;
  double q1, q2, q3;
  if (!data->Quartiles(0, 0, q1, q2, q3) || q2 != q2) return false;
  const int32_t n = data->NrOfElem();
  TBitFld bits;
  bits.SetSize(n - 1);
  const auto x = data->Data();
  for (int32_t i = 0; i < n; ++i) bits.SetBit(i, x[i] > q2);
  return RunsTest(&bits, p);
}

double Anova1F(const TVector* data, const TIntVector* groups, double& ssbetween,
               double& sswithin, double& sstotal, int32_t& dfbetween, int32_t& dfwithin,
               int32_t& dftotal, double& f) {
  if (!data || !groups || groups->NrOfElem() != data->NrOfElem()) return -4;
  const auto x = data->Data();
  const auto g = groups->Data();
  const int32_t N = data->NrOfElem();
  // One pass: group numbers in order of first appearance (codes 0..1023 through a direct
  // table, others through a hash map), per-group sums and counts, and the sums of squares. All
  // sums are taken about the first value so that data far from zero keep their digits; the
  // partition of the sums of squares is unchanged by the shift.
  constexpr uint32_t kDirect = 1024;
  std::vector<int32_t> direct(kDirect, -1);
  std::unordered_map<int32_t, int32_t> index;
  int32_t ngroups = 0;
  // Group number of a code met outside the direct table or for the first time.
  auto lookup = [&](int32_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < kDirect) {
      if (direct[u] < 0) direct[u] = ngroups++;
      return direct[u];
    }
    const auto it = index.emplace(c, ngroups).first;
    if (it->second == ngroups) ++ngroups;
    return it->second;
  };
  const double* xp = x.data();
  const int32_t* gp = g.data();
  const int32_t* dp = direct.data();
  const double shift = xp[0];
  double Q = 0;
  // Up to 64 groups the sums stay in local arrays (the common case, and the fast one); a 65th
  // group moves them into growable storage for the rest of the data.
  constexpr int32_t kLocal = 64;
  double lgs[kLocal] = {};
  int64_t lgc[kLocal] = {};
  int32_t i = 0;
  while (i < N) {
    i = SumKnownGroups(xp, gp, dp, kDirect, i, N, shift, lgs, lgc, Q);
    if (i == N) break;
    const int32_t j = lookup(gp[i]);
    if (j >= kLocal) break;
    const double d = xp[i] - shift;
    lgs[j] += d;
    lgc[j] += 1;
    Q += d * d;
    ++i;
  }
  std::vector<double> gs(lgs, lgs + kLocal);
  std::vector<int64_t> gc(lgc, lgc + kLocal);
  for (; i < N; ++i) {
    const int32_t j = lookup(gp[i]);
    if (j >= static_cast<int32_t>(gs.size())) {
      gs.resize(static_cast<std::size_t>(j) + 1, 0.0);
      gc.resize(static_cast<std::size_t>(j) + 1, 0);
    }
    const double d = xp[i] - shift;
    gs[j] += d;
    gc[j] += 1;
    Q += d * d;
  }
  gs.resize(static_cast<std::size_t>(ngroups));
  gc.resize(static_cast<std::size_t>(ngroups));
  const int32_t k = static_cast<int32_t>(gs.size());
  if (k < 2) return -1;
  if (k >= N) return -2;
  // A NaN or infinite value, or sums beyond the double range.
  if (!std::isfinite(Q)) return -4;
  double G = 0, S = 0;
  for (int32_t j = 0; j < k; ++j) {
    G += gs[j] * gs[j] / double(gc[j]);
    S += gs[j];
  }
  const double C = S * S / N;
  ssbetween = std::max(G - C, 0.0);
  sswithin = std::max(Q - G, 0.0);
  sstotal = std::max(Q - C, 0.0);
  dfbetween = k - 1;
  dfwithin = N - k;
  dftotal = N - 1;
  const double msb = ssbetween / (k - 1), msw = sswithin / (N - k);
  if (msw != 0) {
    f = msb / msw;
    LD P, Pc;
    const LD a = LD(k - 1) / 2, b = LD(N - k) / 2, y = LD(k - 1) * f, den = y + LD(N - k);
    acc::BetaI(a, b, y / den, LD(N - k) / den, P, Pc);
    return static_cast<double>(Pc);
  }
  if (msb == 0) {
    f = 0;
    return -3;
  }
  f = uc_MaxReal;
  return 0;
}

}  // namespace qmx
