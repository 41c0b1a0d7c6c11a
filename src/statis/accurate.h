// Full-precision special functions behind the chi-square, t and F distributions. Everything runs
// in 80-bit extended precision so that the large exponents of big degrees of freedom keep their
// digits; results are good to a few units in the last place of a double.
#pragma once

namespace qmx::acc {

using LD = long double;

LD LogGamma(LD x);                  // ln Gamma(x), x > 0
LD StirlErr(LD z);                  // ln Gamma(z) - [(z - 1/2) ln z - z + ln sqrt(2 pi)], z > 0
LD Bd0(LD x, LD m);                 // x ln(x/m) + m - x, without cancellation near x = m
LD PoissonTerm(LD a, LD lambda);    // lambda^a e^-lambda / Gamma(a + 1), a >= 0
LD BetaPrefix(LD a, LD b, LD x, LD y);  // x^a y^b / B(a, b), y = 1 - x given separately

// Regularised incomplete gamma: P(a, x) and Q(a, x) = 1 - P; the smaller of the two is accurate
// to full relative precision.
// Term, when given, receives x^a e^-x / Gamma(a + 1) (the density factor).
void GammaPQ(LD a, LD x, LD& P, LD& Q, LD* Term = nullptr);
// Regularised incomplete beta I_x(a, b) and its complement; y = 1 - x given separately.
// Prefix, when given, receives x^a y^b / B(a, b).
void BetaI(LD a, LD b, LD x, LD y, LD& I, LD& Ic, LD* Prefix = nullptr);

// Standard normal: lower tail and quantile to full precision.
LD NormalCdf(LD z);
LD NormalQuantile(LD p);  // 0 < p < 1

}  // namespace qmx::acc
