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
