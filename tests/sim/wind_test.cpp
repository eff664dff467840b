#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "sim/wind.h"

namespace {

bool sameGenerator(const RandomGenerator& a, const RandomGenerator& b) {
  return std::memcmp(a.table, b.table, sizeof a.table) == 0 && a.lagI == b.lagI &&
         a.lagJ == b.lagJ && a.term == b.term;
}

TEST(WindPowerFactor, FromTheSettingAndStoredValuesOutsideTheRangeKeepTheirEnd) {
  struct Case {
    int windPower;
    float factor;
  };
  const Case cases[] = {{0, 0.25f},  {50, 0.875f},       {100, 1.5f},    {80, 1.25f},
                        {-1, 0.25f}, {-1000000, 0.25f}, {INT_MIN, 0.25f}, {101, 1.5f},
                        {INT_MAX, 1.5f}};
  for (const Case& c : cases) {
    WindState wind;
    setWindPower(wind, c.windPower);
    EXPECT_FLOAT_EQ(wind.windPowerFactor, c.factor) << c.windPower;
  }
}

TEST(WindState, StartsWithTheStartCurve) {
  WindState wind;
  EXPECT_EQ(wind.windVector.x, 0.5f);
  EXPECT_EQ(wind.windVector.y, 0.0f);
  EXPECT_EQ(wind.windVector.z, 0.25f);
  EXPECT_EQ(wind.phase, 0.0f);
  EXPECT_EQ(wind.channelX.key, 0.4f);
  EXPECT_EQ(wind.channelZ.t1, -0.2f);
}

TEST(AdvanceWind, CurveValueHalfwayThroughTheStartSegment) {
  WindState wind;
  RandomGenerator rng;
  seedRandom(rng, 0, 0);
  setWindPower(wind, 50);
  wind.phase = 0.5f;
  advanceWind(wind, 0.0f, rng);
  EXPECT_FLOAT_EQ(wind.windVector.x, 0.2734375f);
  EXPECT_EQ(wind.windVector.y, 0.0f);
  EXPECT_FLOAT_EQ(wind.windVector.z, 0.153125f);
}

TEST(AdvanceWind, PhaseStepIsCappedAtOneHundredthOfASecond) {
  struct Case {
    float frameSeconds, phaseStep;
  };
  const Case cases[] = {{0.5f, 0.001f}, {0.01f, 0.001f}, {0.005f, 0.0005f}, {1000.0f, 0.001f}};
  for (const Case& c : cases) {
    WindState wind;
    RandomGenerator rng;
    seedRandom(rng, 0, 0);
    wind.phase = 0.25f;
    advanceWind(wind, c.frameSeconds, rng);
    EXPECT_NEAR(wind.phase, 0.25f + c.phaseStep, 1e-7f) << c.frameSeconds;
  }
}

TEST(AdvanceWind, NewSegmentOnThe1001stFrameWithTwoDrawsXFirst) {
  WindState wind;
  setWindPower(wind, 50);
  RandomGenerator rng;
  seedRandom(rng, 1802, 9373);
  const RandomGenerator start = rng;

  for (int frame = 1; frame <= 1000; ++frame) advanceWind(wind, 1.0f / 60.0f, rng);
  EXPECT_LT(wind.phase, 1.0f);
  EXPECT_GT(wind.phase, 0.99f);
  EXPECT_TRUE(sameGenerator(rng, start)) << "no draw before the segment ends";

  advanceWind(wind, 1.0f / 60.0f, rng);
  RandomGenerator expected = start;
  float drawX = randomUniform(expected);
  float drawZ = randomUniform(expected);
  EXPECT_TRUE(sameGenerator(rng, expected)) << "exactly two draws";
  EXPECT_EQ(wind.phase, 0.0f);

  const WindChannel& x = wind.channelX;
  EXPECT_EQ(x.p0, 0.8f);
  EXPECT_EQ(x.p1, 0.4f);
  EXPECT_EQ(x.t0, 0.7f);
  EXPECT_EQ(x.lastKey, 0.4f);
  EXPECT_EQ(x.key, drawX * 0.7f + 0.4f);
  EXPECT_GE(x.key, 0.4f);
  EXPECT_LT(x.key, 1.1f);
  EXPECT_EQ(x.t1, x.key - 0.4f);

  const WindChannel& z = wind.channelZ;
  EXPECT_EQ(z.p0, 0.3f);
  EXPECT_EQ(z.p1, 0.7f);
  EXPECT_EQ(z.t0, -0.2f);
  EXPECT_EQ(z.lastKey, 0.7f);
  EXPECT_EQ(z.key, drawZ * 1.2f);
  EXPECT_EQ(z.t1, z.key - 0.7f);

  // At phase 0 the wind is the factor times each channel's new start value.
  EXPECT_FLOAT_EQ(wind.windVector.x, 0.875f * 0.8f);
  EXPECT_EQ(wind.windVector.y, 0.0f);
  EXPECT_FLOAT_EQ(wind.windVector.z, 0.875f * 0.3f);
}

TEST(AdvanceWind, CurveIsContinuousAcrossSegmentChanges) {
  WindState wind;
  setWindPower(wind, 100);
  RandomGenerator rng;
  seedRandom(rng, 31, 41);
  Vector3 last = wind.windVector;
  advanceWind(wind, 0.01f, rng);
  last = wind.windVector;
  for (int frame = 0; frame < 5000; ++frame) {
    advanceWind(wind, 0.01f, rng);
    // A frame moves the phase by 0.001; the curve's slope is a few units at most.
    ASSERT_NEAR(wind.windVector.x, last.x, 0.02f) << frame;
    ASSERT_NEAR(wind.windVector.z, last.z, 0.02f) << frame;
    ASSERT_EQ(wind.windVector.y, 0.0f);
    last = wind.windVector;
  }
}

}  // namespace
