#include <gtest/gtest.h>

#include <cstring>

#include "sim/random.h"
#include "sim_test_support.h"

namespace {

constexpr float kTwoTo24 = 16777216.0f;

TEST(RandomUniform, PublishedSequenceAfter20000Draws) {
  RandomGenerator rng;
  seedRandom(rng, 1802, 9373);
  for (int n = 0; n < 20000; ++n) randomUniform(rng);
  const float expected[] = {6533892, 14220222, 7275067, 6172232, 8354498, 10633180};
  for (float value : expected) EXPECT_EQ(randomUniform(rng) * kTwoTo24, value);
}

TEST(RandomUniform, FirstDrawsFromSeedZero) {
  RandomGenerator rng;
  seedRandom(rng, 0, 0);
  const float expected[] = {0.345116f, 0.080143f, 0.178244f};
  for (float value : expected) EXPECT_NEAR(randomUniform(rng), value, 1e-6);
}

TEST(RandomUniform, DrawsAreWholeMultiplesOfTwoToMinus24InUnitRange) {
  RandomGenerator rng;
  seedRandom(rng, 4711, 123);
  for (int n = 0; n < 5000; ++n) {
    float x = randomUniform(rng);
    ASSERT_GE(x, 0.0f);
    ASSERT_LT(x, 1.0f);
    float scaled = x * kTwoTo24;
    ASSERT_EQ(scaled, static_cast<float>(static_cast<int32_t>(scaled)));
  }
}

TEST(SeedRandom, SeedsAboveTheLimitsActAsTheLimits) {
  struct Case {
    uint32_t ij, kl, limitIJ, limitKL;
  };
  const Case cases[] = {
      {40000, 40000, 31328, 30081},
      {31329, 0, 31328, 0},
      {0, 30082, 0, 30081},
      {0xFFFFFFFFu, 0xFFFFFFFFu, 31328, 30081},
  };
  for (const Case& c : cases) {
    RandomGenerator big, limit;
    seedRandom(big, c.ij, c.kl);
    seedRandom(limit, c.limitIJ, c.limitKL);
    for (int n = 0; n < 200; ++n)
      ASSERT_EQ(randomUniform(big), randomUniform(limit)) << c.ij << " " << c.kl << " draw " << n;
  }
}

TEST(RandomInt, RoundsToNearestWithHalvesToEven) {
  struct Case {
    float draw;
    int32_t n;
    int32_t expected;
  };
  const float step = 1.0f / kTwoTo24;
  const Case cases[] = {
      {0.5f, 1, 0},
      {0.5f + step, 1, 1},
      {0.5f - step, 1, 0},
      {36.5f / 128.0f, 128, 36},
      {37.5f / 128.0f, 128, 38},
      {36.5f / 128.0f + step, 128, 37},
      {37.5f / 128.0f - step, 128, 37},
      {0.0f, 128, 0},
      {1.0f - step, 128, 128},
      {0.25f, 6, 2},   // 1.5 goes to 2
      {0.75f, 6, 4},   // 4.5 goes to 4
      {0.5f, -3, -2},  // -1.5 goes to -2
  };
  for (const Case& c : cases) {
    RandomGenerator rng;
    seedRandom(rng, 1, 1);
    forceNextDraw(rng, c.draw);
    EXPECT_EQ(randomInt(rng, c.n), c.expected) << c.draw << " × " << c.n;
  }
}

TEST(RandomInt, StaysInRangeForExtremeN) {
  RandomGenerator rng;
  seedRandom(rng, 5, 6);
  const int32_t ns[] = {0, 1, 2, 0x7FFFFFFF, -0x7FFFFFFF - 1};
  for (int32_t n : ns) {
    for (int d = 0; d < 1000; ++d) {
      int64_t r = randomInt(rng, n);
      ASSERT_GE(r, n < 0 ? static_cast<int64_t>(n) : 0) << n;
      ASSERT_LE(r, n < 0 ? 0 : static_cast<int64_t>(n)) << n;
    }
  }
}

}  // namespace
