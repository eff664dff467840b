// Loading and saving the settings in the registry key
// "Control Panel\Desktop\Brevanto Flags" of the current user.
#pragma once

// Fills app.settings from the registry; absent values keep their field.
void loadSettings();

// Writes app.settings to the registry ("[Directory]" is never written).
void saveSettings();
