// Scene set-up: camera, flag and light-spot textures, cloth arrays and
// buffers, background quad, device states, font texture, material, timer
// start and wind factor. Does nothing without a device. The plain
// computations it uses are in render/scene_math.h.
#pragma once
#include <cstdint>

#include "app/host_state.h"
#include "render/texture.h"

struct HWND__;

// Builds everything the frame draws: what the views share, then the first
// view (the saver window or the preview, at the size the device got). When
// the flag picture, a heap block, a flag buffer or the light-spot texture
// cannot be had for the first view it posts WM_CLOSE to the saver window and
// builds nothing more; the frame then draws nothing. When the saver was
// ended while a message of the flag choice was up, it builds nothing more
// and posts nothing. Without the font texture or the text buffer the scene is
// complete and the overlay draws no texts.
void buildScene();

// Desktop mode, once the scene is built: a view after the first for each of
// the `count` windows given, at its rectangle's size (virtual-screen
// pixels), each with its own swap chain, depth buffer, camera aspect, cloth,
// wind, generator, flag texture and background fit. Any such views before
// are released. A view whose surfaces cannot be made yet stays black until
// the frame makes them. The host says which windows.
void buildMonitorViews(HWND__* const* windows, const ScreenRect* rects, uint32_t count);

// After Direct3D 8 reported D3DERR_DEVICENOTRESET, or while a Reset is
// pending: releases the default-pool surfaces and buffers, resets the device
// (with the pending parameters, else app.render.presentParams; after
// kRefusalsBeforeFallback refusals in a row, with the latter, the last that
// worked), makes them again and sets the device states again. False when
// Reset fails: it stays pending, and the frame tries again. Shows no message
// and ends nothing.
bool restoreLostDevice();

// Desktop mode after a display change: resets the windowed device to a back
// buffer of width × height and fits the first view's camera and background to
// it. True when the device has that size; false when it is not windowed or
// the Reset failed (pending then, as in restoreLostDevice).
bool resizeSaverView(uint32_t width, uint32_t height);

// Gives up multisampling (a Reset without it, every swap chain and depth
// buffer made again to match) and anisotropic filtering for the rest of the
// run; later devices and Resets are made without them too. Harmless twice.
void dropRenderExtras();

// What a failed Reset may have left missing, made again: the surfaces of
// every view, the flag vertex buffer (and the device states that
// bind it), the text buffer. Each call tries what is still missing.
void remakeViewSurfaces();
bool remakeFlagVertexBuffer();

// The background texture, only when app.render.backgroundPicture exists
// (each view fits its own quad). Returns the texture's result (TextureOk
// when there is no picture); on failure the slot is left null.
TextureResult buildBackground();
