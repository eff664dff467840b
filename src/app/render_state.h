// The rendering record of AppState: the Direct3D object and device, what
// every view of the scene shares (textures, buffers, camera) and the text
// overlay.
// Slots are null until made; every release sets its slot back to null.
#pragma once
#include <cstdint>

#include "sim/vector_math.h"

// The device's presentation parameters are Direct3D's own record, so the
// Windows build sees Direct3D's types here; the plain code built natively
// never reads them.
#ifdef _WIN32
#include <windows.h>
#include <d3d8types.h>
#endif

struct HBITMAP__;
struct IDirect3D8;
struct IDirect3DDevice8;
struct IDirect3DTexture8;
struct IDirect3DVertexBuffer8;
struct IDirect3DIndexBuffer8;

// One corner of the background rectangle: position and texture coordinate.
struct BackgroundVertex {
  float x, y, z, u, v;
};
static_assert(sizeof(BackgroundVertex) == 20, "the background stream stride is 20 bytes");

// Mirrors D3DMATERIAL8: diffuse, ambient, specular, emissive (r, g, b, a), power.
struct SceneMaterial {
  float diffuse[4], ambient[4], specular[4], emissive[4];
  float power;
};

// The bitmap-font overlay: frame rate, clock and flag name.
struct TextOverlay {
  IDirect3DTexture8* fontTexture;      // A4R4G4B4, made at each scene set-up
  IDirect3DTexture8* largeFontTexture; // the same four times the size, where a view is tall
  IDirect3DVertexBuffer8* textBuffer;  // 3 texts of 64 glyphs of 6 vertices
  float blinkPhase;                    // 0 … 1, renews the frame-rate text; kept across scenes
  char fpsText[32];                    // last frame-rate text, empty at start
  char clockText[32];                  // rebuilt every frame
};

// How the saver shows, fixed for the run when the saver window starts:
// Exclusive is a full-screen device in the stored mode; Desktop a windowed
// device on the display as it is, with a flag on every monitor; Windowed
// the preview (and the tools that draw into a window of their own).
enum class ScreenMode : uint32_t { Windowed, Exclusive, Desktop };

struct RenderState {
  ScreenMode screenMode;
  IDirect3D8* direct3d;
  IDirect3DDevice8* device;  // every rendering step does nothing while null
#ifdef _WIN32
  // The saver device's parameters as it was last made: the mode it really
  // uses (preview client size and desktop format, the 5-6-5 retry or the
  // desktop's mode). The scene takes its aspect from them; re-creation after
  // a refused password reuses them. Never written back to the settings.
  D3DPRESENT_PARAMETERS presentParams;
#endif
  HBITMAP__* backgroundPicture;  // the Picture behind the flag, or null
  uint32_t mode16Format;         // D3DFMT_R5G6B5, else D3DFMT_X1R5G5B5, else 0
  uint32_t mode32Format;         // D3DFMT_X8R8G8B8 or 0
  uint32_t tnlAvailable;         // hardware transform and lighting reported
  // The device's limits, read when the scene is built: the largest texture
  // sides (0: not said) and the anisotropy its minifying filter offers (0:
  // none, trilinear only).
  uint32_t maxTextureWidth, maxTextureHeight, maxAnisotropy;
  // Multisampling and anisotropic filtering were given up for the run: the
  // frames could not pay for them, or the saver runs on battery.
  uint32_t extrasDropped;
  // What every view shares; each view has its own flag, projection and
  // background quad (app.views).
  Matrix4x4 worldMatrix, viewMatrix;
  IDirect3DTexture8* lightSpotTexture;
  IDirect3DTexture8* backgroundTexture;
  IDirect3DVertexBuffer8* flagVertexBuffer;  // 1089 FlagVertex, refilled by each view's step
  IDirect3DIndexBuffer8* flagIndexBuffer;    // 6144 16-bit indices
  // A Reset that failed (a display change, a device lost and not yet back)
  // is tried again at the next frame with these parameters.
  uint32_t resetPending;
  uint32_t refusedResets;  // Resets refused in a row; after some, the last parameters that worked
  // When the run's first scene was built (render seconds), for its fade in
  // from black; 0 before.
  double softStartSeconds;
#ifdef _WIN32
  D3DPRESENT_PARAMETERS pendingParams;
#endif
  SceneMaterial sceneMaterial;
  // The background rectangle, 96 units in front of the eye; the aspect fit of
  // a user's background changes it in place.
  BackgroundVertex backgroundCorners[6] = {
      {-53, -40, 36, 0, 1}, {-53, 40, 36, 0, 0}, {53, 40, 36, 1, 0},
      {-53, -40, 36, 0, 1}, {53, 40, 36, 1, 0},  {53, -40, 36, 1, 1},
  };
  TextOverlay overlay;
};
