// Textures from 32-bit pixels: a bottom-up source (a Picture or a pixel
// array) becomes a one-level managed texture, top row first, in any of the
// eleven formats of pixelFormatTable.
#pragma once
#include <cstdint>

#include "config/picture.h"

struct IDirect3DDevice8;
struct IDirect3DTexture8;

enum TextureResult : uint32_t {
  TextureOk = 1,
  TextureCreateFailed = 0x8001,
  TextureLockFailed = 0x8002,
  TextureNot32Bit = 0x8003,
  TextureBadFormat = 0x8004,
  TextureNoDevice = 0x8006,
};

// Makes a texture of `format` from a 32-bit Picture into *slot (the caller
// releases it). The picture stays the caller's.
TextureResult textureFromBitmap(IDirect3DDevice8* device, Picture picture, uint32_t format,
                                IDirect3DTexture8** slot);
// The same from width × height bottom-up pixels (0xAARRGGBB); no bit-count check.
TextureResult textureFromPixels(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot);
