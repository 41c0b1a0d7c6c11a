// The data table's three readers (CSV, ASC, XML): the first input byte picks the reader and the
// CSV options, the rest is the text. A failed read leaves the table exactly as it was; a
// successful one writes the table back in the same format and must read back unchanged.
#include <cstring>
#include <sstream>

#include "fuzz_common.h"
#include "matrix/matio.h"
#include "qmx/datatable.h"

using namespace qmxfuzz;

namespace {

// Everything a table holds: size, comment, the two checksums and the value bits.
std::string TableState(const qmx::TDataTable& T) {
  std::ostringstream s;
  s << T.NrOfColumns() << 'x' << T.NrOfRows() << '|' << T.Comment() << '|' << T.CRCofNamesAndAttributes() << '|'
    << T.CRCofCellStates() << '|' << T.NumericData->CRCofData();
  return s.str();
}

void Prime(qmx::TDataTable& T) {
  T.Resize(2, 2);
  T.SetComment("prior");
  T.SetColName(1, "a \"b\"");
  T.SetElem(1, 2, -0.5);
  T.SetCellState(2, 1, 0x24);
  T.SetElemNominal(2, 2, "x");
  T.SetMScaleType(2, qmx::stNominal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  const uint8_t mode = Data[0];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  qmx::TDataTable t;
  Prime(t);
  const std::string before = TableState(t);
  switch (mode % 3) {
    case 0: {  // CSV, from a file and from the text
      const auto delim = static_cast<qmx::TCSVDelimiters>((mode / 3) % 5);
      const bool ch = (mode / 15) & 1, rh = (mode / 30) & 1;
      const int32_t rc = t.ImportFromCSV(WriteScratch("dt_in.csv", text), delim, ch, rh);
      if (rc != 0) {
        QMX_FUZZ_CHECK(rc < 0 && TableState(t) == before);
        qmx::TDataTable u;
        Prime(u);
        QMX_FUZZ_CHECK(u.ImportFromCSVText(text, delim, ch, rh) == rc && TableState(u) == before);
        return 0;
      }
      QMX_FUZZ_CHECK(t.NrOfColumns() >= 1 && t.NrOfRows() >= 1);
      // Written with every header the read had, with the delimiter it found or was given.
      const qmx::TCSVDelimiters out = delim == qmx::csvUnknown ? qmx::csvComma : delim;
      const std::string back = t.CSVText(-1, out, ch, rh, false, ch && rh);
      qmx::TDataTable again;
      QMX_FUZZ_CHECK(again.ImportFromCSVText(back, out, ch, rh) == 0);
      QMX_FUZZ_CHECK(again.NrOfColumns() == t.NrOfColumns() && again.NrOfRows() == t.NrOfRows());
      QMX_FUZZ_CHECK(again.CRCofCellStates() == t.CRCofCellStates());
      // CSV tells numbers from texts by their look, so a text column whose identifiers all read as
      // numbers comes back as numbers (documented); the rest must come back as written.
      bool textsLookLikeText = true;
      for (int32_t c : t.ListOfCategorialVars()) {
        bool anyText = false;
        for (int32_t k = 1; k <= qmx::kMaxNominalIDs && !anyText; ++k) {
          double v;
          const std::string id = t.NominalID(c, k);
          anyText = !id.empty() && !qmx::matio::ParseDouble(id, v);
        }
        textsLookLikeText = textsLookLikeText && anyText;
      }
      if (textsLookLikeText) QMX_FUZZ_CHECK(again.CSVText(-1, out, ch, rh, false, ch && rh) == back);
      return 0;
    }
    case 1: {  // ASC from the clipboard
      qmx::Clipboard().SetAsText(text);
      if (t.ImportASC(&qmx::Clipboard()) != 0) {
        QMX_FUZZ_CHECK(TableState(t) == before);
        return 0;
      }
      qmx::Clipboard().SetAsText(t.ASCText(-1));
      qmx::TDataTable again;
      QMX_FUZZ_CHECK(again.ImportASC(&qmx::Clipboard()) == 0);
      QMX_FUZZ_CHECK(TableState(again) == TableState(t));
      return 0;
    }
    default: {  // XML from the text
      int32_t at = 1;
      if (!t.ReadFromXMLString(text, at, "")) {
        QMX_FUZZ_CHECK(at == 1 && TableState(t) == before && !t.LastXMLError().empty());
        return 0;
      }
      QMX_FUZZ_CHECK(at > 1 && static_cast<std::size_t>(at) <= text.size() + 1);
      const std::string back = t.XMLText(true, -1, "again");
      qmx::TDataTable again;
      int32_t at2 = 1;
      QMX_FUZZ_CHECK(again.ReadFromXMLString(back, at2, "again"));
      QMX_FUZZ_CHECK(TableState(again) == TableState(t));
      return 0;
    }
  }
}
