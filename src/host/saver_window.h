// The saver window and the program's one loop (Saver and Preview mode).
// The window procedure, saverWindowProc, is declared in saver_window_win.h;
// its decisions are the plain rules of window_rules.h.
#pragma once
#include <cstdint>

struct HWND__;

// Runs the window until the process is to end; returns the quit code.
// 0 at once when the class or the window cannot be made.
uint32_t runSaverWindow(HWND__* parentWindow);

// Device, keyboard and scene for the new window; posts the quit message when
// no device can be made. Does nothing once the window has seen WM_CLOSE.
void startRendering(HWND__* window, uint32_t isPreview);

// One frame of one view (update, draw, present; app.views.views[index]) when
// a device exists; else nothing. The loop runs each view's at its own pace.
void runViewFrame(uint32_t index);

// Before a password check: scene and device released, window restored and
// maximised so nothing covers the verifier's dialog.
void suspendRendering(HWND__* window);

// After a refused password: device made again from the kept parameters,
// settings reloaded, scene rebuilt; "CreateDevice FAILED" and WM_DESTROY
// when the device cannot be made.
void resumeRendering(HWND__* window);
