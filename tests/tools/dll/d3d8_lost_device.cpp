// A "d3d8.dll" around the system's own whose device is lost once, as a
// monitor change or a lock screen leaves it, and comes back only by Reset.
//
// Everything is the real Direct3D 8 except three methods of each device and
// the Present of each additional swap chain (CreateDevice and
// CreateAdditionalSwapChain also record what they made): once the file
// lose_device_now exists beside the DLL, the next Present of the device or
// of a swap chain returns D3DERR_DEVICELOST unshown and the loss begins.
// TestCooperativeLevel then answers D3DERR_DEVICELOST ten times, then
// D3DERR_DEVICENOTRESET until a Reset succeeds; every Present meanwhile
// shows nothing and answers D3DERR_DEVICELOST. The first three Resets after
// the loss are refused (as ones made while the display is still changing
// can be), later ones are the real Reset. After the good Reset the first
// default-pool vertex buffer asked for is refused too (memory still held
// by the change), later ones are made.
// What happened goes, a line per event, into reset_calls.txt beside the DLL:
//   lost present=<n>              the Present that began the loss
//   not-reset lost-answers=<k>    the first D3DERR_DEVICENOTRESET answer
//   reset phase=<p> result=<hex> presents-while-lost=<m>
//                                 every Reset (phase normal, lost, not-reset
//                                 or restored; Presents after the one that
//                                 began the loss)
//   vertex-buffer refused         the refused default-pool vertex buffer
//   presented after-reset         the first Present shown after a good Reset
// After the good Reset the first depth buffer asked for at the device's
// size is refused too ("depth refused"), and a vertex buffer made after the
// refused one that is drawn before any Lock wrote it records "drawn before
// filled". At the device's 120th Present before any loss:
//   counts device-presents=<n> chain-presents=<c> device-looks=<t>
// (t: TestCooperativeLevel calls). Every 20th Present of the device after a
// file refresh_hz appeared, whose number GetAdapterDisplayMode then reports:
//   presents n=<n> ms=<tick count>
// While a file refuse_other_sizes lies beside the DLL, every Reset to a
// size other than the device's first is refused (D3DERR_INVALIDCALL).
// Every device and additional swap chain made, and every Reset, goes into
// device_calls.txt (s: the multisample type asked for):
//   create windowed=<0|1> size=<w>x<h> samples=<s> result=<hex>
//   swap-chain windowed=<0|1> size=<w>x<h> samples=<s> result=<hex>
//   reset windowed=<0|1> size=<w>x<h> samples=<s> result=<hex>
//   depth size=<w>x<h> samples=<s> result=<hex>
//   draw triangles=<n> highest=<i>    an indexed draw of another triangle count
//                         than the last, and the highest vertex its indices name
// Every texture asked for, and every change of a stage's minifying filter,
// mip filter or anisotropy (D3DTSS_ 17, 18, 21), go into texture_calls.txt:
//   texture size=<w>x<h> levels=<asked> format=<n> result=<hex>
//   stage <n> state=<type> value=<v>
// While a file max_texture_side beside the DLL holds a number, a texture
// with a larger side is refused (D3DERR_OUTOFVIDEOMEMORY); while a file
// refuse_multisample lies there, so is every multisampled device, swap
// chain, Reset and depth buffer.
#define CINTERFACE
#include <windows.h>
#include <d3d8.h>

#include "test_dll_support.h"

namespace {

const unsigned kLostAnswers = 10;
const unsigned kRefusedResets = 3;

enum Phase { Normal, Lost, NotReset, Restored };
const char* const kPhaseNames[] = {"normal", "lost", "not-reset", "restored"};

Phase phase = Normal;
unsigned presents = 0, presentsWhileLost = 0, lostAnswers = 0, refusedResets = 0;
bool presentedAfterReset = false, refusedBuffer = false, refusedDepth = false;
unsigned devicePresents = 0, chainPresents = 0, deviceLooks = 0;
UINT deviceWidth = 0, deviceHeight = 0;
IDirect3DVertexBuffer8* remadeBuffer = nullptr;
bool remadeDrawn = false;
const BYTE kUnfilled = 0xAB;  // what the remade buffer holds until the program writes it

// Copies of the real tables with the methods above in place of the real
// ones (every object of a kind shares the real d3d8's one table).
IDirect3D8Vtbl patchedDirect3d;
IDirect3DDevice8Vtbl patchedDevice;
HRESULT(WINAPI* realCreateDevice)
(IDirect3D8*, UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice8**);
HRESULT(WINAPI* realTestCooperativeLevel)(IDirect3DDevice8*);
HRESULT(WINAPI* realReset)(IDirect3DDevice8*, D3DPRESENT_PARAMETERS*);
HRESULT(WINAPI* realPresent)(IDirect3DDevice8*, const RECT*, const RECT*, HWND, const RGNDATA*);
HRESULT(WINAPI* realCreateAdditionalSwapChain)
(IDirect3DDevice8*, D3DPRESENT_PARAMETERS*, IDirect3DSwapChain8**);
HRESULT(WINAPI* realCreateVertexBuffer)
(IDirect3DDevice8*, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8**);
HRESULT(WINAPI* realCreateDepthStencilSurface)
(IDirect3DDevice8*, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, IDirect3DSurface8**);
HRESULT(WINAPI* realGetDepthStencilSurface)(IDirect3DDevice8*, IDirect3DSurface8**);
HRESULT(WINAPI* realDrawIndexedPrimitive)(IDirect3DDevice8*, D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT);
HRESULT(WINAPI* realGetAdapterDisplayMode)(IDirect3D8*, UINT, D3DDISPLAYMODE*);
HRESULT(WINAPI* realCreateTexture)
(IDirect3DDevice8*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture8**);
HRESULT(WINAPI* realSetTextureStageState)(IDirect3DDevice8*, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD);
IDirect3DSwapChain8Vtbl patchedSwapChain;
HRESULT(WINAPI* realSwapChainPresent)
(IDirect3DSwapChain8*, const RECT*, const RECT*, HWND, const RGNDATA*);

void recordIn(const char* file, const char* line) {
  char path[MAX_PATH];
  pathBesideDll(file, path, MAX_PATH);
  appendLine(path, line);
}

void record(const char* line) {
  recordIn("reset_calls.txt", line);
}

void recordMade(const char* what, const D3DPRESENT_PARAMETERS* parameters, HRESULT result) {
  char line[128];
  snprintf(line, sizeof line, "%s windowed=%d size=%ux%u samples=%d result=%lx", what,
           parameters ? static_cast<int>(parameters->Windowed) : -1,
           parameters ? parameters->BackBufferWidth : 0u,
           parameters ? parameters->BackBufferHeight : 0u,
           parameters ? static_cast<int>(parameters->MultiSampleType) : -1,
           static_cast<unsigned long>(result));
  recordIn("device_calls.txt", line);
}

bool fileBeside(const char* name) {
  char path[MAX_PATH];
  pathBesideDll(name, path, MAX_PATH);
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The number in `name` beside the DLL, or 0 while there is none.
unsigned numberBeside(const char* name) {
  char path[MAX_PATH];
  pathBesideDll(name, path, MAX_PATH);
  FILE* file = fopen(path, "r");
  unsigned number = 0;
  if (file) {
    if (fscanf(file, "%u", &number) != 1) number = 0;
    fclose(file);
  }
  return number;
}

bool refusesSamples(D3DMULTISAMPLE_TYPE samples) {
  return samples != D3DMULTISAMPLE_NONE && fileBeside("refuse_multisample");
}


bool lossRequested() {
  char path[MAX_PATH];
  pathBesideDll("lose_device_now", path, MAX_PATH);
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

unsigned fakedRefresh() {
  return numberBeside("refresh_hz");
}

HRESULT WINAPI getAdapterDisplayMode(IDirect3D8* direct3d, UINT adapter, D3DDISPLAYMODE* mode) {
  HRESULT result = realGetAdapterDisplayMode(direct3d, adapter, mode);
  unsigned hz = fakedRefresh();
  if (SUCCEEDED(result) && mode && hz) mode->RefreshRate = hz;
  return result;
}

HRESULT WINAPI testCooperativeLevel(IDirect3DDevice8* device) {
  ++deviceLooks;
  if (phase == Lost) {
    if (lostAnswers < kLostAnswers) {
      ++lostAnswers;
      return D3DERR_DEVICELOST;
    }
    phase = NotReset;
    char line[64];
    snprintf(line, sizeof line, "not-reset lost-answers=%u", lostAnswers);
    record(line);
  }
  if (phase == NotReset) return D3DERR_DEVICENOTRESET;
  return realTestCooperativeLevel(device);
}

bool refusesSize(const D3DPRESENT_PARAMETERS* parameters) {
  return parameters && fileBeside("refuse_other_sizes") &&
         (parameters->BackBufferWidth != deviceWidth || parameters->BackBufferHeight != deviceHeight);
}

HRESULT WINAPI reset(IDirect3DDevice8* device, D3DPRESENT_PARAMETERS* parameters) {
  if (refusesSize(parameters) || (parameters && refusesSamples(parameters->MultiSampleType))) {
    recordMade("reset", parameters, D3DERR_INVALIDCALL);
    return D3DERR_INVALIDCALL;
  }
  Phase during = phase;
  HRESULT result = D3DERR_DEVICELOST;
  // Reset cannot succeed while the device is merely lost; the first ones
  // after the loss are refused too.
  if (phase == NotReset && refusedResets < kRefusedResets) {
    ++refusedResets;
  } else if (phase != Lost) {
    result = realReset(device, parameters);
    if (SUCCEEDED(result) && phase == NotReset) phase = Restored;
  }
  char line[128];
  snprintf(line, sizeof line, "reset phase=%s result=%lx presents-while-lost=%u",
           kPhaseNames[during], static_cast<unsigned long>(result), presentsWhileLost);
  record(line);
  recordMade("reset", parameters, result);
  return result;
}

// The device's Present and every swap chain's: D3D_OK when the real one
// is to show the frame, else what to answer instead.
HRESULT lossBeforePresent() {
  ++presents;
  if (phase == Normal && lossRequested()) {
    phase = Lost;
    char line[64];
    snprintf(line, sizeof line, "lost present=%u", presents);
    record(line);
    return D3DERR_DEVICELOST;
  }
  if (phase == Lost || phase == NotReset) {
    ++presentsWhileLost;
    return D3DERR_DEVICELOST;
  }
  return D3D_OK;
}

void recordShown(HRESULT result) {
  if (phase == Restored && !presentedAfterReset && SUCCEEDED(result)) {
    presentedAfterReset = true;
    record("presented after-reset");
  }
}

void countDevicePresent() {
  ++devicePresents;
  char line[96];
  if (devicePresents == 120 && phase == Normal) {
    snprintf(line, sizeof line, "counts device-presents=%u chain-presents=%u device-looks=%u",
             devicePresents, chainPresents, deviceLooks);
    record(line);
  }
  if (devicePresents % 20 == 0 && fakedRefresh()) {
    snprintf(line, sizeof line, "presents n=%u ms=%lu", devicePresents, GetTickCount());
    record(line);
  }
}

HRESULT WINAPI present(IDirect3DDevice8* device, const RECT* source, const RECT* target,
                       HWND window, const RGNDATA* dirty) {
  countDevicePresent();
  HRESULT lost = lossBeforePresent();
  if (FAILED(lost)) return lost;
  HRESULT result = realPresent(device, source, target, window, dirty);
  recordShown(result);
  return result;
}

HRESULT WINAPI swapChainPresent(IDirect3DSwapChain8* swapChain, const RECT* source,
                                const RECT* target, HWND window, const RGNDATA* dirty) {
  ++chainPresents;
  HRESULT lost = lossBeforePresent();
  if (FAILED(lost)) return lost;
  return realSwapChainPresent(swapChain, source, target, window, dirty);
}

HRESULT WINAPI createVertexBuffer(IDirect3DDevice8* device, UINT length, DWORD usage, DWORD format,
                                  D3DPOOL pool, IDirect3DVertexBuffer8** buffer) {
  if (phase == Restored && pool == D3DPOOL_DEFAULT && !refusedBuffer) {
    refusedBuffer = true;
    if (buffer) *buffer = nullptr;
    record("vertex-buffer refused");
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  HRESULT result = realCreateVertexBuffer(device, length, usage, format, pool, buffer);
  // Wine checks each buffer's method table, so a write is seen by a mark of
  // our own in its first bytes instead.
  if (refusedBuffer && !remadeBuffer && SUCCEEDED(result) && buffer && *buffer) {
    remadeBuffer = *buffer;
    BYTE* data = nullptr;
    if (SUCCEEDED(remadeBuffer->lpVtbl->Lock(remadeBuffer, 0, 0, &data, 0)) && data) {
      memset(data, kUnfilled, length < 32 ? length : 32);
      remadeBuffer->lpVtbl->Unlock(remadeBuffer);
    }
  }
  return result;
}

// The highest vertex that a draw's indices name: a sparse mesh over the
// whole cloth names the last vertex, the full mesh's first rows do not.
UINT highestIndex(IDirect3DDevice8* device, UINT start, UINT count) {
  IDirect3DIndexBuffer8* indices = nullptr;
  UINT base = 0;
  UINT highest = 0;
  if (FAILED(device->lpVtbl->GetIndices(device, &indices, &base)) || !indices) return 0;
  D3DINDEXBUFFER_DESC desc = {};
  BYTE* data = nullptr;
  bool wide = SUCCEEDED(indices->lpVtbl->GetDesc(indices, &desc)) && desc.Format == D3DFMT_INDEX32;
  UINT size = wide ? 4 : 2;
  if ((start + count) * size <= desc.Size &&
      SUCCEEDED(indices->lpVtbl->Lock(indices, 0, 0, &data, D3DLOCK_READONLY)) && data) {
    for (UINT i = start; i < start + count; ++i) {
      UINT index = size == 4 ? reinterpret_cast<const UINT*>(data)[i] : reinterpret_cast<const WORD*>(data)[i];
      if (index > highest) highest = index;
    }
    indices->lpVtbl->Unlock(indices);
  }
  indices->lpVtbl->Release(indices);
  return highest;
}

HRESULT WINAPI drawIndexedPrimitive(IDirect3DDevice8* device, D3DPRIMITIVETYPE type, UINT first,
                                    UINT count, UINT start, UINT primitives) {
  IDirect3DVertexBuffer8* stream = nullptr;
  UINT stride = 0;
  if (remadeBuffer && !remadeDrawn &&
      SUCCEEDED(device->lpVtbl->GetStreamSource(device, 0, &stream, &stride)) && stream) {
    BYTE* data = nullptr;
    if (stream == remadeBuffer &&
        SUCCEEDED(stream->lpVtbl->Lock(stream, 0, 32, &data, D3DLOCK_READONLY)) && data) {
      remadeDrawn = true;
      bool unfilled = true;
      for (int i = 0; i < 32; ++i) unfilled = unfilled && data[i] == kUnfilled;
      stream->lpVtbl->Unlock(stream);
      if (unfilled) record("drawn before filled");
    }
    stream->lpVtbl->Release(stream);
  }
  static UINT lastPrimitives = 0;
  if (primitives != lastPrimitives) {
    lastPrimitives = primitives;
    char line[64];
    snprintf(line, sizeof line, "draw triangles=%u highest=%u", primitives,
             highestIndex(device, start, primitives * 3));
    recordIn("device_calls.txt", line);
  }
  return realDrawIndexedPrimitive(device, type, first, count, start, primitives);
}

// The first depth buffer at the device's size after the good Reset: the
// device's own (taken) or one of the same size (made).
bool refuseDepth(UINT width, UINT height) {
  if (phase != Restored || refusedDepth || width != deviceWidth || height != deviceHeight) return false;
  refusedDepth = true;
  record("depth refused");
  return true;
}

HRESULT WINAPI createDepthStencilSurface(IDirect3DDevice8* device, UINT width, UINT height,
                                         D3DFORMAT format, D3DMULTISAMPLE_TYPE samples,
                                         IDirect3DSurface8** surface) {
  HRESULT result = D3DERR_OUTOFVIDEOMEMORY;
  if (refuseDepth(width, height) || refusesSamples(samples)) {
    if (surface) *surface = nullptr;
  } else {
    result = realCreateDepthStencilSurface(device, width, height, format, samples, surface);
  }
  char line[96];
  snprintf(line, sizeof line, "depth size=%ux%u samples=%d result=%lx", width, height,
           static_cast<int>(samples), static_cast<unsigned long>(result));
  recordIn("device_calls.txt", line);
  return result;
}

HRESULT WINAPI getDepthStencilSurface(IDirect3DDevice8* device, IDirect3DSurface8** surface) {
  if (refuseDepth(deviceWidth, deviceHeight)) {
    if (surface) *surface = nullptr;
    return D3DERR_NOTFOUND;
  }
  return realGetDepthStencilSurface(device, surface);
}

HRESULT WINAPI createTexture(IDirect3DDevice8* device, UINT width, UINT height, UINT levels,
                             DWORD usage, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DTexture8** texture) {
  unsigned largest = numberBeside("max_texture_side");
  HRESULT result = D3DERR_OUTOFVIDEOMEMORY;
  if (largest && (width > largest || height > largest)) {
    if (texture) *texture = nullptr;
  } else {
    result = realCreateTexture(device, width, height, levels, usage, format, pool, texture);
  }
  char line[128];
  snprintf(line, sizeof line, "texture size=%ux%u levels=%u format=%d result=%lx", width, height,
           levels, static_cast<int>(format), static_cast<unsigned long>(result));
  recordIn("texture_calls.txt", line);
  return result;
}

HRESULT WINAPI setTextureStageState(IDirect3DDevice8* device, DWORD stage,
                                    D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  static DWORD last[8][3];
  static bool seen[8][3];
  int kind = type == D3DTSS_MINFILTER ? 0 : type == D3DTSS_MIPFILTER ? 1 : type == D3DTSS_MAXANISOTROPY ? 2 : -1;
  if (kind >= 0 && stage < 8 && (!seen[stage][kind] || last[stage][kind] != value)) {
    seen[stage][kind] = true;
    last[stage][kind] = value;
    char line[64];
    snprintf(line, sizeof line, "stage %lu state=%d value=%lu", static_cast<unsigned long>(stage),
             static_cast<int>(type), static_cast<unsigned long>(value));
    recordIn("texture_calls.txt", line);
  }
  return realSetTextureStageState(device, stage, type, value);
}

HRESULT WINAPI createAdditionalSwapChain(IDirect3DDevice8* device,
                                         D3DPRESENT_PARAMETERS* parameters,
                                         IDirect3DSwapChain8** swapChain) {
  HRESULT result = D3DERR_OUTOFVIDEOMEMORY;
  if (parameters && refusesSamples(parameters->MultiSampleType)) {
    if (swapChain) *swapChain = nullptr;
  } else {
    result = realCreateAdditionalSwapChain(device, parameters, swapChain);
  }
  recordMade("swap-chain", parameters, result);
  if (FAILED(result) || !swapChain || !*swapChain) return result;
  if (!realSwapChainPresent) {
    patchedSwapChain = *(*swapChain)->lpVtbl;
    realSwapChainPresent = patchedSwapChain.Present;
    patchedSwapChain.Present = swapChainPresent;
  }
  (*swapChain)->lpVtbl = &patchedSwapChain;
  return result;
}

HRESULT WINAPI createDevice(IDirect3D8* direct3d, UINT adapter, D3DDEVTYPE type, HWND window,
                            DWORD flags, D3DPRESENT_PARAMETERS* parameters,
                            IDirect3DDevice8** device) {
  HRESULT result = D3DERR_OUTOFVIDEOMEMORY;
  if (parameters && refusesSamples(parameters->MultiSampleType)) {
    if (device) *device = nullptr;
  } else {
    result = realCreateDevice(direct3d, adapter, type, window, flags, parameters, device);
  }
  recordMade("create", parameters, result);
  if (FAILED(result) || !device || !*device) return result;
  deviceWidth = parameters->BackBufferWidth;
  deviceHeight = parameters->BackBufferHeight;
  IDirect3DDevice8* made = *device;
  if (!realPresent) {
    patchedDevice = *made->lpVtbl;
    realTestCooperativeLevel = patchedDevice.TestCooperativeLevel;
    realReset = patchedDevice.Reset;
    realPresent = patchedDevice.Present;
    realCreateAdditionalSwapChain = patchedDevice.CreateAdditionalSwapChain;
    realCreateVertexBuffer = patchedDevice.CreateVertexBuffer;
    realCreateDepthStencilSurface = patchedDevice.CreateDepthStencilSurface;
    realGetDepthStencilSurface = patchedDevice.GetDepthStencilSurface;
    realDrawIndexedPrimitive = patchedDevice.DrawIndexedPrimitive;
    realCreateTexture = patchedDevice.CreateTexture;
    realSetTextureStageState = patchedDevice.SetTextureStageState;
    patchedDevice.CreateTexture = createTexture;
    patchedDevice.SetTextureStageState = setTextureStageState;
    patchedDevice.CreateDepthStencilSurface = createDepthStencilSurface;
    patchedDevice.GetDepthStencilSurface = getDepthStencilSurface;
    patchedDevice.DrawIndexedPrimitive = drawIndexedPrimitive;
    patchedDevice.CreateVertexBuffer = createVertexBuffer;
    patchedDevice.CreateAdditionalSwapChain = createAdditionalSwapChain;
    patchedDevice.TestCooperativeLevel = testCooperativeLevel;
    patchedDevice.Reset = reset;
    patchedDevice.Present = present;
  }
  made->lpVtbl = &patchedDevice;
  return result;
}

}  // namespace

// The system's d3d8.dll by its full path: by name the loader would find this
// one again. Run with the override "d3d8=n,b": with "n" alone Wine refuses
// to load its own built-in d3d8.dll from system32.
extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT version) {
  static HMODULE real = nullptr;
  if (!real) {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH - 10);
    if (length == 0 || length >= MAX_PATH - 10) return nullptr;
    lstrcatW(path, L"\\d3d8.dll");
    real = LoadLibraryW(path);
    if (!real) {
      record("no system d3d8.dll");
      return nullptr;
    }
  }
  auto create = reinterpret_cast<IDirect3D8*(WINAPI*)(UINT)>(
      reinterpret_cast<void*>(GetProcAddress(real, "Direct3DCreate8")));
  if (create == &Direct3DCreate8) {
    record("the system's d3d8.dll is this one");
    return nullptr;
  }
  IDirect3D8* direct3d = create ? create(version) : nullptr;
  if (!direct3d) return nullptr;
  if (!realCreateDevice) {
    patchedDirect3d = *direct3d->lpVtbl;
    realCreateDevice = patchedDirect3d.CreateDevice;
    realGetAdapterDisplayMode = patchedDirect3d.GetAdapterDisplayMode;
    patchedDirect3d.CreateDevice = createDevice;
    patchedDirect3d.GetAdapterDisplayMode = getAdapterDisplayMode;
  }
  direct3d->lpVtbl = &patchedDirect3d;
  return direct3d;
}
