// TDataTable CSV, ASC and XML: round trips of everything each format carries, files written by
// hand, and bad input that must leave the table exactly as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "qmx/asc.h"
#include "qmx/datatable.h"

namespace {

using namespace qmx;

std::string TempPath(const std::string& name) { return testing::TempDir() + "/dt_" + name; }

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string p = TempPath(name);
  std::ofstream f(p, std::ios::binary);
  f << text;
  return p;
}

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, 8);
  return b;
}

// Everything a table holds, as one comparable text (values by their bits).
std::string Fingerprint(const TDataTable& t) {
  std::ostringstream s;
  s << t.NrOfColumns() << 'x' << t.NrOfRows() << '|' << t.Comment() << '|' << t.CRCofNamesAndAttributes() << '|'
    << t.CRCofCellStates() << '|';
  for (int c = 1; c <= t.NrOfColumns(); ++c)
    for (int r = 1; r <= t.NrOfRows(); ++r) s << std::hex << Bits(t.NumericData->GetVal(c, r)) << ',';
  return s.str();
}

// A table with the awkward cases: names with delimiters, quotes, blanks and backslashes, exact
// values (-0, the least denormal, infinities), empty and marked cells, a nominal column.
void MakeAwkward(TDataTable& t) {
  t.Resize(3, 4);
  t.SetComment("table, \"quoted\"; note");
  t.SetColName(1, "a,b;c:d\te");
  t.SetColName(2, " say \"hi\" ");
  t.SetColName(3, "back\\slash");
  t.SetRowName(1, "line\nbreak");
  t.SetRowName(2, "");
  const double v[4] = {-0.0, 5e-324, std::numeric_limits<double>::infinity(), 0.1};
  for (int r = 1; r <= 4; ++r) {
    t.NumericData->SetVal(1, r, v[r - 1]);
    t.NumericData->SetVal(2, r, r == 2 ? -std::numeric_limits<double>::infinity() : 1.0 / 3.0 * r);
    t.SetRowAttrib(r, r == 3 ? -2147483647 - 1 : 100 * r);
  }
  t.SetCellState(2, 3, 0x02);
  t.NumericData->SetVal(2, 3, 0.0);  // an empty cell holds 0
  t.SetColName(2, " say \"hi\" ");
  t.SetMScaleType(3, stNominal);
  t.SetElemNominal(3, 1, "Setosa");
  t.SetElemNominal(3, 2, "vir \"gin\"");
  t.SetElemNominal(3, 3, "Setosa");
  t.SetCellState(3, 4, 0x02);
}

TEST(DataTableCSV, RoundTripsWithEveryDelimiter) {
  TDataTable a;
  MakeAwkward(a);
  for (TCSVDelimiters d : {csvComma, csvColon, csvSemicolon, csvTab}) {
    const std::string p = TempPath("rt.csv");
    ASSERT_EQ(a.ExportAsCSV(p, -1, d, true, true, true, true), "");
    for (TCSVDelimiters rd : {d, csvUnknown}) {
      TDataTable b;
      ASSERT_EQ(b.ImportFromCSV(p, rd, true, true), 0) << int(d) << ' ' << int(rd);
      EXPECT_EQ(Fingerprint(b), Fingerprint(a)) << int(d) << ' ' << int(rd);
      EXPECT_EQ(b.ElemNominal(3, 2), "vir \"gin\"");
    }
  }
  // Without headers the values and empty cells still return; names take their defaults.
  const std::string p = TempPath("plain.csv");
  ASSERT_EQ(a.ExportAsCSV(p, -1, csvSemicolon, false, false), "");
  TDataTable c;
  ASSERT_EQ(c.ImportFromCSV(p, csvSemicolon, false, false), 0);
  EXPECT_EQ(c.ColName(2), "C-2");
  EXPECT_TRUE(c.IsEmpty(2, 3));
  EXPECT_EQ(Bits(c.Elem(1, 2)), Bits(5e-324));
  EXPECT_TRUE(std::signbit(c.Elem(1, 1)));
}

TEST(DataTableCSV, ReadsAHandWrittenFile) {
  // BOM, CR LF, a quoted line break, blanks around numbers, a text column, an empty field.
  const std::string p = WriteFile("hand.csv",
                                  "\xEF\xBB\xBF" "id;length;species\r\n"
                                  "r1; 1.5 ;setosa\r\n"
                                  "\"r\n2\";+2e3;versicolor\r\n"
                                  "r3;;setosa\r\n");
  TDataTable t;
  ASSERT_EQ(t.ImportFromCSV(p, csvUnknown, true, true), 0);
  ASSERT_EQ(t.NrOfColumns(), 2);
  ASSERT_EQ(t.NrOfRows(), 3);
  EXPECT_EQ(t.Comment(), "id");
  EXPECT_EQ(t.ColName(1), "length");
  EXPECT_EQ(t.RowName(2), "r\n2");
  EXPECT_EQ(t.Elem(1, 1), 1.5);
  EXPECT_EQ(t.Elem(1, 2), 2000.0);
  EXPECT_TRUE(t.IsEmpty(1, 3));
  EXPECT_EQ(t.MScaleType(1), stInterval);
  EXPECT_EQ(t.MScaleType(2), stNominal);
  EXPECT_EQ(t.ElemNominal(2, 1), "setosa");
  EXPECT_EQ(t.ElemNominal(2, 2), "versicolor");
  EXPECT_EQ(t.Elem(2, 3), 1.0);
  double mn, mx;
  EXPECT_EQ(t.MinMaxOfNumCells(0, 0, 0, 0, mn, mx), 2);

  // The last record may end without a line end, in a bare or a quoted field.
  TDataTable e;
  ASSERT_EQ(e.ImportFromCSVText("1;2\n;2", csvSemicolon, false, false), 0);
  EXPECT_EQ(e.NrOfRows(), 2);
  EXPECT_EQ(e.Elem(2, 2), 2.0);
  EXPECT_TRUE(e.IsEmpty(1, 2));
  ASSERT_EQ(e.ImportFromCSV(WriteFile("noend.csv", "1;\"x\"\"y\""), csvSemicolon, false, false), 0);
  EXPECT_EQ(e.NrOfRows(), 1);
  EXPECT_EQ(e.ElemNominal(2, 1), "x\"y");

  // A column of numbers and one text is nominal: the numbers become identifiers too.
  TDataTable u;
  ASSERT_EQ(u.ImportFromCSVText("1\n2\nx\n1\n", csvComma, false, false), 0);
  EXPECT_EQ(u.MScaleType(1), stNominal);
  EXPECT_EQ(u.Elem(1, 4), 1.0);
  EXPECT_EQ(u.ElemNominal(1, 3), "x");
}

TEST(DataTableCSV, BadInputGivesItsCodeAndChangesNothing) {
  TDataTable t;
  MakeAwkward(t);
  const std::string before = Fingerprint(t);
  std::string many;
  for (int i = 0; i < 151; ++i) {
    many += 't';
    many += std::to_string(i);
    many += '\n';
  }
  struct Case {
    std::string text;
    int32_t code;
  } cases[] = {
      {"", csvErrEmpty},
      {"a,b\n", csvErrEmpty},  // a header and no record
      {"1,\"2\n", csvErrQuoting},
      {"1,2\"x\n", csvErrQuoting},
      {"1,\"2\"x\n", csvErrQuoting},
      {"1,2\n3\n", csvErrRagged},
      {"1,2\n3,4,5\n", csvErrRagged},
      {many, csvErrTooManyIDs},
      {"abcdefghijX\nabcdefghijY\n", csvErrIDClash},
      {"Setosa\nsetosa\n", csvErrIDClash},
  };
  for (const auto& c : cases) {
    const bool header = c.code == csvErrEmpty && !c.text.empty();
    EXPECT_EQ(t.ImportFromCSVText(c.text, csvComma, header, false), c.code) << c.text.substr(0, 20);
    EXPECT_EQ(t.ImportFromCSV(WriteFile("bad.csv", c.text), csvComma, header, false), c.code);
    EXPECT_EQ(Fingerprint(t), before);
  }
  EXPECT_EQ(t.ImportFromCSV(TempPath("missing.csv"), csvComma, true, true), csvErrOpen);
  EXPECT_EQ(t.ImportFromCSVText("1\n", static_cast<TCSVDelimiters>(9), false, false), csvErrDelimiter);
  EXPECT_EQ(t.ImportFromCSVText(",(row attribute),x\nr,1.5,2\n", csvComma, true, true), csvErrAttrib);
  EXPECT_EQ(Fingerprint(t), before);
}

TEST(DataTableCSV, ExportReportsAFileItCannotCreate) {
  TDataTable t;
  EXPECT_NE(t.ExportAsCSV(TempPath("no/such/dir/x.csv"), -1, csvComma, true, true), "");
  // Fixed decimals when asked for.
  t.NumericData->SetVal(1, 1, 2.0 / 3.0);
  EXPECT_EQ(t.CSVText(3, csvComma, false, false, false, false), "0.667\n");
}

TEST(DataTableASC, RoundTripAndSharedHeader) {
  TDataTable a;
  MakeAwkward(a);
  a.SetColAttrib(2, -5);
  a.SetMScaleType(1, stRatio);
  a.SetCellState(1, 4, 0xA5);
  const std::string p = TempPath("rt.asc");
  ASSERT_EQ(a.ExportAsASC(p, -1), "");
  TDataTable b;
  ASSERT_EQ(b.ImportASC(p), 0);
  EXPECT_EQ(Fingerprint(b), Fingerprint(a));
  EXPECT_EQ(b.ColName(2), " say \"hi\" ");
  EXPECT_EQ(b.ColName(3), "back\\slash");

  // The shared header reader sees the table's two extra flags.
  TASCHeader h;
  ASSERT_EQ(ReadHeaderOfASC(p, h), 0);
  EXPECT_EQ(h.NrOfColumns, 3);
  EXPECT_TRUE(h.ScaleTypes);
  EXPECT_TRUE(h.CellStates);

  // Stream and clipboard forms; a stream stands after the block.
  TMemoryStream ms;
  ASSERT_EQ(a.ExportAsASC(&ms, -1), "");
  ms.Write("tail", 4);
  ms.SetPosition(0);
  TDataTable c;
  ASSERT_EQ(c.ImportASC(&ms), 0);
  EXPECT_EQ(Fingerprint(c), Fingerprint(a));
  EXPECT_EQ(ms.Position(), ms.Size() - 4);
  Clipboard().SetAsText(a.ASCText(-1));
  TDataTable d;
  ASSERT_EQ(d.ImportASC(&Clipboard()), 0);
  EXPECT_EQ(Fingerprint(d), Fingerprint(a));
}

TEST(DataTableASC, ReadsAPairFileAndPlacesBlocks) {
  // The pair file of the curve fit: unquoted names "x   y", no states.
  const std::string p = WriteFile("pairs.asc",
                                  "Exported pairs\n2\t;nr. of columns\n3\t;nr. of rows\n"
                                  "FALSE TRUE FALSE\t;row attributes, column names, row names\n"
                                  "x   y\n1.0\t2.5\n2.0\t-3\n3\t1e-3\n");
  TDataTable t;
  ASSERT_EQ(t.ImportASC(p), 0);
  EXPECT_EQ(t.Comment(), "Exported pairs");
  EXPECT_EQ(t.ColName(1), "x");
  EXPECT_EQ(t.ColName(2), "y");
  EXPECT_EQ(t.RowName(3), "R-3");
  EXPECT_EQ(t.Elem(2, 3), 1e-3);

  // Placing a nominal block: without ReplaceIDs its identifiers are mapped onto the table's own.
  TDataTable src;
  src.Resize(1, 2);
  src.SetElemNominal(1, 1, "b");
  src.SetElemNominal(1, 2, "a");
  src.SetMScaleType(1, stNominal);
  Clipboard().SetAsText(src.ASCText(-1));
  TDataTable dst;
  dst.Resize(2, 1);
  dst.SetElemNominal(2, 1, "a");
  dst.SetMScaleType(2, stNominal);
  ASSERT_EQ(dst.ReadFromASC(&Clipboard(), 2, 2, false), 0);
  ASSERT_EQ(dst.NrOfRows(), 3);
  EXPECT_EQ(dst.ElemNominal(2, 2), "b");
  EXPECT_EQ(dst.ElemNominal(2, 3), "a");
  EXPECT_EQ(dst.Elem(2, 3), 1.0);  // the table's ordinal of "a"
  EXPECT_EQ(dst.Elem(2, 1), 1.0);
  TDataTable rep;
  rep.Resize(2, 1);
  rep.SetElemNominal(2, 1, "a");
  rep.SetMScaleType(2, stNominal);
  ASSERT_EQ(rep.ReadFromASC(&Clipboard(), 2, 1, true), 0);
  EXPECT_EQ(rep.NominalID(2, 1), "b");
  EXPECT_EQ(rep.ElemNominal(2, 2), "a");
  EXPECT_EQ(rep.ReadFromASC(&Clipboard(), 0, 1, true), ascErrPosition);
}

TEST(DataTableASC, BadInputGivesItsCodeAndChangesNothing) {
  TDataTable t;
  MakeAwkward(t);
  const std::string before = Fingerprint(t);
  const std::string head = "c\n2\n2\nTRUE TRUE TRUE TRUE TRUE TRUE\n";
  struct Case {
    std::string text;
    int32_t code;
  } cases[] = {
      {"c\n2\n", ascErrTruncated},
      {"c\n2\n2\nFALSE FALSE FALSE\n1 2\n3\n", ascErrNumber},
      {"c\n2\n1\nFALSE FALSE FALSE\n1 x\n", ascErrNumber},
      {"c\n1\n1\nTRUE FALSE FALSE\nq 1\n", ascErrRowAttrib},
      {head + "\"a\" \"b\n", ascErrName},
      {head + "\"a\" \"b\" 1 x\n", ascErrColAttrib},
      {head + "\"a\" \"b\" 1 2 Interval Wrong\n", ascErrScale},
      {head + "\"a\" \"b\" 1 2 Interval Nominal 1 3 1 \"z\"\n", ascErrScale},
      {head + "\"a\" \"b\" 1 2 Interval Interval 0 0 \"r\" 1 2 0 256\n", ascErrState},
      {"c\n2\n1\nFALSE FALSE FALSE\n1 2\n3\n", ascErrTrailing},
      {"c\n2000000000\n2000000000\nFALSE FALSE FALSE\n1 2\n", ascErrTooLarge},
      {"c\n2000000000\n0\nFALSE FALSE FALSE\n", ascErrTooLarge},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(t.ImportASC(WriteFile("bad.asc", c.text)), c.code) << c.text;
    EXPECT_EQ(Fingerprint(t), before);
  }
  EXPECT_EQ(t.ImportASC(TempPath("missing.asc")), ascErrOpen);
  TMemoryStream ms;
  ms.Write("c\n2\n", 4);
  ms.SetPosition(0);
  EXPECT_EQ(t.ImportASC(&ms), ascErrTruncated);
  EXPECT_EQ(ms.Position(), 0);
  EXPECT_EQ(Fingerprint(t), before);
}

TEST(DataTableXML, RoundTripAndSeveralTablesPerDocument) {
  TDataTable a;
  MakeAwkward(a);
  a.SetCellState(1, 1, 0xFF);
  const std::string p = TempPath("rt.xml");
  a.SaveAsXMLFile(p, -1, "first");
  TDataTable b;
  ASSERT_TRUE(b.LoadFromXMLFile(p, "first")) << b.LastXMLError();
  EXPECT_EQ(Fingerprint(b), Fingerprint(a));
  EXPECT_EQ(b.NominalID(3, 2), "vir \"gin\"");

  TDataTable other;
  other.Resize(1, 2);
  other.SetElem(1, 2, 42);
  std::ostringstream doc;
  doc << "<?xml version=\"1.0\"?>\n<project>\n";
  a.WriteToOpenXMLFile(doc, false, -1, "one");
  other.WriteToOpenXMLFile(doc, false, -1, "two");
  doc << "</project>\n";
  const std::string text = doc.str();
  TDataTable c;
  int32_t at = 1;
  ASSERT_TRUE(c.ReadFromXMLString(text, at, "two"));
  EXPECT_EQ(c.Elem(1, 2), 42.0);
  EXPECT_GT(at, 1);
  EXPECT_FALSE(c.ReadFromXMLString(text, at, "one"));  // a search never looks backwards
  at = 1;
  ASSERT_TRUE(c.ReadFromXMLString(text, at, ""));
  EXPECT_EQ(Fingerprint(c), Fingerprint(a));
  ASSERT_TRUE(c.ReadFromXMLString(text, at, ""));  // the next one after it
  EXPECT_EQ(c.Elem(1, 2), 42.0);

  TMemoryStream ms;
  other.WriteToXMLStream(&ms, true, -1, "s");
  ms.SetPosition(0);
  TDataTable d;
  ASSERT_TRUE(d.ReadFromXMLStream(&ms, "s"));
  EXPECT_EQ(Fingerprint(d), Fingerprint(other));

  // The hand-written form: cells listed in any order, states optional.
  const std::string hand =
      "<datatable dataid=\"h\"><comment>hi</comment><size cols=\"1\" rows=\"2\"/>"
      "<colnames><col i=\"1\" attrib=\"7\">len</col></colnames>"
      "<vartype col=\"1\" scale=\"Ratio\"/>"
      "<datacells><cell c=\"1\" r=\"2\" st=\"2\">-0</cell><cell c=\"1\" r=\"1\">1e308</cell></datacells>"
      "</datatable>";
  TDataTable h;
  at = 1;
  ASSERT_TRUE(h.ReadFromXMLString(hand, at, "h")) << h.LastXMLError();
  EXPECT_EQ(h.Comment(), "hi");
  EXPECT_EQ(h.ColAttrib(1), 7);
  EXPECT_EQ(h.MScaleType(1), stRatio);
  EXPECT_TRUE(h.IsEmpty(1, 2));
  EXPECT_TRUE(std::signbit(h.Elem(1, 2)));
  EXPECT_EQ(h.Elem(1, 1), 1e308);
  EXPECT_EQ(h.RowName(2), "R-2");
}

TEST(DataTableXML, BadDocumentsChangeNothing) {
  TDataTable t;
  MakeAwkward(t);
  const std::string before = Fingerprint(t);
  const std::string cell = "<datacells><cell c=\"1\" r=\"1\">1</cell></datacells>";
  const std::string bad[] = {
      "",
      "<datatable dataid=\"x\"><size cols=\"1\" rows=\"1\"/>" + cell,  // truncated
      "<datatable><size cols=\"1\" rows=\"2\"/>" + cell + "</datatable>",
      "<datatable><size cols=\"2000000000\" rows=\"2000000000\"/></datatable>",
      "<datatable><size cols=\"2000000000\" rows=\"0\"/></datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/><datacells><cell c=\"1\" r=\"1\">x</cell></datacells></datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/><datacells><cell c=\"2\" r=\"1\">1</cell></datacells></datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/><vartype col=\"1\" scale=\"Huge\"/>" + cell + "</datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/><datacells><cell c=\"1\" r=\"1\" st=\"300\">1</cell></datacells>"
      "</datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/><colnames><col i=\"2\">n</col></colnames>" + cell + "</datatable>",
      "<datatable><size cols=\"1\" rows=\"1\"/>" + cell + "<oops></datatable>",
  };
  for (const auto& b : bad) {
    int32_t at = 1;
    EXPECT_FALSE(t.ReadFromXMLString(b, at, "")) << b;
    EXPECT_EQ(at, 1);
    EXPECT_EQ(Fingerprint(t), before);
  }
  EXPECT_FALSE(t.LoadFromXMLFile(TempPath("missing.xml"), ""));
}

TEST(DataTableFormats, RandomBytesNeverCrash) {
  std::mt19937 g(7);
  TDataTable t;
  MakeAwkward(t);
  const std::string before = Fingerprint(t);
  const std::string seeds[] = {t.CSVText(-1, csvComma, true, true, true, true), t.ASCText(-1),
                               t.XMLText(true, -1, "")};
  for (int k = 0; k < 300; ++k) {
    std::string s = seeds[k % 3];
    // Damage a few bytes, or cut the text short.
    for (int j = 0; j < 3; ++j) s[g() % s.size()] = static_cast<char>(g());
    if (k % 5 == 0) s.resize(g() % s.size());
    TDataTable u;
    u.ImportFromCSVText(s, csvUnknown, true, true);
    Clipboard().SetAsText(s);
    u.ImportASC(&Clipboard());
    int32_t at = 1;
    u.ReadFromXMLString(s, at, "");
    // A failed read of the marked table leaves it alone.
    TDataTable v;
    v.CopyContentsFrom(&t);
    if (v.ImportFromCSVText(s, csvUnknown, true, true) != 0) {
      EXPECT_EQ(Fingerprint(v), before);
    }
  }
}

}  // namespace
