// An "MPR.DLL" that loads but lacks the password service.
#include <windows.h>

extern "C" DWORD WINAPI NoPasswordServiceHere() {
  return 0;
}
