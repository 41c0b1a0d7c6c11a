// Number texts: integer digits, Roman numerals, fixed-point, scientific and engineering
// notation, degrees, hexadecimal images of floats.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame/hexdigits.h"
#include "math1/decade.h"
#include "qmx/math1.h"

namespace qmx {

namespace {

// Digits of a 32-bit pattern in base 2^Bits, the n lowest ones, most significant first.
std::string RadixText(uint32_t v, int n, int Bits) {
  std::string s(static_cast<std::size_t>(n), '0');
  const uint32_t mask = (1u << Bits) - 1u;
  for (int d = n - 1; d >= 0; --d) {
    s[static_cast<std::size_t>(d)] = frame_detail::kHexDigits[v & mask];
    v >>= Bits;
  }
  return s;
}

int DigitCount(uint8_t NumDigits, int Max) {
  if (NumDigits == 0) return 1;
  return NumDigits > Max ? Max : NumDigits;
}

constexpr const char* kDegreeSign = "\xC2\xB0";

std::string NonFinite(double x) { return std::isnan(x) ? "NaN" : x < 0 ? "-Inf" : "Inf"; }

std::string PadLeft(std::string s, int32_t Width) {
  if (Width > 400) Width = 400;
  if (static_cast<int32_t>(s.size()) < Width) s.insert(0, static_cast<std::size_t>(Width) - s.size(), ' ');
  return s;
}

// Scientific text with k significant digits (2..18): sign place, digit, point, digits, "E", sign,
// four exponent digits; written to out, returns the length (k + 8).
int SciDigits(double x, int k, char* out) {
  char buf[48];
  const int n = std::snprintf(buf, sizeof buf, "%.*E", k - 1, std::fabs(x));
  int epos = n - 1;
  while (epos > 0 && buf[epos] != 'E') --epos;
  int len = 0;
  out[len++] = x < 0.0 ? '-' : ' ';
  std::memcpy(out + len, buf, static_cast<std::size_t>(epos));
  len += epos;
  out[len++] = 'E';
  out[len++] = buf[epos + 1];
  const int edigits = n - epos - 2;
  for (int i = edigits; i < 4; ++i) out[len++] = '0';
  std::memcpy(out + len, buf + epos + 2, static_cast<std::size_t>(edigits));
  return len + edigits;
}

int SciDigitsForWidth(int32_t Width) {
  const int32_t k = Width - 8;
  return k < 2 ? 2 : k > 18 ? 18 : static_cast<int>(k);
}

std::string SciText(double x, int32_t Width) {
  if (!std::isfinite(x)) return PadLeft(NonFinite(x), Width);
  char buf[40];
  const int len = SciDigits(x, SciDigitsForWidth(Width), buf);
  return PadLeft(std::string(buf, static_cast<std::size_t>(len)), Width);
}

double RoundHalfAway(double v, int32_t Decimals) {
  const double s = math1_detail::ScalePow10(1.0, Decimals);
  return std::round(v * s) / s;
}

double SnapToInteger(double t) {
  const double r = std::round(t);
  return std::fabs(t - r) < 3e-12 ? r : t;
}

double FracAbs(double v) {
  v = std::fabs(v);
  return v - std::trunc(v);
}

// Whole degrees of t as text; "-0" keeps the sign of a negative angle below one degree.
std::string WholeDegrees(double t) {
  const double w = std::trunc(t);
  if (t < 0.0 && w == 0.0) return "-0";
  return strff(w + 0.0, 1, 0);
}

template <class T, std::size_t N>
std::string ImageToHex(const T& x) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &x, sizeof(T));
  std::string s(2 * N, '0');
  for (std::size_t i = 0; i < N; ++i) frame_detail::WriteHexDigits(b[N - 1 - i], 2, s.data() + 2 * i);
  return s;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <class T, std::size_t N>
T HexToImage(const std::string& Text, const char* Name) {
  bool ok = Text.size() == 2 * N;
  unsigned char b[sizeof(T)] = {};
  for (std::size_t i = 0; ok && i < N; ++i) {
    const int hi = HexDigitValue(Text[2 * i]), lo = HexDigitValue(Text[2 * i + 1]);
    if (hi < 0 || lo < 0) ok = false;
    else b[N - 1 - i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  if (!ok) throw EQMXError(std::string(Name) + ": invalid hex string \"" + Text + "\"");
  T x;
  std::memcpy(&x, b, sizeof(T));
  return x;
}

}  // namespace

std::string Decimal(int32_t Value, uint8_t NumDigits) {
  const int n = NumDigits == 0 ? 1 : NumDigits;
  // The magnitude in 32 unsigned bits: -2^31 has one.
  uint32_t v = Value < 0 ? 0u - static_cast<uint32_t>(Value) : static_cast<uint32_t>(Value);
  std::string s(static_cast<std::size_t>(n) + (Value < 0 ? 1 : 0), '0');
  if (Value < 0) s[0] = '-';
  for (std::size_t i = s.size(); i-- > (Value < 0 ? 1u : 0u) && v != 0;) {
    s[i] = static_cast<char>('0' + v % 10u);
    v /= 10u;
  }
  return s;
}

std::string Hex(int32_t Value, uint8_t NumDigits) {
  const int n = DigitCount(NumDigits, 8);
  std::string s(static_cast<std::size_t>(n), '0');
  frame_detail::WriteHexDigits(static_cast<uint32_t>(Value), n, s.data());
  return s;
}

std::string Octal(int32_t Value, uint8_t NumDigits) {
  return RadixText(static_cast<uint32_t>(Value), DigitCount(NumDigits, 11), 3);
}

std::string Bin(int32_t Value, uint8_t NumDigits) {
  return RadixText(static_cast<uint32_t>(Value), DigitCount(NumDigits, 32), 1);
}

std::string Roman(int32_t Value) {
  static constexpr int32_t kVal[13] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
  static constexpr const char* kSym[13] = {"M",  "CM", "D",  "CD", "C",  "XC", "L",
                                           "XL", "X",  "IX", "V",  "IV", "I"};
  std::string s;
  if (Value <= 0 || Value >= 30000) return s;
  for (int k = 0; k < 13; ++k)
    while (Value >= kVal[k]) {
      s += kSym[k];
      Value -= kVal[k];
    }
  return s;
}

std::string strf(double x, int32_t Width, int32_t Decimals) {
  if (Width < 0) Width = 0;
  if (Width > 400) Width = 400;
  if (!std::isfinite(x)) return PadLeft(NonFinite(x), Width);
  if (Decimals >= 0) return strff(x, Width, Decimals);
  if (Decimals != -2) return SciText(x, Width);
  std::string s = SciText(x, Width + 2);
  const std::size_t e = s.rfind('E');
  const bool fits = s[e + 2] == '0' && s[e + 3] == '0';
  s.erase(e + 2, 2);
  if (!fits) s.assign(s.size(), '*');
  return s;
}

std::string MakeEFormat(double x, int32_t Width, int32_t Digits) {
  Width = Width < 8 ? 8 : Width > 40 ? 40 : Width;
  Digits = Digits < 2 ? 2 : Digits > 15 ? 15 : Digits;
  if (!std::isfinite(x)) return PadLeft(NonFinite(x), Width);
  char sci[40];
  const int len = SciDigits(x, static_cast<int>(Digits), sci);
  // sci: sign, d, '.', Digits-1 digits, 'E', sign, 4 digits
  char out[48];
  int n = 0;
  out[n++] = sci[0];
  out[n++] = '0';
  out[n++] = '.';
  out[n++] = sci[1];
  std::memcpy(out + n, sci + 3, static_cast<std::size_t>(Digits - 1));
  n += Digits - 1;
  out[n++] = 'E';
  int exp10 = (sci[len - 4] - '0') * 1000 + (sci[len - 3] - '0') * 100 + (sci[len - 2] - '0') * 10 +
              (sci[len - 1] - '0');
  if (sci[len - 5] == '-') exp10 = -exp10;
  if (x != 0.0) ++exp10;
  out[n++] = exp10 < 0 ? '-' : '+';
  const int a = exp10 < 0 ? -exp10 : exp10;
  // Two exponent digits; exponents of 100 and beyond keep all three rather than lose one.
  if (a >= 100) out[n++] = static_cast<char>('0' + a / 100);
  out[n++] = static_cast<char>('0' + a / 10 % 10);
  out[n++] = static_cast<char>('0' + a % 10);
  return PadLeft(std::string(out, static_cast<std::size_t>(n)), Width);
}

std::string EEngStr(double x, int32_t Digits) {
  static constexpr const char* kPrefix[11] = {"a", "f", "p", "n", "u", "m", "", "k", "M", "G", "T"};
  Digits = Digits < -9 ? -9 : Digits > 9 ? 9 : Digits;
  const int32_t d = Digits >= 2 ? Digits - 1 : Digits <= -2 ? -(-Digits - 1) : 0;
  const int32_t ad = d < 0 ? -d : d;
  if (x == 0.0) return strff(0.0, 1, ad);
  if (!std::isfinite(x)) return NonFinite(x);
  const double ax = std::fabs(x);
  int32_t e;
  double m;
  math1_detail::Decade(ax, e, m);  // e = floor(lg |x|), exact at powers of ten
  int32_t k = e >= 0 ? e / 3 : -((-e + 2) / 3);
  k = k < -6 ? -6 : k > 4 ? 4 : k;
  const double v = math1_detail::ScalePow10(ax, -3 * k);
  int32_t dec = ad + 3 * k - e;
  if (dec < 0) dec = 0;
  // Not strff: its 100-decimal limit would cut the digits of values far below the atto group
  // (1e-300 needs 283 decimals); a scaled double needs at most about 330 decimals or 300 digits.
  char buf[720];
  std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(dec > 340 ? 340 : dec), v);
  std::string s = buf;
  if (k != 0) {
    const char* p = kPrefix[k + 6];
    const std::size_t pt = s.find('.');
    if (d < 0 && pt != std::string::npos) s.replace(pt, 1, p);
    else s += p;
  }
  if (x < 0.0) s.insert(0, 1, '-');
  return s;
}

std::string DegreeToStr(double Angle, TDegreeFormat Format, int32_t Decimals) {
  Decimals = Decimals < 0 ? 0 : Decimals > 8 ? 8 : Decimals;
  if (!std::isfinite(Angle)) return NonFinite(Angle) + (Format <= dfDegMinSec ? kDegreeSign : "");
  switch (Format) {
    case dfDecDeg:
      return strff(Angle, 1, Decimals) + kDegreeSign;
    case dfDegMin: {
      const double t = SnapToInteger(RoundHalfAway(Angle * 60.0, Decimals) / 60.0);
      if (!std::isfinite(t)) return strff(Angle, 1, Decimals) + kDegreeSign;
      return WholeDegrees(t) + kDegreeSign + " " + strff(FracAbs(t) * 60.0, Decimals + 3, Decimals) + "'";
    }
    case dfDegMinSec: {
      const double t = SnapToInteger(RoundHalfAway(Angle * 3600.0, Decimals) / 3600.0);
      if (!std::isfinite(t)) return strff(Angle, 1, Decimals) + kDegreeSign;
      const double m = SnapToInteger(FracAbs(t) * 60.0);
      return WholeDegrees(t) + kDegreeSign + " " + strff(std::trunc(m), 2, 0) + "' " +
             strff(FracAbs(m) * 60.0, Decimals + 3, Decimals) + "\"";
    }
    default:
      return strff(Angle, 1, Decimals);
  }
}

std::string FPNumToHex(double x) { return ImageToHex<double, 8>(x); }
std::string FPNumToHex(long double x) { return ImageToHex<long double, 10>(x); }
std::string FPNumToHex(float x) { return ImageToHex<float, 4>(x); }

double HexToDouble(const std::string& Text) { return HexToImage<double, 8>(Text, "HexToDouble"); }
long double HexToExtended(const std::string& Text) {
  return HexToImage<long double, 10>(Text, "HexToExtended");
}
float HexToSingle(const std::string& Text) { return HexToImage<float, 4>(Text, "HexToSingle"); }

}  // namespace qmx
