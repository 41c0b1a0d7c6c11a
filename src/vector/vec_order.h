// Order statistics (percentile, quartiles, mode) over a temporary working copy of a range; the
// vector itself is never reordered.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

#include "qmx/frame.h"
#include "qmx/math1.h"

namespace qmx::vecimpl {

template <class T>
class TOrderStats {
 public:
  // Copies d[lo-1 .. hi-1]; raises ": not enough memory on heap" for owner when that fails.
  TOrderStats(const TComponent* owner, std::span<const T> d, int32_t lo, int32_t hi) {
    try {
      FW.assign(d.begin() + (lo - 1), d.begin() + hi);
    } catch (const std::bad_alloc&) {
      RaiseComponentError<EQMXVectorError>(owner, ": not enough memory on heap");
    }
    if constexpr (std::is_floating_point_v<T>) {
      // Branch-free so the scan vectorises.
      bool nan = false;
      for (T x : FW) nan |= x != x;
      FHasNaN = nan;
    }
  }

  int32_t Count() const noexcept { return static_cast<int32_t>(FW.size()); }
  bool HasNaN() const noexcept { return FHasNaN; }

  // Order statistics are unique, so any exact selection gives the values a full sort would.
  // Introselect is used: linear on average and, unlike a plain quickselect, not quadratic when
  // the data hold long runs of one value (zero-inflated or small-integer data).
  // Successive selections of rising ranks (the quartiles) only search the part above the last
  // selected rank, which already holds exactly the larger ranks.
  typename std::vector<T>::iterator Select(int32_t k) {
    const auto pos = static_cast<std::size_t>(k - 1);
    auto it = FW.begin() + static_cast<std::ptrdiff_t>(pos);
    if (pos >= FLo) {
      std::nth_element(FW.begin() + static_cast<std::ptrdiff_t>(FLo), it, FW.end());
      FLo = pos;
    } else {
      std::nth_element(FW.begin(), it, FW.begin() + static_cast<std::ptrdiff_t>(FLo));
    }
    return it;
  }
  double At(int32_t k) {
    if (k == Count()) return static_cast<double>(*std::max_element(FW.begin(), FW.end()));
    if (k == 1) return static_cast<double>(*std::min_element(FW.begin(), FW.end()));
    return static_cast<double>(*Select(k));
  }
  // x(k) and x(k+1) (1-based, k < n): after the selection every later element is >= x(k) and
  // the least of them is x(k+1).
  void Pair(int32_t k, double& a, double& b) {
    a = static_cast<double>(*Select(k));
    b = static_cast<double>(*std::min_element(FW.begin() + k, FW.end()));
  }

  // Linear interpolation a + f (b - a); f = 0 or equal neighbours give a itself, so an infinite
  // neighbour cannot turn the result into NaN.
  static double Lerp(double a, double b, double f) {
    if (f == 0 || a == b) return a;
    return a + f * (b - a);
  }

  // prob in percent; rank measured from 0 with (n - 1) prob / 100.
  double Percentile(double prob) {
    if (FHasNaN) return std::numeric_limits<double>::quiet_NaN();
    if (prob != prob) return std::numeric_limits<double>::quiet_NaN();
    prob = std::clamp(prob, 0.0, 100.0);
    const int32_t n = Count();
    if (n == 1) return static_cast<double>(FW[0]);
    if (prob == 100) return At(n);
    const double p = prob * (n - 1) / 100.0;
    const auto k = static_cast<int32_t>(p);
    const double f = p - k;
    if (f == 0) return At(k + 1);
    double a, b;
    Pair(k + 1, a, b);
    return Lerp(a, b, f);
  }

  // Quartile at fraction q with the position (n + 1) q counted from 1.
  double Quartile(double q) {
    if (FHasNaN) return std::numeric_limits<double>::quiet_NaN();
    const int32_t n = Count();
    if (n == 1) return static_cast<double>(FW[0]);
    const double p = (n + 1.0) * q;
    const auto k = static_cast<int32_t>(p);
    const double f = p - k;
    if (k == 0) return At(1);
    if (k >= n) return At(n);
    if (f == 0) return At(k);
    double a, b;
    Pair(k, a, b);
    return Lerp(a, b, f);
  }

  // Value of the longest run of equal values in sorted order; the smallest value wins ties.
  T Mode() {
    if (FHasNaN) {
      if constexpr (std::is_floating_point_v<T>) return std::numeric_limits<T>::quiet_NaN();
    }
    SortArray(std::span<T>(FW), true);
    T best = FW[0];
    std::size_t bestLen = 1, run = 1;
    for (std::size_t i = 1; i < FW.size(); ++i) {
      run = FW[i] == FW[i - 1] ? run + 1 : 1;
      if (run > bestLen) {
        bestLen = run;
        best = FW[i];
      }
    }
    return best;
  }

 private:
  std::vector<T> FW;
  std::size_t FLo = 0;  // FW[FLo..] holds exactly the ranks FLo+1..n
  bool FHasNaN = false;
};

}  // namespace qmx::vecimpl
