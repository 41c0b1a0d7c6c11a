// Cyclic Jacobi eigen analysis and the process-wide eigen result store.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "math2/multivar_internal.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"

namespace qmx {

namespace {

// The store keeps eigenvector k contiguous (column-major), so that the rotations and the
// reordering of the principal components run over contiguous memory. Being a namespace-scope
// object with constant initialisation, it is released by its destructor at unload.
struct TEigenStore {
  int32_t n = 0;
  std::vector<double> values;   // n
  std::vector<double> vectors;  // n * n, eigenvector k at [(k-1)*n, k*n)
};
TEigenStore EigenStore;

// Element-wise IEEE operations give the same results with any vector width, so the wider
// units are used where the processor has them.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QMX_VECTOR_CLONES __attribute__((target_clones("avx2", "default"), noinline))
#else
#define QMX_VECTOR_CLONES
#endif

// One Jacobi rotation of the pairs (x[j], y[j]) with the old values on both right-hand sides.
QMX_VECTOR_CLONES void RotatePairs(double* __restrict x, double* __restrict y, int32_t len, double s,
                        double tau) noexcept {
  for (int32_t j = 0; j < len; ++j) {
    const double g = x[j];
    const double h = y[j];
    x[j] = g - s * (h + g * tau);
    y[j] = h + s * (g - h * tau);
  }
}

// A rotation kept so that the eigenvector updates can be applied in batches.
struct TRotation {
  int32_t p, q;
  double s, tau;
};

using v4d = double __attribute__((vector_size(32)));

// Applies the rotations to NV*4 rows starting at j0. Consecutive rotations share p (one p-loop
// each), so that part of column p is kept in registers across them.
template <int NV>
__attribute__((always_inline)) inline void RotateRowBlock(double* v, std::size_t nn, std::size_t j0, const TRotation* rot,
                           std::size_t nrot) noexcept {
  std::size_t k = 0;
  while (k < nrot) {
    const int32_t p = rot[k].p;
    double* xp = v + p * nn + j0;
    v4d x[NV];
#pragma GCC unroll 8
    for (int b = 0; b < NV; ++b) std::memcpy(&x[b], xp + 4 * b, 32);
    for (; k < nrot && rot[k].p == p; ++k) {
      double* y = v + rot[k].q * nn + j0;
      const double s = rot[k].s, tau = rot[k].tau;
#pragma GCC unroll 8
      for (int b = 0; b < NV; ++b) {
        v4d h;
        std::memcpy(&h, y + 4 * b, 32);
        const v4d g = x[b];
        x[b] = g - s * (h + g * tau);
        h = h + s * (g - h * tau);
        std::memcpy(y + 4 * b, &h, 32);
      }
    }
#pragma GCC unroll 8
    for (int b = 0; b < NV; ++b) std::memcpy(xp + 4 * b, &x[b], 32);
  }
}

// Applies the rotations, in order, to the eigenvector columns p and q. Every row of the
// eigenvector matrix is independent and sees the same operations in the same order as with one
// pass per rotation; working through a block of rows at a time keeps that block in L1 while the
// batch of rotations streams past.
QMX_VECTOR_CLONES void ApplyVectorRotations(double* v, int32_t n, const TRotation* rot,
                                            std::size_t nrot) noexcept {
  const std::size_t nn = static_cast<std::size_t>(n);
  std::size_t j0 = 0;
  for (; j0 + 32 <= nn; j0 += 32) RotateRowBlock<8>(v, nn, j0, rot, nrot);
  for (; j0 + 4 <= nn; j0 += 4) RotateRowBlock<1>(v, nn, j0, rot, nrot);
  if (j0 < nn)
    for (std::size_t k = 0; k < nrot; ++k) {
      double* x = v + rot[k].p * nn;
      double* y = v + rot[k].q * nn;
      const double s = rot[k].s, tau = rot[k].tau;
      for (std::size_t j = j0; j < nn; ++j) {
        const double g = x[j];
        const double h = y[j];
        x[j] = g - s * (h + g * tau);
        y[j] = h + s * (g - h * tau);
      }
    }
}

// Rotations collected before the eigenvectors are brought up to date.
constexpr std::size_t kRotationBatch = 16384;

}  // namespace

namespace math2detail {

bool JacobiEigen(double* a, int32_t n, int32_t lda) {
  std::vector<double> b, z, P;
  std::vector<TRotation> rots;
  try {
    rots.reserve(kRotationBatch);
    EigenStore.n = n;
    EigenStore.values.assign(static_cast<std::size_t>(n), 0.0);
    EigenStore.vectors.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    b.resize(static_cast<std::size_t>(n));
    z.assign(static_cast<std::size_t>(n), 0.0);
    P.resize(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    EigenStore.values.clear();
    EigenStore.vectors.clear();
    throw EQMXMath2Error("CalcEigVec: not enough memory");
  }
  AbortMathProc = false;
  double* d = EigenStore.values.data();
  double* v = EigenStore.vectors.data();
  const std::size_t ld = static_cast<std::size_t>(lda);
  const std::size_t nn = static_cast<std::size_t>(n);
  auto A = [&](int32_t row, int32_t col) -> double& { return a[col * ld + row]; };
  for (int32_t k = 0; k < n; ++k) {
    v[k * nn + k] = 1.0;
    d[k] = A(k, k);
    b[k] = d[k];
  }
  const double nsq = static_cast<double>(n) * static_cast<double>(n);

  bool finished = false, success = false;
  for (int32_t pass = 1; !finished && !AbortMathProc; ++pass) {
    ProgressStep(1.0);
    double sm = 0.0;
    for (int32_t q = 1; q < n; ++q) {
      const double* col = a + q * ld;
      for (int32_t p = 0; p < q; ++p) sm += std::fabs(col[p]);
    }
    if (sm == 0.0) {
      finished = success = true;
      break;
    }
    const double thresh = pass <= 3 ? 0.2 * sm / nsq : 0.0;
    bool aborted = false;
    for (int32_t p = 0; p + 1 < n && !aborted; ++p) {
      if (AbortMathProc) break;
      // Row and column p of the upper triangle gathered into one contiguous array:
      // P[j] = a(j, p) for j < p and a(p, j) for j > p.
      for (int32_t j = 0; j < p; ++j) P[j] = A(j, p);
      for (int32_t j = p + 1; j < n; ++j) P[j] = A(p, j);
      for (int32_t q = p + 1; q < n; ++q) {
        if (AbortMathProc) {
          aborted = true;
          break;
        }
        ProgressStep(1.0);
        const double apq = P[q];
        const double g = 200.0 * std::fabs(apq);
        const double adp = std::fabs(d[p]), adq = std::fabs(d[q]);
        if (pass >= 5 && adp + g == adp && adq + g == adq) {
          P[q] = 0.0;
        } else if (std::fabs(apq) > thresh) {
          double h = d[q] - d[p];
          double t;
          if (std::fabs(h) + g == std::fabs(h)) {
            t = apq / h;
          } else {
            const double theta = h / (2.0 * apq);
            t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
            if (theta < 0.0) t = -t;
          }
          const double c = 1.0 / std::sqrt(1.0 + t * t);
          const double s = t * c;
          const double tau = s / (1.0 + c);
          h = t * apq;
          z[p] -= h;
          z[q] += h;
          d[p] -= h;
          d[q] += h;
          P[q] = 0.0;
          double* colq = a + q * ld;
          // (a_jp, a_jq) for j < p and (a_pj, a_jq) for p < j < q in one pass: the slots
          // P[p] and a(p, q) hold no live values during the p-loop (a_pq lives in P[q] and is
          // written back at its end), so rotating them too is harmless.
          RotatePairs(P.data(), colq, q, s, tau);
          // (a_pj, a_qj), j > q: row q is strided.
          double* Pt = P.data();
          for (int32_t j = q + 1; j < n; ++j) {
            double& y = a[j * ld + q];
            const double gx = Pt[j];
            const double hy = y;
            Pt[j] = gx - s * (hy + gx * tau);
            y = hy + s * (gx - hy * tau);
          }
          rots.push_back({p, q, s, tau});
          if (rots.size() == kRotationBatch) {
            ApplyVectorRotations(v, n, rots.data(), rots.size());
            rots.clear();
          }
        }
      }
      for (int32_t j = 0; j < p; ++j) A(j, p) = P[j];
      for (int32_t j = p + 1; j < n; ++j) A(p, j) = P[j];
    }
    ApplyVectorRotations(v, n, rots.data(), rots.size());
    rots.clear();
    if (aborted || AbortMathProc) break;
    for (int32_t k = 0; k < n; ++k) {
      b[k] += z[k];
      d[k] = b[k];
      z[k] = 0.0;
    }
    if (pass >= 100) finished = true;
  }
  if (AbortMathProc) return false;
  return success;
}

}  // namespace math2detail

bool CalcEigVec(TMatrix* InMat) {
  if (InMat == nullptr) return false;
  const int32_t n = InMat->NrOfColumns();
  if (n > 10000 || InMat->NrOfRows() != n) return false;
  return math2detail::JacobiEigen(InMat->Data(), n, InMat->Stride());
}

double GetEigenResult(int32_t k, int32_t r) noexcept {
  const int32_t n = EigenStore.n;
  if (EigenStore.values.empty() || k < 1 || k > n || r < 0 || r > n) return 0.0;
  if (r == 0) return EigenStore.values[k - 1];
  return EigenStore.vectors[static_cast<std::size_t>(k - 1) * n + (r - 1)];
}

int32_t GetEigenSize() noexcept { return EigenStore.n; }

void RemoveEigenMatrix() noexcept {
  std::vector<double>().swap(EigenStore.values);
  std::vector<double>().swap(EigenStore.vectors);
}

bool CalcPrincComp(const TMatrix* DataMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                   int32_t HighRow, int32_t CovarMode, bool Normalize) {
  if (DataMat == nullptr) return false;
  // The whole-dimension range (0, 0) is resolved before the covariance matrix is sized, so that
  // "all columns" works here as everywhere else.
  DataMat->MakeValidColRange(LowCol, HighCol);
  const int32_t p = HighCol - LowCol + 1;
  if (DataMat->NrOfColumns() < 1 || p < 1) return false;
  // The eigen analysis refuses more than 10000 columns; the covariance matrix (up to
  // gigabytes) is not built for nothing.
  if (p > 10000) return false;
  {
    TMatrix cov;
    if (!cov.Resize(p, p)) return false;
    if (!CalcCovar(DataMat, &cov, LowCol, HighCol, LowRow, HighRow, CovarMode)) return false;
    if (!CalcEigVec(&cov)) return false;
  }
  const int32_t n = EigenStore.n;
  double* d = EigenStore.values.data();
  double* v = EigenStore.vectors.data();
  if (Normalize) {
    double sum = 0.0;
    for (int32_t k = 0; k < n; ++k) sum += std::fabs(d[k]);
    if (sum != 0.0)
      for (int32_t k = 0; k < n; ++k) d[k] /= sum;
  }
  // Selection ordering of the positive eigenvalues; zero and negative ones are never picked.
  for (int32_t i = 0; i < n; ++i) {
    double best = 0.0;
    int32_t g = -1;
    for (int32_t j = i; j < n; ++j)
      if (d[j] > best) {
        best = d[j];
        g = j;
      }
    if (g >= 0 && g != i) {
      std::swap(d[i], d[g]);
      std::swap_ranges(v + static_cast<std::size_t>(i) * n, v + static_cast<std::size_t>(i + 1) * n,
                       v + static_cast<std::size_t>(g) * n);
    }
  }
  return true;
}

bool CalcPrincComp(const TMatrix* DataMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                   int32_t HighRow, int32_t CovarMode) {
  return CalcPrincComp(DataMat, LowCol, HighCol, LowRow, HighRow, CovarMode, true);
}

}  // namespace qmx
