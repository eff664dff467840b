// One frame of the cloth as the renderer runs it, and its two halves.
#include <benchmark/benchmark.h>

#include "sim_test_support.h"

namespace {

constexpr double kSixtiethSecond = 1.0 / 60.0;

void BM_ClothFrame(benchmark::State& state) {
  TestSimulation sim(50);
  sim.runFrames(300, kSixtiethSecond);  // past calibration, into a moving cloth
  for (auto _ : state) {
    sim.runFrame(kSixtiethSecond);
    benchmark::DoNotOptimize(sim.vertexBuffer.get());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ClothFrame);

void BM_StepCloth(benchmark::State& state) {
  TestSimulation sim(50);
  sim.runFrames(300, kSixtiethSecond);
  for (auto _ : state) {
    stepCloth(sim.grid, sim.calibration, sim.wind, sim.timer, sim.rng, false);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StepCloth);

void BM_UpdateClothNormals(benchmark::State& state) {
  TestSimulation sim(50);
  sim.runFrames(300, kSixtiethSecond);
  for (auto _ : state) {
    updateClothNormals(sim.grid, sim.wind.windVector);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UpdateClothNormals);

}  // namespace
