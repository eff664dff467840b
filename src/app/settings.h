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
  // The random pick's tour of the folder (read through the functions below,
  // which give odd stored values their meaning):
  int32_t changeMinutes;  // "[Change Minutes]": a new flag every so many minutes; 0 never
  uint32_t flagRegion;    // "[Flag Region]": a FlagRegion the random pick keeps to
  uint32_t sameFlag;      // "[Same Flag]": every monitor shows the main monitor's flag
};

// The regions of "[Flag Region]", in the dialog's order. A flag that no
// region list places counts under RegionAll only.
enum FlagRegion : uint32_t {
  RegionAll,
  RegionAfrica,
  RegionAmericas,  // North and South America
  RegionAsia,
  RegionEurope,
  RegionOceania,
  kFlagRegionCount,
};

// The change intervals the dialog offers, in minutes, 0 (never) first.
constexpr uint32_t kChangeChoiceCount = 9;
extern const uint32_t changeMinuteChoices[kChangeChoiceCount];  // 0, 1, 2, 3, 5, 10, 15, 30, 60

// The change interval in minutes, one of changeMinuteChoices: a stored value
// is clamped to 0 … 60 (negative is never) and then taken down to the
// nearest choice (4 gives 3), so the saver does what the dialog shows.
uint32_t changeIntervalMinutes(const Settings& settings);
// Its index in changeMinuteChoices (0 … kChangeChoiceCount - 1).
uint32_t changeChoiceIndex(const Settings& settings);

// The chosen region; a value out of range is RegionAll.
inline FlagRegion chosenFlagRegion(const Settings& settings) {
  return settings.flagRegion < kFlagRegionCount ? FlagRegion(settings.flagRegion) : RegionAll;
}

// Every monitor shows the main monitor's flag: only exactly 1 counts.
inline bool choosesSameFlag(const Settings& settings) {
  return settings.sameFlag == 1;
}

// The flag comes from a tour of the folder (flag_tour.h): Random Logo on,
// no picture of the user's own, and a change interval or a region chosen.
// Otherwise the saver picks one flag per scene build, as it always has.
inline bool toursTheFolder(const Settings& settings) {
  return settings.useFlagLogo != 1 && settings.randomFlag == 1 &&
         (changeIntervalMinutes(settings) > 0 || chosenFlagRegion(settings) != RegionAll);
}

// The user chose Desktop mode: only exactly 1 counts, as for the other
// switches of the record. (The run's own mode: inDesktopMode of app_state.h.)
inline bool choosesDesktopMode(const Settings& settings) {
  return settings.desktopMode == 1;
}

// The values a field has when its registry value is absent.
void setLoadDefaults(Settings& settings);

// What the dialog's "Default" button sets (a new install's settings); keeps
// pixelFormat, the background size and directory.
void setDialogDefaults(Settings& settings);

// Copies text into a field of `capacity` bytes, cut to capacity - 1 and always
// terminated. `text` may be null (gives an empty field).
void copyText(char* field, uint32_t capacity, const char* text);
