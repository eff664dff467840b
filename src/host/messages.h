// Message boxes of the program. Every message box goes through one
// replaceable function, so the Windows tests can record the texts instead of
// blocking on a modal box.
#pragma once
#include <cstdint>

struct HWND__;

// Same arguments and result as MessageBoxA (owner may be null, type is MB_*).
typedef int (*MessageFunction)(HWND__* owner, const char* text, const char* caption,
                               uint32_t type);

// Shows a message box through messageHook; returns the button id (IDOK ...),
// or 0 when the hook is null.
int showMessage(HWND__* owner, const char* text, const char* caption, uint32_t type);

// MessageBoxA by default; tests put a recorder here and restore it after.
extern MessageFunction messageHook;

// The default hook: a real, modal MessageBoxA.
int systemMessageBox(HWND__* owner, const char* text, const char* caption, uint32_t type);
