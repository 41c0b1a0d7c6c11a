// Comb sorts (shrink factor 1.3, one progress step per pass), sorted insertion into bounded
// lists, and the untyped-buffer dispatch.
//
// A pass compares element i with element i + gap for ascending i. When gap is at least the
// number of lanes of a vector register, the pairs of a block of consecutive i are disjoint and
// no pair of the block reads what another pair of the same block writes, so a block can be
// compared and exchanged at once with masks: the result is exactly that of the element-by-element
// pass (same exchanges, same passes, same progress steps). Short gaps run element by element.
#include <emmintrin.h>

#include <cstring>

#include "math1/order.h"
#include "qmx/math1.h"

namespace qmx {

using math1_detail::Before;
using math1_detail::OutOfOrder;

namespace {

// ---- vector lanes ----------------------------------------------------------------------------
// Mask of the lanes whose pair (x, y) is out of order; equal pairs never are, and NaN counts as
// greater than every number in both directions (only a number after a NaN moves forward).
// The exchange flips, in the masked lanes, the bits in which x and y differ.

struct LanesDouble {
  using V = __m128d;
  static constexpr std::size_t W = 2;
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    // ascending: not (x <= y) and y is a number; descending: not (x >= y) and y is a number
    const V c = Asc ? _mm_cmpnle_pd(x, y) : _mm_cmpnge_pd(x, y);
    return _mm_and_pd(c, _mm_cmpord_pd(y, y));
  }
  static V Diff(V m, V a, V b) { return _mm_and_pd(m, _mm_xor_pd(a, b)); }
  static V Xor(V a, V b) { return _mm_xor_pd(a, b); }
  static V Or(V a, V b) { return _mm_or_pd(a, b); }
  static bool Any(V m) { return _mm_movemask_pd(m) != 0; }
  static V Zero() { return _mm_setzero_pd(); }
};

struct LanesFloat {
  using V = __m128;
  static constexpr std::size_t W = 4;
  static V Load(const float* p) { return _mm_loadu_ps(p); }
  static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    const V c = Asc ? _mm_cmpnle_ps(x, y) : _mm_cmpnge_ps(x, y);
    return _mm_and_ps(c, _mm_cmpord_ps(y, y));
  }
  static V Diff(V m, V a, V b) { return _mm_and_ps(m, _mm_xor_ps(a, b)); }
  static V Xor(V a, V b) { return _mm_xor_ps(a, b); }
  static V Or(V a, V b) { return _mm_or_ps(a, b); }
  static bool Any(V m) { return _mm_movemask_ps(m) != 0; }
  static V Zero() { return _mm_setzero_ps(); }
};

struct LanesInt {
  using V = __m128i;
  static constexpr std::size_t W = 4;
  static V Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(int32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  template <bool Asc>
  static V SwapMask(V x, V y) {
    return Asc ? _mm_cmpgt_epi32(x, y) : _mm_cmpgt_epi32(y, x);
  }
  static V Diff(V m, V a, V b) { return _mm_and_si128(m, _mm_xor_si128(a, b)); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
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

// One comb pass with gap >= 2; returns whether anything was exchanged.
template <bool Asc, class T>
bool CombPass(T* a, std::size_t n, std::size_t gap) {
  using L = LanesOf<T>;
  using V = typename L::V;
  constexpr std::size_t W = L::W;
  const std::size_t pairs = n - gap;
  std::size_t i = 0;
  V any = L::Zero();
  if (gap >= 2 * W) {
    // two registers per step: 2W pairs, still disjoint because gap >= 2W
    for (; i + 2 * W <= pairs; i += 2 * W) {
      const V x0 = L::Load(a + i), x1 = L::Load(a + i + W);
      const V y0 = L::Load(a + i + gap), y1 = L::Load(a + i + gap + W);
      const V m0 = L::template SwapMask<Asc>(x0, y0);
      const V m1 = L::template SwapMask<Asc>(x1, y1);
      const V d0 = L::Diff(m0, x0, y0), d1 = L::Diff(m1, x1, y1);
      L::Store(a + i, L::Xor(x0, d0));
      L::Store(a + i + W, L::Xor(x1, d1));
      L::Store(a + i + gap, L::Xor(y0, d0));
      L::Store(a + i + gap + W, L::Xor(y1, d1));
      any = L::Or(any, L::Or(m0, m1));
    }
  }
  if (gap >= W) {
    for (; i + W <= pairs; i += W) {
      const V x = L::Load(a + i);
      const V y = L::Load(a + i + gap);
      const V m = L::template SwapMask<Asc>(x, y);
      const V d = L::Diff(m, x, y);
      L::Store(a + i, L::Xor(x, d));
      L::Store(a + i + gap, L::Xor(y, d));
      any = L::Or(any, m);
    }
  }
  bool swapped = L::Any(any);
  for (; i < pairs; ++i) {
    const T x = a[i], y = a[i + gap];
    if (OutOfOrder<Asc>(x, y)) {
      a[i] = y;
      a[i + gap] = x;
      swapped = true;
    }
  }
  return swapped;
}

// The gap-1 pass: the element carried forward is kept in a register instead of being written
// and re-read at every step.
template <bool Asc, class T>
bool BubblePass(T* a, std::size_t n) {
  bool swapped = false;
  T carry = a[0];
  for (std::size_t i = 1; i < n; ++i) {
    const T x = a[i];
    if (OutOfOrder<Asc>(carry, x)) {
      a[i - 1] = x;
      swapped = true;
    } else {
      a[i - 1] = carry;
      carry = x;
    }
  }
  a[n - 1] = carry;
  return swapped;
}

template <bool Asc, class T>
void CombSort(T* a, std::size_t n) {
  if (n < 2) return;
  std::size_t gap = n;
  bool swapped;
  do {
    gap = static_cast<std::size_t>(static_cast<double>(gap) / 1.3);
    if (gap == 0) gap = 1;
    swapped = gap == 1 ? BubblePass<Asc>(a, n) : CombPass<Asc>(a, n, gap);
    ProgressStep(1.0);  // the sorts report progress only; the abort flag is not consulted
  } while (gap > 1 || swapped);
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
