#include "host/monitor_windows.h"

#include <windows.h>

#include <cstring>

#include "app/app_state.h"
#include "host/end_request.h"
#include "host/window_rules.h"

namespace {

const char kCoverClass[] = "Brevanto Flags Cover";
// Desktop mode: the same window, drawn on, under a name of its own.
const char kMonitorClass[] = "Brevanto Flags Monitor";
constexpr uint32_t kMaxMonitors = 32;

struct MonitorList {
  MonitorArea areas[kMaxMonitors];
  uint32_t count;
};

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MonitorList& list = *reinterpret_cast<MonitorList*>(data);
  MONITORINFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (list.count >= kMaxMonitors || !GetMonitorInfoA(monitor, &info)) return TRUE;
  MonitorArea& area = list.areas[list.count++];
  area.rect = {static_cast<int32_t>(info.rcMonitor.left), static_cast<int32_t>(info.rcMonitor.top),
               static_cast<int32_t>(info.rcMonitor.right),
               static_cast<int32_t>(info.rcMonitor.bottom)};
  area.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  return TRUE;
}

int32_t monitorWindowIndex(HWND window) {
  const HostState& host = app.host;
  for (uint32_t i = 0; i < host.monitorWindowCount; ++i)
    if (host.monitorWindows[i] == window) return static_cast<int32_t>(i);
  return -1;
}

LRESULT CALLBACK monitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  int32_t index = monitorWindowIndex(window);
  // Messages of creation arrive before the window is listed.
  if (index < 0) return DefWindowProcA(window, message, wParam, lParam);
  ScreenRect area = app.host.monitorRects[index];
  WindowDecision decision = decideMonitorWindowMessage(app.host, message, wParam, lParam, area);
  for (uint32_t i = 0; i < decision.count; ++i) {
    switch (decision.actions[i]) {
      case WindowAction::HideCursor:
        SetCursor(nullptr);
        break;
      case WindowAction::RequestEnd:
        requestEnd();
        break;
      default:  // the rules give these windows no other action
        break;
    }
  }
  if (decision.result == WindowResult::Zero) return 0;
  if (decision.result == WindowResult::NoActivate) return MA_NOACTIVATE;
  return DefWindowProcA(window, message, wParam, lParam);
}

const char* windowClassName() {
  return inDesktopMode(app) ? kMonitorClass : kCoverClass;
}

bool registerMonitorWindowClass() {
  WNDCLASSEXA existing;
  if (GetClassInfoExA(app.host.instance, windowClassName(), &existing)) return true;
  WNDCLASSEXA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = monitorWindowProc;
  windowClass.hInstance = app.host.instance;
  // A cover is black; a flag window paints nothing of its own between the
  // frames that fill it.
  if (!inDesktopMode(app)) windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = windowClassName();
  return RegisterClassExA(&windowClass) != 0;
}

// Below the saver window, so where monitors overlap the picture stays on top;
// shown without taking the activation from it.
void placeMonitorWindow(HWND window, const ScreenRect& r, HWND saverWindow) {
  SetWindowPos(window, saverWindow ? saverWindow : HWND_TOPMOST, r.left, r.top, r.right - r.left,
               r.bottom - r.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// Wine's X11 driver stacks a window only by raising it to the top, never
// below a sibling, and ignores a raise that changes no order: a monitor
// window made after the saver window would lie over it on the X screen where
// monitors overlap. Stepping the saver window behind the last one and back to the
// top raises it there too.
void raiseAboveMonitorWindows(HWND saverWindow) {
  const HostState& host = app.host;
  if (!saverWindow || host.monitorWindowCount == 0) return;
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(saverWindow, host.monitorWindows[host.monitorWindowCount - 1], 0, 0, 0, 0, keep);
  SetWindowPos(saverWindow, HWND_TOPMOST, 0, 0, 0, 0, keep);
}

// A tool window: no taskbar button and no Alt+Tab entry, where a switch to
// such a window would show a cover's black or a second flag, and end nothing.
HWND createMonitorWindow(const ScreenRect& r) {
  return CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClassName(), "", WS_POPUP, r.left,
                         r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                         app.host.instance, nullptr);
}

}  // namespace

void placeMonitorWindows(HWND__* saverWindow) {
  HostState& host = app.host;
  MonitorList monitors;
  std::memset(&monitors, 0, sizeof monitors);
  EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
  ScreenRect wanted[kMaxMonitorWindows];
  uint32_t count = otherMonitorAreas(monitors.areas, monitors.count, wanted, kMaxMonitorWindows);
  if (count > 0 && !registerMonitorWindowClass()) count = 0;

  // Windows kept are put (back) where they are needed now; the rest go.
  uint32_t kept = host.monitorWindowCount < count ? host.monitorWindowCount : count;
  uint32_t before = host.monitorWindowCount;
  host.monitorWindowCount = kept;
  for (uint32_t i = kept; i < before; ++i) DestroyWindow(host.monitorWindows[i]);
  for (uint32_t i = 0; i < kept; ++i) {
    host.monitorRects[i] = wanted[i];
    placeMonitorWindow(host.monitorWindows[i], wanted[i], saverWindow);
  }
  for (uint32_t i = kept; i < count; ++i) {
    HWND made = createMonitorWindow(wanted[i]);
    if (!made) continue;  // that monitor stays without; the saver runs on
    host.monitorWindows[host.monitorWindowCount] = made;
    host.monitorRects[host.monitorWindowCount] = wanted[i];
    ++host.monitorWindowCount;
    placeMonitorWindow(made, wanted[i], saverWindow);
  }
  raiseAboveMonitorWindows(saverWindow);
}

void destroyMonitorWindows() {
  HostState& host = app.host;
  // Emptied first: destroying a window under the pointer sends messages.
  uint32_t count = host.monitorWindowCount;
  host.monitorWindowCount = 0;
  for (uint32_t i = 0; i < count; ++i) DestroyWindow(host.monitorWindows[i]);
}
