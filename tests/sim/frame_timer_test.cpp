#include <gtest/gtest.h>

#include "sim/frame_timer.h"

namespace {

constexpr int64_t kAcpiFrequency = 3579545;

TEST(TickTimer, RateAndDurationFromCounts) {
  struct Case {
    int64_t frequency, elapsed;
    float framesPerSecond, frameSeconds;
  };
  const Case cases[] = {
      {kAcpiFrequency, 59659, 60.0f, 0.016667f},
      {kAcpiFrequency, kAcpiFrequency / 2, 2.0f, 0.5f},
      {1000000000, 2000000, 500.0f, 0.002f},
      {1000, 5000, 0.2f, 5.0f},
      {0, 500, 0.0f, 0.0f},  // no frequency: no rate, the values stay
  };
  for (const Case& c : cases) {
    FrameTimer timer;
    startTimerAt(timer, 123456789, c.frequency);
    EXPECT_EQ(tickTimerAt(timer, 123456789 + c.elapsed), c.elapsed);
    EXPECT_NEAR(timer.framesPerSecond, c.framesPerSecond, c.framesPerSecond * 1e-5f);
    EXPECT_NEAR(timer.frameSeconds, c.frameSeconds, c.frameSeconds * 1e-4f);
    EXPECT_EQ(timer.lastCount, 123456789 + c.elapsed);
  }
}

TEST(StartTimer, ZeroesFrameSecondsButKeepsTheRate) {
  FrameTimer timer;
  startTimerAt(timer, 0, kAcpiFrequency);
  tickTimerAt(timer, 59659);
  float rate = timer.framesPerSecond;
  startTimerAt(timer, 1000000, kAcpiFrequency);
  EXPECT_EQ(timer.frameSeconds, 0.0f);
  EXPECT_EQ(timer.framesPerSecond, rate);
  EXPECT_EQ(timer.lastCount, 1000000);
  EXPECT_EQ(timer.frequency, kAcpiFrequency);
}

TEST(TickTimer, NoElapsedCountKeepsTheLastFrame) {
  struct Case {
    int64_t next;
  };
  const Case cases[] = {{1000}, {999}, {0}};  // same count, counter went back
  for (const Case& c : cases) {
    FrameTimer timer;
    startTimerAt(timer, 0, 1000);
    tickTimerAt(timer, 1000 - 25);
    tickTimerAt(timer, 1000);  // 25 counts since the last tick, not since the start: 40 fps
    EXPECT_EQ(tickTimerAt(timer, c.next), c.next - 1000);
    EXPECT_FLOAT_EQ(timer.framesPerSecond, 40.0f) << c.next;
    EXPECT_FLOAT_EQ(timer.frameSeconds, 0.025f) << c.next;
  }
}

}  // namespace
