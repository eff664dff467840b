// Start-up: the command-line modes and the common initialisation.
#pragma once
#include <cstdint>

// Reads the command line, fills the host record and runs the chosen mode.
// Returns when the mode has ended; the caller then exits with code 0.
uint32_t runFromCommandLine(const char* windowTitle);

// Module handle, heap, preview flag, random seed from the tick count,
// settings from the registry, current directory from the settings.
// Run by the saver window (with isPreview) and the settings dialog (with 0).
void initCommon(uint32_t isPreview);
