// What one monitor beside the saver window's shows in Desktop mode: its
// window, swap chain, flag and background. The saver window's monitor is
// drawn from the scene's own records (RenderState, AppState::sim); the
// frame runs the same sequence over it and over each of these.
#pragma once
#include <cstdint>

#include "app/host_state.h"
#include "sim/simulation.h"
#include "sim/vector_math.h"

struct HWND__;
struct IDirect3DSwapChain8;
struct IDirect3DSurface8;
struct IDirect3DTexture8;
struct IDirect3DVertexBuffer8;

struct MonitorView {
  HWND__* window;                    // one of the host's monitor windows
  uint32_t width, height;            // its back buffer: the monitor's pixels
  uint32_t refreshRate;              // its monitor's, in Hz; 0 or 1 when not said
  IDirect3DSwapChain8* swapChain;    // windowed, on the saver's one device
  IDirect3DSurface8* depthSurface;   // a swap chain of its own has none
  IDirect3DTexture8* flagTexture;    // its own flag (its own pick with Random Logo)
  IDirect3DVertexBuffer8* backgroundQuad;  // the shared picture fitted to its aspect
  Matrix4x4 projectionMatrix;        // its aspect
  SimState sim;                      // its own cloth, wind, timer and generator
};

// One view per monitor window at most.
constexpr uint32_t kMaxMonitorViews = kMaxCoverWindows;

struct MonitorViews {
  MonitorView views[kMaxMonitorViews];
  uint32_t count;       // views built; 0 outside Desktop mode
  uint32_t generation;  // counts the builds: the frame loop's pacers follow it
  // The device's own depth buffer, held while views exist: drawing the
  // saver window's monitor returns to it after a view's target.
  IDirect3DSurface8* saverDepthSurface;
};
