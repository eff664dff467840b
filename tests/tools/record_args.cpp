// record_args: stands in for a web browser in the end-to-end tests. Appends
// its command line, one line per start, to record_args.txt beside itself.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  char* slash = std::strrchr(path, '\\');
  if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof "record_args.txt" > MAX_PATH)
    return 1;
  std::strcpy(slash + 1, "record_args.txt");
  FILE* out = std::fopen(path, "a");
  if (!out) return 1;
  std::fprintf(out, "%s\n", GetCommandLineA());
  std::fclose(out);
  return 0;
}
