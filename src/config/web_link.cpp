#include "config/web_link.h"

namespace {

const char kExecutableEnding[] = ".exe";
const uint32_t kExecutableEndingLength = sizeof kExecutableEnding - 1;

uint32_t boundedLength(const char* text, uint32_t limit) {
  uint32_t n = 0;
  while (n < limit && text[n]) ++n;
  return n;
}

bool endingAt(const char* text, uint32_t position) {
  for (uint32_t i = 0; i < kExecutableEndingLength; ++i)
    if (text[position + i] != kExecutableEnding[i]) return false;
  return true;
}

}  // namespace

const char* cutBrowserCommand(char* command, uint32_t capacity, uint32_t byteCount) {
  if (command == nullptr || capacity == 0) return nullptr;
  // The registry hands back the stored bytes as they are; a value written
  // without a terminator (or a count beyond the buffer) must not run on.
  uint32_t filled = byteCount < capacity ? byteCount : capacity - 1;
  command[filled] = 0;
  char* path = command;
  if (*path == '"') ++path;
  uint32_t length = boundedLength(path, filled);
  if (length < kExecutableEndingLength) return nullptr;
  // The last ".exe" ends the executable's name; earlier ones belong to folders.
  for (uint32_t start = length - kExecutableEndingLength + 1; start-- > 0;) {
    if (endingAt(path, start)) {
      path[start + kExecutableEndingLength] = 0;
      return path;
    }
  }
  return nullptr;
}
