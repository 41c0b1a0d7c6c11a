// Element order shared by the sorts, the selection and the sorted insertion: plain comparison,
// except that NaN stands after every number (in either direction) and NaNs are equal to each
// other, so every float array has one well-defined sorted order.
#pragma once

#include <cstdint>
#include <type_traits>

namespace qmx::math1_detail {

template <class T>
inline bool IsNaN(T x) noexcept {
  if constexpr (std::is_floating_point_v<T>)
    return x != x;
  else
    return false;
}

// a strictly before b in the ascending (Asc) or descending order.
template <bool Asc, class T>
inline bool Before(T a, T b) noexcept {
  if constexpr (std::is_floating_point_v<T>) {
    if (Asc ? (a < b) : (a > b)) return true;
    return b != b && a == a;
  } else {
    return Asc ? (a < b) : (a > b);
  }
}

template <class T>
inline bool Before(T a, T b, bool Asc) noexcept {
  return Asc ? Before<true>(a, b) : Before<false>(a, b);
}

// The comb sort's exchange test: the pair (a, b) at i < j is out of order. Equal elements are
// never exchanged.
template <bool Asc, class T>
inline bool OutOfOrder(T a, T b) noexcept {
  return Before<Asc>(b, a);
}

}  // namespace qmx::math1_detail
