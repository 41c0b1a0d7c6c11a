// qmx num VALUE [--hex|--oct|--bin|--roman|--eng DIGITS|--deg FORMAT] | --from-hex TEXT: number
// texts of one value, or the value of a hexadecimal float image.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "command.h"
#include "qmx/math1.h"

namespace {

using namespace qmxtool;

struct Options {
  std::string value, fromHex;
  bool hex = false, oct = false, bin = false, roman = false;
  int eng = 0, deg = -1, decimals = 2;
  bool engGiven = false;
};

// The value as a 32-bit integer for the digit forms; false when it is not one.
bool AsInt(double v, int32_t& i) {
  if (!(v == std::trunc(v) && v >= -2147483648.0 && v <= 2147483647.0)) return false;
  i = static_cast<int32_t>(v);
  return true;
}

int FromHex(const std::string& text) {
  long double v;
  const char* kind;
  try {
    if (text.size() == 8) v = qmx::HexToSingle(text), kind = "single";
    else if (text.size() == 20) v = qmx::HexToExtended(text), kind = "extended";
    else v = qmx::HexToDouble(text), kind = "double";
  } catch (const qmx::EQMXError& e) {
    return Fail(e.what());
  }
  if (JsonOutput()) {
    Json j = Json::Object();
    j.Set("hex", text);
    j.Set("type", kind);
    j.Set("value", v);
    PrintJson(j);
  } else {
    std::printf("%.21Lg\n", v);
  }
  return 0;
}

int Num(const Options& o) {
  if (!o.fromHex.empty()) return FromHex(o.fromHex);
  if (o.value.empty()) return Fail("a VALUE or --from-hex TEXT is required");
  if (!qmx::IsValidDouble(o.value, true, qmx::dpsPoint)) return Fail("bad number \"" + o.value + "\"");
  int32_t pos = 0;
  const double x = qmx::ScanFPNum(o.value, true, qmx::dpsPoint, pos);
  int32_t i = 0;
  const bool isInt = AsInt(x, i);
  const bool intForm = o.hex || o.oct || o.bin || o.roman;
  if (intForm && !isInt) return Fail("\"" + o.value + "\" is not a 32-bit integer");
  if (o.roman && (i <= 0 || i >= 30000)) return Fail("Roman numerals cover 1 to 29999");
  if (o.deg > 3) return Fail("--deg FORMAT is 0 (degrees), 1 (minutes), 2 (seconds) or 3 (plain)");

  Json j = Json::Object();
  j.Set("value", x);
  auto put = [&](const char* key, const char* label, const std::string& s) {
    j.Set(key, s);
    if (!JsonOutput()) std::printf("  %-12s %s\n", label, s.c_str());
  };
  const bool all = !intForm && !o.engGiven && o.deg < 0;
  if (o.hex || (all && isInt)) put("hex", "hex", qmx::Hex(i, 8));
  if (o.oct || (all && isInt)) put("octal", "octal", qmx::Octal(i, 11));
  if (o.bin || (all && isInt)) put("binary", "binary", qmx::Bin(i, 32));
  if (o.roman || (all && isInt && i > 0 && i < 30000)) put("roman", "Roman", qmx::Roman(i));
  if (o.engGiven || all) put("engineering", "engineering", qmx::EEngStr(x, o.engGiven ? o.eng : 3));
  if (o.deg >= 0) put("degrees", "degrees", qmx::DegreeToStr(x, static_cast<qmx::TDegreeFormat>(o.deg), o.decimals));
  if (all) {
    put("scientific", "scientific", qmx::strf(x, 20, -1));
    put("e_format", "E format", qmx::MakeEFormat(x, 16, 8));
    put("degrees", "degrees", qmx::DegreeToStr(x, qmx::dfDegMinSec, o.decimals));
    put("double_hex", "double image", qmx::FPNumToHex(x));
  }
  if (JsonOutput()) PrintJson(j);
  return 0;
}

Runner Setup(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("value", o->value, "the number");
  app.add_flag("--hex", o->hex, "hexadecimal digits of the 32-bit pattern");
  app.add_flag("--oct", o->oct, "octal digits of the 32-bit pattern");
  app.add_flag("--bin", o->bin, "base-2 digits of the 32-bit pattern");
  app.add_flag("--roman", o->roman, "Roman numeral (1 to 29999)");
  app.add_option("--eng", o->eng, "engineering notation with DIGITS significant digits (negative: prefix as point)")
      ->check(CLI::Range(-9, 9))
      ->each([o](const std::string&) { o->engGiven = true; });
  app.add_option("--deg", o->deg, "angle text: 0 degrees, 1 minutes, 2 seconds, 3 plain")->check(CLI::Range(0, 3));
  app.add_option("--decimals", o->decimals, "decimals of the angle text (0 to 8)")->check(CLI::Range(0, 8));
  app.add_option("--from-hex", o->fromHex, "value of a float image: 8, 16 or 20 hexadecimal digits");
  return [o] { return Num(*o); };
}

int Demo() {
  std::cout << "== number texts\n";
  std::printf("  Hex(255, 4) %s   Octal(8, 3) %s   Bin(5, 8) %s   Roman(1994) %s\n", qmx::Hex(255, 4).c_str(),
              qmx::Octal(8, 3).c_str(), qmx::Bin(5, 8).c_str(), qmx::Roman(1994).c_str());
  std::printf("  EEngStr 4700 -> %s, %s   0.0022 -> %s   1000 -> %s\n", qmx::EEngStr(4700, 2).c_str(),
              qmx::EEngStr(4700, -2).c_str(), qmx::EEngStr(0.0022, 2).c_str(), qmx::EEngStr(1000, 2).c_str());
  std::printf("  strf(1234.5, 12, -1) '%s'   MakeEFormat(1234, 12, 4) '%s'\n", qmx::strf(1234.5, 12, -1).c_str(),
              qmx::MakeEFormat(1234, 12, 4).c_str());
  std::printf("  DegreeToStr(12.5, 2, 1) %s   FPNumToHex(1.0) %s\n", qmx::DegreeToStr(12.5, qmx::dfDegMinSec, 1).c_str(),
              qmx::FPNumToHex(1.0).c_str());
  return 0;
}

QmxCommand reg("num", "number texts: hex, octal, binary, Roman, engineering, degrees, float images", Setup, 71, Demo);

}  // namespace
