// The run's screen mode and its set of views, decided in this one place:
// when the saver window starts, after a display change, and when the device
// comes back after a refused password. The renderer builds what it is told
// here; the monitor windows are monitor_windows.h's.
#pragma once
#include <cstdint>

struct HWND__;

// Saver and Preview mode, once the window exists: decides the run's mode
// (chooseScreenMode), covers the other monitors before an exclusive device
// can switch the display, then startRendering.
void startRun(HWND__* window);

// Device, keyboard and scene for the new window, then in Desktop mode a
// window and a view for every other monitor. A full-screen device that
// cannot be made gives Desktop mode (the covers become flag windows). Posts
// the quit message when no device can be made. Does nothing once the window
// has seen WM_CLOSE, and goes no further when the saver is ended while one
// of its message boxes is open.
void startRendering(HWND__* window, uint32_t isPreview);

// WM_DISPLAYCHANGE (Saver mode): every monitor keeps or gets exactly one
// window and, in Desktop mode, a view at its new size paced at its refresh;
// the saver window follows the primary monitor. Nothing ends: a Reset refused
// meanwhile is tried again by the frames.
void followDisplayChange(HWND__* window);

// Before a password check: scene and device released, window restored and
// maximised so nothing covers the verifier's dialog.
void suspendRendering(HWND__* window);

// After a refused password: device made again from the kept parameters,
// settings reloaded, scene and views rebuilt; "CreateDevice FAILED" and
// WM_DESTROY when the device cannot be made.
void resumeRendering(HWND__* window);
