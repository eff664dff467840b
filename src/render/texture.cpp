#include "render/texture.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

static uint32_t channelA(uint32_t p) {
  return p >> 24;
}
static uint32_t channelR(uint32_t p) {
  return (p >> 16) & 0xFF;
}
static uint32_t channelG(uint32_t p) {
  return (p >> 8) & 0xFF;
}
static uint32_t channelB(uint32_t p) {
  return p & 0xFF;
}

static uint32_t clearAlpha(uint32_t p) {
  return p & 0x00FFFFFF;
}
static uint32_t identity(uint32_t p) {
  return p;
}
static uint32_t toR5G6B5(uint32_t p) {
  return (channelR(p) >> 3) << 11 | (channelG(p) >> 2) << 5 | channelB(p) >> 3;
}
static uint32_t toX1R5G5B5(uint32_t p) {
  return (channelR(p) >> 3) << 10 | (channelG(p) >> 3) << 5 | channelB(p) >> 3;
}
static uint32_t toA1R5G5B5(uint32_t p) {
  return (channelA(p) >> 7) << 15 | toX1R5G5B5(p);
}
static uint32_t toX4R4G4B4(uint32_t p) {
  return (channelR(p) >> 4) << 8 | (channelG(p) >> 4) << 4 | channelB(p) >> 4;
}
static uint32_t toA4R4G4B4(uint32_t p) {
  return (channelA(p) >> 4) << 12 | toX4R4G4B4(p);
}
static uint32_t toR3G3B2(uint32_t p) {
  return (channelR(p) >> 5) << 5 | (channelG(p) >> 5) << 2 | channelB(p) >> 6;
}
static uint32_t toA8(uint32_t p) {
  return channelA(p);
}
static uint32_t toA8R3G3B2(uint32_t p) {
  return channelA(p) << 8 | toR3G3B2(p);
}

const PixelFormatEntry pixelFormatTable[kLastTableFormat - kFirstTableFormat + 1] = {
    {clearAlpha, 3},  // 20 D3DFMT_R8G8B8
    {identity, 4},    // 21 D3DFMT_A8R8G8B8
    {clearAlpha, 4},  // 22 D3DFMT_X8R8G8B8
    {toR5G6B5, 2},    // 23 D3DFMT_R5G6B5
    {toX1R5G5B5, 2},  // 24 D3DFMT_X1R5G5B5
    {toA1R5G5B5, 2},  // 25 D3DFMT_A1R5G5B5
    {toA4R4G4B4, 2},  // 26 D3DFMT_A4R4G4B4
    {toR3G3B2, 1},    // 27 D3DFMT_R3G3B2
    {toA8, 1},        // 28 D3DFMT_A8
    {toA8R3G3B2, 2},  // 29 D3DFMT_A8R3G3B2
    {toX4R4G4B4, 2},  // 30 D3DFMT_X4R4G4B4
};

const PixelFormatEntry* findPixelFormat(uint32_t format) {
  if (format < kFirstTableFormat || format > kLastTableFormat) return nullptr;
  return &pixelFormatTable[format - kFirstTableFormat];
}

void copyPixelsTopDown(const uint32_t* source, uint32_t width, uint32_t height,
                       uint8_t* destination, int32_t pitch, const PixelFormatEntry& entry) {
  if (width == 0 || height == 0) return;
  for (uint32_t y = 0; y < height; ++y) {
    // The source's last row in memory is the image's top row.
    const uint32_t* sourceRow = source + size_t(height - 1 - y) * width;
    uint8_t* texel = destination;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t value = entry.convert(sourceRow[x]);
      for (uint32_t b = 0; b < entry.bytesPerPixel; ++b) *texel++ = uint8_t(value >> (8 * b));
    }
    destination += pitch;
  }
}

uint32_t mipLevelCount(uint32_t width, uint32_t height) {
  uint32_t side = width > height ? width : height;
  uint32_t levels = 1;
  while (side > 1 && levels < kMaxMipLevels) {
    side >>= 1;
    ++levels;
  }
  return levels;
}

bool buildMipChain(const uint32_t* source, uint32_t width, uint32_t height, MipChain& chain) {
  chain = MipChain{};
  if (!source || width == 0 || height == 0) return false;
  uint32_t levels = mipLevelCount(width, height);
  size_t total = 0;
  for (uint32_t i = 0; i < levels; ++i) {
    chain.width[i] = width >> i ? width >> i : 1;
    chain.height[i] = height >> i ? height >> i : 1;
    chain.offset[i] = total;
    total += size_t(chain.width[i]) * chain.height[i];
  }
  chain.pixels = static_cast<uint32_t*>(std::malloc(total * sizeof(uint32_t)));
  if (!chain.pixels) return false;
  chain.levels = levels;
  std::memcpy(chain.pixels, source, size_t(width) * height * sizeof(uint32_t));
  for (uint32_t i = 1; i < levels; ++i)
    averagePixels(chain.pixels + chain.offset[i - 1], int32_t(chain.width[i - 1]),
                  int32_t(chain.height[i - 1]), chain.pixels + chain.offset[i],
                  int32_t(chain.width[i]), int32_t(chain.height[i]));
  return true;
}

void singleLevelChain(const uint32_t* source, uint32_t width, uint32_t height, MipChain& chain) {
  chain = MipChain{};
  chain.pixels = const_cast<uint32_t*>(source);
  chain.borrowed = true;
  chain.levels = 1;
  chain.width[0] = width;
  chain.height[0] = height;
}

const uint32_t* mipLevelPixels(const MipChain& chain, uint32_t level) {
  return chain.pixels + chain.offset[level];
}

void freeMipChain(MipChain& chain) {
  if (!chain.borrowed) std::free(chain.pixels);
  chain = MipChain{};
}
