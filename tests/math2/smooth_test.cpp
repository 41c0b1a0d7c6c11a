#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "qmx/math2.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

using SmoothFn = void (*)(const TVector*, int32_t, int32_t, TVector*, int32_t);

void Fill(TVector& v, int32_t n, const std::function<double(int32_t)>& f) {
  v.Resize(n);
  for (int32_t j = 1; j <= n; ++j) v.SetVal(j, f(j));
}

std::string MessageOf(SmoothFn fn, const TVector* s, int32_t f, int32_t l, TVector* d, int32_t L) {
  try {
    fn(s, f, l, d, L);
  } catch (const EQMXMath2Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(Smooth, TablesMatchTheLeastSquaresFit) {
  // Least-squares quadratic over -m..m evaluated at 0 (smoothing) and its second derivative,
  // computed from the normal equations in closed form with S2 = sum i^2, S4 = sum i^4.
  for (int k = 0; k < 11; ++k) {
    const int m = k + 2;
    double S0 = 2 * m + 1, S2 = 0, S4 = 0;
    for (int i = -m; i <= m; ++i) {
      S2 += double(i) * i;
      S4 += double(i) * i * i * i;
    }
    const double det = S0 * S4 - S2 * S2;
    for (int i = 0; i <= m; ++i) {
      const double c0 = (S4 - S2 * i * i) / det;       // weight of sample i in the fit's value
      const double c2 = 2 * (S0 * i * i - S2) / det;  // in twice its quadratic coefficient
      EXPECT_NEAR(double(GolayPoly[k][1 + i]) / GolayPoly[k][0], c0, 1e-14) << m << " " << i;
      EXPECT_NEAR(double(Golay2ndDeriv[k][1 + i]) / Golay2ndDeriv[k][0], c2, 1e-14) << m << " " << i;
    }
    for (int i = m + 1; i < 13; ++i) EXPECT_EQ(GolayPoly[k][1 + i], 0);
  }
  EXPECT_EQ(GolayPoly[10][0], 5175);
  EXPECT_EQ(Golay2ndDeriv[8][0], 33649);
}

TEST(Smooth, PolynomialWindowsAreExactOnLowOrderSignals) {
  TVector s, d;
  for (int L = 5; L <= 25; L += 2) {
    const int m = L / 2;
    Fill(s, 60, [](int32_t j) { return 2.5 - 0.75 * j; });
    d.Resize(60);
    PolynomialSmooth(&s, 1, 60, &d, L);
    for (int j = m + 1; j <= 60 - m; ++j) EXPECT_NEAR(d.Elem(j), 2.5 - 0.75 * j, 1e-12) << L;
    // A parabola too: the window fits it exactly.
    Fill(s, 60, [](int32_t j) { return 0.5 * j * j - j; });
    PolynomialSmooth(&s, 1, 60, &d, L);
    for (int j = m + 1; j <= 60 - m; ++j) EXPECT_NEAR(d.Elem(j), 0.5 * j * j - j, 1e-10) << L;
    Fill(s, 60, [](int32_t j) { return 3.0 * j; });
    FirstDeriv(&s, 1, 60, &d, L);
    for (int j = 1; j <= 60; ++j) EXPECT_NEAR(d.Elem(j), 3.0, 1e-13) << L;
    Fill(s, 60, [](int32_t j) { return double(j) * j; });
    SecondDeriv(&s, 1, 60, &d, L);
    for (int j = 1; j <= 60; ++j) EXPECT_NEAR(d.Elem(j), 2.0, 1e-9) << L;
  }
}

TEST(Smooth, MovingWindowsByHand) {
  TVector s, d;
  const double v[7] = {1, 4, 2, 8, 5, 7, 0};
  Fill(s, 7, [&](int32_t j) { return v[j - 1]; });
  d.Resize(7);
  MovingAverageSmooth(&s, 1, 7, &d, 3);
  // centred means 7/3, 14/3, 15/3, 20/3, 12/3; ends copy the nearest centred value
  const double avg[7] = {7. / 3, 7. / 3, 14. / 3, 5, 20. / 3, 4, 4};
  for (int j = 0; j < 7; ++j) EXPECT_NEAR(d.Elem(j + 1), avg[j], 1e-15) << j;
  WeightedAverageSmooth(&s, 1, 7, &d, 3);
  // weights 1, 2, 1 over 4
  const double wavg[7] = {11. / 4, 11. / 4, 16. / 4, 23. / 4, 25. / 4, 19. / 4, 19. / 4};
  for (int j = 0; j < 7; ++j) EXPECT_NEAR(d.Elem(j + 1), wavg[j], 1e-15) << j;
  MovingMedianSmooth(&s, 1, 7, &d, 3);
  const double med[7] = {2, 2, 4, 5, 7, 5, 5};
  for (int j = 0; j < 7; ++j) EXPECT_EQ(d.Elem(j + 1), med[j]) << j;
  // A NaN in a window makes that window's median NaN, like the quartiles of the window.
  s.SetVal(4, std::nan(""));
  MovingMedianSmooth(&s, 1, 7, &d, 3);
  EXPECT_EQ(d.Elem(2), 2.0);
  EXPECT_TRUE(std::isnan(d.Elem(3)) && std::isnan(d.Elem(5)));
  EXPECT_EQ(d.Elem(6), 5.0);
}

TEST(Smooth, StretchIndicesAndDestination) {
  TVector s, d;
  Fill(s, 20, [](int32_t j) { return double(j % 5); });
  // L + 1 elements: two centred outputs, the rest copied; reversed indices and a first index
  // of 0 are normalised.
  d.Resize(3);
  d.Fill(-9);
  MovingAverageSmooth(&s, 4, 0, &d, 3);  // stretch 1..4 = (1, 2, 3, 4)
  EXPECT_EQ(d.Elem(1), 2.0);
  EXPECT_EQ(d.Elem(2), 2.0);
  EXPECT_EQ(d.Elem(3), 3.0);  // element 4 would be 3 too, but the destination is not resized
  EXPECT_EQ(d.NrOfElem(), 3);
  // The destination may be the source.
  Fill(s, 10, [](int32_t j) { return double(j * j); });
  PolynomialSmooth(&s, 1, 10, &s, 5);
  for (int j = 3; j <= 8; ++j) EXPECT_NEAR(s.Elem(j), double(j * j), 1e-12);
  EXPECT_NEAR(s.Elem(1), 9.0, 1e-12);
  EXPECT_NEAR(s.Elem(10), 64.0, 1e-12);
}

TEST(Smooth, Messages) {
  TVector s, d;
  Fill(s, 30, [](int32_t j) { return double(j); });
  d.Resize(30);
  const struct {
    SmoothFn fn;
    const char* name;
    const char* range;
    const char* what;
    int minOK;
  } ops[] = {
      {MovingAverageSmooth, "MovingAverageSmooth", "smoothing", "smoothing window", 3},
      {MovingMedianSmooth, "MovingMedianSmooth", "smoothing", "smoothing window", 3},
      {WeightedAverageSmooth, "WeightedAverageSmooth", "smoothing", "smoothing window", 3},
      {PolynomialSmooth, "PolynomialSmooth", "smoothing", "polynomial", 5},
      {FirstDeriv, "FirstDeriv", "calculation", "polynomial", 5},
      {SecondDeriv, "SecondDeriv", "smoothing", "polynomial", 5},
  };
  for (const auto& op : ops) {
    const std::string n = op.name;
    const std::string rangeTail = std::string(op.what) == "polynomial"
                                      ? "the polynomial"
                                      : "the smoothing windows";
    d.Fill(-1.0);
    EXPECT_EQ(MessageOf(op.fn, nullptr, 1, 30, &d, 5), n + ": either SourceVec or DestVec is undefined");
    EXPECT_EQ(MessageOf(op.fn, &s, 1, 30, nullptr, 5), n + ": either SourceVec or DestVec is undefined");
    // Exactly L elements are too few; the range is checked before the length.
    EXPECT_EQ(MessageOf(op.fn, &s, 3, 7, &d, 5),
              n + ": specified range for " + op.range + " is smaller than the length of " + rangeTail);
    EXPECT_EQ(MessageOf(op.fn, &s, 1, 30, &d, 40),
              n + ": specified range for " + op.range + " is smaller than the length of " + rangeTail);
    EXPECT_EQ(MessageOf(op.fn, &s, 1, 30, &d, op.minOK - 1 - (op.minOK == 3)),
              n + ": length of " + op.what + " is out of range");
    EXPECT_EQ(MessageOf(op.fn, &s, 1, 30, &d, 6), n + ": length of " + op.what + " must be odd");
    EXPECT_EQ(d.Elem(1), -1.0) << "a failed call leaves the destination alone";
    EXPECT_EQ(MessageOf(op.fn, &s, 1, 30, &d, op.minOK), "");
  }
  EXPECT_EQ(MessageOf(PolynomialSmooth, &s, 1, 30, &d, 3), "PolynomialSmooth: length of polynomial is out of range");
  EXPECT_EQ(MessageOf(PolynomialSmooth, &s, 1, 30, &d, 27), "PolynomialSmooth: length of polynomial is out of range");
  EXPECT_EQ(MessageOf(SecondDeriv, &s, 1, 30, &d, 26), "SecondDeriv: length of polynomial is out of range");
  EXPECT_EQ(MessageOf(MovingAverageSmooth, &s, 1, 30, &d, 2), "MovingAverageSmooth: length of smoothing window is out of range");
  EXPECT_EQ(MessageOf(MovingAverageSmooth, &s, 1, 30, &d, -7), "MovingAverageSmooth: length of smoothing window is out of range");
  EXPECT_EQ(MessageOf(MovingAverageSmooth, &s, 1, 30, &d, 27), "");  // no upper limit
}
