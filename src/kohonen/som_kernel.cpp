#include "kohonen/som_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {

// Two doubles in one SSE2 register (GCC and Clang vector extension): the arithmetic per lane is
// the scalar one.
typedef double V2 __attribute__((vector_size(16)));
inline V2 LoadU(const double* p) noexcept {
  V2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreU(double* p, V2 v) noexcept { std::memcpy(p, &v, sizeof v); }

}  // namespace

double Distances(const double* W, std::size_t N, int32_t NV, const double* X, double* D) noexcept {
  // Blocks of 16 cells whose sums stay in eight registers across all variables (enough
  // independent additions to hide their latency); each cell's sum still runs over the variables
  // in order. The running minimum ignores NaN, as a strict comparison does.
  constexpr std::size_t A = 8, B = 2 * A;
  V2 mn = {uc_MaxDouble, uc_MaxDouble};
  std::size_t c0 = 0;
  for (; c0 + B <= N; c0 += B) {
    V2 acc[A];
    const V2 x0 = {X[0], X[0]};
    for (std::size_t a = 0; a < A; ++a) {
      const V2 t = LoadU(W + c0 + 2 * a) - x0;
      acc[a] = t * t;
    }
    for (int32_t i = 1; i < NV; ++i) {
      const double* w = W + static_cast<std::size_t>(i) * N + c0;
      const V2 x = {X[i], X[i]};
      for (std::size_t a = 0; a < A; ++a) {
        const V2 t = LoadU(w + 2 * a) - x;
        acc[a] += t * t;
      }
    }
    for (std::size_t a = 0; a < A; ++a) {
      StoreU(D + c0 + 2 * a, acc[a]);
      mn = acc[a] < mn ? acc[a] : mn;
    }
  }
  double best = mn[0] < mn[1] ? mn[0] : mn[1];
  for (std::size_t c = c0; c < N; ++c) {
    double t = W[c] - X[0];
    double s = t * t;
    for (int32_t i = 1; i < NV; ++i) {
      t = W[static_cast<std::size_t>(i) * N + c] - X[i];
      s += t * t;
    }
    D[c] = s;
    best = s < best ? s : best;
  }
  return best;
}

std::size_t FirstMinimum(const double* D, std::size_t N, double Best) noexcept {
  // The first cell holding the minimum is the one a strict running comparison from
  // uc_MaxDouble keeps.
  if (!(Best < uc_MaxDouble)) return N;
  for (std::size_t c = 0; c < N; ++c)
    if (D[c] == Best) return c;
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
    const std::size_t best = FirstMinimum(D, n, Distances(W, n, G.NV, X, D));
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
