// One frame of the saver (update, then draw) and the scene release.
#pragma once
#include <cstdint>

// Ticks the timer, steps the cloth, uploads the vertices, recomputes normals
// (the saver window's flag).
void updateFrame();
// Clears, draws background, flag and overlay, presents; draws nothing while
// the device is lost, and resets it once Direct3D allows (restoreLostDevice).
void drawFrame();
// Desktop mode: one frame of another monitor's view (app.monitors.views[index])
// by the same steps, without the texts, presented on its own swap chain.
// Nothing for a view or scene that is not complete, or while the device is lost.
void drawMonitorFrame(uint32_t index);
// Releases the scene's objects and cloth arrays, the monitor views first;
// harmless when already released.
void releaseScene();

// Releases every monitor view (surfaces, flag texture, background quad, cloth
// arrays) and empties the list; the windows stay the host's.
void releaseMonitorViews();
// Releases only the default-pool surfaces of the views (swap chains, depth
// buffers, the held saver depth buffer): a device reset fails while they live.
void releaseMonitorSurfaces();
