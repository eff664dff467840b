// Native builds (tools and tests on Linux): a monotonic clock in nanoseconds
// stands in for the performance counter.
#ifndef _WIN32

#include <chrono>

#include "sim/frame_timer.h"
#include "sim/simulation.h"

namespace {

int64_t clockNanoseconds() {
  auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

void startTimer(FrameTimer& timer) {
  startTimerAt(timer, clockNanoseconds(), kNanosecondsPerSecond);
}

int64_t tickTimer(FrameTimer& timer) {
  return tickTimerAt(timer, clockNanoseconds());
}

void runSimulationFrame(SimState& sim, FlagVertex* drawn) {
  runSimulationFrameAt(sim, clockNanoseconds(), drawn);
}

#endif
