// The saver window's procedure, for the window class (and the Windows tests).
#pragma once
#include <windows.h>

// Carries out the decisions of decideWindowMessage for one message.
LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
