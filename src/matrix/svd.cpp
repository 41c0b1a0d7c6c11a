// Singular value decomposition: Householder bidiagonalisation, accumulation of the right and
// left transformations, and implicit-shift QR on the bidiagonal form (Golub-Reinsch).
// Storage is column-major, so the column operations run on contiguous memory; the row
// operations are turned into column sweeps that keep every sum's order of terms.
#include "matrix/svd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "qmx/basepack.h"

namespace qmx::linalg {
namespace {

using std::size_t;

inline double Sign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

// s[t] = sum over k = k0..k1-1 of x[k] * col_t[k] for the four columns col_t, k increasing.
inline void Dot4(const double* x, const double* c0, const double* c1, const double* c2,
                 const double* c3, int32_t k0, int32_t k1, double s[4]) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  for (int32_t k = k0; k < k1; ++k) {
    const double xk = x[k];
    s0 += xk * c0[k];
    s1 += xk * c1[k];
    s2 += xk * c2[k];
    s3 += xk * c3[k];
  }
  s[0] = s0;
  s[1] = s1;
  s[2] = s2;
  s[3] = s3;
}

inline double Dot(const double* x, const double* y, int32_t k0, int32_t k1) {
  double s = 0.0;
  for (int32_t k = k0; k < k1; ++k) s += x[k] * y[k];
  return s;
}

// For each column j in [j0, n) of the m-row matrix a: s_j = dot(x, col_j) over rows k0..k1-1,
// then col_j[r] += f(s_j) * y[r] for rows r in [r0, k1). Four columns per sweep.
template <class F>
void DotUpdate(double* a, int32_t m, int32_t n, int32_t j0, const double* x, int32_t k0,
               int32_t k1, const double* y, int32_t r0, F f) {
  int32_t j = j0;
  for (; j + 4 <= n; j += 4) {
    double* c0 = a + static_cast<size_t>(j) * m;
    double* c1 = c0 + m;
    double* c2 = c1 + m;
    double* c3 = c2 + m;
    double s[4];
    Dot4(x, c0, c1, c2, c3, k0, k1, s);
    const double f0 = f(s[0]), f1 = f(s[1]), f2 = f(s[2]), f3 = f(s[3]);
    for (int32_t r = r0; r < k1; ++r) {
      const double yr = y[r];
      c0[r] += f0 * yr;
      c1[r] += f1 * yr;
      c2[r] += f2 * yr;
      c3[r] += f3 * yr;
    }
  }
  for (; j < n; ++j) {
    double* c = a + static_cast<size_t>(j) * m;
    const double fj = f(Dot(x, c, k0, k1));
    for (int32_t r = r0; r < k1; ++r) c[r] += fj * y[r];
  }
}

TSVDStatus Decompose(double* a, int32_t m, int32_t n, double* w, double* v) {
  const bool uv = v != nullptr;
  auto A = [a, m](int32_t r, int32_t c) -> double& { return a[static_cast<size_t>(c) * m + r]; };
  auto V = [v, n](int32_t r, int32_t c) -> double& { return v[static_cast<size_t>(c) * n + r]; };
  std::vector<double> rv1(static_cast<size_t>(n), 0.0);
  std::vector<double> tmp(static_cast<size_t>(std::max(m, n)), 0.0);
  double g = 0.0, scale = 0.0, anorm = 0.0, s = 0.0, f = 0.0, h = 0.0;
  int32_t l = 0;

  // 1. Householder reduction to bidiagonal form.
  for (int32_t i = 0; i < n; ++i) {
    if (ProgressStep(1.0)) return svdAborted;
    l = i + 1;
    rv1[i] = scale * g;
    g = s = scale = 0.0;
    if (i < m) {
      double* ci = a + static_cast<size_t>(i) * m;
      for (int32_t k = i; k < m; ++k) scale += std::fabs(ci[k]);
      if (scale != 0.0) {
        for (int32_t k = i; k < m; ++k) {
          ci[k] /= scale;
          s += ci[k] * ci[k];
        }
        f = ci[i];
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        ci[i] = f - g;
        const double hh = h;
        DotUpdate(a, m, n, l, ci, i, m, ci, i, [hh](double sj) { return sj / hh; });
        for (int32_t k = i; k < m; ++k) ci[k] *= scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0;
    if (i < m && i != n - 1) {
      for (int32_t k = l; k < n; ++k) scale += std::fabs(A(i, k));
      if (scale != 0.0) {
        for (int32_t k = l; k < n; ++k) {
          A(i, k) /= scale;
          s += A(i, k) * A(i, k);
        }
        f = A(i, l);
        g = -Sign(std::sqrt(s), f);
        h = f * g - s;
        A(i, l) = f - g;
        for (int32_t k = l; k < n; ++k) rv1[k] = A(i, k) / h;
        // Row j of the rows below gets s_j = sum_k A(j, k) A(i, k) (k increasing), then
        // A(j, k) += s_j rv1[k]; done column by column for all j at once.
        double* sj = tmp.data();
        std::fill(sj + l, sj + m, 0.0);
        for (int32_t k = l; k < n; ++k) {
          const double* ck = a + static_cast<size_t>(k) * m;
          const double aik = ck[i];
          for (int32_t j = l; j < m; ++j) sj[j] += ck[j] * aik;
        }
        for (int32_t k = l; k < n; ++k) {
          double* ck = a + static_cast<size_t>(k) * m;
          const double rk = rv1[k];
          for (int32_t j = l; j < m; ++j) ck[j] += sj[j] * rk;
        }
        for (int32_t k = l; k < n; ++k) A(i, k) *= scale;
      }
    }
    const double t = std::fabs(w[i]) + std::fabs(rv1[i]);
    anorm = anorm > t ? anorm : t;
  }

  // 2. Accumulation of the right-hand transformations.
  for (int32_t i = n - 1; i >= 0; --i) {
    if (ProgressStep(1.0)) return svdAborted;
    if (!uv) continue;
    if (i < n - 1) {
      if (g != 0.0) {
        double* vi = v + static_cast<size_t>(i) * n;
        for (int32_t j = l; j < n; ++j) vi[j] = (A(i, j) / A(i, l)) / g;
        // Row i of A as a contiguous vector for the dot products with V's columns.
        double* ai = tmp.data();
        for (int32_t k = l; k < n; ++k) ai[k] = A(i, k);
        DotUpdate(v, n, n, l, ai, l, n, vi, l, [](double sj) { return sj; });
      }
      for (int32_t j = l; j < n; ++j) V(i, j) = V(j, i) = 0.0;
    }
    V(i, i) = 1.0;
    g = rv1[i];
    l = i;
  }

  // 3. Accumulation of the left-hand transformations (A becomes U).
  for (int32_t i = n - 1; i >= 0; --i) {
    if (ProgressStep(1.0)) return svdAborted;
    if (!uv) continue;
    l = i + 1;
    g = w[i];
    for (int32_t j = l; j < n; ++j) A(i, j) = 0.0;
    double* ci = a + static_cast<size_t>(i) * m;
    if (g != 0.0) {
      g = 1.0 / g;
      const double aii = ci[i], gg = g;
      DotUpdate(a, m, n, l, ci, l, m, ci, i, [aii, gg](double sj) { return (sj / aii) * gg; });
      for (int32_t j = i; j < m; ++j) ci[j] *= g;
    } else {
      for (int32_t j = i; j < m; ++j) ci[j] = 0.0;
    }
    ci[i] += 1.0;
  }

  // 4. Diagonalisation of the bidiagonal form.
  bool converged = true;
  for (int32_t k = n - 1; k >= 0; --k) {
    if (ProgressStep(1.0)) return svdAborted;
    for (int its = 1; its <= 30; ++its) {
      bool flag = true;
      int32_t nm = 0;
      for (l = k; l >= 0; --l) {
        nm = l - 1;
        // rv1[0] is always 0, so the search stops at l = 0 at the latest; the explicit l == 0
        // keeps it there when a non-finite norm makes every test fail.
        if (l == 0 || std::fabs(rv1[l]) + anorm == anorm) {
          flag = false;
          break;
        }
        if (std::fabs(w[nm]) + anorm == anorm) break;
      }
      if (flag) {
        // w[nm] is negligible: cancel rv1[l] by rotations from the left.
        double c = 0.0;
        s = 1.0;
        for (int32_t i = l; i <= k; ++i) {
          f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (std::fabs(f) + anorm == anorm) break;
          g = w[i];
          h = std::sqrt(f * f + g * g);
          w[i] = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          if (uv) {
            double* cn = a + static_cast<size_t>(nm) * m;
            double* cc = a + static_cast<size_t>(i) * m;
            for (int32_t j = 0; j < m; ++j) {
              const double y = cn[j], z = cc[j];
              cn[j] = y * c + z * s;
              cc[j] = z * c - y * s;
            }
          }
        }
      }
      double z = w[k];
      if (l == k) {
        if (z < 0.0) {
          w[k] = -z;
          if (uv) {
            double* vk = v + static_cast<size_t>(k) * n;
            for (int32_t j = 0; j < n; ++j) vk[j] = -vk[j];
          }
        }
        break;
      }
      if (its == 30) converged = false;
      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      nm = k - 1;
      double y = w[nm];
      g = rv1[nm];
      h = rv1[k];
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = std::sqrt(f * f + 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(g, f))) - h)) / x;
      // Next QR transformation: chase the bulge down.
      double c = 1.0;
      s = 1.0;
      for (int32_t j = l; j <= nm; ++j) {
        const int32_t i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = std::sqrt(f * f + h * h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        if (uv) {
          double* vj = v + static_cast<size_t>(j) * n;
          double* vi = v + static_cast<size_t>(i) * n;
          for (int32_t jj = 0; jj < n; ++jj) {
            const double p = vj[jj], q = vi[jj];
            vj[jj] = p * c + q * s;
            vi[jj] = q * c - p * s;
          }
        }
        z = std::sqrt(f * f + h * h);
        w[j] = z;
        if (z != 0.0) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        if (uv) {
          double* aj = a + static_cast<size_t>(j) * m;
          double* ai = a + static_cast<size_t>(i) * m;
          for (int32_t jj = 0; jj < m; ++jj) {
            const double p = aj[jj], q = ai[jj];
            aj[jj] = p * c + q * s;
            ai[jj] = q * c - p * s;
          }
        }
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return converged ? svdOK : svdNoConvergence;
}

}  // namespace

TSVDStatus SVDecompose(double* a, int32_t m, int32_t n, double* w, double* v) {
  if (n <= 0) return svdOK;
  if (m < 0) m = 0;
  if (m >= n) return Decompose(a, m, n, w, v);
  // Fewer rows than columns: decompose the matrix extended by zero rows to n x n.
  const size_t nn = static_cast<size_t>(n);
  std::vector<double> sq(nn * nn, 0.0);
  for (int32_t c = 0; c < n; ++c)
    std::memcpy(sq.data() + c * nn, a + static_cast<size_t>(c) * m, static_cast<size_t>(m) * sizeof(double));
  const TSVDStatus st = Decompose(sq.data(), n, n, w, v);
  if (v != nullptr)
    for (int32_t c = 0; c < n; ++c)
      std::memcpy(a + static_cast<size_t>(c) * m, sq.data() + c * nn, static_cast<size_t>(m) * sizeof(double));
  return st;
}

}  // namespace qmx::linalg
