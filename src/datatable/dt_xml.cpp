// TDataTable XML: one <datatable> element per table, found by its dataid with the shared element
// scanner and parsed with pugixml.
#include <algorithm>
#include <climits>
#include <fstream>
#include <memory>

#include "datatable/dt_internal.h"
#include "matrix/matio.h"

namespace qmx {

namespace {

const char* TagText(TDTxmlTags t) {
  switch (t) {
    case TDTxmlTags::xmlDataTableId:
    case TDTxmlTags::xmlDataTableEndId: return "datatable";
    case TDTxmlTags::xmlComment: return "comment";
    case TDTxmlTags::xmlSize: return "size";
    case TDTxmlTags::xmlColNames: return "colnames";
    case TDTxmlTags::xmlRowNames: return "rownames";
    case TDTxmlTags::xmlColAttrib:
    case TDTxmlTags::xmlRowAttrib: return "attrib";
    case TDTxmlTags::xmlColId: return "col";
    case TDTxmlTags::xmlRowId: return "row";
    case TDTxmlTags::xmlDataCells: return "datacells";
    case TDTxmlTags::xmlCellID: return "cell";
    case TDTxmlTags::xmlVarType: return "vartype";
    case TDTxmlTags::xmlVarIdentifier: return "id";
    case TDTxmlTags::xmlInvalid: break;
  }
  return "";
}

void XmlItem(std::string& Out, const char* Tag, std::string_view Attrs, std::string_view Text) {
  Out += '<';
  Out += Tag;
  Out += Attrs;
  Out += '>';
  matio::AppendXmlEscaped(Out, Text);
  Out += "</";
  Out += Tag;
  Out += ">\n";
}

std::string Attr(const char* Name, int64_t V) {
  std::string s = " ";
  s += Name;
  s += "=\"";
  matio::AppendInt(s, V);
  s += '"';
  return s;
}

bool ToInt(std::string_view t, int32_t& v) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\n' || t.front() == '\t' || t.front() == '\r')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\n' || t.back() == '\t' || t.back() == '\r')) t.remove_suffix(1);
  return matio::ParseInt32(t, v);
}

bool ScaleOf(std::string_view w, TMScaleType& t) {
  for (int k = 0; k <= stRatio; ++k)
    if (w == MScaleTypeNames[k]) {
      t = static_cast<TMScaleType>(k);
      return true;
    }
  return false;
}

}  // namespace

// Applies one item of a table's XML element: Text1 is the item's text, Text2 and Text3 its
// further fields and Index the column (or row) it belongs to. Items that do not parse are ignored.
void TDataTable::ProcessXmlTag(TDTxmlTags Tag, const std::string& Text1, const std::string& Text2,
                               const std::string& Text3, int32_t Index) {
  int32_t a = 0, b = 0;
  switch (Tag) {
    case TDTxmlTags::xmlComment: SetFComment(Text1); break;
    case TDTxmlTags::xmlSize:
      if (ToInt(Text1, a) && ToInt(Text2, b) && a >= 0 && b >= 0) Resize(a, b);
      break;
    case TDTxmlTags::xmlColNames:
    case TDTxmlTags::xmlColId:
      SetColName(Index, Text1);
      if (ToInt(Text2, a)) SetColAttrib(Index, a);
      break;
    case TDTxmlTags::xmlRowNames:
    case TDTxmlTags::xmlRowId:
      SetRowName(Index, Text1);
      if (ToInt(Text2, a)) SetRowAttrib(Index, a);
      break;
    case TDTxmlTags::xmlColAttrib:
      if (ToInt(Text1, a)) SetColAttrib(Index, a);
      break;
    case TDTxmlTags::xmlRowAttrib:
      if (ToInt(Text1, a)) SetRowAttrib(Index, a);
      break;
    case TDTxmlTags::xmlVarType: {
      TMScaleType t;
      if (ScaleOf(Text1, t)) SetMScaleType(Index, t);
      break;
    }
    case TDTxmlTags::xmlVarIdentifier:
      if (Index >= 1 && Index <= FNrOfCols && ToInt(Text2, a) && a >= 1 && a <= kMaxNominalIDs) {
        FVType[Index - 1].SetID(a, Text1);
        ChangedSetup();
      }
      break;
    case TDTxmlTags::xmlCellID: {
      double v = 0;
      int32_t st = 0;
      if (Index >= 1 && Index <= FNrOfCols && ToInt(Text2, a) && a >= 1 && a <= FNrOfRows &&
          matio::ParseDouble(Text1, v) && (Text3.empty() || (ToInt(Text3, st) && st >= 0 && st <= 255))) {
        NumericData->SetVal(Index, a, v);
        SetCellState(Index, a, static_cast<uint8_t>(st));
      }
      break;
    }
    default: break;
  }
}

std::string TDataTable::XMLText(bool CreateHeader, int32_t Precision, const std::string& DataID) const {
  std::string out;
  if (CreateHeader) matio::XmlDeclaration(out);
  out += "<datatable class=\"TDataTable\" dataid=\"";
  matio::AppendXmlEscaped(out, DataID);
  out += "\">\n";
  XmlItem(out, TagText(TDTxmlTags::xmlComment), "", FComment);
  out += "<size" + Attr("cols", FNrOfCols) + Attr("rows", FNrOfRows) + "/>\n";
  out += "<colnames>\n";
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    XmlItem(out, "col", Attr("i", c) + Attr("attrib", FColAtt[c - 1]), FColName[c - 1]);
  out += "</colnames>\n<rownames>\n";
  for (int32_t r = 1; r <= FNrOfRows; ++r)
    XmlItem(out, "row", Attr("i", r) + Attr("attrib", FRowAtt[r - 1]), FRowName[r - 1]);
  out += "</rownames>\n";
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    const TVTypeSpecs& v = FVType[c - 1];
    out += "<vartype" + Attr("col", c) + " scale=\"" + MScaleTypeNames[v.MScaleType] + "\">";
    for (int32_t k = 1; k <= kMaxNominalIDs && !v.IDs.empty(); ++k)
      if (!v.ID(k).empty()) XmlItem(out, "id", Attr("ord", k), v.ID(k));
    out += "</vartype>\n";
  }
  out += "<datacells>\n";
  std::string num;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      num.clear();
      const double x = NumericData->GetVal(c, r);
      if (Precision < 0) matio::AppendDouble(num, x);
      else matio::AppendFixed(num, x, Precision);
      const uint8_t st = FCState[c - 1][r - 1];
      out += "<cell" + Attr("c", c) + Attr("r", r);
      if (st != 0) out += Attr("st", st);
      out += '>';
      out += num;
      out += "</cell>\n";
    }
  out += "</datacells>\n</datatable>\n";
  return out;
}

void TDataTable::SaveAsXMLFile(const std::string& FName, int32_t Precision, const std::string& DataID) const {
  if (!matio::WriteWholeFile(FName, XMLText(true, Precision, DataID)))
    RaiseComponentError<EQMXDataTableError>(this, ": cannot write file " + FName);
}

void TDataTable::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, int32_t Precision,
                                    const std::string& DataID) const {
  if (!matio::WriteText(OutFile, XMLText(CreateHeader, Precision, DataID)))
    RaiseComponentError<EQMXDataTableError>(this, ": cannot write the XML element");
}

void TDataTable::WriteToXMLStream(TStream* OutStream, bool CreateHeader, int32_t Precision,
                                  const std::string& DataID) const {
  if (OutStream == nullptr) return;
  if (!matio::WriteText(*OutStream, XMLText(CreateHeader, Precision, DataID)))
    RaiseComponentError<EQMXDataTableError>(this, ": cannot write the XML element");
}

namespace {

// Checks the element and feeds it to a staging table through ProcessXmlTag.
bool BuildFromXml(const pugi::xml_node& Root, TDataTable& T, std::string& Err) {
  auto size = Root.child("size");
  int32_t nc = 0, nr = 0;
  if (!size || !ToInt(size.attribute("cols").value(), nc) || !ToInt(size.attribute("rows").value(), nr) || nc < 0 ||
      nr < 0) {
    Err = "missing or invalid <size>";
    return false;
  }
  // Every cell is listed, so the number of cell elements bounds the size; a table without cells
  // is bounded by its name elements.
  int64_t cells = 0;
  for (auto c = Root.child("datacells").child("cell"); c; c = c.next_sibling("cell")) ++cells;
  if (int64_t(nc) * nr != cells) {
    Err = "number of cells does not match the size";
    return false;
  }
  int64_t ncol = 0, nrow = 0;
  for (auto c = Root.child("colnames").child("col"); c; c = c.next_sibling("col")) ++ncol;
  for (auto r = Root.child("rownames").child("row"); r; r = r.next_sibling("row")) ++nrow;
  if ((cells == 0 && (nc > ncol + 65536 || nr > nrow + 65536))) {
    Err = "size not backed by the element";
    return false;
  }
  T.ProcessXmlTag(TDTxmlTags::xmlSize, std::to_string(nc), std::to_string(nr), "", 0);
  T.ProcessXmlTag(TDTxmlTags::xmlComment, Root.child_value("comment"), "", "", 0);
  auto index = [&](const pugi::xml_node& n, const char* a, int32_t hi, int32_t& i) {
    return ToInt(n.attribute(a).value(), i) && i >= 1 && i <= hi;
  };
  int32_t i = 0, k = 0;
  for (auto c = Root.child("colnames").child("col"); c; c = c.next_sibling("col")) {
    int32_t att = 0;
    if (!index(c, "i", nc, i) || (c.attribute("attrib") && !ToInt(c.attribute("attrib").value(), att))) {
      Err = "invalid <col> element";
      return false;
    }
    T.ProcessXmlTag(TDTxmlTags::xmlColId, c.child_value(), std::to_string(att), "", i);
  }
  for (auto r = Root.child("rownames").child("row"); r; r = r.next_sibling("row")) {
    int32_t att = 0;
    if (!index(r, "i", nr, i) || (r.attribute("attrib") && !ToInt(r.attribute("attrib").value(), att))) {
      Err = "invalid <row> element";
      return false;
    }
    T.ProcessXmlTag(TDTxmlTags::xmlRowId, r.child_value(), std::to_string(att), "", i);
  }
  for (auto v = Root.child("vartype"); v; v = v.next_sibling("vartype")) {
    TMScaleType t;
    if (!index(v, "col", nc, i) || !ScaleOf(v.attribute("scale").value(), t)) {
      Err = "invalid <vartype> element";
      return false;
    }
    T.ProcessXmlTag(TDTxmlTags::xmlVarType, v.attribute("scale").value(), "", "", i);
    for (auto id = v.child("id"); id; id = id.next_sibling("id")) {
      if (!index(id, "ord", kMaxNominalIDs, k)) {
        Err = "invalid <id> element";
        return false;
      }
      T.ProcessXmlTag(TDTxmlTags::xmlVarIdentifier, id.child_value(), std::to_string(k), "", i);
    }
  }
  std::vector<bool> seen(static_cast<std::size_t>(cells), false);
  for (auto c = Root.child("datacells").child("cell"); c; c = c.next_sibling("cell")) {
    int32_t col = 0, row = 0, st = 0;
    double v = 0;
    std::string_view txt = c.child_value();
    while (!txt.empty() && (txt.front() == ' ' || txt.front() == '\n')) txt.remove_prefix(1);
    while (!txt.empty() && (txt.back() == ' ' || txt.back() == '\n')) txt.remove_suffix(1);
    if (!index(c, "c", nc, col) || !index(c, "r", nr, row) || !matio::ParseDouble(txt, v) ||
        (c.attribute("st") && (!ToInt(c.attribute("st").value(), st) || st < 0 || st > 255))) {
      Err = "invalid <cell> element";
      return false;
    }
    const std::size_t pos = static_cast<std::size_t>(col - 1) * static_cast<std::size_t>(nr) + (row - 1);
    if (seen[pos]) {
      Err = "cell listed twice";
      return false;
    }
    seen[pos] = true;
    T.ProcessXmlTag(TDTxmlTags::xmlCellID, std::string(txt), std::to_string(row), std::to_string(st), col);
  }
  return true;
}

}  // namespace

bool TDataTable::ReadXml(matio::CharSource& In, const std::string& DataID) {
  pugi::xml_document doc;
  FXMLError.clear();
  if (!matio::ReadXmlElement(In, "datatable", DataID, doc, FXMLError)) return false;
  try {
    TDataTable staging(nullptr);
    if (!BuildFromXml(doc.first_child(), staging, FXMLError)) return false;
    TContents C;
    C.Cols = staging.FNrOfCols;
    C.Rows = staging.FNrOfRows;
    C.Stride = static_cast<std::size_t>(std::max(C.Rows, 1));
    C.Values.resize(static_cast<std::size_t>(C.Cols) * C.Stride);
    for (int32_t c = 1; c <= C.Cols; ++c)
      for (int32_t r = 1; r <= C.Rows; ++r)
        C.Values[static_cast<std::size_t>(c - 1) * C.Stride + (r - 1)] = staging.NumericData->Cell(c, r);
    C.States = std::move(staging.FCState);
    C.ColNames = std::move(staging.FColName);
    C.RowNames = std::move(staging.FRowName);
    C.ColAtt = std::move(staging.FColAtt);
    C.RowAtt = std::move(staging.FRowAtt);
    C.VType = std::move(staging.FVType);
    C.Comment = std::move(staging.FComment);
    staging.FNrOfCols = staging.FNrOfRows = 0;
    InstallContents(C);
  } catch (const std::exception& e) {
    FXMLError = e.what();
    return false;
  }
  return true;
}

bool TDataTable::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  std::ifstream f(FName, std::ios::binary);
  if (!f) {
    FXMLError = "cannot open " + FName;
    return false;
  }
  matio::IStreamSource src(f);
  return ReadXml(src, DataID);
}

bool TDataTable::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  const auto start = InFile.tellg();
  bool ok;
  {
    matio::IStreamSource src(InFile);
    ok = ReadXml(src, DataID);
  }
  if (!ok) {
    InFile.clear();
    InFile.seekg(start);
  }
  return ok;
}

bool TDataTable::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  if (InStream == nullptr) return false;
  const int64_t start = InStream->Position();
  bool ok;
  {
    matio::TStreamSource src(*InStream);
    ok = ReadXml(src, DataID);
  }
  if (!ok) InStream->SetPosition(start);
  return ok;
}

// StartAt is a 1-based character position: the search starts there, and after a successful read
// it points just behind the element that was read.
bool TDataTable::ReadFromXMLString(const std::string& InString, int32_t& StartAt, const std::string& DataID) {
  const std::size_t from = StartAt < 1 ? 0 : static_cast<std::size_t>(StartAt - 1);
  if (from > InString.size()) return false;
  matio::StringSource src(InString, from);
  if (!ReadXml(src, DataID)) return false;
  StartAt = static_cast<int32_t>(std::min<std::size_t>(src.Pos() + 1, INT32_MAX));
  return true;
}

}  // namespace qmx
