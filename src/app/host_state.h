// The host's record in AppState: start-up, the saver window, ending the saver
// and the keyboard device. Platform objects are opaque pointers here.
#pragma once
#include <cstdint>

#include "app/saver_mode.h"

struct HINSTANCE__;
struct HWND__;
struct HBITMAP__;
struct IDirectInput8A;
struct IDirectInputDevice8A;

// A screen rectangle in virtual-screen pixels; right and bottom exclusive.
struct ScreenRect {
  int32_t left, top, right, bottom;
};

// Each monitor beside the saver window's gets a window of the saver's: a
// black cover in an exclusive mode, a flag of its own in Desktop mode.
constexpr uint32_t kMaxMonitorWindows = 16;

// The power source as the frame pace sees it; an unknown source counts as mains.
struct PowerState {
  uint8_t onBattery;     // running on the battery
  uint8_t batterySaver;  // Windows' battery saver is on (Windows 10 and later)
};

// Start-up and the saver window.
struct HostState {
  HINSTANCE__* instance;    // module handle: window class, resources, DirectInput
  void* heap;               // process heap every subsystem allocates from
  const char* windowTitle;  // "Brevanto Flags Screensaver": class name and title
  SaverMode mode;
  uint32_t isPreview;      // 1 in Preview mode: rendering goes windowed
  HWND__* parentWindow;    // window given after the switch, or null
  HWND__* mainWindow;      // the saver window, set on WM_CREATE
  uint32_t framesEnabled;  // the loop runs frames only while 1
  uint32_t windowClosed;   // WM_CLOSE seen: set-up after creation does nothing
  uint32_t displayOff;     // the console display is off: no frames until it is back
  PowerState power;        // read at start and at every power-status change
  // Ending the saver.
  uint32_t lastMouseX, lastMouseY;  // unsigned 16-bit coordinates
  uint32_t mouseMoveCount;          // coordinate changes since the last mouse end request
  uint32_t passwordDialogOpen;      // 1 while the password verifier runs
  uint32_t endGranted;              // non-zero once WM_CLOSE was posted
  // Keyboard device, held while the saver runs.
  IDirectInput8A* directInput;
  IDirectInputDevice8A* keyboard;
  // The windows of the other monitors (Saver mode): made before the device,
  // destroyed with the saver window; monitorRects[i] is monitorWindows[i]'s area.
  HWND__* monitorWindows[kMaxMonitorWindows];
  ScreenRect monitorRects[kMaxMonitorWindows];
  uint32_t monitorWindowCount;
};
