// TVector: construction, copying, element access and the element-wise operations.
#include <algorithm>
#include <cmath>
#include <new>

#include "qmx/math1.h"
#include "qmx/vector.h"
#include "vector/vec_impl.h"

namespace qmx {

TVector::TVector(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FVec.assign(1, 0.0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXVectorError>(this, ": not enough memory on heap");
  }
}

TVector::~TVector() = default;

void TVector::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TVector*>(Source);
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

void TVector::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TVector*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

bool TVector::Resize(int32_t NE) { return vecimpl::Resize(*this, FVec, FNElem, NE); }

void TVector::SetVecSize(int32_t NE) {
  if (NE > 0 && NE != FNElem) Resize(NE);
}

double TVector::GetVal(int32_t Elem) const noexcept {
  if (Elem < 1 || Elem > FNElem) return 0.0;
  return FVec[static_cast<std::size_t>(Elem - 1)];
}

void TVector::SetVal(int32_t Elem, double Value) {
  if (Elem < 1 || Elem > FNElem) return;
  FVec[static_cast<std::size_t>(Elem - 1)] = Value;
  FIsEmpty = false;
  Changed();
}

void TVector::Changed() { FireEvent(OnChange, this); }

void TVector::SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                           int32_t last) {
  FireEvent(OnSortExchange, this, ExchgWhat, index1, index2, first, last);
}

void TVector::MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept {
  MakeValidRange(FNElem, LowElem, HighElem);
}

std::string TVector::CRCofData() const { return CRCTextOf(std::span<const double>(FVec)); }

void TVector::Fill(double value) {
  std::fill(FVec.begin(), FVec.end(), value);
  FIsEmpty = false;
  Changed();
}

void TVector::Clear() {
  std::fill(FVec.begin(), FVec.end(), 0.0);
  FIsEmpty = true;
  Changed();
}

void TVector::AbsVal() {
  for (double& x : FVec) x = std::fabs(x);
  Changed();
}

void TVector::SMult(double scalar) {
  for (double& x : FVec) x *= scalar;
  Changed();
}

void TVector::Add(const TVector* OtherVec) {
  if (!OtherVec) return;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  const double* o = OtherVec->FVec.data();
  double* x = FVec.data();
  for (std::size_t i = 0; i < FVec.size(); ++i) x[i] += o[i];
  Changed();
}

void TVector::Subtract(const TVector* OtherVec) {
  if (!OtherVec) return;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  const double* o = OtherVec->FVec.data();
  double* x = FVec.data();
  for (std::size_t i = 0; i < FVec.size(); ++i) x[i] -= o[i];
  Changed();
}

double TVector::DotProduct(const TVector* OtherVec) const {
  if (!OtherVec) return 0.0;
  if (OtherVec->FNElem != FNElem)
    RaiseComponentError<EQMXVectorError>(this, ": vectors have different dimensions");
  double s = 0.0;
  for (std::size_t i = 0; i < FVec.size(); ++i) s += FVec[i] * OtherVec->FVec[i];
  return s;
}

double TVector::EuclideanDistance(const TVector* OtherVec) const {
  if (!OtherVec || OtherVec->FNElem != FNElem)
    throw EQMXVectorError("EuclideanDistance: dimensions of vectors do not match");
  double s = 0.0;
  for (std::size_t i = 0; i < FVec.size(); ++i) {
    double d = FVec[i] - OtherVec->FVec[i];
    s += d * d;
  }
  return std::sqrt(s);
}

double TVector::Correlate(const TVector* OtherVec, int32_t ElemShift) const {
  if (!OtherVec) return 0.0;
  // Only the overlap contributes: other elements count as 0.
  const int64_t lo = std::max<int64_t>(1, 1 - static_cast<int64_t>(ElemShift));
  const int64_t hi = std::min<int64_t>(FNElem, OtherVec->FNElem - static_cast<int64_t>(ElemShift));
  double s = 0.0;
  for (int64_t i = lo; i <= hi; ++i)
    s += FVec[static_cast<std::size_t>(i - 1)] *
         OtherVec->FVec[static_cast<std::size_t>(i + ElemShift - 1)];
  return s;
}

double TVector::CalcVecLeng() const {
  double s = 0.0;
  for (double x : FVec) s += x * x;
  return std::sqrt(s);
}

void TVector::SetVecLeng(double x) {
  double len = CalcVecLeng();
  if (len == 0) throw EQMXVectorError("vector has zero length");
  const double f = x / len;
  for (double& e : FVec) e *= f;
  Changed();
}

int32_t TVector::Find(int32_t LowElem, int32_t HighElem, double value) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::FindNearest(Data(), LowElem, HighElem, value);
}

int32_t TVector::FindInSortedVector(bool Ascending, double Value) const {
  return vecimpl::FindInSorted(Data(), Ascending, Value);
}

void TVector::SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast) {
  vecimpl::SortElems(*this, Ascending, RangeFirst, RangeLast);
}

void TVector::Mirror() {
  std::reverse(FVec.begin(), FVec.end());
  Changed();
}

void TVector::ShuffleElems() { vecimpl::Shuffle(Data()); }

void TVector::Clone(const TVector* VecSource) { vecimpl::Clone(*this, VecSource); }

void TVector::CopyFrom(const TVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                       int32_t DestElem) {
  vecimpl::CopyFrom<TVector, double>(*this, VecSource, SourceElemLo, SourceElemHi, DestElem);
}

void TVector::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double w = RangeHigh - RangeLow;
  for (double& x : FVec) x = RangeLow + RandomUniform() * w;
  FIsEmpty = false;
  Changed();
}

void TVector::FillRandomGauss(double Mean, double StdDev) {
  for (double& x : FVec) x = GRandom() * StdDev + Mean;
  FIsEmpty = false;
  Changed();
}

}  // namespace qmx
