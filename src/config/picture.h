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

// Decodes a file (absolute, or relative to the current directory). Null on any failure.
Picture loadPictureFile(const char* path, int32_t maxSize);
// Decodes the "IMAGE" resource `id` of `module`. Null when missing or undecodable.
Picture loadPictureResource(HINSTANCE__* module, uint32_t id, int32_t maxSize);
// Decodes `size` bytes of an encoded picture. Null on failure.
Picture loadPictureMemory(const void* data, uint32_t size, int32_t maxSize);
