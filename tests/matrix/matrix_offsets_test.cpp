// Block copies whose destination lies near the ends of the index range, clones of a matrix into
// itself, and percentiles asked for a probability that is not a number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "matrix/tmatrix_test_util.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
using qmxtest::ChangeCounter;
using qmxtest::SetRows;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(TMatrixCopyOffsets, DestinationNearTheEndOfTheIndexRangeWritesNothing) {
  TMatrix src;
  SetRows(src, {{1, 2, 3}, {4, 5, 6}});
  TMatrix dst;
  dst.Resize(3, 2);
  dst.Fill(9.0);
  ChangeCounter cc;
  cc.Attach(dst);
  dst.CopyFrom(&src, 1, 1, 3, 2, kMax - 1, 1);
  dst.CopyFrom(&src, 1, 1, 3, 2, 1, kMax - 1);
  dst.CopyFrom(&src, 1, 1, 3, 2, kMin, kMin);
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 2; ++r) EXPECT_EQ(dst.GetVal(c, r), 9.0);
  EXPECT_EQ(cc.n, 3);  // only the closing event of each call
}

TEST(TMatrixCopyOffsets, PartlyOutsideDestinationKeepsTheCellsThatFit) {
  TMatrix src;
  SetRows(src, {{1, 2, 3}, {4, 5, 6}});
  TMatrix dst;
  dst.Resize(2, 2);
  // Source column c lands in column c - 2: only column 3 fits (in column 1); source row r
  // lands in row r + 1: only row 1 fits (in row 2).
  dst.CopyFrom(&src, 1, 1, 3, 2, -1, 2);
  EXPECT_EQ(dst.GetVal(1, 2), 3.0);
  EXPECT_EQ(dst.GetVal(1, 1), 0.0);
  EXPECT_EQ(dst.GetVal(2, 1), 0.0);
  EXPECT_EQ(dst.GetVal(2, 2), 0.0);
}

TEST(TMatrixCopyOffsets, VectorCopyNearTheEndOfTheIndexRange) {
  TVector v;
  v.Resize(3);
  v.SetVal(1, 7.0);
  v.SetVal(2, 8.0);
  v.SetVal(3, 9.0);
  TMatrix m;
  m.Resize(2, 2);
  m.CopyFromVec(static_cast<TDims>(0), &v, 1, 3, kMax - 1, 1);
  m.CopyFromVec(&v, 1, 3, 1, kMax - 1);
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0.0);
  // Starting at column 0 along row 2: element 2 lands in column 1, element 3 in column 2.
  m.CopyFromVec(static_cast<TDims>(0), &v, 1, 3, 0, 2);
  EXPECT_EQ(m.GetVal(1, 2), 8.0);
  EXPECT_EQ(m.GetVal(2, 2), 9.0);
  EXPECT_EQ(m.GetVal(1, 1), 0.0);
  // Down column 1 from row -1: only element 3 lands (in row 1).
  m.CopyFromVec(&v, 1, 3, 1, -1);
  EXPECT_EQ(m.GetVal(1, 1), 9.0);
  EXPECT_EQ(m.GetVal(1, 2), 8.0);
}

TEST(TIntMatrixCopyOffsets, DestinationNearTheEndOfTheIndexRange) {
  TIntMatrix src;
  src.Resize(3, 2);
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 2; ++r) src.SetVal(c, r, 10 * c + r);
  TIntMatrix dst;
  dst.Resize(2, 2);
  dst.CopyFrom(&src, 1, 1, 3, 2, kMax - 1, kMax - 1);
  EXPECT_EQ(dst.Sum(0, 0, 0, 0), 0);
  dst.CopyFrom(&src, 1, 1, 3, 2, 0, 1);  // columns 2 and 3 land in 1 and 2
  EXPECT_EQ(dst.GetVal(1, 1), 21);
  EXPECT_EQ(dst.GetVal(2, 2), 32);

  TIntMatrix sp(nullptr, 4);
  sp.SetVal(2, 2, 0);  // a 2 x 2 sparse matrix (the record holds 0)
  sp.CopyFrom(&src, 1, 1, 3, 2, kMax, 1);
  EXPECT_EQ(sp.SparseNumElem(), 1);
  EXPECT_EQ(sp.NrOfColumns(), 2);
}

TEST(TMatrixSelfClone, WritesEveryCellBackWithTheEventsOfAnyClone) {
  TMatrix m;
  SetRows(m, {{1, 2}, {3, 4}, {5, 6}});
  ChangeCounter cc;
  cc.Attach(m);
  m.Clone(&m);
  EXPECT_EQ(cc.n, 7);  // six cells, then the closing event; the size did not change
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.GetVal(1, 1), 1.0);
  EXPECT_EQ(m.GetVal(2, 3), 6.0);
}

TEST(TIntMatrixSelfClone, DenseAndSparse) {
  TIntMatrix d;
  d.Resize(2, 2);
  d.SetVal(1, 2, 5);
  int n = 0;
  d.OnChange = [&n](TObject*) { ++n; };
  d.Clone(&d);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(d.GetVal(1, 2), 5);
  EXPECT_EQ(d.Sum(0, 0, 0, 0), 5);

  TIntMatrix s(nullptr, 2);
  s.SetVal(3, 1, 7);
  s.SetVal(1, 2, -4);
  n = 0;
  s.OnChange = [&n](TObject*) { ++n; };
  s.Clone(&s);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(s.SparseNumElem(), 2);
  EXPECT_EQ(s.GetVal(3, 1), 7);
  EXPECT_EQ(s.GetVal(1, 2), -4);
  EXPECT_EQ(s.NrOfColumns(), 3);
  EXPECT_EQ(s.NrOfRows(), 2);
}

TEST(TIntMatrixPercentile, ProbabilityThatIsNotANumberCountsAsZero) {
  TIntMatrix m;
  m.Resize(2, 2);
  m.SetVal(1, 1, 5);
  m.SetVal(2, 1, -3);
  m.SetVal(1, 2, 8);
  m.SetVal(2, 2, 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(m.Percentile(nan, 0, 0, 0, 0), -3.0);
  EXPECT_EQ(m.Percentile(nan, 0, 0, 0, 0, 0), -3.0);
  // A sample of three cells: with the probability taken as 0 the result is the smallest drawn
  // value, so one of the four cells.
  const double s = m.Percentile(nan, 0, 0, 0, 0, 3);
  EXPECT_TRUE(s == 5.0 || s == -3.0 || s == 8.0 || s == 1.0) << s;
  // The clamped ends for comparison: 0 % is the smallest cell, 100 % the largest.
  EXPECT_EQ(m.Percentile(-20, 0, 0, 0, 0), -3.0);
  EXPECT_EQ(m.Percentile(250, 0, 0, 0, 0), 8.0);
}

// A sparse matrix reaches the last index cheaply; walks over blocks that end there must stop.
TEST(TIntMatrixLastIndex, BlocksEndingAtTheLastRowAreWalkedOnce) {
  TIntMatrix s(nullptr, 4);
  s.SetVal(1, kMax, 3);
  ASSERT_EQ(s.NrOfRows(), kMax);
  // Rows kMax-2..kMax of column 1 hold (0, 0, 3): mean 1, deviations (-1, -1, 2), s^2 = 3,
  // skewness (6/3) / 3^(3/2), kurtosis (18/3) / 9 - 3.
  double skew = 0, kurt = 0;
  s.SkewKurt(1, kMax - 2, 1, kMax, skew, kurt);
  EXPECT_NEAR(skew, 2.0 / (3.0 * std::sqrt(3.0)), 1e-15);
  EXPECT_NEAR(kurt, 2.0 / 3.0 - 3.0, 1e-15);
  double q1 = -1, q2 = -1, q3 = -1;
  EXPECT_TRUE(s.Quartiles(1, kMax - 2, 1, kMax, q1, q2, q3));
  EXPECT_EQ(q1, 0.0);
  EXPECT_EQ(q2, 0.0);
  EXPECT_EQ(q3, 3.0);
  int32_t fc = 0, fr = 0;
  s.Find(1, 1, kMax - 2, kMax, 3, fc, fr);
  EXPECT_EQ(fc, 1);
  EXPECT_EQ(fr, kMax);
  EXPECT_EQ(s.FindInSortedColumn(1, true, 3), kMax);

  TIntMatrix d;
  d.Resize(1, 3);
  d.CopyFrom(&s, 1, kMax - 2, 1, kMax, 1, 1);
  EXPECT_EQ(d.GetVal(1, 1), 0);
  EXPECT_EQ(d.GetVal(1, 2), 0);
  EXPECT_EQ(d.GetVal(1, 3), 3);
}

TEST(TIntMatrixLastIndex, TextFileOfABlockEndingAtTheLastRow) {
  TIntMatrix s(nullptr, 4);
  s.SetVal(1, kMax, 3);
  const std::string f = testing::TempDir() + "qmx_last_row.txt";
  ASSERT_TRUE(s.StoreOnFile(1, kMax - 1, 1, kMax, f));
  std::ifstream in(f);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "1 2147483646 1 2147483647\n0\n3\n");

  // Loaded without resizing into a sparse matrix that already has the last row.
  TIntMatrix t(nullptr, 4);
  t.SetVal(1, kMax, 1);
  ASSERT_TRUE(t.LoadFromFile(f, false));
  EXPECT_EQ(t.GetVal(1, kMax), 3);
  EXPECT_EQ(t.GetVal(1, kMax - 1), 0);
  EXPECT_EQ(t.SparseNumElem(), 1);  // the zero had no record and gets none
}

}  // namespace
