// Plain computations of the scene set-up: the camera, the light-spot texture
// that shades the flag, the background rectangle's aspect fit and the fixed
// values of the flag stream and the material.
#pragma once
#include <cstdint>

#include "app/render_state.h"
#include "sim/cloth_grid.h"
#include "sim/vector_math.h"

// Camera: eye 60 units before the origin looking along +z.
constexpr Vector3 kCameraEye = {0.0f, 0.0f, -60.0f};
constexpr Vector3 kCameraTarget = {0.0f, 0.0f, 0.0f};
constexpr Vector3 kCameraUp = {0.0f, 1.0f, 0.0f};
constexpr float kFieldOfView = 0.78539819f;  // π/4, vertical
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 100.0f;

// Bytes of one vertex that a fixed-function vertex format code describes:
// position (with blend weights), normal, point size, the two colours and each
// texture coordinate set at its declared size (D3DFVF_TEXCOORDSIZEn).
// Direct3D 8 requires it to equal the stream's stride.
constexpr uint32_t vertexFormatBytes(uint32_t format) {
  constexpr uint32_t positionBytes[8] = {0, 12, 16, 16, 20, 24, 28, 32};
  constexpr uint32_t setBytes[4] = {8, 12, 16, 4};  // two, three, four, one float
  uint32_t bytes = positionBytes[(format & 0x00E) >> 1];
  if (format & 0x010) bytes += 12;  // normal
  if (format & 0x020) bytes += 4;   // point size
  if (format & 0x040) bytes += 4;   // diffuse
  if (format & 0x080) bytes += 4;   // specular
  const uint32_t sets = (format >> 8) & 0xF;
  for (uint32_t set = 0; set < sets && set < 8; ++set)
    bytes += setBytes[(format >> (16 + 2 * set)) & 3];
  return bytes;
}

// Flag vertex format: D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1),
// the 32-byte FlagVertex as laid out: position at 0–11, the picture set (u, v)
// at 12–19 and the shading triple at 20–31. Stage 1 samples a 2D texture, so
// only sx and sy choose the light-spot texel; sz is carried along unread.
constexpr uint32_t kFlagVertexFormat = 0x002 | 0x200 | 0x40000;
constexpr uint32_t kFlagVertexStride = 32;
static_assert(kFlagVertexFormat == 0x40202 && ((kFlagVertexFormat >> 8) & 0xF) == 2,
              "position and two texture sets, the second of three coordinates");
static_assert(12 + 8 + 12 == kFlagVertexStride && sizeof(FlagVertex) == kFlagVertexStride,
              "position, picture set and shading triple fill the FlagVertex record");
static_assert(vertexFormatBytes(kFlagVertexFormat) == kFlagVertexStride,
              "the flag's vertex format describes its whole stride");
constexpr uint32_t kBackgroundVertexFormat = 0x002 | 0x100;  // D3DFVF_XYZ | D3DFVF_TEX1
constexpr uint32_t kBackgroundVertexStride = sizeof(BackgroundVertex);
static_assert(kBackgroundVertexFormat == 0x102, "position and one two-float texture set");
static_assert(vertexFormatBytes(kBackgroundVertexFormat) == kBackgroundVertexStride,
              "the background's vertex format describes its whole stride");
constexpr uint32_t kBackgroundQuadBytes = 6 * sizeof(BackgroundVertex);
static_assert(kBackgroundQuadBytes == 120, "two triangles of 20-byte vertices");

// Light-spot texture: 256 × 256 grey levels, brightest at (129, 126).
constexpr uint32_t kLightSpotSize = 256;
constexpr uint32_t kLightSpotBytes = kLightSpotSize * kLightSpotSize * 4;  // 262144

// A background picture wider than this ratio fills the width (the float
// 0x3FAA9FBE); others fill the height.
constexpr float kWideBackgroundRatio = 1.333f;

// White, so the flag shows its picture at full brightness under the ambient light.
constexpr SceneMaterial kSceneMaterial = {
    {1.0f, 1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 0}, 0.0f};

// Width / height of the back buffer as a float; a zero side (a window not yet
// sized) gives 4 / 3 instead of an infinite or undefined ratio.
float cameraAspect(uint32_t backBufferWidth, uint32_t backBufferHeight);

// world = identity, view = look-at from kCameraEye, projection = perspective
// with kFieldOfView, the aspect of the back buffer and the near/far planes.
void setUpCamera(Matrix4x4& world, Matrix4x4& view, Matrix4x4& projection, uint32_t backBufferWidth,
                 uint32_t backBufferHeight);

// Grey level 109 … 255 of the light-spot texel at column, row (0 … 255,
// row 0 at the top).
uint8_t lightSpotLevel(int column, int row);

// Fills 256 × 256 pixels 0x00LLLLLL in the bottom-up order the texture maker
// reads: array row k holds texture row 255 − k.
void fillLightSpotPixels(uint32_t* pixels);

// Fits the background rectangle to a user picture of width × height pixels:
// wide pictures span x ±53 and y ±54·h/w, others y ±40 and x ±40·w/h.
// A zero width or height leaves the corners as they are.
void fitBackgroundCorners(BackgroundVertex corners[6], uint32_t width, uint32_t height);

// Enlarges the background rectangle evenly, about its centre, until it fills
// the camera's view at its depth for a screen of `aspect` (width / height):
// a monitor wider or taller than the picture shows no black edges, and the
// picture keeps its proportions (its overhang is cut off). Corners that
// already fill the view, and a non-positive aspect, stay as they are.
void fitBackgroundToView(BackgroundVertex corners[6], float aspect);

// Sharpness on large displays. The flag's texture is as wide as the flag is
// drawn: the smallest power of two at least flagDrawnWidth, never below
// today's kSmallestFlagTexture (so the small displays keep theirs), at most
// kLargestTexture and the device's limits (0: not said).
constexpr uint32_t kSmallestFlagTexture = 512;
constexpr uint32_t kLargestTexture = 2048;
// Screen pixels across the flag at rest (its kClothWidth at the camera's
// distance) on a view `viewHeight` pixels tall: the camera's field is vertical.
float flagDrawnWidth(uint32_t viewHeight);
uint32_t flagTextureSide(uint32_t viewHeight, uint32_t maxTextureWidth, uint32_t maxTextureHeight);
// The built-in backgrounds at 2048 × 2048 (and a user's at up to 2048) for
// a view wider than this; 512 up to it.
constexpr uint32_t kLargeBackgroundFromWidth = 1025;
constexpr int32_t kSmallBackgroundLimit = 512;
int32_t backgroundLimit(uint32_t widestView);
