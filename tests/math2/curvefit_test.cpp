// TCurveFit: pairs and running sums, descriptive and rank statistics, variance table, ASC file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qmx/asc.h"
#include "qmx/math2.h"

using namespace qmx;

namespace {

const long double kM = uc_MaxReal;

void Fill(TCurveFit& cf, const std::vector<double>& x, const std::vector<double>& y) {
  for (std::size_t i = 0; i < x.size(); ++i) cf.EnterStatValue(x[i], y[i]);
}

std::string Temp(const std::string& leaf) { return testing::TempDir() + leaf; }

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

// ---- pairs and sums ---------------------------------------------------------------------------

TEST(CurveFitData, SumsOfThreePairsMatchHandValues) {
  TCurveFit cf;
  EXPECT_EQ(cf.EnterStatValue(1, 2), 1);
  EXPECT_EQ(cf.EnterStatValue(2, 4), 2);
  EXPECT_EQ(cf.EnterStatValue(4, 8), 3);
  const auto& s = cf.Sums();
  EXPECT_EQ(s.sumx, 7);
  EXPECT_EQ(s.sumy, 14);
  EXPECT_EQ(s.sumxq, 21);
  EXPECT_EQ(s.sumxy, 42);
  EXPECT_EQ(s.sumx2y, 2 + 16 + 128);
  EXPECT_EQ(s.sumxy2, 4 + 32 + 256);
  EXPECT_EQ(s.sumx4, 1 + 16 + 256);
  EXPECT_EQ(s.sumDiff, -7);
  EXPECT_EQ(s.SumDiffq, 21);
  EXPECT_NEAR(double(s.sum1byx), 1.75, 1e-15);
  EXPECT_NEAR(double(s.sum1byxq), 1 + 0.25 + 0.0625, 1e-15);
  EXPECT_NEAR(double(s.sum1byxy), 0.5 + 0.125 + 1.0 / 32, 1e-15);
  EXPECT_NEAR(double(s.sumybyx), 6, 1e-15);
  EXPECT_NEAR(double(s.sumlnx), std::log(8.0), 1e-15);
  EXPECT_NEAR(double(s.sumlny), std::log(64.0), 1e-14);
  EXPECT_NEAR(double(s.sumlnxlny),
              std::log(2.0) * std::log(4.0) + std::log(4.0) * std::log(8.0), 1e-14);
  EXPECT_NEAR(double(s.sumxqlny), 1 * std::log(2.0) + 4 * std::log(4.0) + 16 * std::log(8.0),
              1e-13);
  EXPECT_NEAR(double(s.sumlnxbyy), std::log(2.0) / 4 + std::log(4.0) / 8, 1e-15);
  EXPECT_TRUE(cf.ErrIndic().Empty());
  EXPECT_EQ(cf.MinX(), 1);
  EXPECT_EQ(cf.MaxY(), 8);
  EXPECT_EQ(cf.DataY(2), 4);
  EXPECT_EQ(cf.DataX(0), 0);
  EXPECT_EQ(cf.DataX(4), 0);
}

TEST(CurveFitData, ZeroAndNegativeValuesFlagTheirSumsInsteadOfDividing) {
  TCurveFit cf;
  cf.EnterStatValue(0, 2);
  auto e = cf.ErrIndic();
  EXPECT_TRUE(e.Contains(cfeXEQ0));
  EXPECT_TRUE(e.Contains(cfeXLE0));
  EXPECT_FALSE(e.Contains(cfeYEQ0));
  EXPECT_FALSE(e.Contains(cfeYLE0));
  EXPECT_EQ(cf.Sums().sum1byx, kM);
  EXPECT_EQ(cf.Sums().sum1byxq, kM * kM);
  EXPECT_EQ(cf.Sums().sumybyx, 2 * kM);
  EXPECT_EQ(cf.Sums().sum1byxy, kM / 2);
  EXPECT_EQ(cf.Sums().sumlnx, 0);
  EXPECT_NEAR(double(cf.Sums().sumlny), std::log(2.0), 1e-15);
  EXPECT_TRUE(std::isfinite(double(cf.Sums().sumlnybyx)));

  TCurveFit neg;
  neg.EnterStatValue(-1, -3);
  e = neg.ErrIndic();
  EXPECT_TRUE(e.Contains(cfeXLE0));
  EXPECT_TRUE(e.Contains(cfeYLE0));
  EXPECT_FALSE(e.Contains(cfeXEQ0));
  EXPECT_FALSE(e.Contains(cfeYEQ0));
  EXPECT_NEAR(double(neg.Sums().sum1byxy), 1.0 / 3, 1e-15);

  TCurveFit both;
  both.EnterStatValue(0, 0);
  EXPECT_EQ(both.Sums().sum1byxy, kM);
  EXPECT_EQ(both.Sums().sum1byy, kM);
  EXPECT_TRUE(both.ErrIndic().Contains(cfeYEQ0));
  both.Init();
  EXPECT_TRUE(both.ErrIndic().Empty());
  EXPECT_EQ(both.NumData(), 0);
  EXPECT_EQ(both.MinX(), 1.7976931348623157e308);
  EXPECT_EQ(both.MaxY(), -1.7976931348623157e308);
}

TEST(CurveFitData, RemovingPairOneOf300ShiftsTheRestAndUndoesItsTerms) {
  TCurveFit cf, ref;
  for (int i = 1; i <= 300; ++i) {
    cf.EnterStatValue(i, 1000.0 / i);
    if (i > 1) ref.EnterStatValue(i, 1000.0 / i);
  }
  cf.RemoveStatValue(1);
  ASSERT_EQ(cf.NumData(), 299);
  for (int i = 1; i <= 299; ++i) {
    ASSERT_EQ(cf.DataX(i), i + 1);
    ASSERT_EQ(cf.DataY(i), 1000.0 / (i + 1));
  }
  EXPECT_EQ(cf.DataX(300), 0);
  // Removal leaves the sums of the remaining pairs (up to rounding of the subtraction).
  EXPECT_NEAR(double(cf.Sums().sumx), double(ref.Sums().sumx), 1e-12);
  EXPECT_NEAR(double(cf.Sums().sum1byx), double(ref.Sums().sum1byx), 1e-12);
  EXPECT_NEAR(double(cf.Sums().sumlnxlny), double(ref.Sums().sumlnxlny), 1e-9);
  EXPECT_NEAR(double(cf.Sums().sumy4), double(ref.Sums().sumy4), 1e-3);
  EXPECT_NEAR(cf.GetMeanX(), 151.0, 1e-12);
  // The extremes keep what they saw.
  EXPECT_EQ(cf.MinX(), 1);
  EXPECT_EQ(cf.MaxY(), 1000);
  cf.RemoveStatValue(0);
  cf.RemoveStatValue(300);
  EXPECT_EQ(cf.NumData(), 299);
  // Indicators stay: the removed zero left its stand-in in the reciprocal sums.
  TCurveFit z;
  z.EnterStatValue(0, 1);
  z.EnterStatValue(2, 3);
  z.RemoveStatValue(1);
  EXPECT_TRUE(z.ErrIndic().Contains(cfeXEQ0));
  EXPECT_EQ(z.DataX(1), 2);
}

TEST(CurveFitData, FlipXYSwapsPairsSumsAndExtremes) {
  const std::vector<double> x{1, 2, 3, 5}, y{0.5, 4, 2, 7};
  TCurveFit cf, ref;
  Fill(cf, x, y);
  Fill(ref, y, x);
  cf.FlipXY();
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(cf.DataX(i), y[std::size_t(i - 1)]);
    EXPECT_EQ(cf.DataY(i), x[std::size_t(i - 1)]);
  }
  const auto &a = cf.Sums(), &b = ref.Sums();
  for (auto m : {&TCurveFitSums::sumx, &TCurveFitSums::sumy, &TCurveFitSums::sumxq,
                 &TCurveFitSums::sumx2y, &TCurveFitSums::sumxy2, &TCurveFitSums::sumx3,
                 &TCurveFitSums::sumy4, &TCurveFitSums::sum1byy, &TCurveFitSums::sum1byx,
                 &TCurveFitSums::sum1byyq, &TCurveFitSums::sumxbyy, &TCurveFitSums::sumybyx,
                 &TCurveFitSums::sumlnx, &TCurveFitSums::sumlnyq, &TCurveFitSums::sumylnx,
                 &TCurveFitSums::sumxlny, &TCurveFitSums::sumxlnx, &TCurveFitSums::sumylny,
                 &TCurveFitSums::sumlnxbyy, &TCurveFitSums::sumlnybyx,
                 &TCurveFitSums::sumxqlny, &TCurveFitSums::sumyqlnx, &TCurveFitSums::sumDiff,
                 &TCurveFitSums::SumDiffq, &TCurveFitSums::sumxy, &TCurveFitSums::sum1byxy,
                 &TCurveFitSums::sumlnxlny})
    EXPECT_NEAR(double(a.*m), double(b.*m), 1e-13 * (1 + std::fabs(double(b.*m))));
  EXPECT_EQ(cf.MinX(), 0.5);
  EXPECT_EQ(cf.MaxX(), 7);
  EXPECT_EQ(cf.MinY(), 1);
  EXPECT_EQ(cf.MaxY(), 5);
}

// ---- descriptive statistics -------------------------------------------------------------------

TEST(CurveFitStats, MeansSpreadsAndCorrelation) {
  TCurveFit cf;
  cf.EnterStatValue(1, 2);
  cf.EnterStatValue(2, 1);
  EXPECT_EQ(cf.GetStdDevX(), 0);  // two pairs are not enough
  EXPECT_EQ(cf.GetRxy(), 0);
  EXPECT_EQ(cf.MeanX(), 1.5);
  cf.EnterStatValue(3, 4);
  EXPECT_DOUBLE_EQ(cf.StdDevX(), 1.0);  // n - 1 = 2
  cf.EnterStatValue(4, 3);
  // x = 1..4, y = 2 1 4 3: Sxy = 3, Sxx = Syy = 5
  EXPECT_NEAR(cf.CorrCoeff(), 0.6, 1e-15);
  EXPECT_DOUBLE_EQ(cf.MeanDiff(), 0);
  EXPECT_NEAR(cf.StdDevDiff(), std::sqrt(4.0 / 3), 1e-15);
  int32_t n;
  double mx, my, sx, sy, md, sd, r;
  cf.CalcStatistics(n, mx, my, sx, sy, md, sd, r);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(mx, 2.5);
  EXPECT_EQ(my, 2.5);
  EXPECT_NEAR(sx, std::sqrt(5.0 / 3), 1e-15);
  EXPECT_NEAR(sy, std::sqrt(5.0 / 3), 1e-15);
  EXPECT_NEAR(r, 0.6, 1e-15);

  TCurveFit empty;
  empty.CalcStatistics(n, mx, my, sx, sy, md, sd, r);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(empty.MeanY(), 0);
}

TEST(CurveFitStats, CorrelationOfExactLinesAndConstantColumns) {
  TCurveFit up, down, flat;
  for (int i = 0; i < 50; ++i) {
    up.EnterStatValue(0.1 * i, 3 + 0.7 * i);
    down.EnterStatValue(0.1 * i, 3 - 0.7 * i);
    flat.EnterStatValue(0.1, 0.3 * i);  // a constant x that is not exact in binary
  }
  EXPECT_NEAR(up.GetRxy(), 1.0, 1e-15);
  EXPECT_LE(up.GetRxy(), 1.0);
  EXPECT_NEAR(down.GetRxy(), -1.0, 1e-15);
  EXPECT_EQ(flat.GetRxy(), 0.0);
}

TEST(CurveFitStats, QuartilesSkewnessKurtosis) {
  TCurveFit cf;
  double q1, q2, q3;
  EXPECT_FALSE(cf.QuartilesX(q1, q2, q3));
  EXPECT_EQ(q2, 0);
  cf.EnterStatValue(7, 0);
  ASSERT_TRUE(cf.QuartilesX(q1, q2, q3));
  EXPECT_EQ(q1, 7);
  EXPECT_EQ(q3, 7);
  cf.Init();
  cf.EnterStatValue(2, 10);
  cf.EnterStatValue(1, 1);
  ASSERT_TRUE(cf.QuartilesX(q1, q2, q3));
  EXPECT_EQ(q1, 1);
  EXPECT_EQ(q2, 1.5);
  EXPECT_EQ(q3, 2);
  cf.EnterStatValue(4, 3);
  cf.EnterStatValue(3, 2);
  ASSERT_TRUE(cf.QuartilesX(q1, q2, q3));
  EXPECT_DOUBLE_EQ(q1, 1.25);
  EXPECT_DOUBLE_EQ(q2, 2.5);
  EXPECT_DOUBLE_EQ(q3, 3.75);
  // y = 10 1 3 2 → sorted 1 2 3 10; sample skewness and excess kurtosis by the textbook forms
  // n/((n-1)(n-2)) Σz³ and n(n+1)/((n-1)(n-2)(n-3)) Σz⁴ − 3(n-1)²/((n-2)(n-3)).
  EXPECT_NEAR(cf.SkewnessY(), 1.7636326148038877, 1e-13);
  EXPECT_NEAR(cf.KurtosisY(), 3.228, 1e-12);
  EXPECT_NEAR(cf.SkewnessX(), 0.0, 1e-15);
  EXPECT_NEAR(cf.KurtosisX(), -1.2, 1e-13);
  cf.RemoveStatValue(1);
  EXPECT_EQ(cf.SkewnessX(), 0);  // three pairs
  EXPECT_EQ(cf.KurtosisY(), 0);
}

TEST(CurveFitStats, MeanAnglesWrapAroundTheCircle) {
  auto mean = [](std::vector<double> a) {
    TCurveFit cf;
    for (double v : a) cf.EnterStatValue(v, 0);
    cf.FlipXY();
    return std::pair(cf.MeanAngleY(), cf.CalcMeanDegrees(2));
  };
  EXPECT_NEAR(mean({350, 10}).first, 0.0, 1e-12);
  EXPECT_NEAR(mean({350, 20}).first, 5.0, 1e-12);
  EXPECT_NEAR(mean({80, 100}).first, 90.0, 1e-12);
  EXPECT_NEAR(mean({170, 190}).first, 180.0, 1e-12);
  EXPECT_NEAR(mean({260, 280}).second, 270.0, 1e-12);
  EXPECT_NEAR(mean({300, 320, 340}).first, 320.0, 1e-12);
  TCurveFit cf;
  cf.EnterStatValue(45, 0);
  EXPECT_NEAR(cf.MeanAngleX(), 45.0, 1e-12);
  EXPECT_NEAR(cf.MeanAngleY(), 0.0, 1e-12);
  EXPECT_EQ(cf.CalcMeanDegrees(3), 0.0);
}

// ---- ranks ------------------------------------------------------------------------------------

TEST(CurveFitRanks, HandCountedSmallCaseWithTies) {
  // x = 1 2 2 3, y = 2 3 1 3: pairs C C D, T2 (x tied), T1 (y tied), C.
  TCurveFit cf;
  Fill(cf, {1, 2, 2, 3}, {2, 3, 1, 3});
  cf.BasicRankCounts();
  EXPECT_EQ(cf.KendallConcord(), 3);
  EXPECT_EQ(cf.KendallDiscord(), 1);
  EXPECT_EQ(cf.KendallTies1(), 1);
  EXPECT_EQ(cf.KendallTies2(), 1);
  double p = -1;
  EXPECT_NEAR(cf.KendallsTau(p), 0.4, 1e-15);
  const double sigma = std::sqrt(26.0 / 108.0);
  EXPECT_NEAR(p, std::erfc(0.4 / sigma / std::sqrt(2.0)), 1e-6);
  EXPECT_NEAR(cf.KruskalGamma(), 0.5, 1e-15);
  // Mid-ranks x 1 2.5 2.5 4, y 2 3.5 1 3.5: Pearson of the ranks is 2.25 / 4.5.
  EXPECT_NEAR(cf.SpearmanRankCorr(), 0.5, 1e-15);
}

TEST(CurveFitRanks, NoTiesAndPerfectOrder) {
  TCurveFit cf;
  Fill(cf, {1, 2, 3, 4, 5}, {2, 1, 4, 3, 5});
  // D = 1+1+1+1+0 = 4: 1 − 24/120
  EXPECT_NEAR(cf.GetSpearman(), 0.8, 1e-15);
  double p;
  EXPECT_NEAR(cf.KendallsTau(p), 0.6, 1e-15);  // C = 8, D = 2

  TCurveFit ten;
  for (int i = 0; i < 10; ++i) ten.EnterStatValue(i, std::exp(0.3 * i));
  EXPECT_EQ(ten.KendallsTau(p), 1.0);
  const double z = 1.0 / std::sqrt(50.0 / 810.0);
  EXPECT_NEAR(p, std::erfc(z / std::sqrt(2.0)), 1e-6);
  EXPECT_EQ(ten.GetSpearman(), 1.0);
  ten.FlipXY();
  ten.EnterStatValue(100, -1);  // discordant with all ten: the cached counts must be redone
  EXPECT_NEAR(ten.KendallsTau(p), (45.0 - 10.0) / 55.0, 1e-15);
  EXPECT_EQ(ten.KendallDiscord(), 10);
}

TEST(CurveFitRanks, DegenerateColumnsGiveZero) {
  TCurveFit cf;
  Fill(cf, {3, 3, 3, 3}, {1, 2, 3, 4});
  double p = -1;
  EXPECT_EQ(cf.KendallsTau(p), 0.0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(cf.GetKruskalGamma(), 0.0);
  EXPECT_EQ(cf.GetSpearman(), 0.0);
  TCurveFit same;
  Fill(same, {3, 3, 3}, {2, 2, 2});
  p = -1;
  EXPECT_EQ(same.KendallsTau(p), 0.0);
  EXPECT_EQ(p, 0.0);
  TCurveFit two;
  Fill(two, {1, 2}, {1, 2});
  EXPECT_EQ(two.GetSpearman(), 0.0);
  two.BasicRankCounts();
  EXPECT_EQ(two.KendallConcord(), 0);
}

TEST(CurveFitRanks, CountsAndSpearmanAgreeWithBruteForceOnTiedData) {
  TCurveFit cf;
  std::vector<double> x, y;
  uint32_t s = 12345;
  auto next = [&]() { return (s = s * 1103515245u + 12345u) >> 16; };
  for (int i = 0; i < 300; ++i) {
    x.push_back(double(next() % 17));
    y.push_back(double(next() % 11) + 0.25 * x.back());
  }
  Fill(cf, x, y);
  int64_t c = 0, d = 0, t1 = 0, t2 = 0;
  for (std::size_t i = 0; i < x.size(); ++i)
    for (std::size_t j = i + 1; j < x.size(); ++j) {
      const int sx = (x[i] > x[j]) - (x[i] < x[j]), sy = (y[i] > y[j]) - (y[i] < y[j]);
      if (sx * sy > 0) ++c;
      else if (sx * sy < 0) ++d;
      else if (sx != 0) ++t1;
      else if (sy != 0) ++t2;
    }
  cf.BasicRankCounts();
  EXPECT_EQ(cf.KendallConcord(), c);
  EXPECT_EQ(cf.KendallDiscord(), d);
  EXPECT_EQ(cf.KendallTies1(), t1);
  EXPECT_EQ(cf.KendallTies2(), t2);
  // Spearman with the tie correction equals the Pearson correlation of the mid-ranks.
  auto midranks = [](const std::vector<double>& v) {
    std::vector<double> r(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
      double less = 0, equal = 0;
      for (double w : v) {
        less += w < v[i];
        equal += w == v[i];
      }
      r[i] = less + (equal + 1) / 2;
    }
    return r;
  };
  const auto rx = midranks(x), ry = midranks(y);
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < rx.size(); ++i) {
    mx += rx[i] / double(rx.size());
    my += ry[i] / double(ry.size());
  }
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < rx.size(); ++i) {
    sxy += (rx[i] - mx) * (ry[i] - my);
    sxx += (rx[i] - mx) * (rx[i] - mx);
    syy += (ry[i] - my) * (ry[i] - my);
  }
  EXPECT_NEAR(cf.GetSpearman(), sxy / std::sqrt(sxx * syy), 1e-12);
}

TEST(CurveFitRanks, PairCountsBeyond32Bits) {
  // 70000 pairs give 2 449 965 000 concordant pairs, more than a 32-bit count holds.
  TCurveFit cf;
  for (int i = 0; i < 70000; ++i) cf.EnterStatValue(i, i);
  cf.BasicRankCounts();
  EXPECT_EQ(cf.KendallConcord(), int64_t(70000) * 69999 / 2);
  double p;
  EXPECT_EQ(cf.KendallsTau(p), 1.0);
}

// ---- variance table ---------------------------------------------------------------------------

TEST(CurveFitAnova, HandComputedTables) {
  TCurveFit cf;
  Fill(cf, {1, 2, 3, 4}, {1.5, 1.5, 3.5, 3.5});
  int32_t dfreg, dfres, dftot;
  double sse, ssr, sst, mse, msr, f;
  cf.CalcAnovaReg(1, true, dfreg, dfres, dftot, sse, ssr, sst, mse, msr, f);
  EXPECT_EQ(dfreg, 1);
  EXPECT_EQ(dfres, 2);
  EXPECT_EQ(dftot, 3);
  EXPECT_DOUBLE_EQ(sse, 1);
  EXPECT_DOUBLE_EQ(ssr, 4);
  EXPECT_DOUBLE_EQ(sst, 5);
  EXPECT_DOUBLE_EQ(mse, 0.5);
  EXPECT_DOUBLE_EQ(msr, 4);
  EXPECT_DOUBLE_EQ(f, 8);
  cf.CalcAnovaReg(1, false, dfreg, dfres, dftot, sse, ssr, sst, mse, msr, f);
  EXPECT_EQ(dftot, 4);
  EXPECT_EQ(dfres, 3);
  EXPECT_DOUBLE_EQ(ssr, 29);
  EXPECT_DOUBLE_EQ(sst, 30);
  EXPECT_DOUBLE_EQ(f, 87);

  TCurveFit exact;
  Fill(exact, {1, 2, 3}, {1, 2, 3});
  exact.CalcAnovaReg(1, true, dfreg, dfres, dftot, sse, ssr, sst, mse, msr, f);
  EXPECT_EQ(mse, 0);
  EXPECT_DOUBLE_EQ(msr, 2);
  EXPECT_EQ(f, 1e10);
  // No residual degrees of freedom: the mean squares stay finite.
  cf.CalcAnovaReg(3, true, dfreg, dfres, dftot, sse, ssr, sst, mse, msr, f);
  EXPECT_EQ(dfres, 0);
  EXPECT_EQ(mse, 0);
  EXPECT_EQ(f, 1e10);
  cf.CalcAnovaReg(0, true, dfreg, dfres, dftot, sse, ssr, sst, mse, msr, f);
  EXPECT_EQ(msr, 0);
  EXPECT_EQ(f, 0);
}

// ---- ASC file ---------------------------------------------------------------------------------

TEST(CurveFitASC, ExportWritesTheDocumentedLayout) {
  TCurveFit cf;
  Fill(cf, {1.5, -2}, {0.25, 1e3});
  const auto path = Temp("cf_layout.asc");
  EXPECT_EQ(cf.ExportAsASC(path, "two\nlines", 2), "");
  EXPECT_EQ(ReadText(path),
            "two lines\n2\t;nr. of columns\n2\t;nr. of rows\n"
            "FALSE TRUE FALSE\t;row attributes, column names, row names\nx   y\n"
            "1.50\t0.25\n-2.00\t1000.00\n");
  EXPECT_EQ(cf.ExportAsASC(path, "", 0), "");
  const auto text = ReadText(path);
  EXPECT_EQ(text.substr(0, text.find('\n')), "Exported by QMX TCurveFit component: " + path);
  EXPECT_NE(text.find("\n2\t0\n-2\t1000\n"), std::string::npos);  // 1.5 rounds to even
}

TEST(CurveFitASC, ExportThenImportGivesTheSamePairsAndSums) {
  TCurveFit a, b;
  for (int i = 0; i < 1234; ++i) a.EnterStatValue(0.125 * i - 7, std::sin(i) * 1e3);
  const auto path = Temp("cf_roundtrip.asc");
  ASSERT_EQ(a.ExportAsASC(path, "round trip", 17), "");
  b.EnterStatValue(99, 99);
  ASSERT_EQ(b.ImportASC(path), 0);
  ASSERT_EQ(b.NumData(), 1234);
  for (int i = 1; i <= 1234; ++i) {
    ASSERT_EQ(b.DataX(i), a.DataX(i));
    ASSERT_NEAR(b.DataY(i), a.DataY(i), 1e-13);
  }
  EXPECT_NEAR(double(b.Sums().sumxy), double(a.Sums().sumxy), 1e-9);
  EXPECT_EQ(b.MaxX(), a.MaxX());  // extremes rebuilt from the imported pairs only
  EXPECT_TRUE(b.ErrIndic() == a.ErrIndic());
}

TEST(CurveFitASC, ImportReadsAttributesAndQuotedNames) {
  const auto path = Temp("cf_names.asc");
  WriteText(path,
            "with names\r\n2\t;cols\r\n3\t;rows\r\nTRUE TRUE TRUE\r\n\"the x\" \"the y\"\r\n"
            "1 \"row one\" 1.5 -2\r\n2 r2 2.5e1\t+3\r\n\r\n3 \"\" -0.5 4\r\n");
  TCurveFit cf;
  ASSERT_EQ(cf.ImportASC(path), 0);
  ASSERT_EQ(cf.NumData(), 3);
  EXPECT_EQ(cf.DataX(2), 25);
  EXPECT_EQ(cf.DataY(2), 3);
  EXPECT_EQ(cf.DataX(3), -0.5);
  EXPECT_DOUBLE_EQ(cf.GetMeanY(), 5.0 / 3);
}

TEST(CurveFitASC, DamagedFilesLeaveThePairsAndSumsUnchanged) {
  const std::string head = "c\n2\n3\nFALSE TRUE FALSE\nx y\n";
  struct Case {
    const char* leaf;
    std::string text;
    int32_t code;
  } cases[] = {
      {"trunc_header.asc", "c\n2\n", ascErrTruncated},
      {"bad_flags.asc", "c\n2\n3\nYES NO\n", ascErrFlags},
      {"few_rows.asc", head + "1 2\n3 4\n", 250},
      {"no_names.asc", "c\n2\n1\nFALSE TRUE FALSE\n", 250},
      {"text_value.asc", head + "1 2\n3 four\n5 6\n", 250},
      {"nan_value.asc", head + "1 2\n3 nan\n5 6\n", 250},
      {"short_row.asc", head + "1 2\n3\n5 6\n", 250},
      {"long_row.asc", head + "1 2\n3 4 9\n5 6\n", 250},
      {"glued.asc", head + "1 2\n3 4x\n5 6\n", 250},
      {"bad_attrib.asc", "c\n2\n1\nTRUE FALSE FALSE\n? 1 2\n", 251},
      {"open_quote.asc", "c\n2\n1\nFALSE FALSE TRUE\n\"name 1 2\n", 250},
      {"col_attribs.asc", "c\n2\n1\nFALSE FALSE FALSE TRUE\n1 2\n", -7},
      {"huge_count.asc", "c\n2\n2000000000\nFALSE FALSE FALSE\n1 2\n", 250},
  };
  for (const auto& c : cases) {
    TCurveFit cf;
    Fill(cf, {1, 2, 3}, {4, 5, 7});
    const auto sums = cf.Sums();
    const auto path = Temp(c.leaf);
    WriteText(path, c.text);
    EXPECT_EQ(cf.ImportASC(path), c.code) << c.leaf;
    EXPECT_EQ(cf.NumData(), 3);
    EXPECT_EQ(cf.DataY(3), 7);
    EXPECT_EQ(cf.Sums().sumxy, sums.sumxy);
    EXPECT_EQ(cf.Sums().sumlny, sums.sumlny);
    EXPECT_EQ(cf.MaxY(), 7);
  }
  TCurveFit cf;
  cf.EnterStatValue(1, 1);
  EXPECT_EQ(cf.ImportASC(Temp("missing/none.asc")), ascErrOpen);
  EXPECT_EQ(cf.NumData(), 1);
}

TEST(CurveFitASC, WrongColumnCountRaisesAndUnwritableTargetReports) {
  const auto path = Temp("cf_3cols.asc");
  WriteText(path, "c\n3\n1\nFALSE FALSE FALSE\n1 2 3\n");
  TCurveFit cf;
  cf.EnterStatValue(1, 1);
  try {
    cf.ImportASC(path);
    FAIL() << "no error";
  } catch (const EQMXMath2Error& e) {
    EXPECT_STREQ(e.what(), "TCurveFit.ImportASC: number of columns must be 2 (is actually 3).");
  }
  EXPECT_EQ(cf.NumData(), 1);
  const auto bad = Temp("no_such_dir/out.asc");
  EXPECT_NE(cf.ExportAsASC(bad, "", 3), "");
  EXPECT_FALSE(std::filesystem::exists(bad));
}

// ---- orientation of the error indicators and NaN in the quartiles ------------------------------

TEST(CurveFitData, FlipXYMovesTheErrorIndicatorsWithTheSums) {
  TCurveFit cf;
  Fill(cf, {0, 1, 2}, {1, 2, 3});
  ASSERT_TRUE(cf.ErrIndic().Contains(cfeXEQ0));
  ASSERT_TRUE(cf.ErrIndic().Contains(cfeXLE0));
  ASSERT_FALSE(cf.ErrIndic().Contains(cfeYEQ0));
  cf.FlipXY();  // now x = 1 2 3, y = 0 1 2
  EXPECT_TRUE(cf.ErrIndic().Contains(cfeYEQ0));
  EXPECT_TRUE(cf.ErrIndic().Contains(cfeYLE0));
  EXPECT_FALSE(cf.ErrIndic().Contains(cfeXEQ0));
  EXPECT_FALSE(cf.ErrIndic().Contains(cfeXLE0));
  double k0 = 0, k1 = 0, q = 0;
  // The zero now sits in y: the models dividing by y or taking its logarithm must refuse...
  EXPECT_THROW(cf.CalcReciLinFit(k0, k1, q), EQMXMath2Error);
  EXPECT_THROW(cf.CalcExponentialFit(k0, k1, q), EQMXMath2Error);
  // ...and y = k0 + k1/x is valid. With u = 1/x = 1, 1/2, 1/3: Suu = 78/324, Suy = -2/3, so
  // k1 = -36/13 and k0 = 1 - k1·11/18 = 35/13.
  cf.CalcHyperbolFit(k0, k1, q);
  EXPECT_NEAR(k1, -36.0 / 13, 1e-14);
  EXPECT_NEAR(k0, 35.0 / 13, 1e-14);
  cf.FlipXY();
  EXPECT_TRUE(cf.ErrIndic().Contains(cfeXEQ0));
  EXPECT_FALSE(cf.ErrIndic().Contains(cfeYEQ0));
  EXPECT_FALSE(cf.ErrIndic().Contains(cfeYLE0));
}

TEST(CurveFitStats, QuartilesSortNaNLastAndKeepTheNumbersInOrder) {
  TCurveFit cf;
  Fill(cf, {3, std::nan(""), 1, 2}, {0, 0, 0, 0});
  double q1, q2, q3;
  ASSERT_TRUE(cf.QuartilesX(q1, q2, q3));
  // Sorted 1 2 3 NaN: ranks 1.25 and 2.5 lie among the numbers.
  EXPECT_EQ(q1, 1.25);
  EXPECT_EQ(q2, 2.5);
  EXPECT_TRUE(std::isnan(q3));
}
