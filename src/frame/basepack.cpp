#include "qmx/basepack.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qmx {

double ProcStat = 0.0;
TMathFeedBackProc MathFeedBackProc = nullptr;
TAbortFlag AbortMathProc;

bool ProgressStep(double Step) {
  ProcStat += Step;
  if (MathFeedBackProc) MathFeedBackProc(ProcStat);
  return AbortMathProc;
}

// ---- CRC-32 ---------------------------------------------------------------------------------

namespace {
constexpr std::array<uint32_t, 256> MakeCRCTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
}  // namespace

extern const std::array<uint32_t, 256> kCRC32Table;
constexpr std::array<uint32_t, 256> kCRC32Table = MakeCRCTable();

uint32_t CalcNextCRC32(uint8_t Data, uint32_t Accu) noexcept {
  return kCRC32Table[(Accu ^ Data) & 0xFFu] ^ (Accu >> 8);
}

// ---- stream number helpers ------------------------------------------------------------------

void WriteExtendedToStream(TStream* Stream, long double Value) {
  if (!Stream) return;  // nothing to write to; the readers treat a null stream as an error
  // The first 10 bytes of an x87 extended value are the number itself (the rest is padding).
  uint8_t buf[16] = {};
  std::memcpy(buf, &Value, sizeof(long double) < 16 ? sizeof(long double) : 16);
  Stream->Write(buf, 10);
}

long double ReadExtendedFromStream(TStream* Stream, bool& Error) {
  uint8_t buf[16] = {};
  if (!Stream || Stream->Read(buf, 10) != 10) {
    Error = true;
    return 0.0L;
  }
  long double v = 0.0L;
  std::memcpy(&v, buf, sizeof(long double) < 16 ? sizeof(long double) : 16);
  return v;
}

void WriteLongintToStream(TStream* Stream, int32_t Value) {
  if (!Stream) return;
  auto u = static_cast<uint32_t>(Value);
  uint8_t buf[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
  Stream->Write(buf, 4);
}

int32_t ReadLongintFromStream(TStream* Stream, bool& Error) {
  uint8_t buf[4];
  if (!Stream || Stream->Read(buf, 4) != 4) {
    Error = true;
    return 0;
  }
  uint32_t u = uint32_t(buf[0]) | uint32_t(buf[1]) << 8 | uint32_t(buf[2]) << 16 |
               uint32_t(buf[3]) << 24;
  return static_cast<int32_t>(u);
}

// ---- strings --------------------------------------------------------------------------------

std::string strff(double Value, int32_t Width, int32_t Decimals) {
  char buf[512];
  if (Width < 0) Width = 0;
  if (Width > 400) Width = 400;
  if (Decimals >= 0) {
    if (Decimals > 100) Decimals = 100;
    std::snprintf(buf, sizeof buf, "%*.*f", static_cast<int>(Width), static_cast<int>(Decimals),
                  Value);
  } else {
    // Scientific: " d.ddde+XXX" style sized to the field; sign place, one digit, point, exponent.
    int digits = Width - 7;  // sign, lead digit, point, "e+XXX"
    if (digits < 1) digits = 1;
    if (digits > 60) digits = 60;
    std::snprintf(buf, sizeof buf, "%*.*e", static_cast<int>(Width), digits, Value);
  }
  return buf;
}

bool StringContains(const std::string& Text, const std::string& Pattern) {
  if (Pattern == "//dig") {
    for (unsigned char c : Text)
      if (std::isdigit(c)) return true;
    return false;
  }
  return Text.find(Pattern) != std::string::npos;
}

std::string ReplaceCharInString(const std::string& Text, char OldChar, char NewChar) {
  std::string r = Text;
  for (char& c : r)
    if (c == OldChar) c = NewChar;
  return r;
}

std::string RemoveControlChars(const std::string& Text) {
  std::string r;
  r.reserve(Text.size());
  for (unsigned char c : Text)
    if (c >= 32 && c != 127) r.push_back(static_cast<char>(c));
  return r;
}

// ---- bit set --------------------------------------------------------------------------------

void TBitFld::SetSize(int32_t n) { FBits.resize(n < 0 ? 0 : static_cast<std::size_t>(n) + 1, false); }

void TBitFld::Clear() { std::fill(FBits.begin(), FBits.end(), false); }

void TBitFld::SetBit(int32_t i, bool Value) {
  if (i >= 0 && static_cast<std::size_t>(i) < FBits.size()) FBits[static_cast<std::size_t>(i)] = Value;
}

bool TBitFld::GetBit(int32_t i) const {
  return i >= 0 && static_cast<std::size_t>(i) < FBits.size() && FBits[static_cast<std::size_t>(i)];
}

int32_t TBitFld::CountTrueBits() const {
  int32_t n = 0;
  for (bool b : FBits) n += b;
  return n;
}

void TBitFld::Invert() { FBits.flip(); }

void TBitFld::Clone(const TBitFld* Source) {
  if (Source) FBits = Source->FBits;
}

void TBitFld::CombineWith(const TBitFld* Other, TLogicOp Op) {
  if (!Other) return;
  for (std::size_t i = 0; i < FBits.size(); ++i) {
    bool a = FBits[i];
    bool b = i < Other->FBits.size() && Other->FBits[i];
    switch (Op) {
      case loAND: FBits[i] = a && b; break;
      case loOR: FBits[i] = a || b; break;
      case loXOR: FBits[i] = a != b; break;
      case loANDNOT: FBits[i] = a && !b; break;
    }
  }
}

}  // namespace qmx
