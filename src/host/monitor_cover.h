// Black covers for the monitors the full-screen device does not use (Saver
// mode): one top-most borderless window per monitor, below the saver window,
// whose input ends the saver as the saver window's does. Which monitors get
// one is the plain rule monitorsToCover of window_rules.h.
#pragma once

struct HWND__;

// Makes, moves or destroys covers so that every monitor but the device's has
// exactly one; each new cover is placed just below saverWindow. Changes the
// host's cover fields. With one monitor nothing is made.
void coverOtherMonitors(HWND__* saverWindow);

// Destroys every cover; nothing when there are none.
void destroyCovers();
