#include "host/run_views.h"

#include <windows.h>
#include <d3d8.h>

#include "app/app_state.h"
#include "config/settings_store.h"
#include "host/keyboard.h"
#include "host/monitor_windows.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"
#include "sim/simulation.h"

namespace {

// Desktop mode: every other monitor's window and view, made once the device
// and the scene exist (a message box of the start may have ended the saver
// before).
void buildOtherMonitors(HWND window) {
  if (app.host.mode != Saver || !inDesktopMode(app) || !app.render.device) return;
  placeMonitorWindows(window);
  const HostState& host = app.host;
  buildMonitorViews(host.monitorWindows, host.monitorRects, host.monitorWindowCount);
}

}  // namespace

void startRun(HWND__* window) {
  app.render.screenMode = chooseScreenMode(app.host.mode == Preview);
  // Covers before the device: switching to full screen must not show the
  // desktop on the other monitors.
  if (app.host.mode == Saver && app.render.screenMode == ScreenMode::Exclusive)
    placeMonitorWindows(window);
  ShowWindow(window, SW_SHOWNORMAL);
  startRendering(window, app.host.isPreview);
}

void startRendering(HWND__* window, uint32_t isPreview) {
  if (app.host.windowClosed) return;
  // Desktop mode draws windowed on the display as it is.
  bool exclusive = app.render.screenMode == ScreenMode::Exclusive;
  DeviceOutcome made = createDevice(window, isPreview || !exclusive);
  if (made == DeviceEnded || app.host.windowClosed) return;
  if (made == DeviceFailed) {
    PostQuitMessage(0);
    return;
  }
  // The stored mode was listed but would not open: Desktop mode after all.
  if (made == DeviceMadeWindowed && exclusive) {
    app.render.screenMode = ScreenMode::Desktop;
    destroyMonitorWindows();
  }
  createKeyboard(window);
  acquireKeyboard();
  buildScene();
  if (app.host.windowClosed) return;
  buildOtherMonitors(window);
}

void followDisplayChange(HWND__* window) {
  if (!inDesktopMode(app)) {
    placeMonitorWindows(window);
    return;
  }
  // The other views' swap chains go before any window they sit on can (the
  // device aimed back at its own first).
  releaseMonitorViews();
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, width, height, SWP_NOACTIVATE);
  resizeSaverView(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  // The saver window's monitor may run at another rate now; the pacers
  // follow the list's generation, which the views' build below moves on.
  if (app.views.count > 0) app.views.views[0].refreshRate = deviceRefreshRate();
  buildOtherMonitors(window);
}

void suspendRendering(HWND__* window) {
  releaseScene();
  if (app.render.device) {
    app.render.device->Release();
    app.render.device = nullptr;
  }
  ShowWindow(window, SW_RESTORE);
  ShowWindow(window, SW_SHOWMAXIMIZED);
}

void resumeRendering(HWND__* window) {
  if (recreateDevice(window)) {
    loadSettings();
    configureSimulation(app.sim, app.settings.windPower, app.host.isPreview != 0);
    buildScene();
    if (!app.host.windowClosed) buildOtherMonitors(window);
    return;
  }
  // Ends the program without the WM_CLOSE releases.
  PostMessageA(window, WM_DESTROY, 0, 0);
}
