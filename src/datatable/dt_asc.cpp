// TDataTable ASC text files: the shared four-line header (ReadHeaderOfASC) with the table's two
// extra flags, then names, column attributes, scale types and identifiers, and one line per row.
#include <algorithm>
#include <climits>
#include <fstream>
#include <new>
#include <ostream>
#include <sstream>

#include "datatable/dt_internal.h"
#include "matrix/matio.h"
#include "qmx/asc.h"

namespace qmx {

namespace {

// Names are written in double quotes; a quote, a backslash and line ends inside a name are
// written \q, \\, \n and \r, since the name parser ends a quoted name at the next quote.
void AppendQuotedName(std::string& Out, const std::string& Name) {
  Out += '"';
  for (char c : Name) {
    switch (c) {
      case '"': Out += "\\q"; break;
      case '\\': Out += "\\\\"; break;
      case '\n': Out += "\\n"; break;
      case '\r': Out += "\\r"; break;
      default: Out += c;
    }
  }
  Out += '"';
}

std::string Unescape(const std::string& s) {
  if (s.find('\\') == std::string::npos) return s;
  std::string t;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[i + 1];
      const char r = n == 'q' ? '"' : n == '\\' ? '\\' : n == 'n' ? '\n' : n == 'r' ? '\r' : 0;
      if (r) {
        t += r;
        ++i;
        continue;
      }
    }
    t += s[i];
  }
  return t;
}

// Token reader over the body of an ASC text.
class TASCBody {
 public:
  TASCBody(std::string_view Text, std::size_t Pos) : FT(Text), FPos(Pos) {}
  static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  void SkipBlanks() {
    while (FPos < FT.size() && Blank(FT[FPos])) ++FPos;
  }
  bool Token(std::string_view& T) {
    SkipBlanks();
    const std::size_t b = FPos;
    while (FPos < FT.size() && !Blank(FT[FPos])) ++FPos;
    T = FT.substr(b, FPos - b);
    return !T.empty();
  }
  // A quoted name or a bare word, fed through the shared name parser.
  bool Name(std::string& N) {
    SkipBlanks();
    if (FPos >= FT.size()) return false;
    const bool quoted = FT[FPos] == '"';
    N.clear();
    TQuotedStrState st = qsNone;
    while (FPos < FT.size())
      if (ParseQuotedName(FT[FPos++], '"', N, st)) {
        if (quoted) N = Unescape(N);
        return true;
      }
    if (st == qsUnquoted) return true;  // a bare word ended by the end of the text
    return false;                       // the quote never closed
  }
  bool Int(int32_t& V) {
    std::string_view t;
    return Token(t) && matio::ParseInt32(t, V);
  }
  std::size_t Pos() const { return FPos; }
  bool AtEnd() {
    SkipBlanks();
    return FPos >= FT.size();
  }

 private:
  std::string_view FT;
  std::size_t FPos;
};

TMScaleType ScaleFromName(std::string_view w, bool& ok) {
  for (int k = 0; k <= stRatio; ++k) {
    std::string_view n = MScaleTypeNames[k];
    if (n.size() == w.size() &&
        std::equal(n.begin(), n.end(), w.begin(), [](char a, char b) { return dt::LowerAZ(a) == dt::LowerAZ(b); })) {
      ok = true;
      return static_cast<TMScaleType>(k);
    }
  }
  ok = false;
  return stUnknown;
}

// Offset just after the fourth line end (the body), or npos.
std::size_t BodyStart(std::string_view Text) {
  std::size_t p = 0;
  for (int i = 0; i < 4; ++i) {
    p = Text.find('\n', p);
    if (p == std::string_view::npos) return Text.size();
    ++p;
  }
  return p;
}

struct TASCBlock {
  TASCHeader H;
  TDataTable::TContents C;
  std::size_t End = 0;  // offset after the last row
};

int32_t ParseASC(std::string_view Text, TASCBlock& B) {
  const std::size_t body = BodyStart(Text);
  {
    std::istringstream hs{std::string(Text.substr(0, body))};
    if (const int32_t rc = ReadHeaderOfASC(hs, B.H); rc != 0) return rc;
  }
  const TASCHeader& h = B.H;
  TDataTable::TContents& C = B.C;
  const int64_t nc = h.NrOfColumns, nr = h.NrOfRows;
  // Every cell takes at least one character of the text, so its size bounds the allocation.
  if (nr > 0 && nc * nr > static_cast<int64_t>(Text.size() - body) + 1) return ascErrTooLarge;
  // The per-column records of a table without rows are not backed by cells: bound them too.
  if (nc > 65536 && nc > static_cast<int64_t>(Text.size() - body)) return ascErrTooLarge;
  const auto NC = static_cast<std::size_t>(nc), NR = static_cast<std::size_t>(nr);
  C.Cols = h.NrOfColumns;
  C.Rows = h.NrOfRows;
  C.Stride = std::max<std::size_t>(NR, 1);
  C.Comment = RemoveControlChars(h.Comment);
  C.Values.assign(NC * C.Stride, 0.0);
  C.States.assign(NC, std::vector<uint8_t>(NR, 0));
  C.ColAtt.assign(NC, 0);
  C.RowAtt.assign(NR, 0);
  C.VType.assign(NC, TVTypeSpecs{});
  C.ColNames.resize(NC);
  C.RowNames.resize(NR);
  for (std::size_t c = 0; c < NC; ++c) C.ColNames[c] = dt::ColDefaultName(static_cast<int32_t>(c + 1));
  for (std::size_t r = 0; r < NR; ++r) C.RowNames[r] = dt::RowDefaultName(static_cast<int32_t>(r + 1));
  TASCBody in(Text, body);
  std::string name;
  std::string_view tok;
  if (h.ColNames)
    for (std::size_t c = 0; c < NC; ++c) {
      if (!in.Name(name)) return ascErrName;
      C.ColNames[c] = dt::Cut(name, kDTNameLength);
    }
  if (h.ColAttribs)
    for (std::size_t c = 0; c < NC; ++c)
      if (!in.Int(C.ColAtt[c])) return ascErrColAttrib;
  if (h.ScaleTypes) {
    for (std::size_t c = 0; c < NC; ++c) {
      bool ok;
      if (!in.Token(tok)) return ascErrScale;
      C.VType[c].MScaleType = ScaleFromName(tok, ok);
      if (!ok) return ascErrScale;
    }
    int32_t k = 0;
    if (!in.Int(k) || k < 0 || int64_t(k) > int64_t(nc) * kMaxNominalIDs) return ascErrScale;
    for (int32_t i = 0; i < k; ++i) {
      int32_t col = 0, slot = 0;
      if (!in.Int(col) || !in.Int(slot) || col < 1 || col > nc || slot < 1 || slot > kMaxNominalIDs ||
          !in.Name(name))
        return ascErrScale;
      C.VType[static_cast<std::size_t>(col - 1)].SetID(slot, name);
    }
  } else {
    for (auto& v : C.VType) v.MScaleType = stInterval;
  }
  for (std::size_t r = 0; r < NR; ++r) {
    if (h.RowAttribs && !in.Int(C.RowAtt[r])) return ascErrRowAttrib;
    if (h.RowNames) {
      if (!in.Name(name)) return ascErrName;
      C.RowNames[r] = dt::Cut(name, kDTNameLength);
    }
    for (std::size_t c = 0; c < NC; ++c)
      if (!in.Token(tok) || !matio::ParseDouble(tok, C.Values[c * C.Stride + r])) return ascErrNumber;
    if (h.CellStates)
      for (std::size_t c = 0; c < NC; ++c) {
        int32_t s = 0;
        if (!in.Int(s) || s < 0 || s > 255) return ascErrState;
        C.States[c][r] = static_cast<uint8_t>(s);
      }
  }
  // The block ends with the line end of its last row.
  std::size_t end = in.Pos();
  while (end < Text.size() && (Text[end] == ' ' || Text[end] == '\t')) ++end;
  if (end < Text.size() && Text[end] == '\r') ++end;
  if (end < Text.size() && Text[end] == '\n') ++end;
  B.End = end;
  return 0;
}

}  // namespace

std::string TDataTable::ASCText(int32_t Precision) const {
  std::string out = FComment;
  out += '\n';
  matio::AppendInt(out, FNrOfCols);
  out += "\t;nr. of columns\n";
  matio::AppendInt(out, FNrOfRows);
  out += "\t;nr. of rows\n";
  out += "TRUE TRUE TRUE TRUE TRUE TRUE\t;row attributes, column names, row names, column attributes, "
         "scale types, cell states\n";
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += ' ';
    AppendQuotedName(out, FColName[c - 1]);
  }
  out += '\n';
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += ' ';
    matio::AppendInt(out, FColAtt[c - 1]);
  }
  out += '\n';
  int64_t nids = 0;
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    if (c > 1) out += ' ';
    out += MScaleTypeNames[FVType[c - 1].MScaleType];
    for (int32_t k = 1; k <= kMaxNominalIDs && !FVType[c - 1].IDs.empty(); ++k) nids += !FVType[c - 1].ID(k).empty();
  }
  out += '\n';
  matio::AppendInt(out, nids);
  out += '\n';
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t k = 1; k <= kMaxNominalIDs && !FVType[c - 1].IDs.empty(); ++k)
      if (!FVType[c - 1].ID(k).empty()) {
        matio::AppendInt(out, c);
        out += ' ';
        matio::AppendInt(out, k);
        out += ' ';
        AppendQuotedName(out, FVType[c - 1].ID(k));
        out += '\n';
      }
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    matio::AppendInt(out, FRowAtt[r - 1]);
    out += ' ';
    AppendQuotedName(out, FRowName[r - 1]);
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      out += '\t';
      const double v = NumericData->GetVal(c, r);
      if (Precision < 0) matio::AppendDouble(out, v);
      else matio::AppendFixed(out, v, Precision);
    }
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      out += c == 1 ? '\t' : ' ';
      matio::AppendInt(out, FCState[c - 1][r - 1]);
    }
    out += '\n';
  }
  return out;
}

std::string TDataTable::ExportAsASC(const std::string& FName, int32_t Precision) const {
  std::ofstream f(FName, std::ios::binary | std::ios::trunc);
  if (!f) return "Cannot create file " + FName;
  if (!matio::WriteText(f, ASCText(Precision)) || !(f.flush())) {
    f.close();
    std::remove(FName.c_str());
    return "Cannot write file " + FName;
  }
  return {};
}

std::string TDataTable::ExportAsASC(TStream* OutStream, int32_t Precision) const {
  if (OutStream == nullptr) return "No stream to write to";
  return matio::WriteText(*OutStream, ASCText(Precision)) ? std::string() : "Cannot write to the stream";
}

std::string TDataTable::ExportAsASC(std::ostream& OutFile, int32_t Precision) const {
  return matio::WriteText(OutFile, ASCText(Precision)) ? std::string() : "Cannot write to the file";
}

int32_t TDataTable::ReadFromASCText(std::string_view Text, int32_t PosX, int32_t PosY, bool ReplaceIDs,
                                    bool Replace) {
  return ReadASCImpl(Text, PosX, PosY, ReplaceIDs, Replace, nullptr);
}

int32_t TDataTable::ReadASCImpl(std::string_view Text, int32_t PosX, int32_t PosY, bool ReplaceIDs, bool Replace,
                                std::size_t* Consumed) {
  if (!Replace && (PosX < 1 || PosY < 1)) return ascErrPosition;
  TASCBlock B;
  int32_t rc;
  try {
    rc = ParseASC(Text, B);
  } catch (const std::bad_alloc&) {
    rc = ascErrTooLarge;
  }
  if (rc != 0) return rc;
  // A file or the clipboard holds one block; a stream may go on with other data.
  if (Consumed) *Consumed = B.End;
  else if (Text.find_first_not_of(" \t\r\n", B.End) != std::string_view::npos) return ascErrTrailing;
  if (Replace) {
    try {
      InstallContents(B.C);
    } catch (const std::exception&) {
      return ascErrTooLarge;
    }
    return 0;
  }
  const TASCHeader& h = B.H;
  TContents& C = B.C;
  const int64_t needC = int64_t(PosX) + C.Cols - 1, needR = int64_t(PosY) + C.Rows - 1;
  if (needC > INT32_MAX || needR > INT32_MAX) return ascErrTooLarge;
  const int32_t nc = std::max<int32_t>(FNrOfCols, static_cast<int32_t>(needC));
  const int32_t nr = std::max<int32_t>(FNrOfRows, static_cast<int32_t>(needR));
  if (!matio::AllocationAcceptable(nc, nr, int64_t(C.Cols) * C.Rows + int64_t(FNrOfCols) * FNrOfRows))
    return ascErrTooLarge;
  // Identifier translation is worked out before anything changes, so that a full identifier
  // table refuses the read with the table untouched.
  std::vector<std::vector<double>> map(static_cast<std::size_t>(C.Cols));
  std::vector<TVTypeSpecs> newTypes(static_cast<std::size_t>(C.Cols));
  for (int32_t c = 1; c <= C.Cols; ++c) {
    const int32_t tc = PosX + c - 1;
    TVTypeSpecs& nt = newTypes[c - 1];
    nt = tc <= FNrOfCols ? FVType[tc - 1] : TVTypeSpecs{};
    const TVTypeSpecs& ft = C.VType[c - 1];
    if (h.ScaleTypes) nt.MScaleType = ft.MScaleType;
    if (!dt::IsCatScale(ft.MScaleType) || ft.IDs.empty()) continue;
    if (ReplaceIDs) {
      nt.IDs = ft.IDs;
      continue;
    }
    auto& m = map[c - 1];
    m.assign(kMaxNominalIDs + 1, 0.0);
    for (int32_t k = 1; k <= kMaxNominalIDs; ++k) {
      const std::string& id = ft.ID(k);
      if (id.empty()) continue;
      int32_t slot = 0;
      for (int32_t j = 1; j <= kMaxNominalIDs && slot == 0; ++j) {
        const std::string& t = nt.ID(j);
        if (t.size() == id.size() && std::equal(t.begin(), t.end(), id.begin(), [](char a, char b) {
              return dt::LowerAZ(a) == dt::LowerAZ(b);
            }))
          slot = j;
      }
      for (int32_t j = 1; j <= kMaxNominalIDs && slot == 0; ++j)
        if (nt.ID(j).empty()) {
          nt.SetID(j, id);
          slot = j;
        }
      if (slot == 0) return ascErrScale;
      m[static_cast<std::size_t>(k)] = slot;
    }
  }
  try {
    TSilence s(*this, evAll);
    Resize(nc, nr);
    EnsureDataShape();
  } catch (const std::exception&) {
    return ascErrTooLarge;
  }
  for (int32_t c = 1; c <= C.Cols; ++c) {
    const int32_t tc = PosX + c - 1;
    if (h.ColNames) FColName[tc - 1] = C.ColNames[c - 1];
    if (h.ColAttribs) FColAtt[tc - 1] = C.ColAtt[c - 1];
    FVType[tc - 1] = newTypes[c - 1];
    const auto& m = map[c - 1];
    double* dst = NumericData->ColumnData(tc) + (PosY - 1);
    const double* src = C.Values.data() + static_cast<std::size_t>(c - 1) * C.Stride;
    for (int32_t r = 0; r < C.Rows; ++r) {
      double v = src[r];
      if (!m.empty()) {
        const double k = dt::RoundHalfEven(v);
        if (k >= 1 && k <= kMaxNominalIDs && m[static_cast<std::size_t>(k)] > 0) v = m[static_cast<std::size_t>(k)];
      }
      dst[r] = v;
    }
    std::copy(C.States[c - 1].begin(), C.States[c - 1].end(), FCState[tc - 1].begin() + (PosY - 1));
  }
  for (int32_t r = 1; r <= C.Rows; ++r) {
    if (h.RowNames) FRowName[PosY + r - 2] = C.RowNames[r - 1];
    if (h.RowAttribs) FRowAtt[PosY + r - 2] = C.RowAtt[r - 1];
  }
  ChangedData();
  ChangedCellStates();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  return 0;
}

namespace {
// The rest of a stream from its position.
bool ReadStreamText(TStream* In, std::string& Text, int64_t& Start) {
  if (In == nullptr) return false;
  Start = In->Position();
  const int64_t size = In->Size();
  if (size < Start) return false;
  Text.resize(static_cast<std::size_t>(size - Start));
  const std::size_t n = In->Read(Text.data(), Text.size());
  Text.resize(n);
  return true;
}
}  // namespace

int32_t TDataTable::ImportASC(const std::string& FName) {
  std::string text;
  if (!matio::ReadWholeFile(FName, text)) return ascErrOpen;
  return ReadASCImpl(text, 1, 1, true, true, nullptr);
}

int32_t TDataTable::ImportASC(TStream* InStream) { return ReadFromStreamASC(InStream, 1, 1, true, true); }

int32_t TDataTable::ImportASC(TClipboard* ClipBd) {
  if (ClipBd == nullptr) return ascErrOpen;
  return ReadASCImpl(ClipBd->AsText(), 1, 1, true, true, nullptr);
}

int32_t TDataTable::ReadFromASC(const std::string& FName, int32_t PosX, int32_t PosY, bool ReplaceIDs) {
  std::string text;
  if (!matio::ReadWholeFile(FName, text)) return ascErrOpen;
  return ReadASCImpl(text, PosX, PosY, ReplaceIDs, false, nullptr);
}

int32_t TDataTable::ReadFromASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs) {
  return ReadFromStreamASC(InStream, PosX, PosY, ReplaceIDs, false);
}

int32_t TDataTable::ReadFromASC(TClipboard* ClipBd, int32_t PosX, int32_t PosY, bool ReplaceIDs) {
  if (ClipBd == nullptr) return ascErrOpen;
  return ReadASCImpl(ClipBd->AsText(), PosX, PosY, ReplaceIDs, false, nullptr);
}

// A stream is left just after the block that was read, or where it was after a failure.
int32_t TDataTable::ReadFromStreamASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs, bool Replace) {
  std::string text;
  int64_t start = 0;
  if (!ReadStreamText(InStream, text, start)) return ascErrOpen;
  std::size_t used = 0;
  const int32_t rc = ReadASCImpl(text, PosX, PosY, ReplaceIDs, Replace, &used);
  InStream->SetPosition(rc == 0 ? start + static_cast<int64_t>(used) : start);
  return rc;
}

}  // namespace qmx
