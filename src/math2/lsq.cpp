// Least-squares solver on the library's singular value decomposition.
#include "math2/lsq.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "matrix/svd.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace math2detail {

// Householder QR of the column-major m x p design matrix A with the right-hand side y appended as
// column p. On return R (p x p, column-major, zero below the diagonal and in the rows m..p-1 when
// m < p) and the first p elements of Qᵀy. The decomposition of a tall design matrix then runs
// on the small triangle, which has the same singular values and the same least-squares
// solution, instead of on the whole matrix.
void ReduceToTriangle(std::vector<double>& A, std::size_t m, std::size_t p, std::vector<double>& R,
                      std::vector<double>& qty) {
  const std::size_t cols = p + 1, steps = std::min(m, p);
  for (std::size_t j = 0; j < steps; ++j) {
    double* aj = A.data() + j * m;
    double scale = 0.0;
    for (std::size_t i = j; i < m; ++i) scale = std::max(scale, std::fabs(aj[i]));
    if (scale == 0.0) continue;
    double ss = 0.0;
    for (std::size_t i = j; i < m; ++i) {
      const double t = aj[i] / scale;
      ss += t * t;
    }
    const double norm = scale * std::sqrt(ss);
    const double alpha = aj[j] > 0 ? -norm : norm;
    // v = a_j − alpha·e_j stored in place; H = I − v vᵀ / (norm² − alpha·a_jj)
    const double beta = norm * norm - alpha * aj[j];
    aj[j] -= alpha;
    for (std::size_t c = j + 1; c < cols; ++c) {
      double* ac = A.data() + c * m;
      double s = 0.0;
      for (std::size_t i = j; i < m; ++i) s += aj[i] * ac[i];
      const double f = s / beta;
      for (std::size_t i = j; i < m; ++i) ac[i] -= f * aj[i];
    }
    aj[j] = alpha;
  }
  R.assign(p * p, 0.0);
  for (std::size_t c = 0; c < p; ++c)
    for (std::size_t r = 0; r <= std::min(c, m - 1); ++r) R[c * p + r] = A[c * m + r];
  qty.assign(p, 0.0);
  for (std::size_t r = 0; r < steps; ++r) qty[r] = A[p * m + r];
}

}  // namespace math2detail

bool LeastSquaresSolve(double* A, int32_t m, int32_t n, const double* y, double* x,
                       double* StdErr, bool& NearSingular) {
  NearSingular = false;
  if (A == nullptr || y == nullptr || x == nullptr || m < 1 || n < 1) return false;
  const std::size_t sm = static_cast<std::size_t>(m), sn = static_cast<std::size_t>(n);
  std::vector<double> V, w, t;
  try {
    V.resize(sn * sn);
    w.resize(sn);
    t.resize(sn);
    // m < n: the decomposition works on A extended by zero rows and returns the first m rows
    // of U, which is all the right-hand side (zero in the added rows) needs.
    if (linalg::SVDecompose(A, m, n, w.data(), V.data()) != linalg::svdOK) return false;
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("LeastSquaresSolve: not enough memory");
  }
  double wmax = 0.0;
  for (double wj : w) wmax = std::max(wmax, wj);
  const double thresh = 1e-14 * wmax;
  for (double& wj : w)
    // A zero singular value is singular also when every value is zero.
    if (wj < thresh || wj == 0.0) {
      wj = 0.0;
      NearSingular = true;
    }
  for (std::size_t j = 0; j < sn; ++j) {
    double s = 0.0;
    if (w[j] != 0.0) {
      const double* u = A + j * sm;
      for (std::size_t r = 0; r < sm; ++r) s += u[r] * y[r];
      s /= w[j];
    }
    t[j] = s;
  }
  for (std::size_t r = 0; r < sn; ++r) x[r] = 0.0;
  for (std::size_t j = 0; j < sn; ++j) {
    const double tj = t[j];
    const double* vj = V.data() + j * sn;
    for (std::size_t r = 0; r < sn; ++r) x[r] += vj[r] * tj;
  }
  if (StdErr != nullptr) {
    for (std::size_t r = 0; r < sn; ++r) StdErr[r] = 0.0;
    for (std::size_t j = 0; j < sn; ++j) {
      if (w[j] == 0.0) continue;
      const double w2 = w[j] * w[j];
      const double* vj = V.data() + j * sn;
      for (std::size_t r = 0; r < sn; ++r) StdErr[r] += vj[r] * vj[r] / w2;
    }
    for (std::size_t r = 0; r < sn; ++r) StdErr[r] = std::sqrt(StdErr[r]);
  }
  return true;
}

bool LeastSquaresSolve(TMatrix* A, const TVector* y, TVector* x, TVector* StdErr,
                       bool& NearSingular) {
  NearSingular = false;
  if (A == nullptr || y == nullptr || x == nullptr || !A->HasCells()) return false;
  const int32_t m = A->NrOfRows(), n = A->NrOfColumns();
  if (y->NrOfElem() != m) return false;
  std::vector<double> xs(static_cast<std::size_t>(n)), se;
  if (StdErr != nullptr) se.resize(static_cast<std::size_t>(n));
  if (!LeastSquaresSolve(A->Data(), m, n, y->Data().data(), xs.data(),
                         StdErr ? se.data() : nullptr, NearSingular))
    return false;
  A->Changed();
  x->Resize(n);
  std::copy(xs.begin(), xs.end(), x->Data().begin());
  x->Changed();
  if (StdErr != nullptr) {
    StdErr->Resize(n);
    std::copy(se.begin(), se.end(), StdErr->Data().begin());
    StdErr->Changed();
  }
  return true;
}

}  // namespace qmx
