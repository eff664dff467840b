// AppState: the one program-wide record, the only global state.
// One nested record per subsystem; each module touches its own part.
// Platform objects are opaque pointers here, so this header stays pure and
// the plain-computation code compiles natively.
#pragma once
#include <cstdint>

#include "app/dialog_state.h"
#include "app/render_state.h"
#include "app/host_state.h"
#include "app/settings.h"
#include "sim/simulation.h"

struct AppState {
  HostState host;
  SimState sim;  // lives for the process; the cloth's arrays belong to the scene
  RenderState render;
  Settings settings;
  DialogState dialog;
};

extern AppState app;

// Convenience for the many places that test the mode.
inline bool isSaverMode(const AppState& state) {
  return state.host.mode == Saver;
}
