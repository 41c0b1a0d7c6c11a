// Text file of TMatrix (index line and auto-detecting forms) and TIntMatrix (dense and sparse
// targets).
#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

void ReloadSame(const TMatrix& M) {
  const std::string out = ScratchPath("mat_out.txt");
  if (!M.HasCells()) return;  // a matrix without cells writes no file
  QMX_FUZZ_CHECK(M.StoreOnFile(0, 0, 0, 0, out));
  TMatrix again;
  QMX_FUZZ_CHECK(again.LoadFromFile(out, true));
  again.SetDataID(M.DataID());  // not part of the text file
  QMX_FUZZ_CHECK(StateOf(again) == StateOf(M));
}

// A sparse matrix may describe a huge logical block; its records go through the sparse file.
void ReloadSame(const TIntMatrix& M) {
  const std::string out = ScratchPath("imat_out.txt");
  TIntMatrix again;
  if (M.IsSparse()) {
    QMX_FUZZ_CHECK(M.StoreSparseMat(out));
    QMX_FUZZ_CHECK(again.LoadSparseMat(out));
  } else {
    if (M.NrOfColumns() == 0 || M.NrOfRows() == 0) return;
    QMX_FUZZ_CHECK(M.StoreOnFile(0, 0, 0, 0, out));
    QMX_FUZZ_CHECK(again.LoadFromFile(out, true));
  }
  again.SetDataID(M.DataID());
  QMX_FUZZ_CHECK(StateOf(again) == StateOf(M));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string in = WriteScratch("mat_in.txt", Bytes(Data, Size));
  for (bool adjust : {true, false}) {
    for (bool detect : {false, true}) {
      TMatrix m;
      Prime(m, adjust ? 3 : 12, adjust ? 2 : 12);
      CheckLoad(m, [&](TMatrix& t) { return t.LoadFromFile(in, adjust, detect); },
                [](const TMatrix& t) { ReloadSame(t); });
    }
    TIntMatrix dense;
    Prime(dense, adjust ? 3 : 12, adjust ? 2 : 12);
    CheckLoad(dense, [&](TIntMatrix& t) { return t.LoadFromFile(in, adjust); },
              [](const TIntMatrix& t) { QMX_FUZZ_CHECK(!t.IsSparse()); ReloadSame(t); });
    TIntMatrix sparse(nullptr, 4);
    Prime(sparse, adjust ? 3 : 12, adjust ? 2 : 12);
    CheckLoad(sparse, [&](TIntMatrix& t) { return t.LoadFromFile(in, adjust); },
              [](const TIntMatrix& t) { QMX_FUZZ_CHECK(t.IsSparse()); ReloadSame(t); });
  }
  return 0;
}
