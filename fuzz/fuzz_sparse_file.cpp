// Sparse text file of TIntMatrix, into dense and sparse targets.
#include "fuzz_common.h"

using namespace qmx;
using namespace qmxfuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string in = WriteScratch("sparse_in", Bytes(Data, Size));
  TIntMatrix dense, sparse(nullptr, 4);
  Prime(dense);
  Prime(sparse);
  for (TIntMatrix* target : {&dense, &sparse})
    CheckLoad(*target, [&](TIntMatrix& t) { return t.LoadSparseMat(in); }, [](const TIntMatrix& t) {
      QMX_FUZZ_CHECK(t.IsSparse());
      const std::string out = ScratchPath("sparse_out");
      QMX_FUZZ_CHECK(t.StoreSparseMat(out));
      TIntMatrix again;
      QMX_FUZZ_CHECK(again.LoadSparseMat(out));
      again.SetDataID(t.DataID());  // not part of this file
      QMX_FUZZ_CHECK(StateOf(again) == StateOf(t));
    });
  return 0;
}
