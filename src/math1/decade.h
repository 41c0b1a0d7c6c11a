// Decimal exponent and mantissa of a positive number, exact at powers of ten: the logarithm only
// guesses the exponent, which is then corrected against the value itself (log10 of 1000 may come
// out as 2.9999999999999996, of 8 as a mantissa of 7.999999999999998).
#pragma once

#include <cmath>
#include <cstdint>

namespace qmx::math1_detail {

// v * 10^n with the power exact where a double holds it (|n| <= 22), so 3 * 10^-2 is the double
// nearest 0.03; beyond that the product is formed in extended precision (whose range also keeps
// subnormal results and huge powers apart from overflow) and rounded once.
inline double ScalePow10(double v, int32_t n) noexcept {
  static constexpr double P[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (n >= 0 && n <= 22) return v * P[n];
  if (n < 0 && n >= -22) return v / P[-n];
  if (n > 0) return static_cast<double>(static_cast<long double>(v) * std::pow(10.0L, n));
  return static_cast<double>(static_cast<long double>(v) / std::pow(10.0L, -n));
}

// For a finite ax > 0: e = floor(log10(ax)) and m = ax / 10^e in [1, 10) (m rounded once).
inline void Decade(double ax, int32_t& e, double& m) noexcept {
  e = static_cast<int32_t>(std::floor(std::log10(ax)));
  if (ScalePow10(1.0, e + 1) <= ax) ++e;
  else if (ScalePow10(1.0, e) > ax) --e;
  m = ScalePow10(ax, -e);
  // The scaled value may round across the interval's ends; the exponent is already right.
  if (m >= 10.0) m = 9.999999999999998;
  else if (m < 1.0) m = 1.0;
}

}  // namespace qmx::math1_detail
