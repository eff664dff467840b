#include "sim/simulation.h"

#include <cstring>

void configureSimulation(SimState& sim, int windPower, bool isPreview) {
  setWindPower(sim.wind, windPower);
  sim.isPreview = isPreview;
}

void startSimulationAt(SimState& sim, int64_t now, int64_t frequency) {
  setUpCloth(sim.cloth, sim.wind.windVector);
  startTimerAt(sim.timer, now, frequency);
}

void runSimulationFrameAt(SimState& sim, int64_t now, FlagVertex* drawn) {
  tickTimerAt(sim.timer, now);
  stepCloth(sim.cloth, sim.calibration, sim.wind, sim.timer, sim.random, sim.isPreview);
  if (drawn) std::memcpy(drawn, sim.cloth.current, kClothVertexBytes);
  updateClothNormals(sim.cloth, sim.wind.windVector);
}
