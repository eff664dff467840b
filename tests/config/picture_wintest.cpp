// Picture loading under Wine (OLE for BMP, JPEG and GIF, the imaging
// component for PNG): files the test writes itself, the program's built-in
// pictures, and a stand-in decoded picture for the sizes and drawing failures
// no real file can produce cheaply.
#define PSAPI_VERSION 2
#include <windows.h>
#include <ocidl.h>
#include <psapi.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/picture.h"
#include "config/picture_win.h"
#include "win_test_support.h"

namespace {

// Red top half, blue bottom half; made once with Pillow.
const unsigned char kRedOverBlueJpeg[] = {
    0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x02, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02,
    0x01, 0x01, 0x01, 0x02, 0x02, 0x02, 0x02, 0x02, 0x04, 0x03, 0x02, 0x02, 0x02, 0x02, 0x05, 0x04,
    0x04, 0x03, 0x04, 0x06, 0x05, 0x06, 0x06, 0x06, 0x05, 0x06, 0x06, 0x06, 0x07, 0x09, 0x08, 0x06,
    0x07, 0x09, 0x07, 0x06, 0x06, 0x08, 0x0b, 0x08, 0x09, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x06, 0x08,
    0x0b, 0x0c, 0x0b, 0x0a, 0x0c, 0x09, 0x0a, 0x0a, 0x0a, 0xff, 0xdb, 0x00, 0x43, 0x01, 0x02, 0x02,
    0x02, 0x02, 0x02, 0x02, 0x05, 0x03, 0x03, 0x05, 0x0a, 0x07, 0x06, 0x07, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a,
    0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0x0a, 0xff, 0xc0,
    0x00, 0x11, 0x08, 0x00, 0x20, 0x00, 0x30, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xff, 0xc4, 0x00, 0x1f, 0x00, 0x00, 0x01, 0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
    0x0a, 0x0b, 0xff, 0xc4, 0x00, 0xb5, 0x10, 0x00, 0x02, 0x01, 0x03, 0x03, 0x02, 0x04, 0x03, 0x05,
    0x05, 0x04, 0x04, 0x00, 0x00, 0x01, 0x7d, 0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21,
    0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23,
    0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17,
    0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a,
    0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a,
    0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7,
    0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5,
    0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1,
    0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa, 0xff, 0xc4, 0x00, 0x1f, 0x01, 0x00, 0x03,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0xff, 0xc4, 0x00, 0xb5, 0x11, 0x00,
    0x02, 0x01, 0x02, 0x04, 0x04, 0x03, 0x04, 0x07, 0x05, 0x04, 0x04, 0x00, 0x01, 0x02, 0x77, 0x00,
    0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13,
    0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15,
    0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27,
    0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
    0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
    0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88,
    0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6,
    0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4,
    0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9,
    0xfa, 0xff, 0xda, 0x00, 0x0c, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0xf8,
    0xbe, 0x8a, 0x28, 0xaf, 0xe5, 0x33, 0xfd, 0xfc, 0x0a, 0x28, 0xa2, 0x80, 0x0a, 0x28, 0xa2, 0x80,
    0x3e, 0x43, 0xa2, 0x8a, 0x2b, 0xfe, 0xaa, 0x0f, 0xf9, 0xaf, 0x0a, 0x28, 0xa2, 0x80, 0x0a, 0x28,
    0xa2, 0x80, 0x3f, 0xff, 0xd9,
};
const unsigned char kRedOverBlueGif[] = {
    0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x28, 0x00, 0x18, 0x00, 0x81, 0x00, 0x00, 0xff, 0x00,
    0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
    0x28, 0x00, 0x18, 0x00, 0x40, 0x08, 0x4d, 0x00, 0x01, 0x08, 0x1c, 0x48, 0xb0, 0xa0, 0xc1,
    0x83, 0x08, 0x13, 0x2a, 0x5c, 0xc8, 0x50, 0x60, 0x80, 0x87, 0x10, 0x23, 0x4a, 0x9c, 0x48,
    0xb1, 0x62, 0xc4, 0x86, 0x18, 0x1b, 0x5a, 0xdc, 0xc8, 0xb1, 0xa3, 0xc7, 0x8f, 0x1c, 0x33,
    0x8a, 0x1c, 0x49, 0xb2, 0xa4, 0xc9, 0x8c, 0x20, 0x53, 0xaa, 0x5c, 0xc9, 0xb2, 0x25, 0xc8,
    0x93, 0x30, 0x63, 0xca, 0x9c, 0x49, 0xb3, 0xa6, 0xcd, 0x9b, 0x28, 0x5d, 0xea, 0xdc, 0xc9,
    0xb3, 0xa7, 0xcf, 0x9f, 0x40, 0x83, 0x7e, 0x0c, 0x08, 0x00, 0x3b,
};

// 40 × 24: red top half, blue bottom half; columns 0-3 transparent black,
// column 4 half-covered (alpha 128); made once with Pillow.
const unsigned char kRedOverBluePng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x18, 0x08, 0x06, 0x00, 0x00, 0x00, 0x88,
    0x84, 0xbf, 0xc0, 0x00, 0x00, 0x00, 0x3b, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0xed, 0xd0,
    0x31, 0x0a, 0x00, 0x20, 0x0c, 0x04, 0xc1, 0x55, 0x7c, 0xb8, 0x3f, 0x3f, 0xfb, 0xb4, 0x01,
    0x49, 0xb1, 0x0b, 0xd7, 0xa4, 0x1a, 0x02, 0xa5, 0xc0, 0x0d, 0x64, 0xca, 0x36, 0xc3, 0x13,
    0x28, 0x50, 0xa0, 0x40, 0x81, 0x02, 0x7b, 0x9d, 0x7a, 0x58, 0xc4, 0x0f, 0x0a, 0x14, 0x28,
    0x50, 0xa0, 0x40, 0x81, 0xff, 0x7a, 0x73, 0x8f, 0x48, 0x6a, 0xd5, 0xa8, 0xd9, 0x5b, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

struct PictureInfo {
  bool valid = false;
  LONG width = 0, height = 0;
  WORD bitCount = 0;
  const uint32_t* bits = nullptr;
};

PictureInfo describe(Picture picture) {
  DIBSECTION section = dibOf(picture);
  return {section.dsBm.bmBits != nullptr, section.dsBmih.biWidth, section.dsBmih.biHeight,
          section.dsBmih.biBitCount, static_cast<const uint32_t*>(section.dsBm.bmBits)};
}

// Colours come back rounded to the 16-bit screen and through JPEG.
bool closeTo(uint32_t pixel, uint32_t rgb, int tolerance) {
  for (int shift : {0, 8, 16}) {
    int a = (pixel >> shift) & 0xFF, b = (rgb >> shift) & 0xFF;
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

// The middle pixel of the first row in memory must be blue (the picture's
// bottom) and of the last row red (its top).
void expectUpright(Picture picture, int tolerance, const char* what) {
  PictureInfo info = describe(picture);
  ASSERT_TRUE(info.valid) << what;
  ASSERT_GT(info.height, 0) << what << ": bottom-up";
  ASSERT_EQ(32, info.bitCount) << what;
  uint32_t firstRow = info.bits[info.width / 2];
  uint32_t lastRow = info.bits[size_t(info.height - 1) * info.width + info.width / 2];
  EXPECT_TRUE(closeTo(firstRow, 0x0000FF, tolerance)) << what << std::hex << " first " << firstRow;
  EXPECT_TRUE(closeTo(lastRow, 0xFF0000, tolerance)) << what << std::hex << " last " << lastRow;
}

void expectSize(Picture picture, LONG width, LONG height, const std::string& what) {
  PictureInfo info = describe(picture);
  ASSERT_TRUE(info.valid) << what;
  EXPECT_EQ(width, info.width) << what;
  EXPECT_EQ(height, info.height) << what;
  EXPECT_EQ(32, info.bitCount) << what;
}

// Top half red, bottom half blue.
std::string redOverBlueBmp(int width, int height) {
  return bmpFileBytes(width, height, 24,
                      [height](int, int y) { return y >= height / 2 ? 0xFF0000u : 0xFFu; });
}

class PictureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = tempFilePath("flags_picture_test_" + std::to_string(GetCurrentProcessId()));
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::string& file : written_) DeleteFileA(file.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string write(const char* name, const std::string& bytes) {
    std::string path = folder_ + "\\" + name;
    writeFileBytes(path, bytes);
    written_.push_back(path);
    return path;
  }
  std::string folder_;
  std::vector<std::string> written_;
};

std::string bytesOf(const unsigned char* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

BOOL CALLBACK noteVisibleWindow(HWND window, LPARAM found) {
  if (IsWindowVisible(window)) *reinterpret_cast<BOOL*>(found) = TRUE;
  return TRUE;
}

// A failing load must not open any window (a message box would stop the saver).
bool threadHasVisibleWindow() {
  BOOL found = FALSE;
  EnumThreadWindows(GetCurrentThreadId(), noteVisibleWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

// The sizing rule itself is fitPictureSize's (picture_test.cpp): here each
// decoder's way (OLE for BMP, JPEG and GIF, the imaging component for PNG)
// takes the limit, shrinking and enlarging, and keeps the picture upright.
TEST_F(PictureFiles, EachDecoderGivesTheFittedSizeUpright) {
  const std::string jpeg = bytesOf(kRedOverBlueJpeg, sizeof kRedOverBlueJpeg),
                    png = bytesOf(kRedOverBluePng, sizeof kRedOverBluePng);
  struct Case {
    const char* name;
    std::string bytes;
    int32_t maxSize;
    LONG width, height;
    int tolerance;
  } cases[] = {
      {"flag.bmp", redOverBlueBmp(60, 20), 0, 60, 20, 8},
      {"wide.bmp", redOverBlueBmp(600, 300), 256, 256, 256, 8},
      {"flag.jpg", jpeg, 0, 48, 32, 40},
      {"small.jpg", jpeg, 256, 64, 32, 40},
      {"flag.gif", bytesOf(kRedOverBlueGif, sizeof kRedOverBlueGif), 64, 64, 32, 8},
      {"flag.png", png, 0, 40, 24, 0},
      {"small.png", png, 512, 64, 32, 40},
      {"tiny.png", png, 16, 16, 16, 40},
      // A picture is decoded by what it holds, not by its name.
      {"png named.jpg", png, 0, 40, 24, 0},
      {"jpeg named.png", jpeg, 0, 48, 32, 40},
  };
  for (const Case& c : cases) {
    Picture picture = loadPictureFile(write(c.name, c.bytes).c_str(), c.maxSize);
    ASSERT_NE(nullptr, picture) << c.name;
    expectSize(picture, c.width, c.height, c.name);
    expectUpright(picture, c.tolerance, c.name);
    DeleteObject(picture);
  }
}

// Above its limit a picture is averaged down: the default stretch mode ANDs
// the dropped pixels (alternating red and blue columns halve to black) and
// gives photographs coloured fringes.
TEST_F(PictureFiles, ShrinkingAveragesTheDroppedPixels) {
  std::string columns =
      write("columns.bmp",
            bmpFileBytes(1024, 8, 24, [](int x, int) { return x % 2 ? 0xFFu : 0xFF0000u; }));
  Picture halved = loadPictureFile(columns.c_str(), 512);
  ASSERT_NE(nullptr, halved);
  expectSize(halved, 512, 8, "columns at 512");
  PictureInfo info = describe(halved);
  int off = 0;
  for (LONG k = 0; k < info.width * info.height; ++k)
    if (!closeTo(info.bits[k], 0x800080, 2) && off++ < 3)
      ADD_FAILURE() << "pixel " << k << std::hex << " is " << info.bits[k] << ", not purple";
  EXPECT_EQ(0, off) << "pixels that are not the average of red and blue";
  DeleteObject(halved);
}

// Transparent PNG pixels show white, half-covered ones half white, at the
// natural size, enlarged and shrunk alike.
TEST_F(PictureFiles, PngTransparencyIsLaidOverWhite) {
  std::string png = write("margin.png", bytesOf(kRedOverBluePng, sizeof kRedOverBluePng));
  Picture natural = loadPictureFile(png.c_str(), 0);
  ASSERT_NE(nullptr, natural);
  PictureInfo info = describe(natural);
  ASSERT_EQ(40, info.width);
  struct Case {
    LONG x, y;  // y counted from the bottom row
    uint32_t rgb;
  } cases[] = {
      {0, 0, 0xFFFFFF}, {3, 23, 0xFFFFFF}, {4, 0, 0x7F7FFF},  {4, 23, 0xFF7F7F},
      {5, 0, 0x0000FF}, {39, 0, 0x0000FF}, {5, 23, 0xFF0000}, {39, 23, 0xFF0000},
  };
  for (const Case& c : cases) {
    uint32_t pixel = info.bits[size_t(c.y) * info.width + c.x];
    EXPECT_TRUE(closeTo(pixel, c.rgb, 1))
        << "(" << c.x << ", " << c.y << ")" << std::hex << " is " << pixel << ", not " << c.rgb;
    EXPECT_EQ(0u, pixel >> 24) << "the fourth byte carries no colour";
  }
  DeleteObject(natural);

  // Scaled: the left column still lies in the margin, the right one in the flag.
  for (int32_t maxSize : {16, 64}) {
    Picture scaled = loadPictureFile(png.c_str(), maxSize);
    ASSERT_NE(nullptr, scaled) << maxSize;
    PictureInfo s = describe(scaled);
    const uint32_t* top = s.bits + size_t(s.height - 1) * s.width;
    EXPECT_TRUE(closeTo(s.bits[0], 0xFFFFFF, 1)) << maxSize << std::hex << " " << s.bits[0];
    EXPECT_TRUE(closeTo(top[0], 0xFFFFFF, 1)) << maxSize << std::hex << " " << top[0];
    EXPECT_TRUE(closeTo(s.bits[s.width - 1], 0x0000FF, 1)) << maxSize;
    EXPECT_TRUE(closeTo(top[s.width - 1], 0xFF0000, 1)) << maxSize;
    DeleteObject(scaled);
  }
}

TEST_F(PictureFiles, RelativePathResolvesAgainstTheCurrentDirectory) {
  write("relative.gif", bytesOf(kRedOverBlueGif, sizeof kRedOverBlueGif));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
  Picture picture = loadPictureFile("relative.gif", 0);
  Picture missing = loadPictureFile("..\\relative.gif", 0);
  SetCurrentDirectoryA(previous);
  ASSERT_NE(nullptr, picture);
  expectSize(picture, 40, 24, "relative.gif");
  DeleteObject(picture);
  EXPECT_EQ(nullptr, missing);
}

TEST_F(PictureFiles, UnreadableFilesGiveNullWithoutAWindow) {
  std::string jpeg = bytesOf(kRedOverBlueJpeg, sizeof kRedOverBlueJpeg);
  struct Case {
    const char* what;
    std::string path;
  } cases[] = {
      {"missing file", folder_ + "\\no such picture.jpg"},
      {"empty file", write("empty.jpg", "")},
      {"text named .jpg", write("text.jpg", "This is not a picture at all.\r\n")},
      {"truncated JPEG", write("cut.jpg", jpeg.substr(0, 40))},
      {"GIF header only", write("cut.gif", bytesOf(kRedOverBlueGif, 13))},
      {"PNG signature only", write("sign.png", bytesOf(kRedOverBluePng, 8))},
      {"truncated PNG", write("cut.png", bytesOf(kRedOverBluePng, 60))},
      {"PNG header only", write("head.png", bytesOf(kRedOverBluePng, 33))},
      {"folder", folder_},
      {"empty path", ""},
      {"over-long path", std::string(5000, 'a') + ".jpg"},
  };
  for (const Case& c : cases) {
    Picture picture = loadPictureFile(c.path.c_str(), 512);
    EXPECT_EQ(nullptr, picture) << c.what;
    if (picture) DeleteObject(picture);
  }
  EXPECT_EQ(nullptr, loadPictureFile(nullptr, 0));
  EXPECT_EQ(nullptr, loadPictureMemory(jpeg.data(), 40, 0));
  EXPECT_EQ(nullptr, loadPictureMemory(nullptr, 10, 0));
  EXPECT_EQ(nullptr, loadPictureMemory(jpeg.data(), 0, 0));
  EXPECT_FALSE(threadHasVisibleWindow());
}

TEST(PictureResource, BuiltInPicturesAtTheirSizes) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  struct Case {
    uint32_t id;
    int32_t maxSize;
    LONG width, height;
  } cases[] = {
      {1000, 0, 512, 512},   {1001, 0, 512, 512},   {1002, 0, 512, 512},   {2000, 0, 256, 256},
      {3000, 0, 158, 118},   {3000, 256, 256, 128}, {1000, 256, 256, 256}, {1010, 0, 2048, 2048},
      {1011, 0, 2048, 2048}, {1012, 0, 2048, 2048}, {2001, 0, 1024, 1024},
  };
  for (const Case& c : cases) {
    Picture picture = loadPictureResource(module, c.id, c.maxSize);
    ASSERT_NE(nullptr, picture) << c.id;
    expectSize(picture, c.width, c.height,
               std::to_string(c.id) + " at " + std::to_string(c.maxSize));
    DeleteObject(picture);
  }
  EXPECT_EQ(nullptr, loadPictureResource(module, 4242, 0));
  EXPECT_EQ(nullptr, loadPictureResource(module, 100, 0));  // the icon: not an "IMAGE"
  EXPECT_FALSE(threadHasVisibleWindow());
}

namespace {
SIZE_T pagefileBytes() {
  PROCESS_MEMORY_COUNTERS memory;
  std::memset(&memory, 0, sizeof memory);
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return memory.PagefileUsage;
}
}  // namespace

// Every password check rebuilds the scene from the built-in pictures, so a
// decoded picture left behind would add up over a long run.
TEST(PictureResource, RepeatedLoadsKeepNoDecodedPicture) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  auto loadAndDelete = [module] {
    // 512 x 512: each decoded copy left behind takes half a MB or more.
    Picture picture = loadPictureResource(module, 1000, 0);
    ASSERT_NE(nullptr, picture);
    DeleteObject(picture);
  };
  loadAndDelete();
  const SIZE_T before = pagefileBytes();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 12; ++i) loadAndDelete();
  EXPECT_LT(pagefileBytes(), before + 3 * 1024 * 1024) << "12 loads of a 512 x 512 picture";
}

namespace {
// A decoded picture of any extent; counts its drawings and their width.
struct StandInPicture : IPicture {
  OLE_XSIZE_HIMETRIC hmWidth;
  OLE_YSIZE_HIMETRIC hmHeight;
  HRESULT renderResult = S_OK;
  int renderCalls = 0;
  LONG drawnWidth = 0;

  StandInPicture(LONG w, LONG h) : hmWidth(w), hmHeight(h) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(SHORT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* w) override {
    *w = hmWidth;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* h) override {
    *h = hmHeight;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Render(HDC, LONG, LONG, LONG cx, LONG, OLE_XPOS_HIMETRIC,
                                   OLE_YPOS_HIMETRIC, OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC,
                                   LPCRECT) override {
    ++renderCalls;
    drawnWidth = cx;
    return renderResult;
  }
  HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(WINBOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PictureChanged() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, WINBOOL, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override { return E_NOTIMPL; }
};
}  // namespace

// Sizes no real file gives cheaply: one too large to draw whole is drawn
// once straight into its fitted size; absurd extents are refused before any
// drawing, and a drawing that fails gives no bitmap. (Upright drawing and
// the averaged shrink show in the decodes of real files above.)
TEST(RenderPicture, TooLargeToDrawWholeAbsurdSizesAndDrawingFailures) {
  struct Case {
    const char* what;
    LONG hmWidth, hmHeight;
    int32_t maxSize;
    HRESULT render;
    int renderCalls;
    LONG width;  // 0: no bitmap
  } cases[] = {
      {"too large to draw whole", 2645834, 2645834, 512, S_OK, 1, 512},
      {"100000 × 100000 pixels", 2645834, 2645834, 0, S_OK, 0, 0},
      {"largest extent", 0x7FFFFFFF, 0x7FFFFFFF, 0, S_OK, 0, 0},
      {"no width", 0, 2540, 0, S_OK, 0, 0},
      {"negative height", 2540, -2540, 0, S_OK, 0, 0},
      {"drawing fails", 2540, 2540, 256, E_FAIL, 1, 0},
  };
  for (const Case& c : cases) {
    StandInPicture picture(c.hmWidth, c.hmHeight);
    picture.renderResult = c.render;
    Picture bitmap = renderPicture(&picture, c.maxSize);
    EXPECT_EQ(c.renderCalls, picture.renderCalls) << c.what;
    if (c.width) {
      expectSize(bitmap, c.width, c.width, c.what);
      EXPECT_EQ(c.width, picture.drawnWidth) << c.what << ": drawn at that size";
    } else {
      EXPECT_EQ(nullptr, bitmap) << c.what;
    }
    if (bitmap) DeleteObject(bitmap);
  }
  EXPECT_EQ(nullptr, renderPicture(nullptr, 0));
}

// A large natural size (8000 × 6000 at limit 0, 192 MB) is allowed; it must
// give a bitmap or null, never a crash.
TEST(RenderPicture, LargeNaturalSizeGivesABitmapOrNull) {
  StandInPicture picture(211667, 158750);
  Picture bitmap = renderPicture(&picture, 0);
  if (bitmap) {
    expectSize(bitmap, 8000, 6000, "8000 × 6000");
    DeleteObject(bitmap);
  } else {
    EXPECT_EQ(0, picture.renderCalls);
  }
}
