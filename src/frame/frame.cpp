#include "qmx/frame.h"

#include "frame/hexdigits.h"

#include <array>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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
  std::string s(static_cast<std::size_t>(n) * 8, '0');
  for (int k = 0; k < n; ++k)
    frame_detail::WriteHexDigits(acc[k] ^ 0xFFFFFFFFu, 8, s.data() + static_cast<std::size_t>(k) * 8);
  return s;
}
}  // namespace

TCRCAccumulator8::TCRCAccumulator8() noexcept {
  for (auto& a : FAcc) a = 0xFFFFFFFFu;
}

namespace {

void Crc8Table(const double* v, std::size_t n, uint32_t* acc) noexcept {
  // The eight accumulators are independent chains; keeping them in registers lets the CPU
  // overlap their table lookups.
  uint32_t a0 = acc[0], a1 = acc[1], a2 = acc[2], a3 = acc[3];
  uint32_t a4 = acc[4], a5 = acc[5], a6 = acc[6], a7 = acc[7];
  const uint32_t* T = kCRC32Table.data();
  for (std::size_t i = 0; i < n; ++i) {
    uint64_t b;
    std::memcpy(&b, v + i, 8);
    a0 = T[(a0 ^ b) & 0xFF] ^ (a0 >> 8);
    a1 = T[(a1 ^ (b >> 8)) & 0xFF] ^ (a1 >> 8);
    a2 = T[(a2 ^ (b >> 16)) & 0xFF] ^ (a2 >> 8);
    a3 = T[(a3 ^ (b >> 24)) & 0xFF] ^ (a3 >> 8);
    a4 = T[(a4 ^ (b >> 32)) & 0xFF] ^ (a4 >> 8);
    a5 = T[(a5 ^ (b >> 40)) & 0xFF] ^ (a5 >> 8);
    a6 = T[(a6 ^ (b >> 48)) & 0xFF] ^ (a6 >> 8);
    a7 = T[(a7 ^ (b >> 56)) & 0xFF] ^ (a7 >> 8);
  }
  acc[0] = a0; acc[1] = a1; acc[2] = a2; acc[3] = a3;
  acc[4] = a4; acc[5] = a5; acc[6] = a6; acc[7] = a7;
}

#if defined(__x86_64__) || defined(__i386__)
#define QMX_HAVE_CLMUL_CRC 1

// Transposes 8 elements (64 bytes) into four registers holding byte lanes (0,1), (2,3), (4,5)
// and (6,7), 8 bytes per lane.
__attribute__((target("pclmul,sse4.1"))) inline void Transpose8(const uint8_t* q, __m128i out[4]) {
  __m128i r[8];
  for (int j = 0; j < 8; ++j) r[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 8 * j));
  __m128i t0 = _mm_unpacklo_epi8(r[0], r[1]), t1 = _mm_unpacklo_epi8(r[2], r[3]);
  __m128i t2 = _mm_unpacklo_epi8(r[4], r[5]), t3 = _mm_unpacklo_epi8(r[6], r[7]);
  __m128i u0 = _mm_unpacklo_epi16(t0, t1), u1 = _mm_unpackhi_epi16(t0, t1);
  __m128i u2 = _mm_unpacklo_epi16(t2, t3), u3 = _mm_unpackhi_epi16(t2, t3);
  out[0] = _mm_unpacklo_epi32(u0, u2);
  out[1] = _mm_unpackhi_epi32(u0, u2);
  out[2] = _mm_unpacklo_epi32(u1, u3);
  out[3] = _mm_unpackhi_epi32(u1, u3);
}

// 16 elements give each accumulator a 16-byte message block; each lane is then folded with
// carry-less multiplication (the standard CRC-32 folding constants) and reduced by Barrett
// reduction. Gives exactly the bytewise result.
__attribute__((target("pclmul,sse4.1"))) std::size_t Crc8Clmul(const double* v, std::size_t n,
                                                               uint32_t* acc) noexcept {
  const std::size_t blocks = n / 16;
  if (blocks == 0) return 0;
  const __m128i R4R3 = _mm_set_epi64x(0x00ccaa009eLL, 0x1751997d0LL);
  const __m128i R5 = _mm_set_epi64x(0, 0x163cd6124LL);
  const __m128i RU = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  const auto* p = reinterpret_cast<const uint8_t*>(v);
  auto load = [](const uint8_t* q, __m128i d[8]) {
    __m128i a[4], b[4];
    Transpose8(q, a);
    Transpose8(q + 64, b);
    for (int j = 0; j < 4; ++j) {
      d[2 * j] = _mm_unpacklo_epi64(a[j], b[j]);
      d[2 * j + 1] = _mm_unpackhi_epi64(a[j], b[j]);
    }
  };
  __m128i x[8], d[8];
  load(p, d);
  for (int k = 0; k < 8; ++k) x[k] = _mm_xor_si128(d[k], _mm_cvtsi32_si128(static_cast<int>(acc[k])));
  for (std::size_t b = 1; b < blocks; ++b) {
    load(p + 128 * b, d);
    for (int k = 0; k < 8; ++k) {
      __m128i lo = _mm_clmulepi64_si128(x[k], R4R3, 0x00);
      __m128i hi = _mm_clmulepi64_si128(x[k], R4R3, 0x11);
      x[k] = _mm_xor_si128(_mm_xor_si128(lo, hi), d[k]);
    }
  }
  for (int k = 0; k < 8; ++k) {
    __m128i y = x[k];
    __m128i t = _mm_clmulepi64_si128(y, R4R3, 0x10);
    y = _mm_xor_si128(_mm_srli_si128(y, 8), t);
    __m128i y2 = _mm_srli_si128(y, 4);
    y = _mm_clmulepi64_si128(_mm_and_si128(y, mask32), R5, 0x00);
    y = _mm_xor_si128(y, y2);
    y2 = y;
    y = _mm_clmulepi64_si128(_mm_and_si128(y, mask32), RU, 0x10);
    y = _mm_clmulepi64_si128(_mm_and_si128(y, mask32), RU, 0x00);
    y = _mm_xor_si128(y, y2);
    acc[k] = static_cast<uint32_t>(_mm_extract_epi32(y, 1));
  }
  return blocks * 16;
}

bool HaveClmul() noexcept {
  static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}
#endif

}  // namespace

void TCRCAccumulator8::Add(std::span<const double> Values) noexcept {
  std::size_t done = 0;
#ifdef QMX_HAVE_CLMUL_CRC
  if (HaveClmul()) done = Crc8Clmul(Values.data(), Values.size(), FAcc);
#endif
  Crc8Table(Values.data() + done, Values.size() - done, FAcc);
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

namespace {

// A zero byte changes a CRC register linearly over GF(2): a' = T[a & 0xFF] ^ (a >> 8). Its
// 32 x 32 matrix (column j = image of bit j), squared repeatedly, gives the effect of 2^k zero
// bytes, so a run of n zeros costs one matrix-vector product per set bit of n.
using TGF2Matrix = std::array<uint32_t, 32>;

uint32_t GF2Apply(const TGF2Matrix& M, uint32_t v) noexcept {
  uint32_t r = 0;
  for (int j = 0; v != 0; ++j, v >>= 1)
    if (v & 1u) r ^= M[static_cast<std::size_t>(j)];
  return r;
}

const std::array<TGF2Matrix, 64>& ZeroRunOperators() {
  static const std::array<TGF2Matrix, 64> ops = [] {
    std::array<TGF2Matrix, 64> o{};
    for (uint32_t j = 0; j < 32; ++j) {
      const uint32_t a = 1u << j;
      o[0][j] = kCRC32Table[a & 0xFFu] ^ (a >> 8);
    }
    for (std::size_t k = 1; k < 64; ++k)
      for (std::size_t j = 0; j < 32; ++j) o[k][j] = GF2Apply(o[k - 1], o[k - 1][j]);
    return o;
  }();
  return ops;
}

}  // namespace

void TCRCAccumulator4::AddZeros(uint64_t Count) noexcept {
  if (Count <= 64) {  // short runs: the plain steps are cheaper than the operators
    for (uint64_t i = 0; i < Count; ++i)
      for (auto& a : FAcc) a = kCRC32Table[a & 0xFFu] ^ (a >> 8);
    return;
  }
  const auto& ops = ZeroRunOperators();
  for (std::size_t k = 0; Count != 0; ++k, Count >>= 1)
    if (Count & 1u)
      for (auto& a : FAcc) a = GF2Apply(ops[k], a);
}

std::string TCRCAccumulator4::Text() const { return HexText(FAcc, 4); }

}  // namespace qmx
