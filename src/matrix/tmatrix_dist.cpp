// TMatrix correlation of two matrices, row differences, edge vectors and distances between
// objects (rows).
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "matrix/nd_impl.h"
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
  // Extremes take the first comparable value of a line (NaNs are passed over), so values beyond
  // the start values, such as infinities, are kept.
  std::vector<char> seen(acc.size(), 0);
  for (int32_t c = 1; c <= FNCol && FNRow > 0; ++c) {
    const double* col = ColumnData(c);
    if (perRow) {
      if (EdgeOp == eopMin)
        for (int32_t r = 0; r < FNRow; ++r) ndimpl::TakeEdge<false>(acc[r], seen[r], col[r]);
      else if (EdgeOp == eopMax)
        for (int32_t r = 0; r < FNRow; ++r) ndimpl::TakeEdge<true>(acc[r], seen[r], col[r]);
      else
        for (int32_t r = 0; r < FNRow; ++r) acc[r] += col[r];
    } else if (EdgeOp == eopMin || EdgeOp == eopMax) {
      ndimpl::TExtremes<double> e(acc[c - 1], acc[c - 1]);
      e.Take(col, static_cast<std::size_t>(FNRow));
      acc[c - 1] = EdgeOp == eopMin ? e.Min : e.Max;
    } else {
      double a = 0.0;
      for (int32_t r = 0; r < FNRow; ++r) a += col[r];
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

// Distance of one pair from its accumulated sum (ab for the similarity modes) and, for those,
// the two sums of squares.
template <int Mode>
inline double Finish(double acc, double aa, double bb) {
  if constexpr (Mode == dmEuclid) return std::sqrt(acc);
  if constexpr (Mode == dmJaccard) return acc / (aa + bb - acc);
  if constexpr (Mode == dmDice) return 2 * acc / (aa + bb);
  return acc;  // dmManhattan, dmEuclidSqr
}

// Square roots of a stretch, two at a time where SSE2 is there (the same correctly rounded
// results as std::sqrt, without its scalar error-reporting path).
inline void SqrtInPlace(double* v, int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__)
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(v + i, _mm_sqrt_pd(_mm_loadu_pd(v + i)));
#endif
  for (; i < n; ++i) v[i] = std::sqrt(v[i]);
}

template <int Mode>
inline double Term(double a, double b) {
  if constexpr (Mode == dmManhattan) return std::fabs(a - b);
  if constexpr (Mode == dmEuclid || Mode == dmEuclidSqr) {
    const double d = a - b;
    return d * d;
  }
  return a * b;  // ab of the similarity modes
}

// Sums of objects i and i+1 against objects j..j+7 (r0, r1), over the variables in increasing
// order. The sixteen sums live in registers across the whole loop.
template <int Mode>
inline void Block2x8(const double* X, int32_t n, int32_t p, int32_t i, int32_t j, double* r0,
                     double* r1) {
#if defined(__SSE2__)
  auto term = [](__m128d a, __m128d x) {
    if constexpr (Mode == dmEuclid || Mode == dmEuclidSqr) {
      const __m128d d = _mm_sub_pd(a, x);
      return _mm_mul_pd(d, d);
    } else if constexpr (Mode == dmManhattan) {
      return _mm_andnot_pd(_mm_set1_pd(-0.0), _mm_sub_pd(a, x));  // |a - x|
    } else {
      return _mm_mul_pd(a, x);
    }
  };
  __m128d s00 = _mm_setzero_pd(), s01 = s00, s02 = s00, s03 = s00;
  __m128d s10 = s00, s11 = s00, s12 = s00, s13 = s00;
  for (int32_t k = 0; k < p; ++k) {
    const double* col = X + static_cast<std::size_t>(k) * n;
    const __m128d a0 = _mm_set1_pd(col[i]), a1 = _mm_set1_pd(col[i + 1]);
    const double* xj = col + j;
    const __m128d x0 = _mm_loadu_pd(xj), x1 = _mm_loadu_pd(xj + 2);
    const __m128d x2 = _mm_loadu_pd(xj + 4), x3 = _mm_loadu_pd(xj + 6);
    s00 = _mm_add_pd(s00, term(a0, x0));
    s01 = _mm_add_pd(s01, term(a0, x1));
    s02 = _mm_add_pd(s02, term(a0, x2));
    s03 = _mm_add_pd(s03, term(a0, x3));
    s10 = _mm_add_pd(s10, term(a1, x0));
    s11 = _mm_add_pd(s11, term(a1, x1));
    s12 = _mm_add_pd(s12, term(a1, x2));
    s13 = _mm_add_pd(s13, term(a1, x3));
  }
  _mm_storeu_pd(r0, s00);
  _mm_storeu_pd(r0 + 2, s01);
  _mm_storeu_pd(r0 + 4, s02);
  _mm_storeu_pd(r0 + 6, s03);
  _mm_storeu_pd(r1, s10);
  _mm_storeu_pd(r1 + 2, s11);
  _mm_storeu_pd(r1 + 4, s12);
  _mm_storeu_pd(r1 + 6, s13);
#else
  std::fill_n(r0, 8, 0.0);
  std::fill_n(r1, 8, 0.0);
  for (int32_t k = 0; k < p; ++k) {
    const double* col = X + static_cast<std::size_t>(k) * n;
    const double a0 = col[i], a1 = col[i + 1];
    const double* xj = col + j;
    for (int t = 0; t < 8; ++t) {
      r0[t] += Term<Mode>(a0, xj[t]);
      r1[t] += Term<Mode>(a1, xj[t]);
    }
  }
#endif
}

// Fills the distance matrix D (n x n, column-major) of the n objects in X (n x p, column-major,
// variable k in column k). Per pair the terms are added over the variables in increasing order,
// one after the other, exactly as DistanceOfObjects does; the loops only run 2 x 8 pairs side by
// side (objects i and i+1 against eight objects j), which keeps the sums in registers and writes
// the mirrored half two cells at a time.
template <int Mode>
void DistanceBlocks(const double* X, int32_t n, int32_t p, const double* sq, double* D) {
  auto at = [&](int32_t c, int32_t r) -> double& { return D[static_cast<std::size_t>(c) * n + r]; };
  auto finish = [&](double* r, int32_t i, int32_t j, int32_t cnt) {
    if constexpr (Mode == dmEuclid) {
      SqrtInPlace(r, cnt);
    } else if constexpr (Mode == dmJaccard || Mode == dmDice) {
      for (int32_t t = 0; t < cnt; ++t) r[t] = Finish<Mode>(r[t], sq[i], sq[j + t]);
    }
  };
  auto single = [&](int32_t i, int32_t j) {
    double r = 0.0;
    for (int32_t k = 0; k < p; ++k) {
      const double* col = X + static_cast<std::size_t>(k) * n;
      r += Term<Mode>(col[i], col[j]);
    }
    finish(&r, i, j, 1);
    at(i, j) = at(j, i) = r;
  };
  int32_t i = 0;
  for (; i + 2 <= n; i += 2) {
    at(i, i) = 0.0;
    at(i + 1, i + 1) = 0.0;
    single(i, i + 1);
    double* c0 = &at(i, 0);
    double* c1 = &at(i + 1, 0);
    int32_t j = i + 2;
    for (; j + 8 <= n; j += 8) {
      alignas(16) double r0[8], r1[8];
      Block2x8<Mode>(X, n, p, i, j, r0, r1);
      finish(r0, i, j, 8);
      finish(r1, i + 1, j, 8);
      for (int t = 0; t < 8; ++t) {
        c0[j + t] = r0[t];
        c1[j + t] = r1[t];
        double* d = &at(j + t, i);
        d[0] = r0[t];
        d[1] = r1[t];
      }
    }
    for (; j < n; ++j) {
      single(i, j);
      single(i + 1, j);
    }
  }
  if (i < n) at(i, i) = 0.0;
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
  // Fast path: no listener, a distance that is a sum over the variables.
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
  switch (Mode) {
    case dmJaccard: DistanceBlocks<dmJaccard>(X, n, p, sq.data(), D); break;
    case dmManhattan: DistanceBlocks<dmManhattan>(X, n, p, nullptr, D); break;
    case dmEuclid: DistanceBlocks<dmEuclid>(X, n, p, nullptr, D); break;
    case dmEuclidSqr: DistanceBlocks<dmEuclidSqr>(X, n, p, nullptr, D); break;
    case dmDice: DistanceBlocks<dmDice>(X, n, p, sq.data(), D); break;
    default: break;
  }
  return 0;
}

}  // namespace qmx
