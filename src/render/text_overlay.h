// Text overlay: a bitmap font (built-in picture 2000, 256 × 256, six bands of
// 42-pixel cells) drawn as screen-space quads for the frame rate, the clock
// and the flag name. The layout and the texts are pure; the Direct3D side
// (font texture, drawing) lives in text_overlay_win.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/texture.h"

struct IDirect3DTexture8;

// One glyph's cell in the font picture: top pixel row, first column and the
// column just after the glyph. Every cell is kGlyphCellRows rows tall.
struct FontGlyph {
  uint8_t row, left, right;
};

constexpr int kFirstGlyphCode = 32;
constexpr int kLastGlyphCode = 123;
constexpr int kGlyphCount = kLastGlyphCode - kFirstGlyphCode + 1;  // 92
constexpr int kGlyphCellRows = 42;   // texture span of a cell, in font pixels
constexpr int kGlyphDrawnRows = 39;  // drawn quad height, in screen units
// Codes without a glyph of their own draw this blank 5-pixel cell.
constexpr FontGlyph kBlankGlyph = {3, 0, 5};

// Character codes 32 … 123, looked up at code − 32.
extern const FontGlyph fontGlyphs[kGlyphCount];

// A transformed, textured vertex (D3DFVF_XYZRHW | D3DFVF_TEX1).
struct TextVertex {
  float screenX, screenY;  // pixels from the viewport's top-left corner
  float depth, rhw;        // rhw always 1
  float tu, tv;            // font texture coordinates
};
static_assert(sizeof(TextVertex) == 24, "the text stream stride is 24 bytes");

constexpr uint32_t kTextVertexFormat = 0x104;  // D3DFVF_XYZRHW | D3DFVF_TEX1
constexpr uint32_t kVerticesPerGlyph = 6;      // two triangles, no index buffer
constexpr uint32_t kTextBufferGlyphs = 64;     // per text; longer texts are cut
constexpr uint32_t kTextBufferBytes = kTextBufferGlyphs * kVerticesPerGlyph * sizeof(TextVertex);
static_assert(kTextBufferBytes == 9216, "one text's range holds 384 vertices");
// Frame rate, clock and flag name share one buffer, a range each, so that a
// frame writes its texts with one lock.
constexpr uint32_t kOverlayTextCount = 3;
constexpr uint32_t kOverlayBufferBytes = kOverlayTextCount * kTextBufferBytes;

// Green at three quarters opacity; the A4R4G4B4 font texture stores 0xC0A2.
constexpr uint32_t kOverlayColour = 0xC000A020;
constexpr uint32_t kFontPictureId = 2000;
constexpr uint32_t kFontPictureSize = 256;  // pixels on a side
// The same layout four times the size, for tall views: texture coordinates
// are fractions of the picture, so every text's quads stay as they are.
constexpr uint32_t kLargeFontPictureId = 2001;
constexpr uint32_t kLargeFontPictureSize = 1024;

// Where and how large a text is drawn: fractions of the viewport for the
// start, scales of the font unit (viewport height / 42) for the glyphs.
struct TextPlace {
  float leftFraction, topFraction, depth, widthScale, heightScale;
};
constexpr TextPlace kFpsPlace = {0.01f, 0.96f, 0.0f, 0.055f, 0.035f};     // bottom left
constexpr TextPlace kClockPlace = {0.85f, 0.95f, 0.0f, 0.08f, 0.05f};     // bottom right
constexpr TextPlace kFlagNamePlace = {0.01f, 0.01f, 0.0f, 0.08f, 0.05f};  // top left

// True where one pixel of the 256 × 256 font would cover more than about one
// and a half screen pixels across (the widest texts' width scale): from
// about 790 pixels tall. The view then draws with the large font.
bool wantsLargeFont(float viewportHeight);

// The glyph of a character byte; codes outside 32 … 123 give kBlankGlyph.
const FontGlyph& glyphFor(unsigned char code);

// Start of a text in pixels and the height of its quads for a viewport.
struct TextOrigin {
  float x, y0;       // top-left corner of the first glyph
  float unit;        // screen pixels per font pixel before scaling
  float quadHeight;  // unit × heightScale × 39
};
TextOrigin textOrigin(float viewportWidth, float viewportHeight, const TextPlace& place);

// Width in pixels of one glyph's quad at this unit and width scale.
float glyphQuadWidth(const FontGlyph& glyph, float unit, float widthScale);

// Writes six vertices per glyph of text into out (room for maxGlyphs glyphs);
// characters past maxGlyphs are dropped. Returns the glyphs written.
uint32_t layoutText(TextVertex* out, uint32_t maxGlyphs, float viewportWidth, float viewportHeight,
                    const TextPlace& place, const char* text);

// Clock text "HH_:_MM" (24-hour, two digits each) into out; in even seconds
// the colon at position 3 becomes an underscore, so the colon blinks.
void formatClockText(char* out, size_t capacity, int hour, int minute, int second);

// "fps N" with the rate rounded to the nearest integer, halves to even.
void formatFpsText(char* out, size_t capacity, float framesPerSecond);

// Every lit pixel of the font picture (any colour byte set), soft edges
// included, becomes `colour`; black becomes 0, transparent. The top byte is
// not looked at: a picture drawn on a 24- or 32-bit screen reads back with it
// set, black included.
void recolourFontPixels(uint32_t* pixels, uint32_t count, uint32_t colour);

// Adds 2 × frameSeconds to the blink phase; past 1 it restarts at 0 and the
// result is true: time to renew the frame-rate text (about twice a second).
bool advanceBlinkPhase(float& blinkPhase, float frameSeconds);

// --- Direct3D side (text_overlay_win.cpp), over app.render ---

// Makes the font texture (A4R4G4B4, every lit font pixel = colour) into
// *slot, and app.render.overlay.textBuffer (dynamic, in the default pool:
// released before a device reset) when it does not exist yet.
// Returns the texture maker's result; the buffer's failure leaves it null.
TextureResult createFontTexture(uint32_t colour, IDirect3DTexture8** slot);

// Makes app.render.overlay.largeFontTexture, the same from the 1024 × 1024
// picture, when a view built wants it (wantsLargeFont) and it is not made
// yet; without it every view draws with the small font.
void createLargeFontTexture(uint32_t colour);

// Makes app.render.overlay.textBuffer when it does not exist yet (left null
// on failure); also after a device reset, which needs it released first.
void createTextBuffer();

// Frame rate, clock and flag name as the settings ask (at most 64 glyphs
// each); once per frame inside the scene, after the flag. The name is
// `flagName`, drawn at `nameOpacity` (0 … 1; 1 as every other text) while
// the flag changes. Renews fpsText about twice a second.
void drawOverlay(const char* flagName, float nameOpacity);
