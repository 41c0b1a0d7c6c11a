// TMat4D: storage order, sizes and events, addressing, range and per-pixel statistics,
// percentiles, copies, reshaping, checksum and XML.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "matrix/nd_test_util.h"
#include "qmx/matrix.h"

using namespace qmx;
using qmxtest::Numbered;

namespace {


const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(TMat4D, RowsAreContiguousAndResizeKeepsTheOverlap) {
  TMat4D m;
  EXPECT_EQ(m.NrOfElements(), 1u);
  Numbered(m, 3, 2, 2, 2);
  const double* row = m.RowData(2, 1, 2);
  EXPECT_EQ(row[0], 2121.0);
  EXPECT_EQ(row[2], 2123.0);
  EXPECT_EQ(m.Data()[((1 * 2 + 1) * 2 + 0) * 3 + 1], 2212.0);  // (2, 1, 2, 2)

  int events = 0;
  m.OnChange = [&](TObject*) { ++events; };
  m.Resize(0, 5, 5, 5);  // nothing
  EXPECT_EQ(m.NrOfColumns(), 3);
  m.Resize(2, 3, 2, 3);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(m.GetVal(2, 2, 2, 2), 2222.0);
  EXPECT_EQ(m.GetVal(2, 3, 1, 1), 0.0);
  EXPECT_EQ(m.GetVal(1, 1, 1, 3), 0.0);
  EXPECT_EQ(m.GetVal(3, 1, 1, 1), 0.0);
  m.SetNTSlots(-4);
  EXPECT_EQ(m.NrOfTimeSlots(), 1);
  m.FillLayer(2, 7.0);  // no event
  EXPECT_EQ(events, 2);
  EXPECT_EQ(m.GetVal(2, 3, 2, 1), 7.0);
  EXPECT_EQ(m.GetVal(2, 2, 1, 1), 1122.0);
  m.FillLayer(3, 9.0);  // out of range: ignored
  m.Fill(1.0);
  m.FillDiag(5.0);
  EXPECT_EQ(events, 4);
  EXPECT_EQ(m.GetVal(1, 1, 1, 1), 5.0);
  EXPECT_EQ(m.GetVal(2, 2, 2, 1), 1.0);  // the slot count 1 stops the diagonal at 1
  EXPECT_DOUBLE_EQ(m.MemoryConsumed(), 12.0 * 8 / 1048576);
}

TEST(TMat4D, Addressing) {
  TMat4D m;
  m.Resize(4, 3, 5, 1);
  EXPECT_EQ(m.Lin3DAddr(1, 1, 2), 1);
  EXPECT_EQ(m.Lin3DAddr(2, 1, 1), 5);
  EXPECT_EQ(m.Lin3DAddr(4, 3, 5), 59);
  EXPECT_EQ(m.Lin3DAddr(5, 1, 1), -1);
  int32_t x, y, l;
  ASSERT_TRUE(m.ConvertLinTo3DAddr(5, x, y, l));
  EXPECT_EQ(x * 100 + y * 10 + l, 211);
  // Every address comes back to its indices.
  for (int32_t a = 0; a < 60; ++a) {
    ASSERT_TRUE(m.ConvertLinTo3DAddr(a, x, y, l));
    EXPECT_EQ(m.Lin3DAddr(x, y, l), a);
  }
  EXPECT_FALSE(m.ConvertLinTo3DAddr(60, x, y, l));
  EXPECT_FALSE(m.ConvertLinTo3DAddr(-1, x, y, l));
}

TEST(TMat4D, RangeStatistics) {
  TMat4D m;
  Numbered(m, 3, 2, 2, 2);
  // 24 values: the mean of 1000t + 100l + 10r + c over the box is 1500 + 150 + 15 + 2.
  double mean, var;
  m.MeanVar(0, 0, 0, 0, 0, 0, 0, 0, mean, var);
  EXPECT_DOUBLE_EQ(mean, 1667.0);
  // Independent uniform parts: Var = (250000 + 2500 + 25 + 2/3) * 24/23 (sample variance).
  EXPECT_NEAR(var, (250000.0 + 2500.0 + 25.0 + 2.0 / 3.0) * 24.0 / 23.0, 1e-6);
  m.MeanVar(1, 2, 1, 1, 1, 1, 1, 1, mean, var);  // two elements: variance 1
  EXPECT_EQ(mean, 1111.5);
  EXPECT_EQ(var, 1.0);
  EXPECT_EQ(m.Sum(2, 2, 0, 0, 2, 2, 1, 1), 1212.0 + 1222.0);
  EXPECT_EQ(m.SquaredSum(3, 3, 1, 1, 1, 1, 0, 0), 1113.0 * 1113.0 + 2113.0 * 2113.0);
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 0, 0, 0, 0, 1200, 2111), 6 + 1);
  double mn, mx;
  m.MinMax(2, 3, 0, 0, 0, 0, 2, 2, mn, mx);
  EXPECT_EQ(mn, 2112.0);
  EXPECT_EQ(mx, 2223.0);
  int32_t c, r, l, t;
  m.Find(0, 0, 0, 0, 0, 0, 0, 0, 2121.4, c, r, l, t);
  EXPECT_EQ(c * 1000 + r * 100 + l * 10 + t, 1212);
  // A tie across time slots: the first in the visiting order wins, not the first stored.
  TMat4D tie;
  tie.Resize(2, 1, 1, 2);
  tie.SetVal(2, 1, 1, 1, 4.0);  // visited second
  tie.SetVal(1, 1, 1, 2, 4.0);  // visited first (column 1), stored last
  tie.Find(0, 0, 0, 0, 0, 0, 0, 0, 4.0, c, r, l, t);
  EXPECT_EQ(c, 1);
  EXPECT_EQ(t, 2);

  // Progress: trunc(6 / 100) + 1 = 1, so one step per column-row pair.
  ProcStat = 0;
  m.Sum(0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(ProcStat, 6.0);

  // Extremes beyond the start values, NaN passed over.
  TMat4D e;
  e.Resize(2, 1, 1, 2);
  e.Fill(-kInf);
  e.SetVal(1, 1, 1, 2, std::nan(""));
  e.MinMax(0, 0, 0, 0, 0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, -kInf);
  EXPECT_EQ(mx, -kInf);
}

TEST(TMat4D, PercentilesAreExactRanks) {
  TMat4D m;
  m.Resize(10, 10, 2, 1);
  m.Fill(0.0);
  // Mostly zeros, a few positive and a few negative values.
  for (int32_t c = 1; c <= 5; ++c) m.SetVal(c, 1, 1, 1, c);          // 1..5
  for (int32_t c = 1; c <= 4; ++c) m.SetVal(c, 2, 2, 1, -10.0 * c);  // -10..-40
  std::vector<double> all(m.Data(), m.Data() + m.NrOfElements());
  std::sort(all.begin(), all.end());
  for (double p : {0.0, 1.0, 2.0, 3.0, 10.0, 50.0, 97.0, 98.0, 99.0, 100.0}) {
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(std::nearbyint(200 * p / 100)), 199);
    for (int rep = 0; rep < 5; ++rep)  // whatever the probes find
      EXPECT_EQ(m.Percentile(p, 0, 0, 0, 0, 0, 0, 0, 0), all[k]) << p;
  }
  // Zeros that fill the range below its lowest rank: 0 for small probabilities.
  TMat4D z;
  z.Resize(20, 20, 1, 1);
  z.SetVal(3, 3, 1, 1, 8.0);
  EXPECT_EQ(z.Percentile(5, 0, 0, 0, 0, 0, 0, 0, 0), 0.0);
  EXPECT_EQ(z.Percentile(100, 0, 0, 0, 0, 0, 0, 0, 0), 8.0);

  // Sampled: within the data, and the process generator is left alone.
  RandSeed(9);
  const double next = RandomUniform();
  RandSeed(9);
  const double s = m.Percentile(50, 0, 0, 0, 0, 0, 0, 0, 0, 50);
  EXPECT_EQ(RandomUniform(), next);
  EXPECT_GE(s, -40.0);
  EXPECT_LE(s, 5.0);
  EXPECT_EQ(z.Percentile(50, 1, 2, 0, 0, 0, 0, 0, 0, 10), 0.0);
}

TEST(TMat4D, PerPixelStatistics) {
  TMat4D m;
  Numbered(m, 3, 2, 2, 2);
  TMatrix d;
  m.MeanOfLayersToMatrix(&d, 2, 3, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(d.NrOfColumns(), 2);
  ASSERT_EQ(d.NrOfRows(), 2);
  EXPECT_DOUBLE_EQ(d.GetVal(1, 2), 1500.0 + 150.0 + 20.0 + 2.0);  // pixel (2, 2)
  m.MaximumOfLayersToMatrix(&d, 0, 0, 0, 0, 1, 1, 0, 0);
  EXPECT_EQ(d.GetVal(3, 1), 2113.0);
  m.MinimumOfLayersToMatrix(&d, 0, 0, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(d.NrOfRows(), 1);
  EXPECT_EQ(d.GetVal(1, 1), 2121.0);
  // Four values per pixel: t in {1000, 2000}, l in {100, 200}: population sd = sqrt(500^2 + 50^2).
  m.StdDevOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_NEAR(d.GetVal(3, 2), std::sqrt(250000.0 + 2500.0), 1e-9);

  // A pixel of infinities and NaNs keeps its extremes; one of NaNs only gets the start values.
  TMat4D e;
  e.Resize(2, 1, 2, 1);
  e.SetVal(1, 1, 1, 1, std::nan(""));
  e.SetVal(1, 1, 2, 1, kInf);
  e.SetVal(2, 1, 1, 1, std::nan(""));
  e.SetVal(2, 1, 2, 1, std::nan(""));
  e.MaximumOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(d.GetVal(1, 1), kInf);
  EXPECT_EQ(d.GetVal(2, 1), -uc_MaxReal);
  e.MinimumOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(d.GetVal(1, 1), kInf);
  EXPECT_EQ(d.GetVal(2, 1), uc_MaxReal);
}

TEST(TMat4D, Copies) {
  TMat4D m;
  Numbered(m, 3, 3, 2, 2);
  // Within the object, overlapping: the block is read before it is written.
  TMat4D ref;
  ref.Clone(&m);
  m.CopyFrom(&m, 1, 2, 0, 0, 0, 0, 0, 0, 2, 1, 1, 1);
  EXPECT_EQ(m.GetVal(2, 1, 1, 1), ref.GetVal(1, 1, 1, 1));
  EXPECT_EQ(m.GetVal(3, 3, 2, 2), ref.GetVal(2, 3, 2, 2));
  EXPECT_EQ(m.GetVal(1, 2, 1, 1), ref.GetVal(1, 2, 1, 1));
  // Destinations outside are skipped, also near the end of the index range.
  m.CopyFrom(&ref, 0, 0, 0, 0, 0, 0, 0, 0, 2147483647, 1, 1, 1);
  m.CopyFrom(&ref, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1);
  EXPECT_EQ(m.CRCofData(), ref.CRCofData());

  TMat3D cube;
  m.CopyTimeSlotToMat3D(&cube, 2, 3, 0, 0, 2, 2, 2);
  ASSERT_EQ(cube.NrOfColumns() * 100 + cube.NrOfRows() * 10 + cube.NrOfLayers(), 231);
  EXPECT_EQ(cube.GetVal(1, 3, 1), 2232.0);
  EXPECT_THROW(m.CopyTimeSlotToMat3D(&cube, 0, 0, 0, 0, 0, 0, 3), EQMXMatrixError);
  cube.Fill(-1.0);
  m.CopyMat3DToTimeSlot(&cube, 0, 0, 0, 0, 0, 0, 1, 2, 3, 2);  // lands at columns 2.., row 3, layer 2
  EXPECT_EQ(m.GetVal(2, 3, 2, 1), -1.0);
  EXPECT_EQ(m.GetVal(3, 3, 2, 1), -1.0);
  EXPECT_EQ(m.GetVal(1, 3, 2, 1), 1231.0);
  EXPECT_EQ(m.GetVal(2, 2, 2, 1), 1222.0);

  TMatrix layer;
  m.CopyLayerToMatrix(&layer, 0, 0, 2, 3, 1, 2);
  EXPECT_EQ(layer.NrOfRows(), 2);
  EXPECT_EQ(layer.GetVal(3, 2), 2133.0);
  EXPECT_THROW(m.CopyLayerToMatrix(&layer, 0, 0, 0, 0, 3, 1), EQMXMatrixError);
  m.CopyMatrixToLayer(&layer, 0, 0, 0, 0, 2, 1, 1, 2);  // shifted one row down
  EXPECT_EQ(m.GetVal(3, 3, 2, 1), 2133.0);
  EXPECT_EQ(m.GetVal(3, 2, 2, 1), 2123.0);
  EXPECT_EQ(m.GetVal(3, 1, 2, 1), 1213.0);

  TMat4D px;
  px.Resize(1, 1, 5, 1);
  px.Copy1DArrayToPixel(TDoubleArray(10, 4.0), 1, 1, 3, 1);
  EXPECT_EQ(px.GetVal(1, 1, 2, 1), 0.0);
  EXPECT_EQ(px.GetVal(1, 1, 5, 1), 4.0);
  px.Fill(0.0);
  px.Copy1DArrayToPixel(TDoubleArray{1.0, 2.0}, 1, 1, 3, 1);
  EXPECT_EQ(px.GetVal(1, 1, 4, 1), 2.0);
  EXPECT_EQ(px.GetVal(1, 1, 5, 1), 0.0);
  px.SetName("P");
  try {
    px.Copy1DArrayToPixel(TDoubleArray{1.0}, 1, 2, 1, 1);
    ADD_FAILURE();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"P\": specified row beyond data range");
  }
  EXPECT_THROW(px.Copy1DArrayToPixel(TDoubleArray{1.0}, 1, 1, 1, 2), EQMXMatrixError);

  TMat4D a;
  m.SetDataID("series");
  int fired = 0;
  m.OnChange = [&](TObject*) { ++fired; };
  a.Assign(&m);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(a.DataID(), "series");
  EXPECT_EQ(a.CRCofData(), m.CRCofData());
  a.Changed();  // the event came along
  EXPECT_EQ(fired, 1);
}

TEST(TMat4D, Reshaping) {
  TMat4D m;
  Numbered(m, 3, 3, 1, 1);
  TMat4D r;
  r.Clone(&m);
  r.Resample(2, 0, 2, 0, 1, 0, 1, 0, true);
  ASSERT_EQ(r.NrOfColumns(), 2);
  ASSERT_EQ(r.NrOfRows(), 2);
  EXPECT_EQ(r.GetVal(2, 2, 1, 1), m.GetVal(3, 3, 1, 1) / 4);
  EXPECT_EQ(r.GetVal(1, 1, 1, 1), (1111.0 + 1112 + 1121 + 1122) / 4);
  r.Clone(&m);
  r.Resample(2, 3, 1, 0, 1, 0, 1, 0, false);  // offset 3 becomes 1: columns 2 only
  EXPECT_EQ(r.NrOfColumns(), 1);
  EXPECT_EQ(r.GetVal(1, 3, 1, 1), 1132.0);
  EXPECT_THROW(r.Resample(0, 0, 1, 0, 1, 0, 1, 0, false), EQMXMatrixError);
  r.Resize(4, 1, 1, 1);
  for (int32_t c = 1; c <= 4; ++c) r.SetVal(c, 1, 1, 1, c);
  r.Resample(3, -3, 1, 0, 1, 0, 1, 0, true);  // offset -3 becomes 0; blocks 1..3 and 4
  ASSERT_EQ(r.NrOfColumns(), 2);
  EXPECT_EQ(r.GetVal(1, 1, 1, 1), 2.0);
  EXPECT_EQ(r.GetVal(2, 1, 1, 1), 4.0 / 3);

  Numbered(m, 3, 2, 2, 2);
  r.Clone(&m);
  ASSERT_TRUE(r.Transpose());
  ASSERT_EQ(r.NrOfColumns(), 2);
  ASSERT_EQ(r.NrOfRows(), 3);
  for (int32_t t = 1; t <= 2; ++t)
    for (int32_t l = 1; l <= 2; ++l)
      for (int32_t y = 1; y <= 3; ++y)
        for (int32_t x = 1; x <= 2; ++x) EXPECT_EQ(r.GetVal(x, y, l, t), m.GetVal(y, x, l, t));
  AbortMathProc = true;
  EXPECT_FALSE(r.Transpose());
  AbortMathProc = false;
  EXPECT_EQ(r.NrOfColumns(), 2);  // unchanged

  r.Clone(&m);
  r.MirrorColumns();
  r.MirrorRows();
  r.MirrorLayers();
  r.MirrorTimeSlots();
  EXPECT_EQ(r.GetVal(1, 1, 1, 1), m.GetVal(3, 2, 2, 2));
  EXPECT_EQ(r.GetVal(2, 2, 1, 2), m.GetVal(2, 1, 2, 1));

  std::vector<int32_t> pct;
  r.Clone(&m);
  r.OnPercentDone = [&](TObject*, int32_t p) { pct.push_back(p); };
  r.Cut(2, 3, 2, 2, 0, 0, 2, 2);
  ASSERT_EQ(r.NrOfColumns() * 1000 + r.NrOfRows() * 100 + r.NrOfLayers() * 10 + r.NrOfTimeSlots(), 2121);
  EXPECT_EQ(r.GetVal(1, 1, 2, 1), 2222.0);
  ASSERT_FALSE(pct.empty());
  EXPECT_EQ(pct.back(), 100);
}

TEST(TMat4D, ChecksumAndRandomFillVisitColumnsOutermost) {
  auto check = [](int32_t nc, int32_t nr, int32_t nl, int32_t nt) {
    TMat4D m;
    m.Resize(nc, nr, nl, nt);
    RandSeed(3);
    m.FillRandomUniform(-1, 1);
    // The same generator sequence in the order column, row, layer, time slot (slot fastest).
    RandSeed(3);
    TMatrix line;
    line.Resize(1, nc * nr * nl * nt);
    int32_t k = 1;
    bool same = true;
    for (int32_t c = 1; c <= nc; ++c)
      for (int32_t r = 1; r <= nr; ++r)
        for (int32_t l = 1; l <= nl; ++l)
          for (int32_t t = 1; t <= nt; ++t) {
            const double v = -1 + RandomUniform() * 2;
            same = same && m.GetVal(c, r, l, t) == v;
            line.Cell(1, k++) = v;
          }
    EXPECT_TRUE(same);
    EXPECT_EQ(m.CRCofData(), line.CRCofData());
  };
  check(11, 3, 2, 5);
  check(1, 1, 1, 1);
  check(20, 1, 1, 3);
  check(1, 2, 1100, 2000);  // pixel series too long to gather by column tiles
}

TEST(TMat4D, XmlRoundTrip) {
  TMat4D a, b, r;
  Numbered(a, 2, 3, 2, 2);
  a.SetVal(2, 3, 2, 2, 0.1);
  a.SetVal(1, 1, 2, 1, -0.0);
  Numbered(b, 1, 1, 1, 3);
  std::stringstream doc;
  b.WriteToOpenXMLFile(doc, true, "b");
  a.WriteToOpenXMLFile(doc, false, "a");
  ASSERT_TRUE(r.ReadFromOpenXMLFile(doc, "a"));
  EXPECT_EQ(r.CRCofData(), a.CRCofData());
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
  doc.clear();
  doc.seekg(0);
  ASSERT_TRUE(r.ReadFromOpenXMLFile(doc, "b"));
  EXPECT_EQ(r.CRCofData(), b.CRCofData());
  // A cell listed twice (instead of another) refuses the element and leaves the object alone.
  std::string text = doc.str();
  const auto p = text.find("t=\"2\"");
  ASSERT_NE(p, std::string::npos);
  text.replace(p, 5, "t=\"1\"");
  std::stringstream bad(text);
  EXPECT_FALSE(r.ReadFromOpenXMLFile(bad, "b"));
  EXPECT_EQ(r.CRCofData(), b.CRCofData());
}
