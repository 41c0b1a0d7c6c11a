// TMat3D: storage, fills, search, range statistics, layer copies, checksum and XML.
#include "qmx/matrix/tmat3d.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "matrix/matio.h"
#include "matrix/nd_impl.h"
#include "qmx/math1.h"
#include "qmx/matrix/tmatrix.h"

namespace qmx {

namespace {

std::size_t Count3(int32_t nc, int32_t nr, int32_t nl) {
  return static_cast<std::size_t>(nc) * static_cast<std::size_t>(nr) * static_cast<std::size_t>(nl);
}

struct TRange3 {
  int32_t lc, hc, lr, hr, ll, hl;
  std::size_t Count() const {
    return Count3(hc - lc + 1, hr - lr + 1, hl - ll + 1);
  }
};

}  // namespace

TMat3D::TMat3D(TComponent* AOwner) : TComponent(AOwner) { FMat = ndimpl::AllocValues(this, 1); }

TMat3D::~TMat3D() = default;

// ---- size ---------------------------------------------------------------------------------------

bool TMat3D::Resize(int32_t Nc, int32_t Nr, int32_t Nl) {
  if (Nc < 1 || Nr < 1 || Nl < 1 || (Nc == FNumX && Nr == FNumY && Nl == FNumZ)) return true;
  std::vector<double> v = ndimpl::AllocValues(this, Count3(Nc, Nr, Nl));
  const int32_t kc = std::min(Nc, FNumX), kr = std::min(Nr, FNumY), kl = std::min(Nl, FNumZ);
  for (int32_t c = 1; c <= kc; ++c)
    for (int32_t r = 1; r <= kr; ++r)
      std::copy_n(CellData(c, r), kl,
                  v.data() + (static_cast<std::size_t>(c - 1) * Nr + (r - 1)) * static_cast<std::size_t>(Nl));
  FMat = std::move(v);
  FNumX = Nc;
  FNumY = Nr;
  FNumZ = Nl;
  Changed();
  return true;
}

bool TMat3D::ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl) {
  const bool ok = Resize(Nc, Nr, Nl);
  Fill(0.0);
  return ok;
}

void TMat3D::SetNCols(int32_t Nc) { Resize(std::max(Nc, 1), FNumY, FNumZ); }
void TMat3D::SetNRows(int32_t Nr) { Resize(FNumX, std::max(Nr, 1), FNumZ); }
void TMat3D::SetNLayers(int32_t Nl) { Resize(FNumX, FNumY, std::max(Nl, 1)); }

void TMat3D::Changed() { FireEvent(OnChange, this); }

void TMat3D::LayerCheck(int32_t Layer) const {
  if (Layer < 1 || Layer > FNumZ)
    RaiseComponentError<EQMXMatrixError>(this, ": specified layer beyond data range");
}

// ---- fills --------------------------------------------------------------------------------------

void TMat3D::Fill(double Value) { std::fill(FMat.begin(), FMat.end(), Value); }

void TMat3D::FillDiag(double Value) {
  const int32_t n = std::min({FNumX, FNumY, FNumZ});
  for (int32_t i = 1; i <= n; ++i) FMat[Index(i, i, i)] = Value;
  Changed();
}

// The storage order is the visiting order, so the fills run straight through it.
void TMat3D::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double w = RangeHigh - RangeLow;
  for (double& x : FMat) x = RangeLow + RandomUniform() * w;
  Changed();
}

void TMat3D::FillRandomGauss(double Mean, double StdDev) {
  for (double& x : FMat) x = GRandom() * StdDev + Mean;
  Changed();
}

// ---- search and range statistics ------------------------------------------------------------------

void TMat3D::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                  int32_t HighLayer, double Value, int32_t& ColIx, int32_t& RowIx, int32_t& LayerIx) const {
  ColIx = RowIx = LayerIx = 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  double best = uc_MaxDouble;
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const double* p = CellData(c, r);
      for (int32_t l = LowLayer; l <= HighLayer; ++l) {
        const double d = std::fabs(p[l - 1] - Value);
        if (d < best) {
          best = d;
          ColIx = c;
          RowIx = r;
          LayerIx = l;
        }
      }
    }
}

void TMat3D::MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                    int32_t HighLayer, double& Minimum, double& Maximum) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  ndimpl::TExtremes<double> e(uc_MaxReal, -uc_MaxReal);
  ndimpl::TPairProgress prog(int64_t(HighCol - LowCol + 1) * (HighRow - LowRow + 1));
  int64_t pairs = 0;
  const auto nl = static_cast<std::size_t>(HighLayer - LowLayer + 1);
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      e.Take(CellData(c, r) + (LowLayer - 1), nl);
      prog.AdvanceTo(++pairs);
    }
  Minimum = e.Min;
  Maximum = e.Max;
}

double TMat3D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                          int32_t LowLayer, int32_t HighLayer) const {
  prob = ndimpl::ClampProb(prob);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  const TRange3 b{LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer};
  std::vector<double> x = ndimpl::AllocValues(this, b.Count());
  double* out = x.data();
  const auto nl = static_cast<std::size_t>(HighLayer - LowLayer + 1);
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r, out += nl) std::copy_n(CellData(c, r) + (LowLayer - 1), nl, out);
  return ndimpl::SelectRank(x, ndimpl::SelectionRank(x.size(), prob));
}

double TMat3D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                          int32_t LowLayer, int32_t HighLayer, int32_t SampleSize) const {
  prob = ndimpl::ClampProb(prob);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  const TRange3 b{LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer};
  const std::size_t n = b.Count();
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= n)
    return Percentile(prob, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer);
  std::vector<double> s = ndimpl::AllocValues(this, static_cast<std::size_t>(SampleSize));
  ndimpl::TSampleRandom rnd;
  const int32_t nr = HighRow - LowRow + 1, nl = HighLayer - LowLayer + 1;
  for (double& v : s) {
    const auto k = rnd.Next(static_cast<int64_t>(n));
    const auto l = static_cast<int32_t>(k % nl), r = static_cast<int32_t>(k / nl % nr),
               c = static_cast<int32_t>(k / nl / nr);
    v = FMat[Index(LowCol + c, LowRow + r, LowLayer + l)];
  }
  return ndimpl::SelectRank(s, ndimpl::SelectionRank(s.size(), prob));
}

// ---- copies -------------------------------------------------------------------------------------

void TMat3D::CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t Layer) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  LayerCheck(Layer);
  if (DestMat == nullptr) return;
  DestMat->Resize(HighCol - LowCol + 1, HighRow - LowRow + 1);
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    double* d = DestMat->ColumnData(c - LowCol + 1);
    for (int32_t r = LowRow; r <= HighRow; ++r) d[r - LowRow] = FMat[Index(c, r, Layer)];
  }
  DestMat->Changed();
}

void TMat3D::CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                               int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer, int32_t LayLowCol,
                               int32_t LayLowRow) {
  LayerCheck(Layer);
  if (SrcMat == nullptr) return;
  // Only source positions whose target lies inside the layer are visited (in 64 bits), so huge
  // bounds cost nothing; source cells outside the matrix read 0 as usual.
  const int64_t dc = int64_t(LayLowCol) - SrcLowCol, dr = int64_t(LayLowRow) - SrcLowRow;
  const int64_t c0 = std::max<int64_t>(SrcLowCol, 1 - dc), c1 = std::min<int64_t>(SrcHighCol, FNumX - dc);
  const int64_t r0 = std::max<int64_t>(SrcLowRow, 1 - dr), r1 = std::min<int64_t>(SrcHighRow, FNumY - dr);
  for (int64_t c = c0; c <= c1; ++c)
    for (int64_t r = r0; r <= r1; ++r)
      FMat[Index(int32_t(c + dc), int32_t(r + dr), Layer)] = SrcMat->GetVal(int32_t(c), int32_t(r));
}

void TMat3D::Clone(const TMat3D* MatSource) {
  if (MatSource == nullptr) return;
  if (MatSource != this) {
    Resize(MatSource->FNumX, MatSource->FNumY, MatSource->FNumZ);
    std::copy(MatSource->FMat.begin(), MatSource->FMat.end(), FMat.begin());
  }
  Changed();
}

void TMat3D::Assign(const TObject* Source) {
  const auto* src = dynamic_cast<const TMat3D*>(Source);
  if (src == nullptr) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  std::vector<double> v = src->FMat;  // copy first: a failure leaves this object intact
  FMat = std::move(v);
  FNumX = src->FNumX;
  FNumY = src->FNumY;
  FNumZ = src->FNumZ;
  FDataID = src->FDataID;
  OnChange = src->OnChange;
}

void TMat3D::AssignTo(TObject* Dest) const {
  if (auto* d = dynamic_cast<TMat3D*>(Dest)) {
    d->Assign(this);
    return;
  }
  TComponent::AssignTo(Dest);
}

std::string TMat3D::CRCofData() const { return CRCTextOf(std::span<const double>(FMat)); }

// ---- XML ----------------------------------------------------------------------------------------

namespace {
std::string XmlText3(const TMat3D& M, bool CreateHeader, const std::string& DataID) {
  return matio::XmlArrayText("TMat3D", DataID.empty() ? M.DataID() : DataID, CreateHeader, M.NrOfColumns(),
                             M.NrOfRows(), M.NrOfLayers(), 0,
                             [&](int32_t c, int32_t r, int32_t l, int32_t) { return M.CellData(c, r)[l - 1]; });
}
}  // namespace

bool TMat3D::ReadXml(matio::CharSource& Src, const std::string& DataID) {
  matio::XmlArray a;
  if (!matio::ReadXmlArray(Src, DataID, 0, 1, a, matio::XmlOrder::LayerFastest)) return false;
  FMat.swap(a.V);
  FNumX = a.NC;
  FNumY = a.NR;
  FNumZ = a.NL;
  FDataID = a.ID;
  Changed();
  return true;
}

bool TMat3D::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return matio::XmlReadFromStream(InStream, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

bool TMat3D::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  return matio::XmlReadFromOpenFile(InFile, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

bool TMat3D::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return matio::XmlLoadFromFile(FName, [&](matio::CharSource& s) { return ReadXml(s, DataID); });
}

void TMat3D::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const {
  matio::WriteText(OutFile, XmlText3(*this, CreateHeader, DataID));
}

void TMat3D::WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const {
  if (OutStream) matio::WriteText(*OutStream, XmlText3(*this, CreateHeader, DataID));
}

bool TMat3D::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  return matio::WriteWholeFile(FName, XmlText3(*this, true, DataID));
}

}  // namespace qmx
