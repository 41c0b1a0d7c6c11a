// Stream blocks of TMatrix and TIntMatrix (dense and sparse targets), several in a row.
#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

void ReloadSame(const TMatrix& M) {
  TMemoryStream* out = nullptr;
  M.SaveToStream(out, 0, 0, 0, 0);
  out->SetPosition(0);
  TMatrix again;
  if (M.HasCells()) {
    QMX_FUZZ_CHECK(again.LoadFromStream(out, true));
    again.SetDataID(M.DataID());
    QMX_FUZZ_CHECK(StateOf(again) == StateOf(M));
  }
  delete out;
}

void ReloadSame(const TIntMatrix& M) {
  if (M.IsSparse()) {  // the logical block may be huge: the records go through the sparse file
    const std::string f = ScratchPath("imat_sparse");
    TIntMatrix again;
    QMX_FUZZ_CHECK(M.StoreSparseMat(f) && again.LoadSparseMat(f));
    again.SetDataID(M.DataID());
    QMX_FUZZ_CHECK(StateOf(again) == StateOf(M));
    return;
  }
  TMemoryStream* out = nullptr;
  M.SaveToStream(out, 0, 0, 0, 0);
  out->SetPosition(0);
  TIntMatrix again;
  if (M.NrOfColumns() > 0 && M.NrOfRows() > 0) {
    QMX_FUZZ_CHECK(again.LoadFromStream(out, true));
    again.SetDataID(M.DataID());
    QMX_FUZZ_CHECK(StateOf(again) == StateOf(M));
  }
  delete out;
}

template <class M>
void Run(std::string_view Input, M& Target, bool Adjust) {
  TMemoryStream s;
  Fill(s, Input);
  for (int k = 0; k < 4; ++k) {
    const int64_t start = s.Position();
    if (!CheckLoad(Target, [&](M& t) { return t.LoadFromStream(&s, Adjust); },
                   [&](const M& t) {
                     QMX_FUZZ_CHECK(s.Position() > start);
                     ReloadSame(t);
                   })) {
      QMX_FUZZ_CHECK(s.Position() == start);
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const auto in = Bytes(Data, Size);
  for (bool adjust : {true, false}) {
    const int32_t n = adjust ? 3 : 12;
    TMatrix m;
    Prime(m, n, n - 1);
    Run(in, m, adjust);
    TIntMatrix dense;
    Prime(dense, n, n - 1);
    Run(in, dense, adjust);
    TIntMatrix sparse(nullptr, 4);
    Prime(sparse, n, n - 1);
    Run(in, sparse, adjust);
    QMX_FUZZ_CHECK(sparse.IsSparse());
  }
  return 0;
}
