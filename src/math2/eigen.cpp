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

// One Jacobi rotation of the pairs (x[j], y[j]) with the old values on both right-hand sides.
inline void RotatePairs(double* __restrict x, double* __restrict y, int32_t len, double s,
                        double tau) noexcept {
  for (int32_t j = 0; j < len; ++j) {
    const double g = x[j];
    const double h = y[j];
    x[j] = g - s * (h + g * tau);
    y[j] = h + s * (g - h * tau);
  }
}

}  // namespace

namespace math2detail {

bool JacobiEigen(double* a, int32_t n, int32_t lda) {
  std::vector<double> b, z, P, Q;
  try {
    EigenStore.n = n;
    EigenStore.values.assign(static_cast<std::size_t>(n), 0.0);
    EigenStore.vectors.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    b.resize(static_cast<std::size_t>(n));
    z.assign(static_cast<std::size_t>(n), 0.0);
    P.resize(static_cast<std::size_t>(n));
    Q.resize(static_cast<std::size_t>(n));
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
      double* vp = v + p * nn;
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
          RotatePairs(P.data(), colq, p, s, tau);                       // (a_jp, a_jq), j < p
          RotatePairs(P.data() + p + 1, colq + p + 1, q - p - 1, s, tau);  // (a_pj, a_jq)
          // (a_pj, a_qj), j > q: row q is strided, so it is gathered and scattered.
          const int32_t tail = n - q - 1;
          for (int32_t j = 0; j < tail; ++j) Q[j] = a[(q + 1 + j) * ld + q];
          RotatePairs(P.data() + q + 1, Q.data(), tail, s, tau);
          for (int32_t j = 0; j < tail; ++j) a[(q + 1 + j) * ld + q] = Q[j];
          RotatePairs(vp, v + q * nn, n, s, tau);
        }
      }
      for (int32_t j = 0; j < p; ++j) A(j, p) = P[j];
      for (int32_t j = p + 1; j < n; ++j) A(p, j) = P[j];
    }
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
