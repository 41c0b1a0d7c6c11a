// Random deviates over the process-wide uniform generator, and the module's congruential
// generator with its start-up seeding.
#include <cmath>
#include <numbers>

#include "math1/random_core.h"
#include "qmx/math1.h"

namespace qmx {

namespace {

bool gGaussCached = false;  // constant-initialised: the cache is empty at start
double gGaussValue = 0.0;

math1_detail::TLongRandState gLongRand;
math1_detail::TLongRandState gLongRandStart;
bool gLongRandSeeded = false;

// Seeds the congruential generator from the uniform generator: s1, s2, s3 in that order, each
// round(u * 990000) with ties to even.
void EnsureLongRandSeeded() {
  if (gLongRandSeeded) return;
  gLongRandSeeded = true;
  gLongRand.s1 = static_cast<int32_t>(std::nearbyint(RandomUniform() * 990000.0));
  gLongRand.s2 = static_cast<int32_t>(std::nearbyint(RandomUniform() * 990000.0));
  gLongRand.s3 = static_cast<int32_t>(std::nearbyint(RandomUniform() * 990000.0));
  gLongRandStart = gLongRand;
}

// Seeding happens when the module is loaded; the uniform generator is constructed on first use,
// so it is ready whatever the order of static initialisation. A LongRand call from another
// module's static initialiser that runs earlier seeds through EnsureLongRandSeeded itself.
struct TStartUp {
  TStartUp() { EnsureLongRandSeeded(); }
} gStartUp;

}  // namespace

namespace math1_detail {
TLongRandState LongRandStartSeeds() noexcept { return gLongRandStart; }
}  // namespace math1_detail

bool BRandom(double p) { return p >= 1.0 || RandomUniform() < p; }

double CRandom(double center, double width) {
  return center + width * std::tan((RandomUniform() - 0.5) * std::numbers::pi);
}

double GRandom() {
  if (gGaussCached) {
    gGaussCached = false;
    return gGaussValue;
  }
  const double r = math1_detail::PolarGaussPair([] { return RandomUniform(); }, gGaussValue);
  gGaussCached = true;
  return r;
}

double LongRand(int32_t seed) {
  EnsureLongRandSeeded();
  if (seed != 0) gLongRand.Reseed(seed);
  return gLongRand.Next();
}

}  // namespace qmx
