// AppState: the one program-wide record, the only global state.
// One nested record per subsystem; each module touches its own part.
// Platform objects are opaque pointers here, so this header stays pure and
// the plain-computation code compiles natively.
#pragma once
#include <cstdint>

#include "config/settings.h"
#include "host/command_line.h"
#include "config/dialog_state.h"
#include "render/render_state.h"
#include "sim/simulation.h"

struct HINSTANCE__;
struct HWND__;
struct HBITMAP__;
struct IDirectInput8A;
struct IDirectInputDevice8A;

// Start-up and the saver window.
struct HostState {
  HINSTANCE__* instance;    // module handle: window class, resources, DirectInput
  void* heap;               // process heap every subsystem allocates from
  const char* windowTitle;  // "Brevanto Flags Screensaver": class name and title
  SaverMode mode;
  uint32_t isPreview;       // 1 in Preview mode: rendering goes windowed
  HWND__* parentWindow;     // window given after the switch, or null
  HWND__* mainWindow;       // the saver window, set on WM_CREATE
  uint32_t framesEnabled;   // the loop runs frames only while 1
  uint32_t windowClosed;    // WM_CLOSE seen: set-up after creation does nothing
  // Ending the saver.
  uint32_t lastMouseX, lastMouseY;  // unsigned 16-bit coordinates
  uint32_t mouseMoveCount;          // coordinate changes since the last mouse end request
  uint32_t passwordDialogOpen;      // 1 while the password verifier runs
  uint32_t endGranted;              // non-zero once WM_CLOSE was posted
  // Keyboard device, held while the saver runs.
  IDirectInput8A* directInput;
  IDirectInputDevice8A* keyboard;
};

struct AppState {
  HostState host;
  SimState sim;  // lives for the process; the cloth's arrays belong to the scene
  RenderState render;
  Settings settings;
  DialogState dialog;
};

extern AppState app;

// Convenience for the many places that test the mode.
inline bool isSaverMode(const AppState& state) { return state.host.mode == Saver; }
