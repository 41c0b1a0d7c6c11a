// Critical values of the Wilcoxon signed-rank statistic from its exact null distribution.
#include <array>
#include <vector>

#include "qmx/statis.h"
#include "statis/wilcoxon_table.h"

namespace qmx {

namespace {

constexpr int32_t kFirst = 8, kLast = 100;

// Built once (thread-safe static initialisation) from the distribution of W = sum of the ranks
// 1..n that enter with probability 1/2 each: P_n(w) = (P_(n-1)(w) + P_(n-1)(w - n)) / 2. All terms
// are positive, so the tail sums keep full relative precision; none of the five levels is a
// dyadic fraction, so no comparison is an exact tie.
const std::array<std::array<int32_t, 5>, kLast - kFirst + 1>& Table() {
  static const auto table = [] {
    std::array<std::array<int32_t, 5>, kLast - kFirst + 1> t{};
    const long double half[5] = {0.05L, 0.025L, 0.01L, 0.005L, 0.0005L};
    std::vector<long double> p(static_cast<std::size_t>(kLast) * (kLast + 1) / 2 + 1, 0.0L);
    p[0] = 1;
    int32_t maxw = 0;
    for (int32_t n = 1; n <= kLast; ++n) {
      maxw += n;
      for (int32_t w = maxw; w >= 0; --w) p[w] = (p[w] + (w >= n ? p[w - n] : 0.0L)) / 2;
      if (n < kFirst) continue;
      for (int l = 0; l < 5; ++l) {
        long double cum = 0;
        int32_t T = -1;
        for (int32_t w = 0; w <= maxw; ++w) {
          cum += p[w];
          if (cum > half[l]) break;
          T = w;
        }
        t[n - kFirst][l] = T < 0 ? 0 : T;
      }
    }
    return t;
  }();
  return table;
}

}  // namespace

int32_t WilcoxonSRTable(int32_t n, int32_t level) {
  if (n < kFirst || n > kLast || level < 0 || level > 4) return -1;
  return Table()[n - kFirst][level];
}

}  // namespace qmx
