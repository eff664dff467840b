// Frame pacing: after each frame the loop waits until the next one is due,
// so the saver draws as often as the display can show and no more (a
// windowed Present never waits, and drivers often do not wait for the
// vertical blank full screen either). Plain computation over one clock in
// milliseconds; saver_window_win.cpp waits on a timer and messages.
#pragma once
#include <cstdint>

#include "app/host_state.h"

// The preview runs whenever the display settings are open, watched or not:
// a thumbnail needs no more. The cloth takes several steps a frame at such
// rates, so its flag moves as fast as the full-screen one.
constexpr uint32_t kPreviewFrameRate = 30;
constexpr uint32_t kPreviewBatteryFrameRate = 15;
// Full screen and Desktop mode on battery or in battery saver.
constexpr uint32_t kBatteryFrameRate = 30;
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

enum class PacedView : uint8_t {
  FullScreen,     // the saver's full-screen device
  DesktopWindow,  // a Desktop-mode window on a monitor
  Preview,        // the display settings' thumbnail
};

// GetSystemPowerStatus's ACLineStatus (0 offline, 1 online, 255 unknown)
// and SystemStatusFlag (bit 0: battery saver on; 0 before Windows 10).
PowerState powerStateFromStatus(uint8_t acLineStatus, uint8_t systemStatusFlag);

// On battery or in battery saver: the state in which the views slow down.
bool savesPower(PowerState power);

// Frames per second to pace a view at. On mains, full screen and Desktop
// mode follow the display's refresh rate in Hz (kDefaultRefreshRate when it
// is 0 or 1) and the preview runs at kPreviewFrameRate. On battery or in
// battery saver they run at kBatteryFrameRate, never faster than the
// refresh, and the preview at kPreviewBatteryFrameRate.
uint32_t pacedFrameRate(PacedView view, PowerState power, uint32_t refreshRateHz);

// A pacer for that rate (frames per second, at least 1), kFullScreenPaceFactor
// ahead of it for an exclusive device; the first frame due at once.
FramePacer makeFramePacer(uint32_t frameRate, bool exclusive, double nowMs);

// Multisampling and anisotropic filtering are extras the frames pay for (a
// software renderer pays several times the frame for them): the saver
// window's frames are counted over kPaceCheckMs once kPaceCheckDelayMs have
// passed (the start's fade in from black), and when fewer than
// kPaceCheckShare of its pace's frames were drawn, the extras go.
constexpr double kPaceCheckDelayMs = 1000.0;
constexpr double kPaceCheckMs = 1000.0;
constexpr double kPaceCheckShare = 0.9;
// A gap between frames this long is a pause (a password dialog, the display
// off), not a slow frame: the count starts again after it.
constexpr double kPaceCheckPauseMs = 2000.0;
struct PaceCheck {
  double startMs;   // when the count begins
  uint32_t frames;  // counted since
  double lastMs;    // the last frame counted, 0 before
  bool over;        // decided: nothing more is counted
};
PaceCheck startPaceCheck(double nowMs);
// Counts a frame drawn at nowMs; true once, when the count is over and the
// frames fell short of `frameRate` frames per second.
bool frameFallsShort(PaceCheck& check, double nowMs, uint32_t frameRate);

// Milliseconds to wait from nowMs before the next frame; 0 when it is due.
double msUntilFrame(const FramePacer& pacer, double nowMs);

// A frame starts at nowMs: the next is due one period after this one was.
// A frame that started a whole period or more late starts the cadence anew,
// so an overrun is never followed by catch-up frames.
void startPacedFrame(FramePacer& pacer, double nowMs);
