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

static HBITMAP createPictureBitmap(HDC screen, int32_t width, int32_t height) {
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
  return bitmap;
}

Picture renderPicture(IPicture* picture, int32_t maxSize) {
  if (!picture) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  if (!memory) {
    ReleaseDC(nullptr, screen);
    return nullptr;
  }
  OLE_XSIZE_HIMETRIC hmWidth = 0;
  OLE_YSIZE_HIMETRIC hmHeight = 0;
  picture->get_Width(&hmWidth);
  picture->get_Height(&hmHeight);
  int32_t width = fitPictureSize(
      MulDiv(hmWidth, GetDeviceCaps(screen, LOGPIXELSX), kHimetricPerInch), maxSize);
  int32_t height = fitPictureSize(
      MulDiv(hmHeight, GetDeviceCaps(screen, LOGPIXELSY), kHimetricPerInch), maxSize);

  HBITMAP bitmap = createPictureBitmap(screen, width, height);
  if (bitmap) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (!previous) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    } else {
      // The source rectangle runs from the top edge downwards in HIMETRIC
      // (whose y axis points up), which puts the picture upright.
      HRESULT drawn = picture->Render(memory, 0, 0, width, height, 0, hmHeight, hmWidth,
                                      -hmHeight, nullptr);
      SelectObject(memory, previous);
      if (FAILED(drawn)) {
        DeleteObject(bitmap);
        bitmap = nullptr;
      }
    }
  }
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
