// minimal_d3d8: the least a full-screen Direct3D 8 program does per frame,
// as the yardstick for the saver's own frame: the same top-most pop-up over
// the screen, the same presentation parameters (800 x 600, two back buffers,
// flip, 16-bit depth), and every frame only a clear and a present.
//
//   minimal_d3d8 [--seconds N]
//   minimal_d3d8 --recreate N
//
// Prints "first_present_ms=<ms from process start to the first Present>",
// then "frames=<n> seconds=<s> fps=<n/s>" at the end. Exit code 0, or 3
// when no device can be made.
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

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kClassName[] = "MinimalD3D8";
constexpr UINT kWidth = 800, kHeight = 600;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

double nowSeconds() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds since this process was created, by the system's clock.
double msSinceProcessStart() {
  FILETIME created, ended, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

IDirect3DDevice8* makeDevice(IDirect3D8* direct3d, HWND window) {
  D3DPRESENT_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.BackBufferWidth = kWidth;
  parameters.BackBufferHeight = kHeight;
  parameters.BackBufferCount = 2;
  parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
  parameters.EnableAutoDepthStencil = TRUE;
  parameters.AutoDepthStencilFormat = D3DFMT_D16;
  const D3DFORMAT formats[] = {D3DFMT_X1R5G5B5, D3DFMT_R5G6B5};
  for (D3DFORMAT format : formats) {
    parameters.BackBufferFormat = format;
    IDirect3DDevice8* device = nullptr;
    if (SUCCEEDED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device)))
      return device;
  }
  return nullptr;
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

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10.0;
  int cycles = 0;
  if (argc == 3 && !std::strcmp(argv[1], "--seconds")) seconds = std::atof(argv[2]);
  if (argc == 3 && !std::strcmp(argv[1], "--recreate")) cycles = std::atoi(argv[2]);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kClassName, kClassName, WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  IDirect3DDevice8* device = direct3d ? makeDevice(direct3d, window) : nullptr;
  if (!device) {
    std::printf("no device\n");
    return 3;
  }
  if (cycles > 0) return recreate(direct3d, device, window, cycles);

  unsigned long frames = 0;
  double start = 0.0;
  MSG message;
  for (bool running = true; running;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) running = false;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    presentFrame(device);
    if (frames++ == 0) {
      std::printf("first_present_ms=%.0f\n", msSinceProcessStart());
      std::fflush(stdout);
      start = nowSeconds();
    }
    if (nowSeconds() - start >= seconds) break;
  }
  double elapsed = nowSeconds() - start;
  // The first frame opens the timed span, so it is not counted in it.
  std::printf("frames=%lu seconds=%.3f fps=%.1f\n", frames - 1, elapsed, (frames - 1) / elapsed);
  std::fflush(stdout);
  device->Release();
  direct3d->Release();
  DestroyWindow(window);
  return 0;
}
