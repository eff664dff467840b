#include "host/window_rules.h"

#include <cstring>

namespace {

// The commands that would close the saver or start another one. Compared as
// whole values: the low four bits are not masked off.
const uintptr_t kSwallowedCommands[] = {kScClose, kScScreenSave, kScPrevWindow, kScNextWindow};

struct DecisionBuilder {
  WindowDecision decision{};

  DecisionBuilder() { decision.result = WindowResult::Default; }
  void add(WindowAction action) {
    if (decision.count < kMaxWindowActions) decision.actions[decision.count++] = action;
  }
};

bool isSwallowedCommand(uintptr_t command) {
  for (uintptr_t swallowed : kSwallowedCommands)
    if (command == swallowed) return true;
  return false;
}

bool sameRect(const ScreenRect& a, const ScreenRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

const unsigned char kConsoleDisplayGuid[16] = {0x56, 0x95, 0xe6, 0x6f, 0x4a, 0x70, 0xa0, 0x47,
                                               0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47};
const unsigned char kPowerSavingGuid[16] = {0xc0, 0x58, 0x09, 0xe0, 0x13, 0xc2, 0xce, 0x4a,
                                            0xac, 0x77, 0xfe, 0xcc, 0xed, 0x2e, 0xee, 0xa5};

const unsigned char kMonitorPowerGuid[16] = {0x15, 0x10, 0x73, 0x02, 0x10, 0x45, 0x26, 0x45,
                                             0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea};

namespace {

// The 32-bit value of one power setting's PBT_POWERSETTINGCHANGE record.
uint32_t powerSettingValue(const void* record, uint32_t bytes, const unsigned char* setting) {
  constexpr uint32_t kHeaderBytes = 20;  // GUID and data length
  if (!record || bytes < kHeaderBytes + 4) return kNoPowerSetting;
  const unsigned char* data = static_cast<const unsigned char*>(record);
  if (std::memcmp(data, setting, 16) != 0) return kNoPowerSetting;
  uint32_t length = 0, value = 0;
  std::memcpy(&length, data + 16, 4);
  if (length < 4) return kNoPowerSetting;
  std::memcpy(&value, data + kHeaderBytes, 4);
  return value;
}

}  // namespace

uint32_t displayPowerState(const void* record, uint32_t bytes) {
  uint32_t state = powerSettingValue(record, bytes, kConsoleDisplayGuid);
  return state != kNoPowerSetting ? state : powerSettingValue(record, bytes, kMonitorPowerGuid);
}

uint32_t batterySaverState(const void* record, uint32_t bytes) {
  return powerSettingValue(record, bytes, kPowerSavingGuid);
}

bool framesWanted(const HostState& host) {
  return host.framesEnabled && !host.displayOff;
}

bool countMouseMove(HostState& host, intptr_t lParam) {
  uint32_t x = static_cast<uint32_t>(static_cast<uintptr_t>(lParam) & 0xFFFFu);
  uint32_t y = static_cast<uint32_t>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFFu);
  if (x != host.lastMouseX) {
    host.lastMouseX = x;
    ++host.mouseMoveCount;
  }
  if (y != host.lastMouseY) {
    host.lastMouseY = y;
    ++host.mouseMoveCount;
  }
  if (host.mouseMoveCount <= kMouseMoveLimit) return false;
  host.mouseMoveCount = 0;
  return true;
}

WindowDecision decideWindowMessage(HostState& host, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) {
  DecisionBuilder out;
  const bool saver = host.mode == Saver;
  switch (message) {
    case kWmCreate:
      if (saver) {
        out.add(WindowAction::HideCursor);
        out.add(WindowAction::RunningFlagOn);
      }
      out.add(WindowAction::SetMainWindow);
      break;
    case kWmDestroy:
      if (saver) {
        out.add(WindowAction::ShowArrowCursor);
        out.add(WindowAction::RunningFlagOff);
        out.add(WindowAction::DestroyMonitorWindows);
      }
      out.add(WindowAction::PostQuit);
      out.decision.result = WindowResult::Zero;
      break;
    case kWmClose:
      out.add(WindowAction::StopFrames);
      out.add(WindowAction::ReleaseScene);
      out.add(WindowAction::ExitRelease);
      out.add(WindowAction::ReleaseKeyboard);
      break;
    case kWmSetCursor:
      // The verifier's dialog needs a pointer.
      if (saver && host.passwordDialogOpen == 0) out.add(WindowAction::HideCursor);
      break;
    case kWmMouseMove:
      if (saver) {
        out.add(WindowAction::HideCursor);
        if (countMouseMove(host, lParam)) out.add(WindowAction::RequestEnd);
      }
      break;
    case kWmKeyDown:
    case kWmLButtonDown:
    case kWmRButtonDown:
    case kWmMButtonDown:
      if (saver) out.add(WindowAction::RequestEnd);
      break;
    case kWmSysCommand:
      if (saver && isSwallowedCommand(wParam)) out.decision.result = WindowResult::Zero;
      break;
    case kWmActivateApp:
      if (saver && wParam == 0) out.add(WindowAction::RequestEnd);
      break;
    case kWmPowerBroadcast:
      if (wParam == kPbtApmSuspend) out.add(WindowAction::RequestEnd);
      break;
    case kWmDisplayChange:
      // A monitor came, went or moved: nothing ends, the monitor windows follow.
      if (saver) out.add(WindowAction::PlaceMonitorWindows);
      break;
    default:
      break;
  }
  return out.decision;
}

intptr_t screenMouseLParam(intptr_t lParam, const ScreenRect& origin) {
  uintptr_t bits = static_cast<uintptr_t>(lParam);
  // Client coordinates are signed 16-bit words (GET_X_LPARAM).
  int32_t x = static_cast<int16_t>(bits & 0xFFFFu) + origin.left;
  int32_t y = static_cast<int16_t>((bits >> 16) & 0xFFFFu) + origin.top;
  uint32_t words =
      (static_cast<uint32_t>(y) & 0xFFFFu) << 16 | (static_cast<uint32_t>(x) & 0xFFFFu);
  return static_cast<intptr_t>(words);
}

WindowDecision decideMonitorWindowMessage(HostState& host, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam, const ScreenRect& area) {
  switch (message) {
    case kWmMouseMove:
      return decideWindowMessage(host, message, wParam, screenMouseLParam(lParam, area));
    case kWmSetCursor:
    case kWmKeyDown:
    case kWmLButtonDown:
    case kWmRButtonDown:
    case kWmMButtonDown:
    case kWmSysCommand:
      return decideWindowMessage(host, message, wParam, lParam);
    default:
      break;
  }
  DecisionBuilder out;
  if (message == kWmClose) out.decision.result = WindowResult::Zero;
  if (message == kWmMouseActivate) out.decision.result = WindowResult::NoActivate;
  return out.decision;
}

uint32_t otherMonitorAreas(const MonitorArea* monitors, uint32_t count, ScreenRect* areas,
                         uint32_t capacity) {
  if (count == 0) return 0;
  uint32_t device = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (monitors[i].primary) {
      device = i;
      break;
    }
  }
  uint32_t written = 0;
  for (uint32_t i = 0; i < count && written < capacity; ++i) {
    const ScreenRect& r = monitors[i].rect;
    if (i == device || r.right <= r.left || r.bottom <= r.top) continue;
    if (sameRect(r, monitors[device].rect)) continue;
    areas[written++] = r;
  }
  return written;
}

void runEndRequest(HostState& host, EndPlatform& platform) {
  // Modal loops (the verifier's dialog) re-enter the window procedure, and
  // messages keep arriving between the grant and the window's destruction.
  if (host.endGranted != 0 || host.passwordDialogOpen == 1) return;
  platform.runningFlagOn();
  platform.suspendRendering();
  uint32_t granted = platform.verifyPassword();
  if (granted != 0) {
    host.endGranted = granted;
    platform.postClose();
    return;
  }
  platform.runningFlagOn();
  platform.resumeRendering();
}

uint32_t runPasswordCheck(HostState& host, EndPlatform& platform) {
  uint32_t usePassword = 0;
  if (!platform.readUsePassword(&usePassword)) return 1;
  if (usePassword == 0) return 1;
  if (!platform.loadVerifierLibrary()) return 1;
  if (!platform.findVerifier()) {
    platform.freeVerifierLibrary();
    return 1;
  }
  host.passwordDialogOpen = 1;
  platform.runningFlagOn();
  uint32_t result = platform.callVerifier();
  platform.freeVerifierLibrary();
  host.passwordDialogOpen = 0;
  return result;
}
