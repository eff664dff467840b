// The saver's Direct3D device and the display-mode listing under Wine, on the
// private 800x600x16 Xvfb screen. Message boxes are recorded, not shown.
#include <windows.h>
#include <d3d8.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/picture.h"
#include "app/app_state.h"
#include "app/messages.h"
#include "render/device.h"
#include "render/display_modes.h"
#include "host/dialog_rules.h"
#include "host/settings_dialog.h"
#include "win_test_support.h"

namespace {

int destroyMessages = 0;
LRESULT CALLBACK countingWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) ++destroyMessages;  // a real DestroyWindow is the test's job
  return DefWindowProcA(window, message, w, l);
}

bool quitPosted() {
  MSG message;
  return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class Device : public ::testing::Test {
 protected:
  void SetUp() override {
    setLoadDefaults(app.settings);
    app.host.instance = GetModuleHandleA(nullptr);
    app.host.isPreview = 0;
    seedRandom(app.sim.random, 1802, 9373);
    startRecordingMessages();
    destroyMessages = 0;
    window_ = makeTestWindow("DeviceTestWindow", 152, 112, WS_POPUP, countingWindowProc);
    ASSERT_NE(nullptr, window_);
    IDirect3D8* probe = Direct3DCreate8(D3D_SDK_VERSION);
    // The test display has Direct3D: without it these tests would test nothing.
    ASSERT_NE(nullptr, probe) << "Direct3DCreate8 returned null (no OpenGL for Wine?)";
    probe->Release();
  }
  void TearDown() override {
    RenderState& render = app.render;
    if (render.device) render.device->Release();
    if (render.direct3d) render.direct3d->Release();
    if (render.backgroundPicture) DeleteObject(render.backgroundPicture);
    render.device = nullptr;
    render.direct3d = nullptr;
    render.backgroundPicture = nullptr;
    if (window_) DestroyWindow(window_);
    quitPosted();
    stopRecordingMessages();
  }
  D3DPRESENT_PARAMETERS& params() { return app.render.presentParams; }
  // The requested mode is only read: the device keeps what it got.
  void expectSettingsMode(uint32_t width, uint32_t height, uint32_t format) {
    EXPECT_EQ(width, app.settings.screenX);
    EXPECT_EQ(height, app.settings.screenY);
    EXPECT_EQ(format, app.settings.pixelFormat);
  }
  D3DDISPLAYMODE desktopMode() {
    D3DDISPLAYMODE desktop = {};
    EXPECT_EQ(D3D_OK, app.render.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop));
    return desktop;
  }
  std::vector<DisplayMode> adapterModes() {
    std::vector<DisplayMode> modes;
    IDirect3D8* d3d = app.render.direct3d;
    for (UINT i = 0; i < d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT); ++i) {
      D3DDISPLAYMODE mode = {};
      d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode);
      modes.push_back({mode.Width, mode.Height, mode.RefreshRate, uint32_t(mode.Format)});
    }
    return modes;
  }
  // The description of back buffer 0; fails the test when there is none.
  void backBufferDesc(D3DSURFACE_DESC& desc) {
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(D3D_OK, app.render.device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer));
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
  }
  DWORD behaviour() {
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    app.render.device->GetCreationParameters(&creation);
    return creation.BehaviorFlags;
  }
  HWND window_ = nullptr;
};

TEST_F(Device, PreviewIsWindowedInTheClientSizeAndDesktopFormat) {
  app.host.isPreview = 1;
  app.settings.useTnL = 1;  // ignored by the windowed device
  createDevice(window_, 1);
  ASSERT_NE(nullptr, app.render.device);
  EXPECT_TRUE(shownMessages.empty());

  D3DDISPLAYMODE desktop = desktopMode();
  EXPECT_EQ(152u, params().BackBufferWidth);
  EXPECT_EQ(112u, params().BackBufferHeight);
  EXPECT_EQ(desktop.Format, params().BackBufferFormat);
  expectSettingsMode(800, 600, 24);
  EXPECT_EQ(TRUE, params().Windowed);
  // 0 was asked for; Direct3D writes back the one back buffer it makes of it.
  EXPECT_LE(params().BackBufferCount, 1u);
  EXPECT_EQ(D3DSWAPEFFECT_FLIP, params().SwapEffect);
  EXPECT_EQ(D3DFMT_D16, params().AutoDepthStencilFormat);

  D3DSURFACE_DESC desc = {};
  ASSERT_NO_FATAL_FAILURE(backBufferDesc(desc));
  EXPECT_EQ(152u, desc.Width);
  EXPECT_EQ(112u, desc.Height);
  EXPECT_EQ(desktop.Format, desc.Format);
  IDirect3DSurface8* second = nullptr;
  EXPECT_NE(D3D_OK, app.render.device->GetBackBuffer(1, D3DBACKBUFFER_TYPE_MONO, &second))
      << "a single back buffer";
  D3DDEVICE_CREATION_PARAMETERS creation;
  app.render.device->GetCreationParameters(&creation);
  EXPECT_EQ(DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING), creation.BehaviorFlags);
  EXPECT_EQ(window_, creation.hFocusWindow);
}

TEST_F(Device, FullScreenInTheScreensOwnModeWithTheScannedRate) {
  app.settings.useTnL = 1;
  createDevice(window_, 0);
  ASSERT_NE(nullptr, app.render.device) << "800 x 600 full screen on the 800x600x16 screen";
  EXPECT_TRUE(shownMessages.empty());
  EXPECT_EQ(0, destroyMessages);
  EXPECT_EQ(800u, params().BackBufferWidth);
  EXPECT_EQ(600u, params().BackBufferHeight);
  EXPECT_TRUE(params().BackBufferFormat == D3DFMT_X1R5G5B5 ||
              params().BackBufferFormat == D3DFMT_R5G6B5)
      << params().BackBufferFormat;
  expectSettingsMode(800, 600, 24);
  EXPECT_EQ(FALSE, params().Windowed);
  EXPECT_EQ(2u, params().BackBufferCount);
  EXPECT_EQ(TRUE, params().EnableAutoDepthStencil);

  std::vector<DisplayMode> modes = adapterModes();
  // The first attempt's format decides the scan; the fallback keeps its rate.
  uint32_t first =
      chooseRefreshRate(modes.data(), uint32_t(modes.size()), 800, 600, D3DFMT_X1R5G5B5);
  EXPECT_EQ(first, params().FullScreen_RefreshRateInHz);

  EXPECT_EQ(DWORD(D3DCREATE_HARDWARE_VERTEXPROCESSING), behaviour()) << "useTnL";
  EXPECT_NE(nullptr, app.render.backgroundPicture);
}

// Desktop mode where the settings choose it or the adapter does not list the
// stored mode (5-5-5 also taken as the 5-6-5 that creation tries second);
// the preview is windowed whatever they say.
TEST_F(Device, TheScreenModeFollowsTheStoredChoiceAndTheListedModes) {
  IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
  ASSERT_NE(nullptr, d3d);
  D3DDISPLAYMODE desktop = {};
  EXPECT_EQ(D3D_OK, d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop));
  d3d->Release();
  struct Case {
    const char* what;
    bool preview;
    uint32_t desktopMode, width, height, format;
    ScreenMode expected;
  } cases[] = {
      {"the preview", true, 0, desktop.Width, desktop.Height, uint32_t(desktop.Format),
       ScreenMode::Windowed},
      {"the display's own mode", false, 0, desktop.Width, desktop.Height, uint32_t(desktop.Format),
       ScreenMode::Exclusive},
      {"5-5-5 where 5-6-5 is listed", false, 0, desktop.Width, desktop.Height, D3DFMT_X1R5G5B5,
       ScreenMode::Exclusive},
      {"Desktop mode chosen", false, 1, desktop.Width, desktop.Height, uint32_t(desktop.Format),
       ScreenMode::Desktop},
      {"a size not listed", false, 0, 1024, 768, uint32_t(desktop.Format), ScreenMode::Desktop},
      {"a format not listed", false, 0, desktop.Width, desktop.Height, D3DFMT_A8R8G8B8,
       ScreenMode::Desktop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app.settings.desktopMode = c.desktopMode;
    app.settings.screenX = c.width;
    app.settings.screenY = c.height;
    app.settings.pixelFormat = c.format;
    EXPECT_EQ(c.expected, chooseScreenMode(c.preview));
  }
  EXPECT_EQ(nullptr, app.render.device) << "no device made";
}

// Full screen in a mode the screen cannot show (both attempts fail): a
// windowed device (the host then runs Desktop mode) in the display's own
// format and the window's client size, with no other mode tried, no
// message, and the settings keeping the mode the user chose. (The mode is
// normally found missing before any device: chooseScreenMode, above. No
// device at all: tests/e2e/test_saver.py, with a device that never opens.)
// After a refused password the settings are read again; the device comes
// back as it was, whatever they request, and in the same vertex processing.
TEST_F(Device, AModeTheScreenCannotShowFallsBackToWindowedAndRecreationKeepsIt) {
  struct Case {
    const char* what;
    uint32_t windowed;
  } cases[] = {{"preview", 1}, {"full screen, fallen back to Desktop mode", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setLoadDefaults(app.settings);
    app.host.isPreview = c.windowed;
    app.settings.screenX = 1024;  // full screen: neither 5-5-5 nor 5-6-5 at this size
    app.settings.screenY = 768;
    app.settings.useTnL = 1;
    EXPECT_EQ(c.windowed ? DeviceMade : DeviceMadeWindowed, createDevice(window_, c.windowed));
    ASSERT_NE(nullptr, app.render.device);
    EXPECT_EQ(TRUE, params().Windowed);
    EXPECT_EQ(desktopMode().Format, params().BackBufferFormat);
    EXPECT_EQ(152u, params().BackBufferWidth);
    EXPECT_EQ(112u, params().BackBufferHeight);
    expectSettingsMode(1024, 768, 24);
    EXPECT_EQ(800u, desktopMode().Width) << "no display mode changed";
    EXPECT_EQ(0, destroyMessages);
    EXPECT_FALSE(quitPosted());
    D3DPRESENT_PARAMETERS first = params();
    DWORD firstBehaviour = behaviour();
    // Windowed either way: software vertex processing, whatever useTnL says.
    EXPECT_EQ(DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING), firstBehaviour);

    // What a reload brings: another mode, another format.
    app.settings.screenX = 640;
    app.settings.screenY = 480;
    app.settings.pixelFormat = D3DFMT_X8R8G8B8;
    app.render.device->Release();
    app.render.device = nullptr;
    ASSERT_TRUE(recreateDevice(window_));
    ASSERT_NE(nullptr, app.render.device);
    EXPECT_EQ(first.BackBufferWidth, params().BackBufferWidth);
    EXPECT_EQ(first.BackBufferHeight, params().BackBufferHeight);
    EXPECT_EQ(first.BackBufferFormat, params().BackBufferFormat);
    EXPECT_EQ(first.Windowed, params().Windowed);
    EXPECT_EQ(firstBehaviour, behaviour());
    D3DSURFACE_DESC desc = {};
    ASSERT_NO_FATAL_FAILURE(backBufferDesc(desc));
    EXPECT_EQ(first.BackBufferWidth, desc.Width);
    EXPECT_EQ(first.BackBufferFormat, desc.Format);
    // A second refusal, with the device still held: released and made again.
    ASSERT_TRUE(recreateDevice(window_));
    EXPECT_EQ(first.BackBufferHeight, params().BackBufferHeight);
    EXPECT_TRUE(shownMessages.empty());
    app.render.device->Release();
    app.render.device = nullptr;
  }
}

TEST_F(Device, RecreationWithoutADirect3DObjectIsReported) {
  ASSERT_FALSE(recreateDevice(window_));
  EXPECT_EQ(nullptr, app.render.device);
  ASSERT_EQ(1u, shownMessages.size());
  EXPECT_EQ("CreateDevice FAILED", shownMessages[0].text);
  EXPECT_EQ("Error", shownMessages[0].caption);
  EXPECT_EQ(uint32_t(MB_OK), shownMessages[0].type);
  EXPECT_EQ(window_, shownMessages[0].owner);
  EXPECT_EQ(0, destroyMessages) << "the caller ends the program";
}

TEST_F(Device, MissingUserBackgroundIsReportedOnceThenABuiltInOneIsUsed) {
  app.host.isPreview = 1;
  copyText(app.settings.backgroundPath, kPathCapacity, "C:\\no such folder\\background.jpg");
  createDevice(window_, 1);
  EXPECT_NE(nullptr, app.render.device);
  ASSERT_EQ(1u, shownMessages.size());
  EXPECT_EQ("Background loading FAILED", shownMessages[0].text);
  EXPECT_EQ("Error", shownMessages[0].caption);
  EXPECT_EQ(uint32_t(MB_ICONHAND), shownMessages[0].type);
  ASSERT_NE(nullptr, app.render.backgroundPicture);
  EXPECT_EQ(512, dibOf(app.render.backgroundPicture).dsBm.bmWidth);
}

// Writes the bytes of a built-in picture to a file of the temporary folder.
std::string writeResourceFile(UINT id, const char* name) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "IMAGE");
  if (!resource) return "";
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
  std::string path = tempFilePath(name);
  return writeFileBytes(path, std::string(bytes, SizeofResource(nullptr, resource))) ? path : "";
}

TEST_F(Device, UserBackgroundLoadsAtLimit512) {
  app.host.isPreview = 1;
  // The dialog picture (158 × 118) becomes 256 × 128 at a limit of 512.
  std::string path = writeResourceFile(3000, "device_test_background.jpg");
  ASSERT_FALSE(path.empty());
  copyText(app.settings.backgroundPath, kPathCapacity, path.c_str());
  loadBackground(window_);
  DeleteFileA(path.c_str());
  EXPECT_TRUE(shownMessages.empty());
  ASSERT_NE(nullptr, app.render.backgroundPicture);
  BITMAP size = dibOf(app.render.backgroundPicture).dsBm;
  EXPECT_EQ(256, size.bmWidth);
  EXPECT_EQ(128, size.bmHeight);
  EXPECT_EQ(nullptr, app.render.device) << "no loading device in preview";
}

std::vector<uint8_t> pictureBits(HBITMAP picture) {
  DIBSECTION section = dibOf(picture);
  const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  return std::vector<uint8_t>(bits, bits + section.dsBm.bmWidthBytes * section.dsBm.bmHeight);
}

TEST_F(Device, BuiltInBackgroundIsTheOneTheGeneratorDraws) {
  app.host.isPreview = 1;
  std::vector<uint8_t> builtIn[3];
  for (int i = 0; i < 3; ++i) {
    HBITMAP picture = loadPictureResource(app.host.instance, 1000 + i, 0);
    builtIn[i] = pictureBits(picture);
    DeleteObject(picture);
    ASSERT_FALSE(builtIn[i].empty());
  }
  // One load for each background, at the first seed whose draw names it.
  bool seen[3] = {false, false, false};
  for (uint32_t seed = 0; seed < 12; ++seed) {
    seedRandom(app.sim.random, seed, 77);
    RandomGenerator copy = app.sim.random;
    int expected = randomInt(copy, 1000) % 3;
    if (seen[expected]) continue;
    loadBackground(window_);
    EXPECT_TRUE(pictureBits(app.render.backgroundPicture) == builtIn[expected]) << "seed " << seed;
    seen[expected] = true;
    EXPECT_EQ(0, std::memcmp(&copy, &app.sim.random, sizeof copy)) << "one draw";
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]) << "all three backgrounds met over the seeds";
  EXPECT_TRUE(shownMessages.empty());
}

class DisplayModes : public ::testing::Test {
 protected:
  void SetUp() override {
    setLoadDefaults(app.settings);
    app.render.mode16Format = app.render.mode32Format = 0;
    combo_ = CreateWindowA("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 200, 200, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, combo_);
    app.dialog.resolutionList = combo_;
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d_) << "Direct3DCreate8 returned null";
  }
  void TearDown() override {
    if (d3d_) d3d_->Release();
    if (combo_) DestroyWindow(combo_);
    app.dialog.resolutionList = nullptr;
  }
  std::vector<std::string> entries() { return comboEntries(combo_); }
  bool adapterHas(UINT width, UINT height, uint32_t format) {
    for (UINT i = 0; i < d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT); ++i) {
      D3DDISPLAYMODE mode = {};
      d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode);
      if (mode.Width == width && mode.Height == height && uint32_t(mode.Format) == format)
        return true;
    }
    return false;
  }
  bool fullScreenFormat(D3DFORMAT format) {
    return SUCCEEDED(
        d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, format, FALSE));
  }
  HWND combo_ = nullptr;
  IDirect3D8* d3d_ = nullptr;
};

TEST_F(DisplayModes, ListsWhatTheAdapterReportsAndSelectsTheCurrentMode) {
  IDirect3D8* const saverObject = app.render.direct3d;
  SendMessageA(combo_, CB_ADDSTRING, 0, (LPARAM) "stale entry");
  app.settings.screenX = 800;
  app.settings.screenY = 600;
  app.settings.bpp = 16;
  ASSERT_EQ(1u, fillResolutionList());
  EXPECT_EQ(saverObject, app.render.direct3d) << "the listing uses an object of its own";

  uint32_t want16 = fullScreenFormat(D3DFMT_R5G6B5)     ? 23u
                    : fullScreenFormat(D3DFMT_X1R5G5B5) ? 24u
                                                        : 0u;
  EXPECT_EQ(23u, want16) << "the 16-bit Xvfb screen offers 5-6-5";
  EXPECT_EQ(want16, app.render.mode16Format);
  EXPECT_EQ(fullScreenFormat(D3DFMT_X8R8G8B8) ? 22u : 0u, app.render.mode32Format);

  std::vector<std::string> expected = {kDesktopEntryText};
  for (const ScreenSize& size : candidateResolutions) {
    for (uint32_t bits : {16u, 32u}) {
      uint32_t format = bits == 16 ? app.render.mode16Format : app.render.mode32Format;
      if (format != 0 && adapterHas(size.width, size.height, format)) {
        char text[32];
        formatModeText(text, sizeof text, size.width, size.height, bits);
        expected.push_back(text);
      }
    }
  }
  EXPECT_EQ(expected, entries());
  // The screen's own mode is offered, and selected as the stored one.
  LRESULT selected = SendMessageA(combo_, CB_GETCURSEL, 0, 0);
  ASSERT_GE(selected, 0);
  EXPECT_EQ("800 x 600 x 16 bpp", entries()[selected]);
  if (app.render.mode32Format && adapterHas(800, 600, app.render.mode32Format)) {
    app.settings.bpp = 32;
    ASSERT_EQ(1u, fillResolutionList());
    selected = SendMessageA(combo_, CB_GETCURSEL, 0, 0);
    ASSERT_GE(selected, 0);
    EXPECT_EQ("800 x 600 x 32 bpp", entries()[selected]);
  }

  // A stored mode the adapter does not offer is run in Desktop mode, and the
  // dialog shows it; so does Desktop mode chosen, over the stored mode.
  app.settings.screenX = 1152;
  app.settings.screenY = 864;
  ASSERT_EQ(1u, fillResolutionList());
  EXPECT_EQ(0, SendMessageA(combo_, CB_GETCURSEL, 0, 0));
  app.settings.screenX = 800;
  app.settings.screenY = 600;
  app.settings.desktopMode = 1;
  ASSERT_EQ(1u, fillResolutionList());
  EXPECT_EQ(0, SendMessageA(combo_, CB_GETCURSEL, 0, 0));
}

}  // namespace
