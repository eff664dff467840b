// Picture loading: BMP, JPEG and GIF files or built-in "IMAGE" resources
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

// Decodes a file (absolute, or relative to the current directory). Null on any failure.
Picture loadPictureFile(const char* path, int32_t maxSize);
// Decodes the "IMAGE" resource `id` of `module`. Null when missing or undecodable.
Picture loadPictureResource(HINSTANCE__* module, uint32_t id, int32_t maxSize);
// Decodes `size` bytes of an encoded picture. Null on failure.
Picture loadPictureMemory(const void* data, uint32_t size, int32_t maxSize);
