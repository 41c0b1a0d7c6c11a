#include "matrix/matio.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "frame/loadguard.h"
#include "qmx/basepack.h"

namespace qmx::matio {

static_assert(std::endian::native == std::endian::little,
              "the binary and stream layouts are little-endian; add byte swapping for this host");

bool CellCountAcceptable(int64_t Cols, int64_t Rows, int64_t Layers, int64_t Slots) noexcept {
  if (Cols < 0 || Rows < 0 || Layers < 0 || Slots < 0) return false;
  // Each factor is at most 2^31, so stepwise checks cannot overflow.
  int64_t n = std::max<int64_t>(Cols, 1);
  for (int64_t f : {Rows, Layers, Slots}) {
    n *= std::max<int64_t>(f, 1);
    if (n > kMaxLoadCells) return false;
  }
  return n <= kMaxLoadCells;
}

bool AllocationAcceptable(int64_t Cols, int64_t Rows, int64_t BackedCells) noexcept {
  if (Cols < 0 || Rows < 0 || Cols > INT32_MAX || Rows > INT32_MAX) return false;
  const int64_t n = std::max<int64_t>(Cols, 1) * std::max<int64_t>(Rows, 1);  // < 2^62
  return LoadAllocationBacked(n, BackedCells);
}

bool ProductIs(std::initializer_list<int64_t> Factors, int64_t Count) noexcept {
  int64_t n = 1;
  for (int64_t f : Factors) {
    if (f < 0) return false;
    if (f == 0) return Count == 0;
    if (n > Count / f) return false;  // the product would pass Count (and might overflow)
    n *= f;
  }
  return n == Count;
}

// ---- numbers as text -------------------------------------------------------------------------

void AppendDouble(std::string& Out, double Value) {
  char buf[64];
  if (std::isnan(Value)) {
    Out += std::signbit(Value) ? "-nan" : "nan";
    return;
  }
  auto r = std::to_chars(buf, buf + sizeof buf, Value);  // shortest round-trip form
  Out.append(buf, r.ptr);
}

void AppendInt(std::string& Out, int64_t Value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, Value);
  Out.append(buf, r.ptr);
}

void AppendFixed(std::string& Out, double Value, int32_t Decimals) {
  if (!std::isfinite(Value)) {
    AppendDouble(Out, Value);
    return;
  }
  Decimals = std::clamp(Decimals, 0, 30);
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, Decimals);
  if (r.ec == std::errc()) Out.append(buf, r.ptr);
  else AppendDouble(Out, Value);
}

void PadLeft(std::string& Out, std::size_t Start, int32_t Width) {
  std::size_t len = Out.size() - Start;
  if (Width > 0 && len < static_cast<std::size_t>(Width))
    Out.insert(Start, static_cast<std::size_t>(Width) - len, ' ');
}

bool ParseDouble(std::string_view Token, double& Value) noexcept {
  if (!Token.empty() && Token.front() == '+') {
    Token.remove_prefix(1);
    if (!Token.empty() && (Token.front() == '-' || Token.front() == '+')) return false;
  }
  if (Token.empty()) return false;
  double v = 0.0;
  auto r = std::from_chars(Token.data(), Token.data() + Token.size(), v);
  if (r.ec != std::errc() || r.ptr != Token.data() + Token.size()) return false;
  Value = v;
  return true;
}

bool ParseInt32(std::string_view Token, int32_t& Value) noexcept {
  if (!Token.empty() && Token.front() == '+') {
    Token.remove_prefix(1);
    if (!Token.empty() && Token.front() == '-') return false;
  }
  if (Token.empty()) return false;
  int32_t v = 0;
  auto r = std::from_chars(Token.data(), Token.data() + Token.size(), v);
  if (r.ec != std::errc() || r.ptr != Token.data() + Token.size()) return false;
  Value = v;
  return true;
}

bool ParseIntCell(std::string_view Token, int32_t& Value) noexcept {
  if (ParseInt32(Token, Value)) return true;
  double d = 0.0;
  if (!ParseDouble(Token, d) || !std::isfinite(d)) return false;
  double r = std::nearbyint(d);  // half to even under the default rounding mode
  if (r < -2147483648.0 || r > 2147483647.0) return false;
  Value = static_cast<int32_t>(r);
  return true;
}

// ---- text input ------------------------------------------------------------------------------

namespace {
bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsFieldSep(char c) noexcept { return c == ' ' || c == '\t' || c == ',' || c == ';'; }
}  // namespace

bool TextScanner::NextToken(std::string_view& Token, bool SplitPunct) {
  auto sep = [SplitPunct](char c) { return IsSpace(c) || (SplitPunct && (c == ',' || c == ';')); };
  while (FPos < FText.size() && sep(FText[FPos])) ++FPos;
  if (FPos >= FText.size()) return false;
  std::size_t b = FPos;
  while (FPos < FText.size() && !sep(FText[FPos])) ++FPos;
  Token = std::string_view(FText).substr(b, FPos - b);
  return true;
}

bool TextScanner::NextLine(std::string_view& Line) {
  if (FPos >= FText.size()) return false;
  std::size_t b = FPos;
  while (FPos < FText.size() && FText[FPos] != '\n' && FText[FPos] != '\r') ++FPos;
  Line = std::string_view(FText).substr(b, FPos - b);
  if (FPos < FText.size()) {
    if (FText[FPos] == '\r' && FPos + 1 < FText.size() && FText[FPos + 1] == '\n') ++FPos;
    ++FPos;
  }
  return true;
}

bool TextScanner::OnlySpaceLeft() const noexcept {
  for (std::size_t i = FPos; i < FText.size(); ++i)
    if (!IsSpace(FText[i])) return false;
  return true;
}

std::vector<std::string_view> SplitFields(std::string_view Line) {
  std::vector<std::string_view> f;
  std::size_t i = 0;
  while (i < Line.size()) {
    while (i < Line.size() && IsFieldSep(Line[i])) ++i;
    if (i >= Line.size()) break;
    std::size_t b = i;
    while (i < Line.size() && !IsFieldSep(Line[i])) ++i;
    f.push_back(Line.substr(b, i - b));
  }
  return f;
}

bool ReadWholeFile(const std::string& FileName, std::string& Text) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  Text = std::move(ss).str();
  return true;
}

bool WriteWholeFile(const std::string& FileName, std::string_view Text) {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(Text.data(), static_cast<std::streamsize>(Text.size()));
  out.close();
  return !out.fail();
}

bool WriteText(std::ostream& Out, std::string_view Text) {
  Out.write(Text.data(), static_cast<std::streamsize>(Text.size()));
  return !Out.fail();
}

bool WriteText(TStream& Out, std::string_view Text) {
  return Out.Write(Text.data(), Text.size()) == Text.size();
}

// ---- binary file -----------------------------------------------------------------------------

namespace {
constexpr char kMagic[8] = {'Q', 'M', 'X', 'M', 'A', 'T', '\r', '\n'};  // CR LF exposes text-mode mangling
constexpr std::size_t kFixedHeader = 8 + 4 + 4 + 4 * 4 + 8 + 4;  // up to the DataID bytes

uint32_t CRCBytes(uint32_t crc, const uint8_t* p, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i) crc = CalcNextCRC32(p[i], crc);
  return crc;
}

template <class T>
void PutLE(std::vector<uint8_t>& b, T v) {
  auto u = static_cast<std::make_unsigned_t<T>>(v);
  for (std::size_t i = 0; i < sizeof(T); ++i) b.push_back(static_cast<uint8_t>(u >> (8 * i)));
}
template <class T>
T GetLE(const uint8_t* p) {
  std::make_unsigned_t<T> u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<std::make_unsigned_t<T>>(p[i]) << (8 * i);
  return static_cast<T>(u);
}

std::size_t ItemSize(BinKind k) { return k == BinKind::Float64 ? 8 : k == BinKind::Int32 ? 4 : 12; }
}  // namespace

BinaryWriter::BinaryWriter(const std::string& FileName, const BinHeader& H) {
  FFile = std::fopen(FileName.c_str(), "wb");
  if (!FFile) return;
  FOk = true;
  std::vector<uint8_t> b(kMagic, kMagic + 8);
  PutLE<uint32_t>(b, kBinVersion);
  PutLE<uint32_t>(b, static_cast<uint32_t>(H.Kind));
  PutLE<int32_t>(b, H.NCols);
  PutLE<int32_t>(b, H.NRows);
  PutLE<int32_t>(b, H.NLayers);
  PutLE<int32_t>(b, H.NTimeSlots);
  PutLE<int64_t>(b, H.Count);
  std::size_t idlen = std::min(H.DataID.size(), kMaxDataIDLength);
  PutLE<uint32_t>(b, static_cast<uint32_t>(idlen));
  b.insert(b.end(), H.DataID.begin(), H.DataID.begin() + static_cast<std::ptrdiff_t>(idlen));
  PutBytes(b.data(), b.size());
}

BinaryWriter::~BinaryWriter() {
  if (FFile) std::fclose(FFile);
}

void BinaryWriter::PutBytes(const uint8_t* Data, std::size_t N) {
  if (!FOk || N == 0) return;
  FCRC = CRCBytes(FCRC, Data, N);
  if (std::fwrite(Data, 1, N, FFile) != N) FOk = false;
}

void BinaryWriter::Put(std::span<const double> Values) {
  PutBytes(reinterpret_cast<const uint8_t*>(Values.data()), Values.size_bytes());
}

void BinaryWriter::Put(std::span<const int32_t> Values) {
  PutBytes(reinterpret_cast<const uint8_t*>(Values.data()), Values.size_bytes());
}

bool BinaryWriter::Close() {
  if (!FFile) return false;
  if (FOk) {
    uint32_t crc = FCRC ^ 0xFFFFFFFFu;
    std::vector<uint8_t> b;
    PutLE<uint32_t>(b, crc);
    if (std::fwrite(b.data(), 1, 4, FFile) != 4) FOk = false;
  }
  if (std::fclose(FFile) != 0) FOk = false;
  FFile = nullptr;
  return FOk;
}

BinaryReader::BinaryReader(const std::string& FileName) {
  FFile = std::fopen(FileName.c_str(), "rb");
  if (!FFile) {
    Fail("cannot open file");
    return;
  }
  if (std::fseek(FFile, 0, SEEK_END) != 0) {
    Fail("cannot seek");
    return;
  }
  long fsize = std::ftell(FFile);
  std::rewind(FFile);
  if (fsize < 0) {
    Fail("cannot seek");
    return;
  }
  uint8_t h[kFixedHeader];
  if (std::fread(h, 1, kFixedHeader, FFile) != kFixedHeader) {
    Fail("file too short for a header");
    return;
  }
  if (std::memcmp(h, kMagic, 8) != 0) {
    Fail("not a qmx binary matrix file");
    return;
  }
  uint32_t version = GetLE<uint32_t>(h + 8);
  if (version != kBinVersion) {
    Fail("unsupported file version " + std::to_string(version));
    return;
  }
  uint32_t kind = GetLE<uint32_t>(h + 12);
  if (kind < 1 || kind > 3) {
    Fail("unknown element kind");
    return;
  }
  FHeader.Kind = static_cast<BinKind>(kind);
  FHeader.NCols = GetLE<int32_t>(h + 16);
  FHeader.NRows = GetLE<int32_t>(h + 20);
  FHeader.NLayers = GetLE<int32_t>(h + 24);
  FHeader.NTimeSlots = GetLE<int32_t>(h + 28);
  FHeader.Count = GetLE<int64_t>(h + 32);
  uint32_t idlen = GetLE<uint32_t>(h + 40);
  if (FHeader.NCols < 0 || FHeader.NRows < 0 || FHeader.NLayers < 0 || FHeader.NTimeSlots < 0 ||
      FHeader.Count < 0 || idlen > kMaxDataIDLength) {
    Fail("invalid sizes in header");
    return;
  }
  // The payload must be exactly what the file holds; this bounds every allocation by the file.
  int64_t rest = static_cast<int64_t>(fsize) - static_cast<int64_t>(kFixedHeader) - idlen - 4;
  if (rest < 0 || FHeader.Count > rest / static_cast<int64_t>(ItemSize(FHeader.Kind)) ||
      FHeader.Count * static_cast<int64_t>(ItemSize(FHeader.Kind)) != rest) {
    Fail("file size does not match its header (truncated or damaged)");
    return;
  }
  if (FHeader.Kind != BinKind::SparseInt32) {
    if (!ProductIs({FHeader.NCols, FHeader.NRows, std::max(FHeader.NLayers, 1), std::max(FHeader.NTimeSlots, 1)},
                   FHeader.Count)) {
      Fail("cell count does not match the dimensions");
      return;
    }
  }
  FCRC = CRCBytes(FCRC, h, kFixedHeader);
  FHeader.DataID.resize(idlen);
  if (idlen && !GetBytes(reinterpret_cast<uint8_t*>(FHeader.DataID.data()), idlen)) return;
  FOk = true;
}

BinaryReader::~BinaryReader() {
  if (FFile) std::fclose(FFile);
}

bool BinaryReader::Fail(const std::string& Msg) {
  FOk = false;
  if (FError.empty()) FError = Msg;
  return false;
}

bool BinaryReader::GetBytes(uint8_t* Data, std::size_t N) {
  if (N == 0) return true;
  if (std::fread(Data, 1, N, FFile) != N) return Fail("unexpected end of file");
  FCRC = CRCBytes(FCRC, Data, N);
  return true;
}

bool BinaryReader::Get(std::span<double> Values) {
  if (!FOk) return false;
  return GetBytes(reinterpret_cast<uint8_t*>(Values.data()), Values.size_bytes());
}

bool BinaryReader::Get(std::span<int32_t> Values) {
  if (!FOk) return false;
  return GetBytes(reinterpret_cast<uint8_t*>(Values.data()), Values.size_bytes());
}

bool BinaryReader::Finish() {
  if (!FOk) return false;
  uint8_t b[4];
  if (std::fread(b, 1, 4, FFile) != 4) return Fail("unexpected end of file");
  if (GetLE<uint32_t>(b) != (FCRC ^ 0xFFFFFFFFu)) return Fail("checksum mismatch (damaged file)");
  return true;
}

// ---- XML writing -----------------------------------------------------------------------------

void AppendXmlEscaped(std::string& Out, std::string_view Text) {
  for (char ch : Text) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': Out += "&amp;"; break;
      case '<': Out += "&lt;"; break;
      case '>': Out += "&gt;"; break;
      case '"': Out += "&quot;"; break;
      default:
        if (c < 0x20) {
          Out += "&#";
          AppendInt(Out, c);
          Out += ';';
        } else {
          Out += ch;
        }
    }
  }
}

const char* XmlTagText(TMatXmlTag Tag) noexcept {
  switch (Tag) {
    case TMatXmlTag::xmlMatNumCols: return kXmlNumCols;
    case TMatXmlTag::xmlMatNumRows: return kXmlNumRows;
    case TMatXmlTag::xmlMatNumLayers: return kXmlNumLayers;
    case TMatXmlTag::xmlMatNumTimeSlots: return kXmlNumTimeSlots;
    case TMatXmlTag::xmlMatCell: return kXmlCell;
    case TMatXmlTag::xmlMatBegin:
    case TMatXmlTag::xmlMatEnd: return kXmlMatrix;
    case TMatXmlTag::xmlInvalid: break;
  }
  return "";
}

TMatXmlTag ClassifyXmlTag(std::string_view Markup) noexcept {
  if (Markup.starts_with('<')) Markup.remove_prefix(1);
  if (Markup.ends_with('>')) Markup.remove_suffix(1);
  const bool end = Markup.starts_with('/');
  if (end) Markup.remove_prefix(1);
  std::size_t e = 0;
  while (e < Markup.size() && !IsSpace(Markup[e]) && Markup[e] != '/') ++e;
  const std::string_view name = Markup.substr(0, e);
  if (name == kXmlMatrix) return end ? TMatXmlTag::xmlMatEnd : TMatXmlTag::xmlMatBegin;
  if (end) return TMatXmlTag::xmlInvalid;
  for (auto t : {TMatXmlTag::xmlMatNumCols, TMatXmlTag::xmlMatNumRows, TMatXmlTag::xmlMatNumLayers,
                 TMatXmlTag::xmlMatNumTimeSlots, TMatXmlTag::xmlMatCell})
    if (name == XmlTagText(t)) return t;
  return TMatXmlTag::xmlInvalid;
}

void XmlDeclaration(std::string& Out) { Out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"; }

namespace {
void SizeElement(std::string& Out, const char* Tag, int32_t N) {
  Out += "  <";
  Out += Tag;
  Out += '>';
  AppendInt(Out, N);
  Out += "</";
  Out += Tag;
  Out += ">\n";
}
}  // namespace

void XmlBegin(std::string& Out, std::string_view ClassName, std::string_view DataID, bool Sparse,
              int32_t NCols, int32_t NRows, int32_t NLayers, int32_t NTimeSlots) {
  Out += '<';
  Out += kXmlMatrix;
  Out += ' ';
  Out += kXmlAttrClass;
  Out += "=\"";
  AppendXmlEscaped(Out, ClassName);
  Out += "\" ";
  Out += kXmlAttrDataID;
  Out += "=\"";
  AppendXmlEscaped(Out, DataID);
  Out += '"';
  if (Sparse) {
    Out += ' ';
    Out += kXmlAttrSparse;
    Out += "=\"1\"";
  }
  Out += ">\n";
  SizeElement(Out, kXmlNumCols, NCols);
  SizeElement(Out, kXmlNumRows, NRows);
  if (NLayers > 0) SizeElement(Out, kXmlNumLayers, NLayers);
  if (NTimeSlots > 0) SizeElement(Out, kXmlNumTimeSlots, NTimeSlots);
}

void XmlCell(std::string& Out, int32_t Col, int32_t Row, std::string_view Value, int32_t Layer,
             int32_t Slot) {
  Out += "  <cell c=\"";
  AppendInt(Out, Col);
  Out += "\" r=\"";
  AppendInt(Out, Row);
  if (Layer > 0) {
    Out += "\" l=\"";
    AppendInt(Out, Layer);
  }
  if (Slot > 0) {
    Out += "\" t=\"";
    AppendInt(Out, Slot);
  }
  Out += "\">";
  Out += Value;
  Out += "</cell>\n";
}

void XmlEnd(std::string& Out) {
  Out += "</";
  Out += kXmlMatrix;
  Out += ">\n";
}

// ---- XML reading -----------------------------------------------------------------------------

int IStreamSource::Get() {
  auto* sb = FIn.rdbuf();
  if (!sb) return -1;
  auto c = sb->sbumpc();
  if (c == std::char_traits<char>::eof()) {
    FIn.setstate(std::ios::eofbit);
    return -1;
  }
  return static_cast<unsigned char>(std::char_traits<char>::to_char_type(c));
}

int TStreamSource::Get() {
  if (FPos >= FBuf.size()) {
    FBuf.resize(65536);
    std::size_t n = FIn.Read(FBuf.data(), FBuf.size());
    FBuf.resize(n);
    FPos = 0;
    if (n == 0) return -1;
  }
  return FBuf[FPos++];
}

TStreamSource::~TStreamSource() {
  std::size_t unread = FBuf.size() - FPos;
  if (unread) FIn.Seek(-static_cast<int64_t>(unread), soCurrent);
}

namespace {

// Reads one markup item after its '<' into Tag (without the angle brackets). Quoted attribute
// values may hold '>'; comments, processing instructions and declarations end at their own
// terminators. Returns false at the end of the input.
bool ReadMarkup(CharSource& In, std::string& Tag) {
  Tag.clear();
  char quote = 0;
  for (;;) {
    int c = In.Get();
    if (c < 0) return false;
    char ch = static_cast<char>(c);
    if (Tag.starts_with("!--")) {
      if (ch == '>' && Tag.size() >= 5 && Tag.ends_with("--")) return true;
      Tag += ch;
      continue;
    }
    if (Tag.starts_with("![CDATA[")) {
      if (ch == '>' && Tag.ends_with("]]")) return true;
      Tag += ch;
      continue;
    }
    if (quote) {
      if (ch == quote) quote = 0;
    } else if (ch == '"' || ch == '\'') {
      quote = ch;
    } else if (ch == '>') {
      return true;
    }
    Tag += ch;
  }
}

std::string_view TagName(std::string_view Tag) {
  std::size_t b = (!Tag.empty() && Tag[0] == '/') ? 1 : 0;
  std::size_t e = b;
  while (e < Tag.size() && !IsSpace(Tag[e]) && Tag[e] != '/' && Tag[e] != '>') ++e;
  return Tag.substr(b, e - b);
}

bool IsSpecial(std::string_view Tag) { return !Tag.empty() && (Tag[0] == '?' || Tag[0] == '!'); }

bool ReadSize(const pugi::xml_node& Root, const char* Tag, int32_t& N, bool& Present, std::string& Error) {
  auto n = Root.child(Tag);
  Present = static_cast<bool>(n);
  if (!Present) return true;
  std::string_view t = n.child_value();
  while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
  if (!ParseInt32(t, N) || N < 0) {
    Error = std::string("invalid <") + Tag + "> value";
    return false;
  }
  return true;
}

bool ParseIndex(const pugi::xml_node& Cell, const char* Name, int32_t& V, bool Required, std::string& Error) {
  auto a = Cell.attribute(Name);
  if (!a) {
    if (Required) Error = std::string("cell without attribute \"") + Name + "\"";
    return !Required;
  }
  if (!ParseInt32(a.value(), V) || V < 1) {
    Error = std::string("invalid cell attribute \"") + Name + "\"";
    return false;
  }
  return true;
}

bool ParseElement(XmlMatrix& Out, std::string& Error) {
  pugi::xml_node root = Out.Doc.child(kXmlMatrix);
  if (!root) {
    Error = "no matrix element";
    return false;
  }
  Out.ClassName = root.attribute(kXmlAttrClass).value();
  Out.DataID = root.attribute(kXmlAttrDataID).value();
  std::string_view sp = root.attribute(kXmlAttrSparse).value();
  Out.Sparse = (sp == "1" || sp == "true");
  bool hc = false, hr = false;
  if (!ReadSize(root, kXmlNumCols, Out.NCols, hc, Error) || !ReadSize(root, kXmlNumRows, Out.NRows, hr, Error) ||
      !ReadSize(root, kXmlNumLayers, Out.NLayers, Out.HasLayers, Error) ||
      !ReadSize(root, kXmlNumTimeSlots, Out.NTimeSlots, Out.HasTimeSlots, Error))
    return false;
  if (!hc || !hr) {
    Error = "matrix element without <nrcols> or <nrrows>";
    return false;
  }
  Out.Cells.clear();
  for (pugi::xml_node c = root.child(kXmlCell); c; c = c.next_sibling(kXmlCell)) {
    XmlCellRef ref;
    if (!ParseIndex(c, "c", ref.Col, true, Error) || !ParseIndex(c, "r", ref.Row, true, Error) ||
        !ParseIndex(c, "l", ref.Layer, false, Error) || !ParseIndex(c, "t", ref.Slot, false, Error))
      return false;
    std::string_view t = c.child_value();
    while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
    ref.Text = t;
    Out.Cells.push_back(ref);
  }
  return true;
}

}  // namespace

bool CaptureXmlElement(CharSource& In, std::string_view Name, const std::string& DataID, std::string& Chunk,
                       std::string& Error) {
  std::string tag;
  for (;;) {
    // Skip text up to the next markup.
    int c;
    while ((c = In.Get()) >= 0 && c != '<') {
    }
    if (c < 0) break;
    if (!ReadMarkup(In, tag)) break;
    if (IsSpecial(tag) || tag.empty() || tag[0] == '/' || TagName(tag) != Name) continue;
    // The element starts: capture it up to its matching end tag.
    std::string head = "<" + tag + ">";
    Chunk = head;
    int depth = tag.ends_with("/") ? 0 : 1;
    while (depth > 0) {
      while ((c = In.Get()) >= 0 && c != '<') Chunk += static_cast<char>(c);
      if (c < 0) break;
      if (!ReadMarkup(In, tag)) break;
      Chunk.append("<").append(tag).append(">");
      if (tag.empty() || IsSpecial(tag)) continue;
      if (tag[0] == '/') --depth;
      else if (!tag.ends_with("/")) ++depth;
    }
    if (depth > 0) {
      Error = "unterminated " + std::string(Name) + " element (truncated document)";
      return false;
    }
    // Cheap id test on the start tag: only the element asked for must be well-formed.
    if (!DataID.empty()) {
      if (!head.ends_with("/>")) {
        head.pop_back();
        head += "/>";
      }
      pugi::xml_document d;
      if (d.load_string(head.c_str()) && DataID != d.first_child().attribute(kXmlAttrDataID).value())
        continue;
    }
    return true;
  }
  Error = DataID.empty() ? "no " + std::string(Name) + " element found"
                         : "no " + std::string(Name) + " element with dataid \"" + DataID + "\"";
  return false;
}

bool ReadXmlElement(CharSource& In, std::string_view ElementName, const std::string& DataID,
                    pugi::xml_document& Doc, std::string& Error) {
  std::string chunk;
  for (;;) {
    if (!CaptureXmlElement(In, ElementName, DataID, chunk, Error)) return false;
    // load_buffer copies the text into Doc, so texts taken from it stay valid with Doc.
    // Blank-only texts are kept: a name of blanks is still a name.
    auto res = Doc.load_buffer(chunk.data(), chunk.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
                               pugi::encoding_utf8);
    if (!res) {
      Error = std::string("malformed XML: ") + res.description();
      return false;
    }
    if (!DataID.empty() && DataID != Doc.first_child().attribute(kXmlAttrDataID).value()) continue;
    return true;
  }
}

bool ReadXmlMatrix(CharSource& In, const std::string& DataID, XmlMatrix& Out, std::string& Error) {
  if (!ReadXmlElement(In, kXmlMatrix, DataID, Out.Doc, Error)) return false;
  return ParseElement(Out, Error);
}

bool XmlDenseLayoutND(const XmlMatrix& M, std::vector<std::size_t>& Order, std::string& Error) {
  const int64_t nl = M.HasLayers ? M.NLayers : 1, nt = M.HasTimeSlots ? M.NTimeSlots : 1;
  const int64_t listed = static_cast<int64_t>(M.Cells.size());
  // Every cell is listed, so a size that the document does not back is refused here. The product
  // stops growing once it passes the listed count, so it cannot overflow.
  int64_t cells = int64_t(M.NCols) * M.NRows;
  for (int64_t f : {nl, nt})
    if (cells <= listed) cells *= f;
  if (cells != listed) {
    Error = "number of cells does not match the size";
    return false;
  }
  Order.assign(M.Cells.size(), 0);
  std::vector<bool> seen(M.Cells.size(), false);
  const auto C = static_cast<std::size_t>(M.NCols), R = static_cast<std::size_t>(M.NRows),
             L = static_cast<std::size_t>(nl);
  for (std::size_t k = 0; k < M.Cells.size(); ++k) {
    const auto& c = M.Cells[k];
    const int32_t l = c.Layer ? c.Layer : 1, t = c.Slot ? c.Slot : 1;
    if (c.Col > M.NCols || c.Row > M.NRows || l > nl || t > nt) {
      Error = "cell index outside the size";
      return false;
    }
    const std::size_t pos = ((static_cast<std::size_t>(t - 1) * L + static_cast<std::size_t>(l - 1)) * C +
                             static_cast<std::size_t>(c.Col - 1)) * R + static_cast<std::size_t>(c.Row - 1);
    if (seen[pos]) {
      Error = "cell listed twice";
      return false;
    }
    seen[pos] = true;
    Order[k] = pos;
  }
  return true;
}

bool XmlDenseLayout(const XmlMatrix& M, std::vector<std::size_t>& Order, std::string& Error) {
  if ((M.HasLayers && M.NLayers > 1) || (M.HasTimeSlots && M.NTimeSlots > 1)) {
    Error = "element has more than two dimensions";
    return false;
  }
  return XmlDenseLayoutND(M, Order, Error);
}

}  // namespace qmx::matio

namespace qmx::matio {

bool OpenForXmlLoad(const std::string& FName, std::ifstream& In) {
  In.open(FName, std::ios::binary);
  return static_cast<bool>(In);
}

bool ReadXmlArray(CharSource& In, const std::string& DataID, int32_t MaxLayers, int32_t MaxSlots,
                  XmlArray& Out, XmlOrder Order) {
  XmlMatrix x;
  std::string err;
  if (!ReadXmlMatrix(In, DataID, x, err) || x.Sparse) return false;
  const int32_t nl = x.HasLayers ? x.NLayers : 1, nt = x.HasTimeSlots ? x.NTimeSlots : 1;
  if (x.NCols < 1 || x.NRows < 1 || nl < 1 || nt < 1) return false;
  if ((MaxLayers > 0 && nl > MaxLayers) || (MaxSlots > 0 && nt > MaxSlots)) return false;
  std::vector<std::size_t> order;  // positions with rows fastest, then columns, layers, slots
  if (!XmlDenseLayoutND(x, order, err)) return false;
  std::vector<double> v(order.size(), 0.0);
  const auto C = static_cast<std::size_t>(x.NCols), R = static_cast<std::size_t>(x.NRows),
             L = static_cast<std::size_t>(nl);
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t p = order[k];
    const std::size_t r = p % R, c = p / R % C, l = p / R / C % L, t = p / R / C / L;
    const std::size_t pos = Order == XmlOrder::LayerFastest ? ((t * C + c) * R + r) * L + l
                                                            : ((t * L + l) * R + r) * C + c;
    if (!ParseDouble(x.Cells[k].Text, v[pos])) return false;
  }
  Out.NC = x.NCols;
  Out.NR = x.NRows;
  Out.NL = nl;
  Out.NT = nt;
  Out.V = std::move(v);
  Out.ID = x.DataID;
  return true;
}

}  // namespace qmx::matio
