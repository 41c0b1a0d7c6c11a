// Singular value decomposition kernel (internal, not installed): Householder reduction to
// bidiagonal form and implicit-shift QR on the bidiagonal. Storage is column-major as in
// matrix/linalg.h: A(r, c) of an m-row matrix at c*m + r (0-based), i.e. TMatrix's layout.
#pragma once

#include <cstdint>

namespace qmx::linalg {

enum TSVDStatus : int32_t {
  svdOK = 0,
  svdNoConvergence = 1,  // some singular value needed more than 30 QR sweeps
  svdAborted = 2         // AbortMathProc was set at a progress step
};

// Decomposes A = U * diag(w) * V^T.
//   a: m rows x n columns (column-major, m*n doubles); overwritten by U (m x n).
//   w: n elements, the singular values (non-negative, not sorted).
//   v: n x n (column-major), the right singular vectors as columns; may be null, and then
//      neither V nor U is formed (a is left holding intermediate values); w is the same.
// Progress: one step (ProgressStep: add 1.0 to ProcStat, call MathFeedBackProc, test
// AbortMathProc) per column in the reduction, in the accumulation of V and in that of U, and per
// singular value in the diagonalisation: 4*n steps. The steps are made when v is null too.
// When the abort flag is found set the kernel returns svdAborted at once.
// Failure to converge within 30 sweeps marks the result svdNoConvergence; the 30th sweep still
// runs and the remaining singular values are still worked on.
// m < n: the matrix is extended by zero rows to n x n internally; w then holds the n singular
// values of that square matrix (the m of A and n - m zeros, not sorted) and a receives the first
// m rows of its U. n = 0: nothing to do, svdOK.
// Throws std::bad_alloc when the work storage cannot be had.
TSVDStatus SVDecompose(double* a, int32_t m, int32_t n, double* w, double* v);

}  // namespace qmx::linalg
