// The radix-2 transform kernel. Every butterfly does the textbook arithmetic
//   t = (wr xr - wi xi, wr xi + wi xr),  X[j] = X[i] - t,  X[i] = X[i] + t
// with the twiddle factors of the textbook recurrence, so the result is bit for bit that of the
// plain loop; only the order in which independent butterflies are visited differs (small
// stages block by block in cache, large stages two at a time per pass over memory).
#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "fourier/fft_kernel.h"
#include "qmx/fourier.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace qmx::fourier {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Complex samples per cache block of the small stages (128 KiB).
constexpr int32_t kBlock = 1 << 13;

#if defined(__SSE2__)
// One butterfly; wr and wi hold the twiddle's parts in both lanes. a - b is computed as
// a + (-b), which IEEE makes identical.
inline void Butterfly(double* xi, double* xj, const double* wr, const double* wi) {
  const __m128d x = _mm_loadu_pd(xj);
  const __m128d xs = _mm_shuffle_pd(x, x, 1);
  const __m128d sign = _mm_set_pd(0.0, -0.0);
  const __m128d t = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(wr), x),
                               _mm_xor_pd(_mm_mul_pd(_mm_loadu_pd(wi), xs), sign));
  const __m128d a = _mm_loadu_pd(xi);
  _mm_storeu_pd(xj, _mm_sub_pd(a, t));
  _mm_storeu_pd(xi, _mm_add_pd(a, t));
}
#else
inline void Butterfly(double* xi, double* xj, const double* wr, const double* wi) {
  const double tr = wr[0] * xj[0] - wi[0] * xj[1];
  const double ti = wr[0] * xj[1] + wi[0] * xj[0];
  xj[0] = xi[0] - tr;
  xj[1] = xi[1] - ti;
  xi[0] += tr;
  xi[1] += ti;
}
#endif

// The butterflies k = 0..h-1 between the runs lo and hi (h samples each) with stage table w.
struct TBaseline {
  // Stages 1 and 2 fused, their three twiddle factors held in place. With src, sample q of the
  // bit-reversed order is read from src[rev[q]] (the reversal done on the way in).
  static void First2(double* x, std::size_t n, const double* wr, const double* wi,
                     const double* src, const uint32_t* rev) {
    const double *r1 = wr, *i1 = wi, *r2 = wr + 2, *i2 = wi + 2, *r3 = wr + 4, *i3 = wi + 4;
    for (std::size_t g = 0; g < n; g += 4) {
      double* a = x + 2 * g;
      if (src)
        for (std::size_t q = 0; q < 4; ++q) {
          a[2 * q] = src[2 * std::size_t(rev[g + q])];
          a[2 * q + 1] = src[2 * std::size_t(rev[g + q]) + 1];
        }
      Butterfly(a, a + 2, r1, i1);
      Butterfly(a + 4, a + 6, r1, i1);
      Butterfly(a, a + 4, r2, i2);
      Butterfly(a + 2, a + 6, r3, i3);
    }
  }
  static void Run(double* lo, double* hi, std::size_t h, const double* wr, const double* wi) {
    for (std::size_t k = 0; k < h; ++k) Butterfly(lo + 2 * k, hi + 2 * k, wr + 2 * k, wi + 2 * k);
  }
  // Stages h and 2h on the four runs a, b, c, d of one group of 4h samples. Runs of at most
  // 256 butterflies keep the four streams in L1 between the two stages.
  static void Run4(double* a, double* b, double* c, double* d, std::size_t h, const double* wr1,
                   const double* wi1, const double* wr2, const double* wi2) {
    const std::size_t run = h < 256 ? h : 256;
    for (std::size_t k = 0; k < h; k += run) {
      Run(a + 2 * k, b + 2 * k, run, wr1 + 2 * k, wi1 + 2 * k);
      Run(c + 2 * k, d + 2 * k, run, wr1 + 2 * k, wi1 + 2 * k);
      Run(a + 2 * k, c + 2 * k, run, wr2 + 2 * k, wi2 + 2 * k);
      Run(b + 2 * k, d + 2 * k, run, wr2 + 2 * (k + h), wi2 + 2 * (k + h));
    }
  }
};

#if defined(__x86_64__) && defined(__GNUC__)
#define QMX_FFT_AVX2 1
#define QMX_AVX2 __attribute__((target("avx2"), always_inline)) inline
// Two butterflies k, k+1 at once: lanes (re, im, re, im); addsub gives (a - b, a + b, ...),
// the real and imaginary combination of the complex product.
QMX_AVX2 void Butterfly2(double* xi, double* xj, const double* wr, const double* wi) {
  const __m256d x = _mm256_loadu_pd(xj);
  const __m256d xs = _mm256_permute_pd(x, 0x5);
  const __m256d t =
      _mm256_addsub_pd(_mm256_mul_pd(_mm256_loadu_pd(wr), x), _mm256_mul_pd(_mm256_loadu_pd(wi), xs));
  const __m256d a = _mm256_loadu_pd(xi);
  _mm256_storeu_pd(xj, _mm256_sub_pd(a, t));
  _mm256_storeu_pd(xi, _mm256_add_pd(a, t));
}
QMX_AVX2 __m256d CMul2(__m256d wr, __m256d wi, __m256d x) {
  return _mm256_addsub_pd(_mm256_mul_pd(wr, x), _mm256_mul_pd(wi, _mm256_permute_pd(x, 0x5)));
}
struct TAVX2 {
  // Stages 1 and 2 on groups of four samples x0..x3: stage 1 pairs (x0, x1) and (x2, x3),
  // gathered as [x0, x2] and [x1, x3]; stage 2 pairs (x0, x2) and (x1, x3).
  QMX_AVX2 static void First2(double* x, std::size_t n, const double* wr, const double* wi,
                              const double* src, const uint32_t* rev) {
    const __m256d r1 = _mm256_set1_pd(wr[0]), i1 = _mm256_set1_pd(wi[0]);
    const __m256d r2 = _mm256_loadu_pd(wr + 2), i2 = _mm256_loadu_pd(wi + 2);
    for (std::size_t g = 0; g < n; g += 4) {
      double* a = x + 2 * g;
      __m256d L, H;
      if (src) {
        L = _mm256_loadu2_m128d(src + 2 * std::size_t(rev[g + 2]), src + 2 * std::size_t(rev[g]));
        H = _mm256_loadu2_m128d(src + 2 * std::size_t(rev[g + 3]), src + 2 * std::size_t(rev[g + 1]));
      } else {
        const __m256d x01 = _mm256_loadu_pd(a), x23 = _mm256_loadu_pd(a + 4);
        L = _mm256_permute2f128_pd(x01, x23, 0x20);
        H = _mm256_permute2f128_pd(x01, x23, 0x31);
      }
      __m256d t = CMul2(r1, i1, H);
      H = _mm256_sub_pd(L, t);
      L = _mm256_add_pd(L, t);
      const __m256d P = _mm256_permute2f128_pd(L, H, 0x20);
      const __m256d Q = _mm256_permute2f128_pd(L, H, 0x31);
      t = CMul2(r2, i2, Q);
      _mm256_storeu_pd(a + 4, _mm256_sub_pd(P, t));
      _mm256_storeu_pd(a, _mm256_add_pd(P, t));
    }
  }
  // As TBaseline::Run4, the four samples of each butterfly pair kept in registers across both
  // stages.
  QMX_AVX2 static void Run4(double* a, double* b, double* c, double* d, std::size_t h,
                            const double* wr1, const double* wi1, const double* wr2,
                            const double* wi2) {
    if (h == 1) {
      TBaseline::Run4(a, b, c, d, h, wr1, wi1, wr2, wi2);
      return;
    }
    for (std::size_t k = 0; k < 2 * h; k += 4) {
      const __m256d r1 = _mm256_loadu_pd(wr1 + k), i1 = _mm256_loadu_pd(wi1 + k);
      __m256d A = _mm256_loadu_pd(a + k), B = _mm256_loadu_pd(b + k);
      __m256d C = _mm256_loadu_pd(c + k), D = _mm256_loadu_pd(d + k);
      __m256d t = CMul2(r1, i1, B);
      B = _mm256_sub_pd(A, t);
      A = _mm256_add_pd(A, t);
      t = CMul2(r1, i1, D);
      D = _mm256_sub_pd(C, t);
      C = _mm256_add_pd(C, t);
      t = CMul2(_mm256_loadu_pd(wr2 + k), _mm256_loadu_pd(wi2 + k), C);
      _mm256_storeu_pd(c + k, _mm256_sub_pd(A, t));
      _mm256_storeu_pd(a + k, _mm256_add_pd(A, t));
      t = CMul2(_mm256_loadu_pd(wr2 + 2 * h + k), _mm256_loadu_pd(wi2 + 2 * h + k), D);
      _mm256_storeu_pd(d + k, _mm256_sub_pd(B, t));
      _mm256_storeu_pd(b + k, _mm256_add_pd(B, t));
    }
  }
  QMX_AVX2 static void Run(double* lo, double* hi, std::size_t h, const double* wr,
                           const double* wi) {
    if (h == 1) {
      Butterfly(lo, hi, wr, wi);
      return;
    }
    for (std::size_t k = 0; k < h; k += 2)
      Butterfly2(lo + 2 * k, hi + 2 * k, wr + 2 * k, wi + 2 * k);
  }
};
#endif

namespace base {
#include "fourier/fft_stages.inc"
}  // namespace base

#ifdef QMX_FFT_AVX2
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#include "fourier/fft_stages.inc"
}  // namespace avx2
void AllAVX2(double* x, std::size_t n, const TTwiddles& tw, const double* src) {
  avx2::TStages<TAVX2>::All(x, n, tw, src);
}
#pragma GCC pop_options
#endif

}  // namespace

namespace {
// Visits the pairs i < j = bitreverse(i) in the order of the textbook loop.
template <class Fn>
void ForEachReversedPair(int32_t n, Fn fn) {
  const uint32_t un = static_cast<uint32_t>(n);
  uint32_t j = 0;
  for (uint32_t i = 0; i < un; ++i) {
    if (i < j) fn(i, j);
    uint32_t m = un >> 1;
    while (m >= 1 && (j & m)) {
      j ^= m;
      m >>= 1;
    }
    j |= m;
  }
}

inline void SwapComplex(double* x, uint32_t i, uint32_t j) {
#if defined(__SSE2__)
  const __m128d a = _mm_loadu_pd(x + 2 * std::size_t(i)), b = _mm_loadu_pd(x + 2 * std::size_t(j));
  _mm_storeu_pd(x + 2 * std::size_t(i), b);
  _mm_storeu_pd(x + 2 * std::size_t(j), a);
#else
  std::swap(x[2 * i], x[2 * j]);
  std::swap(x[2 * i + 1], x[2 * j + 1]);
#endif
}
}  // namespace

void BuildTwiddles(int32_t n, int32_t dir, TTwiddles& tw) {
  tw.swaps.clear();
  tw.rev.clear();
  if (n >= 4 && n <= kBlock) {
    // One block: the permutation is read on the way into the first stages from a copy.
    tw.rev.resize(static_cast<std::size_t>(n));
    for (uint32_t i = 0; i < static_cast<uint32_t>(n); ++i) tw.rev[i] = i;
    ForEachReversedPair(n, [&tw](uint32_t i, uint32_t j) { std::swap(tw.rev[i], tw.rev[j]); });
    tw.scratch.resize(2 * static_cast<std::size_t>(n));
  } else {
    ForEachReversedPair(n, [&tw](uint32_t i, uint32_t j) {
      tw.swaps.push_back(i);
      tw.swaps.push_back(j);
    });
  }
  const std::size_t sz = n > 1 ? 2 * static_cast<std::size_t>(n - 1) : 0;
  tw.re.assign(sz, 0.0);
  tw.im.assign(sz, 0.0);
  // Stage h occupies complex positions h - 1 .. 2h - 2; each part is stored twice so that a
  // vector load gives it in both lanes of a complex number.
  for (int32_t h = 1; h < n; h *= 2) {
    const double theta = dir * (kTwoPi / (2.0 * h));
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    double* tr = tw.re.data() + 2 * static_cast<std::size_t>(h - 1);
    double* ti = tw.im.data() + 2 * static_cast<std::size_t>(h - 1);
    for (int32_t k = 0; k < h; ++k) {
      tr[2 * k] = tr[2 * k + 1] = wr;
      ti[2 * k] = ti[2 * k + 1] = wi;
      const double w0 = wr;
      wr = wr + (wr * wpr - wi * wpi);
      wi = wi + (wi * wpr + w0 * wpi);
    }
  }
}


void BitReverse(double* x, int32_t n) {
  ForEachReversedPair(n, [x](uint32_t i, uint32_t j) { SwapComplex(x, i, j); });
}

void FFTWithTwiddles(double* x, int32_t n, const TTwiddles& tw) {
  if (n <= 1) return;
  const std::size_t un = static_cast<std::size_t>(n);
  const double* src = nullptr;
  if (!tw.rev.empty()) {
    std::copy(x, x + 2 * un, tw.scratch.begin());
    src = tw.scratch.data();
  } else {
    const uint32_t* sw = tw.swaps.data();
    for (std::size_t p = 0; p < tw.swaps.size(); p += 2) SwapComplex(x, sw[p], sw[p + 1]);
  }
#ifdef QMX_FFT_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    AllAVX2(x, un, tw, src);
    return;
  }
#endif
  base::TStages<TBaseline>::All(x, un, tw, src);
}

void FFTInPlace(double* data, int32_t n, int32_t dir) {
  TTwiddles tw;
  BuildTwiddles(n, dir < 0 ? -1 : 1, tw);
  FFTWithTwiddles(data, n, tw);
}

}  // namespace qmx::fourier
