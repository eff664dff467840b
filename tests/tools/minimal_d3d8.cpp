// minimal_d3d8: the least a full-screen Direct3D 8 program does per frame,
// as the yardstick for the saver's own frame: the same top-most pop-up over
// the screen, the same presentation parameters (800 x 600, two back buffers,
// flip, 16-bit depth), and every frame only a clear and a present.
//
//   minimal_d3d8 [--seconds N] [--layers] [--loading-device]
//   minimal_d3d8 --recreate N
//
// --layers draws what the saver's frame draws, written as plainly as
// Direct3D 8 allows: a textured background quad, a 33 x 33 grid of 2048
// triangles with two texture stages whose vertices are uploaded every frame,
// and three texts of alpha-blended glyph quads from an A4R4G4B4 font
// texture; the textures are made from patterns, not pictures. The gap
// between its frame rate and the saver's is what the saver's own code costs.
// --loading-device makes and releases a full-screen 800 x 600 X8R8G8B8
// device before the real one, as the saver does while its background loads.
//
// Prints "first_present_ms=<ms from process start to the first Present>",
// then "frames=<n> seconds=<s> fps=<n/s>" at the end. Exit code 0, or 3
// when no device (or, with --layers, no texture or buffer) can be made.
//
// --recreate releases and makes the device N times, the way the saver does
// around each refused password check (restore, maximise, create), with half
// a second of frames after each, and prints "cycle=<i> working_set=
// pagefile=" after the first and the last: the yardstick for what one device
// re-creation costs the process under this Direct3D.
#define PSAPI_VERSION 2
#include <windows.h>
#include <d3d8.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/bench_support.h"

namespace {

const char kClassName[] = "MinimalD3D8";
constexpr UINT kWidth = 800, kHeight = 600;

// An 800 x 600 full-screen device in this format, as the saver asks for one;
// null when it cannot be made.
IDirect3DDevice8* makeFullScreenDevice(IDirect3D8* direct3d, HWND window, D3DFORMAT format) {
  D3DPRESENT_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.BackBufferWidth = kWidth;
  parameters.BackBufferHeight = kHeight;
  parameters.BackBufferFormat = format;
  parameters.BackBufferCount = 2;
  parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
  parameters.EnableAutoDepthStencil = TRUE;
  parameters.AutoDepthStencilFormat = D3DFMT_D16;
  IDirect3DDevice8* device = nullptr;
  if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device)))
    return nullptr;
  return device;
}

IDirect3DDevice8* makeDevice(IDirect3D8* direct3d, HWND window) {
  IDirect3DDevice8* device = makeFullScreenDevice(direct3d, window, D3DFMT_X1R5G5B5);
  return device ? device : makeFullScreenDevice(direct3d, window, D3DFMT_R5G6B5);
}

void presentFrame(IDirect3DDevice8* device) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00204060, 1.0f, 0);
  device->BeginScene();
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void printMemory(int cycle) {
  PROCESS_MEMORY_COUNTERS memory;
  std::memset(&memory, 0, sizeof memory);
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("cycle=%d working_set=%llu pagefile=%llu\n", cycle,
              static_cast<unsigned long long>(memory.WorkingSetSize),
              static_cast<unsigned long long>(memory.PagefileUsage));
  std::fflush(stdout);
}

int recreate(IDirect3D8* direct3d, IDirect3DDevice8* device, HWND window, int cycles) {
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    device->Release();
    ShowWindow(window, SW_RESTORE);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    device = makeDevice(direct3d, window);
    if (!device) {
      std::printf("no device at cycle %d\n", cycle);
      return 3;
    }
    for (double start = nowSeconds(); nowSeconds() - start < 0.5;) {
      pumpMessages();
      presentFrame(device);
    }
    if (cycle == 1 || cycle == cycles) printMemory(cycle);
  }
  device->Release();
  direct3d->Release();
  DestroyWindow(window);
  return 0;
}

// ---- --layers: the saver's layers, drawn plainly -----------------------------

struct QuadVertex {  // D3DFVF_XYZ | D3DFVF_TEX1
  float x, y, z, u, v;
};
struct GridVertex {  // D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1): 32 bytes
  float x, y, z, u, v, su, sv, sw;
};
struct GlyphVertex {  // D3DFVF_XYZRHW | D3DFVF_TEX1
  float x, y, z, rhw, u, v;
};
constexpr DWORD kQuadFormat = D3DFVF_XYZ | D3DFVF_TEX1;
constexpr DWORD kGridFormat = D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1);
constexpr DWORD kGlyphFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;
constexpr int kGridSide = 33, kGridVertices = kGridSide * kGridSide;
constexpr int kGridTriangles = (kGridSide - 1) * (kGridSide - 1) * 2;  // 2048
constexpr int kMaxGlyphs = 64;
const char* const kTexts[] = {"Brevanto", "12:34:56", "FPS: 116.2"};

struct Layers {
  IDirect3DTexture8 *background = nullptr, *picture = nullptr, *spot = nullptr, *font = nullptr;
  IDirect3DVertexBuffer8 *quad = nullptr, *grid = nullptr, *glyphs = nullptr;
  IDirect3DIndexBuffer8* indices = nullptr;
  GridVertex vertices[kGridVertices];
};

// A texture filled by a pattern of its texel coordinates.
template <typename Texel, typename Pattern>
IDirect3DTexture8* patternTexture(IDirect3DDevice8* device, UINT side, D3DFORMAT format,
                                  Pattern pattern) {
  IDirect3DTexture8* texture = nullptr;
  if (FAILED(device->CreateTexture(side, side, 1, 0, format, D3DPOOL_MANAGED, &texture)))
    return nullptr;
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
    for (UINT y = 0; y < side; ++y) {
      Texel* row = reinterpret_cast<Texel*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
      for (UINT x = 0; x < side; ++x) row[x] = pattern(x, y);
    }
    texture->UnlockRect(0);
  }
  return texture;
}

template <typename T>
bool fillBuffer(T* buffer, const void* data, UINT bytes, DWORD flags) {
  BYTE* target = nullptr;
  if (FAILED(buffer->Lock(0, bytes, &target, flags)) || !target) return false;
  std::memcpy(target, data, bytes);
  buffer->Unlock();
  return true;
}

void setCamera(IDirect3DDevice8* device) {
  D3DMATRIX identity = {};
  identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
  D3DMATRIX view = identity;  // eye at z = -60 looking along +z
  view._43 = 60.0f;
  const float fov = 0.78539819f, nearZ = 1.0f, farZ = 100.0f;
  const float yScale = 1.0f / std::tan(fov / 2.0f), xScale = yScale * kHeight / kWidth;
  D3DMATRIX projection = {};
  projection._11 = xScale;
  projection._22 = yScale;
  projection._33 = farZ / (farZ - nearZ);
  projection._34 = 1.0f;
  projection._43 = -nearZ * farZ / (farZ - nearZ);
  device->SetTransform(D3DTS_WORLD, &identity);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

// The grid swings as a travelling wave; the shading set follows the slope.
void moveGrid(Layers& layers, float phase) {
  for (int row = 0; row < kGridSide; ++row)
    for (int column = 0; column < kGridSide; ++column) {
      GridVertex& v = layers.vertices[row * kGridSide + column];
      float u = column / float(kGridSide - 1), w = row / float(kGridSide - 1);
      float wave = std::sin(u * 6.0f - phase);
      v = {-16.0f + 32.0f * u,
           -12.0f + 24.0f * w,
           3.0f * wave * u,
           u,
           1.0f - w,
           0.5f + 0.4f * std::cos(u * 6.0f - phase),
           0.5f,
           0.0f};
    }
}

bool buildLayers(IDirect3DDevice8* device, Layers& layers) {
  layers.background = patternTexture<DWORD>(device, 512, D3DFMT_X8R8G8B8, [](UINT x, UINT y) {
    return DWORD(0x00102040 | ((x ^ y) & 0x3F) << 16 | (y & 0xFF));
  });
  layers.picture = patternTexture<DWORD>(device, 256, D3DFMT_X8R8G8B8, [](UINT x, UINT y) {
    return DWORD((y / 32) % 2 ? 0x00C02020 : 0x00F0F0F0) ^
           DWORD(x < 96 && y < 128 ? 0x00F0F0C0 : 0);
  });
  layers.spot = patternTexture<DWORD>(device, 256, D3DFMT_X8R8G8B8, [](UINT x, UINT y) {
    int dx = int(x) - 128, dy = int(y) - 128;
    DWORD grey = DWORD(255 - std::min(200, (dx * dx + dy * dy) / 160));
    return grey * 0x010101u;
  });
  layers.font = patternTexture<WORD>(device, 256, D3DFMT_A4R4G4B4, [](UINT x, UINT y) {
    return WORD((x % 21 > 3 && y % 42 > 6 && (x + y) % 5 != 0) ? 0xC0A2 : 0);
  });
  const QuadVertex quad[6] = {{-60, 45, 40, 0, 0}, {60, 45, 40, 1, 0},  {-60, -45, 40, 0, 1},
                              {60, 45, 40, 1, 0},  {60, -45, 40, 1, 1}, {-60, -45, 40, 0, 1}};
  WORD indices[kGridTriangles * 3];
  int n = 0;
  for (int row = 0; row + 1 < kGridSide; ++row)
    for (int column = 0; column + 1 < kGridSide; ++column) {
      WORD a = WORD(row * kGridSide + column), b = WORD(a + 1), c = WORD(a + kGridSide),
           d = WORD(c + 1);
      const WORD six[] = {a, c, b, b, c, d};
      for (WORD k : six) indices[n++] = k;
    }
  if (FAILED(device->CreateVertexBuffer(sizeof quad, D3DUSAGE_WRITEONLY, kQuadFormat,
                                        D3DPOOL_MANAGED, &layers.quad)) ||
      FAILED(device->CreateVertexBuffer(sizeof layers.vertices,
                                        D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kGridFormat,
                                        D3DPOOL_DEFAULT, &layers.grid)) ||
      FAILED(device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       &layers.indices)) ||
      FAILED(device->CreateVertexBuffer(3 * kMaxGlyphs * 6 * sizeof(GlyphVertex),
                                        D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kGlyphFormat,
                                        D3DPOOL_DEFAULT, &layers.glyphs)))
    return false;
  fillBuffer(layers.quad, quad, sizeof quad, 0);
  fillBuffer(layers.indices, indices, sizeof indices, 0);
  setCamera(device);
  D3DMATERIAL8 white = {};
  white.Diffuse = white.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&white);
  device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  return layers.background && layers.picture && layers.spot && layers.font;
}

// Six vertices a glyph into out; returns the glyphs written.
int layoutText(GlyphVertex* out, float left, float top, const char* text) {
  int count = 0;
  const float width = 18.0f, height = 28.0f;
  for (const char* c = text; *c && count < kMaxGlyphs; ++c, ++count) {
    float x = left + count * width, u = ((*c - 32) % 12) / 12.0f, v = ((*c - 32) / 12 % 6) / 6.0f;
    const GlyphVertex six[] = {{x, top, 0, 1, u, v},
                               {x + width, top, 0, 1, u + 0.08f, v},
                               {x, top + height, 0, 1, u, v + 0.16f},
                               {x + width, top, 0, 1, u + 0.08f, v},
                               {x + width, top + height, 0, 1, u + 0.08f, v + 0.16f},
                               {x, top + height, 0, 1, u, v + 0.16f}};
    std::memcpy(&out[count * 6], six, sizeof six);
  }
  return count;
}

// The three texts in one lock and one draw.
void drawTexts(IDirect3DDevice8* device, Layers& layers) {
  GlyphVertex vertices[3 * kMaxGlyphs * 6];
  int count = layoutText(vertices, 8.0f, 8.0f, kTexts[0]);
  count += layoutText(vertices + count * 6, 680.0f, 570.0f, kTexts[1]);
  count += layoutText(vertices + count * 6, 8.0f, 576.0f, kTexts[2]);
  if (count && fillBuffer(layers.glyphs, vertices, count * 6 * sizeof(GlyphVertex), D3DLOCK_DISCARD))
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, count * 2);
}

void drawLayers(IDirect3DDevice8* device, Layers& layers, float phase) {
  moveGrid(layers, phase);
  fillBuffer(layers.grid, layers.vertices, sizeof layers.vertices, D3DLOCK_DISCARD);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  device->BeginScene();
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetVertexShader(kQuadFormat);
  device->SetStreamSource(0, layers.quad, sizeof(QuadVertex));
  device->SetTexture(0, layers.background);
  device->SetTexture(1, nullptr);
  device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
  device->SetVertexShader(kGridFormat);
  device->SetStreamSource(0, layers.grid, sizeof(GridVertex));
  device->SetIndices(layers.indices, 0);
  device->SetTexture(0, layers.picture);
  device->SetTexture(1, layers.spot);
  device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kGridVertices, 0, kGridTriangles);
  device->SetVertexShader(kGlyphFormat);
  device->SetStreamSource(0, layers.glyphs, sizeof(GlyphVertex));
  device->SetTexture(0, layers.font);
  device->SetTexture(1, nullptr);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  drawTexts(device, layers);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

template <typename T>
void release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

void releaseLayers(Layers& layers) {
  release(layers.background);
  release(layers.picture);
  release(layers.spot);
  release(layers.font);
  release(layers.quad);
  release(layers.grid);
  release(layers.glyphs);
  release(layers.indices);
}

// The saver's device while its background loads; its result is not needed.
void makeAndReleaseLoadingDevice(IDirect3D8* direct3d, HWND window) {
  IDirect3DDevice8* device = makeFullScreenDevice(direct3d, window, D3DFMT_X8R8G8B8);
  if (device) device->Release();
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10.0;
  int cycles = 0;
  bool layered = false, loadingDevice = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
      seconds = std::atof(argv[++i]);
    else if (!std::strcmp(argv[i], "--recreate") && i + 1 < argc)
      cycles = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--layers"))
      layered = true;
    else if (!std::strcmp(argv[i], "--loading-device"))
      loadingDevice = true;
    else {
      std::fprintf(
          stderr,
          "usage: minimal_d3d8 [--seconds N] [--layers] [--loading-device] | --recreate N\n");
      return 2;
    }
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND window = makeFullScreenWindow(kClassName, instance);
  IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  if (direct3d && loadingDevice) makeAndReleaseLoadingDevice(direct3d, window);
  IDirect3DDevice8* device = direct3d ? makeDevice(direct3d, window) : nullptr;
  if (!device) {
    std::printf("no device\n");
    return 3;
  }
  if (cycles > 0) return recreate(direct3d, device, window, cycles);
  static Layers layers;
  if (layered && !buildLayers(device, layers)) {
    std::printf("the layers could not be made\n");
    return 3;
  }

  runTimedFrames(seconds, [&](unsigned long frame) {
    if (layered)
      drawLayers(device, layers, static_cast<float>(frame) * 0.05f);
    else
      presentFrame(device);
  });
  releaseLayers(layers);
  device->Release();
  direct3d->Release();
  DestroyWindow(window);
  return 0;
}
