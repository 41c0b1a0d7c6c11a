// Raw-storage kernels shared by the multivariate functions.
#pragma once

#include <cstdint>

namespace qmx::math2detail {

// Covariance-type matrix of columns c1..c2 and rows r1..r2 (0-based, inclusive, already valid)
// of column-major data with leading dimension ld, written into the top-left block of res
// (leading dimension ldr). Follows the progress and abort protocol of CalcCovar; returns false
// when aborted.
bool CovarKernel(const double* data, int32_t ld, int32_t c1, int32_t c2, int32_t r1, int32_t r2,
                 int32_t mode, double* res, int32_t ldr);

// Cyclic Jacobi on the symmetric n x n column-major matrix a (leading dimension lda); results go
// to the eigen result store. Returns false on abort or when not converged in 100 sweeps.
bool JacobiEigen(double* a, int32_t n, int32_t lda);

}  // namespace qmx::math2detail
