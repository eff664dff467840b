// Frame pacing: after each frame the loop waits until the next one is due,
// so the saver draws as often as the display can show and no more (a
// windowed Present never waits, and drivers often do not wait for the
// vertical blank full screen either). Plain computation over one clock in
// milliseconds; saver_window_win.cpp waits on a timer and messages.
#pragma once
#include <cstdint>

// The preview's rate: the lowest the cloth's step calibration accepts, so
// the thumbnail's flag moves as fast as the full-screen one.
constexpr uint32_t kPreviewFrameRate = 40;
// Full screen when the display does not say (0 or 1: "default").
constexpr uint32_t kDefaultRefreshRate = 60;
// An exclusive full-screen device is paced 2 % faster than the refresh:
// where Present waits for the vertical blank, the pacer's slot then always
// ends before it, so the pacer never delays a frame that the blank would
// have shown. A windowed Present never waits, so windows (Desktop mode, the
// preview) are paced at the refresh itself: any faster, and a compositor
// drops a frame now and then.
constexpr double kFullScreenPaceFactor = 1.02;

struct FramePacer {
  double periodMs;   // the time between frames' starts
  double nextDueMs;  // when the next frame may start
};

// Frames per second to pace at: kPreviewFrameRate in the preview, else the
// display's refresh rate in Hz (kDefaultRefreshRate when it is 0 or 1).
uint32_t pacedFrameRate(bool preview, uint32_t refreshRateHz);

// A pacer for that rate (frames per second, at least 1), kFullScreenPaceFactor
// ahead of it for an exclusive device; the first frame due at once.
FramePacer makeFramePacer(uint32_t frameRate, bool exclusive, double nowMs);

// Milliseconds to wait from nowMs before the next frame; 0 when it is due.
double msUntilFrame(const FramePacer& pacer, double nowMs);

// A frame starts at nowMs: the next is due one period after this one was.
// A frame that started a whole period or more late starts the cadence anew,
// so an overrun is never followed by catch-up frames.
void startPacedFrame(FramePacer& pacer, double nowMs);
