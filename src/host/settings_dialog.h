// The settings dialog "CONFIG" (Config mode): works on app.settings, writes
// the registry on OK, on "Default" and when a chosen picture file decodes.
#pragma once
#include <windows.h>

#include <cstdint>

// Dialog procedure; returns FALSE for every message, WM_INITDIALOG included.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Fills the resolution list from listDisplayModes and selects the current
// settings' entry; 1 when a 16- or 32-bit full-screen format exists, else 0
// (the list stays empty).
uint32_t fillResolutionList();

// Takes the handles of the resolution list, the flag list, "Use TnL" and the
// link picture into app.dialog.
void cacheDialogControls(HWND dialog);

// Puts app.settings into the controls (radio buttons, enabling, titles, check
// boxes, trackbar, the change interval and the region) and focuses Cancel.
// Clears useTnL when the adapter has no hardware transform and lighting. The
// resolution and flag lists' selections are not touched.
void showSettingsInDialog(HWND dialog);

// Takes the check boxes, the trackbar, the change interval, the region, the
// selected resolution and the selected flag back into app.settings; no selection (or a malformed
// resolution entry) keeps the fields it would set.
void readDialogControls(HWND dialog);
