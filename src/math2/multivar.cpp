// Pseudo-inverse and Mahalanobis distance.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "matrix/linalg.h"
#include "matrix/svd.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmx {

bool PseudoInverse(const TMatrix* A, TMatrix* PInv, double Threshold) {
  if (A == nullptr || PInv == nullptr || !A->HasCells()) return false;
  const int32_t m = A->NrOfRows(), n = A->NrOfColumns();
  const std::size_t sm = static_cast<std::size_t>(m), sn = static_cast<std::size_t>(n);
  std::vector<double> B, V, w;
  linalg::TSVDStatus status;
  try {
    B.assign(A->Data(), A->Data() + sm * sn);
    V.resize(sn * sn);
    w.resize(sn);
    PInv->Resize(m, n);
    // m < n: the decomposition extends B by zero rows; B receives the first m rows of U, and
    // the pseudo-inverse of the extended matrix restricted to those rows is that of A.
    status = linalg::SVDecompose(B.data(), m, n, w.data(), V.data());
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("PseudoInverse: not enough memory");
  }
  if (status == linalg::svdOK) {
    double wmax = 0.0;
    for (double wj : w) wmax = std::max(wmax, wj);
    const double thresh =
        Threshold > 0.0 ? Threshold : static_cast<double>(std::max(m, n)) * wmax * 1.2e-16;
    for (std::size_t j = 0; j < sn; ++j) {
      double* vj = V.data() + j * sn;
      if (std::fabs(w[j]) > thresh) {
        const double f = w[j];
        for (std::size_t r = 0; r < sn; ++r) vj[r] /= f;
      } else {
        std::fill(vj, vj + sn, 0.0);
      }
    }
  }
  // PInv (n x m) = V * U^T
  linalg::MatMul(V.data(), false, B.data(), true, n, m, n, PInv->Data());
  PInv->Changed();
  return status == linalg::svdOK;
}

double MahalanobisDistance(const TVector* x, const TVector* y, const TMatrix* InvCovar) {
  if (x == nullptr || y == nullptr || InvCovar == nullptr)
    throw EQMXVectorError("MahalanobisDistance: missing argument");
  const int32_t n = x->NrOfElem();
  if (y->NrOfElem() != n)
    throw EQMXVectorError("MahalanobisDistance: dimensions of vectors do not match");
  if (InvCovar->NrOfColumns() != InvCovar->NrOfRows())
    throw EQMXVectorError("MahalanobisDistance: inverse covariance matrix is not quadratric");
  if (InvCovar->NrOfColumns() != n)
    throw EQMXVectorError(
        "MahalanobisDistance: dimension of vectors and inverse covariance matrix do not match");
  const double* xs = x->Data().data();
  const double* ys = y->Data().data();
  std::vector<double> d(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) d[i] = xs[i] - ys[i];
  // sum_i d_i sum_j M(j, i) d_j with cell (j, i) = column j, row i; grouped by column j so that
  // the inner sum runs down a contiguous column.
  double q = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    const double* col = InvCovar->ColumnData(j + 1);
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i) s += col[i] * d[i];
    q += d[j] * s;
  }
  if (q < 0.0)
    throw EQMXVectorError(
        "MahalanobisDistance: the inverse covariance matrix must be symmetric and positive "
        "definite");
  return std::sqrt(q);
}

}  // namespace qmx
