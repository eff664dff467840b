// Message boxes through a replaceable hook.
#include "app/messages.h"

#include <windows.h>

int systemMessageBox(HWND__* owner, const char* text, const char* caption, uint32_t type) {
  return MessageBoxA(owner, text, caption, type);
}

MessageFunction messageHook = systemMessageBox;

int showMessage(HWND__* owner, const char* text, const char* caption, uint32_t type) {
  if (messageHook == nullptr) return 0;
  return messageHook(owner, text, caption, type);
}
