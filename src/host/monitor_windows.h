// The windows of the monitors beside the saver window's (Saver mode): one
// top-most borderless tool window per monitor, below the saver window, whose
// input ends the saver as the saver window's does. In the exclusive modes
// they are black covers; in Desktop mode each shows its own flag (class
// "Brevanto Flags Monitor"). Which monitors get one is the plain rule
// otherMonitorAreas of window_rules.h.
#pragma once

struct HWND__;

// Makes, moves or destroys the other monitors' windows so that every monitor
// but the device's has exactly one, of the class the run's mode gives; each
// new one is placed just below saverWindow. Changes the host's monitorWindow
// fields. With one monitor nothing is made.
void placeMonitorWindows(HWND__* saverWindow);

// Destroys every such window; nothing when there are none.
void destroyMonitorWindows();
