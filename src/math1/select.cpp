// Selection of the k-th smallest element: middle pivot, one-sided partition, narrowing the range
// to the side that holds Ix.
#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "qmx/math1.h"

namespace qmx {

namespace {

// Partitions a[lo..hi] around v = a[lo]: the elements before the returned index are smaller than
// v (in the order with NaN last), those after it are not. The elements that are not smaller stay
// where they are until a smaller one further right needs the first place of their block; then
// that first one moves to where the smaller one was. An element is compared before anything
// moves it (the exchanges only touch the block and the element being visited), so the
// comparisons of 64 elements are made at once into a bit mask, and only the smaller ones cost
// an exchange: no branch on the data, and no store for elements that stay. Less(x) gives
// all-ones in the lanes of x that are smaller than the pivot.
template <class LessMask>
std::size_t Partition(double* a, std::size_t lo, std::size_t hi, LessMask less) {
  std::size_t j = lo + 1;
  for (std::size_t k = lo + 1; k <= hi;) {
    const std::size_t len = std::min<std::size_t>(64, hi - k + 1);
    uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 2 <= len; i += 2)
      bits |= static_cast<uint64_t>(_mm_movemask_pd(less(_mm_loadu_pd(a + k + i)))) << i;
    if (i < len) bits |= static_cast<uint64_t>(_mm_movemask_pd(less(_mm_load_sd(a + k + i))) & 1) << i;
    while (bits != 0) {
      const std::size_t kk = k + static_cast<std::size_t>(std::countr_zero(bits));
      const double t = a[kk];
      a[kk] = a[j];
      a[j] = t;
      ++j;
      bits &= bits - 1;
    }
    k += len;
  }
  std::swap(a[lo], a[j - 1]);
  return j - 1;
}

}  // namespace

double QuickSelect(std::span<double> Data, int32_t Ix, int32_t LoIx, int32_t HiIx) {
  if (HiIx < LoIx) return 0.0;
  // Indices outside the array, or Ix outside the range, would read and write foreign memory.
  if (LoIx < 0 || static_cast<std::size_t>(HiIx) >= Data.size() || Ix < LoIx || Ix > HiIx)
    return 0.0;
  double* a = Data.data();
  auto lo = static_cast<std::size_t>(LoIx);
  auto hi = static_cast<std::size_t>(HiIx);
  const auto ix = static_cast<std::size_t>(Ix);

  const double first = a[lo];
  bool allEqual = true;
  for (std::size_t i = lo + 1; i <= hi && allEqual; ++i)
    allEqual = a[i] == first || (a[i] != a[i] && first != first);
  if (allEqual) return first;

  for (;;) {
    const std::size_t p0 = (lo + hi) / 2;
    std::swap(a[p0], a[lo]);
    const double v = a[lo];
    std::size_t p;
    if (v != v)  // NaN pivot: every number is smaller
      p = Partition(a, lo, hi, [](__m128d x) { return _mm_cmpord_pd(x, x); });
    else
      p = Partition(a, lo, hi, [vv = _mm_set1_pd(v)](__m128d x) { return _mm_cmplt_pd(x, vv); });
    if (p == lo && p < ix) {
      // The pivot is the smallest of the range. Narrowing by one element per round would make
      // ranges full of copies of it (zeros, integer data) quadratic, so its copies are gathered
      // behind it and skipped at once; without copies nothing moves.
      const bool nan = v != v;
      std::size_t e = lo;
      for (std::size_t k = lo + 1; k <= hi; ++k)
        if (a[k] == v || (nan && a[k] != a[k])) std::swap(a[++e], a[k]);
      if (ix <= e) return a[ix];
      lo = e + 1;
    } else if (p > ix) {
      hi = p;
    } else if (p < ix) {
      lo = p + 1;
    } else {
      return a[ix];
    }
  }
}

}  // namespace qmx
