#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "fourier/fft_kernel.h"
#include "qmx/fourier.h"

using namespace qmx;

namespace {

// The plain textbook loop of the transform: bit reversal, then per stage a running twiddle
// factor advanced by the recurrence after every butterfly column.
void TextbookFFT(std::vector<double>& d, int n, int isign) {
  int j = 0;
  for (int i = 0; i < n; ++i) {
    if (i < j) {
      std::swap(d[2 * i], d[2 * j]);
      std::swap(d[2 * i + 1], d[2 * j + 1]);
    }
    int m = n >> 1;
    while (m >= 1 && (j & m)) {
      j ^= m;
      m >>= 1;
    }
    j |= m;
  }
  for (int h = 1; h < n; h *= 2) {
    const double theta = isign * (6.283185307179586476925286766559 / (2.0 * h));
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp, wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    for (int k = 0; k < h; ++k) {
      for (int i = k; i < n; i += 2 * h) {
        const int jj = i + h;
        const double tr = wr * d[2 * jj] - wi * d[2 * jj + 1];
        const double ti = wr * d[2 * jj + 1] + wi * d[2 * jj];
        d[2 * jj] = d[2 * i] - tr;
        d[2 * jj + 1] = d[2 * i + 1] - ti;
        d[2 * i] += tr;
        d[2 * i + 1] += ti;
      }
      const double w0 = wr;
      wr = wr + (wr * wpr - wi * wpi);
      wi = wi + (wi * wpr + w0 * wpi);
    }
  }
}

void FillRandom(TFastFourier& F, unsigned seed, std::vector<double>& re, std::vector<double>& im) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int n = F.SpectrumSize();
  re.resize(n);
  im.resize(n);
  for (int a = 0; a < n; ++a) {
    re[a] = u(g);
    im[a] = u(g);
    F.SetRealVal(a + 1, re[a]);
    F.SetImagVal(a + 1, im[a]);
  }
}

}  // namespace

TEST(FastFourier, CreationAndSizes) {
  TFastFourier F;
  F.SetName("fft1");
  EXPECT_EQ(F.SpectrumSize(), 256);
  EXPECT_EQ(F.WeightingWindow(), fwRectangle);
  EXPECT_EQ(F.GetWgtVal(1), 1.0);
  EXPECT_EQ(F.GetWgtVal(256), 1.0);
  EXPECT_EQ(F.GetWgtVal(257), 0.0);
  for (int32_t bad : {3, 0, -1, -2147483647 - 1, (1 << 24), (1 << 24) + 1, 6, 1000}) {
    try {
      F.SetNumData(bad);
      FAIL() << bad;
    } catch (const EQMXFourierError& e) {
      EXPECT_STREQ(e.what(), "Component \"fft1\": data length must be power of 2");
    }
  }
  EXPECT_EQ(F.SpectrumSize(), 256);  // a refused size keeps the samples
  F.SetNumData(1);
  EXPECT_EQ(F.SpectrumSize(), 1);
  F.SetNumData(1 << 23);
  EXPECT_EQ(F.SpectrumSize(), 1 << 23);
  F.SetNumData(16);
  // After a resize the user weights are 0, so the user window wipes the samples.
  EXPECT_EQ(F.GetWgtVal(1), 0.0);
  for (int a = 1; a <= 16; ++a) F.SetRealVal(a, 1.0);
  F.SetWgtWin(fwUserDef);
  F.Transform();
  for (int a = 1; a <= 16; ++a) EXPECT_EQ(F.GetRealVal(a), 0.0);
  // Accessors outside the range read 0 and write nothing.
  F.SetRealVal(0, 5.0);
  F.SetImagVal(17, 5.0);
  EXPECT_EQ(F.GetRealVal(0), 0.0);
  EXPECT_EQ(F.GetImagVal(17), 0.0);
}

TEST(FastFourier, ConstantSignalAndSignConvention) {
  TFastFourier F;
  F.SetNumData(8);
  for (int a = 1; a <= 8; ++a) F.SetRealVal(a, 1.0);
  F.Transform();
  EXPECT_DOUBLE_EQ(F.GetRealVal(1), 8.0);
  for (int a = 2; a <= 8; ++a) {
    EXPECT_NEAR(F.GetRealVal(a), 0.0, 1e-15);
    EXPECT_NEAR(F.GetImagVal(a), 0.0, 1e-15);
  }
  EXPECT_DOUBLE_EQ(F.GetFSerCos(0), 1.0);
  EXPECT_EQ(F.GetPhase(0), 0.0);

  // A unit impulse at sample position 1 (0-based) gives X_k = e^{+2 pi i k/N}: the positive
  // exponent convention.
  F.Clear();
  F.SetRealVal(2, 1.0);
  F.Transform();
  for (int k = 0; k < 8; ++k) {
    EXPECT_NEAR(F.GetRealVal(k + 1), std::cos(2 * std::numbers::pi * k / 8), 1e-15);
    EXPECT_NEAR(F.GetImagVal(k + 1), std::sin(2 * std::numbers::pi * k / 8), 1e-15);
  }
}

TEST(FastFourier, AgreesWithDirectDFT) {
  for (int n : {1, 2, 4, 32, 512, 1 << 14}) {
    TFastFourier F;
    F.SetNumData(n);
    std::vector<double> re, im;
    FillRandom(F, 7 + n, re, im);
    F.Transform();
    // Spot-check lines against the direct sum in long double (all lines for small n).
    const int step = n <= 512 ? 1 : 331;
    double maxerr = 0;
    for (int k = 0; k < n; k += step) {
      long double sr = 0, si = 0;
      for (int j = 0; j < n; ++j) {
        const long double ang = 2.0L * std::numbers::pi_v<long double> *
                                static_cast<long double>((static_cast<long long>(j) * k) % n) / n;
        const long double c = std::cos(ang), s = std::sin(ang);
        sr += re[j] * c - im[j] * s;
        si += re[j] * s + im[j] * c;
      }
      maxerr = std::max(maxerr, std::fabs(static_cast<double>(sr) - F.GetRealVal(k + 1)));
      maxerr = std::max(maxerr, std::fabs(static_cast<double>(si) - F.GetImagVal(k + 1)));
    }
    // Radix-2 rounding error grows like log2 N (values of size sqrt N).
    EXPECT_LT(maxerr, 1e-15 * std::sqrt(double(n)) * (std::log2(double(n)) + 1) * 8) << n;
  }
}

TEST(FastFourier, BitIdenticalToTextbookLoop) {
  // Sizes on both sides of the cache block and with an odd and even number of fused stages.
  for (int n : {2, 8, 1 << 13, 1 << 14, 1 << 15, 1 << 16, 1 << 17}) {
    for (int dir : {1, -1}) {
      TFastFourier F;
      F.SetNumData(n);
      std::vector<double> re, im;
      FillRandom(F, 100 + n, re, im);
      std::vector<double> d(2 * n);
      for (int a = 0; a < n; ++a) {
        d[2 * a] = re[a];
        d[2 * a + 1] = im[a];
      }
      TextbookFFT(d, n, dir);
      F.DoFFT(dir);
      const double div = dir < 0 ? n : 1;
      bool same = true;
      for (int a = 0; a < n && same; ++a) {
        const double r = d[2 * a] / div, i = d[2 * a + 1] / div;
        same = std::memcmp(&r, F.Samples() + 2 * a, sizeof r) == 0 &&
               std::memcmp(&i, F.Samples() + 2 * a + 1, sizeof i) == 0;
      }
      EXPECT_TRUE(same) << n << " " << dir;
    }
  }
}

TEST(FastFourier, ParsevalAndRoundTrip) {
  TFastFourier F;
  F.SetNumData(4096);
  std::vector<double> re, im;
  FillRandom(F, 3, re, im);
  long double e_time = 0;
  for (int a = 0; a < 4096; ++a) e_time += re[a] * re[a] + im[a] * im[a];
  F.Transform();
  long double e_freq = 0;
  for (int a = 1; a <= 4096; ++a)
    e_freq += F.GetRealVal(a) * F.GetRealVal(a) + F.GetImagVal(a) * F.GetImagVal(a);
  EXPECT_NEAR(static_cast<double>(e_freq / 4096), static_cast<double>(e_time),
              1e-12 * static_cast<double>(e_time));
  // The RMS over all lines is the root of the energy: sum over lines 0..N/2 counts N/2 twice.
  const double nyq = F.GetRealVal(2049) * F.GetRealVal(2049) + F.GetImagVal(2049) * F.GetImagVal(2049);
  EXPECT_NEAR(F.RMS(4096, -3) * 4096, std::sqrt(static_cast<double>(e_freq) + nyq), 1e-12 * std::sqrt(static_cast<double>(e_freq)));
  F.InverseTransform();
  double maxerr = 0;
  for (int a = 0; a < 4096; ++a) {
    maxerr = std::max(maxerr, std::fabs(F.GetRealVal(a + 1) - re[a]));
    maxerr = std::max(maxerr, std::fabs(F.GetImagVal(a + 1) - im[a]));
  }
  EXPECT_LT(maxerr, 1e-14);
}

TEST(FastFourier, SpectralQuantitiesOfARealSine) {
  // x_j = 3 cos(2 pi 5 j/N) + 2 sin(2 pi 9 j/N) + 0.5: the Fourier series coefficients come back.
  const int n = 64;
  TFastFourier F;
  F.SetNumData(n);
  for (int j = 0; j < n; ++j)
    F.SetRealVal(j + 1, 3 * std::cos(2 * std::numbers::pi * 5 * j / n) +
                            2 * std::sin(2 * std::numbers::pi * 9 * j / n) + 0.5);
  F.Transform();
  EXPECT_NEAR(F.GetFSerCos(0), 0.5, 1e-14);
  EXPECT_NEAR(F.GetFSerCos(5), 3.0, 1e-14);
  EXPECT_NEAR(F.GetFSerSin(5), 0.0, 1e-14);
  // With the e^{+i} convention sin(w j) appears as +N/2 i at line k and -N/2 i at N - k.
  EXPECT_NEAR(F.GetFSerSin(9), 2.0, 1e-14);
  EXPECT_NEAR(F.GetMagnitude(5), 3.0, 1e-14);
  EXPECT_NEAR(F.GetMagnitude(9), 2.0, 1e-14);
  EXPECT_NEAR(F.GetMagnitude(0), 0.5, 1e-14);
  // Power of line k: 2 (N/2 A)^2 / N = N A^2 / 2.
  EXPECT_NEAR(F.GetPowerSpec(5), n * 9.0 / 2, 1e-11);
  EXPECT_NEAR(F.GetPowerSpec(0), n * 0.25, 1e-12);
  // re is rounding noise here, so only the size of the angle is fixed.
  EXPECT_NEAR(std::fabs(F.GetPhase(9)), std::numbers::pi / 2, 1e-12);
  EXPECT_NEAR(F.GetPhase(5), 0.0, 1e-14);
  EXPECT_EQ(F.GetPowerSpec(33), 0.0);
  EXPECT_EQ(F.GetFSerSin(0), 0.0);
  EXPECT_EQ(F.GetMagnitude(-1), 0.0);
  // Extremes over lines 1..N/2-1 and over the parts of all samples.
  EXPECT_NEAR(F.GetMaxPower(), n * 9.0 / 2, 1e-11);
  EXPECT_NEAR(F.GetMaxMagni(), 3.0, 1e-14);
  EXPECT_NEAR(F.GetMaxReal(), 96.0, 1e-12);  // lines 5 and 59 hold N/2 * 3
  EXPECT_NEAR(F.GetMaxImag(), 64.0, 1e-12);  // line 9
  EXPECT_NEAR(F.GetMinImag(), -64.0, 1e-12);
  EXPECT_TRUE(F.MaxValuesValid());
  F.SetRealVal(2, 1000.0);
  EXPECT_FALSE(F.MaxValuesValid());
  EXPECT_EQ(F.GetMaxReal(), 1000.0);
}

TEST(FastFourier, ExtremesIgnoreNaN) {
  TFastFourier F;
  F.SetNumData(4);
  const double v[4] = {2.0, -1.0, 5.0, std::nan("")};
  for (int a = 0; a < 4; ++a) F.SetRealVal(a + 1, v[a]);
  EXPECT_EQ(F.GetMaxReal(), 5.0);
  EXPECT_EQ(F.GetMinReal(), -1.0);
  EXPECT_EQ(F.GetMaxImag(), 0.0);
  EXPECT_EQ(F.GetMinImag(), 0.0);
}

TEST(FastFourier, LinesAndFrequencies) {
  TFastFourier F;
  F.SetNumData(1024);
  EXPECT_DOUBLE_EQ(F.FreqOfLine(10, 0.001), 10 / 0.001 / 1024);
  EXPECT_EQ(F.FreqOfLine(0, 0.001), 0.0);
  EXPECT_EQ(F.FreqOfLine(513, 0.001), 0.0);
  EXPECT_EQ(F.FreqOfLine(3, 0.0), 0.0);
  // Halfway between lines 2 and 3 and between 3 and 4: ties go to the even line.
  EXPECT_EQ(F.LineOfFreq(2.5 / 1024, 1.0), 2);
  EXPECT_EQ(F.LineOfFreq(3.5 / 1024, 1.0), 4);
  EXPECT_EQ(F.LineOfFreq(512.0 / 1024, 1.0), 512);
  EXPECT_EQ(F.LineOfFreq(513.0 / 1024, 1.0), 0);
  EXPECT_EQ(F.LineOfFreq(std::nan(""), 1.0), 0);
  EXPECT_EQ(F.LineOfFreq(1e300, 1e300), 0);
}

TEST(FastFourier, WindowSums) {
  // For N samples of 1.0, line 0 after Transform is the sum of the window factors. Over a full
  // period the cosine terms sum to 0, leaving N times the constant term.
  const int n = 64;
  struct Case {
    TFastFourierWgtWin w;
    double sum;
  } cases[] = {{fwRectangle, n},           {fwTriangle, n / 2 + 1},
               {fwCos2, n / 2.0},          {fwHamming, n * 0.543478261},
               {fwBlackman, n * 0.42659},  {fwBlkmHarris, n * 0.35875},
               {fwBlkmNuttall, n * 0.3635819}};
  for (const auto& c : cases) {
    TFastFourier F;
    F.SetNumData(n);
    for (int a = 1; a <= n; ++a) F.SetRealVal(a, 1.0);
    F.SetWgtWin(c.w);
    F.Transform();
    EXPECT_NEAR(F.GetRealVal(1), c.sum, 1e-12) << c.w;
    EXPECT_NEAR(F.GetImagVal(1), 0.0, 1e-12) << c.w;
  }
  // The Gauss window is 1 at the centre sample a = N/2 and exp(-4.5) at a = N.
  TFastFourier F;
  F.SetNumData(n);
  for (int a = 1; a <= n; ++a) F.SetImagVal(a, 2.0);
  F.SetWgtWin(fwGauss);
  F.DoFFT(1);
  F.InverseTransform();  // back to the plain samples: no window in DoFFT
  EXPECT_NEAR(F.GetImagVal(n / 2), 2.0, 1e-14);
  F.Transform();
  F.InverseTransform();
  EXPECT_NEAR(F.GetImagVal(n / 2), 2.0, 1e-14);
  EXPECT_NEAR(F.GetImagVal(n), 2.0 * std::exp(-4.5), 1e-14);
}

TEST(FastFourier, PhaseWithZeroRealPart) {
  // Samples (1, 0, 1, 0) + i (0, 0, 0, 0) transform exactly (all twiddles of N = 2 are 1);
  // a line whose real part is exactly 0 reports +-pi/2 by the sign of its imaginary part.
  TFastFourier F;
  F.SetNumData(2);
  F.SetImagVal(1, 1.0);
  F.SetImagVal(2, 0.0);
  F.Transform();  // X_0 = i, X_1 = i
  EXPECT_EQ(F.GetRealVal(2), 0.0);
  EXPECT_DOUBLE_EQ(F.GetPhase(1), std::numbers::pi / 2);
  F.Clear();
  F.SetImagVal(1, -1.0);
  F.Transform();
  EXPECT_DOUBLE_EQ(F.GetPhase(1), -std::numbers::pi / 2);
}
