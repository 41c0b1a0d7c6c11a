// Critical values of the Wilcoxon signed-rank test between the tabulated levels. Declared with
// the statistical tests; defined here because the interpolating parabola is the curve fit's.
#include <cmath>

#include "qmx/math2.h"
#include "qmx/statis.h"
#include "statis/accurate.h"
#include "statis/wilcoxon_table.h"

namespace qmx {

int64_t WilcoxonSRQuantile(int32_t n, double alpha, bool TwoSided) {
  if (n <= 7 || n > 1000000 || !(alpha >= 4.99999e-4) || !(alpha <= 0.20000001)) return -1;
  if (n <= 100) {
    const int levels = n == 8 ? 3 : (n <= 10 ? 4 : 5);
    TCurveFit fit;
    for (int l = 0; l < levels; ++l)
      fit.EnterStatValue(std::log(wilcoxon::kLevels[l]), WilcoxonSRTable(n, l));
    double k0, k1, k2, q;
    fit.CalcParabolFit(k0, k1, k2, q);
    const double u = std::log(TwoSided ? alpha : 2 * alpha);
    const double v = std::nearbyint(k0 + k1 * u + k2 * u * u);
    return v < 0 ? 0 : static_cast<int64_t>(v);
  }
  // n (n + 1) (2n + 1) reaches 2e18 at n = 1e6: formed in floating point, the result (up to
  // 2.5e11) needs 64 bits.
  const double p = TwoSided ? alpha / 2 : alpha;
  const double z = -static_cast<double>(acc::NormalQuantile(p));
  const double dn = n;
  const double v =
      std::nearbyint(dn * (dn + 1) / 4 - z * std::sqrt(dn * (dn + 1) * (2 * dn + 1) / 24));
  return v < 0 ? 0 : static_cast<int64_t>(v);
}

}  // namespace qmx
