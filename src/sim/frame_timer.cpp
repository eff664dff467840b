#include "sim/frame_timer.h"

void startTimerAt(FrameTimer& timer, int64_t now, int64_t frequency) {
  timer.lastCount = now;
  timer.frequency = frequency;
  timer.frameSeconds = 0.0f;
}

int64_t tickTimerAt(FrameTimer& timer, int64_t now) {
  int64_t elapsed = now - timer.lastCount;
  timer.lastCount = now;
  // Two ticks within one count give no rate; keeping the last frame's values
  // keeps the wind and the calibration away from infinities.
  if (elapsed <= 0 || timer.frequency <= 0) return elapsed;

  double counts = static_cast<double>(elapsed);
  double frequency = static_cast<double>(timer.frequency);
  timer.framesPerSecond = static_cast<float>(frequency / counts);
  timer.frameSeconds = static_cast<float>(counts / frequency);
  return elapsed;
}
