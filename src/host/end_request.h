// Ending the saver: the end request and the password check.
#pragma once
#include <cstdint>

// Suspends rendering, verifies the password where one is required, then
// closes the saver or resumes it. Does nothing while a check runs or after
// the end was granted.
void requestEnd();

// Non-zero when the saver may end (no password required, or accepted).
uint32_t verifyPassword();
