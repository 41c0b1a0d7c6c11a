// SIMPLS partial least squares, vertex component analysis and the penalised smoothing spline.
#include <algorithm>
#include <cmath>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "math2/lsq.h"
#include "matrix/svd.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

[[noreturn]] void Fail(const char* op, const std::string& why) {
  throw EQMXMath2Error(std::string(op) + ": " + why);
}

using Vec = std::vector<double>;

double Dot(const double* a, const double* b, std::size_t n) {
  double s = 0.0;
  for (std::size_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// Right singular vectors of the column-major m x n matrix a (destroyed), in descending order of
// the singular values. Tall data are first reduced to their triangle.
void RightSingular(const char* op, Vec& a, std::size_t m, std::size_t n, Vec& V, Vec& w) {
  Vec R, qty;
  a.resize(m * (n + 1), 0.0);  // a zero right-hand side for the reduction
  math2detail::ReduceToTriangle(a, m, n, R, qty);
  Vec v(n * n), ww(n);
  const auto st = linalg::SVDecompose(R.data(), static_cast<int32_t>(n), static_cast<int32_t>(n),
                                      ww.data(), v.data());
  if (st != linalg::svdOK) Fail(op, "singular value decomposition failed");
  std::vector<std::size_t> ord(n);
  for (std::size_t j = 0; j < n; ++j) ord[j] = j;
  std::stable_sort(ord.begin(), ord.end(), [&](std::size_t x, std::size_t y) { return ww[x] > ww[y]; });
  V.resize(n * n);
  w.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::copy_n(v.data() + ord[k] * n, n, V.data() + k * n);
    w[k] = ww[ord[k]];
  }
}

// Column-major copy of a matrix's columns, centred and optionally scaled to unit variance.
void Standardised(const TMatrix* M, bool scale, Vec& out, Vec& mean, Vec& sd) {
  const std::size_t n = static_cast<std::size_t>(M->NrOfRows()), p = static_cast<std::size_t>(M->NrOfColumns());
  out.resize(n * p);
  mean.resize(p);
  sd.assign(p, 1.0);
  for (std::size_t c = 0; c < p; ++c) {
    const double* src = M->ColumnData(static_cast<int32_t>(c) + 1);
    double* dst = out.data() + c * n;
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) s += src[i];
    mean[c] = s / static_cast<double>(n);
    double ss = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      dst[i] = src[i] - mean[c];
      ss += dst[i] * dst[i];
    }
    if (scale) {
      const double d = std::sqrt(ss / static_cast<double>(n - 1));
      if (d > 0.0 && std::isfinite(d)) {
        sd[c] = d;
        for (std::size_t i = 0; i < n; ++i) dst[i] /= d;
      }
    }
  }
}

void Put(TMatrix* M, int32_t nc, int32_t nr, const Vec& colmajor) {
  M->Resize(nc, nr);
  std::copy(colmajor.begin(), colmajor.end(), M->Data());
  M->Changed();
}

}  // namespace

void SimPLS(const TMatrix* X, const TMatrix* Y, int32_t NComp, bool Standardize,
            TMatrix* Weights, TMatrix* XLoadings, TMatrix* YLoadings, TMatrix* XScores,
            TMatrix* YScores, TMatrix* Coeffs, TVector* ExplVarX, TVector* ExplVarY,
            TMatrix* Scaling) {
  const char* op = "SimPLS";
  if (X == nullptr || Y == nullptr || Weights == nullptr || XLoadings == nullptr ||
      YLoadings == nullptr || XScores == nullptr || YScores == nullptr || Coeffs == nullptr ||
      ExplVarX == nullptr || ExplVarY == nullptr || Scaling == nullptr)
    Fail(op, "missing argument");
  const int32_t n = X->NrOfRows(), p = X->NrOfColumns(), q = Y->NrOfColumns();
  if (n < 2 || p < 1 || q < 1) Fail(op, "at least two objects, one predictor and one response are needed");
  if (Y->NrOfRows() != n) Fail(op, "X and Y differ in the number of objects");
  const int32_t A = std::min({NComp, n - 1, p});
  if (A < 1) Fail(op, "the number of components must be at least 1");
  const std::size_t sn = static_cast<std::size_t>(n), sp = static_cast<std::size_t>(p),
                    sq = static_cast<std::size_t>(q), sa = static_cast<std::size_t>(A);
  Vec Xs, Ys, mx, sx, my, sy;
  Vec R(sp * sa, 0.0), P(sp * sa, 0.0), Q(sq * sa, 0.0), T(sn * sa, 0.0), U(sn * sa, 0.0),
      Vb(sp * sa, 0.0), S(sp * sq), evx(sa, 0.0), evy(sa, 0.0);
  try {
    Standardised(X, Standardize, Xs, mx, sx);
    Standardised(Y, Standardize, Ys, my, sy);
  } catch (const std::bad_alloc&) {
    Fail(op, "not enough memory");
  }
  const double totX = Dot(Xs.data(), Xs.data(), Xs.size());
  const double totY = Dot(Ys.data(), Ys.data(), Ys.size());
  // S = Xs' Ys, the cross products deflated by each new loading direction.
  for (std::size_t k = 0; k < sq; ++k)
    for (std::size_t j = 0; j < sp; ++j) S[k * sp + j] = Dot(Xs.data() + j * sn, Ys.data() + k * sn, sn);
  Vec qa(sq), r(sp), t(sn), u(sn), v(sp), Sc, Vq, wq;
  for (std::size_t a = 0; a < sa; ++a) {
    // Dominant right singular vector of S (the dominant eigenvector of S'S).
    if (q == 1) {
      qa[0] = 1.0;
    } else {
      Sc = S;
      RightSingular(op, Sc, sp, sq, Vq, wq);
      std::copy_n(Vq.data(), sq, qa.data());
      std::size_t big = 0;
      for (std::size_t k = 1; k < sq; ++k)
        if (std::fabs(qa[k]) > std::fabs(qa[big])) big = k;
      if (qa[big] < 0)
        for (double& e : qa) e = -e;
    }
    for (std::size_t j = 0; j < sp; ++j) {
      double s = 0.0;
      for (std::size_t k = 0; k < sq; ++k) s += S[k * sp + j] * qa[k];
      r[j] = s;
    }
    std::fill(t.begin(), t.end(), 0.0);
    for (std::size_t j = 0; j < sp; ++j) {
      const double rj = r[j];
      const double* xj = Xs.data() + j * sn;
      for (std::size_t i = 0; i < sn; ++i) t[i] += xj[i] * rj;
    }
    const double nt = std::sqrt(Dot(t.data(), t.data(), sn));
    if (!(nt > 0.0)) break;  // nothing left to explain: the remaining components stay 0
    for (double& e : t) e /= nt;
    for (double& e : r) e /= nt;
    double* pa = P.data() + a * sp;
    for (std::size_t j = 0; j < sp; ++j) pa[j] = Dot(Xs.data() + j * sn, t.data(), sn);
    double* qy = Q.data() + a * sq;
    for (std::size_t k = 0; k < sq; ++k) qy[k] = Dot(Ys.data() + k * sn, t.data(), sn);
    std::fill(u.begin(), u.end(), 0.0);
    for (std::size_t k = 0; k < sq; ++k) {
      const double* yk = Ys.data() + k * sn;
      for (std::size_t i = 0; i < sn; ++i) u[i] += yk[i] * qy[k];
    }
    v.assign(pa, pa + sp);
    for (std::size_t b = 0; b < a; ++b) {
      const double* vb = Vb.data() + b * sp;
      const double cv = Dot(vb, v.data(), sp);
      for (std::size_t j = 0; j < sp; ++j) v[j] -= cv * vb[j];
      const double* tb = T.data() + b * sn;
      const double cu = Dot(tb, u.data(), sn);
      for (std::size_t i = 0; i < sn; ++i) u[i] -= cu * tb[i];
    }
    const double nv = std::sqrt(Dot(v.data(), v.data(), sp));
    if (nv > 0.0)
      for (double& e : v) e /= nv;
    for (std::size_t k = 0; k < sq; ++k) {
      double* sk = S.data() + k * sp;
      const double c = Dot(v.data(), sk, sp);
      for (std::size_t j = 0; j < sp; ++j) sk[j] -= v[j] * c;
    }
    std::copy(r.begin(), r.end(), R.begin() + static_cast<std::ptrdiff_t>(a * sp));
    std::copy(t.begin(), t.end(), T.begin() + static_cast<std::ptrdiff_t>(a * sn));
    std::copy(u.begin(), u.end(), U.begin() + static_cast<std::ptrdiff_t>(a * sn));
    std::copy(v.begin(), v.end(), Vb.begin() + static_cast<std::ptrdiff_t>(a * sp));
    evx[a] = totX > 0.0 ? Dot(pa, pa, sp) / totX : 0.0;
    evy[a] = totY > 0.0 ? Dot(qy, qy, sq) / totY : 0.0;
  }
  // B = R Q' in scaled units, then in the original units with the intercepts in row 1.
  Vec B((sp + 1) * sq, 0.0);
  for (std::size_t k = 0; k < sq; ++k) {
    double* bk = B.data() + k * (sp + 1);
    double b0 = my[k];
    for (std::size_t j = 0; j < sp; ++j) {
      double s = 0.0;
      for (std::size_t a = 0; a < sa; ++a) s += R[a * sp + j] * Q[a * sq + k];
      const double bj = s * sy[k] / sx[j];
      bk[j + 1] = bj;
      b0 -= mx[j] * bj;
    }
    bk[0] = b0;
  }
  Vec sc((sp + sq) * 2);
  for (std::size_t j = 0; j < sp; ++j) {
    sc[j * 2] = mx[j];
    sc[j * 2 + 1] = sx[j];
  }
  for (std::size_t k = 0; k < sq; ++k) {
    sc[(sp + k) * 2] = my[k];
    sc[(sp + k) * 2 + 1] = sy[k];
  }
  Put(Weights, A, p, R);
  Put(XLoadings, A, p, P);
  Put(YLoadings, A, q, Q);
  Put(XScores, A, n, T);
  Put(YScores, A, n, U);
  Put(Coeffs, q, p + 1, B);
  Put(Scaling, p + q, 2, sc);
  ExplVarX->Resize(A);
  ExplVarY->Resize(A);
  std::copy(evx.begin(), evx.end(), ExplVarX->Data().begin());
  std::copy(evy.begin(), evy.end(), ExplVarY->Data().begin());
  ExplVarX->Changed();
  ExplVarY->Changed();
}

void VertexCompAnalysis(const TMatrix* X, int32_t NEnd, bool HighSNR, TMatrix* Endmembers,
                        TIntVector* Indices, TMatrix* Projected) {
  const char* op = "VertexCompAnalysis";
  if (X == nullptr || Endmembers == nullptr || Indices == nullptr || Projected == nullptr)
    Fail(op, "missing argument");
  const int32_t N = X->NrOfRows(), L = X->NrOfColumns();
  if (NEnd < 2) Fail(op, "at least two endmembers are needed");
  if (NEnd > L || NEnd > N) Fail(op, "more endmembers than bands or pixels");
  const std::size_t sN = static_cast<std::size_t>(N), sL = static_cast<std::size_t>(L),
                    d = static_cast<std::size_t>(NEnd);
  Vec a, V, w, mean(sL, 0.0);
  try {
    a.assign(X->Data(), X->Data() + sN * sL);
  } catch (const std::bad_alloc&) {
    Fail(op, "not enough memory");
  }
  if (!HighSNR) {
    for (std::size_t c = 0; c < sL; ++c) {
      double* col = a.data() + c * sN;
      double s = 0.0;
      for (std::size_t i = 0; i < sN; ++i) s += col[i];
      mean[c] = s / static_cast<double>(N);
      for (std::size_t i = 0; i < sN; ++i) col[i] -= mean[c];
    }
  }
  Vec work(a);
  RightSingular(op, work, sN, sL, V, w);
  // Y: d coordinates per pixel, column-major N x d.
  const std::size_t dp = HighSNR ? d : d - 1;
  Vec Yp(sN * d, 0.0);
  for (std::size_t k = 0; k < dp; ++k) {
    const double* vk = V.data() + k * sL;
    double* yk = Yp.data() + k * sN;
    for (std::size_t c = 0; c < sL; ++c) {
      const double f = vk[c];
      const double* col = a.data() + c * sN;
      for (std::size_t i = 0; i < sN; ++i) yk[i] += col[i] * f;
    }
  }
  if (HighSNR) {
    // Projective scaling: each pixel divided by its projection on the mean direction.
    Vec um(d, 0.0);
    for (std::size_t k = 0; k < d; ++k) {
      double s = 0.0;
      for (std::size_t i = 0; i < sN; ++i) s += Yp[k * sN + i];
      um[k] = s / static_cast<double>(N);
    }
    for (std::size_t i = 0; i < sN; ++i) {
      double s = 0.0;
      for (std::size_t k = 0; k < d; ++k) s += Yp[k * sN + i] * um[k];
      if (s != 0.0)
        for (std::size_t k = 0; k < d; ++k) Yp[k * sN + i] /= s;
    }
  } else {
    double c = 0.0;
    for (std::size_t i = 0; i < sN; ++i) {
      double s = 0.0;
      for (std::size_t k = 0; k < dp; ++k) s += Yp[k * sN + i] * Yp[k * sN + i];
      c = std::max(c, std::sqrt(s));
    }
    for (std::size_t i = 0; i < sN; ++i) Yp[dp * sN + i] = c;
  }
  // Directions orthogonal to the endmembers found so far (the first one orthogonal to the last
  // axis), Gram-Schmidt twice for stability; the pixel of largest |projection| is next.
  std::mt19937_64 gen(0x5eed5eedULL);
  std::normal_distribution<double> gauss(0.0, 1.0);
  Vec basis;  // orthonormal, d per vector
  Vec e0(d, 0.0);
  e0[d - 1] = 1.0;
  std::vector<int32_t> idx(d);
  Vec f(d);
  for (std::size_t it = 0; it < d; ++it) {
    Vec base = basis;
    if (it == 0) base = e0;
    for (int attempt = 0; attempt < 8; ++attempt) {
      for (double& e : f) e = gauss(gen);
      for (int pass = 0; pass < 2; ++pass)
        for (std::size_t b = 0; b * d < base.size(); ++b) {
          const double c = Dot(base.data() + b * d, f.data(), d);
          for (std::size_t k = 0; k < d; ++k) f[k] -= c * base[b * d + k];
        }
      if (Dot(f.data(), f.data(), d) > 1e-20) break;
    }
    double best = -1.0;
    std::size_t bi = 0;
    for (std::size_t i = 0; i < sN; ++i) {
      double s = 0.0;
      for (std::size_t k = 0; k < d; ++k) s += f[k] * Yp[k * sN + i];
      if (std::fabs(s) > best) {
        best = std::fabs(s);
        bi = i;
      }
    }
    idx[it] = static_cast<int32_t>(bi) + 1;
    Vec y(d);
    for (std::size_t k = 0; k < d; ++k) y[k] = Yp[k * sN + bi];
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t b = 0; b * d < basis.size(); ++b) {
        const double c = Dot(basis.data() + b * d, y.data(), d);
        for (std::size_t k = 0; k < d; ++k) y[k] -= c * basis[b * d + k];
      }
    const double ny = std::sqrt(Dot(y.data(), y.data(), d));
    if (ny > 0.0) {
      for (double& e : y) e /= ny;
      basis.insert(basis.end(), y.begin(), y.end());
    }
  }
  Vec E(sL * d);
  for (std::size_t k = 0; k < d; ++k)
    for (std::size_t c = 0; c < sL; ++c)
      E[k * sL + c] = X->Cell(static_cast<int32_t>(c) + 1, idx[k]);
  Put(Endmembers, NEnd, L, E);
  Put(Projected, NEnd, N, Yp);
  Indices->Resize(NEnd);
  std::copy(idx.begin(), idx.end(), Indices->Data().begin());
  Indices->Changed();
}

void PenalizedCubicSpline(int32_t FirstIx, int32_t LastIx, double Lambda, std::span<const double> x,
                          std::span<const double> y, std::span<const double> w,
                          std::span<double> S, std::span<double> S1, std::span<double> S2) {
  const char* op = "PenalizedCubicSpline";
  if (FirstIx < 0 || LastIx - FirstIx < 1) Fail(op, "at least two points are needed");
  const std::size_t lo = static_cast<std::size_t>(FirstIx), hi = static_cast<std::size_t>(LastIx);
  for (auto len : {x.size(), y.size(), w.size(), S.size(), S1.size(), S2.size()})
    if (len <= hi) Fail(op, "an array is shorter than the index range");
  if (!(Lambda >= 0.0) || !std::isfinite(Lambda)) Fail(op, "the penalty must be finite and not negative");
  const std::size_t n = hi - lo + 1;
  const double* X = x.data() + lo;
  const double* Y = y.data() + lo;
  const double* W = w.data() + lo;
  Vec h(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    h[i] = X[i + 1] - X[i];
    if (!(h[i] > 0.0) || !std::isfinite(h[i])) Fail(op, "x must be strictly increasing");
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!(W[i] > 0.0) || !std::isfinite(W[i])) Fail(op, "weights must be positive");
  Vec s(Y, Y + n), g(n, 0.0);
  if (n >= 3) {
    // Interior second derivatives g_1..g_{n-2} solve (R + Lambda Q' W^-1 Q) g = Q' y, a
    // symmetric positive definite band of half-width 2 (band Cholesky).
    const std::size_t m = n - 2;
    Vec d0(m, 0.0), d1(m, 0.0), d2(m, 0.0), rhs(m);
    // Q column j (interior knot j+1) has q_j, q_{j+1}, q_{j+2} at knots j, j+1, j+2.
    auto qv = [&](std::size_t j, int k) {
      return k == 0 ? 1.0 / h[j] : (k == 1 ? -1.0 / h[j] - 1.0 / h[j + 1] : 1.0 / h[j + 1]);
    };
    for (std::size_t j = 0; j < m; ++j) {
      d0[j] = (h[j] + h[j + 1]) / 3.0;
      if (j + 1 < m) d1[j] = h[j + 1] / 6.0;
      rhs[j] = (Y[j + 2] - Y[j + 1]) / h[j + 1] - (Y[j + 1] - Y[j]) / h[j];
    }
    if (Lambda > 0.0)
      for (std::size_t j = 0; j < m; ++j)
        for (std::size_t k = j; k < std::min(m, j + 3); ++k) {
          // Knots shared by columns j and k: j + a = k + b.
          double sum = 0.0;
          for (int a2 = 0; a2 < 3; ++a2) {
            const std::ptrdiff_t b2 = static_cast<std::ptrdiff_t>(j + a2) - static_cast<std::ptrdiff_t>(k);
            if (b2 < 0 || b2 > 2) continue;
            sum += qv(j, a2) * qv(k, static_cast<int>(b2)) / W[j + a2];
          }
          (k == j ? d0[j] : (k == j + 1 ? d1[j] : d2[j])) += Lambda * sum;
        }
    // Band Cholesky: L has diagonal l0, first and second subdiagonal l1, l2.
    Vec l0(m), l1(m, 0.0), l2(m, 0.0);
    for (std::size_t j = 0; j < m; ++j) {
      if (j >= 2) l2[j - 2] = d2[j - 2] / l0[j - 2];
      if (j >= 1) l1[j - 1] = (d1[j - 1] - (j >= 2 ? l2[j - 2] * l1[j - 2] : 0.0)) / l0[j - 1];
      double dd = d0[j];
      if (j >= 1) dd -= l1[j - 1] * l1[j - 1];
      if (j >= 2) dd -= l2[j - 2] * l2[j - 2];
      if (!(dd > 0.0)) Fail(op, "the system is not positive definite");
      l0[j] = std::sqrt(dd);
    }
    Vec z(m);
    for (std::size_t j = 0; j < m; ++j) {
      double v = rhs[j];
      if (j >= 1) v -= l1[j - 1] * z[j - 1];
      if (j >= 2) v -= l2[j - 2] * z[j - 2];
      z[j] = v / l0[j];
    }
    for (std::size_t j = m; j-- > 0;) {
      double v = z[j];
      if (j + 1 < m) v -= l1[j] * g[j + 2];
      if (j + 2 < m) v -= l2[j] * g[j + 3];
      g[j + 1] = v / l0[j];
    }
    if (Lambda > 0.0) {
      // s = y - Lambda W^-1 Q g
      for (std::size_t j = 0; j < m; ++j)
        for (int a2 = 0; a2 < 3; ++a2) s[j + a2] -= Lambda * qv(j, a2) * g[j + 1] / W[j + a2];
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    S[lo + i] = s[i];
    S2[lo + i] = g[i];
    if (i + 1 < n)
      S1[lo + i] = (s[i + 1] - s[i]) / h[i] - h[i] * (2.0 * g[i] + g[i + 1]) / 6.0;
    else
      S1[lo + i] = (s[i] - s[i - 1]) / h[i - 1] + h[i - 1] * (g[i - 1] + 2.0 * g[i]) / 6.0;
  }
}

}  // namespace qmx
