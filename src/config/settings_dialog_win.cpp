#include "config/settings_dialog.h"

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG || message == WM_CLOSE) EndDialog(dialog, 0);
  return FALSE;
}
