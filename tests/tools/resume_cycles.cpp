// resume_cycles: the saver's own part of a refused password check, again and
// again in one process, with this process's committed private memory every
// 25 cycles. It tells memory the saver keeps from memory the rest of a check
// (input, the dialog, Wine) costs:
//   resume_cycles [--windowed] [--fixed-flag] [--cycles N] [--scene-only | --verifier PATH]
// Each cycle releases the scene and the device and makes both again
// (suspendRendering, resumeRendering), then draws three frames; with
// --scene-only it keeps the device and makes only the scene again; with
// --verifier it only loads the password library PATH, calls
// VerifyScreenSavePwd and frees it. Full screen and Random Logo unless told
// otherwise; run in the folder that holds IMAGE. Prints
// "cycle=N private_bytes=B" lines, the first for cycle 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "host/run_views.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"

namespace {

long long privateBytes() {
  long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  const char* address = nullptr;
  while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

void runFrames(int count) {
  for (int frame = 0; frame < count; ++frame) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    runViewFrame(0, readyDeviceForFrames());
    Sleep(5);
  }
}

void checkOnce(HWND window, const char* verifierPath) {
  typedef BOOL(WINAPI * Verify)(HWND);
  HMODULE library = LoadLibraryA(verifierPath);
  Verify verify = library ? reinterpret_cast<Verify>(reinterpret_cast<void*>(
                                GetProcAddress(library, "VerifyScreenSavePwd")))
                          : nullptr;
  if (verify) verify(window);
  if (library) FreeLibrary(library);
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false, fixedFlag = false, sceneOnly = false;
  int cycles = 100;
  const char* verifier = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--windowed")) windowed = true;
    else if (!std::strcmp(argv[i], "--fixed-flag")) fixedFlag = true;
    else if (!std::strcmp(argv[i], "--scene-only")) sceneOnly = true;
    else if (!std::strcmp(argv[i], "--cycles") && i + 1 < argc) cycles = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--verifier") && i + 1 < argc) verifier = argv[++i];
    else {
      std::fprintf(stderr, "usage: resume_cycles [--windowed] [--fixed-flag] [--cycles N] "
                           "[--scene-only | --verifier PATH]\n");
      return 2;
    }
  }
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ResumeCycles";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "ResumeCycles", "ResumeCycles", WS_POPUP | WS_VISIBLE,
                                0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (!window) return 2;
  app.host.instance = windowClass.hInstance;
  app.host.heap = GetProcessHeap();
  app.host.mainWindow = window;
  app.host.mode = Saver;
  app.host.isPreview = windowed ? 1 : 0;
  setLoadDefaults(app.settings);
  app.settings.randomFlag = fixedFlag ? 0 : 1;
  copyText(app.settings.selectFlag, kNameCapacity, "Germany");
  seedRandom(app.sim.random, 1234, 777);
  configureSimulation(app.sim, app.settings.windPower, false);
  createDevice(window, windowed ? 1 : 0);
  if (!app.render.device) return 2;
  buildScene();
  runFrames(5);
  std::printf("cycle=0 private_bytes=%lld\n", privateBytes());
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    if (verifier) {
      checkOnce(window, verifier);
    } else if (sceneOnly) {
      releaseScene();
      buildScene();
      runFrames(3);
    } else {
      suspendRendering(window);
      resumeRendering(window);
      runFrames(3);
    }
    if (cycle % 25 == 0) std::printf("cycle=%d private_bytes=%lld\n", cycle, privateBytes());
    std::fflush(stdout);
  }
  releaseScene();
  return 0;
}
