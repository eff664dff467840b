// What one monitor shows: its window, target surfaces, flag, background fit,
// camera aspect and simulation. The first view is the saver window's (or the
// preview's); in Desktop mode every other monitor's window has one after it.
// All are built, stepped, drawn, paced, reset and released by the same
// functions.
#pragma once
#include <cstdint>

#include "app/host_state.h"
#include "app/settings.h"
#include "sim/simulation.h"
#include "sim/vector_math.h"

struct FlagDecode;
struct FlagTour;
struct HWND__;
struct IDirect3DSwapChain8;
struct IDirect3DSurface8;
struct IDirect3DTexture8;
struct IDirect3DVertexBuffer8;

struct MonitorView {
  HWND__* window;                    // the saver window, or one of the host's monitor windows
  uint32_t width, height;            // its back buffer: the window's pixels
  uint32_t refreshRate;              // its monitor's, in Hz; 0 or 1 when not said
  IDirect3DSwapChain8* swapChain;    // null for the first view: the device's own
  // The target's depth buffer in Desktop mode, the first view's too (made
  // again like the others' after a Reset); null outside Desktop mode, where
  // the one view draws with the device's own.
  IDirect3DSurface8* depthSurface;
  IDirect3DTexture8* flagTexture;    // its own flag (its own pick with Random Logo)
  int32_t flagTextureSide;           // the size limit of its flag pictures, as wide as it draws them
  uint32_t multiSample;              // its swap chain's and depth buffer's D3DMULTISAMPLE_TYPE
  IDirect3DVertexBuffer8* backgroundQuad;  // the shared picture fitted to its aspect
  Matrix4x4 projectionMatrix;        // its aspect
  // The first view's simulation is AppState::sim, which lives for the
  // process (its generator, wind, calibration and timer carry over scene
  // builds); every other view's is ownSim, made afresh with the view.
  SimState* sim;
  SimState ownSim;
  // The flags changing on their own (Random Logo with a change interval):
  // the view's tour of the folder (a heap block, like the cloth's arrays),
  // when its next change is due and the cross-fade to the next flag, which
  // fades in over flagTexture. Seconds of the render clock (renderSeconds).
  FlagTour* tour;
  double nextChangeSeconds;            // 0: no change is due
  FlagDecode* decode;                  // the next flag's picture, decoded by a thread of its own
  IDirect3DTexture8* incomingTexture;  // the next flag while it fades in, else null
  double fadeStartSeconds;             // when the fade began
  char fadingName[kNameCapacity];      // the first view's flag name before the change
};

// The first view and one for each monitor window at most.
constexpr uint32_t kMaxMonitorViews = kMaxMonitorWindows + 1;

struct MonitorViews {
  MonitorView views[kMaxMonitorViews];
  uint32_t count;       // views built; 0 without a scene, 1 outside Desktop mode
  uint32_t generation;  // counts the changes of the list: the frame loop's pacers follow it
};
