// A stand-in for the 9x password verifier "PASSWORD.CPL". Every call appends
// "call=<n> owner=<hwnd>" to verify_calls.txt beside the DLL; the call is
// accepted from the n-th on, n read from verify_accept_at.txt (default 2:
// refuse the first, accept the second). The library is loaded anew for
// every check, so the count lives in the file.
#include "test_dll_support.h"

#include <cstdint>
#include <cstdlib>

namespace {
const unsigned kDefaultAcceptAt = 2;

unsigned acceptAt() {
  char path[MAX_PATH];
  pathBesideDll("verify_accept_at.txt", path, MAX_PATH);
  FILE* file = fopen(path, "r");
  if (!file) return kDefaultAcceptAt;
  unsigned value = kDefaultAcceptAt;
  if (fscanf(file, "%u", &value) != 1) value = kDefaultAcceptAt;
  fclose(file);
  return value;
}
}  // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND owner) {
  char path[MAX_PATH];
  pathBesideDll("verify_calls.txt", path, MAX_PATH);
  unsigned call = countLines(path) + 1;
  char line[96];
  snprintf(line, sizeof line, "call=%u owner=%llu", call,
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)));
  appendLine(path, line);
  return call >= acceptAt() ? TRUE : FALSE;
}
