// The qmx tool's table reader (CSV or blank-separated numbers with an optional header line).
#include <cmath>

#include "csv.h"
#include "fuzz_common.h"
#include "matrix/matio.h"

using namespace qmxfuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const std::string in = WriteScratch("table_in.csv", Bytes(Data, Size));
  qmxtool::NumericTable t;
  std::string err;
  if (!qmxtool::ReadNumericTable(in, t, err, 1000, 100)) {
    QMX_FUZZ_CHECK(!err.empty());
    return 0;
  }
  const std::size_t nc = t.fileColumns.size();
  QMX_FUZZ_CHECK(!t.rows.empty() && nc > 0 && nc <= 100 && t.rows.size() <= 1000);
  QMX_FUZZ_CHECK(t.names.size() == nc && t.lines.size() == t.rows.size());
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    QMX_FUZZ_CHECK(t.rows[i].size() == nc);
    QMX_FUZZ_CHECK(i == 0 || t.lines[i] > t.lines[i - 1]);
    for (double v : t.rows[i]) QMX_FUZZ_CHECK(std::isfinite(v));
  }
  // The values written back as plain CSV (exact number text) read the same.
  std::string text;
  for (const auto& row : t.rows) {
    for (std::size_t c = 0; c < nc; ++c) {
      if (c) text += ',';
      qmx::matio::AppendDouble(text, row[c]);
    }
    text += '\n';
  }
  qmxtool::NumericTable again;
  QMX_FUZZ_CHECK(qmxtool::ReadNumericTable(WriteScratch("table_out.csv", text), again, err, 1000, 100));
  QMX_FUZZ_CHECK(again.rows == t.rows);
  return 0;
}
