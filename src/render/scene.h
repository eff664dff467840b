// Scene set-up: camera, flag and light-spot textures, cloth arrays and
// buffers, background quad, device states, font texture, material, timer
// start and wind factor. Does nothing without a device. The plain
// computations it uses are in render/scene_math.h.
#pragma once
#include <cstdint>

#include "render/texture.h"

// Builds everything the frame draws: what the views share, then the first
// view (the saver window or the preview, at the size the device got), then,
// in Desktop mode, one view per monitor window. When the flag picture, a heap
// block, a flag buffer or the light-spot texture cannot be had for the first
// view it posts WM_CLOSE to the saver window and builds nothing more; the
// frame then draws nothing. Without the font texture or the text buffer the
// scene is complete and the overlay draws no texts.
void buildScene();

// Desktop mode: a view for each monitor window of the host after the first
// view, each with its own swap chain, depth buffer, camera aspect, cloth,
// wind, generator, flag texture and background fit. Called by buildScene and
// after a display change; any such views before are released. A view whose
// surfaces cannot be made yet stays black until the frame makes them.
void buildMonitorViews();

// After Direct3D 8 reported D3DERR_DEVICENOTRESET, or while a Reset is
// pending: releases the default-pool surfaces and buffers, resets the device
// (with the pending parameters, else app.render.presentParams), makes them
// again and sets the device states again. False when Reset fails: it stays
// pending, and the frame tries again. Shows no message and ends nothing.
bool restoreLostDevice();

// Desktop mode after a display change: resets the windowed device to a back
// buffer of width × height and fits the first view's camera and background to
// it. True when the device has that size; false when it is not windowed or
// the Reset failed (pending then, as in restoreLostDevice).
bool resizeSaverView(uint32_t width, uint32_t height);

// What a failed Reset may have left missing, made again: the surfaces of
// every view after the first, the flag vertex buffer (and the device states that
// bind it), the text buffer. Each call tries what is still missing.
void remakeViewSurfaces();
bool remakeFlagVertexBuffer();

// The background texture, only when app.render.backgroundPicture exists
// (each view fits its own quad). Returns the texture's result (TextureOk
// when there is no picture); on failure the slot is left null.
TextureResult buildBackground();
