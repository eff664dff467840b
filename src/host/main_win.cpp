// Program entry of the screen saver.
#include <windows.h>

#include "host/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  runFromCommandLine("Brevanto Flags Screensaver");
  ExitProcess(0);
}
