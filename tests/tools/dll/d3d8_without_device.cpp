// A "d3d8.dll" whose adapter cannot make a device in any mode: a display
// with no usable Direct3D. Every CreateDevice fails with D3DERR_NOTAVAILABLE
// and appends "width=<w> height=<h> format=<f> windowed=<0|1>" to
// create_device_calls.txt beside the DLL. The current display mode reads as
// 1280 x 1024 in D3DFMT_X8R8G8B8; the adapter lists no modes. With the file
// no_direct3d beside the DLL there is no Direct3D at all: Direct3DCreate8
// returns null.
#include <d3d8.h>

#include "test_dll_support.h"

namespace {

const UINT kDesktopWidth = 1280, kDesktopHeight = 1024;

class AdapterWithoutDevice final : public IDirect3D8 {
 public:
  STDMETHOD_(HRESULT, QueryInterface)(REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHOD(RegisterSoftwareDevice)(void*) override { return D3DERR_NOTAVAILABLE; }
  STDMETHOD_(UINT, GetAdapterCount)() override { return 1; }
  STDMETHOD(GetAdapterIdentifier)(UINT, DWORD, D3DADAPTER_IDENTIFIER8*) override {
    return D3DERR_NOTAVAILABLE;
  }
  STDMETHOD_(UINT, GetAdapterModeCount)(UINT) override { return 0; }
  STDMETHOD(EnumAdapterModes)(UINT, UINT, D3DDISPLAYMODE*) override { return D3DERR_INVALIDCALL; }
  STDMETHOD(GetAdapterDisplayMode)(UINT, D3DDISPLAYMODE* mode) override {
    if (!mode) return D3DERR_INVALIDCALL;
    mode->Width = kDesktopWidth;
    mode->Height = kDesktopHeight;
    mode->RefreshRate = 0;
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
  }
  STDMETHOD(CheckDeviceType)(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, WINBOOL) override {
    return D3DERR_NOTAVAILABLE;
  }
  STDMETHOD(CheckDeviceFormat)
  (UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT) override {
    return D3DERR_NOTAVAILABLE;
  }
  STDMETHOD(CheckDeviceMultiSampleType)
  (UINT, D3DDEVTYPE, D3DFORMAT, WINBOOL, D3DMULTISAMPLE_TYPE) override {
    return D3DERR_NOTAVAILABLE;
  }
  STDMETHOD(CheckDepthStencilMatch)(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
    return D3DERR_NOTAVAILABLE;
  }
  STDMETHOD(GetDeviceCaps)(UINT, D3DDEVTYPE, D3DCAPS8*) override { return D3DERR_NOTAVAILABLE; }
  STDMETHOD_(HMONITOR, GetAdapterMonitor)(UINT) override { return nullptr; }
  STDMETHOD(CreateDevice)
  (UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS* parameters,
   IDirect3DDevice8** device) override {
    if (device) *device = nullptr;
    char path[MAX_PATH];
    pathBesideDll("create_device_calls.txt", path, MAX_PATH);
    char line[128];
    if (parameters)
      snprintf(line, sizeof line, "width=%u height=%u format=%u windowed=%d",
               parameters->BackBufferWidth, parameters->BackBufferHeight,
               static_cast<unsigned>(parameters->BackBufferFormat), parameters->Windowed ? 1 : 0);
    else
      snprintf(line, sizeof line, "parameters=none");
    appendLine(path, line);
    return D3DERR_NOTAVAILABLE;
  }

 private:
  ULONG references_ = 1;
};

}  // namespace

extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT) {
  char path[MAX_PATH];
  pathBesideDll("no_direct3d", path, MAX_PATH);
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return nullptr;
  return new AdapterWithoutDevice();
}
