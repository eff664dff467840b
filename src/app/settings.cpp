#include "app/settings.h"

#include <cstring>

void copyText(char* field, uint32_t capacity, const char* text) {
  if (capacity == 0) return;
  uint32_t n = 0;
  if (text)
    while (n + 1 < capacity && text[n]) ++n;
  if (n) std::memmove(field, text, n);
  field[n] = 0;
}

void setLoadDefaults(Settings& s) {
  std::memset(&s, 0, sizeof s);
  s.showTime = 1;
  s.showCountry = 1;
  s.screenX = 800;
  s.screenY = 600;
  s.bpp = 16;
  s.pixelFormat = 24;  // D3DFMT_X1R5G5B5
  s.windPower = 50;
  s.randomFlag = 1;
}

void setDialogDefaults(Settings& s) {
  s.screenX = 800;
  s.screenY = 600;
  s.bpp = 16;
  s.desktopMode = 1;  // a new install's mode: today's displays rarely offer the old one
  copyText(s.logoFullPath, kPathCapacity, "");
  copyText(s.backgroundPath, kPathCapacity, "");
  copyText(s.logoTitle, kNameCapacity, "Default");
  copyText(s.backgroundTitle, kNameCapacity, "Default");
  s.useFlagLogo = 0;
  s.useTnL = 0;
  s.showTime = 1;
  s.showFps = 0;
  s.showCountry = 1;
  s.randomFlag = 1;
  s.windPower = 50;
  copyText(s.selectFlag, kNameCapacity, "France - AJ Auxerre");
  s.changeMinutes = 3;
  s.flagRegion = RegionAll;
  s.sameFlag = 0;
}

const uint32_t changeMinuteChoices[kChangeChoiceCount] = {0, 1, 2, 3, 5, 10, 15, 30, 60};

uint32_t changeChoiceIndex(const Settings& s) {
  uint32_t index = 0;
  for (uint32_t i = 1; i < kChangeChoiceCount; ++i)
    if (s.changeMinutes >= int64_t(changeMinuteChoices[i])) index = i;
  return index;
}

uint32_t changeIntervalMinutes(const Settings& s) {
  return changeMinuteChoices[changeChoiceIndex(s)];
}
