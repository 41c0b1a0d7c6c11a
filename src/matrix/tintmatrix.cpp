#include "qmx/matrix/tintmatrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "matrix/nd_impl.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

constexpr int32_t kEmptyLow = 2147483647;
constexpr int32_t kInitialReserve = 4096;  // records reserved up front at most

// Integer sums and products wrap modulo 2^32; unsigned arithmetic keeps that defined.
inline int32_t WAdd(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WSub(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WMul(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Size of a temporary copy of a block; beyond 2^32 cells (16 GiB) it is refused before the
// allocator is asked, which some runtimes treat as fatal rather than as a failed allocation.
inline std::size_t WorkingCells(int64_t nc, int64_t nr) {
  const int64_t n = nc * nr;
  if (n > (int64_t(1) << 32)) throw std::bad_alloc();
  return static_cast<std::size_t>(n);
}

// The allocation counter grows by AllocBy, saturating instead of overflowing.
inline int32_t GrowCount(int32_t n, int32_t by) noexcept {
  return static_cast<int32_t>(std::min<int64_t>(int64_t(n) + by, 2147483647));
}

inline bool RecordBefore(const TSpMatElemInt& e, int32_t c, int32_t r) noexcept {
  return e.colidx < c || (e.colidx == c && e.rowidx < r);
}

// Comb sort of a range, as the container sorts do: the gap shrinks by 1.3 each pass and the sort
// ends after a gap-1 pass without a swap.
template <class OutOfOrder, class Swap>
void CombSort(int32_t lo, int32_t hi, OutOfOrder outOfOrder, Swap swap) {
  int32_t gap = hi - lo;
  if (gap <= 0) return;
  bool swapped;
  do {
    gap = static_cast<int32_t>(gap / 1.3);
    if (gap < 1) gap = 1;
    swapped = false;
    for (int32_t i = lo; i + gap <= hi; ++i)
      if (outOfOrder(i, i + gap)) {
        swap(i, i + gap);
        swapped = true;
      }
  } while (gap > 1 || swapped);
}

}  // namespace

// ---- construction ----------------------------------------------------------------------------

TIntMatrix::TIntMatrix(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FMat.assign(1, 0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
}

TIntMatrix::TIntMatrix(TComponent* AOwner, int32_t AllocBy) : TComponent(AOwner) {
  FIsSparse = true;
  FNCol = 0;
  FNRow = 0;
  FAllocBy = AllocBy < 1 ? 1 : AllocBy;
  try {
    // NumAllocated counts in steps of AllocBy; the array itself grows geometrically, so a huge
    // AllocBy does not reserve memory that may never be used.
    SpMat.reserve(static_cast<std::size_t>(std::min(FAllocBy, kInitialReserve)));
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FNumAllocated = FAllocBy;
}

TIntMatrix::~TIntMatrix() = default;

void TIntMatrix::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TIntMatrix*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  FNCol = src->FNCol;
  FNRow = src->FNRow;
  FDataID = src->FDataID;
  FIsSparse = src->FIsSparse;
  FNumAllocated = src->FNumAllocated;
  FAllocBy = src->FAllocBy;
  FSparseNumElem = src->FSparseNumElem;
  FSparseLowCol = src->FSparseLowCol;
  FSparseHighCol = src->FSparseHighCol;
  FSparseLowRow = src->FSparseLowRow;
  FSparseHighRow = src->FSparseHighRow;
  SpMat = src->SpMat;
  FMat = src->FMat;
  OnChange = src->OnChange;
  OnSortExchange = src->OnSortExchange;
  OnPercentDone = src->OnPercentDone;
}

void TIntMatrix::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TIntMatrix*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

void TIntMatrix::Clone(const TIntMatrix* MatSource) {
  // A clone of itself rewrites its own contents, with the same events as any clone.
  if (!MatSource || MatSource->FIsSparse != FIsSparse) return;
  if (!FIsSparse) {
    Resize(MatSource->FNCol, MatSource->FNRow);
    for (int32_t c = 1; c <= FNCol; ++c)
      for (int32_t r = 1; r <= FNRow; ++r) SetVal(c, r, MatSource->FMat[MatSource->Index(c, r)]);
    Changed();
    return;
  }
  try {
    SpMat = MatSource->SpMat;
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FNumAllocated = MatSource->FNumAllocated;
  FAllocBy = MatSource->FAllocBy;
  FSparseNumElem = MatSource->FSparseNumElem;
  FSparseLowCol = MatSource->FSparseLowCol;
  FSparseHighCol = MatSource->FSparseHighCol;
  FSparseLowRow = MatSource->FSparseLowRow;
  FSparseHighRow = MatSource->FSparseHighRow;
  // The dimensions travel with the records, so that no record lies outside the matrix.
  FNCol = MatSource->FNCol;
  FNRow = MatSource->FNRow;
  Changed();
}

// ---- representation ----------------------------------------------------------------------------

void TIntMatrix::SparseReset() {
  SpMat.clear();
  FSparseNumElem = 0;
  FNumAllocated = FAllocBy;
  FSparseLowCol = FSparseLowRow = kEmptyLow;
  FSparseHighCol = FSparseHighRow = 1;
}

TSpMatElemInt TIntMatrix::SparseRecord(int32_t i) const noexcept {
  if (!FIsSparse || i < 1 || i > FSparseNumElem) return {};
  return SpMat[static_cast<std::size_t>(i - 1)];
}

std::size_t TIntMatrix::SparseSearch(int32_t c, int32_t r) const noexcept {
  std::size_t lo = 0, hi = SpMat.size();
  while (lo < hi) {
    std::size_t mid = (lo + hi) / 2;
    if (RecordBefore(SpMat[mid], c, r)) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

void TIntMatrix::SparseStore(int32_t c, int32_t r, int32_t v) {
  std::size_t pos = SparseSearch(c, r);
  if (pos < SpMat.size() && SpMat[pos].colidx == c && SpMat[pos].rowidx == r) {
    SpMat[pos].value = v;
    return;
  }
  try {
    if (FNumAllocated < FSparseNumElem + 1) FNumAllocated = GrowCount(FNumAllocated, FAllocBy);
    SpMat.insert(SpMat.begin() + static_cast<std::ptrdiff_t>(pos), TSpMatElemInt{c, r, v});
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  ++FSparseNumElem;
  FSparseLowCol = std::min(FSparseLowCol, c);
  FSparseHighCol = std::max(FSparseHighCol, c);
  FSparseLowRow = std::min(FSparseLowRow, r);
  FSparseHighRow = std::max(FSparseHighRow, r);
  FNCol = FSparseHighCol;
  FNRow = FSparseHighRow;
}

void TIntMatrix::ArrayToSparse(int32_t AllocBy) {
  if (FIsSparse) return;
  std::vector<TSpMatElemInt> recs;
  int32_t alloc = AllocBy < 1 ? 1 : AllocBy;
  int32_t numAlloc = alloc;
  int32_t lc = kEmptyLow, hc = 1, lr = kEmptyLow, hr = 1;
  try {
    recs.reserve(static_cast<std::size_t>(std::min(alloc, kInitialReserve)));
    for (int32_t c = 1; c <= FNCol; ++c) {
      const int32_t* col = FMat.data() + Index(c, 1);
      for (int32_t r = 1; r <= FNRow; ++r)
        if (col[r - 1] != 0) {
          if (numAlloc < static_cast<int32_t>(recs.size()) + 1) numAlloc = GrowCount(numAlloc, alloc);
          recs.push_back({c, r, col[r - 1]});
          lc = std::min(lc, c);
          hc = std::max(hc, c);
          lr = std::min(lr, r);
          hr = std::max(hr, r);
        }
    }
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FIsSparse = true;
  FAllocBy = alloc;
  FNumAllocated = numAlloc;
  SpMat = std::move(recs);
  FSparseNumElem = static_cast<int32_t>(SpMat.size());
  FSparseLowCol = lc;
  FSparseHighCol = hc;
  FSparseLowRow = lr;
  FSparseHighRow = hr;
  std::vector<int32_t>().swap(FMat);
}

void TIntMatrix::SparseToArray() {
  if (!FIsSparse) return;
  int32_t nc = FSparseNumElem > 0 ? FSparseHighCol : 1;
  int32_t nr = FSparseNumElem > 0 ? FSparseHighRow : 1;
  std::vector<int32_t> m;
  try {
    m.assign(static_cast<std::size_t>(nc) * static_cast<std::size_t>(nr), 0);
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  for (const auto& e : SpMat)
    m[static_cast<std::size_t>(e.colidx - 1) * static_cast<std::size_t>(nr) +
      static_cast<std::size_t>(e.rowidx - 1)] = e.value;
  FIsSparse = false;
  FNCol = nc;
  FNRow = nr;
  FMat = std::move(m);
  std::vector<TSpMatElemInt>().swap(SpMat);
  FSparseNumElem = 0;
  FNumAllocated = 0;
  FSparseLowCol = FSparseLowRow = kEmptyLow;
  FSparseHighCol = FSparseHighRow = 1;
}

void TIntMatrix::TakeContents(TIntMatrix& Src) noexcept {
  FNCol = Src.FNCol;
  FNRow = Src.FNRow;
  FIsSparse = Src.FIsSparse;
  FNumAllocated = Src.FNumAllocated;
  FAllocBy = Src.FAllocBy;
  FSparseNumElem = Src.FSparseNumElem;
  FSparseLowCol = Src.FSparseLowCol;
  FSparseHighCol = Src.FSparseHighCol;
  FSparseLowRow = Src.FSparseLowRow;
  FSparseHighRow = Src.FSparseHighRow;
  SpMat.swap(Src.SpMat);
  FMat.swap(Src.FMat);
}

// ---- size --------------------------------------------------------------------------------------

bool TIntMatrix::Resize(int32_t Nc, int32_t Nr) {
  if (Nc == FNCol && Nr == FNRow) return false;
  if (Nc < 0) Nc = 0;
  if (Nr < 0) Nr = 0;
  if (FIsSparse) {
    FNCol = Nc;
    FNRow = Nr;
    if (FSparseHighCol > Nc) FSparseHighCol = Nc;
    if (FSparseHighRow > Nr) FSparseHighRow = Nr;
    if (FSparseLowCol > FSparseHighCol) FSparseLowCol = FSparseHighCol;
    if (FSparseLowRow > FSparseHighRow) FSparseLowRow = FSparseHighRow;
    std::erase_if(SpMat, [Nc, Nr](const TSpMatElemInt& e) { return e.colidx > Nc || e.rowidx > Nr; });
    FSparseNumElem = static_cast<int32_t>(SpMat.size());
    return false;
  }
  const std::size_t newStride = static_cast<std::size_t>(std::max(Nr, 1));
  std::vector<int32_t> m;
  try {
    m.assign(static_cast<std::size_t>(std::max(Nc, 1)) * newStride, 0);
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  const int32_t kc = std::min(Nc, FNCol), kr = std::min(Nr, FNRow);
  for (int32_t c = 1; c <= kc; ++c)
    std::copy_n(FMat.data() + Index(c, 1), kr, m.data() + static_cast<std::size_t>(c - 1) * newStride);
  FMat = std::move(m);
  FNCol = Nc;
  FNRow = Nr;
  Changed();
  return true;
}

bool TIntMatrix::ResizeAndClear(int32_t Nc, int32_t Nr) {
  bool ok = Resize(Nc, Nr);
  if (ok) Fill(0);
  return ok;
}

void TIntMatrix::SetNCols(int32_t Nc) { Resize(Nc < 0 ? 0 : Nc, FNRow); }
void TIntMatrix::SetNRows(int32_t Nr) { Resize(FNCol, Nr < 0 ? 0 : Nr); }

// ---- elements ----------------------------------------------------------------------------------

int32_t TIntMatrix::GetVal(int32_t Nc, int32_t Nr) const noexcept {
  if (!FIsSparse) {
    if (Nc < 1 || Nc > FNCol || Nr < 1 || Nr > FNRow) return 0;
    return FMat[Index(Nc, Nr)];
  }
  if (Nc < FSparseLowCol || Nc > FSparseHighCol || Nr < FSparseLowRow || Nr > FSparseHighRow) return 0;
  std::size_t pos = SparseSearch(Nc, Nr);
  if (pos < SpMat.size() && SpMat[pos].colidx == Nc && SpMat[pos].rowidx == Nr) return SpMat[pos].value;
  return 0;
}

void TIntMatrix::SetVal(int32_t Nc, int32_t Nr, int32_t Value) {
  if (FIsSparse) {
    if (Nc < 1 || Nr < 1) return;
    SparseStore(Nc, Nr, Value);
    Changed();
    return;
  }
  if (Nc < 1 || Nc > FNCol || Nr < 1 || Nr > FNRow) return;
  FMat[Index(Nc, Nr)] = Value;
  Changed();
}

// ---- events ------------------------------------------------------------------------------------

void TIntMatrix::Changed() { FireEvent(OnChange, this); }

void TIntMatrix::SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                              int32_t last) {
  FireEvent(OnSortExchange, this, ExchgWhat, index1, index2, first, last);
}

void TIntMatrix::PercDone(TObject* /*Sender*/, int32_t Percent) { FireEvent(OnPercentDone, this, Percent); }

// ---- block traversal ---------------------------------------------------------------------------

namespace {

// Visits the cells of a normalised block column by column, rows in order; unstored sparse cells
// read 0. The sparse walk merges with the sorted records instead of searching per cell.
// The counters are 64-bit: a sparse matrix may reach index 2147483647, where a 32-bit counter
// would wrap instead of ending the loop.
template <class F>
void ForEachCell(const TIntMatrix& M, int32_t lc, int32_t hc, int32_t lr, int32_t hr, F f) {
  if (!M.IsSparse()) {
    for (int64_t c = lc; c <= hc; ++c) {
      const int32_t* col = M.Data() + static_cast<std::size_t>(c - 1) * M.Stride();
      for (int64_t r = lr; r <= hr; ++r) f(int32_t(c), int32_t(r), col[r - 1]);
    }
    return;
  }
  int32_t n = M.SparseNumElem(), k = 1;
  for (int64_t c64 = lc; c64 <= hc; ++c64)
    for (int64_t r64 = lr; r64 <= hr; ++r64) {
      const auto c = int32_t(c64), r = int32_t(r64);
      while (k <= n) {
        TSpMatElemInt e = M.SparseRecord(k);
        if (e.colidx < c || (e.colidx == c && e.rowidx < r)) ++k;
        else break;
      }
      TSpMatElemInt e = k <= n ? M.SparseRecord(k) : TSpMatElemInt{};
      f(c, r, (e.colidx == c && e.rowidx == r) ? e.value : 0);
    }
}

// Visits the values that are stored inside a normalised block (every cell in dense mode, the
// records in sparse mode) and returns how many cells of the block hold an unstored 0. Results
// that do not depend on the visiting order use it, so a huge sparse matrix costs its records only.
template <class F>
int64_t ForEachStored(const TIntMatrix& M, int32_t lc, int32_t hc, int32_t lr, int32_t hr, F f) {
  if (!M.IsSparse()) {
    ForEachCell(M, lc, hc, lr, hr, [&f](int32_t, int32_t, int32_t v) { f(v); });
    return 0;
  }
  int64_t stored = 0;
  for (int32_t k = 1; k <= M.SparseNumElem(); ++k) {
    TSpMatElemInt e = M.SparseRecord(k);
    if (e.colidx >= lc && e.colidx <= hc && e.rowidx >= lr && e.rowidx <= hr) {
      f(e.value);
      ++stored;
    }
  }
  return (int64_t(hc) - lc + 1) * (int64_t(hr) - lr + 1) - stored;
}

}  // namespace

std::vector<int32_t> TIntMatrix::BlockValues(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                             int32_t HighRow) const {
  std::vector<int32_t> v;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  try {
    v.reserve(WorkingCells(HighCol - LowCol + 1, HighRow - LowRow + 1));
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  ForEachCell(*this, LowCol, HighCol, LowRow, HighRow, [&v](int32_t, int32_t, int32_t x) { v.push_back(x); });
  return v;
}

std::string TIntMatrix::CRCofData() const {
  TCRCAccumulator4 acc;
  if (FNCol > 0 && FNRow > 0) {
    if (!FIsSparse) {
      for (int32_t c = 1; c <= FNCol; ++c)
        acc.Add(std::span<const int32_t>(FMat.data() + Index(c, 1), static_cast<std::size_t>(FNRow)));
    } else {
      // Records in column-major order with the runs of unstored zeros between them, so a huge
      // sparse matrix costs its records, not its logical cells.
      int64_t next = 0;  // column-major position of the next cell to account for
      for (const auto& e : SpMat) {
        if (e.colidx < 1 || e.colidx > FNCol || e.rowidx < 1 || e.rowidx > FNRow) continue;
        const int64_t pos = (int64_t(e.colidx) - 1) * FNRow + (e.rowidx - 1);
        acc.AddZeros(static_cast<uint64_t>(pos - next));
        acc.Add({&e.value, 1});
        next = pos + 1;
      }
      acc.AddZeros(static_cast<uint64_t>(int64_t(FNCol) * FNRow - next));
    }
  }
  return acc.Text();
}

// ---- operations of both representations --------------------------------------------------------

void TIntMatrix::Fill(int32_t value) {
  if (!FIsSparse) {
    std::fill(FMat.begin(), FMat.end(), value);
  } else if (value != 0) {
    for (auto& e : SpMat) e.value = value;
  } else {
    SparseReset();
  }
  Changed();
}

bool TIntMatrix::Transpose() {
  if (!FIsSparse) {
    std::vector<int32_t> m;
    const std::size_t ns = static_cast<std::size_t>(std::max(FNCol, 1));
    try {
      m.assign(static_cast<std::size_t>(std::max(FNRow, 1)) * ns, 0);
    } catch (const std::exception&) {
      RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
    }
    for (int32_t c = 1; c <= FNCol; ++c)
      for (int32_t r = 1; r <= FNRow; ++r)
        m[static_cast<std::size_t>(r - 1) * ns + static_cast<std::size_t>(c - 1)] = FMat[Index(c, r)];
    FMat = std::move(m);
    std::swap(FNCol, FNRow);
  } else {
    for (auto& e : SpMat) std::swap(e.colidx, e.rowidx);
    std::swap(FSparseLowCol, FSparseLowRow);
    std::swap(FSparseHighCol, FSparseHighRow);
    CombSort(
        0, FSparseNumElem - 1,
        [this](int32_t i, int32_t j) {
          const auto &a = SpMat[static_cast<std::size_t>(i)], &b = SpMat[static_cast<std::size_t>(j)];
          return RecordBefore(b, a.colidx, a.rowidx);
        },
        [this](int32_t i, int32_t j) { std::swap(SpMat[static_cast<std::size_t>(i)], SpMat[static_cast<std::size_t>(j)]); });
    // The dimensions follow the records, so no record lies outside the matrix afterwards.
    std::swap(FNCol, FNRow);
  }
  Changed();
  return true;
}

int32_t TIntMatrix::Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  if (FNCol <= 0 || FNRow <= 0) return 0;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  uint32_t s = 0;
  if (FIsSparse) {
    for (const auto& e : SpMat)
      if (e.colidx >= LoC && e.colidx <= HiC && e.rowidx >= LoR && e.rowidx <= HiR) s += static_cast<uint32_t>(e.value);
  } else {
    for (int32_t c = LoC; c <= HiC; ++c) {
      const int32_t* col = FMat.data() + Index(c, 1);
      for (int32_t r = LoR; r <= HiR; ++r) s += static_cast<uint32_t>(col[r - 1]);
    }
  }
  return static_cast<int32_t>(s);
}

int32_t TIntMatrix::Trace() const {
  int32_t s = 0;
  if (FIsSparse) {
    if (FSparseHighCol != FSparseHighRow) return 0;
    for (const auto& e : SpMat)
      if (e.colidx == e.rowidx) s = WAdd(s, e.value);
    return s;
  }
  if (FNCol != FNRow || FNCol <= 0) return 0;
  for (int32_t i = 1; i <= FNCol; ++i) s = WAdd(s, FMat[Index(i, i)]);
  return s;
}

void TIntMatrix::MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                        int32_t& Minimum, int32_t& Maximum) const {
  // The first value replaces the start values, so -2147483648 is reported as it is.
  ndimpl::TExtremes<int32_t> e(2147483647, -2147483647);
  if (FNCol > 0 && FNRow > 0) {
    MakeValidColRange(LowCol, HighCol);
    MakeValidRowRange(LowRow, HighRow);
    if (FIsSparse) {
      // Only stored values take part; unstored zeros do not.
      for (const auto& el : SpMat)
        if (el.colidx >= LowCol && el.colidx <= HighCol && el.rowidx >= LowRow && el.rowidx <= HighRow) e.Take(el.value);
    } else {
      ForEachCell(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t, int32_t, int32_t v) { e.Take(v); });
    }
  }
  Minimum = e.Min;
  Maximum = e.Max;
}

void TIntMatrix::MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                         double& Mean, double& Variance) const {
  Mean = 0.0;
  Variance = 0.0;
  if (FNCol <= 0 || FNRow <= 0) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  // Integer sums are exact in extended precision far beyond any realistic block.
  // Unstored zeros add nothing to either sum, so only the stored values are visited.
  long double s = 0.0L, q = 0.0L;
  ForEachStored(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t v) {
    long double x = v;
    s += x;
    q += x * x;
  });
  const double n = double(HighCol - LowCol + 1) * double(HighRow - LowRow + 1);
  Mean = static_cast<double>(s / n);
  Variance = n >= 3 ? static_cast<double>((q - s * s / n) / (n - 1)) : 1.0;
}

void TIntMatrix::SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                          double& Skewness, double& Kurtosis) const {
  Skewness = 0.0;
  Kurtosis = 0.0;
  if (FNCol <= 0 || FNRow <= 0) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const long double n = (long double)(HighCol - LowCol + 1) * (HighRow - LowRow + 1);
  if (n < 2) return;
  long double s = 0.0L;
  ForEachCell(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t, int32_t, int32_t v) { s += v; });
  const long double m = s / n;
  long double d1 = 0, d2 = 0, d3 = 0, d4 = 0;
  ForEachCell(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t, int32_t, int32_t v) {
    long double d = v - m, dd = d * d;
    d1 += d;
    d2 += dd;
    d3 += dd * d;
    d4 += dd * dd;
  });
  long double var = (d2 - d1 * d1 / n) / (n - 1);
  long double sd = var > 0 ? std::sqrt(var) : 0.0L;
  if (sd == 0) return;
  Skewness = static_cast<double>(d3 / n / (sd * sd * sd));
  Kurtosis = static_cast<double>(d4 / n / (sd * sd * sd * sd) - 3.0L);
}

void TIntMatrix::SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                double& Skewness, double& Kurtosis) const {
  Skewness = 0.0;
  Kurtosis = 0.0;
  if (FNCol <= 0 || FNRow <= 0) return;
  int32_t lc = LowCol, hc = HighCol, lr = LowRow, hr = HighRow;
  MakeValidColRange(lc, hc);
  MakeValidRowRange(lr, hr);
  const double n = double(hc - lc + 1) * double(hr - lr + 1);
  if (n < 4) return;
  double g = 0, k = 0;
  SkewKurt(LowCol, LowRow, HighCol, HighRow, g, k);
  Skewness = n * n * g / ((n - 1) * (n - 2));
  Kurtosis = (k + 3) * n * n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) - 3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3));
}

void TIntMatrix::CopyRowToVec(TIntVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const {
  if (!DestVec) return;
  MakeValidColRange(FirstCol, LastCol);
  Row = std::clamp(Row, 1, std::max(FNRow, 1));
  if (LastCol - FirstCol + 1 > DestVec->NrOfElem()) LastCol = FirstCol + DestVec->NrOfElem() - 1;
  DestVec->Fill(0);
  if (FNCol <= 0 || FNRow <= 0) return;
  for (int32_t c = FirstCol, k = 1; c <= LastCol; ++c, ++k) DestVec->SetVal(k, GetVal(c, Row));
}

void TIntMatrix::CopyColToVec(TIntVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const {
  if (!DestVec) return;
  MakeValidRowRange(FirstRow, LastRow);
  Col = std::clamp(Col, 1, std::max(FNCol, 1));
  if (LastRow - FirstRow + 1 > DestVec->NrOfElem()) LastRow = FirstRow + DestVec->NrOfElem() - 1;
  DestVec->Fill(0);
  if (FNCol <= 0 || FNRow <= 0) return;
  for (int32_t r = FirstRow, k = 1; r <= LastRow; ++r, ++k) DestVec->SetVal(k, GetVal(Col, r));
}

void TIntMatrix::CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                          int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow) {
  if (!MatSource) return;
  auto clampPair = [](int32_t n, int32_t& lo, int32_t& hi) {
    lo = std::min(std::max(lo, 1), n);
    hi = std::min(std::max(hi, 1), n);
    if (hi < lo) std::swap(lo, hi);
  };
  const int32_t sc = MatSource->FNCol, sr = MatSource->FNRow;
  clampPair(sc, SourceColLo, SourceColHi);
  clampPair(sr, SourceRowLo, SourceRowHi);
  // Copying a matrix onto itself must read the old values, so take the block first.
  std::vector<int32_t> block;
  if (sc > 0 && sr > 0) block = MatSource->BlockValues(SourceColLo, SourceRowLo, SourceColHi, SourceRowHi);
  std::size_t k = 0;
  const int32_t nc = FNCol, nr = FNRow;  // never resized, also in sparse mode
  if (sc > 0 && sr > 0)
    for (int64_t c = SourceColLo; c <= SourceColHi; ++c)
      for (int64_t r = SourceRowLo; r <= SourceRowHi; ++r, ++k) {
        // 64 bits: a target near the end of the index range must not wrap.
        const int64_t dc = int64_t(DestCol) + (c - SourceColLo), dr = int64_t(DestRow) + (r - SourceRowLo);
        if (dc >= 1 && dc <= nc && dr >= 1 && dr <= nr) SetVal(int32_t(dc), int32_t(dr), block[k]);
      }
  Changed();
}

bool TIntMatrix::Add(const TIntMatrix* MatB) {
  if (!MatB || FIsSparse) return false;
  if (!MatB->FIsSparse) {
    if (MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
    for (int32_t c = 1; c <= FNCol; ++c) {
      int32_t* a = FMat.data() + Index(c, 1);
      const int32_t* b = MatB->FMat.data() + MatB->Index(c, 1);
      for (int32_t r = 0; r < FNRow; ++r) a[r] = WAdd(a[r], b[r]);
    }
  } else {
    if (FNCol < MatB->FSparseHighCol || FNRow < MatB->FSparseHighRow) return false;
    for (const auto& e : MatB->SpMat) {
      int32_t& x = FMat[Index(e.colidx, e.rowidx)];
      x = WAdd(x, e.value);
    }
  }
  Changed();
  return true;
}

// ---- dense operations ----------------------------------------------------------------------------

int32_t TIntMatrix::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                                int32_t RangeLow, int32_t RangeHigh) const {
  if (FNCol <= 0 || FNRow <= 0) return 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int64_t n = 0;
  const int64_t zeros =
      ForEachStored(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t v) { n += (v >= RangeLow && v <= RangeHigh); });
  if (RangeLow <= 0 && 0 <= RangeHigh) n += zeros;
  return static_cast<int32_t>(n);
}

int32_t TIntMatrix::CountMaskedZeros(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                                     uint32_t Bitmask) const {
  if (FNCol <= 0 || FNRow <= 0) return 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int64_t n = 0;
  const int64_t zeros = ForEachStored(*this, LowCol, HighCol, LowRow, HighRow,
                                      [&](int32_t v) { n += ((static_cast<uint32_t>(v) & Bitmask) == 0); });
  return static_cast<int32_t>(n + zeros);  // an unstored zero has every masked bit clear
}

void TIntMatrix::MeanVec(TDims Dim, TVector* Means) const {
  if (!Means) return;
  const int dim = static_cast<int>(Dim);
  if (dim != 0 && dim != 1) return;
  const bool perCol = dim == 0;
  const int32_t n = perCol ? FNCol : FNRow;
  std::vector<double> s(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  if (FIsSparse) {
    for (const auto& e : SpMat) s[static_cast<std::size_t>((perCol ? e.colidx : e.rowidx) - 1)] += e.value;
  } else if (FNCol > 0 && FNRow > 0) {
    ForEachCell(*this, 1, FNCol, 1, FNRow, [&](int32_t c, int32_t r, int32_t v) {
      s[static_cast<std::size_t>((perCol ? c : r) - 1)] += v;
    });
  }
  Means->Resize(n);
  const double div = perCol ? FNRow : FNCol;
  for (int32_t i = 1; i <= n; ++i) Means->SetVal(i, s[static_cast<std::size_t>(i - 1)] / div);
}

void TIntMatrix::FillDiag(int32_t value) {
  if (FIsSparse) return;
  for (int32_t i = 1; i <= std::min(FNCol, FNRow); ++i) FMat[Index(i, i)] = value;
  Changed();
}

void TIntMatrix::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t Value,
                      int32_t& ColIx, int32_t& RowIx) const {
  ColIx = 0;
  RowIx = 0;
  if (FNCol <= 0 || FNRow <= 0) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int64_t best = std::numeric_limits<int64_t>::max();
  ForEachCell(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t c, int32_t r, int32_t v) {
    int64_t d = std::abs(int64_t(v) - Value);  // 64-bit: the difference of two int32 may not fit
    if (d < best) {
      best = d;
      ColIx = c;
      RowIx = r;
    }
  });
}

int32_t TIntMatrix::FindInSortedColumn(int32_t Col, bool ColIsAscending, int32_t Value) const {
  if (Col < 1 || Col > FNCol || FNRow <= 0) return 0;
  int32_t lo = 1, hi = FNRow;
  while (hi - lo > 1) {
    int32_t mid = lo + (hi - lo) / 2;  // (lo + hi) / 2 without overflow near 2147483647
    int32_t x = GetVal(Col, mid);
    if (Value == x) return mid;
    if (ColIsAscending ? Value >= x : Value < x) lo = mid;
    else hi = mid;
  }
  return std::abs(int64_t(GetVal(Col, hi)) - Value) <= std::abs(int64_t(GetVal(Col, lo)) - Value) ? hi : lo;
}

double TIntMatrix::GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  if (FNCol <= 0 || FNRow <= 0) return 0.0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  bool zero = false;
  long double s = 0.0L;
  // A zero gives 0, but a negative value anywhere in the block still raises.
  const int64_t unstored = ForEachStored(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t v) {
    if (v < 0) RaiseComponentError<EQMXMatrixError>(this, ": negative argument passed to GeometricMean");
    if (v == 0) zero = true;
    else s += std::log((long double)v);
  });
  if (zero || unstored > 0) return 0.0;
  const double n = double(HighCol - LowCol + 1) * double(HighRow - LowRow + 1);
  return static_cast<double>(std::exp(s / n));
}

double TIntMatrix::HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  if (FNCol <= 0 || FNRow <= 0) return 0.0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  long double s = 0.0L;
  auto bad = [this] { RaiseComponentError<EQMXMatrixError>(this, ": negative or zero argument passed to HarmonicMean"); };
  const int64_t unstored = ForEachStored(*this, LowCol, HighCol, LowRow, HighRow, [&](int32_t v) {
    if (v <= 0) bad();
    s += 1.0L / v;
  });
  if (unstored > 0) bad();
  const double n = double(HighCol - LowCol + 1) * double(HighRow - LowRow + 1);
  return static_cast<double>(n / s);
}

bool TIntMatrix::Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Q1,
                           double& Q2, double& Q3) const {
  Q1 = Q2 = Q3 = 0.0;
  if (FNCol <= 0 || FNRow <= 0) return false;
  std::vector<int32_t> x = BlockValues(LowCol, LowRow, HighCol, HighRow);
  std::sort(x.begin(), x.end());
  const std::size_t n = x.size();
  auto q = [&](double f) {
    if (n == 1) return double(x[0]);
    double p = double(n + 1) * f;
    std::size_t k = static_cast<std::size_t>(p);
    double fr = p - double(k);
    if (k == 0) return double(x[0]);
    if (k >= n) return double(x[n - 1]);
    return double(x[k - 1]) + fr * (double(x[k]) - double(x[k - 1]));
  };
  Q1 = q(0.25);
  Q2 = q(0.5);
  Q3 = q(0.75);
  return true;
}

double TIntMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const {
  prob = prob > 0.0 ? std::min(prob, 100.0) : 0.0;  // NaN counts as 0, not as a rank
  if (FNCol <= 0 || FNRow <= 0) return 0.0;
  std::vector<int32_t> x = BlockValues(LowCol, LowRow, HighCol, HighRow);
  const std::size_t n = x.size();
  auto k = static_cast<std::size_t>(std::nearbyint(double(n) * prob / 100.0));
  if (k > n - 1) k = n - 1;
  std::nth_element(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(k), x.end());
  return x[k];
}

double TIntMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                              int32_t SampleSize) const {
  prob = prob > 0.0 ? std::min(prob, 100.0) : 0.0;  // NaN counts as 0, not as a rank
  if (FNCol <= 0 || FNRow <= 0) return 0.0;
  int32_t lc = LowCol, hc = HighCol, lr = LowRow, hr = HighRow;
  MakeValidColRange(lc, hc);
  MakeValidRowRange(lr, hr);
  const int64_t n = int64_t(hc - lc + 1) * (hr - lr + 1);
  if (SampleSize <= 0 || SampleSize >= n) return Percentile(prob, LowCol, LowRow, HighCol, HighRow);
  // A generator of the call's own: the process-wide one is neither reseeded nor advanced.
  ndimpl::TSampleRandom rnd;
  std::vector<int32_t> x;
  try {
    x.resize(static_cast<std::size_t>(SampleSize));
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  int32_t zeros = 0, negs = 0;
  for (auto& v : x) {
    const auto c = lc + static_cast<int32_t>(rnd.Next(hc - lc + 1));
    const auto r = lr + static_cast<int32_t>(rnd.Next(hr - lr + 1));
    v = GetVal(c, r);
    zeros += v == 0;
    negs += v < 0;
  }
  const double p = prob / 100.0;
  if (p <= double(negs) / SampleSize || p >= double(zeros + negs) / SampleSize) {
    auto k = static_cast<std::size_t>(std::nearbyint(double(SampleSize) * p));
    if (k > x.size() - 1) k = x.size() - 1;
    std::nth_element(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(k), x.end());
    return x[k];
  }
  return 0.0;
}

bool TIntMatrix::Subtract(const TIntMatrix* MatB) {
  if (!MatB || FIsSparse) return false;
  if (!MatB->FIsSparse) {
    if (MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
    for (int32_t c = 1; c <= FNCol; ++c) {
      int32_t* a = FMat.data() + Index(c, 1);
      const int32_t* b = MatB->FMat.data() + MatB->Index(c, 1);
      for (int32_t r = 0; r < FNRow; ++r) a[r] = WSub(a[r], b[r]);
    }
  } else {
    if (FNCol < MatB->FSparseHighCol || FNRow < MatB->FSparseHighRow) return false;
    for (const auto& e : MatB->SpMat) {
      int32_t& x = FMat[Index(e.colidx, e.rowidx)];
      x = WSub(x, e.value);
    }
  }
  Changed();
  return true;
}

void TIntMatrix::SMult(int32_t Scalar) {
  if (FIsSparse) return;
  for (auto& x : FMat) x = WMul(x, Scalar);
  Changed();
}

void TIntMatrix::SAdd(int32_t Scalar) {
  if (FIsSparse) return;
  for (auto& x : FMat) x = WAdd(x, Scalar);
  Changed();
}

bool TIntMatrix::EMult(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!MatB || !MatRes || MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
  std::vector<int32_t> a = BlockValues(0, 0, 0, 0), b = MatB->BlockValues(0, 0, 0, 0);
  const int32_t nc = FNCol, nr = FNRow;
  MatRes->Resize(nc, nr);
  if (nc > 0 && nr > 0)
    for (int32_t c = 1, k = 0; c <= nc; ++c)
      for (int32_t r = 1; r <= nr; ++r, ++k) MatRes->SetVal(c, r, WMul(a[static_cast<std::size_t>(k)], b[static_cast<std::size_t>(k)]));
  Changed();
  return true;
}

namespace {
// Dense column-major copy of any matrix (unstored sparse cells 0), for the products.
struct DenseView {
  int32_t nc = 0, nr = 0;
  std::vector<int32_t> v;
  // Raises for Owner when the copy cannot be made.
  DenseView(const TIntMatrix& m, const TIntMatrix* Owner) : nc(m.NrOfColumns()), nr(m.NrOfRows()) {
    if (nc <= 0 || nr <= 0) return;
    try {
      if (!m.IsSparse()) {
        v.assign(m.Data(), m.Data() + static_cast<std::size_t>(nc) * nr);
      } else {
        v.assign(WorkingCells(nc, nr), 0);
        for (int32_t k = 1; k <= m.SparseNumElem(); ++k) {
          TSpMatElemInt e = m.SparseRecord(k);
          at(e.colidx, e.rowidx) = e.value;
        }
      }
    } catch (const std::exception&) {
      RaiseComponentError<EQMXMatrixError>(Owner, ": not enough memory on heap");
    }
  }
  int32_t& at(int32_t c, int32_t r) { return v[static_cast<std::size_t>(c - 1) * nr + (r - 1)]; }
  int32_t operator()(int32_t c, int32_t r) const { return v[static_cast<std::size_t>(c - 1) * nr + (r - 1)]; }
};

// Fills MatRes (nc x nr) with the wrapped integer sums over k of A(k, r) * B(c, k), the two
// factors read through the accessors so the three product forms share one loop.
template <class FA, class FB>
void IntProduct(int32_t nc, int32_t nr, int32_t nk, TIntMatrix* MatRes, FA A, FB B) {
  MatRes->Resize(nc, nr);
  for (int32_t c = 1; c <= nc; ++c)
    for (int32_t r = 1; r <= nr; ++r) {
      uint32_t s = 0;
      for (int32_t k = 1; k <= nk; ++k) s += static_cast<uint32_t>(A(k, r)) * static_cast<uint32_t>(B(c, k));
      MatRes->SetVal(c, r, static_cast<int32_t>(s));
    }
}
}  // namespace

// In the products A(r, k) is cell (k, r): column k, row r.
bool TIntMatrix::Multiply(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!MatB || !MatRes || FNCol != MatB->FNRow) return false;
  DenseView a(*this, this), b(*MatB, this);
  IntProduct(b.nc, a.nr, a.nc, MatRes, [&](int32_t k, int32_t r) { return a(k, r); },
             [&](int32_t c, int32_t k) { return b(c, k); });
  Changed();
  return true;
}

bool TIntMatrix::MultiplyTransposed(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!MatB || !MatRes || FNCol != MatB->FNCol) return false;
  DenseView a(*this, this), b(*MatB, this);
  IntProduct(b.nr, a.nr, a.nc, MatRes, [&](int32_t k, int32_t r) { return a(k, r); },
             [&](int32_t c, int32_t k) { return b(k, c); });
  Changed();
  return true;
}

bool TIntMatrix::TransposeAndMultiply(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!MatB || !MatRes || FNRow != MatB->FNRow) return false;
  DenseView a(*this, this), b(*MatB, this);
  IntProduct(b.nc, a.nc, a.nr, MatRes, [&](int32_t k, int32_t r) { return a(r, k); },
             [&](int32_t c, int32_t k) { return b(c, k); });
  Changed();
  return true;
}

bool TIntMatrix::Multiply(const TIntVector* VecB, TIntVector* VecRes) {
  if (!VecB || !VecRes || FNCol != VecB->NrOfElem()) return false;
  DenseView a(*this, this);
  std::vector<int32_t> v(VecB->Data().begin(), VecB->Data().end());
  VecRes->Resize(FNRow);
  for (int32_t r = 1; r <= a.nr; ++r) {
    uint32_t s = 0;
    for (int32_t k = 1; k <= a.nc; ++k) s += static_cast<uint32_t>(a(k, r)) * static_cast<uint32_t>(v[static_cast<std::size_t>(k - 1)]);
    VecRes->SetVal(r, static_cast<int32_t>(s));
  }
  Changed();
  return true;
}

bool TIntMatrix::TransposeAndMultiply(const TIntVector* VecB, TIntVector* VecRes) {
  if (!VecB || !VecRes || FNRow != VecB->NrOfElem()) return false;
  DenseView a(*this, this);
  std::vector<int32_t> v(VecB->Data().begin(), VecB->Data().end());
  VecRes->Resize(FNCol);
  for (int32_t c = 1; c <= a.nc; ++c) {
    uint32_t s = 0;
    for (int32_t k = 1; k <= a.nr; ++k) s += static_cast<uint32_t>(a(c, k)) * static_cast<uint32_t>(v[static_cast<std::size_t>(k - 1)]);
    VecRes->SetVal(c, static_cast<int32_t>(s));
  }
  Changed();
  return true;
}

void TIntMatrix::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                          int32_t HighRow) {
  // An invalid key column leaves the matrix alone (nothing to sort by).
  if (FIsSparse || FNCol <= 0 || FNRow <= 0 || SortColIx < 1 || SortColIx > FNCol) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighRow - LowRow < 1) return;
  const bool keyOutside = SortColIx < LowCol || SortColIx > HighCol;
  int32_t* key = FMat.data() + Index(SortColIx, 1);
  CombSort(
      LowRow, HighRow,
      [&](int32_t i, int32_t j) { return Ascending ? key[i - 1] > key[j - 1] : key[i - 1] < key[j - 1]; },
      [&](int32_t i, int32_t j) {
        for (int32_t c = LowCol; c <= HighCol; ++c) std::swap(FMat[Index(c, i)], FMat[Index(c, j)]);
        if (keyOutside) std::swap(key[i - 1], key[j - 1]);
        SortExchange(2, i, j, LowCol, HighCol);
      });
  Changed();
}

void TIntMatrix::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                          int32_t HighRow) {
  if (FIsSparse || FNCol <= 0 || FNRow <= 0 || SortRowIx < 1 || SortRowIx > FNRow) return;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighCol - LowCol < 1) return;
  const bool keyOutside = SortRowIx < LowRow || SortRowIx > HighRow;
  auto key = [&](int32_t c) { return FMat[Index(c, SortRowIx)]; };
  CombSort(
      LowCol, HighCol, [&](int32_t i, int32_t j) { return Ascending ? key(i) > key(j) : key(i) < key(j); },
      [&](int32_t i, int32_t j) {
        for (int32_t r = LowRow; r <= HighRow; ++r) std::swap(FMat[Index(i, r)], FMat[Index(j, r)]);
        if (keyOutside) std::swap(FMat[Index(i, SortRowIx)], FMat[Index(j, SortRowIx)]);
        SortExchange(1, i, j, LowRow, HighRow);
      });
  Changed();
}

void TIntMatrix::MirrorColumns() {
  if (FIsSparse) return;
  for (int32_t a = 1, b = FNCol; a < b; ++a, --b)
    std::swap_ranges(FMat.data() + Index(a, 1), FMat.data() + Index(a, 1) + FNRow, FMat.data() + Index(b, 1));
  Changed();
}

void TIntMatrix::MirrorRows() {
  if (FIsSparse) return;
  for (int32_t c = 1; c <= FNCol; ++c) {
    int32_t* col = FMat.data() + Index(c, 1);
    std::reverse(col, col + FNRow);
  }
  Changed();
}

void TIntMatrix::EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const {
  // An unknown operation leaves DestVec alone, as TMatrix does.
  if (!DestVec || (EdgeOp != eopMin && EdgeOp != eopMax && EdgeOp != eopSum && EdgeOp != eopMean)) return;
  const bool perRow = static_cast<int>(Orient) == 0;
  const int32_t n = perRow ? FNRow : FNCol;
  const int32_t len = perRow ? FNCol : FNRow;
  std::vector<double> acc(static_cast<std::size_t>(std::max(n, 0)),
                          EdgeOp == eopMin ? uc_MaxDouble : EdgeOp == eopMax ? -uc_MaxDouble : 0.0);
  // Extremes take the first value of a line, so values beyond the start values are kept.
  std::vector<char> seen(acc.size(), 0);
  if (FNCol > 0 && FNRow > 0)
    ForEachCell(*this, 1, FNCol, 1, FNRow, [&](int32_t c, int32_t r, int32_t v) {
      const auto i = static_cast<std::size_t>((perRow ? r : c) - 1);
      switch (EdgeOp) {
        case eopMin: ndimpl::TakeEdge<false>(acc[i], seen[i], v); break;
        case eopMax: ndimpl::TakeEdge<true>(acc[i], seen[i], v); break;
        default: acc[i] += v;
      }
    });
  DestVec->Resize(n);
  for (int32_t i = 1; i <= n; ++i) {
    double a = acc[static_cast<std::size_t>(i - 1)];
    DestVec->SetVal(i, EdgeOp == eopMean ? a / len : a);
  }
}

// Invalid indices are ignored: there is no column or row to swap with.
void TIntMatrix::ExchangeColumns(int32_t c1, int32_t c2) {
  if (FIsSparse || c1 < 1 || c2 < 1 || c1 > FNCol || c2 > FNCol) return;
  if (c1 != c2) std::swap_ranges(FMat.data() + Index(c1, 1), FMat.data() + Index(c1, 1) + FNRow, FMat.data() + Index(c2, 1));
  Changed();
}

void TIntMatrix::ExchangeRows(int32_t r1, int32_t r2) {
  if (FIsSparse || r1 < 1 || r2 < 1 || r1 > FNRow || r2 > FNRow) return;
  if (r1 != r2)
    for (int32_t c = 1; c <= FNCol; ++c) std::swap(FMat[Index(c, r1)], FMat[Index(c, r2)]);
  Changed();
}

}  // namespace qmx
