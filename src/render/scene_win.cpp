#include "render/scene.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "app/app_state.h"
#include "config/flag_catalogue.h"
#include "render/frame.h"
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
bool allocateClothArrays(ClothGrid& cloth) {
  cloth.current = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.previous = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.particles = static_cast<ClothParticle*>(heapBlock(kClothParticleBytes));
  return cloth.current && cloth.previous && cloth.particles;
}

bool allocateCloth(uint16_t*& indices) {
  indices = static_cast<uint16_t*>(heapBlock(kClothIndexBytes));
  return allocateClothArrays(app.sim.cloth) && indices;
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
  if (app.host.isPreview) listClothTrianglesEvery(indices, kPreviewClothStep);
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
  releaseMonitorSurfaces();
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

float saverWindowAspect() {
  const D3DPRESENT_PARAMETERS& present = app.render.presentParams;
  return cameraAspect(present.BackBufferWidth, present.BackBufferHeight);
}

// The rectangle as the picture fits it; in Desktop mode also fitted to the
// monitor, whose aspect may be any. The exclusive modes keep the rectangle.
void fillBackgroundQuad(IDirect3DVertexBuffer8* quad, float aspect) {
  BackgroundVertex corners[6];
  std::memcpy(corners, app.render.backgroundCorners, sizeof corners);
  if (drawsEveryMonitor(app)) fitBackgroundToView(corners, aspect);
  fillVertexBuffer(quad, corners, kBackgroundQuadBytes, 0);
}

// A managed quad (it outlives a device reset) filled for a screen of `aspect`;
// the slot stays null when it cannot be made.
bool makeBackgroundQuad(IDirect3DDevice8* device, float aspect, IDirect3DVertexBuffer8** quad) {
  if (FAILED(device->CreateVertexBuffer(kBackgroundQuadBytes, D3DUSAGE_WRITEONLY,
                                        kBackgroundVertexFormat, D3DPOOL_MANAGED, quad))) {
    *quad = nullptr;
    return false;
  }
  fillBackgroundQuad(*quad, aspect);
  return true;
}

// The swap chain and depth buffer of one view, at its monitor's size.
bool makeViewSurfaces(IDirect3DDevice8* device, MonitorView& view) {
  D3DPRESENT_PARAMETERS present;
  std::memset(&present, 0, sizeof present);
  present.BackBufferWidth = view.width;
  present.BackBufferHeight = view.height;
  present.BackBufferFormat = app.render.presentParams.BackBufferFormat;
  present.SwapEffect = D3DSWAPEFFECT_FLIP;
  present.hDeviceWindow = view.window;
  present.Windowed = TRUE;
  if (FAILED(device->CreateAdditionalSwapChain(&present, &view.swapChain))) view.swapChain = nullptr;
  if (FAILED(device->CreateDepthStencilSurface(view.width, view.height, D3DFMT_D16,
                                               D3DMULTISAMPLE_NONE, &view.depthSurface)))
    view.depthSurface = nullptr;
  return view.swapChain && view.depthSurface;
}

// Every view's surfaces; the saver window's own depth buffer is held so that
// the frame can return to it after drawing a view.
bool makeMonitorSurfaces(IDirect3DDevice8* device) {
  MonitorViews& monitors = app.monitors;
  if (monitors.count == 0) return true;
  if (FAILED(device->GetDepthStencilSurface(&monitors.saverDepthSurface)))
    monitors.saverDepthSurface = nullptr;
  bool all = monitors.saverDepthSurface != nullptr;
  for (uint32_t i = 0; i < monitors.count; ++i)
    all = makeViewSurfaces(device, monitors.views[i]) && all;
  // A monitor whose surfaces cannot be had stays black; the others draw.
  return all;
}

// Each monitor has its own generator, seeded apart from the saver window's,
// so that its flag and wind are its own and the saver window's sequence
// stays as it was.
void seedView(MonitorView& view, uint32_t index) {
  uint32_t ticks = GetTickCount();
  seedRandom(view.sim.random, (ticks + 7919u * (index + 1)) % 31329u,
             (ticks / 31329u + 97u * (index + 1)) % 30082u);
}

// The view's flag: its own random pick, or the chosen flag. A failure
// leaves it without a flag texture; the message was shown by the choice.
void makeViewFlag(IDirect3DDevice8* device, MonitorView& view) {
  char name[kNameCapacity];
  copyText(name, sizeof name, app.settings.selectFlag);
  Picture picture = nullptr;
  if (chooseFlagPictureInto(&picture, view.sim.random, name) != 0) return;
  textureFromBitmap(device, picture, D3DFMT_X8R8G8B8, &view.flagTexture);
  DeleteObject(picture);
}

void makeViewBackground(IDirect3DDevice8* device, MonitorView& view) {
  if (!app.render.backgroundTexture) return;
  makeBackgroundQuad(device, cameraAspect(view.width, view.height), &view.backgroundQuad);
}

// The refresh rate of the monitor the window is on; 0 when not said.
uint32_t monitorRefreshRate(HWND window) {
  MONITORINFOEXA info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  DEVMODEA mode;
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  if (!GetMonitorInfoA(monitor, &info) ||
      !EnumDisplaySettingsA(info.szDevice, ENUM_CURRENT_SETTINGS, &mode))
    return 0;
  return mode.dmDisplayFrequency;
}

bool buildMonitorView(IDirect3DDevice8* device, MonitorView& view, uint32_t index) {
  view.refreshRate = monitorRefreshRate(view.window);
  Matrix4x4 world, eye;
  setUpCamera(world, eye, view.projectionMatrix, view.width, view.height);
  configureSimulation(view.sim, app.settings.windPower, false);
  seedView(view, index);
  if (!allocateClothArrays(view.sim.cloth)) return false;
  view.sim.cloth.indices = nullptr;  // the index buffer is the saver window's
  setUpCloth(view.sim.cloth, view.sim.wind.windVector);
  makeViewFlag(device, view);
  makeViewBackground(device, view);
  startTimer(view.sim.timer);
  return true;
}

}  // namespace

TextureResult buildBackground() {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  if (!device) return TextureNoDevice;
  if (!render.backgroundPicture) return TextureOk;
  // The built-in backgrounds are made for the fixed rectangle; only a user's
  // picture has a stored size to fit.
  if (app.settings.backgroundPath[0] != 0)
    fitBackgroundCorners(render.backgroundCorners, app.settings.backgroundWidth,
                         app.settings.backgroundHeight);
  if (!makeBackgroundQuad(device, saverWindowAspect(), &render.backgroundQuad))
    return TextureCreateFailed;
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
  buildMonitorViews();
}

void buildMonitorViews() {
  releaseMonitorViews();
  IDirect3DDevice8* device = app.render.device;
  const HostState& host = app.host;
  if (!device || !drawsEveryMonitor(app) || !app.render.presentParams.Windowed) return;
  MonitorViews& monitors = app.monitors;
  for (uint32_t i = 0; i < host.coverCount && monitors.count < kMaxMonitorViews; ++i) {
    MonitorView& view = monitors.views[monitors.count];
    const ScreenRect& r = host.coverRects[i];
    if (!host.coverWindows[i] || r.right <= r.left || r.bottom <= r.top) continue;
    view.window = host.coverWindows[i];
    view.width = static_cast<uint32_t>(r.right - r.left);
    view.height = static_cast<uint32_t>(r.bottom - r.top);
    ++monitors.count;  // counted first, so that a failure below is released
    if (!buildMonitorView(device, view, i)) {
      releaseMonitorViews();
      return;
    }
  }
  makeMonitorSurfaces(device);
  ++monitors.generation;
}

namespace {

// Releases the default pool, resets the device with `present` and makes it
// all again, the camera for the size the device now has.
bool resetScene(D3DPRESENT_PARAMETERS present) {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  releaseDefaultPool(device);
  followDesktopFormat(present);
  if (FAILED(device->Reset(&present))) return false;
  render.presentParams = present;
  makeMonitorSurfaces(device);
  // The next frame's update writes the whole new vertex buffer.
  if (!createFlagVertexBuffer(device)) {
    requestClose();
    return false;
  }
  createTextBuffer();
  setUpCamera(render.worldMatrix, render.viewMatrix, render.projectionMatrix,
              present.BackBufferWidth, present.BackBufferHeight);
  if (render.backgroundQuad) fillBackgroundQuad(render.backgroundQuad, saverWindowAspect());
  setDeviceStates(device);
  return true;
}

}  // namespace

bool restoreLostDevice() {
  if (!app.render.device) return false;
  // A copy: only a successful Reset's adjustments are the device's.
  return resetScene(app.render.presentParams);
}

bool resizeSaverView(uint32_t width, uint32_t height) {
  RenderState& render = app.render;
  if (!render.device || !render.presentParams.Windowed || width == 0 || height == 0) return false;
  if (render.presentParams.BackBufferWidth == width &&
      render.presentParams.BackBufferHeight == height)
    return true;
  D3DPRESENT_PARAMETERS present = render.presentParams;
  present.BackBufferWidth = width;
  present.BackBufferHeight = height;
  if (resetScene(present)) return true;
  // The old size then; a device that takes neither cannot go on.
  if (restoreLostDevice()) return false;
  requestClose();
  return false;
}
