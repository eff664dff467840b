// The drawing step of picture loading, for the loaders and their tests.
#pragma once
#include <cstdint>

#include "config/picture.h"

struct IPicture;

// Draws a decoded picture upright into a new 32-bit bottom-up DIB section of
// fitPictureSize(natural pixels, maxSize) per side; a picture that shrinks is
// drawn at its natural size and averaged down (averagePixels). Null for a
// null picture, a side below 1, a bitmap too large to make, or a drawing failure.
Picture renderPicture(IPicture* picture, int32_t maxSize);
