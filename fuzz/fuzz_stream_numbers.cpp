// The stream number readers (80-bit extended and 32-bit integers): a short read reports an
// error, and what was read writes back to the same bytes.
#include <cstring>

#include "fuzz_common.h"
#include "qmx/basepack.h"

using namespace qmx;
using namespace qmxfuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  // The first byte chooses the reader of each step, bit by bit.
  const uint8_t plan = Data[0];
  TMemoryStream in, out;
  Fill(in, Bytes(Data + 1, Size - 1));
  for (int step = 0; in.Position() < in.Size(); ++step) {
    const bool ext = (plan >> (step % 8)) & 1u;
    const int64_t left = in.Size() - in.Position();
    bool err = false;
    if (ext) {
      const long double v = ReadExtendedFromStream(&in, err);
      QMX_FUZZ_CHECK(err == (left < 10));
      if (!err) WriteExtendedToStream(&out, v);
    } else {
      const int32_t v = ReadLongintFromStream(&in, err);
      QMX_FUZZ_CHECK(err == (left < 4));
      if (!err) WriteLongintToStream(&out, v);
    }
    if (err) break;
  }
  const auto& written = out.Data();
  QMX_FUZZ_CHECK(written.size() <= Size - 1);
  QMX_FUZZ_CHECK(written.empty() || std::memcmp(written.data(), Data + 1, written.size()) == 0);
  bool err = false;
  ReadLongintFromStream(nullptr, err);
  QMX_FUZZ_CHECK(err);
  return 0;
}
