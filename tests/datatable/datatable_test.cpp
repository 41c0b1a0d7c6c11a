// TDataTable cells, events, statistics, sorting, copying and checksums, checked against values
// worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "qmx/datatable.h"

namespace {

using namespace qmx;

// Records the events of a table as letters: D data, S setup, N names, C cell states, A attributes,
// R resize, X sort exchange.
struct EventLog {
  std::string log;
  std::vector<std::vector<int>> resizes;
  explicit EventLog(TDataTable& t) {
    t.OnChange = [this](TObject*) { log += 'D'; };
    t.OnChangeSetup = [this](TObject*) { log += 'S'; };
    t.OnChangeNames = [this](TObject*) { log += 'N'; };
    t.OnChangeCellState = [this](TObject*) { log += 'C'; };
    t.OnChangeAttrib = [this](TObject*) { log += 'A'; };
    t.OnResize = [this](TObject*, int32_t oc, int32_t orr, int32_t nc, int32_t nr) {
      log += 'R';
      resizes.push_back({oc, orr, nc, nr});
    };
    t.OnSortExchange = [this](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { log += 'X'; };
  }
};

// A one-column table holding the values given.
void FillColumn(TDataTable& t, int32_t col, const std::vector<double>& v) {
  if (t.NrOfRows() < static_cast<int32_t>(v.size())) t.SetNrRows(static_cast<int32_t>(v.size()));
  for (std::size_t i = 0; i < v.size(); ++i) t.NumericData->SetVal(col, static_cast<int32_t>(i + 1), v[i]);
}

TEST(DataTableCells, NewTableAndResizeDefaults) {
  TDataTable t;
  EXPECT_EQ(t.NrOfColumns(), 1);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.Elem(1, 1), 0.0);
  EXPECT_EQ(t.CellState(1, 1), 0);
  EXPECT_EQ(t.ColName(1), "C-1");
  EXPECT_EQ(t.RowName(1), "R-1");
  EXPECT_EQ(t.MScaleType(1), stInterval);
  EXPECT_EQ(t.MScaleType(2), stUnknown);  // outside

  t.Resize(2, 2);
  t.SetColName(2, "second");
  EventLog ev(t);
  t.SetNrCols(4);
  EXPECT_EQ(ev.log, "R");
  EXPECT_EQ(ev.resizes[0], (std::vector<int>{2, 2, 4, 2}));
  EXPECT_EQ(t.ColName(3), "C-3");
  EXPECT_EQ(t.ColName(4), "C-4");
  t.SetNrCols(4);  // unchanged counts fire nothing
  EXPECT_EQ(ev.log, "R");
  t.SetNrCols(3);
  t.RemoveColumn(1);
  EXPECT_EQ(t.ColName(1), "second");
  EXPECT_EQ(t.ColName(2), "C-3");
  EXPECT_THROW(t.SetNrRows(-1), EQMXDataTableError);
  EXPECT_THROW(t.Resize(-2, 3), EQMXDataTableError);
  EXPECT_EQ(t.NrOfColumns(), 2);
  EXPECT_EQ(t.NrOfRows(), 2);
}

TEST(DataTableCells, NominalValuesAndIdentifiers) {
  TDataTable t;
  t.SetName("tab");
  t.Resize(2, 4);
  t.SetMScaleType(1, stNominal);
  t.NumericData->SetVal(1, 1, 2.5);
  t.NumericData->SetVal(1, 2, 3.5);
  EXPECT_EQ(t.Elem(1, 1), 2.0);  // ties to even
  EXPECT_EQ(t.Elem(1, 2), 4.0);
  t.NumericData->SetVal(1, 3, 0);
  t.NumericData->SetVal(1, 4, 151);
  EXPECT_EQ(t.ElemNominal(1, 3), "0");
  EXPECT_EQ(t.ElemNominal(1, 4), "151");

  t.SetElemNominal(1, 1, "Setosa");
  t.SetElemNominal(1, 2, "SETOSA");
  EXPECT_EQ(t.Elem(1, 1), t.Elem(1, 2));
  EXPECT_EQ(t.ElemNominal(1, 2), "Setosa");
  EXPECT_EQ(t.OrdinalOfNominalID(1, "setosa", false), 0);
  EXPECT_EQ(t.OrdinalOfNominalID(1, "setosa", true), 1);
  EXPECT_EQ(t.OrdinalOfNominalID(2, "Setosa", true), 0);  // interval column

  // AddNominalID makes the column nominal and cuts identifiers to 10 characters.
  EventLog ev(t);
  EXPECT_EQ(t.AddNominalID(2, "abcdefghijKLM"), 1);
  EXPECT_EQ(t.MScaleType(2), stNominal);
  EXPECT_EQ(t.NominalID(2, 1), "abcdefghij");
  EXPECT_EQ(t.AddNominalID(2, "ABCDEFGHIJ"), 1);
  EXPECT_EQ(ev.log, "S");
  for (int k = 2; k <= 150; ++k) t.AddNominalID(2, "id" + std::to_string(k));
  try {
    t.AddNominalID(2, "one more");
    FAIL();
  } catch (const EQMXDataTableError& e) {
    EXPECT_STREQ(e.what(), "Component \"tab\": number of available nominal values exceeded");
  }
  EXPECT_THROW(t.SetElemNominal(2, 1, "new"), EQMXDataTableError);

  // SetNominalID stores only in nominal and ordinal columns, but always clears.
  TDataTable u;
  u.SetNominalID(1, 1, "x");
  EXPECT_EQ(u.NominalID(1, 1), "");
  u.SetMScaleType(1, stOrdinal);
  u.SetNominalID(1, 1, "x");
  EXPECT_EQ(u.NominalID(1, 1), "x");
  u.SetNominalID(1, 1, "");
  EXPECT_EQ(u.NominalID(1, 1), "");
}

TEST(DataTableCells, ElementEventsAndStates) {
  TDataTable t;
  t.Resize(2, 2);
  EventLog ev(t);
  t.SetElem(1, 1, 3.0);  // the matrix write and the table's own
  EXPECT_EQ(ev.log, "DD");
  t.SetElem(3, 1, 1.0);  // outside: ignored
  EXPECT_EQ(ev.log, "DD");
  ev.log.clear();
  t.SetCellState(1, 1, 0x41);
  t.SetCellState(1, 1, 0x41);
  EXPECT_EQ(ev.log, "C");
  t.SetCellState(2, 2, 0xE3);
  t.ExchangeMarkings();
  EXPECT_EQ(t.CellState(1, 1), 0x81);
  t.UnmarkAllCells();
  EXPECT_EQ(t.CellState(2, 2), 0x23);
  ev.log.clear();
  t.SetIsEmpty(1, 2, true);
  EXPECT_EQ(ev.log, "CD");
  EXPECT_TRUE(t.IsEmpty(1, 2));
  EXPECT_FALSE(t.IsNumber(1, 2));
  EXPECT_EQ(t.CountMarkedCellsInColumn(2, 0x20), 1);
  EXPECT_TRUE(t.IfRowHasCellState(2, 0x01));
  EXPECT_FALSE(t.IfColHasCellState(3, 0xFF));
  t.SetAllCellStates(0x04);
  t.SetCellState(2, 1, 0);
  EXPECT_EQ(t.FillMarkedCells(9.0, 0x04), 3);
  EXPECT_EQ(t.Elem(1, 2), 9.0);
  EXPECT_EQ(t.Elem(2, 1), 0.0);

  t.SetRowAttributes(0x0F);
  t.SetRowAttributes(static_cast<int32_t>(0xF0000000u), 0xFF000000u);
  EXPECT_EQ(static_cast<uint32_t>(t.RowAttrib(1)), 0xF000000Fu);
}

TEST(DataTableCells, InsertRemoveAndFind) {
  TDataTable t;
  t.RemoveRow(1);  // a one-row table keeps its row
  EXPECT_EQ(t.NrOfRows(), 1);
  t.InsertRow(3);  // beyond NrOfRows + 1
  EXPECT_EQ(t.NrOfRows(), 1);
  t.Resize(2, 3);
  for (int r = 1; r <= 3; ++r) {
    t.NumericData->SetVal(1, r, r);
    t.SetRowAttrib(r, 10 * r);
    t.SetCellState(2, r, static_cast<uint8_t>(r));
  }
  EventLog ev(t);
  t.InsertRow(2);
  EXPECT_EQ(t.NrOfRows(), 4);
  EXPECT_EQ(ev.log.back(), 'S');
  EXPECT_EQ(ev.log.front(), 'R');
  EXPECT_EQ(t.Elem(1, 3), 2.0);
  EXPECT_EQ(t.RowAttrib(3), 20);
  EXPECT_EQ(t.CellState(2, 4), 3);
  EXPECT_EQ(t.RowName(2), "");
  EXPECT_EQ(t.Elem(1, 2), 0.0);
  EXPECT_EQ(t.RowName(3), "R-2");
  t.RemoveRow(1);
  EXPECT_EQ(t.RowAttrib(1), 0);
  EXPECT_EQ(t.RowAttrib(3), 30);

  t.SetMScaleType(2, stNominal);
  t.AddNominalID(2, "a");
  t.InsertColumn(1);
  EXPECT_EQ(t.MScaleType(1), stInterval);
  EXPECT_EQ(t.MScaleType(3), stNominal);
  EXPECT_EQ(t.NominalID(3, 1), "a");

  TDataTable f;
  f.Resize(2, 1);
  EXPECT_EQ(f.FindColIndex(" c-2 "), 2);
  EXPECT_EQ(f.FindColIndex("c-3"), 0);
  EXPECT_EQ(f.FindRowIndex("r-1"), 1);
}

TEST(DataTableCells, ClearResetsAndFiresItsFourEvents) {
  TDataTable t;
  t.Resize(2, 2);
  t.SetColName(1, "x");
  t.SetComment("c");
  t.SetElem(2, 2, 4);
  t.SetMScaleType(1, stNominal);
  EventLog ev(t);
  t.Clear();
  EXPECT_EQ(ev.log, "NACS");
  EXPECT_EQ(t.ColName(1), "C-1");
  EXPECT_EQ(t.Comment(), "");
  EXPECT_EQ(t.Elem(2, 2), 0.0);
  EXPECT_EQ(t.MScaleType(1), stInterval);
}

TEST(DataTableStatistics, SelectionsHonourStatesAndScales) {
  TDataTable t;
  t.Resize(3, 4);
  FillColumn(t, 1, {1, 2, 3, 4});
  FillColumn(t, 2, {100, 200, 7, 8});
  FillColumn(t, 3, {5, 6, 7, 8});
  t.SetCellState(2, 1, 0x02);
  t.SetCellState(2, 2, 0x01);
  t.SetMScaleType(3, stNominal);
  double m, v;
  EXPECT_EQ(t.MeanVarOfNumCells(1, 0, 1, 0, m, v), 4);
  EXPECT_DOUBLE_EQ(m, 2.5);
  EXPECT_DOUBLE_EQ(v, 5.0 / 3.0);
  EXPECT_EQ(t.MeanVarOfNumCells(1, 1, 1, 3, m, v), 3);
  EXPECT_DOUBLE_EQ(v, 1.0);  // three values: 1.0 by definition
  EXPECT_EQ(t.MeanVarOfNumCells(2, 0, 2, 0, m, v), 2);
  EXPECT_DOUBLE_EQ(m, 7.5);
  EXPECT_EQ(v, 1.0);
  int32_t pn;
  EXPECT_EQ(t.PercentileOfNumCells(100, 2, 0, 2, 0, pn), 8.0);  // 100 and 200 are excluded
  EXPECT_EQ(pn, 2);
  EXPECT_EQ(t.CountNumCells(0, 0, 0, 0), 6);
  EXPECT_EQ(t.CountValidCells(0, 0, 0, 0), 10);
  EXPECT_EQ(t.CountEmptyCells(0, 0, 0, 0), 1);
  double mn, mx;
  EXPECT_EQ(t.MinMaxOfNumCells(0, 0, 0, 0, mn, mx), 6);
  EXPECT_EQ(mn, 1.0);
  EXPECT_EQ(mx, 8.0);
  t.NumericData->SetVal(3, 1, 4.5);
  EXPECT_EQ(t.MinMaxOfValidCells(3, 0, 3, 0, mn, mx), 4);
  EXPECT_EQ(mn, 4.0);  // 4.5 rounds to even
  TDataTable e;
  e.SetCellState(1, 1, 0x02);
  EXPECT_EQ(e.MinMaxOfNumCells(0, 0, 0, 0, mn, mx), 0);
  EXPECT_EQ(mn, uc_MaxReal);
  EXPECT_EQ(mx, -uc_MaxReal);

  // Marked cells: the mask's bits 0x01 and 0x02 select nothing.
  t.SetCellState(1, 2, 0x04);
  t.SetCellState(1, 4, 0x24);
  int32_t n;
  EXPECT_EQ(t.SumOfMarkedCells(0, 0, 0, 0, 0x04, n), 6.0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(t.SumOfMarkedCells(0, 0, 0, 0, 0x03, n), 0.0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(t.CountImputedCells(0, 0, 0, 0), 1);
}

TEST(DataTableStatistics, PercentilesQuartilesAndMeans) {
  TDataTable t;
  t.Resize(1, 4);
  FillColumn(t, 1, {4, 1, 3, 2});
  int32_t n;
  EXPECT_DOUBLE_EQ(t.PercentileOfNumCells(50, 0, 0, 0, 0, n), 2.5);
  EXPECT_EQ(n, 4);
  EXPECT_DOUBLE_EQ(t.PercentileOfNumCells(-5, 0, 0, 0, 0, n), 1.0);
  EXPECT_DOUBLE_EQ(t.PercentileOfNumCells(250, 0, 0, 0, 0, n), 4.0);
  EXPECT_DOUBLE_EQ(t.PercentileOfNumCells(90, 0, 0, 0, 0, n), 3.7);  // 3 + 0.7 * (4 - 3)

  TDataTable q;
  FillColumn(q, 1, {7, 1, 6, 2, 5, 3, 4});
  double q1, q2, q3;
  ASSERT_TRUE(q.QuartilesOfNumCells(0, 0, 0, 0, q1, q2, q3, n));
  EXPECT_EQ(q1, 2.0);
  EXPECT_EQ(q2, 4.0);
  EXPECT_EQ(q3, 6.0);
  TDataTable q2t;
  FillColumn(q2t, 1, {2, 1});
  ASSERT_TRUE(q2t.QuartilesOfNumCells(0, 0, 0, 0, q1, q2, q3, n));
  EXPECT_EQ(q1, 1.0);
  EXPECT_EQ(q2, 1.5);
  EXPECT_EQ(q3, 2.0);

  TDataTable g;
  FillColumn(g, 1, {2, 0, 8});
  EXPECT_EQ(g.GeometricMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(n, 2);
  EXPECT_DOUBLE_EQ(g.GeometricMeanOfNumCells(1, 1, 1, 1, n), 2.0);
  g.NumericData->SetVal(1, 2, 8);
  g.NumericData->SetVal(1, 3, 2);
  EXPECT_DOUBLE_EQ(g.GeometricMeanOfNumCells(0, 0, 0, 0, n), std::cbrt(32.0));
  EXPECT_DOUBLE_EQ(g.HarmonicMeanOfNumCells(0, 0, 0, 0, n), 3.0 / (0.5 + 0.125 + 0.5));
  g.NumericData->SetVal(1, 1, -1);
  EXPECT_THROW(g.GeometricMeanOfNumCells(0, 0, 0, 0, n), EQMXMatrixError);
  EXPECT_THROW(g.HarmonicMeanOfNumCells(0, 0, 0, 0, n), EQMXMatrixError);
  // Nothing counted: both means are 0.
  g.SetAllCellStates(0x02);
  EXPECT_EQ(g.GeometricMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(g.HarmonicMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(n, 0);
}

TEST(DataTableStatistics, TransformationsAndCovariance) {
  TDataTable t;
  t.Resize(2, 3);
  FillColumn(t, 1, {1, 2, 6});
  FillColumn(t, 2, {1, 2, 6});
  t.SetMScaleType(2, stOrdinal);
  const std::string before = t.NumericData->CRCofData();
  EXPECT_THROW(t.StandardizeNumCellRows(nullptr, nullptr), EQMXDataTableError);
  EXPECT_THROW(t.MeanCenterNumCellRows(nullptr), EQMXDataTableError);
  EXPECT_EQ(t.NumericData->CRCofData(), before);
  TVector means, sds;
  means.Resize(2);
  sds.Resize(2);
  t.StandardizeNumCellColumns(&means, &sds);
  EXPECT_DOUBLE_EQ(means.Elem(1), 3.0);
  EXPECT_DOUBLE_EQ(sds.Elem(1), std::sqrt(7.0));
  EXPECT_DOUBLE_EQ(t.Elem(1, 3), 3.0 / std::sqrt(7.0));
  EXPECT_EQ(t.Elem(2, 3), 6.0);  // ordinal column untouched

  TDataTable c;
  c.Resize(2, 3);
  FillColumn(c, 1, {1, 2, 4});
  FillColumn(c, 2, {1, 2, 4});
  TMatrix cov;
  cov.Resize(2, 2);
  ASSERT_TRUE(c.CalcCovar(&cov, 1, 2, 1, 3, 2));
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_DOUBLE_EQ(cov.Elem(i, j), 1.0);
  ASSERT_TRUE(c.CalcCovar(&cov, 1, 2, 1, 3, 1));
  EXPECT_DOUBLE_EQ(cov.Elem(1, 2), 7.0 / 3.0);  // (16 + 1 + 25) / 9 / 2
  c.SetCellState(2, 3, 0x02);
  ASSERT_TRUE(c.CalcCovar(&cov, 1, 2, 1, 3, 2));
  EXPECT_EQ(cov.Elem(1, 2), 0.0);
  EXPECT_EQ(cov.Elem(2, 2), 1.0);
  TMatrix small;
  EXPECT_FALSE(c.CalcCovar(&small, 1, 2, 1, 3, 2));

  double v1, v2;
  EXPECT_FALSE(c.CheckDichotomousColumn(1, v1, v2));
  c.NumericData->SetVal(1, 3, 2);
  EXPECT_TRUE(c.CheckDichotomousColumn(1, v1, v2));
  EXPECT_EQ(v1, 1.0);
  EXPECT_EQ(v2, 2.0);
}

TEST(DataTableStatistics, ScalesAndAttributes) {
  TDataTable t;
  t.Resize(4, 4);
  t.SetMScaleType(2, stOrdinal);
  t.SetMScaleType(4, stNominal);
  EXPECT_EQ(t.ListOfCategorialVars(), (TIntArray{2, 4}));
  EXPECT_EQ(t.FindHighestMLevel(0, 0), stInterval);
  EXPECT_EQ(t.FindLowestMLevel(0, 0), stNominal);
  TDataTable u;
  u.SetMScaleType(1, stUnknown);
  EXPECT_EQ(u.FindHighestMLevel(0, 0), stNominal);
  const int32_t att[4] = {7, -1, 300, 7};
  for (int r = 1; r <= 4; ++r) t.SetRowAttrib(r, att[r - 1]);
  int32_t pos;
  EXPECT_EQ(t.MaxRowAttrib(0, 0, pos), 300);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(t.MinRowAttrib(0, 0, pos), -1);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(t.MaxRowAttrib(1, 2, pos), 7);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(t.RowAttribLevels(), 1);  // -1 and 300 lie outside 0..255
  EXPECT_EQ(t.ColAttribLevels(), 1);
}

TEST(DataTableOrder, SortsByAttributesAndNamesCarryTheRows) {
  TDataTable t;
  t.Resize(2, 3);
  const int32_t att[3] = {5, -3, 300};
  for (int r = 1; r <= 3; ++r) {
    t.SetRowAttrib(r, att[r - 1]);
    t.NumericData->SetVal(1, r, r);
    t.SetCellState(2, r, static_cast<uint8_t>(r));
  }
  EventLog ev(t);
  t.SortRowAttributes(true, 0, 0, 0, 0);
  EXPECT_EQ(t.RowAttrib(1), -3);
  EXPECT_EQ(t.RowAttrib(2), 5);
  EXPECT_EQ(t.RowAttrib(3), 300);
  EXPECT_EQ(t.RowName(1), "R-2");
  EXPECT_EQ(t.Elem(1, 1), 2.0);
  EXPECT_EQ(t.CellState(2, 1), 2);
  EXPECT_EQ(ev.log.substr(ev.log.size() - 2), "DA");
  EXPECT_NE(ev.log.find('X'), std::string::npos);

  TDataTable n;
  n.Resize(1, 3);
  n.SetRowName(1, "b");
  n.SetRowName(2, "A");
  n.SetRowName(3, "c");
  n.SortRowNames(true, true, 0, 0, 0, 0);
  EXPECT_EQ(n.RowName(1) + n.RowName(2) + n.RowName(3), "Abc");
  n.SetRowName(1, "a");
  n.SetRowName(2, "B");
  n.SortRowNames(true, 1, 1, 1, 2);
  EXPECT_EQ(n.RowName(1) + n.RowName(2), "Ba");
}

TEST(DataTableOrder, ValueSortsKeepStatesAndHeadersInStep) {
  TDataTable t;
  t.Resize(2, 3);
  FillColumn(t, 1, {3, 1, 2});
  for (int r = 1; r <= 3; ++r) t.SetCellState(2, r, static_cast<uint8_t>(10 * r));
  t.SortRows(1, true, 0, 0, 0, 0, false);
  EXPECT_EQ(t.Elem(1, 1), 1.0);
  EXPECT_EQ(t.CellState(2, 1), 20);
  EXPECT_EQ(t.RowName(1), "R-1");  // names stay without IncludeHeaders
  t.SortRows(1, false, 0, 0, 0, 0, true);
  EXPECT_EQ(t.Elem(1, 1), 3.0);
  EXPECT_EQ(t.CellState(2, 1), 10);
  EXPECT_EQ(t.RowName(1), "R-3");
  // A sort run on the matrix itself moves whole table rows.
  t.NumericData->SortRows(1, true, 0, 0, 0, 0);
  EXPECT_EQ(t.Elem(1, 1), 1.0);
  EXPECT_EQ(t.CellState(2, 1), 20);
  EXPECT_EQ(t.RowName(1), "R-1");

  // With and without a watcher of the single swaps the result is the same, ties included.
  TDataTable p, q;
  for (TDataTable* x : {&p, &q}) {
    x->Resize(3, 40);
    for (int r = 1; r <= 40; ++r) {
      x->NumericData->SetVal(1, r, (r * 7) % 5);  // many ties
      x->NumericData->SetVal(3, r, r);
      x->SetCellState(2, r, static_cast<uint8_t>(r));
      x->SetRowAttrib(r, -r);
    }
  }
  int swaps = 0;
  q.OnSortExchange = [&](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { ++swaps; };
  p.SortRows(1, false, 2, 5, 3, 35, true);
  q.SortRows(1, false, 2, 5, 3, 35, true);
  EXPECT_GT(swaps, 0);
  EXPECT_EQ(p.NumericData->CRCofData(), q.NumericData->CRCofData());
  EXPECT_EQ(p.CRCofCellStates(), q.CRCofCellStates());
  EXPECT_EQ(p.CRCofNamesAndAttributes(), q.CRCofNamesAndAttributes());
  for (int r = 6; r <= 35; ++r) EXPECT_GE(p.Elem(1, r - 1), p.Elem(1, r));

  TDataTable c;
  c.Resize(3, 1);
  FillColumn(c, 1, {9});
  c.SetColName(1, "nine");
  c.SetMScaleType(1, stRatio);
  c.SortCols(1, true, 0, 0, 0, 0, true);
  EXPECT_EQ(c.ColName(3), "nine");
  EXPECT_EQ(c.MScaleType(3), stRatio);
}

TEST(DataTableOrder, ExchangeMirrorAndSerialize) {
  TDataTable t;
  t.Resize(2, 3);
  FillColumn(t, 1, {1, 2, 3});
  FillColumn(t, 2, {4, 5, 6});
  t.SetColName(2, "b");
  EventLog ev(t);
  t.ExchangeColumns(1, 3);  // outside: ignored
  EXPECT_EQ(ev.log, "");
  t.ExchangeColumns(1, 2);
  EXPECT_EQ(ev.log, "DCANS");
  EXPECT_EQ(t.ColName(1), "b");
  EXPECT_EQ(t.Elem(1, 1), 4.0);
  ev.log.clear();
  t.MirrorRows();
  EXPECT_EQ(ev.log, "DCANSDCANS");
  EXPECT_EQ(t.Elem(1, 1), 6.0);
  EXPECT_EQ(t.RowName(1), "R-3");

  TDataTable s;
  s.Resize(2, 3);
  FillColumn(s, 1, {1, 2, 3});
  FillColumn(s, 2, {4, 5, 6});
  s.SetCellState(2, 2, 0x20);
  s.Serialize(false, false);
  ASSERT_EQ(s.NrOfColumns(), 1);
  ASSERT_EQ(s.NrOfRows(), 6);
  EXPECT_EQ(s.ColName(1), "(data)");
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(s.Elem(1, k), k);
  EXPECT_EQ(s.CellState(1, 5), 0x20);
  EXPECT_EQ(s.RowName(5), "R-2");

  TDataTable w;
  w.Resize(2, 2);
  w.SetColName(1, "first");
  w.SetColName(2, "second");
  w.SetCellState(1, 1, 0x02);
  w.Serialize(true, true);
  ASSERT_EQ(w.NrOfColumns(), 4);
  EXPECT_EQ(w.ColName(1), "(column)");
  EXPECT_EQ(w.ColName(2), "(col. index)");
  EXPECT_EQ(w.ColName(3), "(row index)");
  EXPECT_EQ(w.ColName(4), "(data)");
  EXPECT_EQ(w.MScaleType(1), stNominal);
  EXPECT_EQ(w.NominalID(1, 1), "1:first");
  EXPECT_EQ(w.NominalID(1, 2), "2:second");
  const double col1[4] = {1, 1, 2, 2}, rowIx[4] = {1, 2, 1, 2};
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(w.Elem(1, k), col1[k - 1]);
    EXPECT_EQ(w.Elem(3, k), rowIx[k - 1]);
    EXPECT_EQ(w.CellState(1, k), 0);  // key columns carry no former states
  }
  EXPECT_EQ(w.CellState(4, 1), 0x02);

  TDataTable wide;
  wide.Resize(151, 1);
  const std::string crc = wide.CRCofNamesAndAttributes();
  EXPECT_THROW(wide.Serialize(true, false), EQMXDataTableError);
  EXPECT_EQ(wide.NrOfColumns(), 151);  // refused before reshaping
  EXPECT_EQ(wide.CRCofNamesAndAttributes(), crc);
}

TEST(DataTableCopy, CopiesAndAttachedMatrix) {
  TDataTable a, b;
  a.Resize(2, 2);
  a.SetMScaleType(1, stNominal);
  a.NumericData->SetVal(1, 1, 1.6);
  a.SetCellState(2, 2, 0x24);
  a.SetComment("note");
  EventLog ev(b);
  b.CopyContentsFrom(&a);
  EXPECT_EQ(ev.log, "RDCSNAR");
  EXPECT_EQ(ev.resizes.back(), (std::vector<int>{1, 1, 2, 2}));
  EXPECT_EQ(b.NumericData->GetVal(1, 1), 2.0);  // rounded as Elem reads it
  EXPECT_EQ(b.CellState(2, 2), 0x24);
  EXPECT_EQ(b.Comment(), "note");
  EXPECT_EQ(b.CRCofNamesAndAttributes(), a.CRCofNamesAndAttributes());

  TDataTable small;
  EXPECT_FALSE(small.CopyCellStatesFrom(&a));
  EXPECT_EQ(small.CellState(1, 1), 0);

  TDataTable d;
  d.Resize(3, 3);
  d.CopyFrom(&a, 0, 0, 9, 9, 2, 2);  // clamped to the source, clipped at the target
  EXPECT_EQ(d.Elem(2, 2), 2.0);
  EXPECT_EQ(d.CellState(3, 3), 0x24);

  TVector vec;
  EXPECT_EQ(a.CopyCellsToVector(0, 0, 0, 0, 0xFF, &vec), 4);
  EXPECT_EQ(vec.NrOfElem(), 4);
  EXPECT_EQ(a.CopyCellsToVector(0, 0, 0, 0, 0x20, &vec), 1);

  // The attached matrix outlives the table and is never freed by it.
  auto m = std::make_unique<TMatrix>();
  m->Resize(3, 2);
  m->SetVal(3, 2, 7.5);
  {
    TDataTable t;
    t.SetMScaleType(1, stNominal);
    EventLog ev2(t);
    t.AssignAnotherDataMatrix(m.get());
    EXPECT_EQ(ev2.log, "RRDSNAC");
    EXPECT_EQ(t.NrOfColumns(), 3);
    EXPECT_EQ(t.Elem(3, 2), 7.5);
    EXPECT_EQ(t.MScaleType(1), stInterval);
    t.SetElem(1, 1, 2.0);
    EXPECT_EQ(m->GetVal(1, 1), 2.0);
    TMatrix other;
    t.AssignAnotherDataMatrix(&other);  // the first stays alive, detached
    EXPECT_FALSE(m->OnChange);
    t.AssignAnotherDataMatrix(m.get());
  }
  EXPECT_FALSE(m->OnChange);
  EXPECT_FALSE(m->OnSortExchange);
  m->SetVal(1, 1, 3.0);  // no handler of the destroyed table runs
  EXPECT_EQ(m->GetVal(1, 1), 3.0);
}

TEST(DataTableChecksums, StatesAndNamesFeedTheirRegisters) {
  TDataTable t;
  // One state byte 0 at position 1 goes to register 1: the CRC-32 of a single zero byte.
  EXPECT_EQ(t.CRCofCellStates(), "00000000D202EF8D" + std::string(48, '0'));
  t.SetCellState(1, 1, 0x20);
  EXPECT_NE(t.CRCofCellStates().substr(8, 8), "D202EF8D");
  // A new 1 x 1 table feeds "C-1" and "R-1" (positions 1..3), attribute 0 and scale 3 at position
  // 1: register 1 sees 'C', 0x00, 'R', 0x00, 0x03; register 2 '-', '-'; register 3 '1', '1'.
  TDataTable n;
  const std::string s = n.CRCofNamesAndAttributes();
  ASSERT_EQ(s.size(), 64u);
  EXPECT_EQ(s.substr(0, 8), "00000000");
  EXPECT_EQ(s.substr(32), std::string(32, '0'));
  TDataTable m;
  m.SetColName(1, "C-1 ");
  EXPECT_NE(m.CRCofNamesAndAttributes(), s);
  m.SetColName(1, "C-1");
  EXPECT_EQ(m.CRCofNamesAndAttributes(), s);
  m.SetColAttrib(1, 256);  // only the lowest byte is fed
  EXPECT_EQ(m.CRCofNamesAndAttributes(), s);
}

}  // namespace
