#include "render/text_overlay.h"

#include <cmath>
#include <cstdio>

// Glyph cells of the font picture. Codes the font has no glyph for share the
// blank 5-pixel cell; the underscore is a blank as wide as the colon, so the
// clock keeps its width when the colon blinks off; 123 reuses the asterisk.
const FontGlyph fontGlyphs[kGlyphCount] = {
    {3, 0, 7},        // 32 space
    {3, 12, 14},      // 33 !
    {3, 0, 5},        // 34 double quote
    {3, 0, 5},        // 35 #
    {3, 16, 31},      // 36 $
    {3, 0, 5},        // 37 %
    {213, 183, 214},  // 38 &
    {3, 0, 5},        // 39 apostrophe
    {3, 0, 5},        // 40 (
    {3, 0, 5},        // 41 )
    {213, 215, 242},  // 42 *
    {3, 0, 5},        // 43 +
    {213, 163, 170},  // 44 ,
    {213, 243, 255},  // 45 -
    {213, 153, 158},  // 46 .
    {3, 34, 50},      // 47 /
    {3, 53, 68},      // 48 0
    {3, 71, 84},      // 49 1
    {3, 85, 101},     // 50 2
    {3, 102, 117},    // 51 3
    {3, 119, 135},    // 52 4
    {3, 136, 150},    // 53 5
    {3, 153, 168},    // 54 6
    {3, 170, 184},    // 55 7
    {3, 188, 202},    // 56 8
    {3, 204, 219},    // 57 9
    {213, 173, 177},  // 58 :
    {3, 0, 5},        // 59 ;
    {3, 0, 5},        // 60 <
    {3, 0, 5},        // 61 =
    {3, 0, 5},        // 62 >
    {3, 0, 5},        // 63 ?
    {3, 0, 5},        // 64 at sign
    {3, 220, 245},    // 65 A
    {45, 7, 29},      // 66 B
    {45, 32, 54},     // 67 C
    {45, 56, 82},     // 68 D
    {45, 86, 108},    // 69 E
    {45, 112, 131},   // 70 F
    {45, 135, 159},   // 71 G
    {45, 162, 190},   // 72 H
    {45, 194, 205},   // 73 I
    {45, 205, 220},   // 74 J
    {45, 224, 247},   // 75 K
    {87, 7, 28},      // 76 L
    {87, 30, 61},     // 77 M
    {87, 65, 93},     // 78 N
    {87, 95, 121},    // 79 O
    {87, 125, 145},   // 80 P
    {87, 148, 173},   // 81 Q
    {87, 177, 202},   // 82 R
    {87, 202, 219},   // 83 S
    {87, 220, 245},   // 84 T
    {129, 6, 32},     // 85 U
    {129, 33, 57},    // 86 V
    {129, 58, 92},    // 87 W
    {129, 93, 119},   // 88 X
    {129, 120, 144},  // 89 Y
    {129, 145, 167},  // 90 Z
    {3, 0, 5},        // 91 [
    {3, 0, 5},        // 92 backslash
    {3, 0, 5},        // 93 ]
    {3, 0, 5},        // 94 ^
    {3, 0, 4},        // 95 underscore
    {3, 0, 5},        // 96 grave accent
    {129, 169, 186},  // 97 a
    {129, 187, 205},  // 98 b
    {129, 208, 223},  // 99 c
    {129, 225, 243},  // 100 d
    {171, 6, 22},     // 101 e
    {171, 23, 36},    // 102 f
    {171, 38, 57},    // 103 g
    {171, 59, 78},    // 104 h
    {171, 79, 88},    // 105 i
    {171, 89, 96},    // 106 j
    {171, 100, 119},  // 107 k
    {171, 120, 129},  // 108 l
    {171, 131, 160},  // 109 m
    {171, 161, 180},  // 110 n
    {171, 182, 198},  // 111 o
    {171, 200, 219},  // 112 p
    {171, 221, 239},  // 113 q
    {171, 240, 253},  // 114 r
    {213, 7, 19},     // 115 s
    {213, 20, 31},    // 116 t
    {213, 32, 51},    // 117 u
    {213, 52, 69},    // 118 v
    {213, 70, 96},    // 119 w
    {213, 97, 115},   // 120 x
    {213, 116, 134},  // 121 y
    {213, 135, 150},  // 122 z
    {213, 215, 242},  // 123 {
};

namespace {

// Texture coordinates: columns over 255, rows over 256, as the font was made.
constexpr float kFontColumnDivisor = 255.0f;
constexpr float kFontRowDivisor = 256.0f;
constexpr float kBlinkSpeed = 2.0f;     // phase per second: two renewals a second
constexpr int kClockColonPosition = 3;  // "HH_:_MM"
constexpr float kLargestShownRate = 1.0e9f;

}  // namespace

const FontGlyph& glyphFor(unsigned char code) {
  if (code < kFirstGlyphCode || code > kLastGlyphCode) return kBlankGlyph;
  return fontGlyphs[code - kFirstGlyphCode];
}

TextOrigin textOrigin(float viewportWidth, float viewportHeight, const TextPlace& place) {
  TextOrigin origin;
  origin.unit = viewportHeight / static_cast<float>(kGlyphCellRows);
  origin.x = place.leftFraction * viewportWidth;
  origin.y0 = place.topFraction * viewportHeight;
  origin.quadHeight = origin.unit * place.heightScale * static_cast<float>(kGlyphDrawnRows);
  return origin;
}

float glyphQuadWidth(const FontGlyph& glyph, float unit, float widthScale) {
  return widthScale * unit * static_cast<float>(glyph.right - glyph.left);
}

uint32_t layoutText(TextVertex* out, uint32_t maxGlyphs, float viewportWidth, float viewportHeight,
                    const TextPlace& place, const char* text) {
  if (!out || !text) return 0;
  TextOrigin origin = textOrigin(viewportWidth, viewportHeight, place);
  float x = origin.x;
  float y0 = origin.y0;
  float y1 = y0 + origin.quadHeight;
  uint32_t count = 0;
  // Bytes of 128 and above are codes, not negative numbers.
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text);
       *c != 0 && count < maxGlyphs; ++c, ++count) {
    const FontGlyph& g = glyphFor(*c);
    float x1 = x + glyphQuadWidth(g, origin.unit, place.widthScale);
    float tu0 = static_cast<float>(g.left) / kFontColumnDivisor;
    float tu1 = static_cast<float>(g.right) / kFontColumnDivisor;
    float tv0 = static_cast<float>(g.row) / kFontRowDivisor;
    float tv1 = static_cast<float>(g.row + kGlyphCellRows) / kFontRowDivisor;
    // Lower-left, upper-left, lower-right; upper-right, lower-right, upper-left.
    TextVertex* v = out + count * kVerticesPerGlyph;
    v[0] = {x, y1, place.depth, 1.0f, tu0, tv1};
    v[1] = {x, y0, place.depth, 1.0f, tu0, tv0};
    v[2] = {x1, y1, place.depth, 1.0f, tu1, tv1};
    v[3] = {x1, y0, place.depth, 1.0f, tu1, tv0};
    v[4] = {x1, y1, place.depth, 1.0f, tu1, tv1};
    v[5] = {x, y0, place.depth, 1.0f, tu0, tv0};
    x = x1;  // glyphs touch; the cells carry their own spacing
  }
  return count;
}

void formatClockText(char* out, size_t capacity, int hour, int minute, int second) {
  if (!out || capacity == 0) return;
  std::snprintf(out, capacity, "%02d_:_%02d", hour, minute);
  if (second % 2 == 0 && capacity > static_cast<size_t>(kClockColonPosition) + 1 &&
      out[kClockColonPosition] == ':')
    out[kClockColonPosition] = '_';
}

void formatFpsText(char* out, size_t capacity, float framesPerSecond) {
  if (!out || capacity == 0) return;
  float rate = framesPerSecond;
  // A rate the timer cannot really give must not overflow the conversion.
  if (!(rate >= 0.0f)) rate = 0.0f;
  if (rate > kLargestShownRate) rate = kLargestShownRate;
  long rounded = std::lrint(rate);  // default rounding mode: halves to even
  std::snprintf(out, capacity, "fps %ld", rounded);
}

bool advanceBlinkPhase(float& blinkPhase, float frameSeconds) {
  blinkPhase = blinkPhase + kBlinkSpeed * frameSeconds;
  if (blinkPhase > 1.0f) {
    blinkPhase = 0.0f;
    return true;
  }
  return false;
}

void recolourFontPixels(uint32_t* pixels, uint32_t count, uint32_t colour) {
  for (uint32_t k = 0; k < count; ++k) pixels[k] = (pixels[k] & 0x00FFFFFF) != 0 ? colour : 0;
}

bool wantsLargeFont(float viewportHeight) {
  float widestScale = kClockPlace.widthScale > kFlagNamePlace.widthScale ? kClockPlace.widthScale
                                                                          : kFlagNamePlace.widthScale;
  return viewportHeight / static_cast<float>(kGlyphCellRows) * widestScale > 1.5f;
}
