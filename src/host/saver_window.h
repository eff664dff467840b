// The saver window and the program's one loop (Saver and Preview mode).
// The window procedure, saverWindowProc, is declared in saver_window_win.h;
// its decisions are the plain rules of window_rules.h.
#pragma once
#include <cstdint>

struct HWND__;

// Runs the window until the process is to end; returns the quit code.
// 0 at once when the class or the window cannot be made.
uint32_t runSaverWindow(HWND__* parentWindow);
