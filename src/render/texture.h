// Textures from 32-bit pixels: a bottom-up source (a Picture or a pixel
// array) becomes a managed texture with a full chain of mip levels, top row
// first, in any of the eleven formats of pixelFormatTable. A device that
// refuses the picture's size gets it halved, step by step.
#pragma once
#include <cstddef>
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

// Levels of a full mip chain down to 1 × 1 for a width × height picture
// (1 for a side of 0); at most kMaxMipLevels.
constexpr uint32_t kMaxMipLevels = 32;
uint32_t mipLevelCount(uint32_t width, uint32_t height);

// A picture's pixels with every mip level below them in one block: the top
// level the source's own (bottom-up, as the source), each next one the mean
// of the one above (averagePixels), halved down to 1 × 1. Plain memory, made
// apart from any device: a decode thread may make it.
struct MipChain {
  uint32_t* pixels;  // owned unless `borrowed`
  bool borrowed;
  uint32_t levels;   // 0: empty
  uint32_t width[kMaxMipLevels], height[kMaxMipLevels];
  size_t offset[kMaxMipLevels];  // of each level, in pixels
};
// False, with the chain empty, when the memory cannot be had or a side is 0.
bool buildMipChain(const uint32_t* source, uint32_t width, uint32_t height, MipChain& chain);
// The source alone as a one-level chain that borrows its pixels.
void singleLevelChain(const uint32_t* source, uint32_t width, uint32_t height, MipChain& chain);
const uint32_t* mipLevelPixels(const MipChain& chain, uint32_t level);
// Frees what the chain owns and empties it; harmless twice.
void freeMipChain(MipChain& chain);

// Makes a texture of `format` from a 32-bit Picture into *slot (the caller
// releases it). The picture stays the caller's.
TextureResult textureFromBitmap(IDirect3DDevice8* device, Picture picture, uint32_t format,
                                IDirect3DTexture8** slot);
// The same from width × height bottom-up pixels (0xAARRGGBB); no bit-count check.
TextureResult textureFromPixels(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot);
// The chain of a 32-bit Picture (as textureFromBitmap takes), on any thread.
bool mipChainFromBitmap(Picture picture, MipChain& chain);
// A texture of the chain: the largest of its levels the device takes, with
// every level below it.
TextureResult textureFromMipChain(IDirect3DDevice8* device, const MipChain& chain, uint32_t format,
                                  IDirect3DTexture8** slot);
