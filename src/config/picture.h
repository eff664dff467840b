// Picture loading: BMP, JPEG, GIF and PNG files or built-in "IMAGE" resources
// into 32-bit bottom-up DIB sections, sized by fitPictureSize.
#pragma once
#include <cstdint>

struct HBITMAP__;
struct HINSTANCE__;

// A 32-bit bottom-up DIB section, or null. Whoever receives one deletes it.
typedef HBITMAP__* Picture;

// Sizing rule for one side: maxSize 0 keeps `pixels`; otherwise the next power
// of two at or above `pixels`, at most maxSize (signed comparison).
int32_t fitPictureSize(int32_t pixels, int32_t maxSize);

// A picture larger than its limit is drawn at its natural size and averaged
// down, up to this many pixels; a larger one (16000 × 12000 would take 768
// MB of a 32-bit process's 2 GB on top of the decoder's own copy) is shrunk
// by the decoder's drawing instead, as when the natural size cannot be had.
constexpr int64_t kNaturalDrawPixels = 64LL * 1000 * 1000;

// True when a width × height picture may be drawn at its natural size:
// both sides at least 1 and at most kNaturalDrawPixels pixels in all.
bool drawableAtNaturalSize(int32_t width, int32_t height);

// Resamples `sourceWidth` × `sourceHeight` 32-bit pixels into `width` ×
// `height`: each target pixel is the mean of the source area it covers,
// weighted by coverage, each of the four bytes on its own, rounded to the
// nearest. Shrinking thus averages the dropped pixels; enlarging repeats them.
// Rows keep their order. Does nothing when a side is below 1.
void averagePixels(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                   uint32_t* target, int32_t width, int32_t height);

// One premultiplied BGRA pixel (alpha in bits 24-31, each colour already
// multiplied by alpha / 255) laid over white: each colour becomes
// colour + 255 - alpha, at most 255; the fourth byte becomes 0, as in every
// other picture. Opaque pixels keep their colour, transparent ones turn white.
uint32_t overWhite(uint32_t premultiplied);
// overWhite for `count` pixels in place.
void pixelsOverWhite(uint32_t* pixels, uint64_t count);

// Decodes a file (absolute, or relative to the current directory). Null on any failure.
Picture loadPictureFile(const char* path, int32_t maxSize);
// Decodes the "IMAGE" resource `id` of `module`. Null when missing or undecodable.
Picture loadPictureResource(HINSTANCE__* module, uint32_t id, int32_t maxSize);
// Decodes `size` bytes of an encoded picture. Null on failure.
Picture loadPictureMemory(const void* data, uint32_t size, int32_t maxSize);
