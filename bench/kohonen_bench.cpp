// TKohonen training epoch against a plain cell-by-cell loop of the same arithmetic (single-
// threaded, same compiler flags). The ratio qmx / plain is recorded in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "../tests/kohonen/som_reference.h"
#include "qmx/kohonen.h"

namespace {

// A 20 x 20 map of 10 variables, 10000 objects uniform in [-1, 1).
constexpr int32_t kSide = 20, kVars = 10, kObjects = 10000;
// A schedule so long that every timed epoch runs at nearly the initial rate and radius.
constexpr int32_t kSteps = 1000000000;

std::vector<std::vector<double>> Rows() {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<std::vector<double>> rows(kObjects, std::vector<double>(kVars));
  for (auto& r : rows)
    for (double& v : r) v = u(g);
  return rows;
}

void qmx_TKohonenEpoch(benchmark::State& st) {
  const auto rows = Rows();
  qmx::TMatrix d;
  d.Resize(kVars, kObjects);
  for (int32_t r = 0; r < kObjects; ++r)
    for (int32_t c = 0; c < kVars; ++c) d.Cell(c + 1, r + 1) = rows[r][c];
  qmx::TKohonen k;
  k.SetTrainData(&d);
  k.SetSizeX(kSide);
  k.SetSizeY(kSide);
  k.SetNrOfTrnSteps(kSteps);
  qmx::RandSeed(1);
  k.SetWeigtsToRandom();
  // One epoch per call: the feedback after the epoch stops the training.
  k.OnFeedback = [&k](qmx::TObject*, int32_t) { k.AbortTraining(); };
  for (auto _ : st) {
    k.ContinueTraining();
    benchmark::DoNotOptimize(k.KohMat().Data());
  }
  st.counters["radius"] = k.CurNeighb();
}
BENCHMARK(qmx_TKohonenEpoch)->Unit(benchmark::kMillisecond);

// The anchor: the same epoch written cell by cell on an array holding each cell's weights
// together (the search and the window recompute every distance).
void plain_SomEpoch(benchmark::State& st) {
  const auto rows = Rows();
  somref::Map m;
  m.nx = m.ny = kSide;
  m.nv = kVars;
  m.maxSteps = kSteps;
  m.w.resize(static_cast<std::size_t>(kSide) * kSide * kVars);
  qmx::RandSeed(1);
  for (double& w : m.w) w = (qmx::RandomUniform() - 0.5) * 0.2;
  for (auto _ : st) {
    somref::Continue(m, rows, [](int) { return true; });
    benchmark::DoNotOptimize(m.w.data());
  }
}
BENCHMARK(plain_SomEpoch)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
