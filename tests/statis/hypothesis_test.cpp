// Outlier, normality, runs, variance and two-sample tests against closed forms, exact
// enumeration of small samples and hand-computed cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "qmx/statis.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

const double kPi = 3.14159265358979323846;

std::unique_ptr<TVector> Vec(const std::vector<double>& v) {
  auto r = std::make_unique<TVector>();
  r->Resize(int32_t(v.size()));
  std::copy(v.begin(), v.end(), r->Data().begin());
  return r;
}

void ExpectRel(double got, double want, double tol) {
  EXPECT_NEAR(got, want, tol * std::fabs(want)) << "want " << want;
}

template <class F>
void ExpectMessage(F f, const std::string& msg) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << msg;
  } catch (const EQMXStatisError& e) {
    EXPECT_EQ(std::string(e.what()), msg);
  }
}

// Standard normal quantile by bisection on erfc (independent of the library).
double Probit(double p) {
  double lo = -40, hi = 40;
  for (int i = 0; i < 200; ++i) {
    const double mid = (lo + hi) / 2;
    (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

}  // namespace

TEST(Outliers, Grubbs) {
  double g;
  ExpectMessage([&] { GrubbsTest(Vec({1, 2, 3}).get(), 0.05, g); },
                "GrubbsTest: number of data points is too low");
  ExpectMessage([&] { GrubbsTest(Vec({1, 2, 3, 4}).get(), 1.0, g); },
                "GrubbsTest: invalid level of significance");
  EXPECT_EQ(GrubbsTest(Vec({1, 2, 3, 4, 100}).get(), 0.05, g), 5);
  // Mean 22, sample sd sqrt(7610/4): g = 78 / sd.
  ExpectRel(g, 78 / std::sqrt(7610.0 / 4), 1e-14);
  EXPECT_EQ(GrubbsTest(Vec({5, 5, 5, 5}).get(), 0.05, g), 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(GrubbsTest(Vec({1, 2, NAN, 4}).get(), 0.05, g), 0);
  // n = 3 has one degree of freedom: the t quantile is tan(pi (p - 1/2)).
  const double t = std::tan(kPi * (0.5 - 0.05 / 2 / 3));
  ExpectRel(GrubbsCriticalValues(3, 0.05, true), 2 / std::sqrt(3.0) * std::sqrt(t * t / (1 + t * t)),
            1e-12);
  EXPECT_EQ(GrubbsCriticalValues(2, 0.05, true), -1);
  EXPECT_EQ(GrubbsCriticalValues(10, 0, true), -1);
  EXPECT_EQ(GrubbsCriticalValues(10, NAN, true), -1);
}

TEST(Outliers, DeanDixon) {
  double r;
  EXPECT_EQ(DeanDixonTest(Vec({1, 1, 1}).get(), Dot050, r), 0);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(DeanDixonTest(Vec({10, 10.1, 10.2, 10.1, 30}).get(), Dot050, r), 5);
  ExpectRel(r, 19.8 / 20, 1e-13);
  // n = 8 uses (x_2 - x_1)/(x_(n-1) - x_1) at the low end; the suspect is found unsorted.
  EXPECT_EQ(DeanDixonTest(Vec({5, 5.1, 1, 5.2, 5.3, 5.4, 5.5, 5.6}).get(), Dot050, r), 3);
  ExpectRel(r, 4.0 / 4.5, 1e-13);
  EXPECT_DOUBLE_EQ(DeanDixonCriticalValues(3, Dot050), 0.941);
  EXPECT_DOUBLE_EQ(DeanDixonCriticalValues(100, Dot500), 0.111);
  EXPECT_DOUBLE_EQ(DeanDixonCriticalValues(50, Dot001), 0.460);
  EXPECT_EQ(DeanDixonCriticalValues(101, Dot050), -1);
  EXPECT_EQ(DeanDixonCriticalValues(2, Dot050), -1);
  ExpectMessage([&] { DeanDixonTest(Vec({1, 2}).get(), Dot050, r); },
                "DeanDixonTest: number of data points is too low");
  ExpectMessage([&] { DeanDixonTest(Vec(std::vector<double>(101, 1.0)).get(), Dot050, r); },
                "DeanDixonTest: number of data points is too high");
  EXPECT_EQ(NumericSigLevel[Dot050], 0.05);
}

TEST(KolmogorovSmirnov, PValueClosedFormsAtBothEnds) {
  // For d >= max(1/2, 1 - 1/n) only "all values beyond 1 - d on one side" reaches d:
  // P(D_n >= d) = 2 (1 - d)^n.
  ExpectRel(KSPValue(1, 0.975), 0.05, 1e-12);
  // (p = 1 - q: tiny p-values are good to an absolute 1e-15)
  for (int n : {2, 3, 5, 8}) EXPECT_NEAR(KSPValue(n, 0.9), 2 * std::pow(0.1, n), 1e-15);
  // Just above its minimum 1/(2n): P(D_n < 1/(2n) + v) = n! (2v)^n for v <= 1/(2n).
  for (int n : {2, 5, 10}) {
    const double v = 0.3 / (2 * n);
    EXPECT_NEAR(1 - KSPValue(n, 1.0 / (2 * n) + v), std::tgamma(n + 1.0) * std::pow(2 * v, n), 1e-15);
  }
  EXPECT_EQ(KSPValue(10, 0), 1);
  EXPECT_EQ(KSPValue(10, 1), 0);
  EXPECT_TRUE(std::isnan(KSPValue(0, 0.5)));
  // The tabulated critical values (3 decimals) lie at their level.
  for (int n = 5; n <= 20; ++n) {
    EXPECT_NEAR(KSPValue(n, KolmogSmir1SampleTestStat(n, Dot05)), 0.05, 3e-3) << n;
    EXPECT_NEAR(KSPValue(n, KSQuantile(n, Dot05)), 0.05, 1e-4) << n;
  }
  EXPECT_DOUBLE_EQ(KolmogSmir1SampleTestStat(25, Dot05), 1.358 / 5);
  // Where the exact method hands over (n d = 100) both sides agree.
  EXPECT_NEAR(KSPValue(3000, 99.999 / 3000), KSPValue(3000, 100.001 / 3000), 2e-5);
  // Large samples end quickly, stay in [0, 1] and meet the limiting law, whose 0.05 point is
  // 1.3581 / sqrt(n) (exact method at n = 1000, the shifted limiting law beyond).
  for (int n : {1000, 100000, 1000000}) {
    const double d = 1.35810 / std::sqrt(double(n));
    EXPECT_NEAR(KSPValue(n, d), 0.05, 3e-3 / std::sqrt(n / 1000.0)) << n;
    const double p = KSPValue(n, 0.3 / std::sqrt(double(n)));
    EXPECT_GE(p, 0.99);
    EXPECT_LE(p, 1.0);
  }
}

TEST(KolmogorovSmirnov, Statistics) {
  // Values at the normal quantiles (i - 1/2)/n: D is exactly 1/(2n).
  std::vector<double> q;
  for (int i = 1; i <= 20; ++i) q.push_back(Probit((i - 0.5) / 20));
  std::reverse(q.begin(), q.end());
  auto v = Vec(q);
  EXPECT_NEAR(PerformKSNormalityTest(v.get(), false), 1.0 / 40, 1e-12);
  EXPECT_LT(v->Elem(1), v->Elem(2));  // sorted in place
  // Lilliefors standardises in place: a shifted, scaled copy gives the same D.
  std::vector<double> s;
  for (double x : q) s.push_back(100 + 7 * x);
  auto w = Vec(s);
  auto w2 = Vec(q);
  EXPECT_NEAR(PerformLillieforsTest(w.get(), false), PerformLillieforsTest(w2.get(), false), 1e-12);
  double m, var;
  w->MeanVar(0, 0, m, var);
  EXPECT_NEAR(m, 0, 1e-12);
  EXPECT_TRUE(std::isnan(PerformLillieforsTest(Vec({3, 3, 3, 3}).get(), false)));
  EXPECT_TRUE(std::isnan(PerformKSNormalityTest(Vec({1, NAN, 2}).get(), false)));
  EXPECT_EQ(LillieforsPValue(5, 0.3), -1);
  // The quantile and p-value approximations are independent fits; they agree at their level.
  for (int n : {10, 20, 50, 100})
    EXPECT_NEAR(LillieforsPValue(n, LillieforsQuantile(n, 0.05)), 0.05, 0.01) << n;
}

namespace {

// Number of arrangements of n1 ones and n2 zeros with exactly r runs, by dynamic programming
// over the sequence (independent of the closed-form counts).
std::vector<uint64_t> RunsCounts(int n1, int n2) {
  // c[i][j][last][r]: sequences with i ones, j zeros, ending in last, with r runs.
  const int R = n1 + n2 + 1;
  std::vector<uint64_t> c((n1 + 1) * (n2 + 1) * 2 * (R + 1), 0);
  auto at = [&](int i, int j, int l, int r) -> uint64_t& {
    return c[((i * (n2 + 1) + j) * 2 + l) * (R + 1) + r];
  };
  if (n1 > 0) at(1, 0, 1, 1) = 1;
  if (n2 > 0) at(0, 1, 0, 1) = 1;
  for (int i = 0; i <= n1; ++i)
    for (int j = 0; j <= n2; ++j)
      for (int l = 0; l < 2; ++l)
        for (int r = 1; r < R; ++r) {
          const uint64_t v = at(i, j, l, r);
          if (!v) continue;
          if (i < n1) at(i + 1, j, 1, r + (l == 1 ? 0 : 1)) += v;
          if (j < n2) at(i, j + 1, 0, r + (l == 0 ? 0 : 1)) += v;
        }
  std::vector<uint64_t> out(R + 1, 0);
  for (int l = 0; l < 2; ++l)
    for (int r = 1; r <= R; ++r) out[r] += at(n1, n2, l, r);
  return out;
}

}  // namespace

TEST(Runs, ExactAgainstEnumeration) {
  // Up to 25 + 25, where 32-bit binomial coefficients would long have overflowed.
  for (auto [n1, n2] : std::vector<std::pair<int, int>>{{1, 1}, {2, 5}, {6, 7}, {10, 10}, {25, 25}, {20, 25}}) {
    const auto cnt = RunsCounts(n1, n2);
    const long double total = std::accumulate(cnt.begin(), cnt.end(), 0.0L);
    long double cum = 0;
    for (int r = 1; r < int(cnt.size()); ++r) {
      cum += cnt[r];
      ExpectRel(ExactRunsTest(n1, n2, r), double(cum / total), 1e-13);
    }
  }
  // Beyond 128-bit counts the logarithmic path continues smoothly: a symmetric split has its
  // median number of runs near n + 1.
  EXPECT_NEAR(ExactRunsTest(200, 200, 201), 0.5, 0.03);
  EXPECT_NEAR(ExactRunsTest(10000000, 10000000, 10000001), 0.5, 0.01);  // quickly, too
  EXPECT_EQ(ExactRunsTest(0, 7, 1), 1);  // one kind only: a single run, certainly
}

TEST(Runs, TestsBothDirectionsAndDegenerate) {
  auto bits = [](const std::string& s) {
    auto b = std::make_unique<TBitFld>();
    b->SetSize(int32_t(s.size()) - 1);
    for (std::size_t i = 0; i < s.size(); ++i) b->SetBit(int32_t(i), s[i] == '1');
    return b;
  };
  double p;
  // Too few runs: 2 runs of 10 + 10 have probability 2 / C(20, 10).
  EXPECT_TRUE(RunsTest(bits(std::string(10, '0') + std::string(10, '1')).get(), p));
  ExpectRel(p, 2.0 / 184756, 1e-13);
  // Too many runs (perfect alternation) is rejected in the exact range as beyond it.
  std::string alt;
  for (int i = 0; i < 20; ++i) alt += i % 2 ? '1' : '0';
  EXPECT_TRUE(RunsTest(bits(alt).get(), p));
  ExpectRel(p, 2.0 / 184756, 1e-13);
  std::string alt60;
  for (int i = 0; i < 60; ++i) alt60 += i % 2 ? '1' : '0';
  EXPECT_TRUE(RunsTest(bits(alt60).get(), p));
  EXPECT_LT(p, 1e-6);
  // 0011 repeated: 30 runs where 31 are expected.
  std::string mild;
  for (int i = 0; i < 15; ++i) mild += "0011";
  EXPECT_FALSE(RunsTest(bits(mild).get(), p));
  EXPECT_GT(p, 0.2);
  // One kind only: no evidence against randomness, in either branch.
  EXPECT_FALSE(RunsTest(bits(std::string(10, '1')).get(), p));
  EXPECT_EQ(p, 1);
  EXPECT_FALSE(RunsTest(bits(std::string(40, '1')).get(), p));
  EXPECT_EQ(p, 1);
  EXPECT_FALSE(RunsTestSerial(Vec({1, NAN, 3}).get(), p));
  EXPECT_EQ(p, -1);
  // Serial: values above the median (5.25) alternate with values below it, 10 runs of 5 + 5.
  EXPECT_TRUE(RunsTestSerial(Vec({1, 9, 2, 8, 3, 7, 4, 6, 5, 5.5}).get(), p));
  ExpectRel(p, 2.0 / 252, 1e-13);
}

TEST(Anova, ClosedFormAndStatuses) {
  auto groups = [](const std::vector<int32_t>& g) {
    auto r = std::make_unique<TIntVector>();
    r->Resize(int32_t(g.size()));
    std::copy(g.begin(), g.end(), r->Data().begin());
    return r;
  };
  double ssb, ssw, sst, f;
  int32_t dfb, dfw, dft;
  // Two groups {1, 3} and {4, 6}: F = 4.5 on (1, 2) degrees of freedom, the square of a t with
  // 2 degrees of freedom, whose tail is 1 - t / sqrt(2 + t^2). Shifted by 1e9 nothing changes.
  for (double off : {0.0, 1e9}) {
    const double p = Anova1F(Vec({off + 1, off + 4, off + 3, off + 6}).get(),
                             groups({7, 2, 7, 2}).get(), ssb, ssw, sst, dfb, dfw, dft, f);
    EXPECT_NEAR(ssb, 9, 1e-12);
    EXPECT_NEAR(ssw, 4, 1e-12);
    EXPECT_NEAR(sst, 13, 1e-12);
    EXPECT_EQ(dfb, 1);
    EXPECT_EQ(dfw, 2);
    EXPECT_EQ(dft, 3);
    ExpectRel(f, 4.5, 1e-12);
    ExpectRel(p, 1 - std::sqrt(4.5 / 6.5), 1e-12);
  }
  ssb = 42;
  EXPECT_EQ(Anova1F(Vec({1, 2, 3}).get(), groups({1, 1, 1}).get(), ssb, ssw, sst, dfb, dfw, dft, f), -1);
  EXPECT_EQ(ssb, 42);  // untouched
  EXPECT_EQ(Anova1F(Vec({1, 2, 3}).get(), groups({1, 2, 3}).get(), ssb, ssw, sst, dfb, dfw, dft, f), -2);
  EXPECT_EQ(Anova1F(Vec({2, 2, 5, 5}).get(), groups({1, 1, 2, 2}).get(), ssb, ssw, sst, dfb, dfw, dft, f), 0);
  EXPECT_EQ(f, uc_MaxReal);
  EXPECT_EQ(Anova1F(Vec({2, 2, 2, 2}).get(), groups({1, 1, 2, 2}).get(), ssb, ssw, sst, dfb, dfw, dft, f), -3);
  EXPECT_EQ(Anova1F(Vec({1, 2, 3}).get(), groups({1, 2}).get(), ssb, ssw, sst, dfb, dfw, dft, f), -4);
  EXPECT_EQ(Anova1F(Vec({1, 2, NAN, 4}).get(), groups({1, 2, 1, 2}).get(), ssb, ssw, sst, dfb, dfw, dft, f), -4);
  // Many groups go through the hash lookup: 100 groups of 3 with group means 0..99.
  std::vector<double> x;
  std::vector<int32_t> g;
  for (int k = 0; k < 100; ++k)
    for (int j = -1; j <= 1; ++j) {
      x.push_back(k + j);
      g.push_back(k % 2 ? 5000 + 7 * k : (k % 4 ? -k : k));  // direct table and hash map
    }
  Anova1F(Vec(x).get(), groups(g).get(), ssb, ssw, sst, dfb, dfw, dft, f);
  EXPECT_NEAR(ssw, 200, 1e-9);
  EXPECT_NEAR(ssb, 3 * 99 * 100 * 101 / 12.0, 1e-6);
  EXPECT_EQ(dfb, 99);
}

TEST(TwoSample, TTestClosedForms) {
  double t, df, m1, m2, s1, s2, se;
  int32_t st;
  // Paired, three pairs: differences 1, 2, 6 (mean 3, sd sqrt 7), two degrees of freedom.
  auto a = Vec({11, 12, 16}), b = Vec({10, 10, 10});
  double p = Perform2SampleTTest(a.get(), b.get(), ttPaired, false, t, df, m1, m2, s1, s2, se, st);
  EXPECT_EQ(st, 0);
  const double tp = 3 / std::sqrt(7.0 / 3);
  ExpectRel(t, tp, 1e-14);
  EXPECT_EQ(df, 2);
  ExpectRel(p, 1 - tp / std::sqrt(2 + tp * tp), 1e-12);
  ExpectRel(se, std::sqrt(7.0 / 3), 1e-14);
  ExpectRel(Perform2SampleTTest(a.get(), b.get(), ttPaired, true), p / 2, 1e-12);
  // Equal variances, 2 + 1 values: one degree of freedom (Cauchy tail).
  auto c = Vec({1, 3}), d = Vec({6});
  p = Perform2SampleTTest(c.get(), d.get(), ttHomoScedastic, false, t, df, m1, m2, s1, s2, se, st);
  const double tc = (2 - 6) / std::sqrt(2 * (0.5 + 1));
  ExpectRel(t, tc, 1e-14);
  EXPECT_EQ(df, 1);
  ExpectRel(p, 1 - 2 / kPi * std::atan(std::fabs(tc)), 1e-12);
  ExpectRel(Perform2SampleTTest(c.get(), d.get(), ttHomoScedastic, true), 1 - p / 2, 1e-12);
  // Welch: variances 1 and 16 in samples of 3 and 5; Satterthwaite degrees of freedom.
  auto e = Vec({1, 2, 3}), f = Vec({0, 4, 8, 12, 16});
  p = Perform2SampleTTest(e.get(), f.get(), ttHeteroScedastic, false, t, df, m1, m2, s1, s2, se, st);
  const double va = 1.0 / 3, vb = 40.0 / 5;
  ExpectRel(se, std::sqrt(va + vb), 1e-14);
  ExpectRel(t, (2 - 8) / std::sqrt(va + vb), 1e-14);
  ExpectRel(df, (va + vb) * (va + vb) / (va * va / 2 + vb * vb / 4), 1e-14);
  ExpectRel(s2, std::sqrt(40.0), 1e-14);
  EXPECT_GT(p, 0.05);
  EXPECT_LT(p, 0.2);
  // Statuses.
  EXPECT_EQ(Perform2SampleTTest(Vec({1, 2}).get(), Vec({1, 2, 3}).get(), ttPaired, false), -2);
  EXPECT_EQ(Perform2SampleTTest(Vec({1, 1, 1}).get(), Vec({2, 2}).get(), ttHomoScedastic, false), -3);
  EXPECT_EQ(Perform2SampleTTest(Vec({1}).get(), Vec({2, 3}).get(), ttHeteroScedastic, false), -1);
  EXPECT_EQ(Perform2SampleTTest(Vec({1, INFINITY}).get(), Vec({2, 3}).get(), ttHeteroScedastic, false), -4);
}

TEST(TwoSample, MannWhitneyAgainstPermutations) {
  // Every split of the pooled values into samples of 4 and 5.
  const std::vector<double> x = {1.2, 3.4, 5.0, 7.7}, y = {2.1, 2.5, 4.4, 6.0, 9.9};
  auto u_of = [](const std::vector<double>& a, const std::vector<double>& b) {
    double u = 0;
    for (double p : a)
      for (double q : b) u += p > q ? 1 : (p == q ? 0.5 : 0);
    return u;
  };
  std::vector<double> all = x;
  all.insert(all.end(), y.begin(), y.end());
  const double u0 = u_of(x, y);
  int ge = 0, le = 0, total = 0;
  for (int mask = 0; mask < 512; ++mask) {
    if (__builtin_popcount(mask) != 4) continue;
    std::vector<double> a, b;
    for (int i = 0; i < 9; ++i) (mask >> i & 1 ? a : b).push_back(all[i]);
    const double u = u_of(a, b);
    ge += u >= u0;
    le += u <= u0;
    ++total;
  }
  double U;
  const double p2 = PerformMannWhitneyUTest(Vec(x).get(), Vec(y).get(), false, U);
  EXPECT_EQ(U, u0);
  ExpectRel(p2, std::min(1.0, 2.0 * std::min(ge, le) / total), 1e-14);
  ExpectRel(PerformMannWhitneyUTest(Vec(x).get(), Vec(y).get(), true, U), double(ge) / total, 1e-14);
  // Ties: normal approximation with tie and continuity correction, by hand. Pooled
  // {1, 2, 2, 3 | 2, 3, 4, 5}: ranks 1, 3, 3, 5.5 | 3, 5.5, 7, 8; U = 12.5 - 10 = 2.5.
  const double p = PerformMannWhitneyUTest(Vec({1, 2, 2, 3}).get(), Vec({2, 3, 4, 5}).get(), false, U);
  EXPECT_EQ(U, 2.5);
  const double var = 16.0 / 12 * (9 - (24.0 + 6.0) / 56);
  const double z = (2.5 - 8 + 0.5) / std::sqrt(var);
  ExpectRel(p, std::erfc(-z / std::sqrt(2.0)), 1e-12);
  EXPECT_EQ(PerformMannWhitneyUTest(Vec({3, 3}).get(), Vec({3, 3, 3}).get(), false, U), 1);
  EXPECT_EQ(PerformMannWhitneyUTest(Vec({NAN}).get(), Vec({3}).get(), false, U), -4);
}

TEST(ShapiroWilk, ExactForThreeAndInvariant) {
  double W, p;
  // n = 3: a = (-sqrt(1/2), 0, sqrt(1/2)), so W = (x3 - x1)^2 / (2 SS); asin sqrt W is uniform
  // on [pi/3, pi/2].
  ASSERT_EQ(ShapiroWilkTest(Vec({4, 1, 2}).get(), 0, W, p), 0);
  const double Wx = 9 / (2 * 42.0 / 9);
  ExpectRel(W, Wx, 1e-14);
  ExpectRel(p, 6 / kPi * (std::asin(std::sqrt(Wx)) - kPi / 3), 1e-12);
  // The classic sample of eleven weights is far from normal (W about 0.79).
  auto wts = Vec({148, 154, 158, 160, 161, 162, 166, 170, 182, 195, 236});
  ASSERT_EQ(ShapiroWilkTest(wts.get(), 1, W, p), 0);
  EXPECT_NEAR(W, 0.79, 0.01);
  EXPECT_LT(p, 0.01);
  // W does not change under a shift and positive scaling, nor with the order of the data.
  std::vector<double> z;
  for (int i = 0; i < 5000; ++i) z.push_back(Probit((i + 0.5) / 5000) * (1 + 0.3 * (i % 3)));
  double W1, p1, W2, p2;
  ASSERT_EQ(ShapiroWilkTest(Vec(z).get(), 0, W1, p1), 0);
  std::vector<double> zz;
  for (double v : z) zz.push_back(1e6 + 3 * v);
  std::reverse(zz.begin(), zz.end());
  ASSERT_EQ(ShapiroWilkTest(Vec(zz).get(), 0, W2, p2), 0);
  EXPECT_NEAR(W1, W2, 1e-12);
  EXPECT_NEAR(p1, p2, 1e-8 * p1 + 1e-300);
  EXPECT_GT(W1, 0.95);
  // Statuses.
  EXPECT_EQ(ShapiroWilkTest(Vec({1, 2}).get(), 0, W, p), 1);
  EXPECT_TRUE(std::isnan(W));
  EXPECT_EQ(ShapiroWilkTest(Vec(std::vector<double>(5001, 1.0)).get(), 0, W, p), 2);
  EXPECT_EQ(ShapiroWilkTest(Vec({1, NAN, 2}).get(), 0, W, p), 3);
  EXPECT_EQ(ShapiroWilkTest(Vec({2, 2, 2, 2}).get(), 0, W, p), 6);
  EXPECT_EQ(ShapiroWilkTest(Vec({1, 3, 2}).get(), 1, W, p), 7);
}

TEST(Wilcoxon, TableFromExactDistribution) {
  const int32_t rows[5][5] = {
      {5, 3, 1, 0, 0}, {8, 5, 3, 1, 0}, {10, 8, 5, 3, 0}, {13, 10, 7, 5, 0}};
  for (int n = 8; n <= 11; ++n)
    for (int l = 0; l < 5; ++l) EXPECT_EQ(WilcoxonSRTable(n, l), rows[n - 8][l]) << n << " " << l;
  const int32_t r100[5] = {2045, 1955, 1850, 1779, 1578};
  for (int l = 0; l < 5; ++l) EXPECT_EQ(WilcoxonSRTable(100, l), r100[l]);
  // Brute force over all 2^n sign patterns for n = 12..16.
  const double half[5] = {0.05, 0.025, 0.01, 0.005, 0.0005};
  for (int n = 12; n <= 16; ++n) {
    std::vector<double> cnt(n * (n + 1) / 2 + 1, 0);
    for (uint32_t m = 0; m < (1u << n); ++m) {
      int w = 0;
      for (int i = 0; i < n; ++i)
        if (m >> i & 1) w += i + 1;
      cnt[w] += 1;
    }
    for (int l = 0; l < 5; ++l) {
      double cum = 0;
      int T = 0;
      for (int w = 0; w < int(cnt.size()); ++w) {
        cum += cnt[w] / double(1u << n);
        if (cum > half[l]) break;
        T = w;
      }
      EXPECT_EQ(WilcoxonSRTable(n, l), T) << n << " " << l;
    }
  }
  EXPECT_EQ(WilcoxonSRTable(7, 0), -1);
  EXPECT_EQ(WilcoxonSRTable(101, 0), -1);
}

TEST(ShapiroWilk, PublishedIrisValue) {
  // Sepal width of the bundled iris data: the widely published W = 0.98492, p = 0.1012.
  std::ifstream in(std::string(QMX_DATA_DIR) + "/iris.csv");
  ASSERT_TRUE(in);
  std::string line;
  std::getline(in, line);
  std::vector<double> w;
  while (std::getline(in, line)) {
    const auto a = line.find(','), b = line.find(',', a + 1);
    w.push_back(std::stod(line.substr(a + 1, b - a - 1)));
  }
  ASSERT_EQ(w.size(), 150u);
  double W, p;
  ASSERT_EQ(ShapiroWilkTest(Vec(w).get(), 0, W, p), 0);
  EXPECT_NEAR(W, 0.98492, 5e-6);
  EXPECT_NEAR(p, 0.1012, 5e-5);
}
