// Scene set-up: camera, flag and light-spot textures, cloth arrays and
// buffers, background quad, device states, font texture, material, timer
// start and wind factor. Does nothing without a device.
#pragma once

// Builds everything the frame draws. When the flag picture cannot be had it
// posts WM_CLOSE to the saver window and builds nothing more.
void buildScene();
