#include "host/saver_window.h"

#include <windows.h>

#include "host/startup.h"
#include "host/app_state.h"

uint32_t runSaverWindow(HWND__*) {
  initCommon(app.host.isPreview);
  return 0;
}
