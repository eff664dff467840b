// The saver window and the program's one loop (Saver and Preview mode).
#pragma once
#include <cstdint>

struct HWND__;

// Runs the window until the process is to end; returns the quit code.
uint32_t runSaverWindow(HWND__* parentWindow);
