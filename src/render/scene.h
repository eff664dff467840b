// Scene set-up: camera, flag and light-spot textures, cloth arrays and
// buffers, background quad, device states, font texture, material, timer
// start and wind factor. Does nothing without a device. The plain
// computations it uses are in render/scene_math.h.
#pragma once
#include <cstdint>

#include "render/texture.h"

// Builds everything the frame draws. When the flag picture, a heap block, a
// flag buffer or the light-spot texture cannot be had it posts WM_CLOSE to
// the saver window and builds nothing more; the frame then draws nothing.
// Without the font texture or the text buffer the scene is complete and the
// overlay draws no texts.
void buildScene();

// Desktop mode: one MonitorView per monitor window of the host (not the saver
// window's monitor, which the scene itself draws), each with its own swap
// chain, depth buffer, camera aspect, cloth, wind, generator, flag texture
// and background fit. Called by buildScene; any views before are released.
// Builds nothing outside Desktop mode. A view whose surfaces cannot be made
// draws nothing; its window stays black.
void buildMonitorViews();

// After Direct3D 8 reported D3DERR_DEVICENOTRESET: releases the default-pool
// buffers, resets the device with app.render.presentParams (a windowed one in
// the desktop's current format), makes the buffers again and sets the scene's
// device states again. False when Reset fails (the buffers stay released; a
// later call tries again); a flag vertex buffer it cannot make again posts
// WM_CLOSE as buildScene does. Shows no message.
bool restoreLostDevice();

// Desktop mode after a display change: resets the windowed device to a back
// buffer of width × height and fits the camera and the background to it.
// True when the device has that size; false when it is not windowed or the
// reset failed (it then keeps its old size, or the close request is posted
// when it cannot even have that).
bool resizeSaverView(uint32_t width, uint32_t height);

// The background quad (fitted to a user picture) and its texture, both only
// when app.render.backgroundPicture exists. Returns the texture's result
// (TextureOk when there is no picture); on failure both slots are left null.
TextureResult buildBackground();
