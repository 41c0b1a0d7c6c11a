#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "vector/vector_test_util.h"

using namespace qmx;
using namespace vectest;

namespace {

std::string Temp(const std::string& name) { return testing::TempDir() + "qmx_vec_" + name; }

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary);
  f << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

// ---- text files -------------------------------------------------------------------------------

TEST(VectorTextFile, StoreFormats) {
  TVector v;
  Set(v, {1.5, 2.25, -3});
  const std::string f = Temp("store.txt");
  ASSERT_TRUE(v.StoreOnFile(3, 1, 4, f));
  EXPECT_EQ(ReadFile(f), "1 3\n1.5000\n2.2500\n-3.0000\n");
  ASSERT_TRUE(v.StoreOnFile(0, 99, 0, f));
  EXPECT_EQ(ReadFile(f), "1 3\n2\n2\n-3\n");  // 1.5 and 2.25 to whole numbers, ties to even
  ASSERT_TRUE(v.StoreOnFile(2, 2, -1, f));
  const std::string sci = ReadFile(f);
  EXPECT_EQ(sci.substr(0, 4), "2 2\n");
  EXPECT_EQ(sci.size(), 4u + 13u + 1u);  // one 13-wide scientific field
  ASSERT_TRUE(v.StoreOnFile(1, 3, -7, f));  // below -2 means 2 decimals
  EXPECT_EQ(ReadFile(f), "1 3\n1.50\n2.25\n-3.00\n");
}

TEST(VectorTextFile, RoundTripIsExactWithWideScientific) {
  TVector v, w;
  Set(v, {0.1, -1.0 / 3.0, 6.02214076e23, -4.9e-324, 1.7976931348623157e308});
  const std::string f = Temp("exact.txt");
  ASSERT_TRUE(v.StoreOnFile(0, 0, -2, f));
  ASSERT_TRUE(w.LoadFromFile(f, true));
  EXPECT_EQ(Values(w), Values(v));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
}

TEST(VectorTextFile, LoadIndexLineRules) {
  const std::string f = Temp("idx.txt");
  WriteFile(f, "2 4\n20\n30\n40\n");
  TVector v;
  Set(v, {7});
  int changes = 0;
  v.OnChange = [&](TObject*) { ++changes; };
  ASSERT_TRUE(v.LoadFromFile(f, true));
  EXPECT_EQ(Values(v), (D{7, 20, 30, 40}));  // element 1 keeps its value
  EXPECT_GT(changes, 0);
  TVector three;
  Set(three, {1, 2, 3});
  EXPECT_FALSE(three.LoadFromFile(f, false));
  EXPECT_EQ(Values(three), (D{1, 2, 3}));
  // An unreadable number is skipped but keeps its index.
  WriteFile(f, "1 3\n1.5\nabc\n+2.5e1\n");
  ASSERT_TRUE(three.LoadFromFile(f, false));
  EXPECT_EQ(Values(three), (D{1.5, 2, 25}));
  // Values may share lines; CR LF line ends are blanks.
  WriteFile(f, "1 3\r\n4 5\r\n6\r\n");
  ASSERT_TRUE(three.LoadFromFile(f, false));
  EXPECT_EQ(Values(three), (D{4, 5, 6}));
}

TEST(VectorTextFile, AutoDetectCountsValueLines) {
  const std::string f = Temp("auto.txt");
  WriteFile(f, "1\n\n2.5\n-3\n\n4e1\n5\n");
  TVector v;
  ASSERT_TRUE(v.LoadFromFile(f, true, true));
  EXPECT_EQ(Values(v), (D{1, 2.5, -3, 40, 5}));
  TVector small;
  small.Resize(2);
  ASSERT_TRUE(small.LoadFromFile(f, false, true));
  EXPECT_EQ(Values(small), (D{1, 2.5}));
  // Without a single value line nothing is loaded, which is reported.
  WriteFile(f, "\n  \nno digits here\n");
  EXPECT_FALSE(v.LoadFromFile(f, true, true));
  EXPECT_EQ(v.NrOfElem(), 5);
}

TEST(VectorTextFile, DamagedFilesChangeNothing) {
  TVector v;
  Set(v, {1, 2, 3});
  const std::vector<double> before = Values(v);
  EXPECT_FALSE(v.LoadFromFile(Temp("does_not_exist.txt"), true));
  EXPECT_FALSE(v.LoadFromFile(Temp("does_not_exist.txt"), true, true));
  EXPECT_FALSE(v.LoadFromFile(testing::TempDir(), true));  // a directory
  const std::string f = Temp("bad.txt");
  struct Case {
    const char* what;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"index line cut", "1"},
      {"index not integers", "1.0 3\n1\n2\n3\n"},
      {"index out of 32-bit range", "1 99999999999\n1\n"},
      {"truncated values", "1 3\n1\n2\n"},
      {"binary garbage", std::string("\x01\x02\xff\xfe\x00\x13 junk", 12)},
      {"binary inside values", std::string("1 3\n1\n\x00\x07\n3\n", 12)},
      {"promises two billion values", "1 2000000000\n1\n2\n"},
      {"huge index, one value", "2000000000 2000000000\n5\n"},
  };
  for (const auto& c : cases) {
    WriteFile(f, c.content);
    EXPECT_FALSE(v.LoadFromFile(f, true)) << c.what;
    EXPECT_EQ(Values(v), before) << c.what;
  }
  WriteFile(f, std::string("5\n\x00\x01\x02\n6\n", 9));
  EXPECT_FALSE(v.LoadFromFile(f, true, true));
  EXPECT_EQ(Values(v), before);
}

TEST(VectorTextFile, StoreFailuresAreReported) {
  TVector v;
  Set(v, {1, 2});
  EXPECT_FALSE(v.StoreOnFile(0, 0, 3, Temp("no_such_dir/x.txt")));
  EXPECT_FALSE(v.StoreOnFile(0, 0, 3, testing::TempDir()));
  // A device that accepts the open but fails every write: a short file is not a success.
  if (std::FILE* probe = std::fopen("/dev/full", "wb")) {
    std::fclose(probe);
    TVector big;
    big.Resize(100000);
    EXPECT_FALSE(big.StoreOnFile(0, 0, 6, "/dev/full"));
  }
}

TEST(IntVectorTextFile, RoundTripAndHalfToEven) {
  TIntVector v, w;
  v.Resize(3);
  v.SetVal(1, -2147483647 - 1);
  v.SetVal(2, 0);
  v.SetVal(3, 2147483647);
  const std::string f = Temp("int.txt");
  ASSERT_TRUE(v.StoreOnFile(0, 0, f));
  EXPECT_EQ(ReadFile(f), "1 3\n-2147483648\n0\n2147483647\n");
  ASSERT_TRUE(w.LoadFromFile(f, true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
  WriteFile(f, "1 4\n2.5\n3.5\n-2.5\n3e9\n");  // 3e9 does not fit: skipped
  w.Fill(9);
  ASSERT_TRUE(w.LoadFromFile(f, true));
  EXPECT_EQ(Values(w), (I{2, 4, -2, 0}));  // element 4 is new, nothing stored
  WriteFile(f, "1 3\n1\n");
  EXPECT_FALSE(w.LoadFromFile(f, true));
}

// ---- streams ----------------------------------------------------------------------------------

TEST(VectorStream, RangeRoundTripRestoresIndices) {
  TVector v;
  Set(v, {1.25, -2.5, 3.75, 4});
  TMemoryStream* s = nullptr;
  v.SaveToStream(s, 2, 3);
  ASSERT_NE(s, nullptr);
  std::unique_ptr<TMemoryStream> owned(s);
  EXPECT_EQ(s->Size(), 4 * 10);  // two indices and two values, 10 bytes each
  s->SetPosition(0);
  TVector w;
  ASSERT_TRUE(w.LoadFromStream(s, true));
  EXPECT_EQ(Values(w), (D{0, -2.5, 3.75}));
  // Two records one after the other on the same stream.
  v.SaveToStream(s, 0, 0);
  s->SetPosition(0);
  ASSERT_TRUE(w.LoadFromStream(s, true));
  ASSERT_TRUE(w.LoadFromStream(s, true));
  EXPECT_EQ(Values(w), Values(v));
  EXPECT_FALSE(w.LoadFromStream(s, true));  // nothing left
  EXPECT_FALSE(w.LoadFromStream(nullptr, true));
}

TEST(VectorStream, FileStreamAndTooSmallTarget) {
  const std::string f = Temp("stream.bin");
  TVector v;
  Set(v, {1, 2, 3});
  {
    TFileStream out(f, fmCreate);
    v.SaveToStream(&out, 0, 0);
  }
  TVector w;
  w.Resize(2);
  int changes = 0;
  w.OnChange = [&](TObject*) { ++changes; };
  {
    TFileStream in(f, fmOpenRead);
    EXPECT_FALSE(w.LoadFromStream(&in, false));  // needs three elements
    EXPECT_EQ(w.Elem(1), 0.0);
  }
  {
    TFileStream in(f, fmOpenRead);
    ASSERT_TRUE(w.LoadFromStream(&in, true));
  }
  EXPECT_EQ(Values(w), Values(v));
  v.SaveToStream(static_cast<TFileStream*>(nullptr), 0, 0);  // no stream: nothing happens
}

TEST(VectorStream, DamagedStreamsChangeNothing) {
  TVector v;
  Set(v, {1, 2, 3});
  TMemoryStream* s = nullptr;
  v.SaveToStream(s, 0, 0);
  std::unique_ptr<TMemoryStream> owned(s);
  const std::vector<uint8_t> good = s->Data();

  TVector w;
  Set(w, {9, 9});
  auto tryLoad = [&](const std::vector<uint8_t>& bytes) {
    TMemoryStream m;
    if (!bytes.empty()) m.Write(bytes.data(), bytes.size());
    m.SetPosition(0);
    return w.LoadFromStream(&m, true);
  };
  EXPECT_FALSE(tryLoad({}));
  EXPECT_FALSE(tryLoad(std::vector<uint8_t>(good.begin(), good.begin() + 15)));  // half an index
  EXPECT_FALSE(tryLoad(std::vector<uint8_t>(good.begin(), good.end() - 1)));      // last value cut
  // An index pair announcing two billion values (or a NaN index) on a short stream.
  {
    TMemoryStream m;
    WriteExtendedToStream(&m, 1.0L);
    WriteExtendedToStream(&m, 2000000000.0L);
    WriteExtendedToStream(&m, 5.0L);
    EXPECT_FALSE(tryLoad(m.Data()));
  }
  {
    TMemoryStream m;
    WriteExtendedToStream(&m, 2000000000.0L);
    WriteExtendedToStream(&m, 2000000000.0L);
    WriteExtendedToStream(&m, 5.0L);
    EXPECT_FALSE(tryLoad(m.Data()));
  }
  {
    TMemoryStream m;
    WriteExtendedToStream(&m, std::numeric_limits<long double>::quiet_NaN());
    WriteExtendedToStream(&m, 1e30L);
    EXPECT_FALSE(tryLoad(m.Data()));
  }
  EXPECT_EQ(Values(w), (D{9, 9}));
}

TEST(IntVectorStream, RoundTripAndDamage) {
  TIntVector v, w;
  v.Resize(3);
  v.SetVal(1, -7);
  v.SetVal(2, 2147483647);
  v.SetVal(3, 5);
  TMemoryStream* s = nullptr;
  v.SaveToStream(s, 0, 0);
  std::unique_ptr<TMemoryStream> owned(s);
  EXPECT_EQ(s->Size(), 5 * 4);
  s->SetPosition(0);
  ASSERT_TRUE(w.LoadFromStream(s, true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
  TMemoryStream cut;
  cut.Write(s->Data().data(), s->Data().size() - 2);
  cut.SetPosition(0);
  w.Fill(1);
  EXPECT_FALSE(w.LoadFromStream(&cut, true));
  EXPECT_EQ(w.Elem(2), 1);
}
