#include "host/dialog_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ResolutionCase {
  const char* text;
  uint32_t width, height, bpp;
};

TEST(ResolutionText, WellFormedEntriesSetTheModeAndLeaveDesktopMode) {
  const ResolutionCase cases[] = {
      {"1024 x 768 x 32 bpp", 1024, 768, 32},   {"800 x 600 x 16 bpp", 800, 600, 16},
      {"640 x 480 x 24 bpp", 640, 480, 32},  // only "16" is 16 bits
      {"1280 x 1024 x 32 bpp", 1280, 1024, 32}, {"600 x 800 x 16 bpp", 600, 800, 16},
      {"65535 x 1 x 8", 65535, 1, 32},          {"800 x 600 x 16", 800, 600, 16},
  };
  for (const ResolutionCase& c : cases) {
    Settings settings{};
    settings.screenX = settings.screenY = settings.bpp = 7;
    settings.desktopMode = 1;
    ASSERT_TRUE(applyResolutionText(settings, c.text, uint32_t(std::strlen(c.text) + 1))) << c.text;
    EXPECT_EQ(settings.screenX, c.width) << c.text;
    EXPECT_EQ(settings.screenY, c.height) << c.text;
    EXPECT_EQ(settings.bpp, c.bpp) << c.text;
    EXPECT_EQ(settings.desktopMode, 0u) << c.text;
  }
}

TEST(ResolutionText, MalformedEntriesKeepTheCurrentMode) {
  const char* cases[] = {
      "",
      "bpp",
      "800",
      "800 x",
      "800 x 600",
      "800 x 600 x ",
      "800 x 600 x bpp",
      "800x600x16",
      "800  x 600 x 16 bpp",
      " 800 x 600 x 16 bpp",
      "x 600 x 16 bpp",
      "800 x x 16 bpp",
      "0 x 600 x 16 bpp",
      "800 x 0 x 16 bpp",
      "65536 x 600 x 16 bpp",
      "4294967297 x 600 x 16 bpp",  // would wrap to 1 in 32 bits
      "99999999999999999999999 x 768 x 32 bpp",
      "800 X 600 X 16 bpp",
      "-800 x 600 x 16 bpp",
      "Desktop",
      "desktop (all screens)",  // the entry in lower case
      "Desktop (all screens",
      "Desktop (all screens) ",
  };
  for (const char* text : cases) {
    for (uint32_t desktop : {0u, 1u}) {
      Settings settings{};
      settings.screenX = 1024;
      settings.screenY = 768;
      settings.bpp = 32;
      settings.desktopMode = desktop;
      EXPECT_FALSE(applyResolutionText(settings, text, uint32_t(std::strlen(text) + 1))) << text;
      EXPECT_EQ(settings.screenX, 1024u) << text;
      EXPECT_EQ(settings.screenY, 768u) << text;
      EXPECT_EQ(settings.bpp, 32u) << text;
      EXPECT_EQ(settings.desktopMode, desktop) << text;
    }
  }
  Settings settings{};
  settings.screenX = 640;
  EXPECT_FALSE(applyResolutionText(settings, nullptr, 64));
  EXPECT_EQ(settings.screenX, 640u);
}

TEST(ResolutionText, TheDesktopEntryKeepsTheStoredModeForALaterSwitchBack) {
  Settings settings{};
  settings.screenX = 800;
  settings.bpp = 16;
  EXPECT_TRUE(applyResolutionText(settings, kDesktopEntryText, sizeof kDesktopEntryText));
  EXPECT_EQ(settings.desktopMode, 1u);
  EXPECT_EQ(settings.screenX, 800u);
  EXPECT_EQ(settings.bpp, 16u);
  // Cut short by its capacity it is no entry, and nothing is read past it.
  char* cut = new char[sizeof kDesktopEntryText - 1];
  std::memcpy(cut, kDesktopEntryText, sizeof kDesktopEntryText - 1);
  settings.desktopMode = 0;
  EXPECT_FALSE(applyResolutionText(settings, cut, sizeof kDesktopEntryText - 1));
  EXPECT_EQ(settings.desktopMode, 0u);
  delete[] cut;
}

TEST(ResolutionText, ReadsNoFurtherThanItsCapacity) {
  // Unterminated buffers whose text is cut by the capacity: the reader must
  // stop at the end (the sanitizers see any byte read past it).
  const char full[] = "800 x 600 x 16 bpp";
  struct Cut {
    uint32_t capacity;
    bool parses;
    uint32_t bpp;
  } cuts[] = {
      {3, false, 0},  {6, false, 0},           {9, false, 0},
      {12, false, 0}, {13, true, 32},  // "800 x 600 x 1": a depth, but not "16"
      {14, true, 16}, {sizeof full, true, 16},
  };
  for (const Cut& cut : cuts) {
    std::string bytes(full, cut.capacity);  // no terminator inside the range
    char* heap = new char[cut.capacity];
    std::memcpy(heap, bytes.data(), cut.capacity);
    ResolutionChoice choice{};
    EXPECT_EQ(parseResolutionText(heap, cut.capacity, choice), cut.parses) << cut.capacity;
    if (cut.parses) {
      EXPECT_EQ(choice.bpp, cut.bpp) << cut.capacity;
    }
    delete[] heap;
  }
  ResolutionChoice choice{};
  EXPECT_FALSE(parseResolutionText(full, 0, choice));
}

TEST(LinkPicture, HitTestIncludesTheRightAndBottomEdges) {
  const ClientRect rect{341, 45, 499, 163};
  struct Case {
    uint32_t x, y;
    bool inside;
  } cases[] = {
      {341, 45, true},   {499, 163, true}, {420, 100, true},  {340, 100, false},
      {500, 100, false}, {420, 44, false}, {420, 164, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isInsideLink(rect, MousePoint{c.x, c.y}), c.inside) << c.x << "," << c.y;
}

TEST(LinkPicture, PositionIsReadAsUnsignedWords) {
  // A position left of or above the client area arrives as a large unsigned
  // word and lies outside a rectangle that starts at 0.
  MousePoint p = mousePointFromParam(uintptr_t(0x00640032));
  EXPECT_EQ(p.x, 0x32u);
  EXPECT_EQ(p.y, 0x64u);
  MousePoint negative = mousePointFromParam(uintptr_t(0xFFF0FFFFu));
  EXPECT_EQ(negative.x, 0xFFFFu);
  EXPECT_EQ(negative.y, 0xFFF0u);
  EXPECT_FALSE(isInsideLink(ClientRect{0, 0, 100, 100}, negative));
}

TEST(DialogTexts, MakerAddressesDifferOnlyByTheButtonsSlash) {
  std::string button = kMakerSiteButtonUrl, picture = kMakerSitePictureUrl;
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(button, picture + "/");
  EXPECT_EQ(picture.compare(0, 8, "https://"), 0);
}

TEST(DialogTexts, PictureFilterIsOneNamePatternPairDoublyTerminated) {
  const char* name = kPictureFilter;
  const char* pattern = name + std::strlen(name) + 1;
  EXPECT_STREQ(name, "Graphics File (bmp, jpg, gif, png)");
  EXPECT_STREQ(pattern, "*.bmp;*.gif;*.jpg;*.jpeg;*.png");
  const char* after = pattern + std::strlen(pattern) + 1;
  EXPECT_EQ(*after, 0);
  EXPECT_EQ(uint32_t(after - name + 1), kPictureFilterSize);
}

}  // namespace
