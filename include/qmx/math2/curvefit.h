// TCurveFit: collects pairs (x, y), keeps running sums of functions of x and y in extended
// precision, and derives bivariate and rank statistics, closed-form and linearised fits, a
// polynomial fit, an interpolating and a smoothing cubic spline, and the ASC text file of the
// pairs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "qmx/frame.h"

namespace qmx {

// Which transformed sums are invalid because of a datum outside their domain.
enum TCurveFitError {
  cfeXLE0,  // some x <= 0: logarithm sums of x invalid
  cfeYLE0,  // some y <= 0: logarithm sums of y invalid
  cfeXEQ0,  // some x is zero: reciprocal sums of x invalid
  cfeYEQ0,  // some y is zero: reciprocal sums of y invalid
};

class TCurveFitErrorSet {
 public:
  constexpr bool Contains(TCurveFitError e) const noexcept { return (FBits >> e) & 1u; }
  constexpr void Include(TCurveFitError e) noexcept { FBits = uint8_t(FBits | (1u << e)); }
  constexpr bool Empty() const noexcept { return FBits == 0; }
  constexpr void Clear() noexcept { FBits = 0; }
  constexpr bool operator==(const TCurveFitErrorSet&) const noexcept = default;

 private:
  uint8_t FBits = 0;
};

// The running sums (80-bit extended floats), one per function of x and y.
struct TCurveFitSums {
  long double sumx = 0, sumy = 0;              // Σx, Σy
  long double sumxq = 0, sumyq = 0;            // Σx², Σy²
  long double sumDiff = 0, SumDiffq = 0;       // Σ(x−y), Σ(x−y)²
  long double sumxy = 0;                       // Σxy
  long double sumx2y = 0, sumxy2 = 0;          // Σx²y, Σxy²
  long double sumx3 = 0, sumy3 = 0, sumx4 = 0, sumy4 = 0;
  long double sum1byy = 0, sum1byxy = 0, sum1byyq = 0;  // Σ1/y, Σ1/(xy), Σ1/y²
  long double sumxbyy = 0, sumybyx = 0;        // Σx/y, Σy/x
  long double sum1byx = 0, sum1byxq = 0;       // Σ1/x, Σ1/x²
  long double sumlnx = 0, sumlnxlny = 0, sumlnxq = 0;   // Σln x, Σln x·ln y, Σ(ln x)²
  long double sumylny = 0, sumylnx = 0, sumxlnx = 0;    // Σy·ln y, Σy·ln x, Σx·ln x
  long double sumlnxbyy = 0, sumlnybyx = 0;    // Σln x/y, Σln y/x
  long double sumlny = 0, sumlnyq = 0;         // Σln y, Σ(ln y)²
  long double sumxlny = 0, sumxqlny = 0, sumyqlnx = 0;  // Σx·ln y, Σx²·ln y, Σy²·ln x
};

class TCurveFit : public TComponent {
 public:
  explicit TCurveFit(TComponent* AOwner = nullptr);
  ~TCurveFit() override;
  std::string ClassName() const override { return "TCurveFit"; }

  // ---- data ---------------------------------------------------------------------------------
  // Clears the pairs, sums, extremes, error indicators and cached results.
  void Init();
  // Adds a pair; returns the new number of pairs.
  int32_t EnterStatValue(double x, double y);
  // Removes pair ix (1-based) and its terms from the sums; extremes and error indicators keep
  // what they have seen. An index outside 1..NumData only clears the caches.
  void RemoveStatValue(int32_t ix);
  // Exchanges the roles of x and y.
  void FlipXY();

  double GetDataX(int32_t ix) const noexcept;  // 0 outside 1..NumData
  double GetDataY(int32_t ix) const noexcept;
  double DataX(int32_t ix) const noexcept { return GetDataX(ix); }
  double DataY(int32_t ix) const noexcept { return GetDataY(ix); }
  int32_t NumData() const noexcept { return FNumData; }
  double MinX() const noexcept { return FMinX; }
  double MaxX() const noexcept { return FMaxX; }
  double MinY() const noexcept { return FMinY; }
  double MaxY() const noexcept { return FMaxY; }
  TCurveFitErrorSet ErrIndic() const noexcept { return FErrIndic; }
  const TCurveFitSums& Sums() const noexcept { return S; }

  // ---- spline settings ----------------------------------------------------------------------
  void SetNatural1(bool Value);
  void SetNaturalN(bool Value);
  void SetY1Dash(double Value);
  void SetYNDash(double Value);
  void SetSplineSmoothing(double Value);
  bool SplineNatural1() const noexcept { return FNatural1; }
  bool SplineNaturalN() const noexcept { return FNaturalN; }
  double SplineDerivY1() const noexcept { return FY1Dash; }
  double SplineDerivYN() const noexcept { return FYNDash; }
  double SplineSmoothingFactor() const noexcept { return FPSplineSmooth; }

  // ---- descriptive statistics ---------------------------------------------------------------
  double GetMeanX() const noexcept;
  double GetMeanY() const noexcept;
  double GetMeanDiff() const noexcept;
  double GetStdDevX() const noexcept;  // 0 below three pairs
  double GetStdDevY() const noexcept;
  double GetStdDevDiff() const noexcept;
  double GetRxy() const noexcept;      // Pearson correlation
  double MeanX() const noexcept { return GetMeanX(); }
  double MeanY() const noexcept { return GetMeanY(); }
  double MeanDiff() const noexcept { return GetMeanDiff(); }
  double StdDevX() const noexcept { return GetStdDevX(); }
  double StdDevY() const noexcept { return GetStdDevY(); }
  double StdDevDiff() const noexcept { return GetStdDevDiff(); }
  double CorrCoeff() const noexcept { return GetRxy(); }
  void CalcStatistics(int32_t& NumData, double& MeanX, double& MeanY, double& StdevX,
                      double& StdevY, double& MeanDiff, double& StdevDiff, double& rxy) const;
  // Quartiles by linear interpolation at ranks (n+1)/4, (n+1)/2, 3(n+1)/4; false without data.
  bool QuartilesX(double& q1, double& q2, double& q3) const;
  bool QuartilesY(double& q1, double& q2, double& q3) const;
  // Bias-corrected sample skewness and excess kurtosis; 0 below four pairs.
  double GetSkewnessX() const;
  double GetSkewnessY() const;
  double GetKurtosisX() const;
  double GetKurtosisY() const;
  double SkewnessX() const { return GetSkewnessX(); }
  double SkewnessY() const { return GetSkewnessY(); }
  double KurtosisX() const { return GetKurtosisX(); }
  double KurtosisY() const { return GetKurtosisY(); }
  // Mean direction in degrees (0 <= result < 360) of column 1 (x) or 2 (y).
  double CalcMeanDegrees(int32_t Column) const;
  double GetMeanXDegrees() const { return CalcMeanDegrees(1); }
  double GetMeanYDegrees() const { return CalcMeanDegrees(2); }
  double MeanAngleX() const { return GetMeanXDegrees(); }
  double MeanAngleY() const { return GetMeanYDegrees(); }

  // ---- rank statistics ----------------------------------------------------------------------
  // Concordant, discordant, tied-in-y-only (Ties1) and tied-in-x-only (Ties2) pair counts.
  void BasicRankCounts() const;
  int64_t KendallConcord() const noexcept { return FKendallConcord; }
  int64_t KendallDiscord() const noexcept { return FKendallDiscord; }
  int64_t KendallTies1() const noexcept { return FKendallTies1; }
  int64_t KendallTies2() const noexcept { return FKendallTies2; }
  // Kendall's tau-b; p is its two-sided probability under independence.
  double KendallsTau(double& p) const;
  double GetKruskalGamma() const;
  double KruskalGamma() const { return GetKruskalGamma(); }
  // Spearman rank correlation with mid-ranks and the tie correction.
  double GetSpearman() const;
  double SpearmanRankCorr() const { return GetSpearman(); }
  // Variance table of a regression: x holds observed, y estimated values.
  void CalcAnovaReg(int32_t NumVars, bool IncludeConst, int32_t& dfreg, int32_t& dfres,
                    int32_t& dftotal, double& SSE, double& SSR, double& SST, double& MSE,
                    double& MSR, double& F) const;

  // ---- ASC file -----------------------------------------------------------------------------
  // Returns "" on success, else the error text.
  std::string ExportAsASC(const std::string& FName, const std::string& Comment,
                          int32_t Precision) const;
  // Returns 0 on success, else the header reader's code, -7, 250 or 251; on failure the pairs
  // and sums are unchanged.
  int32_t ImportASC(const std::string& FName);

  // ---- fits ---------------------------------------------------------------------------------
  // FitQual is the coefficient of determination of the fitted curve.
  void CalcLinFit(double& k, double& d, double& FitQual) const;  // y = k·x + d
  void CalcParabolFit(double& k0, double& k1, double& k2,
                      double& FitQual) const;  // y = k0 + k1·x + k2·x²
  // y = Σ kArray[i]·x^i; kArray needs nOrder + 1 elements.
  bool CalcPolyFit(uint8_t nOrder, std::span<double> kArray, double& FitQual,
                   bool& NearSingular) const;
  // y = Σ kArray[i]·(x − XShift)^i; XShift = 0 on entry selects the mean of x.
  bool CalcCenteredPolyFit(uint8_t nOrder, std::span<double> kArray, double& XShift,
                           double& FitQual, bool& NearSingular) const;
  void CalcCircleFit(double& r, double& dx, double& dy) const;
  void CalcGaussFit(double& k0, double& k1, double& k2,
                    double& FitQual) const;  // y = k0·exp(−(x − k1)²/k2)
  void CalcHoerlFit(double& k0, double& k1, double& k2,
                    double& FitQual) const;  // y = k0·k1^x·x^k2
  void CalcReciLinFit(double& k0, double& k1, double& FitQual) const;  // y = 1/(k0 + k1·x)
  void CalcHyperbolFit(double& k0, double& k1, double& FitQual) const;  // y = k0 + k1/x
  void CalcReciHyperbolFit(double& k0, double& k1,
                           double& FitQual) const;                    // y = x/(k0·x + k1)
  void CalcLogFit(double& k0, double& k1, double& FitQual) const;      // y = k0 + k1·ln x
  void CalcReciLogFit(double& k0, double& k1, double& FitQual) const;  // y = 1/(k0 + k1·ln x)
  void CalcPowerFit(double& k0, double& k1, double& FitQual) const;    // y = k0·x^k1
  void CalcExponentialFit(double& k0, double& k1,
                          double& FitQual) const;  // y = k0·exp(k1·x)

  // Interpolating cubic spline through the pairs (equal x merged to their mean y) with the end
  // conditions SplineNatural1/N, SplineDerivY1/N.
  double CubicSpline(double x) const;
  // Penalised smoothing spline with the smoothing factor p = SplineSmoothingFactor in [0, 1]
  // (1 interpolates, 0 gives the least-squares line). FitQual: coefficient of determination at
  // the pairs; valid: false when there are fewer than two distinct x.
  double SmoothedSpline(double x, double& FitQual, bool& valid) const;

 private:
  void AddTerms(double x, double y, long double sign, bool flags);
  void InvalidateCaches() noexcept;
  void EnsureSpline() const;
  void EnsurePenSpline() const;
  const std::vector<double>& Column(int32_t c) const noexcept { return c == 1 ? FX : FY; }

  TCurveFitSums S;
  int32_t FNumData = 0;
  double FMinX = 0, FMaxX = 0, FMinY = 0, FMaxY = 0;
  bool FNatural1 = true, FNaturalN = true;
  double FY1Dash = 0, FYNDash = 0;
  TCurveFitErrorSet FErrIndic;
  // The pairs, one contiguous column each: FX[i−1], FY[i−1] is pair i.
  std::vector<double> FX, FY;
  double FPSplineSmooth = 0.5;

  // Caches, refreshed on demand by the const operations that use them.
  mutable std::vector<double> SplSortedX, SplSortedY, Spl2Deriv;
  mutable bool FSplineValid = false;
  mutable std::vector<double> PSplX, PSplG, PSpl2Deriv;
  mutable double FPSplineFQ = 0;
  mutable bool FPenSplineValid = false;
  mutable bool FPenSplineOK = false;
  mutable bool FKendallValid = false;
  mutable int64_t FKendallConcord = 0, FKendallDiscord = 0, FKendallTies1 = 0, FKendallTies2 = 0;
};

}  // namespace qmx
