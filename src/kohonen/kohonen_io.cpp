// Storage of a TKohonen map as XML (layout in docs/FORMATS.md). The loaders parse into a
// temporary and change the map only when the whole element was valid.
#include <algorithm>

#include "matrix/matio.h"
#include "qmx/kohonen.h"

namespace qmx {

using namespace matio;

namespace {

const char* TagText(TKohonenXMLTag Tag) noexcept {
  switch (Tag) {
    case TKohonenXMLTag::xmlSizeX: return "sizex";
    case TKohonenXMLTag::xmlSizeY: return "sizey";
    case TKohonenXMLTag::xmlComment: return "comment";
    case TKohonenXMLTag::xmlNrInsens: return "nrinsens";
    case TKohonenXMLTag::xmlMaxNeighb: return "maxneighb";
    case TKohonenXMLTag::xmlMaxSteps: return "maxsteps";
    case TKohonenXMLTag::xmlMaxAlpha: return "maxalpha";
    case TKohonenXMLTag::xmlCurStep: return "curstep";
    case TKohonenXMLTag::xmlCyclic: return "cyclic";
    case TKohonenXMLTag::xmlCell: return "cell";
    case TKohonenXMLTag::xmlMeanStdDev: return "meanstddev";
    case TKohonenXMLTag::xmlEndKohonen: return "kohonen";
    case TKohonenXMLTag::xmlInvalid: break;
  }
  return "";
}

void Item(std::string& Out, TKohonenXMLTag Tag, std::string_view Text) {
  Out += "  <";
  Out += TagText(Tag);
  Out += '>';
  Out += Text;
  Out += "</";
  Out += TagText(Tag);
  Out += ">\n";
}

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' || t.front() == '\r')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
  return t;
}

// Whitespace-separated numbers of a cell; false on anything else.
bool ParseNumbers(std::string_view Text, std::vector<double>& V) {
  V.clear();
  TextScanner s{std::string(Text)};
  std::string_view tok;
  while (s.NextToken(tok)) {
    double d;
    if (!ParseDouble(tok, d)) return false;
    V.push_back(d);
  }
  return true;
}

// An optional integer item: absent keeps Value; present must be a whole number >= Min.
bool OptInt(const pugi::xml_node& Root, TKohonenXMLTag Tag, int32_t Min, int32_t& Value) {
  auto n = Root.child(TagText(Tag));
  if (!n) return true;
  int32_t v;
  if (!ParseInt32(Trimmed(n.child_value()), v) || v < Min) return false;
  Value = v;
  return true;
}

}  // namespace

// A map read from a document, not yet committed.
struct som::StoredMap {
  std::string DataID;
  int32_t NX = 0, NY = 0, NV = 0;
  std::string Comment;
  int32_t MaxNeighb = 2, MaxSteps = 200, CurStep = 1;
  double MaxAlpha = 1.0;
  bool Cyclic = false;
  std::vector<double> W;               // cell-major: ((x-1)*NY + (y-1))*NV + (i-1)
  std::vector<double> Mean, StdDev;    // NV each
};

std::string TKohonen::XmlText(bool CreateHeader, const std::string& DataID) const {
  std::string out, num;
  out.reserve(static_cast<std::size_t>(FSizeX) * static_cast<std::size_t>(FSizeY) *
                  (static_cast<std::size_t>(FNrInSens) * 24 + 32) + 512);
  if (CreateHeader) XmlDeclaration(out);
  out += "<";
  out += TagText(TKohonenXMLTag::xmlEndKohonen);
  out += " dataid=\"";
  AppendXmlEscaped(out, DataID);
  out += "\">\n";
  auto intItem = [&](TKohonenXMLTag t, int64_t v) {
    num.clear();
    AppendInt(num, v);
    Item(out, t, num);
  };
  intItem(TKohonenXMLTag::xmlSizeX, FSizeX);
  intItem(TKohonenXMLTag::xmlSizeY, FSizeY);
  num.clear();
  AppendXmlEscaped(num, FComment);
  Item(out, TKohonenXMLTag::xmlComment, num);
  intItem(TKohonenXMLTag::xmlNrInsens, FNrInSens);
  intItem(TKohonenXMLTag::xmlMaxNeighb, FMaxNeighb);
  intItem(TKohonenXMLTag::xmlMaxSteps, FMaxSteps);
  num.clear();
  AppendDouble(num, FMaxAlpha);
  Item(out, TKohonenXMLTag::xmlMaxAlpha, num);
  intItem(TKohonenXMLTag::xmlCurStep, FCurStep);
  intItem(TKohonenXMLTag::xmlCyclic, FCyclic ? 1 : 0);
  for (int32_t x = 1; x <= FSizeX; ++x)
    for (int32_t y = 1; y <= FSizeY; ++y) {
      out += "  <cell x=\"";
      AppendInt(out, x);
      out += "\" y=\"";
      AppendInt(out, y);
      out += "\">";
      for (int32_t i = 1; i <= FNrInSens; ++i) {
        if (i > 1) out += ' ';
        AppendDouble(out, FKohMat->GetVal(x, y, i));
      }
      out += "</cell>\n";
    }
  for (int32_t i = 1; i <= FNrInSens; ++i) {
    out += "  <meanstddev i=\"";
    AppendInt(out, i);
    out += "\">";
    AppendDouble(out, MeanVec.GetVal(i));
    out += ' ';
    AppendDouble(out, StdDevVec.GetVal(i));
    out += "</meanstddev>\n";
  }
  out += "</";
  out += TagText(TKohonenXMLTag::xmlEndKohonen);
  out += ">\n";
  return out;
}

namespace {

bool IndexAttr(const pugi::xml_node& N, const char* Name, int32_t Max, int32_t& V) {
  auto a = N.attribute(Name);
  return a && ParseInt32(Trimmed(a.value()), V) && V >= 1 && V <= Max;
}

bool Parse(const std::string& Chunk, som::StoredMap& S) {
  S = som::StoredMap{};
  pugi::xml_document doc;
  if (!doc.load_buffer(Chunk.data(), Chunk.size(), pugi::parse_default | pugi::parse_ws_pcdata,
                       pugi::encoding_utf8))
    return false;
  const pugi::xml_node root = doc.child(TagText(TKohonenXMLTag::xmlEndKohonen));
  if (!root) return false;
  S.DataID = root.attribute(kXmlAttrDataID).value();
  int32_t nx = 0, ny = 0, nv = 0;
  if (!OptInt(root, TKohonenXMLTag::xmlSizeX, 1, nx) || !OptInt(root, TKohonenXMLTag::xmlSizeY, 1, ny) ||
      !OptInt(root, TKohonenXMLTag::xmlNrInsens, 1, nv) || nx == 0 || ny == 0 || nv == 0)
    return false;
  if (!OptInt(root, TKohonenXMLTag::xmlMaxNeighb, INT32_MIN, S.MaxNeighb) ||
      !OptInt(root, TKohonenXMLTag::xmlMaxSteps, 1, S.MaxSteps) ||
      !OptInt(root, TKohonenXMLTag::xmlCurStep, 1, S.CurStep))
    return false;
  if (auto n = root.child(TagText(TKohonenXMLTag::xmlMaxAlpha)))
    if (!ParseDouble(Trimmed(n.child_value()), S.MaxAlpha)) return false;
  if (auto n = root.child(TagText(TKohonenXMLTag::xmlCyclic))) {
    const std::string_view t = Trimmed(n.child_value());
    if (t == "1" || t == "true") S.Cyclic = true;
    else if (t == "0" || t == "false") S.Cyclic = false;
    else return false;
  }
  if (auto n = root.child(TagText(TKohonenXMLTag::xmlComment))) S.Comment = n.child_value();

  // Every cell is listed, so the document itself bounds the storage: count before allocating.
  const char* cellTag = TagText(TKohonenXMLTag::xmlCell);
  int64_t listed = 0;
  for (auto c = root.child(cellTag); c; c = c.next_sibling(cellTag)) ++listed;
  if (int64_t(nx) * ny != listed) return false;
  const std::size_t cells = static_cast<std::size_t>(listed);
  std::vector<bool> seen(cells, false);
  // Values are collected as they are read (so only what the document holds is stored) and put
  // in cell order at the end.
  std::vector<double> v, all;
  std::vector<std::size_t> order;
  order.reserve(cells);
  for (auto c = root.child(cellTag); c; c = c.next_sibling(cellTag)) {
    int32_t x, y;
    if (!IndexAttr(c, "x", nx, x) || !IndexAttr(c, "y", ny, y)) return false;
    const std::size_t k = static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(ny) + static_cast<std::size_t>(y - 1);
    if (seen[k] || !ParseNumbers(c.child_value(), v) || v.size() != static_cast<std::size_t>(nv)) return false;
    seen[k] = true;
    order.push_back(k);
    all.insert(all.end(), v.begin(), v.end());
  }
  const std::size_t snv = static_cast<std::size_t>(nv);
  S.W.assign(all.size(), 0.0);
  for (std::size_t j = 0; j < order.size(); ++j)
    std::copy_n(all.begin() + static_cast<std::ptrdiff_t>(j * snv), snv,
                S.W.begin() + static_cast<std::ptrdiff_t>(order[j] * snv));
  // Means and standard deviations: all of them, or none (a map trained on raw data).
  const char* msTag = TagText(TKohonenXMLTag::xmlMeanStdDev);
  S.Mean.assign(static_cast<std::size_t>(nv), 0.0);
  S.StdDev.assign(static_cast<std::size_t>(nv), 0.0);
  int64_t nms = 0;
  std::vector<bool> seenMs(static_cast<std::size_t>(nv), false);
  for (auto m = root.child(msTag); m; m = m.next_sibling(msTag)) {
    int32_t i;
    if (!IndexAttr(m, "i", nv, i) || seenMs[static_cast<std::size_t>(i - 1)] || !ParseNumbers(m.child_value(), v) ||
        v.size() != 2)
      return false;
    seenMs[static_cast<std::size_t>(i - 1)] = true;
    S.Mean[static_cast<std::size_t>(i - 1)] = v[0];
    S.StdDev[static_cast<std::size_t>(i - 1)] = v[1];
    ++nms;
  }
  if (nms != 0 && nms != nv) return false;
  S.NX = nx;
  S.NY = ny;
  S.NV = nv;
  return true;
}

bool Find(CharSource& Src, const std::string& DataID, som::StoredMap& S) {
  std::string chunk, err;
  const char* name = TagText(TKohonenXMLTag::xmlEndKohonen);
  for (;;) {
    if (!CaptureXmlElement(Src, name, DataID, chunk, err)) return false;
    if (!Parse(chunk, S)) return false;
    // The start tag passed a quick id test; the parsed id decides.
    if (!DataID.empty() && S.DataID != DataID) continue;
    return true;
  }
}

}  // namespace

bool TKohonen::Commit(som::StoredMap& S) {
  auto w = NewWeights(S.NX, S.NY, S.NV);
  std::unique_ptr<TMatrix> d;
  try {
    if (S.NV != FNrInSens) {
      d = std::make_unique<TMatrix>();
      d->Resize(S.NV, FNrTrnObj);
    }
    MeanVec.SetVecSize(S.NV);
    StdDevVec.SetVecSize(S.NV);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  std::copy(S.W.begin(), S.W.end(), w->Data());  // both cell-major, variables contiguous
  for (int32_t i = 1; i <= S.NV; ++i) {
    MeanVec.SetVal(i, S.Mean[static_cast<std::size_t>(i - 1)]);
    StdDevVec.SetVal(i, S.StdDev[static_cast<std::size_t>(i - 1)]);
  }
  FKohMat = std::move(w);
  if (d) FDataMat = std::move(d);
  FSizeX = S.NX;
  FSizeY = S.NY;
  FNrInSens = S.NV;
  FComment = std::move(S.Comment);
  FMaxNeighb = S.MaxNeighb;
  FMaxSteps = S.MaxSteps;
  FMaxAlpha = S.MaxAlpha;
  FCurStep = S.CurStep;
  FCyclic = S.Cyclic;
  return true;
}

bool TKohonen::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  som::StoredMap s;
  return XmlReadFromStream(InStream, [&](CharSource& src) { return Find(src, DataID, s); }) && Commit(s);
}

bool TKohonen::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  som::StoredMap s;
  return XmlReadFromOpenFile(InFile, [&](CharSource& src) { return Find(src, DataID, s); }) && Commit(s);
}

bool TKohonen::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  som::StoredMap s;
  return XmlLoadFromFile(FName, [&](CharSource& src) { return Find(src, DataID, s); }) && Commit(s);
}

void TKohonen::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const {
  WriteText(OutFile, XmlText(CreateHeader, DataID));
}

void TKohonen::WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const {
  if (OutStream) WriteText(*OutStream, XmlText(CreateHeader, DataID));
}

bool TKohonen::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  return WriteWholeFile(FName, XmlText(true, DataID));
}

}  // namespace qmx
