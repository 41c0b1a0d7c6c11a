// Text file of TVector (index line and auto-detecting forms) and TIntVector.
#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

template <class V, class Store>
void ReloadSame(const V& Loaded, Store&& StoreIt) {
  const std::string out = ScratchPath("vec_out.txt");
  QMX_FUZZ_CHECK(StoreIt(Loaded, out));
  V again;
  QMX_FUZZ_CHECK(again.LoadFromFile(out, true));
  QMX_FUZZ_CHECK(StateOf(again) == StateOf(Loaded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string in = WriteScratch("vec_in.txt", Bytes(Data, Size));
  auto storeFloat = [](const TVector& v, const std::string& f) { return v.StoreOnFile(0, 0, -2, f); };
  auto storeInt = [](const TIntVector& v, const std::string& f) { return v.StoreOnFile(0, 0, f); };
  for (bool adjust : {true, false}) {
    TVector v;
    Prime(v, adjust ? 3 : 64);
    CheckLoad(v, [&](TVector& t) { return t.LoadFromFile(in, adjust); },
              [&](const TVector& t) { ReloadSame(t, storeFloat); });
    TVector a;
    Prime(a, adjust ? 3 : 64);
    CheckLoad(a, [&](TVector& t) { return t.LoadFromFile(in, adjust, true); },
              [&](const TVector& t) { ReloadSame(t, storeFloat); });
    TIntVector iv;
    Prime(iv, adjust ? 3 : 64);
    CheckLoad(iv, [&](TIntVector& t) { return t.LoadFromFile(in, adjust); },
              [&](const TIntVector& t) { ReloadSame(t, storeInt); });
  }
  return 0;
}
