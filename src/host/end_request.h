// Ending the saver: the end request and the password check. The rules
// themselves (and the mouse rule) are plain computation in window_rules.h;
// these bind them to the registry, "PASSWORD.CPL" and the saver window.
#pragma once
#include <cstdint>

// Suspends rendering, verifies the password where one is required, then
// closes the saver or resumes it. Does nothing while a check runs or after
// the end was granted.
void requestEnd();

// Non-zero when the saver may end (no password required, or accepted).
uint32_t verifyPassword();

// SPI_SETSCREENSAVERRUNNING on (1) or off (0); the previous state is not read.
void setScreenSaverRunning(uint32_t running);
