// TMatrix descriptive statistics over a block of cells and the column/row normalising
// transforms.
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "matrix/nd_impl.h"
#include "qmx/math1.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

struct TBlock {
  int32_t lc, lr, hc, hr;
  std::size_t Count() const {
    return static_cast<std::size_t>(hc - lc + 1) * static_cast<std::size_t>(hr - lr + 1);
  }
};

TBlock Normalised(const TMatrix& m, int32_t lc, int32_t lr, int32_t hc, int32_t hr) {
  m.MakeValidColRange(lc, hc);
  m.MakeValidRowRange(lr, hr);
  return {lc, lr, hc, hr};
}

// Visits the block column by column, rows within a column in increasing order.
template <class F>
inline void ForBlock(const TMatrix& m, const TBlock& b, F f) {
  for (int32_t c = b.lc; c <= b.hc; ++c) {
    const double* col = m.ColumnData(c);
    for (int32_t r = b.lr; r <= b.hr; ++r) f(col[r - 1]);
  }
}

// Working copy of the block's cells in visiting order.
std::vector<double> CopyBlock(const TMatrix& m, const TBlock& b) {
  std::vector<double> v;
  try {
    v.reserve(b.Count());
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(&m, ": not enough memory on heap");
  } catch (const std::length_error&) {
    RaiseComponentError<EQMXMatrixError>(&m, ": not enough memory on heap");
  }
  for (int32_t c = b.lc; c <= b.hc; ++c) {
    const double* col = m.ColumnData(c);
    v.insert(v.end(), col + (b.lr - 1), col + b.hr);
  }
  return v;
}

}  // namespace

void TMatrix::MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                     double& Minimum, double& Maximum) const {
  ndimpl::TExtremes<double> e(uc_MaxReal, -uc_MaxReal);
  if (HasCells()) {
    const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
    for (int32_t c = b.lc; c <= b.hc; ++c)
      e.Take(ColumnData(c) + (b.lr - 1), static_cast<std::size_t>(b.hr - b.lr + 1));
  }
  Minimum = e.Min;
  Maximum = e.Max;
}

void TMatrix::MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Mean, double& Variance) const {
  Mean = 0.0;
  Variance = 0.0;
  if (!HasCells()) return;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  double s = 0.0, q = 0.0;
  ForBlock(*this, b, [&](double x) {
    s += x;
    q += x * x;
  });
  const double n = static_cast<double>(b.Count());
  Mean = s / n;
  Variance = n >= 3 ? (q - s * s / n) / (n - 1) : 1.0;
}

double TMatrix::Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  if (!HasCells()) return 0.0;
  double s = 0.0;
  ForBlock(*this, Normalised(*this, LoC, LoR, HiC, HiR), [&](double x) { s += x; });
  return s;
}

double TMatrix::Trace() const {
  if (!HasCells() || FNCol != FNRow) return 0.0;
  double s = 0.0;
  for (int32_t i = 1; i <= FNCol; ++i) s += Cell(i, i);
  return s;
}

double TMatrix::GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) const {
  if (!HasCells()) return 0.0;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  bool zero = false;
  double s = 0.0;
  ForBlock(*this, b, [&](double x) {
    if (x < 0.0) RaiseComponentError<EQMXMatrixError>(this, ": negative argument passed to GeometricMean");
    if (x == 0.0)
      zero = true;  // keep scanning: a later negative cell still raises
    else
      s += std::log(x);
  });
  return zero ? 0.0 : std::exp(s / static_cast<double>(b.Count()));
}

double TMatrix::HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                             int32_t HighRow) const {
  if (!HasCells()) return 0.0;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  double s = 0.0;
  ForBlock(*this, b, [&](double x) {
    if (!(x > 0.0))
      RaiseComponentError<EQMXMatrixError>(this, ": negative or zero argument passed to HarmonicMean");
    s += 1.0 / x;
  });
  return static_cast<double>(b.Count()) / s;
}

void TMatrix::SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                       double& Skewness, double& Kurtosis) const {
  Skewness = 0.0;
  Kurtosis = 0.0;
  if (!HasCells()) return;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  const std::size_t cnt = b.Count();
  if (cnt < 2) return;
  const long double n = static_cast<long double>(cnt);
  long double s = 0.0L;
  ForBlock(*this, b, [&](double x) { s += x; });
  const long double m = s / n;
  long double s1 = 0.0L, s2 = 0.0L, s3 = 0.0L, s4 = 0.0L;
  ForBlock(*this, b, [&](double x) {
    const long double d = x - m;
    const long double d2 = d * d;
    s1 += d;
    s2 += d2;
    s3 += d2 * d;
    s4 += d2 * d2;
  });
  const long double var = (s2 - s1 * s1 / n) / (n - 1);
  const long double sd = var > 0 ? std::sqrt(var) : 0.0L;
  if (sd == 0.0L) return;
  Skewness = static_cast<double>((s3 / n) / (sd * sd * sd));
  Kurtosis = static_cast<double>((s4 / n) / (sd * sd * sd * sd) - 3.0L);
}

void TMatrix::SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                             double& Skewness, double& Kurtosis) const {
  Skewness = 0.0;
  Kurtosis = 0.0;
  if (!HasCells()) return;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  const double n = static_cast<double>(b.Count());
  if (n < 4) return;
  double G = 0.0, K = 0.0;
  SkewKurt(b.lc, b.lr, b.hc, b.hr, G, K);
  Skewness = n * n * G / ((n - 1) * (n - 2));
  Kurtosis = (K + 3) * n * n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) -
             3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3));
}

bool TMatrix::Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                        double& Q1, double& Q2, double& Q3) const {
  Q1 = Q2 = Q3 = 0.0;
  if (!HasCells()) return false;
  std::vector<double> x = CopyBlock(*this, Normalised(*this, LowCol, LowRow, HighCol, HighRow));
  SortArray(std::span<double>(x), true);
  const std::size_t n = x.size();
  if (n == 1) {
    Q1 = Q2 = Q3 = x[0];
    return true;
  }
  auto quart = [&](double q) {
    const double p = static_cast<double>(n + 1) * q;
    const std::size_t k = static_cast<std::size_t>(p);
    const double f = p - static_cast<double>(k);
    if (k == 0) return x[0];
    if (k >= n) return x[n - 1];
    return x[k - 1] + f * (x[k] - x[k - 1]);
  };
  Q1 = quart(0.25);
  Q2 = quart(0.5);
  Q3 = quart(0.75);
  return true;
}

double TMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                           int32_t HighRow) const {
  prob = ndimpl::ClampProb(prob);
  if (!HasCells()) return 0.0;
  std::vector<double> x = CopyBlock(*this, Normalised(*this, LowCol, LowRow, HighCol, HighRow));
  return ndimpl::SelectRank(x, ndimpl::SelectionRank(x.size(), prob));
}

double TMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                           int32_t HighRow, int32_t SampleSize) const {
  prob = ndimpl::ClampProb(prob);
  if (!HasCells()) return 0.0;
  const TBlock b = Normalised(*this, LowCol, LowRow, HighCol, HighRow);
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= b.Count())
    return Percentile(prob, b.lc, b.lr, b.hc, b.hr);
  std::vector<double> s = ndimpl::AllocValues(this, static_cast<std::size_t>(SampleSize));
  // A generator of the call's own: the process-wide one is neither reseeded nor advanced.
  ndimpl::TSampleRandom rnd;
  const int32_t nc = b.hc - b.lc + 1, nr = b.hr - b.lr + 1;
  int32_t z = 0, g = 0;
  for (double& v : s) {
    const auto c = b.lc + static_cast<int32_t>(rnd.Next(nc));
    const auto r = b.lr + static_cast<int32_t>(rnd.Next(nr));
    v = Cell(c, r);
    if (v == 0.0) ++z;
    if (v < 0.0) ++g;
  }
  const double p = prob / 100.0, ss = static_cast<double>(SampleSize);
  if (p <= g / ss || p >= (z + g) / ss) return ndimpl::SelectRank(s, ndimpl::SelectionRank(s.size(), prob));
  return 0.0;
}

bool TMatrix::Histogram(int32_t LoX, int32_t LoY, int32_t HiX, int32_t HiY, double FirstBin,
                        double LastBin, double BinWidth, TIntVector* Histo, int32_t& Underflow,
                        int32_t& Overflow, int32_t& MaxCnt) const {
  // A width that is not a positive finite number has no bins.
  if (Histo == nullptr || !(BinWidth > 0.0) || !std::isfinite(BinWidth) ||
      !std::isfinite(FirstBin) || !std::isfinite(LastBin))
    return false;
  const double nb = std::nearbyint(std::fabs(LastBin - FirstBin) / BinWidth);
  if (nb > 500) return false;
  const int32_t NB = static_cast<int32_t>(nb);
  if (Histo->NrOfElem() != NB) Histo->Resize(NB);
  Histo->Clear();
  Underflow = Overflow = MaxCnt = 0;
  if (!HasCells()) return true;
  std::span<int32_t> h = Histo->Data();
  const int32_t nh = static_cast<int32_t>(h.size());
  const double top = LastBin + BinWidth;
  ForBlock(*this, Normalised(*this, LoX, LoY, HiX, HiY), [&](double x) {
    if (x < FirstBin) {
      ++Underflow;
    } else if (x < top) {
      // Values in a bin beyond the vector's last element are counted as overflow, so that every
      // value is counted exactly once.
      const double bin = std::trunc((x - FirstBin) / BinWidth) + 1;
      if (bin <= nh) {
        const int32_t cnt = ++h[static_cast<std::size_t>(bin) - 1];
        if (cnt > MaxCnt) MaxCnt = cnt;
      } else {
        ++Overflow;
      }
    } else {
      ++Overflow;
    }
  });
  Histo->Changed();
  return true;
}

void TMatrix::MeanVec(TDims Dim, TVector* Means) const {
  if (Means == nullptr) return;
  const int ord = static_cast<int>(Dim);
  if (ord == 0) {
    Means->Resize(FNCol);
    for (int32_t c = 1; c <= FNCol; ++c) {
      double s = 0.0;
      for (int32_t r = 1; r <= FNRow; ++r) s += Cell(c, r);
      Means->SetVal(c, s / FNRow);
    }
  } else if (ord == 1) {
    Means->Resize(FNRow);
    std::vector<double> s(static_cast<std::size_t>(std::max(FNRow, 0)), 0.0);
    for (int32_t c = 1; c <= FNCol; ++c) {
      const double* col = ColumnData(c);
      for (int32_t r = 0; r < FNRow; ++r) s[r] += col[r];
    }
    for (int32_t r = 1; r <= FNRow; ++r) Means->SetVal(r, s[r - 1] / FNCol);
  }
}

void TMatrix::StandardizeColumns(TVector* Means, TVector* StdDevs) {
  if (HasCells())
    for (int32_t c = 1; c <= FNCol; ++c) {
      double mean, var;
      MeanVar(c, 1, c, FNRow, mean, var);
      if (var > 0) {
        const double sd = std::sqrt(var);
        double* col = ColumnData(c);
        for (int32_t r = 0; r < FNRow; ++r) col[r] = (col[r] - mean) / sd;
      }
      // A variance that cancellation made negative reports a standard deviation of 0, not NaN.
      if (Means) Means->SetVal(c, mean);
      if (StdDevs) StdDevs->SetVal(c, var > 0 ? std::sqrt(var) : 0.0);
    }
  Changed();
}

void TMatrix::StandardizeRows(TVector* Means, TVector* StdDevs) {
  if (HasCells())
    for (int32_t r = 1; r <= FNRow; ++r) {
      double mean, var;
      MeanVar(1, r, FNCol, r, mean, var);
      if (var > 0) {
        const double sd = std::sqrt(var);
        for (int32_t c = 1; c <= FNCol; ++c) Cell(c, r) = (Cell(c, r) - mean) / sd;
      }
      if (Means) Means->SetVal(r, mean);
      if (StdDevs) StdDevs->SetVal(r, var > 0 ? std::sqrt(var) : 0.0);
    }
  Changed();
}

void TMatrix::MeanCenterColumns(TVector* Means) {
  if (Means) Means->Resize(FNCol);
  if (HasCells())
    for (int32_t c = 1; c <= FNCol; ++c) {
      double mean, var;
      MeanVar(c, 1, c, FNRow, mean, var);
      double* col = ColumnData(c);
      for (int32_t r = 0; r < FNRow; ++r) col[r] -= mean;
      if (Means) Means->SetVal(c, mean);
    }
  Changed();
}

void TMatrix::MeanCenterRows(TVector* Means) {
  if (Means) Means->Resize(FNRow);
  if (HasCells())
    for (int32_t r = 1; r <= FNRow; ++r) {
      double mean, var;
      MeanVar(1, r, FNCol, r, mean, var);
      for (int32_t c = 1; c <= FNCol; ++c) Cell(c, r) -= mean;
      if (Means) Means->SetVal(r, mean);
    }
  Changed();
}

void TMatrix::QNormalizeColumns(double RefQuant, TVector* Medians, TVector* QuantDiffs) {
  if (HasCells())
    for (int32_t c = 1; c <= FNCol; ++c) {
      const double m = Percentile(50, c, 1, c, FNRow);
      const double d = std::fabs(m - Percentile(RefQuant, c, 1, c, FNRow));
      if (d > 0) {
        double* col = ColumnData(c);
        for (int32_t r = 0; r < FNRow; ++r) col[r] = (col[r] - m) / d;
      }
      if (Medians) Medians->SetVal(c, m);
      if (QuantDiffs) QuantDiffs->SetVal(c, d);
    }
  Changed();
}

void TMatrix::QNormalizeRows(double RefQuant, TVector* Medians, TVector* QuantDiffs) {
  if (HasCells())
    for (int32_t r = 1; r <= FNRow; ++r) {
      const double m = Percentile(50, 1, r, FNCol, r);
      const double d = std::fabs(m - Percentile(RefQuant, 1, r, FNCol, r));
      if (d > 0)
        for (int32_t c = 1; c <= FNCol; ++c) Cell(c, r) = (Cell(c, r) - m) / d;
      if (Medians) Medians->SetVal(r, m);
      if (QuantDiffs) QuantDiffs->SetVal(r, d);
    }
  Changed();
}

}  // namespace qmx
