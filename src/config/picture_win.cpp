// Picture loading: BMP, JPEG and GIF through the OLE picture service, PNG
// through the Windows Imaging Component (the OLE service reads no PNG on
// Windows).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
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

namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// PNG files are told by their first eight bytes, whatever their name ends in.
bool startsAsPng(const WCHAR* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char head[sizeof kPngSignature];
  DWORD got = 0;
  BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  return read && got == sizeof head && std::memcmp(head, kPngSignature, sizeof head) == 0;
}

// An interface pointer released on every path out.
template <class Interface>
struct ComRef {
  Interface* p = nullptr;
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p) p->Release();
  }
  Interface** out() { return &p; }
  void** outVoid() { return reinterpret_cast<void**>(&p); }
  Interface* operator->() const { return p; }
};

// Copies `source` (top row first) into a new bottom-up bitmap of its size and
// lays its premultiplied pixels over white. Null when either step fails.
HBITMAP copyOverWhite(IWICBitmapSource* source, int32_t width, int32_t height) {
  HDC screen = GetDC(nullptr);
  uint32_t* pixels = nullptr;
  HBITMAP bitmap = createPictureBitmap(screen, width, height, &pixels);
  ReleaseDC(nullptr, screen);
  if (!bitmap) return nullptr;
  const UINT stride = UINT(width) * 4;
  const UINT bytes = stride * UINT(height);  // below 2^31: createPictureBitmap checked
  if (FAILED(source->CopyPixels(nullptr, stride, bytes, reinterpret_cast<BYTE*>(pixels)))) {
    DeleteObject(bitmap);
    return nullptr;
  }
  for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(pixels + int64_t(top) * width, pixels + int64_t(top + 1) * width,
                     pixels + int64_t(bottom) * width);
  pixelsOverWhite(pixels, uint64_t(width) * uint64_t(height));
  return bitmap;
}

// A new picture of width × height, the mean of `source`'s pixels; null
// when it cannot be made. The source stays the caller's.
HBITMAP averagedPicture(HBITMAP source, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                        int32_t height) {
  DIBSECTION section;
  std::memset(&section, 0, sizeof section);
  if (!source || !GetObjectA(source, sizeof section, &section) || !section.dsBm.bmBits) return nullptr;
  HDC screen = GetDC(nullptr);
  uint32_t* pixels = nullptr;
  HBITMAP bitmap = createPictureBitmap(screen, width, height, &pixels);
  ReleaseDC(nullptr, screen);
  if (bitmap)
    averagePixels(static_cast<const uint32_t*>(section.dsBm.bmBits), sourceWidth, sourceHeight,
                  pixels, width, height);
  return bitmap;
}

// Decodes the first frame of a PNG file (or any the Windows Imaging
// Component reads) into a picture of fitPictureSize per side. COM must be initialised. Null on
// any failure. A larger picture is copied at its natural size and averaged
// down, as the OLE path does (the component's own scalers interpolate, or
// on Wine take the nearest pixel); one beyond kNaturalDrawPixels is first
// brought to twice the fitted size by the component's scaler, which reads
// the decoder a row at a time, so that no copy of the whole picture is made.
Picture loadWicFile(const WCHAR* path, int32_t maxSize) {
  ComRef<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.outVoid())))
    return nullptr;
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, decoder.out())))
    return nullptr;
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.out()))) return nullptr;
  // Premultiplied, so that the average weighs each pixel by how much of it
  // is there: the colour hidden under a transparent pixel must not bleed
  // into its neighbours before the picture is laid over white.
  ComRef<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom)))
    return nullptr;
  UINT naturalWidth = 0, naturalHeight = 0;
  if (FAILED(converter->GetSize(&naturalWidth, &naturalHeight)) || naturalWidth < 1 ||
      naturalHeight < 1 || naturalWidth > INT32_MAX || naturalHeight > INT32_MAX)
    return nullptr;
  // The size is the pixel count; an optional physical size is ignored.
  const int32_t width = fitPictureSize(int32_t(naturalWidth), maxSize);
  const int32_t height = fitPictureSize(int32_t(naturalHeight), maxSize);
  if (width == int32_t(naturalWidth) && height == int32_t(naturalHeight))
    return copyOverWhite(converter.p, width, height);
  IWICBitmapSource* source = converter.p;
  int32_t sourceWidth = int32_t(naturalWidth), sourceHeight = int32_t(naturalHeight);
  ComRef<IWICBitmapScaler> scaler;
  if (!drawableAtNaturalSize(sourceWidth, sourceHeight)) {
    sourceWidth = std::min(sourceWidth, 2 * width);
    sourceHeight = std::min(sourceHeight, 2 * height);
    if (FAILED(factory->CreateBitmapScaler(scaler.out())) ||
        FAILED(scaler->Initialize(converter.p, UINT(sourceWidth), UINT(sourceHeight),
                                  WICBitmapInterpolationModeFant)))
      return nullptr;
    source = scaler.p;
  }
  HBITMAP natural = copyOverWhite(source, sourceWidth, sourceHeight);
  if (!natural || (sourceWidth == width && sourceHeight == height)) return natural;
  HBITMAP bitmap = averagedPicture(natural, sourceWidth, sourceHeight, width, height);
  DeleteObject(natural);
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
    if (drawableAtNaturalSize(decoded.width, decoded.height))
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

  if (startsAsPng(widePath)) return loadWicFile(widePath, maxSize);

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
