// Binary file of TMatrix and TIntMatrix, with the header reader. Each input is tried as it is
// and with its last four bytes replaced by the right checksum, so that the payload rules are
// explored too and not only the checksum test.
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "qmx/basepack.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

template <class M>
void Run(const std::string& File, M& Target) {
  int32_t nc = -7, nr = -7;
  std::string id = "untouched";
  const bool header = Target.ReadBinaryHeader(File, nc, nr, id);
  if (!header) QMX_FUZZ_CHECK(nc == -7 && nr == -7 && id == "untouched");
  const bool loaded = CheckLoad(Target, [&](M& t) { return t.LoadBinary(File); }, [&](const M& t) {
    // Header and load agree.
    QMX_FUZZ_CHECK(header && nc == t.NrOfColumns() && nr == t.NrOfRows() && id == t.DataID());
    const std::string out = ScratchPath("bin_out");
    QMX_FUZZ_CHECK(t.SaveBinary(out));
    M again;
    QMX_FUZZ_CHECK(again.LoadBinary(out));
    QMX_FUZZ_CHECK(StateOf(again) == StateOf(t));
  });
  (void)loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  std::string bytes(Bytes(Data, Size));
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      if (bytes.size() < 4) break;
      uint32_t crc = 0xFFFFFFFFu;
      for (std::size_t i = 0; i + 4 < bytes.size(); ++i) crc = CalcNextCRC32(static_cast<uint8_t>(bytes[i]), crc);
      crc ^= 0xFFFFFFFFu;
      for (int k = 0; k < 4; ++k) bytes[bytes.size() - 4 + k] = static_cast<char>(crc >> (8 * k));
    }
    const std::string in = WriteScratch("bin_in", bytes);
    TMatrix m;
    Prime(m);
    Run(in, m);
    TIntMatrix dense;
    Prime(dense);
    Run(in, dense);
    TIntMatrix sparse(nullptr, 4);
    Prime(sparse);
    Run(in, sparse);
  }
  return 0;
}
