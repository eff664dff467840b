// Plain computations of the scene set-up: the camera, the light-spot texture
// that shades the flag, the background rectangle's aspect fit and the fixed
// values of the flag stream and the material.
#pragma once
#include <cstdint>

#include "render/render_state.h"
#include "sim/vector_math.h"

// Camera: eye 60 units before the origin looking along +z.
constexpr Vector3 kCameraEye = {0.0f, 0.0f, -60.0f};
constexpr Vector3 kCameraTarget = {0.0f, 0.0f, 0.0f};
constexpr Vector3 kCameraUp = {0.0f, 1.0f, 0.0f};
constexpr float kFieldOfView = 0.78539819f;  // π/4, vertical
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 100.0f;

// Flag vertex format: D3DFVF_XYZ | D3DFVF_TEX2 with two-float sets describes
// 12 + 8 + 8 = 28 bytes: position at 0–11, the picture set at 12–19 and the
// shading set at 20–27, inside the 32-byte FlagVertex; the unused sz at 28–31
// is skipped by the stride. A format naming 32 bytes of data (a third set, or
// a normal) would feed the pipeline something it does not need.
constexpr uint32_t kFlagVertexFormat = 0x002 | 0x200;
constexpr uint32_t kFlagVertexStride = 32;
constexpr uint32_t kBackgroundVertexFormat = 0x002 | 0x100;  // D3DFVF_XYZ | D3DFVF_TEX1
constexpr uint32_t kBackgroundVertexStride = sizeof(BackgroundVertex);
constexpr uint32_t kBackgroundQuadBytes = 6 * sizeof(BackgroundVertex);  // 120

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
void setUpCamera(Matrix4x4& world, Matrix4x4& view, Matrix4x4& projection,
                 uint32_t backBufferWidth, uint32_t backBufferHeight);

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
