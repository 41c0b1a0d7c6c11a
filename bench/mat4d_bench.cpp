// TMat4D operations on 256 x 256 x 16 x 16 values (128 MiB) against plain loops over a
// contiguous array of the same layout doing the same work, and the block file against plain
// fwrite/fread of the same bytes to the same disk. The ratio qmx / anchor is recorded in
// docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "qmx/matrix.h"

namespace {

constexpr int32_t NX = 256, NY = 256, NZ = 16, NT = 16;
constexpr std::size_t kSlice = std::size_t(NX) * NY, kN = kSlice * NZ * NT;

const std::vector<double>& Values() {
  static const std::vector<double> v = [] {
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> d(kN);
    for (double& x : d) x = u(gen);
    return d;
  }();
  return v;
}

qmx::TMat4D& Cube() {
  static qmx::TMat4D* m = [] {
    auto* c = new qmx::TMat4D;
    c->Resize(NX, NY, NZ, NT);
    std::copy(Values().begin(), Values().end(), c->Data());
    return c;
  }();
  return *m;
}

// Built before the first benchmark, so no timing includes it.
const bool kReady = (Cube(), true);

std::string BenchFile(const char* name) { return std::string("/tmp/qmx_bench_") + name; }

// ---- per-pixel statistics ----------------------------------------------------------------------

void qmx_MeanOfLayers(benchmark::State& st) {
  qmx::TMatrix d;
  for (auto _ : st) {
    Cube().MeanOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(d.Data());
  }
}
BENCHMARK(qmx_MeanOfLayers)->Unit(benchmark::kMillisecond);

void plain_MeanOfLayers(benchmark::State& st) {
  const std::vector<double>& x = Values();
  std::vector<double> acc(kSlice), out(kSlice);
  for (auto _ : st) {
    std::copy_n(x.data(), kSlice, acc.data());
    for (std::size_t s = 1; s < std::size_t(NZ) * NT; ++s) {
      const double* p = x.data() + s * kSlice;
      for (std::size_t i = 0; i < kSlice; ++i) acc[i] += p[i];
    }
    // The result column by column, as a matrix stores it.
    for (std::size_t c = 0; c < std::size_t(NX); ++c)
      for (std::size_t r = 0; r < std::size_t(NY); ++r) out[c * NY + r] = acc[r * NX + c] / (NZ * NT);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(plain_MeanOfLayers)->Unit(benchmark::kMillisecond);

void qmx_StdDevOfLayers(benchmark::State& st) {
  qmx::TMatrix d;
  for (auto _ : st) {
    Cube().StdDevOfLayersToMatrix(&d, 0, 0, 0, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(d.Data());
  }
}
BENCHMARK(qmx_StdDevOfLayers)->Unit(benchmark::kMillisecond);

void plain_StdDevOfLayers(benchmark::State& st) {
  const std::vector<double>& x = Values();
  std::vector<double> s1(kSlice), s2(kSlice), out(kSlice);
  const double n = NZ * NT;
  for (auto _ : st) {
    std::fill(s1.begin(), s1.end(), 0.0);
    std::fill(s2.begin(), s2.end(), 0.0);
    for (std::size_t s = 0; s < std::size_t(NZ) * NT; ++s) {
      const double* p = x.data() + s * kSlice;
      for (std::size_t i = 0; i < kSlice; ++i) {
        s1[i] += p[i];
        s2[i] += p[i] * p[i];
      }
    }
    for (std::size_t c = 0; c < std::size_t(NX); ++c)
      for (std::size_t r = 0; r < std::size_t(NY); ++r) {
        const double m = s1[r * NX + c] / n;
        out[c * NY + r] = std::sqrt(std::max(0.0, s2[r * NX + c] / n - m * m));
      }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(plain_StdDevOfLayers)->Unit(benchmark::kMillisecond);

// ---- reshaping and checksum -------------------------------------------------------------------

void qmx_Transpose(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(Cube().Transpose());
}
BENCHMARK(qmx_Transpose)->Unit(benchmark::kMillisecond);

// Into a new array each time, as the object's storage is replaced.
void plain_Transpose(benchmark::State& st) {
  std::vector<double> x = Values();
  for (auto _ : st) {
    std::vector<double> y(kN);
    for (std::size_t s = 0; s < std::size_t(NZ) * NT; ++s) {
      const double* a = x.data() + s * kSlice;
      double* b = y.data() + s * kSlice;
      for (std::size_t r = 0; r < std::size_t(NY); ++r)
        for (std::size_t c = 0; c < std::size_t(NX); ++c) b[c * NY + r] = a[r * NX + c];
    }
    x.swap(y);
    benchmark::DoNotOptimize(x.data());
  }
}
BENCHMARK(plain_Transpose)->Unit(benchmark::kMillisecond);

void qmx_ResampleAverage(benchmark::State& st) {
  qmx::TMat4D m;
  for (auto _ : st) {
    st.PauseTiming();
    m.Clone(&Cube());
    st.ResumeTiming();
    m.Resample(2, 0, 2, 0, 2, 0, 2, 0, true);
    benchmark::DoNotOptimize(m.Data());
  }
}
BENCHMARK(qmx_ResampleAverage)->Unit(benchmark::kMillisecond);

void plain_ResampleAverage(benchmark::State& st) {
  const std::vector<double>& x = Values();
  constexpr int32_t nx = NX / 2, ny = NY / 2, nz = NZ / 2, nt = NT / 2;
  for (auto _ : st) {
    std::vector<double> y(std::size_t(nx) * ny * nz * nt);
    for (int32_t t2 = 0; t2 < nt; ++t2)
      for (int32_t z2 = 0; z2 < nz; ++z2)
        for (int32_t y2 = 0; y2 < ny; ++y2) {
          double* d = y.data() + ((std::size_t(t2) * nz + z2) * ny + y2) * nx;
          for (int32_t t = 2 * t2; t < 2 * t2 + 2; ++t)
            for (int32_t z = 2 * z2; z < 2 * z2 + 2; ++z)
              for (int32_t yy = 2 * y2; yy < 2 * y2 + 2; ++yy) {
                const double* p = x.data() + ((std::size_t(t) * NZ + z) * NY + yy) * NX;
                for (int32_t x2 = 0; x2 < nx; ++x2) d[x2] += p[2 * x2] + p[2 * x2 + 1];
              }
          for (int32_t x2 = 0; x2 < nx; ++x2) d[x2] /= 16.0;
        }
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(plain_ResampleAverage)->Unit(benchmark::kMillisecond);

void qmx_CRCofData(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(Cube().CRCofData());
}
BENCHMARK(qmx_CRCofData)->Unit(benchmark::kMillisecond);

// The same checksum work over the contiguous array in its own order (no reordering).
void plain_CRCofArray(benchmark::State& st) {
  const std::vector<double>& x = Values();
  for (auto _ : st) benchmark::DoNotOptimize(qmx::CRCTextOf(std::span<const double>(x)));
}
BENCHMARK(plain_CRCofArray)->Unit(benchmark::kMillisecond);

// The checksum's own order written plainly: pixel by pixel, its layer-and-slot series read with
// the slice stride into a small buffer and fed to the same accumulator.
void plain_CRCVisitOrder(benchmark::State& st) {
  const std::vector<double>& x = Values();
  std::vector<double> series(std::size_t(NZ) * NT);
  for (auto _ : st) {
    qmx::TCRCAccumulator8 acc;
    for (std::size_t c = 0; c < std::size_t(NX); ++c)
      for (std::size_t r = 0; r < std::size_t(NY); ++r) {
        for (std::size_t l = 0; l < std::size_t(NZ); ++l)
          for (std::size_t t = 0; t < std::size_t(NT); ++t) series[l * NT + t] = x[(t * NZ + l) * kSlice + r * NX + c];
        acc.Add(series);
      }
    benchmark::DoNotOptimize(acc.Text());
  }
}
BENCHMARK(plain_CRCVisitOrder)->Unit(benchmark::kMillisecond);

// ---- block file -------------------------------------------------------------------------------

void qmx_SaveBinary(benchmark::State& st) {
  const std::string f = BenchFile("save.bin");
  for (auto _ : st) Cube().SaveBinary(f, 0, 0);
  std::remove(f.c_str());
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kN * 8));
}
BENCHMARK(qmx_SaveBinary)->Unit(benchmark::kMillisecond);

void plain_fwrite(benchmark::State& st) {
  const std::string f = BenchFile("fwrite.bin");
  const std::vector<double>& x = Values();
  std::vector<char> header(4096, 0);
  for (auto _ : st) {
    std::FILE* o = std::fopen(f.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), o);
    std::fwrite(x.data(), 8, x.size(), o);
    std::fclose(o);
  }
  std::remove(f.c_str());
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kN * 8));
}
BENCHMARK(plain_fwrite)->Unit(benchmark::kMillisecond);

void qmx_LoadBinary(benchmark::State& st) {
  const std::string f = BenchFile("load.bin");
  Cube().SaveBinary(f, 0, 0);
  qmx::TMat4D m;
  for (auto _ : st) {
    m.LoadBinary(f, 0, 0);
    benchmark::DoNotOptimize(m.Data());
  }
  std::remove(f.c_str());
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kN * 8));
}
BENCHMARK(qmx_LoadBinary)->Unit(benchmark::kMillisecond);

// Into a new array each time: a load that fails must leave the object as it was.
void plain_fread(benchmark::State& st) {
  const std::string f = BenchFile("load.bin");
  Cube().SaveBinary(f, 0, 0);
  for (auto _ : st) {
    std::vector<double> y(kN);
    std::FILE* i = std::fopen(f.c_str(), "rb");
    std::fseek(i, 4096, SEEK_SET);
    benchmark::DoNotOptimize(std::fread(y.data(), 8, y.size(), i));
    std::fclose(i);
    benchmark::DoNotOptimize(y.data());
  }
  std::remove(f.c_str());
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kN * 8));
}
BENCHMARK(plain_fread)->Unit(benchmark::kMillisecond);

long long ReadBytesSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long v = 0;
  while (io >> key >> v)
    if (key == "rchar:") return v;
  return -1;
}

// One layer of one time slot: 65536 values = 128 blocks of the file's 32769.
void qmx_ReadLayer(benchmark::State& st) {
  const std::string f = BenchFile("layer.bin");
  Cube().SaveBinary(f, 0, 0);
  qmx::TDouble2DArray d;
  long long bytes = 0;
  for (auto _ : st) {
    const long long r0 = ReadBytesSoFar();
    Cube().ReadLayer(f, 7, 9, d);
    bytes = ReadBytesSoFar() - r0;
  }
  std::remove(f.c_str());
  st.counters["bytes_read"] = double(bytes);
  st.counters["layer_bytes"] = double(kSlice * 8 + 4096);
}
BENCHMARK(qmx_ReadLayer)->Unit(benchmark::kMillisecond);

void qmx_Memory(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(Cube().MemoryConsumed());
  st.counters["bytes_per_value"] = double(Cube().NrOfElements() * sizeof(double)) / double(kN);
  st.counters["object_bytes"] = double(sizeof(qmx::TMat4D));
}
BENCHMARK(qmx_Memory);

}  // namespace

BENCHMARK_MAIN();
