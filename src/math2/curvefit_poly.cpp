// TCurveFit: polynomial fits by least squares on the library's singular value decomposition.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

#include "math2/lsq.h"
#include "qmx/math2/curvefit.h"

namespace qmx {

namespace {

using math2detail::ReduceToTriangle;

// Solves the polynomial design of the values t (powers 1..k in columns 1..k, the constant in
// column k+1) against v; fills c (k+1 values, constant last).
bool SolvePoly(const std::vector<double>& t, const std::vector<double>& v, std::size_t k,
               std::vector<double>& c, bool& NearSingular) {
  const std::size_t m = t.size(), p = k + 1;
  std::vector<double> A, R, qty;
  try {
    A.resize(m * (p + 1));
  } catch (const std::bad_alloc&) {
    throw EQMXMath2Error("CalcPolyFit: not enough memory");
  }
  for (std::size_t i = 0; i < m; ++i) {
    double pw = t[i];
    for (std::size_t j = 0; j < k; ++j) {
      A[j * m + i] = pw;
      pw *= t[i];
    }
    A[k * m + i] = 1.0;
    A[p * m + i] = v[i];
  }
  ReduceToTriangle(A, m, p, R, qty);
  c.assign(p, 0.0);
  return LeastSquaresSolve(R.data(), int32_t(p), int32_t(p), qty.data(), c.data(), nullptr,
                           NearSingular);
}

// Squared correlation of the fitted values with the observed ones.
double SquaredCorrelation(const std::vector<double>& t, const std::vector<double>& v,
                          const std::vector<double>& c) {
  const std::size_t k = c.size() - 1;
  const long double n = static_cast<long double>(t.size());
  long double sf = 0, sff = 0, sv = 0, svv = 0, sfv = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    long double f = 0;
    for (std::size_t j = k; j-- > 0;) f = (f + c[j]) * t[i];  // Σ c_j t^(j+1), Horner
    f += c[k];
    const long double y = v[i];
    sf += f;
    sff += f * f;
    sv += y;
    svv += y * y;
    sfv += f * y;
  }
  if (!(svv > 0 && sff > 0)) return 0.0;
  const long double syy = svv - sv * sv / n, sfy = sff - sf * sf / n;
  // A constant column leaves only a rounding residue in its centred sum of squares.
  const long double tiny = 8 * n * LDBL_EPSILON;
  if (!(syy > tiny * svv) || !(sfy > tiny * sff)) return 0.0;
  const long double r = (sfv - sf * sv / n) / std::sqrt(std::fabs(syy * sfy));
  return static_cast<double>(r * r);
}

void CheckArray(std::span<double> kArray, uint8_t nOrder, const char* op) {
  if (kArray.size() < std::size_t(nOrder) + 1)
    throw EQMXMath2Error(std::string(op) + ": kArray needs nOrder + 1 elements");
}

}  // namespace

bool TCurveFit::CalcPolyFit(uint8_t nOrder, std::span<double> kArray, double& FitQual,
                            bool& NearSingular) const {
  AbortMathProc = false;
  CheckArray(kArray, nOrder, "CalcPolyFit");
  FitQual = 0.0;
  NearSingular = false;
  std::fill(kArray.begin(), kArray.begin() + nOrder + 1, 0.0);
  if (FNumData == 0) return false;
  const std::vector<double> t(FX.begin(), FX.begin() + FNumData);
  const std::vector<double> v(FY.begin(), FY.begin() + FNumData);
  std::vector<double> c;
  const bool ok = SolvePoly(t, v, nOrder, c, NearSingular);
  FitQual = SquaredCorrelation(t, v, c);
  kArray[0] = c[nOrder];
  for (std::size_t k = 1; k <= nOrder; ++k) kArray[k] = c[k - 1];
  return ok;
}

bool TCurveFit::CalcCenteredPolyFit(uint8_t nOrder, std::span<double> kArray, double& XShift,
                                    double& FitQual, bool& NearSingular) const {
  AbortMathProc = false;
  CheckArray(kArray, nOrder, "CalcCenteredPolyFit");
  FitQual = 0.0;
  NearSingular = false;
  std::fill(kArray.begin(), kArray.begin() + nOrder + 1, 0.0);
  const int32_t n = FNumData;
  if (n == 0) return false;
  long double sx = 0, sxx = 0, sy = 0;
  for (int32_t i = 0; i < n; ++i) {
    const long double x = FX[std::size_t(i)];
    sx += x;
    sxx += x * x;
    sy += FY[std::size_t(i)];
  }
  if (XShift == 0) XShift = static_cast<double>(sx / n);
  const long double var = n >= 3 ? (sxx - sx * sx / n) / (n - 1) : 1.0L;
  // A constant column (or a variance lost to cancellation) is not scaled.
  const double s = (var > 0 && FMinX != FMaxX) ? static_cast<double>(std::sqrt(var)) : 1.0;
  const double my = static_cast<double>(sy / n);
  std::vector<double> t(static_cast<std::size_t>(n)), v(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    t[std::size_t(i)] = (FX[std::size_t(i)] - XShift) / s;
    v[std::size_t(i)] = FY[std::size_t(i)] - my;
  }
  std::vector<double> c;
  const bool ok = SolvePoly(t, v, nOrder, c, NearSingular);
  FitQual = SquaredCorrelation(t, v, c);
  double sk = 1.0;
  for (std::size_t k = 1; k <= nOrder; ++k) {
    sk *= s;
    kArray[k] = c[k - 1] / sk;
  }
  kArray[0] = c[nOrder] + my;
  return ok;
}

}  // namespace qmx
