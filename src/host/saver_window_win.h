// The saver window's procedure, for the window class (and the Windows tests).
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/host_state.h"

// Carries out the decisions of decideWindowMessage for one message.
LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The power state as GetSystemPowerStatus gives it now; mains when it fails.
PowerState readPowerState();

// Frames per second the loop paces the saver window at, as things stand:
// its view, app.host.power and the device's refresh rate.
uint32_t saverWindowFrameRate();
// The same for any view of app.views (its own monitor's refresh).
uint32_t viewFrameRate(uint32_t index);
