// Small helpers shared by the vector tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "qmx/vector.h"

namespace vectest {

using D = std::vector<double>;
using I = std::vector<int32_t>;

// Fills a vector through its setter (so IsEmpty and events behave as for any caller).
template <class V, class T>
void Set(V& v, std::initializer_list<T> xs) {
  v.Resize(static_cast<int32_t>(xs.size()));
  int32_t i = 1;
  for (T x : xs) v.SetVal(i++, x);
}
inline void Set(qmx::TVector& v, std::initializer_list<double> xs) { Set<qmx::TVector, double>(v, xs); }
inline void Set(qmx::TIntVector& v, std::initializer_list<int32_t> xs) {
  Set<qmx::TIntVector, int32_t>(v, xs);
}

inline D Values(const qmx::TVector& v) { return D(v.Data().begin(), v.Data().end()); }
inline I Values(const qmx::TIntVector& v) { return I(v.Data().begin(), v.Data().end()); }

}  // namespace vectest
