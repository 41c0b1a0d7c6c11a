#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>
#include <limits>
#include <string>
#include <type_traits>

#include "qmx/frame.h"

using namespace qmx;

namespace {

class TProbe : public TComponent {
 public:
  explicit TProbe(TComponent* AOwner = nullptr, bool* destroyed = nullptr)
      : TComponent(AOwner), FDestroyed(destroyed) {}
  ~TProbe() override {
    if (FDestroyed) *FDestroyed = true;
  }
  std::string ClassName() const override { return "TProbe"; }

 private:
  bool* FDestroyed;
};

TEST(Component, OwnerDeletesOwnedAndChildUnregisters) {
  bool d1 = false, d2 = false;
  auto* owner = new TComponent();
  auto* a = new TProbe(owner, &d1);
  new TProbe(owner, &d2);
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete a;  // deleted first: must leave the owner's list
  EXPECT_TRUE(d1);
  EXPECT_EQ(owner->ComponentCount(), 1);
  delete owner;
  EXPECT_TRUE(d2);
}

TEST(Component, BaseAssignRaisesNamingBothClasses) {
  TProbe a;
  TComponent b;
  try {
    b.Assign(&a);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TProbe to a TComponent");
  }
  EXPECT_THROW(a.Assign(nullptr), EConvertError);
}

TEST(Component, MessagesNameTheComponent) {
  TComponent c;
  c.SetName("Vec1");
  EXPECT_EQ(ComponentMessage(&c, ": not enough memory"), "Component \"Vec1\": not enough memory");
  try {
    RaiseComponentError<EQMXVectorError>(&c, ": vectors have different dimensions");
  } catch (const EQMXError& e) {
    EXPECT_STREQ(e.what(), "Component \"Vec1\": vectors have different dimensions");
  }
  static_assert(std::is_base_of_v<Exception, EQMXSLineError>);
  static_assert(!std::is_base_of_v<EQMXError, EQMXSLineError>);
}

TEST(Range, Normalisation) {
  struct C { int lo, hi, elo, ehi; };
  for (C c : {C{0, 0, 1, 10}, C{0, 5, 1, 5}, C{7, 3, 3, 7}, C{-4, 99, 1, 10}, C{12, 15, 10, 10}}) {
    int32_t lo = c.lo, hi = c.hi;
    MakeValidRange(10, lo, hi);
    EXPECT_EQ(lo, c.elo);
    EXPECT_EQ(hi, c.ehi);
  }
}

TEST(Checksum, KnownCRC32AndZeroElement) {
  // CRC-32 of "123456789" is CBF43926.
  uint32_t acc = 0xFFFFFFFFu;
  for (char ch : std::string("123456789")) acc = CalcNextCRC32(static_cast<uint8_t>(ch), acc);
  EXPECT_EQ(acc ^ 0xFFFFFFFFu, 0xCBF43926u);
  // One zero byte into each accumulator: CRC-32 of a single 0x00 byte is D202EF8D.
  double zero = 0.0;
  std::string t = CRCTextOf(std::span<const double>(&zero, 1));
  ASSERT_EQ(t.size(), 64u);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(t.substr(k * 8, 8), "D202EF8D");
  int32_t izero = 0;
  EXPECT_EQ(CRCTextOf(std::span<const int32_t>(&izero, 1)), "D202EF8DD202EF8DD202EF8DD202EF8D");
}

TEST(Checksum, BytesGoToTheirOwnAccumulator) {
  // 1.0 = 3FF0000000000000: bytes 6 and 7 are F0 and 3F, the rest zero.
  double one = 1.0;
  std::string t = CRCTextOf(std::span<const double>(&one, 1));
  auto crcOfByte = [](uint8_t b) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", CalcNextCRC32(b, 0xFFFFFFFFu) ^ 0xFFFFFFFFu);
    return std::string(buf);
  };
  EXPECT_EQ(t.substr(0, 8), crcOfByte(0));
  EXPECT_EQ(t.substr(48, 8), crcOfByte(0xF0));
  EXPECT_EQ(t.substr(56, 8), crcOfByte(0x3F));
}

std::vector<double> gSeen;
void Feedback(double v) {
  gSeen.push_back(v);
  if (gSeen.size() == 3) AbortMathProc = true;
}

TEST(Hooks, ProgressStepAddsCallsAndReportsAbort) {
  ProcStat = 0;
  AbortMathProc = false;
  MathFeedBackProc = Feedback;
  gSeen.clear();
  int steps = 0;
  while (!ProgressStep()) ++steps;
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(gSeen, (std::vector<double>{1, 2, 3}));
  MathFeedBackProc = nullptr;
  AbortMathProc = false;
  EXPECT_FALSE(ProgressStep(0.5));
  EXPECT_DOUBLE_EQ(ProcStat, 3.5);
}

TEST(Streams, NumbersRoundTripAndShortReadsFlagErrors) {
  TMemoryStream s;
  const long double vals[] = {0.0L, -1.5L, 1e-4000L, 3.14159265358979323846264L,
                              std::numeric_limits<long double>::max()};
  for (long double v : vals) WriteExtendedToStream(&s, v);
  WriteLongintToStream(&s, -123456789);
  EXPECT_EQ(s.Size(), 5 * 10 + 4);
  s.SetPosition(0);
  bool err = false;
  for (long double v : vals) EXPECT_EQ(ReadExtendedFromStream(&s, err), v);
  EXPECT_EQ(ReadLongintFromStream(&s, err), -123456789);
  EXPECT_FALSE(err);
  EXPECT_EQ(ReadLongintFromStream(&s, err), 0);
  EXPECT_TRUE(err);
  err = false;
  s.SetPosition(s.Size() - 3);
  ReadExtendedFromStream(&s, err);
  EXPECT_TRUE(err);
}

TEST(Streams, NullStreamIsNotWrittenAndFailsToRead) {
  WriteExtendedToStream(nullptr, 2.5L);  // must neither crash nor write anywhere
  WriteLongintToStream(nullptr, 7);
  bool err = false;
  EXPECT_EQ(ReadExtendedFromStream(nullptr, err), 0.0L);
  EXPECT_TRUE(err);
  err = false;
  EXPECT_EQ(ReadLongintFromStream(nullptr, err), 0);
  EXPECT_TRUE(err);
}

TEST(Streams, FileStreamWritesAndReadsBack) {
  std::string name = testing::TempDir() + "qmx_frame_stream.bin";
  {
    TFileStream f(name, fmCreate);
    WriteLongintToStream(&f, 42);
  }
  TFileStream f(name, fmOpenRead);
  bool err = false;
  EXPECT_EQ(ReadLongintFromStream(&f, err), 42);
  EXPECT_FALSE(err);
  EXPECT_THROW(TFileStream("/nonexistent-dir/x.bin", fmOpenRead), Exception);
}

TEST(Strings, Helpers) {
  EXPECT_TRUE(StringContains("abc 7", "//dig"));
  EXPECT_FALSE(StringContains("abc def", "//dig"));
  EXPECT_TRUE(StringContains("hello world", "o w"));
  EXPECT_EQ(ReplaceCharInString("1,5;2,5", ',', '.'), "1.5;2.5");
  EXPECT_EQ(RemoveControlChars("a\tb\r\n\x01" "c"), "abc");
  EXPECT_EQ(strff(1.5, 1, 4), "1.5000");
  EXPECT_EQ(strff(-2.5, 8, 1), "    -2.5");
  EXPECT_EQ(strff(2.5, 1, 0), "2");  // ties to even, as the C library rounds
  std::string sci = strff(-1234.5, 13, -1);
  EXPECT_EQ(sci.size(), 13u);
  EXPECT_DOUBLE_EQ(std::stod(sci), -1234.5);
}

TEST(BitFld, SetCountInvertCombine) {
  TBitFld a, b;
  a.SetSize(9);  // bits 0..9
  b.SetSize(9);
  a.SetBit(0, true);
  a.SetBit(9, true);
  a.SetBit(10, true);  // outside: ignored
  EXPECT_EQ(a.CountTrueBits(), 2);
  EXPECT_FALSE(a.GetBit(10));
  b.SetBit(9, true);
  b.SetBit(5, true);
  TBitFld c;
  c.Clone(&a);
  c.CombineWith(&b, loAND);
  EXPECT_EQ(c.CountTrueBits(), 1);
  c.Clone(&a);
  c.CombineWith(&b, loXOR);
  EXPECT_EQ(c.CountTrueBits(), 2);
  a.Invert();
  EXPECT_EQ(a.CountTrueBits(), 8);
}

TEST(BitFld, AssignFromAnotherClassNamesTheBitSet) {
  TBitFld bits;
  TComponent other;
  try {
    bits.Assign(&other);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a TBitFld");
  }
}

TEST(Random, SeededSequencesRepeatAndStayInRange) {
  RandSeed(7);
  double a = RandomUniform();
  RandSeed(7);
  EXPECT_EQ(RandomUniform(), a);
  for (int i = 0; i < 1000; ++i) {
    double u = RandomUniform();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    int32_t k = RandomInt(5);
    ASSERT_GE(k, 0);
    ASSERT_LT(k, 5);
  }
  EXPECT_EQ(RandomInt(0), 0);
}

}  // namespace

namespace {

// Bytewise reference straight from the definition: byte k of each element into register k.
std::string ReferenceCRCText(const std::vector<double>& v) {
  uint32_t acc[8];
  for (auto& a : acc) a = 0xFFFFFFFFu;
  for (double x : v) {
    uint8_t b[8];
    std::memcpy(b, &x, 8);
    for (int k = 0; k < 8; ++k) acc[k] = CalcNextCRC32(b[k], acc[k]);
  }
  std::string s;
  char buf[9];
  for (uint32_t a : acc) {
    std::snprintf(buf, sizeof buf, "%08X", a ^ 0xFFFFFFFFu);
    s += buf;
  }
  return s;
}

TEST(Checksum, FastPathMatchesDefinitionForAllBlockShapes) {
  RandSeed(11);
  for (std::size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u, 1000u, 4097u}) {
    std::vector<double> v(n);
    for (auto& x : v) {
      uint64_t bits = static_cast<uint64_t>(RandomUniform() * 0x1p53) << 11 ^ RandomInt(1 << 30);
      std::memcpy(&x, &bits, 8);  // arbitrary bit patterns, NaNs included
    }
    EXPECT_EQ(CRCTextOf(std::span<const double>(v)), ReferenceCRCText(v)) << "n = " << n;
  }
  // Adding in pieces gives the same as one pass.
  std::vector<double> v(100, 1.25);
  TCRCAccumulator8 a;
  a.Add(std::span<const double>(v).first(37));
  a.Add(std::span<const double>(v).subspan(37));
  EXPECT_EQ(a.Text(), ReferenceCRCText(v));
}

}  // namespace

// A run of zeros added at once equals the zeros added one by one, on both sides of the cut-over.
TEST(CRCAccumulator, ZeroRunsMatchSingleZeros) {
  for (uint64_t n : {0u, 1u, 63u, 64u, 65u, 1000u, 70001u}) {
    TCRCAccumulator4 a, b;
    const int32_t lead[2] = {123456789, -5};
    a.Add(lead);
    b.Add(lead);
    a.AddZeros(n);
    const std::vector<int32_t> z(n, 0);
    b.Add(z);
    EXPECT_EQ(a.Text(), b.Text()) << n;
  }
}
