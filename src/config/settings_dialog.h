// The settings dialog "CONFIG" (Config mode).
#pragma once
#include <windows.h>

// Dialog procedure; returns FALSE for every message.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
