#include "render/flag_change.h"

#include <windows.h>
#include <d3d8.h>

#include "app/app_state.h"
#include "config/flag_catalogue.h"
#include "config/flag_tour.h"
#include "render/texture.h"

double renderSeconds() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

namespace {

bool sharesMainFlag(uint32_t index) {
  return index > 0 && choosesSameFlag(app.settings);
}

void endFade(MonitorView& view) {
  if (!view.incomingTexture) return;
  if (view.flagTexture) view.flagTexture->Release();
  view.flagTexture = view.incomingTexture;
  view.incomingTexture = nullptr;
}

// The next flag starts fading in; a change during a fade ends that one first.
void beginFade(MonitorView& view, const MipChain& picture, const char* name, bool first) {
  endFade(view);
  IDirect3DTexture8* texture = nullptr;
  if (textureFromMipChain(app.render.device, picture, D3DFMT_X8R8G8B8, &texture) != TextureOk ||
      !texture) {
    if (texture) texture->Release();
    return;  // the flag shown stays until the next change
  }
  view.incomingTexture = texture;
  view.fadeStartSeconds = renderSeconds();
  if (first) {
    copyText(view.fadingName, sizeof view.fadingName, app.settings.selectFlag);
    copyText(app.settings.selectFlag, kNameCapacity, name);
  }
}

}  // namespace

// The next flag's picture, decoded and its mip levels made apart from the
// frames: that takes several frames' time (more for a large display's
// picture), and the cloth must not stop for it.
struct FlagDecode {
  HANDLE thread;
  char name[kNameCapacity];
  int32_t limit;    // the view's flag picture size limit
  MipChain chain;   // empty when it does not decode
};

namespace {

DWORD WINAPI decodeFlag(void* data) {
  FlagDecode& decode = *static_cast<FlagDecode*>(data);
  Picture picture = loadFolderFlag(decode.name, decode.limit);
  if (picture) {
    mipChainFromBitmap(picture, decode.chain);
    DeleteObject(picture);
  }
  return 0;
}

void freeDecode(MonitorView& view) {
  if (!view.decode) return;
  if (view.decode->thread) {
    WaitForSingleObject(view.decode->thread, INFINITE);
    CloseHandle(view.decode->thread);
  }
  freeMipChain(view.decode->chain);
  HeapFree(static_cast<HANDLE>(app.host.heap), 0, view.decode);
  view.decode = nullptr;
}

void startChange(MonitorView& view) {
  char name[kNameCapacity];
  // One candidate, or none left: the flag stays, with no fade to itself.
  if (!view.tour || view.decode || !nextFolderFlag(*view.tour, name)) return;
  view.decode = static_cast<FlagDecode*>(
      HeapAlloc(static_cast<HANDLE>(app.host.heap), HEAP_ZERO_MEMORY, sizeof(FlagDecode)));
  if (!view.decode) return;
  copyText(view.decode->name, sizeof view.decode->name, name);
  view.decode->limit = view.flagTextureSide;
  view.decode->thread = CreateThread(nullptr, 0, decodeFlag, view.decode, 0, nullptr);
  if (!view.decode->thread) decodeFlag(view.decode);  // then here, at once
}

// A decoded picture fades in; one that did not decode is passed over, and
// the flag shown stays until the next change.
void finishChange(uint32_t index) {
  MonitorView& view = app.views.views[index];
  FlagDecode* decode = view.decode;
  if (!decode || (decode->thread && WaitForSingleObject(decode->thread, 0) != WAIT_OBJECT_0)) return;
  if (decode->chain.levels > 0) {
    beginFade(view, decode->chain, decode->name, index == 0);
    if (index == 0)
      for (uint32_t i = 1; i < app.views.count; ++i)
        if (sharesMainFlag(i)) beginFade(app.views.views[i], decode->chain, decode->name, false);
  }
  freeDecode(view);
}

}  // namespace

bool makeViewTour(MonitorView& view, uint32_t index) {
  if (!toursTheFolder(app.settings) || sharesMainFlag(index) || !app.host.heap) return true;
  view.tour = static_cast<FlagTour*>(
      HeapAlloc(static_cast<HANDLE>(app.host.heap), HEAP_ZERO_MEMORY, sizeof(FlagTour)));
  return view.tour != nullptr;
}

void scheduleFlagChanges(MonitorView& view, uint32_t index) {
  uint32_t minutes = changeIntervalMinutes(app.settings);
  view.nextChangeSeconds = 0;
  if (!view.tour || minutes == 0) return;
  double stagger = inDesktopMode(app) ? kMonitorChangeStagger * index : 0.0;
  view.nextChangeSeconds = renderSeconds() + 60.0 * minutes + stagger;
}

void releaseFlagChange(MonitorView& view) {
  freeDecode(view);
  if (view.incomingTexture) {
    view.incomingTexture->Release();
    view.incomingTexture = nullptr;
  }
  if (view.tour && app.host.heap) HeapFree(static_cast<HANDLE>(app.host.heap), 0, view.tour);
  view.tour = nullptr;
}

void advanceFlagChange(uint32_t index) {
  if (index >= app.views.count || !app.render.device) return;
  MonitorView& view = app.views.views[index];
  double now = renderSeconds();
  if (view.incomingTexture && now - view.fadeStartSeconds >= kCrossFadeSeconds) endFade(view);
  finishChange(index);
  if (view.nextChangeSeconds <= 0 || now < view.nextChangeSeconds) return;
  view.nextChangeSeconds = now + 60.0 * changeIntervalMinutes(app.settings);
  startChange(view);
}

float crossFadeAmount(const MonitorView& view) {
  if (!view.incomingTexture) return 0.0f;
  double amount = (renderSeconds() - view.fadeStartSeconds) / kCrossFadeSeconds;
  return amount <= 0 ? 0.0f : amount >= 1 ? 1.0f : static_cast<float>(amount);
}

float softStartShade() {
  if (app.host.isPreview || app.render.softStartSeconds <= 0) return 0.0f;
  double shade = 1.0 - (renderSeconds() - app.render.softStartSeconds) / kSoftStartSeconds;
  return shade <= 0 ? 0.0f : shade >= 1 ? 1.0f : static_cast<float>(shade);
}
