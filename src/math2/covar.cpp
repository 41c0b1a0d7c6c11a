// Covariance, correlation and column distance matrices.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "math2/multivar_internal.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"

namespace qmx {

namespace {

using v2d = double __attribute__((vector_size(16)));

inline v2d Load2(const double* p) noexcept {
  v2d r;
  std::memcpy(&r, p, sizeof r);
  return r;
}

// Rows per chunk: four panel columns plus one partner column of a chunk stay in L1.
constexpr int32_t kChunk = 512;

// acc[k*ldacc + j] += sum over rows [r0, r0+len) of f(x_{i0+k}, x_j) for k < 4 and j <= jmax,
// where f is the product or the squared difference. Four panel columns share each load of x_j.
template <bool SqDiff>
void PanelChunk(const double* const* cols, const int32_t* panel, int32_t jmax, int32_t r0,
                int32_t len, double* acc, int32_t ldacc) noexcept {
  const double* x0 = cols[panel[0]] + r0;
  const double* x1 = cols[panel[1]] + r0;
  const double* x2 = cols[panel[2]] + r0;
  const double* x3 = cols[panel[3]] + r0;
  const int32_t even = len & ~1;
  for (int32_t j = 0; j <= jmax; ++j) {
    const double* xj = cols[j] + r0;
    v2d s0 = {0.0, 0.0}, s1 = s0, s2 = s0, s3 = s0;
    for (int32_t r = 0; r < even; r += 2) {
      const v2d vj = Load2(xj + r);
      if constexpr (SqDiff) {
        const v2d t0 = Load2(x0 + r) - vj, t1 = Load2(x1 + r) - vj;
        const v2d t2 = Load2(x2 + r) - vj, t3 = Load2(x3 + r) - vj;
        s0 += t0 * t0;
        s1 += t1 * t1;
        s2 += t2 * t2;
        s3 += t3 * t3;
      } else {
        s0 += Load2(x0 + r) * vj;
        s1 += Load2(x1 + r) * vj;
        s2 += Load2(x2 + r) * vj;
        s3 += Load2(x3 + r) * vj;
      }
    }
    double t[4] = {s0[0] + s0[1], s1[0] + s1[1], s2[0] + s2[1], s3[0] + s3[1]};
    if (even < len) {
      const double y = xj[even];
      const double xs[4] = {x0[even], x1[even], x2[even], x3[even]};
      for (int k = 0; k < 4; ++k) t[k] += SqDiff ? (xs[k] - y) * (xs[k] - y) : xs[k] * y;
    }
    for (int k = 0; k < 4; ++k) acc[k * ldacc + j] += t[k];
  }
}

}  // namespace

namespace math2detail {

bool CovarKernel(const double* data, int32_t ld, int32_t c1, int32_t c2, int32_t r1, int32_t r2,
                 int32_t mode, double* res, int32_t ldr) {
  const int32_t p = c2 - c1 + 1;
  const int32_t nr = r2 - r1 + 1;
  const double nrd = static_cast<double>(nr);
  const double nm1 = nrd - 1.0;
  const std::size_t sld = static_cast<std::size_t>(ld);
  const bool centred = mode >= 1 && mode <= 3;
  const bool kernel = mode >= 0 && mode <= 4;

  std::vector<const double*> cols;
  std::vector<double> work, css;
  try {
    cols.resize(static_cast<std::size_t>(p));
    if (centred) {
      work.resize(static_cast<std::size_t>(nr) * static_cast<std::size_t>(p));
      css.resize(static_cast<std::size_t>(p));
    }
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("CalcCovar: not enough memory");
  }
  for (int32_t c = 0; c < p; ++c) cols[c] = data + (c1 + c) * sld + r1;

  if (mode > 0) {
    if (centred) {
      // Centred copy and centred sums of squares: the variance is never negative and a constant
      // column gets exactly zero spread.
      for (int32_t c = 0; c < p; ++c) {
        const double* x = cols[c];
        double* y = work.data() + static_cast<std::size_t>(c) * nr;
        double sum = 0.0;
        bool constant = true;
        for (int32_t r = 0; r < nr; ++r) {
          sum += x[r];
          constant &= x[r] == x[0];
        }
        const double mean = constant ? x[0] : sum / nrd;
        double ss = 0.0;
        for (int32_t r = 0; r < nr; ++r) {
          y[r] = x[r] - mean;
          ss += y[r] * y[r];
        }
        css[c] = ss;
        cols[c] = y;
      }
    }
    for (int32_t r = 0; r < nr; ++r) ProgressStep(1.0);
  }

  constexpr int32_t kPanel = 4;
  std::vector<double> acc(static_cast<std::size_t>(kPanel) * p);
  bool aborted = false;
  for (int32_t i0 = 0; i0 < p && !aborted; i0 += kPanel) {
    const int32_t ni = std::min(kPanel, p - i0);
    const int32_t jmax = i0 + ni - 1;
    std::fill(acc.begin(), acc.end(), 0.0);
    if (kernel) {
      int32_t panel[kPanel];
      for (int32_t k = 0; k < kPanel; ++k) panel[k] = i0 + std::min(k, ni - 1);
      for (int32_t r0 = 0; r0 < nr; r0 += kChunk) {
        const int32_t len = std::min(kChunk, nr - r0);
        if (mode == 4)
          PanelChunk<true>(cols.data(), panel, jmax, r0, len, acc.data(), p);
        else
          PanelChunk<false>(cols.data(), panel, jmax, r0, len, acc.data(), p);
      }
    }
    for (int32_t k = 0; k < ni; ++k) {
      const int32_t i = i0 + k;
      if (AbortMathProc) {
        aborted = true;
        break;
      }
      for (int32_t j = 0; j <= i; ++j) {
        ProgressStep(nrd);
        const double sum = acc[k * p + j];
        double val;
        switch (mode) {
          case 0:
          case 1:
          case 4:
            val = sum / nm1;
            break;
          case 2:
          case 3: {
            double s = std::sqrt((css[i] / nm1) * (css[j] / nm1));
            if (s == 0.0) s = 1e-38;
            val = sum / s / nm1;
            if (mode == 3)
              val *= val;
            else if (i == j)
              val = 1.0;
            break;
          }
          default:
            val = 0.0;
        }
        res[static_cast<std::size_t>(i) * ldr + j] = val;
        res[static_cast<std::size_t>(j) * ldr + i] = val;
      }
    }
  }
  return !AbortMathProc;
}

}  // namespace math2detail

bool CalcCovar(const TMatrix* DataMat, TMatrix* Result, int32_t LowCol, int32_t HighCol,
               int32_t LowRow, int32_t HighRow, int32_t CovarMode) {
  AbortMathProc = false;
  if (DataMat == nullptr || Result == nullptr || !DataMat->HasCells()) return false;
  DataMat->MakeValidColRange(LowCol, HighCol);
  DataMat->MakeValidRowRange(LowRow, HighRow);
  const int32_t p = HighCol - LowCol + 1;
  if (Result->NrOfColumns() < p || Result->NrOfRows() < p) return false;
  // A single row has no spread; dividing by rows - 1 would turn it into infinities.
  if (HighRow - LowRow < 1) return false;
  std::vector<double> copy;
  const double* data = DataMat->Data();
  int32_t ld = DataMat->Stride();
  if (Result == DataMat) {
    // Results would overwrite cells still to be read.
    try {
      copy.assign(data, data + static_cast<std::size_t>(DataMat->NrOfColumns()) * ld);
    } catch (const std::bad_alloc&) {
      throw EQMXMath2Error("CalcCovar: not enough memory");
    }
    data = copy.data();
  }
  const bool ok = math2detail::CovarKernel(data, ld, LowCol - 1, HighCol - 1, LowRow - 1,
                                           HighRow - 1, CovarMode, Result->Data(),
                                           Result->Stride());
  Result->Changed();
  return ok;
}

}  // namespace qmx
