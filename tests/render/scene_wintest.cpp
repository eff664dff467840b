// The scene on a real Direct3D 8 device (Wine's, through Mesa in Xvfb):
// buildScene fills every slot, frames move the cloth, releaseScene empties
// everything twice over, failures end through the close request without
// a frame touching an empty slot, and a reset device gets its buffers and
// states back. The pixels are checked end to end by tests/e2e/test_scene.py;
// a lost device, full screen and in Desktop mode, by tests/e2e/test_monitors.py.
#include <windows.h>
#include <d3d8.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/messages.h"
#include "config/flag_catalogue.h"
#include "render/device.h"
#include "render/frame.h"
#include "render/scene.h"
#include "render/scene_math.h"
#include "render/text_overlay.h"
#include "win_test_support.h"

namespace {

constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 240;

// A 32-bit BMP of vertical red and white bands.
std::string writeBandBitmap(const char* name, int width, int height) {
  std::string path = tempFilePath(name);
  std::string bytes = bmpFileBytes(width, height, 32, [width](int x, int) {
    return (x * 4 / width) % 2 == 0 ? 0x00DC141Eu : 0x00FAFAFAu;
  });
  return writeFileBytes(path, bytes) ? path : std::string();
}

// Frames as the saver's loop runs them; a pause of some milliseconds before
// each lets the timer see time pass, so the cloth moves.
void runFrames(int count, DWORD pauseMs = 0) {
  for (int frame = 0; frame < count; ++frame) {
    if (pauseMs) Sleep(pauseMs);
    runViewFrame(0, readyDeviceForFrames());
  }
}

// The states buildScene sets, as the device reports them; the bound
// objects are compared by address only.
struct SceneStates {
  D3DMATRIX world, view, projection;
  D3DMATERIAL8 material;
  DWORD cull, ambient, vertexShader;
  DWORD stage0[3], stage1[2];
  const void* textures[2];
  const void* indices;
  const void* stream;
};

template <typename T>
const void* addressOf(T* object) {
  if (object) object->Release();  // the Get methods add a reference
  return object;
}

SceneStates readSceneStates(IDirect3DDevice8* device) {
  SceneStates states;
  std::memset(&states, 0, sizeof states);
  device->GetTransform(D3DTS_WORLD, &states.world);
  device->GetTransform(D3DTS_VIEW, &states.view);
  device->GetTransform(D3DTS_PROJECTION, &states.projection);
  device->GetMaterial(&states.material);
  device->GetRenderState(D3DRS_CULLMODE, &states.cull);
  device->GetRenderState(D3DRS_AMBIENT, &states.ambient);
  device->GetVertexShader(&states.vertexShader);
  device->GetTextureStageState(0, D3DTSS_MIPFILTER, &states.stage0[0]);
  device->GetTextureStageState(0, D3DTSS_MAGFILTER, &states.stage0[1]);
  device->GetTextureStageState(0, D3DTSS_MINFILTER, &states.stage0[2]);
  device->GetTextureStageState(1, D3DTSS_COLORARG1, &states.stage1[0]);
  device->GetTextureStageState(1, D3DTSS_COLOROP, &states.stage1[1]);
  for (DWORD stage = 0; stage < 2; ++stage) {
    IDirect3DBaseTexture8* texture = nullptr;
    device->GetTexture(stage, &texture);
    states.textures[stage] = addressOf(texture);
  }
  IDirect3DIndexBuffer8* indices = nullptr;
  UINT baseVertex = 0;
  device->GetIndices(&indices, &baseVertex);
  states.indices = addressOf(indices);
  IDirect3DVertexBuffer8* stream = nullptr;
  UINT stride = 0;
  device->GetStreamSource(0, &stream, &stride);
  states.stream = addressOf(stream);
  return states;
}

// Equal to what the scene set, but for the stream: the buffer made again.
void expectStatesAfterReset(const SceneStates& built, const SceneStates& now) {
  EXPECT_EQ(0, std::memcmp(&built.world, &now.world, sizeof built.world));
  EXPECT_EQ(0, std::memcmp(&built.view, &now.view, sizeof built.view));
  EXPECT_EQ(0, std::memcmp(&built.projection, &now.projection, sizeof built.projection));
  EXPECT_EQ(0, std::memcmp(&built.material, &now.material, sizeof built.material));
  EXPECT_EQ(built.cull, now.cull);
  EXPECT_EQ(built.ambient, now.ambient);
  EXPECT_EQ(built.vertexShader, now.vertexShader);
  EXPECT_EQ(0, std::memcmp(built.stage0, now.stage0, sizeof built.stage0));
  EXPECT_EQ(0, std::memcmp(built.stage1, now.stage1, sizeof built.stage1));
  EXPECT_EQ(built.textures[0], now.textures[0]);
  EXPECT_EQ(built.textures[1], now.textures[1]);
  EXPECT_EQ(built.indices, now.indices);
  EXPECT_EQ(static_cast<const void*>(app.render.flagVertexBuffer), now.stream);
}

bool closeRequested(HWND window) {
  MSG message;
  return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
}

class SceneOnDevice : public testing::Test {
 protected:
  HWND window = nullptr;

  void SetUp() override {
    app = AppState();
    startRecordingMessages();
    window = makeTestWindow("FlagsSceneTest", kWindowWidth, kWindowHeight);
    ASSERT_NE(nullptr, window);
    app.host.instance = GetModuleHandleA(nullptr);
    app.host.heap = GetProcessHeap();
    app.host.mainWindow = window;
    app.host.isPreview = 1;  // windowed in the test window, like the preview
    setLoadDefaults(app.settings);
    app.settings.randomFlag = 0;
    app.settings.useFlagLogo = 1;  // no picture path: the built-in flag
  }

  void TearDown() override {
    releaseScene();
    RenderState& render = app.render;
    if (render.backgroundPicture) DeleteObject(render.backgroundPicture);
    if (render.device) render.device->Release();
    if (render.direct3d) render.direct3d->Release();
    app = AppState();
    if (window) DestroyWindow(window);
    stopRecordingMessages();
  }

  // False (and the test fails: the test display has Direct3D) when Wine
  // cannot make a device here.
  bool makeDevice() {
    createDevice(window, 1);
    closeRequested(window);  // device creation reports its own failures
    return app.render.device != nullptr;
  }

  // The saver window's view.
  static MonitorView& first() { return app.views.views[0]; }

  static bool sceneSlotsEmpty() {
    const RenderState& r = app.render;
    return app.views.count == 0 && !first().flagTexture && !first().backgroundQuad &&
           !first().depthSurface && !r.lightSpotTexture && !r.backgroundTexture &&
           !r.flagVertexBuffer && !r.flagIndexBuffer && !r.overlay.fontTexture &&
           !r.overlay.textBuffer && !app.sim.cloth.current && !app.sim.cloth.previous &&
           !app.sim.cloth.particles;
  }
};

}  // namespace

TEST_F(SceneOnDevice, BuildFillsEverySlotFramesMoveTheClothAndReleaseEmptiesTwice) {
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  configureSimulation(app.sim, 100, false);  // as start-up hands it over
  buildScene();
  EXPECT_FALSE(closeRequested(window));
  const RenderState& r = app.render;
  ASSERT_EQ(1u, app.views.count);
  EXPECT_EQ(&app.sim, first().sim);
  ASSERT_NE(nullptr, first().flagTexture);
  D3DSURFACE_DESC flagDesc;
  first().flagTexture->GetLevelDesc(0, &flagDesc);
  EXPECT_EQ(D3DFMT_X8R8G8B8, flagDesc.Format);
  EXPECT_NE(nullptr, r.lightSpotTexture);
  EXPECT_NE(nullptr, first().backgroundQuad);  // a built-in background was loaded
  EXPECT_NE(nullptr, r.backgroundTexture);
  EXPECT_NE(nullptr, r.flagVertexBuffer);
  EXPECT_NE(nullptr, r.flagIndexBuffer);
  EXPECT_NE(nullptr, r.overlay.fontTexture);
  EXPECT_NE(nullptr, r.overlay.textBuffer);
  ASSERT_NE(nullptr, app.sim.cloth.current);
  // The camera follows the window's client size.
  EXPECT_NEAR(2.4142134f / (320.0f / 240.0f), first().projectionMatrix.m[0], 1e-5f);

  app.settings.showFps = app.settings.showTime = app.settings.showCountry = 1;
  const int freeCorner = kClothVertexCount - 1;  // the free corner moves first
  float startZ = app.sim.cloth.current[freeCorner].z + app.sim.cloth.previous[freeCorner].z;
  runFrames(40, 2);
  float endZ = app.sim.cloth.current[freeCorner].z + app.sim.cloth.previous[freeCorner].z;
  EXPECT_NE(startZ, endZ);
  // The clock shows the local time of its frame, so its colon blinks with the
  // seconds: compared on a frame within which no second turned.
  bool compared = false;
  for (int attempt = 0; attempt < 20 && !compared; ++attempt) {
    SYSTEMTIME before = {}, after = {};
    GetLocalTime(&before);
    runFrames(1);
    GetLocalTime(&after);
    if (before.wSecond != after.wSecond || before.wMinute != after.wMinute) continue;
    char expected[sizeof app.render.overlay.clockText];
    formatClockText(expected, sizeof expected, after.wHour, after.wMinute, after.wSecond);
    EXPECT_STREQ(expected, app.render.overlay.clockText);
    compared = true;
  }
  EXPECT_TRUE(compared);

  releaseScene();
  EXPECT_TRUE(sceneSlotsEmpty());
  releaseScene();
  EXPECT_TRUE(sceneSlotsEmpty());
  // Frames after the release do nothing and do not fault.
  runFrames(1);
  // The scene can be built again on the same device.
  buildScene();
  EXPECT_NE(nullptr, app.render.flagVertexBuffer);
  EXPECT_NE(nullptr, app.sim.cloth.current);
  // As after a refused password: device made again, settings read again (a
  // full-screen mode of another shape); the camera still follows the window.
  releaseScene();
  app.settings.screenX = 1280;
  app.settings.screenY = 1024;
  ASSERT_TRUE(recreateDevice(window));
  buildScene();
  EXPECT_FALSE(closeRequested(window));
  EXPECT_NEAR(2.4142134f / (320.0f / 240.0f), first().projectionMatrix.m[0], 1e-5f);
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(SceneOnDevice, UserBackgroundIsFittedAndMissingBackgroundLeavesNoQuad) {
  std::string path = writeBandBitmap("flags_scene_background.bmp", 64, 64);
  ASSERT_FALSE(path.empty());
  copyText(app.settings.backgroundPath, kPathCapacity, path.c_str());
  app.settings.backgroundWidth = 1200;
  app.settings.backgroundHeight = 1600;
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  ASSERT_NE(nullptr, app.render.backgroundPicture);
  buildScene();
  EXPECT_NE(nullptr, first().backgroundQuad);
  EXPECT_NE(nullptr, app.render.backgroundTexture);
  EXPECT_FLOAT_EQ(-30.0f, app.render.backgroundCorners[0].x);
  EXPECT_FLOAT_EQ(30.0f, app.render.backgroundCorners[2].x);
  EXPECT_FLOAT_EQ(40.0f, app.render.backgroundCorners[1].y);
  releaseScene();

  // Without a background picture the flag draws over black: no quad, no texture.
  DeleteObject(app.render.backgroundPicture);
  app.render.backgroundPicture = nullptr;
  buildScene();
  EXPECT_EQ(nullptr, first().backgroundQuad);
  EXPECT_EQ(nullptr, app.render.backgroundTexture);
  EXPECT_NE(nullptr, app.render.flagVertexBuffer);
  runFrames(3);
  DeleteFileA(path.c_str());
}

TEST_F(SceneOnDevice, MissingFlagPictureClosesAndBuildsNothing) {
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  // A module without the built-in pictures: even the last-resort flag fails.
  app.host.instance = GetModuleHandleA("kernel32.dll");
  buildScene();
  EXPECT_TRUE(closeRequested(window));
  EXPECT_EQ(1u, shownMessages.size());
  EXPECT_TRUE(sceneSlotsEmpty());
  // Frames before the close request arrives must not touch the empty slots.
  runFrames(1);
  EXPECT_TRUE(sceneSlotsEmpty());
}

TEST_F(SceneOnDevice, MissingFontRunsOnWithoutTextsAndFramesStaySafe) {
  std::string path = writeBandBitmap("flags_scene_flag.bmp", 64, 48);
  ASSERT_FALSE(path.empty());
  copyText(app.settings.logoFullPath, kPathCapacity, path.c_str());
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  // The flag comes from the file; the font picture (a resource) cannot be had.
  app.host.instance = GetModuleHandleA("kernel32.dll");
  app.settings.showFps = app.settings.showTime = app.settings.showCountry = 1;
  buildScene();
  EXPECT_FALSE(closeRequested(window));
  EXPECT_TRUE(shownMessages.empty());
  EXPECT_NE(nullptr, first().flagTexture);
  EXPECT_EQ(nullptr, app.render.overlay.fontTexture);
  // What set-up does after the font was done too.
  EXPECT_FLOAT_EQ(1.0f, app.render.sceneMaterial.diffuse[0]);
  ASSERT_NE(nullptr, app.sim.cloth.current);
  std::vector<FlagVertex> start(app.sim.cloth.current, app.sim.cloth.current + kClothVertexCount);
  runFrames(40, 2);
  EXPECT_NE(0, std::memcmp(start.data(), app.sim.cloth.current, kClothVertexBytes))
      << "frames run on without the font";
  // A font without a text buffer: frames draw and skip the texts.
  releaseScene();
  app.host.instance = GetModuleHandleA(nullptr);
  buildScene();
  ASSERT_NE(nullptr, app.render.overlay.fontTexture);
  ASSERT_NE(nullptr, app.render.overlay.textBuffer);
  app.render.overlay.textBuffer->Release();
  app.render.overlay.textBuffer = nullptr;
  runFrames(3);
  EXPECT_FALSE(closeRequested(window));
  DeleteFileA(path.c_str());
}

// Windowed, as the preview's device: a reset gives back the default-pool
// buffers and every state; a refused one (here: a default-pool buffer of
// the test's own still lives) leaves them released and the frames, which
// draw nothing meanwhile, try again until one succeeds.
TEST_F(SceneOnDevice, ResetRestoresBuffersAndStatesAndFramesRetryARefusedOne) {
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  configureSimulation(app.sim, 100, false);
  buildScene();
  IDirect3DDevice8* device = app.render.device;
  const SceneStates built = readSceneStates(device);
  ASSERT_NE(nullptr, built.textures[0]);
  ASSERT_NE(nullptr, built.stream);
  runFrames(2);  // the frames leave other textures and streams bound

  ASSERT_TRUE(restoreLostDevice());
  EXPECT_EQ(D3D_OK, device->TestCooperativeLevel());
  ASSERT_NE(nullptr, app.render.flagVertexBuffer);
  EXPECT_NE(nullptr, app.render.overlay.textBuffer);
  EXPECT_TRUE(app.render.presentParams.Windowed);
  expectStatesAfterReset(built, readSceneStates(device));

  IDirect3DVertexBuffer8* blocker = nullptr;
  ASSERT_EQ(D3D_OK, device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                               D3DPOOL_DEFAULT, &blocker));
  EXPECT_FALSE(restoreLostDevice());
  EXPECT_EQ(nullptr, app.render.flagVertexBuffer);
  EXPECT_EQ(nullptr, app.render.overlay.textBuffer);
  ASSERT_EQ(D3DERR_DEVICENOTRESET, device->TestCooperativeLevel());
  runFrames(2, 2);
  EXPECT_EQ(nullptr, app.render.flagVertexBuffer);
  blocker->Release();
  EXPECT_TRUE(readyDeviceForFrames());  // the next turn's look at the device resets it
  EXPECT_EQ(D3D_OK, device->TestCooperativeLevel());
  ASSERT_NE(nullptr, app.render.flagVertexBuffer);
  EXPECT_NE(nullptr, app.render.overlay.textBuffer);
  expectStatesAfterReset(built, readSceneStates(device));
  runFrames(3, 2);
  EXPECT_FALSE(closeRequested(window));
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(SceneOnDevice, WithoutADeviceNothingIsBuiltOrDrawn) {
  buildScene();
  EXPECT_FALSE(closeRequested(window));
  EXPECT_TRUE(sceneSlotsEmpty());
  runFrames(1);
  releaseScene();
  EXPECT_TRUE(sceneSlotsEmpty());
}

// Desktop mode with a second monitor: its view has a swap chain of its
// monitor's size, its own camera aspect, cloth, flag and background, steps
// only its own cloth, picks its random flag from its own generator (a
// folder of two candidates: a pick from the saver window's would move that
// one's sequence), and comes back from a device reset (which its swap chain
// would refuse) and a resize.
TEST_F(SceneOnDevice, DesktopModeGivesAnotherMonitorItsOwnViewThroughResetAndResize) {
  HWND second = makeTestWindow("FlagsSceneSecond", 200, 150);
  ASSERT_NE(nullptr, second);
  FlagFolderOnDisk folder("flags_scene_views_");
  ASSERT_TRUE(folder.made) << folder.root;
  for (const char* name : {"Alpha.bmp", "Beta.bmp"})
    ASSERT_TRUE(writeFileBytes(folder.path(name),
                               bmpFileBytes(16, 12, 24, [](int, int) { return 0x00336699u; })));
  app.settings.useFlagLogo = 0;
  app.settings.randomFlag = 1;
  ShowWindow(second, SW_SHOWNA);
  app.host.mode = Saver;
  app.host.isPreview = 0;
  app.render.screenMode = ScreenMode::Desktop;
  app.host.monitorWindows[0] = second;
  app.host.monitorRects[0] = ScreenRect{0, 0, 200, 150};
  app.host.monitorWindowCount = 1;
  ASSERT_TRUE(makeDevice()) << "no Direct3D device under this Wine";
  configureSimulation(app.sim, 100, false);
  // The saver window's own pick, and nothing else, from its generator.
  RandomGenerator saverRandom = app.sim.random;
  char saverFlag[kNameCapacity];
  copyText(saverFlag, sizeof saverFlag, app.settings.selectFlag);
  bool picked = pickRandomFlagInto(saverRandom, saverFlag);  // may take none: the built-in flag then
  buildScene();
  buildMonitorViews(app.host.monitorWindows, app.host.monitorRects, app.host.monitorWindowCount);
  EXPECT_FALSE(closeRequested(window));
  EXPECT_EQ(0, std::memcmp(&saverRandom, &app.sim.random, sizeof saverRandom))
      << "the other monitor's pick left the saver window's sequence alone";
  if (picked) {
    EXPECT_STREQ(saverFlag, app.settings.selectFlag);
  }
  ASSERT_EQ(2u, app.views.count);
  MonitorView& view = app.views.views[1];
  auto expectSurfaces = [&](const char* when) {
    SCOPED_TRACE(when);
    ASSERT_NE(nullptr, view.swapChain);
    ASSERT_NE(nullptr, view.depthSurface);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(D3D_OK, view.swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back));
    D3DSURFACE_DESC desc = {};
    back->GetDesc(&desc);
    back->Release();
    EXPECT_EQ(200u, desc.Width);
    EXPECT_EQ(150u, desc.Height);
  };
  expectSurfaces("built");
  EXPECT_EQ(second, view.window);
  EXPECT_NE(nullptr, view.flagTexture);
  EXPECT_NE(first().flagTexture, view.flagTexture);
  EXPECT_NE(nullptr, first().depthSurface) << "a depth buffer of its own";
  EXPECT_NE(nullptr, view.backgroundQuad);
  EXPECT_NEAR(2.4142134f / (200.0f / 150.0f), view.projectionMatrix.m[0], 1e-5f);
  ASSERT_NE(nullptr, view.sim->cloth.current);

  const int freeCorner = kClothVertexCount - 1;
  std::vector<FlagVertex> saverCloth(app.sim.cloth.current, app.sim.cloth.current + kClothVertexCount);
  float startZ = view.sim->cloth.current[freeCorner].z;
  for (int frame = 0; frame < 40; ++frame) {
    Sleep(2);
    updateView(1);
    drawView(1);
  }
  EXPECT_NE(startZ, view.sim->cloth.current[freeCorner].z) << "its cloth moves";
  EXPECT_EQ(0, std::memcmp(saverCloth.data(), app.sim.cloth.current, kClothVertexBytes))
      << "the saver window's cloth is stepped by its own frame only";

  ASSERT_TRUE(restoreLostDevice());
  expectSurfaces("after a reset");
  runFrames(2, 2);
  updateView(1);
  drawView(1);

  ASSERT_TRUE(resizeSaverView(160, 100));
  EXPECT_EQ(160u, app.render.presentParams.BackBufferWidth);
  EXPECT_EQ(100u, app.render.presentParams.BackBufferHeight);
  EXPECT_NEAR(2.4142134f / 1.6f, first().projectionMatrix.m[0], 1e-5f);
  expectSurfaces("after a resize");
  runFrames(2, 2);
  EXPECT_FALSE(closeRequested(window));
  EXPECT_TRUE(shownMessages.empty());

  releaseScene();
  EXPECT_EQ(0u, app.views.count);
  EXPECT_EQ(nullptr, app.views.views[1].swapChain);
  EXPECT_TRUE(sceneSlotsEmpty());
  DestroyWindow(second);
}
