// A hidden window with a windowed Direct3D 8 device on it, for Windows tests
// that need a real device. `device` stays null when none can be made; tests
// then skip with `failure` as the reason.
#pragma once
#include <windows.h>
#include <d3d8.h>

#include <string>

struct TestDevice {
  HWND window = nullptr;
  IDirect3D8* direct3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  std::string failure;

  TestDevice() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FlagsTestWindow";
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    window = CreateWindowA("FlagsTestWindow", "flags test", WS_OVERLAPPEDWINDOW, 0, 0, 256, 256,
                           nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
      failure = "no test window";
      return;
    }
    direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!direct3d) {
      failure = "Direct3DCreate8 returned null";
      return;
    }
    D3DDISPLAYMODE mode;
    if (FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
      failure = "no adapter display mode";
      return;
    }
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = 256;
    params.BackBufferHeight = 256;
    params.BackBufferFormat = mode.Format;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = TRUE;
    HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    if (FAILED(result) || !device) {
      device = nullptr;
      char text[64];
      wsprintfA(text, "CreateDevice failed: 0x%08lX", static_cast<unsigned long>(result));
      failure = text;
    }
  }
  ~TestDevice() {
    if (device) device->Release();
    if (direct3d) direct3d->Release();
    if (window) DestroyWindow(window);
  }
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;
};
