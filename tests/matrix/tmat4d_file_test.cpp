// The TMat4D block file: exact bytes of the worked cases, appending, time-slot selection,
// layers, element events, progress, and the refusal of damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "matrix/nd_test_util.h"
#include "qmx/matrix.h"

using namespace qmx;
using qmxtest::Numbered;

namespace {

std::string TempFile(const std::string& name) { return testing::TempDir() + "qmx_blk_" + name; }

std::vector<uint8_t> Bytes(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void PutBytes(const std::string& f, const std::vector<uint8_t>& b) {
  std::ofstream out(f, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

int32_t IntAt(const std::vector<uint8_t>& b, std::size_t off) {
  return static_cast<int32_t>(uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 |
                              uint32_t(b[off + 3]) << 24);
}
void SetInt(std::vector<uint8_t>& b, std::size_t off, int32_t v) {
  const uint8_t le[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 24)};
  std::copy_n(le, 4, b.begin() + static_cast<std::ptrdiff_t>(off));
}
double ValueAt(const std::vector<uint8_t>& b, int64_t block, int64_t pos) {
  double v;
  std::memcpy(&v, b.data() + block * 4096 + pos * 8, 8);
  return v;
}


}  // namespace

TEST(TMat4DFile, WorkedLayouts) {
  const std::string f = TempFile("one.bin");
  TMat4D m;
  m.SetVal(1, 1, 1, 1, 2.5);
  m.SetDataID("probe");
  m.SaveBinary(f, 0, 0);
  std::vector<uint8_t> b = Bytes(f);
  ASSERT_EQ(b.size(), 8192u);
  EXPECT_EQ(IntAt(b, 0) + IntAt(b, 4) + IntAt(b, 8) + IntAt(b, 12), 4);
  EXPECT_EQ(b[16], 5);
  EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 22), "probe");
  EXPECT_EQ(ValueAt(b, 1, 0), 2.5);

  // 512 values fill one block exactly; appending a time slot adds a third block.
  const std::string g = TempFile("512.bin");
  Numbered(m, 16, 16, 2, 1);
  m.SaveBinary(g, 0, 0);
  EXPECT_EQ(Bytes(g).size(), 8192u);
  m.AppendToBinaryFile(g, 1, 1);
  b = Bytes(g);
  ASSERT_EQ(b.size(), 12288u);
  EXPECT_EQ(IntAt(b, 12), 2);
  EXPECT_EQ(ValueAt(b, 1, 511), m.GetVal(16, 16, 2, 1));
  EXPECT_EQ(ValueAt(b, 2, 0), m.GetVal(1, 1, 1, 1));

  // 27 values, appended once: the second slot begins at block 1, position 27.
  const std::string h = TempFile("27.bin");
  Numbered(m, 3, 3, 3, 1);
  m.SaveBinary(h, 0, 0);
  m.SetVal(1, 1, 1, 1, -7.0);
  m.AppendToBinaryFile(h, 0, 0);
  b = Bytes(h);
  ASSERT_EQ(b.size(), 8192u);
  EXPECT_EQ(IntAt(b, 12), 2);
  EXPECT_EQ(ValueAt(b, 1, 26), 1333.0);  // the first slot is kept
  EXPECT_EQ(ValueAt(b, 1, 27), -7.0);
  EXPECT_EQ(ValueAt(b, 1, 28), 1112.0);
  // Element number E = ((t-1)*NZ + (z-1))*NY*NX + (y-1)*NX + (x-1).
  EXPECT_EQ(ValueAt(b, 1, ((1 * 3 + 2) * 9 + 1 * 3 + 2)), 1323.0);  // (3, 2, 3, 2)

  TMat4D r;
  r.LoadBinary(h, 0, 0);
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_EQ(r.GetVal(1, 1, 1, 2), -7.0);
  EXPECT_EQ(r.GetVal(3, 2, 3, 2), 1323.0);
  EXPECT_EQ(r.DataID(), "probe");

  // Values cross block boundaries unchanged, and a stretch of slots can be saved.
  const std::string k = TempFile("big.bin");
  Numbered(m, 7, 11, 13, 3);
  m.SaveBinary(k, 2, 3);
  EXPECT_EQ(Bytes(k).size(), 4096u * (1 + (2 * 7 * 11 * 13 + 511) / 512));
  r.LoadBinary(k, 0, 0);
  ASSERT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_EQ(r.GetVal(7, 11, 13, 2), 3000.0 + 1300 + 110 + 7);
  EXPECT_EQ(r.GetVal(4, 5, 6, 1), 2000.0 + 600 + 50 + 4);
}

TEST(TMat4DFile, TimeSlotSelectionAndLayers) {
  const std::string f = TempFile("three.bin");
  TMat4D m, r;
  Numbered(m, 4, 3, 3, 3);
  m.SaveBinary(f, 0, 0);
  r.LoadBinary(f, 2, 0);  // either bound <= 0: all
  EXPECT_EQ(r.NrOfTimeSlots(), 3);
  r.LoadBinary(f, 2, 9);  // the end is lowered
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_EQ(r.GetVal(1, 1, 1, 1), 2111.0);
  r.LoadBinary(f, 3, 2);  // reversed bounds are taken in order
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_THROW(r.LoadBinary(f, 4, 4), EQMXMatrixError);

  const std::string one = TempFile("oneslot.bin");
  m.SaveBinary(one, 1, 1);
  r.SetName("R");
  try {
    r.LoadBinary(one, 2, 0);
    ADD_FAILURE();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"R\": specified time slot beyond data range");
  }

  // Layer 1 of time slot 2 starts at element 3 * NX * NY.
  TDouble2DArray d;
  r.ReadLayer(f, 1, 2, d);
  ASSERT_EQ(d.size(), 4u);
  ASSERT_EQ(d[0].size(), 3u);
  EXPECT_EQ(d[3][2], 2134.0);
  EXPECT_THROW(r.ReadLayer(f, 4, 1, d), EQMXMatrixError);
  EXPECT_THROW(r.ReadLayer(f, 1, 4, d), EQMXMatrixError);

  TMat4D obj;
  obj.Resize(5, 3, 2, 2);
  obj.Fill(-1.0);
  obj.ReadLayer(f, 2, 2);
  EXPECT_EQ(obj.GetVal(4, 3, 2, 2), 2234.0);
  EXPECT_EQ(obj.GetVal(5, 3, 2, 2), -1.0);  // beyond the file's columns: kept
  EXPECT_EQ(obj.GetVal(4, 3, 1, 2), -1.0);
  EXPECT_THROW(obj.ReadLayer(f, 3, 1), EQMXMatrixError);  // beyond the object's layers
  // An object smaller than the file's layer, or without the time slot, is refused unchanged.
  TMat4D small;
  small.Resize(3, 3, 3, 3);
  const std::string before = small.CRCofData();
  EXPECT_THROW(small.ReadLayer(f, 1, 1), EQMXMatrixError);
  obj.Resize(5, 3, 2, 1);
  EXPECT_THROW(obj.ReadLayer(f, 1, 2), EQMXMatrixError);
  EXPECT_EQ(small.CRCofData(), before);
}

TEST(TMat4DFile, ReadLayerReadsOnlyItsBlocks) {
  std::ifstream probe("/proc/self/io");
  if (!probe) GTEST_SKIP() << "no per-process I/O counters";
  auto rchar = [] {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long v = 0;
    while (io >> key >> v)
      if (key == "rchar:") return v;
    return -1LL;
  };
  const std::string f = TempFile("layers.bin");
  TMat4D m;
  Numbered(m, 64, 64, 8, 2);  // 4096 values per layer: 8 blocks
  m.SaveBinary(f, 0, 0);
  TDouble2DArray d;
  const long long r0 = rchar();
  m.ReadLayer(f, 5, 2, d);
  const long long r1 = rchar();
  // The header block and the layer's 8 blocks; the measurement itself reads a little.
  EXPECT_GE(r1 - r0, 9 * 4096);
  EXPECT_LT(r1 - r0, 9 * 4096 + 4096);
  EXPECT_EQ(d[63][63], 2000.0 + 500 + 640 + 64);
}

TEST(TMat4DFile, ElementEventsAndProgress) {
  const std::string f = TempFile("events.bin");
  TMat4D m;
  Numbered(m, 3, 2, 2, 3);
  m.SaveBinary(f, 0, 0);
  std::vector<double> got;
  bool orderOk = true;
  int32_t lastT = 0;
  TMat4D reader;
  reader.OnReadElement = [&](TObject* s, int32_t x, int32_t y, int32_t l, int32_t t, double v) {
    orderOk = orderOk && s == &reader && v == 1000.0 * (t + 1) + 100.0 * l + 10.0 * y + x;
    lastT = t;
    got.push_back(v);
  };
  reader.ReadBinary(f, 2, 3);  // slots counted from 1 within the selection
  EXPECT_TRUE(orderOk);
  EXPECT_EQ(lastT, 2);
  EXPECT_EQ(got.size(), 24u);
  EXPECT_EQ(reader.NrOfElements(), 1u);  // nothing stored

  std::vector<int32_t> pct;
  reader.OnPercentDone = [&](TObject*, int32_t p) { pct.push_back(p); };
  reader.LoadBinary(f, 0, 0);  // 36 values: step 1, one event per value
  ASSERT_EQ(pct.size(), 36u);
  EXPECT_EQ(pct.front(), 3);  // round(100 / 36)
  EXPECT_EQ(pct[17], 50);
  EXPECT_EQ(pct.back(), 100);
}

TEST(TMat4DFile, DamagedFilesAreRefusedBeforeAnythingChanges) {
  const std::string f = TempFile("good.bin");
  TMat4D m;
  Numbered(m, 4, 4, 2, 2);
  m.SaveBinary(f, 0, 0);
  const std::vector<uint8_t> good = Bytes(f);

  TMat4D target;
  Numbered(target, 2, 2, 2, 1);
  target.SetDataID("keep");
  const std::string crc = target.CRCofData();
  auto refused = [&](std::vector<uint8_t> bytes, const char* what) {
    const std::string g = TempFile("bad.bin");
    PutBytes(g, bytes);
    EXPECT_THROW(target.LoadBinary(g, 0, 0), Exception) << what;
    TDouble2DArray d;
    EXPECT_THROW(target.ReadLayer(g, 1, 1, d), Exception) << what;
    EXPECT_THROW(target.ReadBinary(g, 0, 0), Exception) << what;
    EXPECT_EQ(target.CRCofData(), crc) << what;
    EXPECT_EQ(target.NrOfColumns(), 2) << what;
    EXPECT_EQ(target.DataID(), "keep") << what;
  };
  std::vector<uint8_t> b = good;
  SetInt(b, 0, -4);
  refused(b, "negative columns");
  b = good;
  SetInt(b, 8, 0);
  refused(b, "zero layers");
  b = good;
  SetInt(b, 12, 0);
  refused(b, "zero time slots");
  b = good;
  for (std::size_t off : {0u, 4u, 8u, 12u}) SetInt(b, off, 2147483647);
  refused(b, "product beyond any address");
  b = good;
  SetInt(b, 12, 17);  // 544 values need two data blocks; the file has one
  refused(b, "more blocks than the file");
  b = good;
  b.resize(good.size() - 4096);
  refused(b, "truncated");
  refused(std::vector<uint8_t>(100, 0), "shorter than a header");

  // The header reader only reads: a header with 0 layers is reported, not refused.
  b = good;
  SetInt(b, 8, 0);
  const std::string g = TempFile("zero.bin");
  PutBytes(g, b);
  int32_t nc = 0, nr = 0, nl = -1, nt = 0;
  std::string id = "x";
  EXPECT_FALSE(m.ReadBinaryHeader(g, nc, nr, nl, nt, id));
  EXPECT_EQ(nc * 100 + nr * 10 + nt, 442);
  EXPECT_EQ(nl, 0);
  EXPECT_EQ(id, "");

  // A missing file: the runtime's I/O error names the operation and the file.
  try {
    target.LoadBinary(TempFile("missing.bin"), 0, 0);
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Operation(), "LoadBinary");
    EXPECT_NE(std::string(e.what()).find("qmx_blk_missing.bin"), std::string::npos);
  }
  EXPECT_THROW(m.SaveBinary(testing::TempDir() + "no/such/dir/x.bin", 0, 0), EInOutError);
}

TEST(TMat4DFile, AppendChecksBeforeWriting) {
  const std::string f = TempFile("append.bin");
  TMat4D m, other;
  Numbered(m, 3, 3, 3, 2);
  m.SaveBinary(f, 0, 0);
  const std::vector<uint8_t> before = Bytes(f);
  Numbered(other, 4, 3, 3, 1);
  other.SetName("O");
  try {
    other.AppendToBinaryFile(f, 0, 0);
    ADD_FAILURE();
  } catch (const EQMXMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"O\": X,Y,Z of matrices do not match");
  }
  EXPECT_THROW(m.AppendToBinaryFile(f, 3, 3), EQMXMatrixError);
  EXPECT_EQ(Bytes(f), before);
  EXPECT_THROW(m.AppendToBinaryFile(TempFile("absent.bin"), 0, 0), EInOutError);

  // Appending twice gives the concatenation, read back slot by slot.
  m.AppendToBinaryFile(f, 2, 2);
  m.AppendToBinaryFile(f, 0, 0);
  TMat4D r;
  r.LoadBinary(f, 0, 0);
  ASSERT_EQ(r.NrOfTimeSlots(), 5);
  for (int32_t t : {1, 2, 3, 4, 5}) {
    const int32_t src = t == 3 ? 2 : t <= 2 ? t : t - 3;
    EXPECT_EQ(r.GetVal(2, 3, 1, t), m.GetVal(2, 3, 1, src)) << t;
  }
}
