// Fisher's separation quotient of two groups, shared by the statistics and the multivariate
// modules (both module headers include this one; there is one definition).
#pragma once

namespace qmx {

// (Mean1 - Mean2)^2 / (StdDev1^2 + StdDev2^2); a denominator below 1e-6 is replaced by 1e-6 so
// that two groups without spread still give a finite quotient.
double CalcFishQ(double Mean1, double Mean2, double StdDev1, double StdDev2) noexcept;

}  // namespace qmx
