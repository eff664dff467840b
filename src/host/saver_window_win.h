// The saver window's procedure, for the window class (and the Windows tests).
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/host_state.h"

// Carries out the decisions of decideWindowMessage for one message.
LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The power state as GetSystemPowerStatus gives it now; mains when it fails.
PowerState readPowerState();

// Frames per second the loop paces a view of app.views at, as things stand:
// its kind, app.host.power and its monitor's refresh (the device's while it
// has no view).
uint32_t viewFrameRate(uint32_t index);
