// The Direct3D 8 object and device of the saver, and the display-mode
// listing of the settings dialog.
#pragma once
#include <cstdint>

#include "app/render_state.h"
#include "render/display_modes.h"

struct HWND__;

// How the saver window will show (Saver mode) or Windowed (the preview):
// Desktop mode when the settings choose it or when the adapter does not list
// the stored full-screen mode (storedModeOffered), else Exclusive. Makes no
// device and changes no display mode; the Direct3D object it makes for the
// check is app.render.direct3d, which createDevice then uses.
ScreenMode chooseScreenMode(bool preview);

// What device creation came to. A message box shown on the way runs a
// message loop: when the saver was ended meanwhile, nothing more is made.
enum DeviceOutcome : uint32_t {
  DeviceMade,          // as asked: full screen, or windowed when asked for
  DeviceMadeWindowed,  // full screen was refused; a windowed device instead
  DeviceFailed,        // none at all; the user was told
  DeviceEnded,         // the saver was ended while a message box was open
};

// Creates app.render.direct3d when there is none, loads
// app.render.backgroundPicture and creates app.render.device: full screen in
// the settings' mode, then once more in D3DFMT_R5G6B5; windowed in `window`'s
// client area in the desktop's format when `windowed`, or when neither
// full-screen attempt succeeds.
// app.render.presentParams keep the mode the device really got; neither the
// settings nor the screen mode are changed (the host decides what a windowed
// fallback means). Reports its own failures ("CreateDevice FAILED" only when
// not even a windowed device can be made) and leaves device null.
DeviceOutcome createDevice(HWND__* window, uint32_t windowed);

// After a refused password: releases any device and makes it again with
// app.render.presentParams as the last creation left them (no rate scan, no
// other format). False, after showing "CreateDevice FAILED", when it cannot.
bool recreateDevice(HWND__* window);

// The refresh rate in Hz of the display the device shows on: the full-screen
// mode's own, else the adapter's current mode; 0 or 1 when the system does
// not say ("default"), 0 without a device.
uint32_t deviceRefreshRate();

// Sets app.render.backgroundPicture: the user's background (limit 512, 2048
// where a view is wider than 1024), else built-in 1000 + randomInt(1000) % 3
// (its 2048 × 2048 twin 1010 + the same where a view is that wide). In the Exclusive screen mode a
// temporary 800 × 600 full-screen device holds the display meanwhile.
// Called by createDevice.
void loadBackground(HWND__* window);

// The entries of the dialog's resolution list, the current settings' entry
// marked; sets tnlAvailable, mode16Format and mode32Format. 1 when the
// Direct3D object could be made (no entries when the adapter has no 16- or
// 32-bit full-screen format), else 0.
uint32_t listDisplayModes(ModeList& entries);
