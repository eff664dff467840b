#include "host/frame_pacing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Runs frames that take work[i] ms each, waiting exactly as long as the
// pacer says before each; returns the frames' start times.
std::vector<double> frameStarts(FramePacer pacer, const std::vector<double>& work) {
  std::vector<double> starts;
  double now = pacer.nextDueMs;
  for (double w : work) {
    now += msUntilFrame(pacer, now);
    startPacedFrame(pacer, now);
    starts.push_back(now);
    now += w;
  }
  return starts;
}

}  // namespace

TEST(FramePacing, RateFollowsTheViewThePowerStatusAndTheDisplaysRefresh) {
  // The power status as GetSystemPowerStatus gives it: ACLineStatus 0
  // offline, 1 online, 255 unknown; SystemStatusFlag 1 battery saver on.
  enum : uint8_t { kOffline = 0, kOnline = 1, kUnknown = 255 };
  constexpr PacedView kFull = PacedView::FullScreen, kDesktop = PacedView::DesktopWindow,
                      kPreview = PacedView::Preview;
  struct Case {
    PacedView view;
    uint8_t acLine, saverFlag;
    uint32_t refresh, rate;
  };
  const Case cases[] = {
      // On mains: the preview's rate, or the display's with 60 for an unknown refresh.
      {kPreview, kOnline, 0, 0, 30},     {kPreview, kOnline, 0, 144, 30},
      {kFull, kOnline, 0, 0, 60},        {kFull, kOnline, 0, 1, 60},
      {kFull, kOnline, 0, 75, 75},       {kFull, kOnline, 0, 144, 144},
      {kDesktop, kOnline, 0, 144, 144},  {kFull, kUnknown, 0, 144, 144},
      {kPreview, kUnknown, 0, 60, 30},
      // On battery or in battery saver, never faster than the refresh.
      {kFull, kOffline, 0, 144, 30},     {kFull, kOffline, 0, 0, 30},
      {kDesktop, kOffline, 0, 60, 30},   {kFull, kOffline, 0, 24, 24},
      {kFull, kOnline, 1, 60, 30},       {kDesktop, kUnknown, 1, 75, 30},
      {kFull, kOffline, 1, 60, 30},      {kPreview, kOffline, 0, 60, 15},
      {kPreview, kOnline, 1, 60, 15},    {kFull, kOnline, 2, 60, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.view) << " " << int(c.acLine) << " "
                                    << int(c.saverFlag) << " " << c.refresh);
    EXPECT_EQ(c.rate, pacedFrameRate(c.view, powerStateFromStatus(c.acLine, c.saverFlag), c.refresh));
  }
}

TEST(FramePacing, FramesShorterThanTheSlotStartOnePeriodApart) {
  struct Case {
    bool exclusive;
    uint32_t rate;
    double periodMs;
  };
  // Exclusive full screen runs a little ahead of the refresh, never behind
  // it; a window (the preview, Desktop mode) at the refresh, never above.
  const Case cases[] = {{false, 40, 25.0},
                        {false, 60, 1000.0 / 60.0},
                        {true, 60, 1000.0 / 61.2},
                        {true, 1, 1000.0 / 1.02}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    std::vector<double> starts =
        frameStarts(makeFramePacer(c.rate, c.exclusive, 100.0), std::vector<double>(50, 3.0));
    EXPECT_DOUBLE_EQ(100.0, starts[0]);  // the first frame at once
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_NEAR(c.periodMs, starts[i] - starts[i - 1], 1e-9);
  }
}

TEST(FramePacing, AnOverrunIsFollowedByNoCatchUpAndASmallDelayKeepsTheCadence) {
  FramePacer pacer = makeFramePacer(40, false, 0.0);
  // Frame 2 takes 70 ms, nearly three slots; frame 5 starts 10 ms late.
  std::vector<double> starts = frameStarts(pacer, {5, 5, 70, 5, 5, 5, 5});
  const double expected[] = {0, 25, 50, 120, 145, 170, 195};
  for (size_t i = 0; i < starts.size(); ++i) EXPECT_DOUBLE_EQ(expected[i], starts[i]) << i;

  FramePacer late = makeFramePacer(40, false, 0.0);
  startPacedFrame(late, 0.0);
  startPacedFrame(late, 35.0);  // 10 ms into its slot: still on the grid
  EXPECT_DOUBLE_EQ(50.0, late.nextDueMs);
  EXPECT_DOUBLE_EQ(15.0, msUntilFrame(late, 35.0));
  EXPECT_DOUBLE_EQ(0.0, msUntilFrame(late, 60.0));
}

TEST(FramePacing, TheExtrasCheckFallsShortOnlyOnSlowFramesNotAcrossAPause) {
  // Frames every frameMs from the check's start, one gap of 5 s after pauseAtMs.
  auto fallsShort = [](double frameMs, double pauseAtMs) {
    PaceCheck c = startPaceCheck(0.0);
    bool paused = false;
    for (double t = kPaceCheckDelayMs; !c.over; t += frameMs) {
      if (!paused && t >= pauseAtMs) t += 5000.0, paused = true;
      if (frameFallsShort(c, t, 60)) return true;
    }
    return false;
  };
  EXPECT_FALSE(fallsShort(1000.0 / 60, 1e9));  // keeps the pace
  EXPECT_TRUE(fallsShort(1000.0 / 30, 1e9));   // half of it
  EXPECT_FALSE(fallsShort(1000.0 / 60, kPaceCheckDelayMs + 300.0));  // a pause in the count
}
