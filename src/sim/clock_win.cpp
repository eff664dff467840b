// Windows: the high-resolution performance counter.
#include <windows.h>

#include "sim/frame_timer.h"
#include "sim/simulation.h"

namespace {

int64_t performanceCount() {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return count.QuadPart;
}

}  // namespace

void startTimer(FrameTimer& timer) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  startTimerAt(timer, performanceCount(), frequency.QuadPart);
}

int64_t tickTimer(FrameTimer& timer) {
  return tickTimerAt(timer, performanceCount());
}

void runSimulationFrame(SimState& sim, FlagVertex* drawn) {
  runSimulationFrameAt(sim, performanceCount(), drawn);
}
