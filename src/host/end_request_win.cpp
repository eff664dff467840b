#include "host/end_request.h"

#include <windows.h>

#include "app/app_state.h"
#include "host/run_views.h"
#include "host/window_rules.h"

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kUsePasswordValue[] = "ScreenSaveUsePassword";
const char kVerifierLibrary[] = "PASSWORD.CPL";
const char kVerifierFunction[] = "VerifyScreenSavePwd";

typedef BOOL(WINAPI* VerifyFunction)(HWND owner);

class SystemEndPlatform : public EndPlatform {
 public:
  void runningFlagOn() override { setScreenSaverRunning(1); }
  void suspendRendering() override { ::suspendRendering(app.host.mainWindow); }
  void resumeRendering() override { ::resumeRendering(app.host.mainWindow); }
  void postClose() override { PostMessageA(app.host.mainWindow, WM_CLOSE, 0, 0); }
  uint32_t verifyPassword() override { return runPasswordCheck(app.host, *this); }

  // The stored type is not asked for: a text "0" reads as the number 48.
  bool readUsePassword(uint32_t* value) override {
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDesktopKey, &key) != ERROR_SUCCESS) return false;
    DWORD number = 0, size = sizeof number;
    LONG read = RegQueryValueExA(key, kUsePasswordValue, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&number), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return false;
    *value = number;
    return true;
  }

  // Loaded anew for every check, so a verifier installed meanwhile is used.
  bool loadVerifierLibrary() override {
    library_ = LoadLibraryA(kVerifierLibrary);
    return library_ != nullptr;
  }
  bool findVerifier() override {
    verify_ = reinterpret_cast<VerifyFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, kVerifierFunction)));
    return verify_ != nullptr;
  }
  uint32_t callVerifier() override { return static_cast<uint32_t>(verify_(app.host.mainWindow)); }
  void freeVerifierLibrary() override {
    if (library_) FreeLibrary(library_);
    library_ = nullptr;
    verify_ = nullptr;
  }

 private:
  HMODULE library_ = nullptr;
  VerifyFunction verify_ = nullptr;
};

}  // namespace

void setScreenSaverRunning(uint32_t running) {
  UINT previous = 0;  // received, never read
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, &previous, 0);
}

void requestEnd() {
  SystemEndPlatform platform;
  runEndRequest(app.host, platform);
}

uint32_t verifyPassword() {
  SystemEndPlatform platform;
  return runPasswordCheck(app.host, platform);
}
