#include "render/text_overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "config/flag_rules.h"
#include "config/flag_tour.h"
#include "app/settings.h"

namespace {

constexpr float kWidth = 800.0f;
constexpr float kHeight = 600.0f;
constexpr float kTolerance = 1e-3f;

TextVertex vertices[kTextBufferGlyphs * kVerticesPerGlyph + kVerticesPerGlyph];

// Fills the buffer with a marker so writes past the used part show.
void markVertices() {
  for (TextVertex& v : vertices) v = {-7.0f, -7.0f, -7.0f, -7.0f, -7.0f, -7.0f};
}

bool isMarked(const TextVertex& v) {
  return v.screenX == -7.0f && v.tv == -7.0f;
}

}  // namespace

TEST(FontGlyphs, EveryGlyphLiesInsideTheFontAndInOneOfTheSixBands) {
  const int bands[] = {3, 45, 87, 129, 171, 213};
  for (int code = kFirstGlyphCode; code <= kLastGlyphCode; ++code) {
    const FontGlyph& g = fontGlyphs[code - kFirstGlyphCode];
    SCOPED_TRACE(code);
    EXPECT_LT(g.left, g.right);
    EXPECT_LE(g.right, 255);
    EXPECT_LE(g.row + kGlyphCellRows, 256);
    EXPECT_NE(std::end(bands), std::find(std::begin(bands), std::end(bands), g.row));
  }
}

TEST(FontGlyphs, SharedAndBlankCellsAreTheOnesTheFontProvides) {
  struct Case {
    unsigned char code;
    FontGlyph glyph;
  };
  const Case cases[] = {
      {' ', {3, 0, 7}},     {'_', {3, 0, 4}},       {'#', {3, 0, 5}},       {'@', {3, 0, 5}},
      {'A', {3, 220, 245}}, {'T', {87, 220, 245}},  {':', {213, 173, 177}}, {'f', {171, 23, 36}},
      {'0', {3, 53, 68}},   {'z', {213, 135, 150}}, {'{', {213, 215, 242}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const FontGlyph& g = glyphFor(c.code);
    EXPECT_EQ(c.glyph.row, g.row);
    EXPECT_EQ(c.glyph.left, g.left);
    EXPECT_EQ(c.glyph.right, g.right);
  }
  // '{' has no glyph of its own: it is the asterisk's cell.
  EXPECT_EQ(glyphFor('{').left, glyphFor('*').left);
  // The underscore is a blank as wide as the colon, so the clock does not move.
  EXPECT_EQ(glyphFor('_').right - glyphFor('_').left, glyphFor(':').right - glyphFor(':').left);
}

TEST(TextLayout, OriginsAndQuadHeightsOfTheThreeTextsAt800x600) {
  struct Case {
    const char* name;
    TextPlace place;
    float x, y0, quadHeight;
  };
  const Case cases[] = {
      {"fps", kFpsPlace, 8.0f, 576.0f, 19.5f},
      {"clock", kClockPlace, 680.0f, 570.0f, 27.857f},
      {"flag name", kFlagNamePlace, 8.0f, 6.0f, 27.857f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextOrigin o = textOrigin(kWidth, kHeight, c.place);
    EXPECT_NEAR(14.2857f, o.unit, kTolerance);
    EXPECT_NEAR(c.x, o.x, kTolerance);
    EXPECT_NEAR(c.y0, o.y0, kTolerance);
    EXPECT_NEAR(c.quadHeight, o.quadHeight, kTolerance);
  }
}

TEST(TextLayout, GlyphQuadCarriesItsCellAsTextureCoordinates) {
  markVertices();
  ASSERT_EQ(1u, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kClockPlace, "A"));
  const float tu0 = 220.0f / 255.0f, tu1 = 245.0f / 255.0f;
  const float tv0 = 3.0f / 256.0f, tv1 = 45.0f / 256.0f;
  const float x0 = 680.0f, x1 = 680.0f + 25.0f * 0.08f * (600.0f / 42.0f);
  const float y0 = 570.0f, y1 = 570.0f + 27.857f;
  // Lower-left, upper-left, lower-right; upper-right, lower-right, upper-left.
  const TextVertex expected[6] = {
      {x0, y1, 0, 1, tu0, tv1}, {x0, y0, 0, 1, tu0, tv0}, {x1, y1, 0, 1, tu1, tv1},
      {x1, y0, 0, 1, tu1, tv0}, {x1, y1, 0, 1, tu1, tv1}, {x0, y0, 0, 1, tu0, tv0},
  };
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(expected[k].screenX, vertices[k].screenX, kTolerance);
    EXPECT_NEAR(expected[k].screenY, vertices[k].screenY, kTolerance);
    EXPECT_EQ(0.0f, vertices[k].depth);
    EXPECT_EQ(1.0f, vertices[k].rhw);
    EXPECT_FLOAT_EQ(expected[k].tu, vertices[k].tu);
    EXPECT_FLOAT_EQ(expected[k].tv, vertices[k].tv);
  }
  EXPECT_TRUE(isMarked(vertices[6]));
}

TEST(TextLayout, GlyphsFollowEachOtherWithoutGaps) {
  markVertices();
  ASSERT_EQ(5u, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFpsPlace, "fps 6"));
  const float unit = 600.0f / 42.0f;
  // 'f' is 13 font pixels: 10.2143 screen pixels at the frame-rate scale.
  EXPECT_NEAR(10.2143f, glyphQuadWidth(glyphFor('f'), unit, kFpsPlace.widthScale), kTolerance);
  float x = 8.0f;
  const char* text = "fps 6";
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const TextVertex* quad = vertices + k * kVerticesPerGlyph;
    float width = glyphQuadWidth(glyphFor(static_cast<unsigned char>(text[k])), unit, 0.055f);
    EXPECT_NEAR(x, quad[0].screenX, kTolerance);
    EXPECT_NEAR(x + width, quad[2].screenX, kTolerance);
    x += width;
  }
  EXPECT_TRUE(isMarked(vertices[5 * kVerticesPerGlyph]));
}

TEST(TextLayout, LongTextsAreCutToTheBufferAndNothingIsWrittenPastIt) {
  std::string name(300, 'W');
  markVertices();
  EXPECT_EQ(kTextBufferGlyphs,
            layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFlagNamePlace, name.c_str()));
  EXPECT_FALSE(isMarked(vertices[kTextBufferGlyphs * kVerticesPerGlyph - 1]));
  for (uint32_t k = kTextBufferGlyphs * kVerticesPerGlyph;
       k < sizeof(vertices) / sizeof(vertices[0]); ++k)
    EXPECT_TRUE(isMarked(vertices[k])) << k;
  // A smaller limit is honoured the same way.
  markVertices();
  EXPECT_EQ(3u, layoutText(vertices, 3, kWidth, kHeight, kFlagNamePlace, "Brevanto"));
  EXPECT_TRUE(isMarked(vertices[3 * kVerticesPerGlyph]));
}

TEST(TextLayout, BytesOutsideTheFontDrawAsBlankFivePixelCells) {
  // Latin-1 letters of a flag name ("Curaçao", "Åland"), control and high codes.
  const char text[] = "\xE7\xC5\x01\t\x1F|\x7F\x80\xC8\xFF";
  markVertices();
  ASSERT_EQ(10u, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFlagNamePlace, text));
  for (int k = 0; k < 10; ++k) {
    SCOPED_TRACE(k);
    const TextVertex* quad = vertices + k * kVerticesPerGlyph;
    EXPECT_FLOAT_EQ(0.0f, quad[0].tu);
    EXPECT_FLOAT_EQ(5.0f / 255.0f, quad[2].tu);
    EXPECT_FLOAT_EQ(3.0f / 256.0f, quad[1].tv);
  }
}

// The build's flag folder that ships with the saver, through the program's own
// rules: the overlay draws each name whole (no blank cells, inside an 800 x 600
// screen, within the 64-glyph buffer), the dialog lists it, the random pick
// takes it under the same name, and loading by name finds the file. (That the
// folder is the whole rendering, at least 240 flags, is gen_flags.py --check's.)
TEST(ShippedFlags, EveryNameDrawsWholeAndTheFolderRulesListPickAndLoadIt) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(FLAG_SHIPPED_FOLDER))
    if (entry.path().filename() != kRegionListName)
      files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no flags in " FLAG_SHIPPED_FOLDER;
  std::set<std::string> names;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::string listed;
    for (const char* extension : flagListExtensions) {
      char entry[kNameCapacity];
      if (flagListName(entry, sizeof entry, file.c_str(), extension)) listed = entry;
    }
    ASSERT_FALSE(listed.empty()) << "not in the dialog's list";
    EXPECT_TRUE(isRandomCandidate(file.c_str()));
    char picked[kNameCapacity];
    cutFlagName(picked, sizeof picked, file.c_str());
    EXPECT_EQ(listed, picked) << "the random pick would load another name";
    bool loads = false;
    for (uint32_t attempt = 0; attempt < kLoadExtensionCount; ++attempt) {
      char path[kPathCapacity];
      loads |= flagPicturePath(path, sizeof path, picked, attempt) && "Image\\" + file == path;
    }
    EXPECT_TRUE(loads);
    std::string folded = listed;
    for (char& c : folded) c = (char)std::tolower((unsigned char)c);
    EXPECT_TRUE(names.insert(folded).second) << "two flags of one name";

    for (char c : listed)
      EXPECT_TRUE(c == ' ' || std::memcmp(&glyphFor((unsigned char)c), &kBlankGlyph,
                                          sizeof kBlankGlyph) != 0)
          << "'" << c << "' draws blank";
    uint32_t length = (uint32_t)listed.size();
    ASSERT_LE(length, kTextBufferGlyphs);
    ASSERT_EQ(length, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFlagNamePlace,
                                 listed.c_str()));
    EXPECT_LE(vertices[(length - 1) * kVerticesPerGlyph + 2].screenX, kWidth) << "off the screen";
  }
}

TEST(TextLayout, EmptyOrMissingTextWritesNothing) {
  markVertices();
  EXPECT_EQ(0u, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFpsPlace, ""));
  EXPECT_EQ(0u, layoutText(vertices, kTextBufferGlyphs, kWidth, kHeight, kFpsPlace, nullptr));
  EXPECT_TRUE(isMarked(vertices[0]));
}

TEST(ClockText, TwoDigitsEachAndTheColonOnlyInOddSeconds) {
  struct Case {
    int hour, minute, second;
    const char* text;
  };
  const Case cases[] = {
      {14, 7, 31, "14_:_07"},  {14, 7, 32, "14___07"}, {9, 5, 1, "09_:_05"},
      {0, 0, 59, "00_:_00"},   {0, 0, 0, "00___00"},   {23, 59, 13, "23_:_59"},
      {10, 10, 11, "10_:_10"}, {7, 45, 44, "07___45"},
  };
  for (const Case& c : cases) {
    char text[32];
    formatClockText(text, sizeof(text), c.hour, c.minute, c.second);
    EXPECT_STREQ(c.text, text) << c.hour << ":" << c.minute << ":" << c.second;
    // A small buffer is cut and terminated.
    char cut[4] = {'x', 'x', 'x', 'x'};
    formatClockText(cut, sizeof cut, c.hour, c.minute, c.second);
    EXPECT_EQ(std::string(c.text, 3), cut);
  }
}

TEST(FpsText, RoundsToTheNearestIntegerWithHalvesToEven) {
  struct Case {
    float rate;
    const char* text;
  };
  const Case cases[] = {
      {59.5f, "fps 60"}, {60.5f, "fps 60"}, {61.5f, "fps 62"},     {59.49f, "fps 59"},
      {0.0f, "fps 0"},   {0.5f, "fps 0"},   {1234.7f, "fps 1235"},
  };
  for (const Case& c : cases) {
    char text[32];
    formatFpsText(text, sizeof(text), c.rate);
    EXPECT_STREQ(c.text, text) << c.rate;
  }
}

TEST(FpsText, RatesTheTimerCannotGiveStillMakeAShortText) {
  const float rates[] = {-5.0f, std::nanf(""), 1.0e30f, INFINITY};
  for (float rate : rates) {
    char text[32];
    formatFpsText(text, sizeof(text), rate);
    EXPECT_EQ(0, std::strncmp("fps ", text, 4)) << rate;
    EXPECT_LT(std::strlen(text), 16u) << rate;
  }
}

TEST(BlinkPhase, RenewsAboutTwiceASecondAndRestartsAtZero) {
  float phase = 0.0f;
  int renewals = 0;
  // Three seconds at 60 frames a second.
  for (int frame = 0; frame < 180; ++frame)
    if (advanceBlinkPhase(phase, 1.0f / 60.0f)) {
      ++renewals;
      EXPECT_EQ(0.0f, phase);
    }
  EXPECT_GE(renewals, 5);
  EXPECT_LE(renewals, 6);
  phase = 0.5f;
  EXPECT_FALSE(advanceBlinkPhase(phase, 0.25f));  // exactly 1 is not past 1
  EXPECT_EQ(1.0f, phase);
  EXPECT_TRUE(advanceBlinkPhase(phase, 0.001f));
}

TEST(FontRecolour, LitPixelsTakeTheColourAndBlackIsTransparentWhateverTheTopByte) {
  struct Case {
    uint32_t read, expected;
  } cases[] = {
      {0x00000000, 0},  // black as a 16-bit screen reads it back
      {0xFF000000, 0},  // black as a 24- or 32-bit screen reads it back
      {0x00010000, kOverlayColour},
      {0x00000100, kOverlayColour},
      {0x00000001, kOverlayColour},
      {0x00808080, kOverlayColour},  // a soft edge
      {0xFFFFFFFF, kOverlayColour},
  };
  uint32_t pixels[sizeof cases / sizeof cases[0] + 1];
  const uint32_t count = sizeof cases / sizeof cases[0];
  for (uint32_t k = 0; k < count; ++k) pixels[k] = cases[k].read;
  pixels[count] = 0xFF000000;  // past the count: untouched
  recolourFontPixels(pixels, count, kOverlayColour);
  for (uint32_t k = 0; k < count; ++k)
    EXPECT_EQ(cases[k].expected, pixels[k]) << std::hex << cases[k].read;
  EXPECT_EQ(0xFF000000u, pixels[count]);
}
