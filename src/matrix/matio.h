// The storage layer shared by the matrix-like containers (TMatrix, TIntMatrix, the 3-D and 4-D
// arrays, the data table, the self-organising map): exact number text, a tokenising text reader,
// the checked binary file and the XML vocabulary with its element reader.
// The layouts are described in docs/FORMATS.md; keep the two in step.
#pragma once

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <istream>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "qmx/matrix/matxml.h"
#include "qmx/runtime.h"

namespace qmx::matio {

// Largest block of a sparse matrix that is written in a dense format (2^28 cells = 1 GiB of
// integers): a larger one could not be loaded again.
inline constexpr int64_t kMaxLoadCells = int64_t(1) << 28;

// True when Cols x Rows (each >= 0) stays within kMaxLoadCells.
bool CellCountAcceptable(int64_t Cols, int64_t Rows, int64_t Layers = 1, int64_t Slots = 1) noexcept;
// True when the storage of a Cols x Rows matrix (a zero dimension keeps one slot) may be created
// for BackedCells values that the input really holds: at least half of it, or a small store
// (LoadAllocationBacked in frame/loadguard.h, the rule of every loader).
bool AllocationAcceptable(int64_t Cols, int64_t Rows, int64_t BackedCells) noexcept;
// True when the product of Factors (each >= 0) equals Count; never overflows.
bool ProductIs(std::initializer_list<int64_t> Factors, int64_t Count) noexcept;

// ---- numbers as text -------------------------------------------------------------------------

// Shortest text that reads back to the same double ("-0", "5e-324", "inf", "-inf", "nan",
// "-nan"); never locale-dependent.
void AppendDouble(std::string& Out, double Value);
void AppendInt(std::string& Out, int64_t Value);
// Fixed-point text with Decimals decimals (0..30), for human-readable reports.
void AppendFixed(std::string& Out, double Value, int32_t Decimals);
// Pads Out from position Start on the left with blanks to at least Width characters.
void PadLeft(std::string& Out, std::size_t Start, int32_t Width);

// Whole-token parsers: the token must be a number and nothing else. A leading '+' is accepted;
// values beyond the double range are refused (not turned into infinities).
bool ParseDouble(std::string_view Token, double& Value) noexcept;
bool ParseInt32(std::string_view Token, int32_t& Value) noexcept;
// An integer cell written as text: an integer token, or a decimal number rounded half to even
// (the integer vector's rule); it must lie within the 32-bit range.
bool ParseIntCell(std::string_view Token, int32_t& Value) noexcept;

// ---- text input ------------------------------------------------------------------------------

// Reads a whole text (file or stream) and hands out whitespace-separated tokens or lines.
class TextScanner {
 public:
  explicit TextScanner(std::string Text) : FText(std::move(Text)) {}
  // Next token separated by blanks, tabs, line ends (and ',' ';' when SplitPunct is set);
  // false at the end of the text.
  bool NextToken(std::string_view& Token, bool SplitPunct = false);
  // Next line without its line end ("\n", "\r\n" or "\r"); false at the end of the text.
  bool NextLine(std::string_view& Line);
  bool AtEnd() const noexcept { return FPos >= FText.size(); }
  // Only blanks and line ends remain.
  bool OnlySpaceLeft() const noexcept;

 private:
  std::string FText;
  std::size_t FPos = 0;
};

// The block of a matrix text file or stream: columns LoC..HiC, rows LoR..HiR (1 <= Lo <= Hi).
struct BlockHeader {
  int32_t LoC = 1, LoR = 1, HiC = 0, HiR = 0;
  int64_t Cols() const noexcept { return int64_t(HiC) - LoC + 1; }
  int64_t Rows() const noexcept { return int64_t(HiR) - LoR + 1; }
  int64_t Cells() const noexcept { return Cols() * Rows(); }
  bool Valid() const noexcept { return LoC >= 1 && LoR >= 1 && HiC >= LoC && HiR >= LoR; }
};

// Reads the index line "LoC LoR HiC HiR" and then the block's values, one line per row (any
// whitespace separates them), into Values in column-major order. Nothing but whitespace may
// follow. ParseCell(token, T&) converts one value.
template <class T, class ParseCell>
bool ParseTextBlock(TextScanner& S, std::size_t TextSize, BlockHeader& H, std::vector<T>& Values,
                    ParseCell Parse, std::string& Error) {
  std::string_view tok;
  int32_t idx[4];
  for (int32_t& x : idx)
    if (!S.NextToken(tok) || !ParseInt32(tok, x)) {
      Error = "missing or invalid index line";
      return false;
    }
  H = BlockHeader{idx[0], idx[1], idx[2], idx[3]};
  if (!H.Valid()) {
    Error = "invalid block in index line";
    return false;
  }
  // Every value takes at least two characters, so the text bounds the allocation.
  if (H.Cells() > static_cast<int64_t>(TextSize / 2)) {
    Error = "file too short for the block in its index line";
    return false;
  }
  Values.assign(static_cast<std::size_t>(H.Cells()), T{});
  const auto nr = static_cast<std::size_t>(H.Rows());
  for (std::size_t r = 0; r < nr; ++r)
    for (std::size_t c = 0; c < static_cast<std::size_t>(H.Cols()); ++c) {
      if (!S.NextToken(tok)) {
        Error = "file ends before the last value (truncated)";
        return false;
      }
      if (!Parse(tok, Values[c * nr + r])) {
        Error = "invalid number \"" + std::string(tok.substr(0, 40)) + "\"";
        return false;
      }
    }
  if (!S.OnlySpaceLeft()) {
    Error = "more values than the index line announces";
    return false;
  }
  return true;
}

// Splits a line into tokens separated by blanks, tabs, ',' or ';'.
std::vector<std::string_view> SplitFields(std::string_view Line);

// Reads a whole file into Text; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& FileName, std::string& Text);
// Writes Text to a new file (replacing an old one); false on any failure.
bool WriteWholeFile(const std::string& FileName, std::string_view Text);
// Writes Text to an open stream; false when the stream fails.
bool WriteText(std::ostream& Out, std::string_view Text);
bool WriteText(TStream& Out, std::string_view Text);

// ---- binary file -----------------------------------------------------------------------------

// Element kinds of the binary file.
enum class BinKind : uint32_t { Float64 = 1, Int32 = 2, SparseInt32 = 3 };

struct BinHeader {
  BinKind Kind = BinKind::Float64;
  int32_t NCols = 0, NRows = 0, NLayers = 1, NTimeSlots = 1;
  int64_t Count = 0;  // values (dense kinds) or 12-byte records (SparseInt32) in the payload
  std::string DataID;
};

inline constexpr uint32_t kBinVersion = 1;
inline constexpr std::size_t kMaxDataIDLength = 65535;

// Writes header, payload and trailing CRC-32. Payload items are appended in order with Put;
// Close reports whether every byte reached the file.
class BinaryWriter {
 public:
  BinaryWriter(const std::string& FileName, const BinHeader& Header);
  ~BinaryWriter();
  bool Ok() const noexcept { return FOk; }
  void Put(std::span<const double> Values);
  void Put(std::span<const int32_t> Values);
  bool Close();

 private:
  void PutBytes(const uint8_t* Data, std::size_t N);
  std::FILE* FFile = nullptr;
  bool FOk = false;
  uint32_t FCRC = 0xFFFFFFFFu;
};

// Reads and checks the header (magic, version, kind, sizes against the real file size) before
// anything is allocated; Get fills caller storage; Finish checks the CRC-32.
class BinaryReader {
 public:
  explicit BinaryReader(const std::string& FileName);
  ~BinaryReader();
  bool Ok() const noexcept { return FOk; }
  const std::string& Error() const noexcept { return FError; }
  const BinHeader& Header() const noexcept { return FHeader; }
  bool Get(std::span<double> Values);
  bool Get(std::span<int32_t> Values);
  bool Finish();

 private:
  bool Fail(const std::string& Msg);
  bool GetBytes(uint8_t* Data, std::size_t N);
  std::FILE* FFile = nullptr;
  bool FOk = false;
  std::string FError;
  BinHeader FHeader;
  uint32_t FCRC = 0xFFFFFFFFu;
};

// ---- XML -------------------------------------------------------------------------------------

// Element and attribute names of the matrix vocabulary.
inline constexpr const char* kXmlMatrix = "matrix";        // begin and end of one object
inline constexpr const char* kXmlNumCols = "nrcols";
inline constexpr const char* kXmlNumRows = "nrrows";
inline constexpr const char* kXmlNumLayers = "nrlayers";
inline constexpr const char* kXmlNumTimeSlots = "nrtimeslots";
inline constexpr const char* kXmlCell = "cell";
inline constexpr const char* kXmlAttrClass = "class";
inline constexpr const char* kXmlAttrDataID = "dataid";
inline constexpr const char* kXmlAttrSparse = "sparse";

// Text of a tag of the vocabulary ("matrix" for both xmlMatBegin and xmlMatEnd, "" for
// xmlInvalid) and the tag a piece of markup ("<cell c=\"1\" r=\"2\">", "</matrix>") stands for.
const char* XmlTagText(TMatXmlTag Tag) noexcept;
TMatXmlTag ClassifyXmlTag(std::string_view Markup) noexcept;

// "<?xml version="1.0" encoding="UTF-8"?>" and a line end.
void XmlDeclaration(std::string& Out);
// Opens a matrix element and writes its size elements (layers and time slots only when > 0).
void XmlBegin(std::string& Out, std::string_view ClassName, std::string_view DataID, bool Sparse,
              int32_t NCols, int32_t NRows, int32_t NLayers = 0, int32_t NTimeSlots = 0);
// One cell; Layer and Slot are written only when > 0.
void XmlCell(std::string& Out, int32_t Col, int32_t Row, std::string_view Value, int32_t Layer = 0,
             int32_t Slot = 0);
void XmlEnd(std::string& Out);
// Escapes & < > " and control characters for attribute values.
void AppendXmlEscaped(std::string& Out, std::string_view Text);

// Character sources for the element scanner. Both leave their stream just after the element
// that was found (or at its end when nothing was found).
class CharSource {
 public:
  virtual ~CharSource() = default;
  virtual int Get() = 0;  // next byte or -1 at the end
};
class IStreamSource : public CharSource {
 public:
  explicit IStreamSource(std::istream& In) : FIn(In) {}
  int Get() override;

 private:
  std::istream& FIn;
};
class TStreamSource : public CharSource {
 public:
  explicit TStreamSource(TStream& In) : FIn(In) {}
  ~TStreamSource() override;  // gives unread buffered bytes back to the stream
  int Get() override;

 private:
  TStream& FIn;
  std::vector<uint8_t> FBuf;
  std::size_t FPos = 0;
};

// A text in memory from a start offset; Pos() is the offset of the next unread byte.
class StringSource : public CharSource {
 public:
  StringSource(std::string_view Text, std::size_t Start) : FText(Text), FPos(Start) {}
  int Get() override { return FPos < FText.size() ? static_cast<unsigned char>(FText[FPos++]) : -1; }
  std::size_t Pos() const noexcept { return FPos; }

 private:
  std::string_view FText;
  std::size_t FPos;
};

// Scans In for the next element named ElementName whose dataid attribute equals DataID (any such
// element when DataID is empty), also inside enclosing elements, and parses only that element
// into Doc. Returns false with Error set when none is found or the one found is malformed.
bool ReadXmlElement(CharSource& In, std::string_view ElementName, const std::string& DataID,
                    pugi::xml_document& Doc, std::string& Error);

// One parsed matrix element.
struct XmlCellRef {
  int32_t Col = 0, Row = 0, Layer = 0, Slot = 0;  // 0 = attribute absent
  std::string_view Text;
};
struct XmlMatrix {
  std::string ClassName, DataID;
  bool Sparse = false;
  bool HasLayers = false, HasTimeSlots = false;
  int32_t NCols = 0, NRows = 0, NLayers = 0, NTimeSlots = 0;
  std::vector<XmlCellRef> Cells;  // document order; Text points into Doc
  pugi::xml_document Doc;
};

// Scans In for the next element named Name whose dataid attribute equals DataID (any such element
// when DataID is empty), also inside enclosing elements, and copies its text, start tag to
// matching end tag, into Chunk. False with Error set when none is found or it is truncated.
bool CaptureXmlElement(CharSource& In, std::string_view Name, const std::string& DataID, std::string& Chunk,
                       std::string& Error);

// Scans In for the next matrix element whose dataid equals DataID (any element when DataID is
// empty), also inside enclosing elements, and parses it into Out. Returns false with Error set
// when none is found or the element found is malformed.
bool ReadXmlMatrix(CharSource& In, const std::string& DataID, XmlMatrix& Out, std::string& Error);

// Dense 2-D check shared by the loaders: every cell 1..NCols x 1..NRows exactly once, no layer
// or slot index. On success Order[k] is the column-major position of cell k of Cells.
bool XmlDenseLayout(const XmlMatrix& M, std::vector<std::size_t>& Order, std::string& Error);
// The same for up to four dimensions (absent layer or slot sizes and indices count as 1):
// Order[k] = (((slot-1) * NLayers + (layer-1)) * NCols + (col-1)) * NRows + (row-1).
bool XmlDenseLayoutND(const XmlMatrix& M, std::vector<std::size_t>& Order, std::string& Error);

}  // namespace qmx::matio

namespace qmx::matio {

// The reading rules every container's XML readers share. Parse(CharSource&) looks for the
// object, parses it and commits it only when valid, returning whether it did. A failed read puts
// the stream or open file back where the search began, so that another object can be looked
// for; a successful one leaves it just behind the element.
template <class Parse>
bool XmlReadFromStream(TStream* In, Parse P) {
  if (!In) return false;
  const int64_t start = In->Position();
  bool ok;
  {
    TStreamSource src(*In);
    ok = P(static_cast<CharSource&>(src));
  }
  if (!ok) In->SetPosition(start);
  return ok;
}

template <class Parse>
bool XmlReadFromOpenFile(std::istream& In, Parse P) {
  const auto start = In.tellg();
  IStreamSource src(In);
  if (P(static_cast<CharSource&>(src))) return true;
  In.clear();
  if (start != std::istream::pos_type(-1)) In.seekg(start);
  return false;
}

// Searches the whole file from its start.
bool OpenForXmlLoad(const std::string& FName, std::ifstream& In);
template <class Parse>
bool XmlLoadFromFile(const std::string& FName, Parse P) {
  std::ifstream in;
  if (!OpenForXmlLoad(FName, in)) return false;
  IStreamSource src(in);
  return P(static_cast<CharSource&>(src));
}

// A dense element of up to four dimensions (absent layer and slot sizes count as 1) with every
// count >= 1 and at most MaxLayers layers and MaxSlots time slots (0: any). Values[Pos(c, r, l,
// t)] receives each cell in the storage order of the reading class.
enum class XmlOrder {
  LayerFastest,   // TMat3D: ((c-1)*NR + (r-1))*NL + (l-1)
  ColumnFastest   // TMat4D: (((t-1)*NL + (l-1))*NR + (r-1))*NC + (c-1)
};
struct XmlArray {
  int32_t NC = 0, NR = 0, NL = 1, NT = 1;
  std::vector<double> V;
  std::string ID;
};
bool ReadXmlArray(CharSource& In, const std::string& DataID, int32_t MaxLayers, int32_t MaxSlots,
                  XmlArray& Out, XmlOrder Order);

// Writes one element of an array of up to four dimensions (NLayers, NSlots 0: not written),
// the cells column-outermost, then row, layer, time slot; Get(c, r, l, t) reads a value.
template <class Get>
std::string XmlArrayText(std::string_view ClassName, std::string_view DataID, bool CreateHeader,
                         int32_t NC, int32_t NR, int32_t NL, int32_t NT, Get G) {
  std::string out, num;
  out.reserve(static_cast<std::size_t>(NC) * static_cast<std::size_t>(NR) *
                  static_cast<std::size_t>(std::max(NL, 1)) * static_cast<std::size_t>(std::max(NT, 1)) * 48 + 256);
  if (CreateHeader) XmlDeclaration(out);
  XmlBegin(out, ClassName, DataID, false, NC, NR, NL, NT);
  for (int32_t c = 1; c <= NC; ++c)
    for (int32_t r = 1; r <= NR; ++r)
      for (int32_t l = 1; l <= std::max(NL, 1); ++l)
        for (int32_t t = 1; t <= std::max(NT, 1); ++t) {
          num.clear();
          AppendDouble(num, G(c, r, l, t));
          XmlCell(out, c, r, num, NL > 0 ? l : 0, NT > 0 ? t : 0);
        }
  XmlEnd(out);
  return out;
}

}  // namespace qmx::matio
