#include "render/display_modes.h"

#include <cstdio>

const ScreenSize candidateResolutions[kCandidateCount] = {
    {1280, 1024}, {1024, 768}, {800, 600}, {640, 480},
    {1024, 1280}, {768, 1024}, {600, 800}, {480, 640},
};

bool refreshScanStep(uint32_t& best, const DisplayMode& mode, uint32_t width, uint32_t height,
                     uint32_t format) {
  if (mode.width != width || mode.height != height || mode.format != format) return true;
  if (mode.refreshRate < best) return true;
  // A fast rate may be one the monitor cannot show; the adapter's default is safer.
  if (mode.refreshRate >= kHighRefreshRate) return false;
  best = mode.refreshRate;
  return true;
}

uint32_t chooseRefreshRate(const DisplayMode* modes, uint32_t count, uint32_t width,
                           uint32_t height, uint32_t format) {
  uint32_t best = 0;
  for (uint32_t i = count; i > 0; --i)
    if (!refreshScanStep(best, modes[i - 1], width, height, format)) break;
  return best;
}

void clearModeCopy(ModeCopy& copy) {
  copy.count = 0;
}

bool modeCopyHas(const ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format) {
  if (format == 0) return false;
  for (uint32_t i = 0; i < copy.count; ++i) {
    const DisplayMode& m = copy.modes[i];
    if (m.width == width && m.height == height && m.format == format) return true;
  }
  return false;
}

void addModeToCopy(ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format) {
  if (copy.count >= kModeCopyCapacity) return;
  for (uint32_t i = 0; i < copy.count; ++i) {
    const DisplayMode& m = copy.modes[i];
    if (m.width == width && m.height == height && m.format == format) return;
  }
  copy.modes[copy.count++] = DisplayMode{width, height, 0, format};
}

void formatModeText(char* out, uint32_t capacity, uint32_t width, uint32_t height, uint32_t bits) {
  if (capacity == 0) return;
  std::snprintf(out, capacity, "%u x %u x %u bpp", width, height, bits);
}

static void addModeEntry(ModeList& list, uint32_t width, uint32_t height, uint32_t bits,
                         uint32_t screenX, uint32_t screenY, uint32_t bpp) {
  if (list.count >= kModeListCapacity) return;
  ModeListEntry& entry = list.entries[list.count];
  formatModeText(entry.text, kModeTextCapacity, width, height, bits);
  entry.bits = bits;
  entry.width = width;
  entry.height = height;
  if (bpp == bits && width == screenX && height == screenY) list.selected = (int32_t)list.count;
  ++list.count;
}

void buildModeList(ModeList& list, const ModeCopy& copy, uint32_t mode16Format,
                   uint32_t mode32Format, uint32_t screenX, uint32_t screenY, uint32_t bpp) {
  list.count = 0;
  list.selected = -1;
  for (const ScreenSize& size : candidateResolutions) {
    if (modeCopyHas(copy, size.width, size.height, mode16Format))
      addModeEntry(list, size.width, size.height, 16, screenX, screenY, bpp);
    if (modeCopyHas(copy, size.width, size.height, mode32Format))
      addModeEntry(list, size.width, size.height, 32, screenX, screenY, bpp);
  }
}

bool storedModeOffered(const ModeCopy& copy, uint32_t width, uint32_t height, uint32_t format) {
  constexpr uint32_t kR5G6B5 = 23, kX1R5G5B5 = 24, kA1R5G5B5 = 25;
  if (modeCopyHas(copy, width, height, format)) return true;
  return (format == kX1R5G5B5 || format == kA1R5G5B5) && modeCopyHas(copy, width, height, kR5G6B5);
}
