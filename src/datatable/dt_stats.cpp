// TDataTable statistics and transformations: selections by state and scale, means, extremes,
// percentiles, standardising, covariance and column inspections.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "datatable/dt_internal.h"
#include "qmx/math1.h"

namespace qmx {

namespace {
// Selection masks: a cell is valid when neither 0x01 nor 0x02 is set; a marked cell also shares a
// set bit of 0x04..0x80 with the mask.
inline bool Selected(uint8_t s, uint8_t Mark) noexcept {
  return (s & 0x03) == 0 && (Mark == 0 || (s & Mark & 0xFC) != 0);
}
double ClampProb(double prob) noexcept {
  if (!(prob >= 0.0)) return 0.0;  // also NaN
  return prob > 100.0 ? 100.0 : prob;
}
}  // namespace

// Calls Fn(value) for every selected cell, column by column. Mark == 0 selects valid cells, else
// marked cells; NeedNumScale restricts to interval and ratio columns.
template <class F>
void TDataTable::ForSelected(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                             bool NeedNumScale, uint8_t Mark, F Fn) const {
  if (FNrOfCols < 1 || FNrOfRows < 1) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const bool shapeOk = NumericData->NrOfColumns() == FNrOfCols && NumericData->NrOfRows() == FNrOfRows;
  const int32_t n = HighRow - LowRow + 1;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    if (NeedNumScale && !dt::IsNumScale(FVType[c - 1].MScaleType)) continue;
    const uint8_t* s = FCState[c - 1].data() + (LowRow - 1);
    if (shapeOk) {
      const double* v = NumericData->ColumnData(c) + (LowRow - 1);
      for (int32_t i = 0; i < n; ++i)
        if (Selected(s[i], Mark)) Fn(v[i]);
    } else {
      for (int32_t i = 0; i < n; ++i)
        if (Selected(s[i], Mark)) Fn(NumericData->GetVal(c, LowRow + i));
    }
  }
}

// Appends the selected cells of interval and ratio columns to X; a column stretch without any
// excluded cell is copied in one piece.
void TDataTable::CollectSelected(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, uint8_t Mark,
                                 std::vector<double>& X) const {
  if (FNrOfCols < 1 || FNrOfRows < 1) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const bool shapeOk = NumericData->NrOfColumns() == FNrOfCols && NumericData->NrOfRows() == FNrOfRows;
  const int32_t n = HighRow - LowRow + 1;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    if (!dt::IsNumScale(FVType[c - 1].MScaleType)) continue;
    const uint8_t* s = FCState[c - 1].data() + (LowRow - 1);
    uint8_t any = 0;
    for (int32_t i = 0; i < n; ++i) any |= s[i];
    if (shapeOk && Mark == 0 && (any & 0x03) == 0) {
      const double* v = NumericData->ColumnData(c) + (LowRow - 1);
      X.insert(X.end(), v, v + n);
    } else {
      ForSelected(c, LowRow, c, HighRow, true, Mark, [&](double v) { X.push_back(v); });
    }
  }
}

int32_t TDataTable::CountSel(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, int Mode,
                             uint8_t Bits) const {
  if (FNrOfCols < 1 || FNrOfRows < 1) return 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int64_t n = 0;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    if (Mode == 0 && !dt::IsNumScale(FVType[c - 1].MScaleType)) continue;
    const uint8_t* s = FCState[c - 1].data();
    for (int32_t r = LowRow - 1; r < HighRow; ++r)
      n += Mode <= 1 ? (s[r] & 0x03) == 0 : (s[r] & Bits) != 0;
  }
  return static_cast<int32_t>(n);
}

int32_t TDataTable::CountNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  return CountSel(LowCol, LowRow, HighCol, HighRow, 0, 0);
}
int32_t TDataTable::CountValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  return CountSel(LowCol, LowRow, HighCol, HighRow, 1, 0);
}
int32_t TDataTable::CountEmptyCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  return CountSel(LowCol, LowRow, HighCol, HighRow, 2, 0x02);
}
int32_t TDataTable::CountImputedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  return CountSel(LowCol, LowRow, HighCol, HighRow, 2, 0x20);
}

double TDataTable::SumOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                 int32_t& NumData) const {
  double s = 0.0;
  int64_t n = 0;
  ForSelected(LowCol, LowRow, HighCol, HighRow, true, 0, [&](double x) {
    s += x;
    ++n;
  });
  NumData = static_cast<int32_t>(n);
  return s;
}

double TDataTable::SumOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                    uint8_t ACellState, int32_t& NumData) const {
  double s = 0.0;
  int64_t n = 0;
  if (ACellState & 0xFC)
    ForSelected(LowCol, LowRow, HighCol, HighRow, true, ACellState, [&](double x) {
      s += x;
      ++n;
    });
  NumData = static_cast<int32_t>(n);
  return s;
}

int32_t TDataTable::MeanVarSel(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, bool Marked,
                               uint8_t Mask, double& Mean, double& Variance) const {
  double s = 0.0, q = 0.0;
  int64_t n = 0;
  if (!Marked || (Mask & 0xFC))
    ForSelected(LowCol, LowRow, HighCol, HighRow, true, Marked ? Mask : 0, [&](double x) {
      s += x;
      q += x * x;
      ++n;
    });
  const double dn = static_cast<double>(n);
  Mean = n > 0 ? s / dn : 0.0;
  Variance = n >= 3 ? (q - s * s / dn) / (dn - 1) : 1.0;
  return static_cast<int32_t>(n);
}

int32_t TDataTable::MeanVarOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                      double& Mean, double& Variance) const {
  return MeanVarSel(LowCol, LowRow, HighCol, HighRow, false, 0, Mean, Variance);
}
int32_t TDataTable::MeanVarOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                         uint8_t ACellState, double& Mean, double& Variance) const {
  return MeanVarSel(LowCol, LowRow, HighCol, HighRow, true, ACellState, Mean, Variance);
}

namespace {
// NaN values are skipped, as by the other containers' extremes.
struct TExtremes {
  double mn = uc_MaxReal, mx = -uc_MaxReal;
  int64_t n = 0;
  void Add(double x) noexcept {
    ++n;
    if (x < mn) mn = x;
    if (x > mx) mx = x;
  }
};
}  // namespace

int32_t TDataTable::MinMaxOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                     double& Minimum, double& Maximum) const {
  TExtremes e;
  ForSelected(LowCol, LowRow, HighCol, HighRow, true, 0, [&](double x) { e.Add(x); });
  Minimum = e.mn;
  Maximum = e.mx;
  return static_cast<int32_t>(e.n);
}

int32_t TDataTable::MinMaxOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                        uint8_t ACellState, double& Minimum, double& Maximum) const {
  TExtremes e;
  if (ACellState & 0xFC)
    ForSelected(LowCol, LowRow, HighCol, HighRow, false, ACellState, [&](double x) { e.Add(x); });
  Minimum = e.mn;
  Maximum = e.mx;
  return static_cast<int32_t>(e.n);
}

int32_t TDataTable::MinMaxOfValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                       double& Minimum, double& Maximum) const {
  TExtremes e;
  if (FNrOfCols >= 1 && FNrOfRows >= 1) {
    MakeValidColRange(LowCol, HighCol);
    MakeValidRowRange(LowRow, HighRow);
    for (int32_t c = LowCol; c <= HighCol; ++c) {
      const bool cat = dt::IsCatScale(FVType[c - 1].MScaleType);
      ForSelected(c, LowRow, c, HighRow, false, 0,
                  [&](double x) { e.Add(cat ? dt::RoundHalfEven(x) : x); });
    }
  }
  Minimum = e.mn;
  Maximum = e.mx;
  return static_cast<int32_t>(e.n);
}

double TDataTable::GeometricMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                           int32_t& NumData) const {
  double s = 0.0;
  int64_t n = 0;
  bool zero = false;
  ForSelected(LowCol, LowRow, HighCol, HighRow, true, 0, [&](double x) {
    if (x < 0) RaiseComponentError<EQMXMatrixError>(this, ": negative argument passed to GeometricMean");
    if (x == 0) {
      zero = true;
      return;
    }
    s += std::log(x);
    ++n;
  });
  NumData = static_cast<int32_t>(n);
  // No positive value: 0, not the NaN of 0/0.
  if (zero || n == 0) return 0.0;
  return std::exp(s / static_cast<double>(n));
}

double TDataTable::HarmonicMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                          int32_t& NumData) const {
  double s = 0.0;
  int64_t n = 0;
  ForSelected(LowCol, LowRow, HighCol, HighRow, true, 0, [&](double x) {
    if (x <= 0)
      RaiseComponentError<EQMXMatrixError>(this, ": negative or zero argument passed to HarmonicMean");
    s += 1.0 / x;
    ++n;
  });
  NumData = static_cast<int32_t>(n);
  return n == 0 ? 0.0 : static_cast<double>(n) / s;
}

double TDataTable::PercentileSel(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                 bool Marked, uint8_t Mask, int32_t& NumData) const {
  prob = ClampProb(prob);
  NumData = 0;
  std::vector<double> x;
  try {
    int32_t lc = LowCol, hc = HighCol, lr = LowRow, hr = HighRow;
    if (FNrOfCols >= 1 && FNrOfRows >= 1) {
      MakeValidColRange(lc, hc);
      MakeValidRowRange(lr, hr);
      x.reserve(static_cast<std::size_t>(hc - lc + 1) * static_cast<std::size_t>(hr - lr + 1));
    }
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  if (!Marked || (Mask & 0xFC)) CollectSelected(LowCol, LowRow, HighCol, HighRow, Marked ? Mask : 0, x);
  const std::size_t n = x.size();
  NumData = static_cast<int32_t>(n);
  if (n == 0) return 0.0;
  if (n == 1) return x[0];
  const int32_t hi = static_cast<int32_t>(n - 1);
  if (prob == 100.0) return QuickSelect(std::span<double>(x), hi, 0, hi);
  const double pos = static_cast<double>(n - 1) * prob / 100.0;
  const auto k = static_cast<int32_t>(std::trunc(prob * static_cast<double>(n - 1) / 100.0));
  const double f = pos - std::trunc(pos);
  // Selection instead of a full sort: x[k] by QuickSelect, x[k+1] as the least of the part above.
  const double xk = QuickSelect(std::span<double>(x), k, 0, hi);
  if (f == 0.0 || k >= hi) return xk;
  double nxt = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = static_cast<std::size_t>(k) + 1; i < n; ++i)
    if (std::isnan(nxt) || x[i] < nxt) nxt = x[i];
  return xk + (nxt - xk) * f;
}

double TDataTable::PercentileOfNumCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                        int32_t HighRow, int32_t& NumData) const {
  return PercentileSel(prob, LowCol, LowRow, HighCol, HighRow, false, 0, NumData);
}
double TDataTable::PercentileOfMarkedCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                           int32_t HighRow, uint8_t ACellState, int32_t& NumData) const {
  return PercentileSel(prob, LowCol, LowRow, HighCol, HighRow, true, ACellState, NumData);
}

bool TDataTable::QuartilesOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                     double& Q1, double& Q2, double& Q3, int32_t& NumData) const {
  Q1 = Q2 = Q3 = 0.0;
  std::vector<double> x;
  try {
    x.reserve(static_cast<std::size_t>(std::max(CountNumCells(LowCol, LowRow, HighCol, HighRow), 0)));
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXDataTableError>(this, ": not enough memory on heap");
  }
  CollectSelected(LowCol, LowRow, HighCol, HighRow, 0, x);
  const std::size_t n = x.size();
  NumData = static_cast<int32_t>(n);
  if (n == 0) return true;
  SortArray(std::span<double>(x), true);
  if (n == 1) {
    Q1 = Q2 = Q3 = x[0];
    return true;
  }
  auto quart = [&](double p) {
    const double t = static_cast<double>(n + 1) * p;
    const auto k = static_cast<std::size_t>(t);
    const double f = t - static_cast<double>(k);
    if (k == 0) return x[0];
    if (k >= n) return x[n - 1];
    return x[k - 1] + (x[k] - x[k - 1]) * f;
  };
  Q1 = quart(0.25);
  Q2 = quart(0.5);
  Q3 = quart(0.75);
  return true;
}

// ---- transformations --------------------------------------------------------------------------

namespace {
bool AnyCategorial(const std::vector<TVTypeSpecs>& V) {
  for (const auto& v : V)
    if (dt::IsCatScale(v.MScaleType)) return true;
  return false;
}
}  // namespace

void TDataTable::StandardizeNumCellColumns(TVector* Means, TVector* StdDevs) {
  EnsureDataShape();
  bool any = false;
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (!dt::IsNumScale(FVType[c - 1].MScaleType)) continue;
    double m, v;
    MeanVarOfNumCells(c, 1, c, FNrOfRows, m, v);
    if (v > 0) {
      const double sd = std::sqrt(v);
      for (int32_t r = 1; r <= FNrOfRows; ++r)
        if ((FCState[c - 1][r - 1] & 0x03) == 0) NumericData->SetVal(c, r, (NumericData->Cell(c, r) - m) / sd);
      any = true;
    }
    if (Means) Means->SetVal(c, m);
    if (StdDevs) StdDevs->SetVal(c, v > 0 ? std::sqrt(v) : 0.0);
  }
  if (any) ChangedData();
}

void TDataTable::StandardizeNumCellRows(TVector* Means, TVector* StdDevs) {
  if (AnyCategorial(FVType))
    throw EQMXDataTableError("standardization of rows is not possible with nominal or ordinal variables");
  EnsureDataShape();
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    double m, v;
    MeanVarOfNumCells(1, r, FNrOfCols, r, m, v);
    if (v > 0) {
      const double sd = std::sqrt(v);
      for (int32_t c = 1; c <= FNrOfCols; ++c)
        if ((FCState[c - 1][r - 1] & 0x03) == 0) NumericData->SetVal(c, r, (NumericData->Cell(c, r) - m) / sd);
    }
    if (Means) Means->SetVal(r, m);
    if (StdDevs) StdDevs->SetVal(r, v > 0 ? std::sqrt(v) : 0.0);
  }
  ChangedData();
}

void TDataTable::MeanCenterNumCellColumns(TVector* Means) {
  EnsureDataShape();
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (!dt::IsNumScale(FVType[c - 1].MScaleType)) continue;
    double m, v;
    MeanVarOfNumCells(c, 1, c, FNrOfRows, m, v);
    for (int32_t r = 1; r <= FNrOfRows; ++r)
      if ((FCState[c - 1][r - 1] & 0x03) == 0) NumericData->SetVal(c, r, NumericData->Cell(c, r) - m);
    if (Means) Means->SetVal(c, m);
  }
  ChangedData();
}

void TDataTable::MeanCenterNumCellRows(TVector* Means) {
  if (AnyCategorial(FVType))
    throw EQMXDataTableError("mean centering of rows is not possible with nominal or ordinal variables");
  EnsureDataShape();
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    double m, v;
    MeanVarOfNumCells(1, r, FNrOfCols, r, m, v);
    for (int32_t c = 1; c <= FNrOfCols; ++c)
      if ((FCState[c - 1][r - 1] & 0x03) == 0) NumericData->SetVal(c, r, NumericData->Cell(c, r) - m);
    if (Means) Means->SetVal(r, m);
  }
  ChangedData();
}

bool TDataTable::CalcCovar(TMatrix* CovarMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR,
                           int32_t Mode) const {
  AbortMathProc = false;
  if (CovarMat == nullptr) return false;
  const int64_t m64 = int64_t(HiC) - LoC + 1;
  if (CovarMat->NrOfColumns() < m64 || CovarMat->NrOfRows() < m64) return false;
  const auto m = static_cast<int32_t>(std::max<int64_t>(m64, 0));
  std::vector<double> mean(static_cast<std::size_t>(m), 0.0);
  if (Mode > 0)
    for (int32_t a = 0; a < m; ++a) {
      double v;
      const int32_t col = LoC + a;
      MeanVarOfNumCells(col, LoR, col, HiR, mean[a], v);
      ProgressStep();
    }
  auto valid = [&](int32_t c, int32_t r) { return (CellState(c, r) & 0x03) == 0; };
  for (int32_t a = 1; a <= m; ++a) {
    if (ProgressStep()) return false;
    const int32_t ca = LoC + a - 1;
    for (int32_t b = 1; b <= a; ++b) {
      const int32_t cb = LoC + b - 1;
      double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, acc = 0;
      int64_t cnt = 0;
      for (int64_t r = LoR; r <= HiR; ++r) {
        const auto rr = static_cast<int32_t>(r);
        if (!valid(ca, rr) || !valid(cb, rr)) continue;
        const double x = GetElem(ca, rr), y = GetElem(cb, rr);
        ++cnt;
        switch (Mode) {
          case 0: acc += x * y; break;
          case 1: acc += (x - mean[a - 1]) * (y - mean[b - 1]); break;
          case 4: acc += (x - y) * (x - y); break;
          default:
            sx += x;
            sy += y;
            sxx += x * x;
            syy += y * y;
            sxy += x * y;
        }
      }
      const double c = static_cast<double>(cnt);
      double e = 0.0;
      if (Mode == 0 || Mode == 1 || Mode == 4) {
        // Fewer than two rows leave no degree of freedom: 0 rather than a division by zero.
        e = cnt >= 2 ? acc / (c - 1) : 0.0;
      } else if (Mode == 2 || Mode == 3) {
        if (a == b) {
          e = 1.0;
        } else if (cnt > 2 && sxx > 0 && syy > 0) {
          const double qx = sxx - sx * sx / c, qy = syy - sy * sy / c;
          if (qx != 0 && qy != 0) e = (sxy - sx * sy / c) / std::sqrt(std::fabs(qx * qy));
          if (Mode == 3) e *= e;
        }
      }
      CovarMat->SetVal(b, a, e);
      CovarMat->SetVal(a, b, e);
    }
  }
  return true;
}

bool TDataTable::CheckDichotomousColumn(int32_t col, double& v1, double& v2) const {
  v1 = v2 = 0.0;
  if (FNrOfRows < 2) return false;
  v1 = NumericData->GetVal(col, 1);
  int32_t r = 2;
  while (r <= FNrOfRows && NumericData->GetVal(col, r) == v1) ++r;
  if (r > FNrOfRows) return false;
  v2 = NumericData->GetVal(col, r);
  for (; r <= FNrOfRows; ++r) {
    const double x = NumericData->GetVal(col, r);
    if (x != v1 && x != v2) return false;
  }
  return true;
}

bool TDataTable::IsConstantColumn(int32_t ColIx) const {
  if (ColIx < 1 || ColIx > FNrOfCols) return false;
  const double v = NumericData->GetVal(ColIx, 1);
  for (int32_t r = 2; r <= FNrOfRows; ++r)
    if (NumericData->GetVal(ColIx, r) != v) return false;
  return true;
}

TIntArray TDataTable::ListOfCategorialVars() const {
  TIntArray l;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    if (dt::IsCatScale(FVType[c - 1].MScaleType)) l.push_back(c);
  return l;
}

TMScaleType TDataTable::FindHighestMLevel(int32_t FirstCol, int32_t LastCol) const {
  TMScaleType t = stNominal;
  if (FNrOfCols < 1) return t;
  MakeValidColRange(FirstCol, LastCol);
  for (int32_t c = FirstCol; c <= LastCol; ++c) t = std::max(t, FVType[c - 1].MScaleType);
  return t;
}

TMScaleType TDataTable::FindLowestMLevel(int32_t FirstCol, int32_t LastCol) const {
  TMScaleType t = stRatio;
  if (FNrOfCols < 1) return t;
  MakeValidColRange(FirstCol, LastCol);
  for (int32_t c = FirstCol; c <= LastCol; ++c) t = std::min(t, FVType[c - 1].MScaleType);
  return t;
}

namespace {
// Extreme of A[Lo-1..Hi-1]; ties keep the earliest position; an empty array gives 0 at 0.
template <class Better>
int32_t ExtremeAttrib(const TIntArray& A, int32_t Lo, int32_t Hi, int32_t& Pos, Better better) {
  Pos = 0;
  if (A.empty()) return 0;
  MakeValidRange(static_cast<int32_t>(A.size()), Lo, Hi);
  int32_t best = A[Lo - 1];
  Pos = Lo;
  for (int32_t i = Lo + 1; i <= Hi; ++i)
    if (better(A[i - 1], best)) {
      best = A[i - 1];
      Pos = i;
    }
  return best;
}
int32_t Levels(const TIntArray& A) {
  bool seen[256] = {};
  int32_t n = 0;
  for (int32_t a : A)
    if (a >= 0 && a <= 255 && !seen[a]) {
      seen[a] = true;
      ++n;
    }
  return n;
}
}  // namespace

int32_t TDataTable::MaxRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const {
  return ExtremeAttrib(FRowAtt, FirstRow, LastRow, Row, [](int32_t a, int32_t b) { return a > b; });
}
int32_t TDataTable::MinRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const {
  return ExtremeAttrib(FRowAtt, FirstRow, LastRow, Row, [](int32_t a, int32_t b) { return a < b; });
}
int32_t TDataTable::MaxColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const {
  return ExtremeAttrib(FColAtt, FirstCol, LastCol, Col, [](int32_t a, int32_t b) { return a > b; });
}
int32_t TDataTable::MinColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const {
  return ExtremeAttrib(FColAtt, FirstCol, LastCol, Col, [](int32_t a, int32_t b) { return a < b; });
}
int32_t TDataTable::RowAttribLevels() const { return Levels(FRowAtt); }
int32_t TDataTable::ColAttribLevels() const { return Levels(FColAtt); }

}  // namespace qmx
