// Message boxes of the program. Every message box goes through one
// replaceable function, so the Windows tests can record the texts instead of
// blocking on a modal box.
#pragma once
#include <cstdint>

struct HWND__;

// Every message box text and caption of the program.
extern const char kErrorCaption[];      // "Error": failures the user must see
extern const char kNoticeCaption[];     // "Brevanto Flags Screensaver": the dialog's notices
extern const char kNoDirect3dText[];    // "_imp__Direct3DCreate8@4 FAILED"
extern const char kNoDeviceText[];      // "CreateDevice FAILED"
extern const char kNoBackgroundText[];  // "Background loading FAILED"
extern const char kNoFlagText[];        // "Flag Texture Loading Error"
extern const char kNoLibraryText[];     // "Can't load MPR.DLL"
extern const char kNoFunctionText[];    // "Can't get PwdChangePassword"
extern const char kInvalidFileText[];   // "Invalid File"
extern const char kNoDirect3DText[];    // "Can't create Direct3D": the dialog's

// Same arguments and result as MessageBoxA (owner may be null, type is MB_*).
typedef int (*MessageFunction)(HWND__* owner, const char* text, const char* caption, uint32_t type);

// Shows a message box through messageHook; returns the button id (IDOK ...),
// or 0 when the hook is null.
int showMessage(HWND__* owner, const char* text, const char* caption, uint32_t type);

// MessageBoxA by default; tests put a recorder here and restore it after.
extern MessageFunction messageHook;

// The default hook: a real, modal MessageBoxA.
int systemMessageBox(HWND__* owner, const char* text, const char* caption, uint32_t type);
