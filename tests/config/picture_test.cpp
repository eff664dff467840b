// The sizing rule of picture loading, one side at a time.
#include <gtest/gtest.h>

#include "config/picture.h"

TEST(FitPictureSize, PowerOfTwoAtMostTheLimit) {
  struct Case {
    int32_t pixels, maxSize, expected;
  } cases[] = {
      {800, 512, 512},   {600, 512, 512},     // 800 × 600 at 512 → 512 × 512
      {300, 512, 512},   {200, 512, 256},     // 300 × 200 at 512 → 512 × 256
      {256, 1024, 256},  {100, 1024, 128},    // 256 × 100 at 1024 → 256 × 128
      {1600, 1024, 1024}, {1200, 1024, 1024}, // 1600 × 1200 at 1024 → 1024 × 1024
      {158, 256, 256},   {118, 256, 128},
      {512, 512, 512},   {512, 1024, 512},    // a power of two stays
      {513, 1024, 1024}, {2000, 512, 512},
      {1, 256, 1},       {3, 256, 4},         {0, 512, 0},
      {0x40000001, 1024, 1024},               // would round to 2^31
      {0x7FFFFFFF, 512, 512},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, fitPictureSize(c.pixels, c.maxSize))
        << c.pixels << " at " << c.maxSize;
}

TEST(FitPictureSize, LimitZeroKeepsTheNaturalSize) {
  for (int32_t pixels : {0, 1, 158, 513, 8000, 0x7FFFFFFF})
    EXPECT_EQ(pixels, fitPictureSize(pixels, 0));
}
