// The user's settings: one record, one field per registry value.
// Pure record; the registry load and save live in settings_store.*.
#pragma once
#include <cstdint>

enum : uint32_t {
  kPathCapacity = 4096,  // paths, terminator included
  kNameCapacity = 1024,  // names and titles, terminator included
};

struct Settings {
  uint32_t useTnL;       // "[bTnL]": hardware vertex processing full screen
  uint32_t showTime;     // "[bTime]": clock in the overlay
  uint32_t showFps;      // "[bFps]": frame rate in the overlay
  uint32_t showCountry;  // "[bCountry]": flag name in the overlay
  // The requested full-screen mode. Device creation reads it; the mode the
  // device really uses is kept with the device (RenderState::presentParams).
  uint32_t screenX;                     // "[Screen X]": full-screen width in pixels
  uint32_t screenY;                     // "[Screen Y]": full-screen height in pixels
  uint32_t pixelFormat;                 // "[Pixel Format]": D3DFORMAT of the back buffer
  uint32_t bpp;                         // "[BPP]": 16 or 32, chosen in the dialog
  int32_t windPower;                    // "[Wind Power]": 0 … 100 from the dialog
  uint32_t randomFlag;                  // "[Random Flag]": pick a flag at random
  uint32_t useFlagLogo;                 // "[Use Flag-Logo]": the user's picture on the flag
  uint32_t backgroundWidth;             // "[Background Width]": pixels of the user's background
  uint32_t backgroundHeight;            // "[Background Height]"
  char directory[kPathCapacity];        // "[Directory]": holds the "IMAGE" folder; never written
  char logoFullPath[kPathCapacity];     // "[Logo Full Path]"
  char logoTitle[kNameCapacity];        // "[Logo Title]"
  char backgroundPath[kPathCapacity];   // "[Background Path]"
  char backgroundTitle[kNameCapacity];  // "[Background Title]"
  char selectFlag[kNameCapacity];       // "[Select Flag]"; also the name of the flag shown
  // "[Desktop Mode]": 1 draws a flag on every monitor in the display's own
  // mode instead of switching to screenX × screenY; those stay for later.
  uint32_t desktopMode;
};

// The user chose Desktop mode: only exactly 1 counts, as for the other
// switches of the record. (The run's own mode: inDesktopMode of app_state.h.)
inline bool choosesDesktopMode(const Settings& settings) {
  return settings.desktopMode == 1;
}

// The values a field has when its registry value is absent.
void setLoadDefaults(Settings& settings);

// What the dialog's "Default" button sets; keeps pixelFormat, the background
// size and directory.
void setDialogDefaults(Settings& settings);

// Copies text into a field of `capacity` bytes, cut to capacity - 1 and always
// terminated. `text` may be null (gives an empty field).
void copyText(char* field, uint32_t capacity, const char* text);
