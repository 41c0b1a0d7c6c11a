// TCurveFit: pairs, running sums, descriptive and rank statistics, variance table, ASC file.
#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <numeric>
#include <string_view>

#include "qmx/asc.h"
#include "qmx/math1.h"
#include "qmx/math2/curvefit.h"
#include "qmx/statis.h"

namespace qmx {

namespace {

constexpr long double kEps = 1e-30L;
constexpr long double kM = uc_MaxReal;
constexpr double kFar = 1.7976931348623157e308;

}  // namespace

TCurveFit::TCurveFit(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FX.reserve(1000);
    FY.reserve(1000);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMath2Error>(this, ": not enough memory on heap");
  }
  Init();
}

TCurveFit::~TCurveFit() = default;

void TCurveFit::InvalidateCaches() noexcept {
  FSplineValid = false;
  FKendallValid = false;
  FPenSplineValid = false;
}

void TCurveFit::Init() {
  S = TCurveFitSums{};
  FNumData = 0;
  FPSplineFQ = 0;
  FX.clear();
  FY.clear();
  FMinX = FMinY = kFar;
  FMaxX = FMaxY = -kFar;
  FErrIndic.Clear();
  InvalidateCaches();
}

// Adds (sign +1) or removes (sign -1) the terms of one pair. The reciprocal and logarithm terms
// are guarded: a datum outside a term's domain contributes a huge stand-in (reciprocals) or
// nothing (logarithms) and marks the affected sums invalid.
void TCurveFit::AddTerms(double xd, double yd, long double sg, bool flags) {
  const long double x = xd, y = yd;
  auto flag = [&](TCurveFitError e) {
    if (flags) FErrIndic.Include(e);
  };
  const long double xx = x * x, yy = y * y, d = x - y;
  S.sumx += sg * x;
  S.sumy += sg * y;
  S.sumxq += sg * xx;
  S.sumyq += sg * yy;
  S.sumDiff += sg * d;
  S.SumDiffq += sg * d * d;
  S.sumxy += sg * x * y;
  S.sumx2y += sg * xx * y;
  S.sumxy2 += sg * x * yy;
  S.sumx3 += sg * xx * x;
  S.sumy3 += sg * yy * y;
  S.sumx4 += sg * xx * xx;
  S.sumy4 += sg * yy * yy;

  const bool xZero = std::fabs(x) <= kEps, yZero = std::fabs(y) <= kEps;
  // Two reciprocals serve every quotient term (x87 divisions dominate the cost of a pair).
  const long double rx = x != 0 ? 1.0L / x : 0.0L, ry = y != 0 ? 1.0L / y : 0.0L;
  const long double ly = y > 0 ? std::log(y) : 0.0L;
  if (yZero) {
    flag(cfeYEQ0);
    S.sum1byy += sg * kM;
    S.sum1byyq += sg * kM * kM;
    S.sumxbyy += sg * x * kM;
    if (xZero) {
      S.sum1byxy += sg * kM;
      flag(cfeXEQ0);
    } else {
      S.sum1byxy += sg * kM * rx;
    }
  } else {
    S.sum1byy += sg * ry;
    S.sum1byyq += sg * ry * ry;
    S.sumxbyy += sg * x * ry;
    if (xZero) {
      flag(cfeXEQ0);
      S.sum1byxy += sg * kM * ry;
    } else {
      S.sum1byxy += sg * rx * ry;
    }
  }
  if (xZero) {
    flag(cfeXEQ0);
    S.sum1byx += sg * kM;
    S.sum1byxq += sg * kM * kM;
    S.sumybyx += sg * y * kM;
  } else {
    S.sum1byx += sg * rx;
    S.sum1byxq += sg * rx * rx;
    S.sumybyx += sg * y * rx;
  }
  if (x > 0) {
    const long double lx = std::log(x);
    S.sumlnx += sg * lx;
    S.sumlnxq += sg * lx * lx;
    S.sumylnx += sg * y * lx;
    S.sumxlnx += sg * x * lx;
    S.sumyqlnx += sg * yy * lx;
    if (y != 0) S.sumlnxbyy += sg * lx * ry;
    else flag(cfeYEQ0);
    if (y > 0) S.sumlnxlny += sg * lx * ly;
    else flag(cfeYLE0);
  } else {
    flag(cfeXLE0);
  }
  if (y > 0) {
    S.sumlny += sg * ly;
    S.sumylny += sg * y * ly;
    S.sumlnyq += sg * ly * ly;
    S.sumxlny += sg * x * ly;
    S.sumxqlny += sg * xx * ly;
    if (x != 0) S.sumlnybyx += sg * ly * rx;
    else flag(cfeXEQ0);
  } else {
    flag(cfeYLE0);
  }
}

int32_t TCurveFit::EnterStatValue(double x, double y) {
  if (FNumData == INT32_MAX)
    RaiseComponentError<EQMXMath2Error>(this, ": not enough memory on heap");
  try {
    // Geometric growth keeps appending amortised O(1).
    FX.push_back(x);
    FY.push_back(y);
  } catch (const std::bad_alloc&) {
    if (FX.size() > FY.size()) FX.pop_back();
    RaiseComponentError<EQMXMath2Error>(this, ": not enough memory on heap");
  }
  if (!(x >= FMinX)) FMinX = x;
  if (x > FMaxX) FMaxX = x;
  if (!(y >= FMinY)) FMinY = y;
  if (y > FMaxY) FMaxY = y;
  AddTerms(x, y, 1.0L, true);
  ++FNumData;
  InvalidateCaches();
  return FNumData;
}

void TCurveFit::RemoveStatValue(int32_t ix) {
  InvalidateCaches();
  if (ix < 1 || ix > FNumData) return;
  const auto i = static_cast<std::size_t>(ix - 1);
  AddTerms(FX[i], FY[i], -1.0L, false);
  FX.erase(FX.begin() + static_cast<std::ptrdiff_t>(i));
  FY.erase(FY.begin() + static_cast<std::ptrdiff_t>(i));
  --FNumData;
}

void TCurveFit::FlipXY() {
  std::swap(FMinX, FMinY);
  std::swap(FMaxX, FMaxY);
  std::swap(S.sumx, S.sumy);
  std::swap(S.sumxq, S.sumyq);
  std::swap(S.sumx2y, S.sumxy2);
  std::swap(S.sumx3, S.sumy3);
  std::swap(S.sumx4, S.sumy4);
  std::swap(S.sum1byy, S.sum1byx);
  std::swap(S.sum1byyq, S.sum1byxq);
  std::swap(S.sumxbyy, S.sumybyx);
  std::swap(S.sumlnx, S.sumlny);
  std::swap(S.sumlnxq, S.sumlnyq);
  std::swap(S.sumylnx, S.sumxlny);
  std::swap(S.sumxlnx, S.sumylny);
  std::swap(S.sumlnxbyy, S.sumlnybyx);
  std::swap(S.sumxqlny, S.sumyqlnx);
  S.sumDiff = -S.sumDiff;
  // The indicators name the sums they invalidate, and those sums have just changed sides.
  TCurveFitErrorSet flipped;
  if (FErrIndic.Contains(cfeXLE0)) flipped.Include(cfeYLE0);
  if (FErrIndic.Contains(cfeYLE0)) flipped.Include(cfeXLE0);
  if (FErrIndic.Contains(cfeXEQ0)) flipped.Include(cfeYEQ0);
  if (FErrIndic.Contains(cfeYEQ0)) flipped.Include(cfeXEQ0);
  FErrIndic = flipped;
  FX.swap(FY);
  // The splines interpolate y over x and the two tie counts are per column, so every cache
  // describes the old orientation.
  InvalidateCaches();
}

double TCurveFit::GetDataX(int32_t ix) const noexcept {
  return (ix >= 1 && ix <= FNumData) ? FX[static_cast<std::size_t>(ix - 1)] : 0.0;
}

double TCurveFit::GetDataY(int32_t ix) const noexcept {
  return (ix >= 1 && ix <= FNumData) ? FY[static_cast<std::size_t>(ix - 1)] : 0.0;
}

void TCurveFit::SetNatural1(bool Value) {
  FNatural1 = Value;
  FSplineValid = false;
}
void TCurveFit::SetNaturalN(bool Value) {
  FNaturalN = Value;
  FSplineValid = false;
}
void TCurveFit::SetY1Dash(double Value) {
  FY1Dash = Value;
  FSplineValid = false;
}
void TCurveFit::SetYNDash(double Value) {
  FYNDash = Value;
  FSplineValid = false;
}
void TCurveFit::SetSplineSmoothing(double Value) {
  FPSplineSmooth = Value;
  FPenSplineValid = false;
}

// ---- descriptive statistics -------------------------------------------------------------------

namespace {

double StdDevOf(long double s, long double q, int32_t n) {
  if (n < 3) return 0.0;
  return static_cast<double>(std::sqrt(std::fabs((q - s * s / n) / (n - 1))));
}

}  // namespace

double TCurveFit::GetMeanX() const noexcept {
  return FNumData > 0 ? static_cast<double>(S.sumx / FNumData) : 0.0;
}
double TCurveFit::GetMeanY() const noexcept {
  return FNumData > 0 ? static_cast<double>(S.sumy / FNumData) : 0.0;
}
double TCurveFit::GetMeanDiff() const noexcept {
  return FNumData > 0 ? static_cast<double>(S.sumDiff / FNumData) : 0.0;
}
double TCurveFit::GetStdDevX() const noexcept { return StdDevOf(S.sumx, S.sumxq, FNumData); }
double TCurveFit::GetStdDevY() const noexcept { return StdDevOf(S.sumy, S.sumyq, FNumData); }
double TCurveFit::GetStdDevDiff() const noexcept {
  return StdDevOf(S.sumDiff, S.SumDiffq, FNumData);
}

double TCurveFit::GetRxy() const noexcept {
  const int32_t n = FNumData;
  if (n <= 2 || S.sumxq <= 0 || S.sumyq <= 0) return 0.0;
  // Extremes only widen, so equal extremes prove a constant column even after removals; this
  // catches the rounding residue that the sums leave for a constant column.
  if (FMinX == FMaxX || FMinY == FMaxY) return 0.0;
  const long double sxx = S.sumxq - S.sumx * S.sumx / n;
  const long double syy = S.sumyq - S.sumy * S.sumy / n;
  if (sxx == 0 || syy == 0) return 0.0;
  const long double r = (S.sumxy - S.sumx * S.sumy / n) / std::sqrt(std::fabs(sxx * syy));
  return static_cast<double>(std::clamp(r, -1.0L, 1.0L));
}

void TCurveFit::CalcStatistics(int32_t& NumData, double& MeanX, double& MeanY, double& StdevX,
                               double& StdevY, double& MeanDiff, double& StdevDiff,
                               double& rxy) const {
  MeanX = MeanY = StdevX = StdevY = MeanDiff = StdevDiff = rxy = 0.0;
  if (FNumData > 0) {
    MeanX = GetMeanX();
    MeanY = GetMeanY();
    MeanDiff = GetMeanDiff();
  }
  if (FNumData > 2) {
    StdevX = GetStdDevX();
    StdevY = GetStdDevY();
    StdevDiff = GetStdDevDiff();
    rxy = GetRxy();
  }
  NumData = FNumData;
}

namespace {

bool QuartilesOf(const std::vector<double>& col, int32_t n, double& q1, double& q2, double& q3) {
  q1 = q2 = q3 = 0.0;
  if (n <= 0) return false;
  std::vector<double> s(col.begin(), col.begin() + n);
  // The library's array order puts NaNs last; a plain comparison would leave numbers unsorted.
  SortArray(std::span<double>(s), true);
  auto q = [&](double frac) {
    if (n == 1) return s[0];
    const double p = (n + 1) * frac;
    const auto k = static_cast<int64_t>(p);
    const double f = p - static_cast<double>(k);
    if (k == 0) return s[0];
    if (k >= n) return s[static_cast<std::size_t>(n - 1)];
    const double lo = s[static_cast<std::size_t>(k - 1)], hi = s[static_cast<std::size_t>(k)];
    return lo + (hi - lo) * f;
  };
  q1 = q(0.25);
  q2 = q(0.5);
  q3 = q(0.75);
  return true;
}

// Bias-corrected sample skewness and excess kurtosis of the first n values; 0 below four.
void SkewKurtSampleOf(const std::vector<double>& col, int32_t n, double& skew, double& kurt) {
  skew = kurt = 0.0;
  if (n < 4) return;
  long double s = 0;
  for (int32_t i = 0; i < n; ++i) s += col[static_cast<std::size_t>(i)];
  const long double m = s / n;
  long double s1 = 0, s2 = 0, s3 = 0, s4 = 0;
  for (int32_t i = 0; i < n; ++i) {
    const long double d = col[static_cast<std::size_t>(i)] - m, d2 = d * d;
    s1 += d;
    s2 += d2;
    s3 += d2 * d;
    s4 += d2 * d2;
  }
  const long double sd = std::sqrt(std::fabs((s2 - s1 * s1 / n) / (n - 1)));
  if (sd == 0) return;
  const long double g = s3 / n / (sd * sd * sd), k = s4 / n / (sd * sd * sd * sd) - 3;
  const long double nn = n;
  skew = static_cast<double>(nn * nn * g / ((nn - 1) * (nn - 2)));
  kurt = static_cast<double>((k + 3) * nn * nn * (nn + 1) / ((nn - 1) * (nn - 2) * (nn - 3)) -
                             3 * (nn - 1) * (nn - 1) / ((nn - 2) * (nn - 3)));
}

}  // namespace

bool TCurveFit::QuartilesX(double& q1, double& q2, double& q3) const {
  return QuartilesOf(FX, FNumData, q1, q2, q3);
}
bool TCurveFit::QuartilesY(double& q1, double& q2, double& q3) const {
  return QuartilesOf(FY, FNumData, q1, q2, q3);
}

double TCurveFit::GetSkewnessX() const {
  double s, k;
  SkewKurtSampleOf(FX, FNumData, s, k);
  return s;
}
double TCurveFit::GetSkewnessY() const {
  double s, k;
  SkewKurtSampleOf(FY, FNumData, s, k);
  return s;
}
double TCurveFit::GetKurtosisX() const {
  double s, k;
  SkewKurtSampleOf(FX, FNumData, s, k);
  return k;
}
double TCurveFit::GetKurtosisY() const {
  double s, k;
  SkewKurtSampleOf(FY, FNumData, s, k);
  return k;
}

double TCurveFit::CalcMeanDegrees(int32_t Column) const {
  if (Column != 1 && Column != 2) return 0.0;
  const auto& c = Column == 1 ? FX : FY;
  long double sn = 0, cs = 0;
  const long double rad = 3.14159265358979323846264338327950288L / 180.0L;
  for (int32_t i = 0; i < FNumData; ++i) {
    const long double a = c[static_cast<std::size_t>(i)] * rad;
    sn += std::sin(a);
    cs += std::cos(a);
  }
  // atan2 gives the quadrant directly and stays defined when the cosine sum is 0.
  long double e = std::atan2(sn, cs) / rad;
  if (e < 0) e += 360;
  if (e >= 360) e -= 360;
  return static_cast<double>(e);
}

// ---- rank statistics --------------------------------------------------------------------------

namespace {

bool AnyNaN(const std::vector<double>& a, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    if (std::isnan(a[static_cast<std::size_t>(i)])) return true;
  return false;
}

int64_t TiedPairs(int64_t t) { return t * (t - 1) / 2; }

}  // namespace

// Counts by sorting (Knight's method), O(n log n): sort on x then y, count ties, then merge-sort
// on y counting the exchanges, which are the discordant pairs.
void TCurveFit::BasicRankCounts() const {
  FKendallConcord = FKendallDiscord = FKendallTies1 = FKendallTies2 = 0;
  FKendallValid = true;
  const int32_t n = FNumData;
  if (n <= 2 || AnyNaN(FX, n) || AnyNaN(FY, n)) return;
  struct P {
    double x, y;
  };
  std::vector<P> a(static_cast<std::size_t>(n)), tmp(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) a[std::size_t(i)] = {FX[std::size_t(i)], FY[std::size_t(i)]};
  std::sort(a.begin(), a.end(),
            [](const P& p, const P& q) { return p.x < q.x || (p.x == q.x && p.y < q.y); });
  int64_t n1 = 0, n3 = 0;  // pairs tied in x; pairs tied in x and y
  for (std::size_t i = 0; i < a.size();) {
    std::size_t j = i;
    while (j < a.size() && a[j].x == a[i].x) ++j;
    n1 += TiedPairs(int64_t(j - i));
    for (std::size_t k = i; k < j;) {
      std::size_t l = k;
      while (l < j && a[l].y == a[k].y) ++l;
      n3 += TiedPairs(int64_t(l - k));
      k = l;
    }
    i = j;
  }
  // Bottom-up merge sort on y; taking from the left run on equal y counts strict inversions only.
  int64_t swaps = 0;
  const std::size_t N = a.size();
  for (std::size_t w = 1; w < N; w *= 2) {
    for (std::size_t lo = 0; lo < N; lo += 2 * w) {
      const std::size_t mid = std::min(lo + w, N), hi = std::min(lo + 2 * w, N);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) {
        if (a[j].y < a[i].y) {
          swaps += int64_t(mid - i);
          tmp[k++] = a[j++];
        } else {
          tmp[k++] = a[i++];
        }
      }
      while (i < mid) tmp[k++] = a[i++];
      while (j < hi) tmp[k++] = a[j++];
    }
    a.swap(tmp);
  }
  int64_t n2 = 0;  // pairs tied in y
  for (std::size_t i = 0; i < N;) {
    std::size_t j = i;
    while (j < N && a[j].y == a[i].y) ++j;
    n2 += TiedPairs(int64_t(j - i));
    i = j;
  }
  const int64_t n0 = TiedPairs(n);
  FKendallDiscord = swaps;
  FKendallConcord = n0 - n1 - n2 + n3 - swaps;
  FKendallTies1 = n2 - n3;  // x differs, y tied
  FKendallTies2 = n1 - n3;  // x tied, y differs
}

double TCurveFit::KendallsTau(double& p) const {
  if (!FKendallValid) BasicRankCounts();
  const double c = double(FKendallConcord), d = double(FKendallDiscord);
  const double den = std::sqrt((c + d + double(FKendallTies1)) * (c + d + double(FKendallTies2)));
  if (den == 0) {
    p = 0.0;
    return 0.0;
  }
  const double tau = (c - d) / den;
  const double n = FNumData;
  const double sigma = std::sqrt((4 * n + 10) / (9 * n * (n - 1)));
  p = 1.0 - ErfApprox(std::fabs(tau / sigma) / uc_sqrt2);
  return tau;
}

double TCurveFit::GetKruskalGamma() const {
  if (!FKendallValid) BasicRankCounts();
  const double c = double(FKendallConcord), d = double(FKendallDiscord);
  return c + d == 0 ? 0.0 : (c - d) / (c + d);
}

namespace {

// Mid-ranks (1-based) of the first n values into rank; returns the tie term Σ t(t²−1)/12.
double MidRanks(const std::vector<double>& v, int32_t n, std::vector<double>& rank) {
  std::vector<std::pair<double, int32_t>> s(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) s[std::size_t(i)] = {v[std::size_t(i)], i};
  std::sort(s.begin(), s.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  rank.resize(static_cast<std::size_t>(n));
  double t = 0;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t j = i;
    while (j < s.size() && s[j].first == s[i].first) ++j;
    const double r = 0.5 * double(i + 1 + j);  // mean of ranks i+1..j
    for (std::size_t k = i; k < j; ++k) rank[std::size_t(s[k].second)] = r;
    const double len = double(j - i);
    if (j - i >= 2) t += len * (len * len - 1) / 12.0;
    i = j;
  }
  return t;
}

}  // namespace

double TCurveFit::GetSpearman() const {
  const int32_t n = FNumData;
  if (n < 3 || AnyNaN(FX, n) || AnyNaN(FY, n)) return 0.0;
  std::vector<double> rx, ry;
  const double tx = MidRanks(FX, n, rx), ty = MidRanks(FY, n, ry);
  TKahanSum ks;
  for (int32_t i = 0; i < n; ++i) {
    const double dd = rx[std::size_t(i)] - ry[std::size_t(i)];
    ks.Add(dd * dd);
  }
  const double D = ks.Sum, nn = n, w = nn * (nn * nn - 1);
  if (tx == 0 && ty == 0) return 1.0 - 6.0 * D / w;
  // A column of equal values has 12·T = w; compared with a margin because w is rounded for
  // n beyond 2·10^5, while any other tie pattern leaves w − 12·T of at least about 3n².
  if (w - 12 * ty <= 1e-12 * w || w - 12 * tx <= 1e-12 * w) return 0.0;
  return (w - 6 * (D + tx + ty)) / std::sqrt((w - 12 * tx) * (w - 12 * ty));
}

void TCurveFit::CalcAnovaReg(int32_t NumVars, bool IncludeConst, int32_t& dfreg, int32_t& dfres,
                             int32_t& dftotal, double& SSE, double& SSR, double& SST,
                             double& MSE, double& MSR, double& F) const {
  const int32_t n = FNumData;
  dfreg = NumVars;
  long double m = 0;
  if (IncludeConst) {
    dftotal = n - 1;
    m = n > 0 ? S.sumx / n : 0.0L;
  } else {
    dftotal = n;
  }
  dfres = dftotal - dfreg;
  SSE = static_cast<double>(S.SumDiffq);
  SSR = static_cast<double>(n * m * m + S.sumyq - 2 * m * S.sumy);
  SST = static_cast<double>(n * m * m + S.sumxq - 2 * m * S.sumx);
  // Without degrees of freedom a mean square is undefined; 0 keeps it from turning into inf/NaN.
  MSE = dfres > 0 ? SSE / dfres : 0.0;
  MSR = dfreg > 0 ? SSR / dfreg : 0.0;
  if (MSR == 0) F = 0.0;
  else if (MSE != 0) F = MSR / MSE;
  else F = 1e10;
}

// ---- ASC file ---------------------------------------------------------------------------------

std::string TCurveFit::ExportAsASC(const std::string& FName, const std::string& Comment,
                                   int32_t Precision) const {
  std::ofstream f(FName, std::ios::binary | std::ios::trunc);
  if (!f) return "Cannot create file \"" + FName + "\". " + std::strerror(errno);
  const std::string c = Comment.empty() ? "Exported by QMX TCurveFit component: " + FName
                                        : ReplaceCharInString(Comment, '\n', ' ');
  f << c << "\n"
    << "2\t;nr. of columns\n"
    << FNumData << "\t;nr. of rows\n"
    << "FALSE TRUE FALSE\t;row attributes, column names, row names\n"
    << "x   y\n";
  std::string line;
  for (int32_t i = 0; i < FNumData; ++i) {
    line = strff(FX[std::size_t(i)], 1, Precision);
    line += '\t';
    line += strff(FY[std::size_t(i)], 1, Precision);
    line += '\n';
    f << line;
  }
  f.close();
  if (!f) return "Cannot write file \"" + FName + "\"";
  return "";
}

namespace {

constexpr int32_t kErrValue = 250;
constexpr int32_t kErrAttrib = 251;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

void SkipBlanks(std::string_view& s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
}

// A finite number followed by a blank or the end of the line.
bool ReadNumber(std::string_view& s, double& v) {
  SkipBlanks(s);
  if (s.empty()) return false;
  const char* b = s.data();
  if (*b == '+') ++b;  // from_chars rejects a leading plus
  auto [end, ec] = std::from_chars(b, s.data() + s.size(), v);
  if (ec != std::errc() || end == b || !std::isfinite(v)) return false;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  return s.empty() || Blank(s.front());
}

// One quoted name or bare word from the line.
bool ReadName(std::string_view& s) {
  std::string name;
  TQuotedStrState st = qsNone;
  while (!s.empty()) {
    const char c = s.front();
    s.remove_prefix(1);
    if (ParseQuotedName(c, '"', name, st)) return true;
  }
  return ParseQuotedName('\n', '"', name, st);  // the line end completes a bare word
}

bool IsBlankLine(std::string_view s) {
  SkipBlanks(s);
  return s.empty();
}

}  // namespace

int32_t TCurveFit::ImportASC(const std::string& FName) {
  InvalidateCaches();
  std::ifstream f(FName, std::ios::binary);
  if (!f) return ascErrOpen;
  TASCHeader h;
  if (const int32_t rc = ReadHeaderOfASC(f, h); rc != 0) return rc;
  if (h.ColAttribs || h.ScaleTypes || h.CellStates) return -7;
  if (h.NrOfColumns != 2)
    throw EQMXMath2Error("TCurveFit.ImportASC: number of columns must be 2 (is actually " +
                         std::to_string(h.NrOfColumns) + ").");
  // The header's row count is not trusted for the allocation: a row needs at least four bytes.
  std::error_code ec;
  const auto fsize = std::filesystem::file_size(FName, ec);
  const std::size_t cap = ec ? 0 : static_cast<std::size_t>(fsize / 4 + 1);
  std::vector<double> nx, ny;
  nx.reserve(std::min<std::size_t>(std::size_t(h.NrOfRows), cap));
  ny.reserve(nx.capacity());

  std::string line;
  auto nextLine = [&]() {
    while (std::getline(f, line))
      if (!IsBlankLine(line)) return true;
    return false;
  };
  if (h.ColNames) {
    if (!nextLine()) return kErrValue;
    std::string_view s = line;
    for (int32_t c = 0; c < h.NrOfColumns; ++c)
      if (!ReadName(s)) return kErrValue;
  }
  for (int32_t r = 0; r < h.NrOfRows; ++r) {
    if (!nextLine()) return kErrValue;
    std::string_view s = line;
    double v;
    if (h.RowAttribs && !ReadNumber(s, v)) return kErrAttrib;
    if (h.RowNames && !ReadName(s)) return kErrValue;
    double x, y;
    if (!ReadNumber(s, x) || !ReadNumber(s, y)) return kErrValue;
    SkipBlanks(s);
    if (!s.empty()) return kErrValue;  // more values than columns
    nx.push_back(x);
    ny.push_back(y);
  }
  try {  // allocate before anything is cleared, so a failure still changes nothing
    FX.reserve(nx.size());
    FY.reserve(ny.size());
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMath2Error>(this, ": not enough memory on heap");
  }
  Init();
  for (std::size_t i = 0; i < nx.size(); ++i) EnterStatValue(nx[i], ny[i]);
  return 0;
}

}  // namespace qmx
