// Covariance and correlation matrices, Jacobi eigen analysis with the process-wide eigen result
// store, principal components, pseudo-inverse and Mahalanobis distance.
#pragma once

#include <cstdint>

#include "qmx/frame.h"
#include "qmx/statis/fishq.h"

namespace qmx {

class TMatrix;
class TVector;

// Element (i, j) of the result of CalcCovar by mode:
//   0  sum of x_i*x_j / (rows - 1), no centring
//   1  covariance
//   2  correlation (diagonal exactly 1.0; a zero variance product is replaced by 1e-38)
//   3  squared correlation (diagonal computed, not forced)
//   4  sum of (x_i - x_j)^2 / (rows - 1)
//   any other value: 0 for every element
// Writes the top-left p x p block of Result (p = number of selected columns) and never resizes
// it. False when Result is smaller than p x p, when fewer than two rows are selected, or when
// the run was aborted (the rows written so far stay). Clears AbortMathProc at its start.
bool CalcCovar(const TMatrix* DataMat, TMatrix* Result, int32_t LowCol, int32_t HighCol,
               int32_t LowRow, int32_t HighRow, int32_t CovarMode);

// Cyclic Jacobi eigen analysis of a symmetric matrix (only its upper triangle and diagonal are
// read; the upper triangle is destroyed). Eigenvalues and eigenvectors go to the eigen result
// store, unsorted. False when the matrix is not square or larger than 10000, when it did not
// converge within 100 sweeps, or when aborted (the store then holds the partial result).
bool CalcEigVec(TMatrix* InMat);

// Eigen result store: k = 1..n selects the eigenpair; r = 0 gives the eigenvalue, r = 1..n the
// r-th element of the eigenvector. 0 outside these ranges or when the store is empty.
double GetEigenResult(int32_t k, int32_t r) noexcept;
// Size of the last analysis (kept after RemoveEigenMatrix).
int32_t GetEigenSize() noexcept;
void RemoveEigenMatrix() noexcept;

// Principal components of the selected columns (objects in rows): covariance matrix by
// CovarMode, eigen analysis, optional normalisation of the eigenvalues to fractions of the sum of
// their absolute values, and ordering of the positive eigenvalues by size. Results are read with
// GetEigenResult.
bool CalcPrincComp(const TMatrix* DataMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                   int32_t HighRow, int32_t CovarMode, bool Normalize);
bool CalcPrincComp(const TMatrix* DataMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                   int32_t HighRow, int32_t CovarMode);

// Moore-Penrose pseudo-inverse of A (m rows, n columns; unchanged). PInv is resized to n rows and
// m columns. Singular values not above Threshold are dropped; Threshold <= 0 selects
// max(m, n) * max(w) * 1.2e-16. Returns the success of the decomposition.
bool PseudoInverse(const TMatrix* A, TMatrix* PInv, double Threshold);

// sqrt(d' M d) with d = x - y and M the inverse covariance matrix. Raises EQMXVectorError for
// mismatched dimensions or a negative quadratic form.
double MahalanobisDistance(const TVector* x, const TVector* y, const TMatrix* InvCovar);

}  // namespace qmx
