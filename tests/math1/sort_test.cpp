#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "qmx/math1.h"

using namespace qmx;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Straightforward element-by-element comb sort, the yardstick for the block-wise passes.
// Returns the number of passes.
template <class T>
int ReferenceCombSort(std::vector<T>& a, bool asc) {
  auto outOfOrder = [asc](T x, T y) {
    if (std::isnan(static_cast<double>(y))) return false;
    if (std::isnan(static_cast<double>(x))) return true;
    return asc ? x > y : x < y;
  };
  const std::size_t n = a.size();
  if (n < 2) return 0;
  std::size_t gap = n;
  int passes = 0;
  bool swapped;
  do {
    gap = static_cast<std::size_t>(static_cast<double>(gap) / 1.3);
    if (gap == 0) gap = 1;
    swapped = false;
    for (std::size_t i = 0; i + gap < n; ++i)
      if (outOfOrder(a[i], a[i + gap])) {
        std::swap(a[i], a[i + gap]);
        swapped = true;
      }
    ++passes;
  } while (gap > 1 || swapped);
  return passes;
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) return false;
  return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Signed zeros compare equal and are never exchanged with each other, so where they end up
// depends on every single exchange: a sharp test that block passes match element passes.
std::vector<double> ZerosAndValues(std::size_t n, unsigned seed) {
  std::mt19937 g(seed);
  std::vector<double> v(n);
  for (auto& x : v) {
    const unsigned r = g() % 4;
    x = r == 0 ? 0.0 : r == 1 ? -0.0 : static_cast<double>(static_cast<int>(g() % 9) - 4);
  }
  return v;
}

double gLastFeedback = 0.0;
int gFeedbackCalls = 0;
bool gIncreasing = true;
void Feedback(double v) {
  if (gFeedbackCalls > 0 && v <= gLastFeedback) gIncreasing = false;
  gLastFeedback = v;
  ++gFeedbackCalls;
}

}  // namespace

TEST(SortArray, DoubleMatchesStdSortAndElementPasses) {
  std::mt19937_64 g(42);
  std::uniform_real_distribution<double> u(-100, 100);
  for (std::size_t n : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 64, 100, 1000, 4097}) {
    std::vector<double> v(n);
    for (auto& x : v) x = u(g);
    for (bool asc : {true, false}) {
      auto got = v, want = v;
      SortArray(got, asc);
      if (asc)
        std::sort(want.begin(), want.end());
      else
        std::sort(want.begin(), want.end(), std::greater<double>());
      EXPECT_EQ(got, want) << "n=" << n << " asc=" << asc;
    }
  }
  // every short length, so each block pass meets every kind of tail
  for (std::size_t n = 0; n <= 80; ++n)
    for (bool asc : {true, false}) {
      auto got = ZerosAndValues(n, static_cast<unsigned>(n));
      auto ref = got;
      ReferenceCombSort(ref, asc);
      SortArray(got, asc);
      EXPECT_TRUE(SameBits(got, ref)) << "n=" << n << " asc=" << asc;
    }
  auto big = ZerosAndValues(5003, 1), ref = big;
  ReferenceCombSort(ref, true);
  SortArray(big, true);
  EXPECT_TRUE(SameBits(big, ref));
}

TEST(SortArray, FloatAndIntVariants) {
  std::mt19937 g(7);
  for (std::size_t n : {2, 5, 8, 9, 16, 33, 1000, 3001}) {
    std::vector<float> f(n);
    std::vector<int32_t> k(n);
    for (std::size_t i = 0; i < n; ++i) {
      f[i] = static_cast<float>(static_cast<int>(g() % 2001) - 1000) / 8.0f;
      k[i] = static_cast<int32_t>(g());
    }
    if (n > 3) {
      k[0] = std::numeric_limits<int32_t>::min();
      k[n - 1] = std::numeric_limits<int32_t>::max();
      f[1] = -0.0f;
      f[2] = 0.0f;
    }
    for (bool asc : {true, false}) {
      auto fr = f, fg = f;
      ReferenceCombSort(fr, asc);
      SortArray(fg, asc);
      EXPECT_TRUE(SameBits(fg, fr)) << n;
      auto kg = k, ks = k;
      SortArray(kg, asc);
      if (asc)
        std::sort(ks.begin(), ks.end());
      else
        std::sort(ks.begin(), ks.end(), std::greater<int32_t>());
      EXPECT_EQ(kg, ks) << n;
    }
  }
}

TEST(SortArray, NaNGoesLastInBothDirections) {
  std::vector<double> v{kNaN, 3, 1, kNaN, 2, -std::numeric_limits<double>::infinity()};
  auto a = v;
  SortArray(a, true);
  EXPECT_EQ(a[0], -std::numeric_limits<double>::infinity());
  EXPECT_EQ(a[1], 1.0);
  EXPECT_EQ(a[3], 3.0);
  EXPECT_TRUE(std::isnan(a[4]) && std::isnan(a[5]));
  auto d = v;
  SortArray(d, false);
  EXPECT_EQ(d[0], 3.0);
  EXPECT_EQ(d[3], -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(d[4]) && std::isnan(d[5]));
  // with NaN present the passes take another route: still exactly the element passes
  for (std::size_t n : {9, 50, 333}) {
    auto dv = ZerosAndValues(n, 77);
    for (std::size_t i = 0; i < n; i += 7) dv[i] = kNaN;
    std::vector<float> fv(dv.begin(), dv.end());
    for (bool asc : {true, false}) {
      auto dr = dv, dg = dv;
      ReferenceCombSort(dr, asc);
      SortArray(dg, asc);
      EXPECT_TRUE(SameBits(dg, dr)) << n;
      auto fr = fv, fg = fv;
      ReferenceCombSort(fr, asc);
      SortArray(fg, asc);
      EXPECT_TRUE(SameBits(fg, fr)) << n;
    }
  }
  // many NaNs through the block passes
  std::vector<double> big(1001);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = i % 3 == 0 ? kNaN : double(1000 - i);
  SortArray(big, true);
  EXPECT_TRUE(std::is_sorted(big.begin(), big.begin() + 667));
  EXPECT_TRUE(std::all_of(big.begin() + 667, big.end(), [](double x) { return std::isnan(x); }));
}

// Arrays past a megabyte run the passes of small gaps together in one sweep: still exactly the
// element passes (signed zeros and NaN placement), and still one progress step per pass.
TEST(SortArray, LargeArraysMatchElementPasses) {
  auto d = ZerosAndValues(140001, 9);
  auto dn = d;
  for (std::size_t i = 0; i < dn.size(); i += 1013) dn[i] = kNaN;
  std::vector<float> f(d.begin(), d.end());
  f.resize(300007, -0.0f);
  for (bool asc : {true, false}) {
    for (const auto* src : {&d, &dn}) {
      auto got = *src, ref = *src;
      const int passes = ReferenceCombSort(ref, asc);
      ProcStat = 0.0;
      SortArray(got, asc);
      EXPECT_TRUE(SameBits(got, ref)) << asc;
      EXPECT_EQ(ProcStat, passes);
    }
    auto fg = f, fr = f;
    ReferenceCombSort(fr, asc);
    SortArray(fg, asc);
    EXPECT_TRUE(SameBits(fg, fr)) << asc;
  }
  std::mt19937 g(5);
  std::vector<int32_t> k(300000);
  for (auto& x : k) x = static_cast<int32_t>(g());
  auto kr = k;
  ReferenceCombSort(kr, false);
  SortArray(k, false);
  EXPECT_EQ(k, kr);
}

TEST(SortArray, OneProgressStepPerPassAbortIgnored) {
  ProcStat = 0.0;
  std::vector<double> two{2, 1};  // gap 1 with an exchange, then gap 1 without
  SortArray(two, true);
  EXPECT_EQ(ProcStat, 2.0);
  ProcStat = 0.0;
  std::vector<double> three{1, 2, 3};  // gap 2, then gap 1 without exchange
  SortArray(three, true);
  EXPECT_EQ(ProcStat, 2.0);
  ProcStat = 0.0;
  std::vector<double> one{1};
  SortArray(one, true);
  EXPECT_EQ(ProcStat, 0.0);

  std::mt19937 g(3);
  std::vector<double> v(5000);
  for (auto& x : v) x = g();
  auto ref = v;
  const int passes = ReferenceCombSort(ref, true);
  ProcStat = 10.0;
  gFeedbackCalls = 0;
  gIncreasing = true;
  MathFeedBackProc = Feedback;
  AbortMathProc = true;  // the sorts do not consult it
  SortArray(v, true);
  MathFeedBackProc = nullptr;
  AbortMathProc = false;
  EXPECT_EQ(v, ref);
  EXPECT_EQ(ProcStat, 10.0 + passes);
  EXPECT_EQ(gFeedbackCalls, passes);
  EXPECT_TRUE(gIncreasing);
  EXPECT_EQ(gLastFeedback, ProcStat);
}

TEST(SortArray, UntypedBuffers) {
  double d[5] = {3, 1, 4, 1, 5};
  SortArray(d, 5, vkDouble, true);
  EXPECT_EQ(d[0], 1.0);
  EXPECT_EQ(d[4], 5.0);
  float f[4] = {2, -1, 7, 0};
  SortArray(f, 4, vkSingle, true);
  EXPECT_EQ(f[0], -1.0f);
  EXPECT_EQ(f[3], 7.0f);
  int32_t k[4] = {2, -1, 7, 0};
  SortArray(k, 4, vkLongint, false);
  EXPECT_EQ(k[0], 7);
  EXPECT_EQ(k[3], -1);
  // unhandled kinds, short counts, null and misaligned buffers do nothing
  int32_t u[3] = {3, 2, 1};
  SortArray(u, 3, vkByte, true);
  SortArray(u, 3, static_cast<TVarKind>(200), true);
  SortArray(u, 1, vkInteger, true);
  SortArray(nullptr, 3, vkInteger, true);
  EXPECT_EQ(u[0], 3);
  EXPECT_EQ(u[2], 1);
  // a misaligned buffer cannot be accessed as doubles: left as it is
  alignas(8) unsigned char raw[2 * sizeof(double) + 1] = {};
  const double unsorted[2] = {2, 1};
  std::memcpy(raw + 1, unsorted, sizeof unsorted);
  SortArray(raw + 1, 2, vkDouble, true);
  EXPECT_EQ(std::memcmp(raw + 1, unsorted, sizeof unsorted), 0);
}

TEST(SortIntoArray, BoundedBestList) {
  std::vector<double> d{1, 3, 5, 7};
  EXPECT_EQ(SortIntoArray(d, 4.0, true, false), 2);
  EXPECT_EQ(d, (std::vector<double>{1, 3, 4, 5}));
  EXPECT_EQ(SortIntoArray(d, 9.0, true, false), -1);
  EXPECT_EQ(d, (std::vector<double>{1, 3, 4, 5}));
  EXPECT_EQ(SortIntoArray(d, 3.0, true, false), -1);
  EXPECT_EQ(d, (std::vector<double>{1, 3, 4, 5}));
  EXPECT_EQ(SortIntoArray(d, 3.0, true, true), 1);  // placed before the equal one
  EXPECT_EQ(d, (std::vector<double>{1, 3, 3, 4}));
  EXPECT_EQ(SortIntoArray(d, 4.0, true, true), 3);  // equal to the last: still inserted
  EXPECT_EQ(d, (std::vector<double>{1, 3, 3, 4}));
  EXPECT_EQ(SortIntoArray(d, 0.0, true, false), 0);
  EXPECT_EQ(d, (std::vector<double>{0, 1, 3, 3}));

  std::vector<int32_t> k{9, 6, 2};
  EXPECT_EQ(SortIntoArray(k, 7, false, false), 1);
  EXPECT_EQ(k, (std::vector<int32_t>{9, 7, 6}));
  EXPECT_EQ(SortIntoArray(k, 1, false, false), -1);
  EXPECT_EQ(SortIntoArray(k, 6, false, false), -1);
  std::vector<float> f{0.5f};
  EXPECT_EQ(SortIntoArray(f, 0.25f, true, false), 0);
  EXPECT_EQ(f[0], 0.25f);
  std::vector<double> empty;
  EXPECT_EQ(SortIntoArray(empty, 1.0, true, true), -1);
}

TEST(SortIntoArray, NaNNeverDisplacesANumber) {
  std::vector<double> d{1, 2, 3};
  EXPECT_EQ(SortIntoArray(d, kNaN, true, true), -1);
  EXPECT_EQ(SortIntoArray(d, kNaN, false, true), -1);
  std::vector<double> e{1, kNaN, kNaN};  // a list not yet filled with numbers
  EXPECT_EQ(SortIntoArray(e, 0.5, true, false), 0);
  EXPECT_EQ(e[1], 1.0);
  EXPECT_TRUE(std::isnan(e[2]));
  std::vector<double> f{5, kNaN, kNaN};
  EXPECT_EQ(SortIntoArray(f, 2.0, false, false), 1);
  EXPECT_EQ(f[1], 2.0);
  EXPECT_EQ(SortIntoArray(f, kNaN, false, false), -1);  // an equal NaN is present
}

TEST(SortIntoArray, UntypedIsOneBased) {
  double d[4] = {1, 3, 5, 7};
  double nv = 4;
  EXPECT_EQ(SortIntoArray(d, 4, vkDouble, &nv, true, false), 3);
  EXPECT_EQ(d[2], 4.0);
  EXPECT_EQ(d[3], 5.0);
  nv = 9;
  EXPECT_EQ(SortIntoArray(d, 4, vkDouble, &nv, true, false), 0);
  nv = 3;
  EXPECT_EQ(SortIntoArray(d, 4, vkReal, &nv, true, false), 0);
  int32_t k[3] = {30, 20, 10};
  int32_t kv = 25;
  EXPECT_EQ(SortIntoArray(k, 3, vkInteger, &kv, false, false), 2);
  EXPECT_EQ(k[1], 25);
  EXPECT_EQ(k[2], 20);
  float f[2] = {1, 2};
  float fv = 1.5f;
  EXPECT_EQ(SortIntoArray(f, 2, vkSingle, &fv, true, false), 2);
  EXPECT_EQ(f[1], 1.5f);
  EXPECT_EQ(SortIntoArray(f, 2, vkString, &fv, true, false), 0);
  EXPECT_EQ(SortIntoArray(f, 0, vkSingle, &fv, true, false), 0);
  EXPECT_EQ(SortIntoArray(f, 2, vkSingle, nullptr, true, false), 0);
}

TEST(InsertIntoArray, TypedAndUntyped) {
  std::vector<double> d{1, 2, 3, 4};
  InsertIntoArray(d, 9.0, 1);
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 3}));
  InsertIntoArray(d, 8.0, 3);
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 8}));
  InsertIntoArray(d, 7.0, 4);
  InsertIntoArray(d, 7.0, -1);
  EXPECT_EQ(d, (std::vector<double>{1, 9, 2, 8}));
  std::vector<int32_t> k{5, 6};
  InsertIntoArray(k, 4, 0);
  EXPECT_EQ(k, (std::vector<int32_t>{4, 5}));
  float f[3] = {1, 2, 3};
  float fv = 0.5f;
  InsertIntoArray(f, 3, vkSingle, 1, &fv);
  EXPECT_EQ(f[0], 0.5f);
  EXPECT_EQ(f[1], 1.0f);
  EXPECT_EQ(f[2], 2.0f);
  InsertIntoArray(f, 3, vkSingle, 4, &fv);  // beyond NumElems
  InsertIntoArray(f, 3, vkSingle, 0, &fv);  // 1-based: 0 is outside
  InsertIntoArray(f, 3, vkBoolean, 1, &fv);
  EXPECT_EQ(f[0], 0.5f);
  EXPECT_EQ(f[2], 2.0f);
  int32_t u[2] = {1, 2};
  int32_t uv = 9;
  InsertIntoArray(u, 2, vkLongint, 2, &uv);
  EXPECT_EQ(u[0], 1);
  EXPECT_EQ(u[1], 9);
}
