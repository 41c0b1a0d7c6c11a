// Hypothesis and outlier tests: Grubbs and Dean-Dixon outliers, Kolmogorov-Smirnov and
// Lilliefors normality statistics with their p-values and quantiles, Shapiro-Wilk, runs tests,
// one-way analysis of variance, two-sample t and Mann-Whitney tests, and the critical values of
// the Wilcoxon signed-rank test. Bad arguments give the documented status results; only the
// Grubbs and Dean-Dixon tests raise EQMXStatisError.
#pragma once

#include <cstdint>

#include "qmx/basepack.h"

namespace qmx {

class TVector;
class TIntVector;

// Levels of the Kolmogorov-Smirnov tables: 0.20, 0.15, 0.10, 0.05, 0.01.
enum TSignifLevel { Dot20, Dot15, Dot10, Dot05, Dot01 };
// Levels of the Dean-Dixon table.
enum TSignifLevelEx { Dot001, Dot002, Dot005, Dot010, Dot020, Dot050, Dot100, Dot200, Dot500 };
// Numeric value of each TSignifLevelEx.
extern const double NumericSigLevel[9];

enum TtTestVersion { ttPaired, ttHomoScedastic, ttHeteroScedastic };

// ---- outliers -----------------------------------------------------------------------------------

// Critical value of Grubbs' statistic; -1 if alpha is not inside (0, 1) or n <= 2.
double GrubbsCriticalValues(int32_t n, double alpha, bool TwoSided);
// 1-based index of the outlier (the value farthest from the mean), 0 if none. Raises for
// alpha outside (0, 1) or fewer than four values.
int32_t GrubbsTest(const TVector* data, double alpha, double& statistic);
// Table value for n = 3..100, -1 otherwise.
double DeanDixonCriticalValues(int32_t n, TSignifLevelEx level);
// 1-based index of the outlier (first element equal to the suspect), 0 if none. Raises for
// fewer than three or more than 100 values.
int32_t DeanDixonTest(const TVector* data, TSignifLevelEx level, double& statistic);

// ---- Kolmogorov-Smirnov and Lilliefors ----------------------------------------------------------

// D against the standard normal distribution; sorts the data in place unless Sorted.
double PerformKSNormalityTest(TVector* data, bool Sorted);
// D after standardising the data in place (sorted in place too unless Sorted).
double PerformLillieforsTest(TVector* data, bool Sorted);
// P(D_n >= d) for the one-sample two-sided statistic of n values; 1 for d <= 0, 0 for d >= 1
// (n < 1 or NaN d give NaN).
double KSPValue(int32_t n, double d);
// Tabulated critical D (n <= 20) or the asymptotic constant / sqrt(n); -1 for an unknown level.
double KolmogSmir1SampleTestStat(int32_t n, TSignifLevel level);
// D whose p-value (KSPValue) is the level, to 1e-4 in p.
double KSQuantile(int32_t n, TSignifLevel level);
// Approximate p-value of the Lilliefors statistic; -1 if n < 6.
double LillieforsPValue(int32_t n, double d);
double LillieforsQuantile(int32_t n, double alpha);

// ---- Shapiro-Wilk -------------------------------------------------------------------------------

// W and its p-value for 3..5000 finite values. Sorted != 0 promises ascending data (no copy is
// sorted; unsorted data then give status 7). Status: 0 ok, 1 fewer than 3 values, 2 more than
// 5000, 3 a NaN or infinite value, 6 all values equal, 7 not ascending although Sorted. On a
// non-zero status W and PValue are NaN.
int32_t ShapiroWilkTest(const TVector* data, int32_t Sorted, double& W, double& PValue);

// ---- runs ---------------------------------------------------------------------------------------

// Wald-Wolfowitz runs test of the bits 0..Size; true when randomness is rejected at 0.05 (the
// p-value is one-sided: too few runs, or too many).
bool RunsTest(const TBitFld* bits, double& p);
// Runs above / not above the median; false with p = -1 when no median exists.
bool RunsTestSerial(const TVector* data, double& p);
// P(R <= runs) for n1 and n2 elements of the two kinds in random order (exact).
double ExactRunsTest(int32_t n1, int32_t n2, int32_t runs);

// ---- analysis of variance -----------------------------------------------------------------------

// One-way analysis of variance; element i of groups is the group code of data element i.
// Result: p-value; -1 fewer than two groups, -2 as many groups as values, -3 no variation at
// all, -4 groups and data of different length or a non-finite value.
double Anova1F(const TVector* data, const TIntVector* groups, double& ssbetween,
               double& sswithin, double& sstotal, int32_t& dfbetween, int32_t& dfwithin,
               int32_t& dftotal, double& f);

// ---- two-sample tests ---------------------------------------------------------------------------

// Two-sample t test. Result: the p-value (two-sided, or one-sided for the alternative
// mean1 > mean2 when OneSided), or a negative status also stored in Status: -1 too few values
// (paired: 2 pairs; equal variances: 3 values in all with 1 per sample; Welch: 2 per sample),
// -2 paired samples of different length, -3 no spread (t undefined), -4 a NaN or infinite value.
// t: the statistic; df: degrees of freedom (fractional for Welch); Mean1, Mean2, StdDev1,
// StdDev2: the samples' means and standard deviations; StdErrDiff: the standard error of the
// difference (paired: of the mean difference). On a negative status the outputs are NaN.
double Perform2SampleTTest(const TVector* data1, const TVector* data2, TtTestVersion version,
                           bool OneSided, double& t, double& df, double& Mean1, double& Mean2,
                           double& StdDev1, double& StdDev2, double& StdErrDiff,
                           int32_t& Status);
double Perform2SampleTTest(const TVector* data1, const TVector* data2, TtTestVersion version,
                           bool OneSided);

// Mann-Whitney U test. U counts the pairs with data1 > data2 (ties count 1/2). Result: the
// p-value (two-sided, or one-sided for data1 tending to be larger when OneSided): exact without
// ties when both samples have fewer than 50 values, otherwise the normal approximation with tie
// and continuity correction. -1 for an empty sample, -4 for a NaN or infinite value (U NaN).
double PerformMannWhitneyUTest(const TVector* data1, const TVector* data2, bool OneSided,
                               double& U);

// ---- Wilcoxon signed-rank -----------------------------------------------------------------------

// Critical value T of the signed-rank statistic: n = 8..100 from a parabola through the exact
// table, larger n by the normal approximation; -1 for n <= 7, n > 1000000 or alpha outside
// [5e-4, 0.2]. (Defined in the curve-fitting module, whose parabola fit it uses.)
int64_t WilcoxonSRQuantile(int32_t n, double alpha, bool TwoSided);
// Exact table entry (n = 8..100; levels 0 .. 4 for two-sided 0.10, 0.05, 0.02, 0.01, 0.001):
// the largest T with P(W <= T) <= alpha/2, or 0 when there is none; -1 outside the table.
int32_t WilcoxonSRTable(int32_t n, int32_t level);

}  // namespace qmx
