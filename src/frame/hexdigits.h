// Upper-case hexadecimal digits of a 32-bit pattern, shared by the checksum text and the number
// texts of math1 (Hex, FPNumToHex).
#pragma once

#include <cstdint>

namespace qmx::frame_detail {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The n lowest hexadecimal digits of v (n <= 8), most significant first, written to out[0..n-1].
inline void WriteHexDigits(uint32_t v, int n, char* out) noexcept {
  for (int d = n - 1; d >= 0; --d) {
    out[d] = kHexDigits[v & 0xFu];
    v >>= 4;
  }
}

}  // namespace qmx::frame_detail
