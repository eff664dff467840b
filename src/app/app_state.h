// AppState: the one program-wide record, the only global state.
// One nested record per subsystem; each module touches its own part.
// Platform objects are opaque pointers here, so this header stays pure and
// the plain-computation code compiles natively.
#pragma once
#include <cstdint>

#include "app/dialog_state.h"
#include "app/render_state.h"
#include "app/host_state.h"
#include "app/monitor_view.h"
#include "app/settings.h"
#include "sim/simulation.h"

struct AppState {
  HostState host;
  SimState sim;  // lives for the process; the cloth's arrays belong to the scene
  RenderState render;
  Settings settings;
  DialogState dialog;
  MonitorViews views;  // the saver window's first, then (Desktop mode) every other monitor's
};

extern AppState app;

// The run shows Desktop mode: a flag on every monitor, no mode switch. Fixed
// when the saver window starts (the stored choice, or the fallback where the
// stored mode cannot be shown); the preview and the dialog never run it.
inline bool inDesktopMode(const AppState& state) {
  return state.render.screenMode == ScreenMode::Desktop;
}

// Convenience for the many places that test the mode.
inline bool isSaverMode(const AppState& state) {
  return state.host.mode == Saver;
}
