// Inner loops of the self-organising map. During an epoch the weights are held variable-major
// (all cells' weight i side by side), so the best-matching search runs over the cells in SIMD
// lanes; each cell still sums its squared differences over the variables in order 1..n, so the
// distances are those of a cell-by-cell loop, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qmx/matrix.h"

namespace qmx::som {

struct Geometry {
  int32_t NX = 1, NY = 1, NV = 1;
  bool Cyclic = false;
  int32_t RX = 0, RY = 0;  // window radii of the epoch
  std::size_t Cells() const noexcept { return static_cast<std::size_t>(NX) * static_cast<std::size_t>(NY); }
  // Radii from the epoch's neighbourhood: a cyclic map keeps its window narrower than the map so
  // that no cell is visited twice; a negative radius is 0.
  void SetRadius(int32_t Neighb) noexcept;
};

// Squared distances of all cells to X (NV values) into D; W is variable-major (W[i*N + c]),
// cell c = (x-1)*NY + (y-1). Returns the smallest distance below uc_MaxDouble (uc_MaxDouble when
// there is none: all distances NaN or huge).
double Distances(const double* W, std::size_t N, int32_t NV, const double* X, double* D) noexcept;
// Index of the first cell whose distance is Best; N when Best is not below uc_MaxDouble.
std::size_t FirstMinimum(const double* D, std::size_t N, double Best) noexcept;

// One training epoch on a variable-major copy of the weights.
class Epoch {
 public:
  void Load(const Geometry& G, const TMat3D& M);
  void Store(const Geometry& G, TMat3D& M) const;
  // Every data row in order: best-matching cell, then the window update.
  void Run(const Geometry& G, const TMatrix& Data, double Alpha);

 private:
  std::vector<double> FW, FD, FX;
};

// Best-matching cell of U (trained units) over the weights of M, x outer, y inner; BestIx,
// BestIy and Distance change only when a cell's distance is below Distance.
void BestCell(const Geometry& G, const TMat3D& M, const double* U, int32_t& BestIx, int32_t& BestIy,
              double& Distance);

}  // namespace qmx::som
