// TDataTable CSV import and export. Quoting follows RFC 4180; the reader streams the input in
// chunks (twice for a file: a line count bounds the allocation, then the fields are parsed) so
// that its memory stays close to the table's own.
#include <algorithm>
#include <cstdio>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <unordered_map>

#include "datatable/dt_internal.h"
#include "matrix/matio.h"

namespace qmx {

namespace {
constexpr const char* kAttribHeader = "(row attribute)";
constexpr std::size_t kChunk = std::size_t(1) << 20;
}  // namespace

// Byte source of the CSV reader: a file read in chunks, or a text in memory.
class TCSVSource {
 public:
  explicit TCSVSource(std::string_view Text) : FMem(Text) {}
  explicit TCSVSource(std::FILE* F) : FFile(F) {}
  // Appends up to Max bytes to Buf; returns the number appended (0 at the end).
  std::size_t Read(std::vector<char>& Buf, std::size_t Max) {
    const std::size_t old = Buf.size();
    if (FFile) {
      Buf.resize(old + Max);
      const std::size_t n = std::fread(Buf.data() + old, 1, Max, FFile);
      Buf.resize(old + n);
      return n;
    }
    const std::size_t n = std::min(Max, FMem.size() - FPos);
    Buf.insert(Buf.end(), FMem.data() + FPos, FMem.data() + FPos + n);
    FPos += n;
    return n;
  }

 private:
  std::FILE* FFile = nullptr;
  std::string_view FMem;
  std::size_t FPos = 0;
};

namespace {

// Field scanner. Fields are handed out as views valid until the next call.
class TCSVScanner {
 public:
  TCSVScanner(TCSVSource& Src, char Delim) : FSrc(Src), FDelim(Delim) {}

  enum Result { fOk, fEnd, fBadQuote };

  // Next field; EndOfRecord is set when the field is the last of its record.
  Result Next(std::string_view& Field, bool& Quoted, bool& EndOfRecord) {
    if (FFirst) {
      FFirst = false;
      Ensure(3);
      if (Avail() >= 3 && std::memcmp(&FBuf[FPos], "\xEF\xBB\xBF", 3) == 0) FPos += 3;
    }
    if (FAtRecordStart && !Ensure(1)) return fEnd;
    FAtRecordStart = false;
    Quoted = false;
    if (Avail() > 0 && FBuf[FPos] == '"') {
      Quoted = true;
      FScratch.clear();
      std::size_t i = FPos + 1;
      for (;;) {
        const char* q = static_cast<const char*>(std::memchr(FBuf.data() + i, '"', FBuf.size() - i));
        if (q == nullptr) {
          FScratch.append(FBuf.data() + i, FBuf.size() - i);
          FPos = i = FBuf.size();
          if (!Refill()) return fBadQuote;  // never closed
          i = FPos;
          continue;
        }
        const std::size_t qi = static_cast<std::size_t>(q - FBuf.data());
        FScratch.append(FBuf.data() + i, qi - i);
        FPos = qi;  // at the quote
        if (!Ensure(2)) {  // the closing quote ends the input
          ++FPos;
          break;
        }
        if (FBuf[FPos + 1] == '"') {
          FScratch.push_back('"');
          i = FPos + 2;
          FPos = i;
          continue;
        }
        ++FPos;
        break;
      }
      Field = FScratch;
      if (Avail() > 0) {
        const char c = FBuf[FPos];
        if (c != FDelim && c != '\n' && c != '\r') return fBadQuote;  // text after the closing quote
      }
      return Terminate(EndOfRecord);
    }
    // A bare field runs to the delimiter or the line end.
    std::size_t j = FPos;
    for (;;) {
      const char* p = FBuf.data();
      const std::size_t e = FBuf.size();
      while (j < e && p[j] != FDelim && p[j] != '\n' && p[j] != '\r' && p[j] != '"') ++j;
      if (j < e) break;
      // Refill moves the unread bytes to the front (also when nothing more comes).
      const std::size_t off = j - FPos;
      const bool more = Refill();
      j = FPos + off;
      if (!more) break;
    }
    if (j < FBuf.size() && FBuf[j] == '"') return fBadQuote;
    Field = std::string_view(FBuf.data() + FPos, j - FPos);
    FPos = j;
    return Terminate(EndOfRecord);
  }

 private:
  std::size_t Avail() const noexcept { return FBuf.size() - FPos; }
  // Keeps the unread bytes and reads more; false at the end of the input.
  bool Refill() {
    if (FEof) return false;
    if (FPos > 0) {
      FBuf.erase(FBuf.begin(), FBuf.begin() + static_cast<std::ptrdiff_t>(FPos));
      FPos = 0;
    }
    if (FSrc.Read(FBuf, kChunk) == 0) {
      FEof = true;
      return false;
    }
    return true;
  }
  bool Ensure(std::size_t n) {
    while (Avail() < n)
      if (!Refill()) return false;
    return true;
  }
  // After a field: consume its delimiter or line end.
  Result Terminate(bool& EndOfRecord) {
    if (!Ensure(1)) {
      EndOfRecord = true;
      FAtRecordStart = true;
      return fOk;
    }
    const char c = FBuf[FPos++];
    if (c == FDelim) {
      EndOfRecord = false;
      return fOk;
    }
    if (c == '\r' && Ensure(1) && FBuf[FPos] == '\n') ++FPos;
    EndOfRecord = true;
    FAtRecordStart = true;
    return fOk;
  }

  TCSVSource& FSrc;
  char FDelim;
  std::vector<char> FBuf;
  std::size_t FPos = 0;
  bool FEof = false, FFirst = true, FAtRecordStart = true;
  std::string FScratch;
};

// The delimiter that splits the first lines of the sample into equal, largest field counts.
char DetectDelimiter(std::string_view Sample) {
  const char cand[4] = {',', ';', '\t', ':'};
  int best = -1;
  int64_t bestCount = 0;
  bool bestConsistent = false;
  for (int k = 0; k < 4; ++k) {
    std::vector<int64_t> counts;
    int64_t cnt = 0;
    bool inq = false;
    for (std::size_t i = 0; i < Sample.size() && counts.size() < 20; ++i) {
      const char c = Sample[i];
      if (c == '"') inq = !inq;
      else if (!inq && c == cand[k]) ++cnt;
      else if (!inq && c == '\n') {
        counts.push_back(cnt);
        cnt = 0;
      }
    }
    if (counts.empty()) counts.push_back(cnt);
    const bool consistent =
        counts[0] > 0 && std::all_of(counts.begin(), counts.end(), [&](int64_t v) { return v == counts[0]; });
    if ((consistent && !bestConsistent) || (consistent == bestConsistent && counts[0] > bestCount)) {
      best = k;
      bestCount = counts[0];
      bestConsistent = consistent;
    }
  }
  return (best < 0 || bestCount == 0) ? ',' : cand[best];
}

std::string_view TrimBlanks(std::string_view s, char Delim) {
  auto blank = [&](char c) { return c == ' ' || (c == '\t' && Delim != '\t'); };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

struct TCSVLayout {
  char Delim = ',';
  bool ColHeaders = false, RowHeaders = false, AttribCol = false;
  int64_t Fields = 0;  // per record
  int32_t Cols = 0;
  int32_t FirstData() const { return (RowHeaders ? 1 : 0) + (AttribCol ? 1 : 0); }
};

using TSourceFactory = std::function<std::unique_ptr<TCSVSource>()>;

// Parses the whole input into C. Returns 0 or a csvErr code.
int32_t ParseCSV(const TSourceFactory& Open, int64_t RecordBound, char Delim, bool ColHeaders, bool RowHeaders,
                 TDataTable::TContents& C) {
  TCSVLayout L;
  L.Delim = Delim;
  L.ColHeaders = ColHeaders;
  L.RowHeaders = RowHeaders;
  std::string_view f;
  bool quoted = false, eor = false;

  // First record: its field count fixes the layout.
  std::vector<std::string> head;
  std::vector<bool> textual;
  {
    auto src = Open();
    if (!src) return csvErrOpen;
    TCSVScanner s(*src, Delim);
    for (;;) {
      const auto r = s.Next(f, quoted, eor);
      if (r == TCSVScanner::fEnd) return csvErrEmpty;
      if (r == TCSVScanner::fBadQuote) return csvErrQuoting;
      head.emplace_back(f);
      if (eor) break;
    }
  }
  L.Fields = static_cast<int64_t>(head.size());
  if (ColHeaders) {
    const std::size_t a = RowHeaders ? 1 : 0;
    L.AttribCol = head.size() > a && TrimBlanks(head[a], Delim) == kAttribHeader;
  }
  const int64_t cols = L.Fields - L.FirstData();
  if (cols < 1) return csvErrEmpty;
  if (cols > INT32_MAX) return csvErrTooLarge;
  L.Cols = static_cast<int32_t>(cols);
  const int64_t rowBound = std::max<int64_t>(RecordBound - (ColHeaders ? 1 : 0), 0);
  if (rowBound > INT32_MAX || !matio::CellCountAcceptable(cols, std::max<int64_t>(rowBound, 1)))
    return csvErrTooLarge;

  const auto stride = static_cast<std::size_t>(std::max<int64_t>(rowBound, 1));
  try {
    C.Values.assign(static_cast<std::size_t>(cols) * stride, 0.0);
    C.States.assign(static_cast<std::size_t>(cols), std::vector<uint8_t>(static_cast<std::size_t>(rowBound), 0));
    C.RowNames.reserve(static_cast<std::size_t>(rowBound));
    C.RowAtt.reserve(static_cast<std::size_t>(rowBound));
  } catch (const std::bad_alloc&) {
    return csvErrMemory;
  }
  C.Cols = L.Cols;
  C.Stride = stride;
  textual.assign(static_cast<std::size_t>(cols), false);

  // Second pass: names, values and states.
  int64_t row = 0;
  {
    auto src = Open();
    if (!src) return csvErrOpen;
    TCSVScanner s(*src, Delim);
    int64_t fieldIx = 0;
    bool header = ColHeaders;
    const int32_t first = L.FirstData();
    for (;;) {
      const auto r = s.Next(f, quoted, eor);
      if (r == TCSVScanner::fEnd) break;
      if (r == TCSVScanner::fBadQuote) return csvErrQuoting;
      if (fieldIx >= L.Fields) return csvErrRagged;
      const std::string_view t = quoted ? f : TrimBlanks(f, Delim);
      if (header) {
        if (fieldIx == 0 && RowHeaders) C.Comment = RemoveControlChars(std::string(t));
        else if (fieldIx >= first) C.ColNames.push_back(dt::Cut(std::string(t), kDTNameLength));
      } else {
        if (row >= rowBound) return csvErrTooLarge;  // cannot happen: records never exceed lines
        if (fieldIx == 0 && RowHeaders) {
          C.RowNames.push_back(dt::Cut(std::string(t), kDTNameLength));
        } else if (L.AttribCol && fieldIx == (RowHeaders ? 1 : 0)) {
          int32_t a = 0;
          if (!t.empty() && !matio::ParseInt32(t, a)) return csvErrAttrib;
          C.RowAtt.push_back(a);
        } else {
          const auto c = static_cast<std::size_t>(fieldIx - first);
          if (t.empty()) {
            C.States[c][static_cast<std::size_t>(row)] = 0x02;
          } else if (!textual[c]) {
            double v;
            if (matio::ParseDouble(t, v)) C.Values[c * stride + static_cast<std::size_t>(row)] = v;
            else textual[c] = true;
          }
        }
      }
      ++fieldIx;
      if (eor) {
        if (fieldIx != L.Fields) return csvErrRagged;
        fieldIx = 0;
        if (header) header = false;
        else {
          ++row;
          if (!RowHeaders) C.RowNames.push_back(dt::RowDefaultName(static_cast<int32_t>(row)));
          if (!L.AttribCol) C.RowAtt.push_back(0);
        }
      }
    }
    if (fieldIx != 0) return csvErrRagged;
  }
  if (row == 0) return csvErrEmpty;
  C.Rows = static_cast<int32_t>(row);
  for (auto& st : C.States) st.resize(static_cast<std::size_t>(row));
  if (!ColHeaders)
    for (int32_t c = 1; c <= L.Cols; ++c) C.ColNames.push_back(dt::ColDefaultName(c));
  C.ColAtt.assign(static_cast<std::size_t>(L.Cols), 0);
  C.VType.assign(static_cast<std::size_t>(L.Cols), TVTypeSpecs{});

  // Third pass, only for columns holding texts: identifiers in order of first appearance.
  if (std::find(textual.begin(), textual.end(), true) != textual.end()) {
    std::vector<std::unordered_map<std::string, int32_t>> ids(static_cast<std::size_t>(L.Cols));
    // Identifiers keep 10 characters and are matched without regard to letter case, so texts
    // that agree there would become one category: such files are refused.
    std::vector<std::unordered_map<std::string, std::string>> keys(static_cast<std::size_t>(L.Cols));
    auto src = Open();
    if (!src) return csvErrOpen;
    TCSVScanner s(*src, Delim);
    int64_t fieldIx = 0, r = ColHeaders ? -1 : 0;
    const int32_t first = L.FirstData();
    for (;;) {
      const auto res = s.Next(f, quoted, eor);
      if (res != TCSVScanner::fOk) break;
      if (r >= 0 && fieldIx >= first) {
        const auto c = static_cast<std::size_t>(fieldIx - first);
        const std::string_view t = quoted ? f : TrimBlanks(f, Delim);
        if (textual[c] && !t.empty()) {
          std::string text(t);
          auto it = ids[c].find(text);
          int32_t ord;
          if (it != ids[c].end()) {
            ord = it->second;
          } else {
            std::string key = dt::Cut(text, kNominalIDLength);
            for (char& ch : key) ch = dt::LowerAZ(ch);
            if (keys[c].count(key)) return csvErrIDClash;
            if (ids[c].size() >= static_cast<std::size_t>(kMaxNominalIDs)) return csvErrTooManyIDs;
            keys[c].emplace(key, text);
            ord = static_cast<int32_t>(ids[c].size()) + 1;
            ids[c].emplace(text, ord);
            C.VType[c].SetID(ord, text);
          }
          C.Values[c * stride + static_cast<std::size_t>(r)] = ord;
        }
      }
      ++fieldIx;
      if (eor) {
        fieldIx = 0;
        ++r;
      }
    }
    for (std::size_t c = 0; c < textual.size(); ++c)
      if (textual[c]) {
        C.VType[c].MScaleType = stNominal;
        for (int32_t k = 0; k < C.Rows; ++k)
          if (C.States[c][static_cast<std::size_t>(k)] & 0x02) C.Values[c * stride + static_cast<std::size_t>(k)] = 0;
      }
  }
  return 0;
}

// Counts line feeds: every record but the last ends with one, so this bounds the records.
int64_t CountRecordBound(TCSVSource& Src) {
  std::vector<char> buf;
  int64_t n = 1;
  for (;;) {
    buf.clear();
    if (Src.Read(buf, kChunk) == 0) break;
    for (const char* p = buf.data(); (p = static_cast<const char*>(std::memchr(p, '\n', buf.data() + buf.size() - p)));
         ++p)
      ++n;
  }
  return n;
}

bool NeedsQuotes(std::string_view s, char Delim) {
  if (s.empty()) return false;
  if (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t') return true;
  for (char c : s)
    if (c == Delim || c == '"' || c == '\n' || c == '\r') return true;
  return false;
}

void AppendField(std::string& Out, std::string_view s, char Delim) {
  if (!NeedsQuotes(s, Delim)) {
    Out += s;
    return;
  }
  Out += '"';
  for (char c : s) {
    if (c == '"') Out += '"';
    Out += c;
  }
  Out += '"';
}

void AppendValue(std::string& Out, double v, int32_t Precision) {
  if (Precision < 0) matio::AppendDouble(Out, v);
  else matio::AppendFixed(Out, v, Precision);
}

}  // namespace

// Hands the CSV text to Sink in slices of about a megabyte, so that a large table never exists
// twice as text. Sink returns false to stop.
template <class Sink>
bool TDataTable::WriteCSV(int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                          bool IncludeRowHeaders, bool IncludeRowAttributes, bool IncludeComment, Sink sink) const {
  const char d = (Delimiter >= csvComma && Delimiter < csvUnknown) ? CSVDelimiters[Delimiter] : ',';
  std::string out;
  auto lead = [&](bool& first) {
    if (!first) out += d;
    first = false;
  };
  if (IncludeColHeaders) {
    bool first = true;
    if (IncludeRowHeaders) {
      lead(first);
      if (IncludeComment) AppendField(out, FComment, d);
    }
    if (IncludeRowAttributes) {
      lead(first);
      out += kAttribHeader;
    }
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      lead(first);
      AppendField(out, FColName[c - 1], d);
    }
    out += '\n';
  }
  const bool shapeOk = NumericData->NrOfColumns() == FNrOfCols && NumericData->NrOfRows() == FNrOfRows;
  std::vector<char> cat(static_cast<std::size_t>(FNrOfCols));
  for (int32_t c = 1; c <= FNrOfCols; ++c) cat[c - 1] = dt::IsCatScale(FVType[c - 1].MScaleType);
  char num[64];
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    bool first = true;
    if (IncludeRowHeaders) {
      lead(first);
      AppendField(out, FRowName[r - 1], d);
    }
    if (IncludeRowAttributes) {
      lead(first);
      matio::AppendInt(out, FRowAtt[r - 1]);
    }
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      lead(first);
      if (FCState[c - 1][r - 1] & 0x02) continue;  // an empty cell is an empty field
      if (cat[c - 1]) {
        AppendField(out, GetElemNominal(c, r), d);
        continue;
      }
      const double v = shapeOk ? NumericData->Cell(c, r) : NumericData->GetVal(c, r);
      if (Precision < 0 && std::isfinite(v)) {
        const auto res = std::to_chars(num, num + sizeof num, v);
        out.append(num, res.ptr);
      } else {
        AppendValue(out, v, Precision);
      }
    }
    out += '\n';
    if (out.size() >= kChunk) {
      if (!sink(std::string_view(out))) return false;
      out.clear();
    }
  }
  return out.empty() || sink(std::string_view(out));
}

std::string TDataTable::CSVText(int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                bool IncludeRowHeaders, bool IncludeRowAttributes, bool IncludeComment) const {
  std::string text;
  WriteCSV(Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, IncludeRowAttributes, IncludeComment,
           [&](std::string_view s) {
             text += s;
             return true;
           });
  return text;
}

std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                                    bool IncludeColHeaders, bool IncludeRowHeaders) const {
  return ExportAsCSV(FName, Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, false, false);
}
std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                                    bool IncludeColHeaders, bool IncludeRowHeaders, bool IncludeRowAttributes) const {
  return ExportAsCSV(FName, Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, IncludeRowAttributes, false);
}

std::string TDataTable::ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                                    bool IncludeColHeaders, bool IncludeRowHeaders, bool IncludeRowAttributes,
                                    bool IncludeComment) const {
  std::FILE* f = std::fopen(FName.c_str(), "wb");
  if (f == nullptr) return "Cannot create file " + FName;
  bool ok = WriteCSV(Precision, Delimiter, IncludeColHeaders, IncludeRowHeaders, IncludeRowAttributes,
                     IncludeComment, [&](std::string_view s) { return std::fwrite(s.data(), 1, s.size(), f) == s.size(); });
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::remove(FName.c_str());  // no half-written file left behind
    return "Cannot write file " + FName;
  }
  return {};
}

int32_t TDataTable::ParseAndInstallCSV(const std::function<std::unique_ptr<TCSVSource>()>& Open, int64_t Bound,
                                       char Delim, bool ColHeaders, bool RowHeaders) {
  TContents C;
  int32_t rc;
  try {
    rc = ParseCSV(Open, Bound, Delim, ColHeaders, RowHeaders, C);
  } catch (const std::bad_alloc&) {
    rc = csvErrMemory;
  }
  if (rc != 0) return rc;
  try {
    InstallContents(C);
  } catch (const std::exception&) {
    return csvErrMemory;
  }
  return 0;
}

int32_t TDataTable::ImportFromCSV(const std::string& FName, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                  bool IncludeRowHeaders) {
  if (Delimiter < csvComma || Delimiter > csvUnknown) return csvErrDelimiter;
  std::FILE* probe = std::fopen(FName.c_str(), "rb");
  if (probe == nullptr) return csvErrOpen;
  TCSVSource ps(probe);
  char d = CSVDelimiters[Delimiter];
  if (Delimiter == csvUnknown) {
    std::vector<char> sample;
    ps.Read(sample, 65536);
    d = DetectDelimiter(std::string_view(sample.data(), sample.size()));
    std::rewind(probe);
  }
  const int64_t bound = CountRecordBound(ps);
  std::fclose(probe);
  std::vector<std::unique_ptr<std::FILE, int (*)(std::FILE*)>> files;
  TSourceFactory open = [&]() -> std::unique_ptr<TCSVSource> {
    std::FILE* f = std::fopen(FName.c_str(), "rb");
    if (f == nullptr) return nullptr;
    files.emplace_back(f, &std::fclose);
    return std::make_unique<TCSVSource>(f);
  };
  return ParseAndInstallCSV(open, bound, d, IncludeColHeaders, IncludeRowHeaders);
}

int32_t TDataTable::ImportFromCSVText(std::string_view Text, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                                      bool IncludeRowHeaders) {
  if (Delimiter < csvComma || Delimiter > csvUnknown) return csvErrDelimiter;
  const char d = Delimiter == csvUnknown ? DetectDelimiter(Text.substr(0, 65536)) : CSVDelimiters[Delimiter];
  const int64_t bound = 1 + static_cast<int64_t>(std::count(Text.begin(), Text.end(), '\n'));
  TSourceFactory open = [&] { return std::make_unique<TCSVSource>(Text); };
  return ParseAndInstallCSV(open, bound, d, IncludeColHeaders, IncludeRowHeaders);
}

}  // namespace qmx
