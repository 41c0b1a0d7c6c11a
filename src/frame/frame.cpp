#include "qmx/frame.h"

#include <array>
#include <cstring>
#include <utility>

namespace qmx {

extern const std::array<uint32_t, 256> kCRC32Table;

std::string ComponentMessage(const TComponent* C, const std::string& Tail) {
  return "Component \"" + (C ? C->Name() : std::string()) + "\"" + Tail;
}

void MakeValidRange(int32_t N, int32_t& Low, int32_t& High) noexcept {
  if (Low == 0 && High == 0) {
    Low = 1;
    High = N;
    return;
  }
  if (Low < 1) Low = 1;
  if (Low > N) Low = N;
  if (High < 1) High = 1;
  if (High > N) High = N;
  if (High < Low) std::swap(Low, High);
}

namespace {
std::string HexText(const uint32_t* acc, int n) {
  static const char* digits = "0123456789ABCDEF";
  std::string s(static_cast<std::size_t>(n) * 8, '0');
  for (int k = 0; k < n; ++k) {
    uint32_t v = acc[k] ^ 0xFFFFFFFFu;
    for (int d = 7; d >= 0; --d) {
      s[static_cast<std::size_t>(k * 8 + d)] = digits[v & 0xFu];
      v >>= 4;
    }
  }
  return s;
}
}  // namespace

TCRCAccumulator8::TCRCAccumulator8() noexcept {
  for (auto& a : FAcc) a = 0xFFFFFFFFu;
}

void TCRCAccumulator8::Add(std::span<const double> Values) noexcept {
  // The eight accumulators are independent chains; keeping them in registers lets the CPU
  // overlap their table lookups.
  uint32_t a0 = FAcc[0], a1 = FAcc[1], a2 = FAcc[2], a3 = FAcc[3];
  uint32_t a4 = FAcc[4], a5 = FAcc[5], a6 = FAcc[6], a7 = FAcc[7];
  const uint32_t* T = kCRC32Table.data();
  for (double v : Values) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    a0 = T[(a0 ^ b) & 0xFF] ^ (a0 >> 8);
    a1 = T[(a1 ^ (b >> 8)) & 0xFF] ^ (a1 >> 8);
    a2 = T[(a2 ^ (b >> 16)) & 0xFF] ^ (a2 >> 8);
    a3 = T[(a3 ^ (b >> 24)) & 0xFF] ^ (a3 >> 8);
    a4 = T[(a4 ^ (b >> 32)) & 0xFF] ^ (a4 >> 8);
    a5 = T[(a5 ^ (b >> 40)) & 0xFF] ^ (a5 >> 8);
    a6 = T[(a6 ^ (b >> 48)) & 0xFF] ^ (a6 >> 8);
    a7 = T[(a7 ^ (b >> 56)) & 0xFF] ^ (a7 >> 8);
  }
  FAcc[0] = a0; FAcc[1] = a1; FAcc[2] = a2; FAcc[3] = a3;
  FAcc[4] = a4; FAcc[5] = a5; FAcc[6] = a6; FAcc[7] = a7;
}

std::string TCRCAccumulator8::Text() const { return HexText(FAcc, 8); }

TCRCAccumulator4::TCRCAccumulator4() noexcept {
  for (auto& a : FAcc) a = 0xFFFFFFFFu;
}

void TCRCAccumulator4::Add(std::span<const int32_t> Values) noexcept {
  uint32_t a0 = FAcc[0], a1 = FAcc[1], a2 = FAcc[2], a3 = FAcc[3];
  const uint32_t* T = kCRC32Table.data();
  for (int32_t v : Values) {
    auto b = static_cast<uint32_t>(v);
    a0 = T[(a0 ^ b) & 0xFF] ^ (a0 >> 8);
    a1 = T[(a1 ^ (b >> 8)) & 0xFF] ^ (a1 >> 8);
    a2 = T[(a2 ^ (b >> 16)) & 0xFF] ^ (a2 >> 8);
    a3 = T[(a3 ^ (b >> 24)) & 0xFF] ^ (a3 >> 8);
  }
  FAcc[0] = a0; FAcc[1] = a1; FAcc[2] = a2; FAcc[3] = a3;
}

std::string TCRCAccumulator4::Text() const { return HexText(FAcc, 4); }

}  // namespace qmx
