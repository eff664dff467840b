// "/a": the screen-saver password belongs to the system's password service.
#include "host/password_change.h"

#include <windows.h>

#include "app/messages.h"

namespace {

const char kServiceLibrary[] = "MPR.DLL";
const char kServiceFunction[] = "PwdChangePasswordA";
const char kProviderKey[] = "SCRSAVE";

typedef DWORD(WINAPI* PwdChangePasswordFunction)(LPCSTR provider, HWND owner, DWORD reserved1,
                                                 DWORD reserved2);

}  // namespace

uint32_t changePassword(HWND__* owner) {
  HMODULE library = LoadLibraryA(kServiceLibrary);
  if (!library) {
    showMessage(owner, kNoLibraryText, kErrorCaption, MB_ICONEXCLAMATION);
    return 0;
  }
  PwdChangePasswordFunction change = reinterpret_cast<PwdChangePasswordFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, kServiceFunction)));
  if (!change) {
    showMessage(owner, kNoFunctionText, kErrorCaption, MB_ICONEXCLAMATION);
    FreeLibrary(library);
    return 0;
  }
  change(kProviderKey, owner, 0, 0);  // its result is the service's own business
  FreeLibrary(library);
  return 1;
}
