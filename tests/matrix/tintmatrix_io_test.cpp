// Storage of TIntMatrix in both representations: round trips and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "qmx/matrix.h"

using namespace qmx;

namespace {

std::string TempFile(const std::string& name) { return testing::TempDir() + "qmx_tint_" + name; }

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

// Dense 3 x 2 with the extremes of the type.
void FillDense(TIntMatrix& m) {
  m.Resize(3, 2);
  const int32_t v[6] = {-2147483647 - 1, 2147483647, 0, -1, 17, 65536};
  for (int32_t k = 0; k < 6; ++k) m.SetVal(k / 2 + 1, k % 2 + 1, v[k]);
}

// Sparse 9 x 6 (after a resize beyond the records), one record holding 0.
void FillSparse(TIntMatrix& m) {
  m.SetVal(4, 2, -5);
  m.SetVal(1, 6, 0);
  m.SetVal(7, 1, 2147483647);
  m.Resize(9, 6);
}

std::string State(const TIntMatrix& m) {
  std::string s = std::to_string(m.IsSparse()) + ":" + std::to_string(m.NrOfColumns()) + "x" +
                  std::to_string(m.NrOfRows()) + ":" + m.DataID() + ":" + m.CRCofData();
  for (int32_t i = 1; i <= m.SparseNumElem(); ++i) {
    auto e = m.SparseRecord(i);
    s.append(" ").append(std::to_string(e.colidx)).append(",").append(std::to_string(e.rowidx));
    s.append("=").append(std::to_string(e.value));
  }
  return s;
}

}  // namespace

TEST(TIntMatrixStorage, XmlKeepsRepresentationRecordsAndExtremes) {
  TIntMatrix d, s(nullptr, 3), rd, rs;
  FillDense(d);
  FillSparse(s);
  s.SetDataID("sp");
  const std::string f = TempFile("both.xml");
  {
    std::ofstream out(f);
    d.WriteToOpenXMLFile(out, true, "dense");
    s.WriteToOpenXMLFile(out, false, "");  // the matrix's own DataID
  }
  ASSERT_TRUE(rs.LoadFromXMLFile(f, "sp"));
  EXPECT_EQ(State(rs), State(s));
  EXPECT_EQ(rs.AllocBy(), 1);  // the target's own growth step
  ASSERT_TRUE(rd.LoadFromXMLFile(f, "dense"));
  EXPECT_FALSE(rd.IsSparse());
  EXPECT_EQ(rd.CRCofData(), d.CRCofData());
  EXPECT_EQ(rd.GetVal(1, 1), -2147483647 - 1);
  // Integer cells must be integers.
  TMatrix fm;
  fm.SetVal(1, 1, 1.5);
  fm.SaveAsXMLFile(f, "f");
  const std::string before = State(rd);
  EXPECT_FALSE(rd.LoadFromXMLFile(f, "f"));
  EXPECT_EQ(State(rd), before);
  // Stream form.
  TMemoryStream ms;
  s.WriteToXMLStream(&ms, true, "x");
  ms.SetPosition(0);
  TIntMatrix r2;
  ASSERT_TRUE(r2.ReadFromXMLStream(&ms, "x"));
  EXPECT_TRUE(r2.IsSparse());
  EXPECT_EQ(r2.GetVal(7, 1), 2147483647);
}

TEST(TIntMatrixStorage, SparseXmlWithBadRecordsIsRefused) {
  TIntMatrix m;
  m.SetVal(1, 1, 3);
  const std::string before = State(m);
  const std::string f = TempFile("badsparse.xml");
  const std::string head = "<matrix class=\"TIntMatrix\" dataid=\"s\" sparse=\"1\"><nrcols>3</nrcols><nrrows>3</nrrows>";
  for (const std::string& body : {std::string("<cell c=\"4\" r=\"1\">1</cell>"),
                                  std::string("<cell c=\"1\" r=\"1\">1</cell><cell c=\"1\" r=\"1\">2</cell>"),
                                  std::string("<cell c=\"1\" r=\"1\">2147483648</cell>"),
                                  std::string("<cell c=\"0\" r=\"1\">1</cell>")}) {
    WriteAll(f, head + body + "</matrix>");
    EXPECT_FALSE(m.LoadFromXMLFile(f, "s")) << body;
    EXPECT_EQ(State(m), before);
  }
  // A huge sparse size is fine: only the records take memory.
  WriteAll(f, "<matrix dataid=\"s\" sparse=\"1\"><nrcols>2000000000</nrcols><nrrows>2000000000</nrrows>"
              "<cell c=\"1999999999\" r=\"5\">8</cell></matrix>");
  ASSERT_TRUE(m.LoadFromXMLFile(f, "s"));
  EXPECT_TRUE(m.IsSparse());
  EXPECT_EQ(m.NrOfColumns(), 2000000000);
  EXPECT_EQ(m.GetVal(1999999999, 5), 8);
}

TEST(TIntMatrixStorage, BinaryRoundTripBothRepresentations) {
  TIntMatrix d, s(nullptr, 2), r;
  FillDense(d);
  d.SetDataID("d");
  FillSparse(s);
  const std::string f = TempFile("d.bin"), g = TempFile("s.bin");
  ASSERT_TRUE(d.SaveBinary(f));
  ASSERT_TRUE(s.SaveBinary(g));
  int32_t nc, nr;
  std::string id;
  ASSERT_TRUE(r.ReadBinaryHeader(g, nc, nr, id));
  EXPECT_EQ(nc, 9);
  EXPECT_EQ(nr, 6);
  EXPECT_EQ(id, "");
  ASSERT_TRUE(r.LoadBinary(g));
  EXPECT_EQ(State(r), State(s));
  ASSERT_TRUE(r.LoadBinary(f));
  EXPECT_EQ(State(r), State(d));
  // A float matrix file is refused.
  TMatrix fm;
  ASSERT_TRUE(fm.SaveBinary(f));
  EXPECT_FALSE(r.LoadBinary(f));
  EXPECT_FALSE(r.ReadBinaryHeader(f, nc, nr, id));
  EXPECT_EQ(State(r), State(d));
}

TEST(TIntMatrixStorage, DamagedBinaryFilesAreRefused) {
  TIntMatrix s(nullptr, 1), r;
  FillSparse(s);
  const std::string f = TempFile("s2.bin"), g = TempFile("s2bad.bin");
  ASSERT_TRUE(s.SaveBinary(f));
  const std::string good = ReadAll(f);
  FillDense(r);
  const std::string before = State(r);
  std::string outside = good;
  // Record 1 starts after the 44-byte fixed header (empty DataID): make its column 10 > 9 and
  // fix nothing else, so the checksum catches it first; both checks refuse the file.
  outside[44] = 10;
  std::string bigCount = good;
  bigCount[32] = '\x7f';
  for (const auto& bytes : {good.substr(0, good.size() - 1), outside, bigCount, std::string("QMXMAT\r\n")}) {
    WriteAll(g, bytes);
    EXPECT_FALSE(r.LoadBinary(g));
    EXPECT_EQ(State(r), before);
  }
}

TEST(TIntMatrixStorage, SparseFileRoundTripAndDamage) {
  TIntMatrix s(nullptr, 1), r, d;
  FillSparse(s);
  const std::string f = TempFile("m.sparse");
  ASSERT_TRUE(s.StoreSparseMat(f));
  EXPECT_EQ(ReadAll(f), "QMXSPARSE 1\n9 6 3\n1 6 0\n4 2 -5\n7 1 2147483647\n");
  ASSERT_TRUE(r.LoadSparseMat(f));  // a dense target becomes sparse
  EXPECT_EQ(State(r), State(s));
  // A dense matrix writes its non-zero cells.
  FillDense(d);
  ASSERT_TRUE(d.StoreSparseMat(f));
  ASSERT_TRUE(r.LoadSparseMat(f));
  EXPECT_TRUE(r.IsSparse());
  EXPECT_EQ(r.SparseNumElem(), 5);
  EXPECT_EQ(r.CRCofData(), d.CRCofData());
  // Records in any order are sorted on loading.
  WriteAll(f, "QMXSPARSE 1\n3 3 2\n3 3 9\n1 2 4\n");
  ASSERT_TRUE(r.LoadSparseMat(f));
  EXPECT_EQ(r.SparseRecord(1).colidx, 1);
  EXPECT_EQ(r.SparseLowCol(), 1);
  EXPECT_EQ(r.SparseHighRow(), 3);
  const std::string before = State(r);
  for (const std::string& bad :
       {std::string("QMXSPARSE 1\n3 3 2\n1 1 1\n"), std::string("QMXSPARSE 1\n3 3 1\n1 1 1\n2 2 2\n"),
        std::string("QMXSPARSE 1\n3 3 2\n1 1 1\n1 1 2\n"), std::string("QMXSPARSE 1\n3 3 1\n4 1 1\n"),
        std::string("QMXSPARSE 1\n3 3 1\n1 1 x\n"), std::string("QMXSPARSE 2\n3 3 0\n"),
        std::string("SPARSE 1\n3 3 0\n"), std::string("QMXSPARSE 1\n3 3 2000000000\n1 1 1\n"),
        std::string("QMXSPARSE 1\n-3 3 0\n"), std::string("")}) {
    WriteAll(f, bad);
    EXPECT_FALSE(r.LoadSparseMat(f)) << bad;
    EXPECT_EQ(State(r), before) << bad;
  }
}

TEST(TIntMatrixStorage, TextFileAndStreamsInBothRepresentations) {
  TIntMatrix d, r;
  FillDense(d);
  const std::string f = TempFile("d.txt");
  ASSERT_TRUE(d.StoreOnFile(2, 1, 3, 2, f));
  EXPECT_EQ(ReadAll(f), "2 1 3 2\n0 17\n-1 65536\n");
  ASSERT_TRUE(r.LoadFromFile(f, true));
  EXPECT_EQ(r.NrOfColumns(), 3);
  EXPECT_EQ(r.GetVal(3, 2), 65536);
  EXPECT_EQ(r.GetVal(1, 1), 0);
  // A sparse target stays sparse and takes only the non-zero values.
  TIntMatrix s(nullptr, 1);
  ASSERT_TRUE(s.LoadFromFile(f, true));
  EXPECT_TRUE(s.IsSparse());
  EXPECT_EQ(s.SparseNumElem(), 3);
  EXPECT_EQ(s.NrOfColumns(), 3);
  EXPECT_EQ(s.NrOfRows(), 2);
  EXPECT_EQ(s.GetVal(2, 2), -1);
  // Decimal values are rounded half to even; out-of-range ones refused.
  WriteAll(f, "1 1 2 1\n2.5 -0.5\n");
  ASSERT_TRUE(r.LoadFromFile(f, false));
  EXPECT_EQ(r.GetVal(1, 1), 2);
  EXPECT_EQ(r.GetVal(2, 1), 0);
  const std::string before = State(r);
  for (const std::string& bad : {std::string("1 1 1 1\n3000000000\n"), std::string("1 1 2 1\n1\n"),
                                 std::string("1 1 1 1\n1 2\n"), std::string("1 1 9 9\n1\n")}) {
    WriteAll(f, bad);
    EXPECT_FALSE(r.LoadFromFile(f, true)) << bad;
    EXPECT_EQ(State(r), before);
  }
  // Streams: block 1..2 x 2..2, then a second block behind it.
  TMemoryStream* ms = nullptr;
  d.SaveToStream(ms, 1, 2, 2, 2);
  d.SaveToStream(ms, 3, 1, 3, 1);
  EXPECT_EQ(ms->Size(), (4 + 2) * 4 + (4 + 1) * 4);
  ms->SetPosition(0);
  TIntMatrix t;
  ASSERT_TRUE(t.LoadFromStream(ms, true));
  EXPECT_EQ(t.NrOfColumns(), 2);
  EXPECT_EQ(t.GetVal(1, 2), 2147483647);
  EXPECT_EQ(t.GetVal(2, 2), -1);
  EXPECT_FALSE(t.LoadFromStream(ms, false));  // column 3 does not fit: refused, position kept
  ASSERT_TRUE(t.LoadFromStream(ms, true));
  EXPECT_EQ(t.GetVal(3, 1), 17);
  // Truncated and oversized streams.
  TMemoryStream bad;
  for (int32_t x : {1, 1, 50000, 50000, 7}) WriteLongintToStream(&bad, x);
  bad.SetPosition(0);
  const std::string tb = State(t);
  EXPECT_FALSE(t.LoadFromStream(&bad, true));
  EXPECT_EQ(bad.Position(), 0);
  EXPECT_EQ(State(t), tb);
  delete ms;
}

// Random damage to valid files of every format: a loader either succeeds or returns false with
// the matrix untouched; it never crashes (the sanitizer build runs this too).
TEST(TIntMatrixStorage, RandomlyDamagedFilesNeverHarm) {
  TIntMatrix d, s(nullptr, 1);
  FillDense(d);
  FillSparse(s);
  const std::string src = TempFile("fuzz_src"), dst = TempFile("fuzz_dst");
  struct Format {
    const char* name;
    std::function<bool(const TIntMatrix&)> save;
    std::function<bool(TIntMatrix&)> load;
  };
  const std::vector<Format> formats = {
      {"xml", [&](const TIntMatrix& m) { return m.SaveAsXMLFile(src, "id"); },
       [&](TIntMatrix& m) { return m.LoadFromXMLFile(dst, "id"); }},
      {"binary", [&](const TIntMatrix& m) { return m.SaveBinary(src); },
       [&](TIntMatrix& m) { return m.LoadBinary(dst); }},
      {"text", [&](const TIntMatrix& m) { return m.StoreOnFile(0, 0, 0, 0, src); },
       [&](TIntMatrix& m) { return m.LoadFromFile(dst, true); }},
      {"sparse", [&](const TIntMatrix& m) { return m.StoreSparseMat(src); },
       [&](TIntMatrix& m) { return m.LoadSparseMat(dst); }},
  };
  std::mt19937 rng(12345);
  for (const auto& f : formats)
    for (const TIntMatrix* m : {&d, &s}) {
      ASSERT_TRUE(f.save(*m)) << f.name;
      const std::string good = ReadAll(src);
      for (int trial = 0; trial < 60; ++trial) {
        std::string bad = good;
        switch (rng() % 4) {
          case 0: bad.resize(rng() % bad.size()); break;                                 // truncate
          case 1: bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255); break;  // flip
          case 2: bad.insert(rng() % bad.size(), 1, static_cast<char>(rng() % 256)); break;
          default: bad[rng() % bad.size()] = "0123456789-<>\" \n"[rng() % 16];
        }
        WriteAll(dst, bad);
        TIntMatrix t;
        t.SetVal(1, 1, 99);
        const std::string before = State(t);
        if (!f.load(t)) {
          EXPECT_EQ(State(t), before) << f.name << " trial " << trial;
        }
      }
    }
}
