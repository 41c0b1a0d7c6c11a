#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "qmx/wavelet.h"

using namespace qmx;

namespace {

void FillRandom(TWavelet1D& W, unsigned seed, std::vector<long double>& x) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  x.resize(W.Size());
  for (int32_t i = 0; i < W.Size(); ++i) {
    x[i] = u(g);
    W.SetDataVal(i + 1, x[i]);
  }
}

long double Energy(std::span<const long double> v) {
  long double e = 0;
  for (long double a : v) e += a * a;
  return e;
}

}  // namespace

TEST(Wavelet1D, FiltersAndOrders) {
  TWavelet1D W;
  W.SetName("wl");
  EXPECT_EQ(W.Order(), 2);
  EXPECT_EQ(W.Size(), 256);
  EXPECT_EQ(W.SignalExtMode(), wseWrap);
  EXPECT_EQ(W.WaveletFamily(), wlfDaubechies);
  const long double s2 = std::sqrt(2.0L), s3 = std::sqrt(3.0L);
  const long double a = std::sqrt(10.0L), b = std::sqrt(5.0L + 2.0L * std::sqrt(10.0L));
  const std::vector<std::vector<long double>> closed = {
      {1 / s2, 1 / s2},
      {(1 + s3) / (4 * s2), (3 + s3) / (4 * s2), (3 - s3) / (4 * s2), (1 - s3) / (4 * s2)},
      {(1 + a + b) / (16 * s2), (5 + a + 3 * b) / (16 * s2), (10 - 2 * a + 2 * b) / (16 * s2),
       (10 - 2 * a - 2 * b) / (16 * s2), (5 + a - 3 * b) / (16 * s2), (1 + a - b) / (16 * s2)}};
  for (int K = 1; K <= 3; ++K) {
    W.SetOrder(K);
    auto h = W.CoeffsLP();
    auto g = W.CoeffsHP();
    ASSERT_EQ(h.size(), static_cast<std::size_t>(2 * K));
    long double sum = 0, sq = 0, gsum = 0, cross = 0;
    for (int j = 0; j < 2 * K; ++j) {
      EXPECT_NEAR(static_cast<double>(h[j] - closed[K - 1][j]), 0.0, 1e-18) << K << " " << j;
      sum += h[j];
      sq += h[j] * h[j];
      gsum += g[j];
      cross += h[j] * g[j];
    }
    EXPECT_NEAR(static_cast<double>(sum - s2), 0.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(sq - 1), 0.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(gsum), 0.0, 1e-18);  // the wavelet has no mean
    EXPECT_NEAR(static_cast<double>(cross), 0.0, 1e-18);
  }
  W.SetOrder(1);
  EXPECT_NEAR(static_cast<double>(W.CoeffsHP()[0]), 1 / std::sqrt(2.0), 2e-16);
  EXPECT_NEAR(static_cast<double>(W.CoeffsHP()[1]), -1 / std::sqrt(2.0), 2e-16);
  for (int bad : {0, 4, -1}) {
    try {
      W.SetOrder(bad);
      FAIL();
    } catch (const EQMXWaveletError& e) {
      EXPECT_STREQ(e.what(), "Component \"wl\": invalid order of Daubechies wavelet family");
    }
  }
  EXPECT_EQ(W.Order(), 1);
  for (int32_t bad : {0, 3, 12, -8, (1 << 24) + 1, 1 << 24}) {
    try {
      W.SetNumData(bad);
      FAIL() << bad;
    } catch (const EQMXWaveletError& e) {
      EXPECT_STREQ(e.what(), "Component \"wl\": data length must be power of 2");
    }
  }
  EXPECT_EQ(W.Size(), 256);
  W.SetNumData(1);
  W.SetDataVal(1, 5.0L);
  W.Transform(3);
  W.InverseTransform(3);
  W.SingleStep(false);
  EXPECT_EQ(W.GetDataVal(1), 5.0);
  EXPECT_EQ(W.GetDataVal(2), 0.0);
}

TEST(Wavelet1D, HaarByHand) {
  TWavelet1D W;
  W.SetNumData(4);
  W.SetOrder(1);
  for (int i = 1; i <= 4; ++i) W.SetDataVal(i, 1.0L);
  W.SingleStep(false);
  EXPECT_NEAR(W.GetDataVal(1), std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(W.GetDataVal(2), std::sqrt(2.0), 1e-15);
  EXPECT_EQ(W.GetDataVal(3), 0.0);
  EXPECT_EQ(W.GetDataVal(4), 0.0);
  W.SingleStep(true);
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(W.GetDataVal(i), 1.0, 1e-15);
  // Full depth on (4, 2, 5, 1): approximation 12/2 = 6, details (4+2-5-1)/2 = 0, then
  // (4-2)/sqrt 2 and (5-1)/sqrt 2.
  const double v[4] = {4, 2, 5, 1};
  for (int i = 0; i < 4; ++i) W.SetDataVal(i + 1, v[i]);
  W.Transform(2);
  EXPECT_NEAR(W.GetDataVal(1), 6.0, 1e-15);
  EXPECT_NEAR(W.GetDataVal(2), 0.0, 1e-15);
  EXPECT_NEAR(W.GetDataVal(3), 2 / std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(W.GetDataVal(4), 4 / std::sqrt(2.0), 1e-15);
  W.InverseTransform(2);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(W.GetDataVal(i + 1), v[i], 1e-15);
}

TEST(Wavelet1D, LevelCounting) {
  // Transform(0) does one level; Transform(20) on 8 samples does three and stops. Checked on
  // a Haar impulse, whose coefficients after each level are known.
  TWavelet1D W;
  W.SetNumData(8);
  W.SetOrder(1);
  W.SetDataVal(1, 1.0L);
  W.Transform(0);
  EXPECT_NEAR(W.GetDataVal(1), 1 / std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(W.GetDataVal(5), 1 / std::sqrt(2.0), 1e-15);
  W.Clear();
  W.SetDataVal(1, 1.0L);
  W.Transform(20);
  EXPECT_NEAR(W.GetDataVal(1), 1 / std::sqrt(8.0), 1e-15);
  EXPECT_NEAR(W.GetDataVal(2), 1 / std::sqrt(8.0), 1e-15);
  EXPECT_NEAR(W.GetDataVal(3), 0.5, 1e-15);
  EXPECT_NEAR(W.GetDataVal(5), 1 / std::sqrt(2.0), 1e-15);
  W.InverseTransform(-5);  // one level: only the block of 2 is rebuilt
  EXPECT_NEAR(W.GetDataVal(1), 0.5, 1e-15);
  EXPECT_NEAR(W.GetDataVal(2), 0.0, 1e-15);
}

TEST(Wavelet1D, WrapIsOrthonormalAndReconstructs) {
  for (int K = 1; K <= 3; ++K) {
    for (int32_t n : {2, 4, 8, 64, 1024}) {
      TWavelet1D W;
      W.SetOrder(K);
      W.SetNumData(n);
      std::vector<long double> x;
      FillRandom(W, 11 * K + n, x);
      const long double e0 = Energy(x);
      // Energy is preserved by every level (orthonormal step on each block).
      for (int32_t b = n; b > 1; b /= 2) {
        W.PartialWLT(b, 0, false);
        EXPECT_NEAR(static_cast<double>(Energy(W.Samples()) / e0), 1.0, 1e-16) << K << " " << n;
      }
      W.InverseTransform(30);
      long double err = 0;
      for (int32_t i = 0; i < n; ++i) err = std::max(err, std::fabs(W.Samples()[i] - x[i]));
      EXPECT_LT(static_cast<double>(err), 1e-17) << K << " " << n;
      // And through Transform / InverseTransform with the level count log2 N.
      const int lev = static_cast<int>(std::log2(n));
      W.Transform(lev);
      W.InverseTransform(lev);
      err = 0;
      for (int32_t i = 0; i < n; ++i) err = std::max(err, std::fabs(W.Samples()[i] - x[i]));
      EXPECT_LT(static_cast<double>(err), 1e-17) << K << " " << n;
    }
  }
}

TEST(Wavelet1D, BoundaryTermsByHand) {
  TWavelet1D W;
  W.SetNumData(4);
  W.SetOrder(2);
  const long double x[4] = {1, 2, 3, 4};
  auto h = W.CoeffsLP();
  auto g = W.CoeffsHP();
  // Zero padding: the first output uses samples -2, -1 (dropped), 0 and 1.
  W.SetSigExtMode(wseZeroPad);
  for (int i = 0; i < 4; ++i) W.SetDataVal(i + 1, x[i]);
  W.SingleStep(false);
  EXPECT_NEAR(W.Samples()[0], h[2] * 1 + h[3] * 2, 1e-18L);
  EXPECT_NEAR(W.Samples()[1], h[0] * 1 + h[1] * 2 + h[2] * 3 + h[3] * 4, 1e-18L);
  EXPECT_NEAR(W.Samples()[2], g[2] * 1 + g[3] * 2, 1e-18L);
  EXPECT_NEAR(W.Samples()[3], g[0] * 1 + g[1] * 2 + g[2] * 3 + g[3] * 4, 1e-18L);
  // Symmetric: sample -1 reads sample 0 and -2 reads sample 1.
  W.SetSigExtMode(wseSymmetric);
  for (int i = 0; i < 4; ++i) W.SetDataVal(i + 1, x[i]);
  W.SingleStep(false);
  EXPECT_NEAR(W.Samples()[0], h[0] * 2 + h[1] * 1 + h[2] * 1 + h[3] * 2, 1e-18L);
  EXPECT_NEAR(W.Samples()[2], g[0] * 2 + g[1] * 1 + g[2] * 1 + g[3] * 2, 1e-18L);
  // Wrap: -2 reads sample 2, -1 sample 3.
  W.SetSigExtMode(wseWrap);
  for (int i = 0; i < 4; ++i) W.SetDataVal(i + 1, x[i]);
  W.SingleStep(false);
  EXPECT_NEAR(W.Samples()[0], h[0] * 3 + h[1] * 4 + h[2] * 1 + h[3] * 2, 1e-18L);
  // Inverse with zero padding: coefficient a_1 (l = 1) adds into positions 0 and 1 only.
  W.SetSigExtMode(wseZeroPad);
  W.Clear();
  W.SetDataVal(1, 1.0L);
  W.SingleStep(true);
  EXPECT_NEAR(W.Samples()[0], h[2], 1e-18L);
  EXPECT_NEAR(W.Samples()[1], h[3], 1e-18L);
  EXPECT_EQ(W.Samples()[2], 0.0L);
  EXPECT_EQ(W.Samples()[3], 0.0L);
}

TEST(Wavelet1D, ShortBlocksStayInside) {
  // Order 3, symmetric, block of 2 (a, b): indices -4..1 read a, b, b, a, a, b (mirrored about
  // both ends of the block), so the approximation is a(h0 + h3 + h4) + b(h1 + h2 + h5).
  TWavelet1D W;
  W.SetNumData(8);
  W.SetOrder(3);
  W.SetSigExtMode(wseSymmetric);
  auto h = W.CoeffsLP();
  for (int i = 1; i <= 8; ++i) W.SetDataVal(i, 100.0L + i);
  W.SetDataVal(4, 2.0L);  // block at positions 3, 4 (0-based): a = 2, b = 7
  W.SetDataVal(5, 7.0L);
  W.PartialWLT(2, 3, false);
  EXPECT_NEAR(W.Samples()[3], 2 * (h[0] + h[3] + h[4]) + 7 * (h[1] + h[2] + h[5]), 1e-17L);
  for (int i : {1, 2, 3, 6, 7, 8}) EXPECT_EQ(W.GetDataVal(i), 100.0 + i);

  // Every order, mode and block size from 2 up, forward and inverse, at the end of a signal
  // with guard samples before it: the guards stay untouched (and ASan sees every access).
  for (int K = 1; K <= 3; ++K)
    for (TWLSigExtMode m : {wseWrap, wseZeroPad, wseSymmetric})
      for (int32_t n = 2; n <= 32; n *= 2) {
        TWavelet1D V;
        V.SetNumData(64);
        V.SetOrder(K);
        V.SetSigExtMode(m);
        for (int i = 1; i <= 64; ++i) V.SetDataVal(i, -1.0L);
        for (int i = 0; i < n; ++i) V.SetDataVal(64 - n + 1 + i, i + 1.0L);
        V.PartialWLT(n, 64 - n, false);
        V.PartialWLT(n, 64 - n, true);
        for (int i = 1; i <= 64 - n; ++i) ASSERT_EQ(V.GetDataVal(i), -1.0) << K << m << n;
        // Constant input under the symmetric extension gives back the constant detail-free.
        V.Clear();
        for (int i = 1; i <= n; ++i) V.SetDataVal(i, 3.0L);
        V.PartialWLT(n, 0, false);
        if (m != wseZeroPad) {
          for (int i = n / 2 + 1; i <= n; ++i) EXPECT_NEAR(V.GetDataVal(i), 0.0, 1e-15);
        }
      }
  // Blocks that do not lie inside the signal, or are not powers of two, do nothing.
  TWavelet1D U;
  U.SetNumData(8);
  for (int i = 1; i <= 8; ++i) U.SetDataVal(i, i);
  U.PartialWLT(8, 1, false);
  U.PartialWLT(4, -1, false);
  U.PartialWLT(6, 0, false);
  U.PartialWLT(16, 0, false);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(U.GetDataVal(i), i);
}
