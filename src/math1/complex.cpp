// Complex arithmetic in 80-bit precision.
#include "qmx/complex.h"

#include <cmath>

namespace qmx {

// Constant-initialised, so it holds its start value before any other module's start-up code.
long double CpxNearZero = 1e-15L;

TComplex Cpx(long double re, long double im) { return TComplex{re, im}; }

long double CpxAbs(const TComplex& z) { return std::hypot(z.re, z.im); }

long double CpxAbsSqr(const TComplex& z) { return z.re * z.re + z.im * z.im; }

TComplex CpxAdd(const TComplex& z1, const TComplex& z2) { return {z1.re + z2.re, z1.im + z2.im}; }

TComplex CpxSub(const TComplex& z1, const TComplex& z2) { return {z1.re - z2.re, z1.im - z2.im}; }

TComplex CpxMult(const TComplex& z1, const TComplex& z2) {
  return {z1.re * z2.re - z1.im * z2.im, z1.re * z2.im + z1.im * z2.re};
}

TComplex CpxDiv(const TComplex& z1, const TComplex& z2) {
  const long double d = z2.re * z2.re + z2.im * z2.im;
  // The division by zero is reported as the runtime's floating-point error instead of a trap or
  // a silent infinity.
  if (d == 0.0L) throw EMathError("CpxDiv: division by zero");
  return {(z1.re * z2.re + z1.im * z2.im) / d, (z1.im * z2.re - z1.re * z2.im) / d};
}

TComplex CpxConj(const TComplex& z) { return {z.re, -z.im}; }

TComplex CpxNeg(const TComplex& z) { return {-z.re, -z.im}; }

bool CpxIsEqual(const TComplex& z1, const TComplex& z2) { return z1.re == z2.re && z1.im == z2.im; }

bool CpxIsNearEqual(const TComplex& z1, const TComplex& z2) {
  return std::fabs(z1.re - z2.re) < CpxNearZero && std::fabs(z1.im - z2.im) < CpxNearZero;
}

bool CpxIsZero(const TComplex& z) {
  TComplex c = z;
  if (std::fabs(c.re) < CpxNearZero) c.re = 0.0L;
  if (std::fabs(c.im) < CpxNearZero) c.im = 0.0L;
  return c.re == 0.0L && c.im == 0.0L;
}

TComplexPolar ConvertRectToPolar(const TComplex& z) { return {CpxAbs(z), std::atan2(z.im, z.re)}; }

TComplex ConvertPolarToRect(const TComplexPolar& p) { return {p.r * std::cos(p.phi), p.r * std::sin(p.phi)}; }

}  // namespace qmx
