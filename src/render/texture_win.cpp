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

static TextureResult fillTexture(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                 uint32_t height, uint32_t format, IDirect3DTexture8** slot) {
  if (FAILED(device->CreateTexture(width, height, 1, 0, static_cast<D3DFORMAT>(format),
                                   D3DPOOL_MANAGED, slot)) ||
      !*slot)
    return TextureCreateFailed;
  IDirect3DTexture8* texture = *slot;
  D3DLOCKED_RECT locked;
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return TextureLockFailed;
  const PixelFormatEntry* entry = findPixelFormat(format);
  if (!entry) {
    // Not left locked: the scene's teardown releases whatever the slot holds.
    texture->UnlockRect(0);
    return TextureBadFormat;
  }
  copyPixelsTopDown(pixels, width, height, static_cast<uint8_t*>(locked.pBits), locked.Pitch,
                    *entry);
  texture->UnlockRect(0);
  return TextureOk;
}

TextureResult textureFromBitmap(IDirect3DDevice8* device, Picture picture, uint32_t format,
                                IDirect3DTexture8** slot) {
  if (!device) return TextureNoDevice;
  DIBSECTION section;
  std::memset(&section, 0, sizeof section);
  GetObjectA(picture, sizeof section, &section);
  const BITMAPINFOHEADER& header = section.dsBmih;
  // Only a 32-bit DIB section has the layout the copy walks; a negative
  // height, should GDI ever report one, would send it before the pixels.
  if (header.biBitCount != 32 || header.biWidth <= 0 || header.biHeight <= 0 ||
      !section.dsBm.bmBits)
    return TextureNot32Bit;
  return fillTexture(device, static_cast<const uint32_t*>(section.dsBm.bmBits),
                     uint32_t(header.biWidth), uint32_t(header.biHeight), format, slot);
}

TextureResult textureFromPixels(IDirect3DDevice8* device, const uint32_t* pixels, uint32_t width,
                                uint32_t height, uint32_t format, IDirect3DTexture8** slot) {
  if (!device) return TextureNoDevice;
  return fillTexture(device, pixels, width, height, format, slot);
}
