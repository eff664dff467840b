#include "render/scene.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "app/app_state.h"
#include "config/flag_catalogue.h"
#include "render/device.h"
#include "render/flag_change.h"
#include "render/frame.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "render/texture.h"
#include "sim/simulation.h"

static_assert(sizeof(SceneMaterial) == sizeof(D3DMATERIAL8), "SceneMaterial mirrors D3DMATERIAL8");
static_assert(sizeof(Matrix4x4) == sizeof(D3DMATRIX), "Matrix4x4 is what SetTransform takes");

namespace {

// The most anisotropy asked for; the device's own limit may be lower.
constexpr uint32_t kMaxAnisotropy = 8;

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

// The cloth arrays belong to the scene; releaseScene frees them.
bool allocateClothArrays(ClothGrid& cloth) {
  cloth.current = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.previous = static_cast<FlagVertex*>(heapBlock(kClothVertexBytes));
  cloth.particles = static_cast<ClothParticle*>(heapBlock(kClothParticleBytes));
  return cloth.current && cloth.previous && cloth.particles;
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

// Only the states that differ from Direct3D's defaults: lighting stays on with
// no light, so every vertex is the white ambient; stage 1 multiplies by the
// light-spot texel that the shading coordinates pick. Set once by the scene
// Multisampling, anisotropic and trilinear filtering: given up for the run
// where the frames cannot pay for them, and never taken on battery or in
// the preview, which may cost no more than they always did.
bool extrasWanted() {
  const PowerState& power = app.host.power;
  return !app.render.extrasDropped && !app.host.isPreview && !power.onBattery && !power.batterySaver;
}

// Every texture has its mip chain: trilinear, and anisotropic where the
// device offers it, so that the folds that turn the flag away from the eye
// do not sparkle. Without the extras, filtered as before: a software
// renderer pays for choosing among the levels at every pixel.
// The light spot is stretched over the same folds.
void setTextureFilters(IDirect3DDevice8* device) {
  const RenderState& render = app.render;
  DWORD mip = extrasWanted() ? D3DTEXF_LINEAR : D3DTEXF_NONE;
  for (DWORD stage = 0; stage < 2; ++stage) {
    device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(stage, D3DTSS_MIPFILTER, mip);
    if (render.maxAnisotropy > 1) {
      device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_ANISOTROPIC);
      device->SetTextureStageState(stage, D3DTSS_MAXANISOTROPY, render.maxAnisotropy);
    } else {
      device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    }
  }
}

// The device's limits the textures and filters follow.
void readDeviceLimits(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  D3DCAPS8 caps;
  std::memset(&caps, 0, sizeof caps);
  if (FAILED(device->GetDeviceCaps(&caps))) std::memset(&caps, 0, sizeof caps);
  render.maxTextureWidth = caps.MaxTextureWidth;
  render.maxTextureHeight = caps.MaxTextureHeight;
  render.maxAnisotropy = 0;
  if (extrasWanted() && caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC)
    render.maxAnisotropy = caps.MaxAnisotropy < kMaxAnisotropy ? caps.MaxAnisotropy : kMaxAnisotropy;
}

// and again after every device reset, which returns them all to the defaults.
void setDeviceStates(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetTransform(D3DTS_WORLD, reinterpret_cast<D3DMATRIX*>(&render.worldMatrix));
  device->SetTransform(D3DTS_VIEW, reinterpret_cast<D3DMATRIX*>(&render.viewMatrix));
  device->SetTransform(D3DTS_PROJECTION,
                       reinterpret_cast<D3DMATRIX*>(&app.views.views[0].projectionMatrix));
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
  device->SetVertexShader(kFlagVertexFormat);
  device->SetStreamSource(0, render.flagVertexBuffer, kFlagVertexStride);
  device->SetIndices(render.flagIndexBuffer, 0);
  setTextureFilters(device);
  device->SetTexture(1, render.lightSpotTexture);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTexture(0, app.views.views[0].flagTexture);
  device->SetMaterial(reinterpret_cast<D3DMATERIAL8*>(&render.sceneMaterial));
}

// Reset fails while a default-pool resource lives, and a bound stream
// source keeps its buffer alive: unbound first.
void releaseDefaultPool(IDirect3DDevice8* device) {
  RenderState& render = app.render;
  device->SetStreamSource(0, nullptr, 0);
  releaseViewSurfaces();
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


// The rectangle as the picture fits it; in Desktop mode also fitted to the
// monitor, whose aspect may be any. The exclusive modes keep the rectangle.
void fillBackgroundQuad(IDirect3DVertexBuffer8* quad, float aspect) {
  BackgroundVertex corners[6];
  std::memcpy(corners, app.render.backgroundCorners, sizeof corners);
  if (inDesktopMode(app)) fitBackgroundToView(corners, aspect);
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

// In Desktop mode every view has a depth buffer of its own at its size, the
// first (which draws into the device's own back buffer) like the others,
// which also have a swap chain each; outside Desktop mode the one view
// draws with the device's own surfaces and holds none.
bool makeViewSurfaces(IDirect3DDevice8* device, MonitorView& view, bool first) {
  if (!inDesktopMode(app)) return true;
  if (!first && !view.swapChain) {
    D3DPRESENT_PARAMETERS present;
    std::memset(&present, 0, sizeof present);
    present.BackBufferWidth = view.width;
    present.BackBufferHeight = view.height;
    present.BackBufferFormat = app.render.presentParams.BackBufferFormat;
    present.hDeviceWindow = view.window;
    present.Windowed = TRUE;
    view.swapChain = nullptr;
    // The device's samples, else none (Direct3D 8 multisamples only with
    // the discarding swap effect); the depth buffer follows the chain.
    const D3DMULTISAMPLE_TYPE tried[] = {app.render.presentParams.MultiSampleType, D3DMULTISAMPLE_NONE};
    for (D3DMULTISAMPLE_TYPE samples : tried) {
      present.MultiSampleType = samples;
      present.SwapEffect = samples == D3DMULTISAMPLE_NONE ? D3DSWAPEFFECT_FLIP : D3DSWAPEFFECT_DISCARD;
      if (SUCCEEDED(device->CreateAdditionalSwapChain(&present, &view.swapChain)) && view.swapChain) break;
      view.swapChain = nullptr;
      if (samples == D3DMULTISAMPLE_NONE) break;
    }
    if (view.swapChain) view.multiSample = present.MultiSampleType;
  }
  if (first) view.multiSample = app.render.presentParams.MultiSampleType;
  if (!view.depthSurface &&
      FAILED(device->CreateDepthStencilSurface(view.width, view.height, D3DFMT_D16,
                                               D3DMULTISAMPLE_TYPE(view.multiSample),
                                               &view.depthSurface)))
    view.depthSurface = nullptr;
  return (first || view.swapChain) && view.depthSurface;
}

// Each other monitor has its own generator, seeded apart from the saver
// window's, so that its flag and wind are its own and the saver window's
// sequence stays as it was.
void seedView(MonitorView& view, uint32_t index) {
  uint32_t ticks = GetTickCount();
  seedRandom(view.sim->random, (ticks + 7919u * index) % 31329u,
             (ticks / 31329u + 97u * index) % 30082u);
}

// The view's flag: its own random pick (its tour's start where the flags
// change on their own), the main monitor's where every monitor shows the
// same, or the chosen flag; the first view's name is the settings' own
// (selectFlag names the flag shown). False when not even the built-in
// picture could be had (the choice told the user).
bool makeViewFlag(IDirect3DDevice8* device, MonitorView& view, bool first) {
  char name[kNameCapacity];
  copyText(name, sizeof name, app.settings.selectFlag);
  char* target = first ? app.settings.selectFlag : name;
  Picture picture = nullptr;
  if (!first && choosesSameFlag(app.settings) && app.settings.randomFlag == 1 &&
      app.settings.useFlagLogo != 1)
    picture = loadFolderFlag(app.settings.selectFlag, view.flagTextureSide);
  if (!picture && chooseFlagPictureInto(&picture, view.sim->random, target, view.tour,
                                        view.flagTextureSide) != 0)
    return false;
  textureFromBitmap(device, picture, D3DFMT_X8R8G8B8, &view.flagTexture);
  DeleteObject(picture);
  return view.flagTexture != nullptr;
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

// The camera, flag, background fit, cloth and timer of one view. The first
// view's simulation lives for the process and its failures end the saver;
// any other view's is its own, and without its flag it draws nothing.
// `indices`, when given, receives the cloth's triangle list.
bool buildView(IDirect3DDevice8* device, MonitorView& view, uint32_t index, uint16_t* indices) {
  bool first = index == 0;
  // The camera's world and eye are every view's; its aspect gives the
  // view's own projection.
  setUpCamera(app.render.worldMatrix, app.render.viewMatrix, view.projectionMatrix, view.width,
              view.height);
  if (!first) {
    view.sim = &view.ownSim;
    view.refreshRate = monitorRefreshRate(view.window);
    configureSimulation(*view.sim, app.settings.windPower, false);
    seedView(view, index);
  }
  view.flagTextureSide = int32_t(
      flagTextureSide(view.height, app.render.maxTextureWidth, app.render.maxTextureHeight));
  makeViewTour(view, index);  // without its block the view keeps one flag
  if (!makeViewFlag(device, view, first) && first) return false;
  if (app.host.windowClosed) return false;  // ended while the flag's message was up
  if (!allocateClothArrays(view.sim->cloth)) return false;
  view.sim->cloth.indices = indices;
  setUpCloth(view.sim->cloth, view.sim->wind.windVector);
  view.sim->cloth.indices = nullptr;  // the index buffer holds them
  if (app.render.backgroundTexture)
    makeBackgroundQuad(device, cameraAspect(view.width, view.height), &view.backgroundQuad);
  startTimer(view.sim->timer);
  scheduleFlagChanges(view, index);
  return true;
}

// The first view: the saver window (or the preview) at the size the device
// really got, with the process's simulation.
bool buildSaverWindowView(IDirect3DDevice8* device, uint16_t* indices) {
  MonitorViews& views = app.views;
  const D3DPRESENT_PARAMETERS& present = app.render.presentParams;
  MonitorView& view = views.views[0];
  view = MonitorView{};
  view.window = app.host.mainWindow;
  view.width = present.BackBufferWidth;
  view.height = present.BackBufferHeight;
  view.refreshRate = deviceRefreshRate();
  view.sim = &app.sim;
  views.count = 1;  // counted first, so that a failure below is released
  ++views.generation;
  if (!buildView(device, view, 0, indices)) return false;
  makeViewSurfaces(device, view, true);
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
  TextureResult result = textureFromBitmap(device, render.backgroundPicture, D3DFMT_X8R8G8B8,
                                           &render.backgroundTexture);
  // The background is optional: without its texture the flag shows over black.
  if (result != TextureOk || !render.backgroundTexture) {
    if (render.backgroundTexture) render.backgroundTexture->Release();
    render.backgroundTexture = nullptr;
    if (result == TextureOk) result = TextureCreateFailed;
  }
  return result;
}

void buildScene() {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  if (!device) return;
  render.resetPending = 0;
  readDeviceLimits(device);
  uint16_t* indices = static_cast<uint16_t*>(heapBlock(kClothIndexBytes));
  bool built = makeLightSpotTexture(device);
  if (built) buildBackground();  // optional: without it the flag shows over black
  built = built && indices && createFlagBuffers(device) && buildSaverWindowView(device, indices);
  if (!built) {
    // Nothing half made stays for the frames that run until the close.
    freeHeapBlock(indices);
    releaseScene();
    if (!app.host.windowClosed) requestClose();
    return;
  }
  // The thumbnail's flag is drawn over every second row and column: the
  // software renderers of today spend most of the preview's time on
  // triangles a few pixels wide.
  if (app.host.isPreview) listClothTrianglesEvery(indices, kPreviewClothStep);
  fillIndexBuffer(render.flagIndexBuffer, indices, kClothIndexBytes);
  freeHeapBlock(indices);
  fillVertexBuffer(render.flagVertexBuffer, app.sim.cloth.current, kClothVertexBytes,
                   D3DLOCK_DISCARD);
  render.sceneMaterial = kSceneMaterial;
  setDeviceStates(device);
  // The texts are an extra: without the font texture or the text buffer the
  // flag still waves and the overlay draws nothing.
  createFontTexture(kOverlayColour, &render.overlay.fontTexture);
  createLargeFontTexture(kOverlayColour);
  if (render.softStartSeconds <= 0) render.softStartSeconds = renderSeconds();
}

void buildMonitorViews(HWND__* const* windows, const ScreenRect* rects, uint32_t count) {
  releaseMonitorViews();
  IDirect3DDevice8* device = app.render.device;
  MonitorViews& views = app.views;
  if (!device || !inDesktopMode(app) || views.count != 1) return;
  for (uint32_t i = 0; i < count && views.count < kMaxMonitorViews; ++i) {
    const ScreenRect& r = rects[i];
    if (!windows[i] || r.right <= r.left || r.bottom <= r.top) continue;
    MonitorView& view = views.views[views.count];
    view = MonitorView{};
    view.window = windows[i];
    view.width = static_cast<uint32_t>(r.right - r.left);
    view.height = static_cast<uint32_t>(r.bottom - r.top);
    uint32_t index = views.count++;  // counted first, so that a failure below is released
    if (!buildView(device, view, index, nullptr)) {
      releaseMonitorViews();
      return;
    }
    // A monitor whose surfaces cannot be had yet stays black; the frame
    // tries again.
    makeViewSurfaces(device, view, false);
  }
  ++views.generation;
  createLargeFontTexture(kOverlayColour);  // a tall monitor beside a small saver window
}

void remakeViewSurfaces() {
  IDirect3DDevice8* device = app.render.device;
  if (!device) return;
  MonitorViews& views = app.views;
  for (uint32_t i = 0; i < views.count; ++i) makeViewSurfaces(device, views.views[i], i == 0);
}

// Refused Resets at new parameters before the last that worked are taken.
constexpr uint32_t kRefusalsBeforeFallback = 5;

bool remakeFlagVertexBuffer() {
  IDirect3DDevice8* device = app.render.device;
  if (!device) return false;
  if (!app.render.flagVertexBuffer && createFlagVertexBuffer(device)) setDeviceStates(device);
  createTextBuffer();
  return app.render.flagVertexBuffer != nullptr;
}

namespace {

// Releases the default pool, resets the device with `present` and makes it
// all again, each view's camera for the size it now has. A failure leaves
// the Reset pending with these parameters: the frame tries again at its
// pace, and nothing ends.
bool resetScene(D3DPRESENT_PARAMETERS present) {
  RenderState& render = app.render;
  IDirect3DDevice8* device = render.device;
  releaseDefaultPool(device);
  followDesktopFormat(present);
  if (render.extrasDropped) {
    present.MultiSampleType = D3DMULTISAMPLE_NONE;
    present.SwapEffect = D3DSWAPEFFECT_FLIP;
  }
  render.pendingParams = present;
  render.resetPending = 1;
  if (FAILED(device->Reset(&present))) {
    ++render.refusedResets;
    return false;
  }
  render.resetPending = 0;
  render.refusedResets = 0;
  render.presentParams = present;
  MonitorViews& views = app.views;
  if (views.count > 0) {
    MonitorView& first = views.views[0];
    first.width = present.BackBufferWidth;
    first.height = present.BackBufferHeight;
    setUpCamera(render.worldMatrix, render.viewMatrix, first.projectionMatrix, first.width,
                first.height);
    if (first.backgroundQuad)
      fillBackgroundQuad(first.backgroundQuad, cameraAspect(first.width, first.height));
  }
  remakeViewSurfaces();
  // The next frame's update writes the whole new vertex buffer; one that
  // cannot be made now is tried again by the frame.
  createFlagVertexBuffer(device);
  createTextBuffer();
  setDeviceStates(device);
  return true;
}

}  // namespace

bool restoreLostDevice() {
  RenderState& render = app.render;
  if (!render.device) return false;
  // A copy: only a successful Reset's adjustments are the device's. New
  // parameters the device keeps refusing (a size a display change asked for)
  // give way to the last that worked, so that the monitors move again; the
  // window shows that back buffer stretched until the next display change.
  bool giveWay = render.refusedResets >= kRefusalsBeforeFallback;
  return resetScene(render.resetPending && !giveWay ? render.pendingParams : render.presentParams);
}

void dropRenderExtras() {
  RenderState& render = app.render;
  if (render.extrasDropped) return;
  render.extrasDropped = 1;
  render.maxAnisotropy = 0;
  if (!render.device) return;
  setTextureFilters(render.device);
  if (render.presentParams.MultiSampleType == D3DMULTISAMPLE_NONE) return;
  // Refused now: pending, as any Reset, and the frame tries again.
  D3DPRESENT_PARAMETERS present = render.resetPending ? render.pendingParams : render.presentParams;
  render.refusedResets = 0;
  resetScene(present);
}

bool resizeSaverView(uint32_t width, uint32_t height) {
  RenderState& render = app.render;
  if (!render.device || !render.presentParams.Windowed || width == 0 || height == 0) return false;
  const D3DPRESENT_PARAMETERS& current = render.resetPending ? render.pendingParams : render.presentParams;
  if (current.BackBufferWidth == width && current.BackBufferHeight == height && !render.resetPending)
    return true;
  D3DPRESENT_PARAMETERS present = current;
  present.BackBufferWidth = width;
  present.BackBufferHeight = height;
  render.refusedResets = 0;  // new parameters get their own tries
  // Refused now (the display still changing): the frame tries again.
  return resetScene(present);
}
