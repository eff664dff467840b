#include "render/frame.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "app/app_state.h"
#include "render/flag_change.h"
#include "render/scene.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "sim/simulation.h"

namespace {

constexpr UINT kFlagTriangles = (kClothColumns - 1) * (kClothRows - 1) * 2;  // 2048
constexpr UINT kBackgroundTriangles = 2;

bool clothReady(const ClothGrid& cloth) {
  return cloth.current && cloth.previous && cloth.particles;
}

// A scene cut short by a failure (the close request is on its way) has
// empty slots; the frame must not touch them. The flag vertex buffer is
// apart: a device reset that failed leaves it released until a later one.
bool sceneBuilt() {
  const RenderState& render = app.render;
  return render.device && render.flagIndexBuffer && render.lightSpotTexture &&
         app.views.count > 0;
}

MonitorView* builtView(uint32_t index) {
  if (!sceneBuilt() || index >= app.views.count) return nullptr;
  MonitorView& view = app.views.views[index];
  return view.sim && clothReady(view.sim->cloth) ? &view : nullptr;
}

// The device's own back buffer with no depth buffer held by a view: aimed
// at before any view's surfaces go, so that the device holds none of them.
bool aimAtDevicesOwn(IDirect3DDevice8* device) {
  IDirect3DSurface8* colour = nullptr;
  if (FAILED(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &colour)) || !colour) return false;
  HRESULT set = device->SetRenderTarget(colour, nullptr);
  colour->Release();
  return SUCCEEDED(set);
}

// In Desktop mode every view, the first too, draws with a depth buffer of
// its own: the first into the device's back buffer, the others into their
// swap chains'.
bool aimAt(IDirect3DDevice8* device, const MonitorView& view) {
  if (!inDesktopMode(app)) return true;  // one target, the device's own
  IDirect3DSurface8* colour = nullptr;
  HRESULT got = view.swapChain ? view.swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &colour)
                               : device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &colour);
  if (FAILED(got) || !colour) return false;
  HRESULT set = device->SetRenderTarget(colour, view.depthSurface);
  colour->Release();
  return SUCCEEDED(set);
}

// Every view draws with depth: one whose depth buffer or swap chain is
// missing waits for the frame that makes them again.
bool canDraw(const MonitorView& view, bool first) {
  if (!view.flagTexture || !app.render.flagVertexBuffer) return false;
  if (first) return !inDesktopMode(app) || view.depthSurface;
  return view.swapChain && view.depthSurface;
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

DWORD opacityFactor(float opacity) {
  return (static_cast<DWORD>(opacity * 255.0f + 0.5f) << 24) | 0x00FFFFFF;
}

// The next flag over the last, on the same cloth at the same depth, its
// opacity the texture factor's alpha; the stage states go back after.
void drawIncomingFlag(IDirect3DDevice8* device, IDirect3DTexture8* texture, float amount) {
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_TEXTUREFACTOR, opacityFactor(amount));
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
  drawFlag(device, texture);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

// The run's first second: black over the whole view, fading out.
void drawShade(IDirect3DDevice8* device, float shade) {
  D3DVIEWPORT8 viewport = {};
  device->GetViewport(&viewport);
  float w = static_cast<float>(viewport.Width), h = static_cast<float>(viewport.Height);
  const TextVertex corners[4] = {{0, 0, 0, 1, 0, 0}, {w, 0, 0, 1, 0, 0}, {0, h, 0, 1, 0, 0},
                                 {w, h, 0, 1, 0, 0}};
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_TEXTUREFACTOR, static_cast<DWORD>(shade * 255.0f + 0.5f) << 24);
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
  device->SetVertexShader(kTextVertexFormat);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof(TextVertex));
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
}

// The first view's flag name while its flag changes: the last name fades
// out over the first half of the fade, the next fades in over the second.
void drawViewOverlay(const MonitorView& view) {
  float amount = crossFadeAmount(view);
  if (!view.incomingTexture) return drawOverlay(app.settings.selectFlag, 1.0f);
  if (amount < 0.5f) return drawOverlay(view.fadingName, 1.0f - 2.0f * amount);
  drawOverlay(app.settings.selectFlag, 2.0f * amount - 1.0f);
}

void drawViewParts(IDirect3DDevice8* device, const MonitorView& view, bool first) {
  if (!aimAt(device, view)) return;
  device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&view.projectionMatrix));
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  device->BeginScene();
  drawBackground(device, view.backgroundQuad);
  drawFlag(device, view.flagTexture);
  if (view.incomingTexture) drawIncomingFlag(device, view.incomingTexture, crossFadeAmount(view));
  if (first) drawViewOverlay(view);  // the texts show on the saver window only
  float shade = softStartShade();
  if (shade > 0.0f) drawShade(device, shade);
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

void updateView(uint32_t index) {
  MonitorView* view = builtView(index);
  if (!view) return;
  // The flag vertex buffer is shared: each view's discard lock gets fresh
  // memory while the previous view's draw still reads the old.
  IDirect3DVertexBuffer8* buffer = app.render.flagVertexBuffer;
  BYTE* target = nullptr;
  if (buffer && FAILED(buffer->Lock(0, 0, &target, D3DLOCK_DISCARD))) target = nullptr;
  runSimulationFrame(*view->sim, reinterpret_cast<FlagVertex*>(target));
  if (target) buffer->Unlock();
}

// Direct3D 8 answers DEVICELOST while the display is away (nothing can be
// drawn or reset), then DEVICENOTRESET until Reset.
bool readyDeviceForFrames() {
  IDirect3DDevice8* device = app.render.device;
  if (!sceneBuilt()) return false;
  HRESULT level = device->TestCooperativeLevel();
  if (level == D3DERR_DEVICELOST) return false;
  if (level == D3DERR_DEVICENOTRESET || app.render.resetPending) {
    if (!restoreLostDevice()) return false;
  } else if (FAILED(level)) {
    return false;
  }
  remakeFlagVertexBuffer();
  remakeViewSurfaces();
  return true;
}

void drawView(uint32_t index) {
  MonitorView* view = builtView(index);
  if (!view || !canDraw(*view, index == 0)) return;
  drawViewParts(app.render.device, *view, index == 0);
}

void runViewFrame(uint32_t index, bool deviceReady) {
  advanceFlagChange(index);
  updateView(index);
  if (deviceReady) drawView(index);
}

namespace {

void releaseView(MonitorView& view) {
  releaseFlagChange(view);
  releaseSlot(view.swapChain);
  releaseSlot(view.depthSurface);
  releaseSlot(view.flagTexture);
  releaseSlot(view.backgroundQuad);
  if (view.sim) freeCloth(view.sim->cloth);
  view = MonitorView{};  // another monitor's next build starts afresh: calibration, timer, wind
}

// Before any view's surfaces go, the device must not be aimed at them.
void aimBackBeforeRelease() {
  IDirect3DDevice8* device = app.render.device;
  if (device && app.views.count > 0 && inDesktopMode(app)) aimAtDevicesOwn(device);
}

}  // namespace

void releaseMonitorViews() {
  MonitorViews& views = app.views;
  if (views.count <= 1) return;
  aimBackBeforeRelease();
  for (uint32_t i = 1; i < views.count; ++i) releaseView(views.views[i]);
  views.count = 1;
  ++views.generation;
}

void releaseViewSurfaces() {
  MonitorViews& views = app.views;
  aimBackBeforeRelease();
  for (uint32_t i = views.count; i > 0; --i) {
    releaseSlot(views.views[i - 1].swapChain);
    releaseSlot(views.views[i - 1].depthSurface);
  }
}

void releaseScene() {
  RenderState& render = app.render;
  releaseMonitorViews();
  if (app.views.count > 0) {
    releaseView(app.views.views[0]);
    app.views.count = 0;
    ++app.views.generation;
  }
  freeCloth(app.sim.cloth);  // a build cut short may have left the arrays
  releaseSlot(render.overlay.textBuffer);
  releaseSlot(render.overlay.fontTexture);
  releaseSlot(render.overlay.largeFontTexture);
  releaseSlot(render.backgroundTexture);
  releaseSlot(render.lightSpotTexture);
  releaseSlot(render.flagVertexBuffer);
  releaseSlot(render.flagIndexBuffer);
  render.resetPending = 0;
}
