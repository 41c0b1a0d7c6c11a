// Pieces shared by the floating-point containers of the matrix module (TMatrix, TMat3D, TMat4D)
// and, where the element type is a parameter, by TIntMatrix: storage allocation, the selection
// rank of a percentile, the generator of the sampled percentiles, the extremes rule, the
// progress counters and the XML text of an array.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <new>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/math1.h"

namespace qmx::ndimpl {

// N values, all 0; an allocation failure raises the module's error with Tail and changes
// nothing else, so callers allocate before they touch their object.
inline std::vector<double> AllocValues(const TComponent* Owner, std::size_t N,
                                       const char* Tail = ": not enough memory on heap") {
  try {
    return std::vector<double>(N, 0.0);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  RaiseComponentError<EQMXMatrixError>(Owner, Tail);
}

// Percentages are clamped to 0..100; NaN counts as 0.
inline double ClampProb(double prob) noexcept {
  if (!(prob >= 0.0)) return 0.0;
  return prob > 100.0 ? 100.0 : prob;
}

// 0-based rank of a percentile among N >= 1 values: N * prob / 100 to the nearest integer
// (halves to even), at most N - 1 (100 % selects the largest value instead of reading past it).
inline std::size_t SelectionRank(std::size_t N, double prob) noexcept {
  const double k = std::nearbyint(static_cast<double>(N) * prob / 100.0);
  return k >= static_cast<double>(N - 1) ? N - 1 : static_cast<std::size_t>(k);
}

// The generator of the sampled percentiles: one of their own, seeded from the clock, so a
// statistics call never reseeds or advances the process-wide generator that a host may have
// seeded for reproducible runs. The counter keeps two calls within one clock tick apart.
class TSampleRandom {
 public:
  TSampleRandom() {
    static std::atomic<uint64_t> calls{0};
    const auto t = static_cast<uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    FGen.seed(t ^ (calls.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull));
  }
  // Uniform in 0..n-1 (n >= 1).
  int64_t Next(int64_t n) { return std::uniform_int_distribution<int64_t>(0, n - 1)(FGen); }

 private:
  std::mt19937_64 FGen;
};

// Selection of rank k among the values (reordered).
inline double SelectRank(std::span<double> x, std::size_t k) {
  return QuickSelect(x, static_cast<int32_t>(k), 0, static_cast<int32_t>(x.size()) - 1);
}

// ---- extremes -----------------------------------------------------------------------------
// The first comparable value always replaces the start value, so extremes beyond the start
// values (infinities, the most negative integer) are reported instead of lost; NaNs are passed
// over. Without any comparable value the start values remain. The same rule as the vectors.
template <class T>
struct TExtremes {
  T Min, Max;
  bool Any = false;
  TExtremes(T StartMin, T StartMax) : Min(StartMin), Max(StartMax) {}
  void Take(T x) noexcept {
    if (x != x) return;  // NaN
    if (!Any) {
      Min = Max = x;
      Any = true;
      return;
    }
    if (x < Min) Min = x;
    if (x > Max) Max = x;
  }
  void Take(const T* p, std::size_t n) noexcept {
    std::size_t i = 0;
    if (!Any) {
      while (i < n && p[i] != p[i]) ++i;
      if (i == n) return;
      Min = Max = p[i++];
      Any = true;
    }
    T mn = Min, mx = Max;
    for (; i < n; ++i) {
      const T x = p[i];
      mn = x < mn ? x : mn;  // NaN compares false and leaves both alone
      mx = x > mx ? x : mx;
    }
    Min = mn;
    Max = mx;
  }
};

// One line of an edge vector (min or max) under the same rule: Seen tells whether A already
// holds a value of the line.
template <bool IsMax, class T>
inline void TakeEdge(double& A, char& Seen, T x) noexcept {
  if (x != x) return;
  const double v = static_cast<double>(x);
  if (!Seen) {
    A = v;
    Seen = 1;
  } else if (IsMax ? v > A : v < A) {
    A = v;
  }
}

// ---- progress -----------------------------------------------------------------------------

// The global counter steps once every trunc(Pairs / 100) + 1 column-row pairs. Loops that walk
// the storage in another order report the pairs done so far with AdvanceTo; the number of steps
// is the same.
class TPairProgress {
 public:
  explicit TPairProgress(int64_t Pairs) : FStep(Pairs / 100 + 1), FNext(FStep) {}
  void AdvanceTo(int64_t Done) {
    while (FNext <= Done) {
      ProgressStep();
      FNext += FStep;
    }
  }

 private:
  int64_t FStep, FNext;
};

// The percentage event of the element-moving operations: with N elements, step = N div 100
// (at least 1); whenever the running count is a multiple of step, Fire(round(count * 100 / N)).
class TPercentProgress {
 public:
  explicit TPercentProgress(int64_t N) : FN(N), FStep(std::max<int64_t>(N / 100, 1)), FNext(FStep) {}
  template <class FireFn>
  void AdvanceTo(int64_t Count, FireFn Fire) {
    while (FNext <= Count) {
      Fire(static_cast<int32_t>(std::nearbyint(static_cast<double>(FNext) * 100.0 / static_cast<double>(FN))));
      FNext += FStep;
    }
  }

 private:
  int64_t FN, FStep, FNext;
};

}  // namespace qmx::ndimpl
