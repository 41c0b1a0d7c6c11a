// TMatrix storage, element access, fills, element arithmetic, reordering, searching and copies.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#include "qmx/math1.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/vector.h"
#include "qmx/matrix/tintmatrix.h"

namespace qmx {

const char* const DistModeId[6] = {"Jaccard coefficient", "Manhattan",        "Euclidean",
                                   "squared Euclidean",   "Dice coefficient", "user defined"};

namespace {

// Storage for nc x nr cells (a zero dimension keeps one slot); allocation failures become the
// module's error so callers see the documented message and the matrix stays as it was.
std::vector<double> AllocCells(const TMatrix* owner, int32_t nc, int32_t nr) {
  const std::size_t n =
      static_cast<std::size_t>(std::max(nc, 1)) * static_cast<std::size_t>(std::max(nr, 1));
  try {
    return std::vector<double>(n, 0.0);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  RaiseComponentError<EQMXMatrixError>(owner, ": not enough memory on heap");
}

}  // namespace

TMatrix::TMatrix(TComponent* AOwner) : TComponent(AOwner) { FMat = AllocCells(this, 1, 1); }

TMatrix::~TMatrix() = default;

// ---- copying ----------------------------------------------------------------------------------

void TMatrix::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TMatrix*>(Source);
  if (src == nullptr) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  std::vector<double> cells = src->FMat;  // copy first: a failure leaves this matrix intact
  FMat = std::move(cells);
  FNCol = src->FNCol;
  FNRow = src->FNRow;
  FDataID = src->FDataID;
  FPrecis[0] = src->FPrecis[0];
  FPrecis[1] = src->FPrecis[1];
  OnChange = src->OnChange;
  OnSortExchange = src->OnSortExchange;
  OnCalcDistance = src->OnCalcDistance;
}

void TMatrix::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TMatrix*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

void TMatrix::Clone(const TMatrix* MatSource) {
  if (MatSource == nullptr) return;
  // A clone of itself writes every cell back unchanged, with the same events as any clone.
  Resize(MatSource->FNCol, MatSource->FNRow);
  for (int32_t c = 1; c <= FNCol; ++c)
    for (int32_t r = 1; r <= FNRow; ++r) SetVal(c, r, MatSource->Cell(c, r));
  Changed();
}

// ---- size -------------------------------------------------------------------------------------

bool TMatrix::Resize(int32_t Nc, int32_t Nr) {
  if (Nc == FNCol && Nr == FNRow) return true;
  Nc = std::max(Nc, 0);
  Nr = std::max(Nr, 0);
  std::vector<double> cells = AllocCells(this, Nc, Nr);
  const int32_t keepC = std::min(FNCol, Nc), keepR = std::min(FNRow, Nr);
  const std::size_t newStride = static_cast<std::size_t>(std::max(Nr, 1));
  for (int32_t c = 1; c <= keepC; ++c)
    std::copy_n(ColumnData(c), keepR, cells.data() + (c - 1) * newStride);
  FMat = std::move(cells);
  FNCol = Nc;
  FNRow = Nr;
  Changed();
  return true;
}

bool TMatrix::ResizeAndClear(int32_t Nc, int32_t Nr) {
  if (!Resize(Nc, Nr)) return false;
  Fill(0.0);
  return true;
}

void TMatrix::SetNCols(int32_t Nc) { Resize(std::max(Nc, 0), FNRow); }
void TMatrix::SetNRows(int32_t Nr) { Resize(FNCol, std::max(Nr, 0)); }

void TMatrix::SetVal(int32_t Nc, int32_t Nr, double Value) {
  if (Nc < 1 || Nc > FNCol || Nr < 1 || Nr > FNRow) return;
  FMat[Index(Nc, Nr)] = Value;
  Changed();
}

void TMatrix::SetFPrecis(int32_t ix, int32_t Value) noexcept {
  Value = std::clamp(Value, -1, 25);
  FPrecis[ix <= 1 ? 0 : 1] = Value;
}

void TMatrix::Changed() { FireEvent(OnChange, this); }

void TMatrix::SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                           int32_t last) {
  FireEvent(OnSortExchange, this, ExchgWhat, index1, index2, first, last);
}

std::string TMatrix::CRCofData() const {
  const std::size_t n = HasCells() ? static_cast<std::size_t>(FNCol) * FNRow : 0;
  return CRCTextOf(std::span<const double>(FMat.data(), n));
}

// ---- fills and element arithmetic ---------------------------------------------------------------

namespace {
// The cells of a matrix are one contiguous stretch when it has any.
inline std::size_t CellCount(const TMatrix& m) {
  return m.HasCells() ? static_cast<std::size_t>(m.NrOfColumns()) * m.NrOfRows() : 0;
}
}  // namespace

void TMatrix::Fill(double Value) {
  std::fill_n(FMat.data(), CellCount(*this), Value);
  Changed();
}

void TMatrix::FillDiag(double Value) {
  const int32_t n = std::min(FNCol, FNRow);
  for (int32_t i = 1; i <= n; ++i) Cell(i, i) = Value;
  Changed();
}

void TMatrix::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double w = RangeHigh - RangeLow;
  double* p = FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] = RangeLow + RandomUniform() * w;
  Changed();
}

void TMatrix::FillRandomGauss(double Mean, double StdDev) {
  double* p = FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] = GRandom() * StdDev + Mean;
  Changed();
}

void TMatrix::SMult(double Scalar) {
  double* p = FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] *= Scalar;
  Changed();
}

void TMatrix::SAdd(double Scalar) {
  double* p = FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] += Scalar;
  Changed();
}

bool TMatrix::Add(const TMatrix* MatB) {
  if (MatB == nullptr || MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
  double* p = FMat.data();
  const double* q = MatB->FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] += q[i];
  Changed();
  return true;
}

bool TMatrix::Subtract(const TMatrix* MatB) {
  if (MatB == nullptr || MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
  double* p = FMat.data();
  const double* q = MatB->FMat.data();
  for (std::size_t i = 0, n = CellCount(*this); i < n; ++i) p[i] -= q[i];
  Changed();
  return true;
}

bool TMatrix::EMult(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || MatB->FNCol != FNCol || MatB->FNRow != FNRow)
    return false;
  MatRes->Resize(FNCol, FNRow);
  for (int32_t c = 1; c <= FNCol; ++c)
    for (int32_t r = 1; r <= FNRow; ++r) MatRes->SetVal(c, r, Cell(c, r) * MatB->Cell(c, r));
  Changed();
  return true;
}

// ---- reordering -------------------------------------------------------------------------------

bool TMatrix::Transpose() {
  if (FNCol == FNRow) {
    // Square: swap across the diagonal in place, tile by tile, with no new storage.
    const int32_t n = FNCol;
    constexpr int32_t B = 32;
    double* a = FMat.data();
    for (int32_t i0 = 0; i0 < n; i0 += B)
      for (int32_t j0 = i0; j0 < n; j0 += B) {
        const int32_t i1 = std::min(i0 + B, n), j1 = std::min(j0 + B, n);
        for (int32_t i = i0; i < i1; ++i)
          for (int32_t j = std::max(j0, i + 1); j < j1; ++j)
            std::swap(a[static_cast<std::size_t>(i) * n + j], a[static_cast<std::size_t>(j) * n + i]);
      }
    Changed();
    return true;
  }
  std::vector<double> cells = AllocCells(this, FNRow, FNCol);
  const std::size_t newStride = static_cast<std::size_t>(std::max(FNCol, 1));
  // Blocked so that both the reads and the writes stay within a few cache lines.
  constexpr int32_t B = 32;
  for (int32_t c0 = 1; c0 <= FNCol; c0 += B)
    for (int32_t r0 = 1; r0 <= FNRow; r0 += B) {
      const int32_t c1 = std::min(c0 + B - 1, FNCol), r1 = std::min(r0 + B - 1, FNRow);
      for (int32_t c = c0; c <= c1; ++c) {
        const double* src = ColumnData(c);
        for (int32_t r = r0; r <= r1; ++r) cells[(r - 1) * newStride + (c - 1)] = src[r - 1];
      }
    }
  FMat = std::move(cells);
  std::swap(FNCol, FNRow);
  Changed();
  return true;
}

// Invalid indices leave the matrix alone: swapping outside the storage would corrupt memory.
void TMatrix::ExchangeColumns(int32_t c1, int32_t c2) {
  if (c1 < 1 || c1 > FNCol || c2 < 1 || c2 > FNCol) return;
  if (c1 != c2) std::swap_ranges(ColumnData(c1), ColumnData(c1) + FNRow, ColumnData(c2));
  Changed();
}

void TMatrix::ExchangeRows(int32_t r1, int32_t r2) {
  if (r1 < 1 || r1 > FNRow || r2 < 1 || r2 > FNRow) return;
  if (r1 != r2)
    for (int32_t c = 1; c <= FNCol; ++c) std::swap(Cell(c, r1), Cell(c, r2));
  Changed();
}

void TMatrix::MirrorColumns() {
  for (int32_t a = 1, b = FNCol; a < b; ++a, --b)
    std::swap_ranges(ColumnData(a), ColumnData(a) + FNRow, ColumnData(b));
  Changed();
}

void TMatrix::MirrorRows() {
  for (int32_t c = 1; c <= FNCol; ++c) std::reverse(ColumnData(c), ColumnData(c) + FNRow);
  Changed();
}

namespace {

struct TKeyIx {
  double key;
  int32_t ix;  // 0-based position in the original order
};

// The comb sort of the vector sort (gap from hi-lo, shrink 1.3, equal keys never swapped),
// reporting each swap of positions i and j (0-based in the key array) to Swap.
template <class SwapFn>
void CombSortKeys(std::vector<TKeyIx>& k, bool Ascending, SwapFn Swap) {
  const int32_t n = static_cast<int32_t>(k.size());
  int32_t gap = n - 1;
  bool swapped = true;
  while (gap > 1 || swapped) {
    gap = static_cast<int32_t>(gap / 1.3);
    if (gap < 1) gap = 1;
    swapped = false;
    for (int32_t i = 0; i + gap < n; ++i) {
      const bool outOfOrder =
          Ascending ? k[i].key > k[i + gap].key : k[i].key < k[i + gap].key;
      if (outOfOrder) {
        std::swap(k[i], k[i + gap]);
        Swap(i, i + gap);
        swapped = true;
      }
    }
  }
}

}  // namespace

void TMatrix::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                       int32_t HighCol, int32_t HighRow) {
  if (SortColIx < 1 || SortColIx > FNCol || !HasCells()) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighRow - LowRow < 1) return;
  const int32_t n = HighRow - LowRow + 1;
  const bool keyInside = SortColIx >= LowCol && SortColIx <= HighCol;
  std::vector<TKeyIx> keys(static_cast<std::size_t>(n));
  const double* kc = ColumnData(SortColIx) + (LowRow - 1);
  for (int32_t i = 0; i < n; ++i) keys[i] = {kc[i], i};

  if (OnSortExchange) {
    // A handler may look at the matrix during the sort, so every swap happens in place.
    CombSortKeys(keys, Ascending, [&](int32_t i, int32_t j) {
      const int32_t ri = LowRow + i, rj = LowRow + j;
      for (int32_t c = LowCol; c <= HighCol; ++c) std::swap(Cell(c, ri), Cell(c, rj));
      if (!keyInside) std::swap(Cell(SortColIx, ri), Cell(SortColIx, rj));
      SortExchange(2, ri, rj, LowCol, HighCol);
    });
  } else {
    // Same swap sequence on the keys alone, then each moving column is permuted once:
    // identical result, contiguous memory traffic.
    CombSortKeys(keys, Ascending, [](int32_t, int32_t) {});
    std::vector<double> tmp(static_cast<std::size_t>(n));
    auto permute = [&](int32_t c) {
      double* col = ColumnData(c) + (LowRow - 1);
      for (int32_t i = 0; i < n; ++i) tmp[i] = col[keys[i].ix];
      std::copy(tmp.begin(), tmp.end(), col);
    };
    for (int32_t c = LowCol; c <= HighCol; ++c) permute(c);
    if (!keyInside) permute(SortColIx);
  }
  Changed();
}

void TMatrix::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                       int32_t HighCol, int32_t HighRow) {
  if (SortRowIx < 1 || SortRowIx > FNRow || !HasCells()) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighCol - LowCol < 1) return;
  const int32_t n = HighCol - LowCol + 1;
  const bool keyInside = SortRowIx >= LowRow && SortRowIx <= HighRow;
  std::vector<TKeyIx> keys(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) keys[i] = {Cell(LowCol + i, SortRowIx), i};

  auto swapCols = [&](int32_t ci, int32_t cj) {
    double* a = ColumnData(ci);
    double* b = ColumnData(cj);
    std::swap_ranges(a + (LowRow - 1), a + HighRow, b + (LowRow - 1));
    if (!keyInside) std::swap(a[SortRowIx - 1], b[SortRowIx - 1]);
  };
  if (OnSortExchange) {
    CombSortKeys(keys, Ascending, [&](int32_t i, int32_t j) {
      swapCols(LowCol + i, LowCol + j);
      SortExchange(1, LowCol + i, LowCol + j, LowRow, HighRow);
    });
  } else {
    CombSortKeys(keys, Ascending, [](int32_t, int32_t) {});
    // Apply the permutation cycle by cycle with one spare column segment.
    std::vector<char> done(static_cast<std::size_t>(n), 0);
    const int32_t len = HighRow - LowRow + 1;
    std::vector<double> spare(static_cast<std::size_t>(len));
    for (int32_t start = 0; start < n; ++start) {
      if (done[start] || keys[start].ix == start) {
        done[start] = 1;
        continue;
      }
      // Position i receives the column originally at keys[i].ix.
      double* s = ColumnData(LowCol + start);
      std::copy_n(s + (LowRow - 1), len, spare.begin());
      const double spareKey = s[SortRowIx - 1];
      int32_t i = start;
      while (true) {
        done[i] = 1;
        const int32_t from = keys[i].ix;
        double* dst = ColumnData(LowCol + i);
        if (from == start) {
          std::copy(spare.begin(), spare.end(), dst + (LowRow - 1));
          if (!keyInside) dst[SortRowIx - 1] = spareKey;
          break;
        }
        const double* src = ColumnData(LowCol + from);
        std::copy_n(src + (LowRow - 1), len, dst + (LowRow - 1));
        if (!keyInside) dst[SortRowIx - 1] = src[SortRowIx - 1];
        i = from;
      }
    }
  }
  Changed();
}

// ---- searching ----------------------------------------------------------------------------------

void TMatrix::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                   double Value, int32_t& ColIx, int32_t& RowIx) const {
  ColIx = 0;
  RowIx = 0;
  if (!HasCells()) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  double best = uc_MaxDouble;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    const double* col = ColumnData(c);
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const double d = std::fabs(col[r - 1] - Value);
      if (d < best) {
        best = d;
        ColIx = c;
        RowIx = r;
      }
    }
  }
}

int32_t TMatrix::FindInSortedColumn(int32_t Col, bool ColIsAscending, double Value) const {
  if (Col < 1 || Col > FNCol || FNRow < 1) return 0;
  const double* x = ColumnData(Col) - 1;  // 1-based view of the column
  int32_t lo = 1, hi = FNRow;
  while (hi - lo > 1) {
    const int32_t mid = (lo + hi) / 2;
    if (Value == x[mid]) return mid;
    if (ColIsAscending ? Value >= x[mid] : Value < x[mid])
      lo = mid;
    else
      hi = mid;
  }
  return std::fabs(x[hi] - Value) <= std::fabs(x[lo] - Value) ? hi : lo;
}

int32_t TMatrix::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                             double RangeLow, double RangeHigh) const {
  if (!HasCells()) return 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int32_t n = 0;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    const double* col = ColumnData(c);
    for (int32_t r = LowRow; r <= HighRow; ++r)
      n += (col[r - 1] >= RangeLow && col[r - 1] <= RangeHigh) ? 1 : 0;
  }
  return n;
}

// ---- copies -----------------------------------------------------------------------------------

void TMatrix::CopyRowToVec(TVector* DestVec, int32_t Row, int32_t FirstCol,
                           int32_t LastCol) const {
  if (DestVec == nullptr) return;
  MakeValidColRange(FirstCol, LastCol);
  Row = std::min(std::max(Row, 1), std::max(FNRow, 1));
  LastCol = std::min(LastCol, FirstCol + DestVec->NrOfElem() - 1);
  DestVec->Fill(0.0);
  for (int32_t c = FirstCol, k = 1; c <= LastCol; ++c, ++k) DestVec->SetVal(k, GetVal(c, Row));
}

void TMatrix::CopyColToVec(TVector* DestVec, int32_t Col, int32_t FirstRow,
                           int32_t LastRow) const {
  if (DestVec == nullptr) return;
  MakeValidRowRange(FirstRow, LastRow);
  Col = std::min(std::max(Col, 1), std::max(FNCol, 1));
  LastRow = std::min(LastRow, FirstRow + DestVec->NrOfElem() - 1);
  DestVec->Fill(0.0);
  for (int32_t r = FirstRow, k = 1; r <= LastRow; ++r, ++k) DestVec->SetVal(k, GetVal(Col, r));
}

void TMatrix::CopyFrom(const TMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                       int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol,
                       int32_t DestRow) {
  if (MatSource == nullptr) return;
  if (MatSource == this) {
    // Overlapping blocks of one matrix: read from a snapshot so no cell is read after it was
    // overwritten.
    TMatrix snap;
    snap.Assign(this);
    snap.OnChange = nullptr;
    snap.OnSortExchange = nullptr;
    snap.OnCalcDistance = nullptr;
    CopyFrom(&snap, SourceColLo, SourceRowLo, SourceColHi, SourceRowHi, DestCol, DestRow);
    return;
  }
  CopyBlockFrom(MatSource->FNCol, MatSource->FNRow, SourceColLo, SourceRowLo, SourceColHi,
                SourceRowHi, DestCol, DestRow,
                [&](int32_t c, int32_t r) { return MatSource->Cell(c, r); });
}

void TMatrix::CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                       int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol,
                       int32_t DestRow) {
  if (MatSource == nullptr) return;
  CopyBlockFrom(MatSource->NrOfColumns(), MatSource->NrOfRows(), SourceColLo, SourceRowLo,
                SourceColHi, SourceRowHi, DestCol, DestRow,
                [&](int32_t c, int32_t r) { return double(MatSource->GetVal(c, r)); });
}

void TMatrix::CopyFromVec(TDims Dim, const TVector* VecSource, int32_t Source1stElem,
                          int32_t SourceLastElem, int32_t DestCol, int32_t DestRow) {
  if (VecSource == nullptr) return;
  const int ord = static_cast<int>(Dim);
  if (ord != 0 && ord != 1) return;  // only along a row or down a column
  int32_t lo = Source1stElem, hi = SourceLastElem;
  VecSource->MakeValidElemRange(lo, hi);
  // The moving index in 64 bits, so a start near the end of the index range does not wrap.
  const int32_t limit = ord == 0 ? FNCol : FNRow;
  const int32_t start = ord == 0 ? DestCol : DestRow;
  for (int32_t e = lo; e <= hi; ++e) {
    const int64_t d = int64_t(start) + (e - lo);
    if (d < 1 || d > limit) continue;
    const double v = VecSource->GetVal(e);
    if (ord == 0)
      SetVal(int32_t(d), DestRow, v);
    else
      SetVal(DestCol, int32_t(d), v);
  }
  Changed();
}

void TMatrix::CopyFromVec(const TVector* VecSource, int32_t Source1stElem, int32_t SourceLastElem,
                          int32_t DestCol, int32_t DestRow) {
  CopyFromVec(static_cast<TDims>(1), VecSource, Source1stElem, SourceLastElem, DestCol, DestRow);
}

}  // namespace qmx
