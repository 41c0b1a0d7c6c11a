// Linear filters of sampled signals: windowed-sinc kernels, sliding kernel application,
// recursive Chebyshev low- and high-pass filters run with zero phase, Gaussian similarity
// kernels. Frequencies are fractions of the sampling rate (0 to 0.5).
#pragma once

#include <cstdint>

#include "qmx/basepack.h"
#include "qmx/frame.h"

namespace qmx {

class TVector;
class TMatrix;

// Window types of the sinc kernels; any other value applies none.
constexpr int32_t kSincWindowHamming = 1;
constexpr int32_t kSincWindowBlackman = 2;

// Sinc kernels of N taps, centre at tap N div 2 (0-based). The cutoff is clamped to 0..0.5 (a
// value that is not >= 0, NaN included, becomes 0). The low-pass kernel is normalised to unit
// gain at zero frequency; high-pass = delta - low-pass; band-stop = low-pass(lower) +
// high-pass(upper) with the frequencies ordered; band-pass = delta - band-stop.
// The TVector forms size the kernel to N (N < 1: the vector is left unchanged; a null vector
// is ignored); the array forms to max(N, 0).
void CalcSincLPKernel(int32_t N, double Cutoff, int32_t WindowType, TVector* Kernel);
void CalcSincLPKernel(int32_t N, double Cutoff, int32_t WindowType, TDoubleArray& Kernel);
void CalcSincHPKernel(int32_t N, double Cutoff, int32_t WindowType, TVector* Kernel);
void CalcSincHPKernel(int32_t N, double Cutoff, int32_t WindowType, TDoubleArray& Kernel);
void CalcSincBSKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType,
                      TDoubleArray& Kernel);
void CalcSincBSKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType, TVector* Kernel);
void CalcSincBPKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType,
                      TDoubleArray& Kernel);
void CalcSincBPKernel(int32_t N, double Freq1, double Freq2, int32_t WindowType, TVector* Kernel);

// DestVec (resized to the source's size)[b - First + 1] := sum_e Kernel[e] s[b + e - 1 - L div 2]
// for b = First..Last, samples beyond the stretch repeating its end values; the kernel is not
// reversed. Indices clamped and swapped; the stretch must be longer than the kernel. Any of the
// vectors may be the same object.
void MovingKernelFilter(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                        const TVector* FilterKernel);

// Recursive Chebyshev design (Ripple in percent, 0 gives a Butterworth response):
// y[n] = a0 x[n] + sum_r (a_r x[n - r] + b_r y[n - r]), row r of Coeffs = (a_r, b_r); Coeffs is
// resized to 2 columns x NPoles rows. NPoles must be even and 2..20.
void CalcChebFilterCoeffs(int32_t NPoles, bool HighPass, double Cutoff, double Ripple,
                          double& a0, TMatrix* Coeffs);
// Zero-phase application (forward, then backward) of the recursion to the whole source
// vector from P = NPoles + 1 positions before its first element; writes DestVec[First..Last]
// (absolute indices; not resized, elements it does not have are skipped). Indices clamped and
// swapped.
void ChebychevFilter(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                     double a0, const TMatrix* Coeffs);

// exp(-min(20, sum_i (u_i - v_i)^2 / sigma^2)) over the elements of v (elements u lacks read
// 0); identical vectors give 1 whatever sigma.
double CalcGaussKernel(const TVector* u, const TVector* v, double Sigma);
// The same with v the given row of Mat over all its columns.
double CalcGaussKernelMat(const TVector* u, const TMatrix* Mat, int32_t Row, double Sigma);

}  // namespace qmx
