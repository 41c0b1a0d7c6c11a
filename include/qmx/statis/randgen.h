// TRandGen: random numbers from a tabulated distribution over an interval, drawn by rejection
// with linear interpolation inside each bin.
#pragma once

#include <cstdint>
#include <string>

#include "qmx/basepack.h"
#include "qmx/runtime.h"

namespace qmx {

class TRandGen : public TComponent {
 public:
  // Resolution 500, every bin 1.0, borders 0 and 0.
  explicit TRandGen(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TRandGen"; }

  double LowBorder() const noexcept { return FLowBorder; }
  double HighBorder() const noexcept { return FHighBorder; }
  void SetLowBorder(double Value) noexcept { FLowBorder = Value; }
  void SetHighBorder(double Value) noexcept { FHighBorder = Value; }
  int32_t Resolution() const noexcept { return FResolution; }
  // Clamped to 10..4000; every bin is reset to 1.0.
  void SetResolution(int32_t n);

  // Lower edge of bin ix (1-based); LowBorder for ix <= 0, HighBorder for ix > Resolution.
  double GetLambda(int32_t ix) const noexcept;
  double Lambda(int32_t ix) const noexcept { return GetLambda(ix); }
  // Table value of bin Idx; 0 outside 1..Resolution.
  double GetProbability(int32_t Idx) const noexcept;
  double Probability(int32_t Idx) const noexcept { return GetProbability(Idx); }
  // Value clamped to [0, 1] (NaN stores 0); ignored outside 1..Resolution.
  void SetProbability(int32_t Idx, double Value) noexcept;
  // Bin of Lambda: 0 below LowBorder, Resolution + 1 from HighBorder on (and for NaN: 0).
  int32_t IndexOfLambda(double Lambda) const noexcept;

  // One random number (rejection sampling, at most 100001 candidates).
  double GetRandNum();
  double Random() { return GetRandNum(); }

  // Maps the table onto [0, 1] by min and max; false (table unchanged) when all values agree.
  bool Normalize();
  // Divides the table by its largest value; false (table unchanged) when that is 0.
  bool Standardize();

  // Table fillers: the density at each bin's lower edge (not scaled; call Standardize). A pole
  // at the edge (chi-square with one degree of freedom at 0) takes the density at the bin's
  // midpoint; an undefined value (a normal with spread 0 at its mean) stores 0.
  void NormalDistri(double m, double s);
  void tDistri(int32_t df);
  void Chi2Distri(int32_t df);
  void FDistri(int32_t df1, int32_t df2);
  void WeibullDistri(double beta, double eta);
  void UniformDistri();

 private:
  template <class F>
  void FillTable(F density);

  double FLowBorder = 0;
  double FHighBorder = 0;
  int32_t FResolution = 500;
  TDoubleArray FDistVec;
};

}  // namespace qmx
