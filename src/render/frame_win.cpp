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

bool clothReady() {
  const ClothGrid& cloth = app.sim.cloth;
  return cloth.current && cloth.previous && cloth.particles;
}

// A scene cut short by a failure (the close request is on its way) has
// empty slots; the frame must not touch them. The flag vertex buffer is
// apart: a device reset that failed leaves it released until a later one.
bool sceneBuilt() {
  const RenderState& render = app.render;
  return render.device && clothReady() && render.flagIndexBuffer && render.flagTexture &&
         render.lightSpotTexture;
}

bool sceneReady() {
  return sceneBuilt() && app.render.flagVertexBuffer;
}

// The vertex buffer to receive the stepped cloth, or null when it cannot be locked.
FlagVertex* lockFlagVertices() {
  BYTE* target = nullptr;
  if (FAILED(app.render.flagVertexBuffer->Lock(0, 0, &target, D3DLOCK_DISCARD))) return nullptr;
  return reinterpret_cast<FlagVertex*>(target);
}

// The blend states undo the overlay's blending of the previous frame, also
// when there is no background to draw.
void drawBackground(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetVertexShader(kBackgroundVertexFormat);
  device->SetStreamSource(0, render.backgroundQuad, kBackgroundVertexStride);
  device->SetTexture(0, render.backgroundTexture);
  device->SetTexture(1, nullptr);
  if (render.backgroundQuad && render.backgroundTexture)
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, kBackgroundTriangles);
}

void drawFlag(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetVertexShader(kFlagVertexFormat);
  device->SetStreamSource(0, render.flagVertexBuffer, kFlagVertexStride);
  device->SetTexture(0, render.flagTexture);
  device->SetTexture(1, render.lightSpotTexture);
  device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kClothVertexCount, 0, kFlagTriangles);
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

}  // namespace

void updateFrame() {
  if (!sceneReady()) return;
  FlagVertex* vertices = lockFlagVertices();
  runSimulationFrame(app.sim, vertices);
  if (vertices) app.render.flagVertexBuffer->Unlock();
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
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  device->BeginScene();
  drawBackground(device);
  drawFlag(device);
  drawOverlay();
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

void releaseScene() {
  RenderState& render = app.render;
  releaseSlot(render.overlay.textBuffer);
  releaseSlot(render.overlay.fontTexture);
  releaseSlot(render.backgroundTexture);
  releaseSlot(render.backgroundQuad);
  releaseSlot(render.lightSpotTexture);
  releaseSlot(render.flagTexture);
  releaseSlot(render.flagVertexBuffer);
  releaseSlot(render.flagIndexBuffer);
  if (app.host.heap) {
    ClothGrid& cloth = app.sim.cloth;
    freeClothArray(cloth.current);
    freeClothArray(cloth.previous);
    freeClothArray(cloth.particles);
  }
}
