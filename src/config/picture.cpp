#include "config/picture.h"

#include <algorithm>

bool drawableAtNaturalSize(int32_t width, int32_t height) {
  return width >= 1 && height >= 1 && int64_t(width) * height <= kNaturalDrawPixels;
}

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

namespace {

// Source pixels [first, last] overlap target pixel `index` of `size`, when a
// side of `sourceSize` pixels is laid over it: in units where a source pixel
// is `size` long and a target pixel `sourceSize` long, both spans are exact.
struct Span {
  int64_t first, last;
};

Span coveredSpan(int64_t index, int64_t size, int64_t sourceSize) {
  return {index * sourceSize / size, ((index + 1) * sourceSize - 1) / size};
}

// How much of target pixel `index` source pixel `pixel` covers, in those units.
int64_t coverage(int64_t index, int64_t size, int64_t pixel, int64_t sourceSize) {
  int64_t start = std::max(index * sourceSize, pixel * size);
  int64_t end = std::min((index + 1) * sourceSize, (pixel + 1) * size);
  return end - start;
}

}  // namespace

void averagePixels(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                   uint32_t* target, int32_t width, int32_t height) {
  if (!source || !target || sourceWidth < 1 || sourceHeight < 1 || width < 1 || height < 1) return;
  // Every target pixel's weights add up to sourceWidth × sourceHeight.
  const uint64_t total = uint64_t(sourceWidth) * uint64_t(sourceHeight);
  for (int32_t y = 0; y < height; ++y) {
    const Span rows = coveredSpan(y, height, sourceHeight);
    for (int32_t x = 0; x < width; ++x) {
      const Span columns = coveredSpan(x, width, sourceWidth);
      uint64_t sums[4] = {0, 0, 0, 0};
      for (int64_t row = rows.first; row <= rows.last; ++row) {
        const uint64_t rowWeight = uint64_t(coverage(y, height, row, sourceHeight));
        const uint32_t* line = source + row * sourceWidth;
        for (int64_t column = columns.first; column <= columns.last; ++column) {
          const uint64_t weight = rowWeight * uint64_t(coverage(x, width, column, sourceWidth));
          for (int byte = 0; byte < 4; ++byte)
            sums[byte] += weight * ((line[column] >> (8 * byte)) & 0xFF);
        }
      }
      uint32_t pixel = 0;
      for (int byte = 0; byte < 4; ++byte)
        pixel |= uint32_t((sums[byte] + total / 2) / total) << (8 * byte);
      target[int64_t(y) * width + x] = pixel;
    }
  }
}

uint32_t overWhite(uint32_t premultiplied) {
  const uint32_t uncovered = 255 - (premultiplied >> 24);
  uint32_t pixel = 0;
  for (int byte = 0; byte < 3; ++byte) {
    // A colour above its alpha is no premultiplied pixel; it still saturates.
    const uint32_t colour = ((premultiplied >> (8 * byte)) & 0xFF) + uncovered;
    pixel |= std::min<uint32_t>(colour, 255) << (8 * byte);
  }
  return pixel;
}

void pixelsOverWhite(uint32_t* pixels, uint64_t count) {
  if (!pixels) return;
  for (uint64_t i = 0; i < count; ++i) pixels[i] = overWhite(pixels[i]);
}
