#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "math1/message_util.h"
#include "qmx/math1.h"

using namespace qmx;

namespace {
const std::string kDeg = "\xC2\xB0";
}

TEST(Strf, FixedAndScientificLayouts) {
  EXPECT_EQ(strf(3.14159, 8, 2), "    3.14");
  EXPECT_EQ(strf(-2.5, 1, 0), "-2");  // ties to even as the C runtime rounds binary halves
  EXPECT_EQ(strf(1234.5, 12, -1), " 1.234E+0003");  // binary tie to even
  EXPECT_EQ(strf(-0.00012346, 12, -1), "-1.235E-0004");
  EXPECT_EQ(strf(0.0, 10, -1), " 0.0E+0000");
  EXPECT_EQ(strf(9.99, 10, -1), " 1.0E+0001");  // rounding carries into the exponent
  EXPECT_EQ(strf(1e300, 12, -1), " 1.000E+0300");
  EXPECT_EQ(strf(5e-324, 11, -1), " 4.94E-0324");
  // Narrow widths keep two significant digits; wide ones pad the 18-digit form.
  EXPECT_EQ(strf(1234.5, 4, -1), " 1.2E+0003");
  EXPECT_EQ(strf(1.0, 30, -1), std::string(5, ' ') + "1." + std::string(17, '0') + "E+0000");
  // decimals = -2: two exponent digits within the same width, or stars.
  EXPECT_EQ(strf(1234.5, 10, -2), " 1.234E+03");
  EXPECT_EQ(strf(1e12, 10, -2), " 1.000E+12");
  EXPECT_EQ(strf(1e-150, 10, -2), "**********");
  EXPECT_EQ(strf(std::numeric_limits<double>::infinity(), 6, -1), "   Inf");
  EXPECT_EQ(strf(std::nan(""), 4, -2), " NaN");
  EXPECT_EQ(strf(-HUGE_VAL, 6, 2), "  -Inf");
}

TEST(MakeEFormat, MantissaBelowOneAndTwoDigitExponent) {
  EXPECT_EQ(MakeEFormat(1234, 12, 4), "  0.1234E+04");
  EXPECT_EQ(MakeEFormat(-1234, 12, 4), " -0.1234E+04");
  EXPECT_EQ(MakeEFormat(0, 8, 2), " 0.00E+00");  // longer than the width: nothing is cut
  EXPECT_EQ(MakeEFormat(0.00056789, 14, 3), "     0.568E-03");
  EXPECT_EQ(MakeEFormat(1.0, 3, 1), " 0.10E+01");   // width and digits clamped to 8 and 2
  EXPECT_EQ(MakeEFormat(9.9996, 10, 4), " 0.1000E+02");
  EXPECT_EQ(MakeEFormat(1e99, 12, 2), "   0.10E+100");
  EXPECT_EQ(MakeEFormat(1.5e-120, 12, 2), "   0.15E-119");
  EXPECT_EQ(MakeEFormat(1.0, 50, 20).size(), 40u);
}

TEST(EEngStr, PrefixesGroupsAndDecadeBoundaries) {
  EXPECT_EQ(EEngStr(4700, 2), "4.7k");
  EXPECT_EQ(EEngStr(4700, -2), "4k7");
  EXPECT_EQ(EEngStr(0.0022, 2), "2.2m");
  EXPECT_EQ(EEngStr(-4700, 2), "-4.7k");
  EXPECT_EQ(EEngStr(1e20, 2), "100000000T");
  EXPECT_EQ(EEngStr(1000, 2), "1.0k");
  EXPECT_EQ(EEngStr(1e6, 3), "1.00M");
  EXPECT_EQ(EEngStr(1e-3, 2), "1.0m");
  EXPECT_EQ(EEngStr(47, 2), "47");
  EXPECT_EQ(EEngStr(470, 3), "470");
  EXPECT_EQ(EEngStr(47000, -3), "47k0");
  EXPECT_EQ(EEngStr(4.7e-12, 2), "4.7p");
  EXPECT_EQ(EEngStr(4700, 1), "5k");  // no decimal point: the prefix is appended
  EXPECT_EQ(EEngStr(1e-21, 2), "0.0010a");
  EXPECT_EQ(EEngStr(-1e-300, 2), "-0." + std::string(281, '0') + "10a");  // all decimals kept
  const std::string big = EEngStr(1.5e300, 2);  // 1.5e288 tera: 289 digits, the double's exact ones
  EXPECT_EQ(big.size(), 290u);
  EXPECT_EQ(big.substr(0, 16), "1500000000000000");
  EXPECT_EQ(big.back(), 'T');
  EXPECT_EQ(EEngStr(0, 3), "0.00");
  EXPECT_EQ(EEngStr(0, 0), "0");
  EXPECT_EQ(EEngStr(4700, 30), EEngStr(4700, 9));
  EXPECT_EQ(EEngStr(-std::numeric_limits<double>::infinity(), 2), "-Inf");
}

TEST(DegreeToStr, AllFormats) {
  EXPECT_EQ(DegreeToStr(12.5, dfDecDeg, 2), "12.50" + kDeg);
  EXPECT_EQ(DegreeToStr(12.5, dfDegMin, 2), "12" + kDeg + " 30.00'");
  EXPECT_EQ(DegreeToStr(12.5, dfDegMinSec, 1), "12" + kDeg + " 30'  0.0\"");
  EXPECT_EQ(DegreeToStr(-0.5, dfDegMin, 0), "-0" + kDeg + "  30'");  // minutes 3 wide
  EXPECT_EQ(DegreeToStr(-12.25, dfDegMin, 1), "-12" + kDeg + " 15.0'");
  // 10.1 degrees = 10 deg 6 min exactly; no 5 min 60 s from binary fractions.
  EXPECT_EQ(DegreeToStr(10.1, dfDegMinSec, 0), "10" + kDeg + "  6'   0\"");
  // 59.9999 minutes round up into the next degree.
  EXPECT_EQ(DegreeToStr(1.0 + 59.9999 / 60.0, dfDegMin, 2), "2" + kDeg + "  0.00'");
  EXPECT_EQ(DegreeToStr(3.14159, dfPlain, 3), "3.142");
  EXPECT_EQ(DegreeToStr(1e306, dfDegMinSec, 0).substr(0, 4), "1000");  // too large to split
  EXPECT_EQ(DegreeToStr(std::nan(""), dfDegMin, 0), "NaN" + kDeg);
  EXPECT_EQ(DegreeToStr(-HUGE_VAL, dfPlain, 0), "-Inf");
  EXPECT_EQ(DegreeToStr(3.14159, dfPlain, 20), "3.14159000");
}

TEST(HexImages, RoundTripAndMessages) {
  EXPECT_EQ(FPNumToHex(1.0), "3FF0000000000000");
  EXPECT_EQ(FPNumToHex(-2.0f), "C0000000");
  EXPECT_EQ(FPNumToHex(1.0L), "3FFF8000000000000000");
  EXPECT_EQ(HexToDouble("3FF0000000000000"), 1.0);
  EXPECT_EQ(HexToDouble("c000000000000000"), -2.0);
  EXPECT_EQ(HexToExtended("3FFF8000000000000000"), 1.0L);
  EXPECT_EQ(HexToSingle("3F800000"), 1.0f);
  for (double x : {0.1, -1e-310, 1e308, -0.0}) {
    const double y = HexToDouble(FPNumToHex(x));
    EXPECT_EQ(std::memcmp(&x, &y, 8), 0);
  }
  const long double e = 1.0L / 3.0L;
  EXPECT_EQ(HexToExtended(FPNumToHex(e)), e);
  EXPECT_EQ(MessageOf<EQMXError>([&] { HexToDouble("3FF000000000000"); }),
            "HexToDouble: invalid hex string \"3FF000000000000\"");
  EXPECT_EQ(MessageOf<EQMXError>([&] { HexToSingle("3F80000G"); }), "HexToSingle: invalid hex string \"3F80000G\"");
  EXPECT_THROW(HexToExtended(""), EQMXError);
}

TEST(Scanners, IntegersAdvanceOnSuccessOnly) {
  int32_t pos = 0;
  EXPECT_EQ(ScanDecimal("  -123abc", pos), -123);
  EXPECT_EQ(pos, 6);
  pos = 0;
  EXPECT_EQ(ScanDecimal("2147483648", pos), 0);  // overflow
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(ScanDecimal("-2147483648", pos), std::numeric_limits<int32_t>::min());
  pos = 0;
  EXPECT_EQ(ScanDecimal("  - 5", pos), 0);
  EXPECT_EQ(pos, 0);
  pos = 3;
  EXPECT_EQ(ScanDecimal("12 34", pos), 34);
  EXPECT_EQ(pos, 5);
  pos = 9;
  EXPECT_EQ(ScanDecimal("12", pos), 0);  // index beyond the text
  EXPECT_EQ(pos, 9);
  pos = 0;
  EXPECT_EQ(ScanHex("$ff;", pos), 255);
  EXPECT_EQ(pos, 3);
  pos = 0;
  EXPECT_EQ(ScanHex("0xFFFFFFFF", pos), -1);
  pos = 0;
  EXPECT_EQ(ScanHex("000000001F", pos), 31);  // leading zeros are not significant
  pos = 0;
  EXPECT_EQ(ScanHex("100000000", pos), 0);
  EXPECT_EQ(pos, 0);
  pos = 0;
  EXPECT_EQ(ScanHex("0xg", pos), 0);  // the digit 0, then garbage
  EXPECT_EQ(pos, 1);
  pos = 0;
  EXPECT_EQ(ScanOctal("777", pos), 511);
  pos = 0;
  EXPECT_EQ(ScanOctal("40000000000", pos), 0);
  pos = 0;
  EXPECT_EQ(ScanBin("10112", pos), 11);
  EXPECT_EQ(pos, 4);
}

TEST(Scanners, FloatingPointDegreesAndDates) {
  int32_t pos = 0;
  EXPECT_EQ(ScanFPNum(" -1.5e3x", true, dpsPoint, pos), -1500.0);
  EXPECT_EQ(pos, 7);
  pos = 0;
  EXPECT_EQ(ScanFPNum("1.5e3", false, dpsPoint, pos), 1.5);
  EXPECT_EQ(pos, 3);
  pos = 0;
  EXPECT_EQ(ScanFPNum("2e", true, dpsPoint, pos), 2.0);  // "e" without digits stays
  EXPECT_EQ(pos, 1);
  pos = 0;
  EXPECT_EQ(ScanFPNum("3,25", false, dpsComma, pos), 3.25);
  pos = 0;
  EXPECT_EQ(ScanFPNum(".5", false, dpsBoth, pos), 0.5);
  pos = 0;
  EXPECT_TRUE(std::isnan(ScanFPNum("1e999", true, dpsPoint, pos)));
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(std::isnan(ScanFPNum(".", true, dpsPoint, pos)));
  EXPECT_TRUE(std::isnan(ScanFPNum("", true, dpsPoint, pos)));
  EXPECT_EQ(ScanFPNum("1e-400", true, dpsPoint, pos), 0.0);  // underflow reads as zero

  int32_t fmt = -1;
  pos = 0;
  EXPECT_DOUBLE_EQ(ScanDegrees("12" + kDeg + "30'15\" N", pos, false, fmt), 12 + 30 / 60.0 + 15 / 3600.0);
  EXPECT_EQ(fmt, dfDegMinSec);
  EXPECT_EQ(pos, 10);
  pos = 0;
  EXPECT_DOUBLE_EQ(ScanDegrees("-7d 30.5'", pos, true, fmt), -(7 + 30.5 / 60));
  EXPECT_EQ(fmt, dfDegMin);
  pos = 0;
  EXPECT_DOUBLE_EQ(ScanDegrees("45.25", pos, false, fmt), 45.25);
  EXPECT_EQ(fmt, dfDecDeg);
  fmt = -1;
  pos = 0;
  EXPECT_TRUE(std::isnan(ScanDegrees("-7", pos, false, fmt)));
  EXPECT_EQ(fmt, -1);
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(std::isnan(ScanDegrees("7d 75'", pos, false, fmt)));

  pos = 0;
  EXPECT_EQ(ScanDateTime("2000-01-01", "yyyy-mm-dd", lanEnglish, pos), 36526.0);
  pos = 0;
  EXPECT_EQ(ScanDateTime("1. M\xC3\xA4rz 2024 18:00", "d. mmm yyyy hh:nn", lanGerman, pos), 45352.75);
  pos = 0;
  EXPECT_TRUE(std::isnan(ScanDateTime("29 feb 99", "dd mmm yy", lanEnglish, pos)));
  EXPECT_EQ(pos, 0);  // 1999 is no leap year
  EXPECT_EQ(ScanDateTime("12:30", "hh:nn", lanEnglish, pos), 0.5 + 30 / 1440.0);
  pos = 0;
  EXPECT_TRUE(std::isnan(ScanDateTime("24:00", "hh:nn", lanEnglish, pos)));
}

TEST(Validators, AcceptExactlyOneToken) {
  EXPECT_TRUE(IsValidDecInt(" -42 "));
  EXPECT_FALSE(IsValidDecInt("42x"));
  EXPECT_FALSE(IsValidDecInt(""));
  EXPECT_FALSE(IsValidDecInt("   "));
  EXPECT_FALSE(IsValidDecInt("99999999999"));
  EXPECT_TRUE(IsValidHex("$7fFF"));
  EXPECT_FALSE(IsValidHex("0x"));
  EXPECT_FALSE(IsValidHex("123456789"));
  EXPECT_TRUE(IsValidOct("17"));
  EXPECT_FALSE(IsValidOct("18"));
  EXPECT_TRUE(IsValidBin("1010"));
  EXPECT_FALSE(IsValidBin("1012"));
  EXPECT_TRUE(IsValidFPNum("1.5E-3", dpsPoint));
  EXPECT_FALSE(IsValidFPNum("1,5", dpsPoint));
  EXPECT_TRUE(IsValidDouble("1,5", false, dpsBoth));
  EXPECT_FALSE(IsValidDouble("1e5", false, dpsPoint));
  EXPECT_FALSE(IsValidDouble("1e400", true, dpsPoint));
  EXPECT_FALSE(IsValidDouble("1.2.3", true, dpsPoint));
}

TEST(StrToIntDefault, ConversionOrDefault) {
  EXPECT_EQ(StrToIntDefault("", 7), 7);
  EXPECT_EQ(StrToIntDefault("-12", 7), -12);
  EXPECT_EQ(StrToIntDefault(" 12 ", 7), 12);
  EXPECT_EQ(StrToIntDefault("$10", 7), 16);
  EXPECT_EQ(StrToIntDefault("0x10", 7), 16);
  EXPECT_EQ(StrToIntDefault("0x", 7), 7);
  EXPECT_EQ(StrToIntDefault("012", 7), 12);
  EXPECT_EQ(StrToIntDefault("12a", 7), 7);
  EXPECT_EQ(StrToIntDefault("2147483648", 7), 7);
}
