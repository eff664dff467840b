#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/app_state.h"
#include "host/saver_window_win.h"
#include "host/window_rules.h"
#include "win_test_support.h"

namespace {

const GUID kConsoleDisplay = {0x6fe69556, 0x704a, 0x47a0,
                              {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// A PBT_POWERSETTINGCHANGE record as the system hands it over.
struct DisplayNotice {
  GUID setting;
  DWORD length;
  DWORD state;
};

LRESULT sendDisplayNotice(HWND window, const GUID& setting, DWORD state) {
  DisplayNotice notice = {setting, sizeof(DWORD), state};
  return saverWindowProc(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                         reinterpret_cast<LPARAM>(&notice));
}

}  // namespace

TEST(SaverWindow, TheDisplayGoingOffStopsFramesUntilItIsBackAndEndsNothing) {
  HWND window = makeTestWindow("display notice test", 64, 48);
  ASSERT_NE(nullptr, window);
  app = AppState();
  app.host.mode = Saver;
  app.host.framesEnabled = 1;
  // Wine answers the registration with a handle of its own; Windows sends
  // the display's state at once and at every change.
  HPOWERNOTIFY notice =
      RegisterPowerSettingNotification(window, &kConsoleDisplay, DEVICE_NOTIFY_WINDOW_HANDLE);
  EXPECT_NE(nullptr, notice);

  struct Step {
    const char* name;
    bool display;
    DWORD state;
    bool framesAfter;
  };
  GUID other = kConsoleDisplay;
  other.Data1 ^= 1;
  const Step steps[] = {
      {"off", true, 0, false},   {"another setting", false, 1, false}, {"dimmed", true, 2, true},
      {"off again", true, 0, false}, {"on", true, 1, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    sendDisplayNotice(window, step.display ? kConsoleDisplay : other, step.state);
    EXPECT_EQ(step.framesAfter, framesWanted(app.host));
    EXPECT_EQ(0u, app.host.endGranted);
    EXPECT_EQ(1u, app.host.framesEnabled);
  }
  if (notice) UnregisterPowerSettingNotification(notice);
  DestroyWindow(window);
  app = AppState();
}
