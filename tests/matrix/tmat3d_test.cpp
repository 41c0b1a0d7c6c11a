// TMat3D: storage order, sizes, fills and events, search, extremes, percentiles, layer copies,
// checksum and XML.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "qmx/matrix.h"

using namespace qmx;

namespace {

// Element (c, r, l) := 100c + 10r + l, so every position is recognisable.
void Numbered(TMat3D& m, int32_t nc, int32_t nr, int32_t nl) {
  m.Resize(nc, nr, nl);
  for (int32_t c = 1; c <= nc; ++c)
    for (int32_t r = 1; r <= nr; ++r)
      for (int32_t l = 1; l <= nl; ++l) m.SetVal(c, r, l, 100.0 * c + 10.0 * r + l);
}

}  // namespace

TEST(TMat3D, LayersOfACellAreContiguousAndResizeKeepsTheOverlap) {
  TMat3D m;
  EXPECT_EQ(m.NrOfColumns() * m.NrOfRows() * m.NrOfLayers(), 1);
  EXPECT_EQ(m.GetVal(1, 1, 1), 0.0);
  Numbered(m, 3, 2, 4);
  const double* p = m.CellData(2, 1);
  for (int32_t l = 1; l <= 4; ++l) EXPECT_EQ(p[l - 1], 210.0 + l);
  EXPECT_EQ(m.Data()[((2 - 1) * 2 + (2 - 1)) * 4 + 2], 223.0);  // (2, 2, 3)

  m.Resize(2, 3, 5);
  EXPECT_EQ(m.GetVal(2, 2, 4), 224.0);
  EXPECT_EQ(m.GetVal(2, 3, 1), 0.0);  // new row
  EXPECT_EQ(m.GetVal(1, 1, 5), 0.0);  // new layer
  EXPECT_EQ(m.GetVal(3, 1, 1), 0.0);  // gone: outside reads 0
  m.SetVal(0, 1, 1, 9.0);             // ignored
  m.SetVal(1, 1, 6, 9.0);
  EXPECT_EQ(m.Percentile(100, 0, 0, 0, 0, 0, 0), 224.0);

  int events = 0;
  m.OnChange = [&](TObject*) { ++events; };
  m.Resize(0, 5, 5);  // a count below 1: nothing
  EXPECT_EQ(m.NrOfColumns(), 2);
  m.SetNCols(0);  // becomes 1
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(events, 1);
  m.Fill(3.0);
  EXPECT_EQ(events, 1);  // Fill fires nothing
  m.FillDiag(7.0);
  EXPECT_EQ(events, 2);
  EXPECT_EQ(m.GetVal(1, 1, 1), 7.0);
  EXPECT_EQ(m.GetVal(1, 2, 2), 3.0);  // only (i, i, i), and i stops at the smallest count
}

TEST(TMat3D, FindAndExtremes) {
  TMat3D m;
  m.Resize(1, 1, 3);
  for (int32_t l = 1; l <= 3; ++l) m.SetVal(1, 1, l, l);
  int32_t c, r, l;
  m.Find(0, 0, 0, 0, 0, 0, 2.4, c, r, l);
  EXPECT_EQ(l, 2);
  m.Find(0, 0, 0, 0, 0, 0, 2.5, c, r, l);  // equally near 2 and 3: the first visited
  EXPECT_EQ(l, 2);
  m.Find(0, 0, 0, 0, 0, 0, std::nan(""), c, r, l);
  EXPECT_EQ(c + r + l, 0);

  // Extremes beyond the start values are reported; NaN is passed over.
  const double inf = std::numeric_limits<double>::infinity();
  m.SetVal(1, 1, 1, inf);
  m.SetVal(1, 1, 2, std::nan(""));
  m.SetVal(1, 1, 3, inf);
  double mn, mx;
  m.MinMax(0, 0, 0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, inf);
  EXPECT_EQ(mx, inf);
  m.MinMax(0, 0, 0, 0, 2, 2, mn, mx);  // nothing comparable: the start values
  EXPECT_EQ(mn, uc_MaxReal);
  EXPECT_EQ(mx, -uc_MaxReal);

  // The progress counter steps once per column-row pair here (trunc(6/100) + 1 = 1).
  TMat3D big;
  Numbered(big, 3, 2, 2);
  ProcStat = 0;
  big.MinMax(0, 0, 0, 0, 0, 0, mn, mx);
  EXPECT_EQ(ProcStat, 6.0);
  EXPECT_EQ(mn, 111.0);
  EXPECT_EQ(mx, 322.0);
  big.MinMax(2, 3, 2, 2, 1, 1, mn, mx);
  EXPECT_EQ(mn, 221.0);
  EXPECT_EQ(mx, 321.0);
}

TEST(TMat3D, Percentiles) {
  TMat3D m;
  m.Resize(2, 1, 2);
  m.SetVal(1, 1, 1, 4);
  m.SetVal(1, 1, 2, 1);
  m.SetVal(2, 1, 1, 3);
  m.SetVal(2, 1, 2, 2);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 0, 0), 3.0);   // rank round(2) of 1 2 3 4
  EXPECT_EQ(m.Percentile(0, 0, 0, 0, 0, 0, 0), 1.0);
  EXPECT_EQ(m.Percentile(100, 0, 0, 0, 0, 0, 0), 4.0);  // rank 4 is limited to the last
  EXPECT_EQ(m.Percentile(250, 0, 0, 0, 0, 0, 0), 4.0);
  EXPECT_EQ(m.Percentile(37.5, 0, 0, 0, 0, 0, 0), 3.0);  // 1.5 rounds half to even: 2
  EXPECT_EQ(m.Percentile(50, 2, 2, 0, 0, 0, 0), 3.0);   // column 2 only: 3 2 -> rank 1
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 0, 0, 4), 3.0);  // a sample as large as the range: exact

  // A sampled estimate stays within the data and leaves the process generator alone.
  TMat3D big;
  big.Resize(20, 20, 20);
  for (int32_t c = 1; c <= 20; ++c)
    for (int32_t r = 1; r <= 20; ++r)
      for (int32_t l = 1; l <= 20; ++l) big.SetVal(c, r, l, c);
  RandSeed(77);
  const double expected = RandomUniform();
  RandSeed(77);
  const double est = big.Percentile(50, 0, 0, 0, 0, 0, 0, 500);
  EXPECT_EQ(RandomUniform(), expected);
  EXPECT_GE(est, 7.0);
  EXPECT_LE(est, 14.0);
  EXPECT_EQ(big.Percentile(50, 3, 3, 0, 0, 0, 0, 10), 3.0);  // a constant range
}

TEST(TMat3D, LayerCopies) {
  TMat3D m;
  Numbered(m, 3, 3, 2);
  TMatrix dst;
  m.CopyLayerToMatrix(&dst, 2, 3, 0, 0, 2);
  ASSERT_EQ(dst.NrOfColumns(), 2);
  ASSERT_EQ(dst.NrOfRows(), 3);
  EXPECT_EQ(dst.GetVal(1, 1), 212.0);
  EXPECT_EQ(dst.GetVal(2, 3), 332.0);
  EXPECT_THROW(m.CopyLayerToMatrix(&dst, 0, 0, 0, 0, 3), EQMXMatrixError);
  try {
    m.SetName("Cube");
    m.CopyLayerToMatrix(&dst, 0, 0, 0, 0, 0);
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"Cube\": specified layer beyond data range");
  }

  TMatrix src;
  src.Resize(2, 2);
  src.Fill(5.0);
  src.SetVal(2, 2, 6.0);
  int events = 0;
  m.OnChange = [&](TObject*) { ++events; };
  // LayLowCol 0: source column 1 would land in column 0 and is skipped.
  m.CopyMatrixToLayer(&src, 1, 2, 1, 2, 1, 0, 1);
  EXPECT_EQ(m.GetVal(1, 1, 1), 5.0);
  EXPECT_EQ(m.GetVal(1, 2, 1), 6.0);
  EXPECT_EQ(m.GetVal(2, 1, 1), 211.0);
  EXPECT_EQ(m.GetVal(1, 1, 2), 112.0);  // other layer untouched
  EXPECT_EQ(events, 0);
  // Bounds are not clamped: cells beyond the source read 0; huge bounds end at the layer's edge.
  m.CopyMatrixToLayer(&src, 2, 2147483647, 1, 1, 2, 2, 1);
  EXPECT_EQ(m.GetVal(2, 1, 2), 5.0);
  EXPECT_EQ(m.GetVal(3, 1, 2), 0.0);

  TMat3D c;
  c.SetDataID("keep");
  c.Clone(&m);
  EXPECT_EQ(c.CRCofData(), m.CRCofData());
  EXPECT_EQ(c.DataID(), "keep");
  TMat3D a;
  m.SetDataID("cube");
  a.Assign(&m);
  EXPECT_EQ(a.DataID(), "cube");
  EXPECT_EQ(a.GetVal(3, 3, 2), 332.0);
  TMatrix other;
  EXPECT_THROW(a.Assign(&other), EConvertError);
}

TEST(TMat3D, ChecksumVisitsColumnsOutermost) {
  // The same values in the same visiting order give the same text in a one-column TMatrix.
  TMat3D m;
  Numbered(m, 2, 3, 2);
  TMatrix line;
  line.Resize(1, 12);
  int32_t k = 1;
  for (int32_t c = 1; c <= 2; ++c)
    for (int32_t r = 1; r <= 3; ++r)
      for (int32_t l = 1; l <= 2; ++l) line.SetVal(1, k++, m.GetVal(c, r, l));
  EXPECT_EQ(m.CRCofData(), line.CRCofData());
  EXPECT_EQ(m.CRCofData().size(), 64u);
  m.SetVal(2, 3, 2, -0.0);
  EXPECT_NE(m.CRCofData(), line.CRCofData());
}

TEST(TMat3D, XmlKeepsValuesExactlyAndSeveralObjectsPerDocument) {
  TMat3D a, b;
  Numbered(a, 2, 2, 3);
  a.SetVal(1, 2, 3, 0.1);
  a.SetVal(2, 1, 1, -0.0);
  a.SetVal(2, 2, 2, 5e-324);
  a.SetVal(1, 1, 2, -std::numeric_limits<double>::infinity());
  Numbered(b, 1, 2, 2);
  std::stringstream doc;
  a.WriteToOpenXMLFile(doc, true, "first");
  b.WriteToOpenXMLFile(doc, false, "second");

  TMat3D r;
  doc.seekg(0);
  ASSERT_TRUE(r.ReadFromOpenXMLFile(doc, "second"));
  EXPECT_EQ(r.CRCofData(), b.CRCofData());
  EXPECT_EQ(r.DataID(), "second");
  doc.seekg(0);
  ASSERT_TRUE(r.ReadFromOpenXMLFile(doc, "first"));
  EXPECT_EQ(r.NrOfLayers(), 3);
  EXPECT_EQ(r.CRCofData(), a.CRCofData());  // bit for bit, -0 and the denormal included
  EXPECT_TRUE(std::signbit(r.GetVal(2, 1, 1)));

  // Failed loads leave the object as it was: unknown id, a missing cell, time slots.
  const std::string before = r.CRCofData();
  doc.clear();
  doc.seekg(0);
  EXPECT_FALSE(r.ReadFromOpenXMLFile(doc, "third"));
  std::string text = doc.str();
  std::string broken = text.substr(0, text.find("second"));
  const auto cut = broken.find("<cell c=\"2\" r=\"2\" l=\"3\"");
  ASSERT_NE(cut, std::string::npos);
  broken.erase(cut, broken.find('\n', cut) - cut + 1);
  broken += "x\"></matrix>";
  std::stringstream bad(broken);
  EXPECT_FALSE(r.ReadFromOpenXMLFile(bad, "first"));
  std::stringstream slots(
      "<matrix dataid=\"s\"><nrcols>1</nrcols><nrrows>1</nrrows><nrlayers>1</nrlayers>"
      "<nrtimeslots>2</nrtimeslots><cell c=\"1\" r=\"1\" l=\"1\" t=\"1\">1</cell>"
      "<cell c=\"1\" r=\"1\" l=\"1\" t=\"2\">2</cell></matrix>");
  EXPECT_FALSE(r.ReadFromOpenXMLFile(slots, ""));
  EXPECT_EQ(r.CRCofData(), before);
  EXPECT_EQ(r.DataID(), "first");

  // A matrix element reads as one layer.
  TMatrix m2;
  m2.Resize(2, 1);
  m2.SetVal(2, 1, 8.5);
  std::stringstream mdoc;
  m2.WriteToOpenXMLFile(mdoc, false, "m");
  ASSERT_TRUE(r.ReadFromOpenXMLFile(mdoc, "m"));
  EXPECT_EQ(r.NrOfLayers(), 1);
  EXPECT_EQ(r.GetVal(2, 1, 1), 8.5);
}
