// Helpers shared by the TMatrix tests.
#pragma once

#include <initializer_list>
#include <vector>

#include "qmx/matrix.h"

namespace qmxtest {

// Matrix from rows as written on paper: Rows[r][c] becomes cell (c+1, r+1).
inline void SetRows(qmx::TMatrix& m, std::initializer_list<std::initializer_list<double>> Rows) {
  const int32_t nr = static_cast<int32_t>(Rows.size());
  const int32_t nc = nr ? static_cast<int32_t>(Rows.begin()->size()) : 0;
  m.Resize(nc, nr);
  int32_t r = 1;
  for (const auto& row : Rows) {
    int32_t c = 1;
    for (double v : row) m.SetVal(c++, r, v);
    ++r;
  }
}

// Counts OnChange firings.
struct ChangeCounter {
  int n = 0;
  void Attach(qmx::TMatrix& m) {
    m.OnChange = [this](qmx::TObject*) { ++n; };
  }
};

}  // namespace qmxtest
