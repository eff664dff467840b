// One frame of the saver (update, then draw) and the scene release.
#pragma once

// Ticks the timer, steps the cloth, uploads the vertices, recomputes normals
// (the saver window's flag).
void updateFrame();
// Clears, draws background, flag and overlay, presents; draws nothing while
// the device is lost, and resets it once Direct3D allows (restoreLostDevice).
// In Desktop mode then steps and draws every other monitor's view the same
// way, without the texts, and presents it on its own swap chain.
void drawFrame();
// Releases the scene's objects and cloth arrays, the monitor views first;
// harmless when already released.
void releaseScene();

// Releases every monitor view (surfaces, flag texture, background quad, cloth
// arrays) and empties the list; the windows stay the host's.
void releaseMonitorViews();
// Releases only the default-pool surfaces of the views (swap chains, depth
// buffers, the held saver depth buffer): a device reset fails while they live.
void releaseMonitorSurfaces();
