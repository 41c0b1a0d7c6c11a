// TMatrix: the two-dimensional container of 64-bit floats, addressed by column and row (both
// 1-based), with statistics, linear algebra, correlation, edge vectors and distances.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/matrix/matxml.h"
#include "qmx/runtime.h"

namespace qmx {

class TVector;
class TIntVector;
class TIntMatrix;

enum TNormType { ntColwise, ntRowwise, ntSpectral, ntFrobenius };
enum TEdgeOp { eopMin, eopMax, eopSum, eopMean };
enum TDistMode { dmJaccard, dmManhattan, dmEuclid, dmEuclidSqr, dmDice, dmUserDef };

// Display names of the distance modes, in the order of TDistMode.
extern const char* const DistModeId[6];

class TMatrix : public TComponent {
 public:
  explicit TMatrix(TComponent* AOwner = nullptr);
  ~TMatrix() override;
  std::string ClassName() const override { return "TMatrix"; }

  // ---- copying ----------------------------------------------------------------------------
  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;
  // Resize to the source's size, copy every cell through SetVal, then OnChange.
  void Clone(const TMatrix* MatSource);

  // ---- size -------------------------------------------------------------------------------
  int32_t NrOfColumns() const noexcept { return FNCol; }
  int32_t NrOfRows() const noexcept { return FNRow; }
  bool Resize(int32_t Nc, int32_t Nr);
  bool ResizeAndClear(int32_t Nc, int32_t Nr);
  void SetNCols(int32_t Nc);
  void SetNRows(int32_t Nr);

  // ---- elements (reads outside give 0.0, writes outside are ignored) ------------------------
  double GetVal(int32_t Nc, int32_t Nr) const noexcept {
    if (Nc < 1 || Nc > FNCol || Nr < 1 || Nr > FNRow) return 0.0;
    return FMat[Index(Nc, Nr)];
  }
  double Elem(int32_t Nc, int32_t Nr) const noexcept { return GetVal(Nc, Nr); }
  // Stores inside the bounds and fires OnChange.
  void SetVal(int32_t Nc, int32_t Nr, double Value);

  // ---- raw storage -----------------------------------------------------------------------
  // Columns are contiguous in one block: cell (c, r) lies at (c-1)*Stride() + (r-1), where
  // Stride() = max(NrOfRows, 1). A dimension of 0 keeps one allocated slot, so Data() is never
  // null. Writes through these pointers fire no event; call Changed() when done.
  double* Data() noexcept { return FMat.data(); }
  const double* Data() const noexcept { return FMat.data(); }
  int32_t Stride() const noexcept { return FNRow > 0 ? FNRow : 1; }
  // Unchecked access for inner loops: 1 <= c <= NrOfColumns, 1 <= r <= NrOfRows.
  double* ColumnData(int32_t c) noexcept { return FMat.data() + static_cast<std::size_t>(c - 1) * Stride(); }
  const double* ColumnData(int32_t c) const noexcept {
    return FMat.data() + static_cast<std::size_t>(c - 1) * Stride();
  }
  double& Cell(int32_t c, int32_t r) noexcept { return FMat[Index(c, r)]; }
  double Cell(int32_t c, int32_t r) const noexcept { return FMat[Index(c, r)]; }
  // Takes Cells (max(Nc, 1) x max(Nr, 1) values, column-major) as the new storage, for loaders
  // that parsed into temporaries; no event.
  void AdoptCells(std::vector<double>&& Cells, int32_t Nc, int32_t Nr) noexcept {
    FMat = std::move(Cells);
    FNCol = Nc;
    FNRow = Nr;
  }
  // True when the matrix has at least one cell (both dimensions >= 1).
  bool HasCells() const noexcept { return FNCol > 0 && FNRow > 0; }

  // ---- settings ---------------------------------------------------------------------------
  const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(const std::string& AID) { FDataID = AID; }
  // The first setting for ix <= 1, the second otherwise; values are clamped to -1..25.
  int32_t GetFPrecis(int32_t ix) const noexcept { return ix <= 1 ? FPrecis[0] : FPrecis[1]; }
  int32_t Precision(int32_t ix) const noexcept { return GetFPrecis(ix); }
  void SetFPrecis(int32_t ix, int32_t Value) noexcept;

  // ---- events -----------------------------------------------------------------------------
  TNotifyEvent OnChange;
  TSortExchgEvent OnSortExchange;
  TOnCalcDistanceEvent OnCalcDistance;
  void Changed();
  void SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                    int32_t last);

  // ---- ranges and checksum ----------------------------------------------------------------
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
    MakeValidRange(FNCol, LowCol, HighCol);
  }
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
    MakeValidRange(FNRow, LowRow, HighRow);
  }
  // 64 hexadecimal digits over the cells, column by column.
  std::string CRCofData() const;

  // ---- fills and element arithmetic (each fires OnChange once) ------------------------------
  void Fill(double Value);
  void FillDiag(double Value);
  void FillRandomUniform(double RangeLow, double RangeHigh);
  void FillRandomGauss(double Mean, double StdDev);
  void SMult(double Scalar);
  void SAdd(double Scalar);
  // False (nothing changed) when MatB is null or of another size.
  bool Add(const TMatrix* MatB);
  bool Subtract(const TMatrix* MatB);
  // Cell-wise product into MatRes (resized to this size).
  bool EMult(const TMatrix* MatB, TMatrix* MatRes);

  // ---- reordering -------------------------------------------------------------------------
  bool Transpose();
  void ExchangeColumns(int32_t c1, int32_t c2);
  void ExchangeRows(int32_t r1, int32_t r2);
  void MirrorColumns();
  void MirrorRows();
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                int32_t HighCol, int32_t HighRow);
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                int32_t HighCol, int32_t HighRow);

  // ---- searching --------------------------------------------------------------------------
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, double Value,
            int32_t& ColIx, int32_t& RowIx) const;
  int32_t FindInSortedColumn(int32_t Col, bool ColIsAscending, double Value) const;
  int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                      double RangeLow, double RangeHigh) const;

  // ---- copies to and from vectors and other matrices -----------------------------------------
  void CopyRowToVec(TVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const;
  void CopyColToVec(TVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const;
  void CopyFrom(const TMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  void CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  // One layer of a three-dimensional matrix (any class with NrOfColumns, NrOfRows, NrOfLayers
  // and GetVal(col, row, layer)); SourceLayer is clamped to 1..NrOfLayers.
  template <class M3>
    requires requires(const M3& m) {
      { m.NrOfLayers() } -> std::convertible_to<int32_t>;
      { m.GetVal(1, 1, 1) } -> std::convertible_to<double>;
    }
  void CopyFrom(const M3* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t SourceLayer, int32_t DestCol,
                int32_t DestRow) {
    if (MatSource == nullptr) return;
    const int32_t nl = MatSource->NrOfLayers();
    SourceLayer = std::min(std::max(SourceLayer, 1), nl);
    CopyBlockFrom(MatSource->NrOfColumns(), MatSource->NrOfRows(), SourceColLo, SourceRowLo,
                  SourceColHi, SourceRowHi, DestCol, DestRow,
                  [&](int32_t c, int32_t r) { return double(MatSource->GetVal(c, r, SourceLayer)); });
  }
  void CopyFromVec(TDims Dim, const TVector* VecSource, int32_t Source1stElem,
                   int32_t SourceLastElem, int32_t DestCol, int32_t DestRow);
  // Down a column.
  void CopyFromVec(const TVector* VecSource, int32_t Source1stElem, int32_t SourceLastElem,
                   int32_t DestCol, int32_t DestRow);

  // ---- statistics over a block (no event; the matrix is never reordered) ---------------------
  void MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
              double& Minimum, double& Maximum) const;
  void MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Mean,
               double& Variance) const;
  double Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const;
  double Trace() const;
  double GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  double HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  void SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                double& Skewness, double& Kurtosis) const;
  void SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Skewness, double& Kurtosis) const;
  bool Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Q1,
                 double& Q2, double& Q3) const;
  double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow) const;
  double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow, int32_t SampleSize) const;
  // LoX/HiX are columns, LoY/HiY rows.
  bool Histogram(int32_t LoX, int32_t LoY, int32_t HiX, int32_t HiY, double FirstBin,
                 double LastBin, double BinWidth, TIntVector* Histo, int32_t& Underflow,
                 int32_t& Overflow, int32_t& MaxCnt) const;
  // Ordinal 0: one mean per column; ordinal 1: one mean per row.
  void MeanVec(TDims Dim, TVector* Means) const;
  void StandardizeColumns(TVector* Means, TVector* StdDevs);
  void StandardizeRows(TVector* Means, TVector* StdDevs);
  void MeanCenterColumns(TVector* Means);
  void MeanCenterRows(TVector* Means);
  void QNormalizeColumns(double RefQuant, TVector* Medians, TVector* QuantDiffs);
  void QNormalizeRows(double RefQuant, TVector* Medians, TVector* QuantDiffs);

  // ---- linear algebra and norms -------------------------------------------------------------
  // Products write the result through its setter and fire this matrix's OnChange; the result
  // must be another object than the operands.
  bool Multiply(const TMatrix* MatB, TMatrix* MatRes);
  bool MultiplyTransposed(const TMatrix* MatB, TMatrix* MatRes);
  bool TransposeAndMultiply(const TMatrix* MatB, TMatrix* MatRes);
  bool Multiply(const TVector* VecB, TVector* VecRes);
  bool TransposeAndMultiply(const TVector* VecB, TVector* VecRes);
  // MatRes = A^T A / Norm.
  bool Square(TMatrix* MatRes, double Norm) const;
  bool Invert();
  bool LUdecomposition(TMatrix* MatL, TMatrix* MatU) const;
  double Determinant() const;
  bool CholeskyDecomp(TMatrix* MatL);
  bool Balance();
  double Norm(TNormType nt) const;

  // ---- correlation, differences, edge vectors, distances -------------------------------------
  double Correlate(const TMatrix* OtherMat) const;
  void Diff(int32_t Order);
  // Orientation ordinal 0: one result per row; otherwise one per column.
  void EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const;
  double DistanceOfObjects(TDistMode Mode, int32_t obj1, int32_t obj2) const;
  // 0 on success, -2 when DMat does not have NrOfRows columns, -1 when it is not square.
  int32_t CalcDistMat(TDistMode Mode, TMatrix* DMat) const;

  // ---- storage: XML, text file, streams, binary file -----------------------------------------
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader,
                          const std::string& DataID) const;
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  bool SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  bool StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                   const std::string& FileName) const;
  // A null memory stream is created and handed to the caller, who owns it.
  void SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  void SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  bool SaveBinary(const std::string& FName) const;
  bool LoadBinary(const std::string& FName);
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                        std::string& DataID) const;
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize);
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize, bool AutoDetect);
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize);

 private:
  std::size_t Index(int32_t c, int32_t r) const noexcept {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Stride()) +
           static_cast<std::size_t>(r - 1);
  }
  // Normalised block copy shared by the CopyFrom overloads; Get(c, r) reads the source.
  template <class Getter>
  void CopyBlockFrom(int32_t SrcNC, int32_t SrcNR, int32_t ColLo, int32_t RowLo, int32_t ColHi,
                     int32_t RowHi, int32_t DestCol, int32_t DestRow, Getter Get) {
    auto clampPair = [](int32_t n, int32_t& lo, int32_t& hi) {
      lo = std::min(std::max(lo, 1), n);
      hi = std::min(std::max(hi, 1), n);
      if (hi < lo) std::swap(lo, hi);
    };
    clampPair(SrcNC, ColLo, ColHi);
    clampPair(SrcNR, RowLo, RowHi);
    // Destination indices in 64 bits: a target near the end of the index range must not wrap.
    if (SrcNC > 0 && SrcNR > 0)
      for (int32_t c = ColLo; c <= ColHi; ++c) {
        const int64_t dc = int64_t(DestCol) + (c - ColLo);
        if (dc < 1 || dc > FNCol) continue;
        for (int32_t r = RowLo; r <= RowHi; ++r) {
          const int64_t dr = int64_t(DestRow) + (r - RowLo);
          if (dr >= 1 && dr <= FNRow) SetVal(int32_t(dc), int32_t(dr), Get(c, r));
        }
      }
    Changed();
  }

  int32_t FNCol = 1;
  int32_t FNRow = 1;
  std::string FDataID;
  int32_t FPrecis[2] = {15, -1};
  std::vector<double> FMat;
};

}  // namespace qmx
