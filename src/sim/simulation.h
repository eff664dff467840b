// The flag simulation as the program runs it: one record that lives for the
// process, its set-up and one frame. The saver, flagsim, the benchmarks and
// the tests all run frames through runSimulationFrame.
#pragma once

#include <cstdint>

#include "sim/cloth_dynamics.h"
#include "sim/cloth_grid.h"
#include "sim/frame_timer.h"
#include "sim/random.h"
#include "sim/wind.h"

// The random generator, wind, step calibration and timer carry over when the
// scene is rebuilt; the cloth's arrays belong to whoever attached them.
struct SimState {
  RandomGenerator random;
  ClothGrid cloth;
  StepCalibration calibration;
  WindState wind;
  FrameTimer timer;
  bool isPreview = false;  // the preview steps 0.7 times as far
};

// What the simulation takes from the settings and the command line; the host
// hands them over at start-up and after every settings reload. windPower is
// the stored "[Wind Power]" (0 … 100; other values count as the nearer end).
void configureSimulation(SimState& sim, int windPower, bool isPreview);

// Lays the attached cloth out flat (and its triangle list when cloth.indices
// is set), runs its first normal pass and starts the timer at count now.
void startSimulationAt(SimState& sim, int64_t now, int64_t frequency);

// One frame ending at count now: tick, step size, wind, springs, integration,
// pole; then the stepped vertices are copied into drawn (when not null: the
// vertex buffer; their shading is the previous normal pass's, which the
// dynamics are tuned for); then the normal pass for the next step.
void runSimulationFrameAt(SimState& sim, int64_t now, FlagVertex* drawn);
// The same at the platform's counter now (clock_win.cpp, clock_native.cpp).
void runSimulationFrame(SimState& sim, FlagVertex* drawn);
