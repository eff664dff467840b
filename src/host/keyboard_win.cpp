// The system keyboard as a DirectInput 8 device. Nothing reads its state:
// holding it exclusively keeps keys from reaching other programs while the
// saver runs, and key presses end the saver through window messages.
#define DIRECTINPUT_VERSION 0x0800
#include "host/keyboard.h"

#include <windows.h>
#include <dinput.h>

#include "host/app_state.h"

namespace {
const DWORD kCooperation = DISCL_EXCLUSIVE | DISCL_BACKGROUND;
}

void createKeyboard(HWND__* window) {
  HostState& host = app.host;
  // No result is examined: the saver runs the same without the device.
  DirectInput8Create(host.instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                     reinterpret_cast<void**>(&host.directInput), nullptr);
  if (host.directInput)
    host.directInput->CreateDevice(GUID_SysKeyboard, &host.keyboard, nullptr);
  if (host.keyboard) {
    host.keyboard->SetDataFormat(&c_dfDIKeyboard);
    host.keyboard->SetCooperativeLevel(window, kCooperation);
  }
}

void acquireKeyboard() {
  if (app.host.keyboard) app.host.keyboard->Acquire();
}

void releaseKeyboard() {
  HostState& host = app.host;
  if (host.keyboard) {
    host.keyboard->Unacquire();
    host.keyboard->Release();
    host.keyboard = nullptr;
  }
  if (host.directInput) {
    host.directInput->Release();
    host.directInput = nullptr;
  }
}
