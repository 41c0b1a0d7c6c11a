// TMat3D: a three-dimensional array of 64-bit floats addressed by column, row and layer (all
// 1-based), with fills, a nearest-value search, range extremes and percentiles, layer copies to
// and from TMatrix, a checksum and XML storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

class TMatrix;
namespace matio {
class CharSource;
}

class TMat3D : public TComponent {
 public:
  explicit TMat3D(TComponent* AOwner = nullptr);
  ~TMat3D() override;
  std::string ClassName() const override { return "TMat3D"; }

  // ---- size (every count is at least 1) ----------------------------------------------------
  int32_t NrOfColumns() const noexcept { return FNumX; }
  int32_t NrOfRows() const noexcept { return FNumY; }
  int32_t NrOfLayers() const noexcept { return FNumZ; }
  // Nothing unless a count differs and all three are >= 1; keeps the overlapping elements,
  // new ones 0; OnChange.
  bool Resize(int32_t Nc, int32_t Nr, int32_t Nl);
  bool ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl);
  // A value below 1 becomes 1.
  void SetNCols(int32_t Nc);
  void SetNRows(int32_t Nr);
  void SetNLayers(int32_t Nl);

  // ---- elements (reads outside give 0, writes outside are ignored; no event) -----------------
  double GetVal(int32_t Nx, int32_t Ny, int32_t Nz) const noexcept {
    if (Nx < 1 || Nx > FNumX || Ny < 1 || Ny > FNumY || Nz < 1 || Nz > FNumZ) return 0.0;
    return FMat[Index(Nx, Ny, Nz)];
  }
  double Elem(int32_t Nx, int32_t Ny, int32_t Nz) const noexcept { return GetVal(Nx, Ny, Nz); }
  void SetVal(int32_t Nx, int32_t Ny, int32_t Nz, double Value) noexcept {
    if (Nx < 1 || Nx > FNumX || Ny < 1 || Ny > FNumY || Nz < 1 || Nz > FNumZ) return;
    FMat[Index(Nx, Ny, Nz)] = Value;
  }

  // ---- raw storage -----------------------------------------------------------------------
  // One allocation, layer index fastest, then row, then column: element (c, r, l) lies at
  // ((c-1)*NrOfRows + (r-1))*NrOfLayers + (l-1), so the layers of one cell are contiguous
  // (CellData). Writes through these pointers fire no event.
  double* Data() noexcept { return FMat.data(); }
  const double* Data() const noexcept { return FMat.data(); }
  std::size_t NrOfElements() const noexcept { return FMat.size(); }
  // Unchecked: 1 <= c <= NrOfColumns, 1 <= r <= NrOfRows.
  double* CellData(int32_t c, int32_t r) noexcept { return FMat.data() + Index(c, r, 1); }
  const double* CellData(int32_t c, int32_t r) const noexcept { return FMat.data() + Index(c, r, 1); }

  // ---- settings and events -------------------------------------------------------------------
  const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(const std::string& AID) { FDataID = AID; }
  TNotifyEvent OnChange;
  void Changed();

  // ---- ranges -----------------------------------------------------------------------------
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
    MakeValidRange(FNumX, LowCol, HighCol);
  }
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
    MakeValidRange(FNumY, LowRow, HighRow);
  }
  void MakeValidLayerRange(int32_t& LowLayer, int32_t& HighLayer) const noexcept {
    MakeValidRange(FNumZ, LowLayer, HighLayer);
  }

  // ---- fills --------------------------------------------------------------------------------
  // No event.
  void Fill(double Value);
  // (i, i, i) := Value; OnChange.
  void FillDiag(double Value);
  // Column-outermost, then row, then layer; OnChange.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  void FillRandomGauss(double Mean, double StdDev);

  // ---- search and range statistics ---------------------------------------------------------------
  // The element nearest to Value (the first one visited wins ties).
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
            int32_t HighLayer, double Value, int32_t& ColIx, int32_t& RowIx, int32_t& LayerIx) const;
  void MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
              int32_t HighLayer, double& Minimum, double& Maximum) const;
  double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer) const;
  // Estimate from SampleSize values drawn with repetition (a generator of its own).
  double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer, int32_t SampleSize) const;

  // ---- copies --------------------------------------------------------------------------------
  // DestMat becomes the column x row block of Layer.
  void CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                         int32_t HighRow, int32_t Layer) const;
  // Source cell (c, r) goes to (c + LayLowCol - SrcLowCol, r + LayLowRow - SrcLowRow) of Layer
  // when that lies inside; the source bounds are taken as given. No event.
  void CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                         int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer, int32_t LayLowCol,
                         int32_t LayLowRow);
  // Resize to the source's counts and copy every element (DataID stays); OnChange.
  void Clone(const TMat3D* MatSource);
  // A TMat3D source: counts, DataID, elements and OnChange, firing nothing.
  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;

  // 64 hexadecimal digits over the elements, column-outermost, then row, then layer.
  std::string CRCofData() const;

  // ---- XML ----------------------------------------------------------------------------------
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const;
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  bool SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;

 private:
  std::size_t Index(int32_t c, int32_t r, int32_t l) const noexcept {
    return (static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(FNumY) +
            static_cast<std::size_t>(r - 1)) * static_cast<std::size_t>(FNumZ) +
           static_cast<std::size_t>(l - 1);
  }
  void LayerCheck(int32_t Layer) const;
  bool ReadXml(matio::CharSource& Src, const std::string& DataID);

  int32_t FNumX = 1;
  int32_t FNumY = 1;
  int32_t FNumZ = 1;
  std::string FDataID;
  std::vector<double> FMat;
};

}  // namespace qmx
