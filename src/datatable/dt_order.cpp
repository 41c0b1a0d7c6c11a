// TDataTable sorting, exchanging, copying, reshaping and checksums.
#include <algorithm>
#include <climits>
#include <memory>

#include "datatable/dt_internal.h"
#include "qmx/math1.h"

namespace qmx {

// ---- sorting by cell values -------------------------------------------------------------------

void TDataTable::ExchangeDuringSort(TObject*, uint8_t ExchgWhat, int32_t i1, int32_t i2, int32_t f, int32_t l) {
  if (ExchgWhat == 1) {
    if (i1 >= 1 && i1 <= FNrOfCols && i2 >= 1 && i2 <= FNrOfCols && FNrOfRows > 0) {
      MakeValidRowRange(f, l);
      auto& a = FCState[i1 - 1];
      auto& b = FCState[i2 - 1];
      std::swap_ranges(a.begin() + (f - 1), a.begin() + l, b.begin() + (f - 1));
      if (FSortIncludeHd) SwapColumnHeads(i1, i2);
    }
  } else if (i1 >= 1 && i1 <= FNrOfRows && i2 >= 1 && i2 <= FNrOfRows && FNrOfCols > 0) {
    MakeValidColRange(f, l);
    for (int32_t c = f; c <= l; ++c) std::swap(FCState[c - 1][i1 - 1], FCState[c - 1][i2 - 1]);
    if (FSortIncludeHd) SwapRowHeads(i1, i2);
  }
  FireEvent(OnSortExchange, this, ExchgWhat, i1, i2, f, l);
}

void TDataTable::SwapColumnHeads(int32_t c1, int32_t c2) {
  std::swap(FColAtt[c1 - 1], FColAtt[c2 - 1]);
  std::swap(FVType[c1 - 1], FVType[c2 - 1]);
  std::swap(FColName[c1 - 1], FColName[c2 - 1]);
}

void TDataTable::SwapRowHeads(int32_t r1, int32_t r2) {
  std::swap(FRowAtt[r1 - 1], FRowAtt[r2 - 1]);
  std::swap(FRowName[r1 - 1], FRowName[r2 - 1]);
}

namespace {
// Restores the flag to its resting value (true) however the sort ends.
struct TSortHdGuard {
  bool& Flag;
  TSortHdGuard(bool& F, bool V) : Flag(F) { Flag = V; }
  ~TSortHdGuard() { Flag = true; }
};
}  // namespace

void TDataTable::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                          int32_t HighRow, bool IncludeHeaders) {
  EnsureDataShape();
  {
    TSortHdGuard g(FSortIncludeHd, IncludeHeaders);
    NumericData->SortCols(SortRowIx, Ascending, LowCol, LowRow, HighCol, HighRow);
  }
  if (IncludeHeaders) {
    ChangedNames();
    ChangedAttrib();
  }
}

void TDataTable::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                          int32_t HighRow, bool IncludeHeaders) {
  EnsureDataShape();
  if (!OnSortExchange && SortColIx >= 1 && SortColIx <= FNrOfCols && FNrOfCols > 0 && FNrOfRows > 0) {
    // Nobody watches the single swaps: sort the keys with their row numbers (the same comb sort,
    // so the same order), then move every column, state, name and attribute once.
    MakeValidColRange(LowCol, HighCol);
    MakeValidRowRange(LowRow, HighRow);
    const int32_t n = HighRow - LowRow + 1;
    if (n >= 2) {
      TMatrix keys;
      keys.Resize(2, n);
      std::copy_n(NumericData->ColumnData(SortColIx) + (LowRow - 1), n, keys.ColumnData(1));
      double* ix = keys.ColumnData(2);
      for (int32_t i = 0; i < n; ++i) ix[i] = i;
      keys.SortRows(1, Ascending, 1, 1, 2, n);
      std::vector<int32_t> from(static_cast<std::size_t>(n));
      for (int32_t i = 0; i < n; ++i) from[i] = LowRow - 1 + static_cast<int32_t>(ix[i]);
      std::vector<double> tmp(static_cast<std::size_t>(n));
      auto permute = [&](auto* col, auto& buf) {
        for (int32_t i = 0; i < n; ++i) buf[i] = col[from[i]];
        std::copy_n(buf.begin(), n, col + (LowRow - 1));
      };
      for (int32_t c = LowCol; c <= HighCol; ++c) permute(NumericData->ColumnData(c), tmp);
      if (SortColIx < LowCol || SortColIx > HighCol) permute(NumericData->ColumnData(SortColIx), tmp);
      std::vector<uint8_t> st(static_cast<std::size_t>(n));
      for (int32_t c = LowCol; c <= HighCol; ++c) permute(FCState[c - 1].data(), st);
      if (IncludeHeaders) {
        std::vector<int32_t> at(static_cast<std::size_t>(n));
        permute(FRowAtt.data(), at);
        std::vector<TDTNameStr> nm(static_cast<std::size_t>(n));
        for (int32_t i = 0; i < n; ++i) nm[i] = std::move(FRowName[from[i]]);
        std::move(nm.begin(), nm.end(), FRowName.begin() + (LowRow - 1));
      }
    }
    NumericData->Changed();
    if (IncludeHeaders) {
      ChangedNames();
      ChangedAttrib();
    }
    return;
  }
  {
    TSortHdGuard g(FSortIncludeHd, IncludeHeaders);
    NumericData->SortRows(SortColIx, Ascending, LowCol, LowRow, HighCol, HighRow);
  }
  if (IncludeHeaders) {
    ChangedNames();
    ChangedAttrib();
  }
}

// ---- sorting by attributes and names ------------------------------------------------------------

// Comb sort of rows (or columns) Lo..Hi; Cmp(i, j) > 0 when i's key is greater. A swap also moves
// the values and states within the other dimension's range OLo..OHi.
template <class Key>
void TDataTable::CombSortHeads(bool Rows, bool Ascending, int32_t Lo, int32_t Hi, int32_t OLo, int32_t OHi,
                               Key Cmp) {
  if (Hi - Lo < 1) return;
  int32_t gap = Hi - Lo;
  bool swapped = true;
  while (gap > 1 || swapped) {
    gap = std::max(static_cast<int32_t>(gap / 1.3), 1);
    swapped = false;
    for (int32_t i = Lo; i + gap <= Hi; ++i) {
      const int32_t j = i + gap;
      const int c = Cmp(i, j);
      if (!(Ascending ? c > 0 : c < 0)) continue;
      swapped = true;
      if (Rows) {
        SwapRowHeads(i, j);
        for (int32_t o = OLo; o <= OHi; ++o) {
          const double a = NumericData->Cell(o, i), b = NumericData->Cell(o, j);
          NumericData->SetVal(o, i, b);
          NumericData->SetVal(o, j, a);
          std::swap(FCState[o - 1][i - 1], FCState[o - 1][j - 1]);
        }
        FireEvent(OnSortExchange, this, uint8_t(2), i, j, OLo, OHi);
      } else {
        SwapColumnHeads(i, j);
        for (int32_t o = OLo; o <= OHi; ++o) {
          const double a = NumericData->Cell(i, o), b = NumericData->Cell(j, o);
          NumericData->SetVal(i, o, b);
          NumericData->SetVal(j, o, a);
          std::swap(FCState[i - 1][o - 1], FCState[j - 1][o - 1]);
        }
        FireEvent(OnSortExchange, this, uint8_t(1), i, j, OLo, OHi);
      }
    }
  }
}

namespace {
int CompareNames(const std::string& a, const std::string& b, bool IgnoreCase) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t k = 0; k < n; ++k) {
    auto x = static_cast<unsigned char>(IgnoreCase ? dt::LowerAZ(a[k]) : a[k]);
    auto y = static_cast<unsigned char>(IgnoreCase ? dt::LowerAZ(b[k]) : b[k]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
int CompareInts(int32_t a, int32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }
}  // namespace

// The four sorts of rows or columns by their attribute or name.
void TDataTable::SortHeads(bool Rows, bool ByName, bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                           int32_t HighCol, int32_t HighRow) {
  if (FNrOfCols < (Rows ? 1 : 2) || FNrOfRows < (Rows ? 2 : 1)) return;
  EnsureDataShape();
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const std::vector<TDTNameStr>& names = Rows ? FRowName : FColName;
  const TIntArray& att = Rows ? FRowAtt : FColAtt;
  auto cmp = [&](int32_t i, int32_t j) {
    return ByName ? CompareNames(names[i - 1], names[j - 1], IgnoreCase) : CompareInts(att[i - 1], att[j - 1]);
  };
  if (Rows) CombSortHeads(true, Ascending, LowRow, HighRow, LowCol, HighCol, cmp);
  else CombSortHeads(false, Ascending, LowCol, HighCol, LowRow, HighRow, cmp);
  ChangedData();
  if (ByName) ChangedNames();
  else ChangedAttrib();
}

void TDataTable::SortRowAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                   int32_t HighRow) {
  SortHeads(true, false, Ascending, false, LowCol, LowRow, HighCol, HighRow);
}
void TDataTable::SortColAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                   int32_t HighRow) {
  SortHeads(false, false, Ascending, false, LowCol, LowRow, HighCol, HighRow);
}
void TDataTable::SortRowNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) {
  SortHeads(true, true, Ascending, IgnoreCase, LowCol, LowRow, HighCol, HighRow);
}
void TDataTable::SortColNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) {
  SortHeads(false, true, Ascending, IgnoreCase, LowCol, LowRow, HighCol, HighRow);
}

// ---- exchanging and mirroring ---------------------------------------------------------------------

// Indices outside the table leave it alone and fire nothing: there is no column to exchange.
void TDataTable::ExchangeColumns(int32_t c1, int32_t c2) {
  if (c1 < 1 || c1 > FNrOfCols || c2 < 1 || c2 > FNrOfCols) return;
  EnsureDataShape();
  if (c1 != c2) {
    TDetach d(*this);
    NumericData->ExchangeColumns(c1, c2);
    SwapColumnHeads(c1, c2);
    std::swap(FCState[c1 - 1], FCState[c2 - 1]);
  }
  FireFive();
}

void TDataTable::ExchangeRows(int32_t r1, int32_t r2) {
  if (r1 < 1 || r1 > FNrOfRows || r2 < 1 || r2 > FNrOfRows) return;
  EnsureDataShape();
  if (r1 != r2) {
    TDetach d(*this);
    NumericData->ExchangeRows(r1, r2);
    SwapRowHeads(r1, r2);
    for (auto& col : FCState) std::swap(col[r1 - 1], col[r2 - 1]);
  }
  FireFive();
}

void TDataTable::MirrorColumns() {
  for (int32_t a = 1, b = FNrOfCols; a < b; ++a, --b) ExchangeColumns(a, b);
  FireFive();
}

void TDataTable::MirrorRows() {
  for (int32_t a = 1, b = FNrOfRows; a < b; ++a, --b) ExchangeRows(a, b);
  FireFive();
}

// ---- copying ----------------------------------------------------------------------------------

void TDataTable::CopyContentsFrom(const TDataTable* ExtTab) {
  if (ExtTab == nullptr) return;
  const int32_t oc = FNrOfCols, orr = FNrOfRows;
  {
    TSilence s(*this, evAll);
    Resize(ExtTab->FNrOfCols, ExtTab->FNrOfRows);
    EnsureDataShape();
    FComment = ExtTab->FComment;
    if (ExtTab != this) {
      FColName = ExtTab->FColName;
      FColAtt = ExtTab->FColAtt;
      FVType = ExtTab->FVType;
      FRowName = ExtTab->FRowName;
      FRowAtt = ExtTab->FRowAtt;
      FCState = ExtTab->FCState;
    }
    // Values as Elem reads them (identifier ordinals rounded); written to the storage directly,
    // the change events being silenced anyway.
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      double* dst = NumericData->ColumnData(c);
      for (int32_t r = 1; r <= FNrOfRows; ++r) dst[r - 1] = ExtTab->GetElem(c, r);
    }
  }
  FireLoaded(oc, orr);
}

void TDataTable::CopyFrom(const TDataTable* ExtTab, int32_t SourceColLo, int32_t SourceRowLo, int32_t SourceColHi,
                          int32_t SourceRowHi, int32_t DestCol, int32_t DestRow) {
  if (ExtTab == nullptr) return;
  auto clampPair = [](int32_t n, int32_t& lo, int32_t& hi) {
    lo = std::min(std::max(lo, 1), n);
    hi = std::min(std::max(hi, 1), n);
    if (hi < lo) std::swap(lo, hi);
  };
  const int32_t snc = ExtTab->FNrOfCols, snr = ExtTab->FNrOfRows;
  EnsureDataShape();
  {
    TSilence s(*this, evAll);
    if (snc > 0 && snr > 0) {
      clampPair(snc, SourceColLo, SourceColHi);
      clampPair(snr, SourceRowLo, SourceRowHi);
      // A copy of the block first, so that copying a table onto an overlapping part of itself
      // reads the old values.
      std::unique_ptr<TDataTable> tmp;
      const TDataTable* src = ExtTab;
      if (ExtTab == this) {
        tmp = std::make_unique<TDataTable>(nullptr);
        tmp->CopyContentsFrom(this);
        src = tmp.get();
      }
      for (int32_t c = SourceColLo; c <= SourceColHi; ++c) {
        const int64_t dc = int64_t(DestCol) + (c - SourceColLo);
        if (dc < 1 || dc > FNrOfCols) continue;
        for (int32_t r = SourceRowLo; r <= SourceRowHi; ++r) {
          const int64_t dr = int64_t(DestRow) + (r - SourceRowLo);
          if (dr < 1 || dr > FNrOfRows) continue;
          NumericData->Cell(int32_t(dc), int32_t(dr)) = src->GetElem(c, r);
          FCState[dc - 1][dr - 1] = src->CellState(c, r);
        }
      }
    }
  }
  ChangedData();
  ChangedCellStates();
}

bool TDataTable::CopyCellStatesFrom(const TDataTable* ExtTab) {
  if (ExtTab == nullptr || ExtTab->FNrOfCols != FNrOfCols || ExtTab->FNrOfRows != FNrOfRows) return false;
  if (ExtTab != this) FCState = ExtTab->FCState;
  ChangedCellStates();
  return true;
}

void TDataTable::AssignAnotherDataMatrix(TMatrix* NewDMat) {
  if (NewDMat == nullptr) return;
  const int32_t oc = FNrOfCols, orr = FNrOfRows;
  {
    TSilence s(*this, evData | evSetup);
    Resize(NewDMat->NrOfColumns(), NewDMat->NrOfRows());
    if (NewDMat != NumericData) ReleaseMatrix();
    NumericData = NewDMat;
    InstallHandlers();
    for (auto& v : FVType) v.MScaleType = stInterval;
    FExtMatAssigned = true;
    FireEvent(OnResize, this, oc, orr, FNrOfCols, FNrOfRows);
  }
  ChangedData();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  ChangedCellStates();
}

int32_t TDataTable::CopyCellsToVector(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                      uint8_t ACellState, TVector* DestVect) const {
  if (DestVect == nullptr || FNrOfCols < 1 || FNrOfRows < 1) return 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  std::vector<double> buf;
  buf.reserve(static_cast<std::size_t>(HighCol - LowCol + 1) * static_cast<std::size_t>(HighRow - LowRow + 1));
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const uint8_t s = FCState[c - 1][r - 1];
      if ((s & 0x03) == 0 && (ACellState == 0xFF || (s & ACellState) != 0))
        buf.push_back(NumericData->GetVal(c, r));
    }
  // A vector cannot hold zero elements; with nothing copied it keeps its size and contents.
  if (!buf.empty()) {
    DestVect->Resize(static_cast<int32_t>(buf.size()));
    std::copy(buf.begin(), buf.end(), DestVect->Data().begin());
  }
  return static_cast<int32_t>(buf.size());
}

// ---- reshaping ---------------------------------------------------------------------------------

void TDataTable::Serialize(bool ColHeadsAsVar, bool IncludeColRowNumbers) {
  const int32_t oc = FNrOfCols, orr = FNrOfRows;
  // Refused before anything changes: the identifier table of column 1 holds one entry per former
  // column, and the long table needs one row per cell.
  if (ColHeadsAsVar && oc > kMaxNominalIDs)
    RaiseComponentError<EQMXDataTableError>(this, ": number of available nominal values exceeded");
  if (int64_t(oc) * orr > INT32_MAX)
    RaiseComponentError<EQMXDataTableError>(this, ": too many cells to serialize");
  TSilence s(*this, evData);
  const TMScaleType L = FindHighestMLevel(0, 0);
  auto tmp = std::make_unique<TDataTable>(nullptr);
  tmp->CopyContentsFrom(this);
  const int32_t w = 1 + (ColHeadsAsVar ? 1 : 0) + (IncludeColRowNumbers ? 2 : 0);
  Resize(w, oc * orr);
  EnsureDataShape();
  if (ColHeadsAsVar) {
    ClearNominalIDs(1);
    for (int32_t sc = 1; sc <= oc; ++sc) AddNominalID(1, std::to_string(sc) + ":" + tmp->ColName(sc));
    SetColName(1, "(column)");
  }
  if (IncludeColRowNumbers) {
    SetColName(w - 2, "(col. index)");
    SetColName(w - 1, "(row index)");
  }
  SetColName(w, "(data)");
  SetMScaleType(w, L);
  // Only the value column carries former states; the key columns hold plain numbers.
  for (int32_t c = 1; c < w; ++c) std::fill(FCState[c - 1].begin(), FCState[c - 1].end(), 0);
  int32_t k = 0;
  for (int32_t sc = 1; sc <= oc; ++sc)
    for (int32_t r = 1; r <= orr; ++r) {
      ++k;
      if (ColHeadsAsVar) NumericData->Cell(1, k) = sc;
      if (IncludeColRowNumbers) {
        NumericData->Cell(w - 1, k) = r;
        NumericData->Cell(w - 2, k) = sc;
      }
      NumericData->Cell(w, k) = tmp->GetElem(sc, r);
      FRowName[k - 1] = tmp->FRowName[r - 1];
      FRowAtt[k - 1] = tmp->FRowAtt[r - 1];
      FCState[w - 1][k - 1] = tmp->FCState[sc - 1][r - 1];
    }
  tmp.reset();
  FSilenced &= static_cast<uint8_t>(~evData);
  ChangedData();
}

// ---- checksums -----------------------------------------------------------------------------------

namespace {
struct TCRC8 {
  uint32_t R[8];
  TCRC8() {
    for (auto& r : R) r = 0xFFFFFFFFu;
  }
  void Feed(uint8_t b, std::size_t p) { R[p % 8] = CalcNextCRC32(b, R[p % 8]); }
  void FeedText(const std::string& s) {
    for (std::size_t p = 1; p <= s.size(); ++p) Feed(static_cast<uint8_t>(s[p - 1]), p);
  }
  std::string Text() const {
    std::string t;
    for (uint32_t r : R) t += Hex(static_cast<int32_t>(~r), 8);
    return t;
  }
};
}  // namespace

std::string TDataTable::CRCofNamesAndAttributes() const {
  TCRC8 c;
  c.FeedText(FComment);
  for (const auto& n : FColName) c.FeedText(n);
  for (std::size_t p = 1; p <= FColAtt.size(); ++p) c.Feed(static_cast<uint8_t>(FColAtt[p - 1] & 0xFF), p);
  for (const auto& n : FRowName) c.FeedText(n);
  for (std::size_t p = 1; p <= FRowAtt.size(); ++p) c.Feed(static_cast<uint8_t>(FRowAtt[p - 1] & 0xFF), p);
  for (std::size_t p = 1; p <= FVType.size(); ++p) c.Feed(static_cast<uint8_t>(FVType[p - 1].MScaleType), p);
  for (const auto& v : FVType)
    for (int32_t k = 1; k <= kMaxNominalIDs && !v.IDs.empty(); ++k) c.FeedText(v.ID(k));
  return c.Text();
}

std::string TDataTable::CRCofCellStates() const {
  TCRC8 c;
  for (const auto& col : FCState)
    for (std::size_t p = 1; p <= col.size(); ++p) c.Feed(col[p - 1], p);
  return c.Text();
}

}  // namespace qmx
