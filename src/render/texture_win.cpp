// Textures from 32-bit pixels on a Direct3D 8 device.
#include <windows.h>
#include <d3d8.h>

#include <cstddef>
#include <cstring>

#include "app/render_state.h"
#include "render/texture.h"

// The scene's material is handed to SetMaterial as it stands.
static_assert(sizeof(SceneMaterial) == sizeof(D3DMATERIAL8), "SceneMaterial size");
static_assert(offsetof(SceneMaterial, diffuse) == offsetof(D3DMATERIAL8, Diffuse) &&
                  offsetof(SceneMaterial, ambient) == offsetof(D3DMATERIAL8, Ambient) &&
                  offsetof(SceneMaterial, specular) == offsetof(D3DMATERIAL8, Specular) &&
                  offsetof(SceneMaterial, emissive) == offsetof(D3DMATERIAL8, Emissive) &&
                  offsetof(SceneMaterial, power) == offsetof(D3DMATERIAL8, Power),
              "SceneMaterial layout");

static_assert(uint32_t(D3DFMT_R8G8B8) == kFirstTableFormat &&
                  uint32_t(D3DFMT_X4R4G4B4) == kLastTableFormat,
              "pixelFormatTable covers the Direct3D codes 20 … 30");

namespace {

// The largest texture the device will make of the chain: a device out of
// video memory, or one whose limit is below the picture, gets the next
// level's size, down to a single texel, rather than no picture at all.
// Returns the chain level the texture's top level holds.
int32_t createLargestTexture(IDirect3DDevice8* device, const MipChain& chain, uint32_t format,
                             IDirect3DTexture8** slot) {
  for (uint32_t top = 0; top < chain.levels; ++top) {
    *slot = nullptr;
    if (SUCCEEDED(device->CreateTexture(chain.width[top], chain.height[top], chain.levels - top, 0,
                                        static_cast<D3DFORMAT>(format), D3DPOOL_MANAGED, slot)) &&
        *slot)
      return int32_t(top);
  }
  *slot = nullptr;
  return -1;
}

TextureResult fillTexture(IDirect3DDevice8* device, const MipChain& chain, uint32_t format,
                          IDirect3DTexture8** slot) {
  int32_t top = createLargestTexture(device, chain, format, slot);
  if (top < 0) return TextureCreateFailed;
  IDirect3DTexture8* texture = *slot;
  const PixelFormatEntry* entry = findPixelFormat(format);
  for (uint32_t level = 0; level + uint32_t(top) < chain.levels; ++level) {
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return TextureLockFailed;
    if (!entry) {
      // Not left locked: the scene's teardown releases whatever the slot holds.
      texture->UnlockRect(level);
      return TextureBadFormat;
    }
    uint32_t source = level + uint32_t(top);
    copyPixelsTopDown(mipLevelPixels(chain, source), chain.width[source], chain.height[source],
                      static_cast<uint8_t*>(locked.pBits), locked.Pitch, *entry);
    texture->UnlockRect(level);
  }
  return TextureOk;
}

TextureResult textureFromSource(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot) {
  MipChain chain = {};
  if (!buildMipChain(pixels, width, height, chain)) singleLevelChain(pixels, width, height, chain);
  TextureResult result = fillTexture(device, chain, format, slot);
  freeMipChain(chain);
  return result;
}

// The DIB section's pixels, or null when it has not the layout the copy
// walks: only 32 bits per pixel, bottom-up (a negative height, should GDI
// ever report one, would send the copy before the pixels).
const uint32_t* bitmapPixels(Picture picture, uint32_t& width, uint32_t& height) {
  DIBSECTION section;
  std::memset(&section, 0, sizeof section);
  GetObjectA(picture, sizeof section, &section);
  const BITMAPINFOHEADER& header = section.dsBmih;
  if (header.biBitCount != 32 || header.biWidth <= 0 || header.biHeight <= 0 ||
      !section.dsBm.bmBits)
    return nullptr;
  width = uint32_t(header.biWidth);
  height = uint32_t(header.biHeight);
  return static_cast<const uint32_t*>(section.dsBm.bmBits);
}

}  // namespace

TextureResult textureFromBitmap(IDirect3DDevice8* device, Picture picture, uint32_t format,
                                IDirect3DTexture8** slot) {
  if (!device) return TextureNoDevice;
  uint32_t width = 0, height = 0;
  const uint32_t* pixels = bitmapPixels(picture, width, height);
  if (!pixels) return TextureNot32Bit;
  return textureFromSource(device, pixels, width, height, format, slot);
}

TextureResult textureFromPixels(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot) {
  if (!device) return TextureNoDevice;
  return textureFromSource(device, pixels, width, height, format, slot);
}

bool mipChainFromBitmap(Picture picture, MipChain& chain) {
  uint32_t width = 0, height = 0;
  const uint32_t* pixels = bitmapPixels(picture, width, height);
  return pixels && buildMipChain(pixels, width, height, chain);
}

TextureResult textureFromMipChain(IDirect3DDevice8* device, const MipChain& chain, uint32_t format,
                                  IDirect3DTexture8** slot) {
  if (!device) return TextureNoDevice;
  if (chain.levels == 0) return TextureNot32Bit;
  return fillTexture(device, chain, format, slot);
}
