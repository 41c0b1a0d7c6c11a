// The two-sided levels of the Wilcoxon signed-rank table, shared with the critical-value
// interpolation of the curve-fitting module.
#pragma once

namespace qmx::wilcoxon {

inline constexpr double kLevels[5] = {0.10, 0.05, 0.02, 0.01, 0.001};

}  // namespace qmx::wilcoxon
