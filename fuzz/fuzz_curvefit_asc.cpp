// ASC import of TCurveFit.
#include <cmath>

#include "fuzz_common.h"
#include "qmx/math2.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

std::string DataText(const TCurveFit& F) {
  std::string s = std::to_string(F.NumData());
  TVector x, y;
  x.Resize(F.NumData());
  y.Resize(F.NumData());
  for (int32_t i = 1; i <= F.NumData(); ++i) {
    x.SetVal(i, F.DataX(i));
    y.SetVal(i, F.DataY(i));
  }
  return s + x.CRCofData() + y.CRCofData();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string in = WriteScratch("cf_in.asc", Bytes(Data, Size));
  TCurveFit fit;
  fit.EnterStatValue(1.5, -2);
  fit.EnterStatValue(3, 4.25);
  const std::string before = DataText(fit);
  int32_t rc;
  try {
    rc = fit.ImportASC(in);
  } catch (const EQMXMath2Error&) {  // the documented refusal of a column count other than 2
    QMX_FUZZ_CHECK(DataText(fit) == before);
    return 0;
  }
  if (rc != 0) {
    QMX_FUZZ_CHECK(DataText(fit) == before);
    return 0;
  }
  for (int32_t i = 1; i <= fit.NumData(); ++i)
    QMX_FUZZ_CHECK(std::isfinite(fit.DataX(i)) && std::isfinite(fit.DataY(i)));
  // The export rounds the values to its precision; the pairs come back all the same.
  const std::string out = ScratchPath("cf_out.asc");
  QMX_FUZZ_CHECK(fit.ExportAsASC(out, "", 6).empty());
  TCurveFit again;
  QMX_FUZZ_CHECK(again.ImportASC(out) == 0 && again.NumData() == fit.NumData());
  return 0;
}
