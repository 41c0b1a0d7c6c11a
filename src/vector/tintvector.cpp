// TIntVector: the integer twin of TVector. Integer arithmetic wraps modulo 2^32 (done in
// unsigned arithmetic, so it is defined behaviour).
#include <algorithm>
#include <cmath>
#include <new>

#include "qmx/vector.h"
#include "vector/vec_impl.h"
#include "vector/vec_order.h"

namespace qmx {

namespace {
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline uint32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<uint32_t>(a) * static_cast<uint32_t>(b);
}
}  // namespace

TIntVector::TIntVector(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FVec.assign(1, 0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXVectorError>(this, ": not enough memory on heap");
  }
}

TIntVector::~TIntVector() = default;

void TIntVector::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TIntVector*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  try {
    FVec = src->FVec;
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXVectorError>(this, ": not enough memory");
  }
  FNElem = src->FNElem;
  FIsEmpty = src->FIsEmpty;
  OnChange = src->OnChange;
  OnSortExchange = src->OnSortExchange;
}

void TIntVector::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TIntVector*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

bool TIntVector::Resize(int32_t NE) { return vecimpl::Resize(*this, FVec, FNElem, NE); }

void TIntVector::SetIntVecSize(int32_t NE) {
  if (NE > 0 && NE != FNElem) Resize(NE);
}

int32_t TIntVector::GetVal(int32_t Elem) const noexcept {
  if (Elem < 1 || Elem > FNElem) return 0;
  return FVec[static_cast<std::size_t>(Elem - 1)];
}

void TIntVector::SetVal(int32_t Elem, int32_t Value) {
  if (Elem < 1 || Elem > FNElem) return;
  FVec[static_cast<std::size_t>(Elem - 1)] = Value;
  FIsEmpty = false;
  Changed();
}

void TIntVector::Changed() { FireEvent(OnChange, this); }

void TIntVector::SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                              int32_t last) {
  FireEvent(OnSortExchange, this, ExchgWhat, index1, index2, first, last);
}

void TIntVector::MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept {
  MakeValidRange(FNElem, LowElem, HighElem);
}

std::string TIntVector::CRCofData() const { return CRCTextOf(std::span<const int32_t>(FVec)); }

void TIntVector::Fill(int32_t value) {
  std::fill(FVec.begin(), FVec.end(), value);
  FIsEmpty = false;
  Changed();
}

void TIntVector::Clear() {
  std::fill(FVec.begin(), FVec.end(), 0);
  FIsEmpty = true;
  Changed();
}

void TIntVector::AbsVal() {
  // |-2147483648| does not exist in 32 bits; it wraps to itself like all integer arithmetic here.
  for (int32_t& x : FVec)
    if (x < 0) x = WrapSub(0, x);
  Changed();
}

void TIntVector::SMult(int32_t scalar) {
  for (int32_t& x : FVec) x = static_cast<int32_t>(WrapMul(x, scalar));
  Changed();
}

void TIntVector::Add(const TIntVector* OtherVec) {
  if (!OtherVec) return;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  for (std::size_t i = 0; i < FVec.size(); ++i) FVec[i] = WrapAdd(FVec[i], OtherVec->FVec[i]);
  Changed();
}

void TIntVector::Subtract(const TIntVector* OtherVec) {
  if (!OtherVec) return;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  for (std::size_t i = 0; i < FVec.size(); ++i) FVec[i] = WrapSub(FVec[i], OtherVec->FVec[i]);
  Changed();
}

int32_t TIntVector::DotProduct(const TIntVector* OtherVec) const {
  if (!OtherVec) return 0;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  uint32_t s = 0;
  for (std::size_t i = 0; i < FVec.size(); ++i) s += WrapMul(FVec[i], OtherVec->FVec[i]);
  return static_cast<int32_t>(s);
}

double TIntVector::EuclideanDistance(const TIntVector* OtherVec) const {
  if (!OtherVec || OtherVec->FNElem != FNElem)
    throw EQMXVectorError("EuclideanDistance: dimensions of vectors do not match");
  // Differences and squares in 64 bits / double: 32-bit squares would wrap for differences
  // above 46340 and give a wrong (even NaN) distance.
  double s = 0.0;
  for (std::size_t i = 0; i < FVec.size(); ++i) {
    const double d = static_cast<double>(static_cast<int64_t>(FVec[i]) - OtherVec->FVec[i]);
    s += d * d;
  }
  return std::sqrt(s);
}

int32_t TIntVector::Correlate(const TIntVector* OtherVec, int32_t ElemShift) const {
  if (!OtherVec) return 0;
  const int64_t lo = std::max<int64_t>(1, 1 - static_cast<int64_t>(ElemShift));
  const int64_t hi = std::min<int64_t>(FNElem, OtherVec->FNElem - static_cast<int64_t>(ElemShift));
  uint32_t s = 0;
  for (int64_t i = lo; i <= hi; ++i)
    s += WrapMul(FVec[static_cast<std::size_t>(i - 1)],
                 OtherVec->FVec[static_cast<std::size_t>(i + ElemShift - 1)]);
  return static_cast<int32_t>(s);
}

double TIntVector::CalcVecLeng() const {
  double s = 0.0;
  for (int32_t x : FVec) s += static_cast<double>(x) * static_cast<double>(x);
  return std::sqrt(s);
}

int32_t TIntVector::Find(int32_t LowElem, int32_t HighElem, int32_t value) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::FindNearest(Data(), LowElem, HighElem, value);
}

int32_t TIntVector::FindInSortedVector(bool Ascending, int32_t Value) const {
  return vecimpl::FindInSorted(Data(), Ascending, Value);
}

void TIntVector::SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast) {
  vecimpl::SortElems(*this, Ascending, RangeFirst, RangeLast);
}

void TIntVector::Mirror() {
  std::reverse(FVec.begin(), FVec.end());
  Changed();
}

void TIntVector::ShuffleElems() { vecimpl::Shuffle(Data()); }

void TIntVector::Clone(const TIntVector* VecSource) { vecimpl::Clone(*this, VecSource); }

void TIntVector::CopyFrom(const TIntVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                          int32_t DestElem) {
  vecimpl::CopyFrom<TIntVector, int32_t>(*this, VecSource, SourceElemLo, SourceElemHi, DestElem);
}

// ---- statistics -------------------------------------------------------------------------------

void TIntVector::MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum,
                        int32_t& Maximum) const {
  int32_t mi, ma;
  MinMax(LowElem, HighElem, Minimum, Maximum, mi, ma);
}

void TIntVector::MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum,
                        int32_t& MinIx, int32_t& MaxIx) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::MinMax<int32_t>(Data(), LowElem, HighElem, 2147483647, -2147483647, Minimum, Maximum,
                           MinIx, MaxIx);
}

void TIntVector::MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const {
  MakeValidElemRange(LowElem, HighElem);
  // Exact integer sums: S fits 64 bits and the sum of squares 128 bits for any 32-bit vector,
  // and n Q - S^2 >= 0 holds exactly, so the variance can never come out negative.
  const int32_t* x = FVec.data() + (LowElem - 1);
  const int64_t n = static_cast<int64_t>(HighElem) - LowElem + 1;
  int64_t S = 0;
  unsigned __int128 Q = 0;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t v = x[i];
    S += v;
    Q += static_cast<unsigned __int128>(static_cast<uint64_t>(v * v));
  }
  Mean = static_cast<double>(static_cast<long double>(S) / static_cast<long double>(n));
  if (n < 3) {
    Variance = 1.0;
    return;
  }
  const __int128 num = static_cast<__int128>(Q) * n - static_cast<__int128>(S) * S;
  Variance = static_cast<double>(static_cast<long double>(num) /
                                 (static_cast<long double>(n) * static_cast<long double>(n - 1)));
}

int32_t TIntVector::Sum(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  uint32_t s = 0;
  for (int32_t i = LowElem; i <= HighElem; ++i) s += static_cast<uint32_t>(FVec[static_cast<std::size_t>(i - 1)]);
  return static_cast<int32_t>(s);
}

void TIntVector::SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                          double& Kurtosis) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::SkewKurt(Data(), LowElem, HighElem, Skewness, Kurtosis);
}

void TIntVector::SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                                double& Kurtosis) const {
  MakeValidElemRange(LowElem, HighElem);
  const bool exist = vecimpl::SkewKurt(Data(), LowElem, HighElem, Skewness, Kurtosis);
  vecimpl::SampleCorrect(exist, static_cast<int64_t>(HighElem) - LowElem + 1, Skewness, Kurtosis);
}

double TIntVector::GeometricMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::GeometricMean(*this, Data(), LowElem, HighElem);
}

double TIntVector::HarmonicMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::HarmonicMean(*this, Data(), LowElem, HighElem);
}

int32_t TIntVector::Mode(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<int32_t> os(this, Data(), LowElem, HighElem);
  return os.Mode();
}

double TIntVector::Percentile(double prob, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<int32_t> os(this, Data(), LowElem, HighElem);
  return os.Percentile(prob);
}

bool TIntVector::Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2,
                           double& Q3) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<int32_t> os(this, Data(), LowElem, HighElem);
  Q1 = os.Quartile(0.25);
  Q2 = os.Quartile(0.5);
  Q3 = os.Quartile(0.75);
  return true;
}

bool TIntVector::Histogram(int32_t FirstElem, int32_t LastElem, int32_t FirstBin, int32_t LastBin,
                           int32_t BinWidth, TIntVector* Histo, int32_t& Underflow,
                           int32_t& Overflow, int32_t& MaxCnt) const {
  if (!Histo) return false;
  if (BinWidth <= 0) BinWidth = 1;
  const int64_t span = static_cast<int64_t>(LastBin) - FirstBin + 1;
  const int64_t NB = (span < 0 ? -span : span) / BinWidth;
  if (NB <= 0 || NB > 500)
    throw EQMXVectorError("Component \"" + Name() + ".Histogram\": invalid number of bins");
  // Counting into itself would overwrite the values still to be counted: count a snapshot.
  TIntArray snapshot;
  std::span<const int32_t> src = Data();
  if (Histo == this) {
    snapshot = FVec;
    src = snapshot;
  }
  const int32_t n = static_cast<int32_t>(src.size());
  if (Histo->NrOfElem() != NB) Histo->Resize(static_cast<int32_t>(NB));
  Histo->Clear();
  int64_t under = 0, over = 0, maxcnt = 0;
  const int64_t upper = static_cast<int64_t>(LastBin) + BinWidth;
  auto count = [&](int64_t v, int64_t times) {
    if (v < FirstBin) {
      under += times;
    } else if (v < upper) {
      const int64_t b = (v - FirstBin) / BinWidth + 1;
      // Values past the last bin (a remainder that does not fill a whole bin) count as overflow.
      if (b > NB) {
        over += times;
        return;
      }
      const int64_t c =
          std::min<int64_t>(int64_t(Histo->GetVal(static_cast<int32_t>(b))) + times, INT32_MAX);
      Histo->SetVal(static_cast<int32_t>(b), static_cast<int32_t>(c));
      maxcnt = std::max(maxcnt, c);
    } else {
      over += times;
    }
  };
  if (LastElem >= FirstElem) {
    const int64_t inLo = std::max<int64_t>(FirstElem, 1), inHi = std::min<int64_t>(LastElem, n);
    const int64_t total = static_cast<int64_t>(LastElem) - FirstElem + 1;
    const int64_t inside = inHi >= inLo ? inHi - inLo + 1 : 0;
    for (int64_t e = inLo; e <= inHi; ++e) count(src[static_cast<std::size_t>(e - 1)], 1);
    if (total > inside) count(0, total - inside);
  }
  Underflow = static_cast<int32_t>(std::min<int64_t>(under, INT32_MAX));
  Overflow = static_cast<int32_t>(std::min<int64_t>(over, INT32_MAX));
  MaxCnt = static_cast<int32_t>(maxcnt);
  return true;
}

double TIntVector::PearsonCorrCoeff(const TIntVector* OtherVec) const {
  if (!OtherVec) return 0.0;
  return vecimpl::Pearson(Data(), OtherVec->Data());
}

}  // namespace qmx
