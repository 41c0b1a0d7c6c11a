// Module Qmx_vector: the one-dimensional containers TVector (64-bit floats) and TIntVector
// (32-bit signed integers). Element indices are 1-based; element i is stored at position i-1.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

class TIntVector;

// Quadrature rule of TVector::Integrate.
enum TIntegMethod { imSimple, imTrapezoidal, imSimpson };

// ---- TVector --------------------------------------------------------------------------------

class TVector : public TComponent {
 public:
  // One element of value 0.0, IsEmpty true, no event handlers.
  explicit TVector(TComponent* AOwner = nullptr);
  ~TVector() override;
  std::string ClassName() const override { return "TVector"; }

  // Copies size, IsEmpty, elements and both event members from another TVector (or derived);
  // anything else goes to the framework (which raises). Fires no event.
  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;

  // ---- properties ----
  int32_t NrOfElem() const noexcept { return FNElem; }
  void SetVecSize(int32_t NE);  // Resize(NE) only when NE > 0 and NE differs
  double Elem(int32_t i) const noexcept { return GetVal(i); }
  double GetVal(int32_t Elem) const noexcept;  // 0.0 outside 1..NrOfElem
  void SetVal(int32_t Elem, double Value);     // ignored outside; clears IsEmpty; OnChange
  double Leng() const { return CalcVecLeng(); }
  bool IsEmpty() const noexcept { return FIsEmpty; }

  TNotifyEvent OnChange;
  TSortExchgEvent OnSortExchange;

  // Direct access to the storage for the library's inner loops (element i at [i-1]). Writes
  // through it fire no event and leave IsEmpty alone; call Changed() afterwards when needed.
  std::span<double> Data() noexcept { return {FVec.data(), FVec.size()}; }
  std::span<const double> Data() const noexcept { return {FVec.data(), FVec.size()}; }

  // ---- storage and element operations ----
  // false for NE <= 0; same size: true, no event; otherwise keeps 1..min, zero-fills, OnChange.
  // Raises EQMXVectorError ": not enough memory" when the allocation fails (size kept).
  bool Resize(int32_t NE);
  void Changed();
  void SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                    int32_t last);
  void MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept;
  std::string CRCofData() const;  // 64 hexadecimal digits

  void Fill(double value);
  void Clear();
  void AbsVal();
  void SMult(double scalar);
  void Add(const TVector* OtherVec);
  void Subtract(const TVector* OtherVec);
  double DotProduct(const TVector* OtherVec) const;
  double EuclideanDistance(const TVector* OtherVec) const;
  double Correlate(const TVector* OtherVec, int32_t ElemShift) const;
  double CalcVecLeng() const;
  void SetVecLeng(double x);
  int32_t Find(int32_t LowElem, int32_t HighElem, double value) const;
  int32_t FindInSortedVector(bool Ascending, double Value) const;
  void SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast);
  void Mirror();
  void ShuffleElems();
  void Clone(const TVector* VecSource);
  void CopyFrom(const TVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                int32_t DestElem);
  void FillRandomUniform(double RangeLow, double RangeHigh);
  void FillRandomGauss(double Mean, double StdDev);

  // ---- statistics (none fires OnChange) ----
  void MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum) const;
  void MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum,
              int32_t& MinIx, int32_t& MaxIx) const;
  void MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const;
  double Sum(int32_t LowElem, int32_t HighElem) const;
  void SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness, double& Kurtosis) const;
  void SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                      double& Kurtosis) const;
  double GeometricMean(int32_t LowElem, int32_t HighElem) const;
  double HarmonicMean(int32_t LowElem, int32_t HighElem) const;
  double Mode(int32_t LowElem, int32_t HighElem) const;
  double Percentile(double prob, int32_t LowElem, int32_t HighElem) const;
  bool Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2, double& Q3) const;
  bool Histogram(int32_t FirstElem, int32_t LastElem, double FirstBin, double LastBin,
                 double BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                 int32_t& MaxCnt) const;
  double PearsonCorrCoeff(const TVector* OtherVec) const;
  double Integrate(double BoundLow, double BoundHigh, TIntegMethod Method) const;
  void Standardize(double& mean, double& stddev);
  double MeanCenter();
  void QNormalize(double RefQuant, double& Median, double& QuantDiff);

  // ---- text file and stream storage ----
  bool StoreOnFile(int32_t FirstElem, int32_t LastElem, int32_t Precision,
                   const std::string& FileName) const;
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize);
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize, bool AutoDetect);
  // A null OutStream receives a new memory stream that the caller owns.
  void SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const;
  void SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const;
  bool LoadFromStream(TStream* InStream, bool AdjustVectorSize);

 private:
  int32_t FNElem = 1;
  bool FIsEmpty = true;
  TDoubleArray FVec;
};

// ---- TIntVector -----------------------------------------------------------------------------

class TIntVector : public TComponent {
 public:
  explicit TIntVector(TComponent* AOwner = nullptr);
  ~TIntVector() override;
  std::string ClassName() const override { return "TIntVector"; }

  void Assign(const TObject* Source) override;
  void AssignTo(TObject* Dest) const override;

  // ---- properties ----
  int32_t NrOfElem() const noexcept { return FNElem; }
  void SetIntVecSize(int32_t NE);
  int32_t Elem(int32_t i) const noexcept { return GetVal(i); }
  int32_t GetVal(int32_t Elem) const noexcept;
  void SetVal(int32_t Elem, int32_t Value);
  double Leng() const { return CalcVecLeng(); }
  bool IsEmpty() const noexcept { return FIsEmpty; }

  TNotifyEvent OnChange;
  TSortExchgEvent OnSortExchange;

  std::span<int32_t> Data() noexcept { return {FVec.data(), FVec.size()}; }
  std::span<const int32_t> Data() const noexcept { return {FVec.data(), FVec.size()}; }

  // ---- storage and element operations ----
  bool Resize(int32_t NE);
  void Changed();
  void SortExchange(uint8_t ExchgWhat, int32_t index1, int32_t index2, int32_t first,
                    int32_t last);
  void MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept;
  std::string CRCofData() const;  // 32 hexadecimal digits

  void Fill(int32_t value);
  void Clear();
  void AbsVal();
  void SMult(int32_t scalar);  // wraps modulo 2^32
  void Add(const TIntVector* OtherVec);
  void Subtract(const TIntVector* OtherVec);
  int32_t DotProduct(const TIntVector* OtherVec) const;  // wraps
  double EuclideanDistance(const TIntVector* OtherVec) const;
  int32_t Correlate(const TIntVector* OtherVec, int32_t ElemShift) const;  // wraps
  double CalcVecLeng() const;
  int32_t Find(int32_t LowElem, int32_t HighElem, int32_t value) const;
  int32_t FindInSortedVector(bool Ascending, int32_t Value) const;
  void SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast);
  void Mirror();
  void ShuffleElems();
  void Clone(const TIntVector* VecSource);
  void CopyFrom(const TIntVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                int32_t DestElem);

  // ---- statistics ----
  void MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum) const;
  void MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum,
              int32_t& MinIx, int32_t& MaxIx) const;
  void MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const;
  int32_t Sum(int32_t LowElem, int32_t HighElem) const;  // wraps
  void SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness, double& Kurtosis) const;
  void SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                      double& Kurtosis) const;
  double GeometricMean(int32_t LowElem, int32_t HighElem) const;
  double HarmonicMean(int32_t LowElem, int32_t HighElem) const;
  int32_t Mode(int32_t LowElem, int32_t HighElem) const;
  double Percentile(double prob, int32_t LowElem, int32_t HighElem) const;
  bool Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2, double& Q3) const;
  bool Histogram(int32_t FirstElem, int32_t LastElem, int32_t FirstBin, int32_t LastBin,
                 int32_t BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                 int32_t& MaxCnt) const;
  double PearsonCorrCoeff(const TIntVector* OtherVec) const;

  // ---- text file and stream storage ----
  bool StoreOnFile(int32_t FirstElem, int32_t LastElem, const std::string& FileName) const;
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize);
  void SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const;
  void SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const;
  bool LoadFromStream(TStream* InStream, bool AdjustVectorSize);

 private:
  int32_t FNElem = 1;
  TIntArray FVec;
  bool FIsEmpty = true;
};

}  // namespace qmx
