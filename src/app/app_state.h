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
  MonitorViews monitors;  // Desktop mode: the monitors beside the saver window's
};

extern AppState app;

// Desktop mode as the saver runs it: full-screen Saver mode only; the
// preview and the dialog never draw on other monitors.
inline bool drawsEveryMonitor(const AppState& state) {
  return state.host.mode == Saver && !state.host.isPreview && usesDesktopMode(state.settings);
}

// Convenience for the many places that test the mode.
inline bool isSaverMode(const AppState& state) {
  return state.host.mode == Saver;
}
