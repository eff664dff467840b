// Scene set-up: camera, flag and light-spot textures, cloth arrays and
// buffers, background quad, device states, font texture, material, timer
// start and wind factor. Does nothing without a device. The plain
// computations it uses are in render/scene_math.h.
#pragma once

#include "render/texture.h"

// Builds everything the frame draws. When the flag picture, a heap block, a
// flag buffer or the light-spot texture cannot be had it posts WM_CLOSE to
// the saver window and builds nothing more; the frame then draws nothing.
// Without the font texture or the text buffer the scene is complete and the
// overlay draws no texts.
void buildScene();

// After Direct3D 8 reported D3DERR_DEVICENOTRESET: releases the default-pool
// buffers, resets the device with app.render.presentParams (a windowed one in
// the desktop's current format), makes the buffers again and sets the scene's
// device states again. False when Reset fails (the buffers stay released; a
// later call tries again); a flag vertex buffer it cannot make again posts
// WM_CLOSE as buildScene does. Shows no message.
bool restoreLostDevice();

// The background quad (fitted to a user picture) and its texture, both only
// when app.render.backgroundPicture exists. Returns the texture's result
// (TextureOk when there is no picture); on failure both slots are left null.
TextureResult buildBackground();
