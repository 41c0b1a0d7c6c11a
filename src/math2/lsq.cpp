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

namespace {

// s[c] = sum_{i0 <= i < i1} v[i] * col_c[i] (i increasing) for the w <= kDots columns of stride
// ld starting at cols. The sums are independent chains, so running them together hides the
// latency of each addition.
constexpr std::size_t kDots = 8;

template <std::size_t W>
void ColumnDotsW(const double* v, const double* cols, std::size_t ld, std::size_t i0,
                 std::size_t i1, double* s) {
  double acc[W];
  for (std::size_t c = 0; c < W; ++c) acc[c] = 0.0;
  for (std::size_t i = i0; i < i1; ++i) {
    const double x = v[i];
    for (std::size_t c = 0; c < W; ++c) acc[c] += x * cols[c * ld + i];
  }
  for (std::size_t c = 0; c < W; ++c) s[c] = acc[c];
}

void ColumnDots(const double* v, const double* cols, std::size_t ld, std::size_t i0,
                std::size_t i1, std::size_t w, double* s) {
  switch (w) {
    case 1: return ColumnDotsW<1>(v, cols, ld, i0, i1, s);
    case 2: return ColumnDotsW<2>(v, cols, ld, i0, i1, s);
    case 3: return ColumnDotsW<3>(v, cols, ld, i0, i1, s);
    case 4: return ColumnDotsW<4>(v, cols, ld, i0, i1, s);
    case 5: return ColumnDotsW<5>(v, cols, ld, i0, i1, s);
    case 6: return ColumnDotsW<6>(v, cols, ld, i0, i1, s);
    case 7: return ColumnDotsW<7>(v, cols, ld, i0, i1, s);
    default: return ColumnDotsW<8>(v, cols, ld, i0, i1, s);
  }
}

}  // namespace

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
    // The dot products of the later columns with v are independent: one pass runs up to eight
    // of them side by side (each still adds its terms in increasing i).
    for (std::size_t c0 = j + 1; c0 < cols; c0 += kDots) {
      const std::size_t w = std::min(kDots, cols - c0);
      double s[kDots];
      ColumnDots(aj, A.data() + c0 * m, m, j, m, w, s);
      for (std::size_t c = c0; c < c0 + w; ++c) {
        double* ac = A.data() + c * m;
        const double f = s[c - c0] / beta;
        for (std::size_t i = j; i < m; ++i) ac[i] -= f * aj[i];
      }
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
