#include "render/frame.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "app/app_state.h"
#include "render/scene.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "sim/simulation.h"

namespace {

constexpr UINT kFlagTriangles = (kClothColumns - 1) * (kClothRows - 1) * 2;  // 2048
constexpr UINT kBackgroundTriangles = 2;

// What one monitor's frame steps and draws: the saver window's from the
// scene's records, every other monitor's from its MonitorView.
struct ViewParts {
  SimState* sim;
  IDirect3DTexture8* flagTexture;
  IDirect3DVertexBuffer8* backgroundQuad;
  const Matrix4x4* projection;
  IDirect3DSwapChain8* swapChain;    // null: the device's own
  IDirect3DSurface8* depthSurface;   // the target's depth buffer
  bool texts;                        // the overlay shows on the saver window only
};

bool clothReady(const ClothGrid& cloth) {
  return cloth.current && cloth.previous && cloth.particles;
}

// A scene cut short by a failure (the close request is on its way) has
// empty slots; the frame must not touch them. The flag vertex buffer is
// apart: a device reset that failed leaves it released until a later one.
bool sceneBuilt() {
  const RenderState& render = app.render;
  return render.device && clothReady(app.sim.cloth) && render.flagIndexBuffer &&
         render.flagTexture && render.lightSpotTexture;
}

bool sceneReady() {
  return sceneBuilt() && app.render.flagVertexBuffer;
}

ViewParts saverWindowParts() {
  RenderState& render = app.render;
  return ViewParts{&app.sim, render.flagTexture, render.backgroundQuad, &render.projectionMatrix,
                   nullptr, app.monitors.saverDepthSurface, true};
}

ViewParts monitorViewParts(MonitorView& view) {
  return ViewParts{&view.sim, view.flagTexture, view.backgroundQuad, &view.projectionMatrix,
                   view.swapChain, view.depthSurface, false};
}

// The flag vertex buffer is shared: each view's discard lock gets fresh memory
// while the previous view's draw still reads the old.
void stepView(const ViewParts& view) {
  BYTE* target = nullptr;
  if (FAILED(app.render.flagVertexBuffer->Lock(0, 0, &target, D3DLOCK_DISCARD))) target = nullptr;
  runSimulationFrame(*view.sim, reinterpret_cast<FlagVertex*>(target));
  if (target) app.render.flagVertexBuffer->Unlock();
}

// Only while other monitors are drawn: their targets replace the device's own.
bool aimAt(IDirect3DDevice8* device, const ViewParts& view) {
  if (app.monitors.count == 0) return true;
  IDirect3DSurface8* colour = nullptr;
  HRESULT got = view.swapChain
                    ? view.swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &colour)
                    : device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &colour);
  if (FAILED(got) || !colour) return false;
  HRESULT set = device->SetRenderTarget(colour, view.depthSurface);
  colour->Release();
  return SUCCEEDED(set);
}

// The blend states undo the overlay's blending of the previous frame, also
// when there is no background to draw.
void drawBackground(IDirect3DDevice8* device, IDirect3DVertexBuffer8* quad) {
  RenderState& render = app.render;
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetVertexShader(kBackgroundVertexFormat);
  device->SetStreamSource(0, quad, kBackgroundVertexStride);
  device->SetTexture(0, render.backgroundTexture);
  device->SetTexture(1, nullptr);
  if (quad && render.backgroundTexture)
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, kBackgroundTriangles);
}

void drawFlag(IDirect3DDevice8* device, IDirect3DTexture8* flagTexture) {
  RenderState& render = app.render;
  device->SetVertexShader(kFlagVertexFormat);
  device->SetStreamSource(0, render.flagVertexBuffer, kFlagVertexStride);
  device->SetTexture(0, flagTexture);
  device->SetTexture(1, render.lightSpotTexture);
  UINT triangles = app.host.isPreview ? kPreviewIndexCount / 3 : kFlagTriangles;
  device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kClothVertexCount, 0, triangles);
}

void drawView(IDirect3DDevice8* device, const ViewParts& view) {
  if (!aimAt(device, view)) return;
  device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(view.projection));
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  device->BeginScene();
  drawBackground(device, view.backgroundQuad);
  if (view.flagTexture) drawFlag(device, view.flagTexture);
  if (view.texts) drawOverlay();
  device->EndScene();
  if (view.swapChain)
    view.swapChain->Present(nullptr, nullptr, nullptr, nullptr);
  else
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

template <typename T>
void releaseSlot(T*& slot) {
  if (slot) {
    slot->Release();
    slot = nullptr;
  }
}

template <typename T>
void freeClothArray(T*& array) {
  if (array) {
    HeapFree(static_cast<HANDLE>(app.host.heap), 0, array);
    array = nullptr;
  }
}

void freeCloth(ClothGrid& cloth) {
  if (!app.host.heap) return;
  freeClothArray(cloth.current);
  freeClothArray(cloth.previous);
  freeClothArray(cloth.particles);
}

}  // namespace

void updateFrame() {
  if (!sceneReady()) return;
  stepView(saverWindowParts());
}

void drawFrame() {
  if (!sceneBuilt()) return;
  IDirect3DDevice8* device = app.render.device;
  // Direct3D 8 answers DEVICELOST while the display is away (nothing can be
  // drawn or reset), then DEVICENOTRESET until Reset. The frame that resets
  // draws nothing: the new vertex buffer is filled by the next update.
  HRESULT level = device->TestCooperativeLevel();
  if (level == D3DERR_DEVICENOTRESET) {
    restoreLostDevice();
    return;
  }
  if (FAILED(level) || !sceneReady()) return;
  drawView(device, saverWindowParts());
}

void drawMonitorFrame(uint32_t index) {
  if (index >= app.monitors.count || !sceneReady()) return;
  MonitorView& view = app.monitors.views[index];
  // A lost device is the saver window's frame to reset.
  if (!view.swapChain || !clothReady(view.sim.cloth) ||
      app.render.device->TestCooperativeLevel() != D3D_OK)
    return;
  ViewParts parts = monitorViewParts(view);
  stepView(parts);
  drawView(app.render.device, parts);
}

void releaseMonitorViews() {
  MonitorViews& monitors = app.monitors;
  releaseMonitorSurfaces();
  for (uint32_t i = 0; i < monitors.count; ++i) {
    MonitorView& view = monitors.views[i];
    releaseSlot(view.flagTexture);
    releaseSlot(view.backgroundQuad);
    freeCloth(view.sim.cloth);
    view = MonitorView{};  // the next build starts afresh: calibration, timer, wind
  }
  if (monitors.count) ++monitors.generation;
  monitors.count = 0;
}

void releaseMonitorSurfaces() {
  MonitorViews& monitors = app.monitors;
  for (uint32_t i = 0; i < monitors.count; ++i) {
    releaseSlot(monitors.views[i].swapChain);
    releaseSlot(monitors.views[i].depthSurface);
  }
  releaseSlot(monitors.saverDepthSurface);
}

void releaseScene() {
  RenderState& render = app.render;
  releaseMonitorViews();
  releaseSlot(render.overlay.textBuffer);
  releaseSlot(render.overlay.fontTexture);
  releaseSlot(render.backgroundTexture);
  releaseSlot(render.backgroundQuad);
  releaseSlot(render.lightSpotTexture);
  releaseSlot(render.flagTexture);
  releaseSlot(render.flagVertexBuffer);
  releaseSlot(render.flagIndexBuffer);
  freeCloth(app.sim.cloth);
}
