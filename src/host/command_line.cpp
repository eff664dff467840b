#include "host/command_line.h"

namespace {

// Folding clears bit 1 of the first character ("/" becomes "-") and bit 5 of
// the second (lower case becomes upper case); nothing else folds onto these.
bool foldedSwitch(char first, char second, SaverMode* mode) {
  if ((static_cast<unsigned char>(first) & ~0x02u) != '-') return false;
  switch (static_cast<unsigned char>(second) & ~0x20u) {
    case 'C':
      *mode = Config;
      return true;
    case 'P':
      *mode = Preview;
      return true;
    case 'A':
      *mode = ChangePassword;
      return true;
    case 'S':
      *mode = Saver;
      return true;
    default:
      return false;
  }
}

bool isWindowNumberSeparator(char c) {
  return c == ':' || c == ' ' || c == '"';
}

}  // namespace

uint32_t parseDecimal(const char* text) {
  uint32_t value = 0;
  for (; text && *text >= '0' && *text <= '9'; ++text)
    value = value * 10u + static_cast<uint32_t>(*text - '0');
  return value;
}

CommandLine scanCommandLine(const char* text) {
  CommandLine result{Config, 0, 0};
  if (!text) return result;
  long length = 0;
  while (text[length]) ++length;

  for (long i = length - 1; i >= 0; --i) {
    if (text[i] == '\\') return result;  // a path with no switch after it
    SaverMode mode;
    // text[i + 1] is at most the terminator, so the pair is always readable.
    if (!foldedSwitch(text[i], text[i + 1], &mode)) continue;
    result.mode = mode;
    result.isPreview = (mode == Preview) ? 1 : 0;
    const char* number = text + i + 2;
    while (*number && isWindowNumberSeparator(*number)) ++number;
    result.parentWindow = parseDecimal(number);
    return result;
  }
  return result;
}

RandomSeed seedFromTickCount(uint32_t ticks) {
  return RandomSeed{(ticks >> 16) & 0x3FFFu, ticks & 0x3573u};
}
