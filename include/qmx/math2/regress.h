// Regression and decomposition: the singular value decomposition and the solve from it,
// multiple linear and ridge regression, SIMPLS partial least squares, vertex component analysis
// and the penalised cubic smoothing spline.
//
// Matrices are addressed (column, row) as everywhere: a data matrix has one object per row and
// one variable per column. Failures raise EQMXMath2Error with "<operation>: <reason>".
#pragma once

#include <cstdint>
#include <span>

#include "qmx/frame.h"

namespace qmx {

class TMatrix;
class TVector;
class TIntVector;

// A = U diag(W) V'. A (m rows, n columns) is replaced by U (m x n; for m < n the first m rows of
// the U of A extended by zero rows), V becomes n x n, W holds the n singular values in
// descending order (the columns of U and V follow them). Raises on abort or no convergence
// (A is then unchanged).
void SingValDecomp(TMatrix* A, TMatrix* V, TVector* W);

// X := V diag(1/W) U' B, the least-squares solution of A x = B from a decomposition as
// SingValDecomp gives it. Singular values not above max(m, n) * max(W) * 1.2e-16, zero or
// negative ones are dropped (set elements of W to 0 beforehand to drop more). StdErr (may be
// null) receives sqrt(sum_j V(r, j)^2 / W_j^2), the standard errors for unit residual variance.
void SingValEquSolve(const TMatrix* U, const TMatrix* V, const TVector* W, const TVector* B,
                     TVector* X, TVector* StdErr);

// Fit statistics of MultiLinReg and the ridge regressions.
struct TRegressionStats {
  int32_t NumObs = 0;        // objects
  int32_t NumPred = 0;       // predictors (without the intercept)
  int32_t Rank = 0;          // rank of the centred predictors (kept singular values)
  double DfReg = 0.0;        // regression degrees of freedom (ridge: effective, trace of the hat matrix minus 1)
  double DfRes = 0.0;        // NumObs - 1 - DfReg
  double SSTot = 0.0;        // centred total sum of squares of y
  double SSRes = 0.0;        // residual sum of squares
  double RSquared = 0.0;     // 1 - SSRes / SSTot (0 for constant y)
  double AdjRSquared = 0.0;  // 1 - (1 - R^2) (NumObs - 1) / DfRes
  double ResStdErr = 0.0;    // sqrt(SSRes / DfRes); 0 when DfRes <= 0
  double FValue = 0.0;       // (SSReg / DfReg) / (SSRes / DfRes); 0 when undefined
  double FpValue = 1.0;      // upper tail of F(DfReg, DfRes); NaN for the ridge fits (no F law)
};

// y = b0 + b1 x1 + ... + bp xp by least squares (X: p columns, n rows; y: n elements).
// Coeffs and StdErrs become p + 1 long, intercept first. Predictors are centred and the
// centred system solved through a Householder reduction and the singular value decomposition;
// singular values below 1e-14 of the largest are dropped (collinear predictors, more
// predictors than objects) and NearSingular is then set: the coefficients are the minimum-norm
// solution. Standard errors need DfRes > 0 and are 0 otherwise.
void MultiLinReg(const TMatrix* X, const TVector* y, TVector* Coeffs, TVector* StdErrs,
                 bool& NearSingular, TRegressionStats* Stats = nullptr);

// Ridge regression: minimises |y - b0 - X b|^2 + Lambda |b|^2 (the intercept is not penalised).
// Coeffs and StdErrs as in MultiLinReg; the standard errors are those of the ridge estimator,
// sigma^2 V diag(w^2 / (w^2 + Lambda)^2) V' with sigma^2 = SSRes / DfRes and the effective
// degrees of freedom sum w^2 / (w^2 + Lambda). Lambda < 0 raises; Lambda = 0 is MultiLinReg.
void RidgeReg(const TMatrix* X, const TVector* y, double Lambda, TVector* Coeffs, TVector* StdErrs,
              bool& NearSingular, TRegressionStats* Stats = nullptr);

// Ridge regression on standardised predictors z_j = (x_j - Means_j) / Scales_j (Scales: the
// sample standard deviation, 1 for a constant column). Coeffs are those of the z (intercept
// first, equal to the mean of y); Means and Scales become p long.
void RidgeRegStd(const TMatrix* X, const TVector* y, double Lambda, TVector* Coeffs,
                 TVector* StdErrs, TVector* Means, TVector* Scales, bool& NearSingular,
                 TRegressionStats* Stats = nullptr);

// SIMPLS partial least squares of the responses Y (q columns, n rows) on X (p columns, n rows)
// with A = NComp components (clamped to min(n - 1, p); fewer than one raises). The variables
// are centred, and divided by their standard deviations when Standardize is set. Outputs, each
// with A columns, one per component:
//   Weights (p rows): R, with the X scores T = Xs R;
//   XLoadings (p rows): P = Xs' T;  YLoadings (q rows): Q = Ys' T;
//   XScores, YScores (n rows): T (orthonormal columns) and U = Ys Q (orthogonalised against the
//   earlier T);
//   Coeffs: q columns and p + 1 rows, the regression of the original Y on the original X with
//   all A components (row 1 the intercepts);
//   ExplVarX, ExplVarY (A elements): the fraction of the total (scaled) variance of X and of Y
//   explained by each component;
//   Scaling: p + q columns, 2 rows: the means and the scales (1 when only centred) of the X
//   columns, then of the Y columns.
void SimPLS(const TMatrix* X, const TMatrix* Y, int32_t NComp, bool Standardize,
            TMatrix* Weights, TMatrix* XLoadings, TMatrix* YLoadings, TMatrix* XScores,
            TMatrix* YScores, TMatrix* Coeffs, TVector* ExplVarX, TVector* ExplVarY,
            TMatrix* Scaling);

// Vertex component analysis of the spectra in X (one spectrum per row, one band per column):
// NEnd endmembers are found as the pixels of extreme projections onto directions orthogonal to
// the endmembers found so far. HighSNR projects the data onto the NEnd leading singular
// directions and scales them projectively; otherwise onto NEnd - 1 principal directions of the
// centred data with a constant last coordinate. Endmembers gets NEnd columns and one row per
// band (the chosen spectra), Indices the chosen rows (1-based), Projected NEnd columns and one
// row per pixel (the data in the projective subspace). The random directions come from a fixed
// seed, so results are reproducible; the process-wide generator is not touched.
void VertexCompAnalysis(const TMatrix* X, int32_t NEnd, bool HighSNR, TMatrix* Endmembers,
                        TIntVector* Indices, TMatrix* Projected);

// Cubic smoothing spline minimising sum w_i (y_i - f(x_i))^2 + Lambda * integral f''(t)^2 dt
// over the points FirstIx..LastIx (0-based, inclusive) of x (strictly increasing), y and w
// (positive weights). Fitted values, first and second derivatives of f at the x_i go to S, S1
// and S2 at the same indices (natural spline: S2 is 0 at both ends). Lambda = 0 interpolates;
// as Lambda grows the fit tends to the weighted least-squares line. Fewer than two points,
// short arrays, non-increasing x, non-positive weights or Lambda < 0 raise.
void PenalizedCubicSpline(int32_t FirstIx, int32_t LastIx, double Lambda, std::span<const double> x,
                          std::span<const double> y, std::span<const double> w,
                          std::span<double> S, std::span<double> S1, std::span<double> S2);

}  // namespace qmx
