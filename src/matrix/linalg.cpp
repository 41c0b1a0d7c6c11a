// Dense kernels: products, Crout LU, inverse, determinant, Cholesky, balancing and norms.
// The loops are ordered so that the inner ones run down columns (contiguous) and vectorise,
// while every individual sum keeps its textbook order of terms (see linalg.h).
#include "matrix/linalg.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "qmx/basepack.h"

namespace qmx {

int32_t LUParity = 1;

namespace linalg {
namespace {

using std::size_t;

// Two-double SIMD values (SSE2 registers); the unaligned variant is for loads from user storage.
typedef double v2d __attribute__((vector_size(16)));
typedef double v2du __attribute__((vector_size(16), aligned(8)));

inline size_t Idx(int32_t r, int32_t c, int32_t ld) {
  return static_cast<size_t>(c) * static_cast<size_t>(ld) + static_cast<size_t>(r);
}

// ---- matrix product ------------------------------------------------------------------------------

// Register tile MR x NR of C; the packed panels give MR values of op(A) and NR of op(B) per p.
constexpr int kMR = 4;
constexpr int kNR = 6;
constexpr int kKC = 256;  // depth of a packed block (A panel of MR x KC stays in L1)
constexpr int kMC = 96;   // rows of a packed A block (MC x KC in L2)
constexpr int kNC = 1536; // columns of a packed B block

struct OpView {
  const double* p;
  int32_t ld;  // leading dimension of the stored matrix
  bool trans;
  bool neg = false;  // use -op(X) (negation is exact, so C += (-a) b is C - a b bit for bit)
  double at(int32_t r, int32_t c) const {
    const double v = trans ? p[Idx(c, r, ld)] : p[Idx(r, c, ld)];
    return neg ? -v : v;
  }
};

// Packs op(A)(i0 .. i0+mc-1, p0 .. p0+kc-1) into micro-panels of kMR rows, zero padded.
void PackA(const OpView& A, int32_t i0, int32_t mc, int32_t p0, int32_t kc, double* dst) {
  for (int32_t ib = 0; ib < mc; ib += kMR) {
    const int32_t mr = std::min(kMR, mc - ib);
    if (!A.trans && !A.neg && mr == kMR) {
      for (int32_t p = 0; p < kc; ++p) {
        const double* src = A.p + Idx(i0 + ib, p0 + p, A.ld);
        for (int ii = 0; ii < kMR; ++ii) dst[ii] = src[ii];
        dst += kMR;
      }
    } else if (!A.trans && mr == kMR) {
      for (int32_t p = 0; p < kc; ++p) {
        const double* src = A.p + Idx(i0 + ib, p0 + p, A.ld);
        for (int ii = 0; ii < kMR; ++ii) dst[ii] = -src[ii];
        dst += kMR;
      }
    } else {
      for (int32_t p = 0; p < kc; ++p) {
        for (int ii = 0; ii < kMR; ++ii) dst[ii] = ii < mr ? A.at(i0 + ib + ii, p0 + p) : 0.0;
        dst += kMR;
      }
    }
  }
}

// Packs op(B)(p0 .. p0+kc-1, j0 .. j0+nc-1) into micro-panels of kNR columns, zero padded.
void PackB(const OpView& B, int32_t p0, int32_t kc, int32_t j0, int32_t nc, double* dst) {
  for (int32_t jb = 0; jb < nc; jb += kNR) {
    const int32_t nr = std::min(kNR, nc - jb);
    if (!B.trans && !B.neg && nr == kNR) {
      const double* cols[kNR];
      for (int jj = 0; jj < kNR; ++jj) cols[jj] = B.p + Idx(p0, j0 + jb + jj, B.ld);
      for (int32_t p = 0; p < kc; ++p) {
        for (int jj = 0; jj < kNR; ++jj) dst[jj] = cols[jj][p];
        dst += kNR;
      }
    } else {
      for (int32_t p = 0; p < kc; ++p) {
        for (int jj = 0; jj < kNR; ++jj) dst[jj] = jj < nr ? B.at(p0 + p, j0 + jb + jj) : 0.0;
        dst += kNR;
      }
    }
  }
}

// C tile (mr x nr valid of kMR x kNR) = (first ? 0 : C) + sum_p a_p b_p^T, p increasing.
void MicroKernel(int32_t kc, const double* __restrict Ap, const double* __restrict Bp, double* C,
                 int32_t ldc, bool first, int32_t mr, int32_t nr) {
  constexpr int V = kMR / 2;
  v2d acc[kNR][V];
  const bool full = mr == kMR && nr == kNR;
  if (first) {
#pragma GCC unroll 8
    for (int j = 0; j < kNR; ++j)
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc[j][v] = v2d{0.0, 0.0};
  } else if (full) {
#pragma GCC unroll 8
    for (int j = 0; j < kNR; ++j)
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc[j][v] = *reinterpret_cast<const v2du*>(C + Idx(2 * v, j, ldc));
  } else {
    alignas(16) double t[kNR][kMR] = {};
    for (int j = 0; j < nr; ++j)
      for (int i = 0; i < mr; ++i) t[j][i] = C[Idx(i, j, ldc)];
#pragma GCC unroll 8
    for (int j = 0; j < kNR; ++j)
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc[j][v] = v2d{t[j][2 * v], t[j][2 * v + 1]};
  }
  for (int32_t p = 0; p < kc; ++p) {
    v2d a[V];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) a[v] = *reinterpret_cast<const v2d*>(Ap + 2 * v);
#pragma GCC unroll 8
    for (int j = 0; j < kNR; ++j) {
      const v2d b = v2d{Bp[j], Bp[j]};
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc[j][v] += a[v] * b;
    }
    Ap += kMR;
    Bp += kNR;
  }
  if (full) {
#pragma GCC unroll 8
    for (int j = 0; j < kNR; ++j)
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) *reinterpret_cast<v2du*>(C + Idx(2 * v, j, ldc)) = acc[j][v];
  } else {
    for (int j = 0; j < nr; ++j)
      for (int i = 0; i < mr; ++i) C[Idx(i, j, ldc)] = acc[j][i / 2][i % 2];
  }
}

struct AlignedBuf {
  double* p = nullptr;
  explicit AlignedBuf(size_t n) {
    p = static_cast<double*>(::operator new[](n * sizeof(double) + 64, std::align_val_t(64)));
  }
  ~AlignedBuf() { ::operator delete[](p, std::align_val_t(64)); }
  AlignedBuf(const AlignedBuf&) = delete;
  AlignedBuf& operator=(const AlignedBuf&) = delete;
};

// C (ldc) = or += op(A) op(B) over the full depth k; "accumulate" keeps C's values as the start.
void Gemm(const OpView& A, const OpView& B, int32_t m, int32_t n, int32_t k, double* C,
          int32_t ldc, bool accumulate) {
  if (m <= 0 || n <= 0) return;
  if (k <= 0) {
    if (!accumulate)
      for (int32_t c = 0; c < n; ++c) std::fill_n(C + Idx(0, c, ldc), m, 0.0);
    return;
  }
  const int32_t ncMax = std::min<int32_t>(kNC, (n + kNR - 1) / kNR * kNR);
  const int32_t kcMax = std::min<int32_t>(kKC, k);
  const int32_t mcMax = std::min<int32_t>(kMC, (m + kMR - 1) / kMR * kMR);
  AlignedBuf bufB(static_cast<size_t>(kcMax) * ((ncMax + kNR - 1) / kNR * kNR));
  AlignedBuf bufA(static_cast<size_t>(kcMax) * ((mcMax + kMR - 1) / kMR * kMR));
  for (int32_t j0 = 0; j0 < n; j0 += kNC) {
    const int32_t nc = std::min(kNC, n - j0);
    for (int32_t p0 = 0; p0 < k; p0 += kKC) {
      const int32_t kc = std::min(kKC, k - p0);
      const bool first = p0 == 0 && !accumulate;
      PackB(B, p0, kc, j0, nc, bufB.p);
      for (int32_t i0 = 0; i0 < m; i0 += kMC) {
        const int32_t mc = std::min(kMC, m - i0);
        PackA(A, i0, mc, p0, kc, bufA.p);
        for (int32_t jb = 0; jb < nc; jb += kNR) {
          const int32_t nr = std::min(kNR, nc - jb);
          const double* Bp = bufB.p + static_cast<size_t>(jb) * kc;
          for (int32_t ib = 0; ib < mc; ib += kMR) {
            const int32_t mr = std::min(kMR, mc - ib);
            MicroKernel(kc, bufA.p + static_cast<size_t>(ib) * kc, Bp,
                        C + Idx(i0 + ib, j0 + jb, ldc), ldc, first, mr, nr);
          }
        }
      }
    }
  }
}

// ---- LU helpers -------------------------------------------------------------------------------

void SwapRows(double* a, int32_t n, int32_t r1, int32_t r2) {
  for (int32_t c = 0; c < n; ++c) std::swap(a[Idx(r1, c, n)], a[Idx(r2, c, n)]);
}

constexpr double kTinyPivot = 1e-100;

}  // namespace

// ---- products ------------------------------------------------------------------------------------

void MatMul(const double* A, bool transA, const double* B, bool transB, int32_t m, int32_t n,
            int32_t k, double* C) {
  const OpView av{A, transA ? k : m, transA};
  const OpView bv{B, transB ? n : k, transB};
  if (m <= 0 || n <= 0) return;
  if (k <= 0 || static_cast<int64_t>(m) * n * k > 32768) {
    Gemm(av, bv, m, n, k, C, m, false);
    return;
  }
  // Small products: packing would cost more than it saves; the same sums, column by column.
  for (int32_t c = 0; c < n; ++c) {
    double* col = C + Idx(0, c, m);
    if (!transA) {
      std::fill_n(col, m, 0.0);
      for (int32_t p = 0; p < k; ++p) {
        const double b = bv.at(p, c);
        const double* ap = A + Idx(0, p, m);
        for (int32_t r = 0; r < m; ++r) col[r] += ap[r] * b;
      }
    } else {
      for (int32_t r = 0; r < m; ++r) {
        const double* ar = A + Idx(0, r, k);
        double s = 0.0;
        for (int32_t p = 0; p < k; ++p) s += ar[p] * bv.at(p, c);
        col[r] = s;
      }
    }
  }
}

void MatVec(const double* A, int32_t m, int32_t n, bool trans, const double* x, double* y) {
  if (!trans) {
    std::fill_n(y, m, 0.0);
    for (int32_t c = 0; c < n; ++c) {
      const double xc = x[c];
      const double* col = A + Idx(0, c, m);
      for (int32_t r = 0; r < m; ++r) y[r] += col[r] * xc;
    }
    return;
  }
  // Four independent dot products at a time keep the adders busy without reordering any sum.
  int32_t c = 0;
  for (; c + 4 <= n; c += 4) {
    const double* c0 = A + Idx(0, c, m);
    const double* c1 = c0 + m;
    const double* c2 = c1 + m;
    const double* c3 = c2 + m;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int32_t r = 0; r < m; ++r) {
      const double xr = x[r];
      s0 += c0[r] * xr;
      s1 += c1[r] * xr;
      s2 += c2[r] * xr;
      s3 += c3[r] * xr;
    }
    y[c] = s0;
    y[c + 1] = s1;
    y[c + 2] = s2;
    y[c + 3] = s3;
  }
  for (; c < n; ++c) {
    const double* col = A + Idx(0, c, m);
    double s = 0.0;
    for (int32_t r = 0; r < m; ++r) s += col[r] * x[r];
    y[c] = s;
  }
}

bool SquareAtA(const double* A, int32_t m, int32_t n, double norm, double* R) {
  for (int32_t i = 0; i < n; ++i) {
    if (AbortMathProc) return false;
    ProgressStep(1.0);
    const double* ci = A + Idx(0, i, m);
    int32_t j = i;
    for (; j + 4 <= n; j += 4) {
      const double* c0 = A + Idx(0, j, m);
      const double* c1 = c0 + m;
      const double* c2 = c1 + m;
      const double* c3 = c2 + m;
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (int32_t r = 0; r < m; ++r) {
        const double x = ci[r];
        s0 += x * c0[r];
        s1 += x * c1[r];
        s2 += x * c2[r];
        s3 += x * c3[r];
      }
      const double s[4] = {s0, s1, s2, s3};
      for (int t = 0; t < 4; ++t) R[Idx(i, j + t, n)] = R[Idx(j + t, i, n)] = s[t] / norm;
    }
    for (; j < n; ++j) {
      const double* cj = A + Idx(0, j, m);
      double s = 0.0;
      for (int32_t r = 0; r < m; ++r) s += ci[r] * cj[r];
      R[Idx(i, j, n)] = R[Idx(j, i, n)] = s / norm;
    }
  }
  return true;
}

// ---- LU ------------------------------------------------------------------------------------------

TLUStatus LUDecompose(double* a, int32_t n, int32_t* perm, int32_t& parity, bool progress) {
  parity = 1;
  if (n <= 0) return luOK;
  if (progress && AbortMathProc) return luAborted;
  // Largest magnitude of each row (implicit scaling), gathered column by column.
  std::vector<double> scale(static_cast<size_t>(n), 0.0);
  for (int32_t c = 0; c < n; ++c) {
    const double* col = a + Idx(0, c, n);
    for (int32_t r = 0; r < n; ++r) {
      const double v = std::fabs(col[r]);
      scale[r] = v > scale[r] ? v : scale[r];
    }
  }
  for (int32_t r = 0; r < n; ++r)
    if (scale[r] == 0.0) return luZeroRow;

  TLUStatus status = luOK;
  // Right-looking, blocked order of the Crout arithmetic. A panel of kNB columns is factorised
  // with rank-1 updates confined to the panel; then the panel's rows of U to its right are
  // formed, and the trailing matrix receives the panel's products through the packed product
  // kernel, which subtracts them one k after the other. Every element thus still receives its
  // subtractions in increasing k, so the values are those of the column-by-column Crout loops.
  constexpr int32_t kNB = 32;
  for (int32_t j0 = 0; j0 < n; j0 += kNB) {
    const int32_t je = std::min(n, j0 + kNB);
    for (int32_t j = j0; j < je; ++j) {
      if (progress && ProgressStep(1.0)) return luAborted;
      double* colj = a + Idx(0, j, n);
      double big = 0.0;
      int32_t imax = j;
      for (int32_t i = j; i < n; ++i) {
        const double dum = std::fabs(colj[i]) / scale[i];
        if (dum >= big) {
          big = dum;
          imax = i;
        }
      }
      if (imax != j) {
        SwapRows(a, n, j, imax);
        std::swap(scale[j], scale[imax]);
        parity = -parity;
      }
      if (perm) perm[j] = imax;
      if (std::fabs(colj[j]) < kTinyPivot) {
        colj[j] = kTinyPivot;
        status = luTinyPivot;
      }
      const double piv = colj[j];
      for (int32_t i = j + 1; i < n; ++i) colj[i] /= piv;
      const int32_t len = n - j - 1;
      const double* l = colj + j + 1;
      for (int32_t c = j + 1; c < je; ++c) {
        double* d0 = a + Idx(j + 1, c, n);
        const double u0 = a[Idx(j, c, n)];
        for (int32_t i = 0; i < len; ++i) d0[i] -= l[i] * u0;
      }
    }
    if (je == n) break;
    // Panel rows of U right of the panel: a(i, c) -= l(i, k) u(k, c), k = j0 .. i-1.
    for (int32_t c = je; c < n; ++c) {
      double* col = a + Idx(0, c, n);
      for (int32_t k = j0; k < je; ++k) {
        const double u = col[k];
        const double* lk = a + Idx(0, k, n);
        for (int32_t i = k + 1; i < je; ++i) col[i] -= lk[i] * u;
      }
    }
    // Trailing matrix: a22 += (-L21) U12, k increasing.
    OpView lv{a + Idx(je, j0, n), n, false, true};
    OpView uv{a + Idx(j0, je, n), n, false, false};
    Gemm(lv, uv, n - je, n - je, je - j0, a + Idx(je, je, n), n, true);
  }
  return status;
}

void LUSplit(double* lu, double* L, int32_t n) {
  for (int32_t c = 0; c < n; ++c) {
    double* lc = L + Idx(0, c, n);
    double* uc = lu + Idx(0, c, n);
    for (int32_t r = 0; r < c; ++r) lc[r] = 0.0;
    lc[c] = 1.0;
    for (int32_t r = c + 1; r < n; ++r) {
      lc[r] = uc[r];
      uc[r] = 0.0;
    }
  }
}

double Determinant(const double* A, int32_t n, int32_t& parity) {
  parity = 1;
  if (n <= 0) return 0.0;
  std::vector<double> w(A, A + static_cast<size_t>(n) * n);
  if (LUDecompose(w.data(), n, nullptr, parity, false) != luOK) return 0.0;
  double d = 1.0;
  for (int32_t j = 0; j < n; ++j) d *= w[Idx(j, j, n)];
  return parity * d;
}

TLUStatus Invert(double* a, int32_t n) {
  if (n <= 0) return luOK;
  const size_t nn = static_cast<size_t>(n);
  std::vector<int32_t> perm(nn);
  std::vector<double> inv(nn * nn);
  constexpr int32_t kB = 32;
  AlignedBuf X(nn * kB);  // all work storage is taken before a is touched
  int32_t parity = 1;
  const TLUStatus st = LUDecompose(a, n, perm.data(), parity, true);
  if (st != luOK) return st;
  // idx[i]: the original row that lands in row i after the exchanges, so the unit column e_c
  // has its one at position i where idx[i] = c.
  std::vector<int32_t> idx(nn);
  for (int32_t i = 0; i < n; ++i) idx[i] = i;
  for (int32_t j = 0; j < n; ++j) std::swap(idx[j], idx[perm[j]]);

  // The unit columns are solved in blocks of kB, taken in the order of the position of their
  // one, with the block's right-hand sides side by side (row-major X) so that the substitutions
  // vectorise across them while each keeps its own order of terms. A block whose ones start at
  // position i0 begins forward substitution there: the rows above are the skipped leading zeros.
  for (int32_t i0 = 0; i0 < n; i0 += kB) {
    const int32_t b = std::min(kB, n - i0);
    for (int32_t t = 0; t < b; ++t)
      if (ProgressStep(1.0)) return luAborted;
    double* x = X.p;
    std::fill_n(x, nn * kB, 0.0);
    for (int32_t t = 0; t < b; ++t) x[Idx(t, i0 + t, kB)] = 1.0;
    // Forward: X(i) -= L(i, j) X(j), j increasing.
    for (int32_t i = i0 + 1; i < n; ++i) {
      double* xi = x + Idx(0, i, kB);
      for (int32_t j = i0; j < i; ++j) {
        const double lij = a[Idx(i, j, n)];
        const double* xj = x + Idx(0, j, kB);
        for (int32_t t = 0; t < kB; ++t) xi[t] -= lij * xj[t];
      }
    }
    // Back: X(i) = (X(i) - sum_{j > i} U(i, j) X(j)) / U(i, i), j increasing.
    for (int32_t i = n - 1; i >= 0; --i) {
      double* xi = x + Idx(0, i, kB);
      for (int32_t j = i + 1; j < n; ++j) {
        const double uij = a[Idx(i, j, n)];
        const double* xj = x + Idx(0, j, kB);
        for (int32_t t = 0; t < kB; ++t) xi[t] -= uij * xj[t];
      }
      const double d = a[Idx(i, i, n)];
      for (int32_t t = 0; t < kB; ++t) xi[t] /= d;
    }
    for (int32_t t = 0; t < b; ++t) {
      double* dst = inv.data() + Idx(0, idx[i0 + t], n);
      for (int32_t i = 0; i < n; ++i) dst[i] = x[Idx(t, i, kB)];
    }
  }
  std::memcpy(a, inv.data(), nn * nn * sizeof(double));
  return luOK;
}

// ---- Cholesky ------------------------------------------------------------------------------------

namespace {

// Left-looking by blocks of kCB columns. The sums over the finished columns k < i0 are run for
// the whole block at once, as a register-tiled product (rows of L(., k) from L1 feed every
// column of the block); then the block's columns follow four at a time. Every s still
// subtracts its products one after the other in increasing k, so the factor is that of the
// plain loops.
constexpr int32_t kCB = 32;   // columns per block (the packed row factors P)
constexpr int32_t kCKC = 256; // depth of one pass over L (an 8-row strip of it stays in L1)

// S(j, t) -= sum_{k0 <= k < k1} P(k, t) * L(j, k) for the four columns t of S (stride ss) and
// rows j0 <= j < j1; P(k, t) at P[k * ps + t]. V holds W doubles; the tile is 2W rows x 4.
template <class V>
[[gnu::always_inline]] inline void CholTile(const double* L, size_t n, int32_t k0, int32_t k1,
                                            const double* P, size_t ps, double* S, size_t ss,
                                            int32_t j0, int32_t j1) {
  constexpr int32_t W = sizeof(V) / sizeof(double);
  int32_t j = j0;
  for (; j + 2 * W <= j1; j += 2 * W) {
    V a0, a1, b0, b1, c0, c1, d0, d1;
    double* s = S + j;
    std::memcpy(&a0, s, sizeof(V));
    std::memcpy(&a1, s + W, sizeof(V));
    std::memcpy(&b0, s + ss, sizeof(V));
    std::memcpy(&b1, s + ss + W, sizeof(V));
    std::memcpy(&c0, s + 2 * ss, sizeof(V));
    std::memcpy(&c1, s + 2 * ss + W, sizeof(V));
    std::memcpy(&d0, s + 3 * ss, sizeof(V));
    std::memcpy(&d1, s + 3 * ss + W, sizeof(V));
    const double* lk = L + static_cast<size_t>(k0) * n + j;
    const double* pk = P + static_cast<size_t>(k0) * ps;
    for (int32_t k = k0; k < k1; ++k, lk += n, pk += ps) {
      V x0, x1;
      std::memcpy(&x0, lk, sizeof(V));
      std::memcpy(&x1, lk + W, sizeof(V));
      a0 -= pk[0] * x0;
      a1 -= pk[0] * x1;
      b0 -= pk[1] * x0;
      b1 -= pk[1] * x1;
      c0 -= pk[2] * x0;
      c1 -= pk[2] * x1;
      d0 -= pk[3] * x0;
      d1 -= pk[3] * x1;
    }
    std::memcpy(s, &a0, sizeof(V));
    std::memcpy(s + W, &a1, sizeof(V));
    std::memcpy(s + ss, &b0, sizeof(V));
    std::memcpy(s + ss + W, &b1, sizeof(V));
    std::memcpy(s + 2 * ss, &c0, sizeof(V));
    std::memcpy(s + 2 * ss + W, &c1, sizeof(V));
    std::memcpy(s + 3 * ss, &d0, sizeof(V));
    std::memcpy(s + 3 * ss + W, &d1, sizeof(V));
  }
  for (; j < j1; ++j)
    for (int32_t t = 0; t < 4; ++t) {
      double v = S[t * ss + j];
      for (int32_t k = k0; k < k1; ++k) v -= P[k * ps + t] * L[k * n + j];
      S[t * ss + j] = v;
    }
}

// The update of the block's columns (S, kCB columns of stride ss) by L's columns k0..k1-1, rows
// j0.. n-1, for the column groups g0 <= g < g1 (four columns each).
template <class V>
[[gnu::always_inline]] inline void CholUpdate(const double* L, size_t n, int32_t k0, int32_t k1,
                                              const double* P, double* S, size_t ss, int32_t j0,
                                              int32_t g0, int32_t g1) {
  constexpr int32_t R = 2 * static_cast<int32_t>(sizeof(V) / sizeof(double));
  const auto nn = static_cast<int32_t>(n);
  for (int32_t kb = k0; kb < k1; kb += kCKC) {
    const int32_t ke = std::min(k1, kb + kCKC);
    // One strip of rows at a time, so that its L(j.., kb..ke) is reused by every group.
    for (int32_t jb = j0; jb < nn; jb += 4 * R) {
      const int32_t je = std::min(nn, jb + 4 * R);
      for (int32_t g = g0; g < g1; ++g)
        CholTile<V>(L, n, kb, ke, P + 4 * g, kCB, S + 4 * g * ss, ss, jb, je);
    }
  }
}

typedef double v4dc __attribute__((vector_size(32)));

__attribute__((target("avx2"))) void CholUpdateAvx2(const double* L, size_t n, int32_t k0,
                                                    int32_t k1, const double* P, double* S,
                                                    size_t ss, int32_t j0, int32_t g0, int32_t g1) {
  CholUpdate<v4dc>(L, n, k0, k1, P, S, ss, j0, g0, g1);
}

void CholUpdateBase(const double* L, size_t n, int32_t k0, int32_t k1, const double* P, double* S,
                    size_t ss, int32_t j0, int32_t g0, int32_t g1) {
  CholUpdate<v2d>(L, n, k0, k1, P, S, ss, j0, g0, g1);
}

bool HaveAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

}  // namespace

bool Cholesky(double* a, int32_t n, double* Lout) {
  if (n <= 0) return true;
  const size_t nn = static_cast<size_t>(n);
  std::vector<double> own;
  double* L = Lout;
  if (!L) {
    own.assign(nn * nn, 0.0);
    L = own.data();
  }
  auto update = HaveAvx2() ? CholUpdateAvx2 : CholUpdateBase;
  bool ok = true;
  // S holds the block's sums (column t at t * n); P the block's rows of L, P(k, t) = L(i0 + t, k),
  // zero for the columns past n so that a short last group computes nothing that is kept.
  std::vector<double> S(nn * kCB), P(nn * kCB);
  for (int32_t i0 = 0; i0 < n; i0 += kCB) {
    const int32_t b = std::min(kCB, n - i0);
    const int32_t groups = (b + 3) / 4;
    for (int32_t t = 0; t < kCB; ++t) {
      double* s = S.data() + Idx(0, t, n);
      if (t >= b) {
        std::fill(s + i0, s + n, 0.0);
        continue;
      }
      const double* acol = a + Idx(0, i0 + t, n);
      for (int32_t j = i0; j < i0 + t; ++j) s[j] = 0.0;
      for (int32_t j = i0 + t; j < n; ++j) s[j] = acol[j];
    }
    for (int32_t k = 0; k < i0; ++k)
      for (int32_t t = 0; t < kCB; ++t) P[Idx(t, k, kCB)] = t < b ? L[Idx(i0 + t, k, n)] : 0.0;
    // Columns k < i0 for the whole block.
    update(L, nn, 0, i0, P.data(), S.data(), nn, i0, 0, groups);
    for (int32_t g = 0; g < groups; ++g) {
      const int32_t i1 = i0 + 4 * g;
      // The block's earlier groups, k in [i0, i1), then the group's own columns one by one.
      if (g > 0) {
        for (int32_t k = i0; k < i1; ++k)
          for (int32_t t = 0; t < 4; ++t)
            P[Idx(4 * g + t, k, kCB)] = i1 + t < n ? L[Idx(i1 + t, k, n)] : 0.0;
        update(L, nn, i0, i1, P.data(), S.data(), nn, i1, g, g + 1);
      }
      for (int32_t t = 0; t < 4 && i1 + t < n; ++t) {
        const int32_t i = i1 + t;
        double* s = S.data() + Idx(0, 4 * g + t, n);
        for (int32_t k = i1; k < i; ++k) {
          const double* lk = L + Idx(0, k, n);
          const double li = lk[i];
          for (int32_t j = i; j < n; ++j) s[j] -= li * lk[j];
        }
        double* li = L + Idx(0, i, n);
        const double d = s[i];
        if (d > 0.0) {
          const double p = std::sqrt(d);
          li[i] = p;
          for (int32_t j = i + 1; j < n; ++j) li[j] = s[j] / p;
        } else {
          // No real factor exists; zeros keep the rest of the work finite.
          ok = false;
          for (int32_t j = i; j < n; ++j) li[j] = 0.0;
        }
      }
    }
  }
  // The off-diagonal factors also go to a's strict upper triangle, transposed.
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = i + 1; j < n; ++j) a[Idx(i, j, n)] = L[Idx(j, i, n)];
  return ok;
}

// ---- balancing and norms ----------------------------------------------------------------------------

void Balance(double* a, int32_t n) {
  constexpr int kMaxPasses = 1000;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    double fmax = 0.0;
    for (int32_t i = 0; i < n; ++i) {
      double r = 0.0, c = 0.0;
      for (int32_t j = 0; j < n; ++j) {
        if (j == i) continue;
        r += std::fabs(a[Idx(i, j, n)]);
        c += std::fabs(a[Idx(j, i, n)]);
      }
      if (c == 0.0 || r == 0.0) continue;
      const double f = std::sqrt(r / c);
      if (!std::isfinite(f) || f == 0.0) continue;
      for (int32_t j = 0; j < n; ++j) {
        if (j == i) continue;
        a[Idx(i, j, n)] /= f;
        a[Idx(j, i, n)] *= f;
      }
      fmax = std::max(fmax, f);
    }
    if (!(fmax >= 1.05)) break;
  }
}

double NormColwise(const double* A, int32_t m, int32_t n) {
  double best = 0.0;
  for (int32_t c = 0; c < n; ++c) {
    const double* col = A + Idx(0, c, m);
    double s = 0.0;
    for (int32_t r = 0; r < m; ++r) s += std::fabs(col[r]);
    if (c == 0 || s > best) best = s;
  }
  return best;
}

double NormRowwise(const double* A, int32_t m, int32_t n) {
  if (m <= 0 || n <= 0) return 0.0;
  std::vector<double> rs(static_cast<size_t>(m), 0.0);
  for (int32_t c = 0; c < n; ++c) {
    const double* col = A + Idx(0, c, m);
    for (int32_t r = 0; r < m; ++r) rs[r] += std::fabs(col[r]);
  }
  double best = rs[0];
  for (int32_t r = 1; r < m; ++r) best = rs[r] > best ? rs[r] : best;
  return best;
}

double NormFrobenius(const double* A, int32_t m, int32_t n) {
  const size_t cnt = static_cast<size_t>(std::max(m, 0)) * static_cast<size_t>(std::max(n, 0));
  double s = 0.0;
  for (size_t i = 0; i < cnt; ++i) s += A[i] * A[i];
  return std::sqrt(s);
}

double NormSpectral(const double* A, int32_t m, int32_t n, bool& ok) {
  ok = true;
  if (m <= 0 || n <= 0) return 0.0;
  std::vector<double> work(A, A + static_cast<size_t>(m) * n);
  std::vector<double> w(static_cast<size_t>(n), 0.0);
  ok = SVDecompose(work.data(), m, n, w.data(), nullptr) == svdOK;
  double best = 0.0;
  for (double x : w) best = x > best ? x : best;
  return best;
}

}  // namespace linalg
}  // namespace qmx
