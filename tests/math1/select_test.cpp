#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "qmx/math1.h"

using namespace qmx;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The selection written out plainly (middle pivot, one-sided partition with exchanges, copies of
// a smallest pivot skipped at once), without NaN: the yardstick for the arrangement the library
// leaves behind.
double ReferenceSelect(std::vector<double>& a, int ix, int lo, int hi) {
  if (hi < lo) return 0.0;
  if (std::all_of(a.begin() + lo, a.begin() + hi + 1, [&](double x) { return x == a[lo]; }))
    return a[lo];
  for (;;) {
    std::swap(a[(lo + hi) / 2], a[lo]);
    const double v = a[lo];
    int j = lo + 1;
    while (j <= hi && a[j] < v) ++j;
    for (int k = j + 1; k <= hi; ++k)
      if (a[k] < v) std::swap(a[k], a[j++]);
    std::swap(a[lo], a[j - 1]);
    const int p = j - 1;
    if (p == lo && p < ix) {  // copies of the smallest are gathered behind it
      int e = lo;
      for (int k = lo + 1; k <= hi; ++k)
        if (a[k] == v) std::swap(a[++e], a[k]);
      if (ix <= e) return a[ix];
      lo = e + 1;
    } else if (p > ix)
      hi = p;
    else if (p < ix)
      lo = p + 1;
    else
      return a[ix];
  }
}

}  // namespace

TEST(QuickSelect, SmallCases) {
  std::vector<double> d{1, 5, 2};
  EXPECT_EQ(QuickSelect(d, 1, 0, 2), 2.0);
  std::vector<double> e{4, 4, 4, 4};
  EXPECT_EQ(QuickSelect(e, 2, 0, 3), 4.0);
  std::vector<double> one{7};
  EXPECT_EQ(QuickSelect(one, 0, 0, 0), 7.0);
  // sub-range only: elements outside it stay where they are
  std::vector<double> f{9, 8, 3, 1, 2, 0};
  EXPECT_EQ(QuickSelect(f, 2, 1, 4), 2.0);
  EXPECT_EQ(f[0], 9.0);
  EXPECT_EQ(f[5], 0.0);
}

TEST(QuickSelect, EveryOrderStatisticAndArrangement) {
  std::mt19937 g(11);
  for (int n : {2, 3, 5, 10, 33, 200}) {
    std::vector<double> v(static_cast<std::size_t>(n));
    for (auto& x : v) x = static_cast<double>(g() % static_cast<unsigned>(n));  // with repeats
    auto sorted = v;
    std::sort(sorted.begin(), sorted.end());
    for (int ix = 0; ix < n; ++ix) {
      auto got = v, ref = v;
      const double r = QuickSelect(got, ix, 0, n - 1);
      EXPECT_EQ(r, sorted[static_cast<std::size_t>(ix)]) << n << " " << ix;
      EXPECT_EQ(got[static_cast<std::size_t>(ix)], r);
      for (int i = 0; i < n; ++i) {
        if (i < ix) {
          EXPECT_LE(got[static_cast<std::size_t>(i)], r);
        } else if (i > ix) {
          EXPECT_GE(got[static_cast<std::size_t>(i)], r);
        }
      }
      ReferenceSelect(ref, ix, 0, n - 1);
      EXPECT_EQ(got, ref) << n << " " << ix;
    }
  }
  std::vector<double> big(100001);
  std::mt19937_64 g64(5);
  for (auto& x : big) x = std::ldexp(static_cast<double>(g64() >> 11), -53);
  auto sorted = big, ref = big;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(QuickSelect(big, 50000, 0, 100000), sorted[50000]);
  ReferenceSelect(ref, 50000, 0, 100000);
  EXPECT_EQ(big, ref);
  // A range inside the array, with repeats: the elements outside it stay, the arrangement
  // inside is the plain one.
  for (auto& x : big) x = static_cast<double>(g64() % 5000);
  ref = big;
  QuickSelect(big, 12345, 37, 70000);
  ReferenceSelect(ref, 12345, 37, 70000);
  EXPECT_EQ(big, ref);
}

TEST(QuickSelect, RangesFullOfCopiesStayFast) {
  // mostly zeros: the plain narrowing would step one element per round (10^10 steps here)
  const int n = 200001;
  std::vector<double> v(n, 0.0);
  for (int i = 0; i < n; i += 1000) v[static_cast<std::size_t>(i)] = i % 2000 == 0 ? -1.0 : 1.0;
  auto sorted = v;
  std::sort(sorted.begin(), sorted.end());
  for (int ix : {0, 50, 100, n / 2, n - 101, n - 1}) {
    auto a = v;
    EXPECT_EQ(QuickSelect(a, ix, 0, n - 1), sorted[static_cast<std::size_t>(ix)]) << ix;
    EXPECT_TRUE(std::all_of(a.begin(), a.begin() + ix, [&](double x) { return x <= a[ix]; }));
    EXPECT_TRUE(std::all_of(a.begin() + ix, a.end(), [&](double x) { return x >= a[ix]; }));
  }
  std::vector<double> nan(n, kNaN);
  nan[7] = 3.0;
  EXPECT_EQ(QuickSelect(nan, 0, 0, n - 1), 3.0);
  EXPECT_TRUE(std::isnan(QuickSelect(nan, n / 2, 0, n - 1)));
}

TEST(QuickSelect, BadRangesReturnZeroUntouched) {
  const std::vector<double> d{3, 1, 2};
  auto a = d;
  EXPECT_EQ(QuickSelect(a, 1, 2, 1), 0.0);   // empty
  EXPECT_EQ(QuickSelect(a, 1, -1, 2), 0.0);  // before the array
  EXPECT_EQ(QuickSelect(a, 1, 0, 3), 0.0);   // past the array
  EXPECT_EQ(QuickSelect(a, 0, 1, 2), 0.0);   // Ix outside the range
  EXPECT_EQ(QuickSelect(a, 3, 1, 2), 0.0);
  EXPECT_EQ(a, d);
  std::vector<double> none;
  EXPECT_EQ(QuickSelect(none, 0, 0, 0), 0.0);
}

TEST(QuickSelect, NaNCountsAsLargest) {
  std::vector<double> v{kNaN, 5, kNaN, 1, 3, kNaN, 2};
  for (int ix = 0; ix < 7; ++ix) {
    auto a = v;
    const double r = QuickSelect(a, ix, 0, 6);
    if (ix < 4)
      EXPECT_EQ(r, (std::vector<double>{1, 2, 3, 5})[static_cast<std::size_t>(ix)]) << ix;
    else
      EXPECT_TRUE(std::isnan(r)) << ix;
    for (int i = 0; i < ix; ++i)
      EXPECT_TRUE(std::isnan(r) || a[static_cast<std::size_t>(i)] <= r);
  }
  std::vector<double> allNaN(5, kNaN);
  EXPECT_TRUE(std::isnan(QuickSelect(allNaN, 2, 0, 4)));
}
