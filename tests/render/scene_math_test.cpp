#include "render/scene_math.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "sim/cloth_grid.h"

namespace {

RenderState freshCorners() {
  return RenderState{};
}

}  // namespace

TEST(LightSpot, LevelsAtTheCentreTheEdgesAndTheCorners) {
  struct Case {
    int column, row;
    int level;
  };
  const Case cases[] = {
      {129, 126, 255}, {0, 0, 110},   {129, 0, 167}, {0, 126, 163},
      {255, 255, 110}, {0, 255, 109}, {255, 0, 112},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.level, lightSpotLevel(c.column, c.row)) << c.column << "," << c.row;
}

TEST(LightSpot, NoTexelIsBelow109AndTheBrightDiscIsSmall) {
  int brightest = 0;
  for (int row = 0; row < 256; ++row)
    for (int column = 0; column < 256; ++column) {
      int level = lightSpotLevel(column, row);
      EXPECT_GE(level, 109);
      if (level == 255) ++brightest;
    }
  // A disc of about 8.5 texels around (129, 126).
  EXPECT_GT(brightest, 150);
  EXPECT_LT(brightest, 300);
}

TEST(LightSpot, PixelArrayIsBottomUpGreyWithTheTopByteClear) {
  std::vector<uint32_t> pixels(kLightSpotSize * kLightSpotSize, 0xDEADBEEF);
  fillLightSpotPixels(pixels.data());
  for (int row = 0; row < 256; ++row)
    for (int column = 0; column < 256; ++column) {
      uint32_t p = pixels[static_cast<size_t>(255 - row) * 256 + column];
      uint8_t level = lightSpotLevel(column, row);
      ASSERT_EQ((uint32_t(level) << 16) | (uint32_t(level) << 8) | level, p)
          << column << "," << row;
    }
}

TEST(Camera, AspectIsTheBackBufferRatioAndAZeroSideFallsBack) {
  EXPECT_FLOAT_EQ(1.3333334f, cameraAspect(800, 600));
  EXPECT_FLOAT_EQ(1.3571429f, cameraAspect(152, 112));
  EXPECT_FLOAT_EQ(1.6f, cameraAspect(1280, 800));
  EXPECT_FLOAT_EQ(4.0f / 3.0f, cameraAspect(0, 600));
  EXPECT_FLOAT_EQ(4.0f / 3.0f, cameraAspect(800, 0));
}

TEST(Camera, MatricesFor800x600) {
  Matrix4x4 world, view, projection;
  // Every element of all three is written, the zeros as well.
  for (Matrix4x4* m : {&world, &view, &projection}) std::memset(m, 0x55, sizeof *m);
  setUpCamera(world, view, projection, 800, 600);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(k % 5 == 0 ? 1.0f : 0.0f, world.m[k]) << k;
  // The identity moved 60 units along z.
  for (int k = 0; k < 16; ++k) {
    float expected = (k % 5 == 0) ? 1.0f : 0.0f;
    if (k == 14) expected = 60.0f;
    EXPECT_NEAR(expected, view.m[k], 1e-5f) << k;
  }
  const float nonZero[16] = {1.8106601f, 0, 0,          0,    0, 2.4142134f, 0,           0,
                             0,          0, 1.0101010f, 1.0f, 0, 0,          -1.0101010f, 0};
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(nonZero[k], projection.m[k], 1e-5f) << k;
}

TEST(Camera, PreviewSizeChangesOnlyTheHorizontalScale) {
  Matrix4x4 world, view, full, preview;
  setUpCamera(world, view, full, 800, 600);
  setUpCamera(world, view, preview, 152, 112);
  EXPECT_NEAR(2.4142134f / 1.3571429f, preview.m[0], 1e-5f);
  for (int k = 1; k < 16; ++k) EXPECT_FLOAT_EQ(full.m[k], preview.m[k]) << k;
}

TEST(BackgroundFit, UserPicturesKeepTheirProportions) {
  // 1333 × 1000 is exactly the threshold: not wide, so it fills the height.
  // Each picture is fitted onto the rectangle the row before left: the fit
  // depends on the last picture only, and a zero size leaves it as it is.
  struct Case {
    uint32_t width, height;
    float halfWidth, halfHeight;
  };
  const Case cases[] = {
      {1600, 1200, 53.0f, 40.5f}, {1000, 1000, 40.0f, 40.0f},  {1200, 1600, 30.0f, 40.0f},
      {2000, 1000, 53.0f, 27.0f}, {0, 0, 53.0f, 27.0f},         {1333, 1000, 53.32f, 40.0f},
      {0, 1200, 53.32f, 40.0f},   {1334, 1000, 53.0f, 40.479f}, {1600, 0, 53.0f, 40.479f},
      // Sizes a damaged setting may hold: thin, but finite.
      {1, 100000, 0.0004f, 40.0f}, {100000, 1, 53.0f, 0.00054f}, {0xFFFFFFFFu, 0xFFFFFFFFu, 40.0f, 40.0f},
  };
  RenderState render = freshCorners();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    fitBackgroundCorners(render.backgroundCorners, c.width, c.height);
    const BackgroundVertex* v = render.backgroundCorners;
    for (int k : {0, 1, 3}) EXPECT_NEAR(-c.halfWidth, v[k].x, 1e-3f) << k;
    for (int k : {2, 4, 5}) EXPECT_NEAR(c.halfWidth, v[k].x, 1e-3f) << k;
    for (int k : {1, 2, 4}) EXPECT_NEAR(c.halfHeight, v[k].y, 1e-3f) << k;
    for (int k : {0, 3, 5}) EXPECT_NEAR(-c.halfHeight, v[k].y, 1e-3f) << k;
    // Depth and texture coordinates are never touched.
    const RenderState fresh = freshCorners();
    const BackgroundVertex* start = fresh.backgroundCorners;
    for (int k = 0; k < 6; ++k) {
      EXPECT_EQ(36.0f, v[k].z);
      EXPECT_EQ(start[k].u, v[k].u);
      EXPECT_EQ(start[k].v, v[k].v);
    }
  }
}

TEST(BackgroundFit, TheThresholdIsTheFloatNearest1Point333) {
  float threshold = kWideBackgroundRatio;
  uint32_t bits;
  std::memcpy(&bits, &threshold, sizeof(bits));
  EXPECT_EQ(0x3FAA9FBEu, bits);
  EXPECT_FLOAT_EQ(1.33299994f, threshold);
}

// Each monitor of the Desktop mode: the rectangle fills the view of its
// aspect, evenly enlarged (proportions kept), never shrunk, and fitting twice
// changes nothing more. The seen half-height at depth 96 is 96·tan(π/8).
TEST(BackgroundFit, TheRectangleFillsEachMonitorsView) {
  const float seen = 96.0f * std::tan(kFieldOfView / 2.0f);  // 39.76
  struct Case {
    const char* what;
    uint32_t pictureWidth, pictureHeight;  // 0: the built-in rectangle
    float aspect;
    float halfWidth, halfHeight;
  } cases[] = {
      {"built-in, 4:3 monitor: already fills it", 0, 0, 4.0f / 3.0f, 53.0f * 1.000330f, 40.0f * 1.000330f},
      {"built-in, 16:9: wider", 0, 0, 16.0f / 9.0f, seen * 16.0f / 9.0f, seen * 16.0f / 9.0f * 40.0f / 53.0f},
      {"built-in, portrait 9:16: taller", 0, 0, 9.0f / 16.0f, 53.0f, 40.0f},
      {"wide picture 2:1 (±53 × ±27) on 16:9: fills the height", 2000, 1000, 16.0f / 9.0f, seen * 53.0f / 27.0f, seen},
      {"tall picture 1:2 on 4:3", 500, 1000, 4.0f / 3.0f, seen * 4.0f / 3.0f, seen * 8.0f / 3.0f},
      {"zero aspect: unchanged", 0, 0, 0.0f, 53.0f, 40.0f},
      {"NaN aspect: unchanged", 0, 0, std::nanf(""), 53.0f, 40.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RenderState render = freshCorners();
    fitBackgroundCorners(render.backgroundCorners, c.pictureWidth, c.pictureHeight);
    fitBackgroundToView(render.backgroundCorners, c.aspect);
    const BackgroundVertex* v = render.backgroundCorners;
    if (c.aspect > 0.0f) {
      EXPECT_GE(v[2].x, seen * c.aspect - 1e-3f) << "fills the width";
      EXPECT_GE(v[2].y, seen - 1e-3f) << "fills the height";
    }
    for (int k : {2, 4, 5}) EXPECT_NEAR(c.halfWidth, v[k].x, 2e-2f) << k;
    for (int k : {1, 2, 4}) EXPECT_NEAR(c.halfHeight, v[k].y, 2e-2f) << k;
    for (int k : {0, 1, 3}) EXPECT_EQ(-v[2].x, v[k].x) << k;
    for (int k : {0, 3, 5}) EXPECT_EQ(-v[2].y, v[k].y) << k;
    RenderState again = render;
    fitBackgroundToView(again.backgroundCorners, c.aspect);
    EXPECT_EQ(0, std::memcmp(render.backgroundCorners, again.backgroundCorners, sizeof again.backgroundCorners));
  }
}

// The stream constants themselves are checked where they are defined (scene_math.h).
TEST(FlagStream, VertexFormatBytesCountEveryDeclaredPart) {
  struct Case {
    uint32_t format;
    uint32_t bytes;
    const char* what;
  } cases[] = {
      {0x202, 28, "XYZ | TEX2, two-float sets"},
      {0x40202, 32, "XYZ | TEX2, second set of three"},
      {0x102, 20, "XYZ | TEX1"},
      {0x104, 24, "XYZRHW | TEX1"},
      {0x142, 24, "XYZ | DIFFUSE | TEX1"},
      {0x1D2, 40, "XYZ | NORMAL | DIFFUSE | SPECULAR | TEX1"},
      {0x10102, 24, "XYZ | TEX1, set of three"},
      {0x20102, 28, "XYZ | TEX1, set of four"},
      {0x30102, 16, "XYZ | TEX1, set of one"},
      {0x006, 16, "XYZB1"},
      {0x022, 16, "XYZ | PSIZE"},
      {0x002, 12, "XYZ"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.bytes, vertexFormatBytes(c.format)) << c.what;
}
