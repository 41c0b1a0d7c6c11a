// Module Qmx_fourier: TFastFourier, a radix-2 fast Fourier transform of N complex samples (N a
// power of two) with weighting windows and the spectral quantities of the result.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

enum TFastFourierWgtWin {
  fwRectangle,
  fwTriangle,
  fwCos2,
  fwGauss,
  fwHamming,
  fwBlackman,
  fwBlkmHarris,
  fwBlkmNuttall,
  fwUserDef
};

class TFastFourier : public TComponent {
 public:
  // N = 256 zero samples, rectangle window, user weights all 1.0.
  explicit TFastFourier(TComponent* AOwner = nullptr);
  ~TFastFourier() override;
  std::string ClassName() const override { return "TFastFourier"; }

  // ---- properties ----
  int32_t SpectrumSize() const noexcept { return FNumData; }
  // N must be a power of two from 1 to 2^23, else EQMXFourierError ": data length must be
  // power of 2". Samples become N complex zeros and the user weights N zeros.
  void SetNumData(int32_t N);
  TFastFourierWgtWin WeightingWindow() const noexcept { return FWgtWin; }
  void SetWgtWin(TFastFourierWgtWin W) noexcept { FWgtWin = W; }

  // Samples (1..N; reads outside give 0, writes outside are ignored).
  double GetRealVal(int32_t ix) const noexcept;
  double GetImagVal(int32_t ix) const noexcept;
  void SetRealVal(int32_t ix, double v) noexcept;
  void SetImagVal(int32_t ix, double v) noexcept;
  double RealSpec(int32_t ix) const noexcept { return GetRealVal(ix); }
  double ImagSpec(int32_t ix) const noexcept { return GetImagVal(ix); }
  // Weights of fwUserDef (1..N).
  double GetWgtVal(int32_t ix) const noexcept;
  void SetWgtVal(int32_t ix, double v) noexcept;
  double WgtFunction(int32_t ix) const noexcept { return GetWgtVal(ix); }

  void Clear() noexcept;
  void ClearReal() noexcept;
  void ClearImag() noexcept;

  // ---- transforms ----
  // Applies the weighting window to the samples (it stays in them), then DoFFT(1):
  // X_k = sum_j x_j e^{+2 pi i jk/N}, unscaled.
  void Transform();
  // DoFFT(-1): x_j = (1/N) sum_k X_k e^{-2 pi i jk/N}.
  void InverseTransform();
  // In-place radix-2 decimation in time; direction >= 0 counts as 1, < 0 as -1.
  void DoFFT(int32_t direction);

  // ---- spectral quantities (line k = 0..N/2 at 0-based position k, its mirror at N - k) ----
  double GetPowerSpec(int32_t ix) const noexcept;
  double GetMagnitude(int32_t ix) const noexcept;
  double GetPhase(int32_t ix) const noexcept;
  double GetFSerSin(int32_t ix) const noexcept;
  double GetFSerCos(int32_t ix) const noexcept;
  double PowerSpec(int32_t ix) const noexcept { return GetPowerSpec(ix); }
  double Magnitude(int32_t ix) const noexcept { return GetMagnitude(ix); }
  double Phase(int32_t ix) const noexcept { return GetPhase(ix); }
  double FourSerSinCoeff(int32_t ix) const noexcept { return GetFSerSin(ix); }
  double FourSerCosCoeff(int32_t ix) const noexcept { return GetFSerCos(ix); }
  // Root of the summed power over the lines FirstIx..LastIx (clamped to 0..N/2, swapped when
  // reversed), divided by N.
  double RMS(int32_t FirstIx, int32_t LastIx) const noexcept;
  // ix / SampleTime / N for lines 1..N/2; 0 otherwise and for a SampleTime that is not > 0.
  double FreqOfLine(int32_t ix, double SampleTime) const noexcept;
  // round-half-even(N * Freq * SampleTime); 0 when outside 1..N/2 (or not a number).
  int32_t LineOfFreq(double Freq, double SampleTime) const noexcept;

  // ---- cached extremes ----
  void CalcMaxValues() const noexcept;
  double GetMaxPower() const noexcept;
  double GetMaxMagni() const noexcept;
  double GetMaxReal() const noexcept;
  double GetMaxImag() const noexcept;
  double GetMinReal() const noexcept;
  double GetMinImag() const noexcept;
  double PowerMax() const noexcept { return GetMaxPower(); }
  double MagniMax() const noexcept { return GetMaxMagni(); }
  double RealMax() const noexcept { return GetMaxReal(); }
  double ImagMax() const noexcept { return GetMaxImag(); }
  double RealMin() const noexcept { return GetMinReal(); }
  double ImagMin() const noexcept { return GetMinImag(); }
  bool MaxValuesValid() const noexcept { return FMaxValuesValid; }

  // Interleaved (re, im) storage of the N samples for the library's inner loops. Writes through
  // it must be followed by Invalidate() so the cached extremes are recomputed.
  double* Samples() noexcept { return FData.data(); }
  const double* Samples() const noexcept { return FData.data(); }
  void Invalidate() noexcept { FMaxValuesValid = false; }

 private:
  void ApplyWindow() noexcept;
  double PowerTerm(int32_t k) const noexcept;  // power of line k before the division by N
  double MagniTerm(int32_t k) const noexcept;  // magnitude of line k before the division by N

  int32_t FNumData = 0;
  TFastFourierWgtWin FWgtWin = fwRectangle;
  mutable bool FMaxValuesValid = false;
  mutable double FMaxReal = 0, FMaxImag = 0, FMinReal = 0, FMinImag = 0;
  mutable double FMaxPower = 0, FMaxMagni = 0;
  std::vector<double> FUserWgt;
  std::vector<double> FData;  // 2N values: re_0, im_0, re_1, im_1, ...
  // Twiddle factors of the last size and direction transformed (see src/fourier/fft_kernel.h).
  std::shared_ptr<void> FTwiddles;
  int32_t FTwiddleN = 0, FTwiddleDir = 0;
};

namespace fourier {
// The transform kernel over n interleaved complex values (n a power of two), exposed for the
// benchmarks and the tests: bit-reversal, then the butterfly stages with the twiddle factors of
// the recurrence w := w + w (-2 sin^2(theta/2) + i sin theta), theta = dir 2 pi / (2h).
void FFTInPlace(double* data, int32_t n, int32_t dir);
}  // namespace fourier

}  // namespace qmx
