#include "host/window_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using A = WindowAction;
using Actions = std::vector<WindowAction>;

HostState hostIn(SaverMode mode) {
  HostState host{};
  host.mode = mode;
  host.isPreview = mode == Preview ? 1 : 0;
  return host;
}

Actions actionsOf(const WindowDecision& decision) {
  return Actions(decision.actions, decision.actions + decision.count);
}

intptr_t mouseAt(uint32_t x, uint32_t y) {
  return static_cast<intptr_t>((y << 16) | x);
}

struct MessageCase {
  const char* name;
  uint32_t message;
  uintptr_t wParam;
  Actions saver;
  WindowResult saverResult;
  Actions preview;
  WindowResult previewResult;
};

const WindowResult Default = WindowResult::Default;
const WindowResult Zero = WindowResult::Zero;

// One row per message of the window procedure, in both modes. The mouse
// message moves to a new place, so its rule counts but does not end yet.
const MessageCase kMessageCases[] = {
    {"create",
     kWmCreate,
     0,
     {A::HideCursor, A::RunningFlagOn, A::SetMainWindow},
     Default,
     {A::SetMainWindow},
     Default},
    {"destroy",
     kWmDestroy,
     0,
     {A::ShowArrowCursor, A::RunningFlagOff, A::DestroyMonitorWindows, A::PostQuit},
     Zero,
     {A::PostQuit},
     Zero},
    {"close",
     kWmClose,
     0,
     {A::StopFrames, A::ReleaseScene, A::ExitRelease, A::ReleaseKeyboard},
     Default,
     {A::StopFrames, A::ReleaseScene, A::ExitRelease, A::ReleaseKeyboard},
     Default},
    {"set cursor", kWmSetCursor, 0, {A::HideCursor}, Default, {}, Default},
    {"mouse move", kWmMouseMove, 0, {A::HideCursor}, Default, {}, Default},
    {"key down", kWmKeyDown, 0x41, {A::RequestEnd}, Default, {}, Default},
    {"left button", kWmLButtonDown, 1, {A::RequestEnd}, Default, {}, Default},
    {"right button", kWmRButtonDown, 2, {A::RequestEnd}, Default, {}, Default},
    {"middle button", kWmMButtonDown, 0x10, {A::RequestEnd}, Default, {}, Default},
    {"deactivated", kWmActivateApp, 0, {A::RequestEnd}, Default, {}, Default},
    {"activated", kWmActivateApp, 1, {}, Default, {}, Default},
    {"suspend",
     kWmPowerBroadcast,
     kPbtApmSuspend,
     {A::RequestEnd},
     Default,
     {A::RequestEnd},
     Default},
    {"resume notice", kWmPowerBroadcast, 7, {}, Default, {}, Default},
    // The display turning off or on stops or restarts frames, nothing more.
    {"power setting", kWmPowerBroadcast, kPbtPowerSettingChange, {}, Default, {}, Default},
    // A monitor layout change ends nothing; the covers follow it.
    {"display change", kWmDisplayChange, 16, {A::PlaceMonitorWindows}, Default, {}, Default},
    {"system key (Alt)", 0x0104, 0x41, {}, Default, {}, Default},
    {"key up", 0x0101, 0x41, {}, Default, {}, Default},
    {"left release", 0x0202, 0, {}, Default, {}, Default},
    {"right release", 0x0205, 0, {}, Default, {}, Default},
    {"wheel", 0x020A, 0x00780000, {}, Default, {}, Default},
    {"x button", 0x020B, 0x10000, {}, Default, {}, Default},
    {"paint", 0x000F, 0, {}, Default, {}, Default},
};

TEST(WindowRules, EveryMessageRowInBothModes) {
  for (const MessageCase& row : kMessageCases) {
    SCOPED_TRACE(row.name);
    HostState saver = hostIn(Saver);
    WindowDecision s = decideWindowMessage(saver, row.message, row.wParam, mouseAt(512, 384));
    EXPECT_EQ(actionsOf(s), row.saver);
    EXPECT_EQ(s.result, row.saverResult);

    HostState preview = hostIn(Preview);
    WindowDecision p = decideWindowMessage(preview, row.message, row.wParam, mouseAt(512, 384));
    EXPECT_EQ(actionsOf(p), row.preview);
    EXPECT_EQ(p.result, row.previewResult);
    // The preview never counts mouse moves.
    EXPECT_EQ(preview.mouseMoveCount, 0u);
  }
}

TEST(WindowRules, SystemCommandsSwallowedOnlyAsWholeValuesInSaverMode) {
  struct Case {
    uintptr_t command;
    WindowResult saver;
  };
  const Case cases[] = {
      {0xF060, Zero},    {0xF140, Zero},    {0xF050, Zero},    {0xF040, Zero},    {0xF061, Default},
      {0xF141, Default}, {0xF051, Default}, {0xF020, Default}, {0xF100, Default}, {0, Default},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    HostState saver = hostIn(Saver);
    WindowDecision s = decideWindowMessage(saver, kWmSysCommand, c.command, 0);
    EXPECT_EQ(s.result, c.saver);
    EXPECT_EQ(s.count, 0u);
    HostState preview = hostIn(Preview);
    EXPECT_EQ(decideWindowMessage(preview, kWmSysCommand, c.command, 0).result, Default);
  }
}

TEST(WindowRules, CursorStaysVisibleWhileThePasswordDialogIsOpen) {
  HostState host = hostIn(Saver);
  host.passwordDialogOpen = 1;
  EXPECT_EQ(actionsOf(decideWindowMessage(host, kWmSetCursor, 0, 0)), Actions{});
  // Mouse moves still hide it and still count.
  EXPECT_EQ(actionsOf(decideWindowMessage(host, kWmMouseMove, 0, mouseAt(3, 4))),
            Actions{A::HideCursor});
  EXPECT_EQ(host.mouseMoveCount, 2u);
}

TEST(WindowRules, TheDisplayAndBatterySaverStatesAreReadOnlyFromTheirOwnSettings) {
  const unsigned char display[16] = {0x56, 0x95, 0xe6, 0x6f, 0x4a, 0x70, 0xa0, 0x47,
                                     0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47};
  // GUID_MONITOR_POWER_ON {02731015-4510-4526-99E6-E5A17EBD1AEA}, Windows 7's.
  const unsigned char monitor[16] = {0x15, 0x10, 0x73, 0x02, 0x10, 0x45, 0x26, 0x45,
                                     0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea};
  // GUID_POWER_SAVING_STATUS, e00958c0-c213-4ace-ac77-fecced2eeea5.
  const unsigned char saver[16] = {0xc0, 0x58, 0x09, 0xe0, 0x13, 0xc2, 0xce, 0x4a,
                                   0xac, 0x77, 0xfe, 0xcc, 0xed, 0x2e, 0xee, 0xa5};
  unsigned char other[16];
  std::memcpy(other, display, 16);
  other[15] ^= 1;
  constexpr uint32_t kNone = kNoPowerSetting;
  struct Case {
    const char* name;
    const unsigned char* guid;
    uint32_t length, state, bytes, display, batterySaver;
  };
  const Case cases[] = {
      {"off", display, 4, 0, 24, 0, kNone},
      {"on", display, 4, 1, 24, 1, kNone},
      {"dimmed", display, 4, 2, 24, 2, kNone},
      {"monitor off", monitor, 4, 0, 24, 0, kNone},
      {"monitor on", monitor, 4, 1, 24, 1, kNone},
      {"another setting", other, 4, 0, 24, kNone, kNone},
      {"no data", display, 0, 0, 24, kNone, kNone},
      {"record cut short", display, 4, 0, 23, kNone, kNone},
      {"battery saver on", saver, 4, 1, 24, kNone, 1},
      {"battery saver off", saver, 4, 0, 24, kNone, 0},
      {"battery saver cut short", saver, 4, 1, 23, kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char record[24];
    std::memcpy(record, c.guid, 16);
    std::memcpy(record + 16, &c.length, 4);
    std::memcpy(record + 20, &c.state, 4);
    EXPECT_EQ(c.display, displayPowerState(record, c.bytes));
    EXPECT_EQ(c.batterySaver, batterySaverState(record, c.bytes));
  }
  EXPECT_EQ(kNoPowerSetting, displayPowerState(nullptr, 24));
  EXPECT_EQ(kNoPowerSetting, batterySaverState(nullptr, 24));

  HostState host = hostIn(Saver);
  host.framesEnabled = 1;
  EXPECT_TRUE(framesWanted(host));
  host.displayOff = 1;
  EXPECT_FALSE(framesWanted(host));
  host.displayOff = 0;
  host.framesEnabled = 0;
  EXPECT_FALSE(framesWanted(host));
}

TEST(MouseRule, SixthCoordinateChangeRequestsTheEndAndResetsTheCount) {
  struct Step {
    uint32_t x, y, count;
    bool ends;
  };
  // Each coordinate that changes counts one; (0, 0) at the start and
  // repeated coordinates are no change.
  const Step steps[] = {
      {0, 0, 0, false},
      {512, 384, 2, false},
      {512, 384, 2, false},
      {513, 384, 3, false},
      {514, 385, 5, false},
      {515, 385, 0, true},
      // Counting starts again from 0.
      {516, 385, 1, false},
  };
  HostState host = hostIn(Saver);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.x);
    WindowDecision d = decideWindowMessage(host, kWmMouseMove, 0, mouseAt(step.x, step.y));
    Actions expected{A::HideCursor};
    if (step.ends) expected.push_back(A::RequestEnd);
    EXPECT_EQ(actionsOf(d), expected);
    EXPECT_EQ(host.mouseMoveCount, step.count);
    EXPECT_EQ(host.lastMouseX, step.x);
    EXPECT_EQ(host.lastMouseY, step.y);
  }
}

TEST(MouseRule, WordsAreTakenUnsigned) {
  HostState host = hostIn(Saver);
  // Negative screen coordinates (-1, -2) arrive as 0xFFFF, 0xFFFE; a
  // sign-extended 64-bit lParam must not leak into y.
  intptr_t lParam = static_cast<intptr_t>(static_cast<int32_t>(0xFFFEFFFFu));
  countMouseMove(host, lParam);
  EXPECT_EQ(host.lastMouseX, 0xFFFFu);
  EXPECT_EQ(host.lastMouseY, 0xFFFEu);
  EXPECT_EQ(host.mouseMoveCount, 2u);
  // Only the two low words count, whatever lies above them.
  countMouseMove(host, static_cast<intptr_t>(static_cast<uint64_t>(0x12347FFE0005ull)));
  EXPECT_EQ(host.lastMouseX, 5u);
  EXPECT_EQ(host.lastMouseY, 0x7FFEu);
}

const ScreenRect kPrimary = {0, 0, 800, 600};

TEST(MonitorCovers, EveryMonitorButTheDevicesGetsOne) {
  struct Case {
    const char* name;
    std::vector<MonitorArea> monitors;
    uint32_t capacity;
    std::vector<ScreenRect> covers;
  };
  const Case cases[] = {
      {"no monitor listed", {}, kMaxMonitorWindows, {}},
      {"one monitor", {{kPrimary, true}}, kMaxMonitorWindows, {}},
      // Xvfb's heads share one origin: the smaller one still gets its cover.
      {"heads stacked at one origin",
       {{kPrimary, true}, {{0, 0, 640, 480}, false}},
       kMaxMonitorWindows,
       {{0, 0, 640, 480}}},
      {"primary listed last",
       {{{1920, 0, 3200, 1024}, false}, {{0, 0, 1920, 1080}, true}},
       kMaxMonitorWindows,
       {{1920, 0, 3200, 1024}}},
      {"left of and right of the primary, in list order",
       {{{-1280, -200, 0, 824}, false}, {kPrimary, true}, {{800, 0, 1824, 768}, false}},
       kMaxMonitorWindows,
       {{-1280, -200, 0, 824}, {800, 0, 1824, 768}}},
      {"none marked primary: the first is the device's",
       {{kPrimary, false}, {{800, 0, 1600, 600}, false}},
       kMaxMonitorWindows,
       {{800, 0, 1600, 600}}},
      {"a mirror of the device's monitor and empty areas are left alone",
       {{kPrimary, true},
        {kPrimary, false},
        {{800, 0, 800, 600}, false},
        {{900, 0, 1000, -5}, false},
        {{800, 0, 1600, 600}, false}},
       kMaxMonitorWindows,
       {{800, 0, 1600, 600}}},
      {"no more than there is room for",
       {{kPrimary, true}, {{800, 0, 1600, 600}, false}, {{1600, 0, 2400, 600}, false}},
       1,
       {{800, 0, 1600, 600}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScreenRect out[kMaxMonitorWindows + 1] = {};
    const ScreenRect untouched = {7, 7, 7, 7};
    for (ScreenRect& r : out) r = untouched;
    uint32_t n = otherMonitorAreas(c.monitors.data(), static_cast<uint32_t>(c.monitors.size()), out,
                                 c.capacity);
    ASSERT_EQ(n, c.covers.size());
    for (uint32_t i = 0; i < n; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(out[i].left, c.covers[i].left);
      EXPECT_EQ(out[i].top, c.covers[i].top);
      EXPECT_EQ(out[i].right, c.covers[i].right);
      EXPECT_EQ(out[i].bottom, c.covers[i].bottom);
    }
    // Nothing written beyond what was returned.
    EXPECT_EQ(out[n].left, 7);
    EXPECT_EQ(out[n].bottom, 7);
  }
}

TEST(MonitorCovers, CoverMessagesActAsOnTheSaverWindowOrNotAtAll) {
  struct Case {
    const char* name;
    uint32_t message;
    uintptr_t wParam;
    Actions saver;
    WindowResult saverResult;
  };
  // Preview mode makes no covers; its rows would all be empty.
  const Case cases[] = {
      {"key down", kWmKeyDown, 0x41, {A::RequestEnd}, Default},
      {"left button", kWmLButtonDown, 1, {A::RequestEnd}, Default},
      {"right button", kWmRButtonDown, 2, {A::RequestEnd}, Default},
      {"middle button", kWmMButtonDown, 0x10, {A::RequestEnd}, Default},
      {"set cursor", kWmSetCursor, 0, {A::HideCursor}, Default},
      {"swallowed close command", kWmSysCommand, kScClose, {}, Zero},
      {"other command", kWmSysCommand, 0xF020, {}, Default},
      // The saver window gets these as well and acts once for all.
      {"deactivated", kWmActivateApp, 0, {}, Default},
      {"suspend", kWmPowerBroadcast, kPbtApmSuspend, {}, Default},
      {"display change", kWmDisplayChange, 16, {}, Default},
      // A cover's own life is not the saver's.
      {"create", kWmCreate, 0, {}, Default},
      {"destroy", kWmDestroy, 0, {}, Default},
      {"close", kWmClose, 0, {}, Zero},
      // A click leaves the activation with the saver window.
      {"mouse activate", kWmMouseActivate, 0, {}, WindowResult::NoActivate},
      {"system key (Alt)", 0x0104, 0x41, {}, Default},
      {"left release", 0x0202, 0, {}, Default},
  };
  const ScreenRect cover = {800, 0, 1600, 600};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostState host = hostIn(Saver);
    WindowDecision d = decideMonitorWindowMessage(host, c.message, c.wParam, mouseAt(5, 5), cover);
    EXPECT_EQ(actionsOf(d), c.saver);
    EXPECT_EQ(d.result, c.saverResult);
    EXPECT_EQ(host.mouseMoveCount, 0u);
  }
  HostState preview = hostIn(Preview);
  EXPECT_EQ(actionsOf(decideMonitorWindowMessage(preview, kWmKeyDown, 0x41, 0, cover)), Actions{});
}

TEST(MonitorCovers, PointerMovesCountTogetherInScreenCoordinates) {
  const ScreenRect left = {-1280, 0, 0, 1024};
  HostState host = hostIn(Saver);
  // The pointer rests at screen (300, 200) on the saver window, then the
  // same point reaches it through a cover's client coordinates: no change.
  decideWindowMessage(host, kWmMouseMove, 0, mouseAt(300, 200));
  EXPECT_EQ(host.mouseMoveCount, 2u);
  const ScreenRect atOrigin = {0, 0, 640, 480};
  decideMonitorWindowMessage(host, kWmMouseMove, 0, mouseAt(300, 200), atOrigin);
  EXPECT_EQ(host.mouseMoveCount, 2u);
  // Screen x -1270 on the left monitor is client x 10 there.
  decideMonitorWindowMessage(host, kWmMouseMove, 0, mouseAt(10, 200), left);
  EXPECT_EQ(host.mouseMoveCount, 3u);
  EXPECT_EQ(host.lastMouseX, static_cast<uint32_t>(-1270) & 0xFFFFu);
  EXPECT_EQ(host.lastMouseY, 200u);
  // The count goes on across windows and ends at the sixth change.
  EXPECT_EQ(actionsOf(decideWindowMessage(host, kWmMouseMove, 0, mouseAt(301, 201))),
            (Actions{A::HideCursor}));
  EXPECT_EQ(host.mouseMoveCount, 5u);
  EXPECT_EQ(actionsOf(decideMonitorWindowMessage(host, kWmMouseMove, 0, mouseAt(11, 201), left)),
            (Actions{A::HideCursor, A::RequestEnd}));
  EXPECT_EQ(host.mouseMoveCount, 0u);
}

TEST(MonitorCovers, ClientPointsMoveIntoScreenWords) {
  struct Case {
    uint32_t x, y;  // client words as the message carries them
    ScreenRect origin;
    uint32_t screenX, screenY;  // words
  };
  const Case cases[] = {
      {0, 0, {0, 0, 640, 480}, 0, 0},
      {10, 20, {800, 0, 1600, 600}, 810, 20},
      {10, 20, {-1280, -200, 0, 824}, 0xFB0A, 0xFF4C},  // -1270, -180
      // A captured pointer left of the client area: x -3.
      {0xFFFD, 5, {800, 100, 1600, 700}, 797, 105},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    intptr_t words = screenMouseLParam(mouseAt(c.x, c.y), c.origin);
    EXPECT_EQ(words, mouseAt(c.screenX, c.screenY));
  }
}

// Records the platform steps; its verifier re-enters the rules like the
// real dialog's modal loop does.
class RecordingPlatform : public EndPlatform {
 public:
  explicit RecordingPlatform(HostState& host) : host_(host) {}

  std::string calls;
  bool keyReadable = true;
  uint32_t usePassword = 1;
  bool libraryPresent = true;
  bool functionPresent = true;
  std::vector<uint32_t> answers;  // verifier results, in call order
  bool nestDuringCheck = false;

  void runningFlagOn() override { calls += "flag "; }
  void suspendRendering() override { calls += "suspend "; }
  void resumeRendering() override { calls += "resume "; }
  void postClose() override { calls += "close "; }
  uint32_t verifyPassword() override { return runPasswordCheck(host_, *this); }
  bool readUsePassword(uint32_t* value) override {
    calls += "read ";
    if (keyReadable) *value = usePassword;
    return keyReadable;
  }
  bool loadVerifierLibrary() override {
    calls += "load ";
    return libraryPresent;
  }
  bool findVerifier() override {
    calls += "find ";
    return functionPresent;
  }
  uint32_t callVerifier() override {
    calls += "verify ";
    EXPECT_EQ(host_.passwordDialogOpen, 1u);
    if (nestDuringCheck) {
      // Input reaching the window while the dialog shows.
      std::string before = calls;
      runEndRequest(host_, *this);
      // Five moves from (0, 0): the last one passes the limit.
      for (int i = 0; i < 5; ++i)
        if (decideWindowMessage(host_, kWmMouseMove, 0, mouseAt(10 + i, 10)).count > 1)
          runEndRequest(host_, *this);
      EXPECT_EQ(calls, before);
    }
    uint32_t answer = answers.empty() ? 0 : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return answer;
  }
  void freeVerifierLibrary() override { calls += "free "; }

 private:
  HostState& host_;
};

TEST(EndRequest, PasswordCheckStepsAndEarlyExits) {
  struct Case {
    const char* name;
    bool keyReadable;
    uint32_t usePassword;
    bool library, function;
    uint32_t answer;
    const char* calls;
    uint32_t result;
  };
  const Case cases[] = {
      {"key or value unreadable", false, 1, true, true, 0, "read ", 1},
      {"no password", true, 0, true, true, 0, "read ", 1},
      {"no library", true, 1, false, true, 0, "read load ", 1},
      {"no function", true, 1, true, false, 0, "read load find free ", 1},
      {"refused", true, 1, true, true, 0, "read load find flag verify free ", 0},
      {"accepted", true, 1, true, true, 1, "read load find flag verify free ", 1},
      {"text \"0\" read as 48", true, 48, true, true, 7, "read load find flag verify free ", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostState host = hostIn(Saver);
    RecordingPlatform platform(host);
    platform.keyReadable = c.keyReadable;
    platform.usePassword = c.usePassword;
    platform.libraryPresent = c.library;
    platform.functionPresent = c.function;
    platform.answers = {c.answer};
    EXPECT_EQ(runPasswordCheck(host, platform), c.result);
    EXPECT_EQ(platform.calls, c.calls);
    EXPECT_EQ(host.passwordDialogOpen, 0u);
  }
}

TEST(EndRequest, GrantClosesAndRefusalResumes) {
  HostState host = hostIn(Saver);
  RecordingPlatform platform(host);
  platform.answers = {0, 1};

  // A key ends the run, not the mouse: its refused request leaves the mouse count.
  decideWindowMessage(host, kWmMouseMove, 0, mouseAt(7, 9));
  ASSERT_EQ(actionsOf(decideWindowMessage(host, kWmKeyDown, 0x20, 0)), Actions{A::RequestEnd});
  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "flag suspend read load find flag verify free flag resume ");
  EXPECT_EQ(host.endGranted, 0u);
  EXPECT_EQ(host.mouseMoveCount, 2u);

  platform.calls.clear();
  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "flag suspend read load find flag verify free close ");
  EXPECT_EQ(host.endGranted, 1u);

  // After the grant every further request does nothing.
  platform.calls.clear();
  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "");
}

TEST(EndRequest, WithoutPasswordTheFirstRequestEndsAndKeepsTheVerifierResult) {
  HostState host = hostIn(Saver);
  RecordingPlatform platform(host);
  platform.usePassword = 0;
  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "flag suspend read close ");
  EXPECT_EQ(host.endGranted, 1u);
}

TEST(EndRequest, NestedRequestsDuringTheDialogDoNothing) {
  HostState host = hostIn(Saver);
  RecordingPlatform platform(host);
  platform.nestDuringCheck = true;
  platform.answers = {0};
  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "flag suspend read load find flag verify free flag resume ");
  EXPECT_EQ(host.passwordDialogOpen, 0u);
  // The mouse rule ran inside the dialog and reset its count when it passed 5.
  EXPECT_EQ(host.mouseMoveCount, 0u);
}

}  // namespace
