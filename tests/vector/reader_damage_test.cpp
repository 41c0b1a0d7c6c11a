// Damaged inputs that coverage-guided fuzzing found; the files are in tests/data.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "vector/vector_test_util.h"

using namespace qmx;
using namespace vectest;

namespace {
std::string Data(const std::string& name) { return std::string(QMX_TEST_DATA_DIR) + "/" + name; }
}  // namespace

// Bytes no text holds after the announced values refuse the file in every form.
TEST(VectorReaderDamage, NonTextAfterTheValues) {
  const std::string f = testing::TempDir() + "qmx_vec_tail.txt";
  for (char bad : {'\x01', '\0', '\x7f'}) {
    std::ofstream(f, std::ios::binary) << std::string("1 1\n5\n") + bad + "\n";
    TVector v;
    Set(v, {9, 9});
    TIntVector iv;
    Set(iv, {4});
    EXPECT_FALSE(v.LoadFromFile(f, true)) << int(bad);
    EXPECT_FALSE(v.LoadFromFile(f, true, true)) << int(bad);
    EXPECT_FALSE(iv.LoadFromFile(f, false)) << int(bad);
    EXPECT_EQ(Values(v), (D{9, 9}));
    EXPECT_EQ(Values(iv), (I{4}));
  }
  TVector v;
  EXPECT_FALSE(v.LoadFromFile(Data("vector_trailing_control.txt"), true));
  // Extra text after the values is still ignored, as before.
  std::ofstream(f, std::ios::binary) << "1 1\n5\n6 seven\n";
  ASSERT_TRUE(v.LoadFromFile(f, true));
  EXPECT_EQ(Values(v), (D{5}));
}

// One value at index 2^24 does not buy a 128 MiB vector; well-covered far ranges still load.
TEST(VectorReaderDamage, FarIndexWithFewValues) {
  TVector v;
  Set(v, {1});
  EXPECT_FALSE(v.LoadFromFile(Data("vector_far_index.txt"), true));
  EXPECT_EQ(Values(v), (D{1}));
  const std::string f = testing::TempDir() + "qmx_vec_far.txt";
  std::ofstream(f, std::ios::binary) << "4000 4000\n5\n";  // small target: fine
  ASSERT_TRUE(v.LoadFromFile(f, true));
  EXPECT_EQ(v.NrOfElem(), 4000);
  EXPECT_EQ(v.Elem(4000), 5.0);
  EXPECT_EQ(v.Elem(1), 1.0);
}

// A refused stream record leaves the stream where it started and the vector as it was.
TEST(VectorReaderDamage, RefusedRecordRestoresPosition) {
  TMemoryStream m;
  WriteExtendedToStream(&m, 42.0L);  // something before the record
  const int64_t start = m.Position();
  WriteExtendedToStream(&m, 1.0L);
  WriteExtendedToStream(&m, 3.0L);
  WriteExtendedToStream(&m, 7.0L);  // two of the three values missing
  TVector v;
  Set(v, {9, 9});
  m.SetPosition(start);
  EXPECT_FALSE(v.LoadFromStream(&m, true));
  EXPECT_EQ(m.Position(), start);
  // Too small a target without adjusting, then a half index.
  TVector small;
  Set(small, {1});
  TMemoryStream ok;
  WriteExtendedToStream(&ok, 1.0L);
  WriteExtendedToStream(&ok, 2.0L);
  WriteExtendedToStream(&ok, 5.0L);
  WriteExtendedToStream(&ok, 6.0L);
  ok.SetPosition(0);
  EXPECT_FALSE(small.LoadFromStream(&ok, false));
  EXPECT_EQ(ok.Position(), 0);
  EXPECT_EQ(Values(small), (D{1}));
  ASSERT_TRUE(small.LoadFromStream(&ok, true));
  EXPECT_EQ(ok.Position(), 40);
  EXPECT_EQ(Values(small), (D{5, 6}));

  TIntVector iv;
  Set(iv, {3});
  TMemoryStream half;
  WriteLongintToStream(&half, 1);
  half.Write("\x02\x00", 2);
  half.SetPosition(0);
  EXPECT_FALSE(iv.LoadFromStream(&half, true));
  EXPECT_EQ(half.Position(), 0);
  EXPECT_EQ(Values(iv), (I{3}));
}

// An extended value beyond the double range loads as an infinity of its sign.
TEST(VectorReaderDamage, ExtendedBeyondDoubleRange) {
  TMemoryStream m;
  WriteExtendedToStream(&m, 1.0L);
  WriteExtendedToStream(&m, 4.0L);
  WriteExtendedToStream(&m, 1e4000L);
  WriteExtendedToStream(&m, -1e4000L);
  const long double dmax = std::numeric_limits<double>::max();
  WriteExtendedToStream(&m, dmax + std::ldexp(1.0L, 969));  // below half an ulp past the largest double
  WriteExtendedToStream(&m, dmax + std::ldexp(1.0L, 970));  // exactly half: ties to the infinity
  m.SetPosition(0);
  TVector v;
  ASSERT_TRUE(v.LoadFromStream(&m, true));
  EXPECT_EQ(v.Elem(1), std::numeric_limits<double>::infinity());
  EXPECT_EQ(v.Elem(2), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(v.Elem(3), std::numeric_limits<double>::max());
  EXPECT_EQ(v.Elem(4), std::numeric_limits<double>::infinity());
}
