// Numbers as text in fixed layouts (decimal, hexadecimal, octal and base-2 digits, Roman
// numerals, fixed-point, scientific and engineering notation, degrees) and back (hexadecimal
// images of floats, integers with a default, token scanners and validators). No state is kept.
#pragma once

#include <cstdint>
#include <string>

#include "qmx/basepack.h"
#include "qmx/math1/scalar.h"

namespace qmx {

// ---- integer digits -------------------------------------------------------------------------

// The NumDigits lowest decimal digits of |Value| with leading zeros (1 when NumDigits is 0),
// preceded by "-" for a negative value: Decimal(-42, 5) = "-00042".
std::string Decimal(int32_t Value, uint8_t NumDigits);
// The lowest digits of the value's 32-bit pattern, most significant first, with leading zeros;
// NumDigits is limited to 8 (Hex), 11 (Octal) or 32 (Bin), and 0 means 1: Hex(255, 4) = "00FF".
std::string Hex(int32_t Value, uint8_t NumDigits);
std::string Octal(int32_t Value, uint8_t NumDigits);
std::string Bin(int32_t Value, uint8_t NumDigits);
// Roman numeral of 1..29999 (thousands as repeated M); other values give an empty text.
std::string Roman(int32_t Value);

// ---- floating-point texts -------------------------------------------------------------------
// Fixed-point text: Decimals digits after the point, rounded to nearest, right-aligned in at least
// Width characters. Scientific text: a blank or "-", one digit, ".", further digits, "E", a sign
// and a four-digit exponent, right-aligned in Width characters; Width 8 + k gives k significant
// digits (" 1.2346E+0003" for width 12). Widths below 10 give the 10-character two-digit form,
// more than 26 pad the 18-digit form with blanks. Non-finite values are "Inf", "-Inf" and "NaN"
// right-aligned in Width.

// Decimals >= 0 fixed-point, Decimals < 0 scientific; Decimals = -2 writes the exponent with two
// digits in the same width, or the width in "*" when it needs more. Width is limited to 400,
// Decimals to 100.
std::string strf(double x, int32_t Width, int32_t Decimals);
// " 0.1234E+04" form: a blank or "-", "0.", Digits significant digits (2..15), "E", sign and two
// exponent digits (three where the exponent needs them), left-padded to Width (8..40).
std::string MakeEFormat(double x, int32_t Width, int32_t Digits);
// Engineering notation with the prefixes a f p n u m k M G T: |Digits| significant digits
// (-9..9); a negative Digits puts the prefix in place of the decimal point: EEngStr(4700, 2) =
// "4.7k", EEngStr(4700, -2) = "4k7".
std::string EEngStr(double x, int32_t Digits);
// Angle text in decimal degrees, degrees and minutes, degrees, minutes and seconds, or plain
// (formats 0..3; higher ordinals as 3). Decimals 0..8. The degree sign is UTF-8 (U+00B0).
std::string DegreeToStr(double Angle, TDegreeFormat Format, int32_t Decimals);

// ---- hexadecimal images of floats -----------------------------------------------------------

// The bytes of the in-memory image, most significant first: 16, 20 or 8 upper-case digits.
std::string FPNumToHex(double x);
std::string FPNumToHex(long double x);
std::string FPNumToHex(float x);
// The inverse; the text must have exactly 16 (20, 8) hexadecimal digits of either case, else
// EQMXError "HexToDouble: invalid hex string "<text>"" (likewise HexToExtended, HexToSingle).
double HexToDouble(const std::string& Text);
long double HexToExtended(const std::string& Text);
float HexToSingle(const std::string& Text);

// ---- scanning -------------------------------------------------------------------------------
// A scanner reads one token of Text starting at the 0-based index Pos: it skips leading blanks
// (space, tab), reads the longest token of its form, advances Pos past it and returns its value.
// When no token of its form starts there (or its value does not fit), it returns 0 (NaN for the
// floating ones) and leaves Pos (and any other output) unchanged. A validator accepts exactly the
// texts that hold one token of its scanner and nothing else but blanks.

// Decimal separator of floating-point texts.
enum TDecPSep : uint8_t { dpsPoint, dpsComma, dpsBoth };
// Languages of month names.
enum TLanguage : uint8_t { lanEnglish, lanGerman };

// Optional sign and decimal digits, within the 32-bit range.
int32_t ScanDecimal(const std::string& Text, int32_t& Pos);
// Optional "$" or "0x" prefix and up to 8 significant hexadecimal digits of either case, the
// value being the 32-bit pattern (FFFFFFFF = -1).
int32_t ScanHex(const std::string& Text, int32_t& Pos);
// Octal digits of a 32-bit pattern (at most 37777777777).
int32_t ScanOctal(const std::string& Text, int32_t& Pos);
// Up to 32 significant base-2 digits.
int32_t ScanBin(const std::string& Text, int32_t& Pos);
// Optional sign, digits with at most one decimal separator (at least one digit in all) and, when
// AllowExponent, an exponent "e"/"E", optional sign and digits; a finite double.
double ScanFPNum(const std::string& Text, bool AllowExponent, TDecPSep DecPSep, int32_t& Pos);
// Degrees with optional minutes and seconds: 12.5, 12°30', 12°30'15.5", also "d" for the degree
// sign and blanks between the parts; a sign only when AllowSign. Minutes and seconds lie in
// [0, 60), and only the last part may carry decimals. Returns decimal degrees; Format receives
// the layout read (dfDecDeg, dfDegMin or dfDegMinSec).
double ScanDegrees(const std::string& Text, int32_t& Pos, bool AllowSign, int32_t& Format);
// Date and time after a pattern of the fields yyyy, yy, mmm (month name or its first three
// letters, case-insensitive), mm or m, dd or d, hh or h, nn or n, ss or s; any other pattern
// character must match itself, and a blank matches one or more blanks. Returns the date-time as
// days since 1899-12-30 (fraction = time of day).
double ScanDateTime(const std::string& Text, const std::string& Pattern, TLanguage Language,
                    int32_t& Pos);

bool IsValidDouble(const std::string& Text, bool AllowExponent, TDecPSep DecPSep);
bool IsValidFPNum(const std::string& Text, TDecPSep DecPSep);  // exponent allowed
bool IsValidHex(const std::string& Text);
bool IsValidOct(const std::string& Text);
bool IsValidBin(const std::string& Text);
bool IsValidDecInt(const std::string& Text);

// Text as a 32-bit integer (decimal with optional sign, or "$"/"0x" hexadecimal, blanks around
// it allowed); Default for an empty, malformed or out-of-range text.
int32_t StrToIntDefault(const std::string& Text, int32_t Default);

}  // namespace qmx
