// The Householder reduction behind the polynomial fits: the result is the one of the textbook
// loops, bit for bit (the columns' dot products only run side by side).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "math2/lsq.h"

namespace {

// One column after the other, each sum in increasing i.
void PlainReduce(std::vector<double>& A, std::size_t m, std::size_t p, std::vector<double>& R,
                 std::vector<double>& qty) {
  const std::size_t cols = p + 1, steps = std::min(m, p);
  for (std::size_t j = 0; j < steps; ++j) {
    double* aj = A.data() + j * m;
    double scale = 0.0;
    for (std::size_t i = j; i < m; ++i) scale = std::max(scale, std::fabs(aj[i]));
    if (scale == 0.0) continue;
    double ss = 0.0;
    for (std::size_t i = j; i < m; ++i) ss += (aj[i] / scale) * (aj[i] / scale);
    const double norm = scale * std::sqrt(ss);
    const double alpha = aj[j] > 0 ? -norm : norm;
    const double beta = norm * norm - alpha * aj[j];
    aj[j] -= alpha;
    for (std::size_t c = j + 1; c < cols; ++c) {
      double* ac = A.data() + c * m;
      double s = 0.0;
      for (std::size_t i = j; i < m; ++i) s += aj[i] * ac[i];
      for (std::size_t i = j; i < m; ++i) ac[i] -= s / beta * aj[i];
    }
    aj[j] = alpha;
  }
  R.assign(p * p, 0.0);
  for (std::size_t c = 0; c < p; ++c)
    for (std::size_t r = 0; r <= std::min(c, m - 1); ++r) R[c * p + r] = A[c * m + r];
  qty.assign(p, 0.0);
  for (std::size_t r = 0; r < steps; ++r) qty[r] = A[p * m + r];
}

TEST(ReduceToTriangle, MatchesPlainLoopsBitForBit) {
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  // Widths below, at and above the eight sums run together; a short matrix (m < p); a zero
  // column that the reduction skips.
  for (auto [m, p] : {std::pair<std::size_t, std::size_t>{50, 1}, {1000, 6}, {333, 8}, {97, 12},
                      {4, 7}}) {
    std::vector<double> A((p + 1) * m);
    for (double& x : A) x = u(gen);
    if (p >= 3)
      for (std::size_t i = 0; i < m; ++i) A[2 * m + i] = 0.0;
    std::vector<double> B = A, R1, R2, q1, q2;
    qmx::math2detail::ReduceToTriangle(A, m, p, R1, q1);
    PlainReduce(B, m, p, R2, q2);
    EXPECT_EQ(R1, R2) << m << " x " << p;
    EXPECT_EQ(q1, q2) << m << " x " << p;
  }
}

}  // namespace
