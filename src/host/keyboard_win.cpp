// The system keyboard as a DirectInput 8 device. Nothing reads its state;
// key presses end the saver through window messages.
#define DIRECTINPUT_VERSION 0x0800
#include "host/keyboard.h"

#include <windows.h>
#include <dinput.h>

#include "app/app_state.h"

namespace {
// Exclusive background access is not a valid level for a keyboard: the call
// fails (Wine answers E_NOTIMPL) and the device keeps its default,
// non-exclusive level. The result is left unexamined on purpose: nothing
// depends on the level.
const DWORD kCooperation = DISCL_EXCLUSIVE | DISCL_BACKGROUND;
}  // namespace

void createKeyboard(HWND__* window) {
  HostState& host = app.host;
  // No result is examined: the saver runs the same without the device.
  DirectInput8Create(host.instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                     reinterpret_cast<void**>(&host.directInput), nullptr);
  if (host.directInput) host.directInput->CreateDevice(GUID_SysKeyboard, &host.keyboard, nullptr);
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
