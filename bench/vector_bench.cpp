// Vector benchmarks against plain anchors: the checksum against zlib's crc32 and a slicing-by-8
// CRC-32 over the same bytes, moments against a plain loop, order statistics against
// std::nth_element. qmx_<Op> pairs with <anchor>_<Op> (bench/report.py).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_util.h"
#include "qmx/vector.h"

#if __has_include(<zlib.h>)
#include <zlib.h>
#define QMX_HAVE_ZLIB 1
#endif

namespace {

constexpr int32_t kCrcElems = 8 * 1024 * 1024;  // 64 MiB of doubles
constexpr int32_t kStatElems = 1000000;

qmx::TVector& RandomVector(int32_t n) {
  static qmx::TVector crcVec, statVec;
  qmx::TVector& v = n == kCrcElems ? crcVec : statVec;
  if (v.NrOfElem() != n) {
    qmx::RandSeed(42);
    v.Resize(n);
    v.FillRandomUniform(-1000, 1000);
  }
  return v;
}

void qmx_CRC(benchmark::State& st) {
  auto& v = RandomVector(kCrcElems);
  for (auto _ : st) benchmark::DoNotOptimize(v.CRCofData());
  st.SetBytesProcessed(int64_t(st.iterations()) * kCrcElems * 8);
}
BENCHMARK(qmx_CRC)->Unit(benchmark::kMillisecond);

#ifdef QMX_HAVE_ZLIB
void zlib_CRC(benchmark::State& st) {
  auto& v = RandomVector(kCrcElems);
  const auto* bytes = reinterpret_cast<const Bytef*>(v.Data().data());
  for (auto _ : st) benchmark::DoNotOptimize(crc32(0L, bytes, static_cast<uInt>(kCrcElems) * 8u));
  st.SetBytesProcessed(int64_t(st.iterations()) * kCrcElems * 8);
}
BENCHMARK(zlib_CRC)->Unit(benchmark::kMillisecond);
#endif

// Slicing-by-8 CRC-32 (reflected 0xEDB88320, as zlib's), built here with the same flags.
struct Slice8Tables {
  uint32_t t[8][256];
  Slice8Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  }
};

uint32_t Crc32Slice8(const uint8_t* p, std::size_t n) {
  static const Slice8Tables tab;
  const auto& t = tab.t;
  uint32_t c = 0xFFFFFFFFu;
  for (; n >= 8; n -= 8, p += 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= c;
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; n > 0; --n, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void slice8_CRC(benchmark::State& st) {
  auto& v = RandomVector(kCrcElems);
  const auto* bytes = reinterpret_cast<const uint8_t*>(v.Data().data());
#ifdef QMX_HAVE_ZLIB
  if (Crc32Slice8(bytes, 4099) != crc32(0L, bytes, 4099u)) st.SkipWithError("slice-by-8 differs");
#endif
  for (auto _ : st) benchmark::DoNotOptimize(Crc32Slice8(bytes, std::size_t(kCrcElems) * 8));
  st.SetBytesProcessed(int64_t(st.iterations()) * kCrcElems * 8);
}
BENCHMARK(slice8_CRC)->Unit(benchmark::kMillisecond);

void qmx_MeanVar(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  double m, var;
  for (auto _ : st) {
    v.MeanVar(0, 0, m, var);
    benchmark::DoNotOptimize(m);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(qmx_MeanVar)->Unit(benchmark::kMicrosecond);

// The same work as a plain loop: sum and sum of squares, then the two formulas.
void plain_MeanVar(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  const double* x = v.Data().data();
  for (auto _ : st) {
    double s = 0, q = 0;
    for (int32_t i = 0; i < kStatElems; ++i) {
      s += x[i];
      q += x[i] * x[i];
    }
    double m = s / kStatElems, var = (q - s * s / kStatElems) / (kStatElems - 1);
    benchmark::DoNotOptimize(m);
    benchmark::DoNotOptimize(var);
  }
}
BENCHMARK(plain_MeanVar)->Unit(benchmark::kMicrosecond);

void qmx_Percentile(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  for (auto _ : st) benchmark::DoNotOptimize(v.Percentile(37.5, 0, 0));
}
BENCHMARK(qmx_Percentile)->Unit(benchmark::kMicrosecond);

// Copy, select x(k+1), take the least of the rest for x(k+2), interpolate.
void std_Percentile(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  std::vector<double> w;
  for (auto _ : st) {
    w.assign(v.Data().begin(), v.Data().end());
    const double p = 37.5 * (kStatElems - 1) / 100.0;
    const auto k = static_cast<std::size_t>(p);
    std::nth_element(w.begin(), w.begin() + k, w.end());
    const double a = w[k], b = *std::min_element(w.begin() + k + 1, w.end());
    benchmark::DoNotOptimize(a + (p - k) * (b - a));
  }
}
BENCHMARK(std_Percentile)->Unit(benchmark::kMicrosecond);

void qmx_Quartiles(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  double q1, q2, q3;
  for (auto _ : st) {
    v.Quartiles(0, 0, q1, q2, q3);
    benchmark::DoNotOptimize(q1 + q2 + q3);
  }
}
BENCHMARK(qmx_Quartiles)->Unit(benchmark::kMicrosecond);

void stdthree_Quartiles(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  std::vector<double> w;
  for (auto _ : st) {
    w.assign(v.Data().begin(), v.Data().end());
    double q[3];
    for (int j = 0; j < 3; ++j) {
      const double p = (kStatElems + 1.0) * 0.25 * (j + 1);
      const auto k = static_cast<std::size_t>(p);  // 1-based x(k)
      std::nth_element(w.begin(), w.begin() + (k - 1), w.end());
      const double a = w[k - 1], b = *std::min_element(w.begin() + k, w.end());
      q[j] = a + (p - k) * (b - a);
    }
    benchmark::DoNotOptimize(q[0] + q[1] + q[2]);
  }
}
BENCHMARK(stdthree_Quartiles)->Unit(benchmark::kMicrosecond);

// The cheapest correct anchor: the median first, then each outer quartile selected only in its
// half; each x(k + 1) is the least element above x(k) within the part already split off.
void std_Quartiles(benchmark::State& st) {
  auto& v = RandomVector(kStatElems);
  std::vector<double> w(v.Data().size());
  const std::size_t n = w.size();
  std::size_t r[3];
  double f[3];
  for (int j = 0; j < 3; ++j) {
    const double p = (kStatElems + 1.0) * 0.25 * (j + 1);
    r[j] = static_cast<std::size_t>(p) - 1;  // 0-based x(k)
    f[j] = p - std::floor(p);
  }
  for (auto _ : st) {
    std::copy(v.Data().begin(), v.Data().end(), w.begin());
    const auto b = w.begin();
    std::nth_element(b, b + r[1], b + n);
    const double a2 = w[r[1]], b2 = *std::min_element(b + r[1] + 1, b + n);
    std::nth_element(b, b + r[0], b + r[1]);
    const double a1 = w[r[0]], b1 = *std::min_element(b + r[0] + 1, b + r[1] + 1);
    std::nth_element(b + r[1] + 1, b + r[2], b + n);
    const double a3 = w[r[2]], b3 = *std::min_element(b + r[2] + 1, b + n);
    benchmark::DoNotOptimize(a1 + f[0] * (b1 - a1) + a2 + f[1] * (b2 - a2) + a3 + f[2] * (b3 - a3));
  }
}
BENCHMARK(std_Quartiles)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
