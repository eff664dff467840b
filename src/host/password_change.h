// "/a": hands the change of the screen-saver password to the system.
#pragma once
#include <cstdint>

struct HWND__;

// Calls "PwdChangePasswordA" of "MPR.DLL" with "SCRSAVE", the owner and two
// zeros. Returns 1 when the service was called, 0 when the library or the
// function is missing (a message box owned by `owner` says which).
uint32_t changePassword(HWND__* owner);
