// Shared by the test DLLs: a record file beside the DLL itself, so each test
// reads what the program under test did with the library.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>

// Path of `name` in the folder that holds the DLL containing this code.
inline void pathBesideDll(const char* name, char* path, DWORD capacity) {
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&pathBesideDll), &self);
  DWORD length = GetModuleFileNameA(self, path, capacity);
  char* slash = strrchr(path, '\\');
  if (length == 0 || !slash || static_cast<DWORD>(slash - path) + strlen(name) + 2 > capacity) {
    path[0] = '\0';
    return;
  }
  strcpy(slash + 1, name);
}

// Lines in the file (0 when it does not exist).
inline unsigned countLines(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return 0;
  unsigned lines = 0;
  for (int c; (c = fgetc(file)) != EOF;)
    if (c == '\n') ++lines;
  fclose(file);
  return lines;
}

inline void appendLine(const char* path, const char* line) {
  FILE* file = fopen(path, "a");
  if (!file) return;
  fputs(line, file);
  fputc('\n', file);
  fclose(file);
}
