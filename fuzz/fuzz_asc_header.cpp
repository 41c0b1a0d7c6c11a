// Header of the ASC file (ReadHeaderOfASC, stream and file forms) and the name parser.
#include <sstream>

#include "fuzz_common.h"
#include "qmx/asc.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

bool SameHeader(const TASCHeader& a, const TASCHeader& b) {
  return a.Comment == b.Comment && a.NrOfColumns == b.NrOfColumns && a.NrOfRows == b.NrOfRows &&
         a.RowAttribs == b.RowAttribs && a.ColNames == b.ColNames && a.RowNames == b.RowNames &&
         a.ColAttribs == b.ColAttribs;
}

// Feeds every byte to the name parser; completed quoted names never hold the quote character,
// bare words never hold white space (but may hold the quote character).
void Names(std::string_view In, char Quote) {
  std::string name;
  TQuotedStrState st = qsNone;
  for (char c : In) {
    const TQuotedStrState before = st;
    if (ParseQuotedName(c, Quote, name, st)) {
      QMX_FUZZ_CHECK(st == qsNone && before != qsNone);
      if (before == qsQuoted) QMX_FUZZ_CHECK(name.find(Quote) == std::string::npos);
      if (before == qsUnquoted) QMX_FUZZ_CHECK(name.find_first_of(" \t\r\n") == std::string::npos && !name.empty());
      name.clear();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const auto in = Bytes(Data, Size);
  TASCHeader prior;
  prior.Comment = "prior";
  prior.NrOfColumns = 77;
  TASCHeader h = prior;
  std::istringstream is{std::string(in)};
  const int32_t rc = ReadHeaderOfASC(is, h);
  QMX_FUZZ_CHECK(rc == 0 || rc == ascErrTruncated || rc == ascErrColumns || rc == ascErrRows || rc == ascErrFlags);
  if (rc != 0) {
    QMX_FUZZ_CHECK(SameHeader(h, prior));
  } else {
    QMX_FUZZ_CHECK(h.NrOfColumns >= 1 && h.NrOfRows >= 0);
    // Written back (CR LF keeps a comment's own trailing CR) it reads the same.
    std::string text = h.Comment + "\r\n" + std::to_string(h.NrOfColumns) + "\n" + std::to_string(h.NrOfRows) +
                       " ; rows\n" + (h.RowAttribs ? "TRUE" : "FALSE") + " " + (h.ColNames ? "true" : "false") +
                       "\t" + (h.RowNames ? "True" : "False") + (h.ColAttribs ? " TRUE\n" : "\n");
    std::istringstream again(text);
    TASCHeader h2;
    QMX_FUZZ_CHECK(ReadHeaderOfASC(again, h2) == 0 && SameHeader(h, h2));
  }
  TASCHeader f = prior;
  const int32_t frc = ReadHeaderOfASC(WriteScratch("asc_in", in), f);
  QMX_FUZZ_CHECK(frc == rc && (rc != 0 || SameHeader(f, h)));
  Names(in, '"');
  Names(in, '\'');
  return 0;
}
