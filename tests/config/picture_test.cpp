// The sizing rule of picture loading, one side at a time, the averaging
// resampler, and laying transparent pixels over white.
#include <gtest/gtest.h>

#include <vector>

#include "config/picture.h"

TEST(FitPictureSize, PowerOfTwoAtMostTheLimitAndLimitZeroKeepsTheNaturalSize) {
  struct Case {
    int32_t pixels, maxSize, expected;
  } cases[] = {
      {800, 512, 512},    {600, 512, 512},     // 800 × 600 at 512 → 512 × 512
      {300, 512, 512},    {200, 512, 256},     // 300 × 200 at 512 → 512 × 256
      {256, 1024, 256},   {100, 1024, 128},    // 256 × 100 at 1024 → 256 × 128
      {1600, 1024, 1024}, {1200, 1024, 1024},  // 1600 × 1200 at 1024 → 1024 × 1024
      {158, 256, 256},    {118, 256, 128},
      {512, 512, 512},    {512, 1024, 512},    // a power of two stays
      {513, 1024, 1024},  {2000, 512, 512},    {1, 256, 1},     {3, 256, 4},      {0, 512, 0},
      {0x40000001, 1024, 1024},  // would round to 2^31
      {0x7FFFFFFF, 512, 512},
      {0, 0, 0},          {1, 0, 1},           {158, 0, 158},   {513, 0, 513},    {8000, 0, 8000},
      {0x7FFFFFFF, 0, 0x7FFFFFFF},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, fitPictureSize(c.pixels, c.maxSize)) << c.pixels << " at " << c.maxSize;
}

TEST(FitPictureSize, OnlyPicturesUpTo64MegapixelsAreDrawnAtTheirNaturalSize) {
  struct Case {
    int32_t width, height;
    bool natural;
  };
  const Case cases[] = {{1, 1, true},          {8000, 6000, true},    {8000, 8000, true},
                        {8000, 8001, false},    {16000, 12000, false}, {64000000, 1, true},
                        {64000001, 1, false},   {0, 5, false},         {5, -1, false},
                        {INT32_MAX, INT32_MAX, false}};
  for (const Case& c : cases)
    EXPECT_EQ(c.natural, drawableAtNaturalSize(c.width, c.height)) << c.width << " x " << c.height;
}

TEST(AveragePixels, EachTargetPixelIsTheMeanOfTheAreaItCovers) {
  const uint32_t red = 0x00FF0000, blue = 0x000000FF;
  struct Case {
    const char* what;
    std::vector<uint32_t> source;
    int32_t sourceWidth, sourceHeight, width, height;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"alternating columns halved", {red, blue, red, blue}, 4, 1, 2, 1, {0x00800080, 0x00800080}},
      {"alternating columns to one", {red, blue, red, blue}, 4, 1, 1, 1, {0x00800080}},
      {"alternating rows halved", {red, red, blue, blue}, 2, 2, 2, 1, {0x00800080, 0x00800080}},
      {"a block of four, every byte",
       {0x00000000, 0x04080C10, 0x08101820, 0xFC0C0000},
       2,
       2,
       1,
       1,
       {0x4209090C}},
      {"three to two: a third and two thirds",
       {0x00000000, 0x00000090, 0x00000030},
       3,
       1,
       2,
       1,
       {0x00000030, 0x00000050}},
      {"two to three: repeated, the middle one mixed",
       {0x00000000, 0x00000090},
       2,
       1,
       3,
       1,
       {0x00000000, 0x00000048, 0x00000090}},
      {"enlarged twice", {red, blue}, 2, 1, 4, 2, {red, red, blue, blue, red, red, blue, blue}},
      {"same size copies", {red, blue, 0x12345678, 0}, 2, 2, 2, 2, {red, blue, 0x12345678, 0}},
      {"one pixel fills the target",
       {0x00336699},
       1,
       1,
       2,
       2,
       {0x00336699, 0x00336699, 0x00336699, 0x00336699}},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> target(size_t(c.width) * c.height, 0xDEADBEEF);
    averagePixels(c.source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.width, c.height);
    ASSERT_EQ(c.expected.size(), target.size()) << c.what;
    for (size_t k = 0; k < target.size(); ++k)
      EXPECT_EQ(c.expected[k], target[k])
          << c.what << ", pixel " << k << std::hex << ": " << target[k];
  }
}

TEST(AveragePixels, EmptySidesLeaveTheTargetUntouched) {
  const uint32_t source[1] = {0x00FFFFFF};
  uint32_t target[1] = {7};
  averagePixels(source, 0, 1, target, 1, 1);
  averagePixels(source, 1, 1, target, 1, 0);
  averagePixels(nullptr, 1, 1, target, 1, 1);
  EXPECT_EQ(7u, target[0]);
}

TEST(OverWhite, TransparencyShowsWhiteAndOpaqueColoursStay) {
  struct Case {
    const char* what;
    uint32_t premultiplied, expected;
  } cases[] = {
      {"opaque red", 0xFFFF0000, 0x00FF0000},
      {"opaque black", 0xFF000000, 0x00000000},
      {"opaque colour", 0xFF0A141E, 0x000A141E},
      {"transparent black", 0x00000000, 0x00FFFFFF},
      {"half-covered red", 0x80800000, 0x00FF7F7F},
      {"quarter-covered green", 0x40004000, 0x00BFFFBF},
      {"three-quarter-covered blue", 0xC00000C0, 0x003F3FFF},
      {"colour above its alpha saturates", 0x10FF2000, 0x00FFFFEF},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, overWhite(c.premultiplied)) << c.what;

  uint32_t row[] = {0x00000000, 0xFF112233, 0x80800000, 0x12345678};
  pixelsOverWhite(row, 3);
  EXPECT_EQ(0x00FFFFFFu, row[0]);
  EXPECT_EQ(0x00112233u, row[1]);
  EXPECT_EQ(0x00FF7F7Fu, row[2]);
  EXPECT_EQ(0x12345678u, row[3]) << "past the count: untouched";
  pixelsOverWhite(nullptr, 4);  // nothing to do, no crash
}
