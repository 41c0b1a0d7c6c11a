#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;

namespace {

// Matrix from rows as written on paper: Rows[r][c] becomes cell (c+1, r+1).
void SetRows(TIntMatrix& m, std::initializer_list<std::initializer_list<int32_t>> Rows) {
  const auto nr = static_cast<int32_t>(Rows.size());
  const auto nc = nr ? static_cast<int32_t>(Rows.begin()->size()) : 0;
  m.Resize(nc, nr);
  int32_t r = 1;
  for (const auto& row : Rows) {
    int32_t c = 1;
    for (int32_t v : row) m.SetVal(c++, r, v);
    ++r;
  }
}

std::vector<TSpMatElemInt> Records(const TIntMatrix& m) {
  std::vector<TSpMatElemInt> v;
  for (int32_t i = 1; i <= m.SparseNumElem(); ++i) v.push_back(m.SparseRecord(i));
  return v;
}

void ExpectRecords(const TIntMatrix& m, std::initializer_list<std::array<int32_t, 3>> want) {
  auto got = Records(m);
  ASSERT_EQ(got.size(), want.size());
  std::size_t i = 0;
  for (const auto& w : want) {
    EXPECT_EQ(got[i].colidx, w[0]) << "record " << i + 1;
    EXPECT_EQ(got[i].rowidx, w[1]) << "record " << i + 1;
    EXPECT_EQ(got[i].value, w[2]) << "record " << i + 1;
    ++i;
  }
}

}  // namespace

// ---- sparse representation ---------------------------------------------------------------------

TEST(TIntMatrixSparse, InsertionKeepsOrderGrowsDimensionsAndAllocation) {
  std::unique_ptr<TIntMatrix> m(TIntMatrix::CreateSparse(nullptr, 0));
  EXPECT_TRUE(m->IsSparse());
  EXPECT_EQ(m->AllocBy(), 1);
  EXPECT_EQ(m->NrOfColumns(), 0);
  EXPECT_EQ(m->NrOfRows(), 0);
  int changes = 0;
  m->OnChange = [&](TObject* s) {
    EXPECT_EQ(s, m.get());
    ++changes;
  };
  m->SetVal(5, 2, 11);
  m->SetVal(1, 7, 22);
  m->SetVal(5, 1, 33);
  ExpectRecords(*m, {{1, 7, 22}, {5, 1, 33}, {5, 2, 11}});
  EXPECT_EQ(m->NrOfColumns(), 5);
  EXPECT_EQ(m->NrOfRows(), 7);
  EXPECT_EQ(m->NumAllocated(), 3);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(m->GetVal(3, 3), 0);
  EXPECT_EQ(m->GetVal(5, 1), 33);
  EXPECT_EQ(m->GetVal(0, 1), 0);
  // Writing 0 keeps the record; writes at index 0 are ignored.
  m->SetVal(1, 7, 0);
  m->SetVal(0, 3, 5);
  EXPECT_EQ(m->SparseNumElem(), 3);
  EXPECT_EQ(m->GetVal(1, 7), 0);
  EXPECT_EQ(changes, 4);
}

TEST(TIntMatrixSparse, ResizeDropsRecordsAndSparseToArrayUsesBoundingBox) {
  TIntMatrix m(nullptr, 0);
  m.SetVal(5, 2, 11);
  m.SetVal(1, 7, 22);
  m.SetVal(5, 1, 33);
  m.SetVal(1, 7, 0);
  int changes = 0;
  m.OnChange = [&](TObject*) { ++changes; };
  EXPECT_FALSE(m.Resize(4, 10));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(m.NrOfColumns(), 4);
  EXPECT_EQ(m.NrOfRows(), 10);
  EXPECT_EQ(m.SparseHighCol(), 4);
  ExpectRecords(m, {{1, 7, 0}});
  m.SparseToArray();
  EXPECT_FALSE(m.IsSparse());
  EXPECT_EQ(m.NrOfColumns(), 4);
  EXPECT_EQ(m.NrOfRows(), 7);
  EXPECT_EQ(m.NumAllocated(), 0);
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0);
  EXPECT_EQ(changes, 0);
}

TEST(TIntMatrixSparse, ConversionsRoundTripAndKeepDimensions) {
  TIntMatrix d;
  SetRows(d, {{0, 4}, {3, 0}});
  d.ArrayToSparse(0);
  EXPECT_TRUE(d.IsSparse());
  EXPECT_EQ(d.AllocBy(), 1);
  ExpectRecords(d, {{1, 2, 3}, {2, 1, 4}});
  EXPECT_EQ(d.NrOfColumns(), 2);
  EXPECT_EQ(d.NrOfRows(), 2);
  d.ArrayToSparse(5);  // already sparse: nothing happens
  EXPECT_EQ(d.AllocBy(), 1);
  d.SparseToArray();
  EXPECT_EQ(d.GetVal(1, 2), 3);
  EXPECT_EQ(d.GetVal(2, 1), 4);
  EXPECT_EQ(d.GetVal(1, 1), 0);
  // Nothing stored gives a 1 x 1 dense matrix.
  TIntMatrix e(nullptr, 3);
  e.SparseToArray();
  EXPECT_EQ(e.NrOfColumns(), 1);
  EXPECT_EQ(e.NrOfRows(), 1);
}

TEST(TIntMatrixSparse, AllocationGrowsInStepsOfAllocBy) {
  TIntMatrix m(nullptr, 4);
  EXPECT_EQ(m.NumAllocated(), 4);
  for (int32_t i = 1; i <= 5; ++i) m.SetVal(i, 1, i);
  EXPECT_EQ(m.NumAllocated(), 8);
  m.Fill(0);
  EXPECT_EQ(m.NumAllocated(), 4);
}

TEST(TIntMatrixSparse, HugeAllocByCountsWithoutReserving) {
  TIntMatrix m(nullptr, 2147483647);
  EXPECT_EQ(m.NumAllocated(), 2147483647);
  m.SetVal(3, 4, 1);
  EXPECT_EQ(m.GetVal(3, 4), 1);
  EXPECT_EQ(m.NumAllocated(), 2147483647);
}

TEST(TIntMatrixSparse, FillTouchesOnlyRecordsAndZeroDropsThem) {
  TIntMatrix m(nullptr, 2);
  m.SetVal(1, 1, 5);
  m.SetVal(3, 2, 6);
  m.Fill(9);
  EXPECT_EQ(m.GetVal(1, 1), 9);
  EXPECT_EQ(m.GetVal(3, 2), 9);
  EXPECT_EQ(m.GetVal(2, 1), 0);
  m.Fill(0);
  EXPECT_EQ(m.SparseNumElem(), 0);
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.NrOfRows(), 2);
  EXPECT_EQ(m.SparseLowCol(), 2147483647);
  EXPECT_EQ(m.SparseHighRow(), 1);
}

TEST(TIntMatrixSparse, TransposeSwapsCellsAndDimensions) {
  TIntMatrix m(nullptr, 1);
  m.SetVal(1, 2, 7);
  m.SetVal(2, 1, 8);
  EXPECT_TRUE(m.Transpose());
  ExpectRecords(m, {{1, 2, 8}, {2, 1, 7}});
  // Non-square: the dimensions follow the records so nothing lies outside the matrix.
  TIntMatrix n(nullptr, 1);
  n.SetVal(2, 3, 1);
  n.SetVal(1, 1, 2);
  n.SetVal(2, 1, 3);
  n.Transpose();
  EXPECT_EQ(n.NrOfColumns(), 3);
  EXPECT_EQ(n.NrOfRows(), 2);
  ExpectRecords(n, {{1, 1, 2}, {1, 2, 3}, {3, 2, 1}});
  EXPECT_EQ(n.SparseHighCol(), 3);
  EXPECT_EQ(n.SparseHighRow(), 2);
}

TEST(TIntMatrixSparse, CloneNeedsSameRepresentationAndCarriesDimensions) {
  TIntMatrix s(nullptr, 1), t(nullptr, 7), d;
  s.SetVal(3, 4, 1);
  s.Resize(6, 9);
  d.SetVal(1, 1, 42);
  d.Clone(&s);  // dense target, sparse source: nothing
  EXPECT_EQ(d.GetVal(1, 1), 42);
  EXPECT_FALSE(d.IsSparse());
  t.Clone(&s);
  EXPECT_EQ(t.GetVal(3, 4), 1);
  EXPECT_EQ(t.AllocBy(), 1);
  EXPECT_EQ(t.NrOfColumns(), 6);
  EXPECT_EQ(t.NrOfRows(), 9);
}

TEST(TIntMatrixSparse, StatisticsFollowStoredOrLogicalCells) {
  TIntMatrix s(nullptr, 1);
  s.SetVal(1, 1, 3);
  s.SetVal(1, 3, -2);
  s.SetVal(2, 2, 10);
  // Sum and MinMax see the records only; unstored zeros do not take part in MinMax.
  EXPECT_EQ(s.Sum(0, 0, 0, 0), 11);
  EXPECT_EQ(s.Sum(1, 1, 1, 3), 1);
  int32_t mn, mx;
  s.MinMax(2, 0, 2, 0, mn, mx);
  EXPECT_EQ(mn, 10);
  EXPECT_EQ(mx, 10);
  // MeanVar counts every cell of the block: column 1 is (3, 0, -2).
  double mean, var;
  s.MeanVar(1, 1, 1, 3, mean, var);
  EXPECT_DOUBLE_EQ(mean, 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(var, (13.0 - 1.0 / 3.0) / 2.0);
  // Trace: the box is 2 x 3, so not square.
  EXPECT_EQ(s.Trace(), 0);
  s.SetVal(3, 3, 4);
  EXPECT_EQ(s.Trace(), 3 + 10 + 4);
}

TEST(TIntMatrixSparse, ReadOnlyDenseOperationsSeeTheLogicalMatrix) {
  TIntMatrix s(nullptr, 1), d;
  d.Resize(3, 3);
  const int32_t cells[][3] = {{1, 1, 4}, {2, 3, -6}, {3, 2, 9}, {3, 3, 1}};
  for (const auto& c : cells) {
    s.SetVal(c[0], c[1], c[2]);
    d.SetVal(c[0], c[1], c[2]);
  }
  EXPECT_EQ(s.CRCofData(), d.CRCofData());
  EXPECT_EQ(s.CountValues(0, 0, 0, 0, 0, 0), 5);
  EXPECT_EQ(s.CountMaskedZeros(0, 0, 0, 0, 1u), d.CountMaskedZeros(0, 0, 0, 0, 1u));
  EXPECT_DOUBLE_EQ(s.Percentile(50, 0, 0, 0, 0), 0.0);
  int32_t c = -1, r = -1;
  s.Find(0, 0, 0, 0, 8, c, r);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(r, 2);
  TVector ev;
  s.EdgeVector(orCols, eopSum, &ev);
  ASSERT_EQ(ev.NrOfElem(), 3);
  EXPECT_DOUBLE_EQ(ev.GetVal(3), 10.0);
  TIntMatrix p;
  EXPECT_TRUE(s.Multiply(&d, &p));
  TIntMatrix q;
  EXPECT_TRUE(d.Multiply(&d, &q));
  EXPECT_EQ(p.CRCofData(), q.CRCofData());
}

TEST(TIntMatrixSparse, HugeSparseMatrixStatisticsCostOnlyTheRecords) {
  TIntMatrix s(nullptr, 1);
  s.SetVal(2000000000, 1000000000, 6);
  s.SetVal(1, 1, -3);
  double mean, var;
  s.MeanVar(0, 0, 0, 0, mean, var);
  const double n = 2e9 * 1e9;
  EXPECT_DOUBLE_EQ(mean, 3.0 / n);
  EXPECT_DOUBLE_EQ(var, (45.0 - 9.0 / n) / (n - 1));
  EXPECT_EQ(s.CountValues(0, 0, 0, 0, 1, 10), 1);
  EXPECT_EQ(s.CountValues(1, 1, 1, 3, -3, 0), 3);
  EXPECT_EQ(s.CountMaskedZeros(1, 2, 1, 2, 1u), 3);  // -3 is odd, three unstored zeros
  EXPECT_THROW(s.GeometricMean(0, 0, 0, 0), EQMXMatrixError);
  EXPECT_EQ(s.GeometricMean(2, 2, 5, 5), 0.0);
  EXPECT_THROW(s.HarmonicMean(1999999999, 999999999, 2000000000, 1000000000), EQMXMatrixError);
  EXPECT_DOUBLE_EQ(s.HarmonicMean(2000000000, 1000000000, 2000000000, 1000000000), 6.0);
  // Working copies of the whole logical block are refused with the memory message, not attempted.
  TIntMatrix r;
  EXPECT_FALSE(s.Multiply(&s, &r));  // 2e9 columns against 1e9 rows
  EXPECT_THROW(s.MultiplyTransposed(&s, &r), EQMXMatrixError);
  EXPECT_THROW(s.Percentile(50, 0, 0, 0, 0), EQMXMatrixError);
  // The dense formats would have to spell out every cell: refused, nothing written.
  EXPECT_FALSE(s.StoreOnFile(0, 0, 0, 0, testing::TempDir() + "qmx_tint_huge.txt"));
  TMemoryStream* ms = nullptr;
  s.SaveToStream(ms, 0, 0, 0, 0);
  EXPECT_EQ(ms->Size(), 0);
  delete ms;
}

TEST(TIntMatrixSparse, RewritingDenseOperationsLeaveSparseMatrixAlone) {
  TIntMatrix s(nullptr, 1), b;
  s.SetVal(1, 2, 5);
  s.SetVal(2, 1, 6);
  int changes = 0;
  s.OnChange = [&](TObject*) { ++changes; };
  const std::string before = s.CRCofData();
  s.SMult(3);
  s.SAdd(1);
  s.FillDiag(9);
  s.MirrorColumns();
  s.MirrorRows();
  s.ExchangeColumns(1, 2);
  s.ExchangeRows(1, 2);
  s.SortRows(1, true, 0, 0, 0, 0);
  s.SortCols(1, true, 0, 0, 0, 0);
  b.Resize(2, 2);
  EXPECT_FALSE(s.Subtract(&b));
  EXPECT_FALSE(s.Add(&b));
  EXPECT_EQ(s.CRCofData(), before);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(s.IsSparse());
}

TEST(TIntMatrixSparse, DensePlusSparseNeedsRoom) {
  TIntMatrix d, s(nullptr, 1);
  SetRows(d, {{1, 1}, {1, 1}});
  s.SetVal(2, 3, 5);
  EXPECT_FALSE(d.Add(&s));  // s reaches row 3
  EXPECT_EQ(d.Sum(0, 0, 0, 0), 4);
  TIntMatrix s2(nullptr, 1);
  s2.SetVal(2, 1, 5);
  s2.SetVal(1, 2, -1);
  EXPECT_TRUE(d.Add(&s2));
  EXPECT_EQ(d.GetVal(2, 1), 6);
  EXPECT_EQ(d.GetVal(1, 2), 0);
  EXPECT_TRUE(d.Subtract(&s2));
  EXPECT_EQ(d.Sum(0, 0, 0, 0), 4);
}

// ---- dense operations ------------------------------------------------------------------------------

TEST(TIntMatrixDense, CreateResizeAndElementAccess) {
  TIntMatrix m;
  EXPECT_FALSE(m.IsSparse());
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.NrOfRows(), 1);
  EXPECT_EQ(m.GetVal(1, 1), 0);
  EXPECT_FALSE(m.Resize(1, 1));  // same size: false, unlike TMatrix
  m.SetVal(1, 1, 5);
  EXPECT_TRUE(m.Resize(3, 2));
  EXPECT_EQ(m.GetVal(1, 1), 5);
  EXPECT_EQ(m.GetVal(3, 2), 0);
  m.SetVal(4, 1, 9);  // outside: ignored, the dense matrix never grows
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_TRUE(m.Resize(-2, 4));
  EXPECT_EQ(m.NrOfColumns(), 0);
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0);
  double q1 = 9, q2 = 9, q3 = 9;
  EXPECT_FALSE(m.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_EQ(q2, 0.0);
}

TEST(TIntMatrixDense, HugeResizeRaisesAndKeepsMatrix) {
  TIntMatrix m;
  m.SetName("IM");
  m.SetVal(1, 1, 7);
  try {
    m.Resize(2147483647, 2147483647);
    FAIL() << "no error";
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"IM\": not enough memory on heap");
  }
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.GetVal(1, 1), 7);
}

TEST(TIntMatrixDense, IntegerArithmeticWraps) {
  TIntMatrix m;
  SetRows(m, {{2147483647, 1}});
  EXPECT_EQ(m.Sum(0, 0, 0, 0), -2147483647 - 1);
  m.SMult(2);
  EXPECT_EQ(m.GetVal(1, 1), -2);
  m.SAdd(2147483647);
  EXPECT_EQ(m.GetVal(1, 1), 2147483645);
  TIntMatrix b;
  SetRows(b, {{3, 2147483647}});
  EXPECT_TRUE(m.Add(&b));
  EXPECT_EQ(m.GetVal(1, 1), -2147483647 - 1);
  TIntMatrix wrong;
  SetRows(wrong, {{1}, {1}});
  EXPECT_FALSE(m.Add(&wrong));
  EXPECT_FALSE(m.Subtract(nullptr));
}

TEST(TIntMatrixDense, MinMaxStartValues) {
  TIntMatrix m;
  m.SetVal(1, 1, -2147483647 - 1);
  int32_t mn, mx;
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, -2147483647 - 1);
  EXPECT_EQ(mx, -2147483647 - 1);  // the only value is also the largest, beyond the start value
  TIntMatrix e;
  e.Resize(0, 0);
  e.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, 2147483647);
}

TEST(TIntMatrixDense, MomentsAgainstHandValues) {
  TIntMatrix m;
  SetRows(m, {{0}, {0}, {3}});
  double mean, var, sk, ku;
  m.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_DOUBLE_EQ(mean, 1.0);
  EXPECT_DOUBLE_EQ(var, 3.0);
  // d = (-1, -1, 2), s = sqrt(3): skew = (6/3)/s^3, kurt = (18/3)/s^4 - 3.
  m.SkewKurt(0, 0, 0, 0, sk, ku);
  EXPECT_NEAR(sk, 2.0 / (3.0 * std::sqrt(3.0)), 1e-15);
  EXPECT_NEAR(ku, 6.0 / 9.0 - 3.0, 1e-15);
  m.SkewKurtSample(0, 0, 0, 0, sk, ku);
  EXPECT_EQ(sk, 0.0);  // fewer than four cells
  m.MeanVar(1, 1, 1, 2, mean, var);
  EXPECT_DOUBLE_EQ(var, 1.0);
  // Four cells (1, 2, 3, 10): G from the moment form, then the sample correction.
  TIntMatrix f;
  SetRows(f, {{1, 2}, {3, 10}});
  double g, k;
  f.SkewKurt(0, 0, 0, 0, g, k);
  const double n = 4, m4 = 4.0, s2 = (1 + 4 + 9 + 100 - 16.0 * 16 / 4) / 3.0;
  double d3 = std::pow(1 - m4, 3) + std::pow(2 - m4, 3) + std::pow(3 - m4, 3) + std::pow(10 - m4, 3);
  EXPECT_NEAR(g, d3 / n / std::pow(s2, 1.5), 1e-13);
  f.SkewKurtSample(0, 0, 0, 0, sk, ku);
  EXPECT_NEAR(sk, n * n * g / (3 * 2), 1e-13);
  EXPECT_NEAR(ku, (k + 3) * 16 * 5 / 6.0 - 3.0 * 9 / 2, 1e-12);
}

TEST(TIntMatrixDense, OrderStatistics) {
  TIntMatrix m;
  SetRows(m, {{4, 2}, {1, 3}});  // column order 4, 1, 2, 3
  EXPECT_DOUBLE_EQ(m.Percentile(50, 0, 0, 0, 0), 3.0);
  EXPECT_DOUBLE_EQ(m.Percentile(100, 0, 0, 0, 0), 4.0);
  EXPECT_DOUBLE_EQ(m.Percentile(-3, 0, 0, 0, 0), 1.0);
  double q1, q2, q3;
  EXPECT_TRUE(m.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_DOUBLE_EQ(q1, 1.25);
  EXPECT_DOUBLE_EQ(q2, 2.5);
  EXPECT_DOUBLE_EQ(q3, 3.75);
  // A sample as large as the block falls back to the exact selection.
  EXPECT_DOUBLE_EQ(m.Percentile(50, 0, 0, 0, 0, 4), 3.0);
  TIntMatrix z;
  z.Resize(50, 20);
  z.SetVal(1, 1, 7);
  EXPECT_DOUBLE_EQ(z.Percentile(50, 0, 0, 0, 0, 100), 0.0);
  EXPECT_DOUBLE_EQ(m.GeometricMean(0, 0, 0, 0), std::pow(24.0, 0.25));
  EXPECT_NEAR(m.HarmonicMean(0, 0, 0, 0), 4.0 / (1 + 0.5 + 1.0 / 3 + 0.25), 1e-15);
}

TEST(TIntMatrixDense, MeansRaiseWithComponentMessages) {
  TIntMatrix m;
  m.SetName("IM");
  SetRows(m, {{1, 0, -4}});
  try {
    m.GeometricMean(0, 0, 0, 0);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"IM\": negative argument passed to GeometricMean");
  }
  EXPECT_EQ(m.GeometricMean(1, 1, 2, 1), 0.0);
  try {
    m.HarmonicMean(1, 1, 2, 1);
    FAIL();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"IM\": negative or zero argument passed to HarmonicMean");
  }
}

TEST(TIntMatrixDense, CountsAndSearches) {
  TIntMatrix m;
  SetRows(m, {{1, 2, 4}, {8, 3, 6}});
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 2, 4), 3);
  EXPECT_EQ(m.CountValues(2, 3, 2, 2, 3, 6), 2);
  EXPECT_EQ(m.CountMaskedZeros(0, 0, 0, 0, 1u), 4);       // even values
  EXPECT_EQ(m.CountMaskedZeros(0, 0, 0, 0, 0x80000000u), 6);
  int32_t c, r;
  m.Find(0, 0, 0, 0, 5, c, r);  // 4 and 6 tie; 4 is visited first (column 3, row 1)
  EXPECT_EQ(c, 3);
  EXPECT_EQ(r, 1);
  m.Find(0, 0, 0, 0, -2147483647 - 1, c, r);  // no overflow in the distance
  EXPECT_EQ(c, 1);
  EXPECT_EQ(r, 1);
  TIntMatrix s;
  SetRows(s, {{1}, {3}, {5}, {7}});
  EXPECT_EQ(s.FindInSortedColumn(1, true, 4), 3);
  EXPECT_EQ(s.FindInSortedColumn(1, true, 7), 4);
  EXPECT_EQ(s.FindInSortedColumn(2, true, 7), 0);
}

TEST(TIntMatrixDense, ProductsAgainstHandValues) {
  TIntMatrix a, b, r;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}});   // 2 rows x 3 columns
  SetRows(b, {{7, 8}, {9, 10}, {11, 12}});
  ASSERT_TRUE(a.Multiply(&b, &r));
  EXPECT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.NrOfRows(), 2);
  EXPECT_EQ(r.GetVal(1, 1), 58);
  EXPECT_EQ(r.GetVal(2, 1), 64);
  EXPECT_EQ(r.GetVal(1, 2), 139);
  EXPECT_EQ(r.GetVal(2, 2), 154);
  EXPECT_FALSE(a.Multiply(&a, &r));
  ASSERT_TRUE(a.MultiplyTransposed(&a, &r));  // A A^T = ((14, 32), (32, 77))
  EXPECT_EQ(r.GetVal(1, 1), 14);
  EXPECT_EQ(r.GetVal(2, 1), 32);
  EXPECT_EQ(r.GetVal(2, 2), 77);
  ASSERT_TRUE(a.TransposeAndMultiply(&a, &r));  // A^T A, 3 x 3
  EXPECT_EQ(r.NrOfColumns(), 3);
  EXPECT_EQ(r.GetVal(3, 1), 1 * 3 + 4 * 6);
  EXPECT_EQ(r.GetVal(2, 2), 4 + 25);
  TIntVector v, w;
  v.Resize(3);
  v.SetVal(1, 1);
  v.SetVal(2, 0);
  v.SetVal(3, -1);
  ASSERT_TRUE(a.Multiply(&v, &w));
  EXPECT_EQ(w.NrOfElem(), 2);
  EXPECT_EQ(w.GetVal(1), -2);
  EXPECT_EQ(w.GetVal(2), -2);
  EXPECT_FALSE(a.TransposeAndMultiply(&v, &w));
  TIntVector u;
  u.Resize(2);
  u.SetVal(1, 1);
  u.SetVal(2, 1);
  ASSERT_TRUE(a.TransposeAndMultiply(&u, &w));
  EXPECT_EQ(w.GetVal(3), 9);
  TIntMatrix e;
  EXPECT_TRUE(a.EMult(&a, &e));
  EXPECT_EQ(e.GetVal(3, 2), 36);
}

TEST(TIntMatrixDense, SortsMoveKeyAndReportSwaps) {
  TIntMatrix m;
  SetRows(m, {{3, 30, 300}, {1, 10, 100}, {2, 20, 200}});
  std::vector<std::array<int32_t, 5>> ex;
  m.OnSortExchange = [&](TObject*, uint8_t k, int32_t i1, int32_t i2, int32_t f, int32_t l) {
    ex.push_back({k, i1, i2, f, l});
  };
  int changes = 0;
  m.OnChange = [&](TObject*) { ++changes; };
  m.SortRows(1, true, 2, 0, 3, 0);  // key column 1 lies outside 2..3 and still moves
  for (int32_t r = 1; r <= 3; ++r) {
    EXPECT_EQ(m.GetVal(1, r), r);
    EXPECT_EQ(m.GetVal(2, r), 10 * r);
    EXPECT_EQ(m.GetVal(3, r), 100 * r);
  }
  ASSERT_FALSE(ex.empty());
  EXPECT_EQ(ex[0][0], 2);
  EXPECT_EQ(ex[0][3], 2);
  EXPECT_EQ(ex[0][4], 3);
  EXPECT_EQ(changes, 1);
  ex.clear();
  m.SortCols(1, false, 0, 0, 0, 0);
  EXPECT_EQ(m.GetVal(1, 1), 100);
  EXPECT_EQ(m.GetVal(3, 3), 3);
  EXPECT_EQ(ex[0][0], 1);
}

TEST(TIntMatrixDense, ReorderingAndFills) {
  TIntMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  m.MirrorColumns();
  EXPECT_EQ(m.GetVal(1, 1), 3);
  EXPECT_EQ(m.GetVal(3, 2), 4);
  m.MirrorRows();
  EXPECT_EQ(m.GetVal(1, 1), 6);
  m.ExchangeColumns(1, 3);
  EXPECT_EQ(m.GetVal(1, 1), 4);
  m.ExchangeRows(1, 2);
  EXPECT_EQ(m.GetVal(1, 1), 1);
  m.ExchangeRows(1, 9);  // invalid index: ignored
  EXPECT_EQ(m.GetVal(1, 1), 1);
  EXPECT_TRUE(m.Transpose());
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.GetVal(2, 3), 6);
  m.FillDiag(-1);
  EXPECT_EQ(m.GetVal(1, 1), -1);
  EXPECT_EQ(m.GetVal(2, 2), -1);
  EXPECT_EQ(m.GetVal(2, 1), 4);
  EXPECT_TRUE(m.ResizeAndClear(2, 2));
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0);
}

TEST(TIntMatrixDense, CopiesToVectorsAndBlocks) {
  TIntMatrix m;
  SetRows(m, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
  TIntVector v;
  v.Resize(2);
  m.CopyRowToVec(&v, 2, 0, 0);
  EXPECT_EQ(v.GetVal(1), 6);
  EXPECT_EQ(v.GetVal(2), 7);
  TIntVector w;
  w.Resize(4);
  m.CopyColToVec(&w, 9, 0, 0);  // column clamped to 5
  EXPECT_EQ(w.GetVal(1), 5);
  EXPECT_EQ(w.GetVal(2), 10);
  EXPECT_EQ(w.GetVal(3), 0);
  TIntMatrix t;
  t.Resize(2, 2);
  t.CopyFrom(&m, 0, 0, 0, 0, 1, 1);  // single cell (1, 1)
  EXPECT_EQ(t.GetVal(1, 1), 1);
  EXPECT_EQ(t.GetVal(2, 1), 0);
  t.CopyFrom(&m, 4, 1, 9, 2, 1, 1);
  EXPECT_EQ(t.GetVal(2, 2), 10);
  // Overlapping copy inside one matrix reads the old values.
  m.CopyFrom(&m, 1, 1, 4, 1, 2, 1);
  EXPECT_EQ(m.GetVal(5, 1), 4);
  EXPECT_EQ(m.GetVal(2, 1), 1);
  TVector means;
  m.MeanVec(TDims(0), &means);
  ASSERT_EQ(means.NrOfElem(), 5);
  EXPECT_DOUBLE_EQ(means.GetVal(1), 3.5);
  TVector ev;
  m.EdgeVector(orCols, eopMean, &ev);
  EXPECT_DOUBLE_EQ(ev.GetVal(1), 3.5);
  m.EdgeVector(orRows, eopMax, &ev);
  ASSERT_EQ(ev.NrOfElem(), 2);
  EXPECT_DOUBLE_EQ(ev.GetVal(2), 10.0);
}

TEST(TIntMatrixDense, ChecksumAssignAndEvents) {
  TIntMatrix one;
  // One zero cell: every accumulator sees one zero byte, so the four groups are equal.
  const std::string t = one.CRCofData();
  ASSERT_EQ(t.size(), 32u);
  EXPECT_EQ(t, t.substr(0, 8) + t.substr(0, 8) + t.substr(0, 8) + t.substr(0, 8));
  EXPECT_EQ(t.substr(0, 8), "D202EF8D");  // CRC-32 of the single byte 0x00
  TIntMatrix m;
  SetRows(m, {{1, 3}, {2, 4}});
  TIntVector v;
  v.Resize(4);
  for (int32_t i = 1; i <= 4; ++i) v.SetVal(i, i);
  EXPECT_EQ(m.CRCofData(), v.CRCofData());
  int fired = 0, pct = -1;
  TObject* sender = nullptr;
  m.OnChange = [&](TObject*) { ++fired; };
  m.OnPercentDone = [&](TObject* s, int32_t p) {
    sender = s;
    pct = p;
  };
  TComponent other;
  m.PercDone(&other, 40);
  EXPECT_EQ(sender, &m);
  EXPECT_EQ(pct, 40);
  TIntMatrix c;
  c.Assign(&m);
  EXPECT_EQ(c.GetVal(2, 2), 4);
  c.SetVal(1, 1, 0);
  EXPECT_EQ(fired, 1);  // the handler came along with Assign
  TIntMatrix k;
  k.Clone(&m);
  k.SetVal(1, 1, 0);
  EXPECT_EQ(fired, 1);  // Clone leaves the target's events alone
  TMatrix f;
  EXPECT_THROW(f.Assign(&m), EConvertError);
  EXPECT_THROW(m.Assign(&f), EConvertError);
}
