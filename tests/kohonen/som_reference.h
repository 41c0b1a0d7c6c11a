// The map's training written out literally, cell by cell, on a plain array of weights: the
// independent reference of the tests and the anchor of the benchmark.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace somref {

struct Map {
  int nx = 1, ny = 1, nv = 1;
  bool cyclic = false;
  int maxNeighb = 2, maxSteps = 200, curStep = 1;
  double maxAlpha = 1.0;
  std::vector<double> w;  // w[((x-1)*ny + (y-1))*nv + (i-1)]
  double& W(int x, int y, int i) { return w[(static_cast<size_t>(x - 1) * ny + (y - 1)) * nv + (i - 1)]; }
};

// rows[r][i]: object r, variable i (0-based).
inline void Epoch(Map& m, const std::vector<std::vector<double>>& rows, double alpha, int neighb) {
  const double maxd = std::numeric_limits<double>::max();
  for (const auto& v : rows) {
    double dmin = maxd;
    int bx = 0, by = 0;
    for (int x = 1; x <= m.nx; ++x)
      for (int y = 1; y <= m.ny; ++y) {
        double d = 0.0;
        for (int i = 1; i <= m.nv; ++i) d += (m.W(x, y, i) - v[i - 1]) * (m.W(x, y, i) - v[i - 1]);
        if (d < dmin) {
          dmin = d;
          bx = x;
          by = y;
        }
      }
    if (bx == 0) continue;
    int rx = neighb, ry = neighb;
    if (m.cyclic) {
      if (neighb >= m.nx / 2) rx = m.nx / 2 - 1;
      if (neighb >= m.ny / 2) ry = m.ny / 2 - 1;
    }
    if (rx < 0) rx = 0;
    if (ry < 0) ry = 0;
    int xlo = bx - rx, xhi = bx + rx, ylo = by - ry, yhi = by + ry;
    if (!m.cyclic) {
      if (xlo < 1) xlo = 1;
      if (xhi > m.nx) xhi = m.nx;
      if (ylo < 1) ylo = 1;
      if (yhi > m.ny) yhi = m.ny;
    }
    for (int wx = xlo; wx <= xhi; ++wx) {
      const int x = wx <= 0 ? wx + m.nx : wx > m.nx ? wx - m.nx : wx;
      for (int wy = ylo; wy <= yhi; ++wy) {
        const int y = wy <= 0 ? wy + m.ny : wy > m.ny ? wy - m.ny : wy;
        double d = 0.0;
        for (int i = 1; i <= m.nv; ++i) d += (m.W(x, y, i) - v[i - 1]) * (m.W(x, y, i) - v[i - 1]);
        const double h = alpha * (1.0 / (std::sqrt(d - dmin) + 1.0));
        for (int i = 1; i <= m.nv; ++i) m.W(x, y, i) = m.W(x, y, i) + (v[i - 1] - m.W(x, y, i)) * h;
      }
    }
  }
}

// Epochs from curStep with the schedule; Feedback gets each epoch's percentage and may return
// true to stop.
inline void Continue(Map& m, const std::vector<std::vector<double>>& rows,
                     const std::function<bool(int)>& Feedback = nullptr) {
  do {
    const double f = static_cast<double>(m.maxSteps - m.curStep) / m.maxSteps;
    const int neighb = static_cast<int>(std::nearbyint(f * f * (m.maxNeighb - 1) + 1));
    Epoch(m, rows, f * f * m.maxAlpha, neighb);
    const bool stop = Feedback && Feedback(static_cast<int>(std::nearbyint(m.curStep * 100.0 / m.maxSteps)));
    ++m.curStep;
    if (stop) break;
  } while (m.curStep < m.maxSteps);
}

}  // namespace somref
