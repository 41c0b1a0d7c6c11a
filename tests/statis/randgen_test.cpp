// TRandGen: table handling, and the sampler against the table's piecewise-linear density.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "qmx/runtime.h"
#include "qmx/statis.h"

using namespace qmx;

TEST(RandGen, TableAndBins) {
  TRandGen g;
  EXPECT_EQ(g.Resolution(), 500);
  g.SetResolution(5);
  EXPECT_EQ(g.Resolution(), 10);
  g.SetProbability(3, 0.2);
  g.SetResolution(5000);
  EXPECT_EQ(g.Resolution(), 4000);
  EXPECT_EQ(g.GetProbability(3), 1.0);  // reset
  g.SetResolution(500);
  g.SetProbability(3, 1.7);
  EXPECT_EQ(g.GetProbability(3), 1.0);
  g.SetProbability(3, NAN);
  EXPECT_EQ(g.GetProbability(3), 0.0);
  g.SetProbability(0, 0.5);
  EXPECT_EQ(g.GetProbability(0), 0);
  EXPECT_EQ(g.GetProbability(501), 0);
  g.SetLowBorder(0);
  g.SetHighBorder(10);
  EXPECT_EQ(g.GetLambda(1), 0);
  EXPECT_EQ(g.GetLambda(501), 10);
  EXPECT_DOUBLE_EQ(g.GetLambda(251), 5);
  EXPECT_EQ(g.IndexOfLambda(10), 501);
  EXPECT_EQ(g.IndexOfLambda(9.99), 500);
  EXPECT_EQ(g.IndexOfLambda(0), 1);
  EXPECT_EQ(g.IndexOfLambda(-1), 0);
  EXPECT_EQ(g.IndexOfLambda(NAN), 0);
  for (int i = 1; i <= 500; ++i) g.SetProbability(i, 0);
  EXPECT_FALSE(g.Standardize());
  EXPECT_FALSE(g.Normalize());
  // A table of zeros rejects every candidate and still returns (the last one, in range).
  const double r = g.GetRandNum();
  EXPECT_GE(r, 0);
  EXPECT_LT(r, 10);
  g.SetProbability(1, 0.25);
  g.SetProbability(2, 0.75);
  EXPECT_TRUE(g.Normalize());
  EXPECT_EQ(g.GetProbability(1), 1.0 / 3);
  EXPECT_EQ(g.GetProbability(2), 1);
  EXPECT_EQ(g.GetProbability(3), 0);
}

TEST(RandGen, FillersStayFinite) {
  TRandGen g;
  g.SetLowBorder(0);
  g.SetHighBorder(5);
  g.Chi2Distri(1);  // pole at 0
  for (int i = 1; i <= g.Resolution(); ++i) ASSERT_TRUE(std::isfinite(g.GetProbability(i)));
  EXPECT_TRUE(g.Standardize());
  EXPECT_EQ(g.GetProbability(1), 1);
  g.NormalDistri(2.5, 0);  // no spread
  for (int i = 1; i <= g.Resolution(); ++i) ASSERT_TRUE(std::isfinite(g.GetProbability(i)));
  g.FDistri(3, 7);
  EXPECT_EQ(g.GetProbability(1), 0);
  EXPECT_NEAR(g.GetProbability(101), FDistriDensity(1.0, 3, 7), 1e-15);
}

namespace {

// Chi-square goodness of fit of n draws against the bin masses of the piecewise-linear density.
double GoodnessOfFit(TRandGen& g, int n, int& bins) {
  const int res = g.Resolution();
  std::vector<double> mass(res), count(res, 0);
  double total = 0;
  for (int a = 0; a < res; ++a) {
    const double pa = g.GetProbability(a + 1), pb = a + 1 < res ? g.GetProbability(a + 2) : 0;
    mass[a] = (pa + pb) / 2;
    total += mass[a];
  }
  const double w = (g.HighBorder() - g.LowBorder()) / res;
  for (int i = 0; i < n; ++i) {
    const double x = g.GetRandNum();
    const int a = int(std::floor((x - g.LowBorder()) / w));
    EXPECT_GE(a, 0);
    EXPECT_LT(a, res);
    if (a >= 0 && a < res) count[a] += 1;
  }
  double chi2 = 0;
  bins = 0;
  for (int a = 0; a < res; ++a) {
    const double e = n * mass[a] / total;
    if (e <= 0) continue;
    chi2 += (count[a] - e) * (count[a] - e) / e;
    ++bins;
  }
  return chi2;
}

}  // namespace

TEST(RandGen, SamplerFollowsTheTable) {
  RandSeed(12345);
  TRandGen g;
  g.SetResolution(40);
  g.SetLowBorder(-2);
  g.SetHighBorder(8);
  g.NormalDistri(3, 1.5);
  ASSERT_TRUE(g.Standardize());
  int bins;
  double chi2 = GoodnessOfFit(g, 100000, bins);
  EXPECT_LT(chi2, chi2DistriQuantile(0.999, bins - 1)) << bins;
  // The uniform table: every candidate accepted, values in [low, high).
  g.UniformDistri();
  chi2 = GoodnessOfFit(g, 100000, bins);
  EXPECT_LT(chi2, chi2DistriQuantile(0.999, bins - 1));
  // A sloped table with a zero stretch: no draw lands where the density is 0.
  g.SetResolution(20);
  for (int i = 1; i <= 20; ++i) g.SetProbability(i, i <= 5 ? 0 : (i - 5) / 15.0);
  chi2 = GoodnessOfFit(g, 100000, bins);
  EXPECT_LT(chi2, chi2DistriQuantile(0.999, bins - 1));
}
