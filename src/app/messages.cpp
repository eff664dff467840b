#include "app/messages.h"

const char kErrorCaption[] = "Error";
const char kNoticeCaption[] = "Brevanto Flags Screensaver";
const char kNoDirect3dText[] = "_imp__Direct3DCreate8@4 FAILED";
const char kNoDeviceText[] = "CreateDevice FAILED";
const char kNoBackgroundText[] = "Background loading FAILED";
const char kNoFlagText[] = "Flag Texture Loading Error";
const char kNoLibraryText[] = "Can't load MPR.DLL";
const char kNoFunctionText[] = "Can't get PwdChangePassword";
const char kInvalidFileText[] = "Invalid File";
const char kNoDirect3DText[] = "Can't create Direct3D";
