// TCrossValidator driven through its events with a real model (the curve fit's straight line),
// the model file comment, and the Wilcoxon critical values interpolated by the parabola fit.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/runtime.h"
#include "qmx/statis.h"

using namespace qmx;

namespace {

struct Fixture {
  TMatrix X, Y;
  TCrossValidator cv;
  TCurveFit fit;
  double k = 0, d = 0;
  std::vector<int> created, predictedPercent;
  std::set<int> trainedOn;
  Fixture(const std::vector<double>& x, const std::vector<double>& y) {
    X.Resize(1, int32_t(x.size()));
    Y.Resize(1, int32_t(y.size()));
    for (std::size_t i = 0; i < x.size(); ++i) {
      X.SetVal(1, int32_t(i + 1), x[i]);
      Y.SetVal(1, int32_t(i + 1), y[i]);
    }
    cv.SetXMat(&X);
    cv.SetYMat(&Y);
    cv.OnModelCreateRequest = [this](TObject*, int32_t pct, const TIntArray& list, bool& ok) {
      created.push_back(pct);
      fit.Init();
      for (int32_t r : list) fit.EnterStatValue(X.Elem(1, r), Y.Elem(1, r));
      double q;
      fit.CalcLinFit(k, d, q);
      ok = list.size() >= 2;
    };
    cv.OnModelApplyRequest = [this](TObject*, int32_t pct, const TDoubleArray& px,
                                    TDoubleArray& resp) {
      predictedPercent.push_back(pct);
      resp[0] = k * px[0] + d;
    };
  }
};

}  // namespace

TEST(CrossValidator, RoundsEventsAndLeaveOneOutPress) {
  RandSeed(7);
  const std::vector<double> x = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::vector<double> y = {1.1, 2.3, 2.8, 4.4, 4.9, 6.2, 7.1, 7.7, 9.4, 9.8};
  Fixture f(x, y);
  f.cv.SetTestSize(3);
  ASSERT_TRUE(f.cv.Execute());
  EXPECT_FALSE(f.cv.IsExecuting());
  // Rounds of 3, 3, 3 and 1: four models, every object predicted once, the last at 100 %.
  EXPECT_EQ(f.created.size(), 4u);
  EXPECT_EQ(f.created.front(), 0);
  EXPECT_EQ(f.predictedPercent.size(), 10u);
  EXPECT_EQ(f.predictedPercent.back(), 100);
  EXPECT_EQ(f.cv.NumPredicted(), 10);

  // Test sets of one are leave-one-out; for a straight line its PRESS has the closed form
  // sum (e_i / (1 - h_ii))^2 with the residuals and leverages of the full fit.
  Fixture g(x, y);
  g.cv.SetTestSize(1);
  ASSERT_TRUE(g.cv.Execute());
  double mx = 5.5, sxx = 0, sxy = 0, my = 0;
  for (double v : y) my += v / 10;
  for (int i = 0; i < 10; ++i) {
    sxx += (x[i] - mx) * (x[i] - mx);
    sxy += (x[i] - mx) * (y[i] - my);
  }
  const double b = sxy / sxx, a = my - b * mx;
  double press = 0;
  for (int i = 0; i < 10; ++i) {
    const double e = y[i] - (a + b * x[i]), h = 0.1 + (x[i] - mx) * (x[i] - mx) / sxx;
    press += (e / (1 - h)) * (e / (1 - h));
  }
  EXPECT_NEAR(g.cv.Press(1), press, 1e-10 * press);
  EXPECT_NEAR(g.cv.GetRMSEP(1), std::sqrt(press / 10), 1e-10);
  // No response equals 1 and no prediction hits its value: no positives (TP rate 0), and
  // every negative a false positive.
  EXPECT_EQ(g.cv.GetTPRate(1), 0);
  EXPECT_EQ(g.cv.GetFPRate(1), 1);
  EXPECT_EQ(g.cv.GetRMSEP(2), -1);
}

TEST(CrossValidator, ClassificationCountsAbortAndFailures) {
  RandSeed(3);
  // Responses 0/1 and a model that predicts them exactly: all true positives and negatives.
  const std::vector<double> x = {0, 0, 0, 1, 1, 1, 0, 1};
  Fixture f(x, x);
  ASSERT_TRUE(f.cv.Execute());
  EXPECT_EQ(f.cv.GetTPRate(1), 1);
  EXPECT_EQ(f.cv.GetFPRate(1), 0);
  EXPECT_NEAR(f.cv.GetRMSEP(1), 0, 1e-12);

  // Abort after the third prediction: false, every result -1.
  int seen = 0;
  f.cv.OnCheckAbort = [&](TObject*, bool& abort) { abort = ++seen == 3; };
  EXPECT_FALSE(f.cv.Execute());
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(f.cv.GetRMSEP(1), -1);
  EXPECT_EQ(f.cv.GetTPRate(1), -1);
  EXPECT_EQ(f.cv.Press(1), -1);
  f.cv.OnCheckAbort = nullptr;

  // A model that can never be built: each object is returned to the pool once, then given up;
  // the run ends with nothing predicted.
  int attempts = 0;
  f.cv.OnModelCreateRequest = [&](TObject*, int32_t, const TIntArray&, bool& ok) {
    ++attempts;
    ok = false;
  };
  ASSERT_TRUE(f.cv.Execute());
  EXPECT_GT(attempts, 1);
  EXPECT_LE(attempts, 2 * 8);
  EXPECT_EQ(f.cv.NumPredicted(), 0);
  EXPECT_EQ(f.cv.GetRMSEP(1), -1);

  // Test size bounds and reset.
  f.cv.SetTestSize(0);
  EXPECT_EQ(f.cv.SizeTestSet(), 1);
  EXPECT_EQ(f.cv.GetFPRate(1), -1);
  f.cv.SetTestSize(20);
  f.cv.Execute();
  EXPECT_EQ(f.cv.SizeTestSet(), 5);  // 8 div 2 + 1
}

TEST(CrossValidator, MessagesAndHandlerErrors) {
  TCrossValidator cv;
  auto msg = [&] {
    try {
      cv.Execute();
    } catch (const EQMXStatisError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(msg(), "TCrossValidator.Execute: data matrix not assigned");
  TMatrix X, Y;
  X.Resize(2, 5);
  Y.Resize(1, 4);
  cv.SetXMat(&X);
  cv.SetYMat(&Y);
  EXPECT_EQ(msg(), "TCrossValidator.Execute: number of rows of XMat and YMat not equal");
  Y.Resize(1, 5);
  EXPECT_EQ(msg(), "TCrossValidator: OnModelApplyRequest event is not assigned");
  cv.OnModelApplyRequest = [](TObject*, int32_t, const TDoubleArray&, TDoubleArray&) {
    throw std::runtime_error("model failed");
  };
  EXPECT_EQ(msg(), "TCrossValidator: OnModelCreateRequest event is not assigned");
  cv.OnModelCreateRequest = [](TObject*, int32_t, const TIntArray&, bool& ok) { ok = true; };
  EXPECT_THROW(cv.Execute(), std::runtime_error);
  EXPECT_FALSE(cv.IsExecuting());
}

TEST(CrossValidator, ModelFileComment) {
  const std::string path = testing::TempDir() + "/qmx_pls_model.txt";
  {
    std::ofstream o(path);
    o << "QMX-PLS-MODEL 1\r\n# calibration of batch 7\r\n#\n# second line\nscaling center\n";
  }
  std::string c = "old";
  EXPECT_TRUE(LoadPLSModelComment(path, c));
  EXPECT_EQ(c, "calibration of batch 7\n\nsecond line");
  {
    std::ofstream o(path);
    o << "something else\n# no model\n";
  }
  EXPECT_FALSE(LoadPLSModelComment(path, c));
  EXPECT_EQ(c, "");
  EXPECT_FALSE(LoadPLSModelComment(path + ".missing", c));
}

TEST(Wilcoxon, QuantileParabolaAndNormalRange) {
  EXPECT_EQ(WilcoxonSRQuantile(7, 0.05, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(20, 0.3, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(20, 1e-4, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(1000001, 0.05, true), -1);
  // The parabola through ln(level) passes near the exact table values at the table's levels;
  // one-sided alpha is the two-sided 2 alpha.
  for (int n : {8, 9, 10, 20, 50, 100}) {
    const int nl = n == 8 ? 3 : (n <= 10 ? 4 : 5);
    const double lv[5] = {0.10, 0.05, 0.02, 0.01, 0.001};
    for (int l = 0; l < nl; ++l)
      EXPECT_NEAR(double(WilcoxonSRQuantile(n, lv[l], true)), WilcoxonSRTable(n, l),
                  std::max(1.0, 0.01 * WilcoxonSRTable(n, l)))
          << n << " " << l;
    EXPECT_EQ(WilcoxonSRQuantile(n, 0.025, false), WilcoxonSRQuantile(n, 0.05, true));
  }
  EXPECT_NEAR(double(WilcoxonSRQuantile(20, 0.05, true)), 52, 1);
  // Beyond the table: mean n(n+1)/4 less z sd; past n = 92682 it no longer fits 32 bits.
  for (int n : {101, 1000, 1000000}) {
    const long double N = n, z = 1.959963984540054L;
    const long double want = N * (N + 1) / 4 - z * std::sqrt(N * (N + 1) * (2 * N + 1) / 24);
    EXPECT_NEAR(double(WilcoxonSRQuantile(n, 0.05, true)), double(want), 0.51) << n;
  }
  EXPECT_GT(WilcoxonSRQuantile(1000000, 0.05, true), int64_t(1) << 31);
}
