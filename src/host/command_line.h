// Reading the command line that the screen-saver machinery passes.
// Pure: works on the text and the tick count only, so it is tested natively.
#pragma once
#include <cstdint>

#include "app/saver_mode.h"

struct CommandLine {
  SaverMode mode;
  uint32_t isPreview;     // 1 only for Preview
  uint32_t parentWindow;  // number after the switch, 0 when none
};

// Scans from the end: the right-most switch ("-x" or "/x", x in C P A S in
// either case) or backslash wins. No switch and no backslash gives Config.
// Never reads before `text` or past its terminator; `text` may be null.
CommandLine scanCommandLine(const char* text);

// Unsigned decimal at `text`, modulo 2^32; stops at the first non-digit.
uint32_t parseDecimal(const char* text);

// The two seeds of the random generator derived from the tick count (ms).
struct RandomSeed {
  uint32_t ij;  // (ticks >> 16) & 0x3FFF
  uint32_t kl;  // ticks & 0x3573, a bit mask, not a remainder
};
RandomSeed seedFromTickCount(uint32_t ticks);
