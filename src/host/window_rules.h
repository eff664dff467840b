// The saver window's decisions as plain computation: what each window message
// does in Saver and Preview mode, the mouse rule, the end request and the
// password check, and the windows of the monitors beside the saver window's. The platform calls stand behind EndPlatform and the WindowAction
// list; saver_window_win.cpp, monitor_windows_win.cpp and end_request_win.cpp
// carry them out.
#pragma once
#include <cstdint>

#include "app/host_state.h"

// Window messages and parameters the rules look at (the winuser.h values).
enum : uint32_t {
  kWmCreate = 0x0001,
  kWmDestroy = 0x0002,
  kWmClose = 0x0010,
  kWmActivateApp = 0x001C,
  kWmSetCursor = 0x0020,
  kWmDisplayChange = 0x007E,
  kWmKeyDown = 0x0100,
  kWmSysCommand = 0x0112,
  kWmMouseActivate = 0x0021,
  kWmMouseMove = 0x0200,
  kWmLButtonDown = 0x0201,
  kWmRButtonDown = 0x0204,
  kWmMButtonDown = 0x0207,
  kWmPowerBroadcast = 0x0218,
  kPbtApmSuspend = 4,
  kPbtPowerSettingChange = 0x8013,
  kScClose = 0xF060,
  kScScreenSave = 0xF140,
  kScPrevWindow = 0xF050,
  kScNextWindow = 0xF040,
};

// The sixth coordinate change ends the saver.
constexpr uint32_t kMouseMoveLimit = 5;

// One platform step of the window procedure, carried out in list order.
enum class WindowAction : uint8_t {
  HideCursor,       // SetCursor(null)
  ShowArrowCursor,  // SetCursor(LoadCursor(null, IDC_ARROW))
  RunningFlagOn,    // SPI_SETSCREENSAVERRUNNING 1
  RunningFlagOff,   // SPI_SETSCREENSAVERRUNNING 0
  SetMainWindow,    // mainWindow = the window receiving the message
  PostQuit,         // PostQuitMessage(0)
  StopFrames,       // framesEnabled = 0, windowClosed = 1
  ReleaseScene,
  ExitRelease,  // background picture, device, Direct3D object
  ReleaseKeyboard,
  RequestEnd,
  PlaceMonitorWindows,  // the other monitors' windows made, moved or destroyed to fit them now
  DestroyMonitorWindows,
};

enum class WindowResult : uint8_t {
  Default,  // DefWindowProcA's result
  Zero,     // 0 without DefWindowProcA
  NoActivate,  // MA_NOACTIVATE without DefWindowProcA: the click still arrives
};

constexpr uint32_t kMaxWindowActions = 8;

struct WindowDecision {
  WindowAction actions[kMaxWindowActions];
  uint32_t count;
  WindowResult result;
};

// What the saver window does with one message. Runs the mouse rule on
// host's mouse fields for WM_MOUSEMOVE in Saver mode (the only state it
// changes); everything else is left to the returned actions.
WindowDecision decideWindowMessage(HostState& host, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam);

// What another monitor's window (a cover, or a Desktop-mode flag window)
// does with one message. A click never activates it (the saver window keeps
// the activation, whose loss would end the saver). Keys, buttons, pointer and
// system commands act as on the saver window, so they share its end request
// and its mouse count; the pointer's position is taken in screen
// coordinates (the window's client point + its area's top-left corner), the saver
// window's own, so a pointer crossing between windows counts only real
// moves. Everything else is left to the saver window (activation, power,
// display changes reach it too); WM_CLOSE does nothing, as such a window goes
// only with the saver window.
WindowDecision decideMonitorWindowMessage(HostState& host, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam, const ScreenRect& area);

// A mouse message's lParam moved from a window's client area whose top-left
// corner is at origin into screen coordinates, as 16-bit words again.
intptr_t screenMouseLParam(intptr_t lParam, const ScreenRect& origin);

// One monitor as the system lists it.
struct MonitorArea {
  ScreenRect rect;
  bool primary;
};

// The rectangles that need a window of their own: every monitor except the one the
// full-screen device uses (the primary; the first listed when none is
// marked), in list order, at most capacity. Skipped too: empty rectangles,
// and any showing exactly the device monitor's area (a mirror of it, where
// a window would hide the picture). Returns how many were written.
uint32_t otherMonitorAreas(const MonitorArea* monitors, uint32_t count, ScreenRect* areas,
                         uint32_t capacity);

// The display's state in a PBT_POWERSETTINGCHANGE record
// (POWERBROADCAST_SETTING: setting GUID, 32-bit data length, data) of
// `bytes` bytes, from the console display's setting (0 off, 1 on, 2 dimmed)
// or the monitor's power (0 off, 1 on); kNoPowerSetting for another setting
// or a record too short to hold the state.
constexpr uint32_t kNoPowerSetting = 0xFFFFFFFF;
// GUID_CONSOLE_DISPLAY_STATE (Windows 8 and later) and GUID_MONITOR_POWER_ON
// (Windows 7 too) as they lie in memory (little-endian fields): the settings
// to register for and the ones this rule reads.
extern const unsigned char kConsoleDisplayGuid[16];
extern const unsigned char kMonitorPowerGuid[16];
uint32_t displayPowerState(const void* record, uint32_t bytes);

// GUID_POWER_SAVING_STATUS as it lies in memory: battery saver, Windows 10
// and later. Its changes come only as this setting, not as a power-status
// change.
extern const unsigned char kPowerSavingGuid[16];
// The battery saver's state in such a record: 0 off, 1 on; kNoPowerSetting
// for another setting or a record too short, as above.
uint32_t batterySaverState(const void* record, uint32_t bytes);

// Frames run while the window wants them and the display is not off (a
// dimmed display still shows them). Changes nothing.
bool framesWanted(const HostState& host);

// The mouse rule: counts changes of the unsigned 16-bit x (low word) and y
// (high word) of lParam; true when the count passed kMouseMoveLimit, which
// also resets it to 0.
bool countMouseMove(HostState& host, intptr_t lParam);

// The platform side of the end request and the password check.
class EndPlatform {
 public:
  virtual ~EndPlatform() = default;
  virtual void runningFlagOn() = 0;
  virtual void suspendRendering() = 0;    // scene and device released, window maximised
  virtual void resumeRendering() = 0;     // device, settings and scene made again
  virtual void postClose() = 0;           // WM_CLOSE posted to mainWindow
  virtual uint32_t verifyPassword() = 0;  // normally runPasswordCheck
  // "ScreenSaveUsePassword" of "Control Panel\Desktop" into *value (which
  // is 0 beforehand, 4 bytes); false when the key or the value cannot be read.
  virtual bool readUsePassword(uint32_t* value) = 0;
  virtual bool loadVerifierLibrary() = 0;  // "PASSWORD.CPL"
  virtual bool findVerifier() = 0;         // "VerifyScreenSavePwd"
  virtual uint32_t callVerifier() = 0;     // with mainWindow; may re-enter the rules
  virtual void freeVerifierLibrary() = 0;
};

// requestEnd: nothing while the check runs or after the grant; otherwise
// suspends rendering, verifies, then posts the close or resumes.
void runEndRequest(HostState& host, EndPlatform& platform);

// verifyPassword: non-zero when the saver may end. Every failure on the way
// to the verifier means no password is required (1).
uint32_t runPasswordCheck(HostState& host, EndPlatform& platform);
