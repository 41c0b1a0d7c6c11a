// Chi-square, t and F distributions to full double precision, built on the extended-precision
// incomplete gamma and beta functions of statis/accurate.h.
#include <cmath>
#include <limits>

#include "qmx/statis.h"
#include "statis/accurate.h"

namespace qmx {

using acc::LD;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Tail probability (lower or upper, whichever the solver works on) and density at x > 0.
struct TailDens {
  LD tail;
  LD dens;
  LD dlogf = 0;  // d ln f / dx, for the Halley correction
};

// Solves Tail(x) = target for x > 0 by Halley steps on ln Tail over ln x, safeguarded by a
// bracket. Working on logarithms makes power-law and exponential tails almost linear, so a few
// steps reach full precision from a rough start even at target = 1e-300. Increasing: whether
// Tail grows with x (a lower tail) or falls (an upper tail).
template <class Eval>
LD SolveTail(Eval eval, bool Increasing, LD target, LD x0) {
  const LD s = Increasing ? 1 : -1;
  const LD lt = std::log(target);
  LD u = std::log(x0);
  LD uA = -std::numeric_limits<LD>::infinity();  // s * h < 0 here
  LD uB = std::numeric_limits<LD>::infinity();   // s * h > 0 here
  for (int it = 0; it < 300; ++it) {
    const LD x = std::exp(u);
    const TailDens td = eval(x);
    LD unew;
    if (!(td.tail > 0)) {
      // Underflowed tail: move away from it.
      if (s > 0) uA = u; else uB = u;
      unew = (std::isfinite(uA) && std::isfinite(uB)) ? (uA + uB) / 2 : u + s * 2;
    } else {
      const LD h = std::log(td.tail) - lt;
      if (h == 0) return x;
      if (s * h < 0) uA = u; else uB = u;
      // Halley step on g(u) = ln Tail(e^u) - ln target: g' = s r, g'' = s r (1 + x f'/f - s r)
      // with r = x f / Tail.
      const LD r = x * td.dens / td.tail;
      const LD slope = s * r;
      const LD curv = slope * (1 + x * td.dlogf - s * r);
      const LD newton = h / slope;
      const LD denom = 1 - newton * curv / (2 * slope);
      unew = u - ((denom > 0.5L && denom < 2) ? newton / denom : newton);
      if (std::fabs(unew - u) < 1e-12L * std::fmax(1, std::fabs(u))) return std::exp(unew);
      const bool bracketed = std::isfinite(uA) && std::isfinite(uB);
      if (!std::isfinite(unew) || unew <= uA || unew >= uB) {
        if (bracketed) unew = (uA + uB) / 2;
        else unew = u + ((s * h < 0) ? 3 : -3);
      } else if (!bracketed && std::fabs(unew - u) > 3) {
        unew = u + (unew > u ? 3 : -3);  // no wild jumps before the root is bracketed
      }
    }
    const LD du = unew - u;
    u = unew;
    // Halley converges cubically: after a step of 1e-12 the error left is far below one unit
    // in the last place of a double.
    if (std::fabs(du) < 1e-12L * std::fmax(1, std::fabs(u))) break;
    if (std::isfinite(uA) && std::isfinite(uB) && uB - uA < 1e-17L * std::fmax(1, std::fabs(u)))
      break;
    if (u > 11400 || u < -11400) break;  // beyond the extended range: the answer is 0 or inf
  }
  return std::exp(u);
}

// ---- chi-square: x ~ 2 * Gamma(df/2) ----

TailDens Chi2Eval(LD x, LD a, bool lower) {
  LD P, Q, term;
  acc::GammaPQ(a, x / 2, P, Q, &term);
  return {lower ? P : Q, a / x * term, (a - 1) / x - 0.5L};
}

// ---- t: P(T <= -s) = I_{df/(df+s^2)}(df/2, 1/2) / 2 ----

LD TDensity(LD t, LD nu) {
  const LD z = nu / 2;
  // Gamma((nu+1)/2) / (sqrt(nu pi) Gamma(nu/2)) through the Stirling remainders, so that
  // large df keep all digits.
  const LD lc = z * std::log1p(0.5L / z) - 0.5L + acc::StirlErr(z + 0.5L) - acc::StirlErr(z);
  return std::exp(lc - (nu + 1) / 2 * std::log1p(t * t / nu)) /
         2.506628274631000502415765284811045253007L;
}

// P(T <= -s), s >= 0; density at s; Central receives P(-s < T < 0), which is computed directly
// (not as 1/2 minus the tail) wherever it is below about 1/4.
LD TLowerNeg(LD s, LD nu, LD* dens = nullptr, LD* Central = nullptr) {
  const LD s2 = s * s;
  const LD x = nu / (nu + s2), y = s2 / (nu + s2);
  LD I, Ic, pre;
  acc::BetaI(nu / 2, 0.5L, x, y, I, Ic, &pre);
  if (dens) *dens = pre / s;  // x^(nu/2) y^(1/2) / B / s is the density
  if (Central) *Central = Ic / 2;
  return I / 2;
}

// ---- F: x = df1 f / (df1 f + df2) ~ Beta(df1/2, df2/2) ----

TailDens FEval(LD f, LD d1, LD d2, bool lower) {
  const LD den = d1 * f + d2;
  const LD x = d1 * f / den, y = d2 / den;
  LD I, Ic, pre;
  acc::BetaI(d1 / 2, d2 / 2, x, y, I, Ic, &pre);
  return {lower ? I : Ic, pre / f, (d1 / 2 - 1) / f - (d1 + d2) / 2 * d1 / den};
}

}  // namespace

// ---- chi-square -------------------------------------------------------------------------------

double chi2DistriIntegral(double x, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (x <= 0) return 0;
  LD P, Q;
  acc::GammaPQ(df / 2.0L, x / 2.0L, P, Q);
  return static_cast<double>(P);
}

double Chi2DistriDensity(double x, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (x < 0 || std::isinf(x)) return 0;
  if (x == 0) return df == 1 ? kInf : (df == 2 ? 0.5 : 0.0);
  const LD a = df / 2.0L;
  return static_cast<double>(a / x * acc::PoissonTerm(a, x / 2.0L));
}

double chi2DistriQuantile(double p, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(p)) return kNaN;
  if (p <= 0) return 0;
  if (p >= 1) return kInf;
  const LD a = df / 2.0L;
  const bool lower = p <= 0.5;
  const LD target = lower ? LD(p) : 1 - LD(p);
  // Wilson-Hilferty start; in the lower tail never below the bound from P(a, x/2) <=
  // (x/2)^a / Gamma(a+1).
  const LD z = acc::NormalQuantile(p);
  const LD c = 2.0L / (9.0L * df);
  LD x0 = df * std::pow(1 - c + z * std::sqrt(c), 3.0L);
  if (lower) {
    const LD xs = 2 * std::exp((std::log(target) + acc::LogGamma(a + 1)) / a);
    if (!(x0 > xs)) x0 = xs;
  } else if (!(x0 > 0)) {
    x0 = df;
  }
  const LD r = SolveTail([&](LD x) { return Chi2Eval(x, a, lower); }, lower, target, x0);
  return static_cast<double>(r);
}

// ---- t ----------------------------------------------------------------------------------------

double tDistriIntegral(double x, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (x == 0) return 0.5;
  if (std::isinf(x)) return x < 0 ? 0 : 1;
  const LD tail = TLowerNeg(std::fabs(LD(x)), df);
  return static_cast<double>(x < 0 ? tail : 1 - tail);
}

double tDistriDensity(double x, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (std::isinf(x)) return 0;
  return static_cast<double>(TDensity(x, df));
}

double tDistriQuantile(double p, int32_t df) {
  if (df < 1) return 0;
  if (std::isnan(p)) return kNaN;
  if (p <= 0) return -kInf;
  if (p >= 1) return kInf;
  if (p == 0.5) return 0;
  // Solve for s = |t| on the lower tail P(T <= -s) = min(p, 1 - p) (1 - p is exact here).
  const LD target = p < 0.5 ? LD(p) : 1 - LD(p);
  const LD nu = df;
  constexpr LD pi = 3.141592653589793238462643383279502884L;
  if (df == 1) {  // Cauchy
    const LD s = 1 / std::tan(pi * target);
    return static_cast<double>(p < 0.5 ? -s : s);
  }
  if (df == 2) {  // P(T <= -s) = (1 - s / sqrt(2 + s^2)) / 2
    const LD s = (1 - 2 * target) / std::sqrt(2 * target * (1 - target));
    return static_cast<double>(p < 0.5 ? -s : s);
  }
  const LD z = -acc::NormalQuantile(target);
  // Cornish-Fisher start, capped by the power-law tail bound P(T <= -s) <= K nu^((nu-1)/2) s^-nu.
  const LD z2 = z * z;
  LD s0 = z + (z2 * z + z) / (4 * nu) + (5 * z2 * z2 * z + 16 * z2 * z + 3 * z) / (96 * nu * nu);
  const LD lk = std::log(TDensity(0, nu));
  const LD stail = std::exp((lk + (nu - 1) / 2 * std::log(nu) - std::log(target)) / nu);
  // Cornish-Fisher holds while z^2 is small against df; beyond, the tail law is the better.
  if (!(s0 < stail) || z2 > nu) s0 = stail;
  if (!(s0 > 0)) s0 = 1;
  LD s;
  if (target > 0.25L) {
    // Near the median t is small and its digits lie in 1/2 - p (exact here): solve
    // P(-s < T < 0) = 1/2 - target instead of the tail.
    s = SolveTail(
        [&](LD v) {
          TailDens td;
          TLowerNeg(v, nu, &td.dens, &td.tail);
          td.dlogf = -(nu + 1) * v / (nu + v * v);
          return td;
        },
        true, 0.5L - target, s0);
  } else {
    s = SolveTail(
        [&](LD v) {
          TailDens td;
          td.tail = TLowerNeg(v, nu, &td.dens);
          td.dlogf = -(nu + 1) * v / (nu + v * v);
          return td;
        },
        false, target, s0);
  }
  return static_cast<double>(p < 0.5 ? -s : s);
}

// ---- F ----------------------------------------------------------------------------------------

double FDistriDensity(double x, int32_t df1, int32_t df2) {
  if (df1 < 1 || df2 < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (x < 0 || std::isinf(x)) return 0;
  if (x == 0) return df1 == 1 ? kInf : (df1 == 2 ? 1.0 : 0.0);
  return static_cast<double>(FEval(x, df1, df2, true).dens);
}

double FDistriIntegral(double x, int32_t df1, int32_t df2) {
  if (df1 < 1 || df2 < 1) return 0;
  if (std::isnan(x)) return kNaN;
  if (x <= 0) return 0;
  if (std::isinf(x)) return 1;
  const LD d1 = df1, d2 = df2, f = x;
  const LD den = d1 * f + d2;
  LD I, Ic;
  acc::BetaI(d1 / 2, d2 / 2, d1 * f / den, d2 / den, I, Ic);
  return static_cast<double>(I);
}

double FDistriQuantile(double p, int32_t df1, int32_t df2) {
  if (df1 < 1 || df2 < 1) return 0;
  if (std::isnan(p)) return kNaN;
  if (p <= 0) return 0;
  if (p >= 1) return kInf;
  const LD d1 = df1, d2 = df2, a = d1 / 2, b = d2 / 2;
  const bool lower = p <= 0.5;
  const LD target = lower ? LD(p) : 1 - LD(p);
  // Closed forms where one shape of the beta variable is 1 (or both 1/2); the logarithms take
  // the smaller tail directly so that no digits are lost at either end.
  const LD lnP = lower ? std::log(target) : std::log1p(-target);   // ln p
  const LD lnQ = lower ? std::log1p(-target) : std::log(target);   // ln (1 - p)
  if (df1 == 2) return static_cast<double>(d2 / 2 * std::expm1(-2 / d2 * lnQ));
  if (df2 == 2) return static_cast<double>(2 / (d1 * std::expm1(-2 / d1 * lnP)));
  if (df1 == 1 && df2 == 1) {
    constexpr LD halfPi = 1.570796326794896619231321691639751442L;
    const LD t = std::tan(halfPi * target);
    return static_cast<double>(lower ? t * t : 1 / (t * t));
  }
  // Start: the cube-root normal approximation of F, solved as a quadratic in F^(1/3); where it
  // has no valid root, the power-law behaviour of the tail.
  const LD z = acc::NormalQuantile(p);
  const LD c1 = 2 / (9 * d1), c2 = 2 / (9 * d2), A = 1 - c2, B = 1 - c1;
  const LD qa = A * A - z * z * c2, qb = -2 * A * B, qc = B * B - z * z * c1;
  // At the median the discriminant is zero up to rounding.
  const LD disc = std::fmax(qb * qb - 4 * qa * qc, 0.0L);
  LD f0 = -1;
  if (qa > 0) {
    const LD w = (-qb + (z >= 0 ? 1 : -1) * std::sqrt(disc)) / (2 * qa);
    if (w > 0) f0 = w * w * w;
  }
  const LD lnB = acc::LogGamma(a) + acc::LogGamma(b) - acc::LogGamma(a + b);
  if (lower) {
    // I_x(a, b) ~ x^a / (a B) for small x, x ~ d1 f / d2
    const LD fs = d2 / d1 * std::exp((std::log(target * a) + lnB) / a);
    if (!(f0 > 0) || (fs < f0 && target < 1e-3L)) f0 = fs;
  } else {
    // 1 - I_x(a, b) ~ y^b / (b B) for small y, y ~ d2 / (d1 f)
    const LD fb = d2 / d1 / std::exp((std::log(target * b) + lnB) / b);
    if (!(f0 > 0) || (fb > f0 && target < 1e-3L)) f0 = fb;
  }
  const LD r = SolveTail([&](LD f) { return FEval(f, d1, d2, lower); }, lower, target, f0);
  return static_cast<double>(r);
}

}  // namespace qmx
