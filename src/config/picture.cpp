#include "config/picture.h"

int32_t fitPictureSize(int32_t pixels, int32_t maxSize) {
  if (maxSize == 0) return pixels;
  // 64 bits so that a side above 2^30 rounds up without overflow and is then
  // bounded by the limit like any other.
  int64_t size = pixels;
  if (pixels > 0 && (pixels & (pixels - 1)) != 0) {
    size = 1;
    while (size < pixels) size <<= 1;
  }
  if (size > maxSize) return maxSize;
  return static_cast<int32_t>(size);
}
