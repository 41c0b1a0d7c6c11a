// Damaged inputs that coverage-guided fuzzing found; the files are in tests/data.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "qmx/matrix.h"

using namespace qmx;

namespace {

std::string Data(const std::string& name) { return std::string(QMX_TEST_DATA_DIR) + "/" + name; }

std::string ReadAll(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void FillPrior(TMatrix& m) {
  m.Resize(3, 2);
  for (int32_t k = 0; k < 6; ++k) m.SetVal(k / 2 + 1, k % 2 + 1, 1.5 * k - 2);
  m.SetDataID("prior");
}

}  // namespace

// Dimensions whose product passes 2^63 are refused by the header reader and the loader alike.
TEST(ReaderDamage, BinaryDimensionsBeyondRange) {
  TMatrix m;
  FillPrior(m);
  const std::string crc = m.CRCofData();
  int32_t nc = -1, nr = -1;
  std::string id = "unchanged";
  for (const char* f : {"binary_dims_overflow.qmb", "binary_zero_by_huge.qmb"}) {
    SCOPED_TRACE(f);
    EXPECT_FALSE(m.ReadBinaryHeader(Data(f), nc, nr, id));
    EXPECT_FALSE(m.LoadBinary(Data(f)));
  }
  EXPECT_EQ(nc, -1);
  EXPECT_EQ(id, "unchanged");
  EXPECT_EQ(m.CRCofData(), crc);
  EXPECT_EQ(m.DataID(), "prior");
  TIntMatrix im;
  EXPECT_FALSE(im.ReadBinaryHeader(Data("binary_int_dims_overflow.qmb"), nc, nr, id));
  EXPECT_FALSE(im.LoadBinary(Data("binary_int_dims_overflow.qmb")));
  EXPECT_EQ(nc, -1);
}

// A few bytes never buy a large dense store, but small targets and well-filled blocks load.
TEST(ReaderDamage, TinyInputsDoNotAllocateLargeStores) {
  TMatrix m;
  FillPrior(m);
  const std::string crc = m.CRCofData();
  EXPECT_FALSE(m.LoadFromFile(Data("text_far_block.txt"), true));  // one value at (16384, 16384)
  EXPECT_FALSE(m.LoadFromXMLFile(Data("xml_zero_by_huge.xml"), ""));  // 0 x 2^28, no cell
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.CRCofData(), crc);

  TIntMatrix dense;
  TMemoryStream s;
  const std::string far = ReadAll(Data("intmatrix_stream_far_cell.bin"));  // one cell at row 2^28
  s.Write(far.data(), far.size());
  s.SetPosition(0);
  EXPECT_FALSE(dense.LoadFromStream(&s, true));
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(dense.NrOfRows(), 1);
  // A sparse target keeps only the record, so the large logical size is fine there.
  TIntMatrix sparse(nullptr, 16);
  ASSERT_TRUE(sparse.IsSparse());
  ASSERT_TRUE(sparse.LoadFromStream(&s, true));
  EXPECT_EQ(sparse.NrOfRows(), 1 << 28);
  EXPECT_EQ(sparse.GetVal(1, 1 << 28), 7);
  EXPECT_EQ(sparse.SparseNumElem(), 1);

  // A block away from index 1 still loads into a small target, and a block covering at least
  // half of a large one loads too.
  const std::string small = testing::TempDir() + "qmx_damage_small.txt";
  std::ofstream(small, std::ios::binary) << "3 3 3 3\n7\n";
  ASSERT_TRUE(m.LoadFromFile(small, true));
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.Cell(3, 3), 7.0);
  EXPECT_EQ(m.Cell(1, 1), -2.0);  // outside the block: kept
  TMatrix big;
  big.Resize(100, 100);
  big.Fill(2.0);
  const std::string half = testing::TempDir() + "qmx_damage_half.txt";
  ASSERT_TRUE(big.StoreOnFile(51, 1, 100, 100, half));  // 5000 of 10000 cells
  TMatrix fresh;
  ASSERT_TRUE(fresh.LoadFromFile(half, true));
  EXPECT_EQ(fresh.NrOfColumns(), 100);
  EXPECT_EQ(fresh.Cell(100, 100), 2.0);
  EXPECT_EQ(fresh.Cell(50, 100), 0.0);
  ASSERT_TRUE(big.StoreOnFile(52, 1, 100, 100, half));  // 4900 cells: less than half
  EXPECT_FALSE(fresh.LoadFromFile(half, true));
}

// The checksum of a huge sparse matrix costs its records; it equals the dense matrix's.
TEST(ReaderDamage, SparseChecksumCostsItsRecords) {
  TIntMatrix huge;
  ASSERT_TRUE(huge.LoadSparseMat(Data("sparse_huge_dims.txt")));
  EXPECT_EQ(huge.NrOfColumns(), 2147483647);
  EXPECT_EQ(huge.CRCofData().size(), 32u);  // 2^62 logical cells: must not walk them

  TIntMatrix sparse(nullptr, 8), dense;
  dense.Resize(37, 29);
  sparse.Resize(37, 29);
  const int32_t cells[][3] = {{1, 1, 5}, {1, 2, -1}, {2, 29, 1 << 30}, {20, 3, 0}, {37, 29, -7}};
  for (const auto& c : cells) {
    dense.SetVal(c[0], c[1], c[2]);
    sparse.SetVal(c[0], c[1], c[2]);
  }
  EXPECT_EQ(sparse.CRCofData(), dense.CRCofData());
  TIntMatrix empty(nullptr, 8), zeros;
  empty.Resize(300, 200);  // no record at all: 60000 zeros
  zeros.Resize(300, 200);
  zeros.Fill(0);
  EXPECT_EQ(empty.CRCofData(), zeros.CRCofData());
}
