#include "host/dialog_rules.h"

#include <cstdio>
#include <cstring>

const char kMakerSiteButtonUrl[] = "https://brevanto-flags.example.org/";
const char kMakerSitePictureUrl[] = "https://brevanto-flags.example.org";

const char kDefaultTitle[] = "Default";

const char kPictureFilter[] =
    "Graphics File (bmp, jpg, gif, png)\0*.bmp;*.gif;*.jpg;*.jpeg;*.png\0";
const uint32_t kPictureFilterSize = sizeof kPictureFilter;

namespace {

const char kSeparator[] = " x ";
const uint32_t kSeparatorLength = sizeof kSeparator - 1;

// A bounded reader over the entry text: never looks past `end` or a terminator.
struct TextCursor {
  const char* at;
  const char* end;
};

bool atEnd(const TextCursor& c) {
  return c.at == c.end || *c.at == 0;
}

// One decimal side: 1 … kMaxResolutionSide, at least one digit.
bool readSide(TextCursor& c, uint32_t& value) {
  uint32_t result = 0;
  uint32_t digits = 0;
  while (!atEnd(c) && *c.at >= '0' && *c.at <= '9') {
    result = result * 10 + uint32_t(*c.at - '0');
    if (result > kMaxResolutionSide) return false;  // also keeps the sum from wrapping
    ++c.at;
    ++digits;
  }
  if (digits == 0 || result == 0) return false;
  value = result;
  return true;
}

bool skipSeparator(TextCursor& c) {
  for (uint32_t i = 0; i < kSeparatorLength; ++i) {
    if (atEnd(c) || *c.at != kSeparator[i]) return false;
    ++c.at;
  }
  return true;
}

}  // namespace

bool parseResolutionText(const char* text, uint32_t capacity, ResolutionChoice& choice) {
  if (text == nullptr || capacity == 0) return false;
  TextCursor c{text, text + capacity};
  ResolutionChoice read{};
  if (!readSide(c, read.width) || !skipSeparator(c)) return false;
  if (!readSide(c, read.height) || !skipSeparator(c)) return false;
  // A depth must be there; only "16" means 16 bits, every other depth is
  // taken as 32, as the list never offers anything but these two.
  if (atEnd(c) || *c.at < '0' || *c.at > '9') return false;
  bool sixteen = !atEnd(c) && c.at[0] == '1' && c.at + 1 != c.end && c.at[1] == '6';
  read.bpp = sixteen ? 16 : 32;
  choice = read;
  return true;
}

bool applyResolutionText(Settings& settings, const char* text, uint32_t capacity) {
  // The whole entry with its terminator must lie within the capacity;
  // strncmp reads no further than the first difference.
  if (text && capacity >= sizeof kDesktopEntryText &&
      std::strncmp(text, kDesktopEntryText, sizeof kDesktopEntryText) == 0) {
    settings.desktopMode = 1;
    return true;
  }
  ResolutionChoice choice;
  if (!parseResolutionText(text, capacity, choice)) return false;
  settings.desktopMode = 0;
  settings.screenX = choice.width;
  settings.screenY = choice.height;
  settings.bpp = choice.bpp;
  return true;
}

void changeChoiceText(char* out, uint32_t capacity, uint32_t minutes) {
  if (capacity == 0) return;
  if (minutes == 0)
    copyText(out, capacity, "never");
  else if (minutes == 1)
    copyText(out, capacity, "every minute");
  else if (minutes == 60)
    copyText(out, capacity, "every hour");
  else
    std::snprintf(out, capacity, "every %u minutes", unsigned(minutes));
}

MousePoint mousePointFromParam(uintptr_t lParam) {
  return MousePoint{uint32_t(lParam & 0xFFFF), uint32_t((lParam >> 16) & 0xFFFF)};
}

bool isInsideLink(const ClientRect& rect, MousePoint point) {
  int64_t x = point.x, y = point.y;
  return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}
