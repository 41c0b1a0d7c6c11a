// Complex numbers (module Qmx_complex) in 80-bit extended precision: construction, arithmetic,
// magnitude, comparison and rectangular/polar conversion. Only CpxDiv raises (EMathError on a
// zero divisor); EQMXComplexError is the module's error class.
#pragma once

#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

struct TComplex {
  long double re = 0.0L;
  long double im = 0.0L;
};

struct TComplexPolar {
  long double r = 0.0L;    // magnitude
  long double phi = 0.0L;  // angle in radians
};

inline constexpr TComplex COMPLEX_0{0.0L, 0.0L};
inline constexpr TComplex COMPLEX_1{1.0L, 0.0L};
// Tolerance of CpxIsNearEqual and CpxIsZero; may be changed at run time (not synchronised).
extern long double CpxNearZero;

TComplex Cpx(long double re, long double im);
long double CpxAbs(const TComplex& z);     // sqrt(re^2 + im^2), without overflow of the squares
long double CpxAbsSqr(const TComplex& z);  // re^2 + im^2
TComplex CpxAdd(const TComplex& z1, const TComplex& z2);
TComplex CpxSub(const TComplex& z1, const TComplex& z2);
TComplex CpxMult(const TComplex& z1, const TComplex& z2);
// z1 / z2; a divisor whose squared magnitude is 0 raises EMathError "CpxDiv: division by zero".
TComplex CpxDiv(const TComplex& z1, const TComplex& z2);
TComplex CpxConj(const TComplex& z);
TComplex CpxNeg(const TComplex& z);
bool CpxIsEqual(const TComplex& z1, const TComplex& z2);      // both parts exactly equal
bool CpxIsNearEqual(const TComplex& z1, const TComplex& z2);  // both differences < CpxNearZero
bool CpxIsZero(const TComplex& z);                            // both magnitudes < CpxNearZero
TComplexPolar ConvertRectToPolar(const TComplex& z);          // phi = atan2(im, re)
TComplex ConvertPolarToRect(const TComplexPolar& p);

}  // namespace qmx
