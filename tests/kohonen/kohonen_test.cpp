// TKohonen: training against a literal cell-by-cell reference, the schedule and its window,
// data of known structure, the use of a trained map and its stored form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "kohonen/som_reference.h"
#include "qmx/kohonen.h"

namespace {

using qmx::TKohonen;
using qmx::TMatrix;
using qmx::TVector;
using Rows = std::vector<std::vector<double>>;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::unique_ptr<TMatrix> MatrixOf(const Rows& rows) {
  auto p = std::make_unique<TMatrix>();
  TMatrix& m = *p;
  m.Resize(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) m.Cell(static_cast<int32_t>(c + 1), static_cast<int32_t>(r + 1)) = rows[r][c];
  return p;
}

Rows RandomRows(int n, int nv, uint64_t seed) {
  qmx::RandSeed(seed);
  Rows rows(n, std::vector<double>(nv));
  for (auto& r : rows)
    for (auto& v : r) v = qmx::RandomUniform() * 2.0 - 1.0;
  return rows;
}

somref::Map ReferenceOf(const TKohonen& k) {
  somref::Map m;
  m.nx = k.SizeX();
  m.ny = k.SizeY();
  m.nv = k.NrOfInSens();
  m.cyclic = k.Cyclic();
  m.maxNeighb = k.InitialNeighbors();
  m.maxSteps = k.NrOfTrnSteps();
  m.curStep = k.CurStep();
  m.maxAlpha = k.InitialAlpha();
  m.w.resize(static_cast<size_t>(m.nx) * m.ny * m.nv);
  for (int x = 1; x <= m.nx; ++x)
    for (int y = 1; y <= m.ny; ++y)
      for (int i = 1; i <= m.nv; ++i) m.W(x, y, i) = k.KohMat().GetVal(x, y, i);
  return m;
}

void ExpectWeightsEqual(const TKohonen& k, somref::Map& m) {
  for (int x = 1; x <= m.nx; ++x)
    for (int y = 1; y <= m.ny; ++y)
      for (int i = 1; i <= m.nv; ++i)
        ASSERT_TRUE(SameBits(k.KohMat().GetVal(x, y, i), m.W(x, y, i))) << x << "," << y << "," << i;
}

// A map whose weights are all 0 (a fresh size), with one variable per column of Rows.
void Zeroed(TKohonen& k, int nx, int ny, const Rows& rows) {
  auto d = MatrixOf(rows);
  k.SetTrainData(d.get());
  k.SetSizeX(nx);
  k.SetSizeY(ny);
}

// Data, size and schedule of a map in one call.
void Configure(TKohonen& k, const TMatrix* d, int nx, int ny, int steps, int neighb) {
  k.SetTrainData(d);
  k.SetSizeX(nx);
  k.SetSizeY(ny);
  k.SetNrOfTrnSteps(steps);
  k.SetInitialNeighbors(neighb);
}

TEST(TKohonen, CreationAndSizeSetters) {
  TKohonen k;
  EXPECT_EQ(k.SizeX(), 1);
  EXPECT_EQ(k.SizeY(), 1);
  EXPECT_EQ(k.NrOfInSens(), 1);
  EXPECT_EQ(k.NrOfTrnSteps(), 200);
  EXPECT_EQ(k.InitialNeighbors(), 2);
  EXPECT_EQ(k.InitialAlpha(), 1.0);
  EXPECT_FALSE(k.Cyclic());
  const double w = k.KohMat().GetVal(1, 1, 1);
  EXPECT_TRUE(w >= -0.1 && w < 0.1);
  EXPECT_EQ(k.MeanVec.NrOfElem(), 1);
  EXPECT_EQ(k.StdDevVec.GetVal(1), 0.0);

  // Sizes and counts below 1 change nothing; the weights stay.
  k.SetSizeX(0);
  k.SetSizeY(-3);
  k.SetNumInsens(-1);
  k.SetNrOfTrnSteps(0);
  EXPECT_EQ(k.SizeX(), 1);
  EXPECT_EQ(k.NrOfInSens(), 1);
  EXPECT_EQ(k.NrOfTrnSteps(), 200);
  EXPECT_EQ(k.KohMat().GetVal(1, 1, 1), w);

  // A new size discards the weights; a new variable count also the data and statistics.
  k.SetSizeX(4);
  k.SetSizeY(3);
  EXPECT_EQ(k.KohMat().NrOfColumns(), 4);
  EXPECT_EQ(k.KohMat().NrOfRows(), 3);
  EXPECT_EQ(k.KohMat().GetVal(1, 1, 1), 0.0);
  k.SetNumInsens(5);
  EXPECT_EQ(k.KohMat().NrOfLayers(), 5);
  EXPECT_EQ(k.TrainData().NrOfColumns(), 5);
  EXPECT_EQ(k.TrainData().NrOfRows(), 1);
  EXPECT_EQ(k.MeanVec.NrOfElem(), 5);
  EXPECT_EQ(k.StdDevVec.NrOfElem(), 5);
}

TEST(TKohonen, TrainDataIsCopiedAndSetsTheVariableCount) {
  TKohonen k;
  auto d = MatrixOf({{1, 2, 3}, {4, 5, 6}});
  k.SetTrainData(d.get());
  d->Cell(1, 1) = 99;
  EXPECT_EQ(k.NrOfInSens(), 3);
  EXPECT_EQ(k.NrOfTrnObj(), 2);
  EXPECT_EQ(k.TrainData().GetVal(1, 1), 1.0);
  EXPECT_EQ(k.TrainData().GetVal(3, 2), 6.0);
  EXPECT_EQ(k.KohMat().NrOfLayers(), 3);
  EXPECT_EQ(k.MeanVec.NrOfElem(), 3);
  TMatrix empty;
  empty.Resize(0, 4);
  k.SetTrainData(&empty);
  k.SetTrainData(nullptr);
  EXPECT_EQ(k.NrOfInSens(), 3);
  EXPECT_EQ(k.NrOfTrnObj(), 2);
}

TEST(TKohonen, RandomWeightsComeFromTheSeededGenerator) {
  TKohonen k;
  k.SetNumInsens(2);
  k.SetSizeX(2);
  k.SetSizeY(3);
  qmx::RandSeed(77);
  k.SetWeigtsToRandom();
  qmx::RandSeed(77);
  for (int x = 1; x <= 2; ++x)
    for (int y = 1; y <= 3; ++y)
      for (int i = 1; i <= 2; ++i) EXPECT_EQ(k.KohMat().GetVal(x, y, i), (qmx::RandomUniform() - 0.5) * 0.2);
}

// The vectorised epochs give the literal loop's weights bit for bit: flat and cyclic maps,
// windows clipped and wrapped, radii reduced on small cyclic maps, ties among equal cells.
TEST(TKohonen, TrainingMatchesTheCellByCellDefinition) {
  struct Case {
    int nx, ny, nv, neighb, steps;
    bool cyclic;
    double alpha;
  } cases[] = {{7, 5, 3, 3, 12, false, 0.8}, {10, 10, 4, 7, 8, true, 1.0}, {3, 9, 2, 5, 6, true, 0.6},
               {1, 1, 2, 2, 4, true, 1.0},   {13, 1, 1, 4, 10, false, 0.9}, {4, 6, 10, 9, 5, true, 0.7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nx << "x" << c.ny << " cyclic " << c.cyclic);
    const Rows rows = RandomRows(60, c.nv, 1000 + c.nx);
    TKohonen k;
    auto d = MatrixOf(rows);
    k.SetTrainData(d.get());
    k.SetSizeX(c.nx);
    k.SetSizeY(c.ny);
    k.SetCyclic(c.cyclic);
    k.SetInitialNeighbors(c.neighb);
    k.SetNrOfTrnSteps(c.steps);
    k.SetInitialAlpha(c.alpha);
    std::vector<int> fb;
    k.OnFeedback = [&](qmx::TObject* s, int32_t p) {
      EXPECT_EQ(s, &k);
      fb.push_back(p);
    };
    qmx::RandSeed(5);
    k.SetWeigtsToRandom();
    somref::Map m = ReferenceOf(k);
    qmx::RandSeed(5);
    k.Trainit();
    somref::Continue(m, rows);
    ExpectWeightsEqual(k, m);
    ASSERT_EQ(fb.size(), static_cast<size_t>(c.steps - 1));
    for (int s = 1; s < c.steps; ++s) EXPECT_EQ(fb[s - 1], static_cast<int>(std::nearbyint(s * 100.0 / c.steps)));
    EXPECT_EQ(k.CurStep(), c.steps);
  }
}

TEST(TKohonen, OneStepRunsOneEpochThatMovesNothing) {
  const Rows rows = RandomRows(20, 3, 9);
  TKohonen k;
  auto d = MatrixOf(rows);
  k.SetTrainData(d.get());
  k.SetSizeX(4);
  k.SetSizeY(4);
  k.SetNrOfTrnSteps(1);
  std::vector<int> fb;
  k.OnFeedback = [&](qmx::TObject*, int32_t p) { fb.push_back(p); };
  qmx::RandSeed(3);
  k.Trainit();
  TKohonen fresh;
  qmx::RandSeed(3);
  fresh.SetTrainData(d.get());
  fresh.SetSizeX(4);
  fresh.SetSizeY(4);
  fresh.SetWeigtsToRandom();
  EXPECT_EQ(fb, std::vector<int>{100});
  EXPECT_EQ(k.CurAlpha(), 0.0);
  EXPECT_EQ(k.CurNeighb(), 1);
  for (int x = 1; x <= 4; ++x)
    for (int y = 1; y <= 4; ++y)
      for (int i = 1; i <= 3; ++i) EXPECT_EQ(k.KohMat().GetVal(x, y, i), fresh.KohMat().GetVal(x, y, i));

  // A schedule lowered below the current step runs one epoch at rate 0, reporting 100.
  k.SetNrOfTrnSteps(200);
  k.OnFeedback = [&](qmx::TObject*, int32_t p) {
    if (p >= 5) k.AbortTraining();
  };
  k.ContinueTraining();
  const int step = k.CurStep();
  const double w = k.KohMat().GetVal(2, 2, 2);
  k.SetNrOfTrnSteps(3);
  fb.clear();
  k.OnFeedback = [&](qmx::TObject*, int32_t p) { fb.push_back(p); };
  k.ContinueTraining();
  EXPECT_EQ(fb, std::vector<int>{100});
  EXPECT_EQ(k.CurAlpha(), 0.0);
  EXPECT_EQ(k.CurStep(), step + 1);
  EXPECT_EQ(k.KohMat().GetVal(2, 2, 2), w);
}

TEST(TKohonen, AbortFromTheFeedbackAndResume) {
  const Rows rows = RandomRows(40, 2, 21);
  auto d = MatrixOf(rows);
  auto make = [&](TKohonen& k) {
    Configure(k, d.get(), 5, 4, 9, 3);
  };
  TKohonen whole, parts;
  make(whole);
  make(parts);
  qmx::RandSeed(8);
  whole.Trainit();
  int epochs = 0;
  parts.OnFeedback = [&](qmx::TObject*, int32_t) {
    if (++epochs == 3) parts.AbortTraining();
  };
  qmx::RandSeed(8);
  parts.Trainit();
  EXPECT_EQ(epochs, 3);
  EXPECT_EQ(parts.CurStep(), 4);
  parts.ContinueTraining();  // the flag was cleared on exit
  EXPECT_EQ(epochs, 8);
  for (int x = 1; x <= 5; ++x)
    for (int y = 1; y <= 4; ++y)
      for (int i = 1; i <= 2; ++i) EXPECT_TRUE(SameBits(whole.KohMat().GetVal(x, y, i), parts.KohMat().GetVal(x, y, i)));
}

// All-zero weights make every cell an equal match: the first cell wins and the window around it
// moves by the full rate. The radius of the first epoch is 7 here.
TEST(TKohonen, WindowOfTheFirstCellOnFlatAndCyclicMaps) {
  for (bool cyclic : {false, true}) {
    TKohonen k;
    Zeroed(k, 10, 10, {{1.0}});
    k.SetCyclic(cyclic);
    k.SetInitialNeighbors(7);
    k.SetNrOfTrnSteps(1000000);
    k.SetInitialAlpha(0.5);
    k.OnFeedback = [&](qmx::TObject*, int32_t) { k.AbortTraining(); };
    k.ContinueTraining();
    EXPECT_EQ(k.CurNeighb(), 7);
    std::set<std::pair<int, int>> moved;
    for (int x = 1; x <= 10; ++x)
      for (int y = 1; y <= 10; ++y) {
        const double w = k.KohMat().GetVal(x, y, 1);
        if (w != 0.0) {
          EXPECT_EQ(w, k.CurAlpha());
          moved.insert({x, y});
        }
      }
    if (!cyclic) {
      // x and y from 1 to 8.
      EXPECT_EQ(moved.size(), 64u);
      EXPECT_TRUE(moved.count({8, 8}) && !moved.count({9, 1}));
    } else {
      // Radius 4, wrapping: 7..10 and 1..5 in both directions, 6 untouched.
      EXPECT_EQ(moved.size(), 81u);
      EXPECT_TRUE(moved.count({7, 10}) && moved.count({5, 5}) && !moved.count({6, 1}) && !moved.count({1, 6}));
    }
  }
  // A cyclic map of three cells keeps radius 0; a flat one moves the neighbour too.
  for (bool cyclic : {false, true}) {
    TKohonen k;
    Zeroed(k, 3, 1, {{1.0}});
    k.SetCyclic(cyclic);
    k.SetNrOfTrnSteps(2);
    k.SetInitialNeighbors(2);  // radius round(1.25) = 1
    k.ContinueTraining();
    EXPECT_NE(k.KohMat().GetVal(1, 1, 1), 0.0);
    EXPECT_EQ(k.KohMat().GetVal(2, 1, 1) != 0.0, !cyclic);
    EXPECT_EQ(k.KohMat().GetVal(3, 1, 1), 0.0);
  }
}

TEST(TKohonen, ApplyItBeforeStandardisationUsesRawValues) {
  TKohonen k;
  Zeroed(k, 3, 2, {{0.0, 0.0}});
  TVector v;
  v.Resize(2);
  v.SetVal(1, 3.0);
  v.SetVal(2, -4.0);
  int32_t bx = -1, by = -1;
  double d = 0;
  k.ApplyIt(&v, bx, by, d);
  EXPECT_EQ(bx, 1);  // all cells tie
  EXPECT_EQ(by, 1);
  EXPECT_EQ(d, 25.0);
  // A value that matches no cell leaves the indices alone.
  v.SetVal(2, std::numeric_limits<double>::quiet_NaN());
  bx = by = -1;
  k.ApplyIt(&v, bx, by, d);
  EXPECT_EQ(bx, -1);
  EXPECT_EQ(d, qmx::uc_MaxDouble);
}

// A row with a NaN has no best match: it is skipped instead of spreading NaN over the map.
TEST(TKohonen, RowsWithoutABestMatchAreSkipped) {
  Rows clean = RandomRows(30, 3, 44), dirty = clean;
  dirty.insert(dirty.begin() + 10, {0.5, std::numeric_limits<double>::quiet_NaN(), 0.1});
  dirty.insert(dirty.begin() + 20, {std::numeric_limits<double>::infinity(), 0.0, 0.0});
  TKohonen a, b;
  for (auto* k : {&a, &b}) {
    k->SetSizeX(4);
    k->SetSizeY(4);
    k->SetNrOfTrnSteps(6);
  }
  auto dc = MatrixOf(clean), dd = MatrixOf(dirty);
  a.SetTrainData(dc.get());
  b.SetTrainData(dd.get());
  qmx::RandSeed(2);
  a.Trainit();
  qmx::RandSeed(2);
  b.Trainit();
  for (int x = 1; x <= 4; ++x)
    for (int y = 1; y <= 4; ++y)
      for (int i = 1; i <= 3; ++i) EXPECT_TRUE(SameBits(a.KohMat().GetVal(x, y, i), b.KohMat().GetVal(x, y, i)));
}

// Three separated groups in two variables plus a constant one: each group lands in its own
// cells, training objects sit close to their cell (the constant variable is centred on both
// sides), and the weights in data units lie near their group.
TEST(TKohonen, SeparatedGroupsLandInSeparateCells) {
  const double cx[3] = {0.0, 10.0, 0.0}, cy[3] = {0.0, 0.0, 10.0};
  Rows rows;
  qmx::RandSeed(123);
  for (int g = 0; g < 3; ++g)
    for (int n = 0; n < 30; ++n)
      rows.push_back({cx[g] + qmx::RandomUniform() - 0.5, cy[g] + qmx::RandomUniform() - 0.5, 100.0});
  TKohonen k;
  auto d = MatrixOf(rows);
  Configure(k, d.get(), 6, 6, 40, 3);
  k.StandardizeData();
  EXPECT_NEAR(k.MeanVec.GetVal(1), 10.0 / 3, 0.2);
  EXPECT_EQ(k.MeanVec.GetVal(3), 100.0);
  EXPECT_EQ(k.StdDevVec.GetVal(3), 0.0);
  EXPECT_EQ(k.TrainData().GetVal(3, 7), 0.0);
  qmx::RandSeed(9);
  k.Trainit();
  std::set<std::pair<int, int>> cells[3];
  TVector v;
  v.Resize(3);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (int i = 0; i < 3; ++i) v.SetVal(i + 1, rows[r][i]);
    int32_t bx = 0, by = 0;
    double dist = 0;
    k.ApplyIt(&v, bx, by, dist);
    EXPECT_LT(dist, 0.1);
    cells[r / 30].insert({bx, by});
    EXPECT_NEAR(k.GetWeight(bx, by, 1), cx[r / 30], 1.5);
    EXPECT_NEAR(k.GetWeight(bx, by, 2), cy[r / 30], 1.5);
    EXPECT_NEAR(k.GetWeight(bx, by, 3), 100.0, 0.01);
  }
  for (int a = 0; a < 3; ++a)
    for (int b = a + 1; b < 3; ++b)
      for (const auto& c : cells[a]) EXPECT_EQ(cells[b].count(c), 0u);
  EXPECT_EQ(k.GetWeight(7, 1, 1), 0.0);
}

// Points along a line train a one-row map into an ordered chain: neighbouring cells hold
// neighbouring values.
TEST(TKohonen, AOneRowMapOrdersALine) {
  Rows rows;
  for (int i = 0; i < 200; ++i) rows.push_back({(i * 37 % 200) / 200.0});
  TKohonen k;
  auto d = MatrixOf(rows);
  Configure(k, d.get(), 10, 1, 60, 4);
  qmx::RandSeed(31);
  k.Trainit();
  int up = 0, down = 0;
  for (int x = 1; x < 10; ++x) {
    const double a = k.KohMat().GetVal(x, 1, 1), b = k.KohMat().GetVal(x + 1, 1, 1);
    (b > a ? up : down)++;
  }
  EXPECT_TRUE(up == 9 || down == 9) << up << " up, " << down << " down";
}

// ---- stored maps --------------------------------------------------------------------------

void Trained(TKohonen& k, bool cyclic, uint64_t seed) {
  Rows rows = RandomRows(50, 3, seed);
  for (auto& r : rows) r[2] = 4.0;  // a constant variable (standard deviation 0)
  auto d = MatrixOf(rows);
  Configure(k, d.get(), 5, 3, 7, -2);
  k.SetCyclic(cyclic);
  k.SetInitialAlpha(0.3);
  k.SetComment("  two\nlines & <tags> \"quoted\"\t ");
  k.StandardizeData();
  k.Trainit();
}

void ExpectSameMap(const TKohonen& a, const TKohonen& b) {
  ASSERT_EQ(a.SizeX(), b.SizeX());
  ASSERT_EQ(a.SizeY(), b.SizeY());
  ASSERT_EQ(a.NrOfInSens(), b.NrOfInSens());
  EXPECT_EQ(a.Cyclic(), b.Cyclic());
  EXPECT_EQ(a.Comment(), b.Comment());
  EXPECT_EQ(a.InitialNeighbors(), b.InitialNeighbors());
  EXPECT_EQ(a.NrOfTrnSteps(), b.NrOfTrnSteps());
  EXPECT_EQ(a.InitialAlpha(), b.InitialAlpha());
  EXPECT_EQ(a.CurStep(), b.CurStep());
  for (int i = 1; i <= a.NrOfInSens(); ++i) {
    EXPECT_TRUE(SameBits(a.MeanVec.GetVal(i), b.MeanVec.GetVal(i)));
    EXPECT_TRUE(SameBits(a.StdDevVec.GetVal(i), b.StdDevVec.GetVal(i)));
    for (int x = 1; x <= a.SizeX(); ++x)
      for (int y = 1; y <= a.SizeY(); ++y) EXPECT_TRUE(SameBits(a.KohMat().GetVal(x, y, i), b.KohMat().GetVal(x, y, i)));
  }
}

TEST(TKohonenXML, StoredMapClassifiesAsBefore) {
  TKohonen a;
  qmx::RandSeed(4);
  Trained(a, true, 61);
  const std::string file = testing::TempDir() + "/som_roundtrip.xml";
  ASSERT_TRUE(a.SaveAsXMLFile(file, "first"));
  TKohonen b;
  ASSERT_TRUE(b.LoadFromXMLFile(file, "first"));
  ExpectSameMap(a, b);
  EXPECT_EQ(b.TrainData().NrOfColumns(), 3);
  const Rows probe = RandomRows(40, 3, 62);
  TVector v;
  v.Resize(3);
  for (const auto& r : probe) {
    for (int i = 0; i < 3; ++i) v.SetVal(i + 1, r[i] * 5);
    int32_t ax = 0, ay = 0, bx = 0, by = 0;
    double ad = 0, bd = 0;
    a.ApplyIt(&v, ax, ay, ad);
    b.ApplyIt(&v, bx, by, bd);
    EXPECT_EQ(ax, bx);
    EXPECT_EQ(ay, by);
    EXPECT_TRUE(SameBits(ad, bd));
  }
}

TEST(TKohonenXML, SeveralMapsInOneDocumentByDataID) {
  TKohonen a, b;
  Trained(a, false, 71);
  Trained(b, true, 72);
  b.SetSizeX(2);  // a map of another size, zero weights
  qmx::TMemoryStream s;
  a.WriteToXMLStream(&s, true, "A");
  b.WriteToXMLStream(&s, false, "B");
  std::ostringstream os;
  b.WriteToOpenXMLFile(os, true, "B");
  s.SetPosition(0);
  TKohonen c;
  ASSERT_TRUE(c.ReadFromXMLStream(&s, "B"));
  ExpectSameMap(b, c);
  s.SetPosition(0);
  ASSERT_TRUE(c.ReadFromXMLStream(&s, ""));
  ExpectSameMap(a, c);
  s.SetPosition(0);
  EXPECT_FALSE(c.ReadFromXMLStream(&s, "C"));
  EXPECT_EQ(s.Position(), 0);
  ExpectSameMap(a, c);
  std::istringstream is("<doc>" + os.str().substr(os.str().find('\n') + 1) + "</doc>");
  ASSERT_TRUE(c.ReadFromOpenXMLFile(is, "B"));
  ExpectSameMap(b, c);
}

TEST(TKohonenXML, DamagedDocumentsLeaveTheMapUnchanged) {
  TKohonen a;
  Trained(a, false, 81);
  std::ostringstream os;
  a.WriteToOpenXMLFile(os, true, "m");
  const std::string good = os.str();
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const auto p = t.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    return t.replace(p, from.size(), to);
  };
  const auto firstCell = good.find("<cell");
  const std::string cellLine = good.substr(firstCell, good.find('\n', firstCell) - firstCell + 1);
  const std::string bad[] = {
      good.substr(0, good.size() / 2),                        // truncated
      replaced("<sizex>5</sizex>", "<sizex>0</sizex>"),
      replaced("<sizex>5</sizex>", "<sizex>2000000000</sizex>"),
      replaced("<sizey>3</sizey>", "<sizey>x</sizey>"),
      replaced("<nrinsens>3</nrinsens>", "<nrinsens>4</nrinsens>"),
      replaced(cellLine, ""),                                  // a cell missing
      replaced(cellLine, cellLine + cellLine),                 // a cell twice (one too many)
      replaced("<cell x=\"1\" y=\"2\">", "<cell x=\"1\" y=\"1\">"),  // duplicated position
      replaced("<cell x=\"1\" y=\"1\">", "<cell x=\"6\" y=\"1\">"),
      replaced("<cell x=\"1\" y=\"1\">", "<cell x=\"1\" y=\"1\">1e999 "),
      replaced("<maxsteps>7</maxsteps>", "<maxsteps>0</maxsteps>"),
      replaced("<cyclic>0</cyclic>", "<cyclic>maybe</cyclic>"),
      replaced("<meanstddev i=\"2\">", "<meanstddev i=\"1\">"),
  };
  for (const auto& doc : bad) {
    TKohonen k;
    Trained(k, true, 82);
    std::istringstream is(doc);
    EXPECT_FALSE(k.ReadFromOpenXMLFile(is, "m")) << doc.substr(0, 400);
    TKohonen ref;
    Trained(ref, true, 82);
    ExpectSameMap(ref, k);
  }
  EXPECT_FALSE(a.LoadFromXMLFile(testing::TempDir() + "/no_such_dir/x.xml", ""));
  EXPECT_FALSE(a.SaveAsXMLFile(testing::TempDir() + "/no_such_dir/x.xml", ""));
}

}  // namespace
