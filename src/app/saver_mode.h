// The run mode the command line chooses.
#pragma once
#include <cstdint>

enum SaverMode : uint32_t {
  Saver = 0,           // "/s": full-screen saver window
  Config = 1,          // "/c", or a path with no switch after it: settings dialog
  ChangePassword = 2,  // "/a": hand the password change to the system
  Preview = 3,         // "/p <hwnd>": saver drawn as a child of the given window
};
