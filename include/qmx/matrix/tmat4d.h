// TMat4D: a four-dimensional array of 64-bit floats addressed by column, row, layer and time
// slot (all 1-based), typically a series of multi-layer images: fills, range and per-pixel
// statistics, copies to and from TMatrix, TMat3D and arrays, reshaping, a checksum, a block
// file and XML storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

class TMatrix;
class TMat3D;
namespace matio {
class CharSource;
}

// Sender, column, row, layer, time slot (counted within the selection), value.
using TOnReadMat4DElementEvent =
    std::function<void(TObject* Sender, int32_t ix, int32_t iy, int32_t il, int32_t it, double Value)>;

class TMat4D : public TComponent {
 public:
  explicit TMat4D(TComponent* AOwner = nullptr);
  ~TMat4D() override;
  std::string ClassName() const override { return "TMat4D"; }

  // ---- size (every count is at least 1) ----------------------------------------------------
  int32_t NrOfColumns() const noexcept { return FNumX; }
  int32_t NrOfRows() const noexcept { return FNumY; }
  int32_t NrOfLayers() const noexcept { return FNumZ; }
  int32_t NrOfTimeSlots() const noexcept { return FNumT; }
  // Nothing unless a count differs and all four are >= 1; keeps the overlapping elements, new
  // ones 0; OnChange. An allocation failure raises and leaves the object as it was.
  bool Resize(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt);
  bool ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt);
  // A value below 1 becomes 1.
  void SetNCols(int32_t Nc);
  void SetNRows(int32_t Nr);
  void SetNLayers(int32_t Nl);
  void SetNTSlots(int32_t Nt);

  // ---- elements (reads outside give 0, writes outside are ignored; no event) -----------------
  double GetVal(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt) const noexcept {
    if (!Inside(Nx, Ny, Nz, Nt)) return 0.0;
    return FMat[Index(Nx, Ny, Nz, Nt)];
  }
  double Elem(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt) const noexcept { return GetVal(Nx, Ny, Nz, Nt); }
  void SetVal(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt, double Value) noexcept {
    if (Inside(Nx, Ny, Nz, Nt)) FMat[Index(Nx, Ny, Nz, Nt)] = Value;
  }

  // ---- raw storage -----------------------------------------------------------------------
  // One allocation, column index fastest, then row, layer, time slot (the order of the block
  // file): element (c, r, l, t) lies at (((t-1)*NrOfLayers + (l-1))*NrOfRows + (r-1))*NrOfColumns
  // + (c-1). One row of one layer of one time slot is contiguous (RowData), and so is a layer
  // (SliceData) and a time slot. Writes through these pointers fire no event.
  double* Data() noexcept { return FMat.data(); }
  const double* Data() const noexcept { return FMat.data(); }
  std::size_t NrOfElements() const noexcept { return FMat.size(); }
  // Unchecked: all indices inside.
  double* RowData(int32_t r, int32_t l, int32_t t) noexcept { return FMat.data() + Index(1, r, l, t); }
  const double* RowData(int32_t r, int32_t l, int32_t t) const noexcept { return FMat.data() + Index(1, r, l, t); }
  double* SliceData(int32_t l, int32_t t) noexcept { return FMat.data() + Index(1, 1, l, t); }
  const double* SliceData(int32_t l, int32_t t) const noexcept { return FMat.data() + Index(1, 1, l, t); }

  // ---- settings and events -------------------------------------------------------------------
  const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(const std::string& AID) { FDataID = AID; }
  TNotifyEvent OnChange;
  TOnPercentDoneEvent OnPercentDone;
  TOnReadMat4DElementEvent OnReadElement;
  void Changed();
  void PercDone(TObject* Sender, int32_t Percent);
  void ReadElement(TObject* Sender, int32_t ix, int32_t iy, int32_t il, int32_t it, double Value);

  // ---- ranges -----------------------------------------------------------------------------
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept { MakeValidRange(FNumX, LowCol, HighCol); }
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept { MakeValidRange(FNumY, LowRow, HighRow); }
  void MakeValidLayerRange(int32_t& LowLayer, int32_t& HighLayer) const noexcept {
    MakeValidRange(FNumZ, LowLayer, HighLayer);
  }
  void MakeValidTSlotRange(int32_t& LowTimeSlot, int32_t& HighTimeSlot) const noexcept {
    MakeValidRange(FNumT, LowTimeSlot, HighTimeSlot);
  }

  // ---- fills (OnChange unless noted) ------------------------------------------------------------
  void Fill(double Value);
  // (i, i, i, i) := Value.
  void FillDiag(double Value);
  // Every element of Layer in every time slot; ignored out of range; no event.
  void FillLayer(int32_t Layer, double Value);
  // Column-outermost, then row, layer, time slot.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  void FillRandomGauss(double Mean, double StdDev);

  // ---- range statistics (ranges LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer,
  // LowTimeSlot, HighTimeSlot; (0, 0) is the whole dimension) --------------------------------------
  // The element nearest to Value; on equal distances the first column-outermost one wins.
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
            int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double Value, int32_t& ColIx,
            int32_t& RowIx, int32_t& LayerIx, int32_t& TimeSlotIx) const;
  void MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
              int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Minimum,
              double& Maximum) const;
  // Variance (S2 - S^2/n)/(n-1) for n >= 3, else 1.
  void MeanVar(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
               int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Mean,
               double& Variance) const;
  double Sum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
             int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  double SquaredSum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                    int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot,
                    int32_t SampleSize) const;
  int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                      int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double RangeLow,
                      double RangeHigh) const;

  // ---- per-pixel statistics over the layers and time slots of the range, into DestMat
  // (resized to the range's columns x rows) -------------------------------------------------------
  void MeanOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                            int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                            int32_t HighTimeSlot) const;
  void MaximumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                               int32_t HighTimeSlot) const;
  void MinimumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                               int32_t HighTimeSlot) const;
  // Population standard deviation.
  void StdDevOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                              int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                              int32_t HighTimeSlot) const;

  // ---- copies -------------------------------------------------------------------------------
  void CopyFrom(const TMat4D* MatSource, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                int32_t SrcHighRow, int32_t SrcLowLayer, int32_t SrcHighLayer, int32_t SrcLowTSlot,
                int32_t SrcHighTSlot, int32_t DestCol, int32_t DestRow, int32_t DestLayer, int32_t DestTSlot);
  void CopyTimeSlotToMat3D(TMat3D* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                           int32_t LowLay, int32_t HighLay, int32_t TimeSlot) const;
  void CopyMat3DToTimeSlot(const TMat3D* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                           int32_t SrcHighRow, int32_t SrcLowLay, int32_t SrcHighLay, int32_t TimeSlot,
                           int32_t DestCol, int32_t DestRow, int32_t DestLayer);
  void CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                         int32_t Layer, int32_t TimeSlot) const;
  void CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                         int32_t SrcHighRow, int32_t Layer, int32_t TimeSlot, int32_t LayLowCol,
                         int32_t LayLowRow);
  void Copy1DArrayToPixel(const TDoubleArray& Src, int32_t Col, int32_t Row, int32_t FirstLayer,
                          int32_t TimeSlot);
  void Clone(const TMat4D* MatSource);
  // A TMat4D source: counts, DataID, elements and the three events, firing nothing.
  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;

  // ---- reshaping (OnChange at the end) ------------------------------------------------------------
  void Cut(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
           int32_t HighLayer, int32_t LowTimeslot, int32_t HighTimeslot);
  void Resample(int32_t XDiv, int32_t XOffset, int32_t YDiv, int32_t YOffset, int32_t ZDiv, int32_t ZOffset,
                int32_t TDiv, int32_t TOffset, bool Average);
  // False (object unchanged) when stopped by the abort flag.
  bool Transpose();
  void MirrorColumns();
  void MirrorRows();
  void MirrorLayers();
  void MirrorTimeSlots();

  // ---- addressing and size -----------------------------------------------------------------------
  // 0-based address with the layer fastest, then column, then row; -1 for an index out of range,
  // -2 when columns x rows x layers exceeds 2147483647.
  int32_t Lin3DAddr(int32_t ix, int32_t iy, int32_t il) const noexcept;
  bool ConvertLinTo3DAddr(int32_t LinAddr, int32_t& ix, int32_t& iy, int32_t& il) const noexcept;
  // In units of 1048576 bytes.
  double MemoryConsumed() const noexcept;
  // 64 hexadecimal digits over the elements column-outermost, then row, layer, time slot.
  std::string CRCofData() const;

  // ---- block file ---------------------------------------------------------------------------
  void SaveBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) const;
  void AppendToBinaryFile(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) const;
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows, int32_t& NrLayers,
                        int32_t& NrTimeSlots, std::string& DataID) const;
  void LoadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  void ReadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  void ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot);
  void ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot, TDouble2DArray& Data) const;

  // ---- XML ----------------------------------------------------------------------------------
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const;
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  bool SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;

 private:
  bool Inside(int32_t c, int32_t r, int32_t l, int32_t t) const noexcept {
    return c >= 1 && c <= FNumX && r >= 1 && r <= FNumY && l >= 1 && l <= FNumZ && t >= 1 && t <= FNumT;
  }
  std::size_t Index(int32_t c, int32_t r, int32_t l, int32_t t) const noexcept {
    return ((static_cast<std::size_t>(t - 1) * static_cast<std::size_t>(FNumZ) + static_cast<std::size_t>(l - 1)) *
                static_cast<std::size_t>(FNumY) +
            static_cast<std::size_t>(r - 1)) *
               static_cast<std::size_t>(FNumX) +
           static_cast<std::size_t>(c - 1);
  }
  [[noreturn]] void Raise(const char* Tail) const;
  // Takes V (Nc x Nr x Nl x Nt values in storage order) as the new storage; no event.
  void Adopt(std::vector<double>&& V, int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) noexcept;
  template <class Op>
  void PixelStats(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                  int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, Op O) const;
  bool ReadXml(matio::CharSource& Src, const std::string& DataID);
  friend struct TMat4DFile;

  int32_t FNumX = 1;
  int32_t FNumY = 1;
  int32_t FNumZ = 1;
  int32_t FNumT = 1;
  std::string FDataID;
  std::vector<double> FMat;
};

}  // namespace qmx
