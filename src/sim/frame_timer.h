// Frame timer: duration and rate of the last frame from a counter of known
// frequency (the performance counter on Windows, a monotonic clock natively).
#pragma once

#include <cstdint>

struct FrameTimer {
  int64_t frequency = 0;         // counts per second, read at start
  int64_t lastCount = 0;         // counter at the last start or tick
  float frameSeconds = 0.0f;     // duration of the last frame; 0 after a start
  float framesPerSecond = 0.0f;  // rate of the last frame; not reset by a start
};

// Pure core, counts supplied by the caller:
// starts measuring at count now with the given frequency; frameSeconds = 0,
// framesPerSecond kept.
void startTimerAt(FrameTimer& timer, int64_t now, int64_t frequency);
// Ends a frame at count now: framesPerSecond = frequency / elapsed,
// frameSeconds = elapsed / frequency, lastCount = now. An elapsed count of
// zero or less (or a zero frequency) has no rate: both values stay as they
// were. Returns the elapsed counts.
int64_t tickTimerAt(FrameTimer& timer, int64_t now);

// The same with the platform's counter (clock_win.cpp / clock_native.cpp).
void startTimer(FrameTimer& timer);
int64_t tickTimer(FrameTimer& timer);
