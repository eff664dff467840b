// One frame of a view (update, then draw) and the scene release. Every view,
// the saver window's first, runs the same steps; app.views.views[index].
#pragma once
#include <cstdint>

// Ticks the view's timer and steps its cloth, also while the device is lost;
// the stepped vertices go into the shared vertex buffer when it exists.
// Nothing for a view that is not built.
void updateView(uint32_t index);
// Before the frames of a loop turn, once for every view: while the device is
// lost nothing may draw; once Direct3D allows, the device is reset
// (restoreLostDevice), and a Reset that failed, or a surface or buffer that
// could not be made again, is tried again here. True when the views may draw.
bool readyDeviceForFrames();
// Clears the view's target, draws background, flag and (first view only) the
// overlay, presents; only after readyDeviceForFrames said true, and after the
// view's updateView filled the vertex buffer. A view without its flag, swap
// chain or depth buffer draws nothing.
void drawView(uint32_t index);

// One frame of a view as the loop runs it: updateView, then drawView when
// `deviceReady` (what readyDeviceForFrames said for this turn's frames).
void runViewFrame(uint32_t index, bool deviceReady);

// Releases the scene's objects and every view, the first one last; harmless
// when already released.
void releaseScene();

// Releases every view after the first (surfaces, flag texture, background
// quad, cloth arrays), the device aimed back at its own surfaces first; the
// windows stay the host's.
void releaseMonitorViews();
// Releases the default-pool surfaces of every view (swap chains, depth
// buffers, the first view's hold on the device's own), the device aimed back
// at its own back buffer first: a device reset fails while they live.
void releaseViewSurfaces();
