// Shows the saver's scene in a window of its own for a given time, without
// the registry or the saver window: the settings come from the command line.
// The end-to-end tests start it and take screenshots; it also serves to look
// at the flag by hand.
//
//   scene_viewer [--seconds N] [--windowed] [--size WxH] [--directory DIR]
//                [--select NAME] [--random] [--flag PATH] [--background PATH]
//                [--background-size WxH] [--no-background] [--overlay]
//                [--wind N]
//
// Full screen (the default) runs like the saver; --windowed draws into the
// window like the preview. Prints "scene ready ..." once the scene is built
// and "frames N" at the end.
#include <windows.h>
#include <d3d8.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/messages.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"
#include "sim/random.h"

namespace {

const char kViewerClass[] = "FlagsSceneViewer";

struct ViewerOptions {
  double seconds = 5.0;
  bool windowed = false;
  int width = 800, height = 600;
  bool noBackground = false;
};

// Message boxes would block a test that nobody watches.
int printMessage(HWND__*, const char* text, const char* caption, uint32_t) {
  std::printf("message: %s: %s\n", caption, text);
  std::fflush(stdout);
  return IDOK;
}

bool parseSize(const char* text, int& width, int& height) {
  return std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0;
}

void absolutePath(char* field, uint32_t capacity, const char* path) {
  char full[kPathCapacity];
  DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  copyText(field, capacity, length > 0 && length < sizeof full ? full : path);
}

bool readOptions(int argc, char** argv, ViewerOptions& options) {
  Settings& s = app.settings;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!std::strcmp(arg, "--windowed")) {
      options.windowed = true;
    } else if (!std::strcmp(arg, "--no-background")) {
      options.noBackground = true;
    } else if (!std::strcmp(arg, "--overlay")) {
      s.showFps = s.showTime = s.showCountry = 1;
    } else if (!std::strcmp(arg, "--random")) {
      s.randomFlag = 1;
    } else if (!value) {
      std::fprintf(stderr, "scene_viewer: %s needs a value\n", arg);
      return false;
    } else if (!std::strcmp(arg, "--seconds")) {
      options.seconds = std::atof(argv[++i]);
    } else if (!std::strcmp(arg, "--size")) {
      if (!parseSize(argv[++i], options.width, options.height)) return false;
    } else if (!std::strcmp(arg, "--directory")) {
      copyText(s.directory, kPathCapacity, argv[++i]);
      SetCurrentDirectoryA(s.directory);
    } else if (!std::strcmp(arg, "--select")) {
      s.randomFlag = 0;
      copyText(s.selectFlag, kNameCapacity, argv[++i]);
    } else if (!std::strcmp(arg, "--flag")) {
      s.useFlagLogo = 1;
      absolutePath(s.logoFullPath, kPathCapacity, argv[++i]);
      copyText(s.logoTitle, kNameCapacity, "User Flag");
    } else if (!std::strcmp(arg, "--background")) {
      absolutePath(s.backgroundPath, kPathCapacity, argv[++i]);
    } else if (!std::strcmp(arg, "--background-size")) {
      int w = 0, h = 0;
      if (!parseSize(argv[++i], w, h)) return false;
      s.backgroundWidth = static_cast<uint32_t>(w);
      s.backgroundHeight = static_cast<uint32_t>(h);
    } else if (!std::strcmp(arg, "--wind")) {
      s.windPower = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "scene_viewer: unknown option %s\n", arg);
      return false;
    }
  }
  return true;
}

void releaseRendering() {
  releaseScene();
  RenderState& render = app.render;
  if (render.backgroundPicture) {
    DeleteObject(render.backgroundPicture);
    render.backgroundPicture = nullptr;
  }
  if (render.device) {
    render.device->Release();
    render.device = nullptr;
  }
  if (render.direct3d) {
    render.direct3d->Release();
    render.direct3d = nullptr;
  }
}

LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      app.host.framesEnabled = 0;
      releaseRendering();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND openWindow(const ViewerOptions& options) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = viewerProc;
  windowClass.hInstance = app.host.instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kViewerClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kViewerClass, "Brevanto Flags scene viewer",
                                WS_POPUP | WS_VISIBLE, 0, 0, options.width, options.height, nullptr,
                                nullptr, app.host.instance, nullptr);
  return window;
}

void reportScene() {
  const RenderState& r = app.render;
  std::printf(
      "scene ready: device %d flag %d lightspot %d buffers %d %d background %d %d "
      "font %d text %d cloth %d size %ux%u flag name \"%s\"\n",
      r.device != nullptr, app.views.views[0].flagTexture != nullptr, r.lightSpotTexture != nullptr,
      r.flagVertexBuffer != nullptr, r.flagIndexBuffer != nullptr, app.views.views[0].backgroundQuad != nullptr,
      r.backgroundTexture != nullptr, r.overlay.fontTexture != nullptr,
      r.overlay.textBuffer != nullptr, app.sim.cloth.current != nullptr,
      app.render.presentParams.BackBufferWidth, app.render.presentParams.BackBufferHeight,
      app.settings.selectFlag);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  messageHook = printMessage;
  app.host.instance = GetModuleHandleA(nullptr);
  app.host.heap = GetProcessHeap();
  seedRandom(app.sim.random, GetTickCount() % 31329, 1234);
  setLoadDefaults(app.settings);
  app.settings.showTime = app.settings.showCountry = 0;
  app.settings.randomFlag = 0;
  ViewerOptions options;
  if (!readOptions(argc, argv, options)) return 2;
  // The preview path renders windowed; full screen is the saver's path.
  app.host.isPreview = options.windowed ? 1 : 0;
  if (!options.windowed) {
    options.width = static_cast<int>(app.settings.screenX);
    options.height = static_cast<int>(app.settings.screenY);
  }
  HWND window = openWindow(options);
  if (!window) return 3;
  app.host.mainWindow = window;
  createDevice(window, options.windowed ? 1 : 0);
  if (!app.render.device) {
    std::printf("no device\n");
    return 4;
  }
  if (options.noBackground && app.render.backgroundPicture) {
    DeleteObject(app.render.backgroundPicture);
    app.render.backgroundPicture = nullptr;
  }
  buildScene();
  reportScene();
  app.host.framesEnabled = 1;
  unsigned long frames = 0;
  DWORD start = GetTickCount();
  bool closeAsked = false;
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) break;
      TranslateMessage(&message);
      DispatchMessageA(&message);
      continue;
    }
    if (!closeAsked && GetTickCount() - start >= static_cast<DWORD>(options.seconds * 1000.0)) {
      PostMessageA(window, WM_CLOSE, 0, 0);
      closeAsked = true;
      continue;
    }
    if (app.host.framesEnabled && app.render.device) {
      runViewFrame(0, readyDeviceForFrames());
      ++frames;
    }
  }
  std::printf("frames %lu\n", frames);
  std::fflush(stdout);
  return 0;
}
