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

// One converter per Direct3D format code 20 … 30: source pixel 0xAARRGGBB to
// the texel value, of which the low bytesPerPixel bytes are stored, lowest first.
struct PixelFormatEntry {
  uint32_t (*convert)(uint32_t source);
  uint32_t bytesPerPixel;  // 1 … 4
};

enum : uint32_t { kFirstTableFormat = 20, kLastTableFormat = 30 };

// Indexed by format code - 20; channels keep their top bits (no rounding).
extern const PixelFormatEntry pixelFormatTable[kLastTableFormat - kFirstTableFormat + 1];

// The entry for a format code, or null outside 20 … 30.
const PixelFormatEntry* findPixelFormat(uint32_t format);

// Converts width × height bottom-up source pixels into a top-down destination
// whose rows start `pitch` bytes apart (pitch >= width × bytesPerPixel); the
// bytes between a row's last texel and the next row are left untouched.
void copyPixelsTopDown(const uint32_t* source, uint32_t width, uint32_t height,
                       uint8_t* destination, int32_t pitch, const PixelFormatEntry& entry);

// Makes a texture of `format` from a 32-bit Picture into *slot (the caller
// releases it). The picture stays the caller's.
TextureResult textureFromBitmap(IDirect3DDevice8* device, Picture picture, uint32_t format,
                                IDirect3DTexture8** slot);
// The same from width × height bottom-up pixels (0xAARRGGBB); no bit-count check.
TextureResult textureFromPixels(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot);
