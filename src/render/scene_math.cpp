#include "render/scene_math.h"

#include <cmath>

namespace {

constexpr float kDefaultAspect = 4.0f / 3.0f;
constexpr float kLightSpotCentreColumn = 129.0f;
constexpr float kLightSpotCentreRow = 126.0f;
constexpr float kLightSpotMean = 165.0f;
constexpr float kLightSpotSwing = 90.0f;
constexpr float kLightSpotRadius = 255.0f;  // distance of half a cosine period
constexpr float kPi = 3.14159265f;
constexpr float kWideHalfWidth = 53.0f;
constexpr float kWideHeightFactor = 54.0f;  // not 53: the wide rectangle is 106 × 108·h/w
constexpr float kTallHalfHeight = 40.0f;

// Corners on the left, right, top and bottom edges of the rectangle.
constexpr int kLeftCorners[] = {0, 1, 3};
constexpr int kRightCorners[] = {2, 4, 5};
constexpr int kTopCorners[] = {1, 2, 4};
constexpr int kBottomCorners[] = {0, 3, 5};

// The fixed side is written too, so the fit depends only on the picture's size.
void setCornersX(BackgroundVertex corners[6], float halfWidth) {
  for (int k : kLeftCorners) corners[k].x = -halfWidth;
  for (int k : kRightCorners) corners[k].x = halfWidth;
}

void setCornersY(BackgroundVertex corners[6], float halfHeight) {
  for (int k : kTopCorners) corners[k].y = halfHeight;
  for (int k : kBottomCorners) corners[k].y = -halfHeight;
}

}  // namespace

float cameraAspect(uint32_t backBufferWidth, uint32_t backBufferHeight) {
  if (backBufferWidth == 0 || backBufferHeight == 0) return kDefaultAspect;
  return static_cast<float>(backBufferWidth) / static_cast<float>(backBufferHeight);
}

void setUpCamera(Matrix4x4& world, Matrix4x4& view, Matrix4x4& projection, uint32_t backBufferWidth,
                 uint32_t backBufferHeight) {
  matrixIdentity(world);
  matrixLookAtLH(view, kCameraEye, kCameraTarget, kCameraUp);
  matrixPerspectiveFovLH(projection, kFieldOfView, cameraAspect(backBufferWidth, backBufferHeight),
                         kNearPlane, kFarPlane);
}

uint8_t lightSpotLevel(int column, int row) {
  float dc = static_cast<float>(column) - kLightSpotCentreColumn;
  float dr = static_cast<float>(row) - kLightSpotCentreRow;
  float distance = std::sqrt(dc * dc + dr * dr);
  float level = kLightSpotMean + kLightSpotSwing * std::cos(kPi * distance / kLightSpotRadius);
  float rounded = std::nearbyint(level);  // default rounding mode: halves to even
  if (rounded < 0.0f) rounded = 0.0f;
  if (rounded > 255.0f) rounded = 255.0f;
  return static_cast<uint8_t>(rounded);
}

void fillLightSpotPixels(uint32_t* pixels) {
  const int size = static_cast<int>(kLightSpotSize);
  for (int row = 0; row < size; ++row) {
    uint32_t* line = pixels + static_cast<size_t>(size - 1 - row) * size;
    for (int column = 0; column < size; ++column) {
      uint32_t level = lightSpotLevel(column, row);
      line[column] = (level << 16) | (level << 8) | level;
    }
  }
}

void fitBackgroundCorners(BackgroundVertex corners[6], uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return;
  float ratio = static_cast<float>(width) / static_cast<float>(height);
  if (ratio > kWideBackgroundRatio) {
    float h = kWideHeightFactor * static_cast<float>(height) / static_cast<float>(width);
    setCornersX(corners, kWideHalfWidth);
    setCornersY(corners, h);
  } else {
    setCornersX(corners, kTallHalfHeight * ratio);
    setCornersY(corners, kTallHalfHeight);
  }
}

void fitBackgroundToView(BackgroundVertex corners[6], float aspect) {
  if (!(aspect > 0.0f)) return;
  float halfWidth = 0.0f, halfHeight = 0.0f;
  for (int i = 0; i < 6; ++i) {
    halfWidth = std::fmax(halfWidth, std::fabs(corners[i].x));
    halfHeight = std::fmax(halfHeight, std::fabs(corners[i].y));
  }
  if (halfWidth <= 0.0f || halfHeight <= 0.0f) return;
  float depth = corners[0].z - kCameraEye.z;
  float seenHalfHeight = depth * std::tan(kFieldOfView / 2.0f);
  float scale = std::fmax(seenHalfHeight * aspect / halfWidth, seenHalfHeight / halfHeight);
  if (scale <= 1.0f) return;
  for (int i = 0; i < 6; ++i) {
    corners[i].x *= scale;
    corners[i].y *= scale;
  }
}

float flagDrawnWidth(uint32_t viewHeight) {
  float visibleHeight = 2.0f * -kCameraEye.z * std::tan(kFieldOfView / 2.0f);
  return kClothWidth * static_cast<float>(viewHeight) / visibleHeight;
}

uint32_t flagTextureSide(uint32_t viewHeight, uint32_t maxTextureWidth, uint32_t maxTextureHeight) {
  float drawn = flagDrawnWidth(viewHeight);
  uint32_t side = kSmallestFlagTexture;
  while (side < kLargestTexture && static_cast<float>(side) < drawn) side *= 2;
  uint32_t limit = maxTextureWidth < maxTextureHeight ? maxTextureWidth : maxTextureHeight;
  while (limit > 0 && side > limit && side > 1) side /= 2;
  return side;
}

int32_t backgroundLimit(uint32_t widestView) {
  return widestView >= kLargeBackgroundFromWidth ? int32_t(kLargestTexture) : kSmallBackgroundLimit;
}
