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

TEST(FramePacing, RateIsThePreviewsOrTheDisplaysWithSixtyForAnUnknownRefresh) {
  struct Case {
    bool preview;
    uint32_t refresh, rate;
  };
  const Case cases[] = {{true, 0, 40}, {true, 144, 40},  {false, 0, 60},
                        {false, 1, 60}, {false, 75, 75}, {false, 144, 144}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.preview << " " << c.refresh);
    EXPECT_EQ(c.rate, pacedFrameRate(c.preview, c.refresh));
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
