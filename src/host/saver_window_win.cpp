#include "host/saver_window.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "config/settings_store.h"
#include "app/app_state.h"
#include "host/end_request.h"
#include "host/frame_pacing.h"
#include "host/keyboard.h"
#include "host/monitor_windows.h"
#include "host/run_views.h"
#include "host/saver_window_win.h"
#include "host/startup.h"
#include "host/window_rules.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"
#include "sim/cloth_dynamics.h"
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
    case WindowAction::PlaceMonitorWindows:
      followDisplayChange(window);
      break;
    case WindowAction::DestroyMonitorWindows:
      destroyMonitorWindows();
      break;
  }
}

}  // namespace

PowerState readPowerState() {
  SYSTEM_POWER_STATUS status;
  std::memset(&status, 0, sizeof status);
  if (!GetSystemPowerStatus(&status)) return PowerState{0, 0};
  // SystemStatusFlag, which these headers still call by its old name.
  return powerStateFromStatus(status.ACLineStatus, status.Reserved1);
}

uint32_t viewFrameRate(uint32_t index) {
  PacedView view = app.host.isPreview  ? PacedView::Preview
                   : inDesktopMode(app) ? PacedView::DesktopWindow
                                        : PacedView::FullScreen;
  // Each view's monitor's rate, read at its build and after a display change.
  uint32_t refresh = index < app.views.count ? app.views.views[index].refreshRate : deviceRefreshRate();
  return pacedFrameRate(view, app.host.power, refresh);
}

LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_POWERBROADCAST && wParam == PBT_POWERSETTINGCHANGE && lParam) {
    const POWERBROADCAST_SETTING* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(lParam);
    uint32_t bytes = FIELD_OFFSET(POWERBROADCAST_SETTING, Data) + setting->DataLength;
    uint32_t state = displayPowerState(setting, bytes);
    if (state != kNoPowerSetting) app.host.displayOff = state == 0;
    uint32_t batterySaver = batterySaverState(setting, bytes);
    if (batterySaver != kNoPowerSetting) app.host.power.batterySaver = batterySaver != 0;
  }
  // The loop's pacers take the new state at the next frame.
  if (message == WM_POWERBROADCAST && wParam == PBT_APMPOWERSTATUSCHANGE)
    app.host.power = readPowerState();
  WindowDecision decision = decideWindowMessage(app.host, message, wParam, lParam);
  for (uint32_t i = 0; i < decision.count; ++i) carryOut(decision.actions[i], window);
  if (decision.result == WindowResult::Zero) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

namespace {

double clockMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The timer the loop waits on between frames. Windows before 10 (1803)
// refuse a high-resolution timer; a plain one is then only as fine as the
// system's timer period, which is raised to 1 ms while the saver runs.
struct FrameWait {
  HANDLE timer;
  bool raisedPeriod;
};

FrameWait openFrameWait() {
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x2;
#endif
  FrameWait wait = {CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                           TIMER_ALL_ACCESS),
                    false};
  if (!wait.timer) {
    wait.timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    wait.raisedPeriod = timeBeginPeriod(1) == TIMERR_NOERROR;
  }
  return wait;
}

void closeFrameWait(FrameWait& wait) {
  if (wait.timer) CloseHandle(wait.timer);
  if (wait.raisedPeriod) timeEndPeriod(1);
  wait = {nullptr, false};
}

// Waits `left` milliseconds or until a message comes, whichever is first;
// true when the time is up. Input therefore ends the saver as fast as in a
// loop that never waits.
bool waitForFrame(const FrameWait& wait, double left) {
  if (left <= 0.0) return true;
  if (!wait.timer) {
    return MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left + 0.5), QS_ALLINPUT,
                                       MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT;
  }
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(left * 10000.0);  // relative, in 100 ns
  if (!SetWaitableTimer(wait.timer, &due, 0, nullptr, nullptr, FALSE)) return true;
  HANDLE timer = wait.timer;
  return MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0;
}

// One pacer per view, each at its own monitor's refresh, so that a 60 Hz
// monitor beside a 144 Hz one is not drawn faster than it shows. Only an
// exclusive full-screen device, whose Present waits for the blank, is paced a
// little ahead of it.
struct Pacing {
  FramePacer pacers[kMaxMonitorViews];
  uint32_t count;
  IDirect3DDevice8* device;  // the device, views and power state the pacers were made for
  uint32_t generation;
  PowerState power;
  bool deviceReady;  // the last look at the device let the views draw
  PaceCheck extrasCheck;  // whether the saver window keeps its pace with the extras
};

void makePacers(Pacing& pacing) {
  bool exclusive = app.render.screenMode == ScreenMode::Exclusive;
  double now = clockMs();
  pacing.device = app.render.device;
  pacing.generation = app.views.generation;
  pacing.power = app.host.power;
  pacing.count = app.views.count;
  pacing.deviceReady = false;
  for (uint32_t i = 0; i < pacing.count; ++i)
    pacing.pacers[i] = makeFramePacer(viewFrameRate(i), exclusive, now);
}

// Every cloth's step was calibrated at the old pace.
void restartCalibrations() {
  restartStepCalibration(app.sim.calibration);
  for (uint32_t i = 1; i < app.views.count; ++i)
    restartStepCalibration(app.views.views[i].sim->calibration);
}

// A device made again after a refused password may show another rate; a
// display change builds the views again; a power change sets another pace.
void followDeviceAndViews(Pacing& pacing) {
  bool paceChanged = savesPower(app.host.power) != savesPower(pacing.power);
  if (app.render.device != pacing.device || app.views.generation != pacing.generation || paceChanged)
    makePacers(pacing);
  if (paceChanged) restartCalibrations();
  // On battery the extras' cost is the battery's.
  if (paceChanged && savesPower(app.host.power)) dropRenderExtras();
}

// Without views (no scene) the loop waits for messages only.
double msUntilNextFrame(const Pacing& pacing) {
  double now = clockMs();
  double left = 1000.0;
  for (uint32_t i = 0; i < pacing.count; ++i) {
    double viewLeft = msUntilFrame(pacing.pacers[i], now);
    if (viewLeft < left) left = viewLeft;
  }
  return left;
}

// Every view whose frame is due gets it, the saver window's first. The
// device is looked at once, with the saver window's frame, for all views:
// however many monitors there are, a lost device is tested and a refused
// Reset tried again at one monitor's pace. Each view's update fills the
// shared vertex buffer before its draw, also a buffer just made again.
void runDueFrames(Pacing& pacing) {
  for (uint32_t i = 0; i < pacing.count; ++i) {
    double now = clockMs();
    if (msUntilFrame(pacing.pacers[i], now) > 0.0) continue;
    startPacedFrame(pacing.pacers[i], now);
    if (i == 0) pacing.deviceReady = readyDeviceForFrames();
    // A Reset may have built the views again.
    if (app.views.generation != pacing.generation) return;
    runViewFrame(i, pacing.deviceReady);
    if (i == 0 && pacing.deviceReady && frameFallsShort(pacing.extrasCheck, now, viewFrameRate(0)))
      dropRenderExtras();
  }
}

}  // namespace

uint32_t runSaverWindow(HWND__* parentWindow) {
  HostState& host = app.host;
  if (!registerSaverClass()) return 0;
  HWND window = createSaverWindow(parentWindow);
  if (!window) return 0;
  // Read before the device is made: on battery it is made without extras.
  host.power = readPowerState();
  startRun(window);
  // Ended during a start-up message: the loop only waits for the quit.
  if (!host.windowClosed) host.framesEnabled = 1;
  // Frames stop while the display is off, so the power plan may turn it off.
  // Windows 8 and later tell the console display's state; Windows 7 only
  // the monitor's power, which later ones still send too. The battery
  // saver's state comes as a setting of its own (Windows 10 and later), at
  // once and at every change: slower on battery and in battery saver.
  HPOWERNOTIFY notices[3] = {nullptr, nullptr, nullptr};
  const unsigned char* settings[3] = {kConsoleDisplayGuid, kMonitorPowerGuid, kPowerSavingGuid};
  for (int i = 0; i < 3; ++i) {
    GUID setting;
    std::memcpy(&setting, settings[i], sizeof setting);
    notices[i] = RegisterPowerSettingNotification(window, &setting, DEVICE_NOTIFY_WINDOW_HANDLE);
  }

  // Messages first; a frame when one is due; otherwise waits for whichever
  // comes first.
  FrameWait wait = openFrameWait();
  Pacing pacing;
  makePacers(pacing);
  // Once a run: the extras kept or given up stay so.
  pacing.extrasCheck = startPaceCheck(clockMs());
  MSG message;
  std::memset(&message, 0, sizeof message);
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
      if (message.message == WM_QUIT) break;
    } else if (!framesWanted(host)) {
      MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    } else if (waitForFrame(wait, msUntilNextFrame(pacing))) {
      followDeviceAndViews(pacing);
      runDueFrames(pacing);
    }
  }
  closeFrameWait(wait);
  for (HPOWERNOTIFY notice : notices)
    if (notice) UnregisterPowerSettingNotification(notice);
  // The preview ends with its host's destruction, never a WM_CLOSE: its
  // device goes here, so that no Direct3D thread of Wine's still holds a GL
  // context while the process exits (which can crash it there).
  if (host.mode == Preview) {
    releaseScene();
    releaseExitObjects();
  }
  return static_cast<uint32_t>(message.wParam);
}

