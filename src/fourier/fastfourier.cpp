// TFastFourier: samples, windows, transforms and spectral quantities.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "fourier/fft_kernel.h"
#include "qmx/fourier.h"

namespace qmx {

namespace {
constexpr double kPi = 3.14159265358979323846264338327950;
constexpr int32_t kMaxFFTSize = 1 << 23;
}  // namespace

TFastFourier::TFastFourier(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FData.assign(2 * 256, 0.0);
    FUserWgt.assign(256, 1.0);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXFourierError>(this, ": not enough memory on heap");
  }
  FNumData = 256;
}

TFastFourier::~TFastFourier() = default;

void TFastFourier::SetNumData(int32_t N) {
  // Only powers of two 1..2^23 are accepted: a value that merely has one bit set among its low
  // 24 bits (2^24 + 1, or a negative number) would send the butterflies outside the samples.
  if (N < 1 || N > kMaxFFTSize || (N & (N - 1)) != 0)
    RaiseComponentError<EQMXFourierError>(this, ": data length must be power of 2");
  try {
    std::vector<double> d(2 * static_cast<std::size_t>(N), 0.0);
    std::vector<double> w(static_cast<std::size_t>(N), 0.0);
    FData.swap(d);
    FUserWgt.swap(w);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXFourierError>(this, ": not enough memory on heap");
  }
  FNumData = N;
  FTwiddles.reset();
  FTwiddleN = 0;
  FMaxValuesValid = false;
}

double TFastFourier::GetRealVal(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData) return 0.0;
  return FData[2 * static_cast<std::size_t>(ix - 1)];
}

double TFastFourier::GetImagVal(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData) return 0.0;
  return FData[2 * static_cast<std::size_t>(ix - 1) + 1];
}

void TFastFourier::SetRealVal(int32_t ix, double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FData[2 * static_cast<std::size_t>(ix - 1)] = v;
  FMaxValuesValid = false;
}

void TFastFourier::SetImagVal(int32_t ix, double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FData[2 * static_cast<std::size_t>(ix - 1) + 1] = v;
  FMaxValuesValid = false;
}

double TFastFourier::GetWgtVal(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData) return 0.0;
  return FUserWgt[static_cast<std::size_t>(ix - 1)];
}

void TFastFourier::SetWgtVal(int32_t ix, double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FUserWgt[static_cast<std::size_t>(ix - 1)] = v;
}

void TFastFourier::Clear() noexcept {
  std::fill(FData.begin(), FData.end(), 0.0);
  FMaxValuesValid = false;
}

void TFastFourier::ClearReal() noexcept {
  for (std::size_t i = 0; i < FData.size(); i += 2) FData[i] = 0.0;
  FMaxValuesValid = false;
}

void TFastFourier::ClearImag() noexcept {
  for (std::size_t i = 1; i < FData.size(); i += 2) FData[i] = 0.0;
  FMaxValuesValid = false;
}

void TFastFourier::ApplyWindow() noexcept {
  const int32_t N = FNumData;
  double* x = FData.data();
  auto scale = [x](int32_t a, double f) {  // a is 1-based
    x[2 * static_cast<std::size_t>(a - 1)] *= f;
    x[2 * static_cast<std::size_t>(a - 1) + 1] *= f;
  };
  if (FWgtWin == fwRectangle) return;
  if (FWgtWin == fwTriangle) {
    for (int32_t b = 1; b <= N / 2; ++b) {
      const double f = 2.0 * b / N;
      scale(b, f);
      scale(N + 1 - b, f);
    }
    return;
  }
  for (int32_t a = 1; a <= N; ++a) {
    const double xx = (a - N / 2) / static_cast<double>(N);
    double f = 1.0;
    switch (FWgtWin) {
      case fwCos2: {
        const double c = std::cos(kPi * xx);
        f = c * c;
        break;
      }
      case fwGauss: {
        const double g = 6.0 * xx;
        f = std::exp(-0.5 * (g * g));
        break;
      }
      case fwHamming:
        f = 0.543478261 + 0.456521739 * std::cos(2 * kPi * xx);
        break;
      case fwBlackman:
        f = 0.42659 + 0.49656 * std::cos(2 * kPi * xx) + 0.076848 * std::cos(4 * kPi * xx);
        break;
      case fwBlkmHarris:
        f = 0.35875 + 0.48829 * std::cos(2 * kPi * xx) + 0.14128 * std::cos(4 * kPi * xx) +
            0.01168 * std::cos(6 * kPi * xx);
        break;
      case fwBlkmNuttall:
        f = 0.3635819 + 0.4891775 * std::cos(2 * kPi * xx) + 0.1365995 * std::cos(4 * kPi * xx) +
            0.0106411 * std::cos(6 * kPi * xx);
        break;
      case fwUserDef:
        f = FUserWgt[static_cast<std::size_t>(a - 1)];
        break;
      default:
        break;
    }
    scale(a, f);
  }
}

void TFastFourier::Transform() {
  ApplyWindow();
  DoFFT(1);
}

void TFastFourier::InverseTransform() { DoFFT(-1); }

void TFastFourier::DoFFT(int32_t direction) {
  const int32_t dir = direction < 0 ? -1 : 1;
  if (!FTwiddles || FTwiddleN != FNumData || FTwiddleDir != dir) {
    FTwiddles.reset();
    FTwiddleN = 0;
    try {
      auto tw = std::make_shared<fourier::TTwiddles>();
      fourier::BuildTwiddles(FNumData, dir, *tw);
      FTwiddles = tw;
    } catch (const std::bad_alloc&) {
      RaiseComponentError<EQMXFourierError>(this, ": not enough memory on heap");
    }
    FTwiddleN = FNumData;
    FTwiddleDir = dir;
  }
  fourier::FFTWithTwiddles(FData.data(), FNumData,
                           *static_cast<const fourier::TTwiddles*>(FTwiddles.get()));
  if (dir < 0) {
    const double n = FNumData;
    for (double& v : FData) v /= n;
  }
  FMaxValuesValid = false;
}

// ---- spectral quantities --------------------------------------------------------------------

double TFastFourier::PowerTerm(int32_t k) const noexcept {
  const double* x = FData.data();
  const std::size_t p = 2 * static_cast<std::size_t>(k);
  if (k == 0) return x[0] * x[0] + x[1] * x[1];
  const std::size_t q = 2 * static_cast<std::size_t>(FNumData - k);
  return x[p] * x[p] + x[p + 1] * x[p + 1] + x[q] * x[q] + x[q + 1] * x[q + 1];
}

double TFastFourier::MagniTerm(int32_t k) const noexcept {
  const double* x = FData.data();
  if (k == 0) return std::sqrt(x[0] * x[0] + x[1] * x[1]);
  const std::size_t p = 2 * static_cast<std::size_t>(k);
  const std::size_t q = 2 * static_cast<std::size_t>(FNumData - k);
  const double re = x[p] + x[q], im = x[p + 1] - x[q + 1];
  return std::sqrt(re * re + im * im);
}

double TFastFourier::GetPowerSpec(int32_t ix) const noexcept {
  if (ix < 0 || ix > FNumData / 2) return 0.0;
  return PowerTerm(ix) / FNumData;
}

double TFastFourier::GetMagnitude(int32_t ix) const noexcept {
  if (ix < 0 || ix > FNumData / 2) return 0.0;
  return MagniTerm(ix) / FNumData;
}

double TFastFourier::GetFSerCos(int32_t ix) const noexcept {
  if (ix < 0 || ix > FNumData / 2) return 0.0;
  const double* x = FData.data();
  if (ix == 0) return x[0] / FNumData;
  return (x[2 * static_cast<std::size_t>(ix)] + x[2 * static_cast<std::size_t>(FNumData - ix)]) /
         FNumData;
}

double TFastFourier::GetFSerSin(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData / 2) return 0.0;
  const double* x = FData.data();
  return (x[2 * static_cast<std::size_t>(ix) + 1] -
          x[2 * static_cast<std::size_t>(FNumData - ix) + 1]) /
         FNumData;
}

double TFastFourier::GetPhase(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData / 2) return 0.0;
  const double re = FData[2 * static_cast<std::size_t>(ix)];
  const double im = FData[2 * static_cast<std::size_t>(ix) + 1];
  if (re != 0.0) return std::atan(im / re);
  return im > 0.0 ? kPi / 2 : -kPi / 2;
}

double TFastFourier::RMS(int32_t FirstIx, int32_t LastIx) const noexcept {
  const int32_t hi = FNumData / 2;
  FirstIx = std::clamp(FirstIx, 0, hi);
  LastIx = std::clamp(LastIx, 0, hi);
  if (FirstIx > LastIx) std::swap(FirstIx, LastIx);
  double s = 0.0;
  for (int32_t k = FirstIx; k <= LastIx; ++k) s += PowerTerm(k);
  return std::sqrt(s) / FNumData;
}

double TFastFourier::FreqOfLine(int32_t ix, double SampleTime) const noexcept {
  // A sample time that is not positive has no frequency axis (it would give inf or NaN).
  if (ix < 1 || ix > FNumData / 2 || !(SampleTime > 0.0)) return 0.0;
  return ix / SampleTime / FNumData;
}

int32_t TFastFourier::LineOfFreq(double Freq, double SampleTime) const noexcept {
  const double line = std::nearbyint(FNumData * Freq * SampleTime);
  // Compared as a double before the conversion, so NaN and huge values never reach the cast.
  if (!(line >= 1.0 && line <= FNumData / 2)) return 0;
  return static_cast<int32_t>(line);
}

// ---- extremes -------------------------------------------------------------------------------

void TFastFourier::CalcMaxValues() const noexcept {
  constexpr double big = std::numeric_limits<double>::max();
  double maxr = -big, maxi = -big, minr = big, mini = big;
  const double* x = FData.data();
  // NaN parts are ignored by the maxima and the minima alike, so a NaN sample cannot make an
  // extreme depend on where it stands.
  for (int32_t a = 0; a < FNumData; ++a) {
    const double re = x[2 * static_cast<std::size_t>(a)];
    const double im = x[2 * static_cast<std::size_t>(a) + 1];
    if (re > maxr) maxr = re;
    if (re < minr) minr = re;
    if (im > maxi) maxi = im;
    if (im < mini) mini = im;
  }
  double maxp = 0.0, maxm = 0.0;
  for (int32_t k = 1; k < FNumData / 2; ++k) {
    const double p = PowerTerm(k), m = MagniTerm(k);
    if (p > maxp) maxp = p;
    if (m > maxm) maxm = m;
  }
  FMaxReal = maxr;
  FMaxImag = maxi;
  FMinReal = minr;
  FMinImag = mini;
  FMaxPower = maxp / FNumData;
  FMaxMagni = maxm / FNumData;
  FMaxValuesValid = true;
}

#define QMX_FFT_CACHED(Getter, Field)            \
  double TFastFourier::Getter() const noexcept { \
    if (!FMaxValuesValid) CalcMaxValues();      \
    return Field;                                \
  }
QMX_FFT_CACHED(GetMaxPower, FMaxPower)
QMX_FFT_CACHED(GetMaxMagni, FMaxMagni)
QMX_FFT_CACHED(GetMaxReal, FMaxReal)
QMX_FFT_CACHED(GetMaxImag, FMaxImag)
QMX_FFT_CACHED(GetMinReal, FMinReal)
QMX_FFT_CACHED(GetMinImag, FMinImag)
#undef QMX_FFT_CACHED

}  // namespace qmx
