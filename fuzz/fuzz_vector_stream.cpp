// Stream records of TVector and TIntVector (several records in a row).
#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

template <class V>
void Run(std::string_view Input, bool Adjust) {
  TMemoryStream s;
  Fill(s, Input);
  V v;
  Prime(v, Adjust ? 3 : 64);
  for (int k = 0; k < 4; ++k) {
    const int64_t start = s.Position();
    const bool ok = CheckLoad(v, [&](V& t) { return t.LoadFromStream(&s, Adjust); },
                              [&](const V& t) {
                                QMX_FUZZ_CHECK(s.Position() > start);
                                TMemoryStream* out = new TMemoryStream;
                                t.SaveToStream(out, 0, 0);
                                out->SetPosition(0);
                                V again;
                                QMX_FUZZ_CHECK(again.LoadFromStream(out, true));
                                QMX_FUZZ_CHECK(out->Position() == out->Size());
                                QMX_FUZZ_CHECK(StateOf(again) == StateOf(t));
                                delete out;
                              });
    if (!ok) {
      QMX_FUZZ_CHECK(s.Position() == start);  // a refused record is left where it began
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  for (bool adjust : {true, false}) {
    Run<TVector>(Bytes(Data, Size), adjust);
    Run<TIntVector>(Bytes(Data, Size), adjust);
  }
  TVector v;
  QMX_FUZZ_CHECK(!v.LoadFromStream(nullptr, true));
  return 0;
}
