// Operations shared by TVector and TIntVector. They are written once over the container type V
// (whose public interface the two classes share) and its element type T.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx::vecimpl {

// Resize with the containers' rules: same size is a no-op, NE <= 0 is refused, new elements are
// zero; an allocation failure leaves the old storage in place.
template <class V, class T>
bool Resize(V& v, std::vector<T>& store, int32_t& nelem, int32_t NE) {
  if (NE == nelem) return true;
  if (NE <= 0) return false;
  try {
    store.resize(static_cast<std::size_t>(NE), T(0));
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXVectorError>(&v, ": not enough memory");
  } catch (const std::length_error&) {
    RaiseComponentError<EQMXVectorError>(&v, ": not enough memory");
  }
  nelem = NE;
  v.Changed();
  return true;
}

// Comb sort of a range with one exchange event per swap and one change event at the end.
template <class V>
void SortElems(V& v, bool Ascending, int32_t RangeFirst, int32_t RangeLast) {
  int32_t lo = RangeFirst, hi = RangeLast;
  v.MakeValidElemRange(lo, hi);
  if (hi - lo <= 0) return;
  const bool notify = static_cast<bool>(v.OnSortExchange);
  auto d = v.Data();
  int32_t gap = hi - lo;
  bool swapped;
  do {
    gap = static_cast<int32_t>(gap / 1.3);
    if (gap == 0) gap = 1;
    swapped = false;
    for (int32_t i = lo; i <= hi - gap; ++i) {
      auto& a = d[static_cast<std::size_t>(i - 1)];
      auto& b = d[static_cast<std::size_t>(i - 1 + gap)];
      if (Ascending ? (a > b) : (a < b)) {
        std::swap(a, b);
        swapped = true;
        if (notify) {
          v.SortExchange(0, i, i + gap, 0, 0);
          // A handler may have resized the vector; never touch storage that went away.
          d = v.Data();
          if (v.NrOfElem() < hi) return;
        }
      }
    }
  } while (gap > 1 || swapped);
  v.Changed();
}

// Bisection in a sorted vector; ends are resolved by distance (equal distances give hi).
template <class T>
int32_t FindInSorted(std::span<const T> d, bool Ascending, T Value) {
  int32_t lo = 1, hi = static_cast<int32_t>(d.size());
  auto at = [&](int32_t i) { return d[static_cast<std::size_t>(i - 1)]; };
  while (hi - lo > 1) {
    int32_t mid = lo + (hi - lo) / 2;
    T x = at(mid);
    if (Value == x) return mid;
    if (Ascending ? (Value >= x) : (Value < x))
      lo = mid;
    else
      hi = mid;
  }
  // Distances in double (integers: exact, no overflow of the difference).
  double dh = std::fabs(static_cast<double>(at(hi)) - static_cast<double>(Value));
  double dl = std::fabs(static_cast<double>(at(lo)) - static_cast<double>(Value));
  return dh <= dl ? hi : lo;
}

// Index of the element nearest to value within lo..hi, lowest index on ties, 0 when none is
// nearer than uc_MaxDouble (NaN values or elements).
template <class T>
int32_t FindNearest(std::span<const T> d, int32_t lo, int32_t hi, T value) {
  double best = uc_MaxDouble;
  int32_t ix = 0;
  for (int32_t i = lo; i <= hi; ++i) {
    double diff = std::fabs(static_cast<double>(d[static_cast<std::size_t>(i - 1)]) -
                            static_cast<double>(value));
    if (diff < best) {
      best = diff;
      ix = i;
    }
  }
  return ix;
}

// Element copy through the element setter. Source bounds are clamped separately (no (0, 0)
// rule); a copy within one vector reads a snapshot so overlapping stretches are not smeared.
template <class V, class T>
void CopyFrom(V& dst, const V* src, int32_t SourceElemLo, int32_t SourceElemHi, int32_t DestElem) {
  if (!src) return;
  const int32_t n = src->NrOfElem();
  int32_t lo = std::clamp(SourceElemLo, 1, n), hi = std::clamp(SourceElemHi, 1, n);
  if (hi < lo) std::swap(lo, hi);
  const bool fromSnap = src == &dst;
  std::vector<T> snap;
  if (fromSnap) {
    auto sd = src->Data();
    snap.assign(sd.begin() + (lo - 1), sd.begin() + hi);
  }
  for (int32_t i = lo; i <= hi; ++i) {
    int64_t target = static_cast<int64_t>(DestElem) + (i - lo);
    if (target < 1 || target > dst.NrOfElem()) continue;
    T x = fromSnap ? snap[static_cast<std::size_t>(i - lo)] : src->GetVal(i);
    dst.SetVal(static_cast<int32_t>(target), x);
  }
  dst.Changed();
}

// Clone: resize to the source's size, copy every element through the setter, one more event.
template <class V>
void Clone(V& dst, const V* src) {
  if (!src) return;
  if (src == &dst) {
    for (int32_t i = 1; i <= dst.NrOfElem(); ++i) dst.SetVal(i, dst.GetVal(i));
    dst.Changed();
    return;
  }
  dst.Resize(src->NrOfElem());
  const int32_t n = std::min(src->NrOfElem(), dst.NrOfElem());
  for (int32_t i = 1; i <= n; ++i) dst.SetVal(i, src->GetVal(i));
  dst.Changed();
}

// Random re-ordering: N swaps of two independently drawn positions, after a clock re-seed.
template <class T>
void Shuffle(std::span<T> d) {
  Randomize();
  const auto n = static_cast<int32_t>(d.size());
  for (int32_t k = 0; k < n; ++k) {
    int32_t i = RandomInt(n), j = RandomInt(n);
    std::swap(d[static_cast<std::size_t>(i)], d[static_cast<std::size_t>(j)]);
  }
}

// ---- statistics shared by both classes --------------------------------------------------------

// First-hit minimum and maximum. The first comparable value is always taken, so values beyond
// the +-1.7E+308 start values (infinities, integer extremes) are reported, not lost; NaNs are
// passed over. With nothing comparable the start values and indices 0 remain.
template <class T>
void MinMax(std::span<const T> d, int32_t lo, int32_t hi, T startMin, T startMax, T& Minimum,
            T& Maximum, int32_t& MinIx, int32_t& MaxIx) {
  Minimum = startMin;
  Maximum = startMax;
  MinIx = 0;
  MaxIx = 0;
  for (int32_t i = lo; i <= hi; ++i) {
    T x = d[static_cast<std::size_t>(i - 1)];
    if (x != x) continue;  // NaN
    if (MinIx == 0 || x < Minimum) {
      Minimum = x;
      MinIx = i;
    }
    if (MaxIx == 0 || x > Maximum) {
      Maximum = x;
      MaxIx = i;
    }
  }
}

// Moment skewness and excess kurtosis, sums in extended precision; zeros below four values or
// for a zero standard deviation. Returns whether the moments exist (n >= 4, spread > 0).
template <class T>
bool SkewKurt(std::span<const T> d, int32_t lo, int32_t hi, double& Skewness, double& Kurtosis) {
  Skewness = 0.0;
  Kurtosis = 0.0;
  const int64_t n = static_cast<int64_t>(hi) - lo + 1;
  if (n < 4) return false;
  const T* x = d.data() + (lo - 1);
  long double s = 0.0L;
  for (int64_t i = 0; i < n; ++i) s += static_cast<long double>(x[i]);
  const long double m = s / static_cast<long double>(n);
  long double s1 = 0.0L, s2 = 0.0L, s3 = 0.0L, s4 = 0.0L;
  for (int64_t i = 0; i < n; ++i) {
    long double dv = static_cast<long double>(x[i]) - m;
    long double d2 = dv * dv;
    s1 += dv;
    s2 += d2;
    s3 += d2 * dv;
    s4 += d2 * d2;
  }
  const long double nn = static_cast<long double>(n);
  long double var = (s2 - s1 * s1 / nn) / (nn - 1.0L);
  if (!(var > 0.0L)) return false;  // zero spread (or NaN data): both stay 0
  long double sd = std::sqrt(var);
  Skewness = static_cast<double>((s3 / nn) / (sd * sd * sd));
  Kurtosis = static_cast<double>((s4 / nn) / (var * var) - 3.0L);
  return true;
}

// Bias correction of the moment forms for samples (n >= 4). Applied only to moments that exist:
// correcting the zeros that stand for "no spread" would turn them into a spurious kurtosis
// (10.75 for five equal values).
inline void SampleCorrect(bool exist, int64_t count, double& Skewness, double& Kurtosis) {
  if (!exist || count < 4) {
    Skewness = 0.0;
    Kurtosis = 0.0;
    return;
  }
  const double n = static_cast<double>(count);
  const double G = Skewness, K = Kurtosis;
  Skewness = n * n * G / ((n - 1) * (n - 2));
  Kurtosis = (K + 3) * n * n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) -
             3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3));
}

template <class V, class T>
double GeometricMean(const V& v, std::span<const T> d, int32_t lo, int32_t hi) {
  bool zero = false;
  long double sl = 0.0L;
  for (int32_t i = lo; i <= hi; ++i) {
    double x = static_cast<double>(d[static_cast<std::size_t>(i - 1)]);
    if (x < 0) RaiseComponentError<EQMXVectorError>(&v, ": negative argument passed to GeometricMean");
    if (x == 0)
      zero = true;
    else
      sl += std::log(x);
  }
  if (zero) return 0.0;
  return static_cast<double>(std::exp(sl / (static_cast<long double>(hi) - lo + 1)));
}

template <class V, class T>
double HarmonicMean(const V& v, std::span<const T> d, int32_t lo, int32_t hi) {
  long double s = 0.0L;
  for (int32_t i = lo; i <= hi; ++i) {
    double x = static_cast<double>(d[static_cast<std::size_t>(i - 1)]);
    if (x <= 0)
      RaiseComponentError<EQMXVectorError>(&v, ": negative or zero argument passed to HarmonicMean");
    s += 1.0L / x;
  }
  return static_cast<double>((static_cast<long double>(hi) - lo + 1) / s);
}

// Pearson correlation over all elements of two equal-sized vectors. The sums are taken about the
// first element of each vector: the same coefficient, without the cancellation that raw sums of
// squares suffer for data far from zero.
template <class T>
double Pearson(std::span<const T> x, std::span<const T> y) {
  const std::size_t n = x.size();
  if (n != y.size() || n < 2) return 0.0;
  const double kx = static_cast<double>(x[0]), ky = static_cast<double>(y[0]);
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double a = static_cast<double>(x[i]) - kx, b = static_cast<double>(y[i]) - ky;
    sx += a;
    sy += b;
    sxx += a * a;
    syy += b * b;
    sxy += a * b;
  }
  const double dn = static_cast<double>(n);
  const double qx = sxx - sx * sx / dn, qy = syy - sy * sy / dn;
  if (sxx <= 0 || syy <= 0 || qx == 0 || qy == 0) return 0.0;
  return (sxy - sx * sy / dn) / std::sqrt(std::fabs(qx * qy));
}

}  // namespace qmx::vecimpl
