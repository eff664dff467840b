// What the simulation tests share: a forced random draw, and a whole cloth
// simulation, the record that the program keeps in its AppState, here owned
// by the test with its own cloth storage and a stand-in vertex buffer, driven
// by a simulated counter.
#pragma once

#include <cmath>
#include <cstring>
#include <memory>

#include "sim/simulation.h"

// Makes the next randomUniform return exactly value (a multiple of 2^-24):
// the table difference at the lag indices is value and the sequence term
// steps down to zero.
inline void forceNextDraw(RandomGenerator& rng, float value) {
  rng.lagI = 97;
  rng.lagJ = 33;
  rng.table[97] = value;
  rng.table[33] = 0.0f;
  rng.term = rng.termStep;
}

struct TestSimulation {
  static constexpr int64_t kFrequency = 1000000000;

  std::unique_ptr<ClothStorage> storage = std::make_unique<ClothStorage>();
  std::unique_ptr<FlagVertex[]> vertexBuffer = std::make_unique<FlagVertex[]>(kClothVertexCount);
  SimState state;
  // The program's names for the parts of the record.
  ClothGrid& grid = state.cloth;
  StepCalibration& calibration = state.calibration;
  WindState& wind = state.wind;
  FrameTimer& timer = state.timer;
  RandomGenerator& rng = state.random;
  bool& isPreview = state.isPreview;
  int64_t counter = 0;

  explicit TestSimulation(int windPower = 50, uint32_t seedIJ = 0, uint32_t seedKL = 0) {
    attachClothStorage(grid, *storage);
    seedRandom(rng, seedIJ, seedKL);
    configureSimulation(state, windPower, false);
    startSimulationAt(state, counter, kFrequency);
  }

  void runFrame(double frameSeconds) {
    counter += static_cast<int64_t>(std::llround(frameSeconds * kFrequency));
    runSimulationFrameAt(state, counter, vertexBuffer.get());
  }

  void runFrames(int frames, double frameSeconds) {
    for (int n = 0; n < frames; ++n) runFrame(frameSeconds);
  }
};
