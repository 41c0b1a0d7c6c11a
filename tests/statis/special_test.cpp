// The classic special functions (documented tolerances about 1e-8), the normal distribution,
// the small distributions, PercentileOfArray and EstimateProbDensity.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qmx/statis.h"
#include "qmx/vector.h"

using namespace qmx;

TEST(SpecialFunctions, LnGammaAndBinomials) {
  EXPECT_NEAR(LnGamma(1), 0, 1e-9);
  EXPECT_NEAR(LnGamma(2), 0, 1e-9);
  EXPECT_NEAR(LnGamma(10), std::log(362880.0), 1e-9);
  EXPECT_NEAR(LnGamma(0.5), 0.5 * std::log(3.14159265358979323846), 1e-9);
  EXPECT_EQ(LnGamma(0), 0);
  EXPECT_EQ(LnGamma(-3), 0);
  EXPECT_EQ(BinomCoeff(5, 2), 10);
  EXPECT_EQ(BinomCoeff(30, 15), 155117520);
  EXPECT_EQ(BinomCoeff(2, 5), 0);
  EXPECT_EQ(BinomCoeff(-1, 0), 0);
  EXPECT_EQ(LnBinomCoeff(2, 5), -1);
  EXPECT_NEAR(LnBinomCoeff(10, 3), std::log(120.0), 1e-9);
  EXPECT_NEAR(LnBeta(2, 3), std::log(1.0 / 12), 1e-9);
  EXPECT_EQ(LnBeta(-1, 3), 0);
}

TEST(SpecialFunctions, IncompleteGammaBothBranchesAndErf) {
  EXPECT_EQ(IncompleteGamma(0, 2), 0);
  EXPECT_EQ(IncompleteGamma(1, 0), 0);
  // P(1, x) = 1 - e^-x on both sides of the switch at x = a + 1 = 2.
  for (double x : {0.3, 1.99, 2.0, 2.01, 8.0})
    EXPECT_NEAR(IncompleteGamma(x, 1), 1 - std::exp(-x), 1e-8) << x;
  // P(2, x) = 1 - (1 + x) e^-x
  for (double x : {0.5, 2.9, 3.1, 12.0})
    EXPECT_NEAR(IncompleteGamma(x, 2), 1 - (1 + x) * std::exp(-x), 1e-8) << x;
  EXPECT_NEAR(IncompleteGamma(200, 3), 1, 1e-12);
  EXPECT_EQ(Erf(0), 0);
  EXPECT_NEAR(Erf(1), 0.8427007929497149, 1e-8);
  EXPECT_NEAR(Erf(-0.7), -Erf(0.7), 1e-15);
  EXPECT_NEAR(ErfApprox(1), 0.8427007929497149, 2e-7);
  EXPECT_NEAR(ErfApprox(-2), -0.9953222650189527, 2e-7);
}

TEST(SpecialFunctions, IncompleteBetaClosedForms) {
  for (double x : {0.1, 0.4, 0.6, 0.95}) {
    EXPECT_NEAR(IncompleteBeta(x, 1, 1), x, 1e-8);
    EXPECT_NEAR(IncompleteBeta(x, 3, 1), x * x * x, 1e-8);
    // I_x(2, 2) = 3x^2 - 2x^3
    EXPECT_NEAR(IncompleteBeta(x, 2, 2), 3 * x * x - 2 * x * x * x, 1e-8);
  }
  EXPECT_EQ(IncompleteBeta(-0.1, 2, 2), 0);
  EXPECT_EQ(IncompleteBeta(1.1, 2, 2), 1);
  EXPECT_EQ(IncompleteBeta(0.5, 0, 2), 0);  // shapes must be positive
}

TEST(Normal, IntegralQuantileAndBound) {
  EXPECT_EQ(nDistriIntegral(0), 0.5);
  EXPECT_NEAR(nDistriIntegral(1.959963984540054), 0.975, 1e-8);
  EXPECT_NEAR(nDistriIntegral(-1), 0.15865525393145707, 1e-8);
  EXPECT_NEAR(nDistriDensity(1), 0.24197072451914337, 1e-15);
  EXPECT_NEAR(nDistriQuantile(0.975), 1.959964, 1e-6);
  EXPECT_NEAR(nDistriQuantile(0.025), -1.959964, 1e-6);
  EXPECT_NEAR(nDistriQuantile(0.5), 0, 1e-6);
  EXPECT_EQ(nDistriQuantile(0), 0);
  EXPECT_EQ(nDistriQuantile(1), 0);
  // Below 1e-16 the distribution function cannot meet the tolerance; the bounded bisection
  // still returns a midpoint of its bracket around the start value.
  const double z = nDistriQuantile(1e-20);
  EXPECT_LT(z, -8.3);
  EXPECT_GT(z, -10.2);
  EXPECT_NEAR(ConfidenceInterval(0.05, 2, 16), 1.959964 * 0.5, 1e-6);
}

TEST(SmallDistributions, WeibullHypergeometricFisher) {
  // Weibull with shape 1 is exponential with mean eta.
  EXPECT_NEAR(WeibullDensity(3, 1, 2), 0.5 * std::exp(-1.5), 1e-15);
  EXPECT_NEAR(WeibullDensity(1, 2, 1), 2 * std::exp(-1.0), 1e-15);
  EXPECT_EQ(WeibullDensity(0, 2, 1), 0);
  EXPECT_EQ(WeibullDensity(1, 2, 0), 0);
  // 5 successes in 10, draw 3: P(k = 1) = C(5,1) C(5,2) / C(10,3) = 50/120
  EXPECT_NEAR(HyperGeoDistriDensity(0.5, 10, 3, 1), 50.0 / 120, 1e-8);
  EXPECT_EQ(HyperGeoDistriDensity(0.5, 10, 3, 4), 0);
  auto msg = [](auto f) {
    try {
      f();
    } catch (const EQMXStatisError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(msg([] { HyperGeoDistriDensity(0.5, 10, 11, 1); }),
            "HyperGeoDistriDensity: nsample must not be greater than npop");
  EXPECT_EQ(msg([] { HyperGeoDistriDensity(1.2, 0, 11, 1); }),
            "HyperGeoDistriDensity: probability p must be between 0.0 and 1.0");
  EXPECT_EQ(msg([] { HyperGeoDistriDensity(0.5, 0, 1, 1); }),
            "HyperGeoDistriDensity: npop must be greater than 0");
  EXPECT_EQ(msg([] { HyperGeoDistriDensity(0.5, 5, 0, 1); }),
            "HyperGeoDistriDensity: nsample must not be less than 1");
  EXPECT_NEAR(FisherTransform(0.5), 0.5493061443340549, 1e-15);
  EXPECT_EQ(msg([] { FisherTransform(1); }), "FisherTransform: argument out of range");
  EXPECT_NEAR(FisherTransformInv(FisherTransform(-0.3)), -0.3, 1e-15);
  EXPECT_EQ(FisherTransformInv(400), 1);  // e^(2z) overflows; the ratio is 1
  EXPECT_EQ(FisherTransformInv(-400), -1);
}

TEST(Percentile, StatusCodesAndRankPlacement) {
  TDoubleArray d = {9, 3, 7, 1, 5, 8, 2, 6, 4, 0};  // 0..9 scrambled
  double v = -1;
  EXPECT_EQ(PercentileOfArray(d, 150, 5, 2, v), -2);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(PercentileOfArray(d, 50, 5, 2, v), -3);
  EXPECT_EQ(PercentileOfArray(d, 50, -1, 2, v), -1);
  EXPECT_EQ(PercentileOfArray(d, 50, 0, 10, v), -1);
  TDoubleArray empty;
  EXPECT_EQ(PercentileOfArray(empty, 50, 0, 0, v), -1);
  // Whole array: rank round(p/100 * 10) counted from 0.
  EXPECT_EQ(PercentileOfArray(d, 50, 0, 9, v), 0);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(PercentileOfArray(d, 0, 0, 9, v), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(PercentileOfArray(d, 100, 0, 9, v), 0);  // index 10 is placed on the maximum
  EXPECT_EQ(v, 9);
  // Sub-range 5..9: the rank counts from lo.
  TDoubleArray e = {100, 100, 100, 100, 100, 14, 10, 13, 11, 12};
  EXPECT_EQ(PercentileOfArray(e, 0, 5, 9, v), 0);
  EXPECT_EQ(v, 10);
  EXPECT_EQ(PercentileOfArray(e, 40, 5, 9, v), 0);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(PercentileOfArray(e, 100, 5, 9, v), 0);
  EXPECT_EQ(v, 14);
  EXPECT_EQ(e[0], 100);  // outside the range untouched
  // NaNs rank above every number.
  TDoubleArray n = {3, std::nan(""), 1, 2};
  EXPECT_EQ(PercentileOfArray(n, 50, 0, 3, v), 0);
  EXPECT_EQ(v, 3);
}

TEST(KernelDensity, ShapeOutputsAndProgress) {
  TVector data, dens;
  const double pts[] = {2, -1, 0.5, 0, 1, -0.5, -2, 0.25, -0.25};
  data.SetVecSize(9);
  for (int i = 0; i < 9; ++i) data.SetVal(i + 1, pts[i]);
  std::vector<double> pct;
  int32_t mn = -7, mx = -7;
  EstimateProbDensity(&data, &dens, -10, 10, 1.0, 0.8, 400, mn, mx,
                      [&](TObject* s, double c, double p) {
                        EXPECT_EQ(s, nullptr);
                        EXPECT_EQ(c, double(pct.size() + 1));
                        pct.push_back(p);
                      });
  for (int i = 2; i <= 9; ++i) EXPECT_LE(data.Elem(i - 1), data.Elem(i));  // sorted in place
  ASSERT_EQ(dens.NrOfElem(), 401);
  // A density: non-negative, integrates to 1 over a range holding all the mass.
  double integ = 0;
  for (int k = 1; k <= 401; ++k) {
    EXPECT_GE(dens.Elem(k), 0);
    integ += dens.Elem(k) * (k == 1 || k == 401 ? 0.5 : 1.0) * 0.05;
  }
  EXPECT_NEAR(integ, 1.0, 1e-6);
  // Symmetric data: symmetric density, peak at the centre, minimum at the first end.
  EXPECT_NEAR(dens.Elem(150), dens.Elem(252), 1e-12);
  EXPECT_EQ(mx, 201);
  EXPECT_TRUE(mn == 1 || mn == 401);
  for (int k = 1; k <= 401; ++k) EXPECT_GE(dens.Elem(k), dens.Elem(mn));
  ASSERT_EQ(pct.size(), 9u + 401u);
  EXPECT_DOUBLE_EQ(pct.back(), 100.0);
  // numsteps is clamped to at least 10; a non-positive window still gives positive widths.
  EstimateProbDensity(&data, &dens, -1, 1, 0, -1, 3, mn, mx);
  ASSERT_EQ(dens.NrOfElem(), 11);
  for (int k = 1; k <= 11; ++k) EXPECT_GT(dens.Elem(k), 0);
}

TEST(KernelDensity, HandComputedBandwidths) {
  // Sorted data 0, 1, 3 with window 2.5. Neighbour gaps within the window, counted as the scans
  // walk down from i + 1 and up from i - 1:
  //   x = 0: gaps 1 (down), 1 and 2 (up)        -> h = 4/3
  //   x = 1: gaps 2 and 1 (down), 1 and 2 (up)  -> h = 6/4
  //   x = 3: gaps 2 and 1 (down), 2 (up)        -> h = 5/3
  // With factor 2 the kernel widths are 8/3, 3 and 10/3.
  TVector data, dens;
  data.SetVecSize(3);
  data.SetVal(1, 3);
  data.SetVal(2, 0);
  data.SetVal(3, 1);
  int32_t mn = -7, mx = -7;
  EstimateProbDensity(&data, &dens, -2, 8, 2.0, 2.5, 10, mn, mx);
  ASSERT_EQ(dens.NrOfElem(), 11);
  const double xs[3] = {0, 1, 3}, ls[3] = {8.0 / 3, 3.0, 10.0 / 3};
  const double c = 0.3989422804014327;  // 1 / sqrt(2 pi)
  double best = 0;
  int32_t bestk = 0;
  for (int k = 0; k <= 10; ++k) {
    const double x = -2.0 + k;
    double expect = 0;
    for (int i = 0; i < 3; ++i) {
      const double t = (x - xs[i]) / ls[i];
      expect += c / ls[i] * std::exp(-0.5 * t * t);
    }
    expect /= 3;
    EXPECT_NEAR(dens.Elem(k + 1), expect, 1e-15) << k;
    if (expect > best) {
      best = expect;
      bestk = k + 1;
    }
  }
  EXPECT_EQ(mx, bestk);
  EXPECT_EQ(mn, 11);  // the right end, farthest from the data
}

TEST(KernelDensity, DensityIntoTheDataVectorItself) {
  // Same data and widths as above; the estimate replaces the data in their own vector.
  TVector v;
  v.SetVecSize(3);
  v.SetVal(1, 1);
  v.SetVal(2, 3);
  v.SetVal(3, 0);
  int32_t mn = 0, mx = 0;
  EstimateProbDensity(&v, &v, -2, 8, 2.0, 2.5, 10, mn, mx);
  ASSERT_EQ(v.NrOfElem(), 11);
  const double xs[3] = {0, 1, 3}, ls[3] = {8.0 / 3, 3.0, 10.0 / 3};
  for (int k = 0; k <= 10; ++k) {
    double expect = 0;
    for (int i = 0; i < 3; ++i) {
      const double t = (-2.0 + k - xs[i]) / ls[i];
      expect += 0.3989422804014327 / ls[i] * std::exp(-0.5 * t * t);
    }
    EXPECT_NEAR(v.Elem(k + 1), expect / 3, 1e-15) << k;
  }
}

TEST(SmallDistributions, HypergeometricRefusesNaNAndHugePopulations) {
  try {
    HyperGeoDistriDensity(std::nan(""), 10, 3, 1);
    ADD_FAILURE() << "no error";
  } catch (const EQMXStatisError& e) {
    EXPECT_STREQ(e.what(), "HyperGeoDistriDensity: probability p must be between 0.0 and 1.0");
  }
  // Every member a success, the sample nearly the whole population: exactly nsample successes.
  const int32_t N = 2147483647;
  EXPECT_EQ(HyperGeoDistriDensity(1.0, N, N - 5, N - 6), 0);
  EXPECT_NEAR(HyperGeoDistriDensity(1.0, N, N - 5, N - 5), 1.0, 1e-6);
}

TEST(Normal, ConfidenceIntervalWithoutObservations) {
  EXPECT_EQ(ConfidenceInterval(0.05, 2, 0), 0);
  EXPECT_EQ(ConfidenceInterval(0.05, 2, -4), 0);
  // 1 - alpha/2 = 0.995: z = 2.5758293035489
  EXPECT_NEAR(ConfidenceInterval(0.01, 3, 9), 2.5758293035489, 1e-6);
}
