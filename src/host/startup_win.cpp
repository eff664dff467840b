#include "host/startup.h"

#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "config/settings_store.h"
#include "host/command_line.h"
#include "host/password_change.h"
#include "host/saver_window.h"
#include "host/settings_dialog.h"
#include "sim/simulation.h"

uint32_t runFromCommandLine(const char* windowTitle) {
  HostState& host = app.host;
  host.windowTitle = windowTitle;
  host.instance = GetModuleHandleA(nullptr);
  setLoadDefaults(app.settings);

  CommandLine line = scanCommandLine(GetCommandLineA());
  host.mode = line.mode;
  if (line.isPreview) host.isPreview = 1;
  host.parentWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(line.parentWindow));

  switch (host.mode) {
    case ChangePassword:
      changePassword(host.parentWindow);
      break;
    case Config: {
      initCommon(0);
      // The settings dialog's trackbar class must exist before the dialog;
      // under the Common Controls 6 manifest only the Ex call registers it.
      INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
      InitCommonControlsEx(&classes);
      // A number that names no window (gone, or never was) means no owner:
      // with it the system would not show the dialog at all.
      HWND owner = IsWindow(host.parentWindow) ? host.parentWindow : nullptr;
      DialogBoxParamA(host.instance, "CONFIG", owner, settingsDialogProc, 0);
      break;
    }
    case Saver:
    case Preview:
      initCommon(host.isPreview);
      runSaverWindow(host.parentWindow);
      break;
  }
  return 0;
}

void initCommon(uint32_t isPreview) {
  HostState& host = app.host;
  host.instance = GetModuleHandleA(nullptr);
  host.heap = GetProcessHeap();
  host.isPreview = isPreview;
  RandomSeed seed = seedFromTickCount(GetTickCount());
  seedRandom(app.sim.random, seed.ij, seed.kl);
  loadSettings();
  configureSimulation(app.sim, app.settings.windPower, isPreview != 0);
  // An empty or missing folder leaves the current directory as it is.
  SetCurrentDirectoryA(app.settings.directory);
}
