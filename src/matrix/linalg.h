// Dense linear-algebra kernels on raw column-major storage (internal, not installed).
//
// Storage: a matrix of nr rows and nc columns is one contiguous block of nr*nc doubles with the
// columns one after the other: row r, column c (0-based) at c*nr + r. That is TMatrix's layout
// (cell (c, r), 1-based, at (c-1)*NrOfRows + (r-1)), so a TMatrix's storage is passed as it is.
// In the comments below A(r, c) is the usual row-column element.
//
// Every sum runs over its index in increasing order, one term after the other, exactly as the
// textbook loops do; blocking and vectorisation only reorder independent sums, so the results
// are bit-identical to the plain loops (the builds use -ffp-contract=off).
//
// The kernels do no argument checks beyond what is stated: dimensions must be >= 0 and the
// pointers must address the stated number of elements (a null pointer is fine for 0 elements).
// Output buffers must not overlap inputs unless stated.
#pragma once

#include <cstdint>

namespace qmx {

// Parity of the most recent TMatrix::LUdecomposition (+1 or -1), read by Determinant. Defined in
// linalg.cpp; the kernels below never touch it (they return the parity), the class sets it.
extern int32_t LUParity;

namespace linalg {

// ---- products ---------------------------------------------------------------------------------

// C = op(A) * op(B); C is m x n, op(A) m x k, op(B) k x n.
// transA false: A is stored m x k; true: A is stored k x m and op(A) = A^T (likewise B).
// C(r, c) = sum over p = 0..k-1 of op(A)(r, p) * op(B)(p, c), p increasing. k = 0 gives zeros.
void MatMul(const double* A, bool transA, const double* B, bool transB, int32_t m, int32_t n,
            int32_t k, double* C);

// y = A x (trans false; A is m x n, x has n, y has m elements) or y = A^T x (trans true; x has
// m, y has n elements). Sums in increasing index order.
void MatVec(const double* A, int32_t m, int32_t n, bool trans, const double* x, double* y);

// R (n x n) = A^T A / norm for A of m rows and n columns: R(i, j) = R(j, i) =
// (sum over rows r of A(r, i) * A(r, j)) / norm. Before each column i the abort flag is tested
// (set: return false, R partly written), then one progress step is made. Returns true when done.
bool SquareAtA(const double* A, int32_t m, int32_t n, double norm, double* R);

// ---- LU decomposition (Crout, partial pivoting with implicit row scaling) ------------------------

enum TLUStatus : int32_t {
  luOK = 0,         // decomposed, every pivot at least 1E-100 in magnitude
  luTinyPivot = 1,  // decomposed, but some pivot below 1E-100 was replaced by 1E-100
  luZeroRow = 2,    // a row of zeros: stopped before decomposing, a unchanged
  luAborted = 3     // AbortMathProc was set (only with progress)
};

// Decomposes the n x n matrix a in place into L (strict lower triangle, unit diagonal implied)
// and U (upper triangle with diagonal) of the row-permuted matrix: L * U = P * a.
// Pivot choice: in column j the row i >= j with the largest |U(i, j)| / (largest |a| of row i),
// a later row winning ties; the rows are exchanged over all columns. A pivot with magnitude below
// 1E-100 is set to 1E-100 and the work continues (status luTinyPivot).
// perm (n elements, may be null): perm[j] = the row exchanged with row j at step j (>= j).
// parity: +1 or -1 (number of exchanges even or odd); +1 when stopped at a zero row.
// progress true: the abort flag is tested before the scaling (set: luAborted, a unchanged), and
// each column makes one progress step followed by an abort test (luAborted, a holds partial
// work: the elements are computed in right-looking, blocked order).
TLUStatus LUDecompose(double* a, int32_t n, int32_t* perm, int32_t& parity, bool progress);

// Splits an in-place decomposition: L (n x n) receives the strict lower triangle of lu and 1.0 on
// the diagonal (its upper triangle is set to 0), and lu's strict lower triangle is set to 0.
void LUSplit(double* lu, double* L, int32_t n);

// Determinant of the n x n matrix A (not changed): parity * product of U's diagonal, 0.0 when the
// decomposition stops at a zero row or has a tiny pivot; parity receives the decomposition's.
// n = 0 gives 0.0.
double Determinant(const double* A, int32_t n, int32_t& parity);

// In-place inverse of the n x n matrix a by the decomposition above and forward and back
// substitution of the unit columns (leading zeros of the right-hand side skipped).
// Progress: as LUDecompose with progress, then one step and one abort test per unit column.
// Returns luOK with a holding the inverse; otherwise a holds what the decomposition left:
// unchanged after luZeroRow, the scaled factors after luTinyPivot, partial work after luAborted.
// Throws std::bad_alloc when the work storage cannot be had.
TLUStatus Invert(double* a, int32_t n);

// ---- Cholesky ---------------------------------------------------------------------------------

// Cholesky factor of the symmetric n x n matrix a, reading only its lower triangle with the
// diagonal: for i <= j, s = A(j, i) - sum_{k < i} L(i, k) L(j, k) (k increasing); the diagonal
// factor is sqrt(s) when s > 0; otherwise the result becomes false, the factor and the
// off-diagonal factors of that column are taken as 0 and the work goes on.
// a's strict upper triangle receives the off-diagonal factors transposed (A(i, j) = L(j, i) for
// j > i); its lower triangle and diagonal stay. L (n x n, may be null) receives L(j, i) for j >= i;
// its strict upper triangle is not written. Returns true when every s was > 0.
bool Cholesky(double* a, int32_t n, double* L);

// ---- balancing and norms -------------------------------------------------------------------------

// Balances the n x n matrix a in place: passes until the largest factor of a pass is below 1.05;
// per index i with r = sum |A(i, j)|, c = sum |A(j, i)| over j != i: when c != 0 and r != 0,
// f = sqrt(r / c), row i (off-diagonal) divided by f, column i (off-diagonal) multiplied by f.
// An index with r = 0 or a non-finite factor is skipped, and at most 1000 passes run, so the loop
// ends on every input.
void Balance(double* a, int32_t n);

// Largest column sum of |A| (colwise), largest row sum of |A| (rowwise), sqrt of the sum of
// squares (Frobenius); A is m x n. 0.0 for an empty matrix.
double NormColwise(const double* A, int32_t m, int32_t n);
double NormRowwise(const double* A, int32_t m, int32_t n);
double NormFrobenius(const double* A, int32_t m, int32_t n);

// Largest singular value of A (m x n, not changed), computed by SVDecompose without U and V
// (same singular values and the same 4*n progress steps); 0.0 when none is positive or the
// matrix is empty. ok becomes false when the decomposition failed (no convergence or abort).
double NormSpectral(const double* A, int32_t m, int32_t n, bool& ok);

}  // namespace linalg
}  // namespace qmx

#include "matrix/svd.h"
