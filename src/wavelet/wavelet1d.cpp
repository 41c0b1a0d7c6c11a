// TWavelet1D: Daubechies filters of orders 1 to 3 and the one-level step on a block.
#include <algorithm>
#include <new>

#include "qmx/wavelet.h"

namespace qmx {

namespace {

constexpr int32_t kMaxWaveletSize = 1 << 23;

// Orthonormal Daubechies scaling filters to extended precision. Order 3 in closed form:
// (1 + a + b, 5 + a + 3b, 10 - 2a + 2b, 10 - 2a - 2b, 5 + a - 3b, 1 + a - b) / (16 sqrt 2)
// with a = sqrt 10 and b = sqrt(5 + 2 sqrt 10).
constexpr long double kDaub1[2] = {0.7071067811865475244008443621048490393L,
                                   0.7071067811865475244008443621048490393L};
constexpr long double kDaub2[4] = {0.4829629131445341433748715998644486838L,
                                   0.8365163037378079055752937809168732035L,
                                   0.2241438680420133810259727622404003555L,
                                   -0.1294095225512603811744494188120241642L};
constexpr long double kDaub3[6] = {0.3326705529500826159985115891390056300L,
                                   0.8068915093110925764944936040887134905L,
                                   0.4598775021184915700951519421476167208L,
                                   -0.1350110200102545886963899066993744806L,
                                   -0.08544127388202666169281916918177331154L,
                                   0.03522629188570953660274066471551002933L};

// Position read for the block index t (t <= n - 1; below 0 only before the block's start), or
// -1 when the term is dropped. The symmetric extension mirrors about the block's start and,
// on blocks shorter than the filter, about its end as well (period 2n), so it never leaves the
// block.
inline int32_t Extend(int32_t t, int32_t n, TWLSigExtMode mode) noexcept {
  if (t >= 0) return t;
  switch (mode) {
    case wseWrap:
      return t & (n - 1);
    case wseZeroPad:
      return -1;
    case wseSymmetric: {
      const int32_t p = 2 * n;
      const int32_t r = ((t % p) + p) % p;
      return r < n ? r : p - 1 - r;
    }
  }
  return -1;
}

template <int K>
void StepK(long double* x, int32_t n, bool inverse, long double* w, const long double* h,
           const long double* g, TWLSigExtMode mode) noexcept {
  constexpr int32_t L = 2 * K;
  const int32_t half = n / 2;
  std::fill(w, w + n, 0.0L);
  // Rows l < K reach before the block's start; from l = K on every index lies inside it.
  const int32_t lb = std::min<int32_t>(K - 1, half);
  if (!inverse) {
    for (int32_t l = 1; l <= lb; ++l) {
      long double sa = 0.0L, sd = 0.0L;
      for (int32_t m = 1; m <= L; ++m) {
        const int32_t ix = Extend(2 * l - L + m - 1, n, mode);
        if (ix < 0) continue;
        sa += h[m - 1] * x[ix];
        sd += g[m - 1] * x[ix];
      }
      w[l - 1] = sa;
      w[half + l - 1] = sd;
    }
    for (int32_t l = lb + 1; l <= half; ++l) {
      const long double* s = x + (2 * l - L);
      long double sa = 0.0L, sd = 0.0L;
      for (int32_t m = 0; m < L; ++m) {
        sa += h[m] * s[m];
        sd += g[m] * s[m];
      }
      w[l - 1] = sa;
      w[half + l - 1] = sd;
    }
  } else {
    for (int32_t l = 1; l <= lb; ++l) {
      const long double a = x[l - 1], d = x[half + l - 1];
      for (int32_t m = 1; m <= L; ++m) {
        const int32_t ix = Extend(2 * l - L + m - 1, n, mode);
        if (ix < 0) continue;
        w[ix] += h[m - 1] * a;
        w[ix] += g[m - 1] * d;
      }
    }
    for (int32_t l = lb + 1; l <= half; ++l) {
      const long double a = x[l - 1], d = x[half + l - 1];
      long double* t = w + (2 * l - L);
      for (int32_t m = 0; m < L; ++m) {
        t[m] += h[m] * a;
        t[m] += g[m] * d;
      }
    }
  }
  std::copy(w, w + n, x);
}

}  // namespace

TWavelet1D::TWavelet1D(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FData.assign(256, 0.0L);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXWaveletError>(this, ": not enough memory on heap");
  }
  FNumData = 256;
  SetOrder(2);
}

TWavelet1D::~TWavelet1D() = default;

void TWavelet1D::SetOrder(int32_t K) {
  if (K < 1 || K > 3)
    RaiseComponentError<EQMXWaveletError>(this, ": invalid order of Daubechies wavelet family");
  const long double* src = K == 1 ? kDaub1 : K == 2 ? kDaub2 : kDaub3;
  const int32_t L = 2 * K;
  FCoeffsLP.assign(src, src + L);
  FCoeffsHP.assign(static_cast<std::size_t>(L), 0.0L);
  // g_{2K-1-j} = (-1)^(j+1) h_j
  for (int32_t j = 0; j < L; ++j) FCoeffsHP[L - 1 - j] = (j % 2 == 0) ? -src[j] : src[j];
  FOrder = K;
}

void TWavelet1D::SetNumData(int32_t N) {
  // Only powers of two 1..2^23: a value with one bit set among its low 24 bits but others
  // above them is not a power of two, and the wrap-around mask would then address garbage.
  if (N < 1 || N > kMaxWaveletSize || (N & (N - 1)) != 0)
    RaiseComponentError<EQMXWaveletError>(this, ": data length must be power of 2");
  try {
    std::vector<long double> d(static_cast<std::size_t>(N), 0.0L);
    FData.swap(d);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXWaveletError>(this, ": not enough memory on heap");
  }
  FNumData = N;
}

double TWavelet1D::GetDataVal(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData) return 0.0;
  return static_cast<double>(FData[static_cast<std::size_t>(ix - 1)]);
}

void TWavelet1D::SetDataVal(int32_t ix, long double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FData[static_cast<std::size_t>(ix - 1)] = v;
}

void TWavelet1D::Clear() noexcept { std::fill(FData.begin(), FData.end(), 0.0L); }

void TWavelet1D::Step(long double* x, int32_t n, bool inverse, long double* w) const noexcept {
  const long double* h = FCoeffsLP.data();
  const long double* g = FCoeffsHP.data();
  switch (FOrder) {
    case 1:
      StepK<1>(x, n, inverse, w, h, g, FWLSigExtMode);
      break;
    case 2:
      StepK<2>(x, n, inverse, w, h, g, FWLSigExtMode);
      break;
    default:
      StepK<3>(x, n, inverse, w, h, g, FWLSigExtMode);
      break;
  }
}

void TWavelet1D::PartialWLT(int32_t n, int32_t start, bool inverse) {
  if (n <= 1 || (n & (n - 1)) != 0 || start < 0 || start > FNumData - n) return;
  std::vector<long double> w;
  try {
    w.resize(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXWaveletError>(this, ": not enough memory on heap");
  }
  Step(FData.data() + start, n, inverse, w.data());
}

void TWavelet1D::DoWLT(int32_t Level, bool inverse) {
  if (Level <= 0) Level = 1;
  const int32_t N = FNumData;
  if (N <= 1) return;
  std::vector<long double> w;
  try {
    w.resize(static_cast<std::size_t>(N));
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXWaveletError>(this, ": not enough memory on heap");
  }
  if (!inverse) {
    int32_t n = N;
    for (int32_t k = 0; k < Level && n > 1; ++k, n /= 2) Step(FData.data(), n, false, w.data());
  } else {
    int32_t n = 2;
    for (int32_t k = 0; k < Level && n <= N; ++k, n *= 2) Step(FData.data(), n, true, w.data());
  }
}

void TWavelet1D::Transform(int32_t Level) { DoWLT(Level, false); }
void TWavelet1D::InverseTransform(int32_t Level) { DoWLT(Level, true); }
void TWavelet1D::SingleStep(bool inverse) { PartialWLT(FNumData, 0, inverse); }

}  // namespace qmx
