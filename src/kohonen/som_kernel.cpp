#include "kohonen/som_kernel.h"

#include <algorithm>
#include <cmath>

#include "qmx/basepack.h"

namespace qmx::som {

void Geometry::SetRadius(int32_t Neighb) noexcept {
  RX = RY = Neighb;
  if (Cyclic) {
    if (Neighb >= NX / 2) RX = NX / 2 - 1;
    if (Neighb >= NY / 2) RY = NY / 2 - 1;
  }
  RX = std::max(RX, 0);
  RY = std::max(RY, 0);
}

void Distances(const double* W, std::size_t N, int32_t NV, const double* X, double* D) noexcept {
  // Cells in blocks that stay in registers across all variables; the sum of each cell still
  // runs over the variables in order.
  constexpr std::size_t B = 8;
  std::size_t c0 = 0;
  for (; c0 + B <= N; c0 += B) {
    double acc[B];
    for (std::size_t k = 0; k < B; ++k) {
      const double t = W[c0 + k] - X[0];
      acc[k] = t * t;
    }
    for (int32_t i = 1; i < NV; ++i) {
      const double* w = W + static_cast<std::size_t>(i) * N + c0;
      const double x = X[i];
      for (std::size_t k = 0; k < B; ++k) {
        const double t = w[k] - x;
        acc[k] += t * t;
      }
    }
    for (std::size_t k = 0; k < B; ++k) D[c0 + k] = acc[k];
  }
  for (std::size_t c = c0; c < N; ++c) {
    double t = W[c] - X[0];
    double s = t * t;
    for (int32_t i = 1; i < NV; ++i) {
      t = W[static_cast<std::size_t>(i) * N + c] - X[i];
      s += t * t;
    }
    D[c] = s;
  }
}

std::size_t FirstMinimum(const double* D, std::size_t N) noexcept {
  // Minimum in four lanes (a NaN never replaces a lane's value), then the first cell holding it:
  // the same cell as a strict running comparison from uc_MaxDouble.
  double m[4] = {uc_MaxDouble, uc_MaxDouble, uc_MaxDouble, uc_MaxDouble};
  std::size_t c = 0;
  for (; c + 4 <= N; c += 4)
    for (std::size_t k = 0; k < 4; ++k) m[k] = D[c + k] < m[k] ? D[c + k] : m[k];
  for (; c < N; ++c) m[0] = D[c] < m[0] ? D[c] : m[0];
  double best = m[0];
  for (std::size_t k = 1; k < 4; ++k) best = m[k] < best ? m[k] : best;
  if (!(best < uc_MaxDouble)) return N;
  for (c = 0; c < N; ++c)
    if (D[c] == best) return c;
  return N;
}

void Epoch::Load(const Geometry& G, const TMat3D& M) {
  const std::size_t n = G.Cells(), nv = static_cast<std::size_t>(G.NV);
  FW.assign(n * nv, 0.0);
  FD.assign(n, 0.0);
  FX.assign(nv, 0.0);
  // The array keeps the weights of one cell together; the epoch wants one variable of all cells.
  const double* src = M.Data();
  for (std::size_t c = 0; c < n; ++c)
    for (std::size_t i = 0; i < nv; ++i) FW[i * n + c] = src[c * nv + i];
}

void Epoch::Store(const Geometry& G, TMat3D& M) const {
  const std::size_t n = G.Cells(), nv = static_cast<std::size_t>(G.NV);
  double* dst = M.Data();
  for (std::size_t c = 0; c < n; ++c)
    for (std::size_t i = 0; i < nv; ++i) dst[c * nv + i] = FW[i * n + c];
}

void Epoch::Run(const Geometry& G, const TMatrix& Data, double Alpha) {
  const std::size_t n = G.Cells();
  const std::size_t nv = static_cast<std::size_t>(G.NV);
  const int32_t rows = Data.NrOfRows();
  if (!Data.HasCells() || Data.NrOfColumns() != G.NV) return;
  double* W = FW.data();
  double* D = FD.data();
  double* X = FX.data();
  for (int32_t r = 0; r < rows; ++r) {
    for (std::size_t i = 0; i < nv; ++i) X[i] = Data.ColumnData(static_cast<int32_t>(i) + 1)[r];
    Distances(W, n, G.NV, X, D);
    const std::size_t best = FirstMinimum(D, n);
    // No cell is nearer than uc_MaxDouble (a NaN or an overflowing value in the row): the row
    // has no best match and moves nothing, rather than spreading NaN over the map.
    if (best == n) continue;
    const double dmin = D[best];
    const int64_t bx = static_cast<int64_t>(best / static_cast<std::size_t>(G.NY)) + 1;
    const int64_t by = static_cast<int64_t>(best % static_cast<std::size_t>(G.NY)) + 1;
    int64_t xlo = bx - G.RX, xhi = bx + G.RX, ylo = by - G.RY, yhi = by + G.RY;
    if (!G.Cyclic) {
      xlo = std::max<int64_t>(xlo, 1);
      xhi = std::min<int64_t>(xhi, G.NX);
      ylo = std::max<int64_t>(ylo, 1);
      yhi = std::min<int64_t>(yhi, G.NY);
    }
    for (int64_t wx = xlo; wx <= xhi; ++wx) {
      int64_t x = wx;
      if (x <= 0) x += G.NX;
      else if (x > G.NX) x -= G.NX;
      for (int64_t wy = ylo; wy <= yhi; ++wy) {
        int64_t y = wy;
        if (y <= 0) y += G.NY;
        else if (y > G.NY) y -= G.NY;
        const std::size_t c = static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(G.NY) +
                              static_cast<std::size_t>(y - 1);
        // The cell's distance from the search: its weights have not moved since.
        const double h = Alpha * (1.0 / (std::sqrt(D[c] - dmin) + 1.0));
        double* w = W + c;
        for (std::size_t i = 0; i < nv; ++i) {
          double& wi = w[i * n];
          wi = wi + (X[i] - wi) * h;
        }
      }
    }
  }
}

void BestCell(const Geometry& G, const TMat3D& M, const double* U, int32_t& BestIx, int32_t& BestIy,
              double& Distance) {
  const std::size_t nv = static_cast<std::size_t>(G.NV);
  const double* w = M.Data();
  for (int32_t x = 1; x <= G.NX; ++x)
    for (int32_t y = 1; y <= G.NY; ++y, w += nv) {
      double t = w[0] - U[0];
      double d = t * t;
      for (std::size_t i = 1; i < nv; ++i) {
        t = w[i] - U[i];
        d += t * t;
      }
      if (d < Distance) {
        Distance = d;
        BestIx = x;
        BestIy = y;
      }
    }
}

}  // namespace qmx::som
