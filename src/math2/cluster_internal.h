// Kernels shared by the nearest-neighbour and clustering functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmx::math2detail {

// out[i] := sum over c < nq of (data(c, r0 + i) - q[c])^2 for i < cnt, data column-major with
// leading dimension ld and ncol columns (columns beyond the data read as 0). The sums run over
// the columns in order, vectorised across the objects.
void SquaredDistances(const double* data, std::size_t ld, int32_t ncol, std::size_t r0,
                      std::size_t cnt, const double* q, int32_t nq, double* out);

// Ascending bounded list of distances with their rows (uc_MaxReal and row 0 when unfilled).
struct TNeighbourList {
  std::vector<double> Dist;
  std::vector<int32_t> Row;
  void Reset(std::size_t cap);
  void Offer(double d, int32_t row);
};

}  // namespace qmx::math2detail
