// TIntMatrix: the integer twin of TMatrix, a column-and-row container of 32-bit signed integers
// with a second, sparse representation (a sorted list of the stored cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/runtime.h"

namespace qmx {

class TVector;
class TIntVector;

// One stored cell of the sparse representation (12 bytes).
struct TSpMatElemInt {
  int32_t colidx = 0;
  int32_t rowidx = 0;
  int32_t value = 0;
};

// Integer sums and products wrap modulo 2^32. In sparse mode the operations that only read
// cells see the logical matrix (cells without a record read 0); the operations that rewrite
// dense cells leave a sparse matrix unchanged (see docs/matrix.md, section TIntMatrix).
class TIntMatrix : public TComponent {
 public:
  // Dense 1 x 1 holding 0.
  explicit TIntMatrix(TComponent* AOwner = nullptr);
  // Sparse, 0 x 0, AllocBy (at least 1) records allocated.
  TIntMatrix(TComponent* AOwner, int32_t AllocBy);
  static TIntMatrix* CreateSparse(TComponent* AOwner, int32_t AllocBy) {
    return new TIntMatrix(AOwner, AllocBy);
  }
  ~TIntMatrix() override;
  std::string ClassName() const override { return "TIntMatrix"; }

  // ---- copying ----------------------------------------------------------------------------
  // Sizes, DataID, representation, cells or records and the three event members.
  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;
  // Nothing when MatSource is null or of the other representation.
  void Clone(const TIntMatrix* MatSource);

  // ---- representation ---------------------------------------------------------------------
  bool IsSparse() const noexcept { return FIsSparse; }
  void ArrayToSparse(int32_t AllocBy);
  void SparseToArray();
  int32_t AllocBy() const noexcept { return FAllocBy; }
  int32_t NumAllocated() const noexcept { return FNumAllocated; }
  int32_t SparseNumElem() const noexcept { return FSparseNumElem; }
  int32_t SparseLowCol() const noexcept { return FSparseLowCol; }
  int32_t SparseHighCol() const noexcept { return FSparseHighCol; }
  int32_t SparseLowRow() const noexcept { return FSparseLowRow; }
  int32_t SparseHighRow() const noexcept { return FSparseHighRow; }
  // Record i (1..SparseNumElem) in column-then-row order; an empty record outside.
  TSpMatElemInt SparseRecord(int32_t i) const noexcept;

  // ---- size -------------------------------------------------------------------------------
  int32_t NrOfColumns() const noexcept { return FNCol; }
  int32_t NrOfRows() const noexcept { return FNRow; }
  // False without change when both sizes are the current ones; sparse mode always gives false.
  bool Resize(int32_t Nc, int32_t Nr);
  bool ResizeAndClear(int32_t Nc, int32_t Nr);
  void SetNCols(int32_t Nc);
  void SetNRows(int32_t Nr);

  // ---- elements ---------------------------------------------------------------------------
  int32_t GetVal(int32_t Nc, int32_t Nr) const noexcept;
  int32_t Elem(int32_t Nc, int32_t Nr) const noexcept { return GetVal(Nc, Nr); }
  // Dense: inside the bounds only. Sparse: any Nc, Nr >= 1 (the matrix grows). Fires OnChange.
  void SetVal(int32_t Nc, int32_t Nr, int32_t Value);

  // Dense storage, columns contiguous: cell (c, r) at (c-1)*Stride() + (r-1). Empty in sparse
  // mode. Writes through it fire no event.
  int32_t* Data() noexcept { return FMat.data(); }
  const int32_t* Data() const noexcept { return FMat.data(); }
  int32_t Stride() const noexcept { return FNRow > 0 ? FNRow : 1; }

  // ---- settings and events ----------------------------------------------------------------
  const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(const std::string& AID) { FDataID = AID; }
  TNotifyEvent OnChange;
  TSortExchgEvent OnSortExchange;
  TOnPercentDoneEvent OnPercentDone;
  void Changed();
  void SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                    int32_t last);
  // Fires OnPercentDone with this matrix as Sender.
  void PercDone(TObject* Sender, int32_t Percent);
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
    MakeValidRange(FNCol, LowCol, HighCol);
  }
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
    MakeValidRange(FNRow, LowRow, HighRow);
  }
  // 32 hexadecimal digits over the cells, column by column.
  std::string CRCofData() const;

  // ---- operations of both representations -------------------------------------------------
  void Fill(int32_t value);
  bool Transpose();
  int32_t Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const;
  int32_t Trace() const;
  void MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
              int32_t& Minimum, int32_t& Maximum) const;
  void MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Mean,
               double& Variance) const;
  void SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                double& Skewness, double& Kurtosis) const;
  void SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Skewness, double& Kurtosis) const;
  void CopyRowToVec(TIntVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const;
  void CopyColToVec(TIntVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const;
  void CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  bool Add(const TIntMatrix* MatB);

  // ---- dense operations (read-only ones also read a sparse matrix) --------------------------
  int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                      int32_t RangeLow, int32_t RangeHigh) const;
  int32_t CountMaskedZeros(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                           uint32_t Bitmask) const;
  void MeanVec(TDims Dim, TVector* Means) const;
  void FillDiag(int32_t value);
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t Value,
            int32_t& ColIx, int32_t& RowIx) const;
  int32_t FindInSortedColumn(int32_t Col, bool ColIsAscending, int32_t Value) const;
  double GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  double HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  bool Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Q1,
                 double& Q2, double& Q3) const;
  double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow) const;
  double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow, int32_t SampleSize) const;
  bool Subtract(const TIntMatrix* MatB);
  void SMult(int32_t Scalar);
  void SAdd(int32_t Scalar);
  bool EMult(const TIntMatrix* MatB, TIntMatrix* MatRes);
  bool Multiply(const TIntMatrix* MatB, TIntMatrix* MatRes);
  bool Multiply(const TIntVector* VecB, TIntVector* VecRes);
  bool MultiplyTransposed(const TIntMatrix* MatB, TIntMatrix* MatRes);
  bool TransposeAndMultiply(const TIntMatrix* MatB, TIntMatrix* MatRes);
  bool TransposeAndMultiply(const TIntVector* VecB, TIntVector* VecRes);
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                int32_t HighCol, int32_t HighRow);
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                int32_t HighCol, int32_t HighRow);
  void MirrorColumns();
  void MirrorRows();
  // Orientation ordinal 0: one result per row; otherwise one per column.
  void EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const;
  void ExchangeColumns(int32_t c1, int32_t c2);
  void ExchangeRows(int32_t r1, int32_t r2);

  // ---- storage: XML, text file, streams, binary file, sparse file ---------------------------
  // Loaders return false and leave the matrix unchanged on any failure.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader,
                          const std::string& DataID) const;
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  bool SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  bool StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                   const std::string& FileName) const;
  void SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  void SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize);
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize);
  bool SaveBinary(const std::string& FName) const;
  bool LoadBinary(const std::string& FName);
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                        std::string& DataID) const;
  bool StoreSparseMat(const std::string& FileName) const;
  bool LoadSparseMat(const std::string& FileName);

 private:
  std::size_t Index(int32_t c, int32_t r) const noexcept {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Stride()) +
           static_cast<std::size_t>(r - 1);
  }
  // Position of the first record not before (c, r) among records 0..n-1 (0-based).
  std::size_t SparseSearch(int32_t c, int32_t r) const noexcept;
  void SparseReset();
  void SparseStore(int32_t c, int32_t r, int32_t v);  // insertion without event
  // Values of the normalised block in column order (unstored sparse cells read 0).
  std::vector<int32_t> BlockValues(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                   int32_t HighRow) const;
  // Replaces contents and representation with those of Src (the loaders' commit step).
  void TakeContents(TIntMatrix& Src) noexcept;
  friend struct TIntMatrixIO;

  int32_t FNCol = 1;
  int32_t FNRow = 1;
  std::string FDataID;
  bool FIsSparse = false;
  int32_t FNumAllocated = 0;
  int32_t FAllocBy = 1;
  int32_t FSparseNumElem = 0;
  int32_t FSparseLowCol = 2147483647;
  int32_t FSparseHighCol = 1;
  int32_t FSparseLowRow = 2147483647;
  int32_t FSparseHighRow = 1;
  std::vector<TSpMatElemInt> SpMat;  // the records in use
  std::vector<int32_t> FMat;         // dense cells
};

}  // namespace qmx
