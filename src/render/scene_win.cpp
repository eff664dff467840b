#include "render/scene.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "app/app_state.h"
#include "config/flag_catalogue.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "render/texture.h"
#include "sim/simulation.h"

static_assert(sizeof(SceneMaterial) == sizeof(D3DMATERIAL8), "SceneMaterial mirrors D3DMATERIAL8");
static_assert(sizeof(Matrix4x4) == sizeof(D3DMATRIX), "Matrix4x4 is what SetTransform takes");

namespace {

// The scene cannot be completed: the close request ends the saver before any
// frame runs, and the frame skips an incomplete scene meanwhile.
void requestClose() {
  PostMessageA(app.host.mainWindow, WM_CLOSE, 0, 0);
}

void* heapBlock(SIZE_T bytes) {
  if (!app.host.heap) return nullptr;
  return HeapAlloc(static_cast<HANDLE>(app.host.heap), HEAP_ZERO_MEMORY, bytes);
}

void freeHeapBlock(void* block) {
  if (block && app.host.heap) HeapFree(static_cast<HANDLE>(app.host.heap), 0, block);
}

bool makeLightSpotTexture(IDirect3DDevice8* device) {
  uint32_t* pixels = static_cast<uint32_t*>(heapBlock(kLightSpotBytes));
  if (!pixels) return false;
  fillLightSpotPixels(pixels);
  TextureResult result = textureFromPixels(device, pixels, kLightSpotSize, kLightSpotSize,
                                           D3DFMT_X8R8G8B8, &app.render.lightSpotTexture);
  freeHeapBlock(pixels);
  return result == TextureOk && app.render.lightSpotTexture;
}

// The flag picture becomes the flag texture; without a picture the choice
// has already told the user.
bool makeFlagTexture(IDirect3DDevice8* device) {
  Picture picture = nullptr;
  if (chooseFlagPicture(&picture) != 0) return false;
  textureFromBitmap(device, picture, D3DFMT_X8R8G8B8, &app.render.flagTexture);
  DeleteObject(picture);
  return app.render.flagTexture != nullptr;
}

// The cloth arrays belong to the scene; releaseScene frees them.
bool allocateCloth(uint16_t*& indices) {
  ClothGrid& cloth = app.sim.cloth;
  cloth.current = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.previous = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.particles = static_cast<ClothParticle*>(heapBlock(kClothParticleBytes));
  indices = static_cast<uint16_t*>(heapBlock(kClothIndexBytes));
  return cloth.current && cloth.previous && cloth.particles && indices;
}

// Dynamic, so in the default pool: a device reset makes it again.
bool createFlagVertexBuffer(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  if (FAILED(device->CreateVertexBuffer(kClothVertexBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                        kFlagVertexFormat, D3DPOOL_DEFAULT,
                                        &render.flagVertexBuffer)))
    render.flagVertexBuffer = nullptr;
  return render.flagVertexBuffer != nullptr;
}

bool createFlagBuffers(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  createFlagVertexBuffer(device);
  if (FAILED(device->CreateIndexBuffer(kClothIndexBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       &render.flagIndexBuffer)))
    render.flagIndexBuffer = nullptr;
  return render.flagVertexBuffer && render.flagIndexBuffer;
}

// Nothing is copied through a pointer that a failed lock did not give.
void fillVertexBuffer(IDirect3DVertexBuffer8* buffer, const void* data, UINT bytes, DWORD flags) {
  BYTE* target = nullptr;
  if (SUCCEEDED(buffer->Lock(0, 0, &target, flags)) && target) {
    std::memcpy(target, data, bytes);
    buffer->Unlock();
  }
}

void fillIndexBuffer(IDirect3DIndexBuffer8* buffer, const void* data, UINT bytes) {
  BYTE* target = nullptr;
  if (SUCCEEDED(buffer->Lock(0, 0, &target, 0)) && target) {
    std::memcpy(target, data, bytes);
    buffer->Unlock();
  }
}

void setUpClothArrays(uint16_t* indices) {
  ClothGrid& cloth = app.sim.cloth;
  cloth.indices = indices;
  setUpCloth(cloth, app.sim.wind.windVector);
  cloth.indices = nullptr;  // freed once the index buffer holds them
  fillVertexBuffer(app.render.flagVertexBuffer, cloth.current, kClothVertexBytes, D3DLOCK_DISCARD);
  fillIndexBuffer(app.render.flagIndexBuffer, indices, kClothIndexBytes);
}

// Only the states that differ from Direct3D's defaults: lighting stays on with
// no light, so every vertex is the white ambient; stage 1 multiplies by the
// light-spot texel that the shading coordinates pick. Set once by the scene
// and again after every device reset, which returns them all to the defaults.
void setDeviceStates(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetTransform(D3DTS_WORLD, reinterpret_cast<D3DMATRIX*>(&render.worldMatrix));
  device->SetTransform(D3DTS_VIEW, reinterpret_cast<D3DMATRIX*>(&render.viewMatrix));
  device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<D3DMATRIX*>(&render.projectionMatrix));
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
  device->SetVertexShader(kFlagVertexFormat);
  device->SetStreamSource(0, render.flagVertexBuffer, kFlagVertexStride);
  device->SetIndices(render.flagIndexBuffer, 0);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  device->SetTexture(1, render.lightSpotTexture);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTexture(0, render.flagTexture);
  device->SetMaterial(reinterpret_cast<D3DMATERIAL8*>(&render.sceneMaterial));
}

// Reset fails while a default-pool resource lives, and a bound stream
// source keeps its buffer alive: unbound first.
void releaseDefaultPool(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetStreamSource(0, nullptr, 0);
  if (render.flagVertexBuffer) {
    render.flagVertexBuffer->Release();
    render.flagVertexBuffer = nullptr;
  }
  if (render.overlay.textBuffer) {
    render.overlay.textBuffer->Release();
    render.overlay.textBuffer = nullptr;
  }
}

// A windowed back buffer has the desktop's format, which the change that
// lost the device may have changed.
void followDesktopFormat(D3DPRESENT_PARAMETERS& present) {
  D3DDISPLAYMODE desktop;
  std::memset(&desktop, 0, sizeof desktop);
  if (present.Windowed && app.render.direct3d &&
      SUCCEEDED(app.render.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop)))
    present.BackBufferFormat = desktop.Format;
}

void releaseBackground() {
  RenderState& render = app.render;
  if (render.backgroundTexture) {
    render.backgroundTexture->Release();
    render.backgroundTexture = nullptr;
  }
  if (render.backgroundQuad) {
    render.backgroundQuad->Release();
    render.backgroundQuad = nullptr;
  }
}

}  // namespace

TextureResult buildBackground() {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  if (!device) return TextureNoDevice;
  if (!render.backgroundPicture) return TextureOk;
  if (FAILED(device->CreateVertexBuffer(kBackgroundQuadBytes, D3DUSAGE_WRITEONLY,
                                        kBackgroundVertexFormat, D3DPOOL_MANAGED,
                                        &render.backgroundQuad))) {
    render.backgroundQuad = nullptr;
    return TextureCreateFailed;
  }
  // The built-in backgrounds are made for the fixed rectangle; only a user's
  // picture has a stored size to fit.
  if (app.settings.backgroundPath[0] != 0)
    fitBackgroundCorners(render.backgroundCorners, app.settings.backgroundWidth,
                         app.settings.backgroundHeight);
  fillVertexBuffer(render.backgroundQuad, render.backgroundCorners, kBackgroundQuadBytes, 0);
  TextureResult result = textureFromBitmap(device, render.backgroundPicture, D3DFMT_X8R8G8B8,
                                           &render.backgroundTexture);
  // The background is optional: without its texture the flag shows over black.
  if (result != TextureOk || !render.backgroundTexture) {
    releaseBackground();
    if (result == TextureOk) result = TextureCreateFailed;
  }
  return result;
}

void buildScene() {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  if (!device) return;
  // The size the device really got: the preview's client area, or the
  // display's own mode when the stored one could not be made.
  const D3DPRESENT_PARAMETERS& present = render.presentParams;
  setUpCamera(render.worldMatrix, render.viewMatrix, render.projectionMatrix,
              present.BackBufferWidth, present.BackBufferHeight);
  if (!makeFlagTexture(device)) {
    requestClose();
    return;
  }
  if (!makeLightSpotTexture(device)) {
    requestClose();
    return;
  }
  uint16_t* indices = nullptr;
  if (!allocateCloth(indices) || !createFlagBuffers(device)) {
    freeHeapBlock(indices);
    requestClose();
    return;
  }
  buildBackground();
  setUpClothArrays(indices);
  freeHeapBlock(indices);
  render.sceneMaterial = kSceneMaterial;
  setDeviceStates(device);
  // The texts are an extra: without the font texture or the text buffer the
  // flag still waves and the overlay draws nothing.
  createFontTexture(kOverlayColour, &render.overlay.fontTexture);
  startTimer(app.sim.timer);
}

bool restoreLostDevice() {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  if (!device) return false;
  releaseDefaultPool(device);
  // A copy: only a successful Reset's adjustments are the device's.
  D3DPRESENT_PARAMETERS present = render.presentParams;
  followDesktopFormat(present);
  if (FAILED(device->Reset(&present))) return false;
  render.presentParams = present;
  // The next frame's update writes the whole new vertex buffer.
  if (!createFlagVertexBuffer(device)) {
    requestClose();
    return false;
  }
  createTextBuffer();
  setDeviceStates(device);
  return true;
}
