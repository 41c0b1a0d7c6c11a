// Window smoothing and derivatives of a stretch of a TVector: moving average, triangular
// weights, moving median and least-squares polynomial windows (quadratic fits).
#pragma once

#include <array>
#include <cstdint>

#include "qmx/frame.h"

namespace qmx {

class TVector;

// Row k (k = 0..10) serves the window length 2m + 1 with m = k + 2. Entry 0 is the normaliser
// N, entry 1 + i (i = 0..m) the integer weight of the samples at offset +-i, the rest 0.
// GolayPoly: smoothing weights of a quadratic fit; Golay2ndDeriv: its second derivative.
using TGolayTable = std::array<std::array<int32_t, 14>, 11>;
extern const TGolayTable GolayPoly;
extern const TGolayTable Golay2ndDeriv;

// All six smooth (or differentiate) SourceVec[First..Last] into DestVec[1..Last - First + 1]
// with an odd window of length WinLen centred on each sample; the m = WinLen div 2 samples at
// either end copy the nearest centred value. Indices are clamped to 1..NrOfElem and swapped
// when reversed; the destination is not resized (elements it does not have are not written).
// Source and destination may be the same vector. Bad arguments raise EQMXMath2Error before the
// destination is touched. Window lengths: odd and >= 3 for the moving windows, odd 5..25 for
// the polynomial ones.
void MovingAverageSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                         int32_t WinLen);
// Triangular weights m + 1 - i for offset i, divided by (m + 1)^2.
void WeightedAverageSmooth(const TVector* SourceVec, int32_t First, int32_t Last,
                           TVector* DestVec, int32_t WinLen);
// Median of the window; NaN when the window holds a NaN.
void MovingMedianSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                        int32_t WinLen);
void PolynomialSmooth(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                      int32_t WinLen);
// Least-squares slope per sample step.
void FirstDeriv(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                int32_t WinLen);
// Second derivative per squared sample step.
void SecondDeriv(const TVector* SourceVec, int32_t First, int32_t Last, TVector* DestVec,
                 int32_t WinLen);

}  // namespace qmx
