// Token scanners and validators for integers, floating-point numbers, degrees and date-times.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <cstdint>
#include <limits>
#include <string>

#include "qmx/math1.h"

namespace qmx {

namespace {

using Size = std::size_t;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartOK(const std::string& Text, int32_t Pos) {
  return Pos >= 0 && static_cast<Size>(Pos) <= Text.size();
}

Size SkipBlanks(const std::string& t, Size i) {
  while (i < t.size() && IsBlank(t[i])) ++i;
  return i;
}

int DigitValue(char c, int Radix) {
  int v;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else return -1;
  return v < Radix ? v : -1;
}

// Unsigned digits of a radix from i; false when there is none or the value exceeds Max.
bool ReadDigits(const std::string& t, Size& i, int Radix, uint64_t Max, uint64_t& Value) {
  const Size start = i;
  uint64_t v = 0;
  bool over = false;
  for (; i < t.size(); ++i) {
    const int d = DigitValue(t[i], Radix);
    if (d < 0) break;
    v = v * static_cast<uint64_t>(Radix) + static_cast<uint64_t>(d);
    if (v > Max) over = true;
    if (over) v = Max + 1;  // stays bounded; the token is read to its end and refused
  }
  Value = v;
  return i > start && !over;
}

// One token of the scanner and nothing else but blanks. A scanner that succeeds moves the index
// (every token has a character); one that fails leaves it at 0.
template <class Scan>
bool Validate(const std::string& Text, Scan scan) {
  int32_t pos = 0;
  scan(Text, pos);
  return pos > 0 && SkipBlanks(Text, static_cast<Size>(pos)) == Text.size();
}

bool ScanUnsignedPattern(const std::string& Text, int32_t& Pos, int Radix, uint64_t Max,
                         bool AllowPrefix, int32_t& Result) {
  if (!StartOK(Text, Pos)) return false;
  Size i = SkipBlanks(Text, static_cast<Size>(Pos));
  if (AllowPrefix && i < Text.size()) {
    Size j = i;
    if (Text[j] == '$') ++j;
    else if (Text[j] == '0' && j + 1 < Text.size() && (Text[j + 1] == 'x' || Text[j + 1] == 'X')) j += 2;
    if (j > i && j < Text.size() && DigitValue(Text[j], Radix) >= 0) i = j;
  }
  uint64_t v;
  if (!ReadDigits(Text, i, Radix, Max, v)) return false;
  Result = static_cast<int32_t>(static_cast<uint32_t>(v));
  Pos = static_cast<int32_t>(i);
  return true;
}

char DecSep(TDecPSep s, char c) {
  if ((s == dpsPoint || s == dpsBoth) && c == '.') return '.';
  if ((s == dpsComma || s == dpsBoth) && c == ',') return ',';
  return 0;
}

// Reads a number from i; Buf gets its C form (point separator) for from_chars.
bool ReadFPNum(const std::string& t, Size& i, bool AllowSign, bool AllowExponent, TDecPSep Sep,
               bool AllowFraction, double& Value) {
  Size j = i;
  std::string buf;
  if (AllowSign && j < t.size() && (t[j] == '+' || t[j] == '-')) {
    if (t[j] == '-') buf += '-';
    ++j;
  }
  Size digits = 0;
  while (j < t.size() && t[j] >= '0' && t[j] <= '9') buf += t[j++], ++digits;
  if (AllowFraction && j < t.size() && DecSep(Sep, t[j])) {
    const Size k = j + 1;
    Size frac = 0;
    Size m = k;
    while (m < t.size() && t[m] >= '0' && t[m] <= '9') ++m, ++frac;
    if (digits + frac > 0) {
      buf += '.';
      buf.append(t, k, m - k);
      digits += frac;
      j = m;
    }
  }
  if (digits == 0) return false;
  if (AllowExponent && j < t.size() && (t[j] == 'e' || t[j] == 'E')) {
    Size k = j + 1;
    std::string e = "e";
    if (k < t.size() && (t[k] == '+' || t[k] == '-')) e += t[k++];
    const Size d0 = k;
    while (k < t.size() && t[k] >= '0' && t[k] <= '9') e += t[k++];
    if (k > d0) {  // an "e" without digits is not part of the number
      buf += e;
      j = k;
    }
  }
  // The C locale's conversion (the host's locale may use another separator); overflow is
  // refused, underflow gives the nearest representable value.
  static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  const double v = cLocale ? strtod_l(buf.c_str(), nullptr, cLocale) : std::strtod(buf.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  Value = v;
  i = j;
  return true;
}

// The degree sign: UTF-8 U+00B0, the single byte 0xB0 of 8-bit texts, or "d".
Size DegreeSignLength(const std::string& t, Size i) {
  if (i < t.size() && (t[i] == 'd' || t[i] == 'D' || static_cast<unsigned char>(t[i]) == 0xB0)) return 1;
  if (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xC2 &&
      static_cast<unsigned char>(t[i + 1]) == 0xB0)
    return 2;
  return 0;
}

constexpr const char* kMonthsEn[12] = {"january", "february", "march",     "april",   "may",      "june",
                                       "july",    "august",   "september", "october", "november", "december"};
constexpr const char* kMonthsDe[12] = {"januar", "februar", "maerz",     "april",   "mai",      "juni",
                                       "juli",   "august",  "september", "oktober", "november", "dezember"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchWord(const std::string& t, Size i, const std::string& w, Size n) {
  if (i + n > t.size()) return false;
  for (Size k = 0; k < n; ++k)
    if (Lower(t[i + k]) != w[k]) return false;
  return true;
}

// Month name at i: its full name or first three letters, case-insensitive (German March also
// as "märz", "mär" or "mrz").
int ReadMonthName(const std::string& t, Size& i, TLanguage Lang) {
  const auto& names = Lang == lanGerman ? kMonthsDe : kMonthsEn;
  for (int m = 0; m < 12; ++m) {
    const std::string w = names[m];
    for (Size n : {w.size(), Size{3}})
      if (MatchWord(t, i, w, n)) {
        i += n;
        return m + 1;
      }
  }
  if (Lang == lanGerman)
    for (const std::string w : {"m\xC3\xA4rz", "m\xC3\xA4r", "mrz"})
      if (MatchWord(t, i, w, w.size())) {
        i += w.size();
        return 3;
      }
  return 0;
}

// Up to MaxDigits decimal digits (at least one).
bool ReadField(const std::string& t, Size& i, int MaxDigits, int& v) {
  v = 0;
  int n = 0;
  while (n < MaxDigits && i < t.size() && t[i] >= '0' && t[i] <= '9') v = v * 10 + (t[i++] - '0'), ++n;
  return n > 0;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int d[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : d[m - 1];
}

// Days from 1899-12-30 to y-m-d (proleptic Gregorian calendar).
double SerialDate(int y, int m, int d) {
  auto civil = [](int64_t yy, int64_t mm, int64_t dd) {  // days since 1970-01-01
    yy -= mm <= 2;
    const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const int64_t yoe = yy - era * 400;
    const int64_t doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  return static_cast<double>(civil(y, m, d) - civil(1899, 12, 30));
}

}  // namespace

int32_t ScanDecimal(const std::string& Text, int32_t& Pos) {
  if (!StartOK(Text, Pos)) return 0;
  Size i = SkipBlanks(Text, static_cast<Size>(Pos));
  bool neg = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) neg = Text[i++] == '-';
  uint64_t v;
  if (!ReadDigits(Text, i, 10, neg ? 2147483648ULL : 2147483647ULL, v)) return 0;
  Pos = static_cast<int32_t>(i);
  return neg ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
}

int32_t ScanHex(const std::string& Text, int32_t& Pos) {
  int32_t r = 0;
  return ScanUnsignedPattern(Text, Pos, 16, 0xFFFFFFFFULL, true, r) ? r : 0;
}

int32_t ScanOctal(const std::string& Text, int32_t& Pos) {
  int32_t r = 0;
  return ScanUnsignedPattern(Text, Pos, 8, 0xFFFFFFFFULL, false, r) ? r : 0;
}

int32_t ScanBin(const std::string& Text, int32_t& Pos) {
  int32_t r = 0;
  return ScanUnsignedPattern(Text, Pos, 2, 0xFFFFFFFFULL, false, r) ? r : 0;
}

double ScanFPNum(const std::string& Text, bool AllowExponent, TDecPSep DecPSep, int32_t& Pos) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!StartOK(Text, Pos)) return nan;
  Size i = SkipBlanks(Text, static_cast<Size>(Pos));
  double v;
  if (!ReadFPNum(Text, i, true, AllowExponent, DecPSep, true, v)) return nan;
  Pos = static_cast<int32_t>(i);
  return v;
}

double ScanDegrees(const std::string& Text, int32_t& Pos, bool AllowSign, int32_t& Format) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!StartOK(Text, Pos)) return nan;
  Size i = SkipBlanks(Text, static_cast<Size>(Pos));
  bool neg = false;
  if (AllowSign && i < Text.size() && (Text[i] == '+' || Text[i] == '-')) neg = Text[i++] == '-';
  // Whole degrees first; decimals are allowed when nothing follows.
  Size j = i;
  double deg;
  if (!ReadFPNum(Text, j, false, false, dpsPoint, true, deg)) return nan;
  int32_t fmt = dfDecDeg;
  double minutes = 0.0, seconds = 0.0;
  const Size sign = DegreeSignLength(Text, j);
  Size end = j + sign;
  const bool wholeDeg = deg == std::trunc(deg);
  if (wholeDeg) {
    // Minutes: a number followed by "'" (after the degree sign or a blank).
    Size k = SkipBlanks(Text, end);
    double mv;
    Size km = k;
    if ((sign > 0 || k > end) && ReadFPNum(Text, km, false, false, dpsPoint, true, mv) &&
        km < Text.size() && Text[km] == '\'') {
      if (!(mv < 60.0)) return nan;
      minutes = mv;
      fmt = dfDegMin;
      end = km + 1;
      if (mv == std::trunc(mv)) {
        Size ks = SkipBlanks(Text, end);
        double sv;
        if (ReadFPNum(Text, ks, false, false, dpsPoint, true, sv) && ks < Text.size() && Text[ks] == '"') {
          if (!(sv < 60.0)) return nan;
          seconds = sv;
          fmt = dfDegMinSec;
          end = ks + 1;
        }
      }
    }
  }
  double v = deg + minutes / 60.0 + seconds / 3600.0;
  if (neg) v = -v;
  Pos = static_cast<int32_t>(end);
  Format = fmt;
  return v;
}

double ScanDateTime(const std::string& Text, const std::string& Pattern, TLanguage Language,
                    int32_t& Pos) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!StartOK(Text, Pos)) return nan;
  Size i = SkipBlanks(Text, static_cast<Size>(Pos));
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
  bool haveDate = false;
  Size p = 0;
  while (p < Pattern.size()) {
    const char c = Lower(Pattern[p]);
    Size run = 1;
    while (p + run < Pattern.size() && Lower(Pattern[p + run]) == c) ++run;
    if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') {
      int v = 0;
      if (c == 'y') {
        if (!ReadField(Text, i, run >= 4 ? 4 : 2, v)) return nan;
        year = run >= 4 ? v : (v < 50 ? 2000 + v : 1900 + v);
        haveDate = true;
      } else if (c == 'm' && run >= 3) {
        v = ReadMonthName(Text, i, Language);
        if (v == 0) return nan;
        month = v;
        haveDate = true;
      } else {
        if (!ReadField(Text, i, 2, v)) return nan;
        if (c == 'm') month = v, haveDate = true;
        else if (c == 'd') day = v, haveDate = true;
        else if (c == 'h') hour = v;
        else if (c == 'n') minute = v;
        else second = v;
      }
      p += run;
    } else if (c == ' ') {
      if (i >= Text.size() || !IsBlank(Text[i])) return nan;
      i = SkipBlanks(Text, i);
      p = SkipBlanks(Pattern, p);
    } else {
      if (i >= Text.size() || Lower(Text[i]) != c) return nan;
      ++i;
      ++p;
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59)
    return nan;
  const double date = haveDate ? SerialDate(year, month, day) : 0.0;
  const double tod = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  Pos = static_cast<int32_t>(i);
  // Days before 1899-12-30 carry the time of day as a positive fraction after the whole day.
  return date >= 0.0 ? date + tod : date - tod;
}

bool IsValidDouble(const std::string& Text, bool AllowExponent, TDecPSep DecPSep) {
  return Validate(Text, [&](const std::string& t, int32_t& p) { ScanFPNum(t, AllowExponent, DecPSep, p); });
}

bool IsValidFPNum(const std::string& Text, TDecPSep DecPSep) { return IsValidDouble(Text, true, DecPSep); }

bool IsValidHex(const std::string& Text) {
  return Validate(Text, [](const std::string& t, int32_t& p) { ScanHex(t, p); });
}

bool IsValidOct(const std::string& Text) {
  return Validate(Text, [](const std::string& t, int32_t& p) { ScanOctal(t, p); });
}

bool IsValidBin(const std::string& Text) {
  return Validate(Text, [](const std::string& t, int32_t& p) { ScanBin(t, p); });
}

bool IsValidDecInt(const std::string& Text) {
  return Validate(Text, [](const std::string& t, int32_t& p) { ScanDecimal(t, p); });
}

int32_t StrToIntDefault(const std::string& Text, int32_t Default) {
  if (Text.empty()) return Default;
  // Hexadecimal only with its prefix; a plain digit string is decimal.
  const Size s = SkipBlanks(Text, 0);
  const bool hex = s < Text.size() &&
                   (Text[s] == '$' || (Text[s] == '0' && s + 1 < Text.size() && (Text[s + 1] == 'x' || Text[s + 1] == 'X')));
  int32_t pos = 0;
  const int32_t v = hex ? ScanHex(Text, pos) : ScanDecimal(Text, pos);
  if (pos == 0 || SkipBlanks(Text, static_cast<Size>(pos)) != Text.size()) return Default;
  return v;
}

}  // namespace qmx
