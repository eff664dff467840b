// The system keyboard as a DirectInput 8 device held while the saver runs.
#pragma once

struct HWND__;

void createKeyboard(HWND__* window);  // creates and configures; failures are ignored
void acquireKeyboard();               // acquires the device when it exists
void releaseKeyboard();               // unacquires and releases what exists
