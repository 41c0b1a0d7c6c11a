// Helpers shared by the TMat3D and TMat4D tests.
#pragma once

#include "qmx/matrix.h"

namespace qmxtest {

// Element (c, r, l, t) := 1000t + 100l + 10r + c, so every position is recognisable.
inline void Numbered(qmx::TMat4D& m, int32_t nc, int32_t nr, int32_t nl, int32_t nt) {
  m.Resize(nc, nr, nl, nt);
  for (int32_t t = 1; t <= nt; ++t)
    for (int32_t l = 1; l <= nl; ++l)
      for (int32_t r = 1; r <= nr; ++r)
        for (int32_t c = 1; c <= nc; ++c) m.SetVal(c, r, l, t, 1000.0 * t + 100.0 * l + 10.0 * r + c);
}

}  // namespace qmxtest
