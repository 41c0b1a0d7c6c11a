// The TMat4D block file: header reader, loads of time-slot selections, element reads and both
// layer reads. A valid file is at least two 4096-byte blocks, longer than an input may be, so the
// input is a compact form of a file: byte 0 chooses the layout, the rest is expanded.
//   bit 0 clear: the rest is the file as it is (short and damaged files);
//   bit 0 set:   bytes 1..272 are the significant part of the header block (padded to 4096), the
//                rest are the values; bit 1 set pads them to whole blocks.
#include <string>

#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

std::string Expand(std::string_view In) {
  if (In.empty()) return {};
  const auto mode = static_cast<uint8_t>(In[0]);
  In.remove_prefix(1);
  if (!(mode & 1)) return std::string(In);
  const std::size_t h = std::min<std::size_t>(In.size(), 272);
  std::string f(In.substr(0, h));
  f.resize(4096, '\0');
  f.append(In.substr(h));
  if (mode & 2) f.resize((f.size() + 4095) / 4096 * 4096, '\0');
  return f;
}

// A load that raises counts as failed.
template <class F>
bool Raises(F Fn) {
  try {
    Fn();
    return false;
  } catch (const Exception&) {
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string file = WriteScratch("blk_in", Expand(Bytes(Data, Size)));
  TMat4D probe;
  int32_t nx = 0, ny = 0, nz = 0, nt = 0;
  std::string id;
  const bool headerRead = !Raises([&] { probe.ReadBinaryHeader(file, nx, ny, nz, nt, id); });

  for (const auto& sel : {std::pair{0, 0}, std::pair{2, 0}, std::pair{1, 1}, std::pair{3, 2}}) {
    TMat4D m;
    Prime(m);
    CheckLoad(m, [&](TMat4D& t) { return !Raises([&] { t.LoadBinary(file, sel.first, sel.second); }); },
              [&](const TMat4D& t) {
                QMX_FUZZ_CHECK(headerRead && nx == t.NrOfColumns() && ny == t.NrOfRows() && nz == t.NrOfLayers());
                QMX_FUZZ_CHECK(t.NrOfTimeSlots() <= nt && id == t.DataID());
                const std::string out = ScratchPath("blk_out");
                t.SaveBinary(out, 0, 0);
                TMat4D again;
                again.LoadBinary(out, 0, 0);
                QMX_FUZZ_CHECK(StateOf(again) == StateOf(t));
              });
  }

  // Element reads hand out every selected value once, in file order.
  TMat4D reader;
  int64_t seen = 0;
  int32_t lastT = 0;
  reader.OnReadElement = [&](TObject*, int32_t x, int32_t y, int32_t l, int32_t t, double) {
    QMX_FUZZ_CHECK(x >= 1 && x <= nx && y >= 1 && y <= ny && l >= 1 && l <= nz && t >= lastT);
    lastT = t;
    ++seen;
  };
  if (!Raises([&] { reader.ReadBinary(file, 0, 0); }))
    QMX_FUZZ_CHECK(seen == int64_t(nx) * ny * nz * nt);

  TDouble2DArray d{{1.0}};
  if (Raises([&] { probe.ReadLayer(file, 1, 1, d); }))
    QMX_FUZZ_CHECK(d.size() == 1 && d[0].size() == 1 && d[0][0] == 1.0);
  else
    QMX_FUZZ_CHECK(d.size() == static_cast<std::size_t>(nx) && d[0].size() == static_cast<std::size_t>(ny));
  TMat4D layer;
  Prime(layer);
  CheckLoad(layer, [&](TMat4D& t) { return !Raises([&] { t.ReadLayer(file, 2, 1); }); },
            [&](const TMat4D& t) { QMX_FUZZ_CHECK(nx <= t.NrOfColumns() && ny <= t.NrOfRows()); });
  return 0;
}
