// The radix-2 transform kernel. Every butterfly does the textbook arithmetic
//   t = (wr xr - wi xi, wr xi + wi xr),  X[j] = X[i] - t,  X[i] = X[i] + t
// with the twiddle factors of the textbook recurrence, so the result is bit for bit that of the
// plain loop; only the order in which independent butterflies are visited differs (small
// stages block by block in cache, large stages two at a time per pass over memory).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "fourier/fft_kernel.h"
#include "qmx/fourier.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qmx::fourier {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Complex samples per cache block of the small stages (128 KiB).
constexpr int32_t kBlock = 1 << 13;

#if defined(__SSE2__)
inline __m128d CMul(__m128d w, __m128d x) {
  // (wr xr - wi xi, wr xi + wi xr); a - b is computed as a + (-b), which IEEE makes identical.
  const __m128d wr = _mm_unpacklo_pd(w, w);
  const __m128d wi = _mm_unpackhi_pd(w, w);
  const __m128d xs = _mm_shuffle_pd(x, x, 1);
  const __m128d sign = _mm_set_pd(0.0, -0.0);
  return _mm_add_pd(_mm_mul_pd(wr, x), _mm_xor_pd(_mm_mul_pd(wi, xs), sign));
}

inline void Butterfly(double* xi, double* xj, const double* w) {
  const __m128d t = CMul(_mm_loadu_pd(w), _mm_loadu_pd(xj));
  const __m128d a = _mm_loadu_pd(xi);
  _mm_storeu_pd(xj, _mm_sub_pd(a, t));
  _mm_storeu_pd(xi, _mm_add_pd(a, t));
}
#else
inline void Butterfly(double* xi, double* xj, const double* w) {
  const double tr = w[0] * xj[0] - w[1] * xj[1];
  const double ti = w[0] * xj[1] + w[1] * xj[0];
  xj[0] = xi[0] - tr;
  xj[1] = xi[1] - ti;
  xi[0] += tr;
  xi[1] += ti;
}
#endif

// One stage of span h over the complex samples [0, n) of x.
inline void Stage(double* x, int32_t n, int32_t h, const double* tw) {
  const std::size_t sh = static_cast<std::size_t>(h);
  for (std::size_t g = 0; g < static_cast<std::size_t>(n); g += 2 * sh) {
    double* lo = x + 2 * g;
    double* hi = lo + 2 * sh;
    for (std::size_t k = 0; k < sh; ++k) Butterfly(lo + 2 * k, hi + 2 * k, tw + 2 * k);
  }
}

// Stages h and 2h fused: each group of 4h samples is read and written once for both.
inline void StagePair(double* x, int32_t n, int32_t h, const double* tw1, const double* tw2) {
  const std::size_t sh = static_cast<std::size_t>(h);
  for (std::size_t g = 0; g < static_cast<std::size_t>(n); g += 4 * sh) {
    double* a = x + 2 * g;
    double* b = a + 2 * sh;
    double* c = b + 2 * sh;
    double* d = c + 2 * sh;
    for (std::size_t k = 0; k < sh; ++k) {
      Butterfly(a + 2 * k, b + 2 * k, tw1 + 2 * k);
      Butterfly(c + 2 * k, d + 2 * k, tw1 + 2 * k);
      Butterfly(a + 2 * k, c + 2 * k, tw2 + 2 * k);
      Butterfly(b + 2 * k, d + 2 * k, tw2 + 2 * (k + sh));
    }
  }
}

}  // namespace

void BuildTwiddles(int32_t n, int32_t dir, std::vector<double>& tw) {
  tw.assign(n > 1 ? 2 * static_cast<std::size_t>(n - 1) : 0, 0.0);
  // Stage h occupies complex positions h - 1 .. 2h - 2.
  for (int32_t h = 1; h < n; h *= 2) {
    const double theta = dir * (kTwoPi / (2.0 * h));
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    double* t = tw.data() + 2 * static_cast<std::size_t>(h - 1);
    for (int32_t k = 0; k < h; ++k) {
      t[2 * k] = wr;
      t[2 * k + 1] = wi;
      const double w0 = wr;
      wr = wr + (wr * wpr - wi * wpi);
      wi = wi + (wi * wpr + w0 * wpi);
    }
  }
}

void BitReverse(double* x, int32_t n) {
  const uint32_t un = static_cast<uint32_t>(n);
  uint32_t j = 0;
  for (uint32_t i = 0; i < un; ++i) {
    if (i < j) {
      std::swap(x[2 * i], x[2 * j]);
      std::swap(x[2 * i + 1], x[2 * j + 1]);
    }
    uint32_t m = un >> 1;
    while (m >= 1 && (j & m)) {
      j ^= m;
      m >>= 1;
    }
    j |= m;
  }
}

void FFTWithTwiddles(double* x, int32_t n, const double* tw) {
  if (n <= 1) return;
  BitReverse(x, n);
  const int32_t block = n < kBlock ? n : kBlock;
  // Small stages: every block of `block` samples runs through them while it sits in cache.
  for (int32_t b = 0; b < n; b += block) {
    double* xb = x + 2 * static_cast<std::size_t>(b);
    for (int32_t h = 1; h < block; h *= 2) Stage(xb, block, h, tw + 2 * (h - 1));
  }
  // Large stages, two per pass.
  int32_t h = block;
  for (; 2 * h < n; h *= 4) StagePair(x, n, h, tw + 2 * (h - 1), tw + 2 * (2 * h - 1));
  if (h < n) Stage(x, n, h, tw + 2 * (h - 1));
}

void FFTInPlace(double* data, int32_t n, int32_t dir) {
  std::vector<double> tw;
  BuildTwiddles(n, dir < 0 ? -1 : 1, tw);
  FFTWithTwiddles(data, n, tw.data());
}

}  // namespace qmx::fourier
