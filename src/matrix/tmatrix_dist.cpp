// TMatrix correlation of two matrices, row differences, edge vectors and distances between
// objects (rows).
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "qmx/matrix/tmatrix.h"
#include "qmx/vector.h"

namespace qmx {

double TMatrix::Correlate(const TMatrix* OtherMat) const {
  if (OtherMat == nullptr || OtherMat->FNCol != FNCol || OtherMat->FNRow != FNRow)
    RaiseComponentError<EQMXMatrixError>(this, ": matrices do not match");
  if (!HasCells()) return 0.0;
  const std::size_t cnt = static_cast<std::size_t>(FNCol) * FNRow;
  const double* x = Data();
  const double* y = OtherMat->Data();
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (std::size_t i = 0; i < cnt; ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    syy += y[i] * y[i];
    sxy += x[i] * y[i];
  }
  const double n = static_cast<double>(cnt);
  if (!(n > 2 && sxx > 0 && syy > 0)) return 0.0;
  const double qx = sxx - sx * sx / n, qy = syy - sy * sy / n;
  if (qx == 0 || qy == 0) return 0.0;
  return (sxy - sx * sy / n) / std::sqrt(std::fabs(qx * qy));
}

void TMatrix::Diff(int32_t Order) {
  if (Order < 1 || Order > 10 || Order >= FNRow) return;
  for (int32_t pass = 0; pass < Order; ++pass)
    for (int32_t c = 1; c <= FNCol; ++c) {
      double* col = ColumnData(c);
      for (int32_t r = 0; r < FNRow - 1; ++r) col[r] = col[r + 1] - col[r];
    }
  Resize(FNCol, FNRow - Order);
}

void TMatrix::EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const {
  if (DestVec == nullptr) return;
  const bool perRow = static_cast<int>(Orient) == 0;
  const int32_t lines = perRow ? FNRow : FNCol;
  const int32_t len = perRow ? FNCol : FNRow;
  if (EdgeOp != eopMin && EdgeOp != eopMax && EdgeOp != eopSum && EdgeOp != eopMean) return;
  DestVec->Resize(lines);
  std::vector<double> acc(static_cast<std::size_t>(std::max(lines, 0)),
                          EdgeOp == eopMin   ? uc_MaxDouble
                          : EdgeOp == eopMax ? -uc_MaxDouble
                                             : 0.0);
  // Column by column in storage order; for per-row results each column updates every line.
  for (int32_t c = 1; c <= FNCol && FNRow > 0; ++c) {
    const double* col = ColumnData(c);
    if (perRow) {
      for (int32_t r = 0; r < FNRow; ++r) {
        const double x = col[r];
        double& a = acc[r];
        if (EdgeOp == eopMin) {
          if (x < a) a = x;
        } else if (EdgeOp == eopMax) {
          if (x > a) a = x;
        } else {
          a += x;
        }
      }
    } else {
      double a = acc[c - 1];
      for (int32_t r = 0; r < FNRow; ++r) {
        const double x = col[r];
        if (EdgeOp == eopMin) {
          if (x < a) a = x;
        } else if (EdgeOp == eopMax) {
          if (x > a) a = x;
        } else {
          a += x;
        }
      }
      acc[c - 1] = a;
    }
  }
  for (int32_t i = 1; i <= lines; ++i) {
    double v = acc[i - 1];
    if (EdgeOp == eopMean) v /= len;
    DestVec->SetVal(i, v);
  }
}

double TMatrix::DistanceOfObjects(TDistMode Mode, int32_t obj1, int32_t obj2) const {
  switch (Mode) {
    case dmUserDef: {
      double d = 0.0;
      FireEvent(OnCalcDistance, const_cast<TMatrix*>(this), obj1, obj2, d);
      return d;
    }
    case dmJaccard:
    case dmDice: {
      double ab = 0, aa = 0, bb = 0;
      for (int32_t k = 1; k <= FNCol; ++k) {
        const double a = GetVal(k, obj1), b = GetVal(k, obj2);
        ab += a * b;
        aa += a * a;
        bb += b * b;
      }
      return Mode == dmJaccard ? ab / (aa + bb - ab) : 2 * ab / (aa + bb);
    }
    case dmManhattan: {
      double s = 0;
      for (int32_t k = 1; k <= FNCol; ++k) s += std::fabs(GetVal(k, obj1) - GetVal(k, obj2));
      return s;
    }
    case dmEuclid:
    case dmEuclidSqr: {
      double s = 0;
      for (int32_t k = 1; k <= FNCol; ++k) {
        const double d = GetVal(k, obj1) - GetVal(k, obj2);
        s += d * d;
      }
      return Mode == dmEuclid ? std::sqrt(s) : s;
    }
  }
  return 0.0;
}

namespace {

// Distances from object i (0-based) to the objects j = i+1..n-1, for the modes that are sums over
// the variables: out[j] receives the distance. X is the n x p data in column-major order.
// Per pair the terms are added over the variables in increasing order, exactly as
// DistanceOfObjects does; the loop over j only runs many pairs side by side.
void DistancesFrom(const double* X, int32_t n, int32_t p, int32_t i, TDistMode mode,
                   double* out, double* aux1, double* aux2) {
  const int32_t j0 = i + 1;
  const int32_t cnt = n - j0;
  if (cnt <= 0) return;
  double* s = out + j0;
  std::fill_n(s, cnt, 0.0);
  switch (mode) {
    case dmEuclid:
    case dmEuclidSqr:
      for (int32_t k = 0; k < p; ++k) {
        const double* col = X + static_cast<std::size_t>(k) * n;
        const double a = col[i];
        const double* b = col + j0;
        for (int32_t j = 0; j < cnt; ++j) {
          const double d = a - b[j];
          s[j] += d * d;
        }
      }
      if (mode == dmEuclid)
        for (int32_t j = 0; j < cnt; ++j) s[j] = std::sqrt(s[j]);
      break;
    case dmManhattan:
      for (int32_t k = 0; k < p; ++k) {
        const double* col = X + static_cast<std::size_t>(k) * n;
        const double a = col[i];
        const double* b = col + j0;
        for (int32_t j = 0; j < cnt; ++j) s[j] += std::fabs(a - b[j]);
      }
      break;
    case dmJaccard:
    case dmDice: {
      // s collects ab; aux1 the per-object sums of squares (bb), aux2[i] the one of object i.
      double aa = 0;
      for (int32_t k = 0; k < p; ++k) {
        const double* col = X + static_cast<std::size_t>(k) * n;
        const double a = col[i];
        aa += a * a;
        const double* b = col + j0;
        for (int32_t j = 0; j < cnt; ++j) s[j] += a * b[j];
      }
      (void)aux2;
      for (int32_t j = 0; j < cnt; ++j) {
        const double ab = s[j], bb = aux1[j0 + j];
        s[j] = mode == dmJaccard ? ab / (aa + bb - ab) : 2 * ab / (aa + bb);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

int32_t TMatrix::CalcDistMat(TDistMode Mode, TMatrix* DMat) const {
  if (DMat == nullptr) return -2;
  const int32_t n = FNRow;
  if (DMat->FNCol != n) return -2;
  if (DMat->FNRow != DMat->FNCol) return -1;
  if (n == 0) return 0;
  if (DMat == this) {
    // Distances of a matrix written over itself: read from a copy.
    TMatrix snap;
    snap.Assign(this);
    snap.OnChange = nullptr;
    return snap.CalcDistMat(Mode, DMat);
  }
  const bool sumMode = Mode == dmJaccard || Mode == dmManhattan || Mode == dmEuclid ||
                       Mode == dmEuclidSqr || Mode == dmDice;
  if (DMat->OnChange || !sumMode) {
    // Someone listens to the target, or the distance is the caller's: every cell goes through
    // the element setter in the documented order.
    for (int32_t i = 1; i < n; ++i) {
      DMat->SetVal(i, i, 0.0);
      for (int32_t j = i + 1; j <= n; ++j) {
        const double d = DistanceOfObjects(Mode, i, j);
        DMat->SetVal(i, j, d);
        DMat->SetVal(j, i, d);
      }
    }
    DMat->SetVal(n, n, 0.0);
    return 0;
  }
  // Fast path: column i of the target holds the distances of object i to all others, so the
  // upper part of each column is computed side by side and the lower part is mirrored.
  const int32_t p = FNCol;
  const double* X = Data();
  std::vector<double> sq;
  if (Mode == dmJaccard || Mode == dmDice) {
    sq.assign(static_cast<std::size_t>(n), 0.0);
    for (int32_t k = 0; k < p; ++k) {
      const double* col = X + static_cast<std::size_t>(k) * n;
      for (int32_t j = 0; j < n; ++j) sq[j] += col[j] * col[j];
    }
  }
  double* D = DMat->Data();
  for (int32_t i = 0; i < n; ++i) {
    double* col = D + static_cast<std::size_t>(i) * n;  // column i+1 of the target
    col[i] = 0.0;
    DistancesFrom(X, n, p, i, Mode, col, sq.data(), nullptr);
  }
  // Mirror the strict lower triangle (column i, rows j > i) into the upper one, in tiles.
  constexpr int32_t B = 64;
  for (int32_t i0 = 0; i0 < n; i0 += B)
    for (int32_t j0 = i0; j0 < n; j0 += B) {
      const int32_t i1 = std::min(i0 + B, n), j1 = std::min(j0 + B, n);
      for (int32_t i = i0; i < i1; ++i) {
        const double* src = D + static_cast<std::size_t>(i) * n;
        for (int32_t j = std::max(j0, i + 1); j < j1; ++j) D[static_cast<std::size_t>(j) * n + i] = src[j];
      }
    }
  return 0;
}

}  // namespace qmx
