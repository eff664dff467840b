// The settings dialog's own texts and addresses, and the pure rules behind its
// controls: reading a resolution entry back, the link picture's hit test.
// The label texts of the template stand beside their ids in resource.h.
#ifndef FLAGS_HOST_DIALOG_RULES_H
#define FLAGS_HOST_DIALOG_RULES_H

#include <cstdint>

#include "app/settings.h"

// The maker's web site: the button's address ends with a slash, the picture's does not.
extern const char kMakerSiteButtonUrl[];   // "https://brevanto-flags.example.org/"
extern const char kMakerSitePictureUrl[];  // "https://brevanto-flags.example.org"

extern const char kDefaultTitle[];  // "Default": title of a dropped picture

// Open-file filter: one name and its pattern, each zero-terminated, then an
// extra terminator. kPictureFilterSize counts every byte.
extern const char kPictureFilter[];
extern const uint32_t kPictureFilterSize;

// A resolution entry read back: "<width> x <height> x <depth> bpp".
struct ResolutionChoice {
  uint32_t width;   // pixels, 1 … kMaxResolutionSide
  uint32_t height;  // pixels, 1 … kMaxResolutionSide
  uint32_t bpp;     // 16 when the depth reads "16", else 32
};

enum : uint32_t {
  kMaxResolutionSide = 65535,  // larger numbers make the entry malformed
};

// Reads at most `capacity` bytes of `text` (stops at its terminator).
// True with `choice` filled for a well-formed entry; false (choice untouched)
// for null, empty, missing " x ", missing digits (sides or depth), zero or
// over-large sides.
bool parseResolutionText(const char* text, uint32_t capacity, ResolutionChoice& choice);

// The resolution list's first entry: no mode switch, a flag on every monitor.
constexpr char kDesktopEntryText[] = "Desktop (all screens)";

// OK's resolution rule: the Desktop entry sets desktopMode and keeps the
// mode; a well-formed mode entry sets screenX, screenY and bpp and clears
// desktopMode; a malformed one (or none, text null) keeps all four. True
// when the entry was taken.
bool applyResolutionText(Settings& settings, const char* text, uint32_t capacity);

// The change interval's entry for `minutes` (one of changeMinuteChoices):
// "never", "every minute", "every hour", else "every N minutes"; the entries
// follow the label "Change the flag". Cut to capacity, always terminated.
void changeChoiceText(char* out, uint32_t capacity, uint32_t minutes);

// A rectangle in the dialog's client coordinates, edges included.
struct ClientRect {
  int32_t left, top, right, bottom;
};

// The mouse position of WM_LBUTTONDOWN / WM_MOUSEMOVE as the link test reads
// it: unsigned low and high words of lParam (0 … 65535 each).
struct MousePoint {
  uint32_t x, y;
};
MousePoint mousePointFromParam(uintptr_t lParam);

// True when the point lies in `rect`, right and bottom edges included.
bool isInsideLink(const ClientRect& rect, MousePoint point);

#endif  // FLAGS_HOST_DIALOG_RULES_H
