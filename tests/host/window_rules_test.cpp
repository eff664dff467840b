#include "host/window_rules.h"

#include <gtest/gtest.h>

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
     {A::ShowArrowCursor, A::RunningFlagOff, A::PostQuit},
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

TEST(MouseRule, SixthCoordinateChangeRequestsTheEndAndResetsTheCount) {
  struct Step {
    uint32_t x, y, count;
    bool ends;
  };
  const Step steps[] = {
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

TEST(MouseRule, RepeatedCoordinatesCountNothing) {
  HostState host = hostIn(Saver);
  EXPECT_FALSE(countMouseMove(host, mouseAt(100, 200)));
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(countMouseMove(host, mouseAt(100, 200)));
  EXPECT_EQ(host.mouseMoveCount, 2u);
  // Only one coordinate changing counts one.
  EXPECT_FALSE(countMouseMove(host, mouseAt(100, 201)));
  EXPECT_EQ(host.mouseMoveCount, 3u);
  // (0, 0) at the start is no change.
  HostState fresh = hostIn(Saver);
  EXPECT_FALSE(countMouseMove(fresh, 0));
  EXPECT_EQ(fresh.mouseMoveCount, 0u);
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

  runEndRequest(host, platform);
  EXPECT_EQ(platform.calls, "flag suspend read load find flag verify free flag resume ");
  EXPECT_EQ(host.endGranted, 0u);

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

TEST(EndRequest, AnEndRequestByAnotherInputLeavesTheMouseCount) {
  HostState host = hostIn(Saver);
  RecordingPlatform platform(host);
  platform.answers = {0};
  decideWindowMessage(host, kWmMouseMove, 0, mouseAt(7, 9));
  ASSERT_EQ(actionsOf(decideWindowMessage(host, kWmKeyDown, 0x20, 0)), Actions{A::RequestEnd});
  runEndRequest(host, platform);
  EXPECT_EQ(host.mouseMoveCount, 2u);
}

}  // namespace
