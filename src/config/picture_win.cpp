// Picture loading through the OLE picture service.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstring>

#include "config/picture.h"
#include "config/picture_win.h"

static const int kHimetricPerInch = 2540;
// Larger bitmaps are refused before GDI is asked; a DIB's byte size must fit
// a signed 32-bit count.
static const int64_t kMaxPictureBytes = 0x7FFFFFFF;

namespace {
// COM for the duration of one load; uninitialised only when this call
// succeeded in initialising it, on every path out.
struct ComScope {
  HRESULT result;
  ComScope() : result(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};
}  // namespace

static HBITMAP createPictureBitmap(HDC screen, int32_t width, int32_t height,
                                   uint32_t** pixels = nullptr) {
  if (width < 1 || height < 1) return nullptr;
  if (int64_t(width) * height * 4 > kMaxPictureBytes) return nullptr;
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && !bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  if (pixels) *pixels = static_cast<uint32_t*>(bits);
  return bitmap;
}

namespace {

// A decoded picture with its extent in HIMETRIC and in screen pixels.
struct DecodedPicture {
  IPicture* picture;
  OLE_XSIZE_HIMETRIC hmWidth;
  OLE_YSIZE_HIMETRIC hmHeight;
  int32_t width, height;
};

// Draws the whole picture upright into a new bitmap of width × height;
// null when the bitmap cannot be made or the drawing fails.
HBITMAP drawPicture(HDC screen, HDC memory, const DecodedPicture& decoded, int32_t width,
                    int32_t height, uint32_t** pixels = nullptr) {
  HBITMAP bitmap = createPictureBitmap(screen, width, height, pixels);
  if (!bitmap) return nullptr;
  HGDIOBJ previous = SelectObject(memory, bitmap);
  if (!previous) {
    DeleteObject(bitmap);
    return nullptr;
  }
  // The source rectangle runs from the top edge downwards in HIMETRIC
  // (whose y axis points up), which puts the picture upright.
  HRESULT drawn = decoded.picture->Render(memory, 0, 0, width, height, 0, decoded.hmHeight,
                                          decoded.hmWidth, -decoded.hmHeight, nullptr);
  SelectObject(memory, previous);
  if (FAILED(drawn)) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

// Render's own shrink follows the DC's stretch mode: the default one ANDs
// the dropped pixels together (alternating red and blue columns halve to
// black, photographs get coloured fringes), and Wine's HALFTONE interpolates
// between two pixels instead of averaging. So a picture is drawn at its
// natural size and averaged down here.
HBITMAP shrinkPicture(HDC screen, HDC memory, const DecodedPicture& decoded, int32_t width,
                      int32_t height) {
  uint32_t* natural = nullptr;
  HBITMAP full = drawPicture(screen, memory, decoded, decoded.width, decoded.height, &natural);
  if (!full) return nullptr;
  uint32_t* pixels = nullptr;
  HBITMAP bitmap = createPictureBitmap(screen, width, height, &pixels);
  if (bitmap) {
    GdiFlush();  // Render's drawing must be in the bits before they are read
    averagePixels(natural, decoded.width, decoded.height, pixels, width, height);
  }
  DeleteObject(full);
  return bitmap;
}

}  // namespace

Picture renderPicture(IPicture* picture, int32_t maxSize) {
  if (!picture) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  if (!memory) {
    ReleaseDC(nullptr, screen);
    return nullptr;
  }
  DecodedPicture decoded = {picture, 0, 0, 0, 0};
  picture->get_Width(&decoded.hmWidth);
  picture->get_Height(&decoded.hmHeight);
  decoded.width = MulDiv(decoded.hmWidth, GetDeviceCaps(screen, LOGPIXELSX), kHimetricPerInch);
  decoded.height = MulDiv(decoded.hmHeight, GetDeviceCaps(screen, LOGPIXELSY), kHimetricPerInch);
  int32_t width = fitPictureSize(decoded.width, maxSize);
  int32_t height = fitPictureSize(decoded.height, maxSize);

  HBITMAP bitmap = nullptr;
  if (width < decoded.width || height < decoded.height) {
    bitmap = shrinkPicture(screen, memory, decoded, width, height);
    // Too large to draw at its natural size: Render shrinks it, averaging
    // as well as the system's stretch modes allow.
    if (!bitmap) {
      SetStretchBltMode(memory, HALFTONE);
      SetBrushOrgEx(memory, 0, 0, nullptr);  // as HALFTONE requires
    }
  }
  if (!bitmap) bitmap = drawPicture(screen, memory, decoded, width, height);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

Picture loadPictureFile(const char* path, int32_t maxSize) {
  if (!path || !path[0]) return nullptr;
  ComScope com;
  // The OLE path decoder takes only absolute drive paths.
  char fullPath[4096];
  std::memset(fullPath, 0, sizeof fullPath);
  DWORD length = GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr);
  if (length == 0 || length >= sizeof fullPath) return nullptr;
  WCHAR widePath[4096];
  if (MultiByteToWideChar(CP_ACP, 0, fullPath, -1, widePath, 4096) == 0) return nullptr;

  IPicture* decoded = nullptr;
  if (FAILED(OleLoadPicturePath(widePath, nullptr, 0, 0, IID_IPicture,
                                reinterpret_cast<void**>(&decoded))) ||
      !decoded)
    return nullptr;
  Picture result = renderPicture(decoded, maxSize);
  decoded->Release();
  return result;
}

Picture loadPictureResource(HINSTANCE__* module, uint32_t id, int32_t maxSize) {
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "IMAGE");
  if (!resource) return nullptr;
  DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;
  return loadPictureMemory(data, size, maxSize);
}

Picture loadPictureMemory(const void* data, uint32_t size, int32_t maxSize) {
  if (!data || size == 0) return nullptr;
  ComScope com;
  HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
  if (!block) return nullptr;
  std::memcpy(reinterpret_cast<void*>(block), data, size);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
    GlobalFree(block);
    return nullptr;
  }
  // Run mode off: Wine reads run mode on as "the picture does not own its
  // bitmap" and never deletes the decoded bitmap, a whole picture lost per
  // load. Elsewhere it only keeps the original bytes for the picture's short life.
  IPicture* decoded = nullptr;
  HRESULT result =
      OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&decoded));
  Picture picture = SUCCEEDED(result) ? renderPicture(decoded, maxSize) : nullptr;
  stream->Release();
  if (decoded) decoded->Release();
  return picture;
}
