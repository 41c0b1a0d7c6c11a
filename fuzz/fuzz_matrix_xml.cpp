// XML of TMatrix, TIntMatrix, TMat3D and TMat4D: the stream form reading object after object, the open-file form
// looking for one dataid, and the file form.
#include <sstream>

#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

template <class M>
void ReloadSame(const M& Loaded) {
  TMemoryStream out;
  Loaded.WriteToXMLStream(&out, true, "");
  out.SetPosition(0);
  M again;
  QMX_FUZZ_CHECK(again.ReadFromXMLStream(&out, ""));
  QMX_FUZZ_CHECK(StateOf(again) == StateOf(Loaded));
}

template <class M>
void Run(std::string_view Input, const std::string& File, M& Target) {
  TMemoryStream s;
  Fill(s, Input);
  for (int k = 0; k < 4; ++k) {  // several objects per document
    const int64_t start = s.Position();
    if (!CheckLoad(Target, [&](M& t) { return t.ReadFromXMLStream(&s, ""); },
                   [](const M& t) { ReloadSame(t); })) {
      QMX_FUZZ_CHECK(s.Position() == start);
      break;
    }
  }
  std::istringstream is{std::string(Input)};
  if (!CheckLoad(Target, [&](M& t) { return t.ReadFromOpenXMLFile(is, "b"); }, [](const M& t) {
        QMX_FUZZ_CHECK(t.DataID() == "b");
        ReloadSame(t);
      }))
    QMX_FUZZ_CHECK(is.tellg() == 0);
  CheckLoad(Target, [&](M& t) { return t.LoadFromXMLFile(File, ""); }, [](const M& t) { ReloadSame(t); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const auto in = Bytes(Data, Size);
  const std::string file = WriteScratch("xml_in", in);
  TMatrix m;
  Prime(m);
  Run(in, file, m);
  TIntMatrix dense;
  Prime(dense);
  Run(in, file, dense);
  TIntMatrix sparse(nullptr, 4);
  Prime(sparse);
  Run(in, file, sparse);
  TMat3D cube;
  Prime(cube);
  Run(in, file, cube);
  TMat4D series;
  Prime(series);
  Run(in, file, series);
  return 0;
}
