// frame_bench: the saver's own scene and frame code, timed. Sets up as the
// saver does with the load defaults (800 x 600 full screen, a random flag
// from DIR\IMAGE) and all three texts shown (frame rate, clock and flag
// name), then runs frames for N seconds.
//
//   frame_bench [--seconds N] [--directory DIR] [--profile [--skip STEPS]]
//               [--change-every S]
//
// Prints "first_present_ms=<ms from process start to the first frame's
// Present>" and, at the end, "frames=<n> seconds=<s> fps=<n/s>". --profile
// runs the same steps as runViewFrame one by one with a
// performance-counter reading between them and prints each step's mean time
// per frame in microseconds ("section=<name> us=<mean>"). --skip leaves out
// the named steps of the profiled frame (a comma list of upload, states,
// background, flag, overlay), to see what a figure depends on; "scene" builds
// no scene at all and leaves each frame a clear and a present on the device.
// --change-every S tours the folder and has the flag change every S seconds
// (as the interval would, sooner), then prints each frame's time in three
// groups: "frames=<kind> count=<n> median_ms=<m> max_ms=<x>" for the frames
// before the first change, those of a change (its start to its fade's end)
// and those after. The timed frames begin once the saver's check of its
// extras is over (multisampling and anisotropic filtering kept or given up,
// as the saver does a few seconds in); --keep-extras times them as made.
#include <windows.h>
#include <d3d8.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "app/messages.h"
#include "host/frame_pacing.h"
#include "render/device.h"
#include "render/flag_change.h"
#include "render/frame.h"
#include "render/scene.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "sim/cloth_dynamics.h"
#include "sim/frame_timer.h"
#include "sim/random.h"
#include "tools/bench_support.h"

namespace {

const char kClassName[] = "FlagsFrameBench";

int printMessage(HWND__*, const char* text, const char* caption, uint32_t) {
  std::printf("message: %s: %s\n", caption, text);
  std::fflush(stdout);
  return IDOK;
}

// The steps of one frame, as runViewFrame take them.
// The vertex lock is where the frame waits for the renderer to finish the
// previous one; the simulation frame includes the copy into the buffer.
enum Section {
  VertexLock,
  Simulation,
  ClearBegin,
  Background,
  Flag,
  Overlay,
  EndPresent,
  kSections
};
const char* const kSectionNames[kSections] = {
    "vertex-lock", "simulation", "clear+begin", "background", "flag", "overlay", "end+present"};

struct Profile {
  double total[kSections] = {};
  double mark = 0.0;
  void start() { mark = nowSeconds(); }
  void lap(Section section) {
    double now = nowSeconds();
    total[section] += now - mark;
    mark = now;
  }
};

const char* skipped = "";
bool runs(const char* step) {
  return std::strstr(skipped, step) == nullptr;
}

void profiledFrame(Profile& profile) {
  RenderState& render = app.render;
  MonitorView& view = app.views.views[0];
  IDirect3DDevice8* device = render.device;
  profile.start();
  if (!runs("scene")) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    device->BeginScene();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    profile.lap(EndPresent);
    return;
  }
  BYTE* target = nullptr;
  if (!runs("upload") || FAILED(render.flagVertexBuffer->Lock(0, 0, &target, D3DLOCK_DISCARD)))
    target = nullptr;
  profile.lap(VertexLock);
  runSimulationFrame(app.sim, reinterpret_cast<FlagVertex*>(target));
  if (target) render.flagVertexBuffer->Unlock();
  profile.lap(Simulation);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  device->BeginScene();
  profile.lap(ClearBegin);
  if (runs("states")) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetVertexShader(kBackgroundVertexFormat);
    device->SetStreamSource(0, view.backgroundQuad, kBackgroundVertexStride);
    device->SetTexture(0, render.backgroundTexture);
    device->SetTexture(1, nullptr);
  }
  if (runs("background") && view.backgroundQuad && render.backgroundTexture)
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
  profile.lap(Background);
  if (runs("states")) {
    device->SetVertexShader(kFlagVertexFormat);
    device->SetStreamSource(0, render.flagVertexBuffer, kFlagVertexStride);
    device->SetTexture(0, view.flagTexture);
    device->SetTexture(1, render.lightSpotTexture);
  }
  if (runs("flag"))
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kClothVertexCount, 0,
                                 (kClothColumns - 1) * (kClothRows - 1) * 2);
  profile.lap(Flag);
  if (runs("overlay")) drawOverlay(app.settings.selectFlag, 1.0f);
  profile.lap(Overlay);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  profile.lap(EndPresent);
}

// Frame times (the time from one frame's start to the next's) before the
// first change, during changes, and after one.
struct FrameGroups {
  std::vector<double> seconds[3];
  void add(double frameSeconds, int group) { seconds[group].push_back(frameSeconds); }
  void print() {
    const char* names[3] = {"before", "change", "after"};
    for (int g = 0; g < 3; ++g) {
      std::vector<double>& times = seconds[g];
      if (times.empty()) continue;
      std::sort(times.begin(), times.end());
      std::printf("frames=%s count=%zu median_ms=%.2f max_ms=%.2f\n", names[g], times.size(),
                  times[times.size() / 2] * 1000, times.back() * 1000);
    }
  }
};

}  // namespace

// The frames the saver's own check counts, unpaced as the timed ones.
void settleExtras() {
  PaceCheck check = startPaceCheck(renderSeconds() * 1000.0);
  while (!check.over) {
    runViewFrame(0, readyDeviceForFrames());
    noteFirstPresent();
    if (frameFallsShort(check, renderSeconds() * 1000.0, kDefaultRefreshRate)) dropRenderExtras();
  }
  std::printf("extras=%s\n", app.render.extrasDropped ? "dropped" : "kept");
}

int main(int argc, char** argv) {
  double seconds = 10.0;
  bool profiled = false, keepExtras = false;
  const char* directory = nullptr;
  double changeEvery = 0.0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--profile"))
      profiled = true;
    else if (!std::strcmp(argv[i], "--keep-extras"))
      keepExtras = true;
    else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
      seconds = std::atof(argv[++i]);
    else if (!std::strcmp(argv[i], "--directory") && i + 1 < argc)
      directory = argv[++i];
    else if (!std::strcmp(argv[i], "--skip") && i + 1 < argc)
      skipped = argv[++i];
    else if (!std::strcmp(argv[i], "--change-every") && i + 1 < argc)
      changeEvery = std::atof(argv[++i]);
    else {
      std::fprintf(
          stderr,
          "usage: frame_bench [--seconds N] [--directory DIR] [--profile [--skip STEPS]] [--keep-extras]\n");
      return 2;
    }
  }
  messageHook = printMessage;
  HostState& host = app.host;
  host.instance = GetModuleHandleA(nullptr);
  host.heap = GetProcessHeap();
  seedRandom(app.sim.random, GetTickCount() % 31329, 1234);
  setLoadDefaults(app.settings);
  app.settings.showFps = 1;  // all three texts, as minimal_d3d8 --layers draws them
  if (changeEvery > 0) app.settings.changeMinutes = 60;  // the bench makes them due sooner
  if (directory) {
    copyText(app.settings.directory, kPathCapacity, directory);
    SetCurrentDirectoryA(directory);
  }
  HWND window = makeFullScreenWindow(kClassName, host.instance);
  host.mainWindow = window;
  createDevice(window, 0);
  if (!app.render.device) {
    std::printf("no device\n");
    return 3;
  }
  if (runs("scene")) buildScene();
  host.framesEnabled = 1;
  if (!keepExtras) settleExtras();

  Profile profile;
  FrameGroups groups;
  double lastStart = 0.0, nextChange = renderSeconds() + changeEvery, changeEnd = 0.0;
  unsigned long timed = runTimedFrames(seconds, [&](unsigned long frame) {
    double start = renderSeconds();
    if (changeEvery > 0 && app.views.count > 0 && start >= nextChange) {
      app.views.views[0].nextChangeSeconds = start;
      nextChange = start + changeEvery;
      changeEnd = start + kCrossFadeSeconds;
    }
    if (profiled && frame > 0) {
      profiledFrame(profile);
    } else {
      runViewFrame(0, readyDeviceForFrames());
    }
    if (frame > 0) groups.add(start - lastStart, changeEnd == 0 ? 0 : start <= changeEnd ? 1 : 2);
    lastStart = start;
  });
  if (changeEvery > 0) groups.print();
  if (profiled && timed > 0)
    for (int s = 0; s < kSections; ++s)
      std::printf("section=%s us=%.1f\n", kSectionNames[s], profile.total[s] / timed * 1e6);
  std::fflush(stdout);
  releaseScene();
  if (app.render.backgroundPicture) DeleteObject(app.render.backgroundPicture);
  if (app.render.device) app.render.device->Release();
  if (app.render.direct3d) app.render.direct3d->Release();
  DestroyWindow(window);
  return 0;
}
