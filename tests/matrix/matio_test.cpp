// Storage formats of TMatrix and the shared layer: exact round trips, several objects per XML
// document, and damaged, truncated or oversized input that must be refused without harm.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "matrix/matio.h"
#include "qmx/matrix.h"

using namespace qmx;

namespace {

std::string TempFile(const std::string& name) { return testing::TempDir() + "qmx_matio_" + name; }

std::string ReadAll(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& f, const std::string& s) {
  std::ofstream out(f, std::ios::binary | std::ios::trunc);
  out << s;
}

uint64_t Bits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, 8);
  return u;
}

// Values whose text or binary form is easy to get wrong.
const std::vector<double> kSpecial = {-0.0,
                                      0.1,
                                      1.0 / 3.0,
                                      5e-324,  // smallest denormal
                                      2.2250738585072009e-308,
                                      -std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      123456789012345678.0,
                                      -std::numeric_limits<double>::quiet_NaN()};

// 2 columns x 5 rows holding kSpecial in column order.
void FillSpecial(TMatrix& m) {
  m.Resize(2, 5);
  for (std::size_t k = 0; k < kSpecial.size(); ++k)
    m.SetVal(static_cast<int32_t>(k / 5 + 1), static_cast<int32_t>(k % 5 + 1), kSpecial[k]);
}

void ExpectSpecial(const TMatrix& m) {
  ASSERT_EQ(m.NrOfColumns(), 2);
  ASSERT_EQ(m.NrOfRows(), 5);
  for (std::size_t k = 0; k < kSpecial.size(); ++k) {
    double v = m.GetVal(static_cast<int32_t>(k / 5 + 1), static_cast<int32_t>(k % 5 + 1));
    if (std::isnan(kSpecial[k])) {
      EXPECT_TRUE(std::isnan(v));
      EXPECT_EQ(std::signbit(v), std::signbit(kSpecial[k]));
    } else {
      EXPECT_EQ(Bits(v), Bits(kSpecial[k])) << "value " << k;
    }
  }
}

// Fingerprint of a matrix for "unchanged" checks.
std::string State(const TMatrix& m) {
  return std::to_string(m.NrOfColumns()) + "x" + std::to_string(m.NrOfRows()) + ":" + m.DataID() + ":" +
         m.CRCofData();
}

}  // namespace

// ---- number text ---------------------------------------------------------------------------------

TEST(MatIoNumbers, ShortestTextReadsBackExactly) {
  for (double d : kSpecial) {
    std::string s;
    matio::AppendDouble(s, d);
    double back = 0;
    ASSERT_TRUE(matio::ParseDouble(s, back)) << s;
    if (!std::isnan(d)) {
      EXPECT_EQ(Bits(back), Bits(d)) << s;
    }
  }
  std::string s;
  matio::AppendDouble(s, -0.0);
  EXPECT_EQ(s, "-0");
  double v;
  EXPECT_FALSE(matio::ParseDouble("1e400", v));  // beyond the range: refused, not infinity
  EXPECT_FALSE(matio::ParseDouble("1.5x", v));
  EXPECT_FALSE(matio::ParseDouble("", v));
  EXPECT_FALSE(matio::ParseDouble("+-1", v));
  EXPECT_TRUE(matio::ParseDouble("+2.5", v));
  EXPECT_EQ(v, 2.5);
  int32_t i;
  EXPECT_FALSE(matio::ParseInt32("2147483648", i));
  EXPECT_TRUE(matio::ParseIntCell("2.5", i));
  EXPECT_EQ(i, 2);  // half to even
  EXPECT_TRUE(matio::ParseIntCell("-3.5", i));
  EXPECT_EQ(i, -4);
  EXPECT_FALSE(matio::ParseIntCell("3e10", i));
  EXPECT_FALSE(matio::ParseIntCell("nan", i));
}

// ---- XML -------------------------------------------------------------------------------------------

TEST(TMatrixXml, FileRoundTripIsBitExact) {
  TMatrix m, r;
  FillSpecial(m);
  m.SetDataID("own id");
  const std::string f = TempFile("special.xml");
  ASSERT_TRUE(m.SaveAsXMLFile(f, ""));
  ASSERT_TRUE(r.LoadFromXMLFile(f, "own id"));
  ExpectSpecial(r);
  EXPECT_EQ(r.DataID(), "own id");
  const std::string text = ReadAll(f);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("<cell c=\"1\" r=\"1\">-0</cell>"), std::string::npos);
}

TEST(TMatrixXml, SeveralObjectsShareOneFileAndAreFoundById) {
  TMatrix a, b, r;
  a.Resize(1, 2);
  a.SetVal(1, 2, 1.5);
  b.Resize(3, 1);
  b.SetVal(3, 1, -7.25);
  TIntMatrix im;
  im.SetVal(1, 1, 42);
  const std::string f = TempFile("shared.xml");
  {
    std::ofstream out(f);
    a.WriteToOpenXMLFile(out, true, "first");
    im.WriteToOpenXMLFile(out, false, "ints");
    b.WriteToOpenXMLFile(out, false, "second & <last>");
  }
  ASSERT_TRUE(r.LoadFromXMLFile(f, "second & <last>"));
  EXPECT_EQ(r.NrOfColumns(), 3);
  EXPECT_EQ(r.GetVal(3, 1), -7.25);
  EXPECT_EQ(r.DataID(), "second & <last>");
  ASSERT_TRUE(r.LoadFromXMLFile(f, "first"));
  EXPECT_EQ(r.GetVal(1, 2), 1.5);
  ASSERT_TRUE(r.LoadFromXMLFile(f, "ints"));  // integers read exactly as floats
  EXPECT_EQ(r.GetVal(1, 1), 42.0);
  const std::string before = State(r);
  EXPECT_FALSE(r.LoadFromXMLFile(f, "missing"));
  EXPECT_EQ(State(r), before);
  // Empty id: the first element.
  ASSERT_TRUE(r.LoadFromXMLFile(f, ""));
  EXPECT_EQ(r.DataID(), "first");
  // Sequential reads from one open file: each read ends after its element.
  std::ifstream in(f);
  TMatrix s1, s2;
  ASSERT_TRUE(s1.ReadFromOpenXMLFile(in, ""));
  ASSERT_TRUE(s2.ReadFromOpenXMLFile(in, "second & <last>"));
  EXPECT_EQ(s1.DataID(), "first");
  EXPECT_FALSE(s2.ReadFromOpenXMLFile(in, "first"));  // already behind us
}

TEST(TMatrixXml, StreamFormAndEnclosingElement) {
  TMatrix a, b, r;
  FillSpecial(a);
  b.Fill(2.0);
  TMemoryStream ms;
  const std::string open = "<?xml version=\"1.0\"?>\n<project name=\"p\">\n<!-- <matrix> in a comment -->\n";
  ms.Write(open.data(), open.size());
  a.WriteToXMLStream(&ms, false, "A");
  b.WriteToXMLStream(&ms, false, "B");
  ms.Write("</project>\n", 11);
  ms.SetPosition(0);
  ASSERT_TRUE(r.ReadFromXMLStream(&ms, "A"));
  ExpectSpecial(r);
  const int64_t afterA = ms.Position();
  EXPECT_LT(afterA, ms.Size());
  ASSERT_TRUE(r.ReadFromXMLStream(&ms, "B"));
  EXPECT_EQ(r.GetVal(1, 1), 2.0);
  // A failed search leaves the stream where it began.
  ms.SetPosition(afterA);
  EXPECT_FALSE(r.ReadFromXMLStream(&ms, "A"));
  EXPECT_EQ(ms.Position(), afterA);
  EXPECT_FALSE(r.ReadFromXMLStream(nullptr, "A"));
}

TEST(TMatrixXml, DamagedDocumentsAreRefusedAndMatrixKept) {
  TMatrix m;
  m.Resize(2, 2);
  m.SetVal(2, 2, 9.0);
  m.SetDataID("keep");
  const std::string before = State(m);
  const std::string head = "<matrix class=\"TMatrix\" dataid=\"x\">\n<nrcols>2</nrcols>\n<nrrows>1</nrrows>\n";
  const std::vector<std::string> bad = {
      head + "<cell c=\"1\" r=\"1\">1</cell>\n<cell c=\"2\" r=\"1\">2</cell>\n",  // truncated
      head + "<cell c=\"1\" r=\"1\">1</cell>\n</matrix>\n",                        // cell missing
      head + "<cell c=\"1\" r=\"1\">1</cell><cell c=\"1\" r=\"1\">2</cell></matrix>",  // duplicate
      head + "<cell c=\"1\" r=\"1\">1</cell><cell c=\"3\" r=\"1\">2</cell></matrix>",  // outside
      head + "<cell c=\"1\" r=\"1\">1</cell><cell c=\"2\" r=\"1\">abc</cell></matrix>",  // not a number
      head + "<cell c=\"1\" r=\"1\">1</cell><cell c=\"2\">2</cell></matrix>",           // no row
      head + "<cell c=\"1\" r=\"1\">1</cell><cell c=\"2\" r=\"1\">2<b></cell></matrix>",  // not well-formed
      "<matrix class=\"TMatrix\" dataid=\"x\"><nrcols>2000000000</nrcols><nrrows>2000000000</nrrows>"
      "<cell c=\"1\" r=\"1\">1</cell></matrix>",  // absurd size
      "<matrix class=\"TMatrix\" dataid=\"x\" sparse=\"1\"><nrcols>2000000000</nrcols>"
      "<nrrows>2000000000</nrrows></matrix>",  // absurd size, nothing backs it
      "<matrix dataid=\"x\"><nrrows>1</nrrows></matrix>",                                    // no columns
      "<matrix dataid=\"x\"><nrcols>-1</nrcols><nrrows>1</nrrows></matrix>",                 // negative
      "<matrix dataid=\"x\"><nrcols>1</nrcols><nrrows>1</nrrows><nrlayers>2</nrlayers>"
      "<cell c=\"1\" r=\"1\">1</cell></matrix>",  // three-dimensional
      "<matrix dataid=\"x\"><nrcols>1</nrcols><nrrows>1</nrrows><cell c=\"1\" r=\"1\">1e999</cell></matrix>",
      "",
      "\x01\x02\xff garbage < < >",
  };
  const std::string f = TempFile("bad.xml");
  for (std::size_t i = 0; i < bad.size(); ++i) {
    WriteAll(f, bad[i]);
    EXPECT_FALSE(m.LoadFromXMLFile(f, "x")) << "case " << i;
    EXPECT_FALSE(m.LoadFromXMLFile(f, "")) << "case " << i;
    EXPECT_EQ(State(m), before) << "case " << i;
  }
  EXPECT_FALSE(m.LoadFromXMLFile(TempFile("does_not_exist.xml"), ""));
  // A damaged element that is not the one asked for does not spoil the search.
  WriteAll(f, "<matrix dataid=\"other\"><nrcols>x</nrcols></matrix>"
              "<matrix dataid=\"x\"><nrcols>1</nrcols><nrrows>1</nrrows><cell c=\"1\" r=\"1\">4</cell></matrix>");
  ASSERT_TRUE(m.LoadFromXMLFile(f, "x"));
  EXPECT_EQ(m.GetVal(1, 1), 4.0);
}

TEST(TMatrixXml, TagVocabulary) {
  EXPECT_STREQ(matio::XmlTagText(TMatXmlTag::xmlMatCell), "cell");
  EXPECT_EQ(matio::ClassifyXmlTag("<matrix class=\"TMatrix\">"), TMatXmlTag::xmlMatBegin);
  EXPECT_EQ(matio::ClassifyXmlTag("</matrix>"), TMatXmlTag::xmlMatEnd);
  EXPECT_EQ(matio::ClassifyXmlTag("<nrlayers>"), TMatXmlTag::xmlMatNumLayers);
  EXPECT_EQ(matio::ClassifyXmlTag("<nrtimeslots>"), TMatXmlTag::xmlMatNumTimeSlots);
  EXPECT_EQ(matio::ClassifyXmlTag("<cell c=\"1\" r=\"2\">"), TMatXmlTag::xmlMatCell);
  EXPECT_EQ(matio::ClassifyXmlTag("<cells>"), TMatXmlTag::xmlInvalid);
  for (auto t : {TMatXmlTag::xmlMatNumCols, TMatXmlTag::xmlMatNumRows, TMatXmlTag::xmlMatNumLayers,
                 TMatXmlTag::xmlMatNumTimeSlots, TMatXmlTag::xmlMatCell})
    EXPECT_EQ(matio::ClassifyXmlTag(std::string("<") + matio::XmlTagText(t) + ">"), t);
}

// ---- binary file ------------------------------------------------------------------------------------

TEST(TMatrixBinary, RoundTripAndHeader) {
  TMatrix m, r;
  FillSpecial(m);
  m.SetDataID("bin");
  const std::string f = TempFile("m.bin");
  ASSERT_TRUE(m.SaveBinary(f));
  // magic 8 + version, kind, 4 sizes 24 + count 8 + id length 4 + "bin" + 10 doubles + CRC 4
  EXPECT_EQ(ReadAll(f).size(), 8u + 24 + 8 + 4 + 3 + 80 + 4);
  int32_t nc = 0, nr = 0;
  std::string id;
  ASSERT_TRUE(r.ReadBinaryHeader(f, nc, nr, id));
  EXPECT_EQ(nc, 2);
  EXPECT_EQ(nr, 5);
  EXPECT_EQ(id, "bin");
  ASSERT_TRUE(r.LoadBinary(f));
  ExpectSpecial(r);
  EXPECT_EQ(r.DataID(), "bin");
  // An integer matrix file is not a float matrix file.
  TIntMatrix im;
  ASSERT_TRUE(im.SaveBinary(f));
  EXPECT_FALSE(r.ReadBinaryHeader(f, nc, nr, id));
  EXPECT_FALSE(r.LoadBinary(f));
  ExpectSpecial(r);
}

TEST(TMatrixBinary, DamagedFilesAreRefusedAndMatrixKept) {
  TMatrix m, r;
  FillSpecial(m);
  const std::string f = TempFile("good.bin"), g = TempFile("damaged.bin");
  ASSERT_TRUE(m.SaveBinary(f));
  const std::string good = ReadAll(f);
  r.Resize(1, 1);
  r.SetVal(1, 1, 3.0);
  const std::string before = State(r);
  auto patched = [&](std::size_t at, const std::string& bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  std::string huge(4, '\0');
  const int32_t big = 1 << 30;
  std::memcpy(huge.data(), &big, 4);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"truncated", good.substr(0, good.size() - 9)},
      {"header only", good.substr(0, 30)},
      {"empty", ""},
      {"wrong magic", patched(0, "XMXMAT")},
      {"future version", patched(8, std::string("\x02", 1))},
      {"unknown kind", patched(12, std::string("\x07", 1))},
      {"huge columns", patched(16, huge)},
      {"huge rows", patched(20, huge)},
      {"negative columns", patched(16, "\xff\xff\xff\xff")},
      {"flipped payload bit", patched(50, std::string(1, static_cast<char>(good[50] ^ 0x10)))},
      {"flipped checksum", patched(good.size() - 1, std::string(1, static_cast<char>(good.back() ^ 1)))},
      {"trailing bytes", good + "x"},
      {"text file", "1 1 1 1\n5\n"},
  };
  for (const auto& [what, bytes] : cases) {
    WriteAll(g, bytes);
    EXPECT_FALSE(r.LoadBinary(g)) << what;
    EXPECT_EQ(State(r), before) << what;
  }
  int32_t nc = -5, nr = -5;
  std::string id = "unchanged";
  WriteAll(g, patched(16, huge));
  EXPECT_FALSE(r.ReadBinaryHeader(g, nc, nr, id));
  EXPECT_EQ(nc, -5);
  EXPECT_EQ(id, "unchanged");
  EXPECT_FALSE(r.LoadBinary(TempFile("no_such.bin")));
}

// ---- text file -----------------------------------------------------------------------------------------

TEST(TMatrixText, BlockReturnsToItsIndicesAndDefaultPrecisionIsExact) {
  TMatrix m, r;
  FillSpecial(m);
  const std::string f = TempFile("m.txt");
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, f));
  ASSERT_TRUE(r.LoadFromFile(f, true));
  ExpectSpecial(r);
  // A block 2..2 x 4..5: index line, then one line per row.
  ASSERT_TRUE(m.StoreOnFile(2, 4, 2, 5, f));
  const std::string t = ReadAll(f);
  EXPECT_EQ(t.substr(0, t.find('\n')), "2 4 2 5");
  TMatrix s;
  s.Fill(8.0);
  ASSERT_TRUE(s.LoadFromFile(f, true));
  EXPECT_EQ(s.NrOfColumns(), 2);
  EXPECT_EQ(s.NrOfRows(), 5);
  EXPECT_EQ(s.GetVal(1, 1), 8.0);  // outside the block: kept
  EXPECT_EQ(s.GetVal(2, 4), 123456789012345678.0);
  EXPECT_TRUE(std::isnan(s.GetVal(2, 5)));
  TMatrix small;
  EXPECT_FALSE(small.LoadFromFile(f, false));  // 1 x 1 cannot hold column 2
}

TEST(TMatrixText, PrecisionSettingsGiveWidthAndDecimals) {
  TMatrix m;
  m.Resize(2, 1);
  m.SetVal(1, 1, 1.5);
  m.SetVal(2, 1, -2.125);
  m.SetFPrecis(1, 8);
  m.SetFPrecis(2, 2);
  const std::string f = TempFile("prec.txt");
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, f));
  EXPECT_EQ(ReadAll(f), "1 1 2 1\n    1.50    -2.12\n");
}

TEST(TMatrixText, HeaderlessFileDetectsItsSize) {
  const std::string f = TempFile("plain.txt");
  WriteAll(f, "1 2 3\r\n\n4,5;6\n   \n7\t8 9\n");
  TMatrix m;
  ASSERT_TRUE(m.LoadFromFile(f, true, true));
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.GetVal(3, 2), 6.0);
  EXPECT_EQ(m.GetVal(1, 3), 7.0);
  TMatrix small;
  EXPECT_FALSE(small.LoadFromFile(f, false, true));
  WriteAll(f, "1 2 3\n4 5\n");  // ragged
  const std::string before = State(m);
  EXPECT_FALSE(m.LoadFromFile(f, true, true));
  EXPECT_EQ(State(m), before);
}

TEST(TMatrixText, DamagedFilesAreRefusedAndMatrixKept) {
  TMatrix m;
  m.Resize(3, 3);
  m.SetVal(3, 3, 1.25);
  const std::string before = State(m);
  const std::vector<std::string> bad = {
      "",
      "1 1 2\n",                       // short index line
      "1 1 2 2\n1 2\n3\n",             // truncated
      "1 1 2 2\n1 2\n3 four\n",        // not a number
      "1 1 2 2\n1 2\n3 4\n5\n",        // more values than announced
      "0 1 1 1\n5\n",                  // index 0
      "2 1 1 1\n5\n",                  // reversed block
      "1 1 2000000000 2000000000\n1 2\n",  // absurd block, nothing behind it
      "30000 30000 30000 30000\n1\n",      // tiny block far out: 9e8 cells of storage
      "1 1 1 1\n1e999\n",
      "x y z w\n",
  };
  const std::string f = TempFile("badtext.txt");
  for (std::size_t i = 0; i < bad.size(); ++i) {
    WriteAll(f, bad[i]);
    EXPECT_FALSE(m.LoadFromFile(f, true)) << "case " << i;
    EXPECT_FALSE(m.LoadFromFile(f, false)) << "case " << i;
    EXPECT_EQ(State(m), before) << "case " << i;
  }
  EXPECT_FALSE(m.LoadFromFile(TempFile("nope.txt"), true));
  TMatrix e;
  e.Resize(0, 3);
  EXPECT_FALSE(e.StoreOnFile(0, 0, 0, 0, f));
}

// ---- streams -------------------------------------------------------------------------------------------

TEST(TMatrixStream, RoundTripsThroughMemoryAndFileStreams) {
  TMatrix m, r;
  FillSpecial(m);
  TMemoryStream* ms = nullptr;
  m.SaveToStream(ms, 0, 0, 0, 0);
  ASSERT_NE(ms, nullptr);
  EXPECT_EQ(ms->Size(), 4 * 10 + 10 * 10);
  ms->SetPosition(0);
  ASSERT_TRUE(r.LoadFromStream(ms, true));
  ExpectSpecial(r);
  delete ms;
  const std::string f = TempFile("m.stream");
  {
    TFileStream fs(f, fmCreate);
    m.SaveToStream(&fs, 2, 2, 2, 3);
    m.SaveToStream(&fs, 1, 1, 1, 1);
  }
  TFileStream in(f, fmOpenRead);
  TMatrix s;
  ASSERT_TRUE(s.LoadFromStream(&in, true));
  EXPECT_EQ(s.NrOfColumns(), 2);
  EXPECT_EQ(s.NrOfRows(), 3);
  EXPECT_EQ(Bits(s.GetVal(2, 2)), Bits(kSpecial[6]));
  ASSERT_TRUE(s.LoadFromStream(&in, false));  // the second block follows
  EXPECT_EQ(Bits(s.GetVal(1, 1)), Bits(-0.0));
  EXPECT_FALSE(s.LoadFromStream(&in, true));  // nothing left
}

TEST(TMatrixStream, DamagedStreamsAreRefusedPositionAndMatrixKept) {
  TMatrix m, r;
  FillSpecial(m);
  TMemoryStream* good = nullptr;
  m.SaveToStream(good, 0, 0, 0, 0);
  r.Fill(6.0);
  const std::string before = State(r);
  auto check = [&](const std::vector<uint8_t>& bytes, const char* what) {
    TMemoryStream s;
    s.Data() = bytes;
    s.SetPosition(0);
    EXPECT_FALSE(r.LoadFromStream(&s, true)) << what;
    EXPECT_EQ(s.Position(), 0) << what;
    EXPECT_EQ(State(r), before) << what;
  };
  auto bytes = good->Data();
  check(std::vector<uint8_t>(bytes.begin(), bytes.end() - 3), "truncated values");
  check(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 25), "truncated index");
  check({}, "empty");
  TMemoryStream idx;
  for (long double x : {1.0L, 1.0L, 2e9L, 2e9L}) WriteExtendedToStream(&idx, x);
  check(idx.Data(), "absurd block");
  TMemoryStream frac;
  for (long double x : {1.5L, 1.0L, 1.0L, 1.0L, 7.0L}) WriteExtendedToStream(&frac, x);
  check(frac.Data(), "fractional index");
  TMemoryStream far;
  for (long double x : {30000.0L, 30000.0L, 30000.0L, 30000.0L, 7.0L}) WriteExtendedToStream(&far, x);
  check(far.Data(), "tiny block far out");
  delete good;
  EXPECT_FALSE(r.LoadFromStream(static_cast<TMemoryStream*>(nullptr), true));
}

// The shared reader serves the higher-dimensional containers too.
TEST(MatIoXmlLayer, ThreeDimensionalElementAndItsLayout) {
  std::string doc;
  matio::XmlDeclaration(doc);
  matio::XmlBegin(doc, "TMat3D", "cube", false, 2, 1, 2);
  // Cells in an arbitrary order; value = position in (layer, column, row) order.
  for (auto [c, l] : {std::pair{2, 2}, {1, 1}, {2, 1}, {1, 2}}) {
    std::string v;
    matio::AppendInt(v, (l - 1) * 2 + (c - 1));
    matio::XmlCell(doc, c, 1, v, l);
  }
  matio::XmlEnd(doc);
  std::istringstream in(doc);
  matio::IStreamSource src(in);
  matio::XmlMatrix x;
  std::string err;
  ASSERT_TRUE(matio::ReadXmlMatrix(src, "cube", x, err)) << err;
  EXPECT_EQ(x.ClassName, "TMat3D");
  EXPECT_TRUE(x.HasLayers);
  EXPECT_EQ(x.NLayers, 2);
  std::vector<std::size_t> order;
  EXPECT_FALSE(matio::XmlDenseLayout(x, order, err));  // not a matrix
  ASSERT_TRUE(matio::XmlDenseLayoutND(x, order, err)) << err;
  for (std::size_t k = 0; k < order.size(); ++k) {
    int32_t v;
    ASSERT_TRUE(matio::ParseInt32(x.Cells[k].Text, v));
    EXPECT_EQ(order[k], static_cast<std::size_t>(v));
  }
  x.Cells.pop_back();  // one cell short of 2 x 1 x 2
  EXPECT_FALSE(matio::XmlDenseLayoutND(x, order, err));
}

// Random damage to valid TMatrix files and streams: success or an untouched matrix, never harm.
TEST(TMatrixStorageFuzz, RandomlyDamagedInputNeverHarms) {
  TMatrix m;
  FillSpecial(m);
  const std::string src = TempFile("fuzz_src"), dst = TempFile("fuzz_dst");
  std::mt19937 rng(777);
  auto damage = [&](std::string s) {
    switch (rng() % 4) {
      case 0: s.resize(rng() % s.size()); break;
      case 1: s[rng() % s.size()] ^= static_cast<char>(1 + rng() % 255); break;
      case 2: s.insert(rng() % s.size(), 1, static_cast<char>(rng() % 256)); break;
      default: s[rng() % s.size()] = "0123456789-<>\" \n"[rng() % 16];
    }
    return s;
  };
  ASSERT_TRUE(m.SaveAsXMLFile(src, "id"));
  const std::string xml = ReadAll(src);
  ASSERT_TRUE(m.SaveBinary(src));
  const std::string bin = ReadAll(src);
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, src));
  const std::string txt = ReadAll(src);
  TMemoryStream* ms = nullptr;
  m.SaveToStream(ms, 0, 0, 0, 0);
  const std::string stream(ms->Data().begin(), ms->Data().end());
  delete ms;
  // Each load gets a fresh target, so an earlier success does not hide a later half-load.
  auto check = [&](const char* what, int trial, const std::function<bool(TMatrix&)>& load) {
    TMatrix t;
    t.SetVal(1, 1, 99.0);
    const std::string before = State(t);
    if (!load(t)) {
      EXPECT_EQ(State(t), before) << what << " trial " << trial;
    }
  };
  for (int trial = 0; trial < 60; ++trial) {
    WriteAll(dst, damage(xml));
    check("xml", trial, [&](TMatrix& t) { return t.LoadFromXMLFile(dst, "id"); });
    WriteAll(dst, damage(bin));
    check("binary", trial, [&](TMatrix& t) { return t.LoadBinary(dst); });
    WriteAll(dst, damage(txt));
    check("text", trial, [&](TMatrix& t) { return t.LoadFromFile(dst, true); });
    check("plain text", trial, [&](TMatrix& t) { return t.LoadFromFile(dst, true, true); });
    const std::string bytes = damage(stream);
    check("stream", trial, [&](TMatrix& t) {
      TMemoryStream in;
      in.Data().assign(bytes.begin(), bytes.end());
      return t.LoadFromStream(&in, true);
    });
  }
}
