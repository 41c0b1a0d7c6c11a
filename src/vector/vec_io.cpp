// Text file and stream storage of TVector and TIntVector.
//
// Loaders validate before they change anything: a file that cannot be opened, whose index line
// is unreadable, that is not text, or that ends before the values its index line announces
// leaves the vector untouched and gives false. No allocation is made for values that are not
// actually present: values are gathered as they are read, and a vector is grown beyond a small
// size only when the loaded values cover at least half of it (LoadAllocationBacked).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "frame/loadguard.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

constexpr std::size_t kMaxToken = 512;  // longer tokens cannot be numbers we accept

// True when growing a vector to hi elements for values that cover `covered` of them is sound.
bool GrowthAllowed(int64_t hi, int64_t covered) { return LoadAllocationBacked(hi, covered); }

// Buffered reader of a text file that notices bytes no text file contains.
class TTextReader {
 public:
  explicit TTextReader(const std::string& FileName) : FFile(std::fopen(FileName.c_str(), "rb")) {}
  ~TTextReader() {
    if (FFile) std::fclose(FFile);
  }
  TTextReader(const TTextReader&) = delete;
  TTextReader& operator=(const TTextReader&) = delete;

  bool IsOpen() const noexcept { return FFile != nullptr; }
  bool Binary() const noexcept { return FBinary; }
  void Rewind() {
    if (FFile) std::rewind(FFile);
    FPos = FLen = 0;
  }

  // Next blank-separated token; false at the end of the file. Over-long tokens are cut (and
  // then fail to parse).
  bool Token(std::string& t) {
    t.clear();
    int c;
    do {
      c = Get();
      if (c == EOF) return false;
    } while (IsBlank(c));
    while (c != EOF && !IsBlank(c)) {
      if (t.size() < kMaxToken) t.push_back(static_cast<char>(c));
      c = Get();
    }
    return true;
  }

  // Reads the rest of the file; true when all of it was text.
  bool RestIsText() {
    while (!FBinary && Get() != EOF) {
    }
    return !FBinary;
  }

  // Next line: whether it contains a decimal digit, and its first token. False at the end.
  bool Line(bool& hasDigit, std::string& first) {
    hasDigit = false;
    first.clear();
    int c = Get();
    if (c == EOF) return false;
    bool inFirst = false, firstDone = false;
    for (; c != EOF && c != '\n'; c = Get()) {
      if (c >= '0' && c <= '9') hasDigit = true;
      if (IsBlank(c)) {
        if (inFirst) firstDone = true;
        continue;
      }
      if (!firstDone) {
        inFirst = true;
        if (first.size() < kMaxToken) first.push_back(static_cast<char>(c));
      }
    }
    return true;
  }

 private:
  static bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
  int Get() {
    if (FPos == FLen) {
      FLen = std::fread(FBuf.data(), 1, FBuf.size(), FFile);
      FPos = 0;
      if (FLen == 0) return EOF;
    }
    const int c = static_cast<unsigned char>(FBuf[FPos++]);
    if ((c < 32 && !IsBlank(c)) || c == 127) FBinary = true;
    return c;
  }
  std::FILE* FFile;
  bool FBinary = false;
  std::vector<char> FBuf = std::vector<char>(std::size_t(1) << 16);  // heap: callers' stacks may be small
  std::size_t FPos = 0, FLen = 0;
};

// Whole-token number parsing in the C locale; one leading '+' is allowed.
template <class T>
bool ParseWhole(const std::string& t, T& v) {
  const char* b = t.data();
  const char* e = b + t.size();
  if (b != e && *b == '+') {
    ++b;
    if (b == e || *b == '+' || *b == '-') return false;
  }
  if (b == e) return false;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e;
}
bool ParseDouble(const std::string& t, double& v) { return ParseWhole(t, v); }
bool ParseInt(const std::string& t, int32_t& v) { return ParseWhole(t, v); }

// Text values: floats as written; integers are read as floats and rounded half to even, a value
// outside the 32-bit range counts as unreadable.
bool ParseValue(const std::string& t, double& v) { return ParseDouble(t, v); }
bool ParseValue(const std::string& t, int32_t& v) {
  double d;
  if (!ParseDouble(t, d)) return false;
  d = std::nearbyint(d);
  if (!(d >= -2147483648.0 && d <= 2147483647.0)) return false;
  v = static_cast<int32_t>(d);
  return true;
}

// LoadFromFile with an index line (both classes).
template <class V, class T>
bool LoadIndexed(V& vec, const std::string& FileName, bool AdjustVectorSize) {
  TTextReader r(FileName);
  if (!r.IsOpen()) return false;
  std::string t1, t2;
  int32_t lo, hi;
  if (!r.Token(t1) || !r.Token(t2) || !ParseInt(t1, lo) || !ParseInt(t2, hi) || r.Binary())
    return false;
  if (!AdjustVectorSize && vec.NrOfElem() < hi) return false;
  const int64_t n = std::max<int64_t>(0, static_cast<int64_t>(hi) - lo + 1);
  const int64_t covered = std::max<int64_t>(0, static_cast<int64_t>(hi) - std::max(lo, 1) + 1);
  if (AdjustVectorSize && hi > vec.NrOfElem() && !GrowthAllowed(hi, covered)) return false;
  // Gather first: the vector changes only once the whole file has proved readable.
  std::vector<T> vals;
  std::vector<uint8_t> ok;
  std::string tok;
  for (int64_t i = 0; i < n; ++i) {
    if (!r.Token(tok) || r.Binary()) return false;  // truncated or not a text file
    T v{};
    const bool good = ParseValue(tok, v);
    vals.push_back(v);  // grows with what is really in the file
    ok.push_back(good ? 1 : 0);
  }
  // What follows the announced values is not read as values, but a file that is not text is
  // refused whole, as by the auto-detecting form.
  if (!r.RestIsText()) return false;
  if (AdjustVectorSize) vec.Resize(hi);
  for (int64_t i = 0; i < n; ++i)
    if (ok[static_cast<std::size_t>(i)]) {
      const int64_t ix = lo + i;
      if (ix >= 1 && ix <= vec.NrOfElem())
        vec.SetVal(static_cast<int32_t>(ix), vals[static_cast<std::size_t>(i)]);
    }
  vec.Changed();
  return true;
}

template <class V, class Fmt>
bool StoreText(const V& vec, int32_t FirstElem, int32_t LastElem, const std::string& FileName,
               Fmt format) {
  // (0, 0) means the whole vector here as everywhere else; taken literally it would store an
  // empty range ("1 0") and report success for a file that holds none of the data.
  if (FirstElem == 0 && LastElem == 0) LastElem = vec.NrOfElem();
  if (LastElem < FirstElem) std::swap(FirstElem, LastElem);
  if (FirstElem < 1) FirstElem = 1;
  if (LastElem > vec.NrOfElem()) LastElem = vec.NrOfElem();
  std::FILE* f = std::fopen(FileName.c_str(), "wb");
  if (!f) return false;
  // Any failed write or close is reported: a short file must not pass for a stored vector.
  bool ok = std::fprintf(f, "%d %d\n", FirstElem, LastElem) > 0;
  for (int32_t i = FirstElem; ok && i <= LastElem; ++i) {
    const std::string s = format(vec.GetVal(i));
    ok = std::fputs(s.c_str(), f) >= 0 && std::fputc('\n', f) != EOF;
  }
  if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

// Stream records: lo, hi, then the values lo..hi.
template <class V, class WriteFn>
void SaveRecord(const V& vec, TStream* s, int32_t LowElem, int32_t HighElem, WriteFn write) {
  vec.MakeValidElemRange(LowElem, HighElem);
  write(s, vec.GetVal(LowElem), LowElem, true);
  write(s, vec.GetVal(HighElem), HighElem, true);
  for (int32_t i = LowElem; i <= HighElem; ++i) write(s, vec.GetVal(i), i, false);
}

template <class V, class ReadIndex, class ReadValue>
bool LoadRecord(V& vec, TStream* s, bool AdjustVectorSize, int64_t valueBytes, ReadIndex readIndex,
                ReadValue readValue) {
  if (!s) return false;
  // A refused record leaves the stream where it was, like the matrix readers.
  const int64_t start = s->Position();
  auto fail = [&] {
    s->SetPosition(start);
    return false;
  };
  int32_t lo, hi;
  if (!readIndex(s, lo) || !readIndex(s, hi)) return fail();
  const int64_t n = std::max<int64_t>(0, static_cast<int64_t>(hi) - lo + 1);
  const int64_t covered = std::max<int64_t>(0, static_cast<int64_t>(hi) - std::max(lo, 1) + 1);
  // A record announcing more values than the stream holds is rejected before anything is
  // allocated or stored.
  const int64_t remaining = s->Size() - s->Position();
  if (n > remaining / valueBytes) return fail();
  if (AdjustVectorSize && hi > vec.NrOfElem() && !GrowthAllowed(hi, covered)) return fail();
  if (!AdjustVectorSize && vec.NrOfElem() < hi) {
    vec.Changed();
    return fail();
  }
  // Read the whole record first: a read error leaves the vector as it was.
  std::vector<decltype(readValue(s, std::declval<bool&>()))> vals(static_cast<std::size_t>(n));
  for (auto& v : vals) {
    bool err = false;
    v = readValue(s, err);
    if (err) return fail();
  }
  if (AdjustVectorSize) vec.Resize(hi);
  for (int64_t i = 0; i < n; ++i) {
    const int64_t ix = lo + i;
    if (ix >= 1 && ix <= vec.NrOfElem()) vec.SetVal(static_cast<int32_t>(ix), vals[static_cast<std::size_t>(i)]);
  }
  vec.Changed();
  return true;
}

bool ReadExtIndex(TStream* s, int32_t& v) {
  bool err = false;
  const long double x = ReadExtendedFromStream(s, err);
  if (err) return false;
  const long double r = std::nearbyint(x);
  if (!(r >= -2147483648.0L && r <= 2147483647.0L)) return false;  // also NaN
  v = static_cast<int32_t>(r);
  return true;
}

bool ReadIntIndex(TStream* s, int32_t& v) {
  bool err = false;
  v = ReadLongintFromStream(s, err);
  return !err;
}

void WriteExt(TStream* s, double v, int32_t index, bool isIndex) {
  WriteExtendedToStream(s, isIndex ? static_cast<long double>(index) : static_cast<long double>(v));
}

void WriteInt(TStream* s, int32_t v, int32_t index, bool isIndex) {
  WriteLongintToStream(s, isIndex ? index : v);
}

}  // namespace

// ---- TVector ----------------------------------------------------------------------------------

bool TVector::StoreOnFile(int32_t FirstElem, int32_t LastElem, int32_t Precision,
                          const std::string& FileName) const {
  if (Precision < -2) Precision = 2;
  if (Precision > 20) Precision = 20;
  const int32_t width = Precision == -1 ? 13 : Precision == -2 ? 26 : 1;
  return StoreText(*this, FirstElem, LastElem, FileName,
                   [&](double v) { return strff(v, width, Precision); });
}

bool TVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize) {
  return LoadIndexed<TVector, double>(*this, FileName, AdjustVectorSize);
}

bool TVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize, bool AutoDetect) {
  if (!AutoDetect) return LoadFromFile(FileName, AdjustVectorSize);
  TTextReader r(FileName);
  if (!r.IsOpen()) return false;
  // First pass: every line holding a digit is a value line.
  int64_t count = 0;
  bool digit;
  std::string first;
  while (r.Line(digit, first))
    if (digit) ++count;
  // No value lines (or not a text file): nothing was loaded, which is not a success.
  if (r.Binary() || count == 0 || count > INT32_MAX) return false;
  if (AdjustVectorSize) Resize(static_cast<int32_t>(count));
  r.Rewind();
  for (int32_t i = 1; i <= FNElem;) {
    if (!r.Line(digit, first)) break;
    if (!digit) continue;
    double v;
    if (ParseDouble(first, v)) SetVal(i, v);
    ++i;  // an unreadable value still takes its element
  }
  Changed();
  return true;
}

void TVector::SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const {
  if (!OutStream) OutStream = new TMemoryStream();
  SaveRecord(*this, OutStream, LowElem, HighElem, WriteExt);
}

void TVector::SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const {
  if (!OutStream) return;
  SaveRecord(*this, OutStream, LowElem, HighElem, WriteExt);
}

bool TVector::LoadFromStream(TStream* InStream, bool AdjustVectorSize) {
  return LoadRecord(*this, InStream, AdjustVectorSize, 10, ReadExtIndex,
                    [](TStream* s, bool& err) {
                      return ExtendedToDouble(ReadExtendedFromStream(s, err));
                    });
}

// ---- TIntVector -------------------------------------------------------------------------------

bool TIntVector::StoreOnFile(int32_t FirstElem, int32_t LastElem, const std::string& FileName) const {
  return StoreText(*this, FirstElem, LastElem, FileName,
                   [](int32_t v) { return std::to_string(v); });
}

bool TIntVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize) {
  return LoadIndexed<TIntVector, int32_t>(*this, FileName, AdjustVectorSize);
}

void TIntVector::SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const {
  if (!OutStream) OutStream = new TMemoryStream();
  SaveRecord(*this, OutStream, LowElem, HighElem, WriteInt);
}

void TIntVector::SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const {
  if (!OutStream) return;
  SaveRecord(*this, OutStream, LowElem, HighElem, WriteInt);
}

bool TIntVector::LoadFromStream(TStream* InStream, bool AdjustVectorSize) {
  return LoadRecord(*this, InStream, AdjustVectorSize, 4, ReadIntIndex,
                    [](TStream* s, bool& err) { return ReadLongintFromStream(s, err); });
}

}  // namespace qmx
