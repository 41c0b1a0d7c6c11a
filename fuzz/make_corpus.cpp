// Writes the seed corpora of the fuzz harnesses with the library's own writers:
//   qmx_fuzz_corpus <dir>   (creates <dir>/<harness>/seed_*)
// Small and varied: empty, one element, NaN and infinities, long names, sparse and dense,
// several objects in one document.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <string>

#include "matrix/matio.h"
#include "qmx/basepack.h"
#include "qmx/kohonen.h"
#include "qmx/datatable.h"
#include "qmx/math2.h"
#include "qmx/matrix.h"
#include "qmx/vector.h"

using namespace qmx;
namespace fs = std::filesystem;

namespace {

fs::path gRoot;
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Next file name of a harness's corpus.
std::string Seed(std::string Harness) {
  static std::map<std::string, int> count;
  if (Harness.starts_with("fuzz_")) Harness.erase(0, 5);  // corpus directories drop the prefix
  fs::create_directories(gRoot / Harness);
  char name[32];
  std::snprintf(name, sizeof name, "seed_%02d", ++count[Harness]);
  return (gRoot / Harness / name).string();
}

void Put(const std::string& Harness, const std::string& Text) {
  std::ofstream(Seed(Harness), std::ios::binary) << Text;
}

void PutStream(const std::string& Harness, const TMemoryStream& S, const std::string& Prefix = "") {
  Put(Harness, Prefix + std::string(S.Data().begin(), S.Data().end()));
}

void SetVec(TVector& v, std::initializer_list<double> xs) {
  v.Resize(static_cast<int32_t>(xs.size()));
  int32_t i = 1;
  for (double x : xs) v.SetVal(i++, x);
}

void SetMat(TMatrix& m, int32_t nc, int32_t nr, std::initializer_list<double> xs) {
  m.Resize(nc, nr);
  auto it = xs.begin();
  for (int32_t c = 1; c <= nc; ++c)
    for (int32_t r = 1; r <= nr; ++r) m.SetVal(c, r, it != xs.end() ? *it++ : c - r * 0.5);
}

void Vectors() {
  TVector empty, one, special, many;
  SetVec(one, {42});
  SetVec(special, {kNaN, -kNaN, kInf, -kInf, -0.0, 5e-324, 1.7976931348623157e308});
  many.Resize(40);
  for (int32_t i = 1; i <= 40; ++i) many.SetVal(i, std::sin(i) * 1000);
  TIntVector ints;
  ints.Resize(4);
  ints.SetVal(1, -2147483647 - 1);
  ints.SetVal(2, 2147483647);
  ints.SetVal(4, 7);
  for (const TVector* v : {&empty, &one, &special, &many}) v->StoreOnFile(0, 0, -2, Seed("fuzz_vector_file"));
  special.StoreOnFile(2, 5, 3, Seed("fuzz_vector_file"));
  many.StoreOnFile(0, 0, -1, Seed("fuzz_vector_file"));
  ints.StoreOnFile(0, 0, Seed("fuzz_vector_file"));
  Put("fuzz_vector_file", "values\n1.5\n\n-2e3 x\nnan\n");  // the auto-detecting form's input

  for (const TVector* v : {&one, &special, &many}) {
    TMemoryStream* s = nullptr;
    v->SaveToStream(s, 0, 0);
    PutStream("fuzz_vector_stream", *s);
    delete s;
  }
  TMemoryStream* two = nullptr;
  one.SaveToStream(two, 0, 0);
  special.SaveToStream(two, 3, 6);
  PutStream("fuzz_vector_stream", *two);
  delete two;
  TMemoryStream* is = nullptr;
  ints.SaveToStream(is, 0, 0);
  ints.SaveToStream(is, 2, 2);
  PutStream("fuzz_vector_stream", *is);
  delete is;
}

void Matrices() {
  TMatrix one, special, wide;
  SetMat(one, 1, 1, {3.25});
  SetMat(special, 3, 2, {kNaN, kInf, -kInf, -0.0, 5e-324, 1e300});
  special.SetDataID("special & <quoted> \"id\"");
  SetMat(wide, 7, 5, {});
  wide.SetDataID(std::string(300, 'n'));
  TIntMatrix dense, sparse(nullptr, 4), huge(nullptr, 4);
  dense.Resize(3, 2);
  dense.SetVal(1, 1, -2147483647 - 1);
  dense.SetVal(3, 2, 2147483647);
  dense.SetDataID("dense");
  sparse.Resize(9, 6);
  sparse.SetVal(2, 3, 17);
  sparse.SetVal(9, 6, -5);
  sparse.SetVal(4, 1, 0);
  sparse.SetDataID("sparse");
  huge.Resize(2147483647, 2147483647);
  huge.SetVal(2147483647, 1, 9);
  huge.SetVal(1, 2147483647, -9);

  // Text files.
  for (const TMatrix* m : {&one, &special, &wide}) m->StoreOnFile(0, 0, 0, 0, Seed("fuzz_matrix_text"));
  wide.StoreOnFile(2, 3, 4, 5, Seed("fuzz_matrix_text"));
  dense.StoreOnFile(0, 0, 0, 0, Seed("fuzz_matrix_text"));
  sparse.StoreOnFile(0, 0, 0, 0, Seed("fuzz_matrix_text"));
  Put("fuzz_matrix_text", "1, 2.5, -3\n4;5;6\n\n7 8 9e-3\n");  // the auto-detecting form's input

  // Streams, also two blocks in a row.
  auto stream = [](auto& m, int32_t lc, int32_t lr, int32_t hc, int32_t hr, TMemoryStream*& s) {
    m.SaveToStream(s, lc, lr, hc, hr);
  };
  for (const TMatrix* m : {&one, &special, &wide}) {
    TMemoryStream* s = nullptr;
    stream(*m, 0, 0, 0, 0, s);
    PutStream("fuzz_matrix_stream", *s);
    delete s;
  }
  {
    TMemoryStream* s = nullptr;
    stream(one, 0, 0, 0, 0, s);
    stream(wide, 3, 2, 5, 4, s);
    PutStream("fuzz_matrix_stream", *s);
    delete s;
  }
  for (const TIntMatrix* m : {&dense, &sparse}) {
    TMemoryStream* s = nullptr;
    stream(*m, 0, 0, 0, 0, s);
    PutStream("fuzz_matrix_stream", *s);
    delete s;
  }

  // Binary files.
  TMatrix none;
  none.Resize(0, 0);
  for (const TMatrix* m : {&one, &special, &wide, &none}) m->SaveBinary(Seed("fuzz_matrix_binary"));
  for (const TIntMatrix* m : {&dense, &sparse, &huge}) m->SaveBinary(Seed("fuzz_matrix_binary"));

  // XML: one object, several in one document (ids a, b), nested in another element.
  for (const TMatrix* m : {&one, &special}) {
    TMemoryStream s;
    m->WriteToXMLStream(&s, true, "");
    PutStream("fuzz_matrix_xml", s);
  }
  for (const TIntMatrix* m : {&dense, &sparse, &huge}) {
    TMemoryStream s;
    m->WriteToXMLStream(&s, true, "");
    PutStream("fuzz_matrix_xml", s);
  }
  {
    TMemoryStream s;
    const std::string open = "<?xml version=\"1.0\"?>\n<!-- two matrices -->\n<doc>\n";
    s.Write(open.data(), open.size());
    one.WriteToXMLStream(&s, false, "a");
    sparse.WriteToXMLStream(&s, false, "b");
    wide.WriteToXMLStream(&s, false, "c");
    s.Write("</doc>\n", 7);
    PutStream("fuzz_matrix_xml", s);
  }

  // Sparse files.
  for (const TIntMatrix* m : {&dense, &sparse, &huge}) m->StoreSparseMat(Seed("fuzz_sparse_file"));
  TIntMatrix empty(nullptr, 4);
  empty.StoreSparseMat(Seed("fuzz_sparse_file"));
}

// The arrays: XML documents into the matrix XML corpus, block files in the compact form of
// fuzz_mat4d_block (byte 0 the layout, 272 header bytes, the values).
void Arrays() {
  TMat3D cube;
  cube.Resize(2, 2, 3);
  for (int32_t l = 1; l <= 3; ++l) cube.SetVal(1, 2, l, l * 0.5);
  cube.SetVal(2, 1, 1, kNaN);
  cube.SetVal(2, 2, 3, -kInf);
  TMat4D series, one, special;
  series.Resize(3, 3, 3, 1);
  for (int32_t l = 1; l <= 3; ++l)
    for (int32_t r = 1; r <= 3; ++r)
      for (int32_t c = 1; c <= 3; ++c) series.SetVal(c, r, l, 1, 100 * l + 10 * r + c);
  series.SetDataID("series");
  one.SetVal(1, 1, 1, 1, 2.5);
  special.Resize(2, 1, 1, 3);
  special.SetVal(1, 1, 1, 1, kInf);
  special.SetVal(2, 1, 1, 2, -0.0);
  special.SetVal(1, 1, 1, 3, 5e-324);
  special.SetDataID(std::string(300, 'd'));
  {
    TMemoryStream s;
    cube.WriteToXMLStream(&s, true, "a");
    series.WriteToXMLStream(&s, false, "b");
    PutStream("fuzz_matrix_xml", s);
  }
  {
    TMemoryStream s;
    special.WriteToXMLStream(&s, true, "");
    PutStream("fuzz_matrix_xml", s);
  }
  const std::string tmp = (gRoot / "blk.tmp").string();
  auto compact = [&](const TMat4D& m, bool append, char mode) {
    m.SaveBinary(tmp, 0, 0);
    if (append) m.AppendToBinaryFile(tmp, 0, 0);
    std::ifstream in(tmp, std::ios::binary);
    std::string f((std::istreambuf_iterator<char>(in)), {});
    const std::size_t values = std::size_t(m.NrOfColumns()) * m.NrOfRows() * m.NrOfLayers() * m.NrOfTimeSlots() * (append ? 2 : 1);
    Put("fuzz_mat4d_block", std::string(1, mode) + f.substr(0, 272) + f.substr(4096, values * 8));
  };
  compact(one, false, '\x03');
  compact(series, true, '\x03');
  compact(special, false, '\x01');
  one.SaveBinary(tmp, 0, 0);
  std::ifstream in(tmp, std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), {});
  Put("fuzz_mat4d_block", std::string(1, '\x00') + raw.substr(0, 600));  // a file cut short
  fs::remove(tmp);
}

void Asc() {
  TCurveFit fit;
  for (int i = 0; i < 6; ++i) fit.EnterStatValue(i * 0.5, std::exp(0.3 * i));
  for (const char* h : {"fuzz_asc_header", "fuzz_curvefit_asc"}) {
    fit.ExportAsASC(Seed(h), "", 4);
    fit.ExportAsASC(Seed(h), std::string(200, 'c'), -1);
  }
  TCurveFit none;
  none.ExportAsASC(Seed("fuzz_curvefit_asc"), "no data", 2);
  const std::string named =
      "row names and attributes\r\n2 ; columns\r\n3\r\nTRUE TRUE TRUE FALSE\r\n\"x value\" y\r\n"
      "1 \"first row\" 0.5 2\r\n2 second 1.5 -3e2\r\n3 'third' 2.5 +4\r\n";
  Put("fuzz_asc_header", named);
  Put("fuzz_curvefit_asc", named);
}

void Numbers() {
  TMemoryStream s;
  WriteLongintToStream(&s, -1);
  WriteExtendedToStream(&s, 1.5L);
  WriteLongintToStream(&s, 2147483647);
  WriteExtendedToStream(&s, -std::numeric_limits<long double>::infinity());
  WriteExtendedToStream(&s, std::numeric_limits<long double>::quiet_NaN());
  PutStream("fuzz_stream_numbers", s, std::string(1, '\x1a'));  // plan: int, ext, int, ext, ext
  PutStream("fuzz_stream_numbers", s, std::string(1, '\xff'));
}

void Tables() {
  std::string csv = "x,y,label\n";
  for (int i = 0; i < 6; ++i) {
    matio::AppendDouble(csv, i * 0.25);
    csv += ',';
    matio::AppendDouble(csv, std::cos(i) * 1e3);
    csv += ",\"item\"\n";
  }
  Put("fuzz_tool_table", csv);
  Put("fuzz_tool_table", "a;b\n1,5;2\n3;4\n");
  Put("fuzz_tool_table", "\"first col\"\tsecond\n1\t2\n\n3\t4\r\n");
  Put("fuzz_tool_table", "  1.5   2e-3   +7\n -0 inf 3\n");
}

// The data table harness: the first byte picks the reader (0 CSV with comma and both headers,
// 1 ASC, 2 XML; see fuzz_datatable.cpp).
void DataTables() {
  TDataTable t;
  t.Resize(3, 3);
  t.SetComment("seed; \"quoted\"");
  t.SetColName(1, "a,b");
  t.SetRowName(2, "line\nbreak");
  t.SetElem(1, 1, -0.0);
  t.SetElem(2, 2, kInf);
  t.SetElem(1, 3, 5e-324);
  t.SetCellState(3, 3, 0x02);
  t.SetElemNominal(3, 1, "setosa");
  t.SetElemNominal(3, 2, "virginica");
  t.SetMScaleType(3, stNominal);
  t.SetRowAttrib(1, -7);
  const char csvMode = static_cast<char>(0 + 3 * 0 + 15 + 30);  // CSV, comma, both headers
  Put("fuzz_datatable", std::string(1, csvMode) + t.CSVText(-1, csvComma, true, true, true, true));
  Put("fuzz_datatable", std::string(1, static_cast<char>(3 * 4)) + "a;b\n1;\"x\"\"y\"\r\n;2\n");
  Put("fuzz_datatable", std::string(1, '\x01') + t.ASCText(-1));
  Put("fuzz_datatable", std::string(1, '\x02') + t.XMLText(true, -1, "seed"));
}

}  // namespace

// Self-organising maps: a fresh one, a trained standardised one with a comment, a cyclic one
// with special weights' statistics, and two maps in one document.
void Maps() {
  TKohonen fresh;
  TKohonen trained;
  {
    TMatrix d;
    SetMat(d, 3, 12, {});
    trained.SetTrainData(&d);
    trained.SetSizeX(3);
    trained.SetSizeY(2);
    trained.SetNrOfTrnSteps(5);
    trained.SetComment("trained <on> \"twelve\" & rows\n");
    trained.StandardizeData();
    RandSeed(1);
    trained.Trainit();
  }
  TKohonen cyclic;
  cyclic.SetNumInsens(2);
  cyclic.SetSizeX(2);
  cyclic.SetCyclic(true);
  cyclic.MeanVec.SetVal(1, kInf);
  cyclic.StdDevVec.SetVal(2, kNaN);
  for (const TKohonen* k : {&fresh, &trained, &cyclic}) {
    TMemoryStream s;
    k->WriteToXMLStream(&s, true, "");
    PutStream("fuzz_kohonen_xml", s);
  }
  TMemoryStream s;
  const std::string open = "<?xml version=\"1.0\"?>\n<maps>\n";
  s.Write(open.data(), open.size());
  trained.WriteToXMLStream(&s, false, "a");
  cyclic.WriteToXMLStream(&s, false, "b");
  s.Write("</maps>\n", 8);
  PutStream("fuzz_kohonen_xml", s);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];
  Vectors();
  DataTables();
  Matrices();
  Arrays();
  Asc();
  Numbers();
  Tables();
  Maps();
  return 0;
}
