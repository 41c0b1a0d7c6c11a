// Percentile of an array and the adaptive kernel density estimate.
#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "qmx/math1.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

// Ascending with NaNs last: a plain < is no strict weak order once NaNs are present, and the
// standard sort and selection may then misbehave.
bool NaNLast(double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); }

}  // namespace

int32_t PercentileOfArray(TDoubleArray& data, double percentile, int32_t lo, int32_t hi,
                          double& value) {
  value = 0;
  const int64_t highest = static_cast<int64_t>(data.size()) - 1;
  int32_t status = 0;
  if (lo < 0 || lo > highest || hi < 0 || hi > highest) status = -1;
  if (hi < lo) status = -3;
  if (!(percentile >= 0 && percentile <= 100)) status = -2;
  if (status != 0) return status;
  // The rank is counted from lo, so a range starting at 0 gives the element of that rank and
  // any other range the same rank within itself; 100 percent is the range's maximum.
  const int64_t n = int64_t(hi) - lo + 1;
  const int64_t ix = static_cast<int64_t>(std::nearbyint(percentile / 100.0 * double(n)));
  const int64_t pos = std::min<int64_t>(lo + ix, hi);
  // The library's selection orders NaNs last, as the sorts do.
  value = QuickSelect(std::span<double>(data), static_cast<int32_t>(pos), lo, hi);
  return 0;
}

void EstimateProbDensity(TVector* data, TVector* density, double lowx, double highx,
                         double factor, double window, int32_t numsteps, int32_t& minix,
                         int32_t& maxix, const TFeedbackProc& feedback) {
  if (data == nullptr || density == nullptr) return;
  numsteps = std::clamp(numsteps, 10, 10000);
  if (factor <= 0) factor = 1.0;

  auto x = data->Data();
  std::sort(x.begin(), x.end(), NaNLast);
  data->Changed();
  const int32_t N = data->NrOfElem();
  // Progress runs over both phases; the total makes the last report exactly 100 percent.
  const double totalSteps = double(N) + numsteps + 1;
  double counter = 0;
  auto step = [&] {
    counter += 1;
    if (feedback) feedback(nullptr, counter, counter / totalSteps * 100.0);
  };

  // Bandwidth of each point: the mean gap between neighbours closer than window.
  std::vector<double> h(static_cast<size_t>(N), window);
  for (int32_t i = 0; i < N; ++i) {
    double S = 0;
    int32_t c = 0;
    for (int32_t j = std::min(i + 1, N - 1); j >= 1 && std::fabs(x[j] - x[i]) < window; --j) {
      S += std::fabs(x[j] - x[j - 1]);
      ++c;
    }
    for (int32_t j = std::max(i - 1, 0); j <= N - 2 && std::fabs(x[j] - x[i]) < window; ++j) {
      S += std::fabs(x[j] - x[j + 1]);
      ++c;
    }
    if (c > 0) h[i] = S != 0 ? S / c : window / c;
    step();
  }

  // Kernel widths; a non-positive width (zero gap or window) falls back to factor.
  std::vector<double> inv(static_cast<size_t>(N));
  for (int32_t i = 0; i < N; ++i) {
    const double l = factor * h[i];
    inv[i] = 1.0 / (l > 0 ? l : factor);
  }

  // The density may be written into the data vector itself: its resize would free the sorted
  // data still to be read, so they are kept apart first.
  std::vector<double> kept;
  std::span<const double> xs = x;
  if (density == data) {
    kept.assign(x.begin(), x.end());
    xs = kept;
  }
  density->SetVecSize(numsteps + 1);
  auto d = density->Data();
  const double scale = uc_sqrt2pitom1 / N;
  double dmax = 0, dmin = uc_MaxDouble;
  for (int32_t k = 0; k <= numsteps; ++k) {
    const double xk = lowx + (highx - lowx) * k / numsteps;
    double sum = 0;
    for (int32_t i = 0; i < N; ++i) {
      const double t = (xk - xs[i]) * inv[i];
      sum += inv[i] * std::exp(-0.5 * t * t);
    }
    const double v = sum * scale;
    d[k] = v;
    if (v > dmax) {
      dmax = v;
      maxix = k + 1;
    }
    if (v < dmin) {
      dmin = v;
      minix = k + 1;
    }
    step();
  }
  density->Changed();
}

}  // namespace qmx
