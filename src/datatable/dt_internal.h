// Internals shared by the data table's source files.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "qmx/datatable.h"

namespace qmx {

// A whole table's contents, built by the loaders before anything of the table is touched.
struct TDataTable::TContents {
  int32_t Cols = 0, Rows = 0;
  std::size_t Stride = 0;                    // distance between columns in Values (>= Rows)
  std::vector<double> Values;                // column-major, column c at (c-1) * Stride
  std::vector<std::vector<uint8_t>> States;  // [col][row]
  std::vector<TDTNameStr> ColNames, RowNames;
  TIntArray ColAtt, RowAtt;
  std::vector<TVTypeSpecs> VType;
  std::string Comment;
};

class TDataTable::TDetach {
 public:
  explicit TDetach(TDataTable& T) : FMat(T.NumericData), FSaved(std::move(T.NumericData->OnChange)) {
    FMat->OnChange = nullptr;
  }
  ~TDetach() { FMat->OnChange = std::move(FSaved); }

 private:
  TMatrix* FMat;
  TNotifyEvent FSaved;
};

class TDataTable::TSilence {
 public:
  TSilence(TDataTable& T, uint8_t Mask) : FT(T), FSaved(T.FSilenced) { T.FSilenced |= Mask; }
  ~TSilence() { FT.FSilenced = FSaved; }

 private:
  TDataTable& FT;
  uint8_t FSaved;
};

namespace dt {

inline std::string Cut(const std::string& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }
inline std::string ColDefaultName(int32_t i) { return "C-" + std::to_string(i); }
inline std::string RowDefaultName(int32_t i) { return "R-" + std::to_string(i); }
inline bool IsNumScale(TMScaleType t) noexcept { return t == stInterval || t == stRatio; }
inline bool IsCatScale(TMScaleType t) noexcept { return t == stNominal || t == stOrdinal; }
inline double RoundHalfEven(double x) noexcept { return std::nearbyint(x); }
inline char LowerAZ(char c) noexcept { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
inline char UpperAZ(char c) noexcept { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace dt
}  // namespace qmx
