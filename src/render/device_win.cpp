// The Direct3D 8 object and device, the background picture, and the
// display-mode listing of the settings dialog.
#include "render/device.h"

#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "config/picture.h"
#include "app/app_state.h"
#include "app/messages.h"
#include "render/display_modes.h"
#include "render/scene_math.h"
#include "resources/resource.h"

namespace {

// The display while the background loads, and the picture limits.
const UINT kLoadingWidth = 800, kLoadingHeight = 600;
const int32_t kBuiltInBackgroundLimit = 0;  // the built-in pictures keep their size
const uint32_t kFirstBackgroundId = IDP_BACKGROUND_FIRST;
const uint32_t kFirstLargeBackgroundId = IDP_LARGE_BACKGROUND_FIRST;
const uint32_t kBackgroundCount = 3;

// The adapter's modes as the last listing found them.
ModeCopy listedModes;

// The fields every saver device shares; width, height and format stay.
void setCommonPresentFields(D3DPRESENT_PARAMETERS& pp) {
  pp.MultiSampleType = D3DMULTISAMPLE_NONE;
  pp.SwapEffect = D3DSWAPEFFECT_FLIP;
  pp.hDeviceWindow = nullptr;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.Flags = 0;
  pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
}

DisplayMode adapterMode(IDirect3D8* d3d, UINT index) {
  D3DDISPLAYMODE mode;
  std::memset(&mode, 0, sizeof mode);
  if (FAILED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, index, &mode))) return DisplayMode{};
  return DisplayMode{mode.Width, mode.Height, mode.RefreshRate, (uint32_t)mode.Format};
}

uint32_t scanRefreshRate(IDirect3D8* d3d, const D3DPRESENT_PARAMETERS& pp) {
  uint32_t best = 0;
  for (UINT i = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT); i > 0; --i)
    if (!refreshScanStep(best, adapterMode(d3d, i - 1), pp.BackBufferWidth, pp.BackBufferHeight,
                         (uint32_t)pp.BackBufferFormat))
      break;
  return best;
}

void prepareWindowed(IDirect3D8* d3d, HWND window, D3DPRESENT_PARAMETERS& pp) {
  std::memset(&pp, 0, sizeof pp);
  D3DDISPLAYMODE desktop;
  std::memset(&desktop, 0, sizeof desktop);
  d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop);
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  pp.Windowed = TRUE;
  pp.BackBufferFormat = desktop.Format;
  pp.BackBufferWidth = (UINT)(client.right - client.left);
  pp.BackBufferHeight = (UINT)(client.bottom - client.top);
  pp.EnableAutoDepthStencil = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_FLIP;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
}

// Full screen in width × height × format, at the rate the scan chooses for
// exactly that mode.
void prepareFullScreen(IDirect3D8* d3d, UINT width, UINT height, D3DFORMAT format,
                       D3DPRESENT_PARAMETERS& pp) {
  std::memset(&pp, 0, sizeof pp);
  setCommonPresentFields(pp);
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = format;
  pp.BackBufferCount = 2;
  pp.Windowed = FALSE;
  pp.FullScreen_RefreshRateInHz = scanRefreshRate(d3d, pp);
}

// The same rule at the first creation and at every re-creation: the preview
// always processes vertices in software.
DWORD vertexProcessing(BOOL windowed) {
  return !windowed && app.settings.useTnL ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                          : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
}

bool offersSamples(IDirect3D8* d3d, D3DFORMAT format, BOOL windowed, D3DMULTISAMPLE_TYPE type) {
  return SUCCEEDED(d3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format,
                                                   windowed, type)) &&
         SUCCEEDED(d3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_D16,
                                                   windowed, type));
}

// Smooth edges: 4 samples, else the most the adapter offers up to 8, for the
// back buffer and its depth buffer alike; none in the preview, whose
// thumbnail gains nothing from them.
D3DMULTISAMPLE_TYPE chooseMultiSample(IDirect3D8* d3d, const D3DPRESENT_PARAMETERS& pp) {
  static const D3DMULTISAMPLE_TYPE kTried[] = {
      D3DMULTISAMPLE_4_SAMPLES, D3DMULTISAMPLE_8_SAMPLES, D3DMULTISAMPLE_7_SAMPLES,
      D3DMULTISAMPLE_6_SAMPLES, D3DMULTISAMPLE_5_SAMPLES, D3DMULTISAMPLE_3_SAMPLES,
      D3DMULTISAMPLE_2_SAMPLES};
  if (app.host.isPreview || app.render.screenMode == ScreenMode::Windowed) return D3DMULTISAMPLE_NONE;
  // On battery, or once the frames could not pay for them: none.
  const PowerState& power = app.host.power;
  if (app.render.extrasDropped || power.onBattery || power.batterySaver) return D3DMULTISAMPLE_NONE;
  for (D3DMULTISAMPLE_TYPE type : kTried)
    if (offersSamples(d3d, pp.BackBufferFormat, pp.Windowed, type)) return type;
  return D3DMULTISAMPLE_NONE;
}

// Direct3D 8 takes a multisampled back buffer only with the discarding swap
// effect; every frame is drawn whole, so nothing is lost by it.
void useMultiSample(D3DPRESENT_PARAMETERS& pp, D3DMULTISAMPLE_TYPE type) {
  pp.MultiSampleType = type;
  pp.SwapEffect = type == D3DMULTISAMPLE_NONE ? D3DSWAPEFFECT_FLIP : D3DSWAPEFFECT_DISCARD;
}

bool createWith(HWND window, D3DPRESENT_PARAMETERS& pp) {
  RenderState& render = app.render;
  if (SUCCEEDED(render.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                              vertexProcessing(pp.Windowed), &pp,
                                              &render.device)) &&
      render.device)
    return true;
  render.device = nullptr;
  return false;
}

// Direct3D may adjust pp (the back-buffer count); the adjusted values are the
// ones the device runs with. Multisampling the device refuses (out of video
// memory) gives way to none, in the same mode.
bool tryCreateDevice(HWND window, D3DPRESENT_PARAMETERS& pp) {
  if (createWith(window, pp)) return true;
  if (pp.MultiSampleType == D3DMULTISAMPLE_NONE) return false;
  useMultiSample(pp, D3DMULTISAMPLE_NONE);
  return createWith(window, pp);
}

void copyAdapterModes(IDirect3D8* d3d, ModeCopy& copy) {
  clearModeCopy(copy);
  for (UINT i = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT); i > 0; --i) {
    DisplayMode mode = adapterMode(d3d, i - 1);
    if (mode.format != 0) addModeToCopy(copy, mode.width, mode.height, mode.format);
  }
}

// Fatal for the saver: the window procedure posts the quit message on WM_DESTROY.
void endForLackOf(HWND window, const char* text) {
  showMessage(window, text, kErrorCaption, MB_OK);
  SendMessageA(window, WM_DESTROY, 0, 0);
}

// A message box runs a message loop of its own: the system may have ended
// the saver meanwhile (WM_CLOSE), which released the Direct3D object.
bool endedDuringMessage() {
  return app.host.windowClosed || !app.render.direct3d;
}

BOOL CALLBACK widenToMonitor(HMONITOR, HDC, LPRECT area, LPARAM data) {
  uint32_t& widest = *reinterpret_cast<uint32_t*>(data);
  if (area && area->right - area->left > LONG(widest)) widest = uint32_t(area->right - area->left);
  return TRUE;
}

// The widest view the one background will fill: the full-screen mode's, the
// preview's window, or in Desktop mode the widest monitor's.
uint32_t widestView(HWND window) {
  if (app.render.screenMode == ScreenMode::Exclusive) return app.settings.screenX;
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  uint32_t widest = client.right > client.left ? uint32_t(client.right - client.left) : 0;
  if (app.render.screenMode == ScreenMode::Desktop)
    EnumDisplayMonitors(nullptr, nullptr, widenToMonitor, reinterpret_cast<LPARAM>(&widest));
  return widest;
}

}  // namespace

void loadBackground(HWND__* window) {
  RenderState& render = app.render;
  if (app.render.screenMode == ScreenMode::Exclusive) {
    // The display switches to 800 × 600 while the picture decodes; Desktop
    // mode and the preview change no display mode at all.
    D3DPRESENT_PARAMETERS loading;
    std::memset(&loading, 0, sizeof loading);
    setCommonPresentFields(loading);
    loading.BackBufferWidth = kLoadingWidth;
    loading.BackBufferHeight = kLoadingHeight;
    loading.BackBufferFormat = D3DFMT_X8R8G8B8;
    loading.BackBufferCount = 2;
    loading.Windowed = FALSE;
    render.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &loading, &render.device);
  }
  if (render.backgroundPicture) {
    DeleteObject(render.backgroundPicture);
    render.backgroundPicture = nullptr;
  }
  int32_t limit = backgroundLimit(widestView(window));
  if (app.settings.backgroundPath[0]) {
    render.backgroundPicture = loadPictureFile(app.settings.backgroundPath, limit);
    if (!render.backgroundPicture)
      showMessage(window, kNoBackgroundText, kErrorCaption, MB_ICONHAND);
  }
  if (!render.backgroundPicture) {
    uint32_t scene = (uint32_t)randomInt(app.sim.random, 1000) % kBackgroundCount;
    if (limit > kSmallBackgroundLimit)
      render.backgroundPicture =
          loadPictureResource(app.host.instance, kFirstLargeBackgroundId + scene, kBuiltInBackgroundLimit);
    if (!render.backgroundPicture)
      render.backgroundPicture =
          loadPictureResource(app.host.instance, kFirstBackgroundId + scene, kBuiltInBackgroundLimit);
  }
  if (render.device) {
    render.device->Release();
    render.device = nullptr;
  }
}

DeviceOutcome createDevice(HWND__* window, uint32_t windowed) {
  RenderState& render = app.render;
  if (render.device) {  // never leak a device left by an earlier start
    render.device->Release();
    render.device = nullptr;
  }
  // The object the screen-mode choice made serves the device too: each new
  // one costs Wine a GL context and its probes, a fifth of a second.
  if (!render.direct3d) render.direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (!render.direct3d) {
    endForLackOf(window, kNoDirect3dText);
    return DeviceFailed;
  }
  // A full-screen device (the loading one too) may resize the window to its
  // mode, also when it fails; a windowed fallback takes the window as it was.
  RECT before = {0, 0, 0, 0};
  GetWindowRect(window, &before);
  loadBackground(window);
  if (endedDuringMessage()) return DeviceEnded;

  D3DPRESENT_PARAMETERS& pp = render.presentParams;
  const Settings& settings = app.settings;
  if (!windowed) {
    prepareFullScreen(render.direct3d, settings.screenX, settings.screenY,
                      (D3DFORMAT)settings.pixelFormat, pp);
    useMultiSample(pp, chooseMultiSample(render.direct3d, pp));
    if (tryCreateDevice(window, pp)) return DeviceMade;
    // Many adapters offer 16 bits only as 5-6-5; the rate stays as scanned.
    pp.BackBufferFormat = D3DFMT_R5G6B5;
    useMultiSample(pp, chooseMultiSample(render.direct3d, pp));
    if (tryCreateDevice(window, pp)) return DeviceMade;
    SetWindowPos(window, nullptr, before.left, before.top, before.right - before.left,
                 before.bottom - before.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  prepareWindowed(render.direct3d, window, pp);
  useMultiSample(pp, chooseMultiSample(render.direct3d, pp));
  if (tryCreateDevice(window, pp)) return windowed ? DeviceMade : DeviceMadeWindowed;
  endForLackOf(window, kNoDeviceText);
  if (endedDuringMessage()) return DeviceEnded;
  PostQuitMessage(0);
  return DeviceFailed;
}

ScreenMode chooseScreenMode(bool preview) {
  if (preview) return ScreenMode::Windowed;
  const Settings& s = app.settings;
  if (choosesDesktopMode(s)) return ScreenMode::Desktop;
  // Kept for the device. Without one, device creation tells the user.
  RenderState& render = app.render;
  if (render.direct3d) render.direct3d->Release();
  render.direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (!render.direct3d) return ScreenMode::Exclusive;
  copyAdapterModes(render.direct3d, listedModes);
  return storedModeOffered(listedModes, s.screenX, s.screenY, s.pixelFormat) ? ScreenMode::Exclusive
                                                                           : ScreenMode::Desktop;
}

bool recreateDevice(HWND__* window) {
  RenderState& render = app.render;
  if (render.device) {
    render.device->Release();
    render.device = nullptr;
  }
  // The mode the device had, not the settings: they may name a mode that
  // only the fallbacks could replace.
  if (render.direct3d && tryCreateDevice(window, render.presentParams)) return true;
  showMessage(window, kNoDeviceText, kErrorCaption, MB_OK);
  return false;
}

uint32_t deviceRefreshRate() {
  RenderState& render = app.render;
  if (!render.device || !render.direct3d) return 0;
  if (!render.presentParams.Windowed && render.presentParams.FullScreen_RefreshRateInHz)
    return render.presentParams.FullScreen_RefreshRateInHz;
  D3DDISPLAYMODE mode;
  std::memset(&mode, 0, sizeof mode);
  if (FAILED(render.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return 0;
  return mode.RefreshRate;
}

namespace {

void checkFullScreenFormats(IDirect3D8* d3d) {
  RenderState& render = app.render;
  // Tested in this order so that 5-6-5 wins over 5-5-5 when both work.
  static const D3DFORMAT kTested16[] = {D3DFMT_X1R5G5B5, D3DFMT_R5G6B5};
  for (D3DFORMAT format : kTested16)
    if (SUCCEEDED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, format, FALSE)))
      render.mode16Format = (uint32_t)format;
  if (SUCCEEDED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                     D3DFMT_X8R8G8B8, FALSE)))
    render.mode32Format = (uint32_t)D3DFMT_X8R8G8B8;
}

}  // namespace

uint32_t listDisplayModes(ModeList& entries) {
  RenderState& render = app.render;
  entries.count = 0;
  entries.selected = -1;
  // A Direct3D object of its own: the saver's slot is not the dialog's.
  IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (!d3d) return 0;

  D3DCAPS8 caps;
  std::memset(&caps, 0, sizeof caps);
  if (SUCCEEDED(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)) &&
      (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
    render.tnlAvailable = 1;
  checkFullScreenFormats(d3d);
  copyAdapterModes(d3d, listedModes);
  d3d->Release();
  // Without a full-screen format the list is empty: Desktop mode needs none.
  const Settings& s = app.settings;
  buildModeList(entries, listedModes, render.mode16Format, render.mode32Format, s.screenX,
                s.screenY, s.bpp);
  return 1;
}
