#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

// Response of a kernel at frequency f (fraction of the sampling rate), taps centred.
double KernelResponse(const TDoubleArray& k, double f) {
  const int c = static_cast<int>(k.size()) / 2;
  std::complex<double> h = 0;
  for (int i = 0; i < static_cast<int>(k.size()); ++i)
    h += k[i] * std::polar(1.0, -2 * std::numbers::pi * f * (i - c));
  return std::abs(h);
}

// |H| of the recursion y = a0 x + sum a_r x[n-r] + b_r y[n-r] at frequency f.
double RecursiveResponse(double a0, const TMatrix& C, double f) {
  std::complex<double> num = a0, den = 1.0;
  for (int r = 1; r <= C.NrOfRows(); ++r) {
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * f * r);
    num += C.Elem(1, r) * z;
    den -= C.Elem(2, r) * z;
  }
  return std::abs(num / den);
}

std::string ChebMessage(int32_t np, bool hp, double fc, double ripple) {
  double a0;
  TMatrix C;
  try {
    CalcChebFilterCoeffs(np, hp, fc, ripple, a0, &C);
  } catch (const EQMXMath2Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(SincKernels, ResponsesAndSums) {
  for (int win : {0, kSincWindowHamming, kSincWindowBlackman}) {
    TDoubleArray lp, hp, bs, bp;
    CalcSincLPKernel(101, 0.1, win, lp);
    CalcSincHPKernel(101, 0.1, win, hp);
    ASSERT_EQ(lp.size(), 101u);
    double slp = 0, shp = 0;
    for (std::size_t i = 0; i < lp.size(); ++i) {
      slp += lp[i];
      shp += hp[i];
      EXPECT_NEAR(lp[i], lp[100 - i], 1e-15);  // linear phase: symmetric taps
    }
    EXPECT_NEAR(slp, 1.0, 1e-14);
    EXPECT_NEAR(shp, 0.0, 1e-14);
    EXPECT_NEAR(KernelResponse(lp, 0.0), 1.0, 1e-14);
    EXPECT_NEAR(KernelResponse(hp, 0.5), 1.0, win == 0 ? 0.05 : 2e-3);
    // The windowed kernels keep the stop band small; the bare sinc rings more.
    const double stop = win == kSincWindowBlackman ? 1e-3 : win == kSincWindowHamming ? 5e-3 : 0.05;
    for (double f : {0.15, 0.2, 0.3, 0.45}) {
      EXPECT_LT(KernelResponse(lp, f), stop) << win << " " << f;
      EXPECT_NEAR(KernelResponse(hp, f), 1.0, stop) << win << " " << f;
    }
    EXPECT_NEAR(KernelResponse(lp, 0.03), 1.0, stop);
    // Band-stop removes 0.2..0.3 and keeps both ends; band-pass the converse. The order in
    // which the two frequencies are given does not matter.
    CalcSincBSKernel(101, 0.3, 0.2, win, bs);
    TDoubleArray bs2;
    CalcSincBSKernel(101, 0.2, 0.3, win, bs2);
    EXPECT_EQ(bs, bs2);
    CalcSincBPKernel(101, 0.2, 0.3, win, bp);
    EXPECT_NEAR(KernelResponse(bs, 0.0), 1.0, 1e-13);
    EXPECT_NEAR(KernelResponse(bs, 0.25), 0.0, stop);
    EXPECT_NEAR(KernelResponse(bs, 0.5), 1.0, stop);
    EXPECT_NEAR(KernelResponse(bp, 0.25), 1.0, stop);
    EXPECT_NEAR(KernelResponse(bp, 0.0), 0.0, 1e-13);
    // The vector form holds the same values.
    TVector v;
    CalcSincBPKernel(101, 0.2, 0.3, win, &v);
    ASSERT_EQ(v.NrOfElem(), 101);
    for (int i = 0; i < 101; ++i) EXPECT_EQ(v.Elem(i + 1), bp[i]);
  }
  // Cutoffs outside 0..0.5 are clamped; the centre of an even kernel is tap N div 2.
  TDoubleArray a, b;
  CalcSincLPKernel(12, 0.8, 1, a);
  CalcSincLPKernel(12, 0.5, 1, b);
  EXPECT_EQ(a, b);
  CalcSincLPKernel(12, std::nan(""), 1, a);
  for (double x : a) EXPECT_EQ(x, 0.0);  // cutoff 0: nothing passes, no normalisation
  CalcSincHPKernel(12, -1.0, 0, a);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(a[i], i == 6 ? 1.0 : 0.0);
  CalcSincLPKernel(-3, 0.2, 0, a);
  EXPECT_TRUE(a.empty());
  TVector v;
  v.Resize(4);
  CalcSincLPKernel(0, 0.2, 0, &v);
  EXPECT_EQ(v.NrOfElem(), 4);
  CalcSincLPKernel(5, 0.2, 0, static_cast<TVector*>(nullptr));
}

TEST(MovingKernelFilter, ConvolvesWithRepeatedEnds) {
  TVector s, d, k;
  s.Resize(6);
  for (int j = 1; j <= 6; ++j) s.SetVal(j, j * j);
  k.Resize(1);
  k.SetVal(1, 1.0);
  MovingKernelFilter(&s, 1, 6, &d, &k);
  ASSERT_EQ(d.NrOfElem(), 6);
  for (int j = 1; j <= 6; ++j) EXPECT_EQ(d.Elem(j), j * j);
  // Kernel (1, 2, 3) applied without reversal: d[b] = 1 s[b-1] + 2 s[b] + 3 s[b+1] on the
  // stretch 2..5 = (4, 9, 16, 25), its ends repeated.
  k.Resize(3);
  k.SetVal(1, 1);
  k.SetVal(2, 2);
  k.SetVal(3, 3);
  MovingKernelFilter(&s, 5, 2, &d, &k);
  EXPECT_EQ(d.NrOfElem(), 6);
  EXPECT_EQ(d.Elem(1), 4 + 8 + 27);
  EXPECT_EQ(d.Elem(2), 4 + 18 + 48);
  EXPECT_EQ(d.Elem(3), 9 + 32 + 75);
  EXPECT_EQ(d.Elem(4), 16 + 50 + 75);
  // In place, with a longer stretch so the four-at-a-time path runs too.
  TVector t;
  t.Resize(40);
  for (int j = 1; j <= 40; ++j) t.SetVal(j, j);
  MovingKernelFilter(&t, 1, 40, &t, &k);
  EXPECT_EQ(t.Elem(1), 1 + 2 + 6);
  for (int j = 2; j <= 39; ++j) EXPECT_EQ(t.Elem(j), (j - 1) + 2 * j + 3 * (j + 1)) << j;
  EXPECT_EQ(t.Elem(40), 39 + 80 + 120);

  auto msg = [&](const TVector* a, int32_t f, int32_t l, TVector* b, const TVector* c) {
    try {
      MovingKernelFilter(a, f, l, b, c);
    } catch (const EQMXMath2Error& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  const std::string undef = "MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined";
  EXPECT_EQ(msg(nullptr, 1, 6, &d, &k), undef);
  EXPECT_EQ(msg(&s, 1, 6, &d, nullptr), undef);
  EXPECT_EQ(msg(&s, 2, 4, &d, &k),
            "MovingKernelfilter: specified range for smoothing is smaller than the length of the kernel");
  EXPECT_EQ(msg(&s, 3, 6, &d, &k), "");
}

TEST(Chebyshev, DesignChecksInOrder) {
  EXPECT_EQ(ChebMessage(3, false, 0.1, 50), "CalcChebFilterCoeffs: NPoles must be even");
  EXPECT_EQ(ChebMessage(21, false, 0.1, 0.5), "CalcChebFilterCoeffs: NPoles must be even");
  EXPECT_EQ(ChebMessage(22, false, 0.1, 0.5), "CalcChebFilterCoeffs: NPoles must be in the range 2..20");
  EXPECT_EQ(ChebMessage(0, false, 0.1, 0.5), "CalcChebFilterCoeffs: NPoles must be in the range 2..20");
  EXPECT_EQ(ChebMessage(-4, false, 0.1, 0.5), "CalcChebFilterCoeffs: NPoles must be in the range 2..20");
  EXPECT_EQ(ChebMessage(4, false, 0.6, 30), "CalcChebFilterCoeffs: invalid Ripple value");
  EXPECT_EQ(ChebMessage(4, false, 0.6, std::nan("")), "CalcChebFilterCoeffs: invalid Ripple value");
  EXPECT_EQ(ChebMessage(4, false, 0.6, 1), "CalcChebFilterCoeffs: invalid cutoff frequency");
  EXPECT_EQ(ChebMessage(4, false, -0.01, 1), "CalcChebFilterCoeffs: invalid cutoff frequency");
  EXPECT_EQ(ChebMessage(20, true, 0.25, 29), "");
}

TEST(Chebyshev, FrequencyResponseOfTheDesign) {
  for (int np : {2, 4, 6, 10}) {
    for (double ripple : {0.0, 0.5, 5.0}) {
      for (bool hp : {false, true}) {
        const double fc = 0.1;
        double a0;
        TMatrix C;
        CalcChebFilterCoeffs(np, hp, fc, ripple, a0, &C);
        ASSERT_EQ(C.NrOfColumns(), 2);
        ASSERT_EQ(C.NrOfRows(), np);
        // Pass band: 0..fc (low-pass) or fc..0.5 (high-pass); unit gain at 0 or 0.5.
        EXPECT_NEAR(RecursiveResponse(a0, C, hp ? 0.5 : 0.0), 1.0, 1e-9);
        double hi = 0;
        for (int i = 0; i <= 200; ++i) {
          const double f = hp ? fc + (0.5 - fc) * i / 200.0 : fc * i / 200.0;
          const double h = RecursiveResponse(a0, C, f);
          hi = std::max(hi, h);
        }
        if (ripple > 0) {
          // Equiripple: with an even number of poles the unit gain at 0 (0.5) is a trough of the
          // ripple, whose peaks stand 100 / (100 - ripple) above it; the cutoff is where the
          // response has fallen to 1/sqrt 2 of the peak.
          EXPECT_NEAR(hi, 100 / (100 - ripple), 1e-4) << np << " " << ripple << " " << hp;
          EXPECT_NEAR(RecursiveResponse(a0, C, fc) / hi, std::sqrt(0.5), 1e-4);
        } else {
          EXPECT_NEAR(RecursiveResponse(a0, C, fc), std::sqrt(0.5), 1e-6);  // Butterworth
        }
        // Through the cutoff into the stop band: falling monotonically.
        double prev = RecursiveResponse(a0, C, fc);
        for (int i = 1; i <= 20; ++i) {
          const double f = hp ? fc * (1 - i / 21.0) : fc + (0.5 - fc) * i / 20.0;
          const double h = RecursiveResponse(a0, C, f);
          EXPECT_LT(h, prev + 1e-12) << np << " " << ripple << " " << hp << " " << f;
          prev = h;
        }
        EXPECT_LT(RecursiveResponse(a0, C, hp ? 0.02 : 0.3), 0.2) << np;
      }
    }
  }
}

TEST(Chebyshev, ZeroPhaseFilterKeepsAPassBandSine) {
  const int n = 2000;
  const double f = 0.01;
  TVector s, d;
  s.Resize(n);
  for (int j = 1; j <= n; ++j) s.SetVal(j, std::sin(2 * std::numbers::pi * f * j + 0.3));
  double a0;
  TMatrix C;
  CalcChebFilterCoeffs(6, false, 0.1, 0.5, a0, &C);
  d.Resize(n);
  d.Fill(-7.0);
  ChebychevFilter(&s, 1, n, &d, a0, &C);
  // Forward and backward: gain |H(f)|^2 and no phase shift, away from the ends.
  const double g = std::pow(RecursiveResponse(a0, C, f), 2);
  for (int j = 500; j <= 1500; ++j) EXPECT_NEAR(d.Elem(j), g * s.Elem(j), 1e-6) << j;
  // A stop-band sine is removed.
  for (int j = 1; j <= n; ++j) s.SetVal(j, std::sin(2 * std::numbers::pi * 0.3 * j));
  ChebychevFilter(&s, 1, n, &d, a0, &C);
  for (int j = 500; j <= 1500; ++j) EXPECT_NEAR(d.Elem(j), 0.0, 1e-4) << j;
  // Only First..Last of the destination are written; the pass starts before element 1
  // whatever First is, so a sub-stretch sees the same values.
  TVector d2;
  d2.Resize(n);
  d2.Fill(-7.0);
  ChebychevFilter(&s, 1200, 800, &d2, a0, &C);
  EXPECT_EQ(d2.Elem(799), -7.0);
  EXPECT_EQ(d2.Elem(1201), -7.0);
  for (int j = 800; j <= 1200; j += 50) EXPECT_NEAR(d2.Elem(j), 0.0, 1e-4);
  // A destination shorter than Last is written as far as it goes.
  TVector shortd;
  shortd.Resize(10);
  ChebychevFilter(&s, 1, n, &shortd, a0, &C);
  EXPECT_EQ(shortd.NrOfElem(), 10);
  EXPECT_THROW(ChebychevFilter(nullptr, 1, n, &d, a0, &C), EQMXMath2Error);
}

TEST(GaussKernel, ValuesAndLimits) {
  TVector u, v;
  u.Resize(2);
  v.Resize(2);
  v.SetVal(1, 1.0);
  v.SetVal(2, 1.0);
  EXPECT_DOUBLE_EQ(CalcGaussKernel(&u, &v, 2.0), std::exp(-0.5));
  EXPECT_EQ(CalcGaussKernel(&v, &v, 0.5), 1.0);
  EXPECT_EQ(CalcGaussKernel(&v, &v, 0.0), 1.0);
  v.SetVal(1, 1e6);
  EXPECT_EQ(CalcGaussKernel(&u, &v, 1.0), std::exp(-20.0));
  EXPECT_EQ(CalcGaussKernel(&u, &v, 0.0), std::exp(-20.0));
  TMatrix M;
  M.Resize(2, 3);
  M.SetVal(1, 2, 3.0);
  M.SetVal(2, 2, 4.0);
  EXPECT_DOUBLE_EQ(CalcGaussKernelMat(&u, &M, 2, 5.0), std::exp(-1.0));
  EXPECT_EQ(CalcGaussKernelMat(&u, &M, 1, 5.0), 1.0);
  EXPECT_THROW(CalcGaussKernel(nullptr, &v, 1.0), EQMXMath2Error);
}
