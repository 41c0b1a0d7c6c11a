// Module Qmx_statis: special functions, probability distributions, hypothesis and outlier
// tests, the random generator for tabulated distributions and the cross-validation driver.
//
// Two families live here. The classic routines (LnGamma, IncompleteGamma, IncompleteBeta, Erf,
// the normal distribution and its quantile) keep their documented algorithms and tolerances,
// which are far from full double precision (see docs/statis.md). The chi-square, t, F, U and
// Shapiro-Wilk functions are computed to full double precision by separate internal routines
// and never go through the classic ones.
#pragma once

#include <cstdint>
#include <functional>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/statis/fishq.h"
#include "qmx/statis/tests.h"
#include "qmx/statis/randgen.h"
#include "qmx/statis/crossval.h"

namespace qmx {

class TVector;

// Progress report of long statistics routines: sender (may be null), the step counter and the
// percentage done.
using TFeedbackProc = std::function<void(TObject* Sender, double Counter, double PercentDone)>;

// ---- special functions (documented low-precision algorithms) ----------------------------------

double LnGamma(double x);                                // 0 for x <= 0
double IncompleteGamma(double x, double a);              // regularised P(a, x)
double IncompleteBeta(double x, double a, double b);     // regularised I_x(a, b)
double LnBeta(double z, double w);                       // 0 if z or w is negative
int32_t BinomCoeff(int32_t n, int32_t k);                // 0 outside 0 <= k <= n
double LnBinomCoeff(int32_t n, int32_t k);               // -1 outside 0 <= k <= n
double Erf(double x);
double ErfApprox(double x);

// ---- normal, Weibull, hypergeometric ----------------------------------------------------------

double nDistriDensity(double x);
double nDistriIntegral(double x);
double nDistriQuantile(double p);                         // 0 for p <= 0 or p >= 1
double WeibullDensity(double x, double beta, double eta);
double HyperGeoDistriDensity(double p, int32_t npop, int32_t nsample, int32_t k);

double FisherTransform(double r);
double FisherTransformInv(double z);
double ConfidenceInterval(double alpha, double sd, int32_t n);

// 0 on success, -1 bad bounds, -3 hi < lo, -2 percentile outside 0..100. Rearranges
// data[lo..hi].
int32_t PercentileOfArray(TDoubleArray& data, double percentile, int32_t lo, int32_t hi,
                          double& value);

// Adaptive Gaussian kernel density of data (sorted in place) at numsteps + 1 points between
// lowx and highx, written to density (resized). minix/maxix: element numbers of the smallest
// and largest density value.
void EstimateProbDensity(TVector* data, TVector* density, double lowx, double highx,
                         double factor, double window, int32_t numsteps, int32_t& minix,
                         int32_t& maxix, const TFeedbackProc& feedback = nullptr);

// ---- chi-square, t and F (full double precision) ----------------------------------------------
// Integral = lower-tail distribution function, Quantile = its inverse. Degrees of freedom < 1
// give 0 (quantiles too). Quantiles give the lower end of the support (0; for t -infinity) for
// p <= 0 and +infinity for p >= 1.

double chi2DistriIntegral(double x, int32_t df);
double Chi2DistriDensity(double x, int32_t df);
double chi2DistriQuantile(double p, int32_t df);
double tDistriIntegral(double x, int32_t df);
double tDistriDensity(double x, int32_t df);
double tDistriQuantile(double p, int32_t df);
double FDistriDensity(double x, int32_t df1, int32_t df2);
double FDistriIntegral(double x, int32_t df1, int32_t df2);
double FDistriQuantile(double p, int32_t df1, int32_t df2);

// ---- Mann-Whitney U under the null hypothesis -------------------------------------------------
// Exact for n1 + n2 <= 200, normal approximation with continuity correction beyond.

double UDistriDensity(int32_t n1, int32_t n2, int32_t u);    // P(U = u)
double UDistriIntegral(int32_t n1, int32_t n2, int32_t u);   // P(U <= u)
double UDistriQuantile(int32_t n1, int32_t n2, double p);    // smallest u with P(U <= u) >= p

// ---- Shapiro-Wilk -----------------------------------------------------------------------------
// P(W <= w) for a sample of n (3..5000) under normality, the test's p-value (Tail = 0), or the
// upper tail P(W > w) (Tail != 0). -1 for n outside 3..5000.
double ShapiroWilkIntegral(double w, int32_t n, int32_t Tail = 0);

}  // namespace qmx
