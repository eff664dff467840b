// One frame of the saver (update, then draw) and the scene release.
#pragma once

// Ticks the timer, steps the cloth, uploads the vertices, recomputes normals.
void updateFrame();
// Clears, draws background, flag and overlay, presents; draws nothing while
// the device is lost, and resets it once Direct3D allows (restoreLostDevice).
void drawFrame();
// Releases the scene's objects and cloth arrays; harmless when already released.
void releaseScene();
