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

}  // namespace qmx
