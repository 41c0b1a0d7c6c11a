// TMatrix storage, element access, copying, arithmetic, reordering and searching.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "matrix/tmatrix_test_util.h"
#include "qmx/math1.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
using qmxtest::ChangeCounter;
using qmxtest::SetRows;

namespace {

TEST(TMatrixStorage, NewMatrixDefaultsAndOutOfRangeAccess) {
  TMatrix m;
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.NrOfRows(), 1);
  EXPECT_EQ(m.Elem(1, 1), 0.0);
  EXPECT_EQ(m.DataID(), "");
  EXPECT_EQ(m.Precision(1), 15);
  EXPECT_EQ(m.Precision(2), -1);
  ChangeCounter cc;
  cc.Attach(m);
  m.SetVal(2, 1, 5.0);  // outside: ignored, no event
  m.SetVal(1, 0, 5.0);
  EXPECT_EQ(cc.n, 0);
  EXPECT_EQ(m.GetVal(2, 1), 0.0);
  EXPECT_EQ(m.GetVal(0, 1), 0.0);
  m.SetVal(1, 1, 3.5);
  EXPECT_EQ(cc.n, 1);
  EXPECT_EQ(m.Elem(1, 1), 3.5);
}

TEST(TMatrixStorage, ResizeKeepsOverlapZeroFillsAndHandlesZeroDimensions) {
  TMatrix m;
  SetRows(m, {{1, 2}, {3, 4}});
  ChangeCounter cc;
  cc.Attach(m);
  EXPECT_TRUE(m.Resize(2, 2));
  EXPECT_EQ(cc.n, 0);  // same size: no event
  EXPECT_TRUE(m.Resize(3, 3));
  EXPECT_EQ(cc.n, 1);
  EXPECT_EQ(m.Elem(1, 1), 1);
  EXPECT_EQ(m.Elem(2, 1), 2);
  EXPECT_EQ(m.Elem(1, 2), 3);
  EXPECT_EQ(m.Elem(2, 2), 4);
  EXPECT_EQ(m.Elem(3, 3), 0);
  EXPECT_EQ(m.Elem(3, 1), 0);

  m.Resize(0, 5);
  EXPECT_EQ(m.NrOfColumns(), 0);
  EXPECT_EQ(m.NrOfRows(), 5);
  EXPECT_EQ(m.GetVal(1, 1), 0.0);
  m.Resize(2, 5);
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(m.Elem(1, r), 0.0);
  m.Resize(-1, 2);
  EXPECT_EQ(m.NrOfColumns(), 0);
  m.SetNRows(-4);
  EXPECT_EQ(m.NrOfRows(), 0);
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0.0);
}

TEST(TMatrixStorage, HugeResizeRaisesAndKeepsMatrix) {
  TMatrix m;
  m.SetName("M");
  SetRows(m, {{1, 2}});
  try {
    m.Resize(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
    FAIL() << "no error";
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"M\": not enough memory on heap");
  }
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.NrOfRows(), 1);
  EXPECT_EQ(m.Elem(2, 1), 2);
}

TEST(TMatrixStorage, PrecisionIsClamped) {
  TMatrix m;
  m.SetFPrecis(1, 40);
  EXPECT_EQ(m.GetFPrecis(1), 25);
  m.SetFPrecis(2, -9);
  EXPECT_EQ(m.GetFPrecis(2), -1);
  m.SetFPrecis(0, 7);
  EXPECT_EQ(m.GetFPrecis(0), 7);
  EXPECT_EQ(m.GetFPrecis(1), 7);
}

TEST(TMatrixStorage, AssignCopiesEventsCloneDoesNot) {
  TMatrix a, b, c;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}});
  a.SetDataID("set");
  a.SetFPrecis(1, 4);
  int fired = 0;
  a.OnChange = [&](TObject*) { ++fired; };
  b.Assign(&a);
  EXPECT_EQ(fired, 0);  // Assign fires nothing
  EXPECT_EQ(b.NrOfColumns(), 3);
  EXPECT_EQ(b.Elem(3, 2), 6);
  EXPECT_EQ(b.DataID(), "set");
  EXPECT_EQ(b.Precision(1), 4);
  b.SetVal(1, 1, 9);  // b now carries a's handler
  EXPECT_EQ(fired, 1);

  ChangeCounter cc;
  cc.Attach(c);
  c.Clone(&a);
  EXPECT_EQ(c.Elem(2, 1), 2);
  EXPECT_EQ(c.DataID(), "");
  EXPECT_EQ(cc.n, 1 + 6 + 1);  // resize, one per cell, one at the end
  EXPECT_EQ(fired, 1);

  TVector v;
  EXPECT_THROW(a.Assign(&v), EConvertError);
  EXPECT_THROW(a.AssignTo(&v), EConvertError);
  TMatrix d;
  a.AssignTo(&d);
  EXPECT_EQ(d.Elem(1, 2), 4);
}

TEST(TMatrixStorage, ChecksumIsThatOfTheCellsInColumnOrder) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  const std::vector<double> colOrder{1, 4, 2, 5, 3, 6};
  EXPECT_EQ(m.CRCofData(), CRCTextOf(std::span<const double>(colOrder)));
  EXPECT_EQ(m.CRCofData().size(), 64u);
}

TEST(TMatrixArithmetic, FillsAndElementwiseOperations) {
  TMatrix a, b, r;
  a.Resize(2, 3);
  a.Fill(2);
  a.FillDiag(5);
  EXPECT_EQ(a.Elem(1, 1), 5);
  EXPECT_EQ(a.Elem(2, 2), 5);
  EXPECT_EQ(a.Elem(1, 3), 2);
  a.SMult(2);
  a.SAdd(-1);
  EXPECT_EQ(a.Elem(1, 1), 9);
  EXPECT_EQ(a.Elem(2, 1), 3);

  b.Resize(3, 2);
  b.Fill(1);
  EXPECT_FALSE(a.Add(&b));
  EXPECT_FALSE(a.Subtract(nullptr));
  EXPECT_FALSE(a.EMult(&b, &r));
  EXPECT_EQ(a.Elem(1, 1), 9);
  EXPECT_EQ(b.Elem(1, 1), 1);

  b.Resize(2, 3);
  b.Fill(3);
  EXPECT_TRUE(a.Add(&b));
  EXPECT_EQ(a.Elem(1, 1), 12);
  EXPECT_TRUE(a.Subtract(&b));
  EXPECT_TRUE(a.EMult(&b, &r));
  EXPECT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.NrOfRows(), 3);
  EXPECT_EQ(r.Elem(1, 1), 27);
  EXPECT_EQ(r.Elem(2, 3), 9);

  RandSeed(5);
  a.Resize(20, 20);
  a.FillRandomUniform(-2, 3);
  double mn, mx;
  a.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_GE(mn, -2);
  EXPECT_LT(mx, 3);
  EXPECT_LT(mn, -1.5);  // 400 draws cover the range
  EXPECT_GT(mx, 2.5);
}

TEST(TMatrixReorder, TransposeExchangeAndMirror) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});  // 3 columns, 2 rows
  EXPECT_TRUE(m.Transpose());
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.Elem(1, 3), 3);
  EXPECT_EQ(m.Elem(2, 1), 4);
  EXPECT_EQ(m.Elem(2, 3), 6);
  TMatrix sq;  // square matrices are transposed in place, across tile borders too
  sq.Resize(37, 37);
  for (int c = 1; c <= 37; ++c)
    for (int r = 1; r <= 37; ++r) sq.SetVal(c, r, 100 * c + r);
  ChangeCounter tc;
  tc.Attach(sq);
  EXPECT_TRUE(sq.Transpose());
  EXPECT_EQ(tc.n, 1);
  for (int c = 1; c <= 37; ++c)
    for (int r = 1; r <= 37; ++r) ASSERT_EQ(sq.Elem(c, r), 100 * r + c);

  TMatrix e;
  SetRows(e, {{1, 2, 3}, {4, 5, 6}});
  e.MirrorColumns();
  EXPECT_EQ(e.Elem(1, 1), 3);
  EXPECT_EQ(e.Elem(3, 2), 4);
  e.MirrorRows();
  EXPECT_EQ(e.Elem(1, 1), 6);
  e.ExchangeColumns(1, 3);
  EXPECT_EQ(e.Elem(1, 1), 4);
  e.ExchangeRows(1, 2);
  EXPECT_EQ(e.Elem(1, 1), 1);
  ChangeCounter cc;
  cc.Attach(e);
  e.ExchangeColumns(0, 4);  // invalid: nothing happens
  e.ExchangeRows(1, 3);
  EXPECT_EQ(cc.n, 0);
  EXPECT_EQ(e.CRCofData(), [] {
    TMatrix f;
    SetRows(f, {{1, 2, 3}, {4, 5, 6}});
    return f.CRCofData();
  }());
}

// Rows of a 3-column matrix as tuples, to check that rows move as wholes.
std::vector<std::tuple<double, double, double>> RowTuples(const TMatrix& m) {
  std::vector<std::tuple<double, double, double>> t;
  for (int r = 1; r <= m.NrOfRows(); ++r) t.emplace_back(m.Elem(1, r), m.Elem(2, r), m.Elem(3, r));
  return t;
}

TEST(TMatrixSort, SortRowsMovesTheKeyAndFiresExchanges) {
  TMatrix m;
  SetRows(m, {{3, 30, 300}, {1, 10, 100}, {2, 20, 200}, {0, 0, 0}});
  std::vector<std::tuple<int, int, int, int, int>> ex;
  m.OnSortExchange = [&](TObject* s, uint8_t k, int32_t i, int32_t j, int32_t f, int32_t l) {
    EXPECT_EQ(s, &m);
    ex.emplace_back(k, i, j, f, l);
  };
  ChangeCounter cc;
  cc.Attach(m);
  // Key column 1 outside the moved columns 2..3, rows 1..3 only.
  m.SortRows(1, true, 2, 1, 3, 3);
  EXPECT_EQ(cc.n, 1);
  ASSERT_FALSE(ex.empty());
  for (auto& e : ex) {
    EXPECT_EQ(std::get<0>(e), 2);
    EXPECT_EQ(std::get<3>(e), 2);
    EXPECT_EQ(std::get<4>(e), 3);
  }
  using T = std::tuple<double, double, double>;
  EXPECT_EQ(RowTuples(m), (std::vector<T>{T{1, 10, 100}, T{2, 20, 200}, T{3, 30, 300}, T{0, 0, 0}}));
  // Replaying the reported swaps on the original order gives the final order.
  std::vector<int> pos{1, 2, 3};
  for (auto& e : ex) std::swap(pos[std::get<1>(e) - 1], pos[std::get<2>(e) - 1]);
  EXPECT_EQ(pos, (std::vector<int>{2, 3, 1}));

  m.SortRows(2, false, 0, 0, 0, 0);
  EXPECT_EQ(RowTuples(m), (std::vector<T>{T{3, 30, 300}, T{2, 20, 200}, T{1, 10, 100}, T{0, 0, 0}}));

  // A single-row range fires nothing; an invalid key leaves the matrix alone.
  cc.n = 0;
  ex.clear();
  m.SortRows(1, true, 0, 2, 0, 2);
  m.SortRows(7, true, 0, 0, 0, 0);
  EXPECT_EQ(cc.n, 0);
  EXPECT_TRUE(ex.empty());
}

TEST(TMatrixSort, FastAndObservedPathsAgreeAndKeepRowsWhole) {
  RandSeed(11);
  TMatrix a, b;
  a.Resize(3, 500);
  std::vector<double> key(501);
  for (int r = 1; r <= 500; ++r) {
    const double k = RandomInt(40);  // many equal keys
    key[r] = k;
    a.SetVal(1, r, r);
    a.SetVal(2, r, k);
    a.SetVal(3, r, -r);
  }
  b.Assign(&a);
  int swaps = 0;
  b.OnSortExchange = [&](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { ++swaps; };
  a.SortRows(2, true, 1, 11, 1, 480);  // key column outside the moved column 1
  b.SortRows(2, true, 1, 11, 1, 480);
  EXPECT_GT(swaps, 0);
  EXPECT_EQ(a.CRCofData(), b.CRCofData());
  for (int r = 1; r <= 500; ++r) {
    EXPECT_EQ(a.Elem(3, r), -r);  // column outside the sort stays
    if (r > 11 && r <= 480) {
      EXPECT_LE(a.Elem(2, r - 1), a.Elem(2, r));
    }
  }
  // Column 1 (the original row number) still pairs with the key of that row.
  for (int r = 11; r <= 480; ++r) {
    const int from = static_cast<int>(a.Elem(1, r));
    ASSERT_GE(from, 11);
    ASSERT_LE(from, 480);
    EXPECT_EQ(a.Elem(2, r), key[from]);
  }
}

TEST(TMatrixSort, SortColsOrdersColumnsByAKeyRow) {
  TMatrix m, n;
  SetRows(m, {{3, 1, 2, 9}, {30, 10, 20, 90}, {300, 100, 200, 900}});
  n.Assign(&m);
  std::vector<int> kinds;
  n.OnSortExchange = [&](TObject*, uint8_t k, int32_t, int32_t, int32_t f, int32_t l) {
    kinds.push_back(k);
    EXPECT_EQ(f, 2);
    EXPECT_EQ(l, 3);
  };
  // Key row 1 outside the moved rows 2..3; columns 1..3.
  m.SortCols(1, true, 1, 2, 3, 3);
  n.SortCols(1, true, 1, 2, 3, 3);
  const double want[3][4] = {{1, 2, 3, 9}, {10, 20, 30, 90}, {100, 200, 300, 900}};
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 4; ++c) {
      EXPECT_EQ(m.Elem(c, r), want[r - 1][c - 1]);
      EXPECT_EQ(n.Elem(c, r), want[r - 1][c - 1]);
    }
  ASSERT_FALSE(kinds.empty());
  for (int k : kinds) EXPECT_EQ(k, 1);
}

TEST(TMatrixSearch, FindCountAndBisection) {
  TMatrix m;
  SetRows(m, {{2, 6}, {4, 8}});
  int32_t c, r;
  m.Find(0, 0, 0, 0, 5, c, r);  // 4 (1,2) and 6 (2,1) tie: 4 is visited first
  EXPECT_EQ(c, 1);
  EXPECT_EQ(r, 2);
  m.Find(2, 2, 0, 0, 100, c, r);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(r, 2);
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 4, 6), 2);
  EXPECT_EQ(m.CountValues(1, 1, 0, 0, 0, 100), 2);

  TMatrix s;
  SetRows(s, {{1}, {3}, {5}, {7}});
  EXPECT_EQ(s.FindInSortedColumn(1, true, 4.0), 3);  // equal distances give the upper row
  EXPECT_EQ(s.FindInSortedColumn(1, true, 3.0), 2);
  EXPECT_EQ(s.FindInSortedColumn(1, true, 100.0), 4);
  EXPECT_EQ(s.FindInSortedColumn(2, true, 1.0), 0);  // no such column
  SetRows(s, {{7}, {5}, {3}, {1}});
  EXPECT_EQ(s.FindInSortedColumn(1, false, 6.2), 1);
}

TEST(TMatrixCopy, RowAndColumnToVector) {
  TMatrix m;
  SetRows(m, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
  TVector v;
  v.Resize(2);
  m.CopyRowToVec(&v, 2, 0, 0);
  EXPECT_EQ(v.Elem(1), 6);
  EXPECT_EQ(v.Elem(2), 7);
  v.Resize(4);
  m.CopyColToVec(&v, 9, 0, 0);  // column clamped to 5
  EXPECT_EQ(v.Elem(1), 5);
  EXPECT_EQ(v.Elem(2), 10);
  EXPECT_EQ(v.Elem(3), 0);  // filled with zeros first
  EXPECT_FALSE(v.IsEmpty());
  m.CopyRowToVec(nullptr, 1, 0, 0);
}

TEST(TMatrixCopy, BlockCopiesClampEachBoundAndSkipOutside) {
  TMatrix src, dst;
  SetRows(src, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  dst.Resize(3, 3);
  dst.CopyFrom(&src, 0, 0, 0, 0, 1, 1);  // (0, 0) is cell (1, 1) here
  EXPECT_EQ(dst.Elem(1, 1), 1);
  EXPECT_EQ(dst.Sum(0, 0, 0, 0), 1);
  dst.CopyFrom(&src, 3, 3, 2, 2, 2, 2);  // block 2..3 x 2..3 into (2, 2) and beyond
  EXPECT_EQ(dst.Elem(2, 2), 5);
  EXPECT_EQ(dst.Elem(3, 3), 9);
  dst.CopyFrom(&src, 1, 1, 3, 3, 3, 3);  // only (3, 3) lands inside
  EXPECT_EQ(dst.Elem(3, 3), 1);

  // Overlapping copy within one matrix reads the cells as they were.
  src.CopyFrom(&src, 1, 1, 2, 3, 2, 1);
  EXPECT_EQ(src.Elem(2, 1), 1);
  EXPECT_EQ(src.Elem(3, 1), 2);
  EXPECT_EQ(src.Elem(3, 3), 8);

  TVector v;
  v.Resize(4);
  for (int i = 1; i <= 4; ++i) v.SetVal(i, 10 * i);
  TMatrix m;
  m.Resize(3, 3);
  m.CopyFromVec(dimRows, &v, 2, 4, 2, 1);  // along row 1 from column 2: 20, 30 (40 falls off)
  EXPECT_EQ(m.Elem(2, 1), 20);
  EXPECT_EQ(m.Elem(3, 1), 30);
  m.CopyFromVec(&v, 0, 0, 1, 1);  // whole vector down column 1
  EXPECT_EQ(m.Elem(1, 1), 10);
  EXPECT_EQ(m.Elem(1, 3), 30);
}

// A minimal three-dimensional source: cell (c, r, l) holds 100*l + 10*c + r.
struct Fake3D {
  int32_t NrOfColumns() const { return 3; }
  int32_t NrOfRows() const { return 2; }
  int32_t NrOfLayers() const { return 4; }
  double GetVal(int32_t c, int32_t r, int32_t l) const { return 100 * l + 10 * c + r; }
};

TEST(TMatrixCopy, OneLayerOfAThreeDimensionalSource) {
  Fake3D src;
  TMatrix m;
  m.Resize(3, 2);
  m.CopyFrom(&src, 2, 1, 3, 2, 9, 1, 1);  // layer 9 clamps to 4
  EXPECT_EQ(m.Elem(1, 1), 421);
  EXPECT_EQ(m.Elem(2, 2), 432);
  m.CopyFrom(&src, 1, 1, 1, 1, -3, 3, 2);  // layer below 1 becomes 1
  EXPECT_EQ(m.Elem(3, 2), 111);
  m.CopyFrom(static_cast<const Fake3D*>(nullptr), 1, 1, 1, 1, 1, 1, 1);
}

TEST(TMatrixCopy, FromIntegerMatrix) {
  TIntMatrix im;
  im.Resize(2, 2);
  im.SetVal(1, 1, 3);
  im.SetVal(2, 2, -4);
  TMatrix m;
  m.Resize(2, 2);
  m.CopyFrom(&im, 0, 0, 2, 2, 1, 1);
  EXPECT_EQ(m.Elem(1, 1), 3.0);
  EXPECT_EQ(m.Elem(2, 2), -4.0);
}

}  // namespace
