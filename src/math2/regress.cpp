// Singular value decomposition interface, multiple linear and ridge regression.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "math2/lsq.h"
#include "matrix/svd.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

[[noreturn]] void Fail(const char* op, const std::string& why) {
  throw EQMXMath2Error(std::string(op) + ": " + why);
}

void Decompose(const char* op, double* a, int32_t m, int32_t n, double* w, double* v) {
  const linalg::TSVDStatus st = linalg::SVDecompose(a, m, n, w, v);
  if (st == linalg::svdAborted) Fail(op, "aborted");
  if (st != linalg::svdOK) Fail(op, "singular value decomposition did not converge");
}

}  // namespace

void SingValDecomp(TMatrix* A, TMatrix* V, TVector* W) {
  if (A == nullptr || V == nullptr || W == nullptr) Fail("SingValDecomp", "missing argument");
  if (!A->HasCells()) Fail("SingValDecomp", "matrix is empty");
  const int32_t m = A->NrOfRows(), n = A->NrOfColumns();
  const std::size_t sm = static_cast<std::size_t>(m), sn = static_cast<std::size_t>(n);
  std::vector<double> u, v, w;
  try {
    u.assign(A->Data(), A->Data() + sm * sn);
    v.resize(sn * sn);
    w.resize(sn);
  } catch (const std::bad_alloc&) {
    Fail("SingValDecomp", "not enough memory");
  }
  Decompose("SingValDecomp", u.data(), m, n, w.data(), v.data());
  // Descending order, the singular vectors moved along.
  std::vector<int32_t> ord(sn);
  std::iota(ord.begin(), ord.end(), 0);
  std::stable_sort(ord.begin(), ord.end(), [&](int32_t a, int32_t b) { return w[a] > w[b]; });
  V->Resize(n, n);
  W->Resize(n);
  for (std::size_t k = 0; k < sn; ++k) {
    const std::size_t j = static_cast<std::size_t>(ord[k]);
    std::copy_n(u.data() + j * sm, sm, A->Data() + k * sm);
    std::copy_n(v.data() + j * sn, sn, V->Data() + k * sn);
    W->Data()[k] = w[j];
  }
  A->Changed();
  V->Changed();
  W->Changed();
}

void SingValEquSolve(const TMatrix* U, const TMatrix* V, const TVector* W, const TVector* B,
                     TVector* X, TVector* StdErr) {
  const char* op = "SingValEquSolve";
  if (U == nullptr || V == nullptr || W == nullptr || B == nullptr || X == nullptr)
    Fail(op, "missing argument");
  const int32_t m = U->NrOfRows(), n = U->NrOfColumns();
  if (n < 1 || m < 1) Fail(op, "matrix is empty");
  if (V->NrOfColumns() != n || V->NrOfRows() != n || W->NrOfElem() != n)
    Fail(op, "sizes of U, V and W do not match");
  if (B->NrOfElem() != m) Fail(op, "right-hand side does not match U");
  const std::size_t sm = static_cast<std::size_t>(m), sn = static_cast<std::size_t>(n);
  const double* w = W->Data().data();
  double wmax = 0.0;
  for (int32_t j = 0; j < n; ++j) wmax = std::max(wmax, w[j]);
  const double thresh = static_cast<double>(std::max(m, n)) * wmax * 1.2e-16;
  std::vector<double> x(sn, 0.0), se(sn, 0.0);
  const double* b = B->Data().data();
  for (std::size_t j = 0; j < sn; ++j) {
    if (!(w[j] > thresh) || w[j] <= 0.0) continue;
    const double* uj = U->Data() + j * sm;
    double s = 0.0;
    for (std::size_t r = 0; r < sm; ++r) s += uj[r] * b[r];
    s /= w[j];
    const double* vj = V->Data() + j * sn;
    const double w2 = w[j] * w[j];
    for (std::size_t r = 0; r < sn; ++r) {
      x[r] += vj[r] * s;
      se[r] += vj[r] * vj[r] / w2;
    }
  }
  X->Resize(n);
  std::copy(x.begin(), x.end(), X->Data().begin());
  X->Changed();
  if (StdErr != nullptr) {
    StdErr->Resize(n);
    for (std::size_t r = 0; r < sn; ++r) StdErr->Data()[r] = std::sqrt(se[r]);
    StdErr->Changed();
  }
}

// ---- linear and ridge regression ------------------------------------------------------------

namespace {

// Least squares (Lambda = 0) or ridge regression of y on the centred, optionally standardised,
// columns of X. Coefficients of the scaled predictors in b (p), their standard errors in se;
// intercept of the scaled system is the mean of y. Fills the statistics.
struct TRegFit {
  std::vector<double> mean, scale, b, se, g;  // g: variance factor per singular direction
  std::vector<double> V;                      // right singular vectors (p x p)
  double ymean = 0.0, sigma2 = 0.0;
  int32_t n = 0, p = 0;
  bool near = false;
  TRegressionStats st;
};

void RegressCore(const char* op, const TMatrix* X, const TVector* y, double lambda, bool standardise,
                 TRegFit& F) {
  if (X == nullptr || y == nullptr) Fail(op, "missing argument");
  const int32_t n = X->NrOfRows(), p = X->NrOfColumns();
  if (n < 2 || p < 1) Fail(op, "at least two objects and one predictor are needed");
  if (y->NrOfElem() != n) Fail(op, "number of values does not match the number of objects");
  if (!(lambda >= 0.0)) Fail(op, "the ridge parameter must not be negative");
  F.n = n;
  F.p = p;
  const std::size_t sn = static_cast<std::size_t>(n), sp = static_cast<std::size_t>(p);
  std::vector<double> A, R, qty, w;
  try {
    A.resize(sn * (sp + 1));
    F.mean.resize(sp);
    F.scale.assign(sp, 1.0);
    F.b.assign(sp, 0.0);
    F.se.assign(sp, 0.0);
    F.g.assign(sp, 0.0);
    F.V.resize(sp * sp);
    w.resize(sp);
  } catch (const std::bad_alloc&) {
    Fail(op, "not enough memory");
  }
  // Centred (and scaled) columns, two-pass, then the centred y as the last column.
  for (std::size_t c = 0; c <= sp; ++c) {
    const double* src = c < sp ? X->ColumnData(static_cast<int32_t>(c) + 1) : y->Data().data();
    double* dst = A.data() + c * sn;
    double s = 0.0;
    for (std::size_t i = 0; i < sn; ++i) s += src[i];
    const double m = s / n;
    double ss = 0.0;
    for (std::size_t i = 0; i < sn; ++i) {
      dst[i] = src[i] - m;
      ss += dst[i] * dst[i];
    }
    if (c == sp) {
      F.ymean = m;
      F.st.SSTot = ss;
      break;
    }
    F.mean[c] = m;
    if (standardise) {
      const double sd = std::sqrt(ss / (n - 1));
      if (sd > 0.0 && std::isfinite(sd)) {
        F.scale[c] = sd;
        for (std::size_t i = 0; i < sn; ++i) dst[i] /= sd;
      }
    }
  }
  const std::vector<double> yc(A.begin() + static_cast<std::ptrdiff_t>(sp * sn), A.end());
  math2detail::ReduceToTriangle(A, sn, sp, R, qty);
  Decompose(op, R.data(), p, p, w.data(), F.V.data());
  double wmax = 0.0;
  for (double wj : w) wmax = std::max(wmax, wj);
  // c = U_R' Q'y: the data side of the decomposition of the centred predictors.
  std::vector<double> c(sp, 0.0), f(sp, 0.0);
  int32_t rank = 0;
  double df = 0.0;
  for (std::size_t j = 0; j < sp; ++j) {
    const double* uj = R.data() + j * sp;
    double s = 0.0;
    for (std::size_t r = 0; r < sp; ++r) s += uj[r] * qty[r];
    c[j] = s;
    const bool kept = w[j] >= 1e-14 * wmax && w[j] > 0.0;
    if (kept) ++rank;
    if (lambda == 0.0) {
      if (kept) {
        f[j] = 1.0 / w[j];
        F.g[j] = 1.0 / (w[j] * w[j]);
        df += 1.0;
      } else {
        F.near = true;
      }
    } else {
      const double d = w[j] * w[j] + lambda;
      f[j] = w[j] / d;
      F.g[j] = w[j] * w[j] / (d * d);
      df += w[j] * w[j] / d;
    }
  }
  for (std::size_t j = 0; j < sp; ++j) {
    const double t = f[j] * c[j];
    if (t == 0.0) continue;
    const double* vj = F.V.data() + j * sp;
    for (std::size_t r = 0; r < sp; ++r) F.b[r] += vj[r] * t;
  }
  // Residuals from the data, not from the reduced system.
  std::vector<double> e(yc);
  for (std::size_t k = 0; k < sp; ++k) {
    const double* xk = X->ColumnData(static_cast<int32_t>(k) + 1);
    const double m = F.mean[k], bk = F.b[k] / F.scale[k];
    for (std::size_t i = 0; i < sn; ++i) e[i] -= (xk[i] - m) * bk;
  }
  double ssres = 0.0;
  for (double v : e) ssres += v * v;
  TRegressionStats& st = F.st;
  st.NumObs = n;
  st.NumPred = p;
  st.Rank = rank;
  st.DfReg = df;
  st.DfRes = n - 1 - df;
  st.SSRes = ssres;
  st.RSquared = st.SSTot > 0.0 ? 1.0 - ssres / st.SSTot : 0.0;
  const bool dfOK = st.DfRes > 1e-9;
  st.AdjRSquared = dfOK ? 1.0 - (1.0 - st.RSquared) * (n - 1) / st.DfRes : 0.0;
  F.sigma2 = dfOK ? ssres / st.DfRes : 0.0;
  st.ResStdErr = std::sqrt(F.sigma2);
  const double ssreg = std::max(st.SSTot - ssres, 0.0);
  st.FValue = 0.0;
  st.FpValue = lambda == 0.0 ? 1.0 : std::numeric_limits<double>::quiet_NaN();
  if (dfOK && df > 0.0) {
    if (ssres > 0.0) {
      st.FValue = (ssreg / df) / F.sigma2;
      if (lambda == 0.0)
        st.FpValue = 1.0 - FDistriIntegral(st.FValue, rank, n - 1 - rank);
    } else if (ssreg > 0.0) {
      st.FValue = std::numeric_limits<double>::infinity();
      if (lambda == 0.0) st.FpValue = 0.0;
    }
  }
  for (std::size_t r = 0; r < sp; ++r) {
    double s = 0.0;
    for (std::size_t j = 0; j < sp; ++j) {
      const double v = F.V[j * sp + r];
      s += v * v * F.g[j];
    }
    F.se[r] = std::sqrt(F.sigma2 * s);
  }
}

// Variance of the intercept of the original predictors: sigma^2 (1/n + sum_j (m' V_j)^2 g_j)
// with m the means in scaled units.
double InterceptSE(const TRegFit& F) {
  const std::size_t sp = static_cast<std::size_t>(F.p);
  double s = 1.0 / F.n;
  for (std::size_t j = 0; j < sp; ++j) {
    double d = 0.0;
    for (std::size_t r = 0; r < sp; ++r) d += F.mean[r] / F.scale[r] * F.V[j * sp + r];
    s += d * d * F.g[j];
  }
  return std::sqrt(F.sigma2 * s);
}

void WriteOriginal(const TRegFit& F, TVector* Coeffs, TVector* StdErrs) {
  const std::size_t sp = static_cast<std::size_t>(F.p);
  Coeffs->Resize(F.p + 1);
  StdErrs->Resize(F.p + 1);
  double b0 = F.ymean;
  for (std::size_t r = 0; r < sp; ++r) {
    const double b = F.b[r] / F.scale[r];
    Coeffs->Data()[r + 1] = b;
    StdErrs->Data()[r + 1] = F.se[r] / F.scale[r];
    b0 -= F.mean[r] * b;
  }
  Coeffs->Data()[0] = b0;
  StdErrs->Data()[0] = InterceptSE(F);
  Coeffs->Changed();
  StdErrs->Changed();
}

}  // namespace

void MultiLinReg(const TMatrix* X, const TVector* y, TVector* Coeffs, TVector* StdErrs,
                 bool& NearSingular, TRegressionStats* Stats) {
  if (Coeffs == nullptr || StdErrs == nullptr) Fail("MultiLinReg", "missing argument");
  TRegFit F;
  RegressCore("MultiLinReg", X, y, 0.0, false, F);
  WriteOriginal(F, Coeffs, StdErrs);
  NearSingular = F.near;
  if (Stats != nullptr) *Stats = F.st;
}

void RidgeReg(const TMatrix* X, const TVector* y, double Lambda, TVector* Coeffs, TVector* StdErrs,
              bool& NearSingular, TRegressionStats* Stats) {
  if (Coeffs == nullptr || StdErrs == nullptr) Fail("RidgeReg", "missing argument");
  TRegFit F;
  RegressCore("RidgeReg", X, y, Lambda, false, F);
  WriteOriginal(F, Coeffs, StdErrs);
  NearSingular = F.near;
  if (Stats != nullptr) *Stats = F.st;
}

void RidgeRegStd(const TMatrix* X, const TVector* y, double Lambda, TVector* Coeffs,
                 TVector* StdErrs, TVector* Means, TVector* Scales, bool& NearSingular,
                 TRegressionStats* Stats) {
  if (Coeffs == nullptr || StdErrs == nullptr || Means == nullptr || Scales == nullptr)
    Fail("RidgeRegStd", "missing argument");
  TRegFit F;
  RegressCore("RidgeRegStd", X, y, Lambda, true, F);
  const std::size_t sp = static_cast<std::size_t>(F.p);
  Coeffs->Resize(F.p + 1);
  StdErrs->Resize(F.p + 1);
  Means->Resize(F.p);
  Scales->Resize(F.p);
  Coeffs->Data()[0] = F.ymean;
  StdErrs->Data()[0] = std::sqrt(F.sigma2 / F.n);
  for (std::size_t r = 0; r < sp; ++r) {
    Coeffs->Data()[r + 1] = F.b[r];
    StdErrs->Data()[r + 1] = F.se[r];
    Means->Data()[r] = F.mean[r];
    Scales->Data()[r] = F.scale[r];
  }
  Coeffs->Changed();
  StdErrs->Changed();
  Means->Changed();
  Scales->Changed();
  NearSingular = F.near;
  if (Stats != nullptr) *Stats = F.st;
}

}  // namespace qmx
