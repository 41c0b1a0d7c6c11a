// TVector statistics: extremes, moments, means, order statistics, histogram, correlation,
// integration and the normalising transforms.
#include <algorithm>
#include <cmath>
#include <limits>

#include "qmx/vector.h"
#include "vector/vec_impl.h"
#include "vector/vec_order.h"

namespace qmx {

namespace {
constexpr double kMinMaxStart = 1.7E+308;
}

void TVector::MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum) const {
  int32_t mi, ma;
  MinMax(LowElem, HighElem, Minimum, Maximum, mi, ma);
}

void TVector::MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum,
                     int32_t& MinIx, int32_t& MaxIx) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::MinMax(Data(), LowElem, HighElem, kMinMaxStart, -kMinMaxStart, Minimum, Maximum, MinIx,
                  MaxIx);
}

void TVector::MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const {
  MakeValidElemRange(LowElem, HighElem);
  const double* x = FVec.data() + (LowElem - 1);
  const int64_t n = static_cast<int64_t>(HighElem) - LowElem + 1;
  // The squares are summed about the first value of the range: the same variance as the raw
  // sums give, without their catastrophic cancellation for data far from zero (1e9 + 1, 1e9 + 2,
  // ... would otherwise come out 0 or garbage). Four lanes keep the loop pipelined.
  const double k = x[0];
  double s[4] = {0, 0, 0, 0}, d[4] = {0, 0, 0, 0}, q[4] = {0, 0, 0, 0};
  int64_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int j = 0; j < 4; ++j) {
      const double v = x[i + j], e = v - k;
      s[j] += v;
      d[j] += e;
      q[j] += e * e;
    }
  for (; i < n; ++i) {
    const double v = x[i], e = v - k;
    s[0] += v;
    d[0] += e;
    q[0] += e * e;
  }
  const double S = (s[0] + s[1]) + (s[2] + s[3]);
  const double D = (d[0] + d[1]) + (d[2] + d[3]);
  const double Q = (q[0] + q[1]) + (q[2] + q[3]);
  const double dn = static_cast<double>(n);
  Mean = S / dn;
  // A plain sum of finite values may overflow (1e308 three times); the sum of deviations from
  // the first value then still gives the mean.
  if (!std::isfinite(Mean) && std::isfinite(k + D / dn) &&
      std::all_of(x, x + n, [](double v) { return std::isfinite(v); }))
    Mean = k + D / dn;
  if (n < 3) {
    Variance = 1.0;
  } else {
    Variance = (Q - D * D / dn) / (dn - 1);
    if (Variance < 0) Variance = 0;
    // Finite data whose squared deviations pass the double range meet inf - inf above; the
    // variance is then too large to represent, not undefined.
    if (Variance != Variance && std::all_of(x, x + n, [](double v) { return std::isfinite(v); }))
      Variance = std::numeric_limits<double>::infinity();
  }
}

double TVector::Sum(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  const double* x = FVec.data() + (LowElem - 1);
  const int64_t n = static_cast<int64_t>(HighElem) - LowElem + 1;
  double s[4] = {0, 0, 0, 0};
  int64_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int j = 0; j < 4; ++j) s[j] += x[i + j];
  for (; i < n; ++i) s[0] += x[i];
  return (s[0] + s[1]) + (s[2] + s[3]);
}

void TVector::SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                       double& Kurtosis) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::SkewKurt(Data(), LowElem, HighElem, Skewness, Kurtosis);
}

void TVector::SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                             double& Kurtosis) const {
  MakeValidElemRange(LowElem, HighElem);
  const bool exist = vecimpl::SkewKurt(Data(), LowElem, HighElem, Skewness, Kurtosis);
  vecimpl::SampleCorrect(exist, static_cast<int64_t>(HighElem) - LowElem + 1, Skewness, Kurtosis);
}

double TVector::GeometricMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::GeometricMean(*this, Data(), LowElem, HighElem);
}

double TVector::HarmonicMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return vecimpl::HarmonicMean(*this, Data(), LowElem, HighElem);
}

double TVector::Mode(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<double> os(this, Data(), LowElem, HighElem);
  return os.Mode();
}

double TVector::Percentile(double prob, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<double> os(this, Data(), LowElem, HighElem);
  return os.Percentile(prob);
}

bool TVector::Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2,
                        double& Q3) const {
  MakeValidElemRange(LowElem, HighElem);
  vecimpl::TOrderStats<double> os(this, Data(), LowElem, HighElem);
  Q1 = os.Quartile(0.25);
  Q2 = os.Quartile(0.5);
  Q3 = os.Quartile(0.75);
  return true;
}

bool TVector::Histogram(int32_t FirstElem, int32_t LastElem, double FirstBin, double LastBin,
                        double BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                        int32_t& MaxCnt) const {
  // A zero, negative or non-finite width or bound cannot define bins (the bin index would be
  // undefined or negative): refused like a too large bin count, nothing is changed.
  if (!Histo || !(BinWidth > 0) || !std::isfinite(BinWidth) || !std::isfinite(FirstBin) ||
      !std::isfinite(LastBin))
    return false;
  const double nb = std::nearbyint(std::fabs(LastBin - FirstBin) / BinWidth);
  if (!(nb <= 500)) return false;
  const auto NB = static_cast<int32_t>(nb);
  if (Histo->NrOfElem() != NB) Histo->Resize(NB);
  Histo->Clear();
  // Counted in 64 bits: the element range is not clamped, so indices outside the vector (which
  // read 0.0) may repeat far more often than a 32-bit counter holds; results saturate.
  int64_t under = 0, over = 0, maxcnt = 0;
  const int32_t nbins = Histo->NrOfElem();
  const double upper = LastBin + BinWidth;
  auto count = [&](double x, int64_t times) {
    if (x != x) return;  // NaN belongs to no bin and to neither tail
    if (x < FirstBin) {
      under += times;
    } else if (x < upper) {
      const double q = std::trunc((x - FirstBin) / BinWidth);
      // Values past the last bin Histo holds (the remainder above FirstBin + NB * BinWidth)
      // count as overflow, so every value is counted exactly once.
      if (q >= nbins) {
        over += times;
        return;
      }
      const auto b = static_cast<int32_t>(q) + 1;
      const int64_t c = std::min<int64_t>(int64_t(Histo->GetVal(b)) + times, INT32_MAX);
      Histo->SetVal(b, static_cast<int32_t>(c));
      maxcnt = std::max(maxcnt, c);
    } else {
      over += times;
    }
  };
  if (LastElem >= FirstElem) {
    const int64_t inLo = std::max<int64_t>(FirstElem, 1), inHi = std::min<int64_t>(LastElem, FNElem);
    const int64_t total = static_cast<int64_t>(LastElem) - FirstElem + 1;
    const int64_t inside = inHi >= inLo ? inHi - inLo + 1 : 0;
    for (int64_t e = inLo; e <= inHi; ++e) count(FVec[static_cast<std::size_t>(e - 1)], 1);
    if (total > inside) count(0.0, total - inside);
  }
  Underflow = static_cast<int32_t>(std::min<int64_t>(under, INT32_MAX));
  Overflow = static_cast<int32_t>(std::min<int64_t>(over, INT32_MAX));
  MaxCnt = static_cast<int32_t>(maxcnt);
  return true;
}

double TVector::PearsonCorrCoeff(const TVector* OtherVec) const {
  if (!OtherVec) return 0.0;
  return vecimpl::Pearson(Data(), OtherVec->Data());
}

double TVector::Integrate(double BoundLow, double BoundHigh, TIntegMethod Method) const {
  if (BoundLow != BoundLow || BoundHigh != BoundHigh) return std::numeric_limits<double>::quiet_NaN();
  const double N = FNElem;
  double lo = std::clamp(BoundLow, 1.0, N), hi = std::clamp(BoundHigh, 1.0, N);
  if (hi < lo) std::swap(lo, hi);
  const double w = hi - lo;
  auto x = [this](int32_t i) { return FVec[static_cast<std::size_t>(i - 1)]; };
  // Linear interpolation at position t (1 <= t <= N); an integer position reads one element.
  auto L = [&](double t) {
    const auto k = static_cast<int32_t>(t);
    const double f = t - k;
    return f == 0 ? x(k) : x(k) + f * (x(k + 1) - x(k));
  };
  int32_t a = static_cast<int32_t>(lo);
  if (a < lo) ++a;
  const auto b = static_cast<int32_t>(hi);
  const double Pl = a - lo == 0 ? 0.0 : (a - lo) * (L(lo) + x(a)) / 2;
  const double Ph = hi - b == 0 ? 0.0 : (hi - b) * (x(b) + L(hi)) / 2;
  auto trapezoid = [&]() {
    if (b == a - 1) return (L(lo) + L(hi)) / 2 * w;
    double s = Pl + Ph;
    for (int32_t k = a; k < b; ++k) s += (x(k) + x(k + 1)) / 2;
    return s;
  };
  switch (Method) {
    case imSimple: {
      if (b == a - 1) return (x(b) + x(a)) / 2 * w;
      double s = 0;
      for (int32_t k = a; k <= b; ++k) s += x(k);
      return s / (b - a + 1) * w;
    }
    case imTrapezoidal:
      return trapezoid();
    case imSimpson: {
      const int32_t m = b - a;
      if (m <= 1) return trapezoid();
      if (m == 2) return Pl + Ph + (x(a) + 4 * x(a + 1) + x(a + 2)) / 3;
      if (m == 3) return Pl + Ph + 3.0 / 8.0 * (x(a) + 3 * x(a + 1) + 3 * x(a + 2) + x(a + 3));
      if (m == 4)
        return Pl + Ph +
               2.0 / 45.0 * (7 * x(a) + 32 * x(a + 1) + 12 * x(a + 2) + 32 * x(a + 3) + 7 * x(a + 4));
      double s = 0;
      for (int32_t k = a + 3; k <= b - 3; ++k) s += x(k);
      return Pl + Ph + 3.0 / 8.0 * x(a) + 7.0 / 6.0 * x(a + 1) + 23.0 / 24.0 * x(a + 2) + s +
             23.0 / 24.0 * x(b - 2) + 7.0 / 6.0 * x(b - 1) + 3.0 / 8.0 * x(b);
    }
  }
  return 0.0;
}

void TVector::Standardize(double& mean, double& stddev) {
  double var;
  MeanVar(0, 0, mean, var);
  stddev = std::sqrt(var);
  if (stddev > 0)
    for (double& x : FVec) x = (x - mean) / stddev;
}

double TVector::MeanCenter() {
  double mean, var;
  MeanVar(0, 0, mean, var);
  for (double& x : FVec) x -= mean;
  return mean;
}

void TVector::QNormalize(double RefQuant, double& Median, double& QuantDiff) {
  Median = Percentile(50, 0, 0);
  QuantDiff = std::fabs(Median - Percentile(RefQuant, 0, 0));
  if (QuantDiff > 0)
    for (double& x : FVec) x = (x - Median) / QuantDiff;
}

}  // namespace qmx
