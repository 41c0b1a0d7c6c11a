// TKohonen: sizes, training data, the training schedule and the use of a trained map.
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "kohonen/som_kernel.h"
#include "qmx/kohonen.h"

namespace qmx {

TKohonen::TKohonen(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FDataMat = std::make_unique<TMatrix>();
    MeanVec.Fill(0.0);
    StdDevVec.Fill(0.0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FKohMat = NewWeights(FSizeX, FSizeY, FNrInSens);
  SetWeigtsToRandom();
}

TKohonen::~TKohonen() = default;

std::unique_ptr<TMat3D> TKohonen::NewWeights(int32_t nx, int32_t ny, int32_t nz) const {
  // The product of three 32-bit counts can pass the address space; refuse it before the array
  // computes its size.
  const double cells = double(nx) * double(ny) * double(nz);
  if (cells * sizeof(double) > double(PTRDIFF_MAX) / 2)
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  try {
    auto m = std::make_unique<TMat3D>();
    m->Resize(nx, ny, nz);
    return m;
  } catch (const std::bad_alloc&) {
  } catch (const EQMXMatrixError&) {
  }
  RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
}

void TKohonen::SetSizeX(int32_t n) {
  if (n <= 0) return;
  FKohMat = NewWeights(n, FSizeY, FNrInSens);
  FSizeX = n;
}

void TKohonen::SetSizeY(int32_t n) {
  if (n <= 0) return;
  FKohMat = NewWeights(FSizeX, n, FNrInSens);
  FSizeY = n;
}

namespace {
// A vector of n zeros (TVector keeps the elements it had on a resize).
void ZeroVector(TVector& V, int32_t n) {
  V.SetVecSize(n);
  V.Fill(0.0);
}
}  // namespace

void TKohonen::SetNumInsens(int32_t n) {
  if (n <= 0) return;
  auto w = NewWeights(FSizeX, FSizeY, n);
  std::unique_ptr<TMatrix> d;
  try {
    d = std::make_unique<TMatrix>();
    d->Resize(n, FNrTrnObj);
    d->Fill(0.0);
    ZeroVector(MeanVec, n);
    ZeroVector(StdDevVec, n);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FKohMat = std::move(w);
  FDataMat = std::move(d);
  FNrInSens = n;
}

void TKohonen::SetDataMat(const TMatrix* Value) {
  if (Value == nullptr || Value->NrOfColumns() < 1) return;
  const int32_t nc = Value->NrOfColumns(), nr = Value->NrOfRows();
  auto w = NewWeights(FSizeX, FSizeY, nc);
  std::unique_ptr<TMatrix> d;
  try {
    d = std::make_unique<TMatrix>();
    d->Resize(nc, nr);
    if (Value->HasCells())
      std::copy_n(Value->Data(), static_cast<std::size_t>(nc) * static_cast<std::size_t>(Value->Stride()),
                  d->Data());
    ZeroVector(MeanVec, nc);
    ZeroVector(StdDevVec, nc);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  FKohMat = std::move(w);
  FDataMat = std::move(d);
  FNrInSens = nc;
  FNrTrnObj = nr;
}

void TKohonen::StandardizeData() {
  FDataMat->StandardizeColumns(&MeanVec, &StdDevVec);
  // A column without spread is left as it was by the column standardisation; ApplyIt centres
  // such a variable, so the training data are centred too and both see the same units.
  if (!FDataMat->HasCells()) return;
  for (int32_t c = 1; c <= FNrInSens; ++c)
    if (StdDevVec.GetVal(c) == 0.0) {
      const double m = MeanVec.GetVal(c);
      double* col = FDataMat->ColumnData(c);
      for (int32_t r = 0; r < FNrTrnObj; ++r) col[r] -= m;
    }
}

void TKohonen::SetNrOfTrnSteps(int32_t Value) noexcept {
  if (Value >= 1) FMaxSteps = Value;
}

void TKohonen::SetWeigtsToRandom() {
  for (int32_t x = 1; x <= FSizeX; ++x)
    for (int32_t y = 1; y <= FSizeY; ++y)
      for (int32_t i = 1; i <= FNrInSens; ++i) FKohMat->SetVal(x, y, i, (RandomUniform() - 0.5) * 0.2);
}

void TKohonen::Trainit() {
  FCurStep = 1;
  SetWeigtsToRandom();
  ContinueTraining();
}

void TKohonen::DoFeedback(int32_t percent) { FireEvent(OnFeedback, this, percent); }

void TKohonen::RunEpoch() {
  som::Geometry g;
  g.NX = FSizeX;
  g.NY = FSizeY;
  g.NV = FNrInSens;
  g.Cyclic = FCyclic;
  g.SetRadius(FCurNeighb);
  som::Epoch e;
  try {
    e.Load(g, *FKohMat);
    e.Run(g, *FDataMat, FCurAlpha);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  e.Store(g, *FKohMat);
}

void TKohonen::ContinueTraining() {
  FAbort = false;
  do {
    // Past the end of the schedule (NrOfTrnSteps lowered below the current step) the epoch
    // runs at rate 0 instead of letting the squared fraction grow again.
    const double f = FCurStep >= FMaxSteps ? 0.0 : double(int64_t(FMaxSteps) - FCurStep) / double(FMaxSteps);
    const double r = std::nearbyint(f * f * (double(FMaxNeighb) - 1.0) + 1.0);
    FCurNeighb = static_cast<int32_t>(std::clamp(r, double(INT32_MIN), double(INT32_MAX)));
    FCurAlpha = f * f * FMaxAlpha;
    RunEpoch();
    const double pct = std::nearbyint(double(FCurStep) * 100.0 / double(FMaxSteps));
    DoFeedback(static_cast<int32_t>(std::min(pct, 100.0)));
    if (FCurStep < INT32_MAX) ++FCurStep;
  } while (!FAbort && FCurStep < FMaxSteps);
  FAbort = false;
}

void TKohonen::ApplyIt(const TVector* InData, int32_t& BestIx, int32_t& BestIy, double& Distance) const {
  Distance = uc_MaxDouble;
  if (InData == nullptr) return;
  std::vector<double> u(static_cast<std::size_t>(FNrInSens));
  for (int32_t i = 1; i <= FNrInSens; ++i) {
    const double m = MeanVec.GetVal(i), s = StdDevVec.GetVal(i);
    u[i - 1] = s == 0.0 ? InData->GetVal(i) - m : (InData->GetVal(i) - m) / s;
  }
  som::Geometry g;
  g.NX = FSizeX;
  g.NY = FSizeY;
  g.NV = FNrInSens;
  som::BestCell(g, *FKohMat, u.data(), BestIx, BestIy, Distance);
}

double TKohonen::GetWeight(int32_t ix, int32_t iy, int32_t wi) const noexcept {
  if (ix < 1 || ix > FSizeX || iy < 1 || iy > FSizeY || wi < 1 || wi > FNrInSens) return 0.0;
  const double w = FKohMat->GetVal(ix, iy, wi), m = MeanVec.GetVal(wi), s = StdDevVec.GetVal(wi);
  return s == 0.0 ? w + m : w * s + m;
}

}  // namespace qmx
