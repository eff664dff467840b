// The pixel converters and the bottom-up to top-down copy.
#include <gtest/gtest.h>

#include <vector>

#include "render/texture.h"

namespace {
uint32_t convertWith(uint32_t format, uint32_t pixel) {
  const PixelFormatEntry* entry = findPixelFormat(format);
  return entry ? entry->convert(pixel) : 0xDEADBEEF;
}
}  // namespace

TEST(PixelFormatTable, ConvertsInEveryFormatAtTheChannelBoundaries) {
  struct Case {
    uint32_t format, pixel, stored;
  } cases[] = {
      // One colour in every format: nothing of it above the stored bytes.
      {20, 0x80FF8040, 0xFF8040}, {21, 0x80FF8040, 0x80FF8040}, {22, 0x80FF8040, 0xFF8040},
      {23, 0x80FF8040, 0xFC08},   {24, 0x80FF8040, 0x7E08},     {25, 0x80FF8040, 0xFE08},
      {26, 0x80FF8040, 0x8F84},   {27, 0x80FF8040, 0xF1},       {28, 0x80FF8040, 0x80},
      {29, 0x80FF8040, 0x80F1},   {30, 0x80FF8040, 0x0F84},
      {22, 0xFFFFFFFF, 0x00FFFFFF}, {22, 0, 0},
      {23, 0xFFFFFFFF, 0xFFFF},     {23, 0x00070307, 0},  // below each channel's step
      {23, 0x00080408, 0x0821},     {23, 0x00FF0000, 0xF800},
      {23, 0x0000FF00, 0x07E0},     {23, 0x000000FF, 0x001F},
      {24, 0xFFFFFFFF, 0x7FFF},     {24, 0x00000000, 0},
      {25, 0x7FFFFFFF, 0x7FFF},     {25, 0x80000000, 0x8000},
      {26, 0xFFFFFFFF, 0xFFFF},     {26, 0x0F0F0F0F, 0},
      {26, 0x10101010, 0x1111},     {27, 0xFFFFFFFF, 0xFF},
      {27, 0x001F1F3F, 0},          {27, 0x00202040, 0x25},
      {28, 0xFFFFFFFF, 0xFF},       {28, 0x00FFFFFF, 0},
      {29, 0xFFFFFFFF, 0xFFFF},     {29, 0x01000000, 0x0100},
      {30, 0xFFFFFFFF, 0x0FFF},     {30, 0xF0000000, 0},
      {21, 0x12345678, 0x12345678}, {20, 0xFFFFFFFF, 0xFFFFFF},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.stored, convertWith(c.format, c.pixel))
        << "format " << c.format << " pixel " << std::hex << c.pixel;
}

TEST(PixelFormatTable, OnlyCodes20To30HaveAnEntryWithItsTexelSize) {
  for (uint32_t format : {0u, 19u, 31u, 32u, 50u, 0xFFFFFFFFu})
    EXPECT_EQ(nullptr, findPixelFormat(format)) << format;
  // R8G8B8 A8R8G8B8 X8R8G8B8 R5G6B5 X1R5G5B5 A1R5G5B5 A4R4G4B4 R3G3B2 A8 A8R3G3B2 X4R4G4B4
  const uint32_t bytes[] = {3, 4, 4, 2, 2, 2, 2, 1, 1, 2, 2};
  for (uint32_t format = 20; format <= 30; ++format) {
    ASSERT_NE(nullptr, findPixelFormat(format)) << format;
    EXPECT_EQ(bytes[format - 20], findPixelFormat(format)->bytesPerPixel) << format;
  }
}

// Bottom row red, top row blue (bottom-up source): the texture's row 0 is blue.
TEST(CopyPixelsTopDown, TopRowFirstAndPitchRespected) {
  const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, green = 0xFF00FF00;
  const uint32_t width = 3, height = 3;
  const uint32_t source[] = {red, red, red, green, green, green, blue, blue, blue};
  struct Case {
    uint32_t format;
    int32_t pitch;
  } cases[] = {{22, 12}, {22, 20}, {26, 6}, {26, 16}, {20, 13}, {28, 8}};
  for (const Case& c : cases) {
    const PixelFormatEntry& entry = *findPixelFormat(c.format);
    std::vector<uint8_t> texels(size_t(c.pitch) * height + 8, 0xA5);
    copyPixelsTopDown(source, width, height, texels.data(), c.pitch, entry);
    const uint32_t expectedRows[] = {blue, green, red};
    for (uint32_t y = 0; y < height; ++y) {
      uint32_t want = entry.convert(expectedRows[y]);
      for (uint32_t x = 0; x < width; ++x)
        for (uint32_t b = 0; b < entry.bytesPerPixel; ++b)
          EXPECT_EQ(uint8_t(want >> (8 * b)),
                    texels[size_t(y) * c.pitch + x * entry.bytesPerPixel + b])
              << "format " << c.format << " row " << y << " x " << x;
      for (int32_t gap = width * entry.bytesPerPixel; gap < c.pitch; ++gap)
        EXPECT_EQ(0xA5, texels[size_t(y) * c.pitch + gap]) << "format " << c.format;
    }
    for (size_t i = size_t(c.pitch) * height; i < texels.size(); ++i) EXPECT_EQ(0xA5, texels[i]);
  }
}

TEST(CopyPixelsTopDown, AnEmptyImageWritesNothing) {
  const uint32_t pixel = 0x80FF8040;
  uint8_t texel[4] = {1, 2, 3, 4};
  copyPixelsTopDown(&pixel, 0, 0, texel, 4, *findPixelFormat(22));
  EXPECT_EQ(1, texel[0]);
}
