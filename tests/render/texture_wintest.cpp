// Textures on a real Direct3D 8 device under Wine, read back through LockRect.
#include <windows.h>
#include <d3d8.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/texture.h"
#include "win_test_support.h"

namespace {

const uint32_t kWidth = 4, kHeight = 3;

// Bottom-up source: row 0 in memory is the image's bottom row.
std::vector<uint32_t> sourcePixels() {
  std::vector<uint32_t> pixels(kWidth * kHeight);
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x)
      pixels[y * kWidth + x] = 0x80000000u | (y * 0x50u) << 16 | (x * 0x40u) << 8 | 0x33u * (x + y);
  return pixels;
}

// Compares the texture's level 0 with the source, top row first.
void expectTexels(IDirect3DTexture8* texture, uint32_t format, const std::vector<uint32_t>& source,
                  const char* what) {
  ASSERT_NE(nullptr, texture) << what;
  D3DSURFACE_DESC desc;
  ASSERT_EQ(D3D_OK, texture->GetLevelDesc(0, &desc)) << what;
  EXPECT_EQ(format, uint32_t(desc.Format)) << what;
  EXPECT_EQ(kWidth, desc.Width) << what;
  EXPECT_EQ(kHeight, desc.Height) << what;
  // Every level down to 1 × 1; the last is the mean of the one above it.
  ASSERT_EQ(3u, texture->GetLevelCount()) << what;
  uint32_t half[2], last = 0;
  averagePixels(source.data(), kWidth, kHeight, half, 2, 1);
  averagePixels(half, 2, 1, &last, 1, 1);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(D3D_OK, texture->LockRect(2, &locked, nullptr, D3DLOCK_READONLY)) << what;
  const PixelFormatEntry& entry = *findPixelFormat(format);
  uint32_t smallest = 0;
  std::memcpy(&smallest, locked.pBits, entry.bytesPerPixel);
  EXPECT_EQ(entry.convert(last), smallest) << what << ": 1 x 1 level";
  texture->UnlockRect(2);
  ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)) << what;
  for (uint32_t row = 0; row < kHeight; ++row) {
    const uint8_t* texel = static_cast<const uint8_t*>(locked.pBits) + row * locked.Pitch;
    for (uint32_t x = 0; x < kWidth; ++x) {
      uint32_t value = 0;
      std::memcpy(&value, texel + x * entry.bytesPerPixel, entry.bytesPerPixel);
      uint32_t want = entry.convert(source[(kHeight - 1 - row) * kWidth + x]);
      EXPECT_EQ(want, value) << what << " row " << row << " x " << x;
    }
  }
  texture->UnlockRect(0);
}

HBITMAP dibSection(int bitCount, int width, int height, const void* pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(bitCount);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && pixels)
    std::memcpy(bits, pixels, size_t(width) * 4 * (height < 0 ? -height : height));
  return bitmap;
}

void release(IDirect3DTexture8*& texture) {
  if (texture) texture->Release();
  texture = nullptr;
}

}  // namespace

TEST(TextureNoDevice, BothMakersRefuseANullDevice) {
  std::vector<uint32_t> pixels = sourcePixels();
  HBITMAP picture = dibSection(32, kWidth, kHeight, pixels.data());
  IDirect3DTexture8* const untouched = reinterpret_cast<IDirect3DTexture8*>(0x1234);
  IDirect3DTexture8* slot = untouched;
  EXPECT_EQ(TextureNoDevice, textureFromBitmap(nullptr, picture, D3DFMT_X8R8G8B8, &slot));
  EXPECT_EQ(TextureNoDevice,
            textureFromPixels(nullptr, pixels.data(), kWidth, kHeight, D3DFMT_X8R8G8B8, &slot));
  EXPECT_EQ(untouched, slot);
  DeleteObject(picture);
}

class TextureDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, test_.device) << "no Direct3D 8 device: " << test_.failure;
  }
  TestDevice test_;
};

// As the product makes them: the light spot from pixels, the flag and the
// background from a picture in X8R8G8B8, the font from a picture in A4R4G4B4.
TEST_F(TextureDevice, FromPixelsAndFromAPictureInEachFormatUsed) {
  std::vector<uint32_t> pixels = sourcePixels();
  HBITMAP picture = dibSection(32, kWidth, kHeight, pixels.data());
  ASSERT_NE(nullptr, picture);
  struct Case {
    const char* what;
    bool fromPicture;
    uint32_t format;
  } cases[] = {{"pixels X8R8G8B8", false, D3DFMT_X8R8G8B8},
               {"picture X8R8G8B8", true, D3DFMT_X8R8G8B8},
               {"picture A4R4G4B4", true, D3DFMT_A4R4G4B4}};
  for (const Case& c : cases) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(TextureOk, c.fromPicture ? textureFromBitmap(test_.device, picture, c.format, &texture)
                                       : textureFromPixels(test_.device, pixels.data(), kWidth,
                                                           kHeight, c.format, &texture));
    expectTexels(texture, c.format, pixels, c.what);
    release(texture);
  }
  DeleteObject(picture);
}

TEST_F(TextureDevice, Only32BitDibSectionsAreTaken) {
  std::vector<uint32_t> pixels = sourcePixels();
  struct Case {
    const char* what;
    HBITMAP picture;
  } cases[] = {
      {"24-bit DIB section", dibSection(24, kWidth, kHeight, nullptr)},
      {"8-bit DIB section", dibSection(8, kWidth, kHeight, nullptr)},
      {"device-dependent bitmap", CreateBitmap(kWidth, kHeight, 1, 32, pixels.data())},
      {"null picture", nullptr},
  };
  for (const Case& c : cases) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(TextureNot32Bit,
              textureFromBitmap(test_.device, c.picture, D3DFMT_X8R8G8B8, &texture))
        << c.what;
    EXPECT_EQ(nullptr, texture) << c.what;
    release(texture);
    if (c.picture) DeleteObject(c.picture);
  }
}

// A format outside the table is refused by Direct3D or left unfilled, and
// never left locked.
TEST_F(TextureDevice, FormatOutsideTheTable) {
  std::vector<uint32_t> pixels = sourcePixels();
  for (uint32_t format : {uint32_t(D3DFMT_L8), uint32_t(D3DFMT_A8L8), 0x7FFFu}) {
    IDirect3DTexture8* texture = nullptr;
    TextureResult result =
        textureFromPixels(test_.device, pixels.data(), kWidth, kHeight, format, &texture);
    if (result == TextureBadFormat) {
      ASSERT_NE(nullptr, texture) << format;
      D3DLOCKED_RECT locked;
      EXPECT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0)) << format << ": still locked";
      texture->UnlockRect(0);
    } else {
      EXPECT_EQ(TextureCreateFailed, result) << format;
    }
    release(texture);
  }
}
