// Display-mode rules: the full-screen refresh-rate scan, the adapter's mode
// copy, and the resolution list that the settings dialog offers.
// Plain computation over (width, height, rate, format) records; the Direct3D
// calls that produce the records live in device_win.cpp.
#pragma once
#include <cstdint>

// One adapter mode as EnumAdapterModes reports it; format is a D3DFORMAT.
struct DisplayMode {
  uint32_t width, height;  // pixels
  uint32_t refreshRate;    // Hz, 0 when the adapter does not say
  uint32_t format;
};

struct ScreenSize {
  uint32_t width, height;
};

// The only sizes the dialog ever offers, landscape first, in list order.
constexpr uint32_t kCandidateCount = 8;
extern const ScreenSize candidateResolutions[kCandidateCount];

// Rates at or above this are left to the adapter's default (0).
constexpr uint32_t kHighRefreshRate = 120;

// One step of the refresh-rate scan for a mode met during the visit; `best`
// is the rate chosen so far. Returns false when the visit must end at once.
bool refreshScanStep(uint32_t& best, const DisplayMode& mode, uint32_t width, uint32_t height,
                     uint32_t format);

// The full-screen refresh rate for width × height × format: `modes` in the
// adapter's index order, visited from the last to the first. 0 = default.
uint32_t chooseRefreshRate(const DisplayMode* modes, uint32_t count, uint32_t width,
                           uint32_t height, uint32_t format);

// The adapter's modes without refresh rates, equal entries kept once (a
// real adapter repeats every size per rate). Modes beyond the capacity are
// dropped; no adapter offers that many distinct sizes and formats.
constexpr uint32_t kModeCopyCapacity = 1024;
struct ModeCopy {
  uint32_t count;
  DisplayMode modes[kModeCopyCapacity];  // refreshRate always 0
};

void clearModeCopy(ModeCopy& copy);
// Adds width × height × format unless already held or the copy is full.
void addModeToCopy(ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format);
// True when the copy holds exactly this mode; format 0 matches nothing.
bool modeCopyHas(const ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format);

// The stored full-screen mode can be shown: the copy holds width × height in
// `format`, or, for a 5-5-5 format, in 5-6-5, which device creation tries
// second. Where it cannot, the saver runs Desktop mode instead.
bool storedModeOffered(const ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format);

// One text of the resolution list, "%d x %d x 16 bpp" or "%d x %d x 32 bpp".
constexpr uint32_t kModeTextCapacity = 32;
struct ModeListEntry {
  char text[kModeTextCapacity];
  uint32_t bits;  // 16 or 32
  uint32_t width, height;
};

// Two entries per candidate size at most.
constexpr uint32_t kModeListCapacity = 2 * kCandidateCount;
struct ModeList {
  uint32_t count;
  ModeListEntry entries[kModeListCapacity];
  int32_t selected;  // entry of the current settings, -1 when none matches
};

// The dialog's list: for each candidate size the 16-bit entry (when the copy
// holds it in mode16Format) then the 32-bit one (mode32Format). `selected`
// marks the entry equal to screenX × screenY at `bpp` bits.
void buildModeList(ModeList& list, const ModeCopy& copy, uint32_t mode16Format,
                   uint32_t mode32Format, uint32_t screenX, uint32_t screenY, uint32_t bpp);

// Writes "<width> x <height> x <bits> bpp" (bits 16 or 32), always terminated.
void formatModeText(char* out, uint32_t capacity, uint32_t width, uint32_t height, uint32_t bits);
