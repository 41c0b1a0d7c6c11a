#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "vector/vector_test_util.h"

using namespace qmx;
using namespace vectest;

namespace {

// Bitwise CRC-32 (reflected 0xEDB88320), independent of the library's table.
std::string Crc32Hex(const std::vector<uint8_t>& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", c ^ 0xFFFFFFFFu);
  return buf;
}

struct EventLog {
  int changes = 0;
  std::vector<std::array<int32_t, 5>> swaps;
  void Attach(TVector& v) {
    v.OnChange = [this](TObject*) { ++changes; };
    v.OnSortExchange = [this](TObject*, uint8_t k, int32_t a, int32_t b, int32_t f, int32_t l) {
      swaps.push_back({k, a, b, f, l});
    };
  }
};

}  // namespace

TEST(VectorStorage, NewVectorAccessAndResize) {
  TVector v;
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.Elem(0) + v.Elem(1) + v.Elem(2), 0.0);
  EventLog log;
  log.Attach(v);
  v.SetVal(2, 5.0);  // beyond the size: neither grows nor fires
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_EQ(log.changes, 0);
  EXPECT_TRUE(v.IsEmpty());
  v.SetVal(1, 5.0);
  EXPECT_EQ(log.changes, 1);
  EXPECT_FALSE(v.IsEmpty());
  Set(v, {1, 2, 3});
  log.changes = 0;
  EXPECT_FALSE(v.Resize(0));
  EXPECT_FALSE(v.Resize(-4));
  EXPECT_TRUE(v.Resize(3));  // same size: no event
  EXPECT_EQ(log.changes, 0);
  EXPECT_TRUE(v.Resize(5));
  EXPECT_EQ(log.changes, 1);
  EXPECT_EQ(Values(v), (D{1, 2, 3, 0, 0}));
  v.SetVecSize(2);
  v.SetVecSize(0);
  EXPECT_EQ(Values(v), (D{1, 2}));
  v.Clear();
  v.Resize(4);  // Resize leaves IsEmpty alone
  EXPECT_TRUE(v.IsEmpty());
  v.Fill(2.5);
  EXPECT_FALSE(v.IsEmpty());
  EXPECT_EQ(Values(v), (D{2.5, 2.5, 2.5, 2.5}));
}

TEST(VectorStorage, AssignCopiesHandlersCloneDoesNot) {
  TVector a, b, c, d;
  Set(a, {1, 2, 3});
  int aChanges = 0, bChanges = 0;
  a.OnChange = [&](TObject*) { ++aChanges; };
  b.OnChange = [&](TObject*) { ++bChanges; };
  c.Assign(&a);
  EXPECT_EQ(Values(c), Values(a));
  EXPECT_FALSE(c.IsEmpty());
  EXPECT_EQ(aChanges, 0);  // Assign fires nothing
  c.SetVal(1, 9);
  EXPECT_EQ(aChanges, 1);  // c now carries a's handler
  b.Clone(&a);             // resize (1 event) + 3 element writes + 1 final event
  EXPECT_EQ(bChanges, 5);
  EXPECT_EQ(Values(b), Values(a));
  b.Clone(nullptr);
  EXPECT_EQ(bChanges, 5);
  a.AssignTo(&d);
  EXPECT_EQ(Values(d), Values(a));
  TIntVector iv;
  EXPECT_THROW(a.Assign(&iv), EConvertError);
  EXPECT_THROW(iv.Assign(&a), EConvertError);
  EXPECT_THROW(a.AssignTo(&iv), EConvertError);
}

TEST(VectorStorage, ChecksumIsPerByteCRC) {
  TVector v;  // one element 0.0: every accumulator sees one zero byte
  EXPECT_EQ(Crc32Hex({0}), "D202EF8D");
  std::string expect;
  for (int k = 0; k < 8; ++k) expect += "D202EF8D";
  EXPECT_EQ(v.CRCofData(), expect);
  // Byte k of each value goes to accumulator k.
  const double vals[2] = {1.0, -2.5};
  Set(v, {vals[0], vals[1]});
  expect.clear();
  for (int k = 0; k < 8; ++k) {
    std::vector<uint8_t> bytes;
    for (double x : vals) {
      uint64_t b;
      std::memcpy(&b, &x, 8);
      bytes.push_back(static_cast<uint8_t>(b >> (8 * k)));
    }
    expect += Crc32Hex(bytes);
  }
  EXPECT_EQ(v.CRCofData(), expect);
}

TEST(VectorArithmetic, ElementWiseAndDimensionCheck) {
  TVector a, b, c;
  a.SetName("va");
  Set(a, {1, -2, 3});
  Set(b, {4, 5, 6});
  Set(c, {1, 2});
  a.Add(&b);
  EXPECT_EQ(Values(a), (D{5, 3, 9}));
  a.Subtract(&b);
  EXPECT_EQ(Values(a), (D{1, -2, 3}));
  EXPECT_EQ(a.DotProduct(&b), 4 - 10 + 18);
  EXPECT_EQ(a.DotProduct(nullptr), 0.0);
  try {
    a.Add(&c);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"va\": vectors have different dimensions");
  }
  EXPECT_THROW(a.Subtract(&c), EQMXVectorError);
  EXPECT_THROW(a.DotProduct(&c), EQMXVectorError);
  EXPECT_EQ(Values(a), (D{1, -2, 3}));  // the check precedes any write
  a.AbsVal();
  a.SMult(-0.5);
  a.Mirror();
  EXPECT_EQ(Values(a), (D{-1.5, -1, -0.5}));
}

TEST(VectorArithmetic, DistanceLengthAndCorrelate) {
  TVector a, b, c;
  Set(a, {0, 0});
  Set(b, {3, 4});
  Set(c, {1});
  EXPECT_EQ(a.EuclideanDistance(&b), 5.0);
  try {
    a.EuclideanDistance(&c);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "EuclideanDistance: dimensions of vectors do not match");
  }
  EXPECT_EQ(b.Leng(), 5.0);
  b.SetVecLeng(2);
  EXPECT_DOUBLE_EQ(b.Elem(1), 1.2);
  EXPECT_DOUBLE_EQ(b.Elem(2), 1.6);
  try {
    a.SetVecLeng(2);
    FAIL() << "no error";
  } catch (const EQMXVectorError& e) {
    EXPECT_STREQ(e.what(), "vector has zero length");
  }
  // Sum of x_i * y_(i+shift); partners outside y count 0, whatever the shift.
  Set(a, {1, 2, 3});
  Set(b, {10, 20, 30, 40});
  EXPECT_EQ(a.Correlate(&b, 0), 140);
  EXPECT_EQ(a.Correlate(&b, 1), 200);
  EXPECT_EQ(a.Correlate(&b, 2), 110);
  EXPECT_EQ(a.Correlate(&b, -2), 30);
  EXPECT_EQ(a.Correlate(&b, 2147483647) + a.Correlate(&b, -2147483647 - 1), 0.0);
  EXPECT_EQ(a.Correlate(nullptr, 0), 0.0);
}

TEST(VectorSearch, FindAndBisection) {
  TVector v;
  Set(v, {2, 4, 6});
  EXPECT_EQ(v.Find(0, 0, 5), 2);  // equally near 4 and 6: lower index
  EXPECT_EQ(v.Find(3, 3, 0), 3);
  EXPECT_EQ(v.Find(0, 0, std::numeric_limits<double>::quiet_NaN()), 0);
  Set(v, {1, 3, 5, 7});
  EXPECT_EQ(v.FindInSortedVector(true, 4.0), 3);  // equal distances give hi
  EXPECT_EQ(v.FindInSortedVector(true, 3.0), 2);
  EXPECT_EQ(v.FindInSortedVector(true, 7.0), 4);
  EXPECT_EQ(v.FindInSortedVector(true, -9.0), 1);
  Set(v, {7, 5, 3, 1});
  EXPECT_EQ(v.FindInSortedVector(false, 1.2), 4);
  EXPECT_EQ(v.FindInSortedVector(false, 5.9), 2);
  Set(v, {42});
  EXPECT_EQ(v.FindInSortedVector(true, -1), 1);
}

TEST(VectorSearch, SortEventsAndResult) {
  TVector v;
  EventLog log;
  log.Attach(v);
  v.SortElems(true, 0, 0);  // one element: nothing at all
  EXPECT_EQ(log.changes, 0);
  Set(v, {3, 1, 2});
  log.changes = 0;
  v.SortElems(true, 0, 0);
  EXPECT_EQ(Values(v), (D{1, 2, 3}));
  EXPECT_EQ(log.changes, 1);
  ASSERT_FALSE(log.swaps.empty());
  D replay{3, 1, 2};  // replaying the reported swaps must give the sorted result
  for (const auto& s : log.swaps) {
    EXPECT_EQ(s[0] + s[3] + s[4], 0);
    std::swap(replay[s[1] - 1], replay[s[2] - 1]);
  }
  EXPECT_EQ(replay, Values(v));
  // A reversed sub-range, descending, on pseudo-random data against std::sort.
  TVector w;
  w.Resize(200);
  RandSeed(7);
  w.FillRandomUniform(-5, 5);
  D ref = Values(w);
  w.SortElems(false, 150, 21);
  std::sort(ref.begin() + 20, ref.begin() + 150, std::greater<double>());
  EXPECT_EQ(Values(w), ref);
  // Shuffling keeps the elements and fires nothing.
  log.changes = 0;
  v.Resize(100);
  for (int32_t i = 1; i <= 100; ++i) v.SetVal(i, i);
  log.changes = 0;
  v.ShuffleElems();
  EXPECT_EQ(log.changes, 0);
  D s = Values(v);
  std::sort(s.begin(), s.end());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(s[static_cast<std::size_t>(i)], i + 1);
}

TEST(VectorCopy, CopyFromClampsAndSkips) {
  TVector src, dst, one;
  Set(src, {10, 20, 30, 40, 50, 60});
  dst.Resize(12);
  dst.CopyFrom(&src, 5, 2, 10);  // source 2..5 to 10..12, the fourth dropped
  EXPECT_EQ(D(dst.Data().begin() + 8, dst.Data().end()), (D{0, 20, 30, 40}));
  one.Resize(3);
  one.CopyFrom(&src, 0, 0, 2);  // (0, 0) is element 1 only here
  one.CopyFrom(&src, 1, 3, -2147483647);  // far-off destination: skipped, no overflow
  EXPECT_EQ(Values(one), (D{0, 10, 0}));
  src.CopyFrom(&src, 1, 4, 3);  // overlapping copy within one vector moves the stretch intact
  EXPECT_EQ(Values(src), (D{10, 20, 10, 20, 30, 40}));
}

TEST(VectorRandom, FillsStayInRangeWithExpectedMoments) {
  RandSeed(11);
  TVector v;
  v.Resize(20000);
  v.FillRandomUniform(2, 5);
  double mn, mx, mean, var;
  v.MinMax(0, 0, mn, mx);
  EXPECT_GE(mn, 2.0);
  EXPECT_LT(mx, 5.0);
  v.MeanVar(0, 0, mean, var);
  EXPECT_NEAR(mean, 3.5, 5 * std::sqrt(0.75 / 20000));
  v.FillRandomGauss(10, 2);
  v.MeanVar(0, 0, mean, var);
  EXPECT_NEAR(mean, 10, 5 * 2 / std::sqrt(20000.0));
  EXPECT_NEAR(var, 4, 0.2);
}
