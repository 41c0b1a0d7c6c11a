// TRandGen: rejection sampling from a piecewise-linear tabulated density.
#include <algorithm>
#include <cmath>
#include <new>

#include "qmx/math1.h"
#include "qmx/statis.h"

namespace qmx {

TRandGen::TRandGen(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FDistVec.assign(static_cast<std::size_t>(FResolution), 1.0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXStatisError>(this, ": not enough memory on heap");
  }
}

void TRandGen::SetResolution(int32_t n) {
  n = std::clamp(n, 10, 4000);
  try {
    FDistVec.assign(static_cast<std::size_t>(n), 1.0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXStatisError>(this, ": not enough memory");
  }
  FResolution = n;
}

double TRandGen::GetLambda(int32_t ix) const noexcept {
  if (ix <= 0) return FLowBorder;
  if (ix > FResolution) return FHighBorder;
  return FLowBorder + (FHighBorder - FLowBorder) * (ix - 1) / FResolution;
}

double TRandGen::GetProbability(int32_t Idx) const noexcept {
  if (Idx < 1 || Idx > FResolution) return 0;
  return FDistVec[static_cast<std::size_t>(Idx - 1)];
}

void TRandGen::SetProbability(int32_t Idx, double Value) noexcept {
  if (Idx < 1 || Idx > FResolution) return;
  FDistVec[static_cast<std::size_t>(Idx - 1)] = Value == Value ? std::clamp(Value, 0.0, 1.0) : 0.0;
}

int32_t TRandGen::IndexOfLambda(double Lambda) const noexcept {
  if (Lambda != Lambda || Lambda < FLowBorder) return 0;
  if (Lambda >= FHighBorder) return FResolution + 1;
  // Inside [Low, High): the quotient lies in [0, Resolution], so the floor fits.
  const double q = (Lambda - FLowBorder) * FResolution / (FHighBorder - FLowBorder);
  return std::min(IntNeg(q) + 1, FResolution + 1);
}

double TRandGen::GetRandNum() {
  const double width = FHighBorder - FLowBorder;
  const int32_t res = FResolution;
  const double* p = FDistVec.data();
  int32_t a = 0;
  double r = 0;
  for (int32_t round = 0; round < 100001; ++round) {
    a = RandomInt(res);
    r = RandomUniform();
    const double b = a == res - 1 ? p[a] * (1 - r) : p[a] + r * (p[a + 1] - p[a]);
    if (b >= 1 || RandomUniform() < b) break;
  }
  return FLowBorder + (a + r) * width / res;
}

bool TRandGen::Normalize() {
  double mn = uc_MaxReal, mx = -uc_MaxReal;
  for (double v : FDistVec) {
    mn = std::min(mn, v);
    mx = std::max(mx, v);
  }
  if (!(mx > mn)) return false;
  const double w = mx - mn;
  for (double& v : FDistVec) v = (v - mn) / w;
  return true;
}

bool TRandGen::Standardize() {
  double mx = -uc_MaxReal;
  for (double v : FDistVec) mx = std::max(mx, v);
  if (mx == 0) return false;
  for (double& v : FDistVec) v /= mx;
  return true;
}

template <class F>
void TRandGen::FillTable(F density) {
  const double step = (FHighBorder - FLowBorder) / FResolution;
  for (int32_t i = 1; i <= FResolution; ++i) {
    const double x = GetLambda(i);
    double v = density(x);
    if (std::isinf(v)) v = density(x + step / 2);
    FDistVec[static_cast<std::size_t>(i - 1)] = std::isfinite(v) ? v : 0.0;
  }
}

void TRandGen::NormalDistri(double m, double s) {
  FillTable([=](double x) { return std::exp(-0.5 * (x - m) * (x - m) / (s * s)); });
}

void TRandGen::tDistri(int32_t df) {
  FillTable([=](double x) { return tDistriDensity(x, df); });
}

void TRandGen::Chi2Distri(int32_t df) {
  FillTable([=](double x) { return x < 0 ? 0.0 : Chi2DistriDensity(x, df); });
}

void TRandGen::FDistri(int32_t df1, int32_t df2) {
  FillTable([=](double x) { return x <= 0 ? 0.0 : FDistriDensity(x, df1, df2); });
}

void TRandGen::WeibullDistri(double beta, double eta) {
  FillTable([=](double x) { return WeibullDensity(x, beta, eta); });
}

void TRandGen::UniformDistri() { std::fill(FDistVec.begin(), FDistVec.end(), 1.0); }

}  // namespace qmx
