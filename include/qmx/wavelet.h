// Module Qmx_wavelet: TWavelet1D, the discrete wavelet transform of the Daubechies family
// (orders 1 to 3) of a signal of N extended-precision samples (N a power of two), in place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

// How a block is continued before its first sample.
enum TWLSigExtMode { wseWrap, wseZeroPad, wseSymmetric };
enum TWaveletFamily { wlfDaubechies };

class TWavelet1D : public TComponent {
 public:
  // Daubechies family, N = 256 zero samples, wseWrap, order 2.
  explicit TWavelet1D(TComponent* AOwner = nullptr);
  ~TWavelet1D() override;
  std::string ClassName() const override { return "TWavelet1D"; }

  // ---- properties ----
  TWaveletFamily WaveletFamily() const noexcept { return FWaveletFam; }
  void SetWaveletFam(TWaveletFamily F) noexcept { FWaveletFam = F; }
  int32_t Order() const noexcept { return FOrder; }
  // K outside 1..3 raises EQMXWaveletError ": invalid order of Daubechies wavelet family".
  // The samples are kept.
  void SetOrder(int32_t K);
  int32_t Size() const noexcept { return FNumData; }
  // N must be a power of two from 1 to 2^23, else ": data length must be power of 2"; the
  // signal becomes N zeros.
  void SetNumData(int32_t N);
  TWLSigExtMode SignalExtMode() const noexcept { return FWLSigExtMode; }
  void SetSigExtMode(TWLSigExtMode M) noexcept { FWLSigExtMode = M; }

  double GetDataVal(int32_t ix) const noexcept;  // 0 outside 1..N
  void SetDataVal(int32_t ix, long double v) noexcept;
  double Data(int32_t ix) const noexcept { return GetDataVal(ix); }
  // The samples at full precision (sample i at position i - 1).
  std::span<long double> Samples() noexcept { return {FData.data(), FData.size()}; }
  std::span<const long double> Samples() const noexcept { return {FData.data(), FData.size()}; }
  // The filter pair of the current order (2K coefficients each).
  std::span<const long double> CoeffsLP() const noexcept { return {FCoeffsLP.data(), FCoeffsLP.size()}; }
  std::span<const long double> CoeffsHP() const noexcept { return {FCoeffsHP.data(), FCoeffsHP.size()}; }

  void Clear() noexcept;

  // ---- transforms ----
  // Level <= 0 counts as 1. Forward levels work on the blocks N, N/2, ... at the start of the
  // signal (approximation first, details after it); the inverse rebuilds from the block of 2
  // upward, treating the first 2^Level samples as a complete decomposition.
  void Transform(int32_t Level);
  void InverseTransform(int32_t Level);
  void DoWLT(int32_t Level, bool inverse);
  // One level over the whole signal.
  void SingleStep(bool inverse);
  // One level on the samples start .. start + n - 1 (start 0-based). Nothing happens when
  // n <= 1, when n is not a power of two or when the block does not lie inside the signal.
  void PartialWLT(int32_t n, int32_t start, bool inverse);

 private:
  void Step(long double* x, int32_t n, bool inverse, long double* w) const noexcept;

  int32_t FNumData = 0;
  std::vector<long double> FData;
  int32_t FOrder = 0;
  std::vector<long double> FCoeffsLP;
  std::vector<long double> FCoeffsHP;
  TWLSigExtMode FWLSigExtMode = wseWrap;
  TWaveletFamily FWaveletFam = wlfDaubechies;
};

}  // namespace qmx
