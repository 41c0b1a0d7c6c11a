// Comb sorts (shrink factor 1.3, one progress step per pass), sorted insertion into bounded
// lists, and the untyped-buffer dispatch.
//
// A pass compares element i with element i + gap for ascending i and exchanges the pair when it
// is out of order. When gap is at least the number of lanes of a vector register, the pairs of a
// block of consecutive i are disjoint and no pair of the block reads what another pair of the
// same block writes, so a block can be compared and exchanged at once: the result is exactly
// that of the element-by-element pass (same exchanges, same passes, same progress steps).
//
// The exchange of a block: when the array holds no NaN (checked once; sorting creates none),
// min/max instructions give exactly the compare-and-exchange, equal elements (+0 and -0
// included) staying in place because the instructions return their second operand on
// equality. With NaN present, a mask of the out-of-order lanes selects the bits to flip.
#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "math1/order.h"
#include "qmx/math1.h"

namespace qmx {

using math1_detail::Before;
using math1_detail::OutOfOrder;

namespace {

// ---- vector lanes ----------------------------------------------------------------------------
// SwapMask: lanes whose pair (x, y) is out of order; equal pairs never are, and NaN counts as
// greater than every number in both directions (only a number after a NaN moves forward).
// Exchange<Asc, Plain>: the pair after compare-and-exchange; Plain = no NaN in the array.

struct LanesDouble {
  using V = __m128d;
  static constexpr std::size_t W = 2;
  static constexpr bool HasMinMax = true;
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    // ascending: not (x <= y) and y is a number; descending: not (x >= y) and y is a number
    const V c = Asc ? _mm_cmpnle_pd(x, y) : _mm_cmpnge_pd(x, y);
    return _mm_and_pd(c, _mm_cmpord_pd(y, y));
  }
  static V Min(V a, V b) { return _mm_min_pd(a, b); }  // a < b ? a : b
  static V Max(V a, V b) { return _mm_max_pd(a, b); }  // a > b ? a : b
  static V Xor(V a, V b) { return _mm_xor_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  static V Unordered(V a, V b) { return _mm_cmpunord_pd(a, b); }
  static V Or(V a, V b) { return _mm_or_pd(a, b); }
  static bool Any(V m) { return _mm_movemask_pd(m) != 0; }
  static V Zero() { return _mm_setzero_pd(); }
};

struct LanesFloat {
  using V = __m128;
  static constexpr std::size_t W = 4;
  static constexpr bool HasMinMax = true;
  static V Load(const float* p) { return _mm_loadu_ps(p); }
  static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    const V c = Asc ? _mm_cmpnle_ps(x, y) : _mm_cmpnge_ps(x, y);
    return _mm_and_ps(c, _mm_cmpord_ps(y, y));
  }
  static V Min(V a, V b) { return _mm_min_ps(a, b); }
  static V Max(V a, V b) { return _mm_max_ps(a, b); }
  static V Xor(V a, V b) { return _mm_xor_ps(a, b); }
  static V And(V a, V b) { return _mm_and_ps(a, b); }
  static V Unordered(V a, V b) { return _mm_cmpunord_ps(a, b); }
  static V Or(V a, V b) { return _mm_or_ps(a, b); }
  static bool Any(V m) { return _mm_movemask_ps(m) != 0; }
  static V Zero() { return _mm_setzero_ps(); }
};

struct LanesInt {
  using V = __m128i;
  static constexpr std::size_t W = 4;
  static constexpr bool HasMinMax = false;  // SSE2 has no 32-bit integer min/max
  static V Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(int32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    return Asc ? _mm_cmpgt_epi32(x, y) : _mm_cmpgt_epi32(y, x);
  }
  static V Min(V a, V) { return a; }
  static V Max(V a, V) { return a; }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Unordered(V, V) { return _mm_setzero_si128(); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static bool Any(V m) { return _mm_movemask_epi8(m) != 0; }
  static V Zero() { return _mm_setzero_si128(); }
};

template <class T>
struct LanesOf;
template <>
struct LanesOf<double> : LanesDouble {};
template <>
struct LanesOf<float> : LanesFloat {};
template <>
struct LanesOf<int32_t> : LanesInt {};

// Compare-and-exchange of the lanes of (x, y).
template <class L, bool Asc, bool Plain>
inline void Exchange(typename L::V& x, typename L::V& y) {
  if constexpr (Plain && L::HasMinMax) {
    // ascending: x' = (y < x ? y : x), y' = (x > y ? x : y); descending mirrored
    const auto lo = Asc ? L::Min(y, x) : L::Max(y, x);
    y = Asc ? L::Max(x, y) : L::Min(x, y);
    x = lo;
  } else {
    const auto d = L::And(L::template SwapMask<Asc>(x, y), L::Xor(x, y));
    x = L::Xor(x, d);
    y = L::Xor(y, d);
  }
}

template <class T>
bool HasNaN(const T* a, std::size_t n) {
  if constexpr (std::is_floating_point_v<T>) {
    using L = LanesOf<T>;
    auto any = L::Zero();
    std::size_t i = 0;
    for (; i + L::W <= n; i += L::W) {
      const auto x = L::Load(a + i);
      any = L::Or(any, L::Unordered(x, x));
    }
    bool found = L::Any(any);
    for (; i < n; ++i) found = found || a[i] != a[i];
    return found;
  } else {
    return false;
  }
}

// Pairs (i, i + gap) for i = from .. pairs-1, element by element.
template <bool Asc, class T>
bool ScalarPairs(T* a, std::size_t from, std::size_t pairs, std::size_t gap) {
  bool swapped = false;
  for (std::size_t i = from; i < pairs; ++i) {
    const T x = a[i], y = a[i + gap];
    if (OutOfOrder<Asc>(x, y)) {
      a[i] = y;
      a[i + gap] = x;
      swapped = true;
    }
  }
  return swapped;
}

// Gaps 2 and 3 on doubles: a block's second half is the next block's first half (gap 2) or
// straddles two blocks (gap 3). Passing those values on in registers instead of storing and
// reloading them keeps the chain of dependent blocks out of memory.
template <bool Asc, bool Plain>
void Gap2Pass(double* a, std::size_t n) {
  using L = LanesDouble;
  L::V x = L::Load(a);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 2) {  // pairs i and i + 1
    L::V y = L::Load(a + i + 2);
    Exchange<L, Asc, Plain>(x, y);
    L::Store(a + i, x);
    x = y;
  }
  L::Store(a + i, x);
  ScalarPairs<Asc>(a, i, n - 2, 2);
}

template <bool Asc, bool Plain>
void Gap3Pass(double* a, std::size_t n) {
  using L = LanesDouble;
  L::V x = L::Load(a);         // a[i], a[i+1]
  L::V prev = L::Load(a + 1);  // high lane: a[i+2]
  std::size_t i = 0;
  for (; i + 5 <= n; i += 2) {  // pairs i and i + 1
    L::V y = L::Load(a + i + 3);
    Exchange<L, Asc, Plain>(x, y);
    L::Store(a + i, x);
    x = _mm_shuffle_pd(prev, y, 1);  // a[i+2], a[i+3]
    prev = y;                        // a[i+3], a[i+4]
  }
  L::Store(a + i, x);
  _mm_storeh_pd(a + i + 2, prev);
  ScalarPairs<Asc>(a, i, n - 3, 3);
}

// Pairs (i, i + gap) for from <= i < to of a pass with gap >= 4 (at least the lane count).
template <bool Asc, bool Plain, class T>
void CombRange(T* a, std::size_t gap, std::size_t from, std::size_t to) {
  using L = LanesOf<T>;
  using V = typename L::V;
  constexpr std::size_t W = L::W;
  std::size_t i = from;
  if (gap >= 2 * W) {
    // two registers per step: 2W pairs, still disjoint because gap >= 2W
    for (; i + 2 * W <= to; i += 2 * W) {
      V x0 = L::Load(a + i), x1 = L::Load(a + i + W);
      V y0 = L::Load(a + i + gap), y1 = L::Load(a + i + gap + W);
      Exchange<L, Asc, Plain>(x0, y0);
      Exchange<L, Asc, Plain>(x1, y1);
      L::Store(a + i, x0);
      L::Store(a + i + W, x1);
      L::Store(a + i + gap, y0);
      L::Store(a + i + gap + W, y1);
    }
  }
  if (gap >= W) {
    for (; i + W <= to; i += W) {
      V x = L::Load(a + i);
      V y = L::Load(a + i + gap);
      Exchange<L, Asc, Plain>(x, y);
      L::Store(a + i, x);
      L::Store(a + i + gap, y);
    }
  }
  ScalarPairs<Asc>(a, i, to, gap);
}

// Several passes (gaps decreasing, all >= 4) in one sweep over memory: pass s runs behind pass
// s - 1 far enough that every pair it compares is final for the earlier pass (pass s - 1 has
// done its pairs up to i + gap_s), and the earlier pass never reads what pass s wrote. Each
// pass then makes exactly the exchanges it makes on its own, but the array streams through the
// cache once for the group instead of once per pass.
template <bool Asc, bool Plain, class T>
void FusedPasses(T* a, std::size_t n, const std::size_t* gaps, std::size_t t) {
  constexpr std::size_t kStep = 2048;
  std::size_t pos[64] = {};
  for (bool done = false; !done;) {
    done = true;
    for (std::size_t s = 0; s < t; ++s) {
      const std::size_t end = n - gaps[s];
      std::size_t target;
      if (s == 0)
        target = std::min(end, pos[0] + kStep);
      else if (pos[s - 1] == n - gaps[s - 1])
        target = end;
      else
        target = pos[s - 1] > gaps[s] ? std::min(end, pos[s - 1] - gaps[s]) : 0;
      if (target > pos[s]) {
        CombRange<Asc, Plain>(a, gaps[s], pos[s], target);
        pos[s] = target;
      }
      if (pos[s] < end) done = false;
    }
  }
}

// Passes are fused for arrays larger than the caches hold comfortably, from the gap whose
// group (about 4.3 times the first gap) fits in them.
constexpr std::size_t kFuseMinBytes = std::size_t(1) << 20;
constexpr std::size_t kFuseMaxGap = 16384;

// One comb pass with gap >= 2. Whether it exchanged anything does not matter: only gap-1
// passes decide the end.
template <bool Asc, bool Plain, class T>
void CombPass(T* a, std::size_t n, std::size_t gap) {
  if constexpr (std::is_same_v<T, double>) {
    if (gap == 2) return Gap2Pass<Asc, Plain>(a, n);
    if (gap == 3) return Gap3Pass<Asc, Plain>(a, n);
  }
  CombRange<Asc, Plain>(a, gap, 0, n - gap);
}

// Gap-1 pass for arrays with many neighbours out of order (the first one): the element carried
// forward stays in a register and every step is a min/max pair, without branches. Doubles
// without NaN only.
template <bool Asc>
bool CarryPass(double* a, std::size_t n) {
  __m128d carry = _mm_load_sd(a);
  __m128d any = _mm_setzero_pd();
  for (std::size_t i = 1; i < n; ++i) {
    const __m128d x = _mm_load_sd(a + i);
    // ascending: out = (x < carry ? x : carry), carry = (carry > x ? carry : x)
    _mm_store_sd(a + i - 1, Asc ? _mm_min_sd(x, carry) : _mm_max_sd(x, carry));
    any = _mm_or_pd(any, Asc ? _mm_cmplt_sd(x, carry) : _mm_cmplt_sd(carry, x));
    carry = Asc ? _mm_max_sd(carry, x) : _mm_min_sd(carry, x);
  }
  _mm_store_sd(a + n - 1, carry);
  return (_mm_movemask_pd(any) & 1) != 0;
}

// Gap-1 pass for nearly sorted arrays: stretches in order are skipped a register at a time (the
// element pass would compare them and write nothing); an element out of order is carried
// forward until it meets one it may stand before.
template <bool Asc, class T>
bool BubblePass(T* a, std::size_t n) {
  using L = LanesOf<T>;
  constexpr std::size_t W = L::W;
  bool swapped = false;
  std::size_t i = 0;  // next pair: (i, i + 1)
  while (i + 1 < n) {
    if (i + W < n && !L::Any(L::template SwapMask<Asc>(L::Load(a + i), L::Load(a + i + 1)))) {
      i += W;
      continue;
    }
    if (!OutOfOrder<Asc>(a[i], a[i + 1])) {
      ++i;
      continue;
    }
    const T carry = a[i];
    std::size_t j = i + 1;
    do {
      a[j - 1] = a[j];
      ++j;
    } while (j < n && OutOfOrder<Asc>(carry, a[j]));
    a[j - 1] = carry;
    swapped = true;
    i = j;  // the pair (j - 1, j) is in order
  }
  return swapped;
}

template <bool Asc, bool Plain, class T>
void CombSortPasses(T* a, std::size_t n) {
  std::size_t gap = n;
  bool swapped = false;
  bool firstGap1 = true;
  const bool fuse = n * sizeof(T) >= kFuseMinBytes;
  do {
    gap = static_cast<std::size_t>(static_cast<double>(gap) / 1.3);
    if (gap == 0) gap = 1;
    if (fuse && gap >= 4 && gap <= kFuseMaxGap) {
      std::size_t gaps[64];
      std::size_t t = 0;
      gaps[t++] = gap;
      for (;;) {
        const auto next = static_cast<std::size_t>(static_cast<double>(gaps[t - 1]) / 1.3);
        if (next < 4 || t == 64) break;
        gaps[t++] = next;
      }
      FusedPasses<Asc, Plain>(a, n, gaps, t);
      for (std::size_t s = 1; s < t; ++s) ProgressStep(1.0);
      gap = gaps[t - 1];
    } else if (gap > 1) {
      CombPass<Asc, Plain>(a, n, gap);
    } else if (std::is_same_v<T, double> && Plain && firstGap1) {
      if constexpr (std::is_same_v<T, double>) swapped = CarryPass<Asc>(a, n);
      firstGap1 = false;
    } else {
      swapped = BubblePass<Asc>(a, n);
    }
    ProgressStep(1.0);  // the sorts report progress only; the abort flag is not consulted
  } while (gap > 1 || swapped);
}

template <bool Asc, class T>
void CombSort(T* a, std::size_t n) {
  if (n < 2) return;
  if (HasNaN(a, n))
    CombSortPasses<Asc, false>(a, n);
  else
    CombSortPasses<Asc, true>(a, n);
}

template <class T>
void SortT(T* a, std::size_t n, bool Ascending) {
  if (Ascending)
    CombSort<true>(a, n);
  else
    CombSort<false>(a, n);
}

template <class T>
int32_t SortIntoT(T* a, std::size_t n, T v, bool Asc, bool AllowDuplicates) {
  if (n == 0) return -1;
  std::size_t p = 0;
  while (p + 1 < n && Before(a[p], v, Asc)) ++p;
  if (Before(a[p], v, Asc)) return -1;                      // beyond the last element
  if (!AllowDuplicates && !Before(v, a[p], Asc)) return -1;  // an equal value is present
  std::memmove(a + p + 1, a + p, (n - 1 - p) * sizeof(T));
  a[p] = v;
  return static_cast<int32_t>(p);
}

template <class T>
void InsertT(T* a, std::size_t n, T v, int32_t Position) {
  if (Position < 0 || static_cast<std::size_t>(Position) >= n) return;
  const auto p = static_cast<std::size_t>(Position);
  std::memmove(a + p + 1, a + p, (n - 1 - p) * sizeof(T));
  a[p] = v;
}

// Untyped buffers are accessed as their element type, so they must be aligned for it.
template <class T>
bool Aligned(const void* p) noexcept {
  return reinterpret_cast<std::uintptr_t>(p) % alignof(T) == 0;
}

template <class T>
T ReadValue(const void* p) noexcept {
  T v;
  std::memcpy(&v, p, sizeof(T));  // the single new value may be unaligned
  return v;
}

enum class TElem { Double, Single, Int, None };

TElem ElemOf(TVarKind Kind) noexcept {
  switch (static_cast<uint8_t>(Kind)) {
    case 0:
    case 1:
      return TElem::Double;
    case 2:
      return TElem::Single;
    case 3:
    case 4:
      return TElem::Int;
    default:
      return TElem::None;
  }
}

}  // namespace

void SortArray(std::span<double> Data, bool Ascending) {
  SortT(Data.data(), Data.size(), Ascending);
}
void SortArray(std::span<float> Data, bool Ascending) {
  SortT(Data.data(), Data.size(), Ascending);
}
void SortArray(std::span<int32_t> Data, bool Ascending) {
  SortT(Data.data(), Data.size(), Ascending);
}

void SortArray(void* Data, int32_t NumElems, TVarKind Kind, bool Ascending) {
  if (Data == nullptr || NumElems < 2) return;
  const auto n = static_cast<std::size_t>(NumElems);
  switch (ElemOf(Kind)) {
    case TElem::Double:
      if (Aligned<double>(Data)) SortT(static_cast<double*>(Data), n, Ascending);
      break;
    case TElem::Single:
      if (Aligned<float>(Data)) SortT(static_cast<float*>(Data), n, Ascending);
      break;
    case TElem::Int:
      if (Aligned<int32_t>(Data)) SortT(static_cast<int32_t*>(Data), n, Ascending);
      break;
    case TElem::None:
      break;
  }
}

int32_t SortIntoArray(std::span<double> Data, double NewValue, bool Ascending,
                      bool AllowDuplicates) {
  return SortIntoT(Data.data(), Data.size(), NewValue, Ascending, AllowDuplicates);
}
int32_t SortIntoArray(std::span<float> Data, float NewValue, bool Ascending, bool AllowDuplicates) {
  return SortIntoT(Data.data(), Data.size(), NewValue, Ascending, AllowDuplicates);
}
int32_t SortIntoArray(std::span<int32_t> Data, int32_t NewValue, bool Ascending,
                      bool AllowDuplicates) {
  return SortIntoT(Data.data(), Data.size(), NewValue, Ascending, AllowDuplicates);
}

int32_t SortIntoArray(void* Data, int32_t NumElems, TVarKind Kind, const void* NewValue,
                      bool Ascending, bool AllowDuplicates) {
  if (Data == nullptr || NewValue == nullptr || NumElems < 1) return 0;
  const auto n = static_cast<std::size_t>(NumElems);
  int32_t p = -1;
  switch (ElemOf(Kind)) {
    case TElem::Double:
      if (Aligned<double>(Data))
        p = SortIntoT(static_cast<double*>(Data), n, ReadValue<double>(NewValue), Ascending,
                      AllowDuplicates);
      break;
    case TElem::Single:
      if (Aligned<float>(Data))
        p = SortIntoT(static_cast<float*>(Data), n, ReadValue<float>(NewValue), Ascending,
                      AllowDuplicates);
      break;
    case TElem::Int:
      if (Aligned<int32_t>(Data))
        p = SortIntoT(static_cast<int32_t*>(Data), n, ReadValue<int32_t>(NewValue), Ascending,
                      AllowDuplicates);
      break;
    case TElem::None:
      break;
  }
  return p + 1;  // 1-based; -1 (not inserted) becomes 0
}

void InsertIntoArray(std::span<double> Data, double NewValue, int32_t Position) {
  InsertT(Data.data(), Data.size(), NewValue, Position);
}
void InsertIntoArray(std::span<float> Data, float NewValue, int32_t Position) {
  InsertT(Data.data(), Data.size(), NewValue, Position);
}
void InsertIntoArray(std::span<int32_t> Data, int32_t NewValue, int32_t Position) {
  InsertT(Data.data(), Data.size(), NewValue, Position);
}

void InsertIntoArray(void* Data, int32_t NumElems, TVarKind Kind, int32_t Position,
                     const void* NewValue) {
  if (Data == nullptr || NewValue == nullptr || NumElems < 1) return;
  if (Position < 1 || Position > NumElems) return;
  const auto n = static_cast<std::size_t>(NumElems);
  switch (ElemOf(Kind)) {
    case TElem::Double:
      if (Aligned<double>(Data))
        InsertT(static_cast<double*>(Data), n, ReadValue<double>(NewValue), Position - 1);
      break;
    case TElem::Single:
      if (Aligned<float>(Data))
        InsertT(static_cast<float*>(Data), n, ReadValue<float>(NewValue), Position - 1);
      break;
    case TElem::Int:
      if (Aligned<int32_t>(Data))
        InsertT(static_cast<int32_t*>(Data), n, ReadValue<int32_t>(NewValue), Position - 1);
      break;
    case TElem::None:
      break;
  }
}

}  // namespace qmx
