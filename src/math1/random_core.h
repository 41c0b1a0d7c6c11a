// The arithmetic of the module's random generators, apart from their module-wide state, so the
// polar method can be driven by any uniform source and the congruential steps checked in isolation.
#pragma once

#include <cmath>
#include <cstdint>

namespace qmx::math1_detail {

// Polar method: draws pairs (v1, v2) uniformly in the square until they fall strictly inside
// the unit circle and off its centre (s = 0 would give 0 * inf); returns v2 * f and stores v1 * f
// in Other.
template <class Uniform>
double PolarGaussPair(Uniform&& uniform, double& Other) {
  double v1, v2, s;
  do {
    v1 = 2.0 * uniform() - 1.0;
    v2 = 2.0 * uniform() - 1.0;
    s = v1 * v1 + v2 * v2;
  } while (s >= 1.0 || s == 0.0);
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  Other = v1 * f;
  return v2 * f;
}

// Three combined multiplicative congruential generators.
struct TLongRandState {
  int32_t s1 = 0;
  int32_t s2 = 0;
  int32_t s3 = 0;

  void Reseed(int32_t seed) noexcept {
    int32_t a = seed % 990923;
    // A multiple of the modulus would put every component at 0, a fixed point that yields 0
    // forever; such seeds get the otherwise unused residue 990923 instead.
    if (a == 0) a = 990923;
    s1 = (a & 1048576) != 0 ? -a : a;
    const auto ua = static_cast<uint32_t>(a);
    s2 = static_cast<int32_t>((ua ^ (ua << 8)) % 990923u);
    const auto x3 = static_cast<int32_t>(ua ^ (ua << 16));  // 32-bit wrap-around shift
    const int64_t abs3 = x3 < 0 ? -static_cast<int64_t>(x3) : static_cast<int64_t>(x3);
    s3 = static_cast<int32_t>(abs3 % 990923);
  }

  // The components stay below their moduli, so the products fit in 32 bits.
  double Next() noexcept {
    s1 = s1 * 1187 % 1001003;
    s2 = s2 * 983 % 990923;
    s3 = s3 * 1283 % 1400423;
    const double r = static_cast<double>(s1) / 1001003.0 + static_cast<double>(s2) / 990923.0 +
                     static_cast<double>(s3) / 1400423.0;
    return r - std::trunc(r);
  }
};

// The seeds the module drew from the uniform generator when it started.
TLongRandState LongRandStartSeeds() noexcept;

}  // namespace qmx::math1_detail
