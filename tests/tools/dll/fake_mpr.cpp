// A stand-in for "MPR.DLL" whose password service records its arguments in
// mpr_calls.txt beside the DLL and shows nothing.
#include "test_dll_support.h"

#include <cstdint>

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1,
                                           DWORD reserved2) {
  char path[MAX_PATH];
  pathBesideDll("mpr_calls.txt", path, MAX_PATH);
  char line[512];
  snprintf(line, sizeof line, "provider=\"%.200s\" owner=%llu reserved1=%lu reserved2=%lu",
           provider ? provider : "(null)",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)),
           static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
  appendLine(path, line);
  return 0;
}
