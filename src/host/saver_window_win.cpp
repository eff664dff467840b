#include "host/saver_window.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "config/settings_store.h"
#include "app/app_state.h"
#include "host/end_request.h"
#include "host/keyboard.h"
#include "host/monitor_cover.h"
#include "host/saver_window_win.h"
#include "host/startup.h"
#include "host/window_rules.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"
#include "resources/resource.h"

namespace {

bool registerSaverClass() {
  HostState& host = app.host;
  WNDCLASSEXA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = saverWindowProc;
  windowClass.hInstance = host.instance;
  windowClass.hIcon = LoadIconA(host.instance, MAKEINTRESOURCEA(IDI_FLAG));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = host.windowTitle;
  return RegisterClassExA(&windowClass) != 0;
}

HWND createSaverWindow(HWND parentWindow) {
  HostState& host = app.host;
  DWORD style = WS_VISIBLE | WS_POPUP;
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (host.mode == Preview) {
    style = WS_VISIBLE | WS_CHILD;
    RECT parent = {0, 0, 0, 0};
    GetWindowRect(parentWindow, &parent);
    width = parent.right - parent.left;
    height = parent.bottom - parent.top;
  }
  return CreateWindowExA(WS_EX_TOPMOST, host.windowTitle, host.windowTitle, style, 0, 0, width,
                         height, parentWindow, nullptr, host.instance, nullptr);
}

void releaseExitObjects() {
  RenderState& render = app.render;
  if (render.backgroundPicture) {
    DeleteObject(render.backgroundPicture);
    render.backgroundPicture = nullptr;
  }
  if (render.device) {
    render.device->Release();
    render.device = nullptr;
  }
  if (render.direct3d) {
    render.direct3d->Release();
    render.direct3d = nullptr;
  }
}

void carryOut(WindowAction action, HWND window) {
  switch (action) {
    case WindowAction::HideCursor:
      SetCursor(nullptr);
      break;
    case WindowAction::ShowArrowCursor:
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      break;
    case WindowAction::RunningFlagOn:
      setScreenSaverRunning(1);
      break;
    case WindowAction::RunningFlagOff:
      setScreenSaverRunning(0);
      break;
    case WindowAction::SetMainWindow:
      app.host.mainWindow = window;
      break;
    case WindowAction::PostQuit:
      PostQuitMessage(0);
      break;
    case WindowAction::StopFrames:
      app.host.framesEnabled = 0;
      app.host.windowClosed = 1;
      break;
    case WindowAction::ReleaseScene:
      releaseScene();
      break;
    case WindowAction::ExitRelease:
      releaseExitObjects();
      break;
    case WindowAction::ReleaseKeyboard:
      releaseKeyboard();
      break;
    case WindowAction::RequestEnd:
      requestEnd();
      break;
    case WindowAction::CoverMonitors:
      coverOtherMonitors(window);
      break;
    case WindowAction::DestroyCovers:
      destroyCovers();
      break;
  }
}

}  // namespace

LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowDecision decision = decideWindowMessage(app.host, message, wParam, lParam);
  for (uint32_t i = 0; i < decision.count; ++i) carryOut(decision.actions[i], window);
  if (decision.result == WindowResult::Zero) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

uint32_t runSaverWindow(HWND__* parentWindow) {
  HostState& host = app.host;
  if (!registerSaverClass()) return 0;
  HWND window = createSaverWindow(parentWindow);
  if (!window) return 0;
  // Before the device: switching to full screen must not show the desktop
  // on the other monitors.
  if (host.mode == Saver) coverOtherMonitors(window);
  ShowWindow(window, SW_SHOWNORMAL);
  startRendering(window, host.isPreview);
  host.framesEnabled = 1;

  // Messages first; a frame whenever none waits. Never blocks.
  MSG message;
  std::memset(&message, 0, sizeof message);
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
      if (message.message == WM_QUIT) break;
    } else if (host.framesEnabled) {
      runIdleFrame();
    }
  }
  return static_cast<uint32_t>(message.wParam);
}

void startRendering(HWND__* window, uint32_t isPreview) {
  if (app.host.windowClosed) return;
  createDevice(window, isPreview);
  if (!app.render.device) {
    PostQuitMessage(0);
    return;
  }
  createKeyboard(window);
  acquireKeyboard();
  buildScene();
}

void runIdleFrame() {
  if (!app.render.device) return;
  updateFrame();
  drawFrame();
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
    return;
  }
  // Ends the program without the WM_CLOSE releases.
  PostMessageA(window, WM_DESTROY, 0, 0);
}
