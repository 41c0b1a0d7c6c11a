// Random deviates drawn from the process-wide uniform generator (RandomUniform), and a combined
// congruential generator of the module's own. GRandom and LongRand keep module-wide state;
// concurrent callers need outside serialisation.
#pragma once

#include <cstdint>

namespace qmx {

// True with probability p: p >= 1 is always true (without drawing), otherwise u < p.
bool BRandom(double p);
// Cauchy deviate: center + width * tan((u - 0.5) * pi).
double CRandom(double center, double width);
// Standard normal deviate (polar method); every second call returns the value cached by the
// call before it.
double GRandom();
// Combined congruential generator in [0, 1); seed 0 continues the sequence, any other seed
// restarts it from that seed.
double LongRand(int32_t seed);

}  // namespace qmx
