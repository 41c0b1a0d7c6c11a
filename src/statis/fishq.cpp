#include "qmx/statis/fishq.h"

namespace qmx {

double CalcFishQ(double Mean1, double Mean2, double StdDev1, double StdDev2) noexcept {
  double d = StdDev1 * StdDev1 + StdDev2 * StdDev2;
  if (d < 1e-6) d = 1e-6;
  const double m = Mean1 - Mean2;
  return m * m / d;
}

}  // namespace qmx
