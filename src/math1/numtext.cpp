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
    v = Bits < 32 ? v >> Bits : 0;
  }
  return s;
}

int DigitCount(uint8_t NumDigits, int Max) {
  if (NumDigits == 0) return 1;
  return NumDigits > Max ? Max : NumDigits;
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

}  // namespace qmx
