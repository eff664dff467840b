// Opening the maker's web site in the default browser: the program registered
// for "http" is started with the address as its only argument.
#pragma once
#include <cstdint>

enum : uint32_t {
  kBrowserCommandCapacity = 1024,  // bytes of the registry command buffer
};

// Starts the program registered for "http" with `url` as its only argument.
// Nothing is reported when there is none or it cannot be started.
void openWebLink(const char* url);

// Cuts the "http\shell\open\command" value in `command` (capacity bytes, of
// which the registry filled byteCount; it need not be zero-terminated) down
// to the executable: one leading double quote skipped, the text ended right
// after its last ".exe". Terminates and edits `command` in place, never
// touching a byte at or past `capacity`. Returns the executable path inside
// `command`, or null when there is no ".exe" or no text (nothing to start).
const char* cutBrowserCommand(char* command, uint32_t capacity, uint32_t byteCount);
