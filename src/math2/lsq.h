// Least-squares solver on the library's singular value decomposition; used by the polynomial
// fits and the local regression of the nearest-neighbour estimate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmx {

class TMatrix;
class TVector;

// Minimises |A x - y| for A with m rows and n columns (TMatrix: n columns, m rows) and y with m
// elements. A is overwritten (its contents afterwards are unspecified). x is resized to n; when
// StdErr is not null it is resized to n and element r receives sqrt(sum_j V(r,j)^2 / w_j^2).
// Singular values below 1e-14 times the largest are dropped and NearSingular is then set (it is
// cleared first). m < n is allowed: A is treated as extended with zero rows, which gives the
// minimum-norm solution and always sets NearSingular.
// Returns false when the decomposition failed (abort or no convergence), when A or y is null or
// when y does not have m elements; x is then left unchanged.
bool LeastSquaresSolve(TMatrix* A, const TVector* y, TVector* x, TVector* StdErr,
                       bool& NearSingular);

// The same on raw column-major storage: A holds m*n values (column j at A + j*m) and is
// overwritten, y has m values, x receives n values, StdErr (may be null) n values.
bool LeastSquaresSolve(double* A, int32_t m, int32_t n, const double* y, double* x,
                       double* StdErr, bool& NearSingular);

namespace math2detail {

// Householder QR of the column-major m x p matrix A with the right-hand side appended as column
// p (A holds m*(p+1) values and is overwritten). On return R (p x p, column-major, zero below the
// diagonal and in the rows m..p-1 when m < p) and the first p elements of Q'y. A tall design
// then needs only a decomposition of the small triangle, which has the same singular values and
// the same least-squares solution.
void ReduceToTriangle(std::vector<double>& A, std::size_t m, std::size_t p, std::vector<double>& R,
                      std::vector<double>& qty);

}  // namespace math2detail

}  // namespace qmx
