// The browser lookup in the registry and its start through the shell.
#include "config/web_link.h"

#include <windows.h>
#include <shellapi.h>

void openWebLink(const char* url) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  char command[kBrowserCommandCapacity];
  DWORD size = sizeof command;
  // The type is not examined: the text is used as it is stored.
  LONG result =
      RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
  RegCloseKey(key);
  // A longer value is refused by the registry (ERROR_MORE_DATA) with the
  // buffer undefined: nothing is started then.
  if (result != ERROR_SUCCESS) return;
  const char* executable = cutBrowserCommand(command, sizeof command, size);
  if (executable == nullptr) return;
  ShellExecuteA(nullptr, "open", executable, url, nullptr, SW_SHOWNORMAL);
}
