#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/app_state.h"
#include "host/frame_pacing.h"
#include "host/saver_window_win.h"
#include "host/window_rules.h"
#include "win_test_support.h"

namespace {

const GUID kConsoleDisplay = {0x6fe69556, 0x704a, 0x47a0,
                              {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
const GUID kPowerSaving = {0xe00958c0, 0xc213, 0x4ace,
                           {0xac, 0x77, 0xfe, 0xcc, 0xed, 0x2e, 0xee, 0xa5}};

// A PBT_POWERSETTINGCHANGE record as the system hands it over.
struct SettingNotice {
  GUID setting;
  DWORD length;
  DWORD state;
};

LRESULT sendSettingNotice(HWND window, const GUID& setting, DWORD state) {
  SettingNotice notice = {setting, sizeof(DWORD), state};
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
    sendSettingNotice(window, step.display ? kConsoleDisplay : other, step.state);
    EXPECT_EQ(step.framesAfter, framesWanted(app.host));
    EXPECT_EQ(0u, app.host.endGranted);
    EXPECT_EQ(1u, app.host.framesEnabled);
  }
  if (notice) UnregisterPowerSettingNotification(notice);
  DestroyWindow(window);
  app = AppState();
}

TEST(SaverWindow, PowerChangesSetThePaceOfTheNextFramesAndEndNothing) {
  HWND window = makeTestWindow("power notice test", 64, 48);
  ASSERT_NE(nullptr, window);
  app = AppState();
  app.host.framesEnabled = 1;
  // The rates themselves are the pace table's (frame_pacing_test.cpp): here
  // the notice's state, and the next frames' pace taking it.
  struct Step {
    const char* name;
    SaverMode mode;
    const GUID* setting;
    DWORD state;
    bool saverOn;
  };
  const Step steps[] = {
      {"battery saver on", Saver, &kPowerSaving, 1, true},
      {"the display's setting", Saver, &kConsoleDisplay, 0, true},
      {"battery saver off", Saver, &kPowerSaving, 0, false},
      {"battery saver on in the preview", Preview, &kPowerSaving, 1, true},
      {"battery saver off in the preview", Preview, &kPowerSaving, 0, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    app.host.mode = step.mode;
    app.host.isPreview = step.mode == Preview;
    // No device: the refresh is unknown.
    PacedView view = step.mode == Preview ? PacedView::Preview : PacedView::FullScreen;
    uint32_t onMains = pacedFrameRate(view, PowerState{}, 0);
    sendSettingNotice(window, *step.setting, step.state);
    EXPECT_EQ(step.saverOn, app.host.power.batterySaver != 0);
    EXPECT_EQ(step.saverOn, viewFrameRate(0) < onMains);
    EXPECT_EQ(0u, app.host.endGranted);
    EXPECT_EQ(1u, app.host.framesEnabled);
  }
  app.host.displayOff = 0;

  // A power-status change carries no data: the window reads the status
  // again, here whatever this machine reports, so the test starts from the
  // opposite state.
  SYSTEM_POWER_STATUS status;
  ASSERT_TRUE(GetSystemPowerStatus(&status));
  PowerState now = powerStateFromStatus(status.ACLineStatus, status.Reserved1);  // SystemStatusFlag
  app.host.power = PowerState{static_cast<uint8_t>(!now.onBattery),
                              static_cast<uint8_t>(!now.batterySaver)};
  saverWindowProc(window, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
  EXPECT_EQ(now.onBattery, app.host.power.onBattery);
  EXPECT_EQ(now.batterySaver, app.host.power.batterySaver);
  EXPECT_EQ(0u, app.host.endGranted);
  DestroyWindow(window);
  app = AppState();
}
